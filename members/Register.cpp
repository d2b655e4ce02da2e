#include "members/Register.h"

#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "members/CZ_In.h"
#include "members/CZ_M.h"
#include "members/DH_In.h"
#include "members/DH_M.h"
#include "members/LP.h"
#include "members/MemberList.h"
#include "members/Reminders.h"
#include "members/ZJJF.h"
#include "members/Openers.h"
#include "platform/ui/modal.h"

#include <QCoreApplication>
#include <type_traits>

namespace members {

namespace {

// A recharge or exchange entry, opened empty or on the card of a member.
template <class Entry>
void openEntry(QWidget *owner, const QString &card)
{
    Entry w(owner);
    if (!card.isEmpty()) {
        w.Ed_Num->setText(card);
        w.myFrom = QStringLiteral("m");
    }
    ui::showModal(&w);
}

void openLP(QWidget *owner)
{
    TfrmLP w(owner);
    ui::showModal(&w);
}

// The windows on the member selected in the member list, which then shows
// the new figures.
template <class Window>
void openOnMember(QWidget *owner, const QString &card)
{
    Window w(owner);
    w.myNum = card;
    if constexpr (std::is_same_v<Window, TfrmZJJF>)
        if (auto *list = qobject_cast<TfrmMember_M *>(owner)) w.onSaved = [list] { list->Ref(); };
    ui::showModal(&w);
}

}  // namespace

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("100"), 0, nullptr, modal(openMType), {}});
    registerWindow({QStringLiteral("102"), OwnItem, nullptr, modal(openMemberIn), {}});
    registerWindow({QStringLiteral("103"), OwnItem, &myOpenMember_M, [](TfrmMain *m) { return new TfrmMember_M(m); },
                    memberListLayout()});
    registerWindow(
            {QStringLiteral("300"), OwnItem, nullptr, modal([](QWidget *o) { openEntry<TfrmCZ_In>(o, {}); }), {}});
    registerWindow(
            {QStringLiteral("301"), 0, &myOpenCZ_M, [](TfrmMain *m) { return new TfrmCZ_M(m); }, rechargeListLayout()});
    registerCardWindow(QStringLiteral("300"), withOwnRight(QStringLiteral("300"), openEntry<TfrmCZ_In>));
    registerWindow(
            {QStringLiteral("402"), OwnItem, nullptr, modal([](QWidget *o) { openEntry<TfrmDH_In>(o, {}); }), {}});
    registerWindow(
            {QStringLiteral("403"), 0, &myOpenDH_M, [](TfrmMain *m) { return new TfrmDH_M(m); }, exchangeListLayout()});
    registerCardWindow(QStringLiteral("402"), withOwnRight(QStringLiteral("402"), openEntry<TfrmDH_In>));
    registerWindow({QStringLiteral("400"), 0, nullptr, modal(openLP), {}});
    registerCardWindow(QStringLiteral("增加积分"), openOnMember<TfrmZJJF>);
    registerCardWindow(QStringLiteral("纪念日管理"), openOnMember<TfrmMJN>);
    registerWindow({QStringLiteral("106"), OwnItem, &myOpenSRTX, [](TfrmMain *m) { return new TfrmSRTX(m); },
                    birthdayListLayout()});
    registerWindow({QStringLiteral("107"), OwnItem, &myOpenJNRTX, [](TfrmMain *m) { return new TfrmJNRTX(m); },
                    anniversaryListLayout()});
    registerWindow({QStringLiteral("108"),
                    0,
                    nullptr,
                    [](TfrmMain *m) -> QWidget * {
                        TfrmSound w(m ? m->myFolder : QCoreApplication::applicationDirPath() + "/", m);
                        ui::showModal(&w);
                        return nullptr;
                    },
                    {}});
    registerWindow({QStringLiteral("110"), OwnItem, &myOpenM_Q, [](TfrmMain *m) { return new TfrmM_Q(m); }, {}});
    // The start-up reminders stay open beside the other lists: no open flag.
    registerBirthdayReminder([](TfrmMain *m, const QString &) {
        auto *w = new TfrmSRTX(m);
        m->showMdiChild(w, nullptr);
        w->showToday();
    });
    registerAnniversaryReminder([](TfrmMain *m) {
        auto *w = new TfrmJNRTX(m);
        m->showMdiChild(w, nullptr);
        w->showToday();
    });
    registerWindow({QStringLiteral("112"), OwnItem, nullptr, modal(openCardChange), {}});
}

}  // namespace members
