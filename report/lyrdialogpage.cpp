#include "report/lyrdialogpage.h"

#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrframe.h"
#include "report/lyrres.h"
#include "script/ks_ibind.h"
#include "script/ks_iformsrtti.h"
#include "script/ks_isysrtti.h"
#include "script/ks_props.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

namespace {

// Runs the report script's procedure for an event of the window system,
// which cannot take an exception: a handler's error is shown and kept with
// the report's errors. False when there was nothing to run, the handler
// failed or the object went away meanwhile.
bool runWindowEvent(TlyrComponent *source, const QString &proc, KsValue &params)
{
    TlyrReport *r = source->Report();
    if (!r || proc.isEmpty()) return false;
    QPointer<TlyrComponent> self(source);
    try {
        r->DoParamEvent(proc, params, true);
    } catch (const std::exception &e) {
        const QString text = QString::fromUtf8(e.what());
        if (TlyrReport *again = self ? self->Report() : nullptr) again->AddError(text);
        if (ksShowMessageHandler) ksShowMessageHandler(text);
        return false;
    }
    return !self.isNull();
}

}  // namespace

// ---------------------------------------------------------------- window

TlyrDialogForm::TlyrDialogForm(TlyrDialogPage *page) : page_(page)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TlyrDialogForm::changeEvent(QEvent *e)
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

void TlyrDialogForm::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QWidget *w = focusWidget()) w->setFocus();
    page_->notify(page_->OnShow);
}

void TlyrDialogForm::hideEvent(QHideEvent *e)
{
    QDialog::hideEvent(e);
    page_->notify(page_->OnHide);
}

void TlyrDialogForm::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    page_->copyBoundsFromWindow();
    page_->notify(page_->OnResize);
}

void TlyrDialogForm::moveEvent(QMoveEvent *e)
{
    QDialog::moveEvent(e);
    page_->copyBoundsFromWindow();
}

void TlyrDialogForm::mouseReleaseEvent(QMouseEvent *e)
{
    QDialog::mouseReleaseEvent(e);
    page_->notify(page_->OnClick);
}

void TlyrDialogForm::closeEvent(QCloseEvent *e)
{
    if (page_->closeQuery())
        e->accept();
    else
        e->ignore();
}

bool TlyrDialogForm::preview(QKeyEvent *e)
{
    const bool down = e->type() == QEvent::KeyPress;
    const int vk = ksQtKeyToVirtualKey(e->key(), e->modifiers());
    // A character without a key code (one a handler put in) is not a key to swallow.
    if (vk != 0 && page_->keyEvent(down ? page_->OnKeyDown : page_->OnKeyUp, vk, ksShiftState(e->modifiers())) == 0)
        return true;
    return down && !e->text().isEmpty() && !page_->OnKeyPress.isEmpty() && page_->keyPress(e->text()).isEmpty();
}

bool TlyrDialogForm::eventFilter(QObject *watched, QEvent *e)
{
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) && watched != this) {
        // A key the control leaves goes on to the window: asked once only.
        previewed_ = e;
        return preview(static_cast<QKeyEvent *>(e));
    }
    return QDialog::eventFilter(watched, e);
}

void TlyrDialogForm::keyPressEvent(QKeyEvent *e)
{
    const bool asked = e == previewed_;
    previewed_ = nullptr;
    if (!asked && preview(e)) return;
    // Esc clicks the cancel button; without one it does not end the page
    // (that would read as neither OK nor cancelled).
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        ksClickCancelButton(this);
        return;
    }
    QDialog::keyPressEvent(e);
}

void TlyrDialogForm::keyReleaseEvent(QKeyEvent *e)
{
    const bool asked = e == previewed_;
    previewed_ = nullptr;
    if (!asked && preview(e)) return;
    QDialog::keyReleaseEvent(e);
}

// ---------------------------------------------------------------- controls

TlyrDialogControl::TlyrDialogControl(QObject *owner) : TlyrReportComponent(owner)
{
    SetFlags(Flags() & ~2);
}

