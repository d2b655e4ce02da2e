#pragma once
// The small value objects every visual report object carries: the frame
// (four lines and a drop shadow), the highlight (another font and colour
// while a condition holds) and the display format that turns a value into
// text. They are nested properties of views in templates ("Frame.Typ",
// "Frame.LeftLine.Width" ...) and write their own prepared-page attributes
// with Diff.

#include "report/lyrcanvas.h"
#include "report/lyrcomponent.h"
#include "report/lyrxmlserializer.h"
#include "script/ksvalue.h"

#include <QObject>
#include <QString>

class KsClassInfo;

// Appends a prepared-page attribute: a blank, the name, "=" and the value
// in double quotes.
void lyrAppendAttr(QString &out, const QString &name, const QString &value);
inline void lyrAppendAttr(QString &out, const char *name, const QString &value)
{
    lyrAppendAttr(out, QLatin1String(name), value);
}
// Booleans in prepared-page attributes.
inline QString lyrBoolAttr(bool v)
{
    return v ? QStringLiteral("1") : QStringLiteral("0");
}

// Publishes an integer property of cls as an enumeration with these names
// (value i is names[i]), so templates write the names.
void lyrPublishEnum(KsClassInfo *cls, const char *property, const char *typeName, const QStringList &names);

enum TlyrFrameStyle { fsSolid, fsDash, fsDot, fsDashDot, fsDashDotDot, fsDouble };
enum TlyrFrameType { ftLeft = 1, ftRight = 2, ftTop = 4, ftBottom = 8 };
constexpr int ftAll = ftLeft | ftRight | ftTop | ftBottom;

class TlyrFrame;

class TlyrFrameLine : public QObject, public TlyrStoredProperties {
    Q_OBJECT
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
public:
    explicit TlyrFrameLine(TlyrFrame *frame);
    TlyrFrame *Frame() const { return frame_; }
    int Color() const { return color_; }
    int Style() const { return style_; }
    double Width() const { return width_; }
    void SetColor(int v) { color_ = v; }
    void SetStyle(int v) { style_ = std::clamp(v, 0, int(fsDouble)); }
    void SetWidth(double v) { width_ = v; }
    void Assign(const TlyrFrameLine &source);
    bool IsPropertyStored(const QString &name) const override;
    // Attributes of the values that differ (see TlyrFrame::Diff).
    QString Diff(const TlyrFrameLine &reference, const QString &prefix, bool colorChanged, bool styleChanged,
                 bool widthChanged) const;

private:
    TlyrFrame *frame_;
    int color_ = clBlack;
    int style_ = fsSolid;
    double width_ = 1;
};

class TlyrFrame : public QObject, public TlyrStoredProperties {
    Q_OBJECT
    // The frame's own values come first so that loading them (which sets all
    // four lines) does not overwrite a line's own value read before.
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool DropShadow READ DropShadow WRITE SetDropShadow)
    Q_PROPERTY(int ShadowColor READ ShadowColor WRITE SetShadowColor)
    Q_PROPERTY(double ShadowWidth READ ShadowWidth WRITE SetShadowWidth)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
    Q_PROPERTY(int Typ READ Typ WRITE SetTyp)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(TlyrFrameLine *LeftLine READ LeftLine)
    Q_PROPERTY(TlyrFrameLine *TopLine READ TopLine)
    Q_PROPERTY(TlyrFrameLine *RightLine READ RightLine)
    Q_PROPERTY(TlyrFrameLine *BottomLine READ BottomLine)
    Q_CLASSINFO("Default:Color", "0")
    Q_CLASSINFO("Default:DropShadow", "false")
    Q_CLASSINFO("Default:ShadowColor", "0")
    Q_CLASSINFO("Default:Style", "0")
    Q_CLASSINFO("Default:Typ", "0")
