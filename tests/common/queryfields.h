#pragma once
// The current row of a query, several columns read by name in one check.

#include "platform/db/db.h"

#include <QStringList>

// The named columns ("a,b,...") of the query's current row, joined by "|".
inline QString fieldsOf(const vdb::Query &q, const QString &names)
{
    QStringList values;
    for (const QString &n : names.split(QLatin1Char(','))) values << q.value(n);
    return values.join(QLatin1Char('|'));
}
