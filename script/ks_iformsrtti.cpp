#include "script/ks_iformsrtti.h"

#include "script/ks_ibind.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace ksbind;

namespace {

KsValue Nothing()
{
    return KsValue(0);
}

constexpr int mrCancel = 2, mrOk = 1;
// Marks the widget of a button whose Cancel is set.
constexpr const char *kCancelButton = "ksCancelButton";
constexpr int caNone = 0, caHide = 1, caFree = 2, caMinimize = 3;

struct KeyPair {
    int Qt;
    int Vk;
};
const KeyPair kKeys[] = {{Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Backtab, 9},     {Qt::Key_Return, 13},
                         {Qt::Key_Enter, 13},    {Qt::Key_Shift, 16},    {Qt::Key_Control, 17},    {Qt::Key_Alt, 18},
                         {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},     {Qt::Key_Space, 32},
                         {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},        {Qt::Key_Home, 36},
                         {Qt::Key_Left, 37},     {Qt::Key_Up, 38},       {Qt::Key_Right, 39},      {Qt::Key_Down, 40},
                         {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46},   {Qt::Key_Help, 47},       {Qt::Key_Meta, 91},
                         {Qt::Key_Menu, 93},     {Qt::Key_NumLock, 144}, {Qt::Key_ScrollLock, 145}};

}  // namespace

int ksQtKeyToVirtualKey(int key, Qt::KeyboardModifiers mods)
{
    if (mods & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return 96 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break;
        }
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return 112 + (key - Qt::Key_F1);
    for (const KeyPair &k : kKeys)
        if (k.Qt == key) return k.Vk;
    return key < 256 ? key : 0;
}

int ksVirtualKeyToQtKey(int vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;
    if (vk >= 96 && vk <= 105) return Qt::Key_0 + (vk - 96);
    if (vk >= 112 && vk <= 123) return Qt::Key_F1 + (vk - 112);
    for (const KeyPair &k : kKeys)
        if (k.Vk == vk) return k.Qt;
    return 0;
}

int ksShiftState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, bool dbl)
{
    int s = 0;
    if (mods & Qt::ShiftModifier) s |= 1;
    if (mods & Qt::AltModifier) s |= 2;
    if (mods & Qt::ControlModifier) s |= 4;
    if (buttons & Qt::LeftButton) s |= 8;
    if (buttons & Qt::RightButton) s |= 16;
    if (buttons & Qt::MiddleButton) s |= 32;
    if (dbl) s |= 64;
    return s;
}

// ---- TControl ---------------------------------------------------------------------------

namespace {

// The size a new control starts at: the window library's usual one for its
// kind, and for a line-high control at least the height its style needs.
QSize DefaultControlSize(QWidget *w)
{
    struct Kind {
        const char *Class;
        int Width, Height;
        bool OneLine;
    };
    static const Kind kinds[] = {{"QPushButton", 75, 25, true},     {"QLineEdit", 121, 21, true},
                                 {"QComboBox", 145, 21, true},      {"QCheckBox", 97, 17, true},
                                 {"QRadioButton", 113, 17, true},   {"QPlainTextEdit", 185, 89, false},
                                 {"QListWidget", 121, 97, false},   {"QGroupBox", 185, 105, false},
                                 {"QLabel", 65, 13, false}};
    for (const Kind &k : kinds) {
        if (!w->inherits(k.Class)) continue;
        if (!k.OneLine) return {k.Width, k.Height};
        // a button's height with a line of text on it
        auto *button = qobject_cast<QAbstractButton *>(w);
        if (button) button->setText(QStringLiteral("Ag"));
        const int height = std::max({k.Height, w->sizeHint().height(), w->minimumSizeHint().height()});
        if (button) button->setText(QString());
        return {k.Width, height};
    }
    return {185, 41};
}

}  // namespace

TControl::TControl(QObject *owner, QWidget *widget)
    : TComponent(owner), FWidget(widget), FFont(MarkPart(new TFont(this)))
{
    // Not Qt's size for a window (640 by 480): the control is to go on a form.
    FWidget->resize(DefaultControlSize(FWidget));
    FWidget->installEventFilter(this);
    connect(FFont, &TFont::FontChanged, this, [this] {
        if (FWidget) FWidget->setFont(FFont->Font());
    });
}

TControl::~TControl()
{
    if (FWidget) {
        // The widget may be inside its own event (a handler freed its control):
        // it goes when that event is over.
        FWidget->removeEventFilter(this);
        FWidget->disconnect(this);
        FWidget->hide();
        FWidget->deleteLater();
    }
}

bool TControl::AskResize(const QSize &old, int &width, int &height)
{
    QPointer<TControl> self(this);
    std::vector<KsValue> args{KsValue(width), KsValue(height), KsValue(true)};
    const bool asked = Fire(QStringLiteral("ONCANRESIZE"), args);
    if (!self || !FWidget) return false;
    if (!asked) return true;
    if (!args[2].ToBool()) {
        width = old.width();
        height = old.height();
    } else {
        width = std::max(0, args[0].ToInt());
        height = std::max(0, args[1].ToInt());
    }
    return true;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (!FWidget) return;
    if ((width != Width() || height != Height()) && !AskResize(FWidget->size(), width, height)) return;
    FSizing = true;
    FWidget->setGeometry(left, top, std::max(0, width), std::max(0, height));
    FSizing = false;
}

bool TControl::Resized(const QSize &oldSize, const QSize &newSize)
{
    int width = newSize.width(), height = newSize.height();
    if (!AskResize(oldSize, width, height)) return false;
    if (QSize(width, height) != newSize) {
        FSizing = true;
        FWidget->resize(width, height);
        FSizing = false;
    }
    return true;
}

void TControl::SetVisible(bool v)
{
    FVisible = v;
    if (FWidget && (FParent || !v)) FWidget->setVisible(v);
}

void TControl::SetColor(int v)
{
    FColor = v;
    if (!FWidget) return;
    QPalette pal = FWidget->palette();
    pal.setColor(QPalette::Window, ksColorToQColor(v));
    pal.setColor(QPalette::Base, ksColorToQColor(v));
    FWidget->setPalette(pal);
    FWidget->setAutoFillBackground(true);
}

