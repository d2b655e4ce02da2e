#pragma once
// Dot-matrix objects: the page, memo, line and command objects of layouts
// for character printers. Every position and size is held to a grid of
// character cells (9.6 x 17 layout units: ten characters per inch, one
// line), the font is a fixed-pitch one chosen by printer font styles, and
// the command object carries control codes for the printer.

#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"

// Cell of the character grid in layout units.
constexpr double lyrCharX = 9.6;
constexpr double lyrCharY = 17;

// Printer font styles (bits of FontStyle).
enum TlyrDMPFontStyle {
    fsxBold = 1,
    fsxItalic = 2,
    fsxUnderline = 4,
    fsxSuperScript = 8,
    fsxSubScript = 16,
    fsxCondensed = 32,
    fsxWide = 64,
    fsx12cpi = 128,
    fsx15cpi = 256
};

// The font every dot-matrix object lays out with (metrically the same as
// the printer's fixed pitch at ten characters per inch).
void lyrApplyDMPFont(TlyrFont &font, int fontStyle);

class TlyrDMPPage : public TlyrReportPage {
    Q_OBJECT
    Q_PROPERTY(int FontStyle READ FontStyle WRITE SetFontStyle)
    Q_CLASSINFO("Default:FontStyle", "0")
public:
    Q_INVOKABLE explicit TlyrDMPPage(QObject *owner = nullptr);
    int FontStyle() const { return fontStyle_; }
    void SetFontStyle(int v);
    bool IsCharacterGrid() const override { return true; }
    void SetDefaults() override;
    void SetPaperWidth(double v) override;
    void SetPaperHeight(double v) override;
    void SetPaperSize(int v) override;

private:
    int fontStyle_ = 0;
    // The paper number whose table size the grid was cut from.
    int tablePaper_ = 9;
};

class TlyrDMPMemoView : public TlyrCustomMemoView {
    Q_OBJECT
    Q_PROPERTY(bool AutoWidth READ AutoWidth WRITE SetAutoWidth)
    Q_PROPERTY(bool AllowExpressions READ AllowExpressions WRITE SetAllowExpressions)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(TlyrFormat *DisplayFormat READ DisplayFormat)
    Q_PROPERTY(QString ExpressionDelimiters READ ExpressionDelimiters WRITE SetExpressionDelimiters)
    Q_PROPERTY(TlyrCustomMemoView *FlowTo READ FlowTo WRITE SetFlowTo)
    Q_PROPERTY(int FontStyle READ FontStyle WRITE SetFontStyle)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(int HAlign READ HAlign WRITE SetHAlign)
    Q_PROPERTY(bool HideZeros READ HideZeros WRITE SetHideZeros)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(bool RTLReading READ RTLReading WRITE SetRTLReading)
    Q_PROPERTY(bool SuppressRepeated READ SuppressRepeated WRITE SetSuppressRepeated)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(int VAlign READ VAlign WRITE SetVAlign)
    Q_CLASSINFO("Default:AutoWidth", "false")
    Q_CLASSINFO("Default:AllowExpressions", "true")
    Q_CLASSINFO("Default:ExpressionDelimiters", "[,]")
    Q_CLASSINFO("Default:HAlign", "0")
    Q_CLASSINFO("Default:HideZeros", "false")
    Q_CLASSINFO("Default:ParentFont", "true")
    Q_CLASSINFO("Default:RTLReading", "false")
    Q_CLASSINFO("Default:SuppressRepeated", "false")
    Q_CLASSINFO("Default:WordWrap", "true")
    Q_CLASSINFO("Default:VAlign", "0")
public:
    Q_INVOKABLE explicit TlyrDMPMemoView(QObject *owner = nullptr);
    int FontStyle() const { return fontStyle_; }
    void SetFontStyle(int v);
    void SetParentFont(bool value) override;
    void SetLeft(double value) override;
    void SetTop(double value) override;
    void SetWidth(double value) override;
    void SetHeight(double value) override;
    double CalcHeight() override;
    double CalcWidth() override;
    // Frame lines run through the middle of the cells around the text.
    void DrawFrame() override;
    QString GetDescription() const override;
    QString Diff(const TlyrComponent *other) const override;
    bool IsPropertyStored(const QString &name) const override;
    void FontChanged() override;

private:
    // FontStyle set from the page: ParentFont stays on.
    void takeStyle(int v);
    int fontStyle_ = 0;
    bool takingStyle_ = false;
};

class TlyrDMPLineView : public TlyrCustomLineView {
    Q_OBJECT
    Q_PROPERTY(int FontStyle READ FontStyle WRITE SetFontStyle)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_CLASSINFO("Default:ParentFont", "true")
public:
    Q_INVOKABLE explicit TlyrDMPLineView(QObject *owner = nullptr);
    int FontStyle() const { return fontStyle_; }
    void SetFontStyle(int v) { fontStyle_ = v & 511; }
    void SetParentFont(bool value) override;
    void SetLeft(double value) override;
    void SetTop(double value) override;
    void SetWidth(double value) override;
    // The preview shows the line the printer makes of line characters.
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    QString GetDescription() const override;
    QString Diff(const TlyrComponent *other) const override;
    bool IsPropertyStored(const QString &name) const override;

private:
    int fontStyle_ = 0;
};

class TlyrDMPCommand : public TlyrView {
    Q_OBJECT
    Q_PROPERTY(QString Command READ Command WRITE SetCommand)
public:
    Q_INVOKABLE explicit TlyrDMPCommand(QObject *owner = nullptr);
    QString Command() const { return command_; }
    void SetCommand(const QString &v) { command_ = v; }
    void SetLeft(double value) override;
    void SetTop(double value) override;
    QString GetDescription() const override;
    QString Diff(const TlyrComponent *other) const override;

private:
    QString command_;
};

// Registers the classes with the property layer (streaming and scripts).
void lyrRegisterDMPClasses();
