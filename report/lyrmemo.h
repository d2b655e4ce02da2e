#pragma once
// Memo views: the text objects of a report page. A memo holds lines in
// which bracketed expressions are replaced by their values when the band
// is printed (formatted by a display format), knows how tall or wide its
// text needs to be, and splits its text when only part of it fits.

#include "report/lyrdrawtext.h"
#include "report/lyrview.h"

#include <QPointer>
#include <QStringList>

class TlyrStyleItem;

class TlyrCustomMemoView : public TlyrStretcheable {
    Q_OBJECT
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(bool FirstParaBreak READ FirstParaBreak WRITE SetFirstParaBreak)
    Q_PROPERTY(bool LastParaBreak READ LastParaBreak WRITE SetLastParaBreak)
    Q_PROPERTY(QString TagStr READ TagStr WRITE SetTagStr)
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
    Q_CLASSINFO("Default:Cursor", "0")
    Q_CLASSINFO("Default:FirstParaBreak", "false")
    Q_CLASSINFO("Default:LastParaBreak", "false")
public:
    Q_INVOKABLE explicit TlyrCustomMemoView(QObject *owner = nullptr);
    ~TlyrCustomMemoView() override;

    bool AutoWidth() const override { return autoWidth_; }
    void SetAutoWidth(bool v) { autoWidth_ = v; }
    bool AllowExpressions() const { return allowExpressions_; }
    void SetAllowExpressions(bool v) { allowExpressions_ = v; }
    bool AllowHTMLTags() const { return allowHTMLTags_; }
    void SetAllowHTMLTags(bool v) { allowHTMLTags_ = v; }
    double CharSpacing() const { return charSpacing_; }
    void SetCharSpacing(double v) { charSpacing_ = v; }
    bool Clipped() const { return clipped_; }
    void SetClipped(bool v) { clipped_ = v; }
    // The display format and the highlight are made when first asked for:
    // a printed page makes and frees many memos that keep both as new.
    TlyrFormat *DisplayFormat() const;
    void SetDisplayFormat(const TlyrFormat &f) { DisplayFormat()->Assign(f); }
    QString ExpressionDelimiters() const { return expressionDelimiters_; }
    void SetExpressionDelimiters(const QString &v) { expressionDelimiters_ = v; }
    TlyrCustomMemoView *FlowTo() const { return flowTo_.data(); }
    void SetFlowTo(TlyrCustomMemoView *v);
    double GapX() const { return gapX_; }
    void SetGapX(double v) { gapX_ = v; }
    double GapY() const { return gapY_; }
    void SetGapY(double v) { gapY_ = v; }
    int HAlign() const { return hAlign_; }
    void SetHAlign(int v) { hAlign_ = std::clamp(v, 0, int(haBlock)); }
    bool HideZeros() const { return hideZeros_; }
    void SetHideZeros(bool v) { hideZeros_ = v; }
    TlyrHighlight *Highlight() const;
    void SetHighlight(const TlyrHighlight &h) { Highlight()->Assign(h); }
    bool HighlightActive() const { return highlight_ && highlight_->Active; }
    double LineSpacing() const { return lineSpacing_; }
    void SetLineSpacing(double v) { lineSpacing_ = v; }
    QStringList Memo() const { return memo_; }
    void SetMemo(const QStringList &v) { memo_ = v; }
    double ParagraphGap() const { return paragraphGap_; }
    void SetParagraphGap(double v) { paragraphGap_ = v; }
    int Rotation() const { return rotation_; }
    void SetRotation(int v) { rotation_ = ((v % 360) + 360) % 360; }
    bool RTLReading() const { return rtlReading_; }
    void SetRTLReading(bool v) { rtlReading_ = v; }
    QString Style() const { return style_; }
    void SetStyle(const QString &v);
    bool SuppressRepeated() const { return suppressRepeated_; }
    void SetSuppressRepeated(bool v) { suppressRepeated_ = v; }
    bool Underlines() const { return underlines_; }
    void SetUnderlines(bool v) { underlines_ = v; }
    int VAlign() const { return vAlign_; }
    void SetVAlign(int v) { vAlign_ = std::clamp(v, 0, int(vaCenter)); }
    bool WordBreak() const { return wordBreak_; }
    void SetWordBreak(bool v) { wordBreak_ = v; }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v) { wordWrap_ = v; }
    bool Wysiwyg() const { return wysiwyg_; }
    void SetWysiwyg(bool v) { wysiwyg_ = v; }
    bool FirstParaBreak() const { return firstParaBreak_; }
    void SetFirstParaBreak(bool v) { firstParaBreak_ = v; }
    bool LastParaBreak() const { return lastParaBreak_; }
    void SetLastParaBreak(bool v) { lastParaBreak_ = v; }

    // The whole text with CR LF between lines.
    QString GetText() const { return memo_.join(QStringLiteral("\r\n")); }
    // Every line with its line break: SetText of it gives the same lines.
    QString LinesText() const;
    void SetText(const QString &text);
    bool IsTextObject() const override { return true; }
    QString ComponentText() const override { return GetText(); }
    void SetComponentText(const QString &text) override { SetText(text); }
    QString GetComponentText() const override;

    void ApplyStyle(const TlyrStyleItem *item);
    void ResetSuppress() { LastValue.clear(); }
    // Its value was left out as a repeat of the one before.
    bool SuppressedRepeat() const { return suppressRepeated_ && memo_.isEmpty() && !LastValue.isEmpty(); }

    // One value as the memo prints it (HideZeros and the display format).
    QString FormatData(const KsValue &value, const TlyrFormat *format = nullptr);

    void BeginDraw(TlyrCanvas *canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    void BeforePrint() override;
    void GetData() override;
    void AfterPrint() override;
    double CalcHeight() override;
    // The height that shows the first line of the text, with the gaps and
    // frame around it.
    double LineRoom();
    virtual double CalcWidth();
    void InitPart() override;
    double DrawPart() override;
    QString Diff(const TlyrComponent *other) const override;
    bool IsPropertyStored(const QString &name) const override;

    // Run-time state.
    KsValue Value;
    TlyrRect TextRect;
    // What is left to print in parts: the start laid out last time and the
    // untouched rest of the text, read in place so a part does not copy it.
    QString PartRest() const;
    bool PartEmpty() const { return partHead_.isEmpty() && partFrom_ >= partSource_.size(); }
    void ClearPart();
    QString SavedMemo;
    QString LastValue;
    int TotalPages = 0;
    int CopyNo = 0;
    double PrintScale = 1;
    // Fills in "[TOTALPAGES#]" and "[COPYNAME#]" from TotalPages and CopyNo,
    // as drawing does; for output that lays the text out by itself.
    void applyPrintTags();

protected:
    QString partHead_;
    QString partSource_;
    qsizetype partFrom_ = 0;
    TlyrDrawText &layoutObject() const;
    void setDrawParams(TlyrDrawText &dt, TlyrCanvas *canvas, double scaleX, double scaleY, double offsetX,
                       double offsetY, bool fitOnly = false, bool shownOnly = false);
    // Takes the text a memo flowing into this one could not hold.
    void takeFlow(const QString &text);
    QString expandExpressions(const QString &text);
    QString evaluate(const QString &expression);
    void saveTemplateText();
    // The memos of a cycle the FlowTo chain from here runs into ("A → B →
    // A"); empty when the chain ends.
    QString flowCycle();
    double verticalInset() const;
    double horizontalInset() const;

private:
    bool autoWidth_ = false, allowExpressions_ = true, allowHTMLTags_ = false, clipped_ = true;
    double charSpacing_ = 0;
    mutable TlyrFormat *displayFormat_ = nullptr;
    QString expressionDelimiters_ = QStringLiteral("[,]");
    QPointer<TlyrCustomMemoView> flowTo_;
    // flowCycle() as last found, while no FlowTo link changed since.
    quint64 flowChecked_ = 0;
    QString flowCycle_;
    double gapX_ = 2, gapY_ = 1, lineSpacing_ = 2, paragraphGap_ = 0;
    int hAlign_ = haLeft, vAlign_ = vaTop, rotation_ = 0;
    bool hideZeros_ = false, rtlReading_ = false, suppressRepeated_ = false, underlines_ = false;
    bool wordBreak_ = false, wordWrap_ = true, wysiwyg_ = true;
    bool firstParaBreak_ = false, lastParaBreak_ = false;
    // SavedMemo holds the template text of the output under way.
    bool saved_ = false;
    mutable TlyrHighlight *highlight_ = nullptr;
    QStringList memo_;
    QString style_;
    int savedColor_ = clNone;
};

