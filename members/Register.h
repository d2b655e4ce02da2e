#pragma once
// Puts the member windows on the main menu.
namespace members {
void registerWindows();
}
