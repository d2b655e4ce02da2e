// Statements. Every grammar maps onto these classes. A TksStatement itself is
// a block: its entries run in order. Each statement fires the script's line
// event (RunLine) before it acts, except blocks, break, continue and with.
// Break, continue and exit travel in the flags of the statement's Program.
#pragma once

#include "script/ks_idesignator.h"

#include <memory>
#include <vector>

class TksStatement : public TksItemList {
public:
    TksStatement(TksScript *program, const QString &unitName, const QString &sourcePos);
    TksScript *Program;
    TksSourcePos SourcePos;
    KsUnitName UnitName;
    virtual void Execute();
    void AddStatement(TksStatement *s) { Add(s); }
    // Runs the statement's own entries as a block (inline: loops run it per
    // pass, and the plain blocks a statement owns are run through it directly).
    void RunBody()
    {
        TksScript *p = Program;
        for (TksItemList *item : FItems) {
            if (p->Terminated) return;
            RunEntry(static_cast<TksStatement *>(item));
            if (p->BreakFlag | p->ContinueFlag | p->ExitFlag) return;  // one branch
        }
    }
    // Executes st as an entry of a block: an error passing it gets its place.
    [[gnu::always_inline]] static void RunEntry(TksStatement *st)
    {
        try {
            st->Execute();
        } catch (KsError &e) {
            if (e.SourcePos.isEmpty()) {
                e.SourcePos = st->SourcePos;
                e.UnitName = st->UnitName;
            }
            throw;
        }
    }

protected:
    // Fires the line event; true when the run was terminated meanwhile.
    bool LineTerminated()
    {
        Program->RunLine(UnitName, SourcePos);
        return Program->Terminated;
    }
};

class TksAssignmentStmt : public TksStatement {
public:
    TksAssignmentStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                      TksDesignator *designator = nullptr, TksExpression *expression = nullptr);
    std::unique_ptr<TksDesignator> Designator;  // owned
    std::unique_ptr<TksExpression> Expression;  // owned
    TksCustomVariable *Target = nullptr;
    TksValueItem *Source = nullptr;
    // Resolves Target and Source; call after setting Designator and Expression.
    void Prepare();
    // Target and Source given as they are, with no designator or expression
    // (what DropUnused leaves of an assignment between variables).
    void SetVariables(TksCustomVariable *target, TksValueItem *source);
    // Lets go of the designator and the expression where running reads
    // none of them (Target and Source are variables of their own): a
    // compiled program keeps only what it runs. Either may become nullptr.
    void DropUnused();
    void Execute() override;

protected:
    // Plain variables whose value lives in Value (read or written directly).
    TksCustomVariable *FTargetVar = nullptr;
    const KsValue *FSourceVar = nullptr;  // Source's value, read in place
    TksOperatorNode *FSourceOp = nullptr;  // Source, when it is an operator
    // x := x + a + b ...: the "+" nodes from the lowest up, whose right
    // operands are appended to x's text in place (few assignments have them).
    std::unique_ptr<std::vector<TksOperatorNode *>> FAppend;
    void Resolve();  // the fields above from Target, Source and Expression
    void ExecuteAppend();
};

// x += e, x -= e, x *= e, x /= e (and x := x op e found by the compiler).
class TksCompoundAssignStmt : public TksAssignmentStmt {
public:
    TksCompoundAssignStmt(KsOp op, TksScript *program, const QString &unitName, const QString &sourcePos,
                          TksDesignator *designator = nullptr, TksExpression *expression = nullptr)
        : TksAssignmentStmt(program, unitName, sourcePos, designator, expression), Op(op)
    {}
    KsOp Op;
    // Written x := e op x: numbers in either order, text met at run time
    // (a number variable may be given text through a Variant) as written.
    bool Swapped = false;
    void Execute() override;

private:
    void ExecuteGeneral();
    // a := a op b, or b op a when swapped and either holds text.
    void Apply(KsValue &a, const KsValue &b) const
    {
        if (Swapped && (a.IsString() || b.IsString()))
            a = ksBinary(Op, b, a);
        else
            ksBinaryInPlace(Op, a, b);
    }
};

class TksAssignPlusStmt : public TksCompoundAssignStmt {
public:
    TksAssignPlusStmt(TksScript *p, const QString &u, const QString &s, TksDesignator *d = nullptr,
                      TksExpression *e = nullptr)
        : TksCompoundAssignStmt(KsOp::Add, p, u, s, d, e)
    {}
};
class TksAssignMinusStmt : public TksCompoundAssignStmt {
public:
    TksAssignMinusStmt(TksScript *p, const QString &u, const QString &s, TksDesignator *d = nullptr,
                       TksExpression *e = nullptr)
        : TksCompoundAssignStmt(KsOp::Sub, p, u, s, d, e)
    {}
};
class TksAssignMulStmt : public TksCompoundAssignStmt {
public:
    TksAssignMulStmt(TksScript *p, const QString &u, const QString &s, TksDesignator *d = nullptr,
                     TksExpression *e = nullptr)
        : TksCompoundAssignStmt(KsOp::Mul, p, u, s, d, e)
    {}
};
class TksAssignDivStmt : public TksCompoundAssignStmt {
public:
    TksAssignDivStmt(TksScript *p, const QString &u, const QString &s, TksDesignator *d = nullptr,
                     TksExpression *e = nullptr)
        : TksCompoundAssignStmt(KsOp::DivFloat, p, u, s, d, e)
    {}
};

