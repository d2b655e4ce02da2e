#include "report/lyrdialogpage.h"

#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrframe.h"
#include "report/lyrres.h"
#include "script/ks_props.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

// ---------------------------------------------------------------- window

TlyrDialogWindow::TlyrDialogWindow(TlyrDialogPage *page) : page_(page)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TlyrDialogWindow::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            page_->copyBoundsFromWindow();
            page_->notify(page_->OnActivate);
        } else {
            page_->notify(page_->OnDeactivate);
        }
    }
}

void TlyrDialogWindow::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QWidget *w = focusWidget()) w->setFocus();
    page_->notify(page_->OnShow);
}

void TlyrDialogWindow::hideEvent(QHideEvent *e)
{
    QDialog::hideEvent(e);
    page_->notify(page_->OnHide);
}

void TlyrDialogWindow::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    page_->copyBoundsFromWindow();
    page_->notify(page_->OnResize);
}

void TlyrDialogWindow::moveEvent(QMoveEvent *e)
{
    QDialog::moveEvent(e);
    page_->copyBoundsFromWindow();
}

void TlyrDialogWindow::mouseReleaseEvent(QMouseEvent *e)
{
    QDialog::mouseReleaseEvent(e);
    page_->notify(page_->OnClick);
}

void TlyrDialogWindow::closeEvent(QCloseEvent *e)
{
    if (page_->closeQuery())
        e->accept();
    else
        e->ignore();
}

namespace {
int shiftState(Qt::KeyboardModifiers m)
{
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::AltModifier) ? 2 : 0) | ((m & Qt::ControlModifier) ? 4 : 0);
}
}  // namespace

void TlyrDialogWindow::keyPressEvent(QKeyEvent *e)
{
    const int key = page_->keyEvent(page_->OnKeyDown, e->key(), shiftState(e->modifiers()));
    if (key == 0) return;
    if (!e->text().isEmpty() && !page_->OnKeyPress.isEmpty() && page_->keyPress(e->text()).isEmpty()) return;
    QDialog::keyPressEvent(e);
}

void TlyrDialogWindow::keyReleaseEvent(QKeyEvent *e)
{
    if (page_->keyEvent(page_->OnKeyUp, e->key(), shiftState(e->modifiers())) == 0) return;
    QDialog::keyReleaseEvent(e);
}

// ---------------------------------------------------------------- controls

TlyrDialogControl::TlyrDialogControl(QObject *owner) : TlyrReportComponent(owner)
{
    SetFlags(Flags() & ~2);
}

TlyrDialogControl::~TlyrDialogControl()
{
    delete control_.data();
}

void TlyrDialogControl::SetControl(QWidget *w)
{
    delete control_.data();
    control_ = w;
    place();
}

void TlyrDialogControl::place()
{
    if (!control_) return;
    for (TlyrComponent *p = Parent(); p; p = p->Parent()) {
        if (auto *page = qobject_cast<TlyrDialogPage *>(p)) {
            if (control_->parentWidget() != page->Window()) control_->setParent(page->Window());
            break;
        }
    }
    control_->setGeometry(lyrRoundi(AbsLeft()), lyrRoundi(AbsTop()), lyrRoundi(Width()), lyrRoundi(Height()));
    control_->setVisible(Visible());
}

void TlyrDialogControl::SetLeft(double v)
{
    TlyrReportComponent::SetLeft(v);
    place();
}

void TlyrDialogControl::SetTop(double v)
{
    TlyrReportComponent::SetTop(v);
    place();
}

void TlyrDialogControl::SetWidth(double v)
{
    TlyrReportComponent::SetWidth(v);
    place();
}

void TlyrDialogControl::SetHeight(double v)
{
    TlyrReportComponent::SetHeight(v);
    place();
}

void TlyrDialogControl::SetVisible(bool v)
{
    TlyrReportComponent::SetVisible(v);
    place();
}

void TlyrDialogControl::SetParent(TlyrComponent *value)
{
    TlyrReportComponent::SetParent(value);
    place();
}

// ---------------------------------------------------------------- page

TlyrDialogPage::TlyrDialogPage(QObject *owner) : TlyrPage(owner), window_(new TlyrDialogWindow(this))
{
    setBaseName(QStringLiteral("DialogPage"));
    TlyrFont f;
    f.SetName(QStringLiteral("Tahoma"));
    f.SetSize(8);
    SetFont(&f);
    SetWidth(300);
    SetHeight(200);
}

TlyrDialogPage::~TlyrDialogPage()
{
    // The controls' widgets live on the window.
    freeChildren();
    delete window_;
}

QString TlyrDialogPage::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obDlgPage"));
}

void TlyrDialogPage::SetCaption(const QString &v)
{
    caption_ = v;
    window_->setWindowTitle(v);
}

