#include "members/FindMember.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/modal.h"

using members::MemberRecord;

using members::applyMemberColumnWidths;

TfrmFindMember::TfrmFindMember(QWidget *parent) : ui::LookupForm(parent)
{
    frmFindMember = this;
    setWindowTitle(QStringLiteral("会员查找"));
    resize(820, 420);
}

TfrmFindMember::~TfrmFindMember()
{
    if (frmFindMember == this) frmFindMember = nullptr;
}

bool TfrmFindMember::pick(QWidget *owner, ui::LookupTarget<MemberRecord> *target, const QString &text)
{
    TfrmFindMember dlg(owner);
    dlg.myTarget = target;
    dlg.mySearch = text;
    ui::showModal(&dlg);
    return dlg.taken();
}

void TfrmFindMember::FormShow()
{
    ADOQuery1.setConnection(&db());
    members::memberSearch(members::memberListColumns() + " from Member", mySearch, QStringLiteral(" order by theNum"))
            .open(ADOQuery1);
    DBGrid1->setQuery(&ADOQuery1);
    applyMemberColumnWidths(DBGrid1);
    DBGrid1->setFocus();
}

void TfrmFindMember::DBGrid1KeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        takeRow();
    else if (key == Qt::Key_Escape)
        reject();
}

void TfrmFindMember::DBGrid1DblClick()
{
    takeRow();
}

void TfrmFindMember::takeRow()
{
    if (!ADOQuery1.Active() || ADOQuery1.Eof()) return;
    const MemberRecord m = MemberRecord::fromCurrentRow(ADOQuery1);
    m_taken = true;
    if (myTarget) myTarget->lookupTaken(m, ui::LookupOrigin::Lookup);
    accept();
}

void members::applyMemberColumnWidths(ui::DBGrid *grid)
{
    vdb::Query *q = grid->query();
    if (!q) return;
    auto width = [&](const char *name, int w) {
        const int i = q->FieldIndex(QString::fromUtf8(name));
        if (i >= 0) grid->setColumnWidth(i, w);
    };
    width("会员姓名", 80);
    width("联系方式", 90);
    width("联系地址", 180);
    for (const char *n : {"享受折扣", "积分比例", "积分", "累计消费", "消费次数", "账户余额"}) width(n, 60);
    width("备注", 200);
    for (const char *n : {"thePY", "ID"}) {
        const int i = q->FieldIndex(QString::fromLatin1(n));
        if (i >= 0) grid->setColumnHidden(i, true);
    }
}
