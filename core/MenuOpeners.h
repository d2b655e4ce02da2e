#pragma once
// One registration row per window, from a main-menu item to the window it
// opens.  A window's own folder registers its row once at start (before the
// main window is used), next to the window:
//
//     velmora::registerWindow({"103", velmora::OwnItem, &myOpenMember_M,
//                              [](TfrmMain *m) { return new TfrmMember_M(m); }, memberListLayout()});
//
// The key is the item's menu number ("000" ... "602") or, for the help menu
// that carries no numbers, its caption ("关于... &A").  The main window does
// the rest the same way for every item: the conditions, closing the open
// list window first (unless NoClose), and then
//   - for a list window (a row with an open flag): shows the returned
//     widget as an MDI child that is freed on close, sets the flag while it
//     is open and clears it when it closes;
//   - for any other item: runs the returned QDialog modally (a plain widget
//     is shown application-modal); it stays owned by the main window.
// An opener may also do everything itself and return nullptr.
//
// Windows that are not part of the program yet have their rows, without an
// opener, in core/PendingWindows.cpp; the registry starts with those.

#include "platform/excel/exportlayout.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QWidget;
class TfrmMain;

namespace velmora {

using Opener = std::function<QWidget *(TfrmMain *)>;

// How a menu item behaves besides opening its window.
enum ItemCondition : unsigned {
    OwnItem = 1,     // does nothing unless its own item is visible (toolbar buttons)
    Stock = 2,       // needs the shop's stock switch
    NoClose = 4,     // does not close the open list window first
    Standalone = 8,  // only in the edition "单机版"
};

struct WindowRow {
    QString key;
    unsigned conditions = 0;
    bool *openFlag = nullptr;                   // a list window's open flag; nullptr for a modal window
    Opener opener;                              // empty while the window is not part of the program
    std::optional<excel::ExportLayout> layout;  // what a list window exports
};

// Registers a window's row; it replaces an earlier row of the same key.
void registerWindow(WindowRow row);
// The row of a key; nullptr when there is none.
const WindowRow *findWindow(const QString &key);
// The export layout of a list window by its class name; nullptr when it
// does not export.
const excel::ExportLayout *exportLayout(const QString &window);
// Every export layout, in the order registered.
std::vector<const excel::ExportLayout *> exportLayouts();

// An opener for a window whose opener shows (and frees) its dialog itself.
Opener modal(std::function<void(QWidget *owner)> open);
// Sets or clears only the opener of a key's row (a row without conditions
// is made when there is none).
void registerOpener(const QString &key, Opener opener);
void registerModal(const QString &key, std::function<void(QWidget *owner)> open);
void unregisterOpener(const QString &key);
// The registered opener, or an empty function.
Opener findOpener(const QString &key);

// The rows of the windows still to come (core/PendingWindows.cpp).
std::vector<WindowRow> pendingWindows();

// True when the logged-in user holds the right of the main menu's item at
// the menu number (the item is visible).  A window reached other than by
// its own menu item (at start, from another window's popup) asks this
// before it opens.  False without a main window.
bool holdsRight(const QString &mnum);

// The reminders the main window opens on showing when members have a
// birthday or an anniversary on the business date.  The birthday hook gets
// the day's condition for its `myWhere`; both set their date pickers to the
// business date, refresh and show their window (as an MDI child without
// an open flag: TfrmMain::showMdiChild(w, nullptr)).
using BirthdayReminder = std::function<void(TfrmMain *, const QString &myWhere)>;
using AnniversaryReminder = std::function<void(TfrmMain *)>;
void registerBirthdayReminder(BirthdayReminder hook);
void registerAnniversaryReminder(AnniversaryReminder hook);
BirthdayReminder birthdayReminder();
AnniversaryReminder anniversaryReminder();

}  // namespace velmora
