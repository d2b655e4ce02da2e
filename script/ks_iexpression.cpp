#include "script/ks_iexpression.h"

#include "script/ks_idesignator.h"
#include "script/ks_itools.h"

#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cstring>
#include <typeinfo>
#include <vector>

namespace {

struct OpName {
    const char *Name;
    TksOpCode Code;
    bool StrCat;
};

const OpName kOps[] = {{" ", opNone, false},    {">", opGreat, false},         {"<", opLess, false},
                       {"<=", opLessEq, false}, {">=", opGreatEq, false},      {"<>", opNonEq, false},
                       {"=", opEq, false},      {"+", opPlus, false},          {"STRCAT", opPlus, true},
                       {"-", opMinus, false},   {"OR", opOr, false},           {"XOR", opXor, false},
                       {"*", opMul, false},     {"/", opDivFloat, false},      {"DIV", opDivInt, false},
                       {"MOD", opMod, false},   {"AND", opAnd, false},         {"SHL", opShl, false},
                       {"SHR", opShr, false},   {"(", opLeftBracket, false},   {")", opRightBracket, false},
                       {"NOT", opNot, false},   {"UNMINUS", opUnMinus, false}, {"IN", opIn, false},
                       {"IS", opIs, false}};

bool IsComparison(TksOpCode op)
{
    return op >= opGreat && op <= opEq;
}

}  // namespace

bool ksOperatorCode(const QString &name, TksOpCode &code, bool &strCat)
{
    const QString upper = name.toUpper();
    for (const OpName &o : kOps)
        if (upper == QLatin1String(o.Name)) {
            code = o.Code;
            strCat = o.StrCat;
            return true;
        }
    return false;
}

int ksOperatorPriority(TksOpCode code)
{
    switch (code) {
    case opNone:
        return 7;
    case opLeftBracket:
        return 6;
    case opRightBracket:
        return 5;
    case opGreat:
    case opLess:
    case opLessEq:
    case opGreatEq:
    case opNonEq:
    case opEq:
    case opIn:
    case opIs:
        return 4;
    case opPlus:
    case opMinus:
    case opOr:
    case opXor:
        return 3;
    case opNot:
    case opUnMinus:
        return 1;
    default:
        return 2;
    }
}

// ---- nodes ----------------------------------------------------------------------------

TksExpressionNode::~TksExpressionNode()
{
    // Without recursion, so that a very deep tree cannot exhaust the stack.
    std::vector<TksExpressionNode *> stack;
    if (Left) stack.push_back(Left);
    if (Right) stack.push_back(Right);
    Left = Right = nullptr;
    while (!stack.empty()) {
        TksExpressionNode *n = stack.back();
        stack.pop_back();
        if (n->Refs) {  // a shared leaf
            Release(n);
            continue;
        }
        if (n->Left) stack.push_back(n->Left);
        if (n->Right) stack.push_back(n->Right);
        n->Left = n->Right = nullptr;
        delete n;
    }
}

void TksExpressionNode::Release(TksExpressionNode *n)
{
    if (n && n->Refs > 1)
        --n->Refs;
    else
        delete n;
}

void TksExpressionNode::Attach(TksExpressionNode *child)
{
    if (!child) return;
    if (!Left) {
        Left = child;
    } else {
        Release(Right);  // only a malformed token sequence fills a node twice
        Right = child;
    }
}

void TksExpressionNode::Detach(TksExpressionNode *child)
{
    if (!child) return;
    if (Left == child)
        Left = nullptr;
    else if (Right == child)
        Right = nullptr;
}

TksOperandNode::TksOperandNode(const KsValue &v)
{
    NodeKind = nkOperand;
    Value = v;
    switch (v.Kind()) {
    case KsKind::Boolean:
        TypeCode = tcBoolean;
        break;
    case KsKind::Double:
    case KsKind::Date:
        TypeCode = tcFloat;
        break;
    case KsKind::String:
        TypeCode = tcString;
        break;
    default:
        TypeCode = tcInteger;
    }
    TypeName = ksTypeCodeName(TypeCode);
}

TksDesignatorNode::TksDesignatorNode(TksDesignator *d) : Designator(d)
{
    NodeKind = nkDesignator;
    TypeCode = d->TypeCode;
    TypeName = d->TypeName;
    FVar = (d->Kind == TksDesignator::dkVariable && !d->LateXML) ? d->Variable : nullptr;
}

TksDesignatorNode::~TksDesignatorNode() = default;

KsValue TksDesignatorNode::GetValue()
{
    if (FVar) return FVar->Value;
    TksDesignator *d = Designator.get();
    if (const KsValue *e = d->ElementRef()) return *e;
    if (d->Kind == TksDesignator::dkCall && !d->LateXML) return d->Call();  // one call less per routine call
    if (d->Kind == TksDesignator::dkHostCall && !d->LateXML) return d->HostCall();
    return d->GetValue();
}

TksSetNode::TksSetNode(TksSetExpression *s) : SetExpression(s)
{
    NodeKind = nkSet;
    TypeCode = tcVariant;
    TypeName = QStringLiteral("Variant");
}

TksSetNode::~TksSetNode() = default;

KsValue TksSetNode::GetValue()
{
    return SetExpression->GetValue();
}

TksOperatorNode::TksOperatorNode(TksOpCode op, bool strCat) : Op(op), IsStrCat(strCat)
{
    NodeKind = nkOperator;
}

int TksOperatorNode::Priority() const
{
    return ksOperatorPriority(Op);
}

