// Any script text in any of the four languages compiles or fails with an
// error message: no crash, no hang, no exception out of Compile. The first
// byte picks the language; the rest is the text (a unit named in a uses
// clause gets the same text).
#include "script/ks_iinterpreter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const langs[] = {"PascalScript", "C++Script", "BasicScript", "JScript"};
    if (size < 1 || size > 20000) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // The built-in names live in a parent script, registered once.
    static TksScript *base = [] {
        auto *b = new TksScript;
        b->AddRTTI();
        return b;
    }();
    TksScript script;
    script.Parent = base;
    script.SyntaxType = QLatin1String(langs[data[0] % 4]);
    script.OnGetUnit = [&](TksScript *, const QString &, QString &unitText) { unitText = text; };
    script.Lines = text.split(QLatin1Char('\n'));
    script.Compile();
    return 0;
}
