#include "script/ks_idesignator.h"

#include "script/ks_budget.h"
#include "script/ks_iconst.h"
#include "script/ks_xml.h"

#include <optional>
#include <typeinfo>

std::function<TksDesignator *(TksScript *, TksXMLItem *)> TksDesignator::LateCompiler;

namespace {

enum RefKind : std::uint8_t { rkPlain, rkDesignator, rkProc, rkHelper };

RefKind Classify(TksCustomVariable *item)
{
    // Most are plain variables: their exact type says so without a search.
    if (item && (typeid(*item) == typeid(TksVariable) || typeid(*item) == typeid(TksStringVariable))) return rkPlain;
    if (dynamic_cast<TksDesignator *>(item)) return rkDesignator;
    if (dynamic_cast<TksProcVariable *>(item)) return rkProc;
    if (dynamic_cast<TksCustomHelper *>(item)) return rkHelper;
    return rkPlain;
}

// Arguments are evaluated into this buffer before any parameter is set, so
// that an argument may read the parameters of the routine it calls.
struct ArgBuffer {
    alignas(KsValue) unsigned char Raw[8 * sizeof(KsValue)];
    std::unique_ptr<KsValue[]> Heap;
    KsValue *Data;
    int N;
    explicit ArgBuffer(int n) : N(n)
    {
        if (n > 8) {
            Heap.reset(new KsValue[size_t(n)]);
            Data = Heap.get();
        } else {
            Data = reinterpret_cast<KsValue *>(Raw);
            for (int i = 0; i < n; ++i) new (&Data[i]) KsValue();
        }
    }
    ~ArgBuffer()
    {
        if (N <= 8)
            for (int i = 0; i < N; ++i) Data[i].~KsValue();
    }
    ArgBuffer(const ArgBuffer &) = delete;
    ArgBuffer &operator=(const ArgBuffer &) = delete;
};

bool AllPure(const TksDesignatorItem *link)
{
    for (int i = 0; i < link->Count(); ++i)
        if (!link->Arg(i) || !link->Arg(i)->IsPure()) return false;
    return true;
}

}  // namespace

QString ksStringChar(const QString &s, qint64 i)
{
    if (i < 1 || i > s.size())
        throw KsError(QStringLiteral("ERangeError"), SStringIndexError + QStringLiteral(": %1").arg(i));
    return QString(s[qsizetype(i - 1)]);
}

void ksSetStringChar(QString &s, qint64 i, const KsValue &ch)
{
    if (i < 1 || i > s.size())
        throw KsError(QStringLiteral("ERangeError"), SStringIndexError + QStringLiteral(": %1").arg(i));
    QString t = ch.ToText();
    // a text shared with another value is copied before one character changes
    if (!s.isDetached()) ksChargeRun(qint64(s.size()) * 2);
    s[qsizetype(i - 1)] = t.isEmpty() ? QChar(0) : t[0];
}

TksDesignatorItem::TksDesignatorItem(TksCustomVariable *ref, const QString &sourcePos)
    : Ref(ref), SourcePos(sourcePos), RefKind(Classify(ref))
{}

void TksDesignatorItem::SetRef(TksCustomVariable *ref)
{
    Ref = ref;
    RefKind = Classify(ref);
}

// ---- designator ---------------------------------------------------------------------------

TksDesignator::TksDesignator(TksScript *prog) : TksCustomVariable(QString(), tcVariant, QString()), Prog(prog) {}

TksDesignator::~TksDesignator() = default;

TksDesignator *TksDesignator::ForVariable(TksScript *prog, TksCustomVariable *var, const QString &pos)
{
    auto *d = new TksDesignator(prog);
    d->SourcePos = pos;
    d->AddItem(var, pos);
    d->Finish();
    return d;
}

TksDesignatorItem *TksDesignator::AddItem(TksCustomVariable *ref, const QString &sourcePos)
{
    auto *link = new TksDesignatorItem(ref, sourcePos);
    Add(link);
    return link;
}