TlyrDialogControl::TlyrDialogControl(QObject *owner, TControl *control) : TlyrReportComponent(owner), script_(control)
{
    SetFlags(Flags() & ~2);
    control->setParent(this);
    control->SetHostEvents({[this](const QString &name) { return !EventProcedure(name).isEmpty(); },
                            [this](const QString &name, std::vector<KsValue> &args) { runEvent(name, args); }});
    SetControl(control->Widget());
}

TlyrDialogControl::~TlyrDialogControl()
{
    if (script_) {
        // Events raised while the widget goes must not reach a half-gone
        // object; the script control takes its widget away, after the
        // widget's own event when a handler freed this control.
        script_->SetHostEvents({});
        delete script_.data();
    } else {
        delete control_.data();
    }
}

void TlyrDialogControl::SetControl(QWidget *w)
{
    if (control_ != w) delete control_.data();
    control_ = w;
    if (control_) {
        control_->setEnabled(enabled_);
        control_->setToolTip(hint_);
    }
    place();
}

namespace {

// Controls that are on no dialog page wait here, never shown.
QWidget *hiddenParent()
{
    static QPointer<QWidget> parent;
    if (!parent) parent = new QWidget;
    return parent;
}

}  // namespace

void TlyrDialogControl::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    if (!control_) return;
    const QSize size(std::max(1, lyrRoundi(Width())), std::max(1, lyrRoundi(Height())));
    if (control_->size() != size) control_->resize(size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    control_->ensurePolished();
    control_->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    const int x = lyrRoundi(AbsLeft() * scaleX + offsetX), y = lyrRoundi(AbsTop() * scaleY + offsetY);
    canvas.DrawImage(QRect(x, y, lyrRoundi(Width() * scaleX), lyrRoundi(Height() * scaleY)), image);
}

