// Forms and controls for scripts: thin wrappers over Qt widgets with the
// names scripts use, their events through event adapters, the key codes
// and shift states scripts see, and the binding module that publishes them.
//
// A wrapper owns its widget; putting a control on a parent (Parent) puts its
// widget into the parent's widget. Freeing the owner (the QObject parent)
// frees the controls it owns.
#pragma once

#include "script/ks_iclassesrtti.h"
#include "script/ks_igraphicsrtti.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class TksCustomEvent;

// Key codes and shift states as scripts see them.
int ksQtKeyToVirtualKey(int qtKey, Qt::KeyboardModifiers mods);
int ksVirtualKeyToQtKey(int vk);
int ksShiftState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = Qt::NoButton, bool dbl = false);

class TWinControl;

// Handlers that live outside any script: a report's dialog control names
// procedures of the report's script. Asked only for events without a
// script adapter; names are upper case, args exclude Sender.
struct KsHostEvents {
    std::function<bool(const QString &name)> Has;
    std::function<void(const QString &name, std::vector<KsValue> &args)> Run;
};

class TControl : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Name READ objectName WRITE setObjectName)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(TFont *Font READ Font)
public:
    ~TControl() override;
    QWidget *Widget() const { return FWidget; }
    int Left() const { return FWidget ? FWidget->x() : 0; }
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    int Top() const { return FWidget ? FWidget->y() : 0; }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    int Width() const { return FWidget ? FWidget->width() : 0; }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    int Height() const { return FWidget ? FWidget->height() : 0; }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
    // Asks OnCanResize first when the size changes; a size the user or the
    // window manager gives is asked too, and the handler's answer is applied.
    void SetBounds(int left, int top, int width, int height);
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    bool Enabled() const { return FWidget && FWidget->isEnabled(); }
    void SetEnabled(bool v)
    {
        if (FWidget) FWidget->setEnabled(v);
    }
    virtual QString Caption() const { return FCaption; }
    virtual void SetCaption(const QString &v) { FCaption = v; }
    QString Hint() const { return FWidget ? FWidget->toolTip() : QString(); }
    void SetHint(const QString &v)
    {
        if (FWidget) FWidget->setToolTip(v);
    }
    int Tag() const { return FTag; }
    void SetTag(int v) { FTag = v; }
    int Color() const { return FColor; }
    void SetColor(int v);
    TFont *Font() const { return FFont; }
    TWinControl *Parent() const { return FParent; }
    void SetParent(TWinControl *p);

    // Events: the script's adapters by event name (upper case); a cleared or
    // freed adapter is simply gone.
    void SetEvent(const QString &name, TksCustomEvent *adapter);
    void SetHostEvents(KsHostEvents host) { FHost = std::move(host); }
    bool HasEvent(const QString &name) const;
    // Runs the handler of the event with the arguments after Sender; var
    // arguments come back in `args`. False when there is no handler.
    bool Fire(const QString &name, std::vector<KsValue> &args);
    bool Fire(const QString &name)
    {
        std::vector<KsValue> none;
        return Fire(name, none);
    }

protected:
    TControl(QObject *owner, QWidget *widget);
    bool eventFilter(QObject *watched, QEvent *e) override;
    QPointer<QWidget> FWidget;

private:
    bool KeyEvent(QKeyEvent *e, bool down);
    bool KeyPress(QKeyEvent *e);
    bool Previewed(QKeyEvent *e, bool down);
    void MouseEvent(QMouseEvent *e, const QString &name);
    // OnCanResize for a change from `old`: false when the control went away
    // meanwhile; width and height become the size to keep.
    bool AskResize(const QSize &old, int &width, int &height);
    // A size that arrived from outside, corrected as OnCanResize says.
    bool Resized(const QSize &oldSize, const QSize &newSize);
    bool FSizing = false;  // a size this control set itself is not asked again
    // Sends a replacement event past this control's handlers.
    void Resend(QEvent *e);
    bool FResending = false;
    TFont *FFont;
    QPointer<TWinControl> FParent;
    QHash<QString, QPointer<TksCustomEvent>> FEvents;
    KsHostEvents FHost;
    QString FCaption;
    int FTag = 0;
    int FColor = -2147483633;  // clBtnFace
    bool FVisible = true;
};

class TWinControl : public TControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TWinControl(QObject *owner = nullptr) : TWinControl(owner, new QWidget) {}
    void SetFocus();