void TksDesignator::Finish()
{
    Kind = dkGeneral;
    Variable = nullptr;
    FIndexes[0] = nullptr;
    Proc = nullptr;
    VariantElement = false;
    FIndexCount = 0;
    FPureElement = false;
    const int n = Count();
    if (n == 0) return;
    TksCustomVariable *last = Link(n - 1)->Ref;
    TypeCode = last->TypeCode;
    TypeName = last->TypeName;
    ReadOnly = last->ReadOnly;
    if (TypeCode == tcConstructor) {
        TypeCode = tcClass;
        TypeName = n >= 2 ? Link(n - 2)->Ref->TypeName.str() : QString();
    }
    TksCustomVariable *first = Link(0)->Ref;
    auto *var = dynamic_cast<TksVariable *>(first);
    if (n == 1 && var) {
        Kind = dkVariable;
        Variable = var;
    } else if (n == 2 && dynamic_cast<TksStringVariable *>(first) && Link(1)->Count() > 0 &&
               dynamic_cast<TksStringHelper *>(Link(1)->Ref)) {
        Kind = dkStringChar;
        Variable = var;
        FIndexes[0] = Link(1)->Arg(0);
    } else if (n == 2 && var && var->TypeCode == tcArray && dynamic_cast<TksArrayHelper *>(var->ResultVar) &&
               Link(1)->Count() > 0) {
        Kind = dkArrayElement;
        Variable = var;
        const TksDesignatorItem *link = Link(1);
        FIndexCount = std::uint8_t(std::min(link->Count(), 3));
        for (int i = 0; i < FIndexCount; ++i) FIndexes[i] = link->Arg(i);
        FPureElement = AllPure(link);
    } else if (n == 2 && ksIsPlainRead(first) && first->TypeCode == tcVariant && Link(1)->RefKind == rkHelper &&
               dynamic_cast<TksArrayHelper *>(Link(1)->Ref) &&
               static_cast<TksArrayHelper *>(Link(1)->Ref)->Dims == 0 && Link(1)->Count() >= 1 &&
               Link(1)->Count() <= 3 && AllPure(Link(1))) {
        VariantElement = true;
        const TksDesignatorItem *link = Link(1);
        auto leftOut = [](const TksExpression *e) {  // the constant Empty of an optional index
            return e->Root && e->Root->NodeKind == TksExpressionNode::nkOperand && static_cast<const TksOperandNode *>(e->Root)->Value.IsEmpty();
        };
        int given = 1;
        while (given < link->Count() && !leftOut(link->Arg(given))) ++given;
        VariantIndexCount = std::uint8_t(given);
        FIndexCount = VariantIndexCount;
        for (int i = 0; i < FIndexCount; ++i) FIndexes[i] = link->Arg(i);
        FPureElement = true;  // AllPure above
    } else if (n == 1 && Link(0)->RefKind == rkProc && !first->IsMacro && Link(0)->Count() <= first->Count()) {
        bool anyVar = false;
        for (int j = 0; j < Link(0)->Count(); ++j) anyVar = anyVar || first->Param(j)->IsVarParam;
        if (!anyVar) {
            Kind = dkCall;
            Proc = static_cast<TksProcVariable *>(first);
        }
    } else if (n == 2 && ksIsPlainRead(first) && Link(0)->Count() == 0 && Link(1)->Count() == 0 &&
               typeid(*Link(1)->Ref) == typeid(TksPropertyHelper)) {
        Kind = dkProperty;
        Variable = static_cast<TksVariable *>(first);
    } else if (n == 1 && Link(0)->RefKind == rkHelper && !first->IsMacro && Link(0)->Count() <= first->Count()) {
        const auto *m = dynamic_cast<const TksMethodHelper *>(first);
        bool plain = m && !m->ClassRef && !m->IndexMethod && m->OnCall && !m->OnCallArray;
        for (int j = 0; plain && j < Link(0)->Count(); ++j) plain = !first->Param(j)->IsVarParam;
        if (plain) Kind = dkHostCall;
    }
}

void TksDesignator::ResolveLate()
{
    if (!LateCompiler)
        throw KsError(QStringLiteral("EParserError"),
                      ksNameMessage(SIdUndeclared, LateXML->Prop(QStringLiteral("text"))));
    std::unique_ptr<TksDesignator> tmp(LateCompiler(Prog, LateXML.get()));
    FItems.swap(tmp->FItems);
    Kind = tmp->Kind;
    Variable = tmp->Variable;
    Proc = tmp->Proc;
    VariantElement = tmp->VariantElement;
    VariantIndexCount = tmp->VariantIndexCount;
    FIndexCount = tmp->FIndexCount;
    std::copy(std::begin(tmp->FIndexes), std::end(tmp->FIndexes), std::begin(FIndexes));
    FPureElement = tmp->FPureElement;
    TypeCode = tmp->TypeCode;
    TypeName = tmp->TypeName;
    ReadOnly = tmp->ReadOnly;
    LateXML.reset();
}