void TlyrDialogControl::place()
{
    if (!control_) return;
    // Inside a parent control's widget the bounds are the control's own;
    // on the page's window they are the absolute ones.
    QWidget *host = nullptr;
    auto *parentControl = qobject_cast<TlyrDialogControl *>(Parent());
    const bool inControl = parentControl && parentControl->Control();
    if (inControl) {
        host = parentControl->Control();
    } else {
        for (TlyrComponent *p = Parent(); p && !host; p = p->Parent())
            if (auto *page = qobject_cast<TlyrDialogPage *>(p)) host = page->Window();
    }
    if (!host) host = hiddenParent();
    if (control_->parentWidget() != host) control_->setParent(host);
    if (TlyrDialogPage *page = qobject_cast<TlyrDialogPage *>(Page())) {
        // Installed after the control's own filter, so it runs first.
        control_->removeEventFilter(page->Window());
        control_->installEventFilter(page->Window());
    }
    if (inControl)
        control_->setGeometry(lyrRoundi(Left()), lyrRoundi(Top()), lyrRoundi(Width()), lyrRoundi(Height()));
    else
        control_->setGeometry(lyrRoundi(AbsLeft()), lyrRoundi(AbsTop()), lyrRoundi(Width()), lyrRoundi(Height()));
    control_->setVisible(Visible());
    // Children follow a moved or re-parented container.
    for (TlyrComponent *child : Objects())
        if (auto *c = qobject_cast<TlyrDialogControl *>(child)) c->place();
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

void TlyrDialogControl::SetName(const QString &value)
{
    const QString old = objectName();
    const bool follow = script_ && !IsLoading() && !old.isEmpty() && Caption() == old;
    TlyrReportComponent::SetName(value);
    if (follow) SetCaption(objectName());
}

void TlyrDialogControl::FontChanged()
{
    TlyrReportComponent::FontChanged();
    if (!control_) return;
    QFont f(Font()->Name());
    f.setPointSize(std::max(Font()->Size(), 1));
    f.setBold(Font()->Style() & 1);
    f.setItalic(Font()->Style() & 2);
    f.setUnderline(Font()->Style() & 4);
    f.setStrikeOut(Font()->Style() & 8);
    control_->setFont(f);
}

void TlyrDialogControl::SetEnabled(bool v)
{
    enabled_ = v;
    if (control_) control_->setEnabled(v);
}

void TlyrDialogControl::SetHint(const QString &v)
{
    hint_ = v;
    if (control_) control_->setToolTip(v);
}

QString TlyrDialogControl::Caption() const
{
    return script_ ? script_->Caption() : QString();
}

void TlyrDialogControl::SetCaption(const QString &v)
{
    if (script_) script_->SetCaption(v);
}

QString TlyrDialogControl::EventProcedure(const QString &upperName) const
{
    static const std::pair<const char *, QString TlyrDialogControl::*> events[] = {
            {"ONCLICK", &TlyrDialogControl::OnClick},         {"ONDBLCLICK", &TlyrDialogControl::OnDblClick},
            {"ONENTER", &TlyrDialogControl::OnEnter},         {"ONEXIT", &TlyrDialogControl::OnExit},
            {"ONKEYDOWN", &TlyrDialogControl::OnKeyDown},     {"ONKEYPRESS", &TlyrDialogControl::OnKeyPress},
            {"ONKEYUP", &TlyrDialogControl::OnKeyUp},         {"ONMOUSEDOWN", &TlyrDialogControl::OnMouseDown},
            {"ONMOUSEMOVE", &TlyrDialogControl::OnMouseMove}, {"ONMOUSEUP", &TlyrDialogControl::OnMouseUp},
            {"ONCHANGE", &TlyrDialogControl::OnChange},       {"ONDROPDOWN", &TlyrDialogControl::OnDropDown},
            {"ONCLOSEUP", &TlyrDialogControl::OnCloseUp}};
    for (const auto &[name, member] : events)
        if (upperName == QLatin1String(name)) return this->*member;
    return QString();
}

void TlyrDialogControl::runEvent(const QString &upperName, std::vector<KsValue> &args)
{
    // An event its own handler raises again is ignored.
    if (running_.contains(upperName)) return;
    std::vector<KsValue> all;
    all.reserve(args.size() + 1);
    all.push_back(KsValue::FromObject(this));
    all.insert(all.end(), args.begin(), args.end());
    KsValue params = KsValue::MakeList(std::move(all));
    QPointer<TlyrDialogControl> self(this);
    running_ << upperName;
    const bool ran = runWindowEvent(this, EventProcedure(upperName), params);
    if (!self) return;
    running_.removeAll(upperName);
    if (!ran) return;
    for (size_t i = 0; i < args.size(); ++i) args[i] = params.Element(qint64(i) + 1);
}

TlyrLabelControl::TlyrLabelControl(QObject *owner) : TlyrDialogControl(owner, new TLabel)
{
    // The template's bounds hold, and the text stays centred between them.
    auto *label = static_cast<TLabel *>(ScriptControl());
    label->SetAutoSize(false);
    label->SetLayout(TLabel::tlCenter);
}

TlyrEditControl::TlyrEditControl(QObject *owner) : TlyrDialogControl(owner, new TEdit) {}

namespace {
template <class T>
T *controlOf(const TlyrDialogControl *c)
{
    return static_cast<T *>(c->ScriptControl());
}
}  // namespace

int TlyrEditControl::MaxLength() const
{
    return controlOf<TEdit>(this)->MaxLength();
}

void TlyrEditControl::SetMaxLength(int v)
{
    controlOf<TEdit>(this)->SetMaxLength(v);
}

bool TlyrEditControl::ReadOnly() const
{
    return controlOf<TEdit>(this)->ReadOnly();
}

void TlyrEditControl::SetReadOnly(bool v)
{
    controlOf<TEdit>(this)->SetReadOnly(v);
}

TlyrMemoControl::TlyrMemoControl(QObject *owner) : TlyrDialogControl(owner, new TMemo) {}

QStringList TlyrMemoControl::Lines() const
{
    return controlOf<TMemo>(this)->Lines()->ToList();
}

void TlyrMemoControl::SetLines(const QStringList &v)
{
    controlOf<TMemo>(this)->Lines()->SetList(v);
}

bool TlyrMemoControl::ReadOnly() const
{
    return controlOf<TMemo>(this)->ReadOnly();
}

void TlyrMemoControl::SetReadOnly(bool v)
{
    controlOf<TMemo>(this)->SetReadOnly(v);
}

TlyrButtonControl::TlyrButtonControl(QObject *owner) : TlyrDialogControl(owner, new TButton)
{
    // A button with a modal result ends its dialog page with it.
    auto *button = qobject_cast<QAbstractButton *>(Control());
    connect(button, &QAbstractButton::clicked, this, [this] {
        if (modalResult_ == 0) return;
        for (TlyrComponent *p = Parent(); p; p = p->Parent())
            if (auto *page = qobject_cast<TlyrDialogPage *>(p)) {
                page->SetModalResult(modalResult_);
                break;
            }
    });
}

bool TlyrButtonControl::Default() const
{
    return controlOf<TButton>(this)->Default();
}

void TlyrButtonControl::SetDefault(bool v)
{
    controlOf<TButton>(this)->SetDefault(v);
}

bool TlyrButtonControl::Cancel() const
{
    return controlOf<TButton>(this)->Cancel();
}

void TlyrButtonControl::SetCancel(bool v)
{
    controlOf<TButton>(this)->SetCancel(v);
}

TlyrCheckBoxControl::TlyrCheckBoxControl(QObject *owner) : TlyrDialogControl(owner, new TCheckBox) {}

bool TlyrCheckBoxControl::Checked() const
{
    return controlOf<TCheckBox>(this)->Checked();
}

void TlyrCheckBoxControl::SetChecked(bool v)
{
    controlOf<TCheckBox>(this)->SetChecked(v);
}

TlyrRadioButtonControl::TlyrRadioButtonControl(QObject *owner) : TlyrDialogControl(owner, new TRadioButton) {}

bool TlyrRadioButtonControl::Checked() const
{
    return controlOf<TRadioButton>(this)->Checked();
}

void TlyrRadioButtonControl::SetChecked(bool v)
{
    controlOf<TRadioButton>(this)->SetChecked(v);
}

TlyrComboBoxControl::TlyrComboBoxControl(QObject *owner) : TlyrDialogControl(owner, new TComboBox) {}

QStringList TlyrComboBoxControl::Items() const
{
    return controlOf<TComboBox>(this)->Items()->ToList();
}

void TlyrComboBoxControl::SetItems(const QStringList &v)
{
    controlOf<TComboBox>(this)->Items()->SetList(v);
}

int TlyrComboBoxControl::Style() const
{
    return controlOf<TComboBox>(this)->Style();
}

void TlyrComboBoxControl::SetStyle(int v)
{
    controlOf<TComboBox>(this)->SetStyle(v);
}

int TlyrComboBoxControl::ItemIndex() const
{
    return controlOf<TComboBox>(this)->ItemIndex();
}

void TlyrComboBoxControl::SetItemIndex(int v)
{
    controlOf<TComboBox>(this)->SetItemIndex(v);
}

TlyrListBoxControl::TlyrListBoxControl(QObject *owner) : TlyrDialogControl(owner, new TListBox) {}

QStringList TlyrListBoxControl::Items() const
{
    return controlOf<TListBox>(this)->Items()->ToList();
}

void TlyrListBoxControl::SetItems(const QStringList &v)
{
    controlOf<TListBox>(this)->Items()->SetList(v);
}

bool TlyrListBoxControl::MultiSelect() const
{
    return controlOf<TListBox>(this)->MultiSelect();
}

void TlyrListBoxControl::SetMultiSelect(bool v)
{
    controlOf<TListBox>(this)->SetMultiSelect(v);
}

int TlyrListBoxControl::ItemIndex() const
{
    return controlOf<TListBox>(this)->ItemIndex();
}

void TlyrListBoxControl::SetItemIndex(int v)
{
    controlOf<TListBox>(this)->SetItemIndex(v);
}

TlyrGroupBoxControl::TlyrGroupBoxControl(QObject *owner) : TlyrDialogControl(owner, new TGroupBox) {}

TlyrPanelControl::TlyrPanelControl(QObject *owner) : TlyrDialogControl(owner, new TPanel) {}

// ---------------------------------------------------------------- page

TlyrDialogPage::TlyrDialogPage(QObject *owner) : TlyrPage(owner), window_(new TlyrDialogForm(this))
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
    if (created_) notify(OnDestroy);
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

namespace {
// A window is drawn into a buffer of its size: a damaged template's size
// makes it no larger than the largest screens.
int windowExtent(double v)
{
    return std::clamp(lyrRoundi(v), 0, 8192);
}
}  // namespace

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
    if (!syncing_) window_->resize(windowExtent(v), window_->height());
}

