#include "report/lyrpage.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrpropstream.h"
#include "report/lyrres.h"
#include "script/ks_props.h"
#include "script/ksrtl.h"

#include <cmath>

namespace {
struct Paper {
    int number;
    double width, height;
};
// Windows paper numbers with their sizes in millimetres.
constexpr Paper kPapers[] = {
        {1, 215.9, 279.4}, {3, 279.4, 431.8}, {5, 215.9, 355.6}, {7, 184.15, 266.7}, {8, 297, 420},
        {9, 210, 297},     {11, 148, 210},    {12, 250, 353},    {13, 182, 257},     {20, 104.8, 241.3},
        {27, 110, 220},    {28, 162, 229},    {34, 176, 250},    {66, 420, 594},     {70, 105, 148},
};

double round8(double v)
{
    return std::round(v * 1e8) / 1e8;
}
}  // namespace

bool lyrPaperSize(int paper, double &width, double &height)
{
    for (const Paper &p : kPapers) {
        if (p.number == paper) {
            width = p.width;
            height = p.height;
            return true;
        }
    }
    return false;
}

int lyrPaperOfSize(double width, double height)
{
    auto same = [](double a, double b) { return std::fabs(a - b) < 0.01; };
    for (const Paper &p : kPapers)
        if ((same(p.width, width) && same(p.height, height)) || (same(p.width, height) && same(p.height, width)))
            return p.number;
    return lyrCustomPaper;
}

TlyrReportPage::TlyrReportPage(QObject *owner) : TlyrPage(owner), background_(std::make_unique<TlyrPictureView>())
{
    background_->SetColor(clNone);
    background_->SetKeepAspectRatio(false);
    setBaseName(QStringLiteral("Page"));
    SetPaperSize(9);
}

TlyrReportPage::~TlyrReportPage() = default;

QString TlyrReportPage::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obRepPage"));
}

void TlyrReportPage::updateSize()
{
    SetWidth(std::round(paperWidth_ * lyrUnitsPerMM));
    SetHeight(std::round(paperHeight_ * lyrUnitsPerMM));
}

void TlyrReportPage::SetPaperSize(int v)
{
    paperSize_ = v;
    double w = 0, h = 0;
    if (v < lyrCustomPaper && lyrPaperSize(v, w, h)) {
        if (orientation_ == poLandscape) std::swap(w, h);
        paperWidth_ = w;
        paperHeight_ = h;
    }
    updateSize();
}

// A size given without a paper number keeps the number that matches it
// (an A4 template stays A4 after loading), else it is a custom size.
void TlyrReportPage::SetPaperWidth(double v)
{
    paperWidth_ = round8(v);
    paperSize_ = lyrPaperOfSize(paperWidth_, paperHeight_);
    updateSize();
}

void TlyrReportPage::SetPaperHeight(double v)
{
    paperHeight_ = round8(v);
    paperSize_ = lyrPaperOfSize(paperWidth_, paperHeight_);
    updateSize();
}

void TlyrReportPage::SetOrientation(int v)
{
    v = v == poLandscape ? poLandscape : poPortrait;
    if (v == orientation_) return;
    orientation_ = v;
    std::swap(paperWidth_, paperHeight_);
    const double l = margins_[0], t = margins_[1], r = margins_[2], b = margins_[3];
    if (v == poLandscape) {
        margins_[0] = t, margins_[1] = r, margins_[2] = b, margins_[3] = l;
    } else {
        margins_[0] = b, margins_[3] = r, margins_[2] = t, margins_[1] = l;
    }
    updateSize();
}

// A count past what any sheet holds is refused before one position is made:
// each column costs a text, and a damaged file may ask for 10^8 of them.
void TlyrReportPage::SetColumns(int v)
{
    if (v > lyrMaxPageColumns)
        throw ElyrError(QStringLiteral("%1 columns: a page holds at most %2").arg(v).arg(lyrMaxPageColumns));
    QStringList positions;
    double width = columnWidth_;
    if (v > 0) {
        width = (paperWidth_ - margins_[0] - margins_[2]) / v;
        positions.reserve(v);
        for (int i = 0; i < v; ++i) positions << ksFloatToStr(i * width);
    }
    columns_ = v;
    columnWidth_ = width;
    columnPositions_.swap(positions);
}

