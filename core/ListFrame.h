#pragma once
// The frame every list window is built on: a filter group whose boxes tick
// themselves when their value is edited, "查询" (or "统计"), "Excel" and
// "退出", a grid that reads its rows a page at a time, a count and the
// totals of the list, the title sort and the export.  A window describes
// its list in a ListSpec and adds its filters; the frame does the rest.
//
// Filter values never become SQL text: each clause carries "?" and its
// values, which are bound when the list, its count and its totals run.

#include "platform/db/background.h"
#include "platform/db/db.h"
#include "platform/excel/exportlayout.h"
#include "platform/ui/form.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QVariantList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
class QSplitter;
class QVBoxLayout;
class TfrmDM;
namespace ui {
class LookupComboBox;
}

namespace velmora {

// The filter condition: pieces each beginning " AND (", with their values.
class ListWhere {
public:
    // A piece with "?" for each value, e.g. " AND (theUser=?)".
    void add(const QString &piece, const QVariantList &values = {});
    // " AND (column like ?)" matching a part of the text.
    void like(const QString &column, const QString &text);
    // The name holds the text or the pinyin code begins with it, in any
    // case: the code is compared as a range an index can serve.
    void nameOrCode(const QString &nameColumn, const QString &codeColumn, const QString &text);
    void equals(const QString &column, const QString &value);
    // " AND (column Between ? AND ?)", dates as "yyyy-MM-dd".
    void between(const QString &column, const QDate &from, const QDate &to);
    void clear();

    const QString &sql() const { return m_sql; }
    const QVariantList &values() const { return m_values; }
    // The same with every value quoted in place, for showing in Lab_where.
    QString text() const;

private:
    QString m_sql;
    QVariantList m_values;
};

// What a list window shows.  Statements are built as
//   list:   select + " " + from + " " + where + ListWhere + " " + order
//   count:  "select count(*) " + from + ...
//   totals: totals + " " + from + " " + where + ListWhere
struct ListSpec {
    QString select;      // "select theNum as 会员卡号, ..." (aliases are the grid's titles)
    QString from;        // "from Member"
    QString where;       // "Where (theDel='否')"
    QString group;       // "Group by theType,WName": one row per group, counted as groups
    QString order;       // "order by ID desc"
    QString tieBreak;    // a unique key that keeps a title sort stable ("ID")
    // A unique integer column the order follows ("id", with order "order by
    // id desc"): a long list shows its first screen at once, is paged by
    // this key, and its count and totals follow from a background reader.
    QString key;
    bool keyDescending = true;
    QString totals;      // "select sum(theJF) as 积分, ..."; empty: none
    QString countLabel;  // "会员数量："
    // Bottom labels: caption and the totals field it shows.
    std::vector<std::pair<QString, QString>> totalLabels;
    std::map<QString, int> widths;  // column title -> pixels
    QStringList hidden;             // auxiliary columns (ID, thePY)
    bool titleSort = false;
    QString exportWindow;  // the class whose registered layout the export uses
    QString queryCaption = QStringLiteral("查询");
};

// The rows of one statement, read a page at a time as the grid asks for
// them.  Either by position (the row count from count(*), a page by its
// offset) or by key: each page is found from the key of the page next to
// it, the last one by reading the list backwards, so no page counts the
// rows before it; until the row count is known the list grows a page at a
// time as the grid reaches its end.
class PagedModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 256;
    explicit PagedModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // Reads the first page of a list of rows rows.
    void open(vdb::Connection *c, const QString &sql, int rows, const QVariantList &values);
    // Reads the first page of "select + ', ' + key + ' ' + tail" ordered by
    // key; tail is the from and where part ("from UXF Where (...) AND ...").
    // The row count is known at once when that page is not full.
    void openByKey(vdb::Connection *c, const QString &select, const QString &tail, const QString &key,
                   bool descending, const QVariantList &values);
    // The row count, once counted (rows are added or taken away to match).
    void setRowCount(int rows);
    bool rowsKnown() const { return m_rows >= 0; }
    void clear();
    bool isOpen() const { return m_c != nullptr; }

    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    QStringList fieldNames() const { return m_names; }
    int fieldIndex(const QString &name) const;
    QString text(int row, int column) const;
    // Pages read so far (tests and the benchmark see the lazy reading).
    int pagesRead() const { return int(m_pages.size()); }
    // Title colouring of the sorted column: 1 ascending (red), 2 descending (blue).
    void setSortMark(int column, int direction);

private:
    struct Page {
        std::unique_ptr<vdb::Query> rows;
        bool backwards = false;  // read in reverse order
        int size() const { return rows->RecordCount(); }
        // The result row of the page's n-th row.
        int at(int n) const { return backwards ? size() - 1 - n : n; }
    };
    void forget();
    void readFirstPage(const QString &sql, const QVariantList &values);
    const Page &page(int row) const;
    Page readByKey(int p) const;
    qint64 keyAt(const Page &pg, int n) const;
    // Rows shown: the count, or while it is unknown the rows read so far.
    int shownRows() const { return m_rows >= 0 ? m_rows : m_loaded; }
    vdb::Connection *m_c = nullptr;
    QString m_sql;
    QVariantList m_values;
    int m_rows = 0;  // -1: not counted yet
    int m_loaded = 0;
    QStringList m_names;
    std::vector<vdb::Query::Kind> m_kinds;
    mutable std::map<int, Page> m_pages;
    int m_sortColumn = -1, m_sortDirection = 0;
    // Paging by key.
    bool m_byKey = false;
    QString m_select, m_tail, m_key;
    bool m_descending = true;
};

