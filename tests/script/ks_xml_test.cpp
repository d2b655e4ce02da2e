#include "ks_print.h"
#include "script/ks_xml.h"
#include "script/ksvalue.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QBuffer>
#include <QStringList>
#include <QTemporaryDir>

namespace {

TksXMLItem *Load(TksXMLDocument &doc, const char *text)
{
    doc.LoadFromString(QString::fromUtf8(text));
    return doc.Root();
}

TEST(KsXmlReader, ElementsAttributesAndEmptyForms)
{
    TksXMLDocument doc;
    TksXMLItem *r = Load(doc, "<?xml version=\"1.0\"?>\n<root a=\"1\"><!-- note -->\n<a x=\"1\"/><b/><c y=\"2\" >"
                              "<d/></c><!-- a > b --></root>");
    EXPECT_EQ(r->Name, QStringLiteral("root"));
    EXPECT_EQ(r->Prop(QStringLiteral("A")), QStringLiteral("1"));
    ASSERT_EQ(r->Count(), 3);
    EXPECT_EQ(r->Items(0)->Name, QStringLiteral("a"));
    EXPECT_EQ(r->Items(0)->Text, QStringLiteral("x=\"1\""));
    EXPECT_EQ(r->Items(1)->Name, QStringLiteral("b"));
    EXPECT_EQ(r->Items(2)->Count(), 1);
    EXPECT_EQ(r->Items(2)->Items(0)->Parent(), r->Items(2));
    EXPECT_EQ(r->Items(2)->Items(0)->Root(), r);
}

TEST(KsXmlReader, EndOfStreamClosesOpenElements)
{
    TksXMLDocument doc;
    TksXMLItem *r = Load(doc, "<?xml?><a><b>");
    EXPECT_EQ(r->Name, QStringLiteral("a"));
    ASSERT_EQ(r->Count(), 1);
    EXPECT_EQ(r->Items(0)->Name, QStringLiteral("b"));
}

TEST(KsXmlReader, StructuralErrorsRaiseInvalidFileFormat)
{
    const char *bad[] = {"<root/>", "<?xml?><a></b>", "<?xml?><a <b>", "<?xml?><a x=\"1", "<?xml?><!-- open"};
    for (const char *text : bad) {
        TksXMLDocument doc;
        try {
            doc.LoadFromString(QString::fromUtf8(text));
            ADD_FAILURE() << text;
        } catch (const KsError &e) {
            EXPECT_EQ(e.Message, QStringLiteral("Invalid file format")) << text;
        }
    }
}

// A text in memory reads as the stream of its UTF-8 does: names, texts,
// comments, blanks, national letters and the same errors.
TEST(KsXmlReader, TextAndStreamReadAlike)
{
    const char *texts[] = {"<?xml version=\"1.0\"?>\n<root a=\"1\"><!-- note -->\n<a x=\"1\"/><b/><c y=\"2\" "
                           "><d/></c><!-- a > b --></root>",
                           "<?xml?><程序 名=\"金额\"><项 值=\"&#60;\" /><项/></程序>",
                           "<?xml?><a><b>",
                           "<?xml?><a  ><b  x=\"1\"  /></a>",
                           "<?xml?><a><!---->x<b/></a>",
                           "<?xml?><a></b>",
                           "<?xml?><a <b>",
                           "<?xml?><!-- open",
                           "<root/>"};
    auto dump = [](const TksXMLItem *r) {
        QStringList out;
        std::function<void(const TksXMLItem *, int)> walk = [&](const TksXMLItem *i, int depth) {
            out << QString(depth, QLatin1Char(' ')) + i->Name + QLatin1Char('|') + i->Text;
            for (int k = 0; k < i->Count(); ++k) walk(i->Items(k), depth + 1);
        };
        walk(r, 0);
        return out;
    };
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        QString fromText, fromStream;
        TksXMLDocument a, b;
        try {
            a.LoadFromString(QString::fromUtf8(t));
            fromText = dump(a.Root()).join(QLatin1Char('\n'));
        } catch (const KsError &e) {
            fromText = QStringLiteral("error: ") + e.Message;
        }
        QByteArray bytes(t);
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        try {
            b.LoadFromStream(buf);
            fromStream = dump(b.Root()).join(QLatin1Char('\n'));
        } catch (const KsError &e) {
            fromStream = QStringLiteral("error: ") + e.Message;
        }
        EXPECT_EQ(fromText, fromStream);
    }
}

