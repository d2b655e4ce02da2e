#include "report/lyrframe.h"

#include "report/lyrutils.h"
#include "script/ks_props.h"
#include "script/ksrtl.h"

#include <algorithm>
#include <cmath>

namespace {
bool differs(double a, double b)
{
    return std::fabs(a - b) >= 0.000001;
}
}  // namespace

void lyrAppendAttr(QString &out, const QString &name, const QString &value)
{
    // Appended piece by piece: a sum of the pieces makes a text for each +.
    out += QLatin1Char(' ');
    out += name;
    out += QLatin1String("=\"");
    out += value;
    out += QLatin1Char('"');
}

void lyrPublishEnum(KsClassInfo *cls, const char *property, const char *typeName, const QStringList &names)
{
    const KsPropInfo *found = cls->FindProperty(QLatin1String(property));
    if (!found) return;
    KsPropInfo p = *found;
    p.Kind = KsPropKind::Enumeration;
    p.TypeName = QLatin1String(typeName);
    p.EnumNames = names;
    p.EnumValues.clear();
    for (int i = 0; i < names.size(); ++i) p.EnumValues << i;
    cls->AddProperty(p);
}

// ---------------------------------------------------------------- lines

TlyrFrameLine::TlyrFrameLine(TlyrFrame *frame) : QObject(frame), frame_(frame) {}

void TlyrFrameLine::Assign(const TlyrFrameLine &s)
{
    color_ = s.color_;
    style_ = s.style_;
    width_ = s.width_;
}

bool TlyrFrameLine::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("Color")) return color_ != frame_->Color();
    if (name == QLatin1String("Style")) return style_ != frame_->Style();
    if (name == QLatin1String("Width")) return differs(width_, frame_->Width());
    return true;
}

QString TlyrFrameLine::Diff(const TlyrFrameLine &ref, const QString &prefix, bool colorChanged, bool styleChanged,
                            bool widthChanged) const
{
    QString out;
    if (colorChanged ? color_ != frame_->Color() : color_ != ref.color_)
        lyrAppendAttr(out, prefix + QStringLiteral(".Color"), QString::number(color_));
    if (styleChanged ? style_ != frame_->Style() : style_ != ref.style_)
        lyrAppendAttr(out, prefix + QStringLiteral(".Style"), QString::number(style_));
    if (widthChanged ? differs(width_, frame_->Width()) : differs(width_, ref.width_))
        lyrAppendAttr(out, prefix + QStringLiteral(".Width"), ksFloatToStr(width_));
    return out;
}

// ---------------------------------------------------------------- frame

TlyrFrame::TlyrFrame(QObject *owner) : QObject(owner)
{
    for (auto *&l : lines_) l = new TlyrFrameLine(this);
}

void TlyrFrame::SetColor(int v)
{
    color_ = v;
    for (auto *l : lines_) l->SetColor(v);
}

void TlyrFrame::SetStyle(int v)
{
    style_ = std::clamp(v, 0, int(fsDouble));
    for (auto *l : lines_) l->SetStyle(style_);
}

void TlyrFrame::SetWidth(double v)
{
    width_ = v;
    for (auto *l : lines_) l->SetWidth(v);
}

void TlyrFrame::Assign(const TlyrFrame &s)
{
    color_ = s.color_;
    dropShadow_ = s.dropShadow_;
    shadowColor_ = s.shadowColor_;
    shadowWidth_ = s.shadowWidth_;
    style_ = s.style_;
    typ_ = s.typ_;
    width_ = s.width_;
    for (int i = 0; i < 4; ++i) lines_[i]->Assign(*s.lines_[i]);
}

bool TlyrFrame::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("ShadowWidth")) return differs(shadowWidth_, 4);
    if (name == QLatin1String("Typ")) return typ_ != 0;
    if (name == QLatin1String("Width")) return differs(width_, 1);
    return true;
}

QString TlyrFrame::Diff(const TlyrFrame &ref) const
{
    QString out;
    const bool colorChanged = color_ != ref.color_;
    const bool styleChanged = style_ != ref.style_;
    const bool widthChanged = differs(width_, ref.width_);
    if (colorChanged) lyrAppendAttr(out, QStringLiteral("Frame.Color"), QString::number(color_));
    if (dropShadow_ != ref.dropShadow_)
        lyrAppendAttr(out, QStringLiteral("Frame.DropShadow"), dropShadow_ ? QStringLiteral("1") : QStringLiteral("0"));
    if (shadowColor_ != ref.shadowColor_)
        lyrAppendAttr(out, QStringLiteral("Frame.ShadowColor"), QString::number(shadowColor_));
    if (differs(shadowWidth_, ref.shadowWidth_))
        lyrAppendAttr(out, QStringLiteral("Frame.ShadowWidth"), ksFloatToStr(shadowWidth_));
    if (styleChanged) lyrAppendAttr(out, QStringLiteral("Frame.Style"), QString::number(style_));
    if (typ_ != ref.typ_) lyrAppendAttr(out, QStringLiteral("Frame.Typ"), QString::number(typ_));
    if (widthChanged) lyrAppendAttr(out, QStringLiteral("Frame.Width"), ksFloatToStr(width_));
    static const char *names[] = {"Frame.LeftLine", "Frame.TopLine", "Frame.RightLine", "Frame.BottomLine"};
    for (int i = 0; i < 4; ++i)
        out += lines_[i]->Diff(*ref.lines_[i], QLatin1String(names[i]), colorChanged, styleChanged, widthChanged);
    return out;
}

