#include "core/ListFrame.h"

#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/excel/excelwriter.h"
#include "platform/ui/application.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QCheckBox>
#include <QColor>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <sqlite3.h>

namespace velmora {

// ---- condition

void ListWhere::add(const QString &piece, const QVariantList &values)
{
    m_sql += piece;
    m_values += values;
}

void ListWhere::like(const QString &column, const QString &text)
{
    add(QStringLiteral(" AND (") + column + QStringLiteral(" like ?)"), {QStringLiteral("%") + text + "%"});
}

void ListWhere::nameOrCode(const QString &nameColumn, const QString &codeColumn, const QString &text)
{
    QVariantList values{QStringLiteral("%") + text + "%"};
    QString range;
    if (!text.isEmpty()) {
        // NOCASE folds ASCII letters to lower case: the bounds are folded too.
        const QString low = text.toLower();
        QString high = low;
        high[high.size() - 1] = QChar(high.back().unicode() + 1);
        values << low << high;
        range = QStringLiteral(" OR (%1 >= ? COLLATE NOCASE AND %1 < ? COLLATE NOCASE)").arg(codeColumn);
    }
    add(QStringLiteral(" AND (") + nameColumn + QStringLiteral(" Like ?") + range + QStringLiteral(")"), values);
}

void ListWhere::equals(const QString &column, const QString &value)
{
    add(QStringLiteral(" AND (") + column + QStringLiteral("=?)"), {value});
}

void ListWhere::between(const QString &column, const QDate &from, const QDate &to)
{
    add(QStringLiteral(" AND (") + column + QStringLiteral(" Between ? AND ?)"),
        {from.toString(kDateFormat), to.toString(kDateFormat)});
}

void ListWhere::clear()
{
    m_sql.clear();
    m_values.clear();
}

QString ListWhere::text() const
{
    QString out;
    int v = 0;
    for (QChar ch : m_sql) {
        if (ch == u'?' && v < m_values.size()) {
            const QVariant &x = m_values.at(v++);
            out += x.typeId() == QMetaType::QString ? vdb::sqlQuote(x.toString()) : vdb::sqlNum(x.toDouble());
        } else {
            out += ch;
        }
    }
    return out;
}

ui::LookupComboBox *lookupBox(void (TfrmDM::*fill)(ui::LookupComboBox *))
{
    auto *l = new ui::LookupComboBox;
    (frmDM->*fill)(l);
    return l;
}

// ---- collation

namespace {

int compareZh(void *, int la, const void *a, int lb, const void *b)
{
    static QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    const QString x = QString::fromUtf8(static_cast<const char *>(a), la);
    const QString y = QString::fromUtf8(static_cast<const char *>(b), lb);
    bool okx = false, oky = false;
    const double nx = x.toDouble(&okx), ny = y.toDouble(&oky);
    if (okx && oky) return nx < ny ? -1 : nx > ny ? 1 : 0;
    if (okx != oky) return okx ? -1 : 1;  // numbers before texts, as SQLite puts them
    return collator.compare(x, y);
}

}  // namespace

void registerListCollation(vdb::Connection &c)
{
    // Registering again would expire every statement the connection keeps.
    bool present = false;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(c.handle(), "PRAGMA collation_list", -1, &st, nullptr) == SQLITE_OK) {
        while (!present && sqlite3_step(st) == SQLITE_ROW)
            present = qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)), "ZHNUM") == 0;
    }
    sqlite3_finalize(st);
    if (!present) sqlite3_create_collation_v2(c.handle(), "ZHNUM", SQLITE_UTF8, nullptr, compareZh, nullptr);
}

// ---- rows a page at a time

void PagedModel::forget()
{
    m_pages.clear();
    m_c = nullptr;
    m_rows = 0;
    m_loaded = 0;
    m_names.clear();
    m_kinds.clear();
    m_byKey = false;
}

