#pragma once
// Bands: the horizontal strips of a report page that hold views. Their
// class tells the engine when to output them; the options they publish
// select what the engine does; the band-class table numbers the kinds.

#include "report/lyrcomponent.h"
#include "report/lyrdbset.h"

#include <QPointer>

#include <memory>

class TlyrDataSet;
class TlyrUserDataSet;
class TlyrChild;

class TlyrBand : public TlyrReportComponent {
    Q_OBJECT
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(int Restrictions READ Restrictions WRITE SetRestrictions)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(bool Vertical READ Vertical WRITE SetVertical)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(QString OnAfterCalcHeight READ OnAfterCalcHeight WRITE SetOnAfterCalcHeight)
    Q_CLASSINFO("Default:ParentFont", "true")
    Q_CLASSINFO("Default:Restrictions", "0")
    Q_CLASSINFO("Default:Vertical", "false")
    Q_CLASSINFO("Default:Visible", "true")
public:
    Q_INVOKABLE explicit TlyrBand(QObject *owner = nullptr);

    bool AllowSplit() const { return allowSplit_; }
    void SetAllowSplit(bool v) { allowSplit_ = v; }
    TlyrChild *Child() const;
    // Raises ElyrError for a chain of children that comes back here.
    void SetChild(TlyrChild *child);
    bool KeepChild() const { return keepChild_; }
    void SetKeepChild(bool v) { keepChild_ = v; }
    QString OnAfterCalcHeight() const { return onAfterCalcHeight_; }
    void SetOnAfterCalcHeight(const QString &v) { onAfterCalcHeight_ = v; }
    QString OutlineText() const { return outlineText_; }
    void SetOutlineText(const QString &v) { outlineText_ = v; }
    bool StartNewPage() const { return startNewPage_; }
    void SetStartNewPage(bool v) { startNewPage_ = v; }
    bool Stretched() const { return stretched_; }
    void SetStretched(bool v) { stretched_ = v; }
    bool PrintChildIfInvisible() const { return printChildIfInvisible_; }
    void SetPrintChildIfInvisible(bool v) { printChildIfInvisible_ = v; }
    bool Vertical() const { return vertical_; }
    void SetVertical(bool v) { vertical_ = v; }

    // Set by the engine when it splits the band over pages; read by scripts.
    bool Overflow = false;
    // Engine working data.
    QList<TlyrBand *> EngineList;
    int EngineCounter = 0;
    int EngineIndex = -1;

    bool IsBand() const override { return true; }
    QString GetDescription() const override;
    // On a dot-matrix page Left snaps to 9.6 units, Top and Height to 17.
    void SetLeft(double value) override;
    void SetTop(double value) override;
    void SetHeight(double value) override;
    // The band's number in the band-class table (0 for classes not in it).
    int BandNumber() const;

private:
    bool allowSplit_ = false, keepChild_ = false, startNewPage_ = false, stretched_ = false;
    bool printChildIfInvisible_ = false, vertical_ = false;
    QPointer<TlyrBand> child_;
    QString onAfterCalcHeight_, outlineText_;
};

// The 18 band classes in the order of their numbers.
const QList<const QMetaObject *> &lyrBandClasses();

class TlyrChild : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool StartNewPage READ StartNewPage WRITE SetStartNewPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrChild(QObject *owner = nullptr) : TlyrBand(owner) {}
};

class TlyrReportTitle : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool StartNewPage READ StartNewPage WRITE SetStartNewPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrReportTitle(QObject *owner = nullptr) : TlyrBand(owner) {}
};

class TlyrReportSummary : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool StartNewPage READ StartNewPage WRITE SetStartNewPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrReportSummary(QObject *owner = nullptr) : TlyrBand(owner) {}
};