namespace {
// Both classes are final: the kind tells them without a type lookup.
TksOperatorNode *AsOperator(TksExpressionNode *n)
{
    return n && n->NodeKind == TksExpressionNode::nkOperator ? static_cast<TksOperatorNode *>(n) : nullptr;
}

TksDesignatorNode *AsDesignatorNode(TksExpressionNode *n)
{
    return n && n->NodeKind == TksExpressionNode::nkDesignator ? static_cast<TksDesignatorNode *>(n) : nullptr;
}

const KsValue *DirectValueOf(TksExpressionNode *n)
{
    if (!n) return nullptr;
    if (n->NodeKind == TksExpressionNode::nkOperand) return &static_cast<TksOperandNode *>(n)->Value;
    if (n->NodeKind == TksExpressionNode::nkDesignator) return static_cast<TksDesignatorNode *>(n)->DirectValue();
    return nullptr;
}

bool IsComparisonNode(const TksExpressionNode *n)
{
    return n && n->NodeKind == TksExpressionNode::nkOperator && static_cast<const TksOperatorNode *>(n)->IsComparison();
}

// Integers (of either size) or Doubles: the result the general rules give,
// without their conversions. False (nothing done) for anything else, for an
// integer result past 64 bits, a division by zero (the general rules raise
// it) and a division by -1 (which they treat apart).
[[gnu::always_inline]] inline bool NumberResult(TksOpCode op, const KsValue &a, const KsValue &b, KsValue &out)
{
    const KsKind ka = a.Kind(), kb = b.Kind();
    if ((ka == KsKind::Integer || ka == KsKind::Int64) && (kb == KsKind::Integer || kb == KsKind::Int64)) {
        const qint64 x = ka == KsKind::Integer ? a.RawInt() : a.RawInt64();
        const qint64 y = kb == KsKind::Integer ? b.RawInt() : b.RawInt64();
        qint64 r;
        switch (op) {
        case opPlus:
            if (__builtin_add_overflow(x, y, &r)) return false;
            break;
        case opMinus:
            if (__builtin_sub_overflow(x, y, &r)) return false;
            break;
        case opMul:
            if (__builtin_mul_overflow(x, y, &r)) return false;
            break;
        case opDivInt:
            if (y == 0 || y == -1) return false;
            r = x / y;
            break;
        case opMod:
            if (y == 0 || y == -1) return false;
            r = x % y;
            break;
        default:
            return false;
        }
        out = (ka == KsKind::Int64 || kb == KsKind::Int64) ? KsValue(r) : KsValue::FromInt(r);
        return true;
    }
    if ((ka != KsKind::Double && ka != KsKind::Integer) || (kb != KsKind::Double && kb != KsKind::Integer)) return false;
    const double x = ka == KsKind::Double ? a.RawDouble() : double(a.RawInt());
    const double y = kb == KsKind::Double ? b.RawDouble() : double(b.RawInt());
    switch (op) {
    case opPlus:
        out = KsValue(x + y);
        return true;
    case opMinus:
        out = KsValue(x - y);
        return true;
    case opMul:
        out = KsValue(x * y);
        return true;
    case opDivFloat:
        if (y == 0) return false;
        out = KsValue(x / y);
        return true;
    default:
        return false;  // div and mod of reals round first: the general rules
    }
}
}  // namespace

void TksOperatorNode::ResolveOperands()
{
    FRightRef = DirectValueOf(Right);
    // The left operand is read in place only when nothing that runs after
    // it can change it: a right side that calls something could.
    FLeftRef = (!Right || Right->Pure) ? DirectValueOf(Left) : nullptr;
    FChain = Op == opPlus && IsPlus(Left);
    FShape = shGeneral;
    if ((Op == opPlus && !IsStrCat && !FChain) || Op == opMinus || Op == opMul || Op == opDivFloat ||
        Op == opDivInt || Op == opMod)
        FShape = shArith;
    else if (IsComparison())
        FShape = shCompare;
    else if ((Op == opAnd || Op == opOr) && BoolOperands && IsComparisonNode(Left) && IsComparisonNode(Right))
        FShape = Op == opAnd ? shBoolAnd : shBoolOr;  // both sides give Booleans
    Pure = Op != opIn && Op != opIs && (!Left || Left->Pure) && (!Right || Right->Pure);
    const bool intOperands = Pure && IntCapable(Left, FLeftRef) && IntCapable(Right, FRightRef);
    // A chain a + b + c of numbers is arithmetic too (its texts are joined
    // by PlusChain when the number ways give up).
    const bool arith = FShape == shArith || (FChain && !IsStrCat);
    FIntTree = intOperands && arith && Op != opDivFloat && TypeCode != tcFloat && TypeCode != tcString;
    FIntCompare = intOperands && FShape == shCompare;
    FreeSteps();
    std::vector<IntStep> steps;
    std::vector<const TksDesignator *> elements;
    if (FIntTree) {
        AppendIntSteps(steps, elements);
        // One step is quicker by itself; too many are evaluated by recursion.
        if (steps.size() >= 2 && steps.size() <= kMaxIntSteps && elements.size() <= 255)
            KeepSteps(steps, elements, false);
    }
    FIntDirect = FIntTree && !FStepCount && FLeftRef && FRightRef;
    FNumTree = Pure && arith && TypeCode != tcString && NumCapable(Left, FLeftRef) && NumCapable(Right, FRightRef);
    if (FNumTree && !FIntTree) {
        AppendIntSteps(steps, elements);
        if (steps.size() >= 2 && steps.size() <= kMaxIntSteps && elements.size() <= 255)
            KeepSteps(steps, elements, true);
    }
    // These steps take in those of the operators below, which are then
    // evaluated only when these give up: they go the general way then.
    if (FStepCount)
        for (TksExpressionNode *c : {Left, Right})
            if (c && c->NodeKind == nkOperator) static_cast<TksOperatorNode *>(c)->FreeSteps();
}

void TksOperatorNode::FreeSteps()
{
    ksPoolDelete(FSteps, size_t(FStepCount) * sizeof(IntStep) + size_t(FElementCount) * sizeof(const TksDesignator *));
    FSteps = nullptr;
    FStepCount = FElementCount = 0;
}