void PagedModel::readFirstPage(const QString &sql, const QVariantList &values)
{
    // The first page gives the columns, also for an empty list.
    auto first = std::make_unique<vdb::Query>(m_c);
    first->OpenSql(sql, values);
    m_names = first->FieldNames();
    if (m_byKey) m_names.removeLast();  // the key is not shown
    for (int i = 0; i < m_names.size(); ++i) m_kinds.push_back(first->FieldKind(i));
    m_loaded = first->RecordCount();
    m_pages[0] = Page{std::move(first), false};
}

void PagedModel::open(vdb::Connection *c, const QString &sql, int rows, const QVariantList &values)
{
    beginResetModel();
    forget();
    try {
        m_c = c;
        m_sql = sql + QStringLiteral(" LIMIT ? OFFSET ?");
        m_values = values;
        readFirstPage(m_sql, QVariantList(values) << kPage << 0);
        m_rows = rows;
    } catch (...) {
        m_c = nullptr;
        endResetModel();
        throw;
    }
    endResetModel();
}

void PagedModel::openByKey(vdb::Connection *c, const QString &select, const QString &tail, const QString &key,
                           bool descending, const QVariantList &values)
{
    beginResetModel();
    forget();
    try {
        m_c = c;
        m_byKey = true;
        m_select = select + QStringLiteral(", ") + key;
        m_tail = tail;
        m_key = key;
        m_descending = descending;
        m_values = values;
        readFirstPage(m_select + " " + m_tail + QStringLiteral(" order by ") + m_key +
                              (m_descending ? QStringLiteral(" desc") : QStringLiteral(" asc")) +
                              QStringLiteral(" LIMIT ?"),
                      QVariantList(values) << kPage);
        m_rows = m_loaded < kPage ? m_loaded : -1;
    } catch (...) {
        m_c = nullptr;
        m_byKey = false;
        endResetModel();
        throw;
    }
    endResetModel();
}

void PagedModel::clear()
{
    beginResetModel();
    forget();
    endResetModel();
}

void PagedModel::setRowCount(int rows)
{
    if (!m_c) return;
    const int shown = shownRows();
    if (rows > shown) {
        beginInsertRows({}, shown, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < shown) {
        beginRemoveRows({}, rows, shown - 1);
        m_rows = rows;
        endRemoveRows();
    } else {
        m_rows = rows;
    }
}

bool PagedModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_byKey && m_c && m_rows < 0 && m_loaded % kPage == 0 && m_loaded > 0;
}

void PagedModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent)) return;
    Page next = readByKey(m_loaded / kPage);
    const int got = next.size();
    if (got == 0) {
        m_rows = m_loaded;
        return;
    }
    beginInsertRows({}, m_loaded, m_loaded + got - 1);
    m_pages[m_loaded / kPage] = std::move(next);
    m_loaded += got;
    if (got < kPage) m_rows = m_loaded;
    endInsertRows();
}

qint64 PagedModel::keyAt(const Page &pg, int n) const
{
    return pg.rows->text(pg.at(n), pg.rows->FieldCount() - 1).toLongLong();
}

