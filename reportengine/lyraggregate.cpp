#include "reportengine/lyraggregate.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrutils.h"
#include "report/lyrvariables.h"
#include "script/ks_limits.h"

#include <algorithm>
#include <cmath>

#include <utility>

bool lyrIsTotalsBand(const TlyrBand *band)
{
    return qobject_cast<const TlyrReportSummary *>(band) || qobject_cast<const TlyrPageFooter *>(band) ||
           qobject_cast<const TlyrFooter *>(band) || qobject_cast<const TlyrGroupFooter *>(band);
}

bool TlyrAggregateItem::PerColumn() const
{
    return DataBand && DataBand->Vertical() && ResultBand && !ResultBand->Vertical();
}

void TlyrAggregateItem::Reset()
{
    if (Running && Count != 0) return;
    Count = 0;
    Value = KsValue::Null();
    ColumnValues.clear();
    ColumnCounts.clear();
    RowAdded.clear();
}

namespace {

int kindOf(const QString &name)
{
    static const QStringList names{QStringLiteral("SUM"), QStringLiteral("AVG"), QStringLiteral("MIN"),
                                   QStringLiteral("MAX")};
    const int i = names.indexOf(name.toUpper());
    return i < 0 ? 4 : i;
}

// Splits at commas of depth 0 outside single quotes, at most three parts.
QStringList splitArgs(const QString &text)
{
    QStringList out;
    int depth = 0;
    QChar quote;
    QString cur;
    for (QChar c : text) {
        if (c == u'\'' || c == u'"') {
            if (quote.isNull())
                quote = c;
            else if (quote == c)
                quote = QChar();
        }
        if (quote.isNull()) {
            if (c == QLatin1Char('(')) ++depth;
            if (c == QLatin1Char(')')) --depth;
            if (c == QLatin1Char(',') && depth == 0 && out.size() < 2) {
                out << cur.trimmed();
                cur.clear();
                continue;
            }
        }
        cur += c;
    }
    out << cur.trimmed();
    return out;
}

// A number, or a text that reads as one (as the database or a CSV file
// may give numbers).
bool readNumber(const KsValue &v, double &out)
{
    if (v.IsNumeric()) {
        out = v.ToDouble();
        return true;
    }
    if (!v.IsString()) return false;
    bool ok = false;
    out = v.ToString().trimmed().toDouble(&ok);
    return ok && std::isfinite(out);
}

// MIN and MAX compare numbers as numbers, also when they came as text, and
// anything else as text.
bool lessThan(const KsValue &a, const KsValue &b)
{
    double x = 0, y = 0;
    if (readNumber(a, x) && readNumber(b, y)) return x < y;
    return a.ToText() < b.ToText();
}

// The expressions between the delimiters ("open,close") of a text.
QStringList bracketed(const QString &text, const QString &delimiters)
{
    QStringList out;
    const qsizetype comma = delimiters.indexOf(u',');
    const QString open = comma < 0 ? delimiters : delimiters.left(comma);
    const QString close = comma < 0 ? QString() : delimiters.mid(comma + 1);
    if (open.isEmpty() || close.isEmpty()) return out;
    for (qsizetype i = text.indexOf(open); i >= 0 && i < text.size(); i = text.indexOf(open, i)) {
        qsizetype end = i, begin = i;
        const QString e = lyrGetBracketedTextW(text, open, close, end, begin);
        if (end <= i) break;
        out << e;
        i = end + 1;
    }
    return out;
}

}  // namespace

