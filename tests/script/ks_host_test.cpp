#include "ks_builder.h"
#include "script/ks_iconst.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QPointer>

using namespace ksb;

class TTestBase : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
    Q_PROPERTY(TStyles Style READ Style WRITE SetStyle)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(QObject *Link READ Link WRITE SetLink)
    Q_PROPERTY(int Version READ Version)
    Q_CLASSINFO("Default:Count", "3")
    Q_CLASSINFO("Default:Align", "alRight")
public:
    enum TAlign { alNone, alLeft, alRight };
    Q_ENUM(TAlign)
    enum TStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
    Q_DECLARE_FLAGS(TStyles, TStyle)
    Q_FLAG(TStyles)

    explicit TTestBase(QObject *parent = nullptr) : QObject(parent) {}
    int Count() const { return FCount; }
    void SetCount(int v) { FCount = v; }
    bool Active() const { return FActive; }
    void SetActive(bool v) { FActive = v; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v)
    {
        FCaption = v;
        ++CaptionWrites;
    }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign v) { FAlign = v; }
    TStyles Style() const { return FStyle; }
    void SetStyle(TStyles v) { FStyle = v; }
    double Ratio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }
    QObject *Link() const { return FLink; }
    void SetLink(QObject *v) { FLink = v; }
    int Version() const { return 7; }
    int CaptionWrites = 0;
    QList<int> Items = {10, 20, 30};
    QPointer<TksCustomEvent> OnClick;

private:
    int FCount = 3;
    bool FActive = false;
    QString FCaption;
    TAlign FAlign = alRight;
    TStyles FStyle;
    double FRatio = 0;
    QObject *FLink = nullptr;
};

class TTestChild : public TTestBase {
    Q_OBJECT
    Q_PROPERTY(QString Extra READ Extra WRITE SetExtra)
public:
    explicit TTestChild(QObject *parent = nullptr) : TTestBase(parent) {}
    QString Extra() const { return FExtra; }
    void SetExtra(const QString &v) { FExtra = v; }

private:
    QString FExtra;
};

// Not registered: its property belongs to the registered descendant.
class TMiddle : public TTestBase {
    Q_OBJECT
    Q_PROPERTY(int Mid READ Mid WRITE SetMid)
public:
    using TTestBase::TTestBase;
    int Mid() const { return FMid; }
    void SetMid(int v) { FMid = v; }

private:
    int FMid = 0;
};

class TLeaf : public TMiddle {
    Q_OBJECT
public:
    explicit TLeaf(QObject *parent = nullptr) : TMiddle(parent) {}
};

class TOther : public QObject {
    Q_OBJECT
public:
    explicit TOther(QObject *parent = nullptr) : QObject(parent) {}
};