TEST(KsXmlReader, DeepNestingIsRefusedNotCrashing)
{
    QString text = QStringLiteral("<?xml?>");
    for (int i = 0; i < 5000; ++i) text += QStringLiteral("<a>");
    TksXMLDocument doc;
    EXPECT_THROW(doc.LoadFromString(text), KsError);
}

TEST(KsXmlReader, LeavesTheStreamAfterTheDocument)
{
    QByteArray bytes("<?xml?><a/>tail");
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    {
        TksXMLDocument doc;
        doc.LoadFromStream(buf);
    }
    // The reader read one block but gives back what it did not use.
    EXPECT_EQ(buf.readAll(), QByteArray("tail"));
}

TEST(KsXmlProps, EscapingRoundTrip)
{
    TksXMLItem item;
    const QString tricky = QStringLiteral("a\"b<c>d\r\ne&f &#65; &quot; 中文");
    item.SetProp(QStringLiteral("v"), tricky);
    EXPECT_EQ(item.Text, QStringLiteral("v=\"a&#34;b&#60;c&#62;d&#13;&#10;e&#38;f &#38;#65; &#38;quot; 中文\""));
    EXPECT_EQ(item.Prop(QStringLiteral("v")), tricky);
    // A lone "&" and an entity written by hand still read.
    item.Text = QStringLiteral("w=\"x &quot;y&quot; &#65;\"");
    EXPECT_EQ(item.Prop(QStringLiteral("w")), QStringLiteral("x \"y\" A"));
}

TEST(KsXmlProps, ReplaceInPlaceKeepsOrder)
{
    TksXMLItem item;
    item.Text = QStringLiteral("a=\"1\" b=\"2\" c=\"3\"");
    item.SetProp(QStringLiteral("B"), QStringLiteral("22"));
    EXPECT_EQ(item.Text, QStringLiteral("a=\"1\" B=\"22\" c=\"3\""));
    item.SetProp(QStringLiteral("d"), QStringLiteral("4"));
    EXPECT_EQ(item.Text, QStringLiteral("a=\"1\" B=\"22\" c=\"3\" d=\"4\""));
    EXPECT_EQ(item.Prop(QStringLiteral("missing")), QString());
    // a name that is the tail of another does not match it
    item.Text = QStringLiteral("xa=\"1\"");
    EXPECT_EQ(item.Prop(QStringLiteral("a")), QString());
}

TEST(KsXmlTree, FindItemAddsMissingAndAssignCopies)
{
    TksXMLItem root;
    root.Name = QStringLiteral("r");
    TksXMLItem *p = root.FindItem(QStringLiteral("parser"));
    EXPECT_EQ(root.Count(), 1);
    EXPECT_EQ(root.FindItem(QStringLiteral("PARSER")), p);
    p->Add()->Name = QStringLiteral("kw");
    auto *moved = new TksXMLItem;
    moved->Name = QStringLiteral("m");
    p->AddItem(moved);
    root.AddItem(moved);  // moves it out of p
    EXPECT_EQ(p->Count(), 1);
    EXPECT_EQ(moved->Parent(), &root);
    root.InsertItem(0, new TksXMLItem);
    EXPECT_EQ(root.Items(1), p);
    TksXMLItem copy;
    copy.Assign(&root);
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.Items(1)->Items(0)->Name, QStringLiteral("kw"));
    delete p;  // removes itself from root
    EXPECT_EQ(root.Count(), 2);
}

TEST(KsXmlTree, ArenaItemsLiveInTheirTreeAndCopiesOutliveTheArena)
{
    TksXMLItem copy;
    {
        auto arena = std::make_unique<TksXMLArena>();
        TksXMLItem root;
        TksXMLItem *a = arena->Make();
        a->Name = QStringLiteral("a");
        a->Text = arena->Keep(QStringLiteral("pos=\"1:2\" text=\"&#60;\""));
        root.AddItem(a);
        TksXMLItem *b = arena->Make();
        b->Name = QStringLiteral("b");
        a->AddItem(b);
        a->Add()->Name = QStringLiteral("heap");  // a heap item under an arena item
        EXPECT_EQ(a->Prop(QStringLiteral("text")), QStringLiteral("<"));
        EXPECT_EQ(a->RawProp(QStringLiteral("POS")), QStringLiteral("1:2"));
        EXPECT_TRUE(a->RawProp(QStringLiteral("none")).isNull());
        // a freed item's place is used again
        TksXMLItem *gone = arena->Make();
        arena->Free(gone);
        EXPECT_EQ(arena->Make(), gone);
        arena->Free(gone);
        copy.Assign(&root);
        a->SetProp(QStringLiteral("pos"), QStringLiteral("3:4"));  // a kept text is copied when changed
        EXPECT_EQ(a->Prop(QStringLiteral("pos")), QStringLiteral("3:4"));
        root.Clear();  // frees arena and heap items alike, before the arena goes
    }
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Items(0)->Text, QStringLiteral("pos=\"1:2\" text=\"&#60;\""));
    EXPECT_EQ(copy.Items(0)->Count(), 2);
    EXPECT_EQ(copy.Items(0)->Items(1)->Name, QStringLiteral("heap"));
}

