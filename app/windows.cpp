#include "app/windows.h"

#include "members/Register.h"
#include "sales/Register.h"

// One line per folder; their openers are looked up by menu number when an
// item is chosen.
void registerWindows()
{
    members::registerWindows();
    sales::registerWindows();
}
