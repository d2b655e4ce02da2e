#include "report/lyrdmpclass.h"

#include "report/lyrframe.h"
#include "report/lyrres.h"
#include "report/lyrxml.h"
#include "script/ks_props.h"

#include <cmath>

namespace {

// Grid values computed from a value already on the grid stay put, in spite
// of the binary fractions of 9.6.
constexpr double kEps = 1e-7;

double nearest(double v, double cell)
{
    return std::round(v / cell) * cell;
}

double below(double v, double cell)
{
    return std::floor(v / cell + kEps) * cell;
}

double towardsZero(double v, double cell)
{
    return std::trunc(v / cell + (v < 0 ? -kEps : kEps)) * cell;
}

TlyrDMPPage *dmpPageOf(const TlyrComponent *c)
{
    return qobject_cast<TlyrDMPPage *>(c->Page());
}

}  // namespace

void lyrApplyDMPFont(TlyrFont &font, int fontStyle)
{
    font.SetName(QStringLiteral("Courier New"));
    font.SetSize(12);
    int style = 0;
    if (fontStyle & fsxBold) style |= TlyrFont::fsBold;
    if (fontStyle & fsxItalic) style |= TlyrFont::fsItalic;
    if (fontStyle & fsxUnderline) style |= TlyrFont::fsUnderline;
    font.SetStyle(style);
}

// ---------------------------------------------------------------- page

TlyrDMPPage::TlyrDMPPage(QObject *owner) : TlyrReportPage(owner)
{
    lyrRegisterDMPClasses();
    lyrApplyDMPFont(*Font(), fontStyle_);
    // The page's paper is whole cells from the start.
    SetPaperWidth(PaperWidth());
    SetPaperHeight(PaperHeight());
}

void TlyrDMPPage::SetFontStyle(int v)
{
    fontStyle_ = v & 511;
    // The font's change hands it on to every object that takes the page's.
    lyrApplyDMPFont(*Font(), fontStyle_);
    for (TlyrComponent *c : AllObjects())
        if (c->ParentFont()) c->SetParentFont(true);
}

void TlyrDMPPage::SetDefaults()
{
    TlyrReportPage::SetDefaults();
    // The table's size, not the one rounded to whole cells.
    TlyrReportPage::SetPaperSize(tablePaper_);
    SetLeftMargin(lyrCharX / 3.77953);
    SetRightMargin(lyrCharX / 3.77953);
    SetTopMargin(lyrCharY / 3.77953);
    SetBottomMargin(lyrCharY / 3.77953);
    TlyrReportPage::SetPaperWidth(std::trunc(PaperWidth() * 3.77953 / lyrCharX) * lyrCharX / 3.77953);
    TlyrReportPage::SetPaperHeight(std::trunc(PaperHeight() * 3.77953 / lyrCharY) * lyrCharY / 3.77953);
}

void TlyrDMPPage::SetPaperWidth(double v)
{
    TlyrReportPage::SetPaperWidth(std::round(v * 3.77953 / lyrCharX) * lyrCharX / 3.77953);
}

void TlyrDMPPage::SetPaperHeight(double v)
{
    TlyrReportPage::SetPaperHeight(std::round(v * 3.77953 / lyrCharY) * lyrCharY / 3.77953);
}

void TlyrDMPPage::SetPaperSize(int v)
{
    tablePaper_ = v;
    TlyrReportPage::SetPaperSize(v);
    SetPaperWidth(PaperWidth());
    SetPaperHeight(PaperHeight());
}

// ---------------------------------------------------------------- memo

TlyrDMPMemoView::TlyrDMPMemoView(QObject *owner) : TlyrCustomMemoView(owner)
{
    lyrRegisterDMPClasses();
    // Made on its page (as loading a template makes it), the text takes the
    // page's style at once; the parent's font was taken before this class
    // could see the page.
    const TlyrDMPPage *page = ParentFont() ? dmpPageOf(this) : nullptr;
    takeStyle(page ? page->FontStyle() : fontStyle_);
    SetCharSpacing(0);
    SetLineSpacing(0);
    SetGapX(0);
    SetGapY(0);
}

void TlyrDMPMemoView::SetFontStyle(int v)
{
    fontStyle_ = v & 511;
    lyrApplyDMPFont(*Font(), fontStyle_);
}

void TlyrDMPMemoView::takeStyle(int v)
{
    // A style the text did not choose itself leaves ParentFont as it was.
    takingStyle_ = true;
    SetFontStyle(v);
    takingStyle_ = false;
}

void TlyrDMPMemoView::FontChanged()
{
    if (!takingStyle_) TlyrCustomMemoView::FontChanged();
}

void TlyrDMPMemoView::SetParentFont(bool value)
{
    TlyrCustomMemoView::SetParentFont(value);
    if (value)
        if (TlyrDMPPage *page = dmpPageOf(this)) takeStyle(page->FontStyle());
}

void TlyrDMPMemoView::SetLeft(double value)
{
    TlyrCustomMemoView::SetLeft(Align() == baRight ? below(value, lyrCharX) : nearest(value, lyrCharX));
}

void TlyrDMPMemoView::SetTop(double value)
{
    TlyrCustomMemoView::SetTop(nearest(value, lyrCharY));
}

void TlyrDMPMemoView::SetWidth(double value)
{
    TlyrCustomMemoView::SetWidth(nearest(value, lyrCharX));
}