void TksDesignator::ArrayIndexes(qint64 *idx, int &n)
{
    n = FIndexCount;
    for (int i = 0; i < n; ++i) idx[i] = FIndexes[i]->IndexValue();
}

// The indexes given, as the open array helper counts them (up to the first
// optional one left out); 0 when the variable holds no array of that many
// dimensions, which the chain then handles.
int TksDesignator::VariantIndexes(qint64 *idx)
{
    const TksDesignatorItem *link = Link(1);
    int given = 0;
    for (int i = 0; i < VariantIndexCount; ++i) {
        TksExpression *e = link->Arg(i);
        if (i > 0) {  // an optional index given as Empty ends them
            const KsValue v = e->GetValue();
            if (v.IsEmpty()) break;
            idx[given++] = v.ToInt64();
            continue;
        }
        idx[given++] = e->IndexValue();
    }
    const KsValue &arr = Link(0)->Ref->Value;
    return arr.IsArray() && arr.DimCount() == given ? given : 0;
}

KsValue TksDesignator::StringCharGet()
{
    qint64 i = FIndexes[0]->IndexValue();
    const KsValue &v = Variable->Value;
    if (v.IsString()) return KsValue(ksStringChar(v.RawString(), i));
    return KsValue(ksStringChar(v.ToText(), i));
}

void TksDesignator::StringCharSet(const KsValue &value)
{
    qint64 i = FIndexes[0]->GetValue().ToInt64();
    if (Variable->ReadOnly) return;
    if (!Variable->Value.IsString()) Variable->Value = KsValue(Variable->Value.ToText());
    ksSetStringChar(Variable->Value.RawString(), i, value);
}

KsValue TksDesignator::GetValue()
{
    if (LateXML) ResolveLate();
    switch (Kind) {
    case dkVariable:
        return Variable->Value;
    case dkStringChar:
        return StringCharGet();
    case dkArrayElement: {
        if (const KsValue *e = ElementRef()) return *e;
        qint64 idx[3];
        int n;
        ArrayIndexes(idx, n);
        const KsValue &arr = Variable->Value;
        if (arr.DimCount() > 3) return KsValue();
        return arr.At(idx, n);
    }
    case dkCall:
        return Call();
    case dkHostCall:
        return HostCall();
    case dkProperty: {  // what the chain does, without walking it
        auto *h = static_cast<TksPropertyHelper *>(Link(1)->Ref);
        return h->GetFrom(Variable->Value.ToObject(h->ClassRef));
    }
    default:
        if (VariantElement) {
            if (const KsValue *e = ElementRef()) return *e;
            qint64 idx[3];
            if (const int n = VariantIndexes(idx)) return Link(0)->Ref->Value.At(idx, n);
        }
        return Walk(false, KsValue());
    }
}

// What Walk does for a function of the host called on its own, without its
// general cases: the arguments are all read before any parameter is set (an
// argument may call the same function).
KsValue TksDesignator::HostCall()
{
    TksDesignatorItem *link = Link(0);
    auto *m = static_cast<TksMethodHelper *>(link->Ref);
    const int nargs = link->Count();
    if (m->Direct && nargs <= 4) {
        // a library function: no object, no name to look up; a variable or
        // constant argument is read where it stands while the others change
        // no variable
        bool inPlace = true;
        for (int j = 0; j < nargs && inPlace; ++j) inPlace = link->Arg(j)->InPlace() || link->Arg(j)->IsPure();
        KsValue own[4];
        const KsValue *args[4];
        for (int j = 0; j < nargs; ++j) {
            const KsValue *in = inPlace ? link->Arg(j)->InPlace() : nullptr;
            if (!in) {
                own[j] = link->Arg(j)->GetValue();
                in = &own[j];
            }
            args[j] = in;
        }
        KsValue r = m->Direct(args);
        if (r.Kind() >= KsKind::String) ksRunTookValue(r);
        return r;
    }
    if (nargs == 1) {
        KsValue arg = link->Arg(0)->GetValue();
        TksParamItem *p = m->Param(0);
        if (!p->ReadOnly) p->Value = std::move(arg);
    } else if (nargs > 1) {
        ArgBuffer args(nargs);
        for (int j = 0; j < nargs; ++j) args.Data[j] = link->Arg(j)->GetValue();
        for (int j = 0; j < nargs; ++j) {
            TksParamItem *p = m->Param(j);
            if (!p->ReadOnly) p->Value = std::move(args.Data[j]);
        }
    }
    m->ParentRef = nullptr;
    m->ParentValue.Clear();
    m->Prog = Prog;
    m->ResultWanted = ResultWanted;
    return m->GetValue();
}

