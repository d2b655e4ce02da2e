#pragma once
// TWideStrings: the list of lines behind the texts of text objects, with its
// ANSI (GBK), UTF-16 and UTF-8 forms.

#include "report/lyrexception.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

// Conversions between the system's ANSI code page (GBK) and Unicode. Bytes
// that are not GBK become U+FFFD; characters GBK cannot hold become "?".
QString lyrAnsiToWide(QByteArrayView ansi);
QByteArray lyrWideToAnsi(const QString &text);

class TlyrPropReader;
class TlyrPropWriter;

class EWideStringError : public ElyrError {
public:
    using ElyrError::ElyrError;
};

class TWideStrings {
public:
    using Object = std::intptr_t;

    TWideStrings() = default;

    int Count() const { return static_cast<int>(lines_.size()); }
    QString Get(int i) const;
    QString operator[](int i) const { return Get(i); }
    void Put(int i, const QString &s);
    Object GetObject(int i) const;
    void PutObject(int i, Object o);
    int Add(const QString &s) { return AddObject(s, 0); }
    int AddObject(const QString &s, Object o);
    void AddStrings(const TWideStrings &list);
    void Delete(int i);
    int IndexOf(const QString &s) const;
    void Clear();

    // All lines, each followed by CR LF.
    QString Text() const;
    // Clears, then splits at CR, LF or U+2028 (CR LF counts once).
    void SetText(const QString &text);

    void Assign(const TWideStrings &source);
    void Assign(const QStringList &source);
    void AssignTo(QStringList &dest) const;
    // ANSI string lists: every line converted from or to GBK.
    void AssignAnsi(const QList<QByteArray> &source);
    QList<QByteArray> ToAnsi() const;

    // The stored form of component streams: one UTF-8 string per line.
    QList<QByteArray> UTF8() const;
    void SetUTF8(const QList<QByteArray> &lines);

    // Streams and files. Loading takes UTF-16 LE after FF FE, UTF-8 after
    // EF BB BF or when the bytes are well-formed UTF-8 with characters beyond
    // ASCII, and GBK otherwise. Saving writes UTF-16 LE behind FF FE; a file
    // is replaced only once it was written completely.
    void LoadFromStream(QIODevice &stream);
    void LoadFromBytes(QByteArrayView bytes);
    void SaveToStream(QIODevice &stream) const;
    QByteArray SaveToBytes() const;
    // Raise EWideStringError with the file name when the file cannot be opened.
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;

    // Component streams: "UTF8" holds a list of 8-bit strings, each the
    // UTF-8 form of one line (written only when the list is not empty);
    // the older "Strings" holds ANSI or wide strings and is only read.
    void WriteUTF8Property(TlyrPropWriter &writer) const;
    void ReadUTF8Property(TlyrPropReader &reader);
    void ReadStringsProperty(TlyrPropReader &reader);

    bool operator==(const TWideStrings &other) const { return lines_ == other.lines_ && objects_ == other.objects_; }

private:
    QStringList lines_;
    QList<Object> objects_;
};