PagedModel::Page PagedModel::readByKey(int p) const
{
    // "After" a row in the list's order is a smaller key when it runs downwards.
    const QString after = m_descending ? QStringLiteral(" < ?)") : QStringLiteral(" > ?)");
    const QString before = m_descending ? QStringLiteral(" > ?)") : QStringLiteral(" < ?)");
    const QString down = m_descending ? QStringLiteral(" desc") : QStringLiteral(" asc");
    const QString up = m_descending ? QStringLiteral(" asc") : QStringLiteral(" desc");
    const QString order = QStringLiteral(" order by ") + m_key;
    auto read = [&](const QString &bound, const QVariantList &keys, bool backwards, int limit) {
        Page pg{std::make_unique<vdb::Query>(m_c), backwards};
        QVariantList v = m_values;
        v << keys << limit;
        pg.rows->OpenSql(m_select + " " + m_tail + bound + order + (backwards ? up : down) + QStringLiteral(" LIMIT ?"),
                         v);
        return pg;
    };
    const QString keyIs = QStringLiteral(" AND (") + m_key;
    if (auto prev = m_pages.find(p - 1); prev != m_pages.end() && prev->second.size() > 0)
        return read(keyIs + after, {keyAt(prev->second, prev->second.size() - 1)}, false, kPage);
    if (auto next = m_pages.find(p + 1); next != m_pages.end() && next->second.size() > 0)
        return read(keyIs + before, {keyAt(next->second, 0)}, true, kPage);
    const int last = m_rows > 0 ? (m_rows - 1) / kPage : -1;
    if (p == last)  // the end of the list, read from its end
        return read({}, {}, true, m_rows - last * kPage);
    // A page far from any read so far: its first key by position, reading
    // the keys alone, then the page from that key on.
    vdb::Query first(m_c);
    first.OpenSql(QStringLiteral("select ") + m_key + " " + m_tail + order + down + QStringLiteral(" LIMIT 1 OFFSET ?"),
                  QVariantList(m_values) << p * kPage);
    if (first.IsEmpty()) return Page{std::make_unique<vdb::Query>(), false};
    return read(keyIs + (m_descending ? QStringLiteral(" <= ?)") : QStringLiteral(" >= ?)")),
                {first.text(0, 0).toLongLong()}, false, kPage);
}

const PagedModel::Page &PagedModel::page(int row) const
{
    const int p = row / kPage;
    auto it = m_pages.find(p);
    if (it == m_pages.end()) {
        if (m_byKey) {
            it = m_pages.emplace(p, readByKey(p)).first;
        } else {
            Page pg{std::make_unique<vdb::Query>(m_c), false};
            pg.rows->OpenSql(m_sql, QVariantList(m_values) << kPage << p * kPage);
            it = m_pages.emplace(p, std::move(pg)).first;
        }
    }
    return it->second;
}

int PagedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows();
}

int PagedModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

int PagedModel::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString PagedModel::text(int row, int column) const
{
    if (!m_c || row < 0 || row >= shownRows() || column < 0 || column >= m_names.size()) return {};
    const Page &pg = page(row);
    const int r = row % kPage;
    // The table may have lost rows since the count: a missing row reads empty.
    if (r >= pg.size()) return {};
    return pg.rows->shownText(pg.at(r), column);
}

QVariant PagedModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const auto k = m_kinds.at(size_t(index.column()));
        const bool numeric =
                k == vdb::Query::Kind::Number || k == vdb::Query::Kind::Money || k == vdb::Query::Kind::Integer;
        return int((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    return {};
}

QVariant PagedModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Vertical) return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (role == Qt::DisplayRole) return m_names.value(section);
    if (section != m_sortColumn || m_sortDirection == 0) return {};
    if (role == Qt::ForegroundRole) return QColor(m_sortDirection == 1 ? Qt::red : Qt::blue);
    if (role == Qt::FontRole) {
        QFont f;
        f.setBold(true);
        return f;
    }
    return {};
}

void PagedModel::setSortMark(int column, int direction)
{
    m_sortColumn = column;
    m_sortDirection = direction;
    emit headerDataChanged(Qt::Horizontal, 0, std::max(0, int(m_names.size()) - 1));
}

// ---- the frame

namespace {

QString g_exportFolder;
std::function<bool(const QString &)> g_exportOpener;

std::map<QString, CardOpener> &cardOpeners()
{
    static std::map<QString, CardOpener> m;
    return m;
}

}  // namespace

void registerCardWindow(const QString &key, CardOpener open)
{
    cardOpeners()[key] = std::move(open);
}

CardOpener withOwnRight(const QString &mnum, CardOpener open)
{
    return [mnum, open = std::move(open)](QWidget *owner, const QString &card) {
        if (holdsRight(mnum)) open(owner, card);
    };
}