// What Walk does for a routine of the program, without its general cases.
KsValue TksDesignator::Call()
{
    TksDesignatorItem *link = Link(0);
    const int nargs = link->Count();
    if (nargs == 1) {  // the common case without a buffer
        KsValue arg = link->Arg(0)->GetValue();
        TksProcVariable::Frame frame(Proc);
        TksParamItem *p = Proc->Param(0);
        if (!p->ReadOnly) p->Value = std::move(arg);
        Proc->ResultWanted = ResultWanted;
        return Proc->GetValue();
    }
    ArgBuffer args(nargs);
    for (int j = 0; j < nargs; ++j) args.Data[j] = link->Arg(j)->GetValue();
    TksProcVariable::Frame frame(Proc);
    for (int j = 0; j < nargs; ++j) {
        TksParamItem *p = Proc->Param(j);
        if (!p->ReadOnly) p->Value = std::move(args.Data[j]);
    }
    Proc->ResultWanted = ResultWanted;
    return Proc->GetValue();
}

void TksDesignator::SetValue(const KsValue &value)
{
    if (LateXML) ResolveLate();
    switch (Kind) {
    case dkVariable:
        Variable->SetValue(value);
        return;
    case dkStringChar:
        StringCharSet(value);
        return;
    case dkProperty: {
        auto *h = static_cast<TksPropertyHelper *>(Link(1)->Ref);
        if (!h->ReadOnly) h->SetOn(Variable->Value.ToObject(h->ClassRef), value);
        return;
    }
    case dkArrayElement: {
        qint64 idx[3];
        int n = FIndexCount;
        if (!ElementIndexes(idx)) ArrayIndexes(idx, n);
        if (Variable->ReadOnly || Variable->Value.DimCount() > 3) return;
        Variable->Value.SetAt(idx, n, value);
        return;
    }
    default:
        if (VariantElement) {
            qint64 idx[3];
            const KsValue &arr = Link(0)->Ref->Value;
            const bool direct = ElementIndexes(idx) && arr.IsArray() && arr.DimCount() == FIndexCount;
            if (const int n = direct ? FIndexCount : VariantIndexes(idx)) {
                TksCustomVariable *v = Link(0)->Ref;
                if (!v->ReadOnly) v->Value.SetAt(idx, n, value);
                return;
            }
        }
        Walk(true, value);
    }
}

KsValue TksDesignator::Walk(bool writing, const KsValue &value)
{
    KsValue r;
    TksCustomVariable *prev = nullptr;
    const int count = Count();
    for (int li = 0; li < count; ++li) {
        TksDesignatorItem *link = Link(li);
        TksCustomVariable *item = link->Ref;
        if (link->RefKind == rkDesignator) {
            r = item->GetValue();
            prev = item;
            continue;
        }
        std::optional<TksProcVariable::Frame> frame;
        if (link->RefKind == rkProc) frame.emplace(static_cast<TksProcVariable *>(item));
        const int nargs = link->Count();
        const int nparams = item->Count();
        ArgBuffer args(nargs);
        if (nargs > 0) {
            for (int j = 0; j < nargs; ++j) {
                TksExpression *e = link->Arg(j);
                args.Data[j] = item->IsMacro ? KsValue(e->Source()) : e->GetValue();
            }
            for (int j = 0; j < nargs && j < nparams; ++j) {
                TksParamItem *p = item->Param(j);  // parameters keep their value in Value
                if (!p->ReadOnly) p->Value = std::move(args.Data[j]);
            }
        }
        if (link->RefKind == rkHelper) {
            auto *helper = static_cast<TksCustomHelper *>(item);
            helper->ParentRef = prev;
            // Handed over, not shared: a store into an array held by one
            // variable then changes it in place instead of copying it.
            helper->ParentValue = std::move(r);
            helper->Prog = Prog;
        }
        prev = item;
        const bool last = li == count - 1;
        if (last && writing) {
            item->SetValue(value);
        } else {
            item->ResultWanted = !last || ResultWanted;
            r = item->GetValue();
        }
        // Var parameters: take the callee's values, give the caller its own
        // locals back (recursion), then write into the argument expressions.
        bool anyVar = false;
        for (int j = 0; j < nargs && j < nparams; ++j)
            if (item->Param(j)->IsVarParam) {
                args.Data[j] = item->Param(j)->Value;
                anyVar = true;
            }
        if (frame) frame->Release();
        if (anyVar)
            for (int j = 0; j < nargs && j < nparams; ++j)
                if (item->Param(j)->IsVarParam) link->Arg(j)->SetValue(args.Data[j]);
    }
    // A read lets go of the values it handed the helpers, so that the next
    // store into an array read here need not copy it.
    if (!writing)
        for (int li = 0; li < count; ++li)
            if (Link(li)->RefKind == rkHelper) static_cast<TksCustomHelper *>(Link(li)->Ref)->ParentValue.Clear();
    return r;
}

