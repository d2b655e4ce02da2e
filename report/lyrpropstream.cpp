#include "report/lyrpropstream.h"

#include "report/lyrutils.h"
#include "report/lyrvariables.h"
#include "report/lyrxml.h"

#include <cstring>
#include <limits>

void TlyrPropWriter::appendLength(quint32 n)
{
    for (int shift = 0; shift < 32; shift += 8) data_.append(static_cast<char>((n >> shift) & 0xFF));
}

void TlyrPropWriter::appendShort(const QByteArray &bytes)
{
    const QByteArray b = bytes.left(255);
    data_.append(static_cast<char>(b.size()));
    data_.append(b);
}

void TlyrPropWriter::WriteInteger(qint64 value)
{
    int bytes;
    if (value >= std::numeric_limits<qint8>::min() && value <= std::numeric_limits<qint8>::max()) {
        WriteValueType(TlyrValueType::vaInt8);
        bytes = 1;
    } else if (value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max()) {
        WriteValueType(TlyrValueType::vaInt16);
        bytes = 2;
    } else if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max()) {
        WriteValueType(TlyrValueType::vaInt32);
        bytes = 4;
    } else {
        WriteValueType(TlyrValueType::vaInt64);
        bytes = 8;
    }
    const auto u = static_cast<quint64>(value);
    for (int i = 0; i < bytes; ++i) data_.append(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void TlyrPropWriter::WriteDouble(double value)
{
    WriteValueType(TlyrValueType::vaExtended);
    quint64 u;
    std::memcpy(&u, &value, sizeof u);
    for (int i = 0; i < 8; ++i) data_.append(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void TlyrPropWriter::WriteString(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    WriteValueType(TlyrValueType::vaUTF8String);
    appendLength(static_cast<quint32>(utf8.size()));
    data_.append(utf8);
}

void TlyrPropWriter::WriteLString(const QByteArray &value)
{
    WriteValueType(TlyrValueType::vaLString);
    appendLength(static_cast<quint32>(value.size()));
    data_.append(value);
}

void TlyrPropWriter::WriteIdent(const QByteArray &value)
{
    WriteValueType(TlyrValueType::vaIdent);
    appendShort(value);
}

void TlyrPropWriter::WriteBinary(const QByteArray &value)
{
    WriteValueType(TlyrValueType::vaBinary);
    appendLength(static_cast<quint32>(value.size()));
    data_.append(value);
}

void TlyrPropWriter::WritePropName(const QByteArray &name)
{
    appendShort(name);
}

void TlyrPropWriter::WriteVariant(const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        WriteValueType(TlyrValueType::vaNil);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        WriteBoolean(value.toBool());
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        WriteInteger(value.toLongLong());
        break;
    case QMetaType::Float:
    case QMetaType::Double:
        WriteDouble(value.toDouble());
        break;
    case QMetaType::QByteArray:
        WriteLString(value.toByteArray());
        break;
    default:
        WriteString(value.toString());
        break;
    }
}

// ---------------------------------------------------------------- reader

void TlyrPropReader::need(qsizetype n) const
{
    if (n < 0 || data_.size() - pos_ < n) throw ElyrPropStreamError();
}

TlyrValueType TlyrPropReader::NextValue() const
{
    need(1);
    return static_cast<TlyrValueType>(static_cast<quint8>(data_[pos_]));
}

TlyrValueType TlyrPropReader::ReadValueType()
{
    const TlyrValueType t = NextValue();
    ++pos_;
    return t;
}

void TlyrPropReader::expect(TlyrValueType type)
{
    if (ReadValueType() != type) throw ElyrPropStreamError();
}

quint64 TlyrPropReader::readUnsigned(int bytes)
{
    need(bytes);
    quint64 u = 0;
    for (int i = 0; i < bytes; ++i) u |= static_cast<quint64>(static_cast<quint8>(data_[pos_ + i])) << (8 * i);
    pos_ += bytes;
    return u;
}

QByteArray TlyrPropReader::readBytes(qsizetype n)
{
    need(n);
    const QByteArray out = data_.sliced(pos_, n);
    pos_ += n;
    return out;
}

QVariant TlyrPropReader::readValueBody(TlyrValueType type, int depth)
{
    if (depth > MaxDepth) throw ElyrPropStreamError();
    switch (type) {
    case TlyrValueType::vaNull:
    case TlyrValueType::vaNil:
        return QVariant();
    case TlyrValueType::vaInt8:
        return static_cast<qint64>(static_cast<qint8>(readUnsigned(1)));
    case TlyrValueType::vaInt16:
        return static_cast<qint64>(static_cast<qint16>(readUnsigned(2)));
    case TlyrValueType::vaInt32:
        return static_cast<qint64>(static_cast<qint32>(readUnsigned(4)));
    case TlyrValueType::vaInt64:
        return static_cast<qint64>(readUnsigned(8));
    case TlyrValueType::vaExtended: {
        const quint64 u = readUnsigned(8);
        double d;
        std::memcpy(&d, &u, sizeof d);
        return d;
    }
    case TlyrValueType::vaFalse:
        return false;
    case TlyrValueType::vaTrue:
        return true;
    case TlyrValueType::vaString:
        return QString::fromUtf8(readBytes(static_cast<qsizetype>(readUnsigned(1))));
    case TlyrValueType::vaIdent:
        return readBytes(static_cast<qsizetype>(readUnsigned(1)));
    case TlyrValueType::vaLString:
    case TlyrValueType::vaUTF8String:
        return QString::fromUtf8(readBytes(static_cast<qsizetype>(readUnsigned(4))));
    case TlyrValueType::vaBinary:
        return readBytes(static_cast<qsizetype>(readUnsigned(4)));
    case TlyrValueType::vaWString: {
        const quint64 units = readUnsigned(4);
        need(static_cast<qsizetype>(units * 2));
        QString s(static_cast<qsizetype>(units), Qt::Uninitialized);
        for (quint64 i = 0; i < units; ++i)
            s[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(readUnsigned(2)));
        return s;
    }
    case TlyrValueType::vaSet: {
        QStringList names;
        for (;;) {
            const QByteArray name = readBytes(static_cast<qsizetype>(readUnsigned(1)));
            if (name.isEmpty()) return names;
            names << QString::fromUtf8(name);
        }
    }
    case TlyrValueType::vaList: {
        QVariantList items;
        while (NextValue() != TlyrValueType::vaNull) items << readValueBody(ReadValueType(), depth + 1);
        ++pos_;
        return items;
    }
    case TlyrValueType::vaCollection: {
        // Items: vaList, property records, vaNull; then vaNull.
        for (TlyrValueType item = ReadValueType(); item != TlyrValueType::vaNull; item = ReadValueType()) {
            if (item != TlyrValueType::vaList) throw ElyrPropStreamError();
            while (NextValue() != TlyrValueType::vaNull) {
                ReadPropName();
                readValueBody(ReadValueType(), depth + 1);
            }
            ++pos_;
        }
        return QVariant();
    }
    }
    throw ElyrPropStreamError();
}

qint64 TlyrPropReader::ReadInteger()
{
    const TlyrValueType t = ReadValueType();
    if (t != TlyrValueType::vaInt8 && t != TlyrValueType::vaInt16 && t != TlyrValueType::vaInt32 &&
        t != TlyrValueType::vaInt64)
        throw ElyrPropStreamError();
    return readValueBody(t, 0).toLongLong();
}

bool TlyrPropReader::ReadBoolean()
{
    const TlyrValueType t = ReadValueType();
    if (t != TlyrValueType::vaTrue && t != TlyrValueType::vaFalse) throw ElyrPropStreamError();
    return t == TlyrValueType::vaTrue;
}

double TlyrPropReader::ReadDouble()
{
    const TlyrValueType t = ReadValueType();
    if (t != TlyrValueType::vaExtended) throw ElyrPropStreamError();
    return readValueBody(t, 0).toDouble();
}

QString TlyrPropReader::ReadString()
{
    const TlyrValueType t = ReadValueType();
    switch (t) {
    case TlyrValueType::vaString:
    case TlyrValueType::vaLString:
    case TlyrValueType::vaUTF8String:
    case TlyrValueType::vaWString:
        return readValueBody(t, 0).toString();
    default:
        throw ElyrPropStreamError();
    }
}

QByteArray TlyrPropReader::ReadRawString()
{
    switch (ReadValueType()) {
    case TlyrValueType::vaString:
        return readBytes(static_cast<qsizetype>(readUnsigned(1)));
    case TlyrValueType::vaLString:
    case TlyrValueType::vaUTF8String:
        return readBytes(static_cast<qsizetype>(readUnsigned(4)));
    default:
        throw ElyrPropStreamError();
    }
}

QByteArray TlyrPropReader::ReadIdent()
{
    expect(TlyrValueType::vaIdent);
    return readBytes(static_cast<qsizetype>(readUnsigned(1)));
}

QByteArray TlyrPropReader::ReadPropName()
{
    return readBytes(static_cast<qsizetype>(readUnsigned(1)));
}

QVariant TlyrPropReader::ReadVariant()
{
    const TlyrValueType t = ReadValueType();
    if (t == TlyrValueType::vaCollection || t == TlyrValueType::vaNull) throw ElyrPropStreamError();
    return readValueBody(t, 0);
}

void TlyrPropReader::SkipValue()
{
    readValueBody(ReadValueType(), 0);
}

// ---------------------------------------------------------------- collections

void lyrWriteCollection(const TlyrCollectionAdapter &collection, TlyrPropWriter &writer, bool serializerWriting)
{
    if (serializerWriting) {
        writer.WriteListBegin();
        for (int i = 0; i < collection.Count(); ++i) {
            writer.WriteListBegin();
            writer.WriteLString(collection.ItemToXML(i));
            writer.WriteListEnd();
        }
        writer.WriteListEnd();
        return;
    }
    writer.WriteCollectionBegin();
    for (int i = 0; i < collection.Count(); ++i) {
        writer.WriteListBegin();
        for (const auto &[name, value] : collection.ItemProperties(i)) {
            writer.WritePropName(name);
            if (value.typeId() == QMetaType::QString)
                writer.WriteString(lyrEncodeHighChars(value.toString()));
            else
                writer.WriteVariant(value);
        }
        writer.WriteListEnd();
    }
    writer.WriteListEnd();
}

void lyrReadCollection(TlyrCollectionAdapter &collection, TlyrPropReader &reader)
{
    collection.Clear();
    try {
        if (reader.NextValue() == TlyrValueType::vaCollection) {
            reader.ReadValueType();
            while (!reader.EndOfList()) {
                reader.ReadListBegin();
                QList<QPair<QByteArray, QVariant>> props;
                while (!reader.EndOfList()) {
                    const QByteArray name = reader.ReadPropName();
                    QVariant value = reader.ReadVariant();
                    if (value.typeId() == QMetaType::QString) value = lyrDecodeHighChars(value.toString());
                    props.append({name, value});
                }
                reader.ReadListEnd();
                collection.AddFromProperties(props);
            }
            reader.ReadListEnd();
            return;
        }
        reader.ReadListBegin();
        while (!reader.EndOfList()) {
            reader.ReadListBegin();
            QByteArray attributes;
            bool found = false;
            while (!reader.EndOfList()) {
                const TlyrValueType t = reader.NextValue();
                if (!found && (t == TlyrValueType::vaString || t == TlyrValueType::vaLString ||
                               t == TlyrValueType::vaUTF8String || t == TlyrValueType::vaWString)) {
                    attributes = reader.ReadString().toUtf8();
                    found = true;
                } else {
                    reader.SkipValue();
                }
            }
            reader.ReadListEnd();
            collection.AddFromXML(attributes);
        }
        reader.ReadListEnd();
    } catch (...) {
        collection.Clear();
        throw;
    }
}

// ---------------------------------------------------------------- variables

int TlyrVariablesAdapter::Count() const
{
    return vars_.Count();
}

QByteArray TlyrVariablesAdapter::ItemToXML(int index) const
{
    const TlyrVariable *v = vars_.Items(index);
    TlyrXMLItem item;
    if (!v->Name.isEmpty()) item.AppendProp("Name", v->Name);
    // A Null value writes no attribute and so reads back as Null.
    if (!v->Value.isNull()) item.AppendProp("Value", v->Value.toString());
    return item.Text;
}

QList<QPair<QByteArray, QVariant>> TlyrVariablesAdapter::ItemProperties(int index) const
{
    const TlyrVariable *v = vars_.Items(index);
    return {{"Name", v->Name}, {"Value", v->Value}};
}

void TlyrVariablesAdapter::Clear()
{
    vars_.Clear();
}

void TlyrVariablesAdapter::AddFromXML(const QByteArray &attributes)
{
    TlyrXMLItem item;
    item.Text = attributes;
    TlyrVariable *v = vars_.Add();
    v->Name = item.Prop("Name");
    if (item.HasProp("Value")) v->Value = item.Prop("Value");
}

void TlyrVariablesAdapter::AddFromProperties(const QList<QPair<QByteArray, QVariant>> &properties)
{
    TlyrVariable *v = vars_.Add();
    for (const auto &[name, value] : properties) {
        if (name.compare("Name", Qt::CaseInsensitive) == 0)
            v->Name = value.toString();
        else if (name.compare("Value", Qt::CaseInsensitive) == 0)
            v->Value = value;
    }
}
