// Expressions: trees of nodes evaluated on values. The compiler feeds
// operands and operator names in source order; AddOperator places each
// operator by priority (smaller binds tighter; equal priorities associate to
// the left).
//
// Operator names (upper-cased; "(", "unminus" and "not" are the prefix
// forms): > < <= >= <> = + STRCAT - OR XOR * / DIV MOD AND SHL SHR ( ) NOT
// UNMINUS IN IS. "STRCAT" (the "&" of the languages that have it) always
// joins the two values as text and is never turned into a compound "+".
#pragma once

#include "script/ks_iinterpreter.h"
#include "script/ks_limits.h"

#include <map>
#include <memory>
#include <tuple>
#include <vector>

class TksDesignator;
class TksSetExpression;
struct TksTypeDesc;

enum TksOpCode : std::uint8_t {
    opNone = 0,
    opGreat = 1,
    opLess = 2,
    opLessEq = 3,
    opGreatEq = 4,
    opNonEq = 5,
    opEq = 6,
    opPlus = 7,
    opMinus = 8,
    opOr = 9,
    opXor = 10,
    opMul = 11,
    opDivFloat = 12,
    opDivInt = 13,
    opMod = 14,
    opAnd = 15,
    opShl = 16,
    opShr = 17,
    opLeftBracket = 18,
    opRightBracket = 19,
    opNot = 20,
    opUnMinus = 21,
    opIn = 22,
    opIs = 23
};

class TksExpressionNode : public TksValueItem {
public:
    // What a node is, known without run-time type checks (evaluation asks).
    enum NodeKinds : std::uint8_t { nkOther, nkOperand, nkDesignator, nkSet, nkOperator };
    TksExpressionNode() : TksValueItem(tcVariant, QString()) {}
    ~TksExpressionNode() override;
    std::uint8_t NodeKind = nkOther;
    // Evaluating the subtree changes no variable: it holds only constants,
    // plain variables and operators (set when the expression is finished).
    bool Pure = false;
    // Holders of a leaf shared by equal leaves (see TksLeafPool); 0: the
    // node has its one owner.
    std::uint16_t Refs = 0;
    TksExpressionNode *Left = nullptr;
    TksExpressionNode *Right = nullptr;
    virtual int Priority() const { return 0; }
    // The value as a condition.
    virtual bool GetBool() { return GetValue().ToBool(); }
    void Attach(TksExpressionNode *child);  // as Left when free, else as Right
    void Detach(TksExpressionNode *child);
    // Lets go of n as one of its holders: it goes with its last.
    static void Release(TksExpressionNode *n);
};

// Equal leaves of the expressions of one compile (a constant, a plain
// variable read in place) are one node shared by them: a program reads the
// same few variables and literals on every line. Nodes keep no link to
// their parent, so a leaf can stand under many operators.
class TksLeafPool {
public:
    TksLeafPool() = default;
    ~TksLeafPool();
    TksLeafPool(const TksLeafPool &) = delete;
    TksLeafPool &operator=(const TksLeafPool &) = delete;
    // The shared node equal to n when n is such a leaf (n is freed, or
    // becomes the shared one); else n itself.
    TksExpressionNode *Share(TksExpressionNode *n);

private:
    struct VarKey {
        const void *Var;
        const void *TypeName;
        TksVarType TypeCode;
        bool operator<(const VarKey &o) const
        {
            return std::tie(Var, TypeName, TypeCode) < std::tie(o.Var, o.TypeName, o.TypeCode);
        }
    };
    TksExpressionNode *&Slot(TksExpressionNode *n, bool &found);
    std::map<VarKey, TksExpressionNode *> FVariables;
    QHash<QString, TksExpressionNode *> FConstants;
};

// A constant.
class TksOperandNode : public TksExpressionNode {
public:
    explicit TksOperandNode(const KsValue &v);
    KsValue Value;
    KsValue GetValue() override { return Value; }
};