namespace {

// Characters an expression scan passes over between words.
bool passOver(QChar c)
{
    return c.unicode() < 128 && (c.unicode() <= 32 || c.isDigit() || QStringView(u"!#$%&*+,-./=[]^|").contains(c));
}

// Characters that end a word (and are no part of one).
bool endsWord(QChar c)
{
    return c.unicode() <= 32 || QStringView(u"!#$%&()*+,-./=[]^|<>'\";:").contains(c);
}

// The position of the character closing what opens at i (a parenthesis or
// a less-than sign), quoted text skipped; -1 when it does not close.
qsizetype closing(QStringView text, qsizetype i)
{
    const QChar open = text.at(i), close = open == u'(' ? u')' : u'>';
    int depth = 0;
    for (qsizetype j = i; j < text.size(); ++j) {
        const QChar c = text.at(j);
        if (c == u'\'' || c == u'"') {
            const qsizetype end = text.indexOf(c, j + 1);
            if (end < 0) return -1;
            j = end;
        } else if (c == open) {
            ++depth;
        } else if (c == close && --depth == 0) {
            return j;
        }
    }
    return -1;
}

}  // namespace

void TlyrAggregateList::scanExpression(QStringView text, Scan &scan, const QString &inside)
{
    // Deeper than an expression may nest, the text is no expression.
    if (scan.Depth >= ksMaxExpressionDepth) return;
    ++scan.Depth;
    struct Leave {
        int &depth;
        ~Leave() { --depth; }
    } leave{scan.Depth};
    // A whole expression naming a variable stands for the variable's
    // expression; one naming a field holds no call.
    const QString whole = text.trimmed().toString();
    if (whole.isEmpty() || scanVariable(whole, scan, inside)) return;
    TlyrDataSet *ds = nullptr;
    QString field;
    if (report_->GetDataSetAndField(whole, ds, field)) return;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c == u'\'' || c == u'"') {
            const qsizetype end = text.indexOf(c, i + 1);
            i = end < 0 ? n : end + 1;
        } else if (c == u'(' || c == u'<') {
            const qsizetype end = closing(text, i);
            if (end < 0) {
                ++i;
                continue;
            }
            scanExpression(text.sliced(i + 1, end - i - 1), scan, inside);
            i = end + 1;
        } else if (passOver(c) || endsWord(c)) {
            ++i;
        } else {
            qsizetype j = i;
            while (j < n && !endsWord(text.at(j))) ++j;
            const QString word = text.sliced(i, j - i).toString();
            static const QStringList calls{QStringLiteral("SUM"), QStringLiteral("AVG"), QStringLiteral("MIN"),
                                           QStringLiteral("MAX"), QStringLiteral("COUNT")};
            qsizetype open = j;
            while (open < n && text.at(open) == u' ') ++open;
            if (calls.contains(word.toUpper()) && open < n && text.at(open) == u'(') {
                const qsizetype end = closing(text, open);
                if (end < 0) {
                    i = open + 1;
                    continue;
                }
                addCall(word, text.sliced(open + 1, end - open - 1).toString(),
                        text.sliced(i, end + 1 - i).trimmed().toString(), scan, inside);
                i = end + 1;
            } else {
                scanVariable(word, scan, inside);
                i = j;
            }
        }
    }
}

bool TlyrAggregateList::scanVariable(const QString &name, Scan &scan, const QString &inside)
{
    const TlyrVariables *vars = report_->Variables();
    const int i = vars->IndexOf(name);
    if (i < 0) return false;
    // Each variable is read once per memo (and once more inside a call):
    // variables naming each other end at once.
    const QString key = name.toUpper() + (inside.isEmpty() ? QStringLiteral("|") : QStringLiteral("|in"));
    if (scan.Visited.contains(key)) return true;
    scan.Visited.insert(key);
    const QVariant raw = vars->Items(i)->Value;
    if (raw.typeId() == QMetaType::QString) scanExpression(raw.toString(), scan, inside);
    return true;
}