void TlyrDMPMemoView::SetHeight(double value)
{
    TlyrCustomMemoView::SetHeight(nearest(value, lyrCharY));
}

double TlyrDMPMemoView::CalcHeight()
{
    return nearest(TlyrCustomMemoView::CalcHeight(), lyrCharY);
}

double TlyrDMPMemoView::CalcWidth()
{
    return nearest(TlyrCustomMemoView::CalcWidth(), lyrCharX);
}

void TlyrDMPMemoView::DrawFrame()
{
    const int x = X, y = Y, x1 = X1, y1 = Y1;
    X = lyrRoundi((AbsLeft() - lyrCharX / 2) * ScaleX + OffsetX);
    Y = lyrRoundi((AbsTop() - lyrCharY / 2) * ScaleY + OffsetY);
    X1 = lyrRoundi((AbsLeft() + Width() + lyrCharX / 2) * ScaleX + OffsetX);
    Y1 = lyrRoundi((AbsTop() + Height() + lyrCharY / 2) * ScaleY + OffsetY);
    TlyrCustomMemoView::DrawFrame();
    X = x;
    Y = y;
    X1 = x1;
    Y1 = y1;
}

QString TlyrDMPMemoView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obDMPText"));
}

QString TlyrDMPMemoView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrCustomMemoView::Diff(other);
    auto *o = qobject_cast<const TlyrDMPMemoView *>(other);
    if (o && fontStyle_ != o->fontStyle_) lyrAppendAttr(out, "FontStyle", QString::number(fontStyle_));
    return out;
}

bool TlyrDMPMemoView::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("FontStyle")) return !ParentFont();
    return TlyrCustomMemoView::IsPropertyStored(name);
}

// ---------------------------------------------------------------- line

TlyrDMPLineView::TlyrDMPLineView(QObject *owner) : TlyrCustomLineView(owner)
{
    lyrRegisterDMPClasses();
    SetParentFont(true);
    SetLeft(Left());
    SetTop(Top());
}

void TlyrDMPLineView::SetParentFont(bool value)
{
    TlyrCustomLineView::SetParentFont(value);
    if (value)
        if (TlyrDMPPage *page = dmpPageOf(this)) SetFontStyle(page->FontStyle());
}

// Lines run through the middle of a cell, where the printer puts its line
// characters.
void TlyrDMPLineView::SetLeft(double value)
{
    double v;
    if (value >= 0)
        v = Align() == baRight ? nearest(value, lyrCharX) - lyrCharX / 2 : towardsZero(value, lyrCharX) + lyrCharX / 2;
    else
        v = towardsZero(value, lyrCharX) - lyrCharX / 2;
    TlyrCustomLineView::SetLeft(v);
}

void TlyrDMPLineView::SetTop(double value)
{
    TlyrCustomLineView::SetTop(towardsZero(value, lyrCharY) + lyrCharY / 2);
}

void TlyrDMPLineView::SetWidth(double value)
{
    TlyrCustomLineView::SetWidth(Align() == baWidth ? towardsZero(value, lyrCharX) : nearest(value, lyrCharX));
}

void TlyrDMPLineView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    // Horizontal or vertical only, as a row or a column of cells.
    if (Height() >= Width())
        SetWidth(0);
    else
        SetHeight(0);
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    canvas.SetPen(clBlack, std::max(1, lyrRoundi(scaleX)), psSolid);
    canvas.Line(X, Y, X1, Y1);
}

QString TlyrDMPLineView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obDMPLine"));
}

QString TlyrDMPLineView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrCustomLineView::Diff(other);
    auto *o = qobject_cast<const TlyrDMPLineView *>(other);
    if (o && fontStyle_ != o->fontStyle_) lyrAppendAttr(out, "FontStyle", QString::number(fontStyle_));
    return out;
}

bool TlyrDMPLineView::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("FontStyle")) return !ParentFont();
    return TlyrCustomLineView::IsPropertyStored(name);
}

// ---------------------------------------------------------------- command

TlyrDMPCommand::TlyrDMPCommand(QObject *owner) : TlyrView(owner)
{
    lyrRegisterDMPClasses();
}

void TlyrDMPCommand::SetLeft(double value)
{
    TlyrView::SetLeft(nearest(value, lyrCharX));
}

void TlyrDMPCommand::SetTop(double value)
{
    TlyrView::SetTop(nearest(value, lyrCharY));
}

QString TlyrDMPCommand::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obDMPCmd"));
}

QString TlyrDMPCommand::Diff(const TlyrComponent *other) const
{
    QString out = TlyrView::Diff(other);
    auto *o = qobject_cast<const TlyrDMPCommand *>(other);
    if (o && command_ != o->command_) lyrAppendAttr(out, "Command", QString::fromUtf8(lyrStrToXML(command_)));
    return out;
}

void lyrRegisterDMPClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    lyrRegisterPageClasses();
    lyrRegisterMemoClasses();
    lyrRegisterViewClasses();
    ksRegisterClass<TlyrDMPPage>();
    KsClassInfo *memo = ksRegisterClass<TlyrDMPMemoView>();
    lyrPublishEnum(memo, "HAlign", "TlyrHAlign", {"haLeft", "haRight", "haCenter", "haBlock"});
    lyrPublishEnum(memo, "VAlign", "TlyrVAlign", {"vaTop", "vaBottom", "vaCenter"});
    ksRegisterClass<TlyrDMPLineView>();
    ksRegisterClass<TlyrDMPCommand>();
}
