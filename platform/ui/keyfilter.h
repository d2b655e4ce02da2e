#pragma once
// Keystroke filters of the numeric fields: amounts and quantities take
// digits and "." (some also "-"), percentages digits only, dates digits and
// "-".  Backspace, Enter and editing keys always pass.

#include <QObject>

class QLineEdit;

namespace ui {

enum class KeyFilter { Amount, SignedAmount, Percent, Date };

void installKeyFilter(QLineEdit *edit, KeyFilter kind);
// True when the typed text passes the filter.
bool keyAllowed(KeyFilter kind, const QString &typed);

}  // namespace ui
