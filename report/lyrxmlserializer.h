#pragma once
// Report templates as XML: one element per object (named by its class, or
// "inherited" for an object of the ancestor template), its published
// properties as attributes in declaration order, base class first:
//
//   integer, character, set      decimal
//   enumeration, Boolean         the value's name ("True", "rbCurrent")
//   floating point               lyrFloatToText
//   string, variant              the text
//   component reference          the target's name ("nil": cleared against an
//                                ancestor that has one)
//   string list                  Prop.Text, lines joined by CR LF
//   nested object (Font ...)     Prop.Sub for each of its properties
//   text of a text object        Text (UTF-8, final CR LF dropped)
//   records of WriteData         PropData, hexadecimal
//
// Only values that differ from the ancestor's object, or without one from
// the declared default, are written (floats, variants and string lists
// always without an ancestor; strings when not empty).
//
// PropData bytes: a sequence of property records up to the end of the
// data. A record is its name (1 byte length, then the bytes) and one value
// of the codec in lyrpropstream.h (a type byte, then its body: integers
// little-endian in 1/2/4/8 bytes, strings with a 4-byte length, Booleans as
// the type byte alone, lists ended by vaNull). The report writes its
// collections as records "Datasets", "Variables" and "Style": a list of
// one-string lists, each string the item's attribute text. Dialog
// components write "pLeft" and "pTop" as integers. Reading checks every
// length; damaged data becomes one error line, never a crash.

#include "report/lyrcomponent.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class TlyrXMLItem;
struct KsPropInfo;
class KsClassInfo;

// A nested object that stores some properties only under conditions of its
// own (asked unless every value is being written).
class TlyrStoredProperties {
public:
    virtual ~TlyrStoredProperties() = default;
    virtual bool IsPropertyStored(const QString &name) const = 0;
};

// An object taken out of the tree before a load, to be put back in place of
// the element of its name and class (instead of a new object) with the
// attributes it had (every value written).
struct TlyrKeptObject {
    QPointer<TlyrComponent> Object;
    QByteArray Attributes;
};

class TlyrXMLSerializer {
public:
    explicit TlyrXMLSerializer(QIODevice *stream);
    ~TlyrXMLSerializer();
    TlyrXMLSerializer(const TlyrXMLSerializer &) = delete;
    TlyrXMLSerializer &operator=(const TlyrXMLSerializer &) = delete;

    // Messages of values that could not be set.
    QStringList Errors;
    // Where references are looked up (normally the report).
    TlyrComponent *Owner = nullptr;
    // Write every value, also those equal to the reference.
    bool SerializeAll = false;
    QIODevice *Stream;
    // The ancestor object of a named object.
    std::function<TlyrComponent *(const QString &name)> OnGetAncestor;
    // Kept objects by upper-cased name; those put back are removed.
    QHash<QString, TlyrKeptObject> *Kept = nullptr;
    // True while WriteRootComponent runs.
    bool Writing() const { return writing_; }

    // Into item, or into a new auto-indented document saved to Stream.
    void WriteRootComponent(TlyrComponent *obj, bool saveChildren = true, TlyrXMLItem *item = nullptr);
    // From item, or from a document read from Stream; then the references
    // are resolved and the objects' Loaded called (not the report's).
    // Malformed XML raises TlyrInvalidXMLException; an element of a class
    // that is not registered and matches no existing object is left out
    // with its children, with an error line.
    void ReadRootComponent(TlyrComponent *obj, TlyrXMLItem *item = nullptr);
    // Gives obj the values of source (children aside) as writing source
    // with every value and reading the text into obj would, references
    // named as from sourceOwner; then as ReadRootComponent.
    void CopyRootComponent(TlyrComponent *obj, const TlyrComponent *source, TlyrComponent *sourceOwner);

    // The attribute text of obj's properties (each with a leading blank).
    QByteArray ObjToXML(QObject *obj, const QByteArray &prefix = QByteArray(), QObject *ancestor = nullptr);
    // Applies an attribute text; a failing value adds an error line.
    void XMLToObj(QByteArrayView text, QObject *obj);
    // Class name, blank, attribute text.
    QByteArray WriteComponentStr(TlyrComponent *obj);
    // A new object of the class named at the start of text; nullptr for an
    // empty text or an unknown class.
    TlyrComponent *ReadComponentStr(QObject *owner, QByteArrayView text, bool dontFixup = false);
    // As ReadComponentStr(owner, shared + ' ' + own, true), where shared (class
    // name and attributes) is the same for many objects: its names and values
    // are looked up and converted once for this serializer.
    TlyrComponent *ReadComponentParts(QObject *owner, const QByteArray &shared, QByteArrayView own);
    // "<" + class name + attributes + "/>".
    QByteArray WriteComponentElement(TlyrComponent *obj);

    // Resolution by name after the whole template was read.
    void AddFixup(QObject *obj, const KsPropInfo *prop, const QString &name);
    void AddFixup(std::function<void()> resolve);
    void FixupReferences();
    void ClearFixups();
    // The component a reference names: an object of Owner's tree, Owner
    // itself, or a dataset of the program by component name.
    TlyrComponent *FindReference(const QString &name) const;

private:
    struct Fixup {
        QPointer<QObject> Obj;
        const KsPropInfo *Prop = nullptr;
        QString Name;
        std::function<void()> Resolve;
    };
    // ObjToXML; reference (no ancestor only) is what the reloaded object
    // starts from, where that is known: values it does not hold are written.
    // whole writes every value, as SerializeAll.
    QByteArray objToXML(QObject *obj, const QByteArray &prefix, QObject *ancestor, QObject *reference,
                        bool whole = false);
    void writeItem(TlyrComponent *obj, TlyrXMLItem *item, bool root, bool saveChildren);
    void readChildren(TlyrComponent *parent, TlyrXMLItem *item);
    void readRoot(TlyrComponent *obj, TlyrXMLItem *item, const TlyrComponent *source, TlyrComponent *sourceOwner);
    void copyValues(QObject *source, QObject *obj, QObject *top, const QByteArray &prefix,
                    TlyrComponent *sourceOwner);
    void applyValue(QObject *obj, QByteArrayView name, const QString &value, bool topLevel);
    struct PlannedValue;
    struct AttributePlan;
    TlyrComponent *createNamed(QObject *owner, QByteArrayView className);
    static bool planValue(QObject *obj, QByteArrayView rawName, const QString &value, PlannedValue &v);
    void applyPlan(const AttributePlan &plan, TlyrComponent *obj);
    void readPropData(QObject *obj, QByteArrayView hex);
    QByteArray propData(const QObject *obj);
    // A descendant of Owner by name.
    TlyrComponent *findOwned(const QString &name) const;
    const TlyrKeptObject *findKept(const QString &name, const KsClassInfo *cls) const;

    std::vector<Fixup> fixups_;
    // ReadComponentParts' shared texts, worked out.
    QHash<QByteArray, std::shared_ptr<AttributePlan>> plans_;
    QList<QPointer<TlyrComponent>> recorded_;
    // Upper-cased names of the elements read so far.
    QSet<QString> seen_;
    // While a tree that is not a report's is read: its objects by name (a
    // report keeps its own index).
    std::unique_ptr<QHash<QString, QPointer<TlyrComponent>>> ownedIndex_;
    bool writing_ = false;
};

// The property list of a class in declaration order (cached).
const QList<const KsPropInfo *> &lyrClassProperties(const KsClassInfo *cls);
// True for a property holding a string list (QStringList).
bool lyrIsStringListProperty(const QObject *obj, const KsPropInfo *p);