namespace {

struct Classes {
    KsClassInfo *Base = ksRegisterClass<TTestBase>();
    KsClassInfo *Child = ksRegisterClass<TTestChild>();
    KsClassInfo *Other = ksRegisterClass<TOther>();
};
Classes &Cls()
{
    static Classes c;
    return c;
}

TEST(KsPublishedProperties, DeclarationOrderKindsAndDefaults)
{
    const KsClassInfo *base = Cls().Base;
    const KsClassInfo *child = Cls().Child;
    EXPECT_EQ(base->ClassName, QStringLiteral("TTestBase"));
    EXPECT_EQ(child->Ancestor, base);
    QStringList names;
    for (const KsPropInfo *p : child->Properties()) names << p->Name;
    EXPECT_EQ(names,
              QStringList({"Count", "Active", "Caption", "Align", "Style", "Ratio", "Link", "Version", "Extra"}));
    const KsPropInfo *align = child->FindProperty(QStringLiteral("align"));
    ASSERT_NE(align, nullptr);
    EXPECT_EQ(align->Kind, KsPropKind::Enumeration);
    EXPECT_EQ(align->TypeName, QStringLiteral("TAlign"));
    EXPECT_EQ(align->EnumNames, QStringList({"alNone", "alLeft", "alRight"}));
    EXPECT_TRUE(align->HasDefault);
    EXPECT_EQ(align->Default.ToInt(), 2);
    EXPECT_EQ(base->FindProperty(QStringLiteral("Count"))->Default.ToInt(), 3);
    EXPECT_FALSE(base->FindProperty(QStringLiteral("Caption"))->HasDefault);
    const KsPropInfo *style = base->FindProperty(QStringLiteral("Style"));
    EXPECT_EQ(style->Kind, KsPropKind::Set);
    EXPECT_EQ(style->ValueName(5), QStringLiteral("fsBold,fsUnderline"));
    qint64 v = 0;
    EXPECT_TRUE(style->ValueOf(QStringLiteral("fsItalic, fsBold"), v));
    EXPECT_EQ(v, 3);
    EXPECT_FALSE(style->ValueOf(QStringLiteral("fsNone"), v));
    EXPECT_EQ(base->FindProperty(QStringLiteral("Active"))->Kind, KsPropKind::Boolean);
    EXPECT_EQ(base->FindProperty(QStringLiteral("Ratio"))->Kind, KsPropKind::Float);
    EXPECT_EQ(base->FindProperty(QStringLiteral("Link"))->Kind, KsPropKind::Class);
    EXPECT_EQ(base->FindProperty(QStringLiteral("Link"))->TypeName, QStringLiteral("QObject"));
    EXPECT_TRUE(base->FindProperty(QStringLiteral("Version"))->IsReadOnly());
    EXPECT_EQ(base->FindProperty(QStringLiteral("Extra")), nullptr);
}

// Lookups see properties added later, and a class's own property wins over
// its ancestor's of the same name in another letter case.
TEST(KsPublishedProperties, LookupFollowsChanges)
{
    KsClassInfo *base = ksRegisterPlainClass(QStringLiteral("TCaseBase"), nullptr);
    KsClassInfo *child = ksRegisterPlainClass(QStringLiteral("TCaseChild"), base);
    EXPECT_EQ(child->FindProperty(QStringLiteral("Text")), nullptr);
    KsPropInfo text;
    text.Name = QStringLiteral("Text");
    const KsPropInfo *inherited = &base->AddProperty(text);
    EXPECT_EQ(child->FindProperty(QStringLiteral("TEXT")), inherited);
    text.Name = QStringLiteral("TEXT");
    const KsPropInfo *own = &child->AddProperty(text);
    EXPECT_EQ(child->FindProperty(QStringLiteral("Text")), own);
    EXPECT_EQ(child->FindProperty(QStringLiteral("text")), own);
    EXPECT_EQ(base->FindProperty(QStringLiteral("TEXT")), inherited);
    ksUnregisterClass(QStringLiteral("TCaseChild"));
    ksUnregisterClass(QStringLiteral("TCaseBase"));
}

// Classes are found by name in any letter case, the first registered of a
// name winning, and lookups follow registrations, renames and removals.
TEST(KsPublishedProperties, ClassLookupFollowsChanges)
{
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("TFoundLater")), nullptr);
    KsClassInfo *first = ksRegisterPlainClass(QStringLiteral("TFoundLater"), nullptr);
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("TFoundLater")), first);
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("tfoundlater")), first);
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("TFOUNDLATER")), first);
    // A class renamed after its registration answers to its new name only.
    first->ClassName = QStringLiteral("TRenamedLater");
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("TFoundLater")), nullptr);
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("trenamedlater")), first);
    ksUnregisterClass(QStringLiteral("TRenamedLater"));
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("TRenamedLater")), nullptr);
    KsClassInfo *again = ksRegisterPlainClass(QStringLiteral("TFoundLater"), nullptr);
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("tFoundLater")), again);
    ksUnregisterClass(QStringLiteral("TFoundLater"));
    EXPECT_EQ(ksFindClassInfo(QStringLiteral("TFoundLater")), nullptr);
}

