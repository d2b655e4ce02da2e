#include "reportengine/lyrprogress.h"

#include "platform/ui/application.h"
#include "report/lyrres.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QString resN(int n)
{
    return lyrResources().GetByNumber(n);
}

// The text of a number the resource table may not carry.
QString resOr(int n, const char *fallback)
{
    const QString t = resN(n);
    return t == QString::number(n) ? QString::fromLatin1(fallback) : t;
}

}  // namespace

// ---------------------------------------------------------------- progress

TlyrProgress::TlyrProgress(QWidget *activeForm) : QWidget(nullptr, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TlyrProgress"));
    setFixedSize(271, 101);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    outer->addWidget(panel);
    LMessage = new QLabel(panel);
    LMessage->setAlignment(Qt::AlignCenter);
    Bar = new QProgressBar(panel);
    Bar->setTextVisible(false);
    CancelB = new QPushButton(resN(2), panel);
    LMessage->setGeometry(10, 15, 251, 17);
    Bar->setGeometry(10, 40, 251, 16);
    CancelB->setGeometry(98, 66, 75, 25);
    Bar->setRange(0, 100);
    Bar->setValue(0);
    if (QGuiApplication::layoutDirection() == Qt::RightToLeft) setLayoutDirection(Qt::RightToLeft);
    ui::on(CancelB, &QPushButton::clicked, this, [this] { CancelBClick(); });
    if (activeForm) {
        ParentForm = activeForm;
        activeForm->setEnabled(false);
        // Owned by the form's window: over a modal window (a preview that
        // prints) a window without an owner gets none of the user's input,
        // so neither Cancel nor dragging would reach it. Not its child
        // widget, which the disabled form would disable too.
        if (QWindow *owner = activeForm->window()->windowHandle()) {
            create();
            windowHandle()->setTransientParent(owner);
        }
    }
    if (QScreen *s = QGuiApplication::primaryScreen()) move(s->availableGeometry().center() - rect().center());
}

TlyrProgress::~TlyrProgress()
{
    enableParent();
}

void TlyrProgress::enableParent()
{
    if (ParentForm) ParentForm->setEnabled(true);
}

void TlyrProgress::hideEvent(QHideEvent *e)
{
    enableParent();
    QWidget::hideEvent(e);
}

void TlyrProgress::Execute(int maxValue, const QString &msg, bool showCancel, bool showProgressBar)
{
    Terminated = false;
    ShowProgressBar = showProgressBar;
    CancelB->setVisible(showCancel);
    Bar->setVisible(showProgressBar);
    LMessage->move(LMessage->x(), showProgressBar ? 15 : 35);
    Bar->setRange(0, maxValue);
    Bar->setValue(0);
    SetMessage(msg);
    show();
    // The window it disabled no longer takes keys: Cancel does, by Enter,
    // Space or Esc.
    if (showCancel) {
        activateWindow();
        CancelB->setFocus(Qt::ActiveWindowFocusReason);
    }
    QCoreApplication::processEvents();
}

void TlyrProgress::keyPressEvent(QKeyEvent *e)
{
    const bool plain = !(e->modifiers() & ~Qt::KeypadModifier);
    if (plain && CancelB->isVisible() &&
        (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        e->accept();
        CancelBClick();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TlyrProgress::SetPosition(int value)
{
    Bar->setValue(value);
    repaint();
    QCoreApplication::processEvents();
}

void TlyrProgress::SetMessage(const QString &text)
{
    LMessage->setText(text);
    LMessage->repaint();
}

void TlyrProgress::CancelBClick()
{
    Terminated = true;
    hide();
}

// The borderless window moves when dragged anywhere.
void TlyrProgress::mousePressEvent(QMouseEvent *e)
{
    dragFrom_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TlyrProgress::mouseMoveEvent(QMouseEvent *e)
{
    if (e->buttons() & Qt::LeftButton) move(e->globalPosition().toPoint() - dragFrom_);
}

// ---------------------------------------------------------------- password

TlyrPasswordForm::TlyrPasswordForm(QWidget *parent) : ui::Form(parent)
{
    setObjectName(QStringLiteral("TlyrPasswordForm"));
    setWindowTitle(resOr(5000, "Password"));
    auto *root = new QVBoxLayout(this);
    PasswordL = new QLabel(resOr(5001, "Enter the password:"), this);
    PasswordE = new QLineEdit(this);
    PasswordE->setEchoMode(QLineEdit::Password);
    root->addWidget(PasswordL);
    root->addWidget(PasswordE);
    root->addLayout(lyrOkCancelRow(this, OkB, CancelB));
    setInitialFocus(PasswordE);
    if (QGuiApplication::layoutDirection() == Qt::RightToLeft) setLayoutDirection(Qt::RightToLeft);
    ui::on(OkB, &QPushButton::clicked, this, [this] { accept(); });
    ui::on(CancelB, &QPushButton::clicked, this, [this] { reject(); });
}

// ---------------------------------------------------------------- dialog page

QLayout *lyrOkCancelRow(ui::Form *form, QPushButton *&ok, QPushButton *&cancel)
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    ok = new QPushButton(resN(1), form);
    cancel = new QPushButton(resN(2), form);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    form->setDefaultButton(ok);
    form->setEscapeCloses(true);
    return buttons;
}
