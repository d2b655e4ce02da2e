#include "sales/StockPrint.h"

#include "core/dm.h"

namespace sales {

namespace {
DocumentPrinter &printer()
{
    static DocumentPrinter p;
    return p;
}

LabelPrinter &labels()
{
    static LabelPrinter p;
    return p;
}

void printDocument(const QString &table, const QString &number)
{
    if (printer())
        printer()(table, number);
    else if (table == QLatin1String("UJH"))
        frmDM->PrintJH(number);
    else
        frmDM->PrintTH(number);
}
}  // namespace

void setDocumentPrinter(DocumentPrinter p)
{
    printer() = std::move(p);
}

void PrintJH(const QString &number)
{
    printDocument(QStringLiteral("UJH"), number);
}

void PrintTH(const QString &number)
{
    printDocument(QStringLiteral("UTH"), number);
}

void setLabelPrinter(LabelPrinter p)
{
    labels() = std::move(p);
}

void PrintTM(const QString &where)
{
    if (labels())
        labels()(where);
    else
        frmDM->PrintTM(where);
}

}  // namespace sales
