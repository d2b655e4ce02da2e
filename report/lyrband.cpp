#include "report/lyrband.h"

#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrframe.h"
#include "report/lyrres.h"
#include "script/ks_props.h"

#include <cmath>

TlyrBand::TlyrBand(QObject *owner) : TlyrReportComponent(owner) {}

TlyrChild *TlyrBand::Child() const
{
    return qobject_cast<TlyrChild *>(child_.data());
}

void TlyrBand::SetChild(TlyrChild *child)
{
    for (TlyrBand *b = child; b; b = b->child_.data()) {
        if (b == this) throw ElyrError(QStringLiteral("Circular child reference is not allowed"));
    }
    child_ = child;
}

namespace {
double snap(const TlyrBand *band, double value, double cell)
{
    TlyrPage *page = band->Page();
    return page && page->IsCharacterGrid() ? std::round(value / cell) * cell : value;
}
}  // namespace

void TlyrBand::SetLeft(double value)
{
    TlyrReportComponent::SetLeft(snap(this, value, 9.6));
}

void TlyrBand::SetTop(double value)
{
    TlyrReportComponent::SetTop(snap(this, value, 17));
}

void TlyrBand::SetHeight(double value)
{
    TlyrReportComponent::SetHeight(snap(this, value, 17));
}

QString TlyrBand::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obBand"));
}

const QList<const QMetaObject *> &lyrBandClasses()
{
    static const QList<const QMetaObject *> table{
            &TlyrReportTitle::staticMetaObject,   &TlyrReportSummary::staticMetaObject,
            &TlyrPageHeader::staticMetaObject,    &TlyrPageFooter::staticMetaObject,
            &TlyrHeader::staticMetaObject,        &TlyrFooter::staticMetaObject,
            &TlyrMasterData::staticMetaObject,    &TlyrDetailData::staticMetaObject,
            &TlyrSubdetailData::staticMetaObject, &TlyrDataBand4::staticMetaObject,
            &TlyrDataBand5::staticMetaObject,     &TlyrDataBand6::staticMetaObject,
            &TlyrGroupHeader::staticMetaObject,   &TlyrGroupFooter::staticMetaObject,
            &TlyrChild::staticMetaObject,         &TlyrColumnHeader::staticMetaObject,
            &TlyrColumnFooter::staticMetaObject,  &TlyrOverlay::staticMetaObject,
    };
    return table;
}

int TlyrBand::BandNumber() const
{
    int number = 0;
    const auto &table = lyrBandClasses();
    for (int i = 0; i < table.size(); ++i)
        if (metaObject()->inherits(table[i])) number = i;
    return number;
}

// ---------------------------------------------------------------- data band

TlyrDataBand::TlyrDataBand(QObject *owner) : TlyrBand(owner) {}

TlyrUserDataSet *TlyrDataBand::VirtualDataSet() const
{
    // Made when first asked for: every dataset enters the global list under
    // its lock, and the bands of a built page never ask.
    if (!virtualDataSet_) {
        virtualDataSet_ = std::make_unique<TlyrUserDataSet>();
        virtualDataSet_->SetRangeEnd(TlyrDataSet::reCount);
        virtualDataSet_->SetRangeEndCount(rowCount_);
    }
    return virtualDataSet_.get();
}

TlyrDataBand::~TlyrDataBand() = default;

QString TlyrDataBand::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obDataBand"));
}

void TlyrDataBand::SetCurColumn(int column)
{
    if (column > columns_) column = 1;
    if (column == 1) ColumnValue = 0;
    curColumn_ = column;
    SetLeft((column - 1) * (columnWidth_ + columnGap_));
}

void TlyrDataBand::SetDataSet(TlyrDataSet *v)
{
    dataSet_ = v;
    dataSetName_ = v ? v->UserName() : QString();
}

QString TlyrDataBand::DataSetName() const
{
    return dataSet_ ? dataSet_->UserName() : dataSetName_;
}

void TlyrDataBand::SetDataSetName(const QString &v)
{
    dataSetName_ = v;
    TlyrReport *r = Report();
    dataSet_ = r ? r->GetDataset(v) : nullptr;
}

bool TlyrDataBand::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("DataSetName")) return !dataSet_ && !dataSetName_.isEmpty();
    return TlyrBand::IsPropertyStored(name);
}

void TlyrDataBand::SetRowCount(int v)
{
    rowCount_ = v;
    if (virtualDataSet_) virtualDataSet_->SetRangeEndCount(v);
}

QString TlyrGroupHeader::Diff(const TlyrComponent *other) const
{
    QString out = TlyrBand::Diff(other);
    if (DrillDown) lyrAppendAttr(out, "Tag", QString::number(EngineCounter));
    return out;
}

void lyrRegisterBandClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    ksRegisterClass<TlyrBand>();
    ksRegisterClass<TlyrChild>();
    ksRegisterClass<TlyrReportTitle>();
    ksRegisterClass<TlyrReportSummary>();
    ksRegisterClass<TlyrDataBand>();
    ksRegisterClass<TlyrMasterData>();
    ksRegisterClass<TlyrDetailData>();
    ksRegisterClass<TlyrSubdetailData>();
    ksRegisterClass<TlyrDataBand4>();
    ksRegisterClass<TlyrDataBand5>();
    ksRegisterClass<TlyrDataBand6>();
    ksRegisterClass<TlyrHeader>();
    ksRegisterClass<TlyrFooter>();
    ksRegisterClass<TlyrPageHeader>();
    ksRegisterClass<TlyrPageFooter>();
    ksRegisterClass<TlyrColumnHeader>();
    ksRegisterClass<TlyrColumnFooter>();
    ksRegisterClass<TlyrGroupHeader>();
    ksRegisterClass<TlyrGroupFooter>();
    ksRegisterClass<TlyrOverlay>();
    ksRegisterClass<TlyrNullBand>();
}
