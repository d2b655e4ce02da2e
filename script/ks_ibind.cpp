#include "script/ks_ibind.h"

#include <vector>

namespace ksbind {

namespace {
const char *const kScriptCreated = "ksScriptCreated";
const char *const kConstructed = "ksConstructed";
const char *const kPart = "ksPart";
}  // namespace

void Raise(const QString &className, const QString &message)
{
    throw KsError(className, message);
}

QObject *Self(QObject *inst, const QString &member)
{
    if (!inst) Raise(QStringLiteral("EInvalidObject"), QStringLiteral("%1 was called on nil").arg(member));
    return inst;
}

QObject *ObjArg(TksMethodHelper *h, int i, const KsClassInfo *cls, bool allowNil)
{
    const KsValue v = h->GetParam(i);
    const QString param = i < h->ParamCount() ? h->Param(i)->Name : QStringLiteral("Value");
    const QString where = QStringLiteral("Parameter %1 of %2").arg(param, h->Name);
    if (v.IsIntegral() && v.ToInt64() == 0) {
        if (allowNil) return nullptr;
        Raise(QStringLiteral("EInvalidArgument"), where + QStringLiteral(" must not be nil"));
    }
    if (!v.IsObject())
        Raise(QStringLiteral("EInvalidArgument"),
              where + QStringLiteral(" must be an object, not a value of type %1").arg(v.KindName()));
    try {
        return v.ToObject(cls);
    } catch (const KsError &e) {
        throw KsError(e.ClassName, where + QStringLiteral(": ") + e.Message);
    }
}

qint64 SetArg(TksMethodHelper *h, int i)
{
    const KsValue v = h->GetParam(i);
    if (!v.IsArray()) return v.IsEmpty() ? 0 : v.ToInt64();
    qint64 bits = 0;
    for (qint64 k = 0; k < v.ElementCount(); ++k) bits |= v.Element(k).ToInt64();
    return bits;
}

void MarkScriptCreated(QObject *o)
{
    if (o) o->setProperty(kScriptCreated, true);
}

bool IsScriptCreated(const QObject *o)
{
    return o && o->property(kScriptCreated).toBool();
}

void MarkConstructed(QObject *o)
{
    if (o) o->setProperty(kConstructed, true);
}

bool IsConstructed(const QObject *o)
{
    return o && o->property(kConstructed).toBool();
}

QObject *MarkPart(QObject *o)
{
    if (o) o->setProperty(kPart, true);
    return o;
}

bool IsPart(const QObject *o)
{
    return o && o->property(kPart).toBool();
}

namespace {
std::vector<std::function<QString(QObject *)>> &freeChecks()
{
    static std::vector<std::function<QString(QObject *)>> checks;
    return checks;
}
}  // namespace

void AddFreeCheck(std::function<QString(QObject *)> check)
{
    freeChecks().push_back(std::move(check));
}

QString FreeRefusal(QObject *o)
{
    for (const auto &check : freeChecks())
        if (QString why = check(o); !why.isEmpty()) return why;
    return {};
}

}  // namespace ksbind