class TlyrMemoView : public TlyrCustomMemoView {
    Q_OBJECT
    Q_PROPERTY(bool AutoWidth READ AutoWidth WRITE SetAutoWidth)
    Q_PROPERTY(bool AllowExpressions READ AllowExpressions WRITE SetAllowExpressions)
    Q_PROPERTY(bool AllowHTMLTags READ AllowHTMLTags WRITE SetAllowHTMLTags)
    Q_PROPERTY(int BrushStyle READ BrushStyle WRITE SetBrushStyle)
    Q_PROPERTY(double CharSpacing READ CharSpacing WRITE SetCharSpacing)
    Q_PROPERTY(bool Clipped READ Clipped WRITE SetClipped)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(TlyrFormat *DisplayFormat READ DisplayFormat)
    Q_PROPERTY(QString ExpressionDelimiters READ ExpressionDelimiters WRITE SetExpressionDelimiters)
    Q_PROPERTY(TlyrCustomMemoView *FlowTo READ FlowTo WRITE SetFlowTo)
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(double GapX READ GapX WRITE SetGapX)
    Q_PROPERTY(double GapY READ GapY WRITE SetGapY)
    Q_PROPERTY(int HAlign READ HAlign WRITE SetHAlign)
    Q_PROPERTY(bool HideZeros READ HideZeros WRITE SetHideZeros)
    Q_PROPERTY(TlyrHighlight *Highlight READ Highlight)
    Q_PROPERTY(double LineSpacing READ LineSpacing WRITE SetLineSpacing)
    Q_PROPERTY(double ParagraphGap READ ParagraphGap WRITE SetParagraphGap)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(int Rotation READ Rotation WRITE SetRotation)
    Q_PROPERTY(bool RTLReading READ RTLReading WRITE SetRTLReading)
    Q_PROPERTY(QString Style READ Style WRITE SetStyle)
    Q_PROPERTY(bool SuppressRepeated READ SuppressRepeated WRITE SetSuppressRepeated)
    Q_PROPERTY(bool Underlines READ Underlines WRITE SetUnderlines)
    Q_PROPERTY(int VAlign READ VAlign WRITE SetVAlign)
    Q_PROPERTY(bool WordBreak READ WordBreak WRITE SetWordBreak)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool Wysiwyg READ Wysiwyg WRITE SetWysiwyg)
    Q_CLASSINFO("Default:AutoWidth", "false")
    Q_CLASSINFO("Default:AllowExpressions", "true")
    Q_CLASSINFO("Default:AllowHTMLTags", "false")
    Q_CLASSINFO("Default:ExpressionDelimiters", "[,]")
    Q_CLASSINFO("Default:BrushStyle", "0")
    Q_CLASSINFO("Default:Clipped", "true")
    Q_CLASSINFO("Default:Color", "536870911")
    Q_CLASSINFO("Default:HAlign", "0")
    Q_CLASSINFO("Default:HideZeros", "false")
    Q_CLASSINFO("Default:ParentFont", "true")
    Q_CLASSINFO("Default:Rotation", "0")
    Q_CLASSINFO("Default:RTLReading", "false")
    Q_CLASSINFO("Default:SuppressRepeated", "false")
    Q_CLASSINFO("Default:Underlines", "false")
    Q_CLASSINFO("Default:VAlign", "0")
    Q_CLASSINFO("Default:WordBreak", "false")
    Q_CLASSINFO("Default:WordWrap", "true")
    Q_CLASSINFO("Default:Wysiwyg", "true")
