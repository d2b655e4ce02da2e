#pragma once
// Puts the goods and sale windows on the main menu.
namespace sales {
void registerWindows();
}