TEST(KsXmlTree, PlacesHeldAsNumbersReadAndWriteAsAttributes)
{
    auto arena = std::make_unique<TksXMLArena>();
    // a place n is written as line n / 10 + 1, column n % 10
    arena->PlaceText = [](char16_t *out, int place) {
        const QString s = QStringLiteral("%1:%2").arg(place / 10 + 1).arg(place % 10);
        std::copy(s.utf16(), s.utf16() + s.size(), out);
        return int(s.size());
    };
    TksXMLDocument doc;
    doc.Root()->Name = QStringLiteral("program");
    TksXMLItem *e = arena->Make();
    e->Name = QStringLiteral("expr");
    e->SetPlaces(12, 47);
    doc.Root()->AddItem(e);
    TksXMLItem *leaf = arena->Make();
    leaf->Name = QStringLiteral("node");
    leaf->Text = arena->Share(QStringLiteral("text=\"i\""));
    leaf->SetPlaces(13, -1);
    e->AddItem(leaf);
    TksXMLItem *other = arena->Make();
    other->Name = QStringLiteral("node");
    other->Text = arena->Share(QStringLiteral("text=\"i\""));
    e->AddItem(other);
    // one copy of a text many items hold
    EXPECT_EQ(other->Text.constData(), leaf->Text.constData());
    EXPECT_EQ(e->RawProp(QStringLiteral("POS")), QStringLiteral("2:2"));
    EXPECT_EQ(e->Prop(QStringLiteral("pos1")), QStringLiteral("5:7"));
    EXPECT_TRUE(e->RawProp(QStringLiteral("text")).isNull());
    EXPECT_EQ(leaf->Prop(QStringLiteral("text")), QStringLiteral("i"));
    EXPECT_TRUE(leaf->RawProp(QStringLiteral("pos1")).isNull());
    EXPECT_TRUE(other->RawProp(QStringLiteral("pos")).isNull());
    EXPECT_EQ(leaf->AttrText(), QStringLiteral("text=\"i\" pos=\"2:3\""));
    // written, read back and copied as attributes of the text
    TksXMLDocument back;
    back.LoadFromString(doc.SaveToString());
    ASSERT_EQ(back.Root()->Count(), 1);
    EXPECT_EQ(back.Root()->Items(0)->Prop(QStringLiteral("pos1")), QStringLiteral("5:7"));
    EXPECT_EQ(back.Root()->Items(0)->Items(0)->Prop(QStringLiteral("pos")), QStringLiteral("2:3"));
    TksXMLItem copy;
    copy.Assign(e);
    EXPECT_EQ(copy.Text, QStringLiteral("pos=\"2:2\" pos1=\"5:7\""));
    EXPECT_EQ(copy.Items(0)->Prop(QStringLiteral("pos")), QStringLiteral("2:3"));
    // a place set as text replaces the number
    e->SetProp(QStringLiteral("pos"), QStringLiteral("9:9"));
    EXPECT_EQ(e->Prop(QStringLiteral("pos")), QStringLiteral("9:9"));
    EXPECT_EQ(e->Prop(QStringLiteral("pos1")), QStringLiteral("5:7"));
    EXPECT_EQ(e->AttrText(), QStringLiteral("pos=\"9:9\" pos1=\"5:7\""));
    doc.Root()->Clear();
}

