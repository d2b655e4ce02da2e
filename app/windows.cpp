#include "app/windows.h"

#include "core/Register.h"
#include "members/Register.h"
#include "sales/Register.h"

// One line per folder; their openers are looked up by menu number when an
// item is chosen.
void registerWindows()
{
    core::registerWindows();
    members::registerWindows();
    sales::registerWindows();
}