void TControl::SetParent(TWinControl *p)
{
    if (p == this) Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("A control cannot be its own parent"));
    for (TWinControl *up = p; up; up = up->Parent())
        if (up == this)
            Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("A control cannot be put inside itself"));
    FParent = p;
    if (!FWidget) return;
    const QRect g = FWidget->geometry();
    FWidget->setParent(p ? p->Widget() : nullptr);
    FWidget->setGeometry(g);
    // A control without a window of its own lies beneath its windowed
    // siblings: a label over a button does not take the button's clicks.
    if (qobject_cast<TGraphicControl *>(this)) FWidget->lower();
    if (p) FWidget->setVisible(FVisible);
}

void TControl::SetEvent(const QString &name, TksCustomEvent *adapter)
{
    if (adapter)
        FEvents.insert(name.toUpper(), adapter);
    else
        FEvents.remove(name.toUpper());
}

bool TControl::HasEvent(const QString &name) const
{
    auto it = FEvents.find(name);
    if (it != FEvents.end() && !it.value().isNull()) return true;
    return FHost.Has && FHost.Has(name);
}

bool TControl::Fire(const QString &name, std::vector<KsValue> &args)
{
    auto it = FEvents.find(name);
    if (it == FEvents.end() || it.value().isNull()) {
        if (!FHost.Has || !FHost.Run || !FHost.Has(name)) return false;
        // A copy: the handler may replace the host (or free this control).
        const auto run = FHost.Run;
        run(name, args);
        return true;
    }
    QPointer<TksCustomEvent> adapter = it.value();
    std::vector<KsValue> all;
    all.reserve(args.size() + 1);
    all.push_back(KsValue::FromObject(this));
    all.insert(all.end(), args.begin(), args.end());
    adapter->Invoke(all);
    for (size_t i = 0; i < args.size(); ++i) args[i] = all[i + 1];
    return true;
}

bool TControl::KeyEvent(QKeyEvent *e, bool down)
{
    const QString name = down ? QStringLiteral("ONKEYDOWN") : QStringLiteral("ONKEYUP");
    if (!HasEvent(name)) return false;
    const int vk = ksQtKeyToVirtualKey(e->key(), e->modifiers());
    std::vector<KsValue> args{KsValue(vk), KsValue(ksShiftState(e->modifiers()))};
    QPointer<TControl> self(this);
    Fire(name, args);
    if (!self) return true;
    const int now = args[0].ToInt();
    if (now == 0) return true;  // the handler swallowed the key
    if (now != vk && FWidget) {
        // The control receives the key the handler chose.
        QKeyEvent other(e->type(), ksVirtualKeyToQtKey(now), e->modifiers(), QString());
        Resend(&other);
        return true;
    }
    return false;
}

// A form with KeyPreview sees the keys of its controls first; a handler
// that sets Key to 0 (or #0) keeps the key from the control.
bool TControl::Previewed(QKeyEvent *e, bool down)
{
    TCustomForm *form = nullptr;
    for (TWinControl *p = Parent(); p && !form; p = p->Parent()) form = qobject_cast<TCustomForm *>(p);
    if (!form || !form->KeyPreview()) return false;
    QPointer<TControl> self(this);
    std::vector<KsValue> args{KsValue(ksQtKeyToVirtualKey(e->key(), e->modifiers())),
                              KsValue(ksShiftState(e->modifiers()))};
    if (form->Fire(down ? QStringLiteral("ONKEYDOWN") : QStringLiteral("ONKEYUP"), args) && args[0].ToInt() == 0)
        return true;
    if (!self || !down || e->text().isEmpty()) return !self;
    std::vector<KsValue> ch{KsValue(e->text().left(1))};
    if (form->Fire(QStringLiteral("ONKEYPRESS"), ch)) {
        const QString now = ch[0].ToText();
        if (now.isEmpty() || now[0].unicode() == 0) return true;
    }
    return !self;
}

bool TControl::KeyPress(QKeyEvent *e)
{
    const QString name = QStringLiteral("ONKEYPRESS");
    if (e->text().isEmpty() || !HasEvent(name)) return false;
    const QString ch = e->text().left(1);
    std::vector<KsValue> args{KsValue(ch)};
    QPointer<TControl> self(this);
    Fire(name, args);
    if (!self) return true;
    const QString now = args[0].ToText().left(1);
    if (now.isEmpty() || now[0].unicode() == 0) return true;  // swallowed
    if (now != ch && FWidget) {
        // The control receives the character the handler chose.
        QKeyEvent other(QEvent::KeyPress, 0, e->modifiers() & ~Qt::ShiftModifier, now);
        Resend(&other);
        return true;
    }
    return false;
}

void TControl::MouseEvent(QMouseEvent *e, const QString &name)
{
    if (!HasEvent(name)) return;
    const QPoint p = e->position().toPoint();
    std::vector<KsValue> args;
    const int shift = ksShiftState(e->modifiers(), e->buttons());
    if (name == QLatin1String("ONMOUSEMOVE")) {
        args = {KsValue(shift), KsValue(p.x()), KsValue(p.y())};
    } else {
        const int button = e->button() == Qt::RightButton ? 1 : e->button() == Qt::MiddleButton ? 2 : 0;
        args = {KsValue(button), KsValue(shift), KsValue(p.x()), KsValue(p.y())};
    }
    Fire(name, args);
}

void TControl::Resend(QEvent *e)
{
    QPointer<TControl> self(this);
    FResending = true;
    QCoreApplication::sendEvent(FWidget, e);
    if (self) FResending = false;
}

