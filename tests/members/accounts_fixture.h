#pragma once
// A shop for the member account windows: one member "张三" with 100 stored
// and 100 points, the employee 小王, cash payments, and the windows'
// registration rows.

#include "fixture.h"

#include "core/ListFrame.h"
#include "members/Register.h"
#include "platform/ui/modal.h"

#include <vector>

class AccountsTest : public MembersTest {
protected:
    void SetUp() override
    {
        MembersTest::SetUp();
        for (QString *s : shopSettings()) kept.push_back(*s);
        myDeptName = QStringLiteral("好邻居");
        myDeptAdd.clear();
        myDeptPhone.clear();
        myDeptGG.clear();
        myDeptSWorker = QStringLiteral("小王");
        myDeptSKR = QStringLiteral("小王");
        myDeptSMType = QStringLiteral("现金");
        exec(QStringLiteral("INSERT INTO SWorker (theName,theState,Remark) VALUES ('小王','启用','')"));
        members::registerWindows();
        card = QStringLiteral("26000001");
        addMember(card, QStringLiteral("张三"), QStringLiteral("theCZ=100, theJF=100, thePY='ZS'"));
        velmora::TListFrame::setExportFolder(dir.path());
        velmora::TListFrame::setExportOpener([](const QString &) { return true; });
    }
    void TearDown() override
    {
        // Other tests see the shop settings as they were.
        int i = 0;
        for (QString *s : shopSettings()) *s = kept[i++];
        MembersTest::TearDown();
    }
    static std::vector<QString *> shopSettings()
    {
        return {&myDeptName, &myDeptAdd, &myDeptPhone, &myDeptGG, &myDeptSWorker, &myDeptSKR, &myDeptSMType};
    }
    std::vector<QString> kept;
    // The member's columns joined by "|".
    QString member(const QString &columns, const QString &who = QString())
    {
        const QStringList r = rows("select " + columns + " from Member where theNum='" + (who.isEmpty() ? card : who) +
                                   "' and theDel='否'");
        return r.isEmpty() ? QString() : r.first();
    }
    // Installs a trigger that refuses the write, runs the action, removes it.
    template <class F>
    void refusing(const QString &when, F action)
    {
        c().executeNative("CREATE TRIGGER boom " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        action();
        c().executeNative("DROP TRIGGER boom");
    }
    QString card;
};
