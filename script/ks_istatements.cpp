#include "script/ks_istatements.h"

#include <cmath>
#include <typeinfo>

namespace {
// A block of this one statement, as RunBody runs it.
[[gnu::always_inline]] inline void RunOne(TksScript *p, TksStatement *st)
{
    if (!p->Terminated) TksStatement::RunEntry(st);
}
}  // namespace

TksStatement::TksStatement(TksScript *program, const QString &unitName, const QString &sourcePos)
    : Program(program), SourcePos(sourcePos), UnitName(unitName)
{}

void TksStatement::Execute()
{
    RunBody();
}

// ---- assignments -----------------------------------------------------------------------------

TksAssignmentStmt::TksAssignmentStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                                     TksDesignator *designator, TksExpression *expression)
    : TksStatement(program, unitName, sourcePos), Designator(designator), Expression(expression)
{
    if (Designator && Expression) Prepare();
}

void TksAssignmentStmt::Prepare()
{
    Target = (Designator->Kind == TksDesignator::dkVariable && !Designator->LateXML)
                     ? Designator->Variable
                     : static_cast<TksCustomVariable *>(Designator.get());
    TksValueItem *single = Expression->SingleItem();
    // The tree's root directly: one call less per execution.
    Source = single ? single : (Expression->Root ? static_cast<TksValueItem *>(Expression->Root) : Expression.get());
    Resolve();
}

void TksAssignmentStmt::SetVariables(TksCustomVariable *target, TksValueItem *source)
{
    Target = target;
    Source = source;
    Resolve();
}

void TksAssignmentStmt::Resolve()
{
    FTargetVar = ksIsPlainWrite(Target) ? Target : nullptr;
    // A constant's value is read in place too (x += 1, i++).
    FSourceVar = ksIsPlainRead(Source)                          ? &static_cast<TksCustomVariable *>(Source)->Value
                 : typeid(*Source) == typeid(TksOperandNode) ? &static_cast<TksOperandNode *>(Source)->Value
                                                             : nullptr;
    FSourceOp = Expression && Expression->Root && Expression->Root == Source &&
                                Expression->Root->NodeKind == TksExpressionNode::nkOperator
                        ? static_cast<TksOperatorNode *>(Expression->Root)
                        : nullptr;
    FAppend.reset();
    if (Expression && ksIsPlainRead(Target) && Expression->Root == Source &&
        TksOperatorNode::IsPlus(Expression->Root)) {
        TksExpressionNode *n = Expression->Root;
        std::vector<TksOperatorNode *> chain;
        for (; TksOperatorNode::IsPlus(n); n = n->Left) chain.push_back(static_cast<TksOperatorNode *>(n));
        auto *first = dynamic_cast<TksDesignatorNode *>(n);
        if (first && first->DirectValue() == &Target->Value)
            FAppend = std::make_unique<std::vector<TksOperatorNode *>>(chain.rbegin(), chain.rend());
    }
}

void TksAssignmentStmt::DropUnused()
{
    if (!Designator || !Expression) return;
    if (Designator->Kind == TksDesignator::dkVariable && !Designator->LateXML && Target == Designator->Variable)
        Designator.reset();
    auto *dn = Expression->Root && Expression->Root->NodeKind == TksExpressionNode::nkDesignator
                       ? static_cast<TksDesignatorNode *>(Expression->Root)
                       : nullptr;
    if (dn && dn->PlainVariable() && Source == dn->PlainVariable() && !FAppend && !FSourceOp)
        Expression.reset();
}

namespace {
// Appends the texts to x when x still holds the text `left` was read from
// (nothing changed x meanwhile); `left` lets go of it first, so that x's
// text grows in place. False (nothing done) when x changed.
// Raises when the joined text would be too long for a script's string.
void CheckJoinedLength(const QString &first, const KsValue *parts, size_t n)
{
    qint64 length = first.size();
    for (size_t i = 0; i < n; ++i) length += parts[i].RawString().size();
    ksCheckStringLength(length);
}

bool AppendInPlace(KsValue &x, KsValue &left, const KsValue *parts, size_t n)
{
    if (!x.IsString() || x.RawString().constData() != left.RawString().constData() ||
        x.RawString().size() != left.RawString().size())
        return false;
    CheckJoinedLength(left.RawString(), parts, n);
    left.Clear();
    QString &t = x.RawString();
    for (size_t i = 0; i < n; ++i) t += parts[i].RawString();
    return true;
}
}  // namespace