TEST(KsPublishedProperties, UnregisteredQtSuperclassesContribute)
{
    const auto &registered = Cls();  // the base must be registered before the leaf
    const KsClassInfo *leaf = ksRegisterClass<TLeaf>();
    EXPECT_EQ(leaf->Ancestor, registered.Base);
    ASSERT_EQ(leaf->OwnProperties().size(), 1);
    EXPECT_EQ(leaf->OwnProperties()[0].Name, QStringLiteral("Mid"));
    EXPECT_EQ(ksRegisterClass<TLeaf>(), leaf);  // registering again returns the same description
}

TEST(KsPublishedProperties, QtValuesConvert)
{
    const KsValue day = ksFromQVariant(QVariant(QDateTime(QDate(2026, 1, 5), QTime(10, 30))));
    EXPECT_EQ(day.Kind(), KsKind::Date);
    EXPECT_EQ(day.ToString(), QStringLiteral("2026-01-05 10:30:00"));
    EXPECT_EQ(ksToQVariant(day, QMetaType::QDateTime).toDateTime(), QDateTime(QDate(2026, 1, 5), QTime(10, 30)));
    EXPECT_EQ(ksToQVariant(KsValue(QStringLiteral("2026-02-03")), QMetaType::QDate).toDate(), QDate(2026, 2, 3));
    EXPECT_TRUE(ksFromQVariant(QVariant(QDate())).IsNull());
    EXPECT_EQ(ksFromQVariant(QVariant(qlonglong(1) << 40)).Kind(), KsKind::Int64);
    EXPECT_EQ(ksFromQVariant(QVariant(QVariantList{1, QStringLiteral("a")})).ElementCount(), 2);
    EXPECT_TRUE(ksFromQVariant(QVariant()).IsEmpty());
    EXPECT_EQ(ksToQVariant(KsValue(QStringLiteral("7")), QMetaType::Int).toInt(), 7);
    EXPECT_THROW(ksToQVariant(KsValue(QStringLiteral("x")), QMetaType::Int), KsError);
}

TEST(KsPublishedProperties, GettersSettersAndFactory)
{
    std::unique_ptr<QObject> o(Cls().Child->Create(nullptr));
    auto *c = qobject_cast<TTestChild *>(o.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(ksClassInfoOf(c), Cls().Child);
    EXPECT_TRUE(ksObjectIsA(c, Cls().Base));
    EXPECT_FALSE(ksObjectIsA(c, Cls().Other));
    const KsClassInfo *info = Cls().Child;
    info->FindProperty(QStringLiteral("Align"))->Set(c, KsValue(1));
    EXPECT_EQ(c->Align(), TTestBase::alLeft);
    info->FindProperty(QStringLiteral("Style"))->Set(c, KsValue(6));
    EXPECT_EQ(int(c->Style()), 6);
    info->FindProperty(QStringLiteral("Caption"))->Set(c, KsValue(QStringLiteral("收银")));
    EXPECT_EQ(info->FindProperty(QStringLiteral("caption"))->Get(c).ToString(), QStringLiteral("收银"));
    TOther other;
    info->FindProperty(QStringLiteral("Link"))->Set(c, KsValue::FromObject(&other));
    EXPECT_EQ(c->Link(), &other);
    EXPECT_EQ(info->FindProperty(QStringLiteral("Link"))->Get(c).ToObject(), &other);
    EXPECT_EQ(info->FindProperty(QStringLiteral("Ratio"))->Get(c).Kind(), KsKind::Double);
    EXPECT_THROW(ksRegisterPlainClass(QStringLiteral("TAbstractThing"), nullptr)->Create(), KsError);
}

class KsHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        S.AddRTTI();
        Base = S.AddClass(Cls().Base, QStringLiteral("TObject"));
        Child = S.AddClass(Cls().Child, QStringLiteral("TTestBase"));
        Obj = new TTestChild;
        Obj->setObjectName(QStringLiteral("Obj1"));
        ObjVar = S.AddObject(QStringLiteral("Obj1"), Obj);
    }
    void TearDown() override { delete Obj; }
    // Obj1.<member>(args)
    TksDesignator *Member(const char *name, std::vector<TksExpression *> args = {})
    {
        TksCustomVariable *m = Child->FindMember(QString::fromLatin1(name));
        EXPECT_NE(m, nullptr) << name;
        return Dsg(&S, {{ObjVar, {}}, {m, args}});
    }
    KsValue Read(TksDesignator *d)
    {
        std::unique_ptr<TksDesignator> own(d);
        return d->GetValue();
    }
    void Write(TksDesignator *d, const KsValue &v)
    {
        TksAssignmentStmt st(&S, QString(), QStringLiteral("1:1"), d, Expr(&S, {v}));
        st.Execute();
    }
    TksScript S;
    TksClassVariable *Base = nullptr;
    TksClassVariable *Child = nullptr;
    TTestChild *Obj = nullptr;
    TksVariable *ObjVar = nullptr;
};

