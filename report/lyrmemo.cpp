#include "report/lyrmemo.h"

#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrvariables.h"
#include "report/lyrxml.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_props.h"
#include "script/ksrtl.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {
bool isZeroNumber(const KsValue &v)
{
    return !v.IsString() && !v.IsNull() && !v.IsEmpty() && (v.IsNumeric() || v.Kind() == KsKind::Date) &&
           v.ToDouble() == 0;
}

// Replaces the first occurrence (any case) of what.
void replaceFirst(QString &text, const QString &what, const QString &with)
{
    const qsizetype at = text.indexOf(what, 0, Qt::CaseInsensitive);
    if (at >= 0) text.replace(at, what.size(), with);
}

// Counts changes of FlowTo links (a link set, a memo gone): a cycle found
// holds while the count stays.
std::atomic<quint64> &flowLinksChanged()
{
    static std::atomic<quint64> changes{1};
    return changes;
}
}  // namespace

TlyrCustomMemoView::TlyrCustomMemoView(QObject *owner) : TlyrStretcheable(owner)
{
    SetFlags(Flags() & ~lyrFlagDefaultDiff);
    SetParentFont(true);
}

TlyrFormat *TlyrCustomMemoView::DisplayFormat() const
{
    if (!displayFormat_) displayFormat_ = new TlyrFormat(const_cast<TlyrCustomMemoView *>(this));
    return displayFormat_;
}

TlyrHighlight *TlyrCustomMemoView::Highlight() const
{
    if (!highlight_) highlight_ = new TlyrHighlight(const_cast<TlyrCustomMemoView *>(this));
    return highlight_;
}

namespace {
// What a memo that has not made its own has. Made once, on whichever thread
// asks first, and kept to the end.
const TlyrFormat &newFormat()
{
    static const TlyrFormat *const format = new TlyrFormat;
    return *format;
}
}  // namespace

TlyrCustomMemoView::~TlyrCustomMemoView()
{
    ++flowLinksChanged();
}

void TlyrCustomMemoView::SetFlowTo(TlyrCustomMemoView *v)
{
    flowTo_ = v;
    ++flowLinksChanged();
}

QString TlyrCustomMemoView::flowCycle()
{
    const quint64 now = flowLinksChanged().load();
    if (flowChecked_ == now) return flowCycle_;
    // Walked once for a whole chain: every memo on the way takes the answer.
    std::vector<TlyrCustomMemoView *> path;
    QHash<const TlyrCustomMemoView *, qsizetype> onPath;
    TlyrCustomMemoView *m = this;
    while (m && m->flowChecked_ != now && !onPath.contains(m)) {
        onPath.insert(m, qsizetype(path.size()));
        path.push_back(m);
        m = m->flowTo_.data();
    }
    QString cycle;
    if (m && m->flowChecked_ == now && !onPath.contains(m)) {
        cycle = m->flowCycle_;
    } else if (m) {
        QStringList names;
        const qsizetype first = onPath.value(m), count = qsizetype(path.size()) - first;
        constexpr qsizetype kShown = 20;
        for (qsizetype k = first; k < qsizetype(path.size()); ++k) {
            if (count > kShown && k == first + kShown - 1) {
                names << QStringLiteral("…");
                k = qsizetype(path.size()) - 1;
            }
            names << path[size_t(k)]->Name();
        }
        names << m->Name();
        cycle = names.join(QStringLiteral(" → "));
    }
    for (TlyrCustomMemoView *p : path) {
        p->flowChecked_ = now;
        p->flowCycle_ = cycle;
    }
    return cycle;
}

void TlyrCustomMemoView::SetText(const QString &text)
{
    memo_.clear();
    // Lines end at LF or CR LF; one pass over the text (replacing each CR LF
    // in place first moved the rest of the text once a line). A final line
    // break ends the last line; it starts no empty one.
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        if (end < 0) end = all.size();
        else if (end > start && all[end - 1] == u'\r') --end;
        memo_.append(all.sliced(start, end - start).toString());
        start = next;
    }
}

QString TlyrCustomMemoView::LinesText() const
{
    QString out;
    for (const QString &line : memo_) out += line + QStringLiteral("\r\n");
    return out;
}