// x := x + a + b: the operands are read in order as usual; while they are
// texts nothing can fail, so they are joined at the end, onto x's own text
// when nothing changed x meanwhile. The result is what the tree gives.
void TksAssignmentStmt::ExecuteAppend()
{
    KsValue &x = Target->Value;
    KsValue left = x;  // the left operand; shares x's text
    if (!left.IsString() || Target->ReadOnly) {
        Target->SetValue(Source->GetValue());
        return;
    }
    const std::vector<TksOperatorNode *> &chain = *FAppend;
    std::vector<KsValue> parts;
    parts.reserve(chain.size());
    auto joined = [&] {
        CheckJoinedLength(left.RawString(), parts.data(), parts.size());
        QString t = left.RawString();
        for (const KsValue &p : parts) t += p.RawString();
        return t;
    };
    size_t i = 0;
    for (; i < chain.size(); ++i) {
        TksOperatorNode *op = chain[i];
        KsValue w = op->Right ? op->Right->GetValue() : KsValue();
        if (w.IsString()) {
            parts.push_back(std::move(w));
            continue;
        }
        // Not a text: the tree's own rules from here on.
        KsValue acc = op->Plus(KsValue(joined()), w);
        for (++i; i < chain.size(); ++i) {
            TksOperatorNode *next = chain[i];
            acc = next->Plus(acc, next->Right ? next->Right->GetValue() : KsValue());
        }
        Target->SetValue(acc);
        return;
    }
    if (AppendInPlace(x, left, parts.data(), parts.size())) return;
    Target->SetValue(KsValue(joined()));
}

void TksAssignmentStmt::Execute()
{
    if (LineTerminated()) return;
    if (FAppend) {
        ExecuteAppend();
        return;
    }
    if (FTargetVar && !FTargetVar->ReadOnly) {
        qint64 v;
        bool wide;
        if (FSourceVar)
            FTargetVar->Value = *FSourceVar;
        else if (FSourceOp && FSourceOp->TryIntValue(v, wide)) {  // no value in between
            if (wide)
                FTargetVar->Value.SetInt64(v);
            else
                FTargetVar->Value.SetInt(v);
        } else
            FTargetVar->Value = Source->GetValue();
        return;
    }
    Target->SetValue(FSourceVar ? *FSourceVar : Source->GetValue());
}

// Small on purpose: loops run it per pass, the rest is out of line.
void TksCompoundAssignStmt::Execute()
{
    if (LineTerminated()) return;
    if (FTargetVar && FSourceVar && !FTargetVar->ReadOnly) {
        KsValue &a = FTargetVar->Value;
        const KsValue &b = *FSourceVar;
        if (a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer && (Op == KsOp::Add || Op == KsOp::Sub)) {
            // 32-bit operands give a 64-bit result that cannot overflow
            a.SetInt(Op == KsOp::Add ? qint64(a.RawInt()) + b.RawInt() : qint64(a.RawInt()) - b.RawInt());
            return;
        }
        qint64 x, y, r;
        // Sums that have passed 32 bits stay here too.
        if (a.Kind() == KsKind::Int64 && b.IsIntegral() && (Op == KsOp::Add || Op == KsOp::Sub) &&
            ksBothIntegral(a, b, x, y) &&
            !(Op == KsOp::Add ? __builtin_add_overflow(x, y, &r) : __builtin_sub_overflow(x, y, &r))) {
            a.SetInt64(r);
            return;
        }
        Apply(a, b);
        return;
    }
    ExecuteGeneral();
}

void TksCompoundAssignStmt::ExecuteGeneral()
{
    if (FTargetVar && !FTargetVar->ReadOnly) {
        Apply(FTargetVar->Value, Source->GetValue());
        return;
    }
    if (Op == KsOp::Add && !Swapped && ksIsPlainRead(Target) && !Target->ReadOnly && Target->Value.IsString()) {
        // A string variable: its text grows in place when the right side
        // is a text too and left it alone.
        KsValue v = Target->Value;
        KsValue w = Source->GetValue();
        if (!w.IsString() || !AppendInPlace(Target->Value, v, &w, 1)) Target->SetValue(ksBinary(Op, v, w));
        return;
    }
    KsValue v = Target->GetValue();
    KsValue w = Source->GetValue();
    Apply(v, w);
    Target->SetValue(v);
}

// ---- calls and conditions --------------------------------------------------------------------

TksCallStmt::TksCallStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                         TksDesignator *designator, const QString &modificator)
    : TksStatement(program, unitName, sourcePos), Designator(designator), Modificator(modificator)
{
    if (!Modificator.isEmpty()) FStep = Modificator == QLatin1String("-") ? -1 : 1;
}