bool ksAddDefaultArgs(TksDesignatorItem *link, TksScript *prog)
{
    TksCustomVariable *item = link->Ref;
    for (int j = link->Count(); j < item->Count(); ++j) {
        TksParamItem *p = item->Param(j);
        if (!p->IsOptional) return false;
        auto *e = new TksExpression(prog);
        e->SourcePos = link->SourcePos;
        e->AddConst(p->DefValue);
        e->Finish();
        link->AddArg(e);
    }
    return true;
}

// ---- helpers -------------------------------------------------------------------------------

TksArrayHelper::TksArrayHelper(const QString &name, TksVarType typeCode, const QString &typeName, int dims)
    : TksCustomHelper(name, typeCode, typeName), Dims(dims)
{
    if (dims <= 0) {
        Add(new TksParamItem(QStringLiteral("p0"), tcInteger, QStringLiteral("Integer"), false, false));
        Add(new TksParamItem(QStringLiteral("p1"), tcInteger, QStringLiteral("Integer"), true, false));
        Add(new TksParamItem(QStringLiteral("p2"), tcInteger, QStringLiteral("Integer"), true, false));
    } else {
        for (int i = 0; i < dims; ++i)
            Add(new TksParamItem(QStringLiteral("p%1").arg(i), tcInteger, QStringLiteral("Integer"), false, false));
    }
}

// The indexes of this access; the open form counts only those given (the
// optional ones left out hold nothing).
int TksArrayHelper::Indexes(qint64 *idx) const
{
    int given = 0;
    for (int i = 0; i < 3 && i < Count(); ++i) {
        const KsValue &p = Param(i)->Value;
        if (Dims == 0 && i > 0 && p.IsEmpty()) break;
        idx[given++] = p.ToInt64();
    }
    return given;
}

TksClassVariable *ksScriptClassOf(TksScript *prog, QObject *obj)
{
    int guard = 0;
    for (const KsClassInfo *c = ksClassInfoOf(obj); c && guard < ksMaxClassAncestors; c = c->Ancestor, ++guard)
        if (TksClassVariable *cls = prog->FindClass(c->ClassName)) return cls;
    return nullptr;
}