void TlyrAggregateList::addCall(const QString &name, const QString &args, const QString &callText, Scan &scan,
                                const QString &inside)
{
    if (!inside.isEmpty()) {
        noteError(QStringLiteral("%1：汇总函数 %2 不能写在另一个汇总函数 %3 里").arg(scan.Memo, callText, inside));
        return;
    }
    const QStringList parts = splitArgs(args);
    auto item = std::make_unique<TlyrAggregateItem>();
    item->Kind = kindOf(name);
    QString bandName, flags;
    if (item->Kind == 4) {
        bandName = parts.value(0);
        flags = parts.value(1);
    } else {
        item->Expression = parts.value(0);
        bandName = parts.value(1);
        flags = parts.value(2);
    }
    // A band that does not exist falls back to the footer's data band; one
    // that is no data band has no records to count.
    TlyrComponent *named = bandName.isEmpty() ? nullptr : report_->FindObject(bandName);
    if (named && !qobject_cast<TlyrDataBand *>(named)) {
        noteError(QStringLiteral("%1：汇总函数 %2 所汇总的 %3 不是数据带").arg(scan.Memo, callText, bandName));
        return;
    }
    item->DataBand = named ? static_cast<TlyrBand *>(named) : scan.DataBand;
    const int f = flags.toInt();
    item->CountInvisible = f & 1;
    item->Running = f & 2;
    item->ResultBand = scan.Result;
    item->IsPageFooter = qobject_cast<TlyrPageFooter *>(scan.Result) != nullptr;
    item->IsColumnFooter = qobject_cast<TlyrColumnFooter *>(scan.Result) != nullptr;
    item->MemoName = scan.Memo;
    item->CallText = callText;
    item->Value = KsValue::Null();
    items_.push_back(std::move(item));
    // A call inside the arguments is an error.
    scanExpression(args, scan, callText);
}

void TlyrAggregateList::noteError(const QString &text)
{
    report_->AddError(text);
    failed_ = true;
}

void TlyrAggregateList::scanBand(TlyrBand *band, TlyrBand *dataBand)
{
    for (TlyrBand *b = band; b; b = b->Child()) {
        for (TlyrComponent *c : b->Objects()) {
            auto *memo = qobject_cast<TlyrCustomMemoView *>(c);
            if (!memo || !memo->AllowExpressions()) continue;
            // A cell of a crossed footer-like band totals for that band.
            TlyrBand *result = b;
            if (TlyrBand *source = b->Vertical() && SourceBandOf ? SourceBandOf(memo) : nullptr)
                if (lyrIsTotalsBand(source)) result = source;
            // Only what stands between the delimiters is an expression:
            // the rest of the text is printed as it stands.
            Scan scan{result, dataBand, memo->Name(), {}};
            for (const QString &e : bracketed(memo->GetText(), memo->ExpressionDelimiters()))
                scanExpression(e, scan, QString());
        }
        if (b->Child() == b) break;
    }
}

void TlyrAggregateList::AddItems(TlyrReportPage *page, const std::vector<TlyrBand *> &footers, TlyrBand *firstMaster)
{
    // footers: pairs of (footer-like band, its data band) flattened.
    for (size_t i = 0; i + 1 < footers.size(); i += 2) scanBand(footers[i], footers[i + 1]);
    if (!firstMaster) return;
    for (TlyrComponent *c : page->Objects()) {
        auto *b = qobject_cast<TlyrBand *>(c);
        if (b && (qobject_cast<TlyrPageFooter *>(b) || qobject_cast<TlyrColumnFooter *>(b) ||
                  qobject_cast<TlyrReportSummary *>(b)))
            scanBand(b, firstMaster);
    }
}

void TlyrAggregateList::accumulate(TlyrAggregateItem &item, const KsValue &raw, KsValue &value, int &count)
{
    KsValue v = raw;
    if (v.Kind() == KsKind::Boolean) v = KsValue(v.ToBool() ? 1 : 0);
    if (item.Kind <= 1 && v.IsString()) {
        // Numbers from the database may arrive as text: they are added as
        // numbers, never joined.
        double d = 0;
        if (!readNumber(v, d)) {
            if (!notedText_)
                report_->AddError(QStringLiteral("Not a number in ") + item.CallText + QStringLiteral(": ") +
                                  v.ToString());
            notedText_ = true;
            return;
        }
        v = KsValue(d);
    }
    if (!(item.Kind == 1 && v.IsNull())) ++count;
    if (v.IsNull() || v.IsEmpty()) return;
    if (value.IsNull() || value.IsEmpty()) {
        value = item.Kind <= 1 ? KsValue(v.ToDouble()) : v;
        return;
    }
    switch (item.Kind) {
    case 0:
    case 1:
        value = KsValue(value.ToDouble() + v.ToDouble());
        break;
    case 2:
    case 3:
        if (item.Kind == 2 ? lessThan(v, value) : lessThan(value, v)) value = v;
        break;
    default:
        break;
    }
}