public:
    Q_INVOKABLE explicit TlyrMemoView(QObject *owner = nullptr) : TlyrCustomMemoView(owner) {}
    QString GetDescription() const override;
};

class TlyrSysMemoView : public TlyrCustomMemoView {
    Q_OBJECT
    Q_PROPERTY(bool AutoWidth READ AutoWidth WRITE SetAutoWidth)
    Q_PROPERTY(int BrushStyle READ BrushStyle WRITE SetBrushStyle)
    Q_PROPERTY(double CharSpacing READ CharSpacing WRITE SetCharSpacing)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(TlyrFormat *DisplayFormat READ DisplayFormat)
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_PROPERTY(TlyrFrame *Frame READ Frame)
    Q_PROPERTY(double GapX READ GapX WRITE SetGapX)
    Q_PROPERTY(double GapY READ GapY WRITE SetGapY)
    Q_PROPERTY(int HAlign READ HAlign WRITE SetHAlign)
    Q_PROPERTY(bool HideZeros READ HideZeros WRITE SetHideZeros)
    Q_PROPERTY(TlyrHighlight *Highlight READ Highlight)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(int Rotation READ Rotation WRITE SetRotation)
    Q_PROPERTY(bool RTLReading READ RTLReading WRITE SetRTLReading)
    Q_PROPERTY(QString Style READ Style WRITE SetStyle)
    Q_PROPERTY(bool SuppressRepeated READ SuppressRepeated WRITE SetSuppressRepeated)
    Q_PROPERTY(int VAlign READ VAlign WRITE SetVAlign)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_CLASSINFO("Default:AutoWidth", "false")
    Q_CLASSINFO("Default:BrushStyle", "0")
    Q_CLASSINFO("Default:Color", "536870911")
    Q_CLASSINFO("Default:HAlign", "0")
    Q_CLASSINFO("Default:HideZeros", "false")
    Q_CLASSINFO("Default:ParentFont", "true")
    Q_CLASSINFO("Default:Rotation", "0")
    Q_CLASSINFO("Default:RTLReading", "false")
    Q_CLASSINFO("Default:SuppressRepeated", "false")
    Q_CLASSINFO("Default:VAlign", "0")
    Q_CLASSINFO("Default:WordWrap", "true")
public:
    Q_INVOKABLE explicit TlyrSysMemoView(QObject *owner = nullptr) : TlyrCustomMemoView(owner) {}
    QString GetDescription() const override;
};

void lyrRegisterMemoClasses();