void TksCallStmt::Execute()
{
    if (LineTerminated()) return;
    if (!FStep) {
        Designator->ResultWanted = false;
        Designator->GetValue();
        return;
    }
    KsValue v = Designator->GetValue();
    Designator->SetValue(ksBinary(FStep < 0 ? KsOp::Sub : KsOp::Add, v, KsValue(1)));
}

TksIfStmt::TksIfStmt(TksScript *program, const QString &unitName, const QString &sourcePos, TksExpression *condition)
    : TksStatement(program, unitName, sourcePos), Condition(condition),
      ElseStmt(new TksStatement(program, unitName, sourcePos))
{}

void TksIfStmt::Execute()
{
    if (LineTerminated()) return;
    TksStatement *branch = Condition->GetBool() ? this : ElseStmt.get();
    if (branch->Count() == 1)
        RunOne(Program, static_cast<TksStatement *>(branch->Items(0)));
    else
        branch->RunBody();
}

TksCaseSelector::TksCaseSelector(TksScript *program, const QString &unitName, const QString &sourcePos,
                                 TksSetExpression *set)
    : TksStatement(program, unitName, sourcePos), SetExpression(set)
{}

TksCaseStmt::TksCaseStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                         TksExpression *condition)
    : TksStatement(program, unitName, sourcePos), Condition(condition),
      ElseStmt(new TksStatement(program, unitName, sourcePos))
{}

void TksCaseStmt::Execute()
{
    KsValue v = Condition->GetValue();
    if (LineTerminated()) return;
    for (TksItemList *item : FItems) {
        auto *sel = static_cast<TksCaseSelector *>(item);
        if (sel->SetExpression && sel->SetExpression->Contains(v)) {
            sel->Execute();
            return;
        }
    }
    ElseStmt->RunBody();
}

// ---- loops ----------------------------------------------------------------------------------------

TksRepeatStmt::TksRepeatStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                             TksExpression *condition, bool inverseCondition)
    : TksStatement(program, unitName, sourcePos), Condition(condition), InverseCondition(inverseCondition)
{}

void TksRepeatStmt::Execute()
{
    if (LineTerminated()) return;
    TksScript *p = Program;
    for (;;) {
        ksCheckStop();
        RunBody();
        if (p->BreakFlag || p->ExitFlag || p->Terminated) break;
        p->ContinueFlag = false;
        if (Condition->GetBool() != InverseCondition) break;
    }
    p->BreakFlag = false;
}

TksWhileStmt::TksWhileStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                           TksExpression *condition)
    : TksStatement(program, unitName, sourcePos), Condition(condition)
{}

void TksWhileStmt::Execute()
{
    if (LineTerminated()) return;
    TksScript *p = Program;
    TksStatement *one = Count() == 1 ? static_cast<TksStatement *>(Items(0)) : nullptr;
    while (Condition->GetBool()) {
        ksCheckStop();
        if (one)
            RunOne(p, one);
        else
            RunBody();
        if (p->BreakFlag || p->ExitFlag || p->Terminated) break;
        p->ContinueFlag = false;
    }
    p->BreakFlag = false;
}

TksForStmt::TksForStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                       TksCustomVariable *variable, TksExpression *beginValue, TksExpression *endValue, bool down)
    : TksStatement(program, unitName, sourcePos), BeginValue(beginValue), Down(down), EndValue(endValue),
      Variable(variable)
{}

void TksForStmt::Execute()
{
    const qint64 from = BeginValue->GetValue().ToInt64();
    const qint64 to = EndValue->GetValue().ToInt64();
    if (LineTerminated()) return;
    TksScript *p = Program;
    const qint64 step = Down ? -1 : 1;
    if (Down ? from < to : from > to) return;
    TksStatement *one = Count() == 1 ? static_cast<TksStatement *>(Items(0)) : nullptr;
    for (qint64 i = from;; i += step) {
        ksCheckStop();
        Variable->Value.SetInt(i);
        if (one)
            RunOne(p, one);
        else
            RunBody();
        if (p->BreakFlag || p->ExitFlag || p->Terminated) break;
        p->ContinueFlag = false;
        if (i == to) break;
    }
    p->BreakFlag = false;
}

TksVbForStmt::TksVbForStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                           TksCustomVariable *variable, TksExpression *beginValue, TksExpression *endValue,
                           TksExpression *step)
    : TksStatement(program, unitName, sourcePos), BeginValue(beginValue), EndValue(endValue), Step(step),
      Variable(variable)
{}

