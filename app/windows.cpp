#include "app/windows.h"

#include "core/MenuOpeners.h"

// One line per folder, e.g. members::registerWindows(); their openers are
// looked up by menu number when an item is chosen.
void registerWindows() {}
