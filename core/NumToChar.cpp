#include "core/NumToChar.h"

#include "platform/error.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr char16_t Digits[] = u"零壹贰叁肆伍陆柒捌玖";
// Unit of each of the fifteen places of an amount in fen, leftmost first.
constexpr char16_t Units[] = u"万仟佰拾亿仟佰拾万仟佰拾元角分";
constexpr int Places = 15;

struct Replacement {
    const char16_t *from;
    const char16_t *to;
};

// Order matters: each step relies on the ones before.
constexpr Replacement Tidy[] = {
        {u"零元", u"元"}, {u"零拾", u"零"}, {u"零佰", u"零"},   {u"零仟", u"零"}, {u"零万", u"万"},
        {u"零亿", u"亿"}, {u"亿万", u"亿"}, {u"零零零", u"零"}, {u"零零", u"零"}, {u"零万", u"万"},
        {u"零亿", u"亿"}, {u"亿万", u"亿"}, {u"零元", u"元"},
};

void replaceAll(QString &s, QStringView from, QStringView to)
{
    s.replace(from.data(), from.size(), to.data(), to.size());
}

QString capitals(std::int64_t fen)
{
    char digits[Places + 1];
    int n = 0;
    for (std::int64_t v = fen; v > 0; v /= 10) digits[n++] = char('0' + v % 10);
    QString s;
    s.reserve(2 * n + 2);
    for (int i = n - 1; i >= 0; --i) {
        s.append(QChar(Digits[digits[i] - '0']));
        s.append(QChar(Units[Places - 1 - i]));
    }
    for (const Replacement &r : Tidy) replaceAll(s, r.from, r.to);
    // No fen: the jiao place closes the text; otherwise it keeps its zero.
    replaceAll(s, u"零角", s.contains(u"零分") ? u"整" : u"零");
    replaceAll(s, u"零分", u"");
    return s;
}

}  // namespace

QString NumToChar(velmora::Money amount)
{
    // Fifteen places of fen: up to 9 999 999 999 999.99 yuan.
    constexpr qint64 Limit = 1000000000000000LL;
    const qint64 fen = amount.rounded(2).units() / 100;
    if (fen >= Limit || fen <= -Limit) return {};
    if (fen < 0) return QStringLiteral("负") + capitals(-fen);
    return capitals(fen);
}

QString NumToChar(double amount)
{
    try {
        return NumToChar(velmora::Money::fromDouble(amount));
    } catch (const velmora::Error &) {
        return {};  // not a number, or beyond any amount held
    }
}