bool TControl::eventFilter(QObject *watched, QEvent *e)
{
    if (watched != FWidget || FResending) return false;
    QPointer<TControl> self(this);
    switch (e->type()) {
    case QEvent::KeyPress: {
        auto *k = static_cast<QKeyEvent *>(e);
        if (Previewed(k, true)) return true;
        if (!self) return true;
        if (KeyEvent(k, true)) return true;
        if (!self) return true;
        return KeyPress(k);
    }
    case QEvent::KeyRelease:
        if (Previewed(static_cast<QKeyEvent *>(e), false)) return true;
        return self && KeyEvent(static_cast<QKeyEvent *>(e), false);
    case QEvent::MouseButtonPress:
        MouseEvent(static_cast<QMouseEvent *>(e), QStringLiteral("ONMOUSEDOWN"));
        break;
    case QEvent::MouseButtonRelease: {
        auto *m = static_cast<QMouseEvent *>(e);
        MouseEvent(m, QStringLiteral("ONMOUSEUP"));
        // Buttons click through their own signal; other controls click here.
        if (self && FWidget && !qobject_cast<QAbstractButton *>(FWidget) && m->button() == Qt::LeftButton &&
            FWidget->rect().contains(m->position().toPoint()))
            Fire(QStringLiteral("ONCLICK"));
        break;
    }
    case QEvent::MouseMove:
        MouseEvent(static_cast<QMouseEvent *>(e), QStringLiteral("ONMOUSEMOVE"));
        break;
    case QEvent::MouseButtonDblClick:
        Fire(QStringLiteral("ONDBLCLICK"));
        break;
    case QEvent::FocusIn:
        Fire(QStringLiteral("ONENTER"));
        break;
    case QEvent::FocusOut:
        Fire(QStringLiteral("ONEXIT"));
        break;
    case QEvent::Resize: {
        auto *r = static_cast<QResizeEvent *>(e);
        if (!FSizing && r->oldSize().isValid() && r->oldSize() != r->size() && HasEvent(QStringLiteral("ONCANRESIZE")) &&
            !Resized(r->oldSize(), r->size()))
            return true;
        if (self) Fire(QStringLiteral("ONRESIZE"));
        break;
    }
    case QEvent::Show:
        Fire(QStringLiteral("ONSHOW"));
        break;
    case QEvent::Hide:
        Fire(QStringLiteral("ONHIDE"));
        break;
    case QEvent::WindowActivate:
        Fire(QStringLiteral("ONACTIVATE"));
        break;
    case QEvent::WindowDeactivate:
        Fire(QStringLiteral("ONDEACTIVATE"));
        break;
    case QEvent::Paint:
        // a form paints its canvas itself, after its background
        if (!qobject_cast<TCustomForm *>(this)) Fire(QStringLiteral("ONPAINT"));
        break;
    default:
        break;
    }
    return false;
}

void TWinControl::SetFocus()
{
    if (!FWidget || !FWidget->isEnabled())
        Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("Cannot focus a disabled or invisible window"));
    FWidget->setFocus(Qt::OtherFocusReason);
}

// ---- simple controls --------------------------------------------------------------------

TPanel::TPanel(QObject *owner) : TCustomControl(owner, new QFrame)
{
    auto *f = static_cast<QFrame *>(FWidget.data());
    f->setFrameShape(QFrame::Panel);
    auto *l = new QVBoxLayout(f);
    l->addWidget(new QLabel, 0, Qt::AlignCenter);
}
QString TPanel::Caption() const
{
    auto *l = FWidget ? FWidget->findChild<QLabel *>() : nullptr;
    return l ? l->text() : QString();
}
void TPanel::SetCaption(const QString &v)
{
    if (auto *l = FWidget ? FWidget->findChild<QLabel *>() : nullptr) l->setText(v);
}

TGroupBox::TGroupBox(QObject *owner) : TWinControl(owner, new QGroupBox) {}
QString TGroupBox::Caption() const
{
    return FWidget ? static_cast<QGroupBox *>(FWidget.data())->title() : QString();
}
void TGroupBox::SetCaption(const QString &v)
{
    if (FWidget) static_cast<QGroupBox *>(FWidget.data())->setTitle(v);
}

namespace {
template <class W>
W *As(const QPointer<QWidget> &w)
{
    return static_cast<W *>(w.data());
}
}  // namespace

TLabel::TLabel(QObject *owner) : TGraphicControl(owner, new QLabel)
{
    Align();
    Fit();
    // After the control has given the widget the font.
    connect(Font(), &TFont::FontChanged, this, [this] { Fit(); });
}
QString TLabel::Caption() const
{
    return FWidget ? As<QLabel>(FWidget)->text() : QString();
}
void TLabel::SetCaption(const QString &v)
{
    if (!FWidget) return;
    As<QLabel>(FWidget)->setText(v);
    Fit();
}
int TLabel::Alignment() const
{
    return FAlignment;
}
void TLabel::SetAlignment(int v)
{
    FAlignment = v == 1 || v == 2 ? v : 0;
    Align();
}
void TLabel::SetLayout(TTextLayout v)
{
    FLayout = v == tlCenter || v == tlBottom ? v : tlTop;
    Align();
}
void TLabel::Align()
{
    if (!FWidget) return;
    const Qt::Alignment h = FAlignment == 1 ? Qt::AlignRight : FAlignment == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
    const Qt::Alignment v = FLayout == tlCenter ? Qt::AlignVCenter : FLayout == tlBottom ? Qt::AlignBottom : Qt::AlignTop;
    As<QLabel>(FWidget)->setAlignment(h | v);
}
bool TLabel::WordWrap() const
{
    return FWidget && As<QLabel>(FWidget)->wordWrap();
}
void TLabel::SetWordWrap(bool v)
{
    if (!FWidget) return;
    As<QLabel>(FWidget)->setWordWrap(v);
    Fit();
}
void TLabel::SetAutoSize(bool v)
{
    FAutoSize = v;
    Fit();
}
void TLabel::Fit()
{
    if (!FAutoSize || !FWidget) return;
    auto *l = As<QLabel>(FWidget);
    // A wrapping label keeps its width and takes the height of its lines.
    if (l->wordWrap())
        SetBounds(Left(), Top(), Width(), std::max(l->heightForWidth(Width()), l->fontMetrics().height()));
    else
        SetBounds(Left(), Top(), l->sizeHint().width(), l->sizeHint().height());
}

TEdit::TEdit(QObject *owner) : TWinControl(owner, new QLineEdit)
{
    connect(As<QLineEdit>(FWidget), &QLineEdit::textChanged, this, [this] { Fire(QStringLiteral("ONCHANGE")); });
}
QString TEdit::Caption() const
{
    return FWidget ? As<QLineEdit>(FWidget)->text() : QString();
}
void TEdit::SetCaption(const QString &v)
{
    if (FWidget) As<QLineEdit>(FWidget)->setText(v);
}
int TEdit::MaxLength() const
{
    const int m = FWidget ? As<QLineEdit>(FWidget)->maxLength() : 0;
    return m >= 32767 ? 0 : m;
}
void TEdit::SetMaxLength(int v)
{
    if (FWidget) As<QLineEdit>(FWidget)->setMaxLength(v <= 0 ? 32767 : v);
}
bool TEdit::ReadOnly() const
{
    return FWidget && As<QLineEdit>(FWidget)->isReadOnly();
}
void TEdit::SetReadOnly(bool v)
{
    if (FWidget) As<QLineEdit>(FWidget)->setReadOnly(v);
}
QString TEdit::PasswordChar() const
{
    return FWidget && As<QLineEdit>(FWidget)->echoMode() == QLineEdit::Password ? QStringLiteral("*") : QString();
}
void TEdit::SetPasswordChar(const QString &v)
{
    if (FWidget)
        As<QLineEdit>(FWidget)->setEchoMode(v.isEmpty() || v[0].unicode() == 0 ? QLineEdit::Normal
                                                                               : QLineEdit::Password);
}

