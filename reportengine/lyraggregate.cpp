#include "reportengine/lyraggregate.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrutils.h"
#include "report/lyrvariables.h"

#include <QRegularExpression>

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
    bool quoted = false;
    QString cur;
    for (QChar c : text) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted) {
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

void TlyrAggregateList::scanText(const QString &text, TlyrBand *resultBand, TlyrBand *dataBand, const QString &memo,
                                 int depth)
{
    if (depth > 8) return;
    static const QRegularExpression call(QStringLiteral("\\b(SUM|AVG|MIN|MAX|COUNT)\\s*\\("),
                                         QRegularExpression::CaseInsensitiveOption);
    auto it = call.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        // The arguments up to the matching parenthesis.
        int level = 1;
        qsizetype i = m.capturedEnd();
        bool quoted = false;
        for (; i < text.size() && level > 0; ++i) {
            const QChar c = text.at(i);
            if (c == QLatin1Char('\'')) quoted = !quoted;
            if (quoted) continue;
            if (c == QLatin1Char('(')) ++level;
            if (c == QLatin1Char(')')) --level;
        }
        if (level != 0) continue;
        const QString args = text.mid(m.capturedEnd(), i - 1 - m.capturedEnd());
        const QStringList parts = splitArgs(args);
        auto item = std::make_unique<TlyrAggregateItem>();
        item->Kind = kindOf(m.captured(1));
        QString bandName, flags;
        if (item->Kind == 4) {
            bandName = parts.value(0);
            flags = parts.value(1);
        } else {
            item->Expression = parts.value(0);
            bandName = parts.value(1);
            flags = parts.value(2);
        }
        auto *named = qobject_cast<TlyrBand *>(report_->FindObject(bandName));
        item->DataBand = named ? named : dataBand;
        const int f = flags.toInt();
        item->CountInvisible = f & 1;
        item->Running = f & 2;
        item->ResultBand = resultBand;
        item->IsPageFooter = qobject_cast<TlyrPageFooter *>(resultBand) != nullptr;
        item->IsColumnFooter = qobject_cast<TlyrColumnFooter *>(resultBand) != nullptr;
        item->MemoName = memo;
        item->CallText = text.mid(m.capturedStart(), i - m.capturedStart()).trimmed();
        item->Value = KsValue::Null();
        items_.push_back(std::move(item));
        // Calls nested inside the arguments.
        scanText(args, resultBand, dataBand, memo, depth + 1);
    }
}

void TlyrAggregateList::scanVariables(const QStringList &expressions, TlyrBand *resultBand, TlyrBand *dataBand,
                                      const QString &memo, int depth)
{
    if (depth > 8) return;
    static const QRegularExpression word(QStringLiteral("[^\\x00-\\x20!#$%&()*+,\\-./=\\[\\]^|<>'\"]+"));
    const TlyrVariables *vars = report_->Variables();
    for (const QString &e : expressions) {
        // The whole expression may name a variable, or any word in it.
        QStringList names{e.trimmed()};
        for (auto it = word.globalMatch(e); it.hasNext();) names << it.next().captured();
        for (const QString &name : std::as_const(names)) {
            const int i = name.isEmpty() ? -1 : vars->IndexOf(name);
            if (i < 0) continue;
            const QString value = vars->Items(i)->Value.toString();
            if (value.isEmpty() || value == e) continue;
            scanText(value, resultBand, dataBand, memo, depth + 1);
            scanVariables({value}, resultBand, dataBand, memo, depth + 1);
        }
    }
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
            const QString text = memo->GetText();
            scanText(text, result, dataBand, memo->Name(), 0);
            scanVariables(bracketed(text, memo->ExpressionDelimiters()), result, dataBand, memo->Name(), 0);
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
        bool ok = false;
        const double d = v.ToString().trimmed().toDouble(&ok);
        if (!ok) {
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
    case 3: {
        const bool num = value.IsNumeric() && v.IsNumeric();
        const bool less = num ? v.ToDouble() < value.ToDouble() : v.ToString() < value.ToString();
        const bool greater = num ? v.ToDouble() > value.ToDouble() : v.ToString() > value.ToString();
        if ((item.Kind == 2 && less) || (item.Kind == 3 && greater)) value = v;
        break;
    }
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
    } else {
        const bool less = keepValue.ToDouble() < value.ToDouble();
        if ((item.Kind == 2) == less) value = keepValue;
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