TEST(KsXmlTree, AnArenaItemKeepsItsPlacesWhereOtherItemsKeepTheirParent)
{
    auto arena = std::make_unique<TksXMLArena>();
    arena->PlaceText = [](char16_t *out, int place) {
        const QString s = QStringLiteral("1:%1").arg(place);
        std::copy(s.utf16(), s.utf16() + s.size(), out);
        return int(s.size());
    };
    TksXMLItem root;
    TksXMLItem *e = arena->Make();
    e->Name = QStringLiteral("expr");
    e->SetPlaces(12, 47);
    TksXMLItem *leaf = arena->Make();
    leaf->SetPlaces(13, -1);
    // taken into their trees, they keep their places
    root.AddItem(e);
    e->AddItem(leaf);
    TksXMLItem *heap = e->Add();
    EXPECT_EQ(e->Prop(QStringLiteral("pos")), QStringLiteral("1:12"));
    EXPECT_EQ(e->Prop(QStringLiteral("pos1")), QStringLiteral("1:47"));
    EXPECT_EQ(leaf->Prop(QStringLiteral("pos")), QStringLiteral("1:13"));
    EXPECT_TRUE(leaf->RawProp(QStringLiteral("pos1")).isNull());
    // the intermediate code is read from the top: its items name no parent
    EXPECT_EQ(e->Parent(), nullptr);
    EXPECT_EQ(leaf->Parent(), nullptr);
    EXPECT_EQ(heap->Parent(), e);
    EXPECT_EQ(heap->Root(), e);
    // places mean nothing to an item of the heap
    heap->SetPlaces(5, 6);
    EXPECT_TRUE(heap->RawProp(QStringLiteral("pos")).isNull());
    EXPECT_EQ(heap->AttrText(), QString());
    // freed through their parents, children first
    root.FreeItem(0);
    EXPECT_EQ(root.Items(0), nullptr);
    TksXMLItem *again = arena->Make();
    EXPECT_TRUE(again->RawProp(QStringLiteral("pos")).isNull());
    root.AddItem(again);
}

TEST(KsXmlTree, ItemsFreedOneByOneGiveTheirBlocksBack)
{
    TksXMLArena arena;
    TksXMLItem root;
    const int n = 5000;
    for (int i = 0; i < n; ++i) {
        TksXMLItem *x = arena.Make();
        x->Name = QStringLiteral("s%1").arg(i);
        x->Text = arena.Keep(QStringLiteral("pos=\"%1:1\"").arg(i + 1));
        x->AddItem(arena.Make());  // a child goes with its parent
        root.AddItem(x);
    }
    const size_t full = arena.BlockCount();
    ASSERT_GT(full, size_t(4));
    arena.GiveBackBlocks();
    for (int i = 0; i < n - 1; ++i) root.FreeItem(i);
    EXPECT_EQ(root.Count(), n);  // the slots stay, empty
    EXPECT_EQ(root.Items(0), nullptr);
    EXPECT_EQ(root.Find(QStringLiteral("s0")), -1);
    EXPECT_EQ(root.Find(QStringLiteral("s4999")), n - 1);
    EXPECT_EQ(root.Items(n - 1)->RawProp(QStringLiteral("pos")), QStringLiteral("5000:1"));
    EXPECT_LE(arena.BlockCount(), size_t(1));  // only the block still in use
    root.FreeItem(0);  // an empty slot again: nothing happens
    root.Clear();  // skips the empty slots
    EXPECT_EQ(root.Count(), 0);
}

