#include "report/lyrmemo.h"

#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrvariables.h"
#include "report/lyrxml.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_props.h"
#include "script/ksrtl.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
bool isZeroNumber(const KsValue &v)
{
    return !v.IsString() && !v.IsNull() && !v.IsEmpty() && (v.IsNumeric() || v.Kind() == KsKind::Date) &&
           v.ToDouble() == 0;
}

// Replaces the first occurrence (any case) of what.
void replaceFirst(QString &text, const QString &what, const QString &with)
{
    const qsizetype at = text.indexOf(what, 0, Qt::CaseInsensitive);
    if (at >= 0) text.replace(at, what.size(), with);
}
}  // namespace

TlyrCustomMemoView::TlyrCustomMemoView(QObject *owner)
    : TlyrStretcheable(owner), displayFormat_(new TlyrFormat(this)), highlight_(new TlyrHighlight(this))
{
    SetFlags(Flags() & ~lyrFlagDefaultDiff);
    SetParentFont(true);
}

void TlyrCustomMemoView::SetText(const QString &text)
{
    memo_.clear();
    // Lines end at LF or CR LF; one pass over the text (replacing each CR LF
    // in place first moved the rest of the text once a line). A final line
    // break ends the last line; it starts no empty one.
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        if (end < 0) end = all.size();
        else if (end > start && all[end - 1] == u'\r') --end;
        memo_.append(all.sliced(start, end - start).toString());
        start = next;
    }
}

QString TlyrCustomMemoView::LinesText() const
{
    QString out;
    for (const QString &line : memo_) out += line + QStringLiteral("\r\n");
    return out;
}

QString TlyrCustomMemoView::GetComponentText() const
{
    QString text = GetText();
    if (allowExpressions_) replaceFirst(text, QStringLiteral("[TOTALPAGES]"), QString::number(TotalPages));
    return text;
}

void TlyrCustomMemoView::SetStyle(const QString &v)
{
    style_ = v;
    if (TlyrReport *r = Report(); r && r->Styles()) ApplyStyle(r->Styles()->Find(v));
}

void TlyrCustomMemoView::ApplyStyle(const TlyrStyleItem *item)
{
    if (!item) return;
    SetColor(item->Color);
    if (item->Font) SetFont(item->Font.get());
    if (item->Frame) SetFrame(*item->Frame);
}

bool TlyrCustomMemoView::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("ExpressionDelimiters")) return expressionDelimiters_ != QLatin1String("[,]");
    if (name == QLatin1String("GapX")) return gapX_ != 2;
    if (name == QLatin1String("GapY")) return gapY_ != 1;
    if (name == QLatin1String("LineSpacing")) return lineSpacing_ != 2;
    if (name == QLatin1String("ParagraphGap")) return paragraphGap_ != 0;
    if (name == QLatin1String("CharSpacing")) return charSpacing_ != 0;
    if (name == QLatin1String("Highlight")) {
        if (!highlight_->Condition().trimmed().isEmpty()) return true;
        // Without a condition it is kept only when it is not as a new one.
        // Made once, on whichever thread asks first, and kept to the end.
        static const TlyrHighlight *const fresh = new TlyrHighlight;
        return highlight_->Color() != fresh->Color() || !highlight_->Font()->Equals(*fresh->Font());
    }
    return TlyrStretcheable::IsPropertyStored(name);
}

TlyrDrawText &TlyrCustomMemoView::layoutObject() const
{
    if (TlyrReport *r = Report()) return r->DrawTextObject();
    return lyrDrawText();
}

// ---------------------------------------------------------------- data

QString TlyrCustomMemoView::FormatData(const KsValue &value, const TlyrFormat *format)
{
    if (hideZeros_ && isZeroNumber(value)) return QString();
    QString error;
    const QString s = lyrFormatData(value, format ? *format : *displayFormat_, &error);
    if (!error.isEmpty())
        if (TlyrReport *r = Report()) r->AddError(Name() + QStringLiteral(": ") + error);
    return s;
}

