#include "csvtable.h"
#include "platform/regularfile.h"

#include <QFile>

#include <algorithm>
#include <new>

// Reads the bytes as they come, one at a time; a pair of quotes or a CR LF
// may be split between two blocks of the file.
class CsvTable::Parser {
public:
    explicit Parser(CsvTable &table) : t_(table) {}

    void Feed(const char *bytes, qint64 n)
    {
        for (qint64 i = 0; i < n;) {
            // A run of bytes that only go into the field, taken at once.
            if (started_ && !quoteSeen_ && !afterCR_) {
                qint64 j = i;
                while (j < n && ordinary(bytes[j], quoted_)) ++j;
                if (j > i) {
                    add(QByteArrayView(bytes + i, j - i));
                    i = j;
                    continue;
                }
            }
            byte(bytes[i++]);
        }
    }
    // False, with the line its quote opened on, when a quoted field is
    // never closed.
    bool Finish(int &openLine)
    {
        if (quoteSeen_) quoted_ = quoteSeen_ = false;
        openLine = openLine_;
        if (quoted_) return false;
        endRecord();
        return true;
    }

private:
    static bool ordinary(char c, bool quoted)
    {
        return c != '"' && (quoted ? c != '\n' : c != ',' && c != '\r' && c != '\n');
    }
    void byte(char c)
    {
        if (afterCR_) {
            afterCR_ = false;
            if (c == '\n') return;  // CR LF ends one record
        }
        if (c == '\n') ++line_;
        if (quoteSeen_) {
            quoteSeen_ = false;
            if (c == '"') {
                add(c);
                return;
            }
            quoted_ = false;
        } else if (quoted_) {
            if (c == '"')
                quoteSeen_ = true;
            else
                add(c);
            return;
        }
        switch (c) {
        case '"':
            start();
            quoted_ = true;
            openLine_ = line_;
            break;
        case ',':
            start();
            endField();
            ++column_;
            openField();
            break;
        case '\r':
            // A lone CR ends the record too.
            ++line_;
            afterCR_ = true;
            endRecord();
            break;
        case '\n':
            endRecord();
            break;
        default:
            start();
            add(c);
        }
    }
    // The record has a field or a separator from here (a blank line has neither).
    void start()
    {
        if (started_) return;
        started_ = true;
        column_ = 0;
        if (!header_) t_.rowStart_.append(t_.store_.size());
        openField();
    }
    void openField()
    {
        if (header_) {
            name_.resize(0);
        } else if (column_ < t_.keptColumns_) {
            fieldStart_ = t_.store_.size();
            t_.store_.append('\0');  // the length, known at the field's end
        } else {
            fieldStart_ = -1;
        }
    }
    void add(QByteArrayView bytes)
    {
        if (header_)
            name_.append(bytes);
        else if (fieldStart_ >= 0)
            t_.store_.append(bytes);
    }
    void add(char c) { add(QByteArrayView(&c, 1)); }
    void endField()
    {
        if (header_) {
            t_.addName(name_, column_);
            return;
        }
        if (fieldStart_ < 0) return;
        // Seven bits a byte, the high bit set on all but the last.
        quint64 length = quint64(t_.store_.size() - fieldStart_ - 1);
        char count[10];
        int k = 0;
        do {
            count[k] = char(length & 0x7F);
            length >>= 7;
            if (length) count[k] = char(count[k] | 0x80);
            ++k;
        } while (length);
        if (k > 1) t_.store_.insert(fieldStart_ + 1, k - 1, '\0');
        std::copy(count, count + k, t_.store_.begin() + fieldStart_);
        fieldStart_ = -1;
    }
    void endRecord()
    {
        if (!started_) return;
        endField();
        started_ = false;
        header_ = false;
    }

    CsvTable &t_;
    bool quoted_ = false, quoteSeen_ = false, afterCR_ = false, started_ = false, header_ = true;
    int line_ = 1, openLine_ = 0, column_ = 0;
    qint64 fieldStart_ = -1;
    QByteArray name_;
};

void CsvTable::addName(const QByteArray &name, int column)
{
    const QString s = QString::fromUtf8(name);
    if (columnOf_.contains(s)) return;
    columnOf_.insert(s, column);
    names_ << s;
    keptColumns_ = column + 1;
}

bool CsvTable::Read(const QString &path, QString &error)
{
    QFile f;
    if (QString why; !vplatform::openRegularFile(f, path, QIODevice::ReadOnly, &why)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, why);
        return false;
    }
    try {
        Parser parser(*this);
        QByteArray block(1 << 20, Qt::Uninitialized);
        bool first = true;
        for (;;) {
            const qint64 got = f.read(block.data(), block.size());
            if (got < 0) {
                error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
                return false;
            }
            if (got == 0) break;
            const char *bytes = block.constData();
            qint64 n = got;
            // A byte order mark is no part of the first name.
            if (first && n >= 3 && QByteArrayView(bytes, 3) == QByteArrayView("\xEF\xBB\xBF")) {
                bytes += 3;
                n -= 3;
            }
            first = false;
            parser.Feed(bytes, n);
        }
        int openLine = 0;
        if (!parser.Finish(openLine)) {
            error = QStringLiteral("%1: line %2: a quoted field is not closed").arg(path).arg(openLine);
            return false;
        }
    } catch (const std::bad_alloc &) {
        *this = CsvTable();
        error = QStringLiteral("内存不足，%1 未能读完").arg(path);
        return false;
    }
    return true;
}

QString CsvTable::Value(qsizetype row, int column)
{
    if (row < 0 || row >= RowCount() || column < 0) return QString();
    if (decodedRow_ != row) {
        decoded_.clear();
        const qint64 end = row + 1 < RowCount() ? rowStart_[row + 1] : store_.size();
        for (qint64 at = rowStart_[row]; at < end;) {
            quint64 length = 0;
            for (int shift = 0; at < end; shift += 7) {
                const auto b = uchar(store_[at++]);
                length |= quint64(b & 0x7F) << shift;
                if (!(b & 0x80)) break;
            }
            decoded_.emplace_back(at, qint64(length));
            at += qint64(length);
        }
        decodedRow_ = row;
    }
    if (size_t(column) >= decoded_.size()) return QString();
    const auto [start, length] = decoded_[size_t(column)];
    return QString::fromUtf8(store_.constData() + start, length);
}
