#pragma once
// The barcode report object: a view that owns a TlyrBarcode, takes its text
// from a data field, an expression or its own Text, resizes itself to the
// width of the symbol and draws it.

#include "report/lyrdbset.h"
#include "report/lyrdrawtext.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcod.h"

class TlyrBarCodeView : public TlyrView {
    Q_OBJECT
    Q_PROPERTY(int BarType READ BarType WRITE SetBarType)
    Q_PROPERTY(int BrushStyle READ BrushStyle WRITE SetBrushStyle)
    Q_PROPERTY(bool CalcCheckSum READ CalcCheckSum WRITE SetCalcCheckSum)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(int HAlign READ HAlign WRITE SetHAlign)
    Q_PROPERTY(int Rotation READ Rotation WRITE SetRotation)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(QString TagStr READ TagStr WRITE SetTagStr)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
    Q_PROPERTY(double WideBarRatio READ WideBarRatio WRITE SetWideBarRatio)
    Q_PROPERTY(double Zoom READ Zoom WRITE SetZoom)
    Q_CLASSINFO("Default:BarType", "3")
    Q_CLASSINFO("Default:BrushStyle", "0")
    Q_CLASSINFO("Default:CalcCheckSum", "false")
    Q_CLASSINFO("Default:Color", "536870911")
    Q_CLASSINFO("Default:Cursor", "0")
    Q_CLASSINFO("Default:HAlign", "0")
    Q_CLASSINFO("Default:Rotation", "0")
    Q_CLASSINFO("Default:ShowText", "true")
    Q_CLASSINFO("Default:WideBarRatio", "2")
    Q_CLASSINFO("Default:Zoom", "1")
    Q_CLASSINFO("Default:Text", "12345678")  // kSampleText
public:
    // The text a new object encodes (and the editor's sample).
    static constexpr const char *kSampleText = "12345678";

    Q_INVOKABLE explicit TlyrBarCodeView(QObject *owner = nullptr);

    int BarType() const { return barType_; }
    void SetBarType(int v) { barType_ = std::clamp(v, 0, TlyrBarcode::TypeCount - 1); }
    bool CalcCheckSum() const { return calcCheckSum_; }
    void SetCalcCheckSum(bool v) { calcCheckSum_ = v; }
    QString Expression() const { return expression_; }
    void SetExpression(const QString &v) { expression_ = v; }
    int HAlign() const { return hAlign_; }
    void SetHAlign(int v) { hAlign_ = std::clamp(v, 0, int(haBlock)); }
    int Rotation() const { return rotation_; }
    void SetRotation(int v) { rotation_ = v; }
    bool ShowText() const { return showText_; }
    void SetShowText(bool v) { showText_ = v; }
    QString Text() const { return text_; }
    void SetText(const QString &v) { text_ = v; }
    double WideBarRatio() const { return wideBarRatio_; }
    void SetWideBarRatio(double v) { wideBarRatio_ = v; }
    double Zoom() const { return zoom_; }
    void SetZoom(double v) { zoom_ = v; }

    TlyrBarcode &Barcode() { return barcode_; }
    // The message of the last Draw that could not encode Text (empty when
    // the bars were drawn).
    QString LastError() const { return lastError_; }

    QString GetDescription() const override;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    void GetData() override;
    void GetRealBounds(double &left, double &top, double &right, double &bottom) const override;
    QString Diff(const TlyrComponent *other) const override;

private:
    // Steps 1-5 of drawing: the barcode takes the options, the object its
    // new size and place; returns the encoder's message or an empty text.
    QString fitToSymbol();

    TlyrBarcode barcode_;
    int barType_ = bcCode39;
    bool calcCheckSum_ = false;
    QString expression_;
    int hAlign_ = haLeft;
    int rotation_ = 0;
    bool showText_ = true;
    QString text_;
    double wideBarRatio_ = 2.0;
    double zoom_ = 1.0;
    QString lastError_;
};

// Publishes the class (and its enumerations) to the serializer, the script
// engine and the object registry; safe to call more than once.
void lyrRegisterBarcodeView();
