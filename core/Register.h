#pragma once
// Puts the windows of the core folder (the imports) on the main menu.
namespace core {
void registerWindows();
}