void TksOperatorNode::KeepSteps(const std::vector<IntStep> &steps, const std::vector<const TksDesignator *> &elements,
                                bool num)
{
    static_assert(sizeof(IntStep) % alignof(const TksDesignator *) == 0);
    FreeSteps();
    auto *block = static_cast<IntStep *>(
            ksPoolNew(steps.size() * sizeof(IntStep) + elements.size() * sizeof(const TksDesignator *)));
    std::uninitialized_copy(steps.begin(), steps.end(), block);
    std::uninitialized_copy(elements.begin(), elements.end(),
                            reinterpret_cast<const TksDesignator **>(block + steps.size()));
    FSteps = block;
    FStepCount = std::uint8_t(steps.size());
    FElementCount = std::uint8_t(elements.size());
    FNumSteps = num;
}

void TksOperatorNode::AppendIntSteps(std::vector<IntStep> &steps, std::vector<const TksDesignator *> &elements) const
{
    IntStep step{FLeftRef, FRightRef, 0, 0, 0, 0, Op};
    const auto element = [&elements](const TksDesignator *d) {
        elements.push_back(d);
        return std::uint8_t(std::min<size_t>(elements.size(), 255));
    };
    if (!FLeftRef) {
        if (const TksDesignator *d = PureElementOf(Left)) {
            step.EA = element(d);
        } else {
            static_cast<const TksOperatorNode *>(Left)->AppendIntSteps(steps, elements);
            step.TA = std::uint8_t(std::min<size_t>(steps.size() - 1, 255));
        }
    }
    if (!FRightRef) {
        if (const TksDesignator *d = PureElementOf(Right)) {
            step.EB = element(d);
        } else {
            static_cast<const TksOperatorNode *>(Right)->AppendIntSteps(steps, elements);
            step.TB = std::uint8_t(std::min<size_t>(steps.size() - 1, 255));
        }
    }
    steps.push_back(step);
}

namespace {
[[gnu::always_inline]] inline bool IntOf(const KsValue &v, qint64 &x, bool &wide)
{
    switch (v.Kind()) {
    case KsKind::Integer:
        x = v.RawInt();
        wide = false;
        return true;
    case KsKind::Int64:
        x = v.RawInt64();
        wide = true;
        return true;
    default:
        return false;
    }
}

// The 32-bit divide is the quicker one.
[[gnu::always_inline]] inline bool Fits32(qint64 x, qint64 y)
{
    return x == qint64(int(x)) && y == qint64(int(y));
}

// x op y as IntValue computes it; false where the general rules must decide.
[[gnu::always_inline]] inline bool IntStepValue(TksOpCode op, qint64 x, qint64 y, qint64 &v)
{
    switch (op) {
    case opPlus:
        return !__builtin_add_overflow(x, y, &v);
    case opMinus:
        return !__builtin_sub_overflow(x, y, &v);
    case opMul:
        return !__builtin_mul_overflow(x, y, &v);
    case opDivInt:
        if (y == 0 || y == -1) return false;
        v = Fits32(x, y) ? qint64(int(x) / int(y)) : x / y;
        return true;
    case opMod:
        if (y == 0 || y == -1) return false;
        v = Fits32(x, y) ? qint64(int(x) % int(y)) : x % y;
        return true;
    default:
        return false;
    }
}
}  // namespace

// An operand that a pure integer tree can read: a constant or plain
// variable read in place, or such a tree itself.
bool TksOperatorNode::IntCapable(const TksExpressionNode *n, const KsValue *ref)
{
    if (ref || PureElementOf(n)) return n->TypeCode != tcFloat && n->TypeCode != tcString;
    return n && n->NodeKind == nkOperator && static_cast<const TksOperatorNode *>(n)->FIntTree;
}

bool TksOperatorNode::NumCapable(const TksExpressionNode *n, const KsValue *ref)
{
    if (ref || PureElementOf(n)) return n->TypeCode != tcString;
    return n && n->NodeKind == nkOperator && static_cast<const TksOperatorNode *>(n)->FNumTree;
}

const TksDesignator *TksOperatorNode::PureElementOf(const TksExpressionNode *n)
{
    if (!n || n->NodeKind != nkDesignator) return nullptr;
    const TksDesignator *d = static_cast<const TksDesignatorNode *>(n)->Designator.get();
    return d && d->PureElement() && !d->LateXML ? d : nullptr;
}

namespace {
// An array element operand of a step (out of line: the steps of plain
// operands stay small).
[[gnu::noinline]] const KsValue *ElementOperand(const TksDesignator *d)
{
    return d->ElementRef();
}

// A number between the steps of a number tree.
struct NumTemp {
    union {
        qint64 I;
        double D;
    };
    KsKind Kind;
};

[[gnu::always_inline]] inline bool NumOf(const KsValue &v, NumTemp &t)
{
    t.Kind = v.Kind();
    switch (t.Kind) {
    case KsKind::Integer:
        t.I = v.RawInt();
        return true;
    case KsKind::Int64:
        t.I = v.RawInt64();
        return true;
    case KsKind::Double:
        t.D = v.RawDouble();
        return true;
    default:
        return false;
    }
}
}  // namespace

