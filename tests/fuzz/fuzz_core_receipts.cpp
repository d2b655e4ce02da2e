// Receipt formatting on arbitrary texts: money form, alignment, the
// first-ten split of addresses and notices and the fitting of fields into
// lines never read past a text, and keep what they promise.
#include "core/receipts.h"
#include "platform/print/textprinter.h"

#include <QRegularExpression>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    using namespace velmora::receipts;

    const QStringList parts = splitLong(text);
    if (parts.join(QString()) != text || parts.size() > 2) std::abort();
    if (parts.size() == 2 && parts[0].toUcs4().size() != 10) std::abort();

    const int w = print::gbkWidth(text);
    const QString right = alignRight(text, 8, {4, 5, 6, 7});
    const QString left = alignLeft(text, 8, {4, 5, 6, 7});
    if (w >= 4 && w <= 7 && (print::gbkWidth(right) != 8 || print::gbkWidth(left) != 8)) std::abort();
    if ((w < 4 || w > 7) && (right != text || left != text)) std::abort();

    // Fields cut from the text at '|': no line passes the receipt's width,
    // and the fields' characters come out in order (blanks aside).
    QList<Field> fields;
    for (const QString &f : text.split(u'|')) fields.append({f, f.startsWith(u' '), int(f.size() % 9)});
    auto visible = [](const QString &t) {
        QString out;
        const QList<uint> cps = t.toUcs4();
        for (const QChar c : QString::fromUcs4(reinterpret_cast<const char32_t *>(cps.constData()), cps.size()))
            if (!c.isSpace()) out += c;
        return out;
    };
    QString kept, given;
    for (const QString &l : fitLine(fields)) {
        if (print::gbkWidth(l) > kWidth) std::abort();
        kept += l;
    }
    for (const Field &f : fields) given += f.text;
    if (visible(kept) != visible(given)) std::abort();

    try {
        const QString m = money(text);
        static const QRegularExpression form(QStringLiteral("^-?\\d{1,3}(,\\d{3})*\\.\\d\\d$"));
        if (!form.match(m).hasMatch()) std::abort();
    } catch (const velmora::ConversionError &) {}
    return 0;
}