CardOpener cardWindow(const QString &key)
{
    auto it = cardOpeners().find(key);
    return it == cardOpeners().end() ? CardOpener() : it->second;
}

QString TListFrame::exportFolder()
{
    if (!g_exportFolder.isEmpty()) return g_exportFolder;
    // A fresh account may have no documents folder yet: it is made, and the
    // home folder serves when it cannot be.
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !docs.isEmpty() && QDir().mkpath(docs) ? docs : QDir::homePath();
}

void TListFrame::setExportFolder(const QString &folder)
{
    g_exportFolder = folder;
}

void TListFrame::setExportOpener(std::function<bool(const QString &)> open)
{
    g_exportOpener = std::move(open);
}

TListFrame::TListFrame(QWidget *parent) : ui::Form(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto *top = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    GroupBox1 = new QGroupBox(QStringLiteral("查询条件"), this);
    // The filters stand in real columns: Tab goes down each column as the
    // user sees it.  The stretch keeps the columns to their own widths.
    auto *filterArea = new QHBoxLayout(GroupBox1);
    m_filterGrid = new QGridLayout;
    m_filterGrid->setHorizontalSpacing(16);
    filterArea->addLayout(m_filterGrid);
    filterArea->addStretch(1);
    head->addWidget(GroupBox1, 1);
    m_head = head;
    auto *buttons = new QVBoxLayout;
    BitBtn1 = new QPushButton(QStringLiteral("查询"), this);
    BitBtn3 = new QPushButton(QStringLiteral("Excel"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    BitBtn3->setEnabled(false);
    for (QPushButton *b : {BitBtn1, BitBtn3, BitBtn2}) buttons->addWidget(b);
    buttons->addStretch();
    head->addLayout(buttons);
    top->addLayout(head);
    Lab_where = new QLabel(this);
    Lab_where->setVisible(false);
    DBGrid1 = new QTableView(this);
    DBGrid1->setModel(&Rows);
    ui::readOnlyGrid(DBGrid1);
    DBGrid1->setToolTip(QStringLiteral("亲，鼠标右键 有惊喜哟！"));
    top->addWidget(DBGrid1, 3);
    m_below = new QVBoxLayout;
    top->addLayout(m_below, 2);
    m_totals = new QHBoxLayout;
    CountLabel = new QLabel(this);
    m_totals->addWidget(CountLabel);
    top->addLayout(m_totals);
    PopupMenu1 = new QMenu(this);

    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ui::on(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    ui::on(BitBtn2, &QPushButton::clicked, this, [this] { close(); });
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int c) { ui::guarded([&] { TitleClick(c); }); });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { ui::guarded([&] { emit currentRowChanged(); }); });
    connect(DBGrid1, &QWidget::customContextMenuRequested, PopupMenu1,
            [this](const QPoint &p) { ui::popupOnRow(DBGrid1, PopupMenu1, p); });
}

TListFrame::~TListFrame()
{
    // The rows and the windows' own queries go before the grid does: no row
    // change may reach a handler from here on.
    blockSignals(true);
    DBGrid1->setModel(nullptr);
}

void TListFrame::setSpec(ListSpec spec)
{
    m_spec = std::move(spec);
    BitBtn1->setText(m_spec.queryCaption);
    for (const auto &l : m_spec.totalLabels) {
        auto *label = new QLabel(l.first, this);
        TotalLabels.push_back(label);
        m_totals->addWidget(label);
    }
    m_totals->addStretch();
    CountLabel->setText(m_spec.countLabel);
    DBGrid1->horizontalHeader()->setSectionsClickable(m_spec.titleSort);
}