std::function<bool(TlyrCurrentPaper &)> &lyrCurrentPaperHook()
{
    static std::function<bool(TlyrCurrentPaper &)> hook;
    return hook;
}

void TlyrReportPage::SetDefaults()
{
    for (double &m : margins_) m = 10;
    TlyrCurrentPaper paper;
    if (!lyrCurrentPaperHook() || !lyrCurrentPaperHook()(paper)) paper = TlyrCurrentPaper();
    orientation_ = paper.Orientation;
    if (paper.PaperSize < lyrCustomPaper) {
        SetPaperSize(paper.PaperSize);
        return;
    }
    // A paper of its own size: the printer's sizes are already turned.
    paperSize_ = paper.PaperSize;
    paperWidth_ = paper.Width;
    paperHeight_ = paper.Height;
    updateSize();
}

void TlyrReportPage::SetDataSet(TlyrDataSet *v)
{
    dataSet_ = v;
    dataSetName_ = v ? v->UserName() : QString();
}

QString TlyrReportPage::DataSetName() const
{
    return dataSet_ ? dataSet_->UserName() : dataSetName_;
}

void TlyrReportPage::SetDataSetName(const QString &v)
{
    dataSetName_ = v;
    TlyrReport *r = Report();
    dataSet_ = r ? r->GetDataset(v) : nullptr;
}

bool TlyrReportPage::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("DataSetName")) return !dataSet_ && !dataSetName_.isEmpty();
    if (name == QLatin1String("ColumnWidth")) return columns_ > 0;
    return TlyrPage::IsPropertyStored(name);
}

void TlyrReportPage::AlignChildren()
{
    const double pw = (paperWidth_ - margins_[0] - margins_[2]) * lyrUnitsPerMM;
    const double ph = (paperHeight_ - margins_[1] - margins_[3]) * lyrUnitsPerMM;
    SetWidth(pw);
    SetHeight(ph);
    TlyrPage::AlignChildren();
    for (TlyrComponent *c : Objects()) {
        auto *band = qobject_cast<TlyrBand *>(c);
        if (!band) continue;
        if (band->Vertical())
            band->SetHeight(ph - band->Top());
        else
            band->SetWidth(pw - band->Left());
        band->AlignChildren();
    }
    updateSize();
}

void TlyrReportPage::sizeBackground()
{
    background_->SetBounds(0, 0, (paperWidth_ - margins_[0] - margins_[2]) * lyrUnitsPerMM,
                           (paperHeight_ - margins_[1] - margins_[3]) * lyrUnitsPerMM);
}

void TlyrReportPage::DrawBackground(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    sizeBackground();
    background_->Draw(canvas, scaleX, scaleY, offsetX + margins_[0] * lyrUnitsPerMM * scaleX,
                      offsetY + margins_[1] * lyrUnitsPerMM * scaleY);
}

TlyrBand *TlyrReportPage::FindBand(const QMetaObject *bandClass) const
{
    for (TlyrComponent *c : Objects())
        if (c->metaObject()->inherits(bandClass)) return static_cast<TlyrBand *>(c);
    return nullptr;
}

bool TlyrReportPage::IsSubReport() const
{
    return property("lyrSubReport").value<QObject *>() != nullptr;
}

void TlyrReportPage::WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const
{
    TlyrPage::WriteData(writer, serializer);
    if (!background_->PictureData().isEmpty()) {
        writer.WritePropName("BackPicture");
        writer.WriteLString(background_->PictureData());
    }
}

bool TlyrReportPage::ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer)
{
    if (name == "BackPicture") {
        background_->LoadPictureFromStream(reader.ReadRawString());
        return true;
    }
    return TlyrPage::ReadData(name, reader, serializer);
}

void lyrRegisterPageClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    KsClassInfo *page = ksRegisterClass<TlyrReportPage>();
    lyrPublishEnum(page, "Orientation", "TPrinterOrientation", {"poPortrait", "poLandscape"});
    lyrPublishEnum(page, "Duplex", "TlyrDuplexMode", {"dmNone", "dmVertical", "dmHorizontal", "dmSimplex"});
}