class TksDesignatorNode final : public TksExpressionNode {
public:
    explicit TksDesignatorNode(TksDesignator *d);
    ~TksDesignatorNode() override;
    // nullptr once a finished expression let go of a plain variable's
    // designator (the node reads and writes the variable itself).
    std::unique_ptr<TksDesignator> Designator;
    KsValue GetValue() override;
    // The variable's value when the designator is a plain variable (read in place).
    const KsValue *DirectValue() const { return FVar && ksIsPlainRead(FVar) ? &FVar->Value : nullptr; }
    // The variable of a plain variable designator, else nullptr.
    TksCustomVariable *PlainVariable() const { return FVar; }
    // Lets go of the designator of a variable read in place: what it holds
    // serves compiling only.
    void DropDesignator()
    {
        if (DirectValue()) Designator.reset();
    }

private:
    TksCustomVariable *FVar;  // the variable of a plain variable designator
};

class TksSetNode : public TksExpressionNode {
public:
    explicit TksSetNode(TksSetExpression *s);
    ~TksSetNode() override;
    std::unique_ptr<TksSetExpression> SetExpression;
    KsValue GetValue() override;
};

class TksOperatorNode final : public TksExpressionNode {
public:
    TksOperatorNode(TksOpCode op, bool strCat = false);
    ~TksOperatorNode() override { FreeSteps(); }
    // The flags as bits and the steps' arrays in one block: a program holds
    // many operators.
    TksOpCode Op;
    bool IsStrCat : 1;
    bool BoolOperands : 1 = false;
    int Priority() const override;
    KsValue GetValue() override;
    // A comparison answers without building a Boolean value.
    bool GetBool() override;
    // GetValue without its shortcut for operands read in place.
    KsValue Evaluate();
    // a + b as this node joins them (STRCAT joins a text with anything).
    KsValue Plus(const KsValue &a, const KsValue &b) const
    {
        return IsStrCat && a.IsString() ? ksBinarySlow(KsOp::StrCat, a, b) : ksAdd(a, b);
    }
    // Whether n is a "+" (or STRCAT) node.
    static bool IsPlus(const TksExpressionNode *n);
    // A chain a + b + c ... (this node and the "+" nodes down its left
    // side): texts are appended to one string instead of copied per "+".
    KsValue PlusChain();
    // Finds operands that are constants or plain variables, read in place
    // without a call (set when the expression is finished).
    void ResolveOperands();
    // A comparison of two operands read in place, and its answer.
    bool IsDirectComparison() const { return Op >= opGreat && Op <= opEq && FLeftRef && FRightRef; }
    [[gnu::always_inline]] bool DirectCompared() const { return Compared(*FLeftRef, *FRightRef); }
    bool IsComparison() const { return Op >= opGreat && Op <= opEq; }
    // The value as GetValue gives it when it is an integer of a pure integer
    // tree (v, and wide for an Int64); false where GetValue must decide.
    bool TryIntValue(qint64 &v, bool &wide) const { return FIntTree && IntValue(v, wide); }

private:
    // What this node does with its two values, decided once when finished.
    enum Shape : std::uint8_t { shGeneral, shArith, shCompare, shBoolAnd, shBoolOr };
    Shape FShape = shGeneral;
    bool FChain : 1 = false;  // a "+" whose left operand is a "+" too (PlusChain)
    // An arithmetic node of a pure tree of + - * div mod over constants and
    // plain variables (FIntTree), or a comparison of two such operands
    // (FIntCompare): tried first on 64-bit integers, without values; any
    // operand that is no integer, or a result the general rules treat
    // apart, sends it the general way (nothing ran that could change).
    bool FIntTree : 1 = false;
    bool FIntCompare : 1 = false;
    // One step of FIntTree whose operands are both read in place (n - 1, i * 3).
    bool FIntDirect : 1 = false;
    bool FNumSteps : 1 = false;  // FSteps are FNumTree's
    // A pure tree of + - * / div mod over constants and plain variables that
    // is no FIntTree (reals take part): its steps on Integers, Int64s and
    // Doubles with the rules of NumberResult; any other operand or result
    // sends it the general way.
    bool FNumTree : 1 = false;
    std::uint8_t FStepCount = 0;
    std::uint8_t FElementCount = 0;
    // The tree of an FIntTree node as steps in evaluation order, each taking
    // its operands in place or from the result of an earlier step.
    struct IntStep {
        const KsValue *A, *B;  // in place, or nullptr: the result of step TA / TB
        std::uint8_t TA, TB;
        // With A / B nullptr: 0, or 1 + the index in FElements of an array
        // element read in place (instead of a step's result).
        std::uint8_t EA, EB;
        TksOpCode Op;
    };
    static constexpr size_t kMaxIntSteps = 16;
    // The steps of FIntTree (FIntSteps) or of FNumTree (FNumSteps), then the
    // array elements they read, in one block of its own size: a program
    // holds many operators, most without steps.
    void FreeSteps();
    IntStep *FSteps = nullptr;
    const TksDesignator *const *ElementList() const
    {
        return reinterpret_cast<const TksDesignator *const *>(FSteps + FStepCount);
    }
    bool HasIntSteps() const { return FStepCount && !FNumSteps; }
    bool HasNumSteps() const { return FStepCount && FNumSteps; }
    void KeepSteps(const std::vector<IntStep> &steps, const std::vector<const TksDesignator *> &elements,
                   bool num);
    void AppendIntSteps(std::vector<IntStep> &steps, std::vector<const TksDesignator *> &elements) const;
    bool NumValue(KsValue &out) const { return FElementCount ? NumSteps<true>(out) : NumSteps<false>(out); }
    // NumValue's steps; Elements: whether array elements take part.
    // Inline: they are the loops of the evaluations that call them.
    template <bool Elements>
    [[gnu::always_inline]] bool NumSteps(KsValue &out) const;
    template <bool Elements>
    [[gnu::always_inline]] bool IntSteps(qint64 &v, bool &wide) const;
    static bool NumCapable(const TksExpressionNode *n, const KsValue *ref);
    // Operand n as an array element that reads without changing anything.
    static const TksDesignator *PureElementOf(const TksExpressionNode *n);
    bool IntValue(qint64 &v, bool &wide) const;
    [[gnu::always_inline]] static bool IntOperand(const TksExpressionNode *n, const KsValue *ref, qint64 &v,
                                                  bool &wide);
    static bool IntCapable(const TksExpressionNode *n, const KsValue *ref);
    KsValue Arith(const KsValue &a, const KsValue &b) const;
    // Op (one of the six comparisons) applied to a and b.
    // Inline: loop conditions run it per pass.
    [[gnu::always_inline]] bool Compared(const KsValue &a, const KsValue &b) const
    {
        switch (Op) {
        case opGreat:
            return ksCompare(a, b) > 0;
        case opLess:
            return ksCompare(a, b) < 0;
        case opLessEq:
            return ksCompare(a, b) <= 0;
        case opGreatEq:
            return ksCompare(a, b) >= 0;
        case opEq:
            return ksEquals(a, b);
        default:
            return !ksEquals(a, b);  // opNonEq
        }
    }
    bool IntCompared(qint64 x, qint64 y) const
    {
        switch (Op) {
        case opGreat:
            return x > y;
        case opLess:
            return x < y;
        case opLessEq:
            return x <= y;
        case opGreatEq:
            return x >= y;
        case opEq:
            return x == y;
        default:
            return x != y;  // opNonEq
        }
    }
    const KsValue *FLeftRef = nullptr;
    const KsValue *FRightRef = nullptr;
    const KsValue &L(KsValue &tmp) { return FLeftRef ? *FLeftRef : (tmp = Left->GetValue()); }
    const KsValue &R(KsValue &tmp) { return FRightRef ? *FRightRef : (tmp = Right->GetValue()); }
};

