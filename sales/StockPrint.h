#pragma once
// The printed purchase and return documents and the goods labels of the
// stock windows, shown in the preview by the data module.  A printer set
// here (tests) takes their place.

#include <QString>
#include <functional>

namespace sales {

void PrintJH(const QString &number);
void PrintTH(const QString &number);
// Labels of the goods a list's condition selects (" AND (...)" pieces).
void PrintTM(const QString &where);

// What prints a document: its table ("UJH", "UTH") and number.  An empty
// printer restores the data module's.
using DocumentPrinter = std::function<void(const QString &table, const QString &number)>;
void setDocumentPrinter(DocumentPrinter printer);
using LabelPrinter = std::function<void(const QString &where)>;
void setLabelPrinter(LabelPrinter printer);

}  // namespace sales