void TksVbForStmt::Execute()
{
    KsValue i = BeginValue->GetValue();
    const KsValue end = EndValue->GetValue();
    const KsValue step = Step ? Step->GetValue() : KsValue(1);
    const bool down = ksCompare(step, KsValue(0)) < 0;
    if (LineTerminated()) return;
    TksScript *p = Program;
    // A zero step would never end; it runs the body once at most.
    const bool zero = ksEquals(step, KsValue(0));
    while (down ? ksCompare(i, end) >= 0 : ksCompare(i, end) <= 0) {
        ksCheckStop();
        Variable->Value = i;
        RunBody();
        if (p->BreakFlag || p->ExitFlag || p->Terminated) break;
        p->ContinueFlag = false;
        if (zero) break;
        i = ksAdd(i, step);
    }
    p->BreakFlag = false;
}

TksCppForStmt::TksCppForStmt(TksScript *program, const QString &unitName, const QString &sourcePos)
    : TksStatement(program, unitName, sourcePos), FirstStmt(new TksStatement(program, unitName, sourcePos)),
      SecondStmt(new TksStatement(program, unitName, sourcePos))
{}


void TksCppForStmt::Execute()
{
    if (LineTerminated()) return;
    TksScript *p = Program;
    FirstStmt->RunBody();
    if (p->Terminated) return;
    if (Count() == 1 && SecondStmt->Count() == 1) {
        // The usual loop of one statement and one step (i++): no block loops.
        auto *body = static_cast<TksStatement *>(Items(0));
        auto *step = static_cast<TksStatement *>(SecondStmt->Items(0));
        while (!Expression || Expression->GetBool()) {
            ksCheckStop();
            RunOne(p, body);
            if (p->BreakFlag || p->ExitFlag || p->Terminated) break;
            p->ContinueFlag = false;
            RunOne(p, step);
        }
        p->BreakFlag = false;
        return;
    }
    while (!Expression || Expression->GetBool()) {
        ksCheckStop();
        RunBody();
        if (p->BreakFlag || p->ExitFlag || p->Terminated) break;
        p->ContinueFlag = false;
        SecondStmt->RunBody();
    }
    p->BreakFlag = false;
}

// ---- try -----------------------------------------------------------------------------------------------

TksTryStmt::TksTryStmt(TksScript *program, const QString &unitName, const QString &sourcePos, bool isExcept)
    : TksStatement(program, unitName, sourcePos), IsExcept(isExcept),
      ExceptStmt(new TksStatement(program, unitName, sourcePos))
{}

void TksTryStmt::Execute()
{
    if (LineTerminated()) return;
    TksScript *p = Program;
    if (!IsExcept) {
        // A pending break, continue or exit must not cut the finally part
        // short; it takes effect after it.
        auto runFinally = [&]() {
            const bool exitFlag = p->ExitFlag, breakFlag = p->BreakFlag, continueFlag = p->ContinueFlag;
            p->ExitFlag = p->BreakFlag = p->ContinueFlag = false;
            ExceptStmt->Execute();
            p->ExitFlag = exitFlag || p->ExitFlag;
            p->BreakFlag = breakFlag || p->BreakFlag;
            p->ContinueFlag = continueFlag || p->ContinueFlag;
        };
        try {
            RunBody();
        } catch (...) {
            runFinally();
            throw;
        }
        runFinally();
        return;
    }
    QString className, message;
    bool caught = false;
    try {
        RunBody();
    } catch (const KsStopped &) {
        throw;  // a stop is not the script's to handle
    } catch (const KsError &e) {
        caught = true;
        className = e.ClassName;
        message = e.Message;
    } catch (const std::bad_alloc &) {
        throw;  // out of memory is not the script's to handle
    } catch (const std::exception &e) {
        caught = true;
        className = QStringLiteral("Exception");
        message = QString::fromUtf8(e.what());
    }
    if (caught) {
        p->SetVariable(QStringLiteral("ExceptionClassName"), KsValue(className));
        p->SetVariable(QStringLiteral("ExceptionMessage"), KsValue(message));
        ExceptStmt->Execute();
    }
}

TksWithStmt::TksWithStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                         TksDesignator *designator, TksCustomVariable *variable)
    : TksStatement(program, unitName, sourcePos), Designator(designator), Variable(variable)
{}

void TksWithStmt::Execute()
{
    Variable->Value = Designator->GetValue();
}
