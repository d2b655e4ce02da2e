// Published-property layer: what the class library's type information gives
// elsewhere. One description per host class (name, ancestor, factory and the
// published properties in declaration order with kind, type name, default,
// getter, setter and enumeration names). The script's host-class registry,
// the report serializer and Diff all read it.
//
// Classes are QObjects. ksRegisterClass builds the description from the
// class's meta-object (Q_PROPERTY in declaration order, Q_ENUM and Q_FLAG for
// names, Q_CLASSINFO("Default:<Prop>", "<text>") for defaults); properties can
// also be added or overridden by hand (AddProperty), e.g. for values that are
// not Qt properties.
#pragma once

#include "script/ksvalue.h"

#include <QHash>
#include <QList>
#include <deque>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct QMetaObject;

enum class KsPropKind {
    Integer,      // int, uint, qint64 ...
    Char,         // QChar
    Enumeration,  // Q_ENUM; Boolean is its own kind
    Boolean,
    Float,    // double, float
    String,   // QString
    Set,      // Q_FLAG: a bit per enumeration name
    Class,    // QObject* (the value is an object handle)
    Variant,  // QVariant or anything else that maps to a value
    Method    // an event (a host callback slot), not a plain value
};

struct KsPropInfo {
    QString Name;
    KsPropKind Kind = KsPropKind::Variant;
    QString TypeName;  // "Integer", "Boolean", the enum's or class's name ...
    KsValue Default;   // Empty when the property has no default
    bool HasDefault = false;
    bool Stored = true;     // written by serializers
    QStringList EnumNames;  // for Enumeration (value i) and Set (bit i)
    QList<int> EnumValues;  // the values of EnumNames
    std::function<KsValue(QObject *)> Get;
    std::function<void(QObject *, const KsValue &)> Set;  // empty: read-only
    bool IsReadOnly() const { return !Set; }
    // Name of an enumeration value (empty when unknown); set values give the
    // names of their bits joined by ",".
    QString ValueName(qint64 value) const;
    // Value of an enumeration name or a set text ("a,b"); false when unknown.
    bool ValueOf(const QString &name, qint64 &value) const;
};

class KsClassInfo {
public:
    QString ClassName;
    const KsClassInfo *Ancestor = nullptr;
    const QMetaObject *Meta = nullptr;
    // Creates an instance with the given owner (parent); empty for abstract classes.
    std::function<QObject *(QObject *owner)> Factory;

    // Properties declared by this class, in declaration order. Their addresses
    // stay valid for the life of the description (helpers keep pointers).
    const std::deque<KsPropInfo> &OwnProperties() const { return FOwn; }
    // All published properties: the ancestor's first, then this class's; a
    // property redeclared by a descendant keeps its ancestor's place.
    QList<const KsPropInfo *> Properties() const;
    // Case-insensitive lookup through the ancestors.
    const KsPropInfo *FindProperty(const QString &name) const;
    // Adds or replaces a property of this class.
    KsPropInfo &AddProperty(const KsPropInfo &p);
    // Sets the default of a property of this class (or adds the override).
    void SetDefault(const QString &name, const KsValue &v);
    bool InheritsFrom(const KsClassInfo *other) const;
    QObject *Create(QObject *owner = nullptr) const;

private:
    std::deque<KsPropInfo> FOwn;
    // FindProperty's index by folded name, rebuilt when any class changes.
    mutable QHash<QString, const KsPropInfo *> FByName;
    mutable QHash<QString, const KsPropInfo *> FByExactName;
    mutable unsigned FByNameGeneration = 0;
};

// Registers (or returns the existing description of) a QObject class. The
// ancestor is the nearest registered superclass; register ancestors first.
KsClassInfo *ksRegisterClass(const QMetaObject *meta, std::function<QObject *(QObject *)> factory = {});
template <class T>
KsClassInfo *ksRegisterClass()
{
    return ksRegisterClass(&T::staticMetaObject, [](QObject *owner) -> QObject * { return new T(owner); });
}
// A class without meta-object properties, described by hand.
KsClassInfo *ksRegisterPlainClass(const QString &name, const KsClassInfo *ancestor,
                                  std::function<QObject *(QObject *)> factory = {});
void ksUnregisterClass(const QString &name);
const KsClassInfo *ksFindClassInfo(const QString &name);
// Registered classes in registration order.
QList<const KsClassInfo *> ksRegisteredClasses();
// The most derived registered class of the object (nullptr when none).
const KsClassInfo *ksClassInfoOf(const QObject *obj);
bool ksObjectIsA(const QObject *obj, const KsClassInfo *cls);
QString ksClassNameOf(const QObject *obj);

// Value conversions between the engine and Qt.
KsValue ksFromQVariant(const QVariant &v);
QVariant ksToQVariant(const KsValue &v, int metaTypeId);
