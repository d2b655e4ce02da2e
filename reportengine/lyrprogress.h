#pragma once
// The report library's small windows: the progress window of builds,
// printing and exports and the password question of a protected template
// (a template's dialog page brings its own window, TlyrDialogForm in
// report/lyrdialogpage.h).

#include "platform/ui/form.h"
#include "report/lyrcontracts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

class TlyrProgress : public QWidget {
    Q_OBJECT
public:
    // Disables activeForm (the window that is active now); it is enabled
    // again when this window hides or goes away, whatever happens between.
    explicit TlyrProgress(QWidget *activeForm);
    ~TlyrProgress() override;

    QLabel *LMessage;
    QProgressBar *Bar;
    QPushButton *CancelB;
    bool Terminated = false;
    bool ShowProgressBar = true;
    QPointer<QWidget> ParentForm;

    void Execute(int maxValue, const QString &msg, bool showCancel, bool showProgressBar);
    void SetPosition(int value);
    int Position() const { return Bar->value(); }
    void SetMessage(const QString &text);
    QString Message() const { return LMessage->text(); }
    void CancelBClick();

protected:
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;

private:
    void enableParent();
    QPoint dragFrom_;
};

class TlyrPasswordForm : public ui::Form {
    Q_OBJECT
public:
    explicit TlyrPasswordForm(QWidget *parent = nullptr);
    QLabel *PasswordL;
    QLineEdit *PasswordE;
    QPushButton *OkB, *CancelB;
};

// The row of a window's "OK" and "Cancel" buttons, right-aligned; OK is
// the default button and Esc cancels.
QLayout *lyrOkCancelRow(ui::Form *form, QPushButton *&ok, QPushButton *&cancel);
