#include "core/ScriptDialogs.h"

#include "platform/ui/messages.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_isysrtti.h"

namespace velmora {

namespace {

bool has(int buttons, KsMsgDlgButton b)
{
    return buttons & (1 << b);
}

// The message layer knows four button sets; a script's set maps to the
// nearest one that offers every answer the script can tell apart.
ui::Buttons buttonsOf(int set)
{
    const bool yes = has(set, ksMbYes) || has(set, ksMbYesToAll) || has(set, ksMbAll);
    const bool no = has(set, ksMbNo) || has(set, ksMbNoToAll);
    const bool cancel = has(set, ksMbCancel) || has(set, ksMbAbort) || has(set, ksMbIgnore);
    if (yes && no) return cancel ? ui::Buttons::YesNoCancel : ui::Buttons::YesNo;
    if (cancel || has(set, ksMbRetry)) return ui::Buttons::OkCancel;
    return ui::Buttons::Ok;
}

ui::Icon iconOf(int type)
{
    switch (type) {
    case ksMtWarning:
        return ui::Icon::Warning;
    case ksMtError:
        return ui::Icon::Error;
    case ksMtInformation:
        return ui::Icon::Information;
    case ksMtConfirmation:
        return ui::Icon::Question;
    default:
        return ui::Icon::None;
    }
}

int resultOf(ui::Answer a, int set)
{
    switch (a) {
    case ui::Answer::Ok:
        return has(set, ksMbRetry) && !has(set, ksMbOK) ? ksMrRetry : ksMrOk;
    case ui::Answer::Yes:
        return ksMrYes;
    case ui::Answer::No:
        return ksMrNo;
    case ui::Answer::Cancel:
        if (has(set, ksMbCancel)) return ksMrCancel;
        if (has(set, ksMbAbort)) return ksMrAbort;
        if (has(set, ksMbIgnore)) return ksMrIgnore;
        return ksMrCancel;
    }
    return ksMrCancel;
}

}  // namespace

void routeScriptDialogs()
{
    ksShowMessageHandler = [](const QString &text) { ui::showMessage(text); };
    ksDialogHooks().MessageDlg = [](const QString &text, int type, int set) {
        ui::Message m;
        m.text = text;
        m.caption = ui::appTitle();
        m.icon = iconOf(type);
        m.buttons = buttonsOf(set);
        return resultOf(ui::show(m), set);
    };
}

}  // namespace velmora
