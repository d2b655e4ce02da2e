#pragma once
// A statement with named placeholders and its values, so that no window
// places quotes and escapes by hand:
//
//     vdb::Statement("UPDATE Member SET thePY=:py WHERE theNum=:card AND theDel='否'")
//         .text("py", pinyin).text("card", card).run(c);
//
// A placeholder is ":" followed by a name (letters, digits, "_") outside a
// quoted text.  The values are kept as a list beside the SQL text, so the
// statement runs with bound parameters (compiled once by the connection);
// literal() gives the same statement with quoted texts and checked numbers.

#include "platform/db/db.h"
#include "platform/money.h"

#include <QString>
#include <variant>
#include <vector>

namespace vdb {

class Statement {
public:
    using Value = std::variant<std::monostate, QString, qint64, double, velmora::Money>;
    struct Param {
        QString name;
        Value value;
    };

    explicit Statement(QString sql) : m_sql(std::move(sql)) {}

    // A text, stored as typed (quotes doubled when put in).
    Statement &text(const QString &name, const QString &value);
    // A number given as text: throws DbError unless it is a plain decimal number.
    Statement &number(const QString &name, const QString &value);
    // Throws DbError for a value that is not finite.
    Statement &number(const QString &name, double value);
    Statement &integer(const QString &name, qint64 value);
    Statement &money(const QString &name, velmora::Money value);
    Statement &null(const QString &name);

    // The SQL text with its placeholders, and the values in the order given.
    const QString &sql() const { return m_sql; }
    const std::vector<Param> &params() const { return m_params; }

    // The statement with every placeholder replaced by its value as a literal.
    // Throws DbError for a placeholder without a value.
    QString literal() const;

    // Runs the statement (Jet dialect); returns the rows changed.
    int run(Connection &c) const;
    // Opens it as a query on q's connection.
    void open(Query &q) const;

private:
    Statement &set(const QString &name, Value v);
    // The text with "?" for every placeholder, the values appended in order.
    QString bound(QVariantList *values) const;
    template <class Place>
    QString expand(Place place) const;
    QString m_sql;
    std::vector<Param> m_params;
};

// The literal of one value: 'text', a number (negative in parentheses), NULL.
QString sqlLiteral(const Statement::Value &v);

}  // namespace vdb
