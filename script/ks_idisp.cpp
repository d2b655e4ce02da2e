#include "script/ks_idisp.h"

namespace {
constexpr quint32 kNotImplemented = 0x80004001;  // E_NOTIMPL
constexpr int kMaxArgs = 64;
}  // namespace

QString ksOleErrorText(quint32 status, const QString &member, const QString &message, const QString &source,
                       const QString &description, const QString &helpFile)
{
    QString t =
            QStringLiteral("OLE error %1: %2: %3")
                    .arg(QString::number(status, 16).toUpper().rightJustified(8, QLatin1Char('0')), member, message);
    if (!source.isEmpty()) t += QStringLiteral("\nSource        ::  ") + source;
    if (!description.isEmpty()) t += QStringLiteral("\nDescription ::  ") + description;
    if (!helpFile.isEmpty()) t += QStringLiteral("\nHelp File     ::  ") + helpFile;
    return t;
}

TksOLEHelper::TksOLEHelper(const QString &name) : TksCustomHelper(name, tcVariant, QStringLiteral("Variant")) {}

void TksOLEHelper::SetArgCount(int n)
{
    if (n > kMaxArgs) throw KsError(QStringLiteral("EOleException"), QStringLiteral("Too many automation arguments"));
    while (Count() < n)
        Add(new TksParamItem(QStringLiteral("Arg%1").arg(Count()), tcVariant, QStringLiteral("Variant"), true, false));
}

void TksOLEHelper::Fail() const
{
    throw KsError(QStringLiteral("EOleException"),
                  ksOleErrorText(kNotImplemented, Name, QStringLiteral("Not implemented"), QString(),
                                 QStringLiteral("This system has no automation server")));
}

KsValue TksOLEHelper::GetValue()
{
    Fail();
}

void TksOLEHelper::SetValue(const KsValue &)
{
    Fail();
}
