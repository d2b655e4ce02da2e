#include "core/main.h"

#include "core/DateCn.h"
#include "core/MenuCatalog.h"
#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/image/jpeg.h"
#include "platform/media/sound.h"
#include "platform/ui/application.h"
#include "platform/ui/messages.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace velmora {

namespace {

std::function<void()> &terminateHandler()
{
    static std::function<void()> h;
    return h;
}

std::function<bool(const QUrl &)> &urlOpener()
{
    static std::function<bool(const QUrl &)> h;
    return h;
}

}  // namespace

void terminateApplication()
{
    if (terminateHandler())
        terminateHandler()();
    else
        QCoreApplication::exit(0);
}

void setTerminateHandler(std::function<void()> handler)
{
    terminateHandler() = std::move(handler);
}

bool openUrl(const QUrl &url)
{
    return urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url);
}

void setUrlOpener(std::function<bool(const QUrl &)> opener)
{
    urlOpener() = std::move(opener);
}

}  // namespace velmora

namespace {

const QString kExit = QStringLiteral("014");
const QString kHelp = QStringLiteral("帮助 &H");
const QString kSite = QStringLiteral("Velmora网站 &W");
const QString kAbout = QStringLiteral("关于... &A");

// Toolbar captions and the item each one runs.
const std::pair<const char *, const char *> kToolButtons[12] = {
        {"消费录入", "200"}, {"会员录入", "102"}, {"会员查询", "103"}, {"生日提醒", "106"},
        {"会员清零", "110"}, {"会员换卡", "112"}, {"储值录入", "300"}, {"兑换录入", "402"},
        {"商品录入", "502"}, {"日报表", "600"},   {"帮助", "帮助 &H"}, {"退出", "014"},
};

// True when the item does something in this build: a built-in item or one
// whose window has an opener.
bool available(const QString &key)
{
    return key == kExit || key == kHelp || key == kSite || bool(velmora::findOpener(key));
}

}  // namespace

// ---------------------------------------------------------------- background

TBackground::TBackground(QWidget *parent) : QMdiArea(parent) {}

void TBackground::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_scaled = QImage();
    viewport()->update();
}

QImage TBackground::builtInPicture(const QSize &size)
{
    const QSize s = size.isValid() && !size.isEmpty() ? size : QSize(1024, 600);
    QImage img(s, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, s.width(), s.height());
    sky.setColorAt(0, QColor(0x1d, 0x4e, 0x6b));
    sky.setColorAt(1, QColor(0x7f, 0xb8, 0xc9));
    p.fillRect(img.rect(), sky);

    // Soft rings in the lower right corner.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        const int r = s.height() * (6 - i) / 8;
        p.setBrush(QColor(255, 255, 255, 10 + i * 4));
        p.drawEllipse(QPoint(s.width() * 4 / 5, s.height() * 4 / 5), r, r);
    }

    // A member card, slightly turned.
    const qreal cw = s.width() * 0.26, ch = cw * 0.63;
    p.save();
    p.translate(s.width() * 0.68, s.height() * 0.28);
    p.rotate(-8);
    QPainterPath card;
    card.addRoundedRect(QRectF(0, 0, cw, ch), cw * 0.06, cw * 0.06);
    QLinearGradient gold(0, 0, cw, ch);
    gold.setColorAt(0, QColor(0xf6, 0xd3, 0x65));
    gold.setColorAt(1, QColor(0xd4, 0x8a, 0x1e));
    p.fillPath(card, gold);
    p.fillRect(QRectF(0, ch * 0.2, cw, ch * 0.14), QColor(60, 40, 10, 150));
    p.fillRect(QRectF(cw * 0.08, ch * 0.5, cw * 0.16, ch * 0.2), QColor(250, 240, 200));
    p.restore();

    // The title and its line beneath; a tall window would make them wider
    // than their place, so they shrink to fit whole, with a little air.
    const QRect head(s.width() / 14, s.height() / 3, s.width() * 5 / 9, s.height() / 6);
    const int room = head.width() - head.width() / 50;
    auto fitted = [&](int pixels, bool bold, const QString &text) {
        QFont f(QStringLiteral("黑体"));
        f.setPixelSize(pixels);
        f.setBold(bold);
        while (f.pixelSize() > 8 && QFontMetrics(f, &img).horizontalAdvance(text) > room)
            f.setPixelSize(f.pixelSize() - 1);
        return f;
    };
    p.setFont(fitted(qMax(16, s.height() / 12), true, velmora::kAppTitle));
    p.setPen(QColor(255, 255, 255, 235));
    p.drawText(head, Qt::AlignLeft | Qt::AlignVCenter, velmora::kAppTitle);
    const QString line = QStringLiteral("会员 · 消费 · 储值 · 兑换 · 商品 · 报表");
    p.setFont(fitted(qMax(10, s.height() / 30), false, line));
    p.setPen(QColor(230, 245, 250, 220));
    p.drawText(head.translated(0, head.height()), Qt::AlignLeft | Qt::AlignTop, line);
    return img;
}

