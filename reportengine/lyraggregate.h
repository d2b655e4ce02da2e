#pragma once
// SUM, AVG, MIN, MAX and COUNT calls found in the footer-like bands of a
// report page: one accumulator per call, fed with every record of its data
// band and reset after the band that shows it.

#include "script/ksvalue.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>

#include <memory>
#include <utility>
#include <vector>

class TlyrBand;
class TlyrReport;
class TlyrReportPage;
class TlyrComponent;

// A band whose row totals: a footer, group footer, report summary or page
// footer (a crossed one totals in its cells too).
bool lyrIsTotalsBand(const TlyrBand *band);

class TlyrAggregateItem {
public:
    int Kind = 0;  // SUM 0, AVG 1, MIN 2, MAX 3, COUNT 4
    TlyrBand *DataBand = nullptr;
    bool CountInvisible = false;
    bool Running = false;
    QString Expression;
    bool IsPageFooter = false;
    // Column footer totals, like page footer totals, count a kept block
    // where it prints.
    bool IsColumnFooter = false;
    KsValue Value;
    int Count = 0;
    // The totals before the last record was added, which a record moving
    // to the next page with its footer takes back; and, when that record
    // went into an open keep block, the block's before it.
    KsValue SavedValue;
    int SavedCount = 0;
    KsValue SavedKeepValue;
    int SavedKeepCount = 0;
    bool LastInKeep = false;
    // The last record of the data band was hidden and added nothing.
    bool LastHidden = false;
    bool Keeping = false;
    KsValue KeepValue;
    int KeepCount = 0;
    // A column footer's totals before the open keep block (and before its
    // last record), and each value the block added at the place in the block
    // of its record: a block that ran over columns and moves to a new page
    // counts its records again in the columns they are pasted into.
    KsValue BeforeKeepValue, BeforeKeepSavedValue;
    int BeforeKeepCount = 0, BeforeKeepSavedCount = 0;
    std::vector<std::pair<int, KsValue>> KeptValues;
    // A page or column footer's totals before the open row of a list in
    // columns (labels), and what the row added to them since: a row that
    // moves on counts where it prints.
    struct RowPart {
        KsValue Value;
        int Count = 0;
        // A keep block's totals merged at once, not one record's value.
        bool Merged = false;
    };
    KsValue RowBeforeValue;
    int RowBeforeCount = 0;
    std::vector<RowPart> RowAdded, RowMoving;
    // The open block's totals when its open row began, and how many of
    // KeptValues were noted then: a row that leaves the block takes only
    // its own records along.
    KsValue RowKeepValue;
    int RowKeepCount = 0;
    size_t RowKeptFrom = 0;
    QString MemoName;
    QString CallText;
    TlyrBand *ResultBand = nullptr;
    // Cross output: a vertical data band totalled in a horizontal band
    // (a column total) keeps one value and count per vertical column.
    QHash<int, KsValue> ColumnValues;
    QHash<int, int> ColumnCounts;
    bool PerColumn() const;
    void Reset();
};

class TlyrAggregateList {
public:
    explicit TlyrAggregateList(TlyrReport *report) : report_(report) {}
    int Count() const { return static_cast<int>(items_.size()); }
    TlyrAggregateItem *Items(int i) const { return items_.at(static_cast<size_t>(i)).get(); }
    void AddItems(TlyrReportPage *page, const std::vector<TlyrBand *> &masters, TlyrBand *firstMaster);
    // column: the vertical column being printed (0 outside cross output).
    void AddValue(TlyrBand *band, int column = 0);
    // fromColumn: a column total over the columns fromColumn..column (a
    // vertical footer's cell in a crossed total row); 0 for one column.
    KsValue GetValue(TlyrBand *band, const QString &name, const QString &expression, TlyrComponent *dataBand, int flags,
                     int column = 0, int fromColumn = 0);
    // The horizontal band an object in a vertical band came from (none for
    // the vertical band's own objects).
    std::function<TlyrBand *(TlyrComponent *)> SourceBandOf;
    void Reset(TlyrBand *band);
    void StartKeep();
    void EndKeep();
    // A kept block going on in the next column: what it printed so far
    // stays in the column it leaves.
    void KeepInColumn();
    // Where the record being added stands in the open keep block, counted
    // from the block's start; -1 when not known.
    int RecordInKeep = -1;
    // The open block ran over columns and moves to a new page: the column it
    // began in shows again what it held before the block (less the record a
    // footer takes along), or nothing when the block had left it; the block's
    // records count as their places are pasted.
    void LeaveKeptColumns(TlyrBand *keptRecord, bool leftColumn);
    // A block pasted over a new page's columns may run on to a further
    // page: its records count for the page footers where they are placed.
    void LeaveKeptPage();
    void PlaceKept(int place);
    // The row of a list in columns: from its first record on, what it adds
    // to page and column footers is noted; a row that moves whole to the
    // next column or page takes that out of the footers it leaves
    // (LeaveRow, before the break) and adds it to those it lands under
    // (PlaceRow, after).
    void BeginRow();
    void LeaveRow();
    void PlaceRow();
    void EndRow();
    // The open block stays and its open row moves on without it: what the
    // block held above the row counts where it is, the row's records are
    // noted as the row's.
    void LeaveKeepAtRow();
    void Undo(TlyrBand *band);
    void ClearValues();
    // The values of the items shown in a band, to be put back after the band
    // was shown once more (a footer on a page in width).
    using Saved = std::vector<std::pair<TlyrAggregateItem *, TlyrAggregateItem>>;
    Saved Save(TlyrBand *resultBand) const;
    void Restore(const Saved &saved);
    void Clear()
    {
        items_.clear();
        failed_ = false;
    }
    // A call the scan could not take (one inside another, or over a band
    // that is no data band): the report must not run.
    bool Failed() const { return failed_; }

private:
    // What one memo's expressions are scanned for.
    struct Scan {
        TlyrBand *Result;
        TlyrBand *DataBand;
        QString Memo;
        QSet<QString> Visited;  // variables read so far
        int Depth = 0;
    };
    void scanBand(TlyrBand *band, TlyrBand *dataBand);
    // inside: the call whose arguments the text is, empty outside calls.
    void scanExpression(QStringView text, Scan &scan, const QString &inside);
    // False when name is no report variable.
    bool scanVariable(const QString &name, Scan &scan, const QString &inside);
    void addCall(const QString &name, const QString &args, const QString &callText, Scan &scan, const QString &inside);
    void noteError(const QString &text);
    void accumulate(TlyrAggregateItem &item, const KsValue &v, KsValue &value, int &count);
    TlyrReport *report_;
    std::vector<std::unique_ptr<TlyrAggregateItem>> items_;
    void noteRow(TlyrAggregateItem &item, const KsValue &value, int count, bool merged);
    bool notedText_ = false;
    bool failed_ = false;
    bool rowOpen_ = false;
};