void TControlStrings::Pull(const QStringList &lines)
{
    FPulling = true;
    SetList(lines);
    FPulling = false;
}

void TControlStrings::Changed()
{
    if (!FPulling && FPush) FPush(ToList());
}

TMemo::TMemo(QObject *owner) : TWinControl(owner, new QPlainTextEdit)
{
    auto *w = As<QPlainTextEdit>(FWidget);
    FLines = MarkPart(new TControlStrings(this, [w](const QStringList &lines) {
        const QString text = lines.join(QLatin1Char('\n'));
        if (w->toPlainText() != text) w->setPlainText(text);
    }));
    connect(w, &QPlainTextEdit::textChanged, this, [this, w] {
        QString t = w->toPlainText();
        FLines->Pull(t.isEmpty() ? QStringList() : t.split(QLatin1Char('\n')));
        Fire(QStringLiteral("ONCHANGE"));
    });
}
QString TMemo::Caption() const
{
    return FWidget ? As<QPlainTextEdit>(FWidget)->toPlainText() : QString();
}
void TMemo::SetCaption(const QString &v)
{
    if (FWidget) As<QPlainTextEdit>(FWidget)->setPlainText(v);
}
bool TMemo::ReadOnly() const
{
    return FWidget && As<QPlainTextEdit>(FWidget)->isReadOnly();
}
void TMemo::SetReadOnly(bool v)
{
    if (FWidget) As<QPlainTextEdit>(FWidget)->setReadOnly(v);
}
bool TMemo::WordWrap() const
{
    return FWidget && As<QPlainTextEdit>(FWidget)->lineWrapMode() != QPlainTextEdit::NoWrap;
}
void TMemo::SetWordWrap(bool v)
{
    if (FWidget) As<QPlainTextEdit>(FWidget)->setLineWrapMode(v ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

namespace {
// Tells when its list drops down and closes up.
class KsComboWidget : public QComboBox {
public:
    std::function<void(bool)> OnPopup;
    void showPopup() override
    {
        if (OnPopup) OnPopup(true);
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (OnPopup) OnPopup(false);
    }
};
}  // namespace

TCustomComboBox::TCustomComboBox(QObject *owner) : TWinControl(owner, new KsComboWidget)
{
    auto *w = static_cast<KsComboWidget *>(FWidget.data());
    w->setEditable(true);
    FItems = MarkPart(new TControlStrings(this, [w](const QStringList &lines) {
        const QString text = w->currentText();
        QSignalBlocker block(w);
        w->clear();
        w->addItems(lines);
        w->setCurrentIndex(-1);
        if (w->isEditable()) w->setEditText(text);
    }));
    w->OnPopup = [this](bool down) { Fire(down ? QStringLiteral("ONDROPDOWN") : QStringLiteral("ONCLOSEUP")); };
    connect(w, &QComboBox::currentIndexChanged, this, [this] { Fire(QStringLiteral("ONCHANGE")); });
    connect(w, &QComboBox::editTextChanged, this, [this, w] {
        if (w->currentIndex() < 0 || w->currentText() != w->itemText(w->currentIndex()))
            Fire(QStringLiteral("ONCHANGE"));
    });
}
QString TCustomComboBox::Caption() const
{
    return FWidget ? As<QComboBox>(FWidget)->currentText() : QString();
}
void TCustomComboBox::SetCaption(const QString &v)
{
    if (!FWidget) return;
    auto *w = As<QComboBox>(FWidget);
    if (w->isEditable())
        w->setEditText(v);
    else
        w->setCurrentIndex(w->findText(v));
}
void TCustomComboBox::SetStyle(int v)
{
    FStyle = v;
    if (FWidget) As<QComboBox>(FWidget)->setEditable(v != 2);
}
int TCustomComboBox::ItemIndex() const
{
    return FWidget ? As<QComboBox>(FWidget)->currentIndex() : -1;
}
void TCustomComboBox::SetItemIndex(int v)
{
    if (FWidget) As<QComboBox>(FWidget)->setCurrentIndex(v < FItems->Count() ? v : -1);
}
bool TCustomComboBox::DroppedDown() const
{
    return FWidget && As<QComboBox>(FWidget)->view() && As<QComboBox>(FWidget)->view()->isVisible();
}
void TCustomComboBox::SetDroppedDown(bool v)
{
    if (!FWidget) return;
    if (v)
        As<QComboBox>(FWidget)->showPopup();
    else
        As<QComboBox>(FWidget)->hidePopup();
}

TButton::TButton(QObject *owner) : TWinControl(owner, new QPushButton)
{
    As<QPushButton>(FWidget)->setAutoDefault(false);
    connect(As<QPushButton>(FWidget), &QPushButton::clicked, this, [this] { Click(); });
}
QString TButton::Caption() const
{
    return FWidget ? As<QPushButton>(FWidget)->text() : QString();
}
void TButton::SetCaption(const QString &v)
{
    if (FWidget) As<QPushButton>(FWidget)->setText(v);
}
void TButton::SetDefault(bool v)
{
    FDefault = v;
    if (FWidget) As<QPushButton>(FWidget)->setDefault(v);
}

void TButton::SetCancel(bool v)
{
    FCancel = v;
    if (FWidget) FWidget->setProperty(kCancelButton, v);
}

bool ksClickCancelButton(QWidget *window)
{
    for (QPushButton *b : window->findChildren<QPushButton *>())
        if (b->property(kCancelButton).toBool() && b->isVisible() && b->isEnabled()) {
            b->click();
            return true;
        }
    return false;
}

void TButton::Click()
{
    QPointer<TButton> self(this);
    const int mr = FModalResult;
    TCustomForm *form = nullptr;
    for (TWinControl *p = Parent(); p && !form; p = p->Parent()) form = qobject_cast<TCustomForm *>(p);
    QPointer<TCustomForm> f(form);
    if (f && mr != 0) f->SetModalResult(mr);
    if (self) Fire(QStringLiteral("ONCLICK"));
}

TCheckBox::TCheckBox(QObject *owner) : TWinControl(owner, new QCheckBox)
{
    connect(As<QCheckBox>(FWidget), &QCheckBox::clicked, this, [this] { Fire(QStringLiteral("ONCLICK")); });
}
QString TCheckBox::Caption() const
{
    return FWidget ? As<QCheckBox>(FWidget)->text() : QString();
}
void TCheckBox::SetCaption(const QString &v)
{
    if (FWidget) As<QCheckBox>(FWidget)->setText(v);
}
bool TCheckBox::Checked() const
{
    return FWidget && As<QCheckBox>(FWidget)->checkState() == Qt::Checked;
}
void TCheckBox::SetChecked(bool v)
{
    if (FWidget) As<QCheckBox>(FWidget)->setCheckState(v ? Qt::Checked : Qt::Unchecked);
}
int TCheckBox::State() const
{
    if (!FWidget) return 0;
    const auto s = As<QCheckBox>(FWidget)->checkState();
    return s == Qt::Checked ? 1 : s == Qt::PartiallyChecked ? 2 : 0;
}
void TCheckBox::SetState(int v)
{
    if (FWidget)
        As<QCheckBox>(FWidget)->setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}
bool TCheckBox::AllowGrayed() const
{
    return FWidget && As<QCheckBox>(FWidget)->isTristate();
}
void TCheckBox::SetAllowGrayed(bool v)
{
    if (FWidget) As<QCheckBox>(FWidget)->setTristate(v);
}

TRadioButton::TRadioButton(QObject *owner) : TWinControl(owner, new QRadioButton)
{
    connect(As<QRadioButton>(FWidget), &QRadioButton::clicked, this, [this] { Fire(QStringLiteral("ONCLICK")); });
}
QString TRadioButton::Caption() const
{
    return FWidget ? As<QRadioButton>(FWidget)->text() : QString();
}
void TRadioButton::SetCaption(const QString &v)
{
    if (FWidget) As<QRadioButton>(FWidget)->setText(v);
}
bool TRadioButton::Checked() const
{
    return FWidget && As<QRadioButton>(FWidget)->isChecked();
}
void TRadioButton::SetChecked(bool v)
{
    if (FWidget) As<QRadioButton>(FWidget)->setChecked(v);
}

TCustomListBox::TCustomListBox(QObject *owner) : TWinControl(owner, new QListWidget)
{
    auto *w = As<QListWidget>(FWidget);
    FItems = MarkPart(new TControlStrings(this, [w](const QStringList &lines) {
        QSignalBlocker block(w);
        w->clear();
        w->addItems(lines);
    }));
}
bool TCustomListBox::MultiSelect() const
{
    return FWidget && As<QListWidget>(FWidget)->selectionMode() == QAbstractItemView::MultiSelection;
}
void TCustomListBox::SetMultiSelect(bool v)
{
    if (FWidget)
        As<QListWidget>(FWidget)->setSelectionMode(v ? QAbstractItemView::MultiSelection
                                                     : QAbstractItemView::SingleSelection);
}
int TCustomListBox::ItemIndex() const
{
    return FWidget ? As<QListWidget>(FWidget)->currentRow() : -1;
}
void TCustomListBox::SetItemIndex(int v)
{
    if (FWidget) As<QListWidget>(FWidget)->setCurrentRow(v >= 0 && v < FItems->Count() ? v : -1);
}
int TCustomListBox::SelCount() const
{
    return FWidget ? int(As<QListWidget>(FWidget)->selectedItems().size()) : 0;
}
bool TCustomListBox::Selected(int index) const
{
    if (index < 0 || index >= FItems->Count())
        Raise(QStringLiteral("EListError"), QStringLiteral("List index out of bounds (%1)").arg(index));
    return FWidget && As<QListWidget>(FWidget)->item(index)->isSelected();
}
void TCustomListBox::SetSelected(int index, bool v)
{
    Selected(index);  // checks the index
    if (FWidget) As<QListWidget>(FWidget)->item(index)->setSelected(v);
}

TScrollBox::TScrollBox(QObject *owner) : TScrollingWinControl(owner, new QScrollArea) {}

// ---- forms ------------------------------------------------------------------------------

TCustomForm::TCustomForm(QObject *owner)
    : TScrollingWinControl(owner, new KsFormDialog), FCanvas(MarkPart(new TCanvas(this)))
{
    Dialog()->SetForm(this);
    TControl::SetVisible(false);
    FWidget->resize(320, 240);
    FCanvas->SetTarget(&FSurface);
    FCanvas->BeforeDraw = [this] { FitSurface(); };
    FCanvas->AfterDraw = [this] {
        if (FInPaint) return;
        FDrawnOutside = true;
        if (FWidget) FWidget->update();
    };
}

void TCustomForm::FitSurface()
{
    const QSize size = FWidget ? FWidget->size() : QSize();
    if (FSurface.size() == size) return;
    QImage fitted(size, QImage::Format_ARGB32_Premultiplied);
    fitted.fill(Qt::transparent);
    if (!FSurface.isNull() && !fitted.isNull()) {
        QPainter p(&fitted);
        p.drawImage(0, 0, FSurface);
    }
    FSurface = fitted;
}

void TCustomForm::Paint(QWidget *on)
{
    FitSurface();
    if (!FDrawnOutside) FSurface.fill(Qt::transparent);
    FDrawnOutside = false;
    QPointer<TCustomForm> self(this);
    FInPaint = true;
    Fire(QStringLiteral("ONPAINT"));
    if (!self) return;
    FInPaint = false;
    if (FSurface.isNull()) return;
    QPainter p(on);
    p.drawImage(0, 0, FSurface);
}

TCustomForm::~TCustomForm()
{
    if (FInModal && FWidget) Dialog()->QDialog::done(QDialog::Rejected);
    // Handlers of a script already cleared are gone and do nothing.
    Fire(QStringLiteral("ONDESTROY"));
}

void TCustomForm::Created()
{
    if (FCreated) return;
    FCreated = true;
    Fire(QStringLiteral("ONCREATE"));
}

KsFormDialog *TCustomForm::Dialog() const
{
    return static_cast<KsFormDialog *>(FWidget.data());
}

QString TCustomForm::Caption() const
{
    return FWidget ? FWidget->windowTitle() : QString();
}
void TCustomForm::SetCaption(const QString &v)
{
    if (FWidget) FWidget->setWindowTitle(v);
}

void TCustomForm::SetVisible(bool v)
{
    if (v && FInModal) return;
    if (v) {
        QPointer<TCustomForm> self(this);
        Created();
        if (!self) return;
    }
    TControl::SetVisible(v);
    if (FWidget) FWidget->setVisible(v);
}

void TCustomForm::Show()
{
    QPointer<TCustomForm> self(this);
    SetVisible(true);
    if (!self) return;
    if (FWidget) {
        FWidget->raise();
        FWidget->activateWindow();
    }
}

void TCustomForm::Close()
{
    if (FInModal) {
        SetModalResult(mrCancel);
        return;
    }
    if (FWidget && FWidget->isVisible()) FWidget->close();
}

int TCustomForm::ShowModal()
{
    if (!FWidget) return mrCancel;
    if (FInModal || FWidget->isVisible())
        Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("Cannot make a visible window modal"));
    QPointer<TCustomForm> self(this);
    Created();
    if (!self) return mrCancel;
    FModalResult = 0;
    if (const auto &hook = ksShowModalHook()) return hook(this);
    FInModal = true;
    FWidget->setWindowModality(Qt::ApplicationModal);
    Dialog()->exec();
    if (!self) return mrCancel;
    FInModal = false;
    TControl::SetVisible(false);
    return FModalResult ? FModalResult : mrCancel;
}

void TCustomForm::SetModalResult(int v)
{
    FModalResult = v;
    if (v == 0 || !FInModal || !FWidget) return;
    Dialog()->done(v);
    if (FWidget && FWidget->isVisible() && FInModal) FModalResult = 0;  // the close query kept it open
}

bool TCustomForm::CloseQuery()
{
    QPointer<TCustomForm> self(this);
    std::vector<KsValue> q{KsValue(true)};
    if (Fire(QStringLiteral("ONCLOSEQUERY"), q) && !q[0].ToBool()) return false;
    if (!self) return false;
    std::vector<KsValue> a{KsValue(FInModal ? caHide : caHide)};
    Fire(QStringLiteral("ONCLOSE"), a);
    if (!self) return false;
    switch (a[0].ToInt()) {
    case caNone:
        return false;
    case caMinimize:
        if (FWidget) FWidget->showMinimized();
        return false;
    case caFree:
        deleteLater();
        return true;
    default:
        return true;
    }
}

void KsFormDialog::done(int r)
{
    if (FForm) {
        if (!FForm->CloseQuery()) return;
        if (FForm && FForm->FInModal && FForm->FModalResult == 0) FForm->FModalResult = r == Accepted ? mrOk : mrCancel;
        if (FForm) FForm->TControl::SetVisible(false);
    }
    QDialog::done(r);
}

void KsFormDialog::paintEvent(QPaintEvent *e)
{
    QDialog::paintEvent(e);
    if (FForm) FForm->Paint(this);
}

void KsFormDialog::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && ksClickCancelButton(this)) return;
    QDialog::keyPressEvent(e);
}

