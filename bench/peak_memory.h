#pragma once
// The process's resident size and its peak, with the peak brought down to
// the present size (getrusage's maximum never comes down, so a later run
// would see an earlier one's peak).

#include <QFile>

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when unknown.
inline qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// False when the kernel does not allow it (the peak is then the process's own).
inline bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}
