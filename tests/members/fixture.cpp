#include "fixture.h"

#include <QTest>

void MembersTest::SetUp()
{
    ShopDbTest::SetUp();
    myDeptSex = QStringLiteral("先生");
    myDeptMType = QStringLiteral("普通会员");
}

void MembersTest::addMember(const QString &card, const QString &name, const QString &extra)
{
    const QString id = ShopDbTest::addMember(card, name);
    if (!extra.isEmpty()) exec(QStringLiteral("UPDATE Member SET ") + extra + " WHERE ID=" + id);
}

void MembersTest::type(QLineEdit *edit, const QString &text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}