std::function<int(TCustomForm *)> &ksShowModalHook()
{
    static std::function<int(TCustomForm *)> hook;
    return hook;
}

// ---- application ------------------------------------------------------------------------

QString TApplication::Title() const
{
    return QGuiApplication::applicationDisplayName();
}
void TApplication::SetTitle(const QString &v)
{
    QGuiApplication::setApplicationDisplayName(v);
}
QString TApplication::ExeName() const
{
    return QCoreApplication::applicationFilePath();
}
void TApplication::Minimize()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible()) w->showMinimized();
}
void TApplication::Restore()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isMinimized()) w->showNormal();
}
void TApplication::ProcessMessages()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

TApplication *ksApplication()
{
    // Lives as long as the program; scripts cannot free it (no owner, not
    // made by a script).
    static TApplication *app = new TApplication;
    return app;
}

// ---- registration ----------------------------------------------------------------------

namespace {

struct FormInfos {
    const KsClassInfo *Control, *WinControl, *CustomControl, *GraphicControl, *GroupBox, *Label, *Edit, *Memo,
            *CustomComboBox, *ComboBox, *Button, *CheckBox, *RadioButton, *CustomListBox, *ListBox, *ControlScrollBar,
            *ScrollingWinControl, *ScrollBox, *CustomForm, *Form, *DataModule, *Application, *Panel;
};

const FormInfos &Infos()
{
    static const FormInfos f = [] {
        ksClassesInfo();
        ksRegisterClass<TFont>();
        FormInfos i{};
        i.Control = ksRegisterClass(&TControl::staticMetaObject);
        i.WinControl = ksRegisterClass<TWinControl>();
        i.CustomControl = ksRegisterClass<TCustomControl>();
        i.GraphicControl = ksRegisterClass<TGraphicControl>();
        i.GroupBox = ksRegisterClass<TGroupBox>();
        i.Label = ksRegisterClass<TLabel>();
        i.Edit = ksRegisterClass<TEdit>();
        i.Memo = ksRegisterClass<TMemo>();
        i.CustomComboBox = ksRegisterClass<TCustomComboBox>();
        i.ComboBox = ksRegisterClass<TComboBox>();
        i.Button = ksRegisterClass<TButton>();
        i.CheckBox = ksRegisterClass<TCheckBox>();
        i.RadioButton = ksRegisterClass<TRadioButton>();
        i.CustomListBox = ksRegisterClass<TCustomListBox>();
        i.ListBox = ksRegisterClass<TListBox>();
        i.ControlScrollBar = ksRegisterClass<TControlScrollBar>();
        i.ScrollingWinControl = ksRegisterClass<TScrollingWinControl>();
        i.ScrollBox = ksRegisterClass<TScrollBox>();
        i.CustomForm = ksRegisterClass<TCustomForm>();
        i.Form = ksRegisterClass<TForm>();
        i.DataModule = ksRegisterClass<TDataModule>();
        i.Application = ksRegisterClass(&TApplication::staticMetaObject);
        i.Panel = ksRegisterClass<TPanel>();
        return i;
    }();
    return f;
}

TksEventAttach Attach()
{
    return [](QObject *inst, const QString &name, TksCustomEvent *adapter) {
        if (auto *c = qobject_cast<TControl *>(inst)) c->SetEvent(name, adapter);
    };
}

void Events(TksClassVariable *c, std::initializer_list<const char *> names)
{
    if (!c) return;
    for (const char *n : names) c->AddEvent(QLatin1String(n), Attach());
}

}  // namespace