class TlyrDataBand : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(double ColumnWidth READ ColumnWidth WRITE SetColumnWidth)
    Q_PROPERTY(double ColumnGap READ ColumnGap WRITE SetColumnGap)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(bool FooterAfterEach READ FooterAfterEach WRITE SetFooterAfterEach)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool KeepFooter READ KeepFooter WRITE SetKeepFooter)
    Q_PROPERTY(bool KeepHeader READ KeepHeader WRITE SetKeepHeader)
    Q_PROPERTY(bool KeepTogether READ KeepTogether WRITE SetKeepTogether)
    Q_PROPERTY(QString OutlineText READ OutlineText WRITE SetOutlineText)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool PrintIfDetailEmpty READ PrintIfDetailEmpty WRITE SetPrintIfDetailEmpty)
    Q_PROPERTY(int RowCount READ RowCount WRITE SetRowCount)
    Q_PROPERTY(bool StartNewPage READ StartNewPage WRITE SetStartNewPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
    Q_PROPERTY(QString OnMasterDetail READ OnMasterDetail WRITE SetOnMasterDetail)
    Q_CLASSINFO("Default:Columns", "0")
    Q_CLASSINFO("Default:RowCount", "0")
public:
    Q_INVOKABLE explicit TlyrDataBand(QObject *owner = nullptr);
    ~TlyrDataBand() override;
    int Columns() const { return columns_; }
    void SetColumns(int v) { columns_ = v; }
    double ColumnWidth() const { return columnWidth_; }
    void SetColumnWidth(double v) { columnWidth_ = v; }
    double ColumnGap() const { return columnGap_; }
    void SetColumnGap(double v) { columnGap_ = v; }
    int CurColumn() const { return curColumn_; }
    // A column beyond Columns is column 1; the band moves to its column.
    void SetCurColumn(int column);
    TlyrDataSet *DataSet() const { return dataSet_.data(); }
    void SetDataSet(TlyrDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);
    bool FooterAfterEach() const { return footerAfterEach_; }
    void SetFooterAfterEach(bool v) { footerAfterEach_ = v; }
    bool KeepFooter() const { return keepFooter_; }
    void SetKeepFooter(bool v) { keepFooter_ = v; }
    bool KeepHeader() const { return keepHeader_; }
    void SetKeepHeader(bool v) { keepHeader_ = v; }
    bool KeepTogether() const { return keepTogether_; }
    void SetKeepTogether(bool v) { keepTogether_ = v; }
    bool PrintIfDetailEmpty() const { return printIfDetailEmpty_; }
    void SetPrintIfDetailEmpty(bool v) { printIfDetailEmpty_ = v; }
    int RowCount() const { return rowCount_; }
    // Also the count of the band's own record source.
    void SetRowCount(int v);
    QString OnMasterDetail() const { return onMasterDetail_; }
    void SetOnMasterDetail(const QString &v) { onMasterDetail_ = v; }
    TlyrUserDataSet *VirtualDataSet() const;
    // Kept by the engine for the current run of columns.
    double ColumnValue = 0;
    QString GetDescription() const override;
    bool IsPropertyStored(const QString &name) const override;

private:
    int columns_ = 0, curColumn_ = 1, rowCount_ = 0;
    double columnWidth_ = 0, columnGap_ = 0;
    QPointer<TlyrDataSet> dataSet_;
    QString dataSetName_, onMasterDetail_;
    bool footerAfterEach_ = false, keepFooter_ = false, keepHeader_ = false, keepTogether_ = false;
    bool printIfDetailEmpty_ = false;
    mutable std::unique_ptr<TlyrUserDataSet> virtualDataSet_;
};

class TlyrMasterData : public TlyrDataBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrMasterData(QObject *owner = nullptr) : TlyrDataBand(owner) {}
};
class TlyrDetailData : public TlyrDataBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDetailData(QObject *owner = nullptr) : TlyrDataBand(owner) {}
};
class TlyrSubdetailData : public TlyrDataBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrSubdetailData(QObject *owner = nullptr) : TlyrDataBand(owner) {}
};
class TlyrDataBand4 : public TlyrDataBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDataBand4(QObject *owner = nullptr) : TlyrDataBand(owner) {}
};
class TlyrDataBand5 : public TlyrDataBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDataBand5(QObject *owner = nullptr) : TlyrDataBand(owner) {}
};
class TlyrDataBand6 : public TlyrDataBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDataBand6(QObject *owner = nullptr) : TlyrDataBand(owner) {}
};

