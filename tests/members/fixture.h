#pragma once
// The shop database of every member test, with the defaults a new member takes.

#include "platform/ui/modal.h"
#include "shopdb.h"

#include <QLineEdit>

class MembersTest : public ShopDbTest {
protected:
    void SetUp() override;
    // A live, enabled member of type 普通会员; extra is a "col=value,..." list set afterwards.
    void addMember(const QString &card, const QString &name, const QString &extra = {});
    // Types a text into a field as a user would (through its key filter).
    static void type(QLineEdit *edit, const QString &text);
};
