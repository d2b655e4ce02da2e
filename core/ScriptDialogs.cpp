#include "core/ScriptDialogs.h"

#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "report/lyrclass.h"
#include "reportengine/lyrprintdialog.h"
#include "reportengine/lyrprinter.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_igraphicsrtti.h"
#include "script/ks_isysrtti.h"

#include <QApplication>
#include <QInputDialog>
#include <QRegularExpression>

#include <algorithm>

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
        // the script's own "yes" of the set: Yes, Yes to All or All
        if (has(set, ksMbYes)) return ksMrYes;
        return has(set, ksMbYesToAll) ? ksMrYesToAll : has(set, ksMbAll) ? ksMrAll : ksMrYes;
    case ui::Answer::No:
        return has(set, ksMbNo) || !has(set, ksMbNoToAll) ? ksMrNo : ksMrNoToAll;
    case ui::Answer::Cancel:
        if (has(set, ksMbCancel)) return ksMrCancel;
        if (has(set, ksMbAbort)) return ksMrAbort;
        if (has(set, ksMbIgnore)) return ksMrIgnore;
        return ksMrCancel;
    }
    return ksMrCancel;
}

// A print choice as the message layer carries it: "copies,from,to".
QString printChoice(int copies, int from, int to)
{
    return QStringLiteral("%1,%2,%3").arg(copies).arg(from).arg(to);
}

// False when the text is not three whole numbers.
bool readPrintChoice(const QString &text, int (&n)[3])
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok = parts.size() == 3;
    for (int i = 0; ok && i < 3; ++i) n[i] = parts[i].trimmed().toInt(&ok);
    return ok;
}

// A script's print dialog is the report library's: copies and the pages
// go in and come back through the report options it edits.
bool reportPrintDialog(ui::Input &q)
{
    TlyrReport report;
    TlyrPrintOptions &o = *report.PrintOptions();
    if (int n[3] = {}; readPrintChoice(q.value, n)) {
        o.Copies = std::max(1, n[0]);
        if (n[1] > 0) o.PageNumbers = n[2] > n[1] ? QStringLiteral("%1-%2").arg(n[1]).arg(n[2]) : QString::number(n[1]);
    }
    TlyrPrintDialog dialog(&report, nullptr, QApplication::activeWindow());
    if (!q.caption.isEmpty()) dialog.setWindowTitle(q.caption);
    if (ui::showModal(&dialog) != QDialog::Accepted) return false;
    // a page list ("1,3,5-12") comes back as the range it spans
    int from = 0, to = 0;
    static const QRegularExpression number(QStringLiteral("\\d+"));
    for (auto it = number.globalMatch(o.PageNumbers); it.hasNext();) {
        const int page = it.next().captured().toInt();
        from = from ? std::min(from, page) : page;
        to = std::max(to, page);
    }
    q.value = printChoice(o.Copies, from, to);
    return true;
}

// A script's printer setup chooses the report library's current printer.
bool printerChoice(ui::Input &q)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(q.caption.isEmpty() ? ui::appTitle() : q.caption);
    dialog.setLabelText(QStringLiteral("打印机："));
    dialog.setComboBoxItems(lyrPrinters().PrinterNames());
    dialog.setTextValue(q.value);
    if (ui::showModal(&dialog) != QDialog::Accepted) return false;
    q.value = dialog.textValue();
    return true;
}

// The question a script's common dialog asks, its proposed value filled in.
ui::Input inputOf(TCommonDialog *d)
{
    ui::Input in;
    in.caption = d->Title();
    if (auto *file = qobject_cast<TOpenDialog *>(d)) {
        in.kind = qobject_cast<TSaveDialog *>(d) ? ui::InputKind::SaveFile : ui::InputKind::OpenFile;
        in.value = file->FileName().isEmpty() ? file->InitialDir() : file->FileName();
        in.filter = file->QtFilter();
    } else if (auto *color = qobject_cast<TColorDialog *>(d)) {
        in.kind = ui::InputKind::Color;
        in.value = ksColorToQColor(color->Color()).name();
    } else if (auto *font = qobject_cast<TFontDialog *>(d)) {
        in.kind = ui::InputKind::Font;
        in.value = font->Font.toString();
    } else if (auto *print = qobject_cast<TPrintDialog *>(d)) {
        in.kind = ui::InputKind::Printer;
        in.value = printChoice(print->Copies(), print->FromPage(), print->ToPage());
        in.dialog = reportPrintDialog;
    } else if (qobject_cast<TPrinterSetupDialog *>(d)) {
        in.kind = ui::InputKind::Printer;
        const TlyrCustomPrinter *current = lyrPrinters().Printer();
        in.value = current ? current->Name : QString();
        in.dialog = printerChoice;
    }
    return in;
}

// Puts a confirmed answer back into the dialog; false when it does not fit.
bool takeAnswer(TCommonDialog *d, const ui::Input &in)
{
    if (auto *file = qobject_cast<TOpenDialog *>(d)) {
        if (in.value.isEmpty()) return false;
        file->SetFileName(in.value);
    } else if (auto *color = qobject_cast<TColorDialog *>(d)) {
        const QColor c(in.value);
        if (!c.isValid()) return false;
        color->SetColor(ksQColorToColor(c));
    } else if (auto *font = qobject_cast<TFontDialog *>(d)) {
        QFont f;
        if (!f.fromString(in.value)) return false;
        font->Font = f;
    } else if (auto *print = qobject_cast<TPrintDialog *>(d)) {
        int n[3] = {1, 0, 0};
        if (!readPrintChoice(in.value, n) || n[0] < 1 || n[1] < 0 || n[2] < 0) return false;
        print->SetCopies(n[0]);
        print->SetFromPage(n[1]);
        print->SetToPage(n[2]);
    } else if (qobject_cast<TPrinterSetupDialog *>(d)) {
        const int index = lyrPrinters().IndexOf(in.value);
        if (index < 0) return false;
        lyrPrinters().SetPrinterIndex(index);
    }
    return true;
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
    ksDialogHooks().InputQuery = [](const QString &caption, const QString &prompt, QString &value) {
        return ui::askText(caption.isEmpty() ? ui::appTitle() : caption, prompt, value);
    };
    ksDialogHooks().Execute = [](TCommonDialog *d) {
        ui::Input in = inputOf(d);
        return ui::askInput(in) && takeAnswer(d, in);
    };
}

}  // namespace velmora
