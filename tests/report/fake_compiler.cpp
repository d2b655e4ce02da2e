#include "fake_compiler.h"

#include "script/ks_iexpression.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_istatements.h"
#include "script/ks_idesignator.h"

#include <QRegularExpression>

namespace {

int gCompiles = 0;

// Term: integer, Get('name') or a name.
TksExpression *buildExpr(TksScript *prog, const QString &text, QString &error)
{
    auto *e = new TksExpression(prog);
    const QStringList terms = text.split(QLatin1Char('+'));
    bool first = true;
    for (QString t : terms) {
        t = t.trimmed();
        if (!first) e->AddOperator(QStringLiteral("+"));
        first = false;
        bool isInt = false;
        const int n = t.toInt(&isInt);
        static const QRegularExpression get(QStringLiteral("^Get\\('([^']*)'\\)$"));
        static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
        const auto m = get.match(t);
        if (isInt) {
            e->AddConst(KsValue(n));
        } else if (m.hasMatch()) {
            TksCustomVariable *getFn = prog->Find(QStringLiteral("Get"));
            if (!getFn) {
                error = QStringLiteral("Unknown identifier: Get");
                delete e;
                return nullptr;
            }
            auto *arg = new TksExpression(prog);
            arg->AddConst(KsValue(m.captured(1)));
            arg->Finish();
            auto *d = new TksDesignator(prog);
            d->AddItem(getFn)->AddArg(arg);
            d->Finish();
            e->AddDesignator(d);
        } else if (ident.match(t).hasMatch() && prog->Find(t)) {
            e->AddDesignator(TksDesignator::ForVariable(prog, prog->Find(t)));
        } else {
            error = QStringLiteral("Syntax error");
            delete e;
            return nullptr;
        }
    }
    const QString finish = e->Finish();
    if (!finish.isEmpty()) {
        error = finish;
        delete e;
        return nullptr;
    }
    return e;
}

void compile(TksScript *s)
{
    ++gCompiles;
    const QString text = s->Lines.join(QStringLiteral("\r\n"));
    static const QRegularExpression fn(
            QStringLiteral("^function (ly3f\\d+): Variant; begin Result := (.*) end; begin end\\.$"));
    const auto m = fn.match(text);
    if (!m.hasMatch()) {
        if (text.contains(QLatin1String("error"))) {
            s->ErrorMsg = QStringLiteral("Unknown identifier");
            s->ErrorPos = QStringLiteral("2:3");
        }
        return;
    }
    auto *proc = new TksProcVariable(m.captured(1), tcVariant, QStringLiteral("Variant"), s, true);
    QString error;
    TksExpression *e = buildExpr(proc->Prog, m.captured(2), error);
    if (!e) {
        delete proc;
        s->ErrorMsg = error;
        s->ErrorPos = QStringLiteral("1:1");
        return;
    }
    s->Add(proc->Name, proc);
    proc->Prog->MainBlock->Add(new TksAssignmentStmt(proc->Prog, QString(), QStringLiteral("1:1"),
                                                     TksDesignator::ForVariable(proc->Prog, proc->ResultVar), e));
}

}  // namespace

namespace fakecompiler {
void Install()
{
    gCompiles = 0;
    ksSetCompileHook(compile);
}
void Uninstall()
{
    ksSetCompileHook({});
}
int Compiles()
{
    return gCompiles;
}
}  // namespace fakecompiler
