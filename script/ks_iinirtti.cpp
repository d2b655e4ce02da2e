#include "script/ks_iinirtti.h"

#include "script/ks_ibind.h"
#include "script/ks_iclassesrtti.h"
#include "script/ks_isysrtti.h"
#include "script/ksrtl.h"

#include <QFileInfo>

using namespace ksbind;

// ---- KsIniText -------------------------------------------------------------------------

void KsIniText::SetLines(const QStringList &lines)
{
    FSections.clear();
    FSections.push_back(Section{});
    for (const QString &raw : lines) {
        const QString t = raw.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            FSections.push_back(Section{t.mid(1, t.size() - 2).trimmed(), raw, {}});
            continue;
        }
        Line l;
        l.Raw = raw;
        const int eq = t.indexOf(QLatin1Char('='));
        if (!t.isEmpty() && !t.startsWith(QLatin1Char(';')) && !t.startsWith(QLatin1Char('#')) && eq > 0) {
            l.Key = t.left(eq).trimmed();
            l.Value = t.mid(eq + 1).trimmed();
        }
        FSections.back().Lines.push_back(l);
    }
    if (FSections.front().Lines.empty()) FSections.erase(FSections.begin());
}

QStringList KsIniText::Lines() const
{
    QStringList out;
    for (const Section &s : FSections) {
        if (!s.Header.isEmpty() || !s.Name.isEmpty())
            out << (s.Header.isEmpty() ? QLatin1Char('[') + s.Name + QLatin1Char(']') : s.Header);
        for (const Line &l : s.Lines) out << l.Raw;
    }
    return out;
}

KsIniText::Section *KsIniText::Find(const QString &name)
{
    for (Section &s : FSections)
        if ((!s.Header.isEmpty() || !s.Name.isEmpty()) && s.Name.compare(name, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

const KsIniText::Section *KsIniText::Find(const QString &name) const
{
    return const_cast<KsIniText *>(this)->Find(name);
}

KsIniText::Line *KsIniText::FindKey(Section &s, const QString &key)
{
    for (Line &l : s.Lines)
        if (!l.Key.isEmpty() && l.Key.compare(key, Qt::CaseInsensitive) == 0) return &l;
    return nullptr;
}

bool KsIniText::ReadString(const QString &section, const QString &key, QString &value) const
{
    const Section *s = Find(section);
    if (!s) return false;
    Line *l = FindKey(*const_cast<Section *>(s), key);
    if (!l) return false;
    value = l->Value;
    return true;
}

void KsIniText::WriteString(const QString &section, const QString &key, const QString &value)
{
    Section *s = Find(section);
    if (!s) {
        FSections.push_back(Section{section, QLatin1Char('[') + section + QLatin1Char(']'), {}});
        s = &FSections.back();
    }
    const QString raw = key + QLatin1Char('=') + value;
    if (Line *l = FindKey(*s, key)) {
        l->Raw = raw;
        l->Value = value;
        return;
    }
    // A new key goes after the section's last key, before trailing blank lines.
    auto at = s->Lines.end();
    while (at != s->Lines.begin() && (at - 1)->Raw.trimmed().isEmpty()) --at;
    s->Lines.insert(at, Line{raw, key, value});
}

void KsIniText::DeleteKey(const QString &section, const QString &key)
{
    Section *s = Find(section);
    if (!s) return;
    for (auto it = s->Lines.begin(); it != s->Lines.end(); ++it)
        if (!it->Key.isEmpty() && it->Key.compare(key, Qt::CaseInsensitive) == 0) {
            s->Lines.erase(it);
            return;
        }
}

void KsIniText::EraseSection(const QString &section)
{
    for (auto it = FSections.begin(); it != FSections.end(); ++it)
        if ((!it->Header.isEmpty() || !it->Name.isEmpty()) && it->Name.compare(section, Qt::CaseInsensitive) == 0) {
            FSections.erase(it);
            return;
        }
}

bool KsIniText::SectionExists(const QString &section) const
{
    return Find(section) != nullptr;
}

QStringList KsIniText::Sections() const
{
    QStringList out;
    for (const Section &s : FSections)
        if (!s.Header.isEmpty() || !s.Name.isEmpty()) out << s.Name;
    return out;
}

QStringList KsIniText::Keys(const QString &section) const
{
    QStringList out;
    if (const Section *s = Find(section))
        for (const Line &l : s->Lines)
            if (!l.Key.isEmpty()) out << l.Key;
    return out;
}

QStringList KsIniText::NameValues(const QString &section) const
{
    QStringList out;
    if (const Section *s = Find(section))
        for (const Line &l : s->Lines)
            if (!l.Key.isEmpty()) out << l.Key + QLatin1Char('=') + l.Value;
    return out;
}

// ---- the file classes ------------------------------------------------------------------

namespace {

QStringList SplitLines(const QByteArray &bytes)
{
    QString t = QString::fromUtf8(bytes);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QByteArray JoinLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines) {
        out += l.toUtf8();
        out += '\n';
    }
    return out;
}

// A missing file reads as empty; one that exists but cannot be read raises.
QStringList ReadIniFile(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo::exists(fileName)) return {};
    return SplitLines(ksReadFileBytes(fileName));
}

}  // namespace

void TCustomIniFile::Open(const QString &fileName)
{
    FFileName = fileName;
}

QString TCustomIniFile::ReadString(const QString &section, const QString &key, const QString &def)
{
    BeforeRead();
    QString v;
    return FText.ReadString(section, key, v) ? v : def;
}

void TCustomIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    BeforeRead();
    FText.WriteString(section, key, value);
    AfterWrite();
}

