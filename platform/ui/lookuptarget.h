#pragma once
// How a lookup or quick-entry dialog hands its result back to the window that
// opened it.  The opening window implements LookupTarget<Record> for each kind
// of record it can receive and passes itself to the dialog; the dialog calls
// lookupTaken() once, when the user takes a row or a new record is saved, and
// never when it is closed with Esc, "退出" or the title bar.
//
//   class TfrmXF_In : public QDialog,
//                     public ui::LookupTarget<members::MemberRecord>,
//                     public ui::LookupTarget<GoodsRecord> {
//       void lookupTaken(const members::MemberRecord &m, ui::LookupOrigin o) override;
//       void lookupTaken(const GoodsRecord &g, ui::LookupOrigin o) override;
//   };
//
// The window fills its own controls and moves its own focus there; the origin
// tells it where the record came from when that matters (the quick entry, for
// instance, hands no introducer and leaves a walk-in box alone).

#include <QHash>
#include <QString>

namespace vdb {
class Query;
}

namespace ui {

enum class LookupOrigin {
    Search,      // the window's own search found exactly one row
    Lookup,      // the user took a row in a lookup dialog
    QuickEntry,  // a quick-entry dialog saved a new record
};

template <class Record>
class LookupTarget {
public:
    virtual ~LookupTarget() = default;
    virtual void lookupTaken(const Record &record, LookupOrigin origin) = 0;
};

// A row of a query by column name, for lookups that need no record type of
// their own.  value() of a column the row lacks is "".
class LookupRow {
public:
    LookupRow() = default;
    // The query's current row, every column read as text.
    static LookupRow fromCurrentRow(const vdb::Query &q);
    QString value(const QString &column) const { return m_values.value(column.toLower()); }
    bool has(const QString &column) const { return m_values.contains(column.toLower()); }
    void set(const QString &column, const QString &text) { m_values.insert(column.toLower(), text); }

private:
    QHash<QString, QString> m_values;
};

}  // namespace ui
