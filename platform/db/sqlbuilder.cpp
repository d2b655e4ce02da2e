#include "platform/db/sqlbuilder.h"

#include <cmath>

namespace vdb {

namespace {

bool nameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

}  // namespace

Statement &Statement::set(const QString &name, Value v)
{
    for (Param &p : m_params) {
        if (p.name == name) {
            p.value = std::move(v);
            return *this;
        }
    }
    m_params.push_back({name, std::move(v)});
    return *this;
}

Statement &Statement::text(const QString &name, const QString &value)
{
    return set(name, value);
}

Statement &Statement::number(const QString &name, const QString &value)
{
    double d = 0;
    if (!isSqlNumber(value, &d)) throw DbError(QStringLiteral("“%1” 不是有效的数字！").arg(value));
    // Kept as the text's own value: "12.50" is the number 12.5.
    return set(name, d);
}

Statement &Statement::number(const QString &name, double value)
{
    if (!std::isfinite(value)) throw DbError(QStringLiteral("数值无效：%1").arg(value));
    return set(name, value);
}

Statement &Statement::integer(const QString &name, qint64 value)
{
    return set(name, value);
}

Statement &Statement::money(const QString &name, velmora::Money value)
{
    return set(name, value);
}

Statement &Statement::null(const QString &name)
{
    return set(name, std::monostate{});
}

QString sqlLiteral(const Statement::Value &v)
{
    struct {
        QString operator()(std::monostate) const { return QStringLiteral("NULL"); }
        QString operator()(const QString &s) const { return sqlQuote(s); }
        QString operator()(qint64 i) const { return sqlNum(i); }
        QString operator()(double d) const { return sqlNum(d); }
        QString operator()(velmora::Money m) const { return sqlNum(m.toString()); }
    } visit;
    return std::visit(visit, v);
}

// Walks the text: quoted texts and names go through as they stand, each
// placeholder is handed to `place` with its value.
template <class Place>
QString Statement::expand(Place place) const
{
    QString out;
    out.reserve(m_sql.size() + 16 * int(m_params.size()));
    const int n = int(m_sql.size());
    for (int i = 0; i < n;) {
        const QChar c = m_sql[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            int j = i + 1;
            while (j < n && m_sql[j] != close) ++j;
            out += QStringView(m_sql).mid(i, std::min(j + 1, n) - i);
            i = j + 1;
            continue;
        }
        if (c == u':' && i + 1 < n && nameChar(m_sql[i + 1])) {
            int j = i + 1;
            while (j < n && nameChar(m_sql[j])) ++j;
            const QStringView name = QStringView(m_sql).mid(i + 1, j - i - 1);
            const Param *found = nullptr;
            for (const Param &p : m_params)
                if (p.name == name) found = &p;
            if (!found) throw DbError(QStringLiteral("语句缺少参数 %1！").arg(name));
            place(out, found->value);
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

QString Statement::literal() const
{
    return expand([](QString &out, const Value &v) { out += sqlLiteral(v); });
}

namespace {

// A whole number goes in as an integer, as its literal would: a text column
// then holds "5", not "5.0".
QVariant boundNumber(double d)
{
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e15) return QVariant(qlonglong(d));
    return QVariant(d);
}

QVariant boundValue(const Statement::Value &v)
{
    struct {
        QVariant operator()(std::monostate) const { return QVariant(); }
        QVariant operator()(const QString &s) const { return QVariant(s); }
        QVariant operator()(qint64 i) const { return QVariant(qlonglong(i)); }
        QVariant operator()(double d) const { return boundNumber(d); }
        QVariant operator()(velmora::Money m) const { return boundNumber(m.toDouble()); }
    } visit;
    return std::visit(visit, v);
}

}  // namespace

QString Statement::bound(QVariantList *values) const
{
    return expand([values](QString &out, const Value &v) {
        out += u'?';
        values->append(boundValue(v));
    });
}

int Statement::run(Connection &c) const
{
    // Bound values: the text stays the same from one run to the next, so the
    // connection compiles it once.
    QVariantList values;
    const QString sql = bound(&values);
    return c.execute(sql, values);
}

void Statement::open(Query &q) const
{
    QVariantList values;
    const QString sql = bound(&values);
    q.OpenSql(sql, values);
}

}  // namespace vdb
