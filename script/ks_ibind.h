// Shared pieces of the binding modules: registering host classes whose
// members are served by one small routine each, reading and checking the
// arguments of a call, and the errors the bindings raise.
#pragma once

#include "script/ks_iinterpreter.h"

#include <QObject>
#include <QVariant>
#include <functional>

namespace ksbind {

// A method of a host class of type T: gets the checked instance and the
// helper to read the arguments from.
template <class T>
using Fn = std::function<KsValue(T *self, TksMethodHelper *h)>;
template <class T>
using Getter = std::function<KsValue(T *self)>;
template <class T>
using Setter = std::function<void(T *self, const KsValue &v)>;

[[noreturn]] void Raise(const QString &className, const QString &message);
// The object a member was called on; a nil instance raises.
QObject *Self(QObject *inst, const QString &member);

// Argument i as an object of class `cls` (any object when nullptr). A
// number, Null, a freed object or one of another class raises an error that
// names the parameter; nil (0) is accepted only when `allowNil`.
QObject *ObjArg(TksMethodHelper *h, int i, const KsClassInfo *cls, bool allowNil = false);
template <class T>
T *ObjArgAs(TksMethodHelper *h, int i, const KsClassInfo *cls, bool allowNil = false)
{
    return static_cast<T *>(ObjArg(h, i, cls, allowNil));
}
inline int IntArg(TksMethodHelper *h, int i)
{
    return h->GetParam(i).ToInt();
}
inline QString StrArg(TksMethodHelper *h, int i)
{
    return h->GetParam(i).ToText();
}
inline bool BoolArg(TksMethodHelper *h, int i)
{
    return h->GetParam(i).ToBool();
}
// A set argument: a set literal ([a, b], an array) or a number of bits.
qint64 SetArg(TksMethodHelper *h, int i);
inline KsValue Obj(QObject *o)
{
    return o ? KsValue::FromObject(o) : KsValue(0);
}

// Marks an object as made by a script (the script may free it), and one
// whose constructor ran.
void MarkScriptCreated(QObject *o);
bool IsScriptCreated(const QObject *o);
void MarkConstructed(QObject *o);
bool IsConstructed(const QObject *o);
// Marks an object that lives and dies with the object holding it (a
// control's font, a combo box's items): scripts may use it but not free it.
QObject *MarkPart(QObject *o);
template <class T>
T *MarkPart(T *o)
{
    return static_cast<T *>(MarkPart(static_cast<QObject *>(o)));
}
bool IsPart(const QObject *o);
// Checks asked before a script frees an object: the first non-empty answer
// refuses it with that message (an object its host is using right now).
void AddFreeCheck(std::function<QString(QObject *)> check);
QString FreeRefusal(QObject *o);

// Member registration on a class variable; the instance the engine passes
// is already checked against the class (see TksMethodHelper).
template <class T>
class Binder {
public:
    Binder(TksClassVariable *cls) : C(cls) {}
    TksClassVariable *C;
    QString Name() const { return C ? C->Name : QString(); }

    Binder &Method(const QString &decl, Fn<T> fn)
    {
        if (!C) return *this;
        auto *m = C->AddMethod(decl, Wrap(fn));
        Q_UNUSED(m);
        return *this;
    }
    Binder &Constructor(const QString &decl, Fn<T> fn)
    {
        if (!C) return *this;
        // A failing constructor frees the new instance it was given (not an
        // object the script calls Create on again).
        C->AddConstructor(decl, [fn](QObject *inst, const KsClassInfo *, const QString &name, TksMethodHelper *h) {
            T *self = static_cast<T *>(Self(inst, name));
            const bool fresh = IsScriptCreated(self) && !IsConstructed(self);
            try {
                fn(self, h);
            } catch (...) {
                if (fresh) delete self;
                throw;
            }
            MarkConstructed(self);
            return KsValue::FromObject(self);
        });
        return *this;
    }
    Binder &Property(const QString &name, const QString &type, Getter<T> get, Setter<T> set = {})
    {
        if (!C) return *this;
        TksSetValueEvent onSet;
        if (set)
            onSet = [set, name](QObject *inst, const KsClassInfo *, const QString &, const KsValue &v) {
                set(static_cast<T *>(Self(inst, name)), v);
            };
        C->AddProperty(
                name, type,
                [get, name](QObject *inst, const KsClassInfo *, const QString &) {
                    return get(static_cast<T *>(Self(inst, name)));
                },
                onSet);
        return *this;
    }
    // Indexed property: `get` receives the helper (indexes from position 0),
    // `set` also the new value.
    Binder &Indexed(const QString &name, const QString &indexTypes, const QString &type, Fn<T> get,
                    std::function<void(T *, TksMethodHelper *, const KsValue &)> set = {}, bool isDefault = false)
    {
        if (!C) return *this;
        const int nIndex = int(indexTypes.count(QLatin1Char(','))) + 1;
        TksCallMethodEvent cb = [get, set, name, nIndex](QObject *inst, const KsClassInfo *, const QString &mname,
                                                         TksMethodHelper *h) -> KsValue {
            T *self = static_cast<T *>(Self(inst, name));
            if (mname.endsWith(QLatin1String(".SET"))) {
                if (set) set(self, h, h->GetParam(nIndex));
                return KsValue(0);
            }
            return get(self, h);
        };
        if (isDefault)
            C->AddDefaultProperty(name, indexTypes, type, cb, !set);
        else
            C->AddIndexProperty(name, indexTypes, type, cb, !set);
        return *this;
    }

private:
    static TksCallMethodEvent Wrap(Fn<T> fn)
    {
        return [fn](QObject *inst, const KsClassInfo *, const QString &name, TksMethodHelper *h) {
            return fn(static_cast<T *>(Self(inst, name)), h);
        };
    }
};

// Registers the class (its description must exist) with the script.
template <class T>
Binder<T> AddClass(TksScript *s, const KsClassInfo *info, const QString &ancestor)
{
    return Binder<T>(s->AddClass(info, ancestor));
}

// Registers a QObject class under its script name with the given ancestor
// description (for classes whose Qt superclass is not registered).
template <class T, bool Creatable = true>
KsClassInfo *RegisterClass(const KsClassInfo *ancestor)
{
    KsClassInfo *info;
    if constexpr (Creatable)
        info = ksRegisterClass<T>();
    else
        info = ksRegisterClass(&T::staticMetaObject);
    if (!info->Ancestor) info->Ancestor = ancestor;
    return info;
}

}  // namespace ksbind