public:
    explicit TlyrFrame(QObject *owner = nullptr);

    TlyrFrameLine *LeftLine() const { return lines_[0]; }
    TlyrFrameLine *TopLine() const { return lines_[1]; }
    TlyrFrameLine *RightLine() const { return lines_[2]; }
    TlyrFrameLine *BottomLine() const { return lines_[3]; }
    int Color() const { return color_; }
    bool DropShadow() const { return dropShadow_; }
    int ShadowColor() const { return shadowColor_; }
    double ShadowWidth() const { return shadowWidth_; }
    int Style() const { return style_; }
    int Typ() const { return typ_; }
    double Width() const { return width_; }
    // Colour, style and width are set on all four lines too.
    void SetColor(int v);
    void SetDropShadow(bool v) { dropShadow_ = v; }
    void SetShadowColor(int v) { shadowColor_ = v; }
    void SetShadowWidth(double v) { shadowWidth_ = v; }
    void SetStyle(int v);
    void SetTyp(int v) { typ_ = v & ftAll; }
    void SetWidth(double v);

    void Assign(const TlyrFrame &source);
    bool IsPropertyStored(const QString &name) const override;
    // Prepared-page attributes of the values that differ from reference.
    QString Diff(const TlyrFrame &reference) const;

    // Draws the shadow and the lines around the pixel box (X1, Y1 without
    // the shadow); viewColor fills the dash gaps and the middle of double
    // lines (clNone: left clear).
    void Draw(TlyrCanvas &canvas, int x, int y, int x1, int y1, double scaleX, double scaleY, int viewColor) const;

private:
    TlyrFrameLine *lines_[4];
    int color_ = clBlack;
    bool dropShadow_ = false;
    int shadowColor_ = clBlack;
    double shadowWidth_ = 4;
    int style_ = fsSolid;
    int typ_ = 0;
    double width_ = 1;
};

// A thick line of w one-pixel lines side by side (dashed frames, diagonals);
// at most lyrMaxThickLine of them.
constexpr int lyrMaxThickLine = 4096;
void lyrThickLine(TlyrCanvas &canvas, int x1, int y1, int x2, int y2, int width);

class TlyrHighlight : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active MEMBER Active)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Condition READ Condition WRITE SetCondition)
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_CLASSINFO("Default:Active", "false")
    Q_CLASSINFO("Default:Color", "536870911")
public:
    explicit TlyrHighlight(QObject *owner = nullptr);
    // Set at run time from Condition; not copied. A prepared page carries it.
    bool Active = false;
    int Color() const { return color_; }
    QString Condition() const { return condition_; }
    TlyrFont *Font() const { return font_; }
    void SetColor(int v) { color_ = v; }
    void SetCondition(const QString &v) { condition_ = v; }
    void SetFont(const TlyrFont &f) { font_->Assign(f); }
    void Assign(const TlyrHighlight &source);

private:
    int color_ = clNone;
    QString condition_;
    TlyrFont *font_;
};

enum TlyrFormatKind { fkText, fkNumeric, fkDateTime, fkBoolean };

class TlyrFormat : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString DecimalSeparator READ DecimalSeparator WRITE SetDecimalSeparator)
    Q_PROPERTY(QString FormatStr READ FormatStr WRITE SetFormatStr)
    Q_PROPERTY(int Kind READ Kind WRITE SetKind)
    Q_CLASSINFO("Default:Kind", "0")
public:
    explicit TlyrFormat(QObject *owner = nullptr) : QObject(owner) {}
    QString DecimalSeparator() const { return decimalSeparator_; }
    QString FormatStr() const { return formatStr_; }
    int Kind() const { return kind_; }
    void SetDecimalSeparator(const QString &v) { decimalSeparator_ = v; }
    void SetFormatStr(const QString &v) { formatStr_ = v; }
    void SetKind(int v) { kind_ = std::clamp(v, 0, int(fkBoolean)); }
    void Assign(const TlyrFormat &source);
    // The format of a " #" suffix: its first letter selects the kind (n, d
    // or t, b), the rest is the format string; for numbers a ",", "-" or "."
    // in it is the decimal separator to print and becomes ".".
    void SetFromSuffix(const QString &suffix);

private:
    QString decimalSeparator_;
    QString formatStr_;
    int kind_ = fkText;
};

// A value as text under a display format. Numeric text is converted
// first; text that is no number, and a value the format rejects, come out
// as they are, with a line for the report's errors in error.
QString lyrFormatData(const KsValue &value, const TlyrFormat &format, QString *error = nullptr);

// Registers the classes of this unit with the property layer.
void lyrRegisterFrameClasses();
