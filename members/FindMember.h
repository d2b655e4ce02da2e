#pragma once
// TfrmFindMember "会员查找": the lookup of members whose card, name or pinyin
// code holds a text.  Enter or a double-click takes the selected row and hands
// it to the opening window (LookupTarget<MemberRecord>, origin Lookup); Esc
// closes without filling anything; typed characters are ignored.

#include "members/MemberRecord.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"


class TfrmFindMember : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmFindMember(QWidget *parent = nullptr);
    ~TfrmFindMember() override;

    // Opens the lookup for the text, modally; true when a row was taken.
    static bool pick(QWidget *owner, ui::LookupTarget<members::MemberRecord> *target, const QString &text);

    ui::DBGrid *DBGrid1;
    vdb::Query ADOQuery1;
    QString mySearch;  // the search text
    ui::LookupTarget<members::MemberRecord> *myTarget = nullptr;

    void FormShow() override;
    void DBGrid1DblClick();
    // Enter takes the row, Esc closes; every other character is dropped.
    void DBGrid1KeyPress(int key);
    // The member taken, when one was.
    bool taken() const { return m_taken; }

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void takeRow();
    bool m_taken = false;
};

inline TfrmFindMember *frmFindMember = nullptr;

namespace members {
// Column widths of the member lists: names, phone, address, the numbers and
// the remark; thePY and ID hidden.
void applyMemberColumnWidths(ui::DBGrid *grid);
}