QString TlyrCustomMemoView::GetComponentText() const
{
    QString text = GetText();
    if (allowExpressions_) replaceFirst(text, QStringLiteral("[TOTALPAGES]"), QString::number(TotalPages));
    return text;
}

void TlyrCustomMemoView::SetStyle(const QString &v)
{
    style_ = v;
    if (TlyrReport *r = Report(); r && r->Styles()) ApplyStyle(r->Styles()->Find(v));
}

void TlyrCustomMemoView::ApplyStyle(const TlyrStyleItem *item)
{
    if (!item) return;
    SetColor(item->Color);
    if (item->Font) SetFont(item->Font.get());
    if (item->Frame) SetFrame(*item->Frame);
}

bool TlyrCustomMemoView::IsPropertyStored(const QString &name) const
{
    if (name == QLatin1String("ExpressionDelimiters")) return expressionDelimiters_ != QLatin1String("[,]");
    if (name == QLatin1String("GapX")) return gapX_ != 2;
    if (name == QLatin1String("GapY")) return gapY_ != 1;
    if (name == QLatin1String("LineSpacing")) return lineSpacing_ != 2;
    if (name == QLatin1String("ParagraphGap")) return paragraphGap_ != 0;
    if (name == QLatin1String("CharSpacing")) return charSpacing_ != 0;
    if (name == QLatin1String("Highlight")) {
        if (!highlight_) return false;  // as a new one
        if (!highlight_->Condition().trimmed().isEmpty()) return true;
        // Without a condition it is kept only when it is not as a new one.
        // Made once, on whichever thread asks first, and kept to the end.
        static const TlyrHighlight *const fresh = new TlyrHighlight;
        return highlight_->Color() != fresh->Color() || !highlight_->Font()->Equals(*fresh->Font());
    }
    return TlyrStretcheable::IsPropertyStored(name);
}

TlyrDrawText &TlyrCustomMemoView::layoutObject() const
{
    if (TlyrReport *r = Report()) return r->DrawTextObject();
    return lyrDrawText();
}

// ---------------------------------------------------------------- data

QString TlyrCustomMemoView::FormatData(const KsValue &value, const TlyrFormat *format)
{
    if (hideZeros_ && isZeroNumber(value)) return QString();
    QString error;
    const QString s = lyrFormatData(value, format ? *format : displayFormat_ ? *displayFormat_ : newFormat(), &error);
    if (!error.isEmpty())
        if (TlyrReport *r = Report()) r->AddError(Name() + QStringLiteral(": ") + error);
    return s;
}

