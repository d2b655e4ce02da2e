#pragma once
// Visual report objects: the view base (position and size in layout units,
// background, hatch, frame, data binding, hyperlink texts, drawing onto a
// canvas at any scale and offset), the stretchable base, and the shape,
// line, picture and subreport objects.

#include "report/lyrcanvas.h"
#include "report/lyrcomponent.h"
#include "report/lyrframe.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>

class TlyrDataSet;

// Component-style flags: copied into prepared pages; written as a diff
// against a default object of the class.
constexpr int lyrFlagPreviewCopy = 2;
constexpr int lyrFlagDefaultDiff = 4;

enum TlyrShiftMode { smDontShift, smAlways, smWhenOverlapped };
enum TlyrStretchMode { smDontStretch, smActualHeight, smMaxHeight };
enum TlyrShapeKind { skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond, skDiagonal1, skDiagonal2 };

class TlyrView : public TlyrReportComponent {
    Q_OBJECT
    Q_PROPERTY(int Align READ Align WRITE SetAlign)
    Q_PROPERTY(bool Printable READ Printable WRITE SetPrintable)
    Q_PROPERTY(int ShiftMode READ ShiftMode WRITE SetShiftMode)
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(int Restrictions READ Restrictions WRITE SetRestrictions)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_CLASSINFO("Default:Align", "0")
    Q_CLASSINFO("Default:Printable", "true")
    Q_CLASSINFO("Default:ShiftMode", "1")
    Q_CLASSINFO("Default:GroupIndex", "0")
    Q_CLASSINFO("Default:Restrictions", "0")
    Q_CLASSINFO("Default:Visible", "true")
public:
    Q_INVOKABLE explicit TlyrView(QObject *owner = nullptr);

    int Align() const { return align_; }
    void SetAlign(int v) { align_ = std::clamp(v, 0, int(baClient)); }
    bool Printable() const { return printable_; }
    void SetPrintable(bool v) { printable_ = v; }
    int ShiftMode() const { return shiftMode_; }
    void SetShiftMode(int v) { shiftMode_ = std::clamp(v, 0, int(smWhenOverlapped)); }
    int BrushStyle() const { return brushStyle_; }
    void SetBrushStyle(int v) { brushStyle_ = std::clamp(v, 0, int(bsDiagCross)); }
    int Color() const { return color_; }
    void SetColor(int v) { color_ = v; }
    int Cursor() const { return cursor_; }
    void SetCursor(int v) { cursor_ = v; }
    QString DataField() const { return dataField_; }
    void SetDataField(const QString &v) { dataField_ = v; }
    TlyrDataSet *DataSet() const { return dataSet_.data(); }
    void SetDataSet(TlyrDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);
    // Made when first asked for: most views keep the default frame, and a
    // page of printed views would make and free its five objects each.
    TlyrFrame *Frame() const;
    void SetFrame(const TlyrFrame &f) { Frame()->Assign(f); }
    // The frame's values without making it.
    const TlyrFrame &FrameValue() const;
    QString TagStr() const { return tagStr_; }
    void SetTagStr(const QString &v) { tagStr_ = v; }
    QString URL() const { return url_; }
    void SetURL(const QString &v) { url_ = v; }

    bool IsView() const override { return true; }
    TlyrAlign GetAlign() const override { return TlyrAlign(align_); }
    bool IsDataField() const;

    // Works out the pixel box at this scale and offset.
    virtual void BeginDraw(TlyrCanvas *canvas, double scaleX, double scaleY, double offsetX, double offsetY);
    virtual void DrawBackground();
    virtual void DrawFrame();
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    QString Diff(const TlyrComponent *other) const override;
    void BeforePrint() override;
    void GetData() override;
    void AfterPrint() override;
    bool IsPropertyStored(const QString &name) const override;

    // Replaces every bracketed expression by its value (the report's Calc).
    QString ExpandExpressions(const QString &text) const;

    // Drawing state of the last BeginDraw.
    int X = 0, Y = 0, X1 = 0, Y1 = 0, DX = 0, DY = 0, FrameWidth = 0;
    double ScaleX = 1, ScaleY = 1, OffsetX = 0, OffsetY = 0;
    TlyrCanvas *Canvas = nullptr;

private:
    int align_ = baNone;
    int brushStyle_ = bsSolid;
    int color_ = clNone;
    int cursor_ = 0;
    QString dataField_;
    // A removed dataset clears the binding.
    QPointer<TlyrDataSet> dataSet_;
    QString dataSetName_;
    mutable TlyrFrame *frame_ = nullptr;
    bool printable_ = true;
    int shiftMode_ = smAlways;
    QString tagStr_, url_, savedTagStr_, savedUrl_;
};