protected:
    TWinControl(QObject *owner, QWidget *w) : TControl(owner, w) {}
};

class TCustomControl : public TWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TCustomControl(QObject *owner = nullptr) : TWinControl(owner, new QWidget) {}

protected:
    using TWinControl::TWinControl;
};

class TGraphicControl : public TControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TGraphicControl(QObject *owner = nullptr) : TControl(owner, new QWidget) {}

protected:
    using TControl::TControl;
};

class TPanel : public TCustomControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPanel(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
};

class TGroupBox : public TWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TGroupBox(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
};

// A label fits its text unless AutoSize is off (with WordWrap only its
// height follows the text); Layout places the text vertically.
class TLabel : public TGraphicControl {
    Q_OBJECT
public:
    enum TTextLayout { tlTop, tlCenter, tlBottom };
    Q_ENUM(TTextLayout)

private:
    Q_PROPERTY(int Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(TTextLayout Layout READ Layout WRITE SetLayout)

public:
    Q_INVOKABLE explicit TLabel(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    int Alignment() const;  // taLeftJustify, taRightJustify, taCenter
    void SetAlignment(int v);
    bool WordWrap() const;
    void SetWordWrap(bool v);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool v);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout v);

private:
    void Fit();
    void Align();
    bool FAutoSize = true;
    TTextLayout FLayout = tlTop;
    int FAlignment = 0;
};

class TEdit : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Caption WRITE SetCaption)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QString PasswordChar READ PasswordChar WRITE SetPasswordChar)
public:
    Q_INVOKABLE explicit TEdit(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    int MaxLength() const;
    void SetMaxLength(int v);
    bool ReadOnly() const;
    void SetReadOnly(bool v);
    QString PasswordChar() const;
    void SetPasswordChar(const QString &v);
};

// Lines shown by a control: every change goes to the widget, and the
// control puts the user's changes back.
class TControlStrings : public TStrings {
    Q_OBJECT
public:
    explicit TControlStrings(QObject *parent, std::function<void(const QStringList &)> push)
        : TStrings(parent), FPush(std::move(push))
    {}
    // Takes the widget's lines without pushing them back.
    void Pull(const QStringList &lines);

protected:
    void Changed() override;

private:
    std::function<void(const QStringList &)> FPush;
    bool FPulling = false;
};

class TMemo : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Caption WRITE SetCaption)
    Q_PROPERTY(TStrings *Lines READ Lines)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
public:
    Q_INVOKABLE explicit TMemo(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    TStrings *Lines() const { return FLines; }
    bool ReadOnly() const;
    void SetReadOnly(bool v);
    bool WordWrap() const;
    void SetWordWrap(bool v);

private:
    TControlStrings *FLines;
};

class TCustomComboBox : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Caption WRITE SetCaption)
    Q_PROPERTY(TStrings *Items READ Items)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
public:
    Q_INVOKABLE explicit TCustomComboBox(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    TStrings *Items() const { return FItems; }
    int Style() const { return FStyle; }  // csDropDown, csSimple, csDropDownList ...
    void SetStyle(int v);
    int ItemIndex() const;
    void SetItemIndex(int v);
    bool DroppedDown() const;
    void SetDroppedDown(bool v);

private:
    TControlStrings *FItems;
    int FStyle = 0;
};

class TComboBox : public TCustomComboBox {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TComboBox(QObject *owner = nullptr) : TCustomComboBox(owner) {}
};

class TButton : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
public:
    Q_INVOKABLE explicit TButton(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int v) { FModalResult = v; }
    bool Default() const { return FDefault; }
    // Enter clicks the default button of its window, Esc the cancel button.
    void SetDefault(bool v);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool v);
    void Click();

private:
    int FModalResult = 0;
    bool FDefault = false, FCancel = false;
};

class TCheckBox : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(int State READ State WRITE SetState)
    Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE SetAllowGrayed)
public:
    Q_INVOKABLE explicit TCheckBox(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    bool Checked() const;
    void SetChecked(bool v);
    int State() const;  // cbUnchecked, cbChecked, cbGrayed
    void SetState(int v);
    bool AllowGrayed() const;
    void SetAllowGrayed(bool v);
};

class TRadioButton : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
public:
    Q_INVOKABLE explicit TRadioButton(QObject *owner = nullptr);
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    bool Checked() const;
    void SetChecked(bool v);
};