// Types whose values add and multiply in either order.
inline bool ksIsNumberType(TksVarType t)
{
    return t == tcInteger || t == tcFloat;
}

// Maps an operator name to its code; false for an unknown name.
bool ksOperatorCode(const QString &name, TksOpCode &code, bool &strCat);
int ksOperatorPriority(TksOpCode code);
// The type of `l` op `r` as a finished expression gives it; false (the
// type then is l's) when the operator does not apply to these types.
bool ksOperatorType(TksOpCode code, bool strCat, const TksTypeDesc &l, const TksTypeDesc &r, TksScript *prog,
                    TksTypeDesc &result);

class TksExpression final : public TksValueItem {
public:
    explicit TksExpression(TksScript *program);
    ~TksExpression() override;
    TksSourcePos SourcePos;

private:
    bool FFinished = false;  // here: they fill the room after SourcePos
    bool FDirectCompare = false;  // Root is a direct comparison
    bool FHasSource = false;      // see Source

public:
    TksExpressionNode *Root;
    TksScript *Program;
    // The expression's source text (macro arguments receive it); kept
    // aside, as few expressions have one.
    QString Source() const;
    void SetSource(const QString &text);

    void AddConst(const KsValue &value);
    void AddDesignator(TksDesignator *designator);
    void AddSet(TksSetExpression *set);
    bool AddOperator(const QString &name);
    // Finishes the tree and computes types; returns the position of the first
    // operator whose operand types do not fit, or an empty string.
    // Leaves equal to those of other expressions are shared through
    // `leaves` when given.
    QString Finish(TksLeafPool *leaves = nullptr);
    KsValue GetValue() override { return Root ? Root->GetValue() : KsValue(); }
    // Inlined into the loops and conditions that call it per pass.
    [[gnu::always_inline]] bool GetBool()
    {
        if (FDirectCompare) return static_cast<const TksOperatorNode *>(Root)->DirectCompared();
        return Root ? Root->GetBool() : false;
    }
    void SetValue(const KsValue &value) override;
    TksValueItem *SingleItem() const;
    // Evaluating it changes no variable (see TksExpressionNode::Pure).
    bool IsPure() const { return Root && Root->Pure; }
    // The value read in place when the expression is one constant or plain
    // variable, else nullptr.
    const KsValue *InPlace() const { return FFinished ? FInPlace : nullptr; }
    // The value as an index (integer). It and TryIndex run on a finished
    // expression (an index of a running program): the value in place is
    // read without asking.
    qint64 IndexValue()
    {
        if (FInPlace && FInPlace->Kind() == KsKind::Integer) return FInPlace->RawInt();
        return GetValue().ToInt64();
    }
    // The value when it is an integer read in place or given by a pure
    // integer tree; false (nothing evaluated) where GetValue must decide.
    bool TryIndex(qint64 &v) const
    {
        if (const KsValue *in = FInPlace) {
            if (in->Kind() == KsKind::Integer) {
                v = in->RawInt();
                return true;
            }
            if (in->Kind() != KsKind::Int64) return false;
            v = in->RawInt64();
            return true;
        }
        bool wide;
        return Root && Root->NodeKind == TksExpressionNode::nkOperator &&
               static_cast<const TksOperatorNode *>(Root)->TryIntValue(v, wide);
    }
    // x := x op y: returns "+", "-", "*", "/" (and drops x from the tree) or " ".
    // `swapped` says x := y op x was taken as x op y (numbers only).
    QString OptimizeCompound(TksDesignator *target, bool *swapped = nullptr);

private:
    void AttachOperand(TksExpressionNode *node);
    void ShareLeaves(TksLeafPool &leaves);
    // Where the tree grows while it is built: the node last placed and the
    // nodes above it, the root first (nodes hold no link to their parent).
    struct Building {
        TksExpressionNode *Cur;
        std::vector<TksExpressionNode *> Above;
        TksExpressionNode *At(size_t level) const { return level == Above.size() ? Cur : Above[level]; }
        void Down(TksExpressionNode *node)
        {
            Above.push_back(Cur);
            Cur = node;
        }
    };
    // One word for what building and running need apart: a program holds
    // many expressions.
    union {
        Building *FBuilding;       // until finished
        const KsValue *FInPlace;  // see InPlace (once finished)
    };
};

// A set constructor: entries are expressions; a nullptr entry stands between
// the low and the high bound of a range ([1, 3..5] holds 1, 3, nullptr, 5).
class TksSetExpression : public TksCustomVariable {
public:
    TksSetExpression() : TksCustomVariable(QString(), tcVariant, QString()) {}
    void AddItem(TksExpression *e) { Add(e); }
    void AddRange() { Add(nullptr); }
    TksExpression *Entry(int i) const { return static_cast<TksExpression *>(Items(i)); }
    KsValue GetValue() override;
    bool Contains(const KsValue &v);
};

// Membership in a set value (an array with Empty between range bounds).
bool ksInArray(const KsValue &v, const KsValue &arr);
