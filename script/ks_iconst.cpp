#include "script/ks_iconst.h"

// The report library hands its message table over while the program starts,
// possibly before this file's objects would be made in the usual order; made
// first, they are never built over a text already handed over.
#define KS_MESSAGE __attribute__((init_priority(1000)))

QString SLangNotFound KS_MESSAGE = QStringLiteral("Language '%1' not found");
QString SInvalidLanguage KS_MESSAGE = QStringLiteral("Invalid language definition");
QString SIdRedeclared KS_MESSAGE = QStringLiteral("Identifier redeclared: ");
QString SUnknownType KS_MESSAGE = QStringLiteral("Unknown type: ");
QString SIncompatibleTypes KS_MESSAGE = QStringLiteral("Incompatible types");
QString SIdUndeclared KS_MESSAGE = QStringLiteral("Undeclared identifier: ");
QString SClassRequired KS_MESSAGE = QStringLiteral("Class type required");
QString SIndexRequired KS_MESSAGE = QStringLiteral("Index required");
QString SStringError KS_MESSAGE = QStringLiteral("Strings doesn't have properties or methods");
QString SClassError KS_MESSAGE = QStringLiteral("Class %1 does not have a default property");
QString SArrayRequired KS_MESSAGE = QStringLiteral("Array type required");
QString SVarRequired KS_MESSAGE = QStringLiteral("Variable required");
QString SNotEnoughParams KS_MESSAGE = QStringLiteral("Not enough actual parameters");
QString STooManyParams KS_MESSAGE = QStringLiteral("Too many actual parameters");
QString SLeftCantAssigned KS_MESSAGE = QStringLiteral("Left side cannot be assigned to");
QString SForError KS_MESSAGE = QStringLiteral("For loop variable must be numeric variable");
QString SEventError KS_MESSAGE = QStringLiteral("Event handler must be a procedure");
QString SStringIndexError KS_MESSAGE = QStringLiteral("String index out of range");
QString SProgramTooComplex KS_MESSAGE = QStringLiteral("Program too complex: out of memory");
QString SProgramTooDeep KS_MESSAGE = QStringLiteral("Program too complex: nested more than %1 deep");
QString SProgramTooLong KS_MESSAGE = QStringLiteral("Program too complex: more than %1 parsing steps");
QString SUnitsTooDeep KS_MESSAGE = QStringLiteral("Program too complex: units included more than %1 deep");
QString SArrayBoundsError KS_MESSAGE = QStringLiteral("Invalid array bounds");
QString SNumberOutOfRange KS_MESSAGE = QStringLiteral("Number out of range");
QString SUnitNotRead KS_MESSAGE = QStringLiteral("Cannot read unit '%1'");
QString SUnitTooLarge KS_MESSAGE = QStringLiteral("Unit '%1' is too large");
QString SStringTooLong KS_MESSAGE = QStringLiteral("String too long: more than %1 characters");
QString SListTooLarge KS_MESSAGE = QStringLiteral("List too large: more than %1 MB");
QString SArrayTooLarge KS_MESSAGE = QStringLiteral("Variant array too large: more than %1 elements");
QString SRunTooLarge KS_MESSAGE = QStringLiteral("Out of memory: the script holds more than %1 MB");

bool ksSetCompilerMessage(const QString &id, const QString &text)
{
    static const struct {
        const char *Name;
        QString *Text;
    } table[] = {{"SLangNotFound", &SLangNotFound},       {"SInvalidLanguage", &SInvalidLanguage},
                 {"SIdRedeclared", &SIdRedeclared},       {"SUnknownType", &SUnknownType},
                 {"SIncompatibleTypes", &SIncompatibleTypes}, {"SIdUndeclared", &SIdUndeclared},
                 {"SClassRequired", &SClassRequired},     {"SIndexRequired", &SIndexRequired},
                 {"SStringError", &SStringError},         {"SClassError", &SClassError},
                 {"SArrayRequired", &SArrayRequired},     {"SVarRequired", &SVarRequired},
                 {"SNotEnoughParams", &SNotEnoughParams}, {"STooManyParams", &STooManyParams},
                 {"SLeftCantAssigned", &SLeftCantAssigned}, {"SForError", &SForError},
                 {"SEventError", &SEventError}};
    for (const auto &m : table) {
        if (id.compare(QLatin1String(m.Name), Qt::CaseInsensitive) != 0) continue;
        QString t = text;
        t.replace(QLatin1String("%s"), QLatin1String("%1"));
        *m.Text = t;
        return true;
    }
    return false;
}

QString ksNameMessage(const QString &message, const QString &name)
{
    QString m = message;
    while (!m.isEmpty() && m.back().isSpace()) m.chop(1);
    return m + QStringLiteral(" '") + name + QLatin1Char('\'');
}
