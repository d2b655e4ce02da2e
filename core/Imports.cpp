#include "core/Imports.h"

#include "core/IMCode.h"
#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/excel/excelreader.h"
#include "platform/ui/application.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QDate>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

using vdb::sqlText;

namespace {

const QString kHintStart = QStringLiteral("打开的EXCEL文件的底部一定是Sheet1，表格头部顺序为");

// The numbers of a date written "yyyy-m-d" (or "m-d"), "/" and "." also
// taken as separators, a time after the date ignored.  Empty unless every
// part is one to four digits.
QList<int> dateNumbers(const QString &text, QList<int> *lengths)
{
    QList<int> numbers;
    int value = 0, digits = 0;
    for (QChar c : text) {
        if (c == u' ' || c == u'T') break;
        if (c >= u'0' && c <= u'9') {
            if (++digits > 4) return {};
            value = value * 10 + (c.unicode() - u'0');
        } else if ((c == u'-' || c == u'/' || c == u'.') && digits > 0) {
            numbers << value;
            *lengths << digits;
            value = digits = 0;
        } else {
            return {};
        }
    }
    if (digits == 0) return {};
    numbers << value;
    *lengths << digits;
    return numbers;
}

// Year, month and day: a four-digit year, month and day of one or two digits.
bool splitDate(const QString &text, int *y, int *m, int *d)
{
    QList<int> len;
    const QList<int> v = dateNumbers(text, &len);
    if (v.size() != 3 || len[0] != 4 || len[1] > 2 || len[2] > 2) return false;
    *y = v[0];
    *m = v[1];
    *d = v[2];
    return true;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

vdb::Query &openSql(vdb::Query &q, const QString &sql)
{
    q.setConnection(frmDM->ADOConnection1());
    q.OpenSql(sql);
    return q;
}

void execute(const QString &sql)
{
    vdb::Query q(frmDM->ADOConnection1());
    q.ExecSql(sql);
}

}  // namespace

// ---------------------------------------------------------------- the reading window

TfrmReading::TfrmReading(const QString &fileName, QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(QStringLiteral("读取EXCEL文件"));
    setEscapeCloses(true);  // Esc cancels the reading, as "取消" does
    setWindowModality(Qt::WindowModal);
    Label1 = new QLabel(QStringLiteral("正在读取“%1”……").arg(fileName), this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    BitBtn1 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn1->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(Label1);
    lay->addWidget(ProgressBar1);
    lay->addLayout(buttons);
    resize(360, 110);
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

std::function<void(TfrmReading *)> &TfrmReading::onShown()
{
    static std::function<void(TfrmReading *)> hook;
    return hook;
}

void TfrmReading::BitBtn1Click()
{
    m_cancelled = true;
    BitBtn1->setEnabled(false);
    Label1->setText(QStringLiteral("正在取消……"));
}

excel::ReadResult TfrmReading::run(const Reader &read)
{
    excel::ReadResult result;
    QEventLoop loop;
    // The worker only touches the two atomics; the bar is updated here.
    QThread *worker = QThread::create([&] {
        try {
            result = read([this](int percent) {
                m_percent = percent;
                return !m_cancelled;
            });
        } catch (const std::bad_alloc &) {
            result.problem = excel::ReadProblem::TooLarge;
        }
    });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [this] { ProgressBar1->setValue(m_percent); });
    tick.start(50);
    show();
    if (onShown()) onShown()(this);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    tick.stop();
    ProgressBar1->setValue(100);
    hide();
    if (m_cancelled && result.ok()) result.problem = excel::ReadProblem::Cancelled;
    return result;
}

// ---------------------------------------------------------------- the shared window

TfrmImport::WorkbookReader &TfrmImport::workbookReader()
{
    static WorkbookReader reader = [](const QString &path, const excel::ReadProgress &progress) {
        return excel::readWorkbook(path, progress);
    };
    return reader;
}

TfrmImport::FileChooser &TfrmImport::fileChooser()
{
    static FileChooser chooser = [](QWidget *parent, const QString &caption, const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
    return chooser;
}

TfrmImport::TfrmImport(const Layout &layout, QWidget *parent) : ui::Form(parent), m_layout(layout)
{
    setWindowTitle(layout.caption);
    resize(760, 520);

    GroupBox1 = new QGroupBox(QStringLiteral("打开EXCEL文件"), this);
    Label1 = new QLabel(layout.hint, GroupBox1);
    Label1->setWordWrap(true);
    BitBtn1 = new QPushButton(QStringLiteral("打开"), GroupBox1);
    auto *openRow = new QHBoxLayout(GroupBox1);
    openRow->addWidget(Label1, 1);
    openRow->addWidget(BitBtn1);

    GroupBox2 = new QGroupBox(QStringLiteral("EXCEL数据"), this);
    DBGrid1 = new QTableView(GroupBox2);
    DBGrid1->setModel(&ExcelData);
    ui::readOnlyGrid(DBGrid1, 20);
    auto *gridBox = new QVBoxLayout(GroupBox2);
    gridBox->addWidget(DBGrid1);

    BitBtn2 = new QPushButton(QStringLiteral("导入"), this);
    BitBtn2->setEnabled(false);
    BitBtn3 = new QPushButton(QStringLiteral("退出"), this);
    auto *buttons = new QHBoxLayout;
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->addStretch(1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);

    auto *lay = new QVBoxLayout(this);
    lay->addWidget(GroupBox1);
    lay->addWidget(GroupBox2, 1);
    lay->addLayout(buttons);

    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ui::on(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    ui::on(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
}

void TfrmImport::addPanel(QWidget *panel)
{
    auto *lay = static_cast<QVBoxLayout *>(layout());
    lay->insertWidget(lay->count() - 1, panel);
}

void TfrmImport::BitBtn1Click()
{
    const QString path = fileChooser()(this, QStringLiteral("打开"), QString::fromUtf8(excel::kWorkbookFilter));
    if (!path.isEmpty()) myOpen(path);
}

bool TfrmImport::myOpen(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    TfrmReading reading(fileName, this);
    const WorkbookReader read = workbookReader();
    excel::ReadResult r = reading.run([&](const excel::ReadProgress &progress) { return read(path, progress); });
    if (r.problem == excel::ReadProblem::Cancelled) return false;
    if (!r.ok()) {
        if (r.message.isEmpty()) r.message = excel::readProblemMessage(r.problem, fileName);
        setSheet(excel::Sheet());
        ui::showMessage(r.message, this);
        return false;
    }
    setSheet(r.sheet);
    return true;
}

void TfrmImport::setSheet(const excel::Sheet &sheet)
{
    ExcelData.setSheet(sheet);
    for (int c = 0; c < m_layout.widths.size() && c < sheet.columnCount(); ++c)
        DBGrid1->setColumnWidth(c, m_layout.widths[c]);
    GroupBox2->setTitle(QStringLiteral("EXCEL数据  共有 ") + QString::number(sheet.rowCount()) + " 条数据");
    BitBtn2->setEnabled(sheet.rowCount() > 0);
}

void TfrmImport::BitBtn2Click()
{
    const QStringList missing = sheet().missingHeaders(m_layout.headers);
    if (!missing.isEmpty()) {
        ui::showMessage(QStringLiteral("EXCEL表格缺少以下列：") + missing.join(QStringLiteral("、")) +
                                QStringLiteral("\n请按提示修改表格头部后重新打开，没有导入任何数据。"),
                        this);
        return;
    }
    if (!myCheck()) return;

    const QString done = QStringLiteral("成功导入 ") + m_layout.what + " 数据 %1 条！";
    int count = 0;
    QString stopped;
    m_drawn.clear();
    m_skipped.clear();
    try {
        vdb::Transaction tx(*frmDM->ADOConnection1());
        for (int row = 0; row < sheet().rowCount(); ++row) {
            RowResult r;
            try {
                r = importRow(row);
            } catch (const RowStop &s) {
                stopped = s.message + QStringLiteral("\n导入在此行停止，此行及以后的数据没有导入。");
                break;
            }
            if (r == RowResult::End) {
                stopped = endedAt(row);
                break;
            }
            if (r == RowResult::Imported) {
                ++count;
                ++m_importedSince;
            }
        }
        tx.commit();
    } catch (const vdb::DbError &e) {
        ui::showMessage(QStringLiteral("导入失败，本次导入已全部撤销，没有导入任何数据。\n") + e.message(), this);
        return;
    }
    QString summary = done.arg(count);
    ui::Message m(stopped.isEmpty() ? summary : stopped + "\n" + summary, ui::appTitle());
    if (!m_skipped.isEmpty()) {
        // A long list would not fit the box: the first rows, and all of
        // them behind "详细信息".
        constexpr int kListed = 20;
        m.text += QStringLiteral("\n跳过 %1 条数据：\n").arg(m_skipped.size()) +
                  QStringList(m_skipped.mid(0, kListed)).join(u'\n');
        if (m_skipped.size() > kListed) {
            m.text += QStringLiteral("\n……其余 %1 条见“详细信息”。").arg(m_skipped.size() - kListed);
            m.details = m_skipped.join(u'\n');
        }
    }
    ui::show(m, this);
    accept();
}

TfrmImport::RowResult TfrmImport::skip(int row, const QString &header, const QString &why)
{
    m_skipped << cellAt(row, header) + why;
    return RowResult::Skipped;
}

TfrmImport::RowResult TfrmImport::emptyName(int row, const QString &header)
{
    if (sheet().isRowEmpty(row)) return RowResult::Skipped;
    return skip(row, header, QStringLiteral("为空，此行没有导入。"));
}

QString TfrmImport::nextNumber(const std::function<QString()> &draw, const QString &table, int prefixLength)
{
    if (m_drawn.isEmpty()) {
        m_drawn = draw();
        m_importedSince = 0;
    }
    const int width = int(m_drawn.size()) - prefixLength;
    const QString counted = m_drawn.left(prefixLength) +
                            QStringLiteral("%1").arg(m_drawn.mid(prefixLength).toLongLong() + m_importedSince, width,
                                                     10, QLatin1Char('0'));
    // A row with its own card or code may hold the number the count gives.
    return velmora::freeNumber(*frmDM->ADOConnection1(), table, counted, prefixLength);
}

QString TfrmImport::text(int row, const QString &header) const
{
    excel::Unread why;
    if (sheet().isUnread(row, sheet().column(header), &why))
        stop(row, header,
             why == excel::Unread::NoResult
                     ? QStringLiteral("是没有保存计算结果的公式，读不出它的值。"
                                      "请在 EXCEL 里打开此文件，重新计算并保存后再导入。")
                     : QStringLiteral("是错误值（如 #DIV/0!、#N/A），读不出它的值。请改正此单元格后再导入。"));
    return sheet().value(row, header).trimmed();
}

QString TfrmImport::cellAt(int row, const QString &header) const
{
    return QStringLiteral("第 %1 行“%2”列（%3）")
            .arg(sheet().rowNumber(row))
            .arg(header, sheet().cellName(row, sheet().column(header)));
}

void TfrmImport::stop(int row, const QString &header, const QString &why) const
{
    throw RowStop{cellAt(row, header) + why};
}

QString TfrmImport::endedAt(int row) const
{
    int following = 0;
    for (int r = row + 1; r < sheet().rowCount(); ++r)
        if (!sheet().isRowEmpty(r)) ++following;
    const QString at = cellAt(row, m_layout.endsAt) + QStringLiteral("为空，导入在此行停止");
    return following == 0 ? at + QStringLiteral("。")
                          : at + QStringLiteral("，其后的 %1 行数据没有导入。").arg(following);
}

QString TfrmImport::code(int row, const QString &header) const
{
    static const QRegularExpression exponent(QStringLiteral("^[-+]?(\\d+\\.?\\d*|\\.\\d+)[eE][-+]?\\d+$"));
    const QString t = text(row, header);
    if (exponent.match(t).hasMatch())
        stop(row, header,
             QStringLiteral("的内容“") + t +
                     QStringLiteral("”是按数字保存的长号码，EXCEL 只保留前 15 位数字，原来的号码已经无法读出。"
                                    "请把此列设置为文本格式，重新录入号码后再导入。"));
    return t;
}

QString TfrmImport::number(int row, const QString &header, Sign sign) const
{
    const QString t = text(row, header);
    if (t.isEmpty()) return QStringLiteral("0");
    if (!vdb::isSqlNumber(t)) stop(row, header, QStringLiteral("的内容“") + t + QStringLiteral("”不是有效的数字。"));
    // The entry windows take no minus for these: prices, costs, stock and
    // balances start at 0.
    if (sign == Sign::NotNegative && t.startsWith(u'-') && t.toDouble() != 0)
        stop(row, header, QStringLiteral("的内容“") + t + QStringLiteral("”是负数，不能为负数。"));
    return t;
}

QString TfrmImport::solarDate(int row, const QString &header) const
{
    const QString t = text(row, header);
    if (t.isEmpty()) return t;
    int y, m, d;
    const QDate date = splitDate(t, &y, &m, &d) ? QDate(y, m, d) : QDate();
    if (!date.isValid())
        stop(row, header, QStringLiteral("的内容“") + t + QStringLiteral("”不是有效的日期（应为 年-月-日）。"));
    return date.toString(velmora::kDateFormat);
}

QString TfrmImport::lunarDate(int row, const QString &header, const QString &solar) const
{
    const QString t = text(row, header);
    if (t.isEmpty()) return t;
    // Every lunar month may have a 30th, the second too, so the solar
    // calendar cannot judge it.  Staff often know only the month and day:
    // the year is then the solar birthday's, or 1900 (the system's "none").
    QList<int> len;
    QList<int> v = dateNumbers(t, &len);
    if (v.size() == 2 && len[0] <= 2 && len[1] <= 2) {
        v.prepend(solar.isEmpty() ? 1900 : solar.left(4).toInt());
        len.prepend(4);
    }
    if (v.size() != 3 || len[0] != 4 || len[1] > 2 || len[2] > 2 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 30)
        stop(row, header,
             QStringLiteral("的内容“") + t +
                     QStringLiteral("”不是有效的农历日期（应为 年-月-日 或 月-日，月 1-12，日 1-30）。"));
    return QString::number(v[0]) + '-' + twoDigits(v[1]) + '-' + twoDigits(v[2]);
}

// ---------------------------------------------------------------- members

TfrmIn_M::TfrmIn_M(QWidget *parent)
    : TfrmImport(
              {QStringLiteral("会员导入"),
               QStringLiteral("会员"),
               kHintStart + QStringLiteral("卡号、姓名、性别、公历生日、农历生日、联系方式、联系地址、积分、账户余额"),
               {QStringLiteral("会员卡号"), QStringLiteral("会员姓名"), QStringLiteral("性别"),
                QStringLiteral("公历生日"), QStringLiteral("农历生日"), QStringLiteral("联系方式"),
                QStringLiteral("联系地址"), QStringLiteral("积分"), QStringLiteral("账户余额")},
               {80, 100, 40, 80, 80, 120, 160, 60, 60},
               QStringLiteral("会员姓名")},
              parent)
{
    GroupBox3 = new QGroupBox(QStringLiteral("会员类型"), this);
    DBLookupComboBox1 = new ui::LookupComboBox(GroupBox3);
    auto *row = new QHBoxLayout(GroupBox3);
    row->addWidget(new QLabel(QStringLiteral("会员分类："), GroupBox3));
    row->addWidget(DBLookupComboBox1);
    row->addSpacing(20);
    auto *notes = new QVBoxLayout;
    notes->addWidget(new QLabel(QStringLiteral("注：导入的会员的初始密码为 270946"), GroupBox3));
    notes->addWidget(new QLabel(QStringLiteral("会员查询 里，查询后 右键 密码管理 可以修改密码"), GroupBox3));
    row->addLayout(notes, 1);
    addPanel(GroupBox3);
    frmDM->DBComMType(DBLookupComboBox1);
}

bool TfrmIn_M::myCheck()
{
    const QString type = DBLookupComboBox1->Text();
    if (type.isEmpty()) {
        ui::showMessage(QStringLiteral("请选择 会员分类！"), this);
        DBLookupComboBox1->setFocus();
        return false;
    }
    m_zk = frmDM->myRetMType(type, QStringLiteral("theZK"));
    m_jfbl = frmDM->myRetMType(type, QStringLiteral("theJF"));
    return true;
}

TfrmImport::RowResult TfrmIn_M::importRow(int row)
{
    const QString name = text(row, QStringLiteral("会员姓名"));
    if (name.isEmpty()) return RowResult::End;
    QString card = code(row, QStringLiteral("会员卡号"));
    if (card.size() > velmora::kCardLength)
        stop(row, QStringLiteral("会员卡号"),
             QStringLiteral("的内容“%1”有 %2 个字符，卡号最长 %3 个字符，收银和会员窗口无法录入此卡号。"
                            "请改用不超过 %3 个字符的卡号后再导入。")
                     .arg(card)
                     .arg(card.size())
                     .arg(velmora::kCardLength));
    const QString sex = text(row, QStringLiteral("性别"));
    const QString bir = solarDate(row, QStringLiteral("公历生日"));
    const QString nlBir = lunarDate(row, QStringLiteral("农历生日"), bir);
    const QString pho = code(row, QStringLiteral("联系方式"));
    const QString add = text(row, QStringLiteral("联系地址"));
    // Points may stand below 0 (manual points take them away); a balance not.
    const QString jf = number(row, QStringLiteral("积分"), Sign::Any);
    const QString cz = number(row, QStringLiteral("账户余额"));
    if (card.isEmpty()) card = nextNumber([] { return frmDM->NewMNum(); }, QStringLiteral("Member"), 2);
    const QString py = MakePYCode(name, PYMarkUnknown, 255);

    vdb::Query q;
    mySql = QStringLiteral("select ID from Member Where theNum='") + sqlText(card) + "' and theDel='否'";
    if (!openSql(q, mySql).IsEmpty())
        return skip(row, QStringLiteral("会员卡号"),
                    QStringLiteral("的卡号“") + card + QStringLiteral("”已有会员使用，此行没有导入。"));

    // The balance is the member's stored value; visits start from none.
    velmora::NewMember m;
    m.num = card;
    m.name = name;
    m.sex = sex;
    m.type = DBLookupComboBox1->Text();
    m.pinyin = py;
    m.bir = bir;
    m.nlBir = nlBir;
    m.pho = pho;
    m.add = add;
    m.zk = m_zk;
    m.jfbl = m_jfbl;
    m.cz = cz;
    m.jf = jf;
    velmora::insertMember(*frmDM->ADOConnection1(), m);
    return RowResult::Imported;
}

// ---------------------------------------------------------------- goods

TfrmIn_S::TfrmIn_S(QWidget *parent)
    : TfrmImport({QStringLiteral("商品导入"),
                  QStringLiteral("商品"),
                  kHintStart + QStringLiteral("商品分类、商品编码、商品名称、单位、单价、成本、库存数量、备注"),
                  {QStringLiteral("商品分类"), QStringLiteral("商品编码"), QStringLiteral("商品名称"),
                   QStringLiteral("单位"), QStringLiteral("单价"), QStringLiteral("成本"), QStringLiteral("库存数量"),
                   QStringLiteral("备注")},
                  {100, 100, 160, 60, 80, 80, 60, 100},
                  QString()},
                 parent)
{}

TfrmImport::RowResult TfrmIn_S::importRow(int row)
{
    const QString name = text(row, QStringLiteral("商品名称"));
    if (name.isEmpty()) return emptyName(row, QStringLiteral("商品名称"));
    const QString category = text(row, QStringLiteral("商品分类"));
    // A nameless category would be created and offered in every list.
    if (category.isEmpty()) stop(row, QStringLiteral("商品分类"), QStringLiteral("不能为空。"));
    const QString unit = text(row, QStringLiteral("单位"));
    const QString remark = text(row, QStringLiteral("备注"));
    const QString price = number(row, QStringLiteral("单价"));
    const QString cost = number(row, QStringLiteral("成本"));
    const QString stock = number(row, QStringLiteral("库存数量"));
    QString num = code(row, QStringLiteral("商品编码"));
    const QString py = MakePYCode(name, PYMarkUnknown, 255);
    const QString kc = frmDM->myRetKC(category);
    if (num.isEmpty()) num = nextNumber([] { return frmDM->NewSPNum(); }, QStringLiteral("SShop"), 6);

    vdb::Query q;
    mySql = QStringLiteral("select ID from SShop Where theNum='") + sqlText(num) + "' and theDel='否'";
    if (!openSql(q, mySql).IsEmpty())
        return skip(row, QStringLiteral("商品编码"),
                    QStringLiteral("的编码“") + num + QStringLiteral("”已有商品使用，此行没有导入。"));

    mySql = QStringLiteral("Select ID from SType Where theName='") + sqlText(category) + "'";
    // A new category starts with each member type's own discount and ratio.
    if (openSql(q, mySql).IsEmpty())
        velmora::insertCategory(*frmDM->ADOConnection1(), category, QString(), QStringLiteral("是"));
    velmora::insertGoods(*frmDM->ADOConnection1(), {category, num, name, unit, remark, py, price, cost, stock, kc});
    return RowResult::Imported;
}

// ---------------------------------------------------------------- suppliers

TfrmIn_G::TfrmIn_G(QWidget *parent)
    : TfrmImport({QStringLiteral("供应商导入"),
                  QStringLiteral("供应商"),
                  kHintStart + QStringLiteral("供应商、联系人、联系电话、联系地址、备注"),
                  {QStringLiteral("供应商"), QStringLiteral("联系人"), QStringLiteral("联系电话"),
                   QStringLiteral("联系地址"), QStringLiteral("备注")},
                  {160, 100, 160, 160, 100},
                  QString()},
                 parent)
{}

TfrmImport::RowResult TfrmIn_G::importRow(int row)
{
    const QString name = text(row, QStringLiteral("供应商"));
    if (name.isEmpty()) return emptyName(row, QStringLiteral("供应商"));
    const QString py = MakePYCode(name, PYMarkUnknown, 255);
    vdb::Query q;
    mySql = QStringLiteral("select ID from SSup Where theName='") + sqlText(name) + "' and theDel='否'";
    if (!openSql(q, mySql).IsEmpty())
        return skip(row, QStringLiteral("供应商"),
                    QStringLiteral("的“") + name + QStringLiteral("”已存在，此行没有导入。"));
    mySql = QStringLiteral("Insert InTo SSup(theName,thePro,thePhone,theAdd,Remark,theDel,thePY) Values('") +
            sqlText(name) + "','" + sqlText(text(row, QStringLiteral("联系人"))) + "','" +
            sqlText(code(row, QStringLiteral("联系电话"))) + "','" + sqlText(text(row, QStringLiteral("联系地址"))) +
            "','" + sqlText(text(row, QStringLiteral("备注"))) + "','否','" + sqlText(py) + "')";
    execute(mySql);
    return RowResult::Imported;
}
