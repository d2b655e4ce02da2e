#pragma once
// What the recharge and exchange lists share: the popup "小票打印 &P",
// "查看会员信息 &M" and "删除 &D" on the selected document, and opening on
// one member's card.

#include "core/ListFrame.h"
#include "platform/db/db.h"

#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;

namespace members {

class AccountList : public velmora::TListFrame {
    Q_OBJECT
public:
    QAction *P1, *M1, *D1;

    void P1Click();
    void M1Click();
    void D1Click();
    void showForCard(const QString &card) override;

protected:
    using Print = void (*)(const QString &number);
    using Delete = QString (*)(vdb::Connection &c, const QString &number);
    AccountList(QWidget *parent, Print print, Delete remove);
    // The card filter the member list fills.
    void setCardFilter(QCheckBox *box, QLineEdit *edit);

private:
    Print m_print;
    Delete m_delete;
    QCheckBox *m_cardBox = nullptr;
    QLineEdit *m_cardEdit = nullptr;
};

// A popup item of a list window with its guarded handler.
QAction *listAction(QMenu *menu, QWidget *owner, const QString &text, std::function<void()> handler);

}  // namespace members