QHBoxLayout *TListFrame::filterCell(int row, bool filter)
{
    int column = 0;
    const FilterCell *last = nullptr;
    for (const FilterCell &c : m_cells)
        if (c.row == row && c.column >= column) {
            column = c.column + 1;
            last = &c;
        }
    if (!filter && last && !last->filter) return last->layout;
    auto *cell = new QHBoxLayout;
    // Other widgets standing in a row (a row of boxes, a progress bar) take
    // the rest of it and set no column's width.
    if (filter)
        m_filterGrid->addLayout(cell, row, column);
    else
        m_filterGrid->addLayout(cell, row, column, 1, -1);
    m_cells.push_back({row, column, cell, filter});
    return cell;
}

QHBoxLayout *TListFrame::filterRow(int row)
{
    return filterCell(row, false);
}

void TListFrame::placeFilter(int row, std::initializer_list<QWidget *> widgets)
{
    QHBoxLayout *cell = filterCell(row, true);
    for (QWidget *w : widgets) {
        // The caption keeps its width; the values take what the column gives.
        if (qobject_cast<QCheckBox *>(w) || qobject_cast<QLabel *>(w))
            w->setSizePolicy(QSizePolicy::Fixed, w->sizePolicy().verticalPolicy());
        cell->addWidget(w);
    }
}

void TListFrame::settleFilterCells()
{
    for (const FilterCell &c : m_cells) {
        if (c.filter) continue;
        bool grows = false;
        for (int i = 0; i < c.layout->count(); ++i)
            if (const QWidget *w = c.layout->itemAt(i)->widget())
                grows = grows || (w->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag);
        // Boxes and buttons stay together at the left of their row.
        if (!grows) c.layout->setAlignment(Qt::AlignLeft);
    }
}

QLineEdit *TListFrame::textFilter(int row, QCheckBox **box, const QString &caption, const QString &column)
{
    return editFilter(row, box, caption, [column](ListWhere &w, const QString &text) { w.like(column, text); });
}

QLineEdit *TListFrame::editFilter(int row, QCheckBox **box, const QString &caption,
                                  std::function<void(ListWhere &, const QString &)> clause)
{
    *box = new QCheckBox(caption, GroupBox1);
    auto *edit = new QLineEdit(GroupBox1);
    placeFilter(row, {*box, edit});
    addFilter(*box, {edit}, [edit, clause = std::move(clause)](ListWhere &w) { clause(w, edit->text()); });
    return edit;
}

void TListFrame::dateFilter(int row, QCheckBox **box, const QString &caption, QDateEdit **from, QDateEdit **to,
                            const QString &column)
{
    *box = new QCheckBox(caption, GroupBox1);
    const QDate today = QDate::currentDate();
    *from = new ui::DatePicker(today.addMonths(-1), GroupBox1);
    *to = new ui::DatePicker(today, GroupBox1);
    placeFilter(row, {*box, *from, new QLabel(QStringLiteral("至："), GroupBox1), *to});
    QDateEdit *a = *from, *b = *to;
    addFilter(*box, {a, b}, [a, b, column](ListWhere &w) { w.between(column, a->date(), b->date()); });
}

void TListFrame::choiceFilter(int row, QCheckBox **box, const QString &caption, QComboBox *choice,
                              const QString &column)
{
    *box = new QCheckBox(caption, GroupBox1);
    choice->setParent(GroupBox1);
    placeFilter(row, {*box, choice});
    addFilter(*box, {choice}, [choice, column](ListWhere &w) {
        auto *lookup = qobject_cast<ui::LookupComboBox *>(choice);
        w.equals(column, lookup ? lookup->Text() : choice->currentText());
    });
}

