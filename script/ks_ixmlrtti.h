// The engine's XML tree for scripts (TksXMLItem, TksXMLDocument): each item
// a script sees gets one handle object, which goes when the item goes, so a
// script holding an item of a freed document gets an error, not freed memory.
#pragma once

#include "script/ks_iinterpreter.h"
#include "script/ks_xml.h"

#include <QObject>
#include <memory>

class KsXMLItemHandle : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit KsXMLItemHandle(QObject *parent = nullptr);
    ~KsXMLItemHandle() override;
    // The handle of an item (made on first use); nullptr for nullptr.
    static KsXMLItemHandle *Of(TksXMLItem *item, bool isRoot = false);
    TksXMLItem *Item() const;
    // A standalone item made by a script is the handle's own until it is put
    // into a tree.
    void Release() { FOwned.release(); }
    bool IsDocumentRoot() const { return FRoot; }
    // Puts `child` into this item at `index` (-1: at the end); refuses
    // document roots and items that would contain themselves.
    void Insert(int index, KsXMLItemHandle *child);

private:
    friend void KsXMLItemGoneHook(TksXMLItem *);
    TksXMLItem *FItem = nullptr;
    std::unique_ptr<TksXMLItem> FOwned;
    bool FRoot = false;
};

class KsXMLDocumentHandle : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit KsXMLDocumentHandle(QObject *parent = nullptr) : QObject(parent) {}
    TksXMLDocument Doc;
};

// Registers the two classes with the script (the run-time classes module
// calls it last).
void ksRegisterXMLClasses(TksScript *s);
