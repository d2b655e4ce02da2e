// Common dialogs and the message functions (MessageDlg, InputBox,
// InputQuery) for scripts. Everything a script shows goes through
// ksDialogHooks(), so that the program can route it through its own message
// layer and tests can answer it; the defaults show Qt's dialogs.
#pragma once

#include "script/ks_iclassesrtti.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>
#include <functional>

class TCommonDialog : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
public:
    explicit TCommonDialog(QObject *parent = nullptr) : TComponent(parent) {}
    QString Title() const { return FTitle; }
    void SetTitle(const QString &v) { FTitle = v; }
    // Shows the dialog; true when the user confirmed it.
    bool Execute();

private:
    QString FTitle;
};

class TOpenDialog : public TCommonDialog {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(int Options READ Options WRITE SetOptions)
public:
    Q_INVOKABLE explicit TOpenDialog(QObject *parent = nullptr) : TCommonDialog(parent) {}
    QString FileName() const { return FFileName; }
    void SetFileName(const QString &v) { FFileName = v; }
    QString Filter() const { return FFilter; }
    void SetFilter(const QString &v) { FFilter = v; }
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString &v) { FInitialDir = v; }
    QString DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const QString &v) { FDefaultExt = v; }
    int Options() const { return FOptions; }
    void SetOptions(int v) { FOptions = v; }
    // "Text|*.txt|All|*.*" as Qt's name filters.
    QString QtFilter() const;

private:
    QString FFileName, FFilter, FInitialDir, FDefaultExt;
    int FOptions = 0;
};

class TSaveDialog : public TOpenDialog {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TSaveDialog(QObject *parent = nullptr) : TOpenDialog(parent) {}
};

class TColorDialog : public TCommonDialog {
    Q_OBJECT
    Q_PROPERTY(int Color READ Color WRITE SetColor)
public:
    Q_INVOKABLE explicit TColorDialog(QObject *parent = nullptr) : TCommonDialog(parent) {}
    int Color() const { return FColor; }
    void SetColor(int v) { FColor = v; }

private:
    int FColor = 0;
};

class TFontDialog : public TCommonDialog {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFontDialog(QObject *parent = nullptr) : TCommonDialog(parent) {}
    QFont Font;
};

class TPrintDialog : public TCommonDialog {
    Q_OBJECT
    Q_PROPERTY(int Copies READ Copies WRITE SetCopies)
    Q_PROPERTY(int FromPage READ FromPage WRITE SetFromPage)
    Q_PROPERTY(int ToPage READ ToPage WRITE SetToPage)
public:
    Q_INVOKABLE explicit TPrintDialog(QObject *parent = nullptr) : TCommonDialog(parent) {}
    int Copies() const { return FCopies; }
    void SetCopies(int v) { FCopies = v; }
    int FromPage() const { return FFrom; }
    void SetFromPage(int v) { FFrom = v; }
    int ToPage() const { return FTo; }
    void SetToPage(int v) { FTo = v; }

private:
    int FCopies = 1, FFrom = 0, FTo = 0;
};

class TPrinterSetupDialog : public TCommonDialog {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPrinterSetupDialog(QObject *parent = nullptr) : TCommonDialog(parent) {}
};

// Modal results as scripts see them.
enum KsModalResult {
    ksMrNone = 0,
    ksMrOk,
    ksMrCancel,
    ksMrAbort,
    ksMrRetry,
    ksMrIgnore,
    ksMrYes,
    ksMrNo,
    ksMrAll,
    ksMrNoToAll,
    ksMrYesToAll
};
// Message types and button bits (bit i: the i-th name of TMsgDlgButtons).
enum KsMsgDlgType { ksMtWarning, ksMtError, ksMtInformation, ksMtConfirmation, ksMtCustom };
enum KsMsgDlgButton {
    ksMbYes,
    ksMbNo,
    ksMbOK,
    ksMbCancel,
    ksMbAbort,
    ksMbRetry,
    ksMbIgnore,
    ksMbAll,
    ksMbNoToAll,
    ksMbYesToAll,
    ksMbHelp
};

struct KsDialogHooks {
    // Shows a message with the given buttons; returns the modal result.
    std::function<int(const QString &text, int dlgType, int buttons)> MessageDlg;
    // Asks for a text; false when cancelled (value unchanged then).
    std::function<bool(const QString &caption, const QString &prompt, QString &value)> InputQuery;
    // Runs a common dialog (the object tells which); true when confirmed.
    std::function<bool(TCommonDialog *dialog)> Execute;
};
// The hooks in use; empty members fall back to the Qt defaults.
KsDialogHooks &ksDialogHooks();
// The Qt defaults (for hooks that want to fall back to them).
int ksDefaultMessageDlg(const QString &text, int dlgType, int buttons);
bool ksDefaultInputQuery(const QString &caption, const QString &prompt, QString &value);
bool ksDefaultExecute(TCommonDialog *dialog);

class TksDialogsFunctions : public TksRTTIModule {
public:
    explicit TksDialogsFunctions(TksScript *script);
};