void TListFrame::addFilter(QCheckBox *box, std::initializer_list<QWidget *> values,
                           std::function<void(ListWhere &)> clause)
{
    auto tick = [box] { box->setChecked(true); };
    for (QWidget *v : values) {
        if (auto *e = qobject_cast<QLineEdit *>(v))
            connect(e, &QLineEdit::textEdited, box, tick);
        else if (auto *d = qobject_cast<QDateEdit *>(v)) {
            connect(d, &QDateEdit::dateChanged, box, tick);
            // Taking the day already shown is a choice too.
            if (auto *p = qobject_cast<ui::DatePicker *>(d)) connect(p, &ui::DatePicker::dateTaken, box, tick);
        }
        else if (auto *l = qobject_cast<ui::LookupComboBox *>(v)) {
            connect(l, &ui::LookupComboBox::Click, box, tick);
            connect(l, qOverload<int>(&QComboBox::activated), box, tick);
        } else if (auto *c = qobject_cast<QComboBox *>(v)) {
            connect(c, qOverload<int>(&QComboBox::activated), box, tick);
            // A value typed into the box counts as one chosen from its list.
            if (c->lineEdit()) connect(c->lineEdit(), &QLineEdit::textEdited, box, tick);
        }
    }
    m_filters.push_back({box, std::move(clause)});
}

void TListFrame::addQueryBox(QCheckBox *box, std::function<void(ListWhere &)> clause)
{
    m_filters.push_back({box, std::move(clause)});
    ui::on(box, &QCheckBox::clicked, this, [this] { BitBtn1Click(); });
}

void TListFrame::BitBtn1Click()
{
    if (!filtersValid()) return;
    ListWhere w;
    baseCondition(w);
    for (const Filter &f : m_filters)
        if (f.box->isChecked()) f.clause(w);
    m_where = w;
    Lab_where->setText(m_where.text());
    Ref();
    if (!m_queried) {
        m_queried = true;
        DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
        BitBtn3->setEnabled(true);
    }
}

QString TListFrame::listSql() const
{
    QString order = m_spec.order;
    if (!m_sortText.isEmpty()) {
        const bool desc = m_sortText.endsWith(QStringLiteral(" DESC"));
        const QString name = m_sortText.left(m_sortText.lastIndexOf(u' '));
        order = QStringLiteral("order by \"") + name + QStringLiteral("\" COLLATE ZHNUM ") +
                (desc ? QStringLiteral("DESC") : QStringLiteral("ASC"));
        if (!m_spec.tieBreak.isEmpty()) order += QStringLiteral(", ") + m_spec.tieBreak;
    }
    return m_spec.select + " " + m_spec.from + " " + m_spec.where + m_where.sql() + " " + m_spec.group + " " + order;
}

bool TListFrame::pagedByKey() const
{
    return !m_spec.key.isEmpty() && m_spec.group.isEmpty() && m_sortText.isEmpty();
}

void TListFrame::Ref()
{
    vdb::Connection *c = frmDM->ADOConnection1();
    registerListCollation(*c);
    const QString tail = m_spec.from + " " + m_spec.where + m_where.sql();
    const int keep = currentRow();
    // The count rides along with the totals: one pass over the rows.
    QString counting;
    if (!m_spec.group.isEmpty()) {
        counting = QStringLiteral("select count(*) from (select 1 ") + tail + " " + m_spec.group + ")";
    } else if (m_spec.totals.isEmpty()) {
        counting = QStringLiteral("select count(*) ") + tail;
    } else {
        const QString sums =
                m_spec.totals.mid(m_spec.totals.indexOf(QStringLiteral("select "), 0, Qt::CaseInsensitive) + 7);
        counting = QStringLiteral("select count(*), ") + sums + " " + tail;
    }
    if (m_counter) m_counter->cancel();
    ADOQuery2.setConnection(c);
    if (pagedByKey()) {
        // The first screen first; a long list is counted afterwards.
        Rows.openByKey(c, m_spec.select, tail, m_spec.key, m_spec.keyDescending, m_where.values());
        if (Rows.rowsKnown())
            ADOQuery2.OpenSql(counting, m_where.values());
        else {
            ADOQuery2.Close();
            countInBackground(counting);
        }
    } else {
        ADOQuery2.OpenSql(counting, m_where.values());
        Rows.open(c, listSql(), int(ADOQuery2.FieldByIndex(0).AsInteger()), m_where.values());
    }
    applyWidths();
    showTotals();
    if (Rows.rowCount() > 0) selectRow(std::clamp(keep, 0, Rows.rowCount() - 1));
    // Until the count arrives a row beyond the first page waits for it.
    m_keptRow = keep;
    afterRef();
}