void TlyrAggregateList::AddValue(TlyrBand *band, int column)
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (item.DataBand != band) continue;
        if (!band->Visible() && !item.CountInvisible) {
            // A hidden record adds nothing: a footer that takes it along
            // gives nothing back for it.
            if (!item.PerColumn()) item.LastHidden = true;
            continue;
        }
        if (item.PerColumn() && column < 1) continue;
        if (!item.PerColumn()) item.LastHidden = false;
        KsValue v = KsValue::Null();
        if (item.Kind != 4) {
            report_->CurObject = item.MemoName;
            v = report_->Calc(item.Expression);
        }
        if (item.PerColumn()) {
            accumulate(item, v, item.ColumnValues[column], item.ColumnCounts[column]);
        } else if (item.Keeping) {
            item.SavedCount = item.Count;
            item.SavedValue = item.Value;
            item.SavedKeepCount = item.KeepCount;
            item.SavedKeepValue = item.KeepValue;
            item.LastInKeep = true;
            accumulate(item, v, item.KeepValue, item.KeepCount);
            if (item.IsColumnFooter || item.IsPageFooter) item.KeptValues.emplace_back(std::max(RecordInKeep, 0), v);
        } else {
            if (rowOpen_ && (item.IsColumnFooter || item.IsPageFooter)) noteRow(item, v, 1, false);
            item.SavedCount = item.Count;
            item.SavedValue = item.Value;
            item.LastInKeep = false;
            accumulate(item, v, item.Value, item.Count);
        }
    }
}

KsValue TlyrAggregateList::GetValue(TlyrBand *band, const QString &name, const QString &expression,
                                    TlyrComponent *dataBand, int flags, int column, int fromColumn)
{
    const int kind = kindOf(name);
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (item.ResultBand != band || item.Kind != kind) continue;
        if (item.Expression.compare(expression.trimmed(), Qt::CaseInsensitive) != 0) continue;
        if (dataBand && item.DataBand != dataBand) continue;
        if (int(item.CountInvisible) != (flags & 1) || int(item.Running) != ((flags >> 1) & 1)) continue;
        const bool perColumn = item.PerColumn() && column >= 1;
        KsValue value = perColumn ? item.ColumnValues.value(column, KsValue::Null()) : item.Value;
        int count = perColumn ? item.ColumnCounts.value(column) : item.Count;
        if (perColumn && fromColumn >= 1 && fromColumn < column) {
            // The columns' totals combine as their values would have.
            value = KsValue::Null();
            count = 0;
            for (int c = fromColumn; c <= column; ++c) {
                const int n = item.ColumnCounts.value(c);
                int ignored = 0;
                if (item.ColumnValues.contains(c)) accumulate(item, item.ColumnValues.value(c), value, ignored);
                count += n;
            }
        }
        KsValue r;
        if (kind == 4)
            r = KsValue(count);
        else if (kind == 1)
            r = value.IsNull() || count == 0 ? KsValue::Null() : KsValue(value.ToDouble() / count);
        else
            r = value;
        if (r.IsNull() || r.IsEmpty()) r = KsValue(0);
        return r;
    }
    return KsValue();
}

void TlyrAggregateList::Reset(TlyrBand *band)
{
    for (auto &p : items_)
        if (p->ResultBand == band) p->Reset();
}