class TksCallStmt : public TksStatement {
public:
    TksCallStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                TksDesignator *designator = nullptr, const QString &modificator = QString());
    std::unique_ptr<TksDesignator> Designator;  // owned
    QString Modificator;                        // "", "+" or "-"
    void Execute() override;

private:
    int FStep = 0;  // the Modificator as 0, 1 or -1
};

class TksIfStmt : public TksStatement {
public:
    TksIfStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
              TksExpression *condition = nullptr);
    std::unique_ptr<TksExpression> Condition;  // owned
    std::unique_ptr<TksStatement> ElseStmt;    // owned; the then-part is the entries
    void Execute() override;
};

class TksCaseSelector : public TksStatement {
public:
    TksCaseSelector(TksScript *program, const QString &unitName, const QString &sourcePos,
                    TksSetExpression *set = nullptr);
    std::unique_ptr<TksSetExpression> SetExpression;  // owned; the branch is the entries
    void Execute() override { RunBody(); }
};

class TksCaseStmt : public TksStatement {
public:
    TksCaseStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                TksExpression *condition = nullptr);
    std::unique_ptr<TksExpression> Condition;  // owned
    std::unique_ptr<TksStatement> ElseStmt;    // owned; the entries are TksCaseSelector
    void Execute() override;
};

class TksRepeatStmt : public TksStatement {
public:
    TksRepeatStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                  TksExpression *condition = nullptr, bool inverseCondition = false);
    std::unique_ptr<TksExpression> Condition;  // owned
    bool InverseCondition;                     // do-while: repeat while the condition holds
    void Execute() override;
};

class TksWhileStmt : public TksStatement {
public:
    TksWhileStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                 TksExpression *condition = nullptr);
    std::unique_ptr<TksExpression> Condition;  // owned
    void Execute() override;
};

class TksForStmt : public TksStatement {
public:
    TksForStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
               TksCustomVariable *variable = nullptr, TksExpression *beginValue = nullptr,
               TksExpression *endValue = nullptr, bool down = false);
    std::unique_ptr<TksExpression> BeginValue;  // owned
    bool Down;
    std::unique_ptr<TksExpression> EndValue;  // owned
    TksCustomVariable *Variable;              // not owned
    void Execute() override;
};

class TksVbForStmt : public TksStatement {
public:
    TksVbForStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                 TksCustomVariable *variable = nullptr, TksExpression *beginValue = nullptr,
                 TksExpression *endValue = nullptr, TksExpression *step = nullptr);
    std::unique_ptr<TksExpression> BeginValue;  // owned
    std::unique_ptr<TksExpression> EndValue;    // owned
    std::unique_ptr<TksExpression> Step;        // owned, may be nullptr (1)
    TksCustomVariable *Variable;                // not owned
    void Execute() override;
};

class TksCppForStmt : public TksStatement {
public:
    TksCppForStmt(TksScript *program, const QString &unitName, const QString &sourcePos);
    std::unique_ptr<TksStatement> FirstStmt;    // owned
    std::unique_ptr<TksExpression> Expression;  // owned; nullptr: no condition (loops until break)
    std::unique_ptr<TksStatement> SecondStmt;   // owned
    void Execute() override;
};

class TksTryStmt : public TksStatement {
public:
    TksTryStmt(TksScript *program, const QString &unitName, const QString &sourcePos, bool isExcept = false);
    bool IsExcept;
    std::unique_ptr<TksStatement> ExceptStmt;  // owned: the except or the finally part
    void Execute() override;
};

class TksBreakStmt : public TksStatement {
public:
    using TksStatement::TksStatement;
    void Execute() override { Program->BreakFlag = true; }
};

class TksContinueStmt : public TksStatement {
public:
    using TksStatement::TksStatement;
    void Execute() override { Program->ContinueFlag = true; }
};

class TksExitStmt : public TksStatement {
public:
    using TksStatement::TksStatement;
    void Execute() override
    {
        Program->RunLine(UnitName, SourcePos);
        Program->ExitFlag = true;
    }
};

class TksWithStmt : public TksStatement {
public:
    TksWithStmt(TksScript *program, const QString &unitName, const QString &sourcePos,
                TksDesignator *designator = nullptr, TksCustomVariable *variable = nullptr);
    std::unique_ptr<TksDesignator> Designator;  // owned
    TksCustomVariable *Variable;                // not owned: the hidden variable
    void Execute() override;
};