TEST_F(KsHost, PublishedPropertiesThroughDesignators)
{
    EXPECT_EQ(ObjVar->TypeName, QStringLiteral("TTestChild"));
    TksDesignator *active = Member("Active");
    EXPECT_EQ(active->TypeCode, tcBoolean);
    EXPECT_EQ(Read(active).Kind(), KsKind::Boolean);
    Write(Member("Active"), KsValue(true));
    EXPECT_TRUE(Obj->Active());
    Write(Member("Count"), KsValue(41));
    EXPECT_EQ(Read(Member("Count")).ToInt(), 41);
    EXPECT_EQ(Read(Member("Extra")).ToString(), QString());
    // read-only properties ignore writes
    TksDesignator *version = Member("Version");
    EXPECT_TRUE(version->ReadOnly);
    Write(version, KsValue(1));
    EXPECT_EQ(Read(Member("Version")).ToInt(), 7);
    // members of the class are listed alphabetically
    EXPECT_EQ(static_cast<TksCustomVariable *>(Base->Members.Items(0))->Name, QStringLiteral("Active"));
}

TEST_F(KsHost, StringPropertyCharacterWriteCallsTheSetterOnce)
{
    Obj->SetCaption(QStringLiteral("abc"));
    Obj->CaptionWrites = 0;
    TksDesignator *d = Dsg(&S, {{ObjVar, {}},
                                {Child->FindMember(QStringLiteral("Caption")), {}},
                                {S.Find(QStringLiteral("__StringHelper")), {Expr(&S, {2})}}});
    Write(d, Str("X"));
    EXPECT_EQ(Obj->Caption(), QStringLiteral("aXc"));
    EXPECT_EQ(Obj->CaptionWrites, 1);
}

TEST_F(KsHost, MethodsVarParamsAndArrayCallbacks)
{
    Base->AddMethod(QStringLiteral("function Sum(a, b: Integer): Integer"),
                    [](QObject *inst, const KsClassInfo *cls, const QString &name, TksMethodHelper *h) {
                        EXPECT_EQ(name, QStringLiteral("SUM"));
                        EXPECT_EQ(cls->ClassName, QStringLiteral("TTestBase"));
                        return KsValue(h->GetParam(0).ToInt() + h->GetParam(1).ToInt() +
                                       qobject_cast<TTestBase *>(inst)->Count());
                    });
    Base->AddMethod(QStringLiteral("procedure Twice(var x: Integer)"),
                    [](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                        h->SetParam(0, KsValue(h->GetParam(0).ToInt() * 2));
                        return KsValue();
                    });
    Base->AddMethodEx(QStringLiteral("procedure Neg(var x: Integer)"),
                      [](QObject *, const KsClassInfo *, const QString &name, KsValue &params) {
                          EXPECT_EQ(name, QStringLiteral("NEG"));
                          params.ElementMut(0) = ksNegate(params.Element(0));
                          return KsValue();
                      });
    Base->AddMethod(QStringLiteral("function Unbound: Integer"), nullptr);
    EXPECT_EQ(Read(Member("Sum", {Expr(&S, {1}), Expr(&S, {2})})).ToInt(), 6);
    auto *x = Var(&S, "x", tcInteger, KsValue(5));
    S.MainBlock->Add(Call(&S, Member("Twice", {Expr(&S, {x})})));
    S.MainBlock->Add(Call(&S, Member("Neg", {Expr(&S, {x})})));
    S.Execute();
    EXPECT_EQ(x->Value.ToInt(), -10);
    EXPECT_EQ(Read(Member("Unbound")).ToInt(), 0);  // no callback: 0
}

