#pragma once
// The base of the lookup dialogs: one read-only grid filling the window over
// the lookup's own query.  Enter or a double-click takes the current row
// (takeRow), Esc closes without taking one, and typed characters are dropped
// unless typedPasses lets them through, so typing never jumps around the list.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"

namespace ui {

class LookupForm : public Form {
    Q_OBJECT
public:
    ~LookupForm() override;

    DBGrid *DBGrid1;
    vdb::Query ADOQuery1;

    // Hands the current row to the opener and closes.
    virtual void takeRow() = 0;

protected:
    explicit LookupForm(QWidget *parent);
    // A typed character that reaches the grid; none by default.
    virtual bool typedPasses(QChar) const { return false; }
    bool eventFilter(QObject *o, QEvent *e) override;
};

}  // namespace ui