class TlyrStretcheable : public TlyrView {
    Q_OBJECT
    Q_PROPERTY(int StretchMode READ StretchMode WRITE SetStretchMode)
    Q_CLASSINFO("Default:StretchMode", "0")
public:
    Q_INVOKABLE explicit TlyrStretcheable(QObject *owner = nullptr) : TlyrView(owner) {}
    int StretchMode() const { return stretchMode_; }
    void SetStretchMode(int v) { stretchMode_ = std::clamp(v, 0, int(smMaxHeight)); }
    virtual double CalcHeight() { return Height(); }
    virtual double DrawPart() { return 0; }
    virtual void InitPart() {}

private:
    int stretchMode_ = smDontStretch;
};

class TlyrShapeView : public TlyrView {
    Q_OBJECT
    Q_PROPERTY(int BrushStyle READ BrushStyle WRITE SetBrushStyle)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(int Curve READ Curve WRITE SetCurve)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(int Shape READ Shape WRITE SetShape)
    Q_PROPERTY(QString TagStr READ TagStr WRITE SetTagStr)
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
    Q_CLASSINFO("Default:BrushStyle", "0")
    Q_CLASSINFO("Default:Color", "536870911")
    Q_CLASSINFO("Default:Cursor", "0")
    Q_CLASSINFO("Default:Curve", "0")
    Q_CLASSINFO("Default:Shape", "0")
public:
    Q_INVOKABLE explicit TlyrShapeView(QObject *owner = nullptr);
    int Curve() const { return curve_; }
    void SetCurve(int v) { curve_ = v; }
    int Shape() const { return shape_; }
    void SetShape(int v) { shape_ = std::clamp(v, 0, int(skDiagonal2)); }
    // The designer's palette passes the shape kind.
    void DesignCreate(int kind) { SetShape(kind); }
    QString GetDescription() const override;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    QString Diff(const TlyrComponent *other) const override;

private:
    void drawShape();
    int curve_ = 0;
    int shape_ = skRectangle;
};

class TlyrCustomLineView : public TlyrStretcheable {
    Q_OBJECT
    Q_PROPERTY(QString TagStr READ TagStr WRITE SetTagStr)
public:
    Q_INVOKABLE explicit TlyrCustomLineView(QObject *owner = nullptr);
};

class TlyrLineView : public TlyrCustomLineView {
    Q_OBJECT
    Q_PROPERTY(bool ArrowEnd READ ArrowEnd WRITE SetArrowEnd)
    Q_PROPERTY(int ArrowLength READ ArrowLength WRITE SetArrowLength)
    Q_PROPERTY(bool ArrowSolid READ ArrowSolid WRITE SetArrowSolid)
    Q_PROPERTY(bool ArrowStart READ ArrowStart WRITE SetArrowStart)
    Q_PROPERTY(int ArrowWidth READ ArrowWidth WRITE SetArrowWidth)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(bool Diagonal READ Diagonal WRITE SetDiagonal)
    Q_CLASSINFO("Default:ArrowEnd", "false")
    Q_CLASSINFO("Default:ArrowLength", "20")
    Q_CLASSINFO("Default:ArrowSolid", "false")
    Q_CLASSINFO("Default:ArrowStart", "false")
    Q_CLASSINFO("Default:ArrowWidth", "5")
    Q_CLASSINFO("Default:Diagonal", "false")
public:
    Q_INVOKABLE explicit TlyrLineView(QObject *owner = nullptr);
    bool ArrowEnd() const { return arrowEnd_; }
    void SetArrowEnd(bool v) { arrowEnd_ = v; }
    int ArrowLength() const { return arrowLength_; }
    void SetArrowLength(int v) { arrowLength_ = v; }
    bool ArrowSolid() const { return arrowSolid_; }
    void SetArrowSolid(bool v) { arrowSolid_ = v; }
    bool ArrowStart() const { return arrowStart_; }
    void SetArrowStart(bool v) { arrowStart_ = v; }
    int ArrowWidth() const { return arrowWidth_; }
    void SetArrowWidth(int v) { arrowWidth_ = v; }
    bool Diagonal() const { return diagonal_; }
    void SetDiagonal(bool v) { diagonal_ = v; }
    void DesignCreate(int kind);
    QString GetDescription() const override;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;

private:
    void drawArrow(QPoint tip, QPoint other);
    bool arrowEnd_ = false, arrowSolid_ = false, arrowStart_ = false, diagonal_ = false;
    int arrowLength_ = 20, arrowWidth_ = 5;
};