TEST_F(KsHost, IndexedAndDefaultProperties)
{
    auto cb = [](QObject *inst, const KsClassInfo *, const QString &name, TksMethodHelper *h) {
        auto *o = qobject_cast<TTestBase *>(inst);
        int i = h->GetParam(0).ToInt();
        if (name == QLatin1String("ITEMS.GET")) return KsValue(o->Items.value(i));
        EXPECT_EQ(name, QStringLiteral("ITEMS.SET"));
        o->Items[i] = h->GetParam(h->ParamCount()).ToInt();  // the value follows the indexes
        return KsValue();
    };
    TksMethodHelper *items =
            Base->AddDefaultProperty(QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("Integer"), cb);
    EXPECT_TRUE(items->IndexMethod);
    EXPECT_EQ(Base->DefProperty, items);
    EXPECT_EQ(items->Syntax, QStringLiteral("function Items(p0: Integer): Integer"));
    EXPECT_EQ(Read(Member("Items", {Expr(&S, {1})})).ToInt(), 20);
    Write(Member("Items", {Expr(&S, {2})}), KsValue(99));
    EXPECT_EQ(Obj->Items[2], 99);
    // the array-callback form receives the value as the last element
    KsValue seen;
    Base->AddIndexProperty(QStringLiteral("Cells"), QStringLiteral("Integer,Integer"), QStringLiteral("String"),
                           nullptr)
            ->OnCallArray = [&](QObject *, const KsClassInfo *, const QString &name, KsValue &params) {
        if (name == QLatin1String("CELLS.SET")) seen = params;
        return KsValue();
    };
    Write(Member("Cells", {Expr(&S, {1}), Expr(&S, {2})}), Str("v"));
    ASSERT_TRUE(seen.IsArray());
    EXPECT_EQ(seen.ElementCount(), 3);
    EXPECT_EQ(seen.Element(2).ToString(), QStringLiteral("v"));
    // a class registered later with this ancestor takes its default property
    TksClassVariable *other = S.AddClass(Cls().Other, QStringLiteral("TTestBase"));
    EXPECT_EQ(other->DefProperty, items);
}

TEST_F(KsHost, AncestorMembersAndDuplicateClasses)
{
    Base->AddProperty(QStringLiteral("Computed"), QStringLiteral("Integer"),
                      [](QObject *inst, const KsClassInfo *, const QString &name) {
                          EXPECT_EQ(name, QStringLiteral("COMPUTED"));
                          return KsValue(qobject_cast<TTestBase *>(inst)->Count() * 2);
                      });
    ASSERT_NE(Child->FindMember(QStringLiteral("computed")), nullptr);
    EXPECT_TRUE(Child->FindMember(QStringLiteral("Computed"))->ReadOnly);
    EXPECT_EQ(Read(Member("Computed")).ToInt(), 6);
    EXPECT_EQ(S.AddClass(Cls().Base, QStringLiteral("TObject")), nullptr);
    EXPECT_EQ(S.FindClass(QStringLiteral("TTestBase")), Base);
}

