#include "script/ks_ixmlrtti.h"

#include "script/ks_ibind.h"
#include "script/ks_iclassesrtti.h"

#include <QBuffer>

using namespace ksbind;

void KsXMLItemGoneHook(TksXMLItem *item)
{
    auto *h = static_cast<KsXMLItemHandle *>(item->Handle());
    item->SetHandle(nullptr);
    h->FItem = nullptr;
    if (h->FOwned.get() == item) h->FOwned.release();  // it is being destroyed already
    delete h;
}

KsXMLItemHandle::KsXMLItemHandle(QObject *parent) : QObject(parent), FOwned(new TksXMLItem)
{
    FItem = FOwned.get();
    FItem->SetHandle(this);
    ksXMLItemGone = KsXMLItemGoneHook;
}

KsXMLItemHandle::~KsXMLItemHandle()
{
    if (FItem) FItem->SetHandle(nullptr);
    FOwned.reset();
}

KsXMLItemHandle *KsXMLItemHandle::Of(TksXMLItem *item, bool isRoot)
{
    if (!item) return nullptr;
    if (item->Handle()) return static_cast<KsXMLItemHandle *>(item->Handle());
    auto *h = new KsXMLItemHandle;
    h->FOwned->SetHandle(nullptr);
    h->FOwned.reset();  // drops the item its constructor made
    h->FItem = item;
    h->FRoot = isRoot;
    item->SetHandle(h);
    return h;
}

TksXMLItem *KsXMLItemHandle::Item() const
{
    if (!FItem) Raise(QStringLiteral("EInvalidObject"), QStringLiteral("Object was freed or is invalid"));
    return FItem;
}

void KsXMLItemHandle::Insert(int index, KsXMLItemHandle *child)
{
    TksXMLItem *c = child->Item();
    if (child->FRoot)
        Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The root of a document cannot be moved"));
    for (TksXMLItem *p = Item(); p; p = p->Parent())
        if (p == c) Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("An item cannot be put inside itself"));
    if (index < 0)
        Item()->AddItem(c);
    else
        Item()->InsertItem(index, c);
    child->Release();  // the tree owns it now
}

namespace {

KsValue Nothing()
{
    return KsValue(0);
}
KsValue Handle(TksXMLItem *item)
{
    return Obj(KsXMLItemHandle::Of(item));
}

}  // namespace

