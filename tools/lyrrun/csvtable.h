#pragma once
// The records of a CSV file (RFC 4180) as lyrrun's datasets read them: a
// header row naming the columns, then the records. Fields are separated by
// commas; a quoted field may hold commas, doubled quotes and line breaks;
// blank lines are no records. The records are kept as the file's bytes with
// a short length before each field, so a file costs about its own size
// however many rows and fields it has.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class CsvTable {
public:
    // False with the error line when the file cannot be read, a quoted field
    // is never closed or memory runs out while reading.
    bool Read(const QString &path, QString &error);

    // The header's names, each once: a name given twice answers with its
    // first column.
    const QStringList &Fields() const { return names_; }
    qsizetype RowCount() const { return rowStart_.size(); }
    // The column a field name names, or -1.
    int Column(const QString &field) const { return columnOf_.value(field, -1); }
    // A row's value in a column; empty when the row is shorter.
    QString Value(qsizetype row, int column);

private:
    class Parser;
    friend class Parser;
    void addName(const QByteArray &name, int column);

    QStringList names_;
    // Each name to the column it names.
    QHash<QString, int> columnOf_;
    // Columns past the last one a name reaches are not kept.
    int keptColumns_ = 0;
    // Each row: its fields, each a variable-length count then its bytes.
    QByteArray store_;
    QList<qint64> rowStart_;
    // The fields (start, length) of the row asked for last.
    qsizetype decodedRow_ = -1;
    std::vector<std::pair<qint64, qint64>> decoded_;
};