TEST_F(KsHost, TypecastAndConstruction)
{
    TksMethodHelper *create =
            Base->AddConstructor(QStringLiteral("constructor Create(ACount: Integer)"),
                                 [](QObject *inst, const KsClassInfo *, const QString &name, TksMethodHelper *h) {
                                     EXPECT_EQ(name, QStringLiteral("CREATE"));
                                     qobject_cast<TTestBase *>(inst)->SetCount(h->GetParam(0).ToInt());
                                     return KsValue::FromObject(inst);
                                 });
    EXPECT_EQ(create->TypeCode, tcConstructor);
    TksDesignator *d = Dsg(&S, {{Base, {}}, {create, {Expr(&S, {12})}}});
    EXPECT_EQ(d->TypeCode, tcClass);
    EXPECT_EQ(d->TypeName, QStringLiteral("TTestBase"));
    KsValue made = Read(d);
    std::unique_ptr<QObject> own(made.ToObject(Cls().Base));
    EXPECT_EQ(qobject_cast<TTestBase *>(own.get())->Count(), 12);
    // a typecast of an object yields it unchanged
    EXPECT_EQ(Read(Dsg(&S, {{Base, {Expr(&S, {ObjVar})}}})).ToObject(), Obj);
    // naming the class alone gives a new instance
    KsValue fresh = Read(Dsg(&S, {{Base, {}}}));
    std::unique_ptr<QObject> own2(fresh.ToObject());
    EXPECT_NE(own2.get(), Obj);
    EXPECT_EQ(ksClassInfoOf(own2.get()), Cls().Base);
}

TEST_F(KsHost, FreedObjectsAndWrongClassesRaiseCatchableErrors)
{
    auto *r = StrVar(&S, "r");
    auto *t = new TksTryStmt(&S, QString(), QStringLiteral("1:1"), true);
    t->Add(Assign(&S, r, Expr(&S, {Member("Caption")})));
    t->ExceptStmt->Add(Assign(&S, r, Expr(&S, {S.Find(QStringLiteral("ExceptionClassName"))})));
    S.MainBlock->Add(t);
    delete Obj;
    Obj = nullptr;
    S.Execute();
    EXPECT_EQ(r->Value.ToString(), QStringLiteral("EInvalidObject"));
    // an object of another class in a variable typed for this one
    TOther other;
    ObjVar->Value = KsValue::FromObject(&other);
    S.Execute();
    EXPECT_EQ(r->Value.ToString(), QStringLiteral("EInvalidCast"));
}

TEST_F(KsHost, EventsRunScriptProceduresAndReturnVarArguments)
{
    Base->AddEvent(QStringLiteral("OnClick"), [](QObject *inst, const QString &name, TksCustomEvent *adapter) {
        EXPECT_EQ(name, QStringLiteral("OnClick"));
        qobject_cast<TTestBase *>(inst)->OnClick = adapter;
    });
    // procedure Clicked(Sender: TObject; var Allow: Boolean); begin n := n + 1; Allow := False; <fire again> end;
    auto *n = Var(&S, "n", tcInteger, KsValue(0));
    auto *proc = Proc(&S, "Clicked", tcVariant, false);
    Param(proc, "Sender", tcVariant);
    auto *allow = Param(proc, "Allow", tcBoolean, true);
    proc->Prog->MainBlock->Add(Assign(proc->Prog, n, Expr(proc->Prog, {n, "+", 1})));
    proc->Prog->MainBlock->Add(Assign(proc->Prog, allow, Expr(proc->Prog, {false})));
    S.AddMethod(QStringLiteral("procedure FireAgain"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    std::vector<KsValue> args{KsValue::FromObject(Obj), KsValue(true)};
                    Obj->OnClick->Invoke(args);  // ignored: the handler is running
                    return KsValue();
                });
    proc->Prog->MainBlock->Add(Call(proc->Prog, Dsg(proc->Prog, {{S.Find(QStringLiteral("FireAgain")), {}}})));

    Write(Member("OnClick"), Str("Clicked"));
    ASSERT_FALSE(Obj->OnClick.isNull());
    std::vector<KsValue> args{KsValue::FromObject(Obj), KsValue(true)};
    Obj->OnClick->Invoke(args);
    EXPECT_EQ(n->Value.ToInt(), 1);
    EXPECT_FALSE(args[1].ToBool());
    EXPECT_EQ(Read(Member("OnClick")).ToString(), QString());
    Write(Member("OnClick"), Str("0"));
    EXPECT_TRUE(Obj->OnClick.isNull());
    try {
        Write(Member("OnClick"), Str("n"));
        FAIL();
    } catch (const KsError &e) {
        EXPECT_EQ(e.Message, SEventError);
    }
    // the script owns adapters: Clear frees them and the host sees it
    Write(Member("OnClick"), Str("Clicked"));
    S.Clear();
    EXPECT_TRUE(Obj->OnClick.isNull());
}

