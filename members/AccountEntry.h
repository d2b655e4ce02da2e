#pragma once
// What the recharge and exchange windows share: the card search box above
// the member panel, "连续新增" and "打印小票", "保存" and "退出", the card
// search (one match fills the window, none opens the quick entry, several
// the lookup) and the end of a save (receipt after the commit, then clear
// or close).

#include "members/MemberPanel.h"
#include "members/MemberRecord.h"
#include "platform/ui/form.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>
#include <utility>

class QDateEdit;
class QGridLayout;
class QVBoxLayout;
class QGroupBox;
namespace ui {
class LookupComboBox;
}

namespace members {

class AccountEntry : public ui::Form, public ui::LookupTarget<MemberRecord> {
    Q_OBJECT
public:
    void FormShow() override;
    virtual void myNew() = 0;
    void myFind();
    void lookupTaken(const MemberRecord &m, ui::LookupOrigin origin) override;
    virtual void BitBtn1Click() = 0;

    QLineEdit *Ed_Num;
    MemberPanel *Panel;
    QCheckBox *CheckBox2;  // 连续新增
    QCheckBox *CheckBox3;  // 打印小票
    QPushButton *BitBtn1, *BitBtn2;
    QString myFrom;
    QString lastNumber() const { return m_lastNumber; }

protected:
    AccountEntry(QWidget *parent, const QString &caption);
    // The window's own group, laid out under the panel.
    void addEntry(QGroupBox *entry);
    // The document date field of the group.
    static QDateEdit *dateField(QGroupBox *entry);
    // A save needs a member: otherwise says so and puts the focus in the card box.
    bool memberFound();
    // Where the focus goes once a member is found.
    virtual QWidget *afterMember() const = 0;
    // The document is stored: its receipt when asked (a printer failure is
    // told, the document stays), then the next entry or the closing message.
    void saved(const QString &number, void (*print)(const QString &), const QString &document);

private:
    QString m_caption;
    QVBoxLayout *m_main = nullptr;
    QString m_lastNumber;
};

// A caption and its control in a grid of entry fields.
void gridCell(QGridLayout *grid, int r, int c, const char *caption, QWidget *w);
// A group's fields with their captions in three columns, filled down each
// column in turn, as Tab goes through them.
QGridLayout *gridRows(QGroupBox *group, std::initializer_list<std::pair<const char *, QWidget *>> cells);
// "请选中 <name>！" with the focus on the lookup when it has no choice.
bool requireChoice(ui::LookupComboBox *box, const QString &name);

}  // namespace members
