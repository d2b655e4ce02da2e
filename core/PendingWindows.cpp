// The registration rows of the windows that are not part of the program
// yet: their menu item's conditions, the open flag of the list windows and
// what those lists export.  A window that comes registers its own row next
// to it (which replaces the row here) and its row leaves this file.

#include "core/MenuOpeners.h"
#include "core/Unit1.h"

namespace velmora {

std::vector<WindowRow> pendingWindows()
{
    return {};
}

}  // namespace velmora