void lyrThickLine(TlyrCanvas &canvas, int x1, int y1, int x2, int y2, int width)
{
    // One stroke per pixel of width: a width past any canvas is drawn as
    // wide as the widest that fits one.
    const int w = std::clamp(width, 1, lyrMaxThickLine);
    const int from = -(w / 2), to = w % 2 == 0 ? w / 2 - 1 : w / 2;
    const bool alongY = std::abs(x2 - x1) >= std::abs(y2 - y1);
    for (int d = from; d <= to; ++d) {
        if (alongY)
            canvas.Line(x1, y1 + d, x2, y2 + d);
        else
            canvas.Line(x1 + d, y1, x2 + d, y2);
    }
}

void TlyrFrame::Draw(TlyrCanvas &canvas, int x, int y, int x1, int y1, double scaleX, double scaleY,
                     int viewColor) const
{
    if (dropShadow_) {
        int s = lyrRoundi(shadowWidth_ * scaleX);
        canvas.SetPen(shadowColor_, s, psSolid);
        canvas.SetBackground(clNone);
        if (s > 0) canvas.FillRect(QRect(x1, y + s, s, y1 - y - s), shadowColor_);
        s = lyrRoundi(shadowWidth_ * scaleY);
        if (s > 0) canvas.FillRect(QRect(x + s, y1, x1 - x, s), shadowColor_);
    }
    if (typ_ == 0 || color_ == clNone || width_ == 0) return;
    canvas.SetBackground(style_ != fsSolid ? viewColor : clNone);
    struct Side {
        int bit;
        const TlyrFrameLine *line;
    };
    const Side sides[] = {{ftLeft, LeftLine()}, {ftRight, RightLine()}, {ftTop, TopLine()}, {ftBottom, BottomLine()}};
    for (const Side &side : sides) {
        if (!(typ_ & side.bit)) continue;
        const TlyrFrameLine &l = *side.line;
        const int w = lyrRoundi(l.Width() * scaleX);
        const bool dashed = l.Style() != fsSolid && l.Style() != fsDouble;
        const int penWidth = dashed ? 1 : w;
        if (dashed)
            canvas.SetPen(l.Color(), 1, TlyrPenStyle(l.Style()));
        else
            canvas.SetPen(l.Color(), w, psSolid);
        int ax = 0, ay = 0, bx = 0, by = 0;
        switch (side.bit) {
        case ftLeft:
            ax = x, ay = y - (penWidth == 2 ? 1 : 0), bx = x, by = y1;
            break;
        case ftRight:
            ax = x1, ay = y, bx = x1, by = y1;
            break;
        case ftTop:
            ax = x, ay = y, bx = x1, by = y;
            break;
        default:
            ax = x, ay = y1, bx = x1 + (penWidth == 1 ? 1 : 0), by = y1;
            break;
        }
        if (l.Style() == fsSolid) {
            canvas.Line(ax, ay, bx, by);
        } else if (dashed) {
            lyrThickLine(canvas, ax, ay, bx, by, w);
        } else {
            // Double: lines at -w and +w; the outer one reaches over the
            // neighbouring sides, the inner one stops short of them.
            const bool vertical = side.bit == ftLeft || side.bit == ftRight;
            const int n1 = vertical ? ftTop : ftLeft, n2 = vertical ? ftBottom : ftRight;
            const int e1 = (typ_ & n1) ? w : 0, e2 = (typ_ & n2) ? w : 0;
            const bool outerIsMinus = side.bit == ftLeft || side.bit == ftTop;
            auto drawAt = [&](int offset, bool outer) {
                const int s1 = outer ? -e1 : e1, s2 = outer ? e2 : -e2;
                if (vertical)
                    canvas.Line(ax + offset, ay + s1, bx + offset, by + s2);
                else
                    canvas.Line(ax + s1, ay + offset, bx + s2, by + offset);
            };
            drawAt(-w, outerIsMinus);
            if (viewColor != clNone) {
                canvas.SetPen(viewColor, w, psSolid);
                canvas.Line(ax, ay, bx, by);
                canvas.SetPen(l.Color(), w, psSolid);
            }
            drawAt(w, !outerIsMinus);
        }
    }
    canvas.SetBackground(clNone);
}

// ---------------------------------------------------------------- highlight

TlyrHighlight::TlyrHighlight(QObject *owner) : QObject(owner), font_(new TlyrFont(this))
{
    font_->SetColor(clRed);
}

void TlyrHighlight::Assign(const TlyrHighlight &s)
{
    font_->Assign(*s.font_);
    color_ = s.color_;
    condition_ = s.condition_;
}