class TlyrHeader : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool ReprintOnNewPage MEMBER ReprintOnNewPage)
    Q_PROPERTY(bool StartNewPage READ StartNewPage WRITE SetStartNewPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrHeader(QObject *owner = nullptr) : TlyrBand(owner) {}
    bool ReprintOnNewPage = false;
};

class TlyrFooter : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrFooter(QObject *owner = nullptr) : TlyrBand(owner) {}
};

class TlyrPageHeader : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool PrintOnFirstPage MEMBER PrintOnFirstPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
    Q_CLASSINFO("Default:PrintOnFirstPage", "true")
public:
    Q_INVOKABLE explicit TlyrPageHeader(QObject *owner = nullptr) : TlyrBand(owner) {}
    bool PrintOnFirstPage = true;
};

class TlyrPageFooter : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool PrintOnFirstPage MEMBER PrintOnFirstPage)
    Q_PROPERTY(bool PrintOnLastPage MEMBER PrintOnLastPage)
    Q_CLASSINFO("Default:PrintOnFirstPage", "true")
    Q_CLASSINFO("Default:PrintOnLastPage", "true")
public:
    Q_INVOKABLE explicit TlyrPageFooter(QObject *owner = nullptr) : TlyrBand(owner) {}
    bool PrintOnFirstPage = true;
    bool PrintOnLastPage = true;
};

class TlyrColumnHeader : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrColumnHeader(QObject *owner = nullptr) : TlyrBand(owner) {}
};

class TlyrColumnFooter : public TlyrBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrColumnFooter(QObject *owner = nullptr) : TlyrBand(owner) {}
};

class TlyrGroupHeader : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(QString Condition MEMBER Condition)
    Q_PROPERTY(bool DrillDown MEMBER DrillDown)
    Q_PROPERTY(bool ExpandDrillDown MEMBER ExpandDrillDown)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool KeepTogether MEMBER KeepTogether)
    Q_PROPERTY(bool ReprintOnNewPage MEMBER ReprintOnNewPage)
    Q_PROPERTY(QString OutlineText READ OutlineText WRITE SetOutlineText)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool ResetPageNumbers MEMBER ResetPageNumbers)
    Q_PROPERTY(bool ShowFooterIfDrillDown MEMBER ShowFooterIfDrillDown)
    Q_PROPERTY(bool StartNewPage READ StartNewPage WRITE SetStartNewPage)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrGroupHeader(QObject *owner = nullptr) : TlyrBand(owner) {}
    QString Condition;
    bool DrillDown = false, ExpandDrillDown = false, KeepTogether = false, ReprintOnNewPage = false;
    bool ResetPageNumbers = false, ShowFooterIfDrillDown = false;
    QString Diff(const TlyrComponent *other) const override;
};

class TlyrGroupFooter : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool AllowSplit READ AllowSplit WRITE SetAllowSplit)
    Q_PROPERTY(TlyrChild *Child READ Child WRITE SetChild)
    Q_PROPERTY(bool HideIfSingleDataRecord MEMBER HideIfSingleDataRecord)
    Q_PROPERTY(bool KeepChild READ KeepChild WRITE SetKeepChild)
    Q_PROPERTY(bool PrintChildIfInvisible READ PrintChildIfInvisible WRITE SetPrintChildIfInvisible)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
public:
    Q_INVOKABLE explicit TlyrGroupFooter(QObject *owner = nullptr) : TlyrBand(owner) {}
    bool HideIfSingleDataRecord = false;
};

class TlyrOverlay : public TlyrBand {
    Q_OBJECT
    Q_PROPERTY(bool PrintOnTop MEMBER PrintOnTop)
public:
    Q_INVOKABLE explicit TlyrOverlay(QObject *owner = nullptr) : TlyrBand(owner) {}
    bool PrintOnTop = false;
};

class TlyrNullBand : public TlyrBand {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrNullBand(QObject *owner = nullptr) : TlyrBand(owner) {}
};

void lyrRegisterBandClasses();
