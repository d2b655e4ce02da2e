#pragma once
// Report pages: a sheet of paper (size from the paper table or custom,
// margins in millimetres that turn with the orientation, columns, a
// background colour, picture and frame inside the margins) holding bands.

#include "report/lyrcomponent.h"
#include "report/lyrdbset.h"
#include "report/lyrview.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class TlyrBand;

// Layout units per millimetre.
constexpr double lyrUnitsPerMM = 3.77953;
constexpr int lyrCustomPaper = 256;
// The most columns a page takes: far more than any sheet of paper holds.
constexpr int lyrMaxPageColumns = 1000;

// Width and height in millimetres of a paper number (portrait); false for
// a number the table does not know.
bool lyrPaperSize(int paper, double &width, double &height);
// The paper number of a size in either orientation, or 256.
int lyrPaperOfSize(double width, double height);

enum TlyrPrinterOrientation { poPortrait, poLandscape };
enum TlyrDuplexMode { dmNone, dmVertical, dmHorizontal, dmSimplex };

class TlyrReportPage : public TlyrPage {
    Q_OBJECT
    Q_PROPERTY(int Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(double PaperWidth READ PaperWidth WRITE SetPaperWidth)
    Q_PROPERTY(double PaperHeight READ PaperHeight WRITE SetPaperHeight)
    Q_PROPERTY(int PaperSize READ PaperSize WRITE SetPaperSize)
    Q_PROPERTY(double LeftMargin READ LeftMargin WRITE SetLeftMargin)
    Q_PROPERTY(double RightMargin READ RightMargin WRITE SetRightMargin)
    Q_PROPERTY(double TopMargin READ TopMargin WRITE SetTopMargin)
    Q_PROPERTY(double BottomMargin READ BottomMargin WRITE SetBottomMargin)
    Q_PROPERTY(bool MirrorMargins MEMBER MirrorMargins)
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(double ColumnWidth READ ColumnWidth WRITE SetColumnWidth)
    Q_PROPERTY(QStringList ColumnPositions READ ColumnPositions WRITE SetColumnPositions)
    Q_PROPERTY(int Bin MEMBER Bin)
    Q_PROPERTY(int BinOtherPages MEMBER BinOtherPages)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(int Duplex MEMBER Duplex)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(bool EndlessHeight MEMBER EndlessHeight)
    Q_PROPERTY(bool EndlessWidth MEMBER EndlessWidth)
    Q_PROPERTY(bool LargeDesignHeight MEMBER LargeDesignHeight)
    Q_PROPERTY(QString OutlineText MEMBER OutlineText)
    Q_PROPERTY(bool PrintIfEmpty MEMBER PrintIfEmpty)
    Q_PROPERTY(bool PrintOnPreviousPage MEMBER PrintOnPreviousPage)
    Q_PROPERTY(bool ResetPageNumbers MEMBER ResetPageNumbers)
    Q_PROPERTY(bool TitleBeforeHeader MEMBER TitleBeforeHeader)
    Q_PROPERTY(QStringList HGuides MEMBER HGuides)
    Q_PROPERTY(QStringList VGuides MEMBER VGuides)
    Q_PROPERTY(QString OnAfterPrint MEMBER OnAfterPrint)
    Q_PROPERTY(QString OnBeforePrint MEMBER OnBeforePrint)
    Q_PROPERTY(QString OnManualBuild MEMBER OnManualBuild)
    Q_CLASSINFO("Default:Orientation", "0")
    Q_CLASSINFO("Default:PaperSize", "9")
    Q_CLASSINFO("Default:MirrorMargins", "false")
    Q_CLASSINFO("Default:Columns", "0")
    Q_CLASSINFO("Default:Bin", "7")
    Q_CLASSINFO("Default:BinOtherPages", "7")
    Q_CLASSINFO("Default:Color", "536870911")
    Q_CLASSINFO("Default:Duplex", "0")
    Q_CLASSINFO("Default:EndlessHeight", "false")
    Q_CLASSINFO("Default:EndlessWidth", "false")
    Q_CLASSINFO("Default:LargeDesignHeight", "false")
    Q_CLASSINFO("Default:PrintIfEmpty", "true")
    Q_CLASSINFO("Default:PrintOnPreviousPage", "false")
    Q_CLASSINFO("Default:ResetPageNumbers", "false")
    Q_CLASSINFO("Default:TitleBeforeHeader", "true")
public:
    Q_INVOKABLE explicit TlyrReportPage(QObject *owner = nullptr);
    ~TlyrReportPage() override;

    int Orientation() const { return orientation_; }
    void SetOrientation(int v);
    double PaperWidth() const { return paperWidth_; }
    double PaperHeight() const { return paperHeight_; }
    int PaperSize() const { return paperSize_; }
    virtual void SetPaperWidth(double v);
    virtual void SetPaperHeight(double v);
    virtual void SetPaperSize(int v);
    double LeftMargin() const { return margins_[0]; }
    double TopMargin() const { return margins_[1]; }
    double RightMargin() const { return margins_[2]; }
    double BottomMargin() const { return margins_[3]; }
    void SetLeftMargin(double v) { margins_[0] = v; }
    void SetTopMargin(double v) { margins_[1] = v; }
    void SetRightMargin(double v) { margins_[2] = v; }
    void SetBottomMargin(double v) { margins_[3] = v; }
    int Columns() const { return columns_; }
    void SetColumns(int v);
    double ColumnWidth() const { return columnWidth_; }
    void SetColumnWidth(double v) { columnWidth_ = v; }
    QStringList ColumnPositions() const { return columnPositions_; }
    void SetColumnPositions(const QStringList &v) { columnPositions_ = v; }
    int Color() const { return background_->Color(); }
    void SetColor(int v) { background_->SetColor(v); }
    TlyrFrame *Frame() const { return background_->Frame(); }
    TlyrPictureView *Background() const { return background_.get(); }
    TlyrDataSet *DataSet() const { return dataSet_.data(); }
    void SetDataSet(TlyrDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);

    bool MirrorMargins = false;
    int Bin = 7, BinOtherPages = 7;
    int Duplex = dmNone;
    bool EndlessHeight = false, EndlessWidth = false, LargeDesignHeight = false;
    QString OutlineText;
    bool PrintIfEmpty = true, PrintOnPreviousPage = false, ResetPageNumbers = false, TitleBeforeHeader = true;
    QStringList HGuides, VGuides;
    QString OnAfterPrint, OnBeforePrint, OnManualBuild;
    // For the engine's use.
    QList<TlyrComponent *> EngineList1, EngineList2;

    // Margins 10 mm; the paper of the current printer (A4 portrait when no
    // printer list is installed).
    virtual void SetDefaults();
    void AlignChildren() override;
    QString GetDescription() const override;
    // Colour, picture and frame inside the margins.
    void DrawBackground(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY);
    // The first child of the class (or one inheriting it).
    TlyrBand *FindBand(const QMetaObject *bandClass) const;
    bool IsSubReport() const;
    bool IsPropertyStored(const QString &name) const override;
    void WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const override;
    bool ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer) override;

private:
    void updateSize();
    void sizeBackground();
    int orientation_ = poPortrait;
    double paperWidth_ = 0, paperHeight_ = 0;
    int paperSize_ = 0;
    double margins_[4] = {0, 0, 0, 0};
    int columns_ = 0;
    double columnWidth_ = 0;
    QStringList columnPositions_;
    std::unique_ptr<TlyrPictureView> background_;
    QPointer<TlyrDataSet> dataSet_;
    QString dataSetName_;
};

// The paper of the current printer: its number, width and height in mm
// and orientation; false when there is none. Installed by the printer list.
struct TlyrCurrentPaper {
    int PaperSize = 9;
    double Width = 210, Height = 297;
    int Orientation = poPortrait;
};
std::function<bool(TlyrCurrentPaper &)> &lyrCurrentPaperHook();

void lyrRegisterPageClasses();
