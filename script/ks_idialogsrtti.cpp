#include "script/ks_idialogsrtti.h"

#include "script/ks_ibind.h"
#include "script/ks_igraphicsrtti.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

using namespace ksbind;

namespace {

bool HaveWidgets()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

KsDialogHooks &ksDialogHooks()
{
    static KsDialogHooks hooks;
    return hooks;
}

int ksDefaultMessageDlg(const QString &text, int dlgType, int buttons)
{
    if (!HaveWidgets()) return ksMrCancel;
    static const QMessageBox::Icon icons[] = {QMessageBox::Warning, QMessageBox::Critical, QMessageBox::Information,
                                              QMessageBox::Question, QMessageBox::NoIcon};
    QMessageBox box(dlgType >= 0 && dlgType <= ksMtCustom ? icons[dlgType] : QMessageBox::NoIcon, QString(), text);
    static const struct {
        int Bit;
        QMessageBox::StandardButton Button;
        int Result;
    } map[] = {{ksMbYes, QMessageBox::Yes, ksMrYes},
               {ksMbNo, QMessageBox::No, ksMrNo},
               {ksMbOK, QMessageBox::Ok, ksMrOk},
               {ksMbCancel, QMessageBox::Cancel, ksMrCancel},
               {ksMbAbort, QMessageBox::Abort, ksMrAbort},
               {ksMbRetry, QMessageBox::Retry, ksMrRetry},
               {ksMbIgnore, QMessageBox::Ignore, ksMrIgnore},
               {ksMbAll, QMessageBox::NoButton, ksMrAll},
               {ksMbNoToAll, QMessageBox::NoToAll, ksMrNoToAll},
               {ksMbYesToAll, QMessageBox::YesToAll, ksMrYesToAll},
               {ksMbHelp, QMessageBox::Help, ksMrNone}};
    // Qt has no "All" of its own: it gets a button of its own beside "Yes to All".
    std::vector<std::pair<QAbstractButton *, int>> shown;
    for (const auto &m : map)
        if (buttons & (1 << m.Bit))
            shown.emplace_back(m.Bit == ksMbAll ? box.addButton(QMessageBox::tr("All"), QMessageBox::YesRole)
                                                : box.addButton(m.Button),
                               m.Result);
    if (shown.empty()) shown.emplace_back(box.addButton(QMessageBox::Ok), ksMrOk);
    box.exec();
    for (const auto &[button, result] : shown)
        if (button == box.clickedButton()) return result;
    return ksMrCancel;
}

bool ksDefaultInputQuery(const QString &caption, const QString &prompt, QString &value)
{
    if (!HaveWidgets()) return false;
    bool ok = false;
    const QString text = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

QString TOpenDialog::QtFilter() const
{
    const QStringList parts = FFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

bool ksDefaultExecute(TCommonDialog *d)
{
    if (!HaveWidgets()) return false;
    if (auto *file = qobject_cast<TOpenDialog *>(d)) {
        const QString start = file->FileName().isEmpty() ? file->InitialDir() : file->FileName();
        const QString f = qobject_cast<TSaveDialog *>(d)
                                  ? QFileDialog::getSaveFileName(nullptr, file->Title(), start, file->QtFilter())
                                  : QFileDialog::getOpenFileName(nullptr, file->Title(), start, file->QtFilter());
        if (f.isEmpty()) return false;
        file->SetFileName(f);
        return true;
    }
    if (auto *color = qobject_cast<TColorDialog *>(d)) {
        const QColor c = QColorDialog::getColor(ksColorToQColor(color->Color()), nullptr, color->Title());
        if (!c.isValid()) return false;
        color->SetColor(ksQColorToColor(c));
        return true;
    }
    if (auto *font = qobject_cast<TFontDialog *>(d)) {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, font->Font, nullptr, font->Title());
        if (ok) font->Font = f;
        return ok;
    }
    return false;  // print dialogs are the report library's, which the program hooks in
}

bool TCommonDialog::Execute()
{
    const auto &hook = ksDialogHooks().Execute;
    return hook ? hook(this) : ksDefaultExecute(this);
}

TksDialogsFunctions::TksDialogsFunctions(TksScript *s) : TksRTTIModule(s)
{
    s->AddEnumSet(
            QStringLiteral("TOpenOptions"),
            QStringLiteral("ofReadOnly, ofOverwritePrompt, ofHideReadOnly,ofNoChangeDir, ofShowHelp, ofNoValidate, "
                           "ofAllowMultiSelect,ofExtensionDifferent, ofPathMustExist, ofFileMustExist, "
                           "ofCreatePrompt,ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, "
                           "ofNoNetworkButton,ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks, "
                           "ofEnableIncludeNotify,ofEnableSizing"));
    s->AddEnum(QStringLiteral("TFileEditStyle"), QStringLiteral("fsEdit, fsComboBox"));
    s->AddEnumSet(QStringLiteral("TColorDialogOptions"),
                  QStringLiteral("cdFullOpen, cdPreventFullOpen, cdShowHelp,cdSolidColor, cdAnyColor"));
    s->AddEnumSet(QStringLiteral("TFontDialogOptions"),
                  QStringLiteral("fdAnsiOnly, fdTrueTypeOnly, fdEffects,fdFixedPitchOnly, fdForceFontExist, "
                                 "fdNoFaceSel, fdNoOEMFonts,fdNoSimulations, fdNoSizeSel, fdNoStyleSel,  "
                                 "fdNoVectorFonts,fdShowHelp, fdWysiwyg, fdLimitSize, fdScalableOnly, fdApplyButton"));
    s->AddEnum(QStringLiteral("TFontDialogDevice"), QStringLiteral("fdScreen, fdPrinter, fdBoth"));
    s->AddEnum(QStringLiteral("TPrintRange"), QStringLiteral("prAllPages, prSelection, prPageNums"));
    s->AddEnumSet(QStringLiteral("TPrintDialogOptions"),
                  QStringLiteral("poPrintToFile, poPageNums, poSelection,poWarning, poHelp, poDisablePrintToFile"));
    s->AddEnum(QStringLiteral("TMsgDlgType"),
               QStringLiteral("mtWarning, mtError, mtInformation, mtConfirmation, mtCustom"));
    s->AddEnumSet(QStringLiteral("TMsgDlgButtons"),
                  QStringLiteral("mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, "
                                 "mbYesToAll, mbHelp"));

    const KsClassesInfo &ci = ksClassesInfo();
    static const KsClassInfo *common = RegisterClass<TCommonDialog, false>(ci.Object);
    Binder<TCommonDialog>(s->AddClass(common, QStringLiteral("TComponent")))
            .Method(QStringLiteral("function Execute: Boolean"),
                    [](TCommonDialog *d, TksMethodHelper *) { return KsValue(d->Execute()); });
    static const KsClassInfo *const classes[] = {
            ksRegisterClass<TOpenDialog>(), ksRegisterClass<TSaveDialog>(),  ksRegisterClass<TColorDialog>(),
            ksRegisterClass<TFontDialog>(), ksRegisterClass<TPrintDialog>(), ksRegisterClass<TPrinterSetupDialog>()};
    for (const KsClassInfo *c : classes) s->AddClass(c, QStringLiteral("TCommonDialog"));

    auto add = [s](const char *decl, std::function<KsValue(TksMethodHelper *)> fn) {
        s->AddMethod(
                QLatin1String(decl),
                [fn](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) { return fn(h); },
                QStringLiteral("ctOther"));
    };
    add("function MessageDlg(Msg: string; DlgType: TMsgDlgType; Buttons: TMsgDlgButtons; HelpCtx: Longint): Integer",
        [](TksMethodHelper *h) {
            const auto &hook = ksDialogHooks().MessageDlg;
            const QString text = StrArg(h, 0);
            const int type = IntArg(h, 1), buttons = int(SetArg(h, 2));
            return KsValue(hook ? hook(text, type, buttons) : ksDefaultMessageDlg(text, type, buttons));
        });
    auto query = [](const QString &caption, const QString &prompt, QString &value) {
        const auto &hook = ksDialogHooks().InputQuery;
        return hook ? hook(caption, prompt, value) : ksDefaultInputQuery(caption, prompt, value);
    };
    add("function InputBox(ACaption, APrompt, ADefault: string): string", [query](TksMethodHelper *h) {
        QString value = StrArg(h, 2);
        return KsValue(query(StrArg(h, 0), StrArg(h, 1), value) ? value : StrArg(h, 2));
    });
    add("function InputQuery(ACaption, APrompt: string; var Value: string): Boolean", [query](TksMethodHelper *h) {
        QString value = StrArg(h, 2);
        const bool ok = query(StrArg(h, 0), StrArg(h, 1), value);
        if (ok) h->SetParam(2, KsValue(value));
        return KsValue(ok);
    });
}
