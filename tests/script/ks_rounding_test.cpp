// Numbers printed with fewer decimals than they hold round half away from
// zero on their decimal digits: amounts with half cents print as a person
// would round them, in FormatFloat and in Format's fixed-point types alike.
#include "ks_print.h"
#include "script/ks_runner.h"
#include "script/ksrtl.h"

#include <gtest/gtest.h>

namespace {

// Amounts of four decimals ending in a half cent, and their two-decimal
// forms worked out on the decimal digits.
struct HalfCent {
    QString Text;
    QString Cents;
};

std::vector<HalfCent> halfCents()
{
    std::vector<HalfCent> out;
    for (const char *t : {"1.005", "2.675", "10.235", "0.015", "8.345", "-1.005", "1234.565", "0.125"}) {
        const QString text = QString::fromLatin1(t);
        const bool negative = text.startsWith(u'-');
        const QString digits = QString(text).remove(u'-').remove(u'.');
        const int thousandths = digits.toInt();
        const int cents = (thousandths + 5) / 10;
        const QString cent = QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
        out.push_back({text, negative ? "-" + cent : cent});
    }
    return out;
}

TEST(KsRounding, FormatFloatAndFormatRoundHalfCentsAwayFromZero)
{
    for (const HalfCent &h : halfCents()) {
        SCOPED_TRACE(h.Text.toStdString());
        const double v = h.Text.toDouble();
        EXPECT_EQ(ksFormatFloat(QStringLiteral("0.00"), v), h.Cents);
        EXPECT_EQ(ksFormat(QStringLiteral("%.2f"), {KsValue(v)}), h.Cents);
        EXPECT_EQ(ksFormat(QStringLiteral("%8.2f"), {KsValue(v)}), h.Cents.rightJustified(8));
        // The grouped forms round the same digits.
        QString grouped = h.Cents;
        if (grouped.remove(u'-').size() > 6) grouped.insert(grouped.size() - 6, u',');
        if (h.Cents.startsWith(u'-')) grouped.prepend(u'-');
        EXPECT_EQ(ksFormatFloat(QStringLiteral("#,##0.00"), v), grouped);
        EXPECT_EQ(ksFormat(QStringLiteral("%.2n"), {KsValue(v)}), grouped);
    }
}

TEST(KsRounding, ScriptsPrintHalfCentsRounded)
{
    QString text = QStringLiteral("begin\n");
    for (const HalfCent &h : halfCents())
        text += QStringLiteral("  Out(FormatFloat('0.00', %1) + ' ' + Format('%.2f', [%1]));\n").arg(h.Text);
    text += QStringLiteral("end.");
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
    QStringList expected;
    for (const HalfCent &h : halfCents()) expected << h.Cents + " " + h.Cents;
    EXPECT_EQ(r.Output, expected);
}

}  // namespace
