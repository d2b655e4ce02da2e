#pragma once
// Report scripts show their messages through the program's message layer,
// like every window does, so tests answer them the same way.

namespace velmora {

// Routes the scripts' ShowMessage, MessageDlg, InputBox, InputQuery and common
// dialogs through the message layer.  Safe to call more than once.
void routeScriptDialogs();

}  // namespace velmora