// The steps as NumberResult takes them one by one; false (nothing changed)
// where it would leave them to the general rules.
template <bool Elements>
inline bool TksOperatorNode::NumSteps(KsValue &out) const
{
    NumTemp t[kMaxIntSteps];
    const size_t n = FStepCount;
    const IntStep *const steps = FSteps;
    const TksDesignator *const *const elements = ElementList();
    for (size_t k = 0; k < n; ++k) {
        const IntStep &s = steps[k];
        NumTemp a, b;
        if (s.A) {
            if (!NumOf(*s.A, a)) return false;
        } else if (!Elements || !s.EA) {
            a = t[s.TA];
        } else if (const KsValue *e = ElementOperand(elements[s.EA - 1]); !e || !NumOf(*e, a)) {
            return false;
        }
        if (s.B) {
            if (!NumOf(*s.B, b)) return false;
        } else if (!Elements || !s.EB) {
            b = t[s.TB];
        } else if (const KsValue *e = ElementOperand(elements[s.EB - 1]); !e || !NumOf(*e, b)) {
            return false;
        }
        NumTemp &r = t[k];
        if (a.Kind != KsKind::Double && b.Kind != KsKind::Double) {
            if (!IntStepValue(s.Op, a.I, b.I, r.I)) return false;
            r.Kind = a.Kind == KsKind::Int64 || b.Kind == KsKind::Int64 || r.I != qint64(int(r.I)) ? KsKind::Int64
                                                                                                : KsKind::Integer;
            continue;
        }
        if (a.Kind == KsKind::Int64 || b.Kind == KsKind::Int64) return false;
        const double x = a.Kind == KsKind::Double ? a.D : double(a.I);
        const double y = b.Kind == KsKind::Double ? b.D : double(b.I);
        r.Kind = KsKind::Double;
        switch (s.Op) {
        case opPlus:
            r.D = x + y;
            break;
        case opMinus:
            r.D = x - y;
            break;
        case opMul:
            r.D = x * y;
            break;
        case opDivFloat:
            if (y == 0) return false;
            r.D = x / y;
            break;
        default:
            return false;
        }
    }
    const NumTemp &r = t[n - 1];
    out = r.Kind == KsKind::Double ? KsValue(r.D) : r.Kind == KsKind::Int64 ? KsValue(r.I) : KsValue(int(r.I));
    return true;
}

inline bool TksOperatorNode::IntOperand(const TksExpressionNode *n, const KsValue *ref, qint64 &v, bool &wide)
{
    if (ref) return IntOf(*ref, v, wide);
    if (n->NodeKind == nkDesignator) {
        const TksDesignator *d = static_cast<const TksDesignatorNode *>(n)->Designator.get();
        const KsValue *e = d ? d->ElementRef() : nullptr;
        return e && IntOf(*e, v, wide);
    }
    return static_cast<const TksOperatorNode *>(n)->IntValue(v, wide);
}

// IntValue's steps; Elements: whether array elements take part.
template <bool Elements>
inline bool TksOperatorNode::IntSteps(qint64 &v, bool &wide) const
{
    qint64 t[kMaxIntSteps];
    bool w[kMaxIntSteps];
    const size_t n = FStepCount;
    const IntStep *const steps = FSteps;
    const TksDesignator *const *const elements = ElementList();
    for (size_t k = 0; k < n; ++k) {
        const IntStep &s = steps[k];
        qint64 x, y;
        bool wx, wy;
        if (s.A) {
            if (!IntOf(*s.A, x, wx)) return false;
        } else if (!Elements || !s.EA) {
            x = t[s.TA];
            wx = w[s.TA];
        } else if (const KsValue *e = ElementOperand(elements[s.EA - 1]); !e || !IntOf(*e, x, wx)) {
            return false;
        }
        if (s.B) {
            if (!IntOf(*s.B, y, wy)) return false;
        } else if (!Elements || !s.EB) {
            y = t[s.TB];
            wy = w[s.TB];
        } else if (const KsValue *e = ElementOperand(elements[s.EB - 1]); !e || !IntOf(*e, y, wy)) {
            return false;
        }
        if (!IntStepValue(s.Op, x, y, t[k])) return false;
        w[k] = wx || wy || t[k] != qint64(int(t[k]));
    }
    v = t[n - 1];
    wide = w[n - 1];
    return true;
}

// `wide`: the general rules would give an Int64 (an operand was one, or the
// result passed 32 bits), which stays so through the operators above.
bool TksOperatorNode::IntValue(qint64 &v, bool &wide) const
{
    if (FIntDirect && FLeftRef->Kind() == KsKind::Integer && FRightRef->Kind() == KsKind::Integer) {
        if (!IntStepValue(Op, FLeftRef->RawInt(), FRightRef->RawInt(), v)) return false;
        wide = v != qint64(int(v));
        return true;
    }
    if (HasIntSteps()) return FElementCount ? IntSteps<true>(v, wide) : IntSteps<false>(v, wide);
    qint64 x, y;
    bool wx, wy;
    if (!IntOperand(Left, FLeftRef, x, wx) || !IntOperand(Right, FRightRef, y, wy)) return false;
    if (!IntStepValue(Op, x, y, v)) return false;
    wide = wx || wy || v != qint64(int(v));
    return true;
}

KsValue TksOperatorNode::Arith(const KsValue &a, const KsValue &b) const
{
    switch (Op) {
    case opPlus:
        return ksAdd(a, b);
    case opMinus:
        return ksSub(a, b);
    case opMul:
        return ksMul(a, b);
    case opDivFloat:
        return ksBinarySlow(KsOp::DivFloat, a, b);
    case opDivInt:
        return ksBinarySlow(KsOp::DivInt, a, b);
    default:
        return ksBinarySlow(KsOp::Mod, a, b);
    }
}

