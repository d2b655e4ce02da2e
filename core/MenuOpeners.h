#pragma once
// The one table from a main-menu item to the window it opens.  A window's
// own folder registers it once at start (before the main window is used):
//
//     velmora::registerOpener("103", [](TfrmMain *m) { return new TfrmMember_M(m); });
//
// The key is the item's menu number ("000" ... "602") or, for the help menu
// that carries no numbers, its caption ("关于... &A").  The main window does
// the rest the same way for every item: the rights and stock conditions,
// closing the open list window first, and then
//   - for a list window (an item with an open flag): shows the returned
//     widget as an MDI child that is freed on close, sets the flag while it
//     is open and clears it when it closes;
//   - for any other item: runs the returned QDialog modally (a plain widget
//     is shown application-modal); it stays owned by the main window.
// An opener may also do everything itself and return nullptr.

#include <QString>
#include <functional>

class QWidget;
class TfrmMain;

namespace velmora {

using Opener = std::function<QWidget *(TfrmMain *)>;

void registerOpener(const QString &key, Opener opener);
// For a window whose opener shows (and frees) its dialog itself.
void registerModal(const QString &key, std::function<void(QWidget *owner)> open);
void unregisterOpener(const QString &key);
// The registered opener, or an empty function.
Opener findOpener(const QString &key);

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
