#include "script/ks_iconst.h"

QString SLangNotFound = QStringLiteral("Language '%1' not found");
QString SInvalidLanguage = QStringLiteral("Invalid language definition");
QString SIdRedeclared = QStringLiteral("Identifier redeclared: ");
QString SUnknownType = QStringLiteral("Unknown type: ");
QString SIncompatibleTypes = QStringLiteral("Incompatible types");
QString SIdUndeclared = QStringLiteral("Undeclared identifier: ");
QString SClassRequired = QStringLiteral("Class type required");
QString SIndexRequired = QStringLiteral("Index required");
QString SStringError = QStringLiteral("Strings doesn't have properties or methods");
QString SClassError = QStringLiteral("Class %1 does not have a default property");
QString SArrayRequired = QStringLiteral("Array type required");
QString SVarRequired = QStringLiteral("Variable required");
QString SNotEnoughParams = QStringLiteral("Not enough actual parameters");
QString STooManyParams = QStringLiteral("Too many actual parameters");
QString SLeftCantAssigned = QStringLiteral("Left side cannot be assigned to");
QString SForError = QStringLiteral("For loop variable must be numeric variable");
QString SEventError = QStringLiteral("Event handler must be a procedure");
QString SStringIndexError = QStringLiteral("String index out of range");
QString SProgramTooComplex = QStringLiteral("Program too complex");
QString SArrayBoundsError = QStringLiteral("Invalid array bounds");
QString SNumberOutOfRange = QStringLiteral("Number out of range");
QString SUnitNotRead = QStringLiteral("Cannot read unit '%1'");
QString SUnitTooLarge = QStringLiteral("Unit '%1' is too large");

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
