#include "script/ks_grammars.h"

#include "script/ks_itools.h"
#include "script/ks_xml.h"

void ksRegisterBuiltinLanguages()
{
    static bool done = false;
    if (done) return;
    done = true;
    for (const char *const *g = ksBuiltinGrammars; *g; ++g) {
        const QString text = QString::fromUtf8(*g);
        TksXMLDocument doc;
        doc.LoadFromString(text);
        ksAddLanguage(doc.Root()->Prop(QStringLiteral("text")), text);
    }
}
