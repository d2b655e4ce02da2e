#include "sales/StockPrint.h"

#include "platform/ui/messages.h"

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

void printDocument(const QString &table, const QString &number, const QString &unavailable)
{
    if (printer())
        printer()(table, number);
    else
        ui::showMessage(unavailable);
}
}  // namespace

void setDocumentPrinter(DocumentPrinter p)
{
    printer() = std::move(p);
}

void PrintJH(const QString &number)
{
    printDocument(QStringLiteral("UJH"), number, QStringLiteral("进货单打印暂不可用！"));
}

void PrintTH(const QString &number)
{
    printDocument(QStringLiteral("UTH"), number, QStringLiteral("退货单打印暂不可用！"));
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
        ui::showMessage(QStringLiteral("条码打印暂不可用！"));
}

}  // namespace sales
