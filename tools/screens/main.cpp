// Drives the login and main windows on a fresh database and saves what they
// look like as PNG files, so captions and layout can be checked by eye.
//   velmora_screens OUTDIR [PROGRAM_FOLDER]
#include "core/Backup.h"
#include "core/Dept.h"
#include "core/User.h"
#include "core/dm.h"
#include "core/Register.h"
#include "core/login.h"
#include "core/main.h"
#include "members/CZ_In.h"
#include "members/CZ_M.h"
#include "members/DH_In.h"
#include "members/DH_M.h"
#include "members/LP.h"
#include "members/MemberEntry.h"
#include "members/Register.h"
#include "members/Reminders.h"
#include "members/ZJJF.h"
#include "reportengine/lyrpreview.h"
#include "sales/Register.h"
#include "sales/Reports_BB.h"
#include "sales/Shop_In.h"
#include "sales/XF_In.h"
#include "sales/XF_M.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// Keys as the window system hands them to the focused control.
void typeKeys(const QString &keys, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    for (const QChar ch : keys) {
        const int key =
                ch == u'\t' ? (mods & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab) : int(ch.toUpper().unicode());
        for (QEvent::Type t : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(t, key, mods, ch == u'\t' ? QString() : QString(ch));
            QCoreApplication::sendEvent(QApplication::focusWidget(), &e);
        }
        settle();
    }
}

// A click on part p (0 year, 1 month, 2 day) of a date box.
void clickPart(QDateEdit *box, int part)
{
    QLineEdit *edit = box->findChild<QLineEdit *>();
    const int inside[] = {2, 6, 9};
    box->setFocus(Qt::MouseFocusReason);  // as the window system's click gives it
    const QPoint at(3 + edit->fontMetrics().horizontalAdvance(edit->text().left(inside[part])), edit->height() / 2);
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(t, at, edit->mapToGlobal(at), Qt::LeftButton,
                      t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &e);
    }
    settle();
}

