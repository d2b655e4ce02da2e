#pragma once
// Registers every window of the program with the main menu's opener table
// (core/MenuOpeners.h).  Each folder that builds windows adds one call here.

void registerWindows();