// ---------------------------------------------------------------- format

void TlyrFormat::Assign(const TlyrFormat &s)
{
    decimalSeparator_ = s.decimalSeparator_;
    formatStr_ = s.formatStr_;
    kind_ = s.kind_;
}

void TlyrFormat::SetFromSuffix(const QString &suffix)
{
    kind_ = fkText;
    decimalSeparator_.clear();
    if (suffix.isEmpty()) {
        formatStr_.clear();
        return;
    }
    const QChar k = suffix[0].toUpper();
    if (k == u'N')
        kind_ = fkNumeric;
    else if (k == u'D' || k == u'T')
        kind_ = fkDateTime;
    else if (k == u'B')
        kind_ = fkBoolean;
    formatStr_ = suffix.mid(1, 255);
    // A picture ("#,##0.00") keeps its own separators; printf-style formats
    // name the decimal separator to print.
    if (kind_ == fkNumeric && !formatStr_.contains(u'#')) {
        for (QChar &c : formatStr_) {
            if (c == u',' || c == u'-' || c == u'.') {
                decimalSeparator_ = QString(c);
                c = u'.';
            }
        }
    }
}

namespace {
// Numbers as SQLite may return them: text with "." (or a lone ",") as the
// decimal separator.
bool numberFromText(const QString &text, double &out)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    out = t.toDouble(&ok);
    if (!ok && t.count(u',') == 1 && !t.contains(u'.')) out = QString(t).replace(u',', u'.').toDouble(&ok);
    return ok && std::isfinite(out);
}
}  // namespace

QString lyrFormatData(const KsValue &value, const TlyrFormat &format, QString *error)
{
    if (value.IsNull() || value.IsEmpty()) return QString();
    auto asText = [&] {
        try {
            return value.ToText();
        } catch (const std::exception &) {
            return QString();
        }
    };
    auto fail = [&](const QString &why) {
        if (error) *error = why;
        return asText();
    };
    const QString &fmt = format.FormatStr();
    try {
        switch (format.Kind()) {
        case fkNumeric: {
            double d = 0;
            if (value.IsString()) {
                if (!numberFromText(value.RawString(), d))
                    return fail(QStringLiteral("“%1”不是数字，不能按格式“%2”显示").arg(value.RawString(), fmt));
            } else {
                d = value.ToDouble();
            }
            QString s;
            if (fmt.contains(u'#'))
                s = ksFormatFloat(fmt, d);
            else if (fmt.contains(u'd'))
                s = ksFormat(fmt, {KsValue::FromInt(std::llround(d))});
            else
                s = ksFormat(fmt, {KsValue(d)});
            const QChar system = ksFormatSettings().DecimalSeparator;
            const QString &sep = format.DecimalSeparator();
            if (sep.size() == 1 && sep[0] != system) s.replace(system, sep[0]);
            return s;
        }
        case fkDateTime: {
            double d = 0;
            if (value.IsString()) {
                if (!ksTryStrToDateTime(value.RawString(), d) && !numberFromText(value.RawString(), d))
                    return fail(QStringLiteral("“%1”不是日期，不能按格式“%2”显示").arg(value.RawString(), fmt));
            } else {
                d = value.ToDouble();
            }
            return ksFormatDateTime(fmt, d);
        }
        case fkBoolean: {
            const qsizetype comma = fmt.indexOf(u',');
            const QString no = comma < 0 ? fmt : fmt.left(comma);
            const QString yes = comma < 0 ? QString() : fmt.mid(comma + 1, 255);
            bool truth = false;
            if (value.Kind() == KsKind::Boolean)
                truth = value.RawBool();
            else if (value.IsString())
                truth = value.RawString().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
            else if (value.IsNumeric())
                truth = value.ToDouble() != 0;
            return truth ? yes : no;
        }
        default:
            return asText();
        }
    } catch (const std::exception &e) {
        return fail(QStringLiteral("格式“%1”不适用：%2").arg(fmt, QString::fromUtf8(e.what())));
    }
}

void lyrRegisterFrameClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    const QStringList styles{"fsSolid", "fsDash", "fsDot", "fsDashDot", "fsDashDotDot", "fsDouble"};
    KsClassInfo *line = ksRegisterClass(&TlyrFrameLine::staticMetaObject);
    lyrPublishEnum(line, "Style", "TlyrFrameStyle", styles);
    KsClassInfo *frame =
            ksRegisterClass(&TlyrFrame::staticMetaObject, [](QObject *o) -> QObject * { return new TlyrFrame(o); });
    lyrPublishEnum(frame, "Style", "TlyrFrameStyle", styles);
    ksRegisterClass(&TlyrHighlight::staticMetaObject, [](QObject *o) -> QObject * { return new TlyrHighlight(o); });
    KsClassInfo *format =
            ksRegisterClass(&TlyrFormat::staticMetaObject, [](QObject *o) -> QObject * { return new TlyrFormat(o); });
    lyrPublishEnum(format, "Kind", "TlyrFormatKind", {"fkText", "fkNumeric", "fkDateTime", "fkBoolean"});
}
