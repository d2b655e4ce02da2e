// Designators: chains such as a.b[c].d(e). Each link points at the named
// item it designates (variable, procedure, class, member helper or nested
// designator) and holds its argument expressions. Reading walks the chain
// left to right handing each member the value reached so far; writing gives
// the new value to the last member.
#pragma once

#include "script/ks_iexpression.h"

#include <memory>

class TksArrayHelper;

// The script's class of the object, or of its nearest ancestor the script
// knows; nullptr when it knows none.
TksClassVariable *ksScriptClassOf(TksScript *prog, QObject *obj);

class TksDesignatorItem : public TksItemList {
public:
    TksDesignatorItem(TksCustomVariable *ref, const QString &sourcePos);
    TksCustomVariable *Ref;  // not owned; call SetRef to change it
    void SetRef(TksCustomVariable *ref);
    TksSourcePos SourcePos;
    std::uint8_t RefKind = 0;  // what Ref is, found once: plain, designator, procedure, helper
    bool Indexed = false;
    void AddArg(TksExpression *e) { Add(e); }
    TksExpression *Arg(int i) const { return static_cast<TksExpression *>(Items(i)); }
};

class TksDesignator final : public TksCustomVariable {
public:
    enum DesignatorKind {
        dkGeneral = 0,
        dkVariable = 1,
        dkStringChar = 2,
        dkArrayElement = 3,
        dkCall = 4,
        dkHostCall = 5,  // a function of the host (Link(0)) without var parameters
        dkProperty = 6   // a property (Link(1)) of the object a plain variable holds
    };

    explicit TksDesignator(TksScript *prog);
    ~TksDesignator() override;
    // A one-link designator of a variable, finished.
    static TksDesignator *ForVariable(TksScript *prog, TksCustomVariable *var, const QString &pos = QString());

    int Kind = dkGeneral;  // first: it fills the room after the base's members
    // A general chain v[i] (up to three indexes) of a plain Variant variable
    // through the open array helper, whose indexes change no variable: the
    // element is reached directly while v holds an array of as many
    // dimensions, else through the chain. (The small members beside Kind:
    // a program holds many designators.)
    bool VariantElement = false;
    std::uint8_t VariantIndexCount = 0;  // its indexes up to a left-out optional one

private:
    std::uint8_t FIndexCount = 0;
    bool FPureElement = false;

public:
    TksScript *Prog;
    TksCustomVariable *Variable = nullptr;  // kinds 1 to 3 (kind 3: its indexes are Link(1)'s)
    TksProcVariable *Proc = nullptr;        // kind 4: a call of a program routine
                                            // without var parameters (its link: Link(0))
    // An intermediate-code node resolved on first use by LateCompiler.
    std::unique_ptr<TksXMLItem> LateXML;

    TksDesignatorItem *AddItem(TksCustomVariable *ref, const QString &sourcePos = QString());
    // An array element (kind 3 or a Variant element) whose indexes change no
    // variable: reading it changes nothing either.
    bool PureElement() const { return FPureElement; }
    // The element of kind 3 or of a Variant element read in place, without
    // evaluating anything that could change a variable; nullptr where
    // GetValue must decide (an index that is no integer, no such element:
    // GetValue then raises as it does).
    const KsValue *ElementRef() const
    {
        qint64 idx[3];
        if (!ElementIndexes(idx)) return nullptr;
        return (Kind == dkArrayElement ? Variable : Link(0)->Ref)->Value.Find(idx, FIndexCount);
    }
    TksDesignatorItem *Link(int i) const { return static_cast<TksDesignatorItem *>(Items(i)); }
    // Type, ReadOnly and Kind from the links.
    void Finish();
    KsValue GetValue() override;
    void SetValue(const KsValue &value) override;
    // GetValue of a finished call (kind 4): runs the routine.
    KsValue Call();
    // GetValue of a finished call of a host function (kind 5).
    KsValue HostCall();

    // Installed by the compiler: builds a designator from LateXML in the scope
    // `prog`; raises the compiler's error when the chain does not resolve.
    static std::function<TksDesignator *(TksScript *prog, TksXMLItem *node)> LateCompiler;

private:
    void ResolveLate();
    KsValue Walk(bool writing, const KsValue &value);
    KsValue StringCharGet();
    int VariantIndexes(qint64 *idx);
    void StringCharSet(const KsValue &value);
    void ArrayIndexes(qint64 *idx, int &n);
    // The indexes of kind 3 or of a Variant element when each is an integer
    // read without evaluating anything that could change a variable; false
    // (nothing evaluated) otherwise.
    bool ElementIndexes(qint64 *idx) const
    {
        if (!FIndexCount) return false;
        for (int i = 0; i < FIndexCount; ++i)
            if (!FIndexes[i]->TryIndex(idx[i])) return false;
        return true;
    }
    // Kind 3 and Variant elements: the index expressions (the first three);
    // kind 2: the character's index first (not owned: arguments of a link).
    TksExpression *FIndexes[3] = {};
};

// Supplies constant arguments holding the defaults of the optional
// parameters that a call leaves out. False when a required one is missing
// (the compiler reports "Not enough actual parameters").
bool ksAddDefaultArgs(TksDesignatorItem *link, TksScript *prog);

// Element access of a Variant array held in ParentRef's value. Dims = 0 is
// the open form (one to three indexes, the second and third optional);
// indexes beyond the array's dimensions index the element reached (an
// array, or a string's character).
class TksArrayHelper : public TksCustomHelper {
public:
    TksArrayHelper(const QString &name, TksVarType typeCode, const QString &typeName, int dims);
    int Dims;
    KsValue GetValue() override;
    void SetValue(const KsValue &value) override;

private:
    int Indexes(qint64 *idx) const;
};

// One character of the string reached so far ("__StringHelper").
class TksStringHelper : public TksCustomHelper {
public:
    TksStringHelper();
    KsValue GetValue() override;
    void SetValue(const KsValue &value) override;
};

// Character i (from 1) of s as a one-character string; raises
// ERangeError when i is outside 1..Length(s).
QString ksStringChar(const QString &s, qint64 i);
void ksSetStringChar(QString &s, qint64 i, const KsValue &ch);