void TBackground::resizeEvent(QResizeEvent *event)
{
    m_scaled = QImage();
    QMdiArea::resizeEvent(event);
}

void TBackground::paintEvent(QPaintEvent *event)
{
    const QSize size = viewport()->size();
    if (m_scaled.size() != size) {
        m_scaled = m_picture.isNull() ? builtInPicture(size)
                                      : m_picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QPainter p(viewport());
    p.drawImage(0, 0, m_scaled);
    Q_UNUSED(event);
}

// ---------------------------------------------------------------- MDI frame

namespace {

// The frame of one MDI child.  It frees its child when it goes; the child's
// "destroyed" must then no longer reach the half-destroyed frame.
class TChildFrame : public QMdiSubWindow {
public:
    ~TChildFrame() override
    {
        if (QWidget *w = widget()) QObject::disconnect(w, nullptr, this, nullptr);
    }
};

}  // namespace

// ---------------------------------------------------------------- main window

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent)
{
    if (!frmMain) frmMain = this;
    setWindowTitle(velmora::kAppTitle);
    resize(1024, 633);
    myFolder = velmora::programFolder();

    Image1 = new TBackground(this);
    setCentralWidget(Image1);
    buildMenus();
    buildToolBar();
    buildStatusBar();

    MediaPlayer1 = new vplatform::SoundPlayer(this);
    PlayReminder = [this](const QString &path) { return MediaPlayer1->play(path); };
}

TfrmMain::~TfrmMain()
{
    // The children go first, while the open-window table they update is alive.
    delete Image1;
    Image1 = nullptr;
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setNativeMenuBar(false);
    const auto &tops = velmora::numberedMenus();
    for (int t = 0; t < int(tops.size()); ++t) {
        QMenu *menu = bar->addMenu(tops[t].caption);
        // A granted separator must show even at the edge of the visible items.
        menu->setSeparatorsCollapsible(false);
        for (int i = 0; i < tops[t].items.size(); ++i) {
            const QString &caption = tops[t].items[i];
            QAction *a = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
            const QString key = velmora::menuNumber(t, i);
            if (!a->isSeparator()) ui::on(a, &QAction::triggered, this, [this, key] { ItemClick(key); });
            a->setVisible(key == kExit);
        }
        menu->menuAction()->setVisible(t == 0);
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { enableRegistered(menu); });
        m_tops.push_back(menu);
    }
    m_help = bar->addMenu(QStringLiteral("帮助【&H】"));
    m_help->setSeparatorsCollapsible(false);
    for (const QString &caption : {kHelp, QStringLiteral("-"), kSite, QStringLiteral("-"), kAbout}) {
        if (caption == QLatin1String("-")) {
            m_help->addSeparator();
            continue;
        }
        QAction *a = m_help->addAction(caption);
        ui::on(a, &QAction::triggered, this, [this, caption] { ItemClick(caption); });
    }
    connect(m_help, &QMenu::aboutToShow, this, [this] { enableRegistered(m_help); });
}

