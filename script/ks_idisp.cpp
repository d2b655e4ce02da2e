#include "script/ks_idisp.h"

#include "script/ks_iconst.h"
#include "script/ks_idesignator.h"

namespace {
constexpr quint32 kNotImplemented = 0x80004001;  // E_NOTIMPL
constexpr int kMaxArgs = 64;
}  // namespace

QString ksOleErrorText(quint32 status, const QString &member, const QString &message, const QString &source,
                       const QString &description, const QString &helpFile)
{
    QString t =
            QStringLiteral("OLE error %1: %2: %3")
                    .arg(QString::number(status, 16).toUpper().rightJustified(8, QLatin1Char('0')), member, message);
    if (!source.isEmpty()) t += QStringLiteral("\nSource        ::  ") + source;
    if (!description.isEmpty()) t += QStringLiteral("\nDescription ::  ") + description;
    if (!helpFile.isEmpty()) t += QStringLiteral("\nHelp File     ::  ") + helpFile;
    return t;
}

TksOLEHelper::TksOLEHelper(const QString &name) : TksCustomHelper(name, tcVariant, QStringLiteral("Variant")) {}

void TksOLEHelper::SetArgCount(int n)
{
    if (n > kMaxArgs) throw KsError(QStringLiteral("EOleException"), QStringLiteral("Too many automation arguments"));
    while (Count() < n)
        Add(new TksParamItem(QStringLiteral("Arg%1").arg(Count()), tcVariant, QStringLiteral("Variant"), true, false));
}

void TksOLEHelper::Fail() const
{
    throw KsError(QStringLiteral("EOleException"),
                  ksOleErrorText(kNotImplemented, Name, QStringLiteral("Not implemented"), QString(),
                                 QStringLiteral("This system has no automation server")));
}

KsValue TksOLEHelper::CallMember(QObject *obj, bool writing, const KsValue &value)
{
    TksClassVariable *cls = Prog ? ksScriptClassOf(Prog, obj) : nullptr;
    TksCustomVariable *m = cls ? cls->FindMember(Name) : nullptr;
    const int nargs = Count();
    if (!m) {
        // a named child, as a form's component
        QObject *child = obj->findChild<QObject *>(Name, Qt::FindDirectChildrenOnly);
        if (!child || writing || nargs > 0)
            throw KsError(QStringLiteral("EParserError"), ksNameMessage(SIdUndeclared, Name));
        return KsValue::FromObject(child);
    }
    const int nparams = m->Count();
    if (nargs > nparams) throw KsError(QStringLiteral("EParserError"), STooManyParams);
    for (int j = 0; j < nparams; ++j) {
        TksParamItem *p = m->Param(j);
        if (j >= nargs && !p->IsOptional) throw KsError(QStringLiteral("EParserError"), SNotEnoughParams);
        if (!p->ReadOnly) p->Value = j < nargs ? Param(j)->Value : p->DefValue;
    }
    auto *helper = dynamic_cast<TksCustomHelper *>(m);
    if (helper) {
        helper->ParentRef = ParentRef;
        helper->ParentValue = ParentValue;
        helper->Prog = Prog;
    }
    KsValue r;
    if (writing) {
        m->SetValue(value);
    } else {
        m->ResultWanted = ResultWanted;
        r = m->GetValue();
    }
    // var parameters come back through the designator, as from the member itself
    for (int j = 0; j < nargs; ++j) {
        TksParamItem *p = Param(j);
        p->IsVarParam = m->Param(j)->IsVarParam;
        if (p->IsVarParam) p->Value = m->Param(j)->Value;
    }
    if (helper) helper->ParentValue.Clear();
    return r;
}

KsValue TksOLEHelper::GetValue()
{
    if (ParentValue.IsObject()) return CallMember(ParentValue.ToObject(), false, KsValue());
    Fail();
}

void TksOLEHelper::SetValue(const KsValue &value)
{
    if (ParentValue.IsObject()) {
        CallMember(ParentValue.ToObject(), true, value);
        return;
    }
    Fail();
}