QString TlyrCustomMemoView::evaluate(const QString &e)
{
    QString expression = e;
    TlyrFormat suffix;
    bool hasSuffix = false;
    const qsizetype hash = e.indexOf(QStringLiteral(" #"));
    if (hash >= 0 && !e.mid(hash + 2).contains(u')')) {
        expression = e.left(hash);
        suffix.SetFromSuffix(e.mid(hash + 2));
        hasSuffix = true;
    }
    if (expression.compare(QLatin1String("TOTALPAGES#"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("[TotalPages#]");
    if (expression.compare(QLatin1String("COPYNAME#"), Qt::CaseInsensitive) == 0) return QStringLiteral("[CopyName#]");
    TlyrReport *r = Report();
    // Output that may still move to another page prints its page number
    // once it has landed.
    if (r && r->Engine() && r->Engine()->DefersPageNumbers() && !hasSuffix) {
        const QString name = expression.trimmed();
        if (name.compare(QLatin1String("Page#"), Qt::CaseInsensitive) == 0) return lyrPageNumberMark(false);
        if (name.compare(QLatin1String("Page"), Qt::CaseInsensitive) == 0) return lyrPageNumberMark(true);
    }
    Value = r ? r->Calc(expression) : KsValue::Null();
    return FormatData(Value, hasSuffix ? &suffix : nullptr);
}

QString TlyrCustomMemoView::expandExpressions(const QString &source)
{
    const qsizetype comma = expressionDelimiters_.indexOf(u',');
    const QString open = comma < 0 ? expressionDelimiters_ : expressionDelimiters_.left(comma);
    const QString close = comma < 0 ? QString() : expressionDelimiters_.mid(comma + 1, 255);
    if (open.isEmpty() || close.isEmpty() || !source.contains(open)) return source;
    QString s = source;
    qsizetype i = 0;
    while (true) {
        while (i < s.size() && !QStringView(s).sliced(i).startsWith(open)) ++i;
        if (i >= s.size()) break;
        qsizetype end = i, begin = i;
        const QString expr = lyrGetBracketedTextW(s, open, close, end, begin);
        // An opening delimiter without its closing one: the text stays.
        if (end <= i || end >= s.size() || QStringView(s).sliced(end - close.size() + 1, close.size()) != close) break;
        const QString value = evaluate(expr);
        s.replace(i, end - i + 1, value);
        i += value.size();
    }
    return s;
}

void TlyrCustomMemoView::BeforePrint()
{
    TlyrStretcheable::BeforePrint();
    saveTemplateText();
}

void TlyrCustomMemoView::saveTemplateText()
{
    if (IsDataField() || saved_) return;
    SavedMemo = LinesText();
    saved_ = true;
}

void TlyrCustomMemoView::AfterPrint()
{
    if (!IsDataField() && saved_) {
        SetText(SavedMemo);
        SavedMemo.clear();
        saved_ = false;
    }
    TlyrStretcheable::AfterPrint();
}

void TlyrCustomMemoView::takeFlow(const QString &text)
{
    // The template text is saved before the flowed text replaces it, also
    // when this memo's own output comes later: saved then, it would be the
    // flowed text, kept by every memo of a chain and put back after printing.
    saveTemplateText();
    SetText(text);
    SetAllowExpressions(false);
}

void TlyrCustomMemoView::GetData()
{
    TlyrStretcheable::GetData();
    TlyrReport *r = Report();
    if (IsDataField()) {
        TlyrDataSet *ds = DataSet();
        if (ds->IsBlobField(DataField())) {
            QStringList lines;
            ds->AssignBlobTo(DataField(), lines);
            SetMemo(lines);
        } else {
            Value = ds->GetValue(DataField());
            if (displayFormat_->Kind() == fkText)
                SetText(ds->GetDisplayText(DataField()));
            else
                SetText(FormatData(Value));
            if (hideZeros_ && isZeroNumber(Value)) memo_.clear();
        }
    } else if (allowExpressions_) {
        SetText(expandExpressions(LinesText()));
    }
    if (r) {
        if (TksCustomVariable *v = r->ValueVariable()) v->SetValue(Value);
    }
    highlight_->Active = false;
    if (r && !highlight_->Condition().isEmpty()) highlight_->Active = r->Calc(highlight_->Condition()).ToBool();
    if (suppressRepeated_) {
        const QString text = GetText();
        if (text == LastValue)
            memo_.clear();
        else
            LastValue = text;
    }
    if (TlyrCustomMemoView *next = flowTo_.data()) {
        InitPart();
        DrawPart();
        next->takeFlow(PartMemo);
        PartMemo.clear();
    }
}

// ---------------------------------------------------------------- layout

void TlyrCustomMemoView::BeginDraw(TlyrCanvas *canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    TlyrStretcheable::BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    const TlyrFrame &f = *Frame();
    const double w = f.Width();
    int left = X, top = Y, right = X1, bottom = Y1;
    if (f.Typ() & ftLeft) left += lyrRoundi((w * scaleX - 1) / 2);
    if (f.Typ() & ftRight) right -= lyrRoundi(w * scaleX / 2);
    if (f.Typ() & ftTop) top += lyrRoundi((w * scaleY - 1) / 2);
    if (f.Typ() & ftBottom) bottom -= lyrRoundi(w * scaleY / 2);
    const int gx = lyrRoundi(gapX_ * scaleX), gy = lyrRoundi(gapY_ * scaleY);
    TextRect = lyrRect(left + gx, top + gy, right - gx + 1, bottom - gy + 1);
}

double TlyrCustomMemoView::verticalInset() const
{
    const TlyrFrame &f = *Frame();
    double v = 2 * gapY_;
    if (f.Typ() & ftTop) v += (f.Width() - 1) / 2;
    if (f.Typ() & ftBottom) v += f.Width() / 2;
    if (f.DropShadow()) v += f.ShadowWidth();
    return v;
}

double TlyrCustomMemoView::horizontalInset() const
{
    const TlyrFrame &f = *Frame();
    double v = 2 * gapX_;
    if (f.Typ() & ftLeft) v += (f.Width() - 1) / 2;
    if (f.Typ() & ftRight) v += f.Width() / 2;
    if (f.DropShadow()) v += f.ShadowWidth();
    return v;
}

void TlyrCustomMemoView::setDrawParams(TlyrDrawText &dt, TlyrCanvas *canvas, double scaleX, double scaleY,
                                       double offsetX, double offsetY, bool fitOnly)
{
    if (highlight_->Active) {
        dt.SetFont(*highlight_->Font());
        SetColor(highlight_->Color());
    } else {
        dt.SetFont(*Font());
    }
    dt.SetOptions(wordWrap_, allowHTMLTags_, rtlReading_, wordBreak_, clipped_, wysiwyg_, rotation_);
    dt.SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    if (!IsDesigning() && autoWidth_) {
        const TlyrRect big = lyrRect(0, 0, 10000, 10000);
        dt.SetDimensions(big, big, 1, 1, 1);
        dt.SetText(memo_);
        const double old = Width();
        SetWidth(dt.CalcWidth() + horizontalInset());
        if (hAlign_ == haRight)
            SetLeft(Left() + (old - Width()));
        else if (hAlign_ == haCenter)
            SetLeft(Left() + (old - Width()) / 2);
        if (Parent()) Parent()->AlignChildren();
    }
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    const TlyrRect scaled = TextRect;
    BeginDraw(canvas, 1, 1, 0, 0);
    const TlyrRect unscaled = TextRect;
    if (!canvas || !canvas->IsPrinter()) PrintScale = 1;
    dt.SetDimensions(unscaled, scaled, scaleX, scaleY, PrintScale);
    dt.SetText(memo_, fitOnly);
    dt.SetParaBreaks(firstParaBreak_, lastParaBreak_);
    // Leave the drawing state at the asked scale.
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
}

double TlyrCustomMemoView::CalcHeight()
{
    TlyrDrawTextUser dt(layoutObject());
    const int color = Color();
    dt->SetFont(highlight_->Active ? *highlight_->Font() : *Font());
    dt->SetOptions(wordWrap_, allowHTMLTags_, rtlReading_, wordBreak_, clipped_, wysiwyg_, rotation_);
    dt->SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    if (autoWidth_) {
        const TlyrRect big = lyrRect(0, 0, 10000, 10000);
        dt->SetDimensions(big, big, 1, 1, 1);
    } else {
        BeginDraw(nullptr, 1, 1, 0, 0);
        dt->SetDimensions(TextRect, TextRect, 1, 1, 1);
    }
    dt->SetText(memo_);
    SetColor(color);
    return std::round(dt->CalcHeight() + verticalInset());
}

double TlyrCustomMemoView::CalcWidth()
{
    TlyrDrawTextUser dt(layoutObject());
    dt->SetFont(highlight_->Active ? *highlight_->Font() : *Font());
    dt->SetOptions(wordWrap_, allowHTMLTags_, rtlReading_, wordBreak_, clipped_, wysiwyg_, rotation_);
    dt->SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    const TlyrRect big = lyrRect(0, 0, 10000, 10000);
    dt->SetDimensions(big, big, 1, 1, 1);
    dt->SetText(memo_);
    return std::round(dt->CalcWidth() + horizontalInset());
}

void TlyrCustomMemoView::InitPart()
{
    PartMemo = LinesText();
    firstParaBreak_ = false;
    lastParaBreak_ = false;
}

double TlyrCustomMemoView::DrawPart()
{
    TlyrDrawTextUser dt(layoutObject());
    const int color = Color();
    // Only the start of the text is taken up, more of it while it all fits:
    // the rest waits as it is, so that a long text is not laid out again
    // whole for each of its parts. Lines wrap from their paragraph's start,
    // so only the last line of the start differs from the whole text's,
    // which is beyond the part when something is left over. A width that
    // follows the text, turned text, or tags (a cut could fall inside one)
    // need all of it at once.
    const QString whole = PartMemo;
    const bool all = autoWidth_ || rotation_ != 0 || allowHTMLTags_;
    bool paraBreak = false;
    for (qsizetype budget = 4096;; budget *= 2) {
        // A paragraph's end soon after the budget, else the budget itself
        // (never inside a surrogate pair).
        qsizetype cut = all || budget >= whole.size() ? -1 : whole.indexOf(u'\n', budget);
        const bool inParagraph = !all && budget < whole.size() && (cut < 0 || cut >= 2 * budget);
        if (inParagraph) cut = budget + (whole.at(budget).isLowSurrogate() ? 1 : 0);
        const qsizetype tail = cut < 0 ? -1 : cut + (inParagraph ? 0 : 1);
        if (tail < 0 || tail >= whole.size()) {
            SetText(whole);
        } else {
            SetText(whole.left(!inParagraph && cut > 0 && whole.at(cut - 1) == u'\r' ? cut - 1 : cut));
        }
        setDrawParams(*dt, nullptr, 1, 1, 0, 0, true);
        PartMemo = dt->GetOutBoundsText(paraBreak);
        if (tail < 0 || tail >= whole.size()) break;
        if (!PartMemo.isEmpty()) {
            // The start's own last line break is none of the text's.
            if (inParagraph) PartMemo.chop(2);
            PartMemo += QStringView(whole).mid(tail);
            break;
        }
    }
    lastParaBreak_ = paraBreak;
    QString in = dt->GetInBoundsText();
    if (in.endsWith(QStringLiteral("\r\n"))) in.chop(2);
    SetText(in);
    SetColor(color);
    const double left = dt->SpaceLeft();
    return left == 0 ? Height() : left;
}

// ---------------------------------------------------------------- drawing

namespace {
constexpr int kMaxUnderlines = 1 << 16;
}  // namespace

void TlyrCustomMemoView::applyPrintTags()
{
    if (!allowExpressions_) return;
    QString text = GetText();
    const QString before = text;
    replaceFirst(text, QStringLiteral("[TOTALPAGES#]"), QString::number(TotalPages));
    if (text.contains(QStringLiteral("[COPYNAME#]"), Qt::CaseInsensitive)) {
        const TlyrVariables &globals = lyrGlobalVariables();
        const QString copy =
                globals.IndexOf(QStringLiteral("CopyName")) >= 0
                        ? globals.Variables(QStringLiteral("CopyName")).toString() + QString::number(CopyNo)
                        : QString();
        replaceFirst(text, QStringLiteral("[COPYNAME#]"), copy);
    }
    if (text != before) SetText(text);
}

void TlyrCustomMemoView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    TlyrDrawTextUser dt(layoutObject());
    const int color = Color();
    QStringList designText;
    if (IsDesigning() && IsDataField()) {
        designText = memo_;
        memo_ = {QStringLiteral("[%1.\"%2\"]").arg(DataSetName(), DataField())};
    } else if (!IsDesigning()) {
        applyPrintTags();
    }
    setDrawParams(*dt, &canvas, scaleX, scaleY, offsetX, offsetY);
    DrawBackground();
    DrawFrame();
    if (underlines_ && rotation_ == 0) {
        canvas.SetPen(Frame()->Color(), FrameWidth, psSolid);
        // Only the rows the canvas shows, each once: a tall memo or a line
        // height near 0 would otherwise draw without end.
        const double step = dt->LineHeight() * scaleY;
        const double base = Y + (gapY_ - lineSpacing_ + 1) * scaleY;
        const QRect clip = canvas.ClipRect();
        const int top = std::max(Y, clip.top()), bottom = std::min(Y1, clip.bottom() + 1);
        if (step > 0 && std::fabs(base) < 4.0 * lyrMaxCoord) {
            double k = std::max(1.0, std::ceil((top - base) / step));
            // At most two turns a row, whatever the rounding does, and no more
            // rows than the tallest device shows (a canvas that only records
            // has no edge).
            const int turns0 = std::min(2 * (bottom - top) + 4, 2 * kMaxUnderlines);
            for (int last = std::numeric_limits<int>::min(), turns = turns0; turns > 0; ++k, --turns) {
                const int y = lyrRoundi(base + k * step);
                if (y >= bottom) break;
                if (y != last) canvas.Line(X, y, X1, y);
                last = y;
                // Lines closer than a pixel share one row.
                if (step < 1) k = std::max(k, std::ceil((y + 1 - base) / step) - 1);
            }
        }
    }
    dt->DrawText(canvas, TlyrHAlign(hAlign_), TlyrVAlign(vAlign_));
    SetColor(color);
    if (!designText.isEmpty()) memo_ = designText;
}

QString TlyrCustomMemoView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrStretcheable::Diff(other);
    auto *o = qobject_cast<const TlyrCustomMemoView *>(other);
    if (!o) return out;
    if (autoWidth_ != o->autoWidth_) lyrAppendAttr(out, "AutoWidth", lyrBoolAttr(autoWidth_));
    if (charSpacing_ != o->charSpacing_) lyrAppendAttr(out, "CharSpacing", ksFloatToStr(charSpacing_));
    if (gapX_ != o->gapX_) lyrAppendAttr(out, "GapX", ksFloatToStr(gapX_));
    if (gapY_ != o->gapY_) lyrAppendAttr(out, "GapY", ksFloatToStr(gapY_));
    if (hAlign_ != o->hAlign_) lyrAppendAttr(out, "HAlign", QString::number(hAlign_));
    if (highlight_->Active != o->highlight_->Active)
        lyrAppendAttr(out, "Highlight.Active", lyrBoolAttr(highlight_->Active));
    if (lineSpacing_ != o->lineSpacing_) lyrAppendAttr(out, "LineSpacing", ksFloatToStr(lineSpacing_));
    lyrAppendAttr(out, "u", QString::fromUtf8(lyrStrToXML(GetText())));
    if (paragraphGap_ != o->paragraphGap_) lyrAppendAttr(out, "ParagraphGap", ksFloatToStr(paragraphGap_));
    if (rotation_ != o->rotation_) lyrAppendAttr(out, "Rotation", QString::number(rotation_));
    if (rtlReading_ != o->rtlReading_) lyrAppendAttr(out, "RTLReading", lyrBoolAttr(rtlReading_));
    if (underlines_ != o->underlines_) lyrAppendAttr(out, "Underlines", lyrBoolAttr(underlines_));
    if (vAlign_ != o->vAlign_) lyrAppendAttr(out, "VAlign", QString::number(vAlign_));
    if (wordWrap_ != o->wordWrap_) lyrAppendAttr(out, "WordWrap", lyrBoolAttr(wordWrap_));
    if (firstParaBreak_) lyrAppendAttr(out, "FirstParaBreak", QStringLiteral("1"));
    if (lastParaBreak_) lyrAppendAttr(out, "LastParaBreak", QStringLiteral("1"));
    // The next part of a split memo starts with the right flag.
    auto *self = const_cast<TlyrCustomMemoView *>(this);
    self->firstParaBreak_ = lastParaBreak_;
    self->lastParaBreak_ = false;
    return out;
}

QString TlyrMemoView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obText"));
}

QString TlyrSysMemoView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obSysText"));
}

void lyrRegisterMemoClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    lyrRegisterViewClasses();
    ksRegisterClass(&TlyrCustomMemoView::staticMetaObject,
                    [](QObject *o) -> QObject * { return new TlyrCustomMemoView(o); });
    const QStringList brushes{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                              "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    for (KsClassInfo *cls : {ksRegisterClass<TlyrMemoView>(), ksRegisterClass<TlyrSysMemoView>()}) {
        lyrPublishEnum(cls, "BrushStyle", "TBrushStyle", brushes);
        lyrPublishEnum(cls, "HAlign", "TlyrHAlign", {"haLeft", "haRight", "haCenter", "haBlock"});
        lyrPublishEnum(cls, "VAlign", "TlyrVAlign", {"vaTop", "vaBottom", "vaCenter"});
    }
}