namespace {

[[noreturn]] void NotAnArray()
{
    throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Variant is not an array"));
}

// The indexes from `used` on that `v` takes: as many as its dimensions (those
// missing count as 0); what is left indexes the element reached, as v[i][j]
// does when v[i] holds an array. Returns how many it takes, 0 when `v` is an
// array of more than three dimensions (read as nothing, written not at all).
int Step(const KsValue &v, const qint64 *idx, int given, int used, qint64 *at)
{
    const int dims = v.DimCount();
    if (dims < 1 || dims > 3) {
        if (!v.IsArray()) NotAnArray();
        return 0;
    }
    for (int i = 0; i < dims; ++i) at[i] = used + i < given ? idx[used + i] : 0;
    return dims;
}

// The default indexed property of the object's class, as the script knows
// the class or its nearest known ancestor; nullptr when it has none.
TksMethodHelper *DefaultPropertyOf(TksScript *prog, const KsValue &v)
{
    QObject *o = prog ? v.ToObject() : nullptr;
    TksClassVariable *cls = o ? ksScriptClassOf(prog, o) : nullptr;
    return cls ? cls->DefProperty : nullptr;
}

// An object reached by the indexes from `used` on takes the next ones
// through its default indexed property (v[i][j] when v[i] holds a string
// list): reads it, or with `value` writes it. Returns how many it took.
int ThroughDefault(TksScript *prog, const KsValue &obj, const TksArrayHelper &h, int given, int used,
                   const KsValue *value, KsValue &out)
{
    TksMethodHelper *prop = DefaultPropertyOf(prog, obj);
    if (!prop) NotAnArray();
    const int n = std::min(prop->Count(), given - used);
    if (n < prop->RequiredCount()) throw KsError(QStringLiteral("EVariantError"), SNotEnoughParams);
    for (int k = 0; k < prop->Count(); ++k) prop->Param(k)->Value = k < n ? h.Param(used + k)->Value : KsValue();
    prop->ParentRef = nullptr;
    prop->ParentValue = obj;
    prop->Prog = prog;
    if (value)
        prop->SetValue(*value);
    else
        out = prop->GetValue();
    return n;
}

void StoreAt(TksScript *prog, const TksArrayHelper &h, KsValue &target, const qint64 *idx, int given, int used,
             bool open, const KsValue &value)
{
    if (open && target.IsString() && given - used == 1) {
        ksSetStringChar(target.RawString(), idx[used], value);
        return;
    }
    if (open && target.IsObject()) {
        KsValue unused;
        if (used + ThroughDefault(prog, target, h, given, used, &value, unused) < given) NotAnArray();
        return;
    }
    qint64 at[3];
    const int dims = Step(target, idx, given, used, at);
    if (dims == 0) return;
    if (!open || used + dims >= given) {
        target.SetAt(at, dims, value);
        return;
    }
    StoreAt(prog, h, target.AtMut(at, dims), idx, given, used + dims, open, value);
}

}  // namespace

KsValue TksArrayHelper::GetValue()
{
    qint64 idx[3];
    const int given = Indexes(idx);
    const bool open = Dims == 0;
    const KsValue *v = &ParentValue;
    KsValue held;  // what a default property gave
    for (int used = 0;;) {
        if (open && v->IsString() && given - used == 1) return KsValue(ksStringChar(v->RawString(), idx[used]));
        if (open && v->IsObject()) {
            KsValue got;
            used += ThroughDefault(Prog, *v, *this, given, used, nullptr, got);
            if (used >= given) return got;
            held = std::move(got);
            v = &held;
            continue;
        }
        qint64 at[3];
        const int dims = Step(*v, idx, given, used, at);
        if (dims == 0) return KsValue();
        v = &v->At(at, dims);
        used += dims;
        if (!open || used >= given) return *v;
    }
}

void TksArrayHelper::SetValue(const KsValue &value)
{
    qint64 idx[3];
    const int given = Indexes(idx);
    const bool open = Dims == 0;
    auto *var = dynamic_cast<TksVariable *>(ParentRef);
    if (var && var->Value.IsArray()) {
        if (var->ReadOnly) return;
        ParentValue = KsValue();  // drop the extra reference so the element changes in place
        StoreAt(Prog, *this, var->Value, idx, given, 0, open, value);
        return;
    }
    KsValue copy = ParentValue;
    StoreAt(Prog, *this, copy, idx, given, 0, open, value);
    if (ParentRef) ParentRef->SetValue(copy);
}

TksStringHelper::TksStringHelper() : TksCustomHelper(QStringLiteral("__StringHelper"), tcChar, QStringLiteral("Char"))
{
    Add(new TksParamItem(QStringLiteral("Index"), tcInteger, QStringLiteral("Integer"), false, false));
}

KsValue TksStringHelper::GetValue()
{
    return KsValue(ksStringChar(ParentValue.ToText(), Param(0)->Value.ToInt64()));
}

void TksStringHelper::SetValue(const KsValue &value)
{
    QString s = ParentValue.ToText();
    ksSetStringChar(s, Param(0)->Value.ToInt64(), value);
    if (ParentRef) ParentRef->SetValue(KsValue(s));
}