void TlyrDialogPage::SetColor(int v)
{
    color_ = v;
    // System colours (high byte set) stay the window's own.
    if ((v & 0xFF000000) == 0 && v != clNone) {
        QPalette pal = window_->palette();
        pal.setColor(QPalette::Window, lyrColor(v));
        window_->setPalette(pal);
    }
}

void TlyrDialogPage::SetLeft(double v)
{
    TlyrPage::SetLeft(v);
    if (!syncing_) window_->move(lyrRoundi(v), window_->y());
}

void TlyrDialogPage::SetTop(double v)
{
    TlyrPage::SetTop(v);
    if (!syncing_) window_->move(window_->x(), lyrRoundi(v));
}

void TlyrDialogPage::SetWidth(double v)
{
    TlyrPage::SetWidth(v);
    if (!syncing_) window_->resize(lyrRoundi(v), window_->height());
}

void TlyrDialogPage::SetHeight(double v)
{
    TlyrPage::SetHeight(v);
    if (!syncing_) window_->resize(window_->width(), lyrRoundi(v));
}

void TlyrDialogPage::FontChanged()
{
    TlyrPage::FontChanged();
    QFont f(Font()->Name());
    f.setPointSize(std::max(Font()->Size(), 1));
    window_->setFont(f);
}

void TlyrDialogPage::copyBoundsFromWindow()
{
    syncing_ = true;
    TlyrPage::SetLeft(window_->x());
    TlyrPage::SetTop(window_->y());
    TlyrPage::SetWidth(window_->width());
    TlyrPage::SetHeight(window_->height());
    syncing_ = false;
}

void TlyrDialogPage::notify(const QString &event)
{
    if (TlyrReport *r = Report(); r && !event.isEmpty()) r->DoNotifyEvent(this, event, true);
}

bool TlyrDialogPage::closeQuery()
{
    TlyrReport *r = Report();
    if (!r || OnCloseQuery.isEmpty()) return true;
    KsValue params = KsValue::MakeList({KsValue::FromObject(this), KsValue(true)});
    r->DoParamEvent(OnCloseQuery, params, true);
    return params.Element(1).ToBool();
}

int TlyrDialogPage::keyEvent(const QString &event, int key, int shift)
{
    TlyrReport *r = Report();
    if (!r || event.isEmpty()) return key;
    KsValue params = KsValue::MakeList({KsValue::FromObject(this), KsValue(key), KsValue(shift)});
    r->DoParamEvent(event, params, true);
    return params.Element(1).ToInt();
}

QString TlyrDialogPage::keyPress(const QString &key)
{
    TlyrReport *r = Report();
    if (!r || OnKeyPress.isEmpty()) return key;
    KsValue params = KsValue::MakeList({KsValue::FromObject(this), KsValue(key)});
    r->DoParamEvent(OnKeyPress, params, true);
    const QString back = params.Element(1).ToText();
    return back.isEmpty() || back[0] == QChar(0) ? QString() : back.left(1);
}

void TlyrDialogPage::prepare()
{
    if (window_->isVisible()) window_->hide();
    Qt::WindowFlags flags = Qt::Dialog;
    switch (borderStyle_) {
    case bsNone:
        flags |= Qt::FramelessWindowHint;
        break;
    case bsSingle:
    case bsDialog:
        flags |= Qt::MSWindowsFixedSizeDialogHint;
        break;
    case bsToolWindow:
    case bsSizeToolWin:
        flags = Qt::Tool;
        break;
    default:
        break;
    }
    window_->setWindowFlags(flags);
    window_->resize(lyrRoundi(Width()), lyrRoundi(Height()));
    if (Position == poScreenCenter || Position == poDesktopCenter) {
        if (QScreen *s = QGuiApplication::primaryScreen())
            window_->move(s->availableGeometry().center() - window_->rect().center());
    } else {
        window_->move(lyrRoundi(Left()), lyrRoundi(Top()));
    }
    window_->setWindowState(WindowState == wsMaximized   ? Qt::WindowMaximized
                            : WindowState == wsMinimized ? Qt::WindowMinimized
                                                         : Qt::WindowNoState);
}

int TlyrDialogPage::ShowModal()
{
    prepare();
    const int result = window_->exec();
    copyBoundsFromWindow();
    window_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return result;
}

void lyrRegisterDialogPageClasses()
{
    static bool done = false;
    if (done) return;
    done = true;
    ksRegisterClass<TlyrDialogControl>();
    KsClassInfo *page = ksRegisterClass<TlyrDialogPage>();
    lyrPublishEnum(page, "BorderStyle", "TFormBorderStyle",
                   {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
    lyrPublishEnum(
            page, "Position", "TPosition",
            {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter"});
    lyrPublishEnum(page, "WindowState", "TWindowState", {"wsNormal", "wsMinimized", "wsMaximized"});
}