void ksRegisterXMLClasses(TksScript *s)
{
    static KsClassInfo *itemInfo = [] {
        KsClassInfo *i = RegisterClass<KsXMLItemHandle>(ksClassesInfo().Object);
        i->ClassName = QStringLiteral("TksXMLItem");
        return i;
    }();
    static KsClassInfo *docInfo = [] {
        KsClassInfo *i = RegisterClass<KsXMLDocumentHandle>(ksClassesInfo().Object);
        i->ClassName = QStringLiteral("TksXMLDocument");
        return i;
    }();
    const KsClassInfo *item = itemInfo;
    auto child = [item](TksMethodHelper *h, int i) { return ObjArgAs<KsXMLItemHandle>(h, i, item); };
    Binder<KsXMLItemHandle>(s->AddClass(itemInfo, QStringLiteral("TObject")))
            .Constructor(QStringLiteral("constructor Create"),
                         [](KsXMLItemHandle *, TksMethodHelper *) { return Nothing(); })
            .Method(QStringLiteral("procedure AddItem(Item: TksXMLItem)"),
                    [child](KsXMLItemHandle *x, TksMethodHelper *h) {
                        x->Insert(-1, child(h, 0));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Clear"),
                    [](KsXMLItemHandle *x, TksMethodHelper *) {
                        x->Item()->Clear();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure InsertItem(Index: Integer; Item: TksXMLItem)"),
                    [child](KsXMLItemHandle *x, TksMethodHelper *h) {
                        x->Insert(std::max(0, IntArg(h, 0)), child(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("function Add: TksXMLItem"),
                    [](KsXMLItemHandle *x, TksMethodHelper *) { return Handle(x->Item()->Add()); })
            .Method(QStringLiteral("function Find(const Name: String): Integer"),
                    [](KsXMLItemHandle *x, TksMethodHelper *h) { return KsValue(x->Item()->Find(StrArg(h, 0))); })
            .Method(QStringLiteral("function FindItem(const Name: String): TksXMLItem"),
                    [](KsXMLItemHandle *x, TksMethodHelper *h) { return Handle(x->Item()->FindItem(StrArg(h, 0))); })
            .Method(QStringLiteral("function Root: TksXMLItem"),
                    [](KsXMLItemHandle *x, TksMethodHelper *) { return Handle(x->Item()->Root()); })
            .Property(
                    QStringLiteral("Data"), QStringLiteral("Integer"),
                    [](KsXMLItemHandle *x) {
                        return KsValue::FromInt(qint64(reinterpret_cast<quintptr>(x->Item()->Data())));
                    },
                    [](KsXMLItemHandle *x, const KsValue &v) {
                        x->Item()->SetData(reinterpret_cast<void *>(quintptr(v.ToInt64())));
                    })
            .Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                      [](KsXMLItemHandle *x) { return KsValue(x->Item()->Count()); })
            .Indexed(
                    QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TksXMLItem"),
                    [](KsXMLItemHandle *x, TksMethodHelper *h) {
                        const int i = IntArg(h, 0);
                        if (i < 0 || i >= x->Item()->Count())
                            Raise(QStringLiteral("EListError"), QStringLiteral("List index out of bounds (%1)").arg(i));
                        return Handle(x->Item()->Items(i));
                    },
                    {}, true)
            .Indexed(
                    QStringLiteral("Prop"), QStringLiteral("String"), QStringLiteral("String"),
                    [](KsXMLItemHandle *x, TksMethodHelper *h) { return KsValue(x->Item()->Prop(StrArg(h, 0))); },
                    [](KsXMLItemHandle *x, TksMethodHelper *h, const KsValue &v) {
                        x->Item()->SetProp(StrArg(h, 0), v.ToText());
                    })
            .Property(
                    QStringLiteral("Name"), QStringLiteral("String"),
                    [](KsXMLItemHandle *x) { return KsValue(x->Item()->Name); },
                    [](KsXMLItemHandle *x, const KsValue &v) { x->Item()->Name = v.ToText(); })
            .Property(QStringLiteral("Parent"), QStringLiteral("TksXMLItem"),
                      [](KsXMLItemHandle *x) { return Handle(x->Item()->Parent()); })
            .Property(
                    QStringLiteral("Text"), QStringLiteral("String"),
                    [](KsXMLItemHandle *x) { return KsValue(x->Item()->Text); },
                    [](KsXMLItemHandle *x, const KsValue &v) { x->Item()->Text = v.ToText(); });

    const KsClassInfo *stream = ksClassesInfo().Stream;
    Binder<KsXMLDocumentHandle>(s->AddClass(docInfo, QStringLiteral("TObject")))
            .Constructor(QStringLiteral("constructor Create"),
                         [](KsXMLDocumentHandle *, TksMethodHelper *) { return Nothing(); })
            .Method(QStringLiteral("procedure SaveToStream(Stream: TStream)"),
                    [stream](KsXMLDocumentHandle *d, TksMethodHelper *h) {
                        auto *out = ObjArgAs<TStream>(h, 0, stream);
                        QByteArray bytes;
                        QBuffer b(&bytes);
                        b.open(QIODevice::WriteOnly);
                        d->Doc.SaveToStream(b);
                        b.close();
                        out->WriteAll(bytes);
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                    [stream](KsXMLDocumentHandle *d, TksMethodHelper *h) {
                        QByteArray bytes = ObjArgAs<TStream>(h, 0, stream)->ReadAll();
                        QBuffer b(&bytes);
                        b.open(QIODevice::ReadOnly);
                        d->Doc.LoadFromStream(b);
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure SaveToFile(const FileName: String)"),
                    [](KsXMLDocumentHandle *d, TksMethodHelper *h) {
                        QByteArray bytes;
                        QBuffer b(&bytes);
                        b.open(QIODevice::WriteOnly);
                        d->Doc.SaveToStream(b);
                        ksWriteFileBytes(StrArg(h, 0), bytes);
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LoadFromFile(const FileName: String)"),
                    [](KsXMLDocumentHandle *d, TksMethodHelper *h) {
                        QByteArray bytes = ksReadFileBytes(StrArg(h, 0));
                        QBuffer b(&bytes);
                        b.open(QIODevice::ReadOnly);
                        d->Doc.LoadFromStream(b);
                        return Nothing();
                    })
            .Property(QStringLiteral("Root"), QStringLiteral("TksXMLItem"),
                      [](KsXMLDocumentHandle *d) { return Obj(KsXMLItemHandle::Of(d->Doc.Root(), true)); });
}