TksFormsFunctions::TksFormsFunctions(TksScript *s) : TksRTTIModule(s)
{
    static const struct {
        const char *Name;
        int Value;
    } consts[] = {
            {"mrNone", 0},        {"mrOk", 1},         {"mrCancel", 2},      {"mrAbort", 3},      {"mrRetry", 4},
            {"mrIgnore", 5},      {"mrYes", 6},        {"mrNo", 7},          {"mrAll", 8},        {"mrNoToAll", 9},
            {"mrYesToAll", 10},   {"crDefault", 0},    {"crNone", -1},       {"crArrow", -2},     {"crCross", -3},
            {"crIBeam", -4},      {"crSize", -22},     {"crSizeNESW", -6},   {"crSizeNS", -7},    {"crSizeNWSE", -8},
            {"crSizeWE", -9},     {"crUpArrow", -10},  {"crHourGlass", -11}, {"crDrag", -12},     {"crNoDrop", -13},
            {"crHSplit", -14},    {"crVSplit", -15},   {"crMultiDrag", -16}, {"crSQLWait", -17},  {"crNo", -18},
            {"crAppStart", -19},  {"crHelp", -20},     {"crHandPoint", -21}, {"crSizeAll", -22},  {"bsNone", 0},
            {"bsSingle", 1},      {"bsSizeable", 2},   {"bsDialog", 3},      {"bsToolWindow", 4}, {"bsSizeToolWin", 5},
            {"VK_RBUTTON", 2},    {"VK_CANCEL", 3},    {"VK_MBUTTON", 4},    {"VK_BACK", 8},      {"VK_TAB", 9},
            {"VK_RETURN", 13},    {"VK_SHIFT", 16},    {"VK_CONTROL", 17},   {"VK_MENU", 18},     {"VK_PAUSE", 19},
            {"VK_CAPITAL", 20},   {"VK_ESCAPE", 27},   {"VK_SPACE", 32},     {"VK_PRIOR", 33},    {"VK_NEXT", 34},
            {"VK_END", 35},       {"VK_HOME", 36},     {"VK_LEFT", 37},      {"VK_UP", 38},       {"VK_RIGHT", 39},
            {"VK_DOWN", 40},      {"VK_INSERT", 45},   {"VK_DELETE", 46},    {"VK_HELP", 47},     {"VK_LWIN", 91},
            {"VK_RWIN", 92},      {"VK_APPS", 93},     {"VK_MULTIPLY", 106}, {"VK_ADD", 107},     {"VK_SEPARATOR", 108},
            {"VK_SUBTRACT", 109}, {"VK_DECIMAL", 110}, {"VK_DIVIDE", 111},   {"VK_NUMLOCK", 144}, {"VK_SCROLL", 145}};
    const QString integer = QStringLiteral("Integer");
    for (const auto &c : consts) s->AddConst(QLatin1String(c.Name), integer, KsValue(c.Value));
    for (int i = 0; i <= 9; ++i) s->AddConst(QStringLiteral("VK_NUMPAD%1").arg(i), integer, KsValue(96 + i));
    for (int i = 1; i <= 12; ++i) s->AddConst(QStringLiteral("VK_F%1").arg(i), integer, KsValue(111 + i));
    for (const char *t : {"TFormBorderStyle", "TBorderStyle", "TAlignment", "TLeftRight"})
        s->AddType(QLatin1String(t), tcInteger);
    s->AddConst(QStringLiteral("taLeftJustify"), integer, KsValue(0));
    s->AddConst(QStringLiteral("taRightJustify"), integer, KsValue(1));
    s->AddConst(QStringLiteral("taCenter"), integer, KsValue(2));
    s->AddEnumSet(QStringLiteral("TShiftState"),
                  QStringLiteral("ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble"));
    s->AddEnum(QStringLiteral("TAlign"), QStringLiteral("alNone, alTop, alBottom, alLeft, alRight, alClient"));
    s->AddEnum(QStringLiteral("TMouseButton"), QStringLiteral("mbLeft, mbRight, mbMiddle"));
    s->AddEnumSet(QStringLiteral("TAnchors"), QStringLiteral("akLeft, akTop, akRight, akBottom"));
    s->AddEnum(QStringLiteral("TBevelCut"), QStringLiteral("bvNone, bvLowered, bvRaised, bvSpace"));
    s->AddEnum(QStringLiteral("TTextLayout"), QStringLiteral("tlTop, tlCenter, tlBottom"));
    s->AddEnum(QStringLiteral("TEditCharCase"), QStringLiteral("ecNormal, ecUpperCase, ecLowerCase"));
    s->AddEnum(QStringLiteral("TScrollStyle"), QStringLiteral("ssNone, ssHorizontal, ssVertical, ssBoth"));
    s->AddEnum(QStringLiteral("TComboBoxStyle"),
               QStringLiteral("csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable"));
    s->AddEnum(QStringLiteral("TCheckBoxState"), QStringLiteral("cbUnchecked, cbChecked, cbGrayed"));
    s->AddEnum(QStringLiteral("TListBoxStyle"), QStringLiteral("lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable"));
    s->AddEnum(QStringLiteral("TWindowState"), QStringLiteral("wsNormal, wsMinimized, wsMaximized"));
    s->AddEnum(QStringLiteral("TFormStyle"), QStringLiteral("fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop"));
    s->AddEnumSet(QStringLiteral("TBorderIcons"), QStringLiteral("biSystemMenu, biMinimize, biMaximize, biHelp"));
    s->AddEnum(QStringLiteral("TPosition"),
               QStringLiteral(
                       "poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter"));
    s->AddEnum(QStringLiteral("TCloseAction"), QStringLiteral("caNone, caHide, caFree, caMinimize"));

    const FormInfos &i = Infos();
    const FormInfos *ip = &i;
    Binder<TControl> control(s->AddClass(i.Control, QStringLiteral("TComponent")));
    control.Property(
                   QStringLiteral("Parent"), QStringLiteral("TWinControl"),
                   [](TControl *c) { return Obj(c->Parent()); },
                   [ip](TControl *c, const KsValue &v) {
                       QObject *p = v.IsIntegral() && v.ToInt64() == 0 ? nullptr : v.ToObject(ip->WinControl);
                       c->SetParent(static_cast<TWinControl *>(p));
                   })
            .Method(QStringLiteral("procedure Hide"),
                    [](TControl *c, TksMethodHelper *) {
                        c->SetVisible(false);
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Show"),
                    [](TControl *c, TksMethodHelper *) {
                        c->SetVisible(true);
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure SetBounds(ALeft, ATop, AWidth, AHeight: Integer)"),
                    [](TControl *c, TksMethodHelper *h) {
                        c->SetBounds(IntArg(h, 0), IntArg(h, 1), IntArg(h, 2), IntArg(h, 3));
                        return Nothing();
                    });
    Events(control.C, {"OnCanResize", "OnClick", "OnDblClick", "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnResize"});
    Binder<TWinControl> win(s->AddClass(i.WinControl, QStringLiteral("TControl")));
    win.Method(QStringLiteral("procedure SetFocus"), [](TWinControl *c, TksMethodHelper *) {
        c->SetFocus();
        return Nothing();
    });
    Events(win.C, {"OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp"});
    s->AddClass(i.CustomControl, QStringLiteral("TWinControl"));
    s->AddClass(i.GraphicControl, QStringLiteral("TControl"));
    s->AddClass(i.GroupBox, QStringLiteral("TWinControl"));
    s->AddClass(i.Label, QStringLiteral("TControl"));
    Events(s->AddClass(i.Edit, QStringLiteral("TWinControl")), {"OnChange"});
    Events(s->AddClass(i.Memo, QStringLiteral("TWinControl")), {"OnChange"});
    Binder<TCustomComboBox> combo(s->AddClass(i.CustomComboBox, QStringLiteral("TWinControl")));
    combo.Property(
                 QStringLiteral("DroppedDown"), QStringLiteral("Boolean"),
                 [](TCustomComboBox *c) { return KsValue(c->DroppedDown()); },
                 [](TCustomComboBox *c, const KsValue &v) { c->SetDroppedDown(v.ToBool()); })
            .Property(
                    QStringLiteral("ItemIndex"), integer, [](TCustomComboBox *c) { return KsValue(c->ItemIndex()); },
                    [](TCustomComboBox *c, const KsValue &v) { c->SetItemIndex(v.ToInt()); });
    Events(combo.C, {"OnChange", "OnDropDown", "OnCloseUp"});
    s->AddClass(i.ComboBox, QStringLiteral("TCustomComboBox"));
    s->AddClass(i.Button, QStringLiteral("TWinControl"));
    s->AddClass(i.CheckBox, QStringLiteral("TWinControl"));
    s->AddClass(i.RadioButton, QStringLiteral("TWinControl"));
    Binder<TCustomListBox>(s->AddClass(i.CustomListBox, QStringLiteral("TWinControl")))
            .Property(
                    QStringLiteral("ItemIndex"), integer, [](TCustomListBox *c) { return KsValue(c->ItemIndex()); },
                    [](TCustomListBox *c, const KsValue &v) { c->SetItemIndex(v.ToInt()); })
            .Property(QStringLiteral("SelCount"), integer, [](TCustomListBox *c) { return KsValue(c->SelCount()); })
            .Indexed(
                    QStringLiteral("Selected"), integer, QStringLiteral("Boolean"),
                    [](TCustomListBox *c, TksMethodHelper *h) { return KsValue(c->Selected(IntArg(h, 0))); },
                    [](TCustomListBox *c, TksMethodHelper *h, const KsValue &v) {
                        c->SetSelected(IntArg(h, 0), v.ToBool());
                    });
    s->AddClass(i.ListBox, QStringLiteral("TCustomListBox"));
    s->AddClass(i.ControlScrollBar, QStringLiteral("TPersistent"));
    s->AddClass(i.ScrollingWinControl, QStringLiteral("TWinControl"));
    s->AddClass(i.ScrollBox, QStringLiteral("TScrollingWinControl"));
    Binder<TCustomForm> form(s->AddClass(i.CustomForm, QStringLiteral("TScrollingWinControl")));
    form.Method(QStringLiteral("procedure Close"),
                [](TCustomForm *f, TksMethodHelper *) {
                    f->Close();
                    return Nothing();
                })
            .Method(QStringLiteral("procedure Hide"),
                    [](TCustomForm *f, TksMethodHelper *) {
                        f->Hide();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Show"),
                    [](TCustomForm *f, TksMethodHelper *) {
                        f->Show();
                        return Nothing();
                    })
            .Method(QStringLiteral("function ShowModal: Integer"),
                    [](TCustomForm *f, TksMethodHelper *) { return KsValue(f->ShowModal()); });
    Events(form.C, {"OnActivate", "OnClose", "OnCloseQuery", "OnCreate", "OnDestroy", "OnDeactivate", "OnHide",
                    "OnPaint", "OnShow"});
    form.Property(QStringLiteral("Canvas"), QStringLiteral("TCanvas"), [](TCustomForm *f) { return Obj(f->Canvas()); })
            .Property(
                    QStringLiteral("ModalResult"), integer, [](TCustomForm *f) { return KsValue(f->ModalResult()); },
                    [](TCustomForm *f, const KsValue &v) { f->SetModalResult(v.ToInt()); });
    s->AddClass(i.Form, QStringLiteral("TCustomForm"));
    s->AddClass(i.DataModule, QStringLiteral("TComponent"));
    Binder<TApplication>(s->AddClass(i.Application, QStringLiteral("TComponent")))
            .Method(QStringLiteral("procedure Minimize"),
                    [](TApplication *a, TksMethodHelper *) {
                        a->Minimize();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure ProcessMessages"),
                    [](TApplication *a, TksMethodHelper *) {
                        a->ProcessMessages();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Restore"),
                    [](TApplication *a, TksMethodHelper *) {
                        a->Restore();
                        return Nothing();
                    })
            .Property(QStringLiteral("ExeName"), QStringLiteral("String"),
                      [](TApplication *a) { return KsValue(a->ExeName()); });
    s->AddClass(i.Panel, QStringLiteral("TCustomControl"));
    s->AddObject(QStringLiteral("Application"), ksApplication());
}