// Items whose window is not part of the program yet are shown greyed.
void TfrmMain::enableRegistered(QMenu *menu)
{
    const int top = int(std::find(m_tops.begin(), m_tops.end(), menu) - m_tops.begin());
    const auto actions = menu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QAction *a = actions[i];
        if (a->isSeparator()) continue;
        a->setEnabled(available(menu == m_help ? a->text() : velmora::menuNumber(top, i)));
    }
}

// The toolbar follows the same rule as the menus.
void TfrmMain::enableToolButtons()
{
    for (int i = 0; i < 12; ++i)
        ToolButtons[size_t(i)]->setEnabled(available(QString::fromUtf8(kToolButtons[i].second)));
}

void TfrmMain::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (int i = 0; i < 12; ++i) {
        auto *b = new QToolButton(ToolBar1);
        b->setText(QString::fromUtf8(kToolButtons[i].first));
        b->setMinimumWidth(60);
        b->setAutoRaise(true);
        const QString key = QString::fromUtf8(kToolButtons[i].second);
        ui::on(b, &QToolButton::clicked, this, [this, key] { ItemClick(key); });
        ToolBar1->addWidget(b);
        ToolButtons[size_t(i)] = b;
    }
}

void TfrmMain::buildStatusBar()
{
    StatusBar1 = statusBar();
    const int widths[5] = {150, 100, 200, 100, 100};
    const QString texts[5] = {velmora::kAppTitle, QStringLiteral("营业日期："), QString(), QStringLiteral("当前用户："),
                              QString()};
    for (int i = 0; i < 5; ++i) {
        auto *l = new QLabel(texts[i], StatusBar1);
        // The width is the least a panel takes; a longer text widens it.
        l->setMinimumWidth(widths[i]);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i == 1 || i == 3) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        StatusBar1->addWidget(l, i == 4 ? 1 : 0);
        Panels[size_t(i)] = l;
    }
}

QMenu *TfrmMain::topMenu(int top) const
{
    return top >= 0 && top < int(m_tops.size()) ? m_tops[size_t(top)] : nullptr;
}

QAction *TfrmMain::menuItem(const QString &mnum) const
{
    int top = 0, item = 0;
    if (!velmora::parseMenuNumber(mnum, &top, &item)) return nullptr;
    QMenu *m = topMenu(top);
    if (!m) return nullptr;
    const auto actions = m->actions();
    return item >= 0 && item < actions.size() ? actions[item] : nullptr;
}

QAction *TfrmMain::helpItem(const QString &caption) const
{
    for (QAction *a : m_help->actions())
        if (a->text() == caption) return a;
    return nullptr;
}

QToolButton *TfrmMain::toolButton(const QString &caption) const
{
    for (QToolButton *b : ToolButtons)
        if (b->text() == caption) return b;
    return nullptr;
}

QString TfrmMain::panelText(int panel) const
{
    return panel >= 0 && panel < 5 ? Panels[size_t(panel)]->text() : QString();
}

void TfrmMain::FormCreate()
{
    velmora::initSharedState();
    FindDept();
}

void TfrmMain::FindDept()
{
    velmora::FindDept();
}

void TfrmMain::applyRight(const QString &mnum)
{
    int top = 0, item = 0;
    // A number that addresses no item is bad rights data: it grants nothing.
    QAction *a = velmora::parseMenuNumber(mnum, &top, &item) ? menuItem(mnum) : nullptr;
    if (!a) return;
    topMenu(top)->menuAction()->setVisible(true);
    a->setVisible(true);
}

bool TfrmMain::holdsRight(const QString &mnum) const
{
    const QAction *a = menuItem(mnum);
    return a && a->isVisible();
}

bool velmora::holdsRight(const QString &mnum)
{
    return frmMain && frmMain->holdsRight(mnum);
}

QString TfrmMain::weekdayText(int dayOfWeek)
{
    static const char *const names[7] = {"  星期一", "  星期二", "  星期三", "  星期四",
                                         "  星期五", "  星期六", "  星期日"};
    return dayOfWeek >= 1 && dayOfWeek <= 7 ? QString::fromUtf8(names[dayOfWeek - 1]) : QString();
}

