// Any sequence of operands and operator names given to an expression must
// build, finish and evaluate without a crash; run-time errors are fine.
#include "script/ks_idesignator.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const ops[] = {">",  "<",   "<=",  ">=",      "<>",  "=",   "+",    "STRCAT", "-",
                                      "OR", "XOR", "*",   "/",       "DIV", "MOD", "AND",  "SHL",    "SHR",
                                      "(",  ")",   "not", "unminus", "IN",  "IS",  "bogus"};
    TksScript script;
    script.AddRTTI();
    auto *x = new TksVariable(QStringLiteral("x"), tcInteger, QStringLiteral("Integer"));
    x->Value = KsValue(7);
    script.Add(x->Name, x);
    auto *s = new TksStringVariable(QStringLiteral("s"), tcString, QStringLiteral("String"));
    s->SetValue(KsValue(QStringLiteral("abc")));
    script.Add(s->Name, s);
    auto e = std::make_unique<TksExpression>(&script);
    for (size_t i = 0; i + 1 < size && i < 400; i += 2) {
        const uint8_t kind = data[i] % 8, arg = data[i + 1];
        switch (kind) {
        case 0:
        case 1:
        case 2:
            e->AddOperator(QString::fromLatin1(ops[arg % (sizeof(ops) / sizeof(ops[0]))]));
            break;
        case 3:
            e->AddConst(KsValue(int(arg) - 128));
            break;
        case 4:
            e->AddConst(arg % 2 ? KsValue(arg / 7.0) : KsValue(bool(arg & 2)));
            break;
        case 5:
            e->AddConst(arg % 3 == 0 ? KsValue::Null() : KsValue(QString::number(arg)));
            break;
        case 6:
            e->AddDesignator(TksDesignator::ForVariable(&script, arg % 2 ? static_cast<TksCustomVariable *>(x) : s));
            break;
        default: {
            auto *set = new TksSetExpression;
            auto *a = new TksExpression(&script);
            a->AddConst(KsValue(int(arg % 10)));
            a->Finish();
            set->AddItem(a);
            if (arg & 1) {
                set->AddRange();
                auto *b = new TksExpression(&script);
                b->AddConst(KsValue(int(arg % 20)));
                b->Finish();
                set->AddItem(b);
            }
            e->AddSet(set);
        }
        }
    }
    try {
        e->Finish();
        (void)e->GetValue();
        (void)e->SingleItem();
        auto *target = TksDesignator::ForVariable(&script, x);
        (void)e->OptimizeCompound(target);
        delete target;
        (void)e->GetValue();
    } catch (const KsError &) {}
    return 0;
}
