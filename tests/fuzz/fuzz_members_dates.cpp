// Birthday texts as typed or pasted into the member entry: the lunar form and
// the date parser never crash, and whatever they accept is stored as
// "yyyy-mm-dd" with a real month and a day up to 30 (lunar) or a real date.
#include "members/MemberEntry.h"
#include "platform/ui/checks.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString stored, message;
    if (MemberEntry::normalizeLunar(text, &stored, &message)) {
        if (stored.size() != 10 || stored.at(4) != u'-' || stored.at(7) != u'-') __builtin_trap();
        for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
            if (stored.at(i) < u'0' || stored.at(i) > u'9') __builtin_trap();
        const int month = stored.mid(5, 2).toInt(), day = stored.mid(8, 2).toInt();
        if (month < 1 || month > 12 || day < 1 || day > 30) __builtin_trap();
    } else if (message.isEmpty()) {
        __builtin_trap();
    }
    const QDate d = ui::parseDate(text);
    if (d.isValid() && ui::parseDate(d.toString(QStringLiteral("yyyy-MM-dd"))) != d) __builtin_trap();
    return 0;
}