void TCustomIniFile::DeleteKey(const QString &section, const QString &key)
{
    BeforeRead();
    FText.DeleteKey(section, key);
    AfterWrite();
}

void TCustomIniFile::EraseSection(const QString &section)
{
    BeforeRead();
    FText.EraseSection(section);
    AfterWrite();
}

bool TCustomIniFile::SectionExists(const QString &section)
{
    BeforeRead();
    return FText.SectionExists(section);
}

bool TCustomIniFile::ValueExists(const QString &section, const QString &key)
{
    BeforeRead();
    QString v;
    return FText.ReadString(section, key, v);
}

QStringList TCustomIniFile::Sections()
{
    BeforeRead();
    return FText.Sections();
}

QStringList TCustomIniFile::Keys(const QString &section)
{
    BeforeRead();
    return FText.Keys(section);
}

QStringList TCustomIniFile::NameValues(const QString &section)
{
    BeforeRead();
    return FText.NameValues(section);
}

QStringList TCustomIniFile::Lines()
{
    BeforeRead();
    return FText.Lines();
}

void TCustomIniFile::SetLines(const QStringList &lines)
{
    FText.SetLines(lines);
    AfterWrite();
}

void TMemIniFile::Open(const QString &fileName)
{
    TCustomIniFile::Open(fileName);
    FText.SetLines(ReadIniFile(fileName));
}

void TIniFile::BeforeRead()
{
    FText.SetLines(ReadIniFile(FFileName));
}

void TIniFile::AfterWrite()
{
    ksWriteFileBytes(FFileName, JoinLines(FText.Lines()));
}

// ---- registration ----------------------------------------------------------------------

