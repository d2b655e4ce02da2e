// The date boxes of the recharge and exchange windows walked as a clerk
// walks them: Shift+Tab back from the amount, a click on any part, a whole
// date typed from there; the save stores the date typed.
#include "accounts_fixture.h"
#include "datebox_walk.h"

#include "members/AccountStore.h"
#include "members/CZ_In.h"
#include "members/DH_In.h"

#include <memory>

namespace {

class DateBoxTest : public AccountsTest {};

TEST_F(DateBoxTest, RechargeTakesAWholeDateFromAnyPartAndStoresIt)
{
    auto w = std::make_unique<TfrmCZ_In>();
    expectWholeDatesFromEveryPart(*w, w->DateTimePicker1);
    w->Ed_Num->setText(card);
    w->myFind();
    // Shift+Tab from 储值金额 is the way back to its date.
    w->Edit17->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w->windowHandle(), Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), w->DateTimePicker1);
    typeIntoWindow(*w, "2026-1-5\t30");
    w->BitBtn1->click();
    EXPECT_EQ(rows("select MCZ,myDate from UCZ"), QStringList{"30|2026-01-05"}) << msgs.last().toStdString();
}

TEST_F(DateBoxTest, ExchangeTakesAWholeDateFromAnyPartAndStoresIt)
{
    EXPECT_EQ(members::addGift(c(), "雨伞", "50", ""), "");
    auto w = std::make_unique<TfrmDH_In>();
    expectWholeDatesFromEveryPart(*w, w->DateTimePicker1);
    w->Ed_Num->setText(card);
    w->myFind();
    w->DateTimePicker1->setDate(QDate(2026, 3, 7));
    clickDatePart(w->DateTimePicker1, 2);
    typeIntoWindow(*w, "2025-12-31");
    w->Edit17->setText("雨伞");
    w->Edit18->setText("50");
    w->Edit19->setText("1");
    w->BitBtn1->click();
    EXPECT_EQ(rows("select MJF,myDate from UDH"), QStringList{"50|2025-12-31"}) << msgs.last().toStdString();
}

}  // namespace
