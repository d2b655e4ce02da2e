#include "platform/excel/exportlayout.h"

#include <QStringList>

namespace excel {

ExportLayout makeExportLayout(const char *window, const char *caption, const char *title, const char *columns,
                              const char *text, const char *totals, bool landscape)
{
    ExportLayout l;
    l.window = QString::fromUtf8(window);
    l.caption = QString::fromUtf8(caption);
    l.title = QString::fromUtf8(title);
    l.landscape = landscape;
    const QStringList textTitles = QString::fromUtf8(text).split(u',', Qt::SkipEmptyParts);
    for (const QString &entry : QString::fromUtf8(columns).split(u',')) {
        const QStringList parts = entry.split(u' ');
        ExportColumn c;
        c.title = parts[0];
        c.width = parts.size() > 1 ? parts[1].toDouble() : 0;
        c.text = textTitles.contains(c.title);
        l.columns.append(c);
    }
    for (const QString &entry : QString::fromUtf8(totals).split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = entry.split(u' ');
        l.totals.append(ExportTotal{parts[0].toInt(), parts[1]});
    }
    return l;
}

int ExportLayout::columnOf(const QString &t) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].title == t) return i + 1;
    return 0;
}

}  // namespace excel