void TlyrAggregateList::StartKeep()
{
    for (auto &p : items_)
        if ((p->IsPageFooter || p->IsColumnFooter) && !p->Keeping) {
            p->Keeping = true;
            p->KeepCount = 0;
            p->KeepValue = KsValue::Null();
            p->BeforeKeepValue = p->Value;
            p->BeforeKeepCount = p->Count;
            p->BeforeKeepSavedValue = p->SavedValue;
            p->BeforeKeepSavedCount = p->SavedCount;
            p->KeptValues.clear();
            p->RowKeepValue = KsValue::Null();
            p->RowKeepCount = 0;
            p->RowKeptFrom = 0;
        }
}

static void mergeValues(const TlyrAggregateItem &item, const KsValue &keepValue, int keepCount, KsValue &value,
                        int &count)
{
    count += keepCount;
    if (keepValue.IsNull()) return;
    if (value.IsNull()) {
        value = keepValue;
    } else if (item.Kind <= 1 || item.Kind == 4) {
        value = KsValue(value.ToDouble() + keepValue.ToDouble());
    } else if (item.Kind == 2 ? lessThan(keepValue, value) : lessThan(value, keepValue)) {
        value = keepValue;
    }
}

static void mergeKept(TlyrAggregateItem &item)
{
    // The totals before the last record take the block along too: without
    // that record when it is the block's last.
    if (item.LastInKeep)
        mergeValues(item, item.SavedKeepValue, item.SavedKeepCount, item.SavedValue, item.SavedCount);
    else
        mergeValues(item, item.KeepValue, item.KeepCount, item.SavedValue, item.SavedCount);
    item.LastInKeep = false;
    mergeValues(item, item.KeepValue, item.KeepCount, item.Value, item.Count);
}

void TlyrAggregateList::EndKeep()
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!item.Keeping) continue;
        item.Keeping = false;
        item.KeptValues.clear();
        if (rowOpen_ && (item.IsColumnFooter || item.IsPageFooter))
            noteRow(item, item.KeepValue, item.KeepCount, true);
        mergeKept(item);
    }
}

void TlyrAggregateList::KeepInColumn()
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!item.Keeping || !item.IsColumnFooter) continue;
        mergeKept(item);
        item.KeepCount = 0;
        item.KeepValue = KsValue::Null();
        item.RowKeepValue = KsValue::Null();
        item.RowKeepCount = 0;
        item.RowKeptFrom = item.KeptValues.size();
    }
}

void TlyrAggregateList::LeaveKeptColumns(TlyrBand *keptRecord, bool leftColumn)
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!item.Keeping || !item.IsColumnFooter) continue;
        // Only the totals of the kept record's own band lose it; those of
        // its master keep their record, which stays.
        const bool recordLeaves = keptRecord && item.DataBand == keptRecord;
        item.Value = leftColumn ? KsValue::Null() : recordLeaves ? item.BeforeKeepSavedValue : item.BeforeKeepValue;
        item.Count = leftColumn ? 0 : recordLeaves ? item.BeforeKeepSavedCount : item.BeforeKeepCount;
        item.SavedValue = item.Value;
        item.SavedCount = item.Count;
        item.KeepValue = KsValue::Null();
        item.KeepCount = 0;
        item.LastInKeep = false;
        // Placed as the block is pasted.
        item.Keeping = false;
    }
}

void TlyrAggregateList::LeaveKeptPage()
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!item.Keeping || !item.IsPageFooter) continue;
        item.KeepValue = KsValue::Null();
        item.KeepCount = 0;
        item.LastInKeep = false;
        // Placed as the block is pasted.
        item.Keeping = false;
    }
}

void TlyrAggregateList::PlaceKept(int place)
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!(item.IsColumnFooter || item.IsPageFooter) || item.Keeping) continue;
        auto &kept = item.KeptValues;
        for (auto it = kept.begin(); it != kept.end();)
            if (it->first <= place) {
                accumulate(item, it->second, item.Value, item.Count);
                it = kept.erase(it);
            } else {
                ++it;
            }
    }
}

