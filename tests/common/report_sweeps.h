#pragma once
// Sweeps over every registered report class, shared by the report tests and
// the engine's (which register more classes): script enumeration constants
// in the four languages, and templates saved and loaded back.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrclassrtti.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdmpclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrvariables.h"
#include "report/lyrview.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_props.h"

#include <QBuffer>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace lyrsweep {

// One statement list in the four languages: assigning a value to a
// designator and keeping what it reads back in the global variables.
struct ScriptDialect {
    const char *Lang;
    const char *Begin;
    const char *Assign;  // %1 designator, %2 value
    const char *Keep;    // %1 key, %2 expression
    const char *End;
};

inline const ScriptDialect kDialects[] = {
        {"PascalScript", "begin\n", "  %1 := %2;\n", "  lyrGlobalVariables['%1'] := %2;\n", "end.\n"},
        {"C++Script", "{\n", "  %1 = %2;\n", "  lyrGlobalVariables[\"%1\"] = %2;\n", "}\n"},
        {"JScript", "", "%1 = %2;\n", "lyrGlobalVariables[\"%1\"] = %2;\n", ""},
        {"BasicScript", "", "%1 = %2\n", "lyrGlobalVariables(\"%1\") = %2\n", ""}};

// Compiles and runs s; the compile error, the text of a run that raised, or
// the run's own error, else empty.
inline QString compileAndRun(TksScript &s)
{
    if (!s.Compile()) return QStringLiteral("compile: ") + s.ErrorMsg;
    try {
        s.Execute();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return s.ErrorMsg;
}

// Runs text in the dialect's language with O as the object.
inline QString runOn(const ScriptDialect &d, QObject *o, const QString &text)
{
    TksScript s;
    s.SyntaxType = QString::fromLatin1(d.Lang);
    s.AddRTTI();
    s.AddObject(QStringLiteral("O"), o);
    s.Lines = (QString::fromLatin1(d.Begin) + text + QString::fromLatin1(d.End)).split(u'\n');
    return compileAndRun(s);
}

// A published enumeration (or set) property, reached from an object of a
// registered class along its persistent sub-objects.
struct EnumTarget {
    QObject *Root;
    QString Path;  // "O.PrintOptions.PrintPages"
    const KsPropInfo *Prop;
    QList<QPair<QString, qint64>> Constants;  // the property's names the scripts know, with their values
};

// Assigns every script constant named by a published enumeration or set
// property of every registered class (and of their persistent parts) to
// that property, in every language. Gives the failures, each with its
// language, class and designator; paths gets the designators tried.
inline QStringList lyrEnumConstantFailures(QStringList &paths)
{
    lyrGlobalVariables().Clear();
    TksScript known;
    known.AddRTTI();
    auto constantOf = [&](const QString &name, qint64 &value) {
        TksCustomVariable *c = known.Find(name);
        // Enumeration values, and the integer constants some types are named by.
        if (!c || (c->TypeCode != tcEnum && c->TypeCode != tcInteger) || !c->ReadOnly) return false;
        value = c->Value.ToInt64();
        return true;
    };
    std::vector<std::unique_ptr<QObject>> roots;
    std::vector<EnumTarget> targets;
    QSet<const KsPropInfo *> seen;
    std::function<void(QObject *, QObject *, const QString &, int)> walk = [&](QObject *root, QObject *o,
                                                                               const QString &path, int depth) {
        const KsClassInfo *cls = ksClassInfoOf(o);
        if (!cls) return;
        for (const KsPropInfo *p : cls->Properties()) {
            if (p->Kind == KsPropKind::Class && depth < 2 && p->Get) {
                QObject *sub = o->property(p->Name.toLatin1().constData()).value<QObject *>();
                if (sub && !qobject_cast<TlyrComponent *>(sub)) walk(root, sub, path + u'.' + p->Name, depth + 1);
                continue;
            }
            if ((p->Kind != KsPropKind::Enumeration && p->Kind != KsPropKind::Set) || p->IsReadOnly() ||
                seen.contains(p))
                continue;
            seen.insert(p);
            EnumTarget t{root, path + u'.' + p->Name, p, {}};
            for (const QString &n : p->EnumNames) {
                qint64 v = 0;
                if (constantOf(n, v)) t.Constants << qMakePair(n, v);
            }
            if (!t.Constants.isEmpty()) targets.push_back(t);
        }
    };
    for (const KsClassInfo *cls : ksRegisteredClasses()) {
        if (!cls->Factory) continue;
        QObject *o = cls->Create(nullptr);
        if (!o) continue;
        roots.emplace_back(o);
        walk(o, o, QStringLiteral("O"), 0);
    }
    for (const EnumTarget &t : targets) paths << t.Path.section(u'.', 1);
    QStringList failures;
    for (const ScriptDialect &d : kDialects) {
        for (const EnumTarget &t : targets) {
            QString text;
            for (int i = 0; i < t.Constants.size(); ++i) {
                text += QString::fromLatin1(d.Assign).arg(t.Path, t.Constants[i].first);
                text += QString::fromLatin1(d.Keep).arg(QStringLiteral("v%1").arg(i), t.Path);
            }
            lyrGlobalVariables().Clear();
            const QString error = runOn(d, t.Root, text);
            const QString where = QString::fromLatin1(d.Lang) + u' ' + ksClassNameOf(t.Root) + u' ' + t.Path;
            if (!error.isEmpty()) {
                failures << where + QStringLiteral(": ") + error;
                continue;
            }
            for (int i = 0; i < t.Constants.size(); ++i) {
                const QVariant got = lyrGlobalVariables().Variables(QStringLiteral("v%1").arg(i));
                if (got.toLongLong() != t.Constants[i].second)
                    failures << where + QStringLiteral(" := %1 reads back %2, not %3")
                                                .arg(t.Constants[i].first, got.toString())
                                                .arg(t.Constants[i].second);
            }
        }
    }
    lyrGlobalVariables().Clear();
    return failures;
}

enum class Fill { Own, Defaults };

// Not values of the object itself: the name, what loads another template,
// and the password that loading would ask for.
inline bool leftOut(const KsPropInfo *p)
{
    return p->Name == QLatin1String("Name") || p->Name == QLatin1String("ParentReport") ||
           p->Name == QLatin1String("Password");
}

inline bool isStringList(const QObject *o, const KsPropInfo *p)
{
    return o->property(p->Name.toLatin1().constData()).metaType().id() == QMetaType::QStringList;
}

inline QObject *subObject(const QObject *o, const KsPropInfo *p)
{
    return o->property(p->Name.toLatin1().constData()).value<QObject *>();
}

inline KsValue ownValue(const KsPropInfo *p, const KsValue &now)
{
    switch (p->Kind) {
    case KsPropKind::Boolean:
        return KsValue(!now.ToBool());
    case KsPropKind::Enumeration:
        for (qsizetype i = p->EnumValues.size() - 1; i >= 0; --i)
            if (p->EnumValues[i] != now.ToInt64()) return KsValue::FromInt(p->EnumValues[i]);
        return now;
    case KsPropKind::Set: {
        qint64 all = 0;
        for (int v : p->EnumValues) all |= v;
        return KsValue::FromInt(all == now.ToInt64() ? 0 : all);
    }
    case KsPropKind::Integer:
        return KsValue::FromInt(now.ToInt64() + 3);
    case KsPropKind::Float:
        return KsValue(now.ToDouble() + 19.2);
    case KsPropKind::Char:
        return KsValue(QStringLiteral("x"));
    default:
        return KsValue(QStringLiteral("v") + p->Name);
    }
}

inline KsValue defaultValue(const KsPropInfo *p)
{
    if (p->HasDefault) return p->Default;
    switch (p->Kind) {
    case KsPropKind::Boolean:
        return KsValue(false);
    case KsPropKind::Enumeration:
    case KsPropKind::Set:
    case KsPropKind::Integer:
        return KsValue::FromInt(0);
    case KsPropKind::Float:
        return KsValue(0.0);
    default:
        return KsValue(QString());
    }
}

// Gives every writable published value of o, and of its persistent
// sub-objects, a value of its own or its declared default. Values an
// object refuses keep what it had.
inline void fill(QObject *o, Fill how)
{
    const KsClassInfo *cls = ksClassInfoOf(o);
    if (!cls) return;
    const KsPropInfo *parentFont = nullptr;
    for (const KsPropInfo *p : cls->Properties()) {
        if (leftOut(p) || !p->Get) continue;
        if (p->Kind == KsPropKind::Class) {
            QObject *sub = subObject(o, p);
            if (sub && !qobject_cast<TlyrComponent *>(sub)) fill(sub, how);
            continue;
        }
        if (!p->Set || !p->Stored || p->Kind == KsPropKind::Method) continue;
        if (p->Name == QLatin1String("ParentFont")) {
            parentFont = p;
            continue;
        }
        try {
            if (isStringList(o, p)) {
                const QStringList lines =
                        how == Fill::Own ? QStringList{QStringLiteral("a"), QStringLiteral("b")} : QStringList();
                o->setProperty(p->Name.toLatin1().constData(), lines);
                continue;
            }
            p->Set(o, how == Fill::Own ? ownValue(p, p->Get(o)) : defaultValue(p));
        } catch (const std::exception &) {}
    }
    // Last, so that the font values above do not decide it.
    if (parentFont) parentFont->Set(o, KsValue(false));
}

inline bool sameValue(const KsPropInfo *p, const KsValue &a, const KsValue &b)
{
    if (p->Kind == KsPropKind::Float) return std::fabs(a.ToDouble() - b.ToDouble()) < 0.000001;
    if (p->Kind == KsPropKind::Variant) return a.ToText() == b.ToText();
    return ksEquals(a, b);
}

// The host's settings, which a report keeps when it loads a template.
inline bool keptByTheLoadingReport(const QString &path)
{
    static const QStringList kept{"Report.IniFile", "Report.OldStyleProgress", "Report.Preview", "Report.ShowProgress",
                                  "Report.StoreInDFM"};
    static const QStringList taken{"Report.EngineOptions.ConvertNulls",   "Report.EngineOptions.DoublePass",
                                   "Report.PreviewOptions.OutlineExpand", "Report.PreviewOptions.OutlineVisible",
                                   "Report.PreviewOptions.OutlineWidth",  "Report.PreviewOptions.PagesInCache"};
    if (kept.contains(path)) return true;
    return (path.startsWith(QLatin1String("Report.EngineOptions.")) ||
            path.startsWith(QLatin1String("Report.PreviewOptions."))) &&
           !taken.contains(path);
}

// Every published value of a that b does not share, by dotted path.
inline void differences(QObject *a, QObject *b, const QString &path, QStringList &out)
{
    const KsClassInfo *cls = ksClassInfoOf(a);
    if (!cls) return;
    for (const KsPropInfo *p : cls->Properties()) {
        if (leftOut(p) || !p->Get || p->Kind == KsPropKind::Method) continue;
        const QString at = path + u'.' + p->Name;
        if (keptByTheLoadingReport(at)) continue;
        if (p->Kind == KsPropKind::Class) {
            QObject *x = subObject(a, p), *y = subObject(b, p);
            if (qobject_cast<TlyrComponent *>(x) || qobject_cast<TlyrComponent *>(y)) {
                const QString nx = x ? x->objectName() : QString(), ny = y ? y->objectName() : QString();
                if (nx != ny) out << at + QStringLiteral(": %1, loaded %2").arg(nx, ny);
            } else if (x && y) {
                differences(x, y, at, out);
            }
            continue;
        }
        if (!p->Stored) continue;
        if (isStringList(a, p)) {
            const QStringList x = a->property(p->Name.toLatin1().constData()).toStringList();
            const QStringList y = b->property(p->Name.toLatin1().constData()).toStringList();
            if (x != y) out << at + QStringLiteral(": [%1], loaded [%2]").arg(x.join(u','), y.join(u','));
            continue;
        }
        const KsValue x = p->Get(a), y = p->Get(b);
        if (!sameValue(p, x, y)) out << at + QStringLiteral(": %1, loaded %2").arg(x.ToText(), y.ToText());
    }
}

// Where an object of the class stands in a template.
enum class Home { None, Report, DataPage, ReportPage, Band, DialogPage, DMPBand };

inline Home homeOf(const QMetaObject *m)
{
    auto is = [m](const QMetaObject &base) { return m->inherits(&base); };
    if (is(TlyrReport::staticMetaObject) || !is(TlyrComponent::staticMetaObject)) return Home::None;
    if (m == &TlyrComponent::staticMetaObject || m == &TlyrReportComponent::staticMetaObject) return Home::None;
    // The report keeps one data page, named Data.
    if (is(TlyrDataPage::staticMetaObject)) return Home::None;
    if (is(TlyrPage::staticMetaObject)) return Home::Report;
    if (is(TlyrBand::staticMetaObject)) return Home::ReportPage;
    if (is(TlyrDialogControl::staticMetaObject)) return Home::DialogPage;
    if (is(TlyrDialogComponent::staticMetaObject)) return Home::DataPage;
    if (QByteArray(m->className()).startsWith("TlyrDMP")) return Home::DMPBand;
    if (is(TlyrView::staticMetaObject)) return Home::Band;
    return Home::None;
}

// One template holding an object of every registered report class, each
// given values of its own or values equal to its declared defaults, under
// parents whose fonts are not the font's defaults; saved and loaded into
// another report. Gives every published value that did not come back (the
// host settings a loading report keeps aside), each by its dotted path;
// objects gets the number of objects made, xml the template.
inline QStringList lyrTemplateRoundTripDifferences(Fill how, int &objects, QByteArray &xml)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    auto *data = new TlyrDataPage(&report);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrReportPage(&report);
    page->SetName(QStringLiteral("Page1"));
    page->Font()->SetSize(12);
    page->Font()->SetColor(0x0000FF);
    page->Font()->SetStyle(TlyrFont::fsBold);
    page->Font()->SetCharset(204);
    auto *band = new TlyrMasterData(page);
    band->SetName(QStringLiteral("Band1"));
    auto *dmp = new TlyrDMPPage(&report);
    dmp->SetName(QStringLiteral("DMPPage1"));
    dmp->SetFontStyle(fsxBold);
    auto *dmpBand = new TlyrMasterData(dmp);
    dmpBand->SetName(QStringLiteral("DMPBand1"));
    auto *dialog = new TlyrDialogPage(&report);
    dialog->SetName(QStringLiteral("Dialog1"));
    dialog->Font()->SetSize(12);

    const QHash<Home, QObject *> parents{{Home::Report, &report}, {Home::DataPage, data},     {Home::ReportPage, page},
                                         {Home::Band, band},      {Home::DialogPage, dialog}, {Home::DMPBand, dmpBand}};
    QStringList names;
    QStringList out;
    for (const KsClassInfo *cls : ksRegisteredClasses()) {
        // The library's own classes; tests register stand-ins of their own.
        if (!cls->Meta || !cls->Factory || !cls->ClassName.startsWith(QLatin1String("Tlyr")) ||
            cls->ClassName.contains(QLatin1String("Test")))
            continue;
        QObject *parent = parents.value(homeOf(cls->Meta));
        if (!parent) continue;
        auto *o = qobject_cast<TlyrComponent *>(cls->Create(parent));
        if (!o) {
            out << cls->ClassName + QStringLiteral(" cannot be made");
            continue;
        }
        o->SetName(QStringLiteral("O") + cls->ClassName);
        fill(o, how);
        names << o->objectName();
    }
    objects = int(names.size());
    fill(&report, how);
    report.SetParentReport(QString());
    report.EngineOptions()->SetNewSilentMode(simSilent);

    QBuffer saved;
    saved.open(QIODevice::ReadWrite);
    report.SaveToStream(saved);
    xml = saved.data();
    TlyrReport again;
    again.EngineOptions()->SetNewSilentMode(simSilent);
    saved.seek(0);
    again.LoadFromStream(saved);
    out << again.Errors();

    differences(&report, &again, QStringLiteral("Report"), out);
    for (const QString &n : names) {
        TlyrComponent *before = report.FindObject(n);
        TlyrComponent *after = again.FindObject(n);
        if (!after || ksClassNameOf(after) != ksClassNameOf(before)) {
            out << n + QStringLiteral(" did not come back");
            continue;
        }
        differences(before, after, n, out);
    }
    return out;
}

// Both fillings: every value comes back, and the template holds an object
// of the class named.
inline void expectTemplatesLoadBackTheSame(const QByteArray &mustHold)
{
    for (const Fill how : {Fill::Own, Fill::Defaults}) {
        SCOPED_TRACE(how == Fill::Own ? "values of their own" : "values equal to the defaults");
        int objects = 0;
        QByteArray xml;
        const QStringList diffs = lyrTemplateRoundTripDifferences(how, objects, xml);
        EXPECT_GT(objects, 40);
        EXPECT_TRUE(xml.contains(mustHold)) << mustHold.constData();
        EXPECT_TRUE(diffs.isEmpty()) << diffs.join(u'\n').toStdString() << "\n" << xml.toStdString();
    }
}

}  // namespace lyrsweep