KsValue TksOperatorNode::GetValue()
{
    if (FIntDirect && FLeftRef->Kind() == KsKind::Integer && FRightRef->Kind() == KsKind::Integer) {
        // 32-bit operands: the 64-bit step cannot overflow for + - *.
        qint64 v;
        if (IntStepValue(Op, FLeftRef->RawInt(), FRightRef->RawInt(), v))
            return v == qint64(int(v)) ? KsValue(int(v)) : KsValue(v);
    }
    if (FIntTree) {
        qint64 v;
        bool wide;
        if (IntValue(v, wide)) return wide ? KsValue(v) : KsValue(int(v));
    } else if (HasNumSteps()) {
        KsValue r;
        if (NumValue(r)) return r;
    } else if (FIntCompare) {
        qint64 x, y;
        bool wx, wy;
        if (IntOperand(Left, FLeftRef, x, wx) && IntOperand(Right, FRightRef, y, wy))
            return KsValue(IntCompared(x, y));
    }
    KsValue ta, tb;
    switch (FShape) {
    case shArith: {
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        KsValue r;
        if (NumberResult(Op, a, b, r)) return r;
        return Arith(a, b);
    }
    case shCompare: {
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        return KsValue(Compared(a, b));
    }
    case shBoolAnd:
    case shBoolOr:
        return KsValue(GetBool());
    default:
        return Evaluate();
    }
}

KsValue TksOperatorNode::Evaluate()
{
    KsValue ta, tb;
    switch (Op) {
    case opNone:
        return Left ? Left->GetValue() : KsValue();
    case opPlus: {
        if (FChain) return PlusChain();
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        // Joining texts needs a text on the left; otherwise it is an addition.
        return Plus(a, b);
    }
    case opMinus: {
        const KsValue &a = L(ta);
        return ksSub(a, R(tb));
    }
    case opMul: {
        const KsValue &a = L(ta);
        return ksMul(a, R(tb));
    }
    case opDivFloat:
    case opDivInt:
    case opMod:
    case opXor:
    case opShl:
    case opShr: {
        static const KsOp map[] = {KsOp::DivFloat, KsOp::DivInt, KsOp::Mod};
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        KsOp op = Op == opXor ? KsOp::Xor : Op == opShl ? KsOp::Shl : Op == opShr ? KsOp::Shr : map[Op - opDivFloat];
        return ksBinarySlow(op, a, b);
    }
    case opOr: {
        const KsValue &a = L(ta);
        if (BoolOperands && a.Kind() == KsKind::Boolean) return a.RawBool() ? a : R(tb);
        return ksBinarySlow(KsOp::Or, a, R(tb));
    }
    case opAnd: {
        const KsValue &a = L(ta);
        if (BoolOperands && a.Kind() == KsKind::Boolean) return a.RawBool() ? R(tb) : a;
        return ksBinarySlow(KsOp::And, a, R(tb));
    }
    case opGreat:
    case opLess:
    case opLessEq:
    case opGreatEq: {
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        return KsValue(Compared(a, b));
    }
    case opEq:
    case opNonEq: {
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        return KsValue(Compared(a, b));
    }
    case opNot:
        return ksNot(L(ta));
    case opUnMinus:
        return ksNegate(L(ta));
    case opIn: {
        const KsValue &a = L(ta);
        if (auto *s = dynamic_cast<TksSetNode *>(Right)) return KsValue(s->SetExpression->Contains(a));
        return KsValue(ksInArray(a, R(tb)));
    }
    case opIs: {
        QObject *obj = L(ta).ToObject();
        auto *dn = dynamic_cast<TksDesignatorNode *>(Right);
        TksClassVariable *cls = nullptr;
        if (dn && dn->Designator && dn->Designator->Count() > 0)
            cls = dynamic_cast<TksClassVariable *>(dn->Designator->Link(dn->Designator->Count() - 1)->Ref);
        if (!obj || !cls) return KsValue(false);
        return KsValue(ksObjectIsA(obj, cls->ClassRef));
    }
    default:
        return KsValue();
    }
}

bool TksOperatorNode::IsPlus(const TksExpressionNode *n)
{
    return n && n->NodeKind == nkOperator && static_cast<const TksOperatorNode *>(n)->Op == opPlus;
}

KsValue TksOperatorNode::PlusChain()
{
    // Left operands first, from the lowest "+" up to this one (the chain is
    // found from the top: nodes hold no link to their parent).
    constexpr size_t kShort = 32;
    TksOperatorNode *few[kShort];
    std::vector<TksOperatorNode *> many;
    size_t count = 0;
    for (TksOperatorNode *op = this;; op = static_cast<TksOperatorNode *>(op->Left)) {
        if (count < kShort) {
            few[count] = op;
        } else {
            if (many.empty()) many.assign(few, few + kShort);
            many.push_back(op);
        }
        ++count;
        if (!IsPlus(op->Left)) break;
    }
    TksOperatorNode *const *chain = many.empty() ? few : many.data();
    const TksExpressionNode *lowest = chain[count - 1];
    KsValue acc = lowest->Left ? lowest->Left->GetValue() : KsValue();
    for (size_t k = count; k-- > 0;) {
        const TksOperatorNode *op = chain[k];
        const KsValue w = op->Right ? op->Right->GetValue() : KsValue();
        if (acc.IsString() && w.IsString()) {
            ksCheckStringLength(qint64(acc.RawString().size()) + w.RawString().size());
            acc.RawString().append(w.RawString());  // the first append copies, the rest grow in place
        } else
            acc = op->Plus(acc, w);
    }
    return acc;
}

bool TksOperatorNode::GetBool()
{
    switch (FShape) {
    case shCompare: {
        if (FIntCompare) {
            qint64 x, y;
            bool wx, wy;
            if (IntOperand(Left, FLeftRef, x, wx) && IntOperand(Right, FRightRef, y, wy)) return IntCompared(x, y);
        }
        KsValue ta, tb;
        const KsValue &a = L(ta);
        const KsValue &b = R(tb);
        return Compared(a, b);
    }
    case shBoolAnd:
        return Left->GetBool() && Right->GetBool();
    case shBoolOr:
        return Left->GetBool() || Right->GetBool();
    default:
        return GetValue().ToBool();
    }
}

// ---- expression -----------------------------------------------------------------------------

TksExpression::TksExpression(TksScript *program) : TksValueItem(tcVariant, QString()), Program(program)
{
    Root = new TksOperatorNode(opNone);
    FBuilding = new Building{Root, {}};
}

