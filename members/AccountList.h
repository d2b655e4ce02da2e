#pragma once
// What the recharge and exchange lists share: the popup "小票打印 &P",
// "查看会员信息 &M" and "删除 &D" on the selected document, and opening on
// one member's card.

#include "core/ListFrame.h"
#include "platform/db/db.h"

#include <functional>

class QAction;
class QCheckBox;
class QDateEdit;
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
    // The live documents of the table, newest first, exported with the
    // window's registered layout.
    static velmora::ListSpec documentSpec(const QString &table, const QString &window);
    // The first filter row: the document date (column myDate) and the
    // member's card, the filter the member list fills.
    QLineEdit *dateAndCardFilters(const QString &dateCaption, QCheckBox **dateBox, QDateEdit **from, QDateEdit **to,
                                  QCheckBox **cardBox);

private:
    Print m_print;
    Delete m_delete;
    QCheckBox *m_cardBox = nullptr;
    QLineEdit *m_cardEdit = nullptr;
};

// A popup item of a list window with its guarded handler.
QAction *listAction(QMenu *menu, QWidget *owner, const QString &text, std::function<void()> handler);

}  // namespace members