class TCustomListBox : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(TStrings *Items READ Items)
    Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
public:
    Q_INVOKABLE explicit TCustomListBox(QObject *owner = nullptr);
    TStrings *Items() const { return FItems; }
    bool MultiSelect() const;
    void SetMultiSelect(bool v);
    int ItemIndex() const;
    void SetItemIndex(int v);
    int SelCount() const;
    bool Selected(int index) const;
    void SetSelected(int index, bool v);

private:
    TControlStrings *FItems;
};

class TListBox : public TCustomListBox {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TListBox(QObject *owner = nullptr) : TCustomListBox(owner) {}
};

class TControlScrollBar : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(int Range READ Range WRITE SetRange)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
public:
    Q_INVOKABLE explicit TControlScrollBar(QObject *parent = nullptr) : TPersistent(parent) {}
    int Position() const { return FPosition; }
    void SetPosition(int v) { FPosition = v; }
    int Range() const { return FRange; }
    void SetRange(int v) { FRange = v; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }

private:
    int FPosition = 0, FRange = 0;
    bool FVisible = true;
};

class TScrollingWinControl : public TWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TScrollingWinControl(QObject *owner = nullptr) : TWinControl(owner, new QWidget) {}

protected:
    using TWinControl::TWinControl;
};

class TScrollBox : public TScrollingWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TScrollBox(QObject *owner = nullptr);
};

class KsFormDialog;

class TCustomForm : public TScrollingWinControl {
    Q_OBJECT
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(bool KeyPreview READ KeyPreview WRITE SetKeyPreview)
public:
    Q_INVOKABLE explicit TCustomForm(QObject *owner = nullptr);
    ~TCustomForm() override;
    QString Caption() const override;
    void SetCaption(const QString &v) override;
    void SetVisible(bool v) override;
    int BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(int v) { FBorderStyle = v; }
    int Position() const { return FPosition; }
    void SetPosition(int v) { FPosition = v; }
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool v) { FKeyPreview = v; }
    KsFormDialog *Dialog() const;
    TCanvas *Canvas() const { return FCanvas; }
    void Show();
    void Hide() { SetVisible(false); }
    // A modal form gets mrCancel; any other form asks its close query.
    void Close();
    int ShowModal();
    bool InModal() const { return FInModal; }
    int ModalResult() const { return FModalResult; }
    // A non-zero value ends a running ShowModal (when the close query allows).
    void SetModalResult(int v);
    // OnCloseQuery, then OnClose; false when the form stays open.
    bool CloseQuery();

private:
    friend class KsFormDialog;
    // The canvas draws on an image of the form's size, shown over the form's
    // background: OnPaint draws it anew at every paint; drawing at other
    // times shows until the next paint.
    void FitSurface();
    void Paint(QWidget *on);
    QImage FSurface;
    bool FInPaint = false, FDrawnOutside = false;
    // A script builds its form after creating it, so OnCreate runs once,
    // when the form is first shown.
    void Created();
    bool FCreated = false;
    TCanvas *FCanvas;
    int FBorderStyle = 2, FPosition = 0, FModalResult = 0;
    bool FKeyPreview = false, FInModal = false;
};

class TForm : public TCustomForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TForm(QObject *owner = nullptr) : TCustomForm(owner) {}
};

// The dialog behind a form: every way of closing it goes through the form's
// close query.
class KsFormDialog : public QDialog {
    Q_OBJECT
public:
    void SetForm(TCustomForm *form) { FForm = form; }
    void done(int r) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    QPointer<TCustomForm> FForm;
};

class TDataModule : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDataModule(QObject *owner = nullptr) : TComponent(owner) {}
};

class TApplication : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
public:
    explicit TApplication(QObject *owner = nullptr) : TComponent(owner) {}
    QString Title() const;
    void SetTitle(const QString &v);
    QString ExeName() const;
    void Minimize();
    void Restore();
    void ProcessMessages();
};
// Esc in a window: clicks its visible, enabled cancel button; false when
// it has none.
bool ksClickCancelButton(QWidget *window);

// When set, ShowModal asks it for the modal result instead of running the
// form (the command-line runner has nobody to answer a window).
std::function<int(TCustomForm *form)> &ksShowModalHook();

// The application object scripts see (one for the program).
TApplication *ksApplication();

class TksFormsFunctions : public TksRTTIModule {
public:
    explicit TksFormsFunctions(TksScript *script);
};