void TlyrDialogPage::SetHeight(double v)
{
    TlyrPage::SetHeight(v);
    if (!syncing_) window_->resize(window_->width(), windowExtent(v));
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
    KsValue params = KsValue::MakeList({KsValue::FromObject(this)});
    runWindowEvent(this, event, params);
}

bool TlyrDialogPage::closeQuery()
{
    KsValue params = KsValue::MakeList({KsValue::FromObject(this), KsValue(true)});
    return !runWindowEvent(this, OnCloseQuery, params) || params.Element(1).ToBool();
}

int TlyrDialogPage::keyEvent(const QString &event, int key, int shift)
{
    KsValue params = KsValue::MakeList({KsValue::FromObject(this), KsValue(key), KsValue(shift)});
    return runWindowEvent(this, event, params) ? params.Element(1).ToInt() : key;
}

QString TlyrDialogPage::keyPress(const QString &key)
{
    KsValue params = KsValue::MakeList({KsValue::FromObject(this), KsValue(key)});
    if (!runWindowEvent(this, OnKeyPress, params)) return key;
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
    window_->resize(windowExtent(Width()), windowExtent(Height()));
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
    if (!created_) {
        created_ = true;
        notify(OnCreate);
    }
    prepare();
    window_->setResult(0);
    const int result = window_->exec();
    copyBoundsFromWindow();
    window_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Closed by its close box: cancelled, not confirmed.
    return result == 0 ? mrCancel : result;
}