void TListFrame::showTotals()
{
    const bool counted = ADOQuery2.Active() && !ADOQuery2.IsEmpty();
    CountLabel->setText(m_spec.countLabel + (counted ? QString::number(Rows.rowCount()) : QString()));
    for (size_t i = 0; i < m_spec.totalLabels.size(); ++i)
        TotalLabels[i]->setText(m_spec.totalLabels[i].first + total(m_spec.totalLabels[i].second));
}

void TListFrame::countInBackground(const QString &sql)
{
    vdb::Connection *c = frmDM->ADOConnection1();
    // A reader of its own on the same file, opened once for the window.
    if (!m_counter || m_counterPath != c->path()) {
        m_counter.reset();
        m_counter = std::make_unique<vdb::BackgroundQuery>(c->path(), databaseKey());
        m_counterPath = c->path();
    }
    const QVariantList values = m_where.values();
    m_counter->run(sql, values, this, [this, sql, values](vdb::Query &result, const QString &error) {
        ui::guarded([&] {
            vdb::Connection *own = frmDM->ADOConnection1();
            if (error.isEmpty()) {
                ADOQuery2 = std::move(result);
                ADOQuery2.setConnection(own);
            } else {  // no second reader here: count on the window's own connection
                ADOQuery2.setConnection(own);
                ADOQuery2.OpenSql(sql, values);
            }
            const int shown = currentRow();
            Rows.setRowCount(int(ADOQuery2.FieldByIndex(0).AsInteger()));
            showTotals();
            // Back on the row kept by the refresh, unless the user moved.
            const int firstPage = std::min(m_keptRow, PagedModel::kPage - 1);
            if (Rows.rowCount() > 0 && (shown < 0 || (m_keptRow > shown && shown == firstPage)))
                selectRow(std::clamp(m_keptRow, 0, Rows.rowCount() - 1));
        });
    });
}

bool TListFrame::totalsPending() const
{
    return m_counter && m_counter->pending();
}