TEST(KsXmlTree, ALoneChildIsHeldByItsParentItself)
{
    // Most items of the intermediate code have one child or none: such an
    // item takes no room for its children, and an item takes four words.
    TksXMLArena arena;
    arena.PlaceText = [](char16_t *out, int place) {
        const QString s = QStringLiteral("1:%1").arg(place);
        std::copy(s.utf16(), s.utf16() + s.size(), out);
        return int(s.size());
    };
    TksXMLItem root;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        TksXMLItem *x = arena.Make();
        x->Reserve(1);
        TksXMLItem *leaf = arena.Make();
        leaf->SetPlaces(i + 1, -1);
        x->AddItem(leaf);
        root.AddItem(x);
    }
    EXPECT_EQ(arena.KeptBlockCount(), size_t(0));
    // blocks of 32 KB, each holding over a thousand items
    EXPECT_LE(arena.BlockCount(), size_t(2 * n / 1000 + 1));
    TksXMLItem *x = root.Items(7);
    ASSERT_EQ(x->Count(), 1);
    EXPECT_EQ(x->Items(0)->RawProp(QStringLiteral("pos")), QStringLiteral("1:8"));
    // freed, its slot stays; a second child makes an array of both
    x->FreeItem(0);
    EXPECT_EQ(x->Count(), 1);
    EXPECT_EQ(x->Items(0), nullptr);
    TksXMLItem *second = arena.Make();
    x->AddItem(second);
    ASSERT_EQ(x->Count(), 2);
    EXPECT_EQ(x->Items(0), nullptr);
    EXPECT_EQ(x->Items(1), second);
    // a parent with room for three fills it
    TksXMLItem *three = arena.Make();
    three->Reserve(3);
    for (int i = 0; i < 4; ++i) three->AddItem(arena.Make());
    EXPECT_EQ(three->Count(), 4);
    EXPECT_EQ(arena.KeptBlockCount(), size_t(1));
    root.AddItem(three);
    root.Clear();

    // the same for items of the heap, which know their parent
    TksXMLItem parent;
    TksXMLItem *a = parent.Add();
    EXPECT_EQ(parent.Count(), 1);
    EXPECT_EQ(a->Parent(), &parent);
    auto *b = new TksXMLItem;
    parent.InsertItem(0, b);
    ASSERT_EQ(parent.Count(), 2);
    EXPECT_EQ(parent.Items(0), b);
    EXPECT_EQ(parent.Items(1), a);
    delete a;
    ASSERT_EQ(parent.Count(), 1);
    EXPECT_EQ(parent.Items(0), b);
    auto *c = new TksXMLItem;
    parent.InsertItem(0, c);
    EXPECT_EQ(parent.Items(0), c);
    EXPECT_EQ(parent.Items(1), b);
    delete b;
    delete c;
    EXPECT_EQ(parent.Count(), 0);
    TksXMLItem *d = parent.Add();
    parent.InsertItem(5, new TksXMLItem);
    EXPECT_EQ(parent.Items(0), d);
    // Data and Handle are each the item's own
    int data = 0, handle = 0;
    d->SetData(&data);
    d->SetHandle(&handle);
    EXPECT_EQ(d->Data(), &data);
    EXPECT_EQ(d->Handle(), &handle);
    d->SetData(nullptr);
    EXPECT_EQ(d->Data(), nullptr);
    EXPECT_EQ(d->Handle(), &handle);
    d->SetHandle(nullptr);
    EXPECT_EQ(d->Handle(), nullptr);
    EXPECT_EQ(parent.Items(0), d);  // the marks leave the children as they were
    EXPECT_EQ(parent.Count(), 2);
}

TEST(KsXmlWriter, WritesAndReadsBack)
{
    TksXMLDocument doc;
    TksXMLItem *r = doc.Root();
    r->Name = QStringLiteral("grammar");
    r->SetProp(QStringLiteral("text"), QStringLiteral("Pascal&Co"));
    TksXMLItem *c = r->Add();
    c->Name = QStringLiteral("rule");
    c->Add()->Name = QStringLiteral("leaf");
    EXPECT_EQ(doc.SaveToString(),
              QStringLiteral("<?xml version=\"1.0\"?><grammar text=\"Pascal&#38;Co\"><rule><leaf/></rule></grammar>"));
    doc.AutoIndent = true;
    EXPECT_EQ(doc.SaveToString(), QStringLiteral("<?xml version=\"1.0\"?>\r\n<grammar text=\"Pascal&#38;Co\">\r\n  "
                                                 "<rule>\r\n    <leaf/>\r\n  </rule>\r\n</grammar>\r\n"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("g.xml"));
    doc.SaveToFile(file);
    TksXMLDocument back;
    back.LoadFromFile(file);
    EXPECT_EQ(back.Root()->Prop(QStringLiteral("text")), QStringLiteral("Pascal&Co"));
    EXPECT_EQ(back.Root()->Items(0)->Items(0)->Name, QStringLiteral("leaf"));
    EXPECT_THROW(back.LoadFromFile(dir.filePath(QStringLiteral("none.xml"))), KsError);
}

TEST(KsXmlWriter, LargeDocumentsCrossTheBufferBoundary)
{
    TksXMLDocument doc;
    doc.Root()->Name = QStringLiteral("r");
    for (int i = 0; i < 2000; ++i) doc.Root()->Add()->SetProp(QStringLiteral("n"), QString::number(i));
    for (int i = 0; i < 2000; ++i) doc.Root()->Items(i)->Name = QStringLiteral("i");
    TksXMLDocument back;
    back.LoadFromString(doc.SaveToString());
    ASSERT_EQ(back.Root()->Count(), 2000);
    EXPECT_EQ(back.Root()->Items(1999)->Prop(QStringLiteral("n")), QStringLiteral("1999"));
}

}  // namespace
