#pragma once
// The binary value stream behind the PropData attribute and the streamed
// collections ("Datasets", "Variables", "Style").
//
// Every value starts with one type byte (TlyrValueType), followed by:
//   vaNull          nothing; ends a list, a collection or a property record
//   vaList          values up to vaNull
//   vaInt8/16/32/64 a signed integer of 1, 2, 4 or 8 bytes
//   vaExtended      an IEEE double, 8 bytes
//   vaString        1-byte length, bytes (UTF-8)
//   vaIdent         1-byte length, bytes (an identifier or enumeration name)
//   vaFalse/vaTrue  nothing
//   vaBinary        4-byte length, bytes
//   vaSet           identifiers (1-byte length, bytes) ended by an empty one
//   vaLString       4-byte length, bytes (8-bit text)
//   vaNil           nothing (a cleared reference)
//   vaCollection    items up to vaNull; each item is vaList, property
//                   records, vaNull
//   vaUTF8String    4-byte length, UTF-8 bytes
//   vaWString       4-byte count, UTF-16 LE code units
// A property record is its name (1-byte length, bytes, no type byte) followed
// by one value. All numbers are little-endian. The reader checks every length
// against the data and raises ElyrPropStreamError on damaged input.

#include "report/lyrexception.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

enum class TlyrValueType : quint8 {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};

class ElyrPropStreamError : public ElyrError {
public:
    ElyrPropStreamError() : ElyrError(QStringLiteral("属性数据已损坏")) {}
};

class TlyrPropWriter {
public:
    const QByteArray &Data() const { return data_; }

    void WriteValueType(TlyrValueType type) { data_.append(static_cast<char>(type)); }
    void WriteListBegin() { WriteValueType(TlyrValueType::vaList); }
    void WriteListEnd() { WriteValueType(TlyrValueType::vaNull); }
    void WriteCollectionBegin() { WriteValueType(TlyrValueType::vaCollection); }
    // The smallest integer form that holds value.
    void WriteInteger(qint64 value);
    void WriteBoolean(bool value) { WriteValueType(value ? TlyrValueType::vaTrue : TlyrValueType::vaFalse); }
    void WriteDouble(double value);
    void WriteString(const QString &value);      // vaUTF8String
    void WriteLString(const QByteArray &value);  // vaLString
    void WriteIdent(const QByteArray &value);    // vaIdent (at most 255 bytes)
    void WriteBinary(const QByteArray &value);
    void WritePropName(const QByteArray &name);  // at most 255 bytes
    // Null as vaNil, Booleans, integers, doubles, strings; other types as text.
    void WriteVariant(const QVariant &value);

private:
    void appendLength(quint32 n);
    void appendShort(const QByteArray &bytes);
    QByteArray data_;
};

class TlyrPropReader {
public:
    // Keeps a (shared) copy of data.
    explicit TlyrPropReader(const QByteArray &data) : data_(data) {}

    // Nesting deeper than this is taken as damage.
    static constexpr int MaxDepth = 256;

    bool AtEnd() const { return pos_ >= data_.size(); }
    qsizetype Position() const { return pos_; }
    // The next value's type without reading it.
    TlyrValueType NextValue() const;
    TlyrValueType ReadValueType();
    // True when the next value is the vaNull that ends a list.
    bool EndOfList() const { return NextValue() == TlyrValueType::vaNull; }
    void ReadListBegin() { expect(TlyrValueType::vaList); }
    void ReadListEnd() { expect(TlyrValueType::vaNull); }
    qint64 ReadInteger();
    bool ReadBoolean();
    double ReadDouble();
    // Any of the string forms (8-bit forms read as UTF-8).
    QString ReadString();
    // The bytes of an 8-bit string form (vaString, vaLString, vaUTF8String)
    // as they stand.
    QByteArray ReadRawString();
    QByteArray ReadIdent();
    QByteArray ReadPropName();
    QVariant ReadVariant();
    // Reads past one value of any type.
    void SkipValue();

private:
    void expect(TlyrValueType type);
    void need(qsizetype n) const;
    quint64 readUnsigned(int bytes);
    QByteArray readBytes(qsizetype n);
    QVariant readValueBody(TlyrValueType type, int depth);

    QByteArray data_;
    qsizetype pos_ = 0;
};

// A collection as its streaming sees it (the owner supplies the attribute
// texts, which the template serializer writes and reads).
class TlyrCollectionAdapter {
public:
    virtual ~TlyrCollectionAdapter() = default;
    virtual int Count() const = 0;
    // The item's attribute text as the serializer writes it.
    virtual QByteArray ItemToXML(int index) const = 0;
    // The item's stored properties for the plain collection form.
    virtual QList<QPair<QByteArray, QVariant>> ItemProperties(int index) const = 0;
    virtual void Clear() = 0;
    // A new item from an attribute text.
    virtual void AddFromXML(const QByteArray &attributes) = 0;
    // A new item from property records (strings already unescaped).
    virtual void AddFromProperties(const QList<QPair<QByteArray, QVariant>> &properties) = 0;
};

// While the serializer writes the owner: a list of one-string lists, each the
// item's attribute text; otherwise the plain collection form.
void lyrWriteCollection(const TlyrCollectionAdapter &collection, TlyrPropWriter &writer, bool serializerWriting);
// Reads either form. The plain form's strings are decoded from the
// high-character escape. On damage the collection is left cleared and
// ElyrPropStreamError is raised.
void lyrReadCollection(TlyrCollectionAdapter &collection, TlyrPropReader &reader);

class TlyrVariables;
// The adapter of report variables: items "Name" and "Value" (a string).
class TlyrVariablesAdapter : public TlyrCollectionAdapter {
public:
    explicit TlyrVariablesAdapter(TlyrVariables &variables) : vars_(variables) {}
    int Count() const override;
    QByteArray ItemToXML(int index) const override;
    QList<QPair<QByteArray, QVariant>> ItemProperties(int index) const override;
    void Clear() override;
    void AddFromXML(const QByteArray &attributes) override;
    void AddFromProperties(const QList<QPair<QByteArray, QVariant>> &properties) override;

private:
    TlyrVariables &vars_;
};