class TListFrame : public ui::Form {
    Q_OBJECT
public:
    explicit TListFrame(QWidget *parent = nullptr);
    ~TListFrame() override;

    // Controls.
    QGroupBox *GroupBox1 = nullptr;  // "查询条件"
    QPushButton *BitBtn1 = nullptr, *BitBtn3 = nullptr, *BitBtn2 = nullptr;
    QLabel *Lab_where = nullptr;
    QTableView *DBGrid1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QLabel *CountLabel = nullptr;
    std::vector<QLabel *> TotalLabels;
    vdb::Query ADOQuery2;  // the totals
    PagedModel Rows;

    // "查询": rebuilds the condition from the ticked filters and refreshes.
    void BitBtn1Click();
    // "Excel": writes the shown rows, in the order shown; returns the file.
    QString BitBtn3Click();
    // The list and its totals with the kept condition.
    void Ref();
    // A click on a column title.
    void TitleClick(int column);

    // The selected row (-1: none) and its fields.
    int currentRow() const;
    void selectRow(int row);
    QString field(const QString &name) const;
    int rowCount() const { return Rows.rowCount(); }
    QString sortText() const { return m_sortText; }
    // The text of a total ("" when the sum is empty or still being counted).
    QString total(const QString &field) const;
    // Whether the count and totals of a long list are still being counted,
    // and waiting for them (the export; tests).
    bool totalsPending() const;
    void waitForTotals();
    bool queried() const { return m_queried; }
    const ListWhere &where() const { return m_where; }

    // What a window opened on one member shows (the sale list: its bills).
    virtual void showForCard(const QString &card) { Q_UNUSED(card); }