void TListFrame::waitForTotals()
{
    while (totalsPending()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

QString TListFrame::total(const QString &field) const
{
    if (!ADOQuery2.Active() || ADOQuery2.IsEmpty() || ADOQuery2.FieldIndex(field) < 0) return {};
    return ADOQuery2.shownText(0, ADOQuery2.FieldIndex(field));
}

void TListFrame::applyWidths()
{
    const QStringList names = Rows.fieldNames();
    for (int i = 0; i < names.size(); ++i) {
        DBGrid1->setColumnHidden(i, m_spec.hidden.contains(names.at(i), Qt::CaseInsensitive));
        auto it = m_spec.widths.find(names.at(i));
        if (it != m_spec.widths.end()) DBGrid1->setColumnWidth(i, it->second);
    }
}

void TListFrame::TitleClick(int column)
{
    if (!m_spec.titleSort || !Rows.isOpen() || column < 0 || column >= Rows.columnCount()) return;
    const QString name = Rows.fieldNames().at(column);
    const bool wasAsc = m_sortText == name + QStringLiteral(" ASC");
    m_sortText = name + (wasAsc ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    Ref();
    Rows.setSortMark(column, wasAsc ? 2 : 1);
}

int TListFrame::currentRow() const
{
    const QModelIndex i = DBGrid1->currentIndex();
    return i.isValid() && i.row() < Rows.rowCount() ? i.row() : -1;
}

void TListFrame::selectRow(int row)
{
    if (row < 0 || row >= Rows.rowCount()) return;
    int col = 0;
    while (col < Rows.columnCount() - 1 && DBGrid1->isColumnHidden(col)) ++col;
    DBGrid1->setCurrentIndex(Rows.index(row, col));
    DBGrid1->selectRow(row);
}

QString TListFrame::field(const QString &name) const
{
    const int row = currentRow();
    const int col = Rows.fieldIndex(name);
    if (row < 0 || col < 0) return {};
    return Rows.text(row, col);
}

void TListFrame::addFilterGroup(QGroupBox *group)
{
    m_head->insertWidget(m_head->indexOf(GroupBox1) + 1, group);
}

QSplitter *TListFrame::splitBelowGrid(QWidget *below)
{
    auto *top = static_cast<QVBoxLayout *>(layout());
    const int at = top->indexOf(DBGrid1);
    top->removeWidget(DBGrid1);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(DBGrid1);
    splitter->addWidget(below);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    top->insertWidget(at, splitter, 5);
    return splitter;
}

QString TListFrame::BitBtn3Click()
{
    const excel::ExportLayout *layout = exportLayout(m_spec.exportWindow);
    if (!layout) return {};
    waitForTotals();  // the totals row
    // The rows in the order shown, read in one pass (pages deep down the
    // list would each skip all the rows before them).
    vdb::Query all(frmDM->ADOConnection1());
    all.OpenSql(listSql(), m_where.values());
    // The layout's columns after 序号, found among the list's titles.
    std::vector<int> cols;
    for (int k = 1; k < layout->columnCount(); ++k) cols.push_back(all.FieldIndex(layout->columns.at(k).title));
    int row = 0;
    const excel::ExportRowSource source = [&](QStringList &values) {
        if (row >= all.RecordCount()) return false;
        values.clear();
        for (int c : cols) values << (c < 0 ? QString() : all.shownText(row, c));
        ++row;
        return true;
    };
    QHash<int, QString> totals;
    for (const excel::ExportTotal &t : layout->totals) totals.insert(t.column, total(t.field));
    const QString path = excel::exportFilePath(exportFolder(), layout->title, QDateTime::currentDateTime());
    const excel::ExportResult r = excel::writeExport(path, *layout, myDeptName, source, totals);
    if (!r.written) {
        ui::show({r.message, ui::appTitle(), ui::Icon::Warning, ui::Buttons::Ok, r.detail}, this);
        return {};
    }
    const bool opened = g_exportOpener ? g_exportOpener(r.path) : excel::openWithDefaultApplication(r.path);
    if (!opened)
        ui::information(QStringLiteral("Excel 文件已保存：") + QDir::toNativeSeparators(r.path) +
                                QStringLiteral("\n但本机没有能打开 .xlsx 文件的程序，请另行打开该文件。"),
                        QString(), this);
    return r.path;
}

bool TListFrame::event(QEvent *e)
{
    // The windows add their filters after the frame made its buttons and
    // grid, so the first field in tab order is the grid: a list opens in its
    // first filter instead, unless the window put the focus in a field.
    // Before the base places the focus on showing.
    if (e->type() == QEvent::Show && !m_focusChosen) {
        m_focusChosen = true;
        settleFilterCells();
        const QWidget *kept = focusWidget();
        if (!kept || !isEntryField(kept)) {
            for (QWidget *w = GroupBox1->nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
                if (GroupBox1->isAncestorOf(w) && w->isVisibleTo(this) && isEntryField(w)) {
                    setInitialFocus(w);
                    break;
                }
        }
    }
    return ui::Form::event(e);
}

void TListFrame::showEvent(QShowEvent *e)
{
    ui::Form::showEvent(e);
    // A list fills the main window's client area.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && !sub->isMaximized()) sub->showMaximized();
}

void TListFrame::closeEvent(QCloseEvent *e)
{
    if (m_counter) m_counter->cancel();
    Rows.clear();
    ui::Form::closeEvent(e);
}

}  // namespace velmora
