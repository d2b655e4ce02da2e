#pragma once
// What the windows of the sales folder share: the data module's connection,
// modal dialogs that tests can drive, refusals with a message and a focus.

#include "core/receipts.h"
#include "platform/db/db.h"

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace sales {

// The data module's connection (opened on first use).
vdb::Connection &db();

// Shows a dialog modally.  While a hook is installed (tests), the hook gets
// the dialog instead and returns the dialog's result.
int showModal(QDialog *dialog);
using ModalHook = std::function<int(QDialog *)>;
class ScopedModalHook {
public:
    explicit ScopedModalHook(ModalHook hook);
    ~ScopedModalHook();
    ScopedModalHook(const ScopedModalHook &) = delete;
    ScopedModalHook &operator=(const ScopedModalHook &) = delete;

private:
    ModalHook m_previous;
};

// Shows the message and moves the focus to the field (when given).
void refuse(const QString &message, QWidget *focus = nullptr);

// Shortest decimal text of a computed number.
inline QString numText(double v) { return vdb::numberText(v); }
using velmora::toNumber;

// Number of an amount field that must be a plain number; shows
// "<label> 录入错误，请重新录入！" and focuses the field otherwise.
bool checkedNumber(const QString &text, const QString &label, QWidget *field, double *out = nullptr);

}  // namespace sales