TEST_F(KsHost, FormsPublishTheirComponents)
{
    QObject form;
    form.setObjectName(QStringLiteral("frmTest"));
    auto *button = new TTestBase(&form);
    button->setObjectName(QStringLiteral("Button1"));
    new QObject(&form);  // unnamed: not published
    S.AddForm(&form, QStringLiteral("TForm"));
    TksClassVariable *cls = S.FindClass(QStringLiteral("QObject"));
    ASSERT_NE(cls, nullptr);
    TksCustomVariable *comp = cls->FindMember(QStringLiteral("Button1"));
    ASSERT_NE(comp, nullptr);
    EXPECT_EQ(comp->TypeName, QStringLiteral("TTestBase"));
    TksCustomVariable *formVar = S.Find(QStringLiteral("frmTest"));
    ASSERT_NE(formVar, nullptr);
    std::unique_ptr<TksDesignator> d(
            Dsg(&S, {{formVar, {}}, {comp, {}}, {Base->FindMember(QStringLiteral("Count")), {}}}));
    EXPECT_EQ(d->GetValue().ToInt(), 3);
}

}  // namespace

// A holder that publishes one of its children as a property.
class TPartHolder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *Part READ Part)
public:
    TPartHolder() : FPart(new QObject(this)), FOther(new QObject(this)) {}
    QObject *Part() const { return FPart; }
    QObject *Other() const { return FOther; }

private:
    QObject *FPart, *FOther;
};

namespace {

TEST(KsHostFree, AnObjectItsOwnerPublishesCannotBeFreedAlone)
{
    const KsClassInfo *info = ksRegisterClass(&TPartHolder::staticMetaObject);
    TPartHolder holder;
    TksScript s;
    s.AddRTTI();
    s.AddClass(info, QStringLiteral("TObject"));
    s.AddObject(QStringLiteral("Holder"), &holder);
    s.AddObject(QStringLiteral("Child"), holder.Other());
    s.AddVariable(QStringLiteral("Msg"), QStringLiteral("String"), KsValue(QString()));
    s.SyntaxType = QStringLiteral("PascalScript");
    s.Lines = QStringList{QStringLiteral("begin"),
                          QStringLiteral("  try TObject(Holder.Part).Free except Msg := ExceptionClassName end;"),
                          QStringLiteral("  TObject(Child).Free;"), QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << " " << s.ErrorMsg.toStdString();
    QPointer<QObject> other = holder.Other();
    s.Execute();
    EXPECT_TRUE(s.ErrorMsg.isEmpty()) << s.ErrorMsg.toStdString();
    EXPECT_EQ(s.Find(QStringLiteral("Msg"))->GetValue().ToText(), QStringLiteral("EInvalidOperation"));
    EXPECT_NE(holder.Part(), nullptr);
    EXPECT_TRUE(holder.findChildren<QObject *>().contains(holder.Part()));
    // a child nobody publishes may go, as a component on its owner does
    EXPECT_TRUE(other.isNull());
}

}  // namespace

#include "ks_host_test.moc"
