#pragma once
// TfrmFindMember "会员查找": the lookup of members whose card, name or pinyin
// code holds a text.  Enter or a double-click takes the selected row and hands
// it to the opening window (LookupTarget<MemberRecord>, origin Lookup); Esc
// closes without filling anything; typed characters are ignored.

#include "members/MemberRecord.h"
#include "platform/ui/lookupform.h"

class TfrmFindMember : public ui::LookupForm {
    Q_OBJECT
public:
    explicit TfrmFindMember(QWidget *parent = nullptr);
    ~TfrmFindMember() override;

    // Opens the lookup for the text, modally; true when a row was taken.
    static bool pick(QWidget *owner, ui::LookupTarget<members::MemberRecord> *target, const QString &text);

    QString mySearch;  // the search text
    ui::LookupTarget<members::MemberRecord> *myTarget = nullptr;

    void FormShow() override;
    void DBGrid1DblClick();
    // Enter takes the row, Esc closes; every other character is dropped.
    void DBGrid1KeyPress(int key);
    void takeRow() override;
    // The member taken, when one was.
    bool taken() const { return m_taken; }

private:
    bool m_taken = false;
};

inline TfrmFindMember *frmFindMember = nullptr;

namespace members {
// Column widths of the member lists: names, phone, address, the numbers and
// the remark; thePY and ID hidden.
void applyMemberColumnWidths(ui::DBGrid *grid);
}  // namespace members
