// Builds programs through the engine's C++ API, as the compiler does.
#pragma once

#include "script/ks_istatements.h"
#include "script/ks_itools.h"

#include "ks_print.h"

#include <initializer_list>
#include <variant>

namespace ksb {

// A token of an expression: an operator name, a constant, a variable (read
// through a plain designator), a designator, or a set.
struct Tok {
    std::variant<QString, KsValue, TksCustomVariable *, TksDesignator *, TksSetExpression *> V;
    Tok(const char *op) : V(QString::fromLatin1(op)) {}
    Tok(int i) : V(KsValue(i)) {}
    Tok(double d) : V(KsValue(d)) {}
    Tok(bool b) : V(KsValue(b)) {}
    Tok(const KsValue &v) : V(v) {}
    Tok(TksCustomVariable *v) : V(v) {}
    Tok(TksDesignator *d) : V(d) {}
    Tok(TksSetExpression *s) : V(s) {}
};

inline KsValue Str(const char *s)
{
    return KsValue(QString::fromUtf8(s));
}

inline void Fill(TksScript *s, TksExpression *e, std::initializer_list<Tok> toks, const QString &pos)
{
    for (const Tok &t : toks) {
        if (auto *op = std::get_if<QString>(&t.V))
            e->AddOperator(*op);
        else if (auto *c = std::get_if<KsValue>(&t.V))
            e->AddConst(*c);
        else if (auto *v = std::get_if<TksCustomVariable *>(&t.V))
            e->AddDesignator(TksDesignator::ForVariable(s, *v, pos));
        else if (auto *d = std::get_if<TksDesignator *>(&t.V))
            e->AddDesignator(*d);
        else
            e->AddSet(std::get<TksSetExpression *>(t.V));
    }
}

inline TksExpression *Expr(TksScript *s, std::initializer_list<Tok> toks, const QString &pos = QStringLiteral("1:1"))
{
    auto *e = new TksExpression(s);
    e->SourcePos = pos;
    Fill(s, e, toks, pos);
    e->Finish();
    return e;
}

// Finish's error for an expression (empty when the types fit).
inline QString ExprError(TksScript *s, std::initializer_list<Tok> toks)
{
    std::unique_ptr<TksExpression> e(new TksExpression(s));
    e->SourcePos = QStringLiteral("2:7");
    Fill(s, e.get(), toks, e->SourcePos);
    return e->Finish();
}

inline KsValue Eval(TksScript *s, std::initializer_list<Tok> toks)
{
    std::unique_ptr<TksExpression> e(Expr(s, toks));
    return e->GetValue();
}

inline TksSetExpression *Set(TksScript *s, std::initializer_list<std::initializer_list<Tok>> items)
{
    auto *set = new TksSetExpression;
    for (auto &it : items) {
        if (it.size() == 1 && std::holds_alternative<QString>(it.begin()->V) &&
            std::get<QString>(it.begin()->V) == QLatin1String(".."))
            set->AddRange();
        else
            set->AddItem(Expr(s, it));
    }
    return set;
}

template <class T = TksVariable>
T *Var(TksScript *s, const char *name, TksVarType code = tcVariant, const KsValue &init = KsValue(),
       const char *typeName = nullptr)
{
    QString tn = typeName ? QString::fromLatin1(typeName) : ksTypeCodeName(code);
    auto *v = new T(QString::fromLatin1(name), code, tn);
    if (!init.IsEmpty()) v->Value = init;
    s->Add(v->Name, v);
    return v;
}

inline TksStringVariable *StrVar(TksScript *s, const char *name, const char *init = "")
{
    auto *v = new TksStringVariable(QString::fromLatin1(name), tcString, QStringLiteral("String"));
    v->SetValue(Str(init));
    s->Add(v->Name, v);
    return v;
}

// A designator: item, then (member, args) links.
struct Link {
    TksCustomVariable *Ref;
    std::vector<TksExpression *> Args;
};
inline TksDesignator *Dsg(TksScript *s, std::initializer_list<Link> links, const QString &pos = QStringLiteral("1:1"))
{
    auto *d = new TksDesignator(s);
    d->SourcePos = pos;
    for (const Link &l : links) {
        TksDesignatorItem *it = d->AddItem(l.Ref, pos);
        for (TksExpression *a : l.Args) it->AddArg(a);
    }
    d->Finish();
    return d;
}

inline TksAssignmentStmt *Assign(TksScript *s, TksDesignator *target, TksExpression *e,
                                 const QString &pos = QStringLiteral("1:1"))
{
    return new TksAssignmentStmt(s, QString(), pos, target, e);
}
inline TksAssignmentStmt *Assign(TksScript *s, TksCustomVariable *target, TksExpression *e,
                                 const QString &pos = QStringLiteral("1:1"))
{
    return Assign(s, TksDesignator::ForVariable(s, target), e, pos);
}
inline TksCallStmt *Call(TksScript *s, TksDesignator *d, const QString &pos = QStringLiteral("1:1"))
{
    return new TksCallStmt(s, QString(), pos, d);
}

inline TksProcVariable *Proc(TksScript *s, const char *name, TksVarType result = tcVariant, bool isFunc = true)
{
    auto *p = new TksProcVariable(QString::fromLatin1(name), result, ksTypeCodeName(result), s, isFunc);
    s->Add(p->Name, p);
    return p;
}

inline TksParamItem *Param(TksProcVariable *p, const char *name, TksVarType code = tcVariant, bool isVar = false,
                           bool optional = false, const KsValue &def = KsValue())
{
    auto *item = new TksParamItem(QString::fromLatin1(name), code, ksTypeCodeName(code), optional, isVar);
    item->DefValue = def;
    p->AddParam(item);
    return item;
}

}  // namespace ksb