TksExpression::~TksExpression()
{
    if (!FFinished) delete FBuilding;
    if (FHasSource) SetSource(QString());
    TksExpressionNode::Release(Root);
}

// ---- shared leaves --------------------------------------------------------------------------

TksLeafPool::~TksLeafPool()
{
    for (auto &[key, n] : FVariables) TksExpressionNode::Release(n);
    for (TksExpressionNode *n : FConstants) TksExpressionNode::Release(n);
}

TksExpressionNode *&TksLeafPool::Slot(TksExpressionNode *n, bool &found)
{
    if (n->NodeKind == TksExpressionNode::nkDesignator) {
        const VarKey key{static_cast<TksDesignatorNode *>(n)->PlainVariable(), &n->TypeName.str(), n->TypeCode};
        auto it = FVariables.find(key);
        found = it != FVariables.end();
        return found ? it->second : FVariables[key];
    }
    // the kind and the value's bits, or its text
    const KsValue &v = static_cast<TksOperandNode *>(n)->Value;
    QString key(1, QChar(u'0' + int(v.Kind())));
    switch (v.Kind()) {
    case KsKind::String:
        key += v.RawString();
        break;
    case KsKind::Boolean:
        key += QLatin1Char(v.RawBool() ? '1' : '0');
        break;
    case KsKind::Integer:
        key += QString::number(v.RawInt());
        break;
    case KsKind::Int64:
        key += QString::number(v.RawInt64());
        break;
    default: {  // Double, Date
        qint64 bits;
        const double d = v.RawDouble();
        static_assert(sizeof bits == sizeof d);
        std::memcpy(&bits, &d, sizeof bits);
        key += QString::number(bits);
    }
    }
    auto it = FConstants.find(key);
    found = it != FConstants.end();
    return found ? it.value() : FConstants[key];
}

TksExpressionNode *TksLeafPool::Share(TksExpressionNode *n)
{
    if (!n || n->Left || n->Right || n->Refs) return n;
    if (n->NodeKind == TksExpressionNode::nkDesignator) {
        if (!static_cast<TksDesignatorNode *>(n)->DirectValue()) return n;
    } else if (n->NodeKind == TksExpressionNode::nkOperand) {
        switch (static_cast<TksOperandNode *>(n)->Value.Kind()) {
        case KsKind::Boolean:
        case KsKind::Integer:
        case KsKind::Int64:
        case KsKind::Double:
        case KsKind::Date:
        case KsKind::String:
            break;
        default:
            return n;
        }
    } else {
        return n;
    }
    bool found;
    TksExpressionNode *&shared = Slot(n, found);
    if (found && shared->Refs < 0xFFFF) {
        delete n;
        ++shared->Refs;
        return shared;
    }
    if (found) TksExpressionNode::Release(shared);  // full: the next equal ones share n
    // n becomes the shared one: the pool's hold and its expression's
    if (n->NodeKind == TksExpressionNode::nkDesignator) static_cast<TksDesignatorNode *>(n)->DropDesignator();
    n->Refs = 2;
    shared = n;
    return n;
}

namespace {
// The source texts of the expressions that have one.
struct ksSources {
    QMutex Lock;
    QHash<const TksExpression *, QString> Texts;
};
ksSources &Sources()
{
    static auto *sources = new ksSources;  // expressions may outlive static destruction
    return *sources;
}
}  // namespace

QString TksExpression::Source() const
{
    if (!FHasSource) return QString();
    ksSources &s = Sources();
    const QMutexLocker lock(&s.Lock);
    return s.Texts.value(this);
}

void TksExpression::SetSource(const QString &text)
{
    ksSources &s = Sources();
    const QMutexLocker lock(&s.Lock);
    if (text.isNull()) {
        s.Texts.remove(this);
        FHasSource = false;
    } else {
        s.Texts.insert(this, text);
        FHasSource = true;
    }
}

void TksExpression::AttachOperand(TksExpressionNode *node)
{
    if (FFinished) {  // a finished tree takes nothing more
        delete node;
        return;
    }
    FBuilding->Cur->Attach(node);
    FBuilding->Down(node);
}

void TksExpression::AddConst(const KsValue &value)
{
    AttachOperand(new TksOperandNode(value));
}
void TksExpression::AddDesignator(TksDesignator *designator)
{
    AttachOperand(new TksDesignatorNode(designator));
}
void TksExpression::AddSet(TksSetExpression *set)
{
    AttachOperand(new TksSetNode(set));
}

bool TksExpression::AddOperator(const QString &name)
{
    if (FFinished) return false;
    TksOpCode code;
    bool strCat = false;
    if (name == QLatin1String("("))
        code = opLeftBracket;
    else if (name == QLatin1String("unminus"))
        code = opUnMinus;
    else if (name == QLatin1String("not"))
        code = opNot;
    else if (!ksOperatorCode(name, code, strCat) || code == opNone)
        return false;
    auto *node = new TksOperatorNode(code, strCat);
    Building &b = *FBuilding;
    if (code == opLeftBracket || code == opUnMinus || code == opNot) {
        b.Cur->Attach(node);
        b.Down(node);
        return true;
    }
    if (code == opRightBracket) {
        // up to the "(" (levels count from the root, 0)
        size_t level = b.Above.size();
        TksExpressionNode *n = b.Cur;
        while (n && n->Priority() <= 5) n = level > 0 ? b.At(--level) : nullptr;
        delete node;
        if (!n || n == Root) return true;  // no matching "(": ignore
        TksExpressionNode *parent = b.At(level - 1);
        TksExpressionNode *inner = n->Left;
        n->Left = nullptr;
        // put the bracketed subtree where the "(" node was
        if (parent->Left == n)
            parent->Left = inner;
        else
            parent->Right = inner;
        delete n;
        if (inner) {
            b.Above.resize(level);
            b.Cur = inner;
        } else {
            b.Above.resize(level - 1);
            b.Cur = parent;
        }
        return true;
    }
    if (Root == b.Cur) {
        Root->Attach(node);
        b.Down(node);
        return true;
    }
    TksExpressionNode *c = b.Cur;
    size_t level = b.Above.size();  // of c
    auto *cop = AsOperator(c);
    if (cop && cop->Op == opLeftBracket) {
        b.Above.push_back(c);
        ++level;
        c = nullptr;
    }
    TksExpressionNode *p = level > 0 ? b.At(level - 1) : nullptr;
    const int prio = node->Priority();
    while (p && p->Priority() <= prio) {
        c = p;
        --level;
        p = level > 0 ? b.At(level - 1) : nullptr;
    }
    if (!p) {  // cannot happen with the none node on top; keep the tree intact
        delete node;
        return false;
    }
    p->Detach(c);
    p->Attach(node);
    if (c) node->Left = c;
    b.Above.resize(level);  // p and the nodes above it
    b.Cur = node;
    return true;
}

