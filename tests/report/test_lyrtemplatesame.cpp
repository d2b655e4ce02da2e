// A template saved and loaded back gives the same objects: every published
// property of every registered report class, with values of its own and
// with values equal to the declared defaults.
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrclassrtti.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdmpclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "report/lyrxmlserializer.h"
#include "drawing_test_helpers.h"
#include "script/ks_props.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

enum class Fill { Own, Defaults };

// Not values of the object itself: the name, what loads another template,
// and the password that loading would ask for.
bool leftOut(const KsPropInfo *p)
{
    return p->Name == QLatin1String("Name") || p->Name == QLatin1String("ParentReport") ||
           p->Name == QLatin1String("Password");
}

bool isStringList(const QObject *o, const KsPropInfo *p)
{
    return o->property(p->Name.toLatin1().constData()).metaType().id() == QMetaType::QStringList;
}

QObject *subObject(const QObject *o, const KsPropInfo *p)
{
    return o->property(p->Name.toLatin1().constData()).value<QObject *>();
}

KsValue ownValue(const KsPropInfo *p, const KsValue &now)
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

KsValue defaultValue(const KsPropInfo *p)
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
void fill(QObject *o, Fill how)
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
        } catch (const std::exception &) {
        }
    }
    // Last, so that the font values above do not decide it.
    if (parentFont) parentFont->Set(o, KsValue(false));
}

bool sameValue(const KsPropInfo *p, const KsValue &a, const KsValue &b)
{
    if (p->Kind == KsPropKind::Float) return std::fabs(a.ToDouble() - b.ToDouble()) < 0.000001;
    if (p->Kind == KsPropKind::Variant) return a.ToText() == b.ToText();
    return ksEquals(a, b);
}

// The host's settings, which a report keeps when it loads a template.
bool keptByTheLoadingReport(const QString &path)
{
    static const QStringList kept{"Report.IniFile", "Report.OldStyleProgress", "Report.Preview", "Report.ShowProgress",
                                  "Report.StoreInDFM"};
    static const QStringList taken{"Report.EngineOptions.ConvertNulls", "Report.EngineOptions.DoublePass",
                                   "Report.PreviewOptions.OutlineExpand", "Report.PreviewOptions.OutlineVisible",
                                   "Report.PreviewOptions.OutlineWidth", "Report.PreviewOptions.PagesInCache"};
    if (kept.contains(path)) return true;
    return (path.startsWith(QLatin1String("Report.EngineOptions.")) ||
            path.startsWith(QLatin1String("Report.PreviewOptions."))) &&
           !taken.contains(path);
}

// Every published value of a that b does not share, by dotted path.
void differences(QObject *a, QObject *b, const QString &path, QStringList &out)
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

Home homeOf(const QMetaObject *m)
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

TEST(LyrTemplateRoundTrip, EveryRegisteredClassLoadsBackTheSame)
{
    lyrRegisterClassRTTI();
    lyrRegisterDMPClasses();
    for (const Fill how : {Fill::Own, Fill::Defaults}) {
        SCOPED_TRACE(how == Fill::Own ? "values of their own" : "values equal to the defaults");
        TlyrReport report;
        report.EngineOptions()->SetNewSilentMode(simSilent);
        auto *data = new TlyrDataPage(&report);
        data->SetName(QStringLiteral("Data"));
        // The objects' parents use a font of their own, so a font value of
        // an object that equals the font's default is not its parent's.
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

        QStringList names;
        for (const KsClassInfo *cls : ksRegisteredClasses()) {
            // The library's own classes; other tests register stand-ins.
            if (!cls->Meta || !cls->Factory || !cls->ClassName.startsWith(QLatin1String("Tlyr")) ||
                cls->ClassName.contains(QLatin1String("Test")))
                continue;
            QObject *parent = nullptr;
            switch (homeOf(cls->Meta)) {
            case Home::None:
                continue;
            case Home::Report:
                parent = &report;
                break;
            case Home::DataPage:
                parent = data;
                break;
            case Home::ReportPage:
                parent = page;
                break;
            case Home::Band:
                parent = band;
                break;
            case Home::DialogPage:
                parent = dialog;
                break;
            case Home::DMPBand:
                parent = dmpBand;
                break;
            }
            auto *o = qobject_cast<TlyrComponent *>(cls->Create(parent));
            ASSERT_NE(o, nullptr) << cls->ClassName.toStdString();
            o->SetName(QStringLiteral("O") + cls->ClassName);
            fill(o, how);
            names << o->objectName();
        }
        ASSERT_GT(names.size(), 40);
        fill(&report, how);
        report.SetParentReport(QString());
        report.EngineOptions()->SetNewSilentMode(simSilent);

        const QByteArray xml = saveTemplate(report);
        TlyrReport again;
        again.EngineOptions()->SetNewSilentMode(simSilent);
        loadTemplate(again, xml);
        EXPECT_TRUE(again.Errors().isEmpty()) << again.Errors().join(u'\n').toStdString();

        QStringList diffs;
        differences(&report, &again, QStringLiteral("Report"), diffs);
        for (const QString &n : names) {
            TlyrComponent *before = report.FindObject(n);
            TlyrComponent *after = again.FindObject(n);
            if (!after) {
                diffs << n + QStringLiteral(" is missing");
                continue;
            }
            EXPECT_EQ(ksClassNameOf(after), ksClassNameOf(before));
            differences(before, after, n, diffs);
        }
        EXPECT_TRUE(diffs.isEmpty()) << diffs.join(u'\n').toStdString() << "\n" << xml.toStdString();
    }
}

}  // namespace
