#pragma once
// The printed purchase and return documents and the goods labels.  They are
// not part of the program yet: each says so through the message layer until
// a printer is set here.

#include <QString>
#include <functional>

namespace sales {

void PrintJH(const QString &number);
void PrintTH(const QString &number);
// Labels of the goods a list's condition selects (" AND (...)" pieces).
void PrintTM(const QString &where);

// What prints a document: its table ("UJH", "UTH") and number.  An empty
// printer restores the message.
using DocumentPrinter = std::function<void(const QString &table, const QString &number)>;
void setDocumentPrinter(DocumentPrinter printer);
using LabelPrinter = std::function<void(const QString &where)>;
void setLabelPrinter(LabelPrinter printer);

}  // namespace sales