bool ksOperatorType(TksOpCode code, bool strCat, const TksTypeDesc &l, const TksTypeDesc &r, TksScript *prog,
                    TksTypeDesc &result)
{
    if (strCat) {
        result = {tcString, QStringLiteral("String")};
        return true;
    }
    bool ok;
    if (code == opIs && l.Code == tcClass && r.Code == tcClass) {
        ok = true;
    } else {
        ok = ksTypesCompatibleLoose(l, r, prog);
        if (ok) {
            switch (l.Code) {
            case tcBoolean:
                ok = code == opNonEq || code == opEq || code == opOr || code == opXor || code == opAnd || code == opNot;
                break;
            case tcChar:
            case tcString:
                ok = (code >= 1 && code <= 7) || code == opIn;
                break;
            case tcClass:
            case tcArray:
                ok = code == opNonEq || code == opEq;
                break;
            default:
                break;
            }
        }
    }
    result = l;
    if (!ok) return false;
    if ((l.Code == tcInteger && r.Code == tcFloat) || (l.Code == tcFloat && r.Code == tcInteger) ||
        (code == opDivFloat && l.Code == tcInteger))
        result = {tcFloat, QStringLiteral("Extended")};
    if (IsComparison(code) || code == opIn || code == opIs) result = {tcBoolean, QStringLiteral("Boolean")};
    return true;
}

namespace {

void TypeOperator(TksOperatorNode *op, TksScript *prog, QString &firstError);

void TypeNode(TksExpressionNode *n, TksScript *prog, QString &firstError)
{
    if (!n) return;
    TypeNode(n->Left, prog, firstError);
    TypeNode(n->Right, prog, firstError);
    if (n->NodeKind != TksExpressionNode::nkOperator) {
        // An array element with pure indexes reads without changing anything.
        n->Pure = DirectValueOf(n) != nullptr || (n->NodeKind == TksExpressionNode::nkDesignator &&
                                                   static_cast<TksDesignatorNode *>(n)->Designator &&
                                                   static_cast<TksDesignatorNode *>(n)->Designator->PureElement());
        return;
    }
    auto *op = static_cast<TksOperatorNode *>(n);
    TypeOperator(op, prog, firstError);
    op->ResolveOperands();  // after the types, which it consults
}

void TypeOperator(TksOperatorNode *op, TksScript *prog, QString &firstError)
{
    TksExpressionNode *n = op;
    const TksTypeDesc l{n->Left ? n->Left->TypeCode : tcVariant, n->Left ? n->Left->TypeName.str() : QString()};
    const TksTypeDesc r{n->Right ? n->Right->TypeCode : tcVariant, n->Right ? n->Right->TypeName.str() : QString()};
    op->BoolOperands = l.Code == tcBoolean && r.Code == tcBoolean;
    TksTypeDesc t;
    if (!ksOperatorType(op->Op, op->IsStrCat, l, r, prog, t) && firstError.isNull())
        firstError = QStringLiteral("");  // not null: the expression's place is the error's
    n->TypeCode = t.Code;
    n->TypeName = t.Name;
}

// Makes a tree from any sequence of tokens safe to evaluate: brackets left
// open are dropped and a missing operand becomes Empty.
TksExpressionNode *Normalize(TksExpressionNode *n)
{
    if (!n) return nullptr;
    auto *op = AsOperator(n);
    if (op && (op->Op == opLeftBracket || op->Op == opRightBracket || op->Op == opNone)) {
        TksExpressionNode *inner = n->Left;
        n->Left = nullptr;
        delete n;
        if (!inner) inner = new TksOperandNode(KsValue());
        return Normalize(inner);
    }
    n->Left = Normalize(n->Left);
    n->Right = Normalize(n->Right);
    if (op) {
        if (!n->Left) n->Attach(new TksOperandNode(KsValue()));
        if (op->Op != opNot && op->Op != opUnMinus && !n->Right) {
            n->Right = new TksOperandNode(KsValue());
        }
    }
    return n;
}

}  // namespace

namespace {
int TreeDepth(TksExpressionNode *root)
{
    int deepest = 0;
    std::vector<std::pair<TksExpressionNode *, int>> stack;
    if (root) stack.push_back({root, 1});
    while (!stack.empty()) {
        auto [n, d] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, d);
        if (n->Left) stack.push_back({n->Left, d + 1});
        if (n->Right) stack.push_back({n->Right, d + 1});
    }
    return deepest;
}
}  // namespace

namespace {
// A finished tree reads plain variables in place: their designators go.
void DropDesignators(TksExpressionNode *n)
{
    for (; n; n = n->Right) {
        if (auto *dn = AsDesignatorNode(n)) {
            dn->DropDesignator();
            return;
        }
        DropDesignators(n->Left);
    }
}
}  // namespace

