#pragma once
// Keystroke filters of the numeric fields: amounts and quantities take
// digits and "." (some also "-"), percentages digits only, dates digits and
// "-".  Backspace, Enter and editing keys always pass.  What is pasted,
// dropped or inserted passes the same check, character by character: a
// change that brings in a refused character is undone as a whole.

#include <QObject>
#include <functional>

class QLineEdit;

namespace ui {

enum class KeyFilter { Amount, SignedAmount, Percent, Date };

void installKeyFilter(QLineEdit *edit, KeyFilter kind);
// True when the typed text passes the filter.
bool keyAllowed(KeyFilter kind, const QString &typed);

// The check behind the filters, for editors with a rule of their own (the
// grid's cells): every character a change adds to the edit's text must pass.
void installInsertCheck(QLineEdit *edit, std::function<bool(QChar)> allowed);
// The characters that going from before to after adds (the middle part that
// differs once the common start and end are taken off).
QString insertedText(const QString &before, const QString &after);

}  // namespace ui