void TlyrAggregateList::noteRow(TlyrAggregateItem &item, const KsValue &value, int count, bool merged)
{
    if (item.RowAdded.empty()) {
        item.RowBeforeValue = item.Value;
        item.RowBeforeCount = item.Count;
    }
    item.RowAdded.push_back({value, count, merged});
}

void TlyrAggregateList::BeginRow()
{
    EndRow();
    rowOpen_ = true;
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!item.Keeping || !(item.IsColumnFooter || item.IsPageFooter)) continue;
        item.RowKeepValue = item.KeepValue;
        item.RowKeepCount = item.KeepCount;
        item.RowKeptFrom = item.KeptValues.size();
    }
}

void TlyrAggregateList::LeaveKeepAtRow()
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (!item.Keeping || !(item.IsColumnFooter || item.IsPageFooter)) continue;
        KsValue rowValue = KsValue::Null();
        int rowCount = 0;
        for (size_t i = std::min(item.RowKeptFrom, item.KeptValues.size()); i < item.KeptValues.size(); ++i)
            accumulate(item, item.KeptValues[i].second, rowValue, rowCount);
        item.KeepValue = item.RowKeepValue;
        item.KeepCount = item.RowKeepCount;
        item.Keeping = false;
        item.LastInKeep = false;
        item.KeptValues.clear();
        mergeKept(item);
        if (!rowOpen_ || (rowCount == 0 && rowValue.IsNull())) continue;
        noteRow(item, rowValue, rowCount, true);
        mergeValues(item, rowValue, rowCount, item.Value, item.Count);
    }
}

void TlyrAggregateList::LeaveRow()
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (item.RowAdded.empty() || item.Keeping) continue;
        item.Value = item.SavedValue = item.RowBeforeValue;
        item.Count = item.SavedCount = item.RowBeforeCount;
        item.LastInKeep = false;
        // (The footers it leaves reset the items: what moves is set apart.)
        item.RowMoving = std::move(item.RowAdded);
        item.RowAdded.clear();
    }
}

void TlyrAggregateList::PlaceRow()
{
    for (auto &p : items_) {
        TlyrAggregateItem &item = *p;
        if (item.Keeping) continue;
        for (const TlyrAggregateItem::RowPart &part : item.RowMoving) {
            item.SavedValue = item.Value;
            item.SavedCount = item.Count;
            if (part.Merged)
                mergeValues(item, part.Value, part.Count, item.Value, item.Count);
            else
                accumulate(item, part.Value, item.Value, item.Count);
        }
        item.RowMoving.clear();
    }
}

void TlyrAggregateList::EndRow()
{
    rowOpen_ = false;
    for (auto &p : items_) p->RowAdded.clear();
}

void TlyrAggregateList::Undo(TlyrBand *band)
{
    for (auto &p : items_)
        if (p->DataBand == band) {
            if (std::exchange(p->LastHidden, false)) continue;
            if (!p->LastInKeep && !p->RowAdded.empty() && !p->RowAdded.back().Merged) p->RowAdded.pop_back();
            p->Count = p->SavedCount;
            p->Value = p->SavedValue;
            if (p->LastInKeep && p->Keeping) {
                p->KeepCount = p->SavedKeepCount;
                p->KeepValue = p->SavedKeepValue;
                if ((p->IsColumnFooter || p->IsPageFooter) && !p->KeptValues.empty()) p->KeptValues.pop_back();
            }
            p->LastInKeep = false;
        }
}

void TlyrAggregateList::ClearValues()
{
    for (auto &p : items_) {
        p->Count = 0;
        p->Value = KsValue::Null();
        p->ColumnValues.clear();
        p->ColumnCounts.clear();
    }
}

TlyrAggregateList::Saved TlyrAggregateList::Save(TlyrBand *resultBand) const
{
    Saved out;
    for (const auto &p : items_)
        if (p->ResultBand == resultBand) out.emplace_back(p.get(), *p);
    return out;
}

void TlyrAggregateList::Restore(const Saved &saved)
{
    for (const auto &[item, values] : saved) *item = values;
}