QString TksExpression::Finish(TksLeafPool *leaves)
{
    if (TreeDepth(Root) > ksMaxExpressionDepth)
        throw KsError(QStringLiteral("EParserError"), QStringLiteral("Expression too complex"));
    if (!FFinished) {
        TksExpressionNode *none = Root;
        Root = none->Left;
        none->Left = nullptr;
        delete none;
        Root = Normalize(Root);
        delete FBuilding;
        FFinished = true;
        // before the operators find the values they read in place
        if (leaves) ShareLeaves(*leaves);
    }
    QString error;  // null: no error
    TypeNode(Root, Program, error);
    auto *op = AsOperator(Root);
    FDirectCompare = op && op->IsDirectComparison();
    FInPlace = DirectValueOf(Root);
    if (Root) {
        TypeCode = Root->TypeCode;
        TypeName = Root->TypeName;
    }
    auto *dn = AsDesignatorNode(Root);
    ReadOnly = !(dn && !(dn->Designator ? dn->Designator->ReadOnly : dn->PlainVariable()->ReadOnly));
    DropDesignators(Root);
    if (error.isNull()) return QString();
    return SourcePos.isEmpty() ? QStringLiteral("0:0") : SourcePos.ToString();
}

void TksExpression::ShareLeaves(TksLeafPool &leaves)
{
    Root = leaves.Share(Root);
    std::vector<TksExpressionNode *> stack;
    if (Root && !Root->Refs) stack.push_back(Root);
    while (!stack.empty()) {
        TksExpressionNode *n = stack.back();
        stack.pop_back();
        for (TksExpressionNode **child : {&n->Left, &n->Right}) {
            if (!*child) continue;
            if ((*child)->Left || (*child)->Right)
                stack.push_back(*child);
            else
                *child = leaves.Share(*child);
        }
    }
}

void TksExpression::SetValue(const KsValue &value)
{
    if (ReadOnly) return;
    auto *dn = AsDesignatorNode(Root);
    if (!dn) return;
    if (dn->Designator)
        dn->Designator->SetValue(value);
    else
        dn->PlainVariable()->SetValue(value);
}

TksValueItem *TksExpression::SingleItem() const
{
    if (auto *dn = AsDesignatorNode(Root)) {
        TksDesignator *d = dn->Designator.get();
        if (!d) return dn->PlainVariable();
        if (d->Kind == TksDesignator::dkVariable && !d->LateXML) return d->Variable;
        return d;
    }
    if (AsOperator(Root)) return nullptr;
    return Root;
}

QString TksExpression::OptimizeCompound(TksDesignator *target, bool *swapped)
{
    if (swapped) *swapped = false;
    if (!target || target->Kind != TksDesignator::dkVariable || target->LateXML) return QStringLiteral(" ");
    auto *op = AsOperator(Root);
    if (!op || op->IsStrCat) return QStringLiteral(" ");
    if (op->Op != opPlus && op->Op != opMinus && op->Op != opMul && op->Op != opDivFloat) return QStringLiteral(" ");
    TksCustomVariable *var = target->Variable;
    auto sameVar = [&](TksExpressionNode *n) {
        auto *dn = AsDesignatorNode(n);
        return dn && dn->PlainVariable() == var;
    };
    static const char *const texts[] = {"+", "-", "", "", "*", "/"};
    QString text = QLatin1String(texts[op->Op - opPlus]);
    if (sameVar(op->Left)) {
        TksExpressionNode *keep = op->Right;
        op->Right = nullptr;
        delete op;
        Root = keep;
        FDirectCompare = false;  // until finished again
        FInPlace = nullptr;
        return text;
    }
    // y + x is x + y only for numbers: text joins in the order written
    if (sameVar(op->Right) && (op->Op == opPlus || op->Op == opMul) && ksIsNumberType(var->TypeCode) &&
        op->Left && ksIsNumberType(op->Left->TypeCode)) {
        TksExpressionNode *keep = op->Left;
        op->Left = nullptr;
        delete op;
        Root = keep;
        FDirectCompare = false;  // until finished again
        FInPlace = nullptr;
        if (swapped) *swapped = true;
        return text;
    }
    return QStringLiteral(" ");
}

// ---- sets --------------------------------------------------------------------------------------

KsValue TksSetExpression::GetValue()
{
    std::vector<KsValue> items;
    items.reserve(size_t(Count()));
    for (int i = 0; i < Count(); ++i) items.push_back(Entry(i) ? Entry(i)->GetValue() : KsValue());
    return KsValue::MakeList(std::move(items));
}

bool TksSetExpression::Contains(const KsValue &v)
{
    const int n = Count();
    int i = 0;
    while (i < n) {
        if (i + 1 < n && !Entry(i + 1) && i + 2 < n) {
            KsValue low = Entry(i) ? Entry(i)->GetValue() : KsValue();
            KsValue high = Entry(i + 2) ? Entry(i + 2)->GetValue() : KsValue();
            if (ksCompare(v, low) >= 0 && ksCompare(v, high) <= 0) return true;
            i += 3;
            continue;
        }
        if (Entry(i) && ksEquals(v, Entry(i)->GetValue())) return true;
        ++i;
    }
    return false;
}

bool ksInArray(const KsValue &v, const KsValue &arr)
{
    if (!arr.IsArray())
        throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Set or array expected after 'in'"));
    const qint64 n = arr.ElementCount();
    qint64 i = 0;
    while (i < n) {
        if (i + 2 < n && arr.Element(i + 1).IsEmpty()) {
            if (ksCompare(v, arr.Element(i)) >= 0 && ksCompare(v, arr.Element(i + 2)) <= 0) return true;
            i += 3;
            continue;
        }
        if (ksEquals(v, arr.Element(i))) return true;
        ++i;
    }
    return false;
}