void TlyrDialogPage::SetModalResult(int v)
{
    if (v != 0 && window_->isVisible())
        window_->done(v);
    else
        window_->setResult(v);
}

namespace {

// Scripts see a combo box's or list box's items and a memo's lines as the
// string list of the control, not as a copy.
void bindStrings(TksClassVariable *c, const QString &name, TStrings *(*strings)(TlyrDialogControl *))
{
    if (!c) return;
    for (int i = 0; i < c->MembersCount(); ++i)
        if (TksCustomVariable *m = c->MembersItems(i); m->Name.compare(name, Qt::CaseInsensitive) == 0) {
            c->Members.Remove(m);
            delete m;
            break;
        }
    ksbind::Binder<TlyrDialogControl>(c).Property(
            name, QStringLiteral("TStrings"), [strings](TlyrDialogControl *d) { return ksbind::Obj(strings(d)); },
            [strings](TlyrDialogControl *d, const KsValue &v) {
                QObject *o = v.IsObject() ? v.ToObject() : nullptr;
                if (auto *other = qobject_cast<TStrings *>(o))
                    strings(d)->SetList(other->ToList());
                else
                    strings(d)->SetText(v.ToText());
            });
}

class TlyrDialogControlFunctions : public TksRTTIModule {
public:
    explicit TlyrDialogControlFunctions(TksScript *s) : TksRTTIModule(s)
    {
        for (const char *name : {"TlyrLabelControl", "TlyrEditControl", "TlyrButtonControl", "TlyrCheckBoxControl",
                                 "TlyrRadioButtonControl", "TlyrGroupBoxControl", "TlyrPanelControl"})
            addClass(s, name);
        bindStrings(addClass(s, "TlyrMemoControl"), QStringLiteral("Lines"),
                    [](TlyrDialogControl *d) { return static_cast<TMemo *>(d->ScriptControl())->Lines(); });
        TksClassVariable *combo = addClass(s, "TlyrComboBoxControl");
        bindStrings(combo, QStringLiteral("Items"),
                    [](TlyrDialogControl *d) { return static_cast<TComboBox *>(d->ScriptControl())->Items(); });
        ksbind::Binder<TlyrDialogControl>(combo).Property(
                QStringLiteral("DroppedDown"), QStringLiteral("Boolean"),
                [](TlyrDialogControl *d) {
                    return KsValue(static_cast<TComboBox *>(d->ScriptControl())->DroppedDown());
                },
                [](TlyrDialogControl *d, const KsValue &v) {
                    static_cast<TComboBox *>(d->ScriptControl())->SetDroppedDown(v.ToBool());
                });
        TksClassVariable *list = addClass(s, "TlyrListBoxControl");
        bindStrings(list, QStringLiteral("Items"),
                    [](TlyrDialogControl *d) { return static_cast<TListBox *>(d->ScriptControl())->Items(); });
        auto box = [](TlyrDialogControl *d) { return static_cast<TListBox *>(d->ScriptControl()); };
        ksbind::Binder<TlyrDialogControl>(list)
                .Property(QStringLiteral("SelCount"), QStringLiteral("Integer"),
                          [box](TlyrDialogControl *d) { return KsValue(box(d)->SelCount()); })
                .Indexed(
                        QStringLiteral("Selected"), QStringLiteral("Integer"), QStringLiteral("Boolean"),
                        [box](TlyrDialogControl *d, TksMethodHelper *h) {
                            return KsValue(box(d)->Selected(ksbind::IntArg(h, 0)));
                        },
                        [box](TlyrDialogControl *d, TksMethodHelper *h, const KsValue &v) {
                            box(d)->SetSelected(ksbind::IntArg(h, 0), v.ToBool());
                        });
    }

private:
    // A control a script creates goes on the page or control it names as
    // owner, under a new unique name.
    static TksClassVariable *addClass(TksScript *s, const char *name)
    {
        TksClassVariable *c = s->AddClass(QLatin1String(name), QStringLiteral("TlyrDialogControl"));
        ksbind::Binder<TlyrDialogControl>(c).Constructor(
                QStringLiteral("constructor Create(AOwner: TComponent)"), [](TlyrDialogControl *d, TksMethodHelper *h) {
                    QObject *owner = ksbind::ObjArg(h, 0, nullptr, true);
                    if (auto *parent = qobject_cast<TlyrComponent *>(owner)) {
                        const bool container =
                                qobject_cast<TlyrDialogControl *>(parent) || qobject_cast<TlyrDialogPage *>(parent);
                        if (parent == d || !container)
                            ksbind::Raise(QStringLiteral("EInvalidOperation"),
                                          QStringLiteral("A dialog control goes on a dialog page or control"));
                        d->SetParent(parent);
                        d->CreateUniqueName();
                    } else {
                        d->setParent(owner);
                    }
                    return KsValue();
                });
        return c;
    }
};

}  // namespace

void lyrRegisterDialogPageClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    ksRegisterClass<TlyrDialogControl>();
    ksRegisterClass<TlyrLabelControl>();
    ksRegisterClass<TlyrEditControl>();
    ksRegisterClass<TlyrMemoControl>();
    ksRegisterClass<TlyrButtonControl>();
    ksRegisterClass<TlyrCheckBoxControl>();
    ksRegisterClass<TlyrRadioButtonControl>();
    lyrPublishEnum(ksRegisterClass<TlyrComboBoxControl>(), "Style", "TComboBoxStyle",
                   {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"});
    ksRegisterClass<TlyrListBoxControl>();
    ksRegisterClass<TlyrGroupBoxControl>();
    ksRegisterClass<TlyrPanelControl>();
    KsClassInfo *page = ksRegisterClass<TlyrDialogPage>();
    lyrPublishEnum(page, "BorderStyle", "TFormBorderStyle",
                   {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
    lyrPublishEnum(
            page, "Position", "TPosition",
            {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter"});
    lyrPublishEnum(page, "WindowState", "TWindowState", {"wsNormal", "wsMinimized", "wsMaximized"});
    ksRegisterModule(QStringLiteral("TlyrDialogControlFunctions"),
                     [](TksScript *s) -> TksRTTIModule * { return new TlyrDialogControlFunctions(s); });
}