QString TfrmMain::dateLine(const QString &loginDate)
{
    const QDate d = QDate::fromString(loginDate, velmora::kDateFormat);
    return loginDate + QStringLiteral("  ") + GetLunarDateText(d) + weekdayText(d.dayOfWeek());
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    enableToolButtons();
    if (m_formShown) return;
    m_formShown = true;
    ui::guarded([this] { FormShow(); });
}

void TfrmMain::FormShow()
{
    Panels[4]->setText(myUser);
    Panels[2]->setText(dateLine(myLoginDate));

    myNLDate = myNL5(myLoginDate);
    const QString md = QDate::fromString(myLoginDate, velmora::kDateFormat).toString(QStringLiteral("MM-dd"));
    const bool network = myEdition == QStringLiteral("网络版");
    const QString mdText = vdb::sqlText(md), nlText = vdb::sqlText(myNLDate);

    // A day without a lunar date (outside the table) matches no lunar
    // birthday: an empty month-day would match every member without one.
    const QString lunarTerm =
            myNLDate.isEmpty() ? QString()
            : network          ? QStringLiteral(" OR (RIGHT(NLBir, 5)='") + nlText + "')"
                               : QStringLiteral(" OR (Mid(NLBir,6,5)='") + nlText + "')";
    const QString birthdayWhere =
            (network ? QStringLiteral("AND ((RIGHT(theBir, 5)='") : QStringLiteral("AND ((Mid(theBir,6,5)='")) +
            mdText + "')" + lunarTerm + ")";
    mySql = QStringLiteral("select theNum  from Member Where (theDel='否')") + " " + birthdayWhere;
    ADOQ_Sql.setConnection(frmDM->ADOConnection1());
    ADOQ_Sql.OpenSql(mySql);
    BirthdayCount = ADOQ_Sql.RecordCount();
    // A reminder lists members with their phones and balances: it opens
    // only for a user who holds its right, as its menu item would.
    bool reminded = false;
    if (BirthdayCount > 0 && holdsRight(QStringLiteral("106"))) {
        if (auto hook = velmora::birthdayReminder()) hook(this, birthdayWhere);
        reminded = true;
    }

    mySql = QStringLiteral("select theJNR ") + " from Member INNER JOIN MJN ON Member.theNum = MJN.theNum " +
            " Where (theDel='否')" +
            (network ? QStringLiteral(" AND (RIGHT(theJNR, 5)='") + mdText + "')"
                     : QStringLiteral(" AND (Mid(theJNR,6,5)='") + mdText + "')");
    ADOQ_Sql.OpenSql(mySql);
    AnniversaryCount = ADOQ_Sql.RecordCount();
    if (AnniversaryCount > 0 && holdsRight(QStringLiteral("107"))) {
        if (auto hook = velmora::anniversaryReminder()) hook(this);
        reminded = true;
    }

    // The sound goes with a reminder shown, not with one kept from the user.
    SoundStarted = false;
    const QString sound = myFolder + QStringLiteral("Music/1.mp3");
    if (reminded && QFileInfo::exists(sound) && PlayReminder) SoundStarted = PlayReminder(sound);

    const QString bj = myFolder + QStringLiteral("bj.jpg");
    if (QFileInfo::exists(bj)) {
        // A picture that does not decode leaves the built-in one.
        const QImage picture = vplatform::loadJpeg(bj);
        if (!picture.isNull()) Image1->setPicture(picture);
    }
}

bool TfrmMain::FormCloseQuery()
{
    return ui::ask(QStringLiteral("确认要退出 Velmora会员管理软件 吗？  ^_^  "), QStringLiteral("确认退出"), this);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    m_closing = true;
    event->accept();
    velmora::terminateApplication();
}

void TfrmMain::myfrmClose()
{
    std::vector<bool *> flags;
    for (const auto &[flag, sub] : m_open) flags.push_back(const_cast<bool *>(flag));
    for (bool *flag : flags) {
        if (!*flag) continue;
        auto it = m_open.find(flag);
        QMdiSubWindow *sub = it == m_open.end() ? nullptr : it->second.frame.data();
        if (!sub) continue;
        if (sub->close()) {
            *flag = false;
            m_open.erase(it);
        }
    }
}