class TlyrPictureView : public TlyrView {
    Q_OBJECT
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(QString FileLink READ FileLink WRITE SetFileLink)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(bool KeepAspectRatio READ KeepAspectRatio WRITE SetKeepAspectRatio)
    Q_PROPERTY(bool Stretched READ Stretched WRITE SetStretched)
    Q_PROPERTY(QString TagStr READ TagStr WRITE SetTagStr)
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
    Q_CLASSINFO("Default:Cursor", "0")
    Q_CLASSINFO("Default:AutoSize", "false")
    Q_CLASSINFO("Default:Center", "false")
    Q_CLASSINFO("Default:ImageIndex", "0")
    Q_CLASSINFO("Default:KeepAspectRatio", "true")
    Q_CLASSINFO("Default:Stretched", "true")
public:
    static constexpr int kInvalidArg = int(0x80070057);

    Q_INVOKABLE explicit TlyrPictureView(QObject *owner = nullptr);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    bool Center() const { return center_; }
    void SetCenter(bool v) { center_ = v; }
    QString FileLink() const { return fileLink_; }
    void SetFileLink(const QString &v) { fileLink_ = v; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v) { imageIndex_ = v; }
    bool KeepAspectRatio() const { return keepAspectRatio_; }
    void SetKeepAspectRatio(bool v) { keepAspectRatio_ = v; }
    bool Stretched() const { return stretched_; }
    void SetStretched(bool v) { stretched_ = v; }

    // The picture and the bytes it was read from (stored as they are).
    const QImage &Picture() const { return picture_; }
    const QByteArray &PictureData() const { return pictureData_; }
    void ClearPicture();
    // 0, or kInvalidArg with the picture cleared and an error line.
    int LoadPictureFromStream(const QByteArray &data);
    int LoadPictureFromFile(const QString &path);
    QString LastError() const { return lastError_; }
    bool PictureChanged() const { return pictureChanged_; }
    // A picture of a prepared page that could not be read back: drawn as a
    // marked empty frame.
    bool Damaged() const { return damaged_; }
    void SetDamaged(bool v) { damaged_ = v; }

    QString GetDescription() const override;
    void GetData() override;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    // A changed picture goes to the prepared pages' picture store first.
    QString Diff(const TlyrComponent *other) const override;
    void WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const override;
    bool ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer) override;

private:
    void changed();
    void fail(const QString &why);
    bool autoSize_ = false, center_ = false, keepAspectRatio_ = true, stretched_ = true;
    bool damaged_ = false;
    QString fileLink_;
    int imageIndex_ = 0;
    QImage picture_;
    QByteArray pictureData_;
    QString lastError_;
    bool pictureChanged_ = false;
};

class TlyrSubreport : public TlyrView {
    Q_OBJECT
    Q_PROPERTY(TlyrPage *Page READ SubPage WRITE SetSubPage)
    Q_PROPERTY(bool PrintOnParent READ PrintOnParent WRITE SetPrintOnParent)
    Q_CLASSINFO("Default:PrintOnParent", "false")
public:
    Q_INVOKABLE explicit TlyrSubreport(QObject *owner = nullptr);
    ~TlyrSubreport() override;
    TlyrPage *SubPage() const { return qobject_cast<TlyrPage *>(page_.data()); }
    void SetSubPage(TlyrPage *page);
    bool PrintOnParent() const { return printOnParent_; }
    void SetPrintOnParent(bool v) { printOnParent_ = v; }
    QString GetDescription() const override;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;

private:
    // The page may be freed first, or be the page this subreport is on,
    // which is no page any more while it frees its objects.
    QPointer<QObject> page_;
    bool printOnParent_ = false;
};

// Registers the classes of this unit with the property layer.
void lyrRegisterViewClasses();