namespace {

KsValue Nothing()
{
    return KsValue(0);
}

struct IniInfo {
    const KsClassInfo *Custom, *Mem, *File;
};

const IniInfo &Info()
{
    static const IniInfo info = [] {
        const KsClassesInfo &ci = ksClassesInfo();
        IniInfo i{};
        i.Custom = RegisterClass<TCustomIniFile, false>(ci.Object);
        i.Mem = RegisterClass<TMemIniFile>(ci.Object);
        i.File = RegisterClass<TIniFile>(ci.Object);
        return i;
    }();
    return info;
}

void FillStrings(TksMethodHelper *h, int i, const QStringList &lines)
{
    ObjArgAs<TStrings>(h, i, ksClassesInfo().Strings)->SetList(lines);
}

// A typed write: the value (argument 2) as the text the file keeps.
Fn<TCustomIniFile> WriteAs(QString (*text)(const KsValue &))
{
    return [text](TCustomIniFile *t, TksMethodHelper *h) {
        t->WriteString(StrArg(h, 0), StrArg(h, 1), text(h->GetParam(2)));
        return Nothing();
    };
}

double ReadSerial(TCustomIniFile *t, TksMethodHelper *h, bool (*parse)(const QString &, double &))
{
    const QString v = t->ReadString(StrArg(h, 0), StrArg(h, 1), QString());
    double d = 0;
    return !v.isEmpty() && parse(v, d) ? d : h->GetParam(2).ToDouble();
}

// Members served by both file classes (registered on each, as the module
// lists them per class).
template <class T>
void AddFileMembers(Binder<T> &b, bool mem)
{
    b.Method(QStringLiteral("procedure WriteString(const Section, Ident, Value: String)"),
             [](T *t, TksMethodHelper *h) {
                 t->WriteString(StrArg(h, 0), StrArg(h, 1), StrArg(h, 2));
                 return Nothing();
             })
            .Method(QStringLiteral("function ReadString(const Section, Ident, Default: String): String;"),
                    [](T *t, TksMethodHelper *h) {
                        return KsValue(t->ReadString(StrArg(h, 0), StrArg(h, 1), StrArg(h, 2)));
                    })
            .Method(QStringLiteral("procedure ReadSectionValuesEx(const Section: String; Strings: TStrings)"),
                    [](T *t, TksMethodHelper *h) {
                        QStringList values;
                        for (const QString &line : t->NameValues(StrArg(h, 0)))
                            values << line.section(QLatin1Char('='), 1);
                        FillStrings(h, 1, values);
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure DeleteKey(const Section, Ident: String)"),
                    [](T *t, TksMethodHelper *h) {
                        t->DeleteKey(StrArg(h, 0), StrArg(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure ReadSection(const Section: String; Strings: TStrings)"),
                    [](T *t, TksMethodHelper *h) {
                        FillStrings(h, 1, t->Keys(StrArg(h, 0)));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure ReadSections(Strings: TStrings)"),
                    [](T *t, TksMethodHelper *h) {
                        FillStrings(h, 0, t->Sections());
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure ReadSectionValues(const Section: String; Strings: TStrings)"),
                    [](T *t, TksMethodHelper *h) {
                        FillStrings(h, 1, t->NameValues(StrArg(h, 0)));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure EraseSection(const Section: String)"), [](T *t, TksMethodHelper *h) {
                t->EraseSection(StrArg(h, 0));
                return Nothing();
            });
    if (mem)
        b.Method(QStringLiteral("procedure Clear"),
                 [](T *t, TksMethodHelper *) {
                     t->SetLines({});
                     return Nothing();
                 })
                .Method(QStringLiteral("procedure GetStrings(List: TStrings)"),
                        [](T *t, TksMethodHelper *h) {
                            FillStrings(h, 0, t->Lines());
                            return Nothing();
                        })
                .Method(QStringLiteral("procedure SetStrings(List: TStrings)"), [](T *t, TksMethodHelper *h) {
                    t->SetLines(ObjArgAs<TStrings>(h, 0, ksClassesInfo().Strings)->ToList());
                    return Nothing();
                });
    // Nothing happens without a stream (nil).
    b.Method(QStringLiteral("procedure SaveIniFileToStream(oStream: TStream)"), [](T *t, TksMethodHelper *h) {
         if (auto *s = ObjArgAs<TStream>(h, 0, ksClassesInfo().Stream, true)) s->WriteAll(JoinLines(t->Lines()));
         return Nothing();
     }).Method(QStringLiteral("procedure LoadIniFileFromStream(oStream: TStream)"), [](T *t, TksMethodHelper *h) {
        if (auto *s = ObjArgAs<TStream>(h, 0, ksClassesInfo().Stream, true)) t->SetLines(SplitLines(s->ReadAll()));
        return Nothing();
    });
}

}  // namespace

TksIniFunctions::TksIniFunctions(TksScript *s) : TksRTTIModule(s)
{
    const IniInfo &ii = Info();
    Binder<TCustomIniFile> c(s->AddClass(ii.Custom, QStringLiteral("TObject")));
    c.Constructor(QStringLiteral("constructor Create(const FileName: String)"),
                  [](TCustomIniFile *t, TksMethodHelper *h) {
                      t->Open(StrArg(h, 0));
                      return Nothing();
                  })
            .Method(QStringLiteral("function ReadInteger(const Section, Ident: String; Default: LongInt): LongInt"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        qint64 v = 0;
                        const QString text = t->ReadString(StrArg(h, 0), StrArg(h, 1), QString());
                        return ksTryStrToInt64(text, v) ? KsValue::FromInt(v) : KsValue(IntArg(h, 2));
                    })
            .Method(QStringLiteral("procedure WriteInteger(const Section, Ident: String; Value: LongInt)"),
                    WriteAs([](const KsValue &v) { return QString::number(v.ToInt64()); }))
            .Method(QStringLiteral("function ReadBool(const Section, Ident: String; Default: Boolean): Boolean"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        qint64 v = 0;
                        const QString text = t->ReadString(StrArg(h, 0), StrArg(h, 1), QString());
                        return ksTryStrToInt64(text, v) ? KsValue(v != 0) : KsValue(BoolArg(h, 2));
                    })
            .Method(QStringLiteral("procedure WriteBool(const Section, Ident: String; Value: Boolean)"),
                    WriteAs([](const KsValue &v) { return v.ToBool() ? QStringLiteral("1") : QStringLiteral("0"); }))
            .Method(QStringLiteral("function ReadDate(const Section, Name: String; Default: TDateTime): TDateTime"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        return KsValue::FromDate(ReadSerial(t, h, ksTryStrToDate));
                    })
            .Method(QStringLiteral("procedure WriteDate(const Section, Name: String; Value: TDateTime)"),
                    WriteAs([](const KsValue &v) { return ksDateToStr(v.ToDouble()); }))
            .Method(QStringLiteral("function ReadDateTime(const Section, Name: String; Default: TDateTime): TDateTime"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        return KsValue::FromDate(ReadSerial(t, h, ksTryStrToDateTime));
                    })
            .Method(QStringLiteral("procedure WriteDateTime(const Section, Name: String; Value: TDateTime)"),
                    WriteAs([](const KsValue &v) { return ksDateTimeToStr(v.ToDouble()); }))
            .Method(QStringLiteral("function ReadFloat(const Section, Name: String; Default: Double): Double"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        double v = 0;
                        const QString text = t->ReadString(StrArg(h, 0), StrArg(h, 1), QString());
                        return ksTryStrToFloat(text, v) ? KsValue(v) : KsValue(h->GetParam(2).ToDouble());
                    })
            .Method(QStringLiteral("procedure WriteFloat(const Section, Name: String; Value: Double)"),
                    WriteAs([](const KsValue &v) { return ksFloatToStr(v.ToDouble()); }))
            .Method(QStringLiteral("function ReadTime(const Section, Name: String; Default: TDateTime): TDateTime"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        return KsValue::FromDate(ReadSerial(t, h, ksTryStrToTime));
                    })
            .Method(QStringLiteral("procedure WriteTime(const Section, Name: String; Value: TDateTime);"),
                    WriteAs([](const KsValue &v) { return ksTimeToStr(v.ToDouble()); }))
            .Method(QStringLiteral("function ReadBinaryStream(const Section, Name: String; Value: TStream): Integer"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        auto *s = ObjArgAs<TStream>(h, 2, ksClassesInfo().Stream);
                        const QByteArray bytes =
                                QByteArray::fromHex(t->ReadString(StrArg(h, 0), StrArg(h, 1), QString()).toLatin1());
                        s->WriteAll(bytes);
                        return KsValue(int(bytes.size()));
                    })
            .Method(QStringLiteral("procedure WriteBinaryStream(const Section, Name: String; Value: TStream)"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        auto *s = ObjArgAs<TStream>(h, 2, ksClassesInfo().Stream);
                        s->SetPosition(0);
                        t->WriteString(StrArg(h, 0), StrArg(h, 1), QString::fromLatin1(s->ReadAll().toHex().toUpper()));
                        return Nothing();
                    })
            .Method(QStringLiteral("function SectionExists(const Section: String): Boolean"),
                    [](TCustomIniFile *t, TksMethodHelper *h) { return KsValue(t->SectionExists(StrArg(h, 0))); })
            .Method(QStringLiteral("function ValueExists(const Section, Ident: String): Boolean"),
                    [](TCustomIniFile *t, TksMethodHelper *h) {
                        return KsValue(t->ValueExists(StrArg(h, 0), StrArg(h, 1)));
                    })
            .Property(QStringLiteral("FileName"), QStringLiteral("String"),
                      [](TCustomIniFile *t) { return KsValue(t->FileName()); });

    Binder<TMemIniFile> m(s->AddClass(ii.Mem, QStringLiteral("TCustomIniFile")));
    m.Constructor(QStringLiteral("constructor Create(const FileName: String)"), [](TMemIniFile *t, TksMethodHelper *h) {
        t->Open(StrArg(h, 0));
        return Nothing();
    });
    AddFileMembers(m, true);
    Binder<TIniFile> f(s->AddClass(ii.File, QStringLiteral("TCustomIniFile")));
    AddFileMembers(f, false);
}