bool save(const QPixmap &p, const QString &path)
{
    const bool ok = p.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char **argv)
{
    ui::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora_screens OUTDIR [PROGRAM_FOLDER]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir data;
    TfrmDM dm;
    dm.openDatabase(data.filePath("Data/db.edb"), true);
    velmora::setTerminateHandler([] {});

    // The program's windows, so the menus and toolbar look as they do in it.
    core::registerWindows();
    members::registerWindows();
    sales::registerWindows();
    TfrmMain main;
    if (argc > 2) main.myFolder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + "/";
    main.PlayReminder = [](const QString &) { return false; };
    main.FormCreate();
    TfrmLogin login;
    login.show();
    settle();
    bool ok = save(login.grab(), out + "/login.png");

    login.DBLookupComboBox1->setText("admin");
    login.Edit1->setText("270946");
    login.DateTimePicker1->setDate(QDate(2026, 3, 7));
    settle();
    ok = save(login.grab(), out + "/login_filled.png") && ok;
    login.BitBtn1Click();
    main.resize(1280, 760);
    settle();
    ok = save(main.grab(), out + "/main.png") && ok;
    for (int t = 0; t < 8; ++t) {
        QMenu *m = t < 7 ? main.topMenu(t) : main.helpMenu();
        m->popup(main.mapToGlobal(QPoint(20, 40)));
        settle();
        ok = save(m->grab(), out + QString("/menu%1.png").arg(t)) && ok;
        m->hide();
    }
    // The entry windows a cashier uses most, on a database with a member and goods.
    auto &c = *dm.ADOConnection1();
    c.execute("INSERT INTO SType (theName,Remark,theState,theKC) VALUES ('饮料','','启用','否')");
    c.execute("INSERT INTO SShop (theType,theName,theUnit,thePrice,Remark,thePY,theState,theNum,theDate,theDel,theCB,"
              "theCount,theKC,theXF) VALUES "
              "('饮料','矿泉水','瓶',2,'','KQS','启用','2603070001','2026-03-07','否',1,0,'否',0)");
    c.execute("INSERT INTO Member "
              "(theNum,theName,thePY,theState,theDate,theSex,theType,theZK,theJFBL,theXF,theCZ,UseDate,"
              "UseCount,theUser,theJF,theDel,thePass,JSRNum) VALUES ('26000001','张三','ZS','启用','2026-03-07','先生',"
              "'普通会员',100,1,0,50,'1900-01-01',0,'admin',0,'否','270946','')");
    c.execute("INSERT INTO SWorker (theName,theState,Remark) VALUES ('小王','启用','')");
    auto shoot = [&](QWidget *w, const char *name) {
        w->show();
        settle();
        ok = save(w->grab(), out + "/" + name) && ok;
        w->hide();
    };
    {
        TfrmXF_In xf(&main);
        shoot(&xf, "xf_in.png");
    }
    {
        // Maximised with a member and a line: the grid's columns fill the width.
        TfrmXF_In xf(&main);
        xf.show();
        xf.showMaximized();
        xf.resize(1600, 900);  // no window manager under Xvfb to maximise it
        xf.Ed_Num->setText("26000001");
        xf.myFind();
        xf.StringGrid1->moveTo(TfrmXF_In::cCode, 1);
        xf.StringGrid1->setCells(TfrmXF_In::cCode, 1, "2603070001");
        QChar enter(u'\r');
        xf.StringGrid1KeyPress(enter);
        settle();
        ok = save(xf.grab(), out + "/xf_in_maximised.png") && ok;
        // Saved as a cashier does, for the sale list further down.
        ui::ScriptedMessages quiet;
        xf.DBLookupComboBox2->setText("小王");
        xf.DBLookupComboBox1->setText("小王");
        ui::guarded([&] { xf.BitBtn1Click(); });
        for (const QString &m : quiet.texts()) std::printf("sale entry: %s\n", qPrintable(m));
    }
    {
        TfrmMember_In mi(&main);
        shoot(&mi, "member_in.png");
    }
    {
        TfrmShop_In si(&main);
        shoot(&si, "shop_in.png");
    }
    {
        TfrmDept dept(&main);
        shoot(&dept, "dept.png");
    }
    {
        TfrmUser user(&main);
        shoot(&user, "user.png");
        TfrmLevel level(&main);
        level.setUser("admin", "1");
        shoot(&level, "level.png");
    }
    {
        TfrmWorker worker(&main);
        shoot(&worker, "worker.png");
        TfrmRecover recover(&main);
        shoot(&recover, "recover.png");
    }
    {
        // The member account windows, with a recharge and an exchange saved;
        // their messages are answered, not shown.
        ui::ScriptedMessages quiet;
        TfrmLP lp(&main);
        lp.Edit1->setText("雨伞");
        lp.Edit2->setText("50");
        ui::guarded([&] { lp.BitBtn2Click(); });
        shoot(&lp, "lp.png");
        TfrmCZ_In cz(&main);
        cz.Ed_Num->setText("26000001");
        cz.myFrom = "m";  // as the member list opens it: the card is found on showing
        cz.Edit17->setText("100");
        cz.Edit18->setText("20");
        cz.DBLookupComboBox1->setText("小王");
        cz.DBLookupComboBox2->setText("小王");
        shoot(&cz, "cz_in.png");
        {
            // Shift+Tab back from 储值金额 into the date (the day part), a whole
            // date typed there.
            cz.show();
            cz.activateWindow();
            cz.Edit17->setFocus(Qt::OtherFocusReason);
            settle();
            typeKeys("\t", Qt::ShiftModifier);
            typeKeys("2026-1-5");
            ok = save(cz.grab(), out + "/cz_in_date_from_day.png") && ok;
            cz.DateTimePicker1->setDate(QDate(2026, 3, 7));
            clickPart(cz.DateTimePicker1, 1);
            typeKeys("20251130");
            ok = save(cz.grab(), out + "/cz_in_date_from_month.png") && ok;
            cz.DateTimePicker1->setDate(QDate(2026, 3, 7));
            cz.hide();
        }
        ui::guarded([&] { cz.BitBtn1Click(); });
        TfrmDH_In dh(&main);
        dh.Ed_Num->setText("26000001");
        dh.myFrom = "m";
        dh.Edit17->setText("YS");
        dh.myFindLP();
        dh.DBLookupComboBox1->setText("小王");
        shoot(&dh, "dh_in.png");
        c.execute("UPDATE Member SET theJF=100");
        dh.myFind();
        ui::guarded([&] { dh.BitBtn1Click(); });
        TfrmCZ_M czm;
        czm.resize(1100, 600);
        czm.BitBtn1Click();
        shoot(&czm, "cz_m.png");
        TfrmDH_M dhm;
        dhm.resize(1100, 600);
        dhm.BitBtn1Click();
        shoot(&dhm, "dh_m.png");
        TfrmZJJF zj(&main);
        zj.myNum = "26000001";
        shoot(&zj, "zjjf.png");
        TfrmMJN mjn(&main);
        mjn.myNum = "26000001";
        shoot(&mjn, "mjn.png");
        TfrmSRTX srtx;
        srtx.resize(1100, 600);
        srtx.BitBtn1Click();
        shoot(&srtx, "srtx.png");
        TfrmJNRTX jnrtx;
        jnrtx.resize(900, 500);
        shoot(&jnrtx, "jnrtx.png");
        TfrmM_Q mq;
        mq.resize(1100, 600);
        mq.BitBtn1Click();
        shoot(&mq, "m_q.png");
        TfrmSound sound(main.myFolder);
        shoot(&sound, "sound.png");
    }
    {
        // A saved sale reprinted from the sale list: the preview window of its
        // document, as the list's "打印消费单" opens it.
        ui::ScriptedMessages quiet;
        c.execute("UPDATE SDept SET theName='好邻居便利店',theAdd='青岛市长江路1号',thePhone='0532-88886666',"
                  "theGG='谢谢惠顾，欢迎再来！'");
        TfrmXF_M list;
        list.resize(1100, 600);
        list.BitBtn1Click();
        list.selectRow(0);
        shoot(&list, "xf_m.png");
        ui::ScriptedModals preview([&](QDialog *w) {
            w->resize(1100, 850);
            settle();
            ok = save(w->grab(), out + "/xf_m_preview.png") && ok;
            if (auto *f = qobject_cast<TlyrPreviewForm *>(w)) {
                f->Preview->SetZoomMode(TlyrPreviewOptions::zmPageWidth);
                settle();
                ok = save(w->grab(), out + "/xf_m_preview_pagewidth.png") && ok;
            }
            return int(QDialog::Rejected);
        });
        ui::guarded([&] { list.X1Click(); });
    }
    {
        // 日报表: "至" clicked on its month, 2026-1-31 typed, the report run.
        ui::ScriptedMessages quiet;
        TfrmBB_D bb;
        bb.resize(1100, 600);
        bb.show();
        bb.activateWindow();
        bb.DateTimePicker1->setDate(QDate(2026, 1, 25));
        clickPart(bb.DateTimePicker2, 1);
        typeKeys("2026-1-31");
        ui::guarded([&] { bb.BitBtn1Click(); });
        shoot(&bb, "bb_d_end_from_month.png");
    }
    return ok ? 0 : 1;
}