    // Where exports go and what happens to the file afterwards (tests
    // replace the opening).
    static QString exportFolder();
    static void setExportFolder(const QString &folder);
    static void setExportOpener(std::function<bool(const QString &path)> open);

signals:
    void currentRowChanged();

protected:
    // The window's description, given once in its constructor.
    void setSpec(ListSpec spec);
    // A filter: its box, the controls whose editing ticks it, its clause.
    void addFilter(QCheckBox *box, std::initializer_list<QWidget *> values, std::function<void(ListWhere &)> clause);
    // A box outside the group that re-runs the query when clicked.
    void addQueryBox(QCheckBox *box, std::function<void(ListWhere &)> clause);
    // Checks the filter values before "查询" builds the condition; false
    // (after its message) leaves the list as it was.
    virtual bool filtersValid() { return true; }
    // The condition every query starts from; empty in most windows.
    virtual void baseCondition(ListWhere &w) { Q_UNUSED(w); }
    // Runs after every refresh (the sale list fills its line grids).
    virtual void afterRef() {}
    // The filter group's grid of controls and the area under the list.
    // filterRow gives the place after the row's filters for other widgets;
    // they take the rest of the row.
    QHBoxLayout *filterRow(int row);
    QVBoxLayout *belowGrid() const { return m_below; }
    // Puts a splitter between the list and the widget shown under it (a
    // line grid), so the user can give either more room.
    QSplitter *splitBelowGrid(QWidget *below);
    // A group of filters of its own, beside "查询条件".
    void addFilterGroup(QGroupBox *group);
    QHBoxLayout *totalsRow() const { return m_totals; }
    // Filters laid out in a row of the group: the box, then its control.
    // Text: " AND (column like '%text%')".
    QLineEdit *textFilter(int row, QCheckBox **box, const QString &caption, const QString &column);
    // An edit box with a clause of the window's own, given the text.
    QLineEdit *editFilter(int row, QCheckBox **box, const QString &caption,
                          std::function<void(ListWhere &, const QString &text)> clause);
    // Dates: " AND (column Between from AND to)", from a month back to today.
    void dateFilter(int row, QCheckBox **box, const QString &caption, QDateEdit **from, QDateEdit **to,
                    const QString &column);
    // A choice: " AND (column=choice)".
    void choiceFilter(int row, QCheckBox **box, const QString &caption, QComboBox *choice, const QString &column);

    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    struct Filter {
        QCheckBox *box;
        std::function<void(ListWhere &)> clause;
    };
    QString listSql() const;
    bool pagedByKey() const;
    // One filter's widgets, placed in a row as one cell of the columns.
    void placeFilter(int row, std::initializer_list<QWidget *> widgets);
    struct FilterCell {
        int row, column;
        QHBoxLayout *layout;
        bool filter;  // false: the other widgets of the row
    };
    QHBoxLayout *filterCell(int row, bool filter);
    void settleFilterCells();
    std::vector<FilterCell> m_cells;
    // The count and totals in ADOQuery2 shown in the labels.
    void showTotals();
    // Counts in the background; the labels and the row count follow.
    void countInBackground(const QString &sql);
    std::unique_ptr<vdb::BackgroundQuery> m_counter;
    QString m_counterPath;
    int m_keptRow = -1;
    void applyWidths();
    ListSpec m_spec;
    std::vector<Filter> m_filters;
    ListWhere m_where;
    QString m_sortText;
    bool m_queried = false;
    QGridLayout *m_filterGrid = nullptr;
    QVBoxLayout *m_below = nullptr;
    QHBoxLayout *m_head = nullptr;
    bool m_focusChosen = false;
    QHBoxLayout *m_totals = nullptr;
};

// Windows opened on one member by another folder's window (the member list
// opens the sale entry without including sales/): key, then the opener.
using CardOpener = std::function<void(QWidget *owner, const QString &card)>;
void registerCardWindow(const QString &key, CardOpener open);
CardOpener cardWindow(const QString &key);
// A card window with a menu item of its own: wherever it is reached from,
// it opens only for a user who holds that item's right (holdsRight).
CardOpener withOwnRight(const QString &mnum, CardOpener open);

// A lookup box filled by one of the data module's fillers (TfrmDM::DBComUser, ...).
ui::LookupComboBox *lookupBox(void (TfrmDM::*fill)(ui::LookupComboBox *));

// Registers the "ZHNUM" collation on the connection: numbers compare as
// numbers, other texts in Chinese (pinyin) order.
void registerListCollation(vdb::Connection &c);

}  // namespace velmora