QString TlyrCustomMemoView::evaluate(const QString &e)
{
    QString expression = e;
    TlyrFormat suffix;
    bool hasSuffix = false;
    const qsizetype hash = e.indexOf(QStringLiteral(" #"));
    if (hash >= 0 && !e.mid(hash + 2).contains(u')')) {
        expression = e.left(hash);
        suffix.SetFromSuffix(e.mid(hash + 2));
        hasSuffix = true;
    }
    if (expression.compare(QLatin1String("TOTALPAGES#"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("[TotalPages#]");
    if (expression.compare(QLatin1String("COPYNAME#"), Qt::CaseInsensitive) == 0) return QStringLiteral("[CopyName#]");
    TlyrReport *r = Report();
    // Output that may still move to another page prints its page number
    // once it has landed.
    const bool defer = r && r->Engine() && r->Engine()->DefersPageNumbers();
    if (defer && !hasSuffix) {
        const QString name = expression.trimmed();
        if (name.compare(QLatin1String("Page#"), Qt::CaseInsensitive) == 0) return lyrPageNumberMark(false);
        if (name.compare(QLatin1String("Page"), Qt::CaseInsensitive) == 0) return lyrPageNumberMark(true);
    }
    if (!r) {
        Value = KsValue::Null();
        return FormatData(Value, hasSuffix ? &suffix : nullptr);
    }
    const bool readBefore = std::exchange(r->PageNumberRead, false);
    Value = r->Calc(expression);
    const bool pageRead = std::exchange(r->PageNumberRead, readBefore || r->PageNumberRead);
    if (defer && pageRead) {
        // So does any other expression reading it: it is worked out again
        // there, with the format it has now.
        auto format = std::make_shared<TlyrFormat>();
        if (hasSuffix)
            format->Assign(suffix);
        else if (displayFormat_)
            format->Assign(*displayFormat_);
        return r->DeferPageExpression(expression, [format, hide = hideZeros_, name = Name(), r](const KsValue &value) {
            if (hide && isZeroNumber(value)) return QString();
            QString error;
            const QString text = lyrFormatData(value, *format, &error);
            if (!error.isEmpty()) r->AddError(name + QStringLiteral(": ") + error);
            return text;
        });
    }
    return FormatData(Value, hasSuffix ? &suffix : nullptr);
}

QString TlyrCustomMemoView::expandExpressions(const QString &source)
{
    const qsizetype comma = expressionDelimiters_.indexOf(u',');
    const QString open = comma < 0 ? expressionDelimiters_ : expressionDelimiters_.left(comma);
    const QString close = comma < 0 ? QString() : expressionDelimiters_.mid(comma + 1, 255);
    if (open.isEmpty() || close.isEmpty()) return source;
    return lyrExpandExpressions(Report(), source, open, close, [this](const QString &e) { return evaluate(e); });
}

void TlyrCustomMemoView::BeforePrint()
{
    TlyrStretcheable::BeforePrint();
    saveTemplateText();
}

void TlyrCustomMemoView::saveTemplateText()
{
    if (IsDataField() || saved_) return;
    SavedMemo = LinesText();
    saved_ = true;
}

void TlyrCustomMemoView::AfterPrint()
{
    if (!IsDataField() && saved_) {
        SetText(SavedMemo);
        SavedMemo.clear();
        saved_ = false;
    }
    TlyrStretcheable::AfterPrint();
}

void TlyrCustomMemoView::takeFlow(const QString &text)
{
    // The template text is saved before the flowed text replaces it, also
    // when this memo's own output comes later: saved then, it would be the
    // flowed text, kept by every memo of a chain and put back after printing.
    saveTemplateText();
    SetText(text);
    SetAllowExpressions(false);
}

void TlyrCustomMemoView::GetData()
{
    TlyrStretcheable::GetData();
    TlyrReport *r = Report();
    if (IsDataField()) {
        TlyrDataSet *ds = DataSet();
        if (ds->IsBlobField(DataField())) {
            QStringList lines;
            ds->AssignBlobTo(DataField(), lines);
            SetMemo(lines);
        } else {
            Value = ds->GetValue(DataField());
            if (!displayFormat_ || displayFormat_->Kind() == fkText)
                SetText(ds->GetDisplayText(DataField()));
            else
                SetText(FormatData(Value));
            if (hideZeros_ && isZeroNumber(Value)) memo_.clear();
        }
    } else if (allowExpressions_) {
        SetText(expandExpressions(LinesText()));
    }
    if (r) {
        if (TksCustomVariable *v = r->ValueVariable()) v->SetValue(Value);
    }
    if (highlight_) {
        highlight_->Active = false;
        if (r && !highlight_->Condition().isEmpty()) highlight_->Active = r->Calc(highlight_->Condition()).ToBool();
    }
    if (suppressRepeated_) {
        const QString text = GetText();
        if (text == LastValue)
            memo_.clear();
        else
            LastValue = text;
    }
    if (TlyrCustomMemoView *next = flowTo_.data()) {
        // Text passed round a cycle would come back over text not yet
        // printed: a memo whose chain never ends keeps all of its text.
        if (const QString cycle = flowCycle(); !cycle.isEmpty()) {
            if (r) r->AddError(QStringLiteral("文本续接（FlowTo）构成循环：%1，未续接").arg(cycle));
            return;
        }
        InitPart();
        DrawPart();
        next->takeFlow(PartRest());
        ClearPart();
    }
}

// ---------------------------------------------------------------- layout

void TlyrCustomMemoView::BeginDraw(TlyrCanvas *canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    TlyrStretcheable::BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    const TlyrFrame &f = FrameValue();
    const double w = f.Width();
    int left = X, top = Y, right = X1, bottom = Y1;
    if (f.Typ() & ftLeft) left += lyrRoundi((w * scaleX - 1) / 2);
    if (f.Typ() & ftRight) right -= lyrRoundi(w * scaleX / 2);
    if (f.Typ() & ftTop) top += lyrRoundi((w * scaleY - 1) / 2);
    if (f.Typ() & ftBottom) bottom -= lyrRoundi(w * scaleY / 2);
    const int gx = lyrRoundi(gapX_ * scaleX), gy = lyrRoundi(gapY_ * scaleY);
    TextRect = lyrRect(left + gx, top + gy, right - gx + 1, bottom - gy + 1);
}

double TlyrCustomMemoView::verticalInset() const
{
    const TlyrFrame &f = FrameValue();
    double v = 2 * gapY_;
    if (f.Typ() & ftTop) v += (f.Width() - 1) / 2;
    if (f.Typ() & ftBottom) v += f.Width() / 2;
    if (f.DropShadow()) v += f.ShadowWidth();
    return v;
}

double TlyrCustomMemoView::horizontalInset() const
{
    const TlyrFrame &f = FrameValue();
    double v = 2 * gapX_;
    if (f.Typ() & ftLeft) v += (f.Width() - 1) / 2;
    if (f.Typ() & ftRight) v += f.Width() / 2;
    if (f.DropShadow()) v += f.ShadowWidth();
    return v;
}

void TlyrCustomMemoView::setDrawParams(TlyrDrawText &dt, TlyrCanvas *canvas, double scaleX, double scaleY,
                                       double offsetX, double offsetY, bool fitOnly, bool shownOnly)
{
    if (HighlightActive()) {
        dt.SetFont(*highlight_->Font());
        SetColor(highlight_->Color());
    } else {
        dt.SetFont(*Font());
    }
    dt.SetOptions(wordWrap_, allowHTMLTags_, rtlReading_, wordBreak_, clipped_, wysiwyg_, rotation_);
    dt.SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    if (!IsDesigning() && autoWidth_) {
        const TlyrRect big = lyrRect(0, 0, 10000, 10000);
        dt.SetDimensions(big, big, 1, 1, 1);
        dt.MeasureText(memo_);
        const double old = Width();
        SetWidth(dt.CalcWidth() + horizontalInset());
        if (hAlign_ == haRight)
            SetLeft(Left() + (old - Width()));
        else if (hAlign_ == haCenter)
            SetLeft(Left() + (old - Width()) / 2);
        if (Parent()) Parent()->AlignChildren();
    }
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    const TlyrRect scaled = TextRect;
    BeginDraw(canvas, 1, 1, 0, 0);
    const TlyrRect unscaled = TextRect;
    if (!canvas || !canvas->IsPrinter()) PrintScale = 1;
    dt.SetDimensions(unscaled, scaled, scaleX, scaleY, PrintScale);
    // Only the lines the canvas shows (inside the box when clipped), found
    // from the lines' count, which places them even from the top; a line
    // that does not wrap only as far as the canvas shows it.
    if (shownOnly && canvas && !fitOnly) {
        dt.LimitWidthTo(*canvas, TlyrHAlign(hAlign_));
        dt.SetShownText(memo_, *canvas, TlyrVAlign(vAlign_));
    } else {
        dt.SetText(memo_, fitOnly);
    }
    dt.SetParaBreaks(firstParaBreak_, lastParaBreak_);
    // Leave the drawing state at the asked scale.
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
}

double TlyrCustomMemoView::CalcHeight()
{
    TlyrDrawTextUser dt(layoutObject());
    const int color = Color();
    dt->SetFont(HighlightActive() ? *highlight_->Font() : *Font());
    dt->SetOptions(wordWrap_, allowHTMLTags_, rtlReading_, wordBreak_, clipped_, wysiwyg_, rotation_);
    dt->SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    if (autoWidth_) {
        const TlyrRect big = lyrRect(0, 0, 10000, 10000);
        dt->SetDimensions(big, big, 1, 1, 1);
    } else {
        BeginDraw(nullptr, 1, 1, 0, 0);
        dt->SetDimensions(TextRect, TextRect, 1, 1, 1);
    }
    dt->MeasureText(memo_);
    SetColor(color);
    return std::round(dt->CalcHeight() + verticalInset());
}

double TlyrCustomMemoView::LineRoom()
{
    TlyrDrawTextUser dt(layoutObject());
    dt->SetFont(HighlightActive() ? *highlight_->Font() : *Font());
    dt->SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    return std::ceil(dt->LineHeight() + verticalInset());
}

double TlyrCustomMemoView::CalcWidth()
{
    TlyrDrawTextUser dt(layoutObject());
    dt->SetFont(HighlightActive() ? *highlight_->Font() : *Font());
    dt->SetOptions(wordWrap_, allowHTMLTags_, rtlReading_, wordBreak_, clipped_, wysiwyg_, rotation_);
    dt->SetGaps(paragraphGap_, charSpacing_, lineSpacing_);
    const TlyrRect big = lyrRect(0, 0, 10000, 10000);
    dt->SetDimensions(big, big, 1, 1, 1);
    dt->MeasureText(memo_);
    return std::round(dt->CalcWidth() + horizontalInset());
}

void TlyrCustomMemoView::InitPart()
{
    partHead_.clear();
    partSource_ = LinesText();
    partFrom_ = 0;
    firstParaBreak_ = false;
    lastParaBreak_ = false;
}

QString TlyrCustomMemoView::PartRest() const
{
    QString rest = partHead_;
    rest += QStringView(partSource_).mid(partFrom_);
    return rest;
}

void TlyrCustomMemoView::ClearPart()
{
    partHead_.clear();
    partSource_.clear();
    partFrom_ = 0;
}

double TlyrCustomMemoView::DrawPart()
{
    TlyrDrawTextUser dt(layoutObject());
    const int color = Color();
    // Only the start of the text is taken up, more of it while it all fits:
    // the rest waits as it is, so that a long text is not laid out (nor
    // copied) again whole for each of its parts. Lines wrap from their
    // paragraph's start, so only the last line of the start differs from the
    // whole text's, which is beyond the part when something is left over. A
    // width that follows the text, turned text, or tags (a cut could fall
    // inside one) need all of it at once.
    const QString head = partHead_;
    const QStringView source = QStringView(partSource_).mid(partFrom_);
    const qsizetype size = head.size() + source.size();
    auto at = [&](qsizetype i) { return i < head.size() ? head.at(i) : source.at(i - head.size()); };
    // The first line break in [from, to), or -1.
    auto lineBreak = [&](qsizetype from, qsizetype to) -> qsizetype {
        to = std::min(to, size);
        for (qsizetype i = from; i < std::min(to, head.size()); ++i)
            if (head.at(i) == u'\n') return i;
        const qsizetype s = std::max(from, head.size()) - head.size();
        if (s >= to - head.size()) return -1;
        const qsizetype found = source.mid(s, to - head.size() - s).indexOf(u'\n');
        return found < 0 ? -1 : head.size() + s + found;
    };
    auto start = [&](qsizetype n) {
        QString s = head.left(n);
        if (n > head.size()) s += source.left(n - head.size());
        return s;
    };
    const bool all = autoWidth_ || rotation_ != 0 || allowHTMLTags_;
    bool paraBreak = false;
    for (qsizetype budget = 4096;; budget *= 2) {
        // A paragraph's end soon after the budget, else the budget itself
        // (never inside a surrogate pair).
        qsizetype cut = all || budget >= size ? -1 : lineBreak(budget, 2 * budget);
        const bool inParagraph = !all && budget < size && cut < 0;
        if (inParagraph) cut = budget + (at(budget).isLowSurrogate() ? 1 : 0);
        const qsizetype tail = cut < 0 ? -1 : cut + (inParagraph ? 0 : 1);
        const bool whole = tail < 0 || tail >= size;
        SetText(whole ? start(size) : start(!inParagraph && cut > 0 && at(cut - 1) == u'\r' ? cut - 1 : cut));
        setDrawParams(*dt, nullptr, 1, 1, 0, 0, true);
        QString out = dt->GetOutBoundsText(paraBreak);
        if (whole) {
            partHead_ = out;
            partSource_.clear();
            partFrom_ = 0;
            break;
        }
        if (!out.isEmpty()) {
            // The start's own last line break is none of the text's.
            if (inParagraph) out.chop(2);
            if (tail < head.size())
                out += QStringView(head).mid(tail);
            else
                partFrom_ += tail - head.size();
            partHead_ = out;
            break;
        }
    }
    lastParaBreak_ = paraBreak;
    QString in = dt->GetInBoundsText();
    if (in.endsWith(QStringLiteral("\r\n"))) in.chop(2);
    SetText(in);
    SetColor(color);
    const double left = dt->SpaceLeft();
    return left == 0 ? Height() : left;
}

// ---------------------------------------------------------------- drawing

namespace {
constexpr int kMaxUnderlines = 1 << 16;
}  // namespace

void TlyrCustomMemoView::applyPrintTags()
{
    if (!allowExpressions_) return;
    const QString total = QStringLiteral("[TOTALPAGES#]"), copyTag = QStringLiteral("[COPYNAME#]");
    // The first line that has the tag (no tag spans lines); every memo
    // drawn asks, so a line without the tag's '#' is passed at once.
    auto lineWith = [this](const QString &tag) {
        for (qsizetype i = 0; i < memo_.size(); ++i)
            if (memo_.at(i).contains(u'#') && memo_.at(i).contains(tag, Qt::CaseInsensitive)) return i;
        return qsizetype(-1);
    };
    const qsizetype totalAt = lineWith(total);
    if (totalAt < 0 && lineWith(copyTag) < 0) return;
    QString copy;
    const TlyrVariables &globals = lyrGlobalVariables();
    if (globals.IndexOf(QStringLiteral("CopyName")) >= 0)
        copy = globals.Variables(QStringLiteral("CopyName")).toString() + QString::number(CopyNo);
    if (copy.contains(u'\n')) {
        // A name of more than one line: the text is split again.
        QString text = GetText();
        const QString before = text;
        replaceFirst(text, total, QString::number(TotalPages));
        replaceFirst(text, copyTag, copy);
        if (text != before) SetText(text);
        return;
    }
    // Line by line: a long text is not copied whole to be drawn.
    if (totalAt >= 0) replaceFirst(memo_[totalAt], total, QString::number(TotalPages));
    if (const qsizetype copyAt = lineWith(copyTag); copyAt >= 0) replaceFirst(memo_[copyAt], copyTag, copy);
    // As the text set again: a last empty line is no line.
    if (!memo_.isEmpty() && memo_.last().isEmpty()) memo_.removeLast();
}

void TlyrCustomMemoView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    TlyrDrawTextUser dt(layoutObject());
    const int color = Color();
    QStringList designText;
    if (IsDesigning() && IsDataField()) {
        designText = memo_;
        memo_ = {QStringLiteral("[%1.\"%2\"]").arg(DataSetName(), DataField())};
    } else if (!IsDesigning()) {
        applyPrintTags();
    }
    setDrawParams(*dt, &canvas, scaleX, scaleY, offsetX, offsetY, false, true);
    DrawBackground();
    DrawFrame();
    if (underlines_ && rotation_ == 0) {
        canvas.SetPen(FrameValue().Color(), FrameWidth, psSolid);
        // Only the rows the canvas shows, each once: a tall memo or a line
        // height near 0 would otherwise draw without end.
        const double step = dt->LineHeight() * scaleY;
        const double base = Y + (gapY_ - lineSpacing_ + 1) * scaleY;
        const QRect clip = canvas.ClipRect();
        const int top = std::max(Y, clip.top()), bottom = std::min(Y1, clip.bottom() + 1);
        if (step > 0 && std::fabs(base) < 4.0 * lyrMaxCoord) {
            double k = std::max(1.0, std::ceil((top - base) / step));
            // At most two turns a row, whatever the rounding does, and no more
            // rows than the tallest device shows (a canvas that only records
            // has no edge).
            const int turns0 = std::min(2 * (bottom - top) + 4, 2 * kMaxUnderlines);
            for (int last = std::numeric_limits<int>::min(), turns = turns0; turns > 0; ++k, --turns) {
                const int y = lyrRoundi(base + k * step);
                if (y >= bottom) break;
                if (y != last) canvas.Line(X, y, X1, y);
                last = y;
                // Lines closer than a pixel share one row.
                if (step < 1) k = std::max(k, std::ceil((y + 1 - base) / step) - 1);
            }
        }
    }
    dt->DrawText(canvas, TlyrHAlign(hAlign_), TlyrVAlign(vAlign_));
    SetColor(color);
    if (!designText.isEmpty()) memo_ = designText;
}

QString TlyrCustomMemoView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrStretcheable::Diff(other);
    auto *o = qobject_cast<const TlyrCustomMemoView *>(other);
    if (!o) return out;
    if (autoWidth_ != o->autoWidth_) lyrAppendAttr(out, "AutoWidth", lyrBoolAttr(autoWidth_));
    if (charSpacing_ != o->charSpacing_) lyrAppendAttr(out, "CharSpacing", ksFloatToStr(charSpacing_));
    if (gapX_ != o->gapX_) lyrAppendAttr(out, "GapX", ksFloatToStr(gapX_));
    if (gapY_ != o->gapY_) lyrAppendAttr(out, "GapY", ksFloatToStr(gapY_));
    if (hAlign_ != o->hAlign_) lyrAppendAttr(out, "HAlign", QString::number(hAlign_));
    if (HighlightActive() != o->HighlightActive())
        lyrAppendAttr(out, "Highlight.Active", lyrBoolAttr(HighlightActive()));
    if (lineSpacing_ != o->lineSpacing_) lyrAppendAttr(out, "LineSpacing", ksFloatToStr(lineSpacing_));
    lyrAppendAttr(out, "u", QString::fromUtf8(lyrStrToXML(GetText())));
    if (paragraphGap_ != o->paragraphGap_) lyrAppendAttr(out, "ParagraphGap", ksFloatToStr(paragraphGap_));
    if (rotation_ != o->rotation_) lyrAppendAttr(out, "Rotation", QString::number(rotation_));
    if (rtlReading_ != o->rtlReading_) lyrAppendAttr(out, "RTLReading", lyrBoolAttr(rtlReading_));
    if (underlines_ != o->underlines_) lyrAppendAttr(out, "Underlines", lyrBoolAttr(underlines_));
    if (vAlign_ != o->vAlign_) lyrAppendAttr(out, "VAlign", QString::number(vAlign_));
    if (wordWrap_ != o->wordWrap_) lyrAppendAttr(out, "WordWrap", lyrBoolAttr(wordWrap_));
    if (firstParaBreak_) lyrAppendAttr(out, "FirstParaBreak", QStringLiteral("1"));
    if (lastParaBreak_) lyrAppendAttr(out, "LastParaBreak", QStringLiteral("1"));
    // The next part of a split memo starts with the right flag.
    auto *self = const_cast<TlyrCustomMemoView *>(this);
    self->firstParaBreak_ = lastParaBreak_;
    self->lastParaBreak_ = false;
    return out;
}

QString TlyrMemoView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obText"));
}

QString TlyrSysMemoView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obSysText"));
}

void lyrRegisterMemoClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    lyrRegisterViewClasses();
    ksRegisterClass(&TlyrCustomMemoView::staticMetaObject,
                    [](QObject *o) -> QObject * { return new TlyrCustomMemoView(o); });
    const QStringList brushes{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                              "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    for (KsClassInfo *cls : {ksRegisterClass<TlyrMemoView>(), ksRegisterClass<TlyrSysMemoView>()}) {
        lyrPublishEnum(cls, "BrushStyle", "TBrushStyle", brushes);
        lyrPublishEnum(cls, "HAlign", "TlyrHAlign", {"haLeft", "haRight", "haCenter", "haBlock"});
        lyrPublishEnum(cls, "VAlign", "TlyrVAlign", {"vaTop", "vaBottom", "vaCenter"});
    }
}