QMdiSubWindow *TfrmMain::showMdiChild(QWidget *w, bool *openFlag)
{
    auto *sub = new TChildFrame;
    sub->setWidget(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    Image1->addSubWindow(sub);
    // A child that frees itself takes its frame with it.
    connect(w, &QObject::destroyed, sub, [sub] { sub->close(); });
    if (openFlag) {
        *openFlag = true;
        m_open[openFlag] = {sub, sub};
        connect(sub, &QObject::destroyed, this, [this, openFlag](QObject *gone) {
            auto it = m_open.find(openFlag);
            // Only the window that holds the flag clears it.
            if (it != m_open.end() && (it->second.frame.isNull() || it->second.id == gone)) {
                *openFlag = false;
                m_open.erase(it);
            }
        });
    }
    sub->show();
    w->show();
    return sub;
}

QWidget *TfrmMain::openWindow(const bool *openFlag) const
{
    auto it = m_open.find(openFlag);
    return it == m_open.end() || it->second.frame.isNull() ? nullptr : it->second.frame->widget();
}

QString TfrmMain::helpPage() const
{
    return myFolder + QStringLiteral("help/index.html");
}

void TfrmMain::openHelp()
{
    if (velmora::openUrl(QUrl::fromLocalFile(helpPage()))) return;
    ui::showMessage(QStringLiteral("没有找到可以打开帮助的网页浏览器，请安装浏览器后再试。\n帮助文件：") +
                            QDir::toNativeSeparators(helpPage()),
                    this);
}

void TfrmMain::ItemClick(const QString &key)
{
    using namespace velmora;
    const WindowRow *row = findWindow(key);
    const unsigned conditions = row ? row->conditions : 0;
    if ((conditions & Standalone) && myEdition != QStringLiteral("单机版")) return;
    if ((conditions & Stock) && !velmora::isOn(myDeptKC)) {
        ui::showMessage(QStringLiteral("请到 文件 菜单 里 本店信息 里 设置 启用商品库存！"), this);
        return;
    }
    if ((conditions & OwnItem) && !holdsRight(key)) return;
    if (key == kExit) {
        close();
        return;
    }
    if (key == kHelp || key == kSite) {
        openHelp();
        return;
    }
    if (!row || !row->opener) return;  // the window is not part of the program yet
    // Closing the list may run code that registers: keep what this item needs.
    const Opener opener = row->opener;
    bool *const flag = row->openFlag;
    if (!(conditions & NoClose)) myfrmClose();
    QWidget *w = opener(this);
    if (!w) return;
    if (flag) {
        showMdiChild(w, flag);
    } else if (auto *dlg = qobject_cast<QDialog *>(w)) {
        dlg->exec();
    } else {
        w->setWindowModality(Qt::ApplicationModal);
        w->show();
    }
}

void TfrmMain::mySaveMenu(const QString &MNum, const QString &MName)
{
    mySql = QStringLiteral("INSERT INTO SMenu (MNum, MName) VALUES ('") + vdb::sqlText(MNum) + "', '" +
            vdb::sqlText(MName) + "')";
    ADOQ_Menu.ExecSql(mySql);
}

void TfrmMain::UpMenu()
{
    vdb::Connection *c = frmDM->ADOConnection1();
    ADOQ_Menu.setConnection(c);
    vdb::Transaction t(*c);
    mySql = QStringLiteral("Delete From SMenu");
    ADOQ_Menu.ExecSql(mySql);
    for (int i = 0; i < int(m_tops.size()) && i < 10; ++i) {
        const auto actions = m_tops[size_t(i)]->actions();
        for (int j = 0; j < actions.size(); ++j) {
            const QAction *a = actions[j];
            mySaveMenu(velmora::menuNumber(i, j),
                       a->isSeparator() ? QStringLiteral("-") : velmora::menuName(a->text()));
        }
    }
    t.commit();
}
