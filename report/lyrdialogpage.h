#pragma once
// Dialog pages: a window the report shows before it is built, to ask for
// parameters. Its events run the report script's procedures of the names
// the page stores; its controls are dialog controls (the control classes a
// script can create are registered by the script bindings).

#include "report/lyrcomponent.h"
#include "script/ks_iformsrtti.h"
#include "script/ksvalue.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <vector>

class TlyrCanvas;
class TlyrDialogPage;

// The page's window: its events go to the page.
class TlyrDialogForm : public QDialog {
    Q_OBJECT
public:
    explicit TlyrDialogForm(TlyrDialogPage *page);

protected:
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;

public:
    // The page sees its controls' keys first (the window previews them).
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    // True when the page's handlers swallowed the key.
    bool preview(QKeyEvent *e);
    TlyrDialogPage *page_;
    const QEvent *previewed_ = nullptr;
};

// A control on a dialog page: a component with a widget on the page's window
// (or on its parent control's widget). The concrete controls wrap the
// script's control classes; their events run the report script's
// procedures named by the On... properties.
class TlyrDialogControl : public TlyrReportComponent {
    Q_OBJECT
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(QString OnClick MEMBER OnClick)
    Q_PROPERTY(QString OnDblClick MEMBER OnDblClick)
    Q_PROPERTY(QString OnEnter MEMBER OnEnter)
    Q_PROPERTY(QString OnExit MEMBER OnExit)
    Q_PROPERTY(QString OnKeyDown MEMBER OnKeyDown)
    Q_PROPERTY(QString OnKeyPress MEMBER OnKeyPress)
    Q_PROPERTY(QString OnKeyUp MEMBER OnKeyUp)
    Q_PROPERTY(QString OnMouseDown MEMBER OnMouseDown)
    Q_PROPERTY(QString OnMouseMove MEMBER OnMouseMove)
    Q_PROPERTY(QString OnMouseUp MEMBER OnMouseUp)
    Q_CLASSINFO("Default:Visible", "true")
    Q_CLASSINFO("Default:Enabled", "true")
    Q_CLASSINFO("Default:GroupIndex", "0")
    Q_CLASSINFO("Default:ParentFont", "true")
public:
    Q_INVOKABLE explicit TlyrDialogControl(QObject *owner = nullptr);
    ~TlyrDialogControl() override;
    QWidget *Control() const { return control_.data(); }
    // The script control behind the widget (none for a bare control).
    TControl *ScriptControl() const { return script_.data(); }
    // Takes the widget and places it on the page's window.
    void SetControl(QWidget *w);
    void SetLeft(double v) override;
    void SetTop(double v) override;
    void SetWidth(double v) override;
    void SetHeight(double v) override;
    void SetVisible(bool v) override;
    void SetParent(TlyrComponent *value) override;
    void SetName(const QString &value) override;
    void FontChanged() override;
    // The control as it looks, at its place.
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    QString Hint() const { return hint_; }
    void SetHint(const QString &v);
    QString Caption() const;
    void SetCaption(const QString &v);

    QString OnClick, OnDblClick, OnEnter, OnExit, OnKeyDown, OnKeyPress, OnKeyUp, OnMouseDown, OnMouseMove, OnMouseUp,
            OnChange, OnDropDown, OnCloseUp;
    // The procedure named for an event ("ONCLICK"), empty when none.
    QString EventProcedure(const QString &upperName) const;

protected:
    TlyrDialogControl(QObject *owner, TControl *control);

private:
    void place();
    void runEvent(const QString &upperName, std::vector<KsValue> &args);
    QPointer<QWidget> control_;
    QPointer<TControl> script_;
    QStringList running_;
    QString hint_;
    bool enabled_ = true;
};

class TlyrLabelControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    Q_INVOKABLE explicit TlyrLabelControl(QObject *owner = nullptr);
};

class TlyrEditControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Caption WRITE SetCaption)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
    Q_CLASSINFO("Default:MaxLength", "0")
    Q_CLASSINFO("Default:ReadOnly", "false")
public:
    Q_INVOKABLE explicit TlyrEditControl(QObject *owner = nullptr);
    int MaxLength() const;
    void SetMaxLength(int v);
    bool ReadOnly() const;
    void SetReadOnly(bool v);
};

class TlyrMemoControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
    Q_CLASSINFO("Default:ReadOnly", "false")
public:
    Q_INVOKABLE explicit TlyrMemoControl(QObject *owner = nullptr);
    QStringList Lines() const;
    void SetLines(const QStringList &v);
    bool ReadOnly() const;
    void SetReadOnly(bool v);
};

class TlyrButtonControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_CLASSINFO("Default:ModalResult", "0")
    Q_CLASSINFO("Default:Default", "false")
    Q_CLASSINFO("Default:Cancel", "false")
public:
    Q_INVOKABLE explicit TlyrButtonControl(QObject *owner = nullptr);
    // Enter clicks the default button of the page, Esc the cancel button.
    bool Default() const;
    void SetDefault(bool v);
    bool Cancel() const;
    void SetCancel(bool v);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int v) { modalResult_ = v; }

private:
    int modalResult_ = 0;
};

class TlyrCheckBoxControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_CLASSINFO("Default:Checked", "false")
public:
    Q_INVOKABLE explicit TlyrCheckBoxControl(QObject *owner = nullptr);
    bool Checked() const;
    void SetChecked(bool v);
};

class TlyrRadioButtonControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_CLASSINFO("Default:Checked", "false")
public:
    Q_INVOKABLE explicit TlyrRadioButtonControl(QObject *owner = nullptr);
    bool Checked() const;
    void SetChecked(bool v);
};

// Combo and list boxes: their items travel with the template; scripts reach
// them as a string list.
class TlyrComboBoxControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(QString Text READ Caption WRITE SetCaption)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex STORED false)
    Q_PROPERTY(QString OnChange MEMBER OnChange)
    Q_PROPERTY(QString OnDropDown MEMBER OnDropDown)
    Q_PROPERTY(QString OnCloseUp MEMBER OnCloseUp)
    Q_CLASSINFO("Default:Style", "0")
public:
    Q_INVOKABLE explicit TlyrComboBoxControl(QObject *owner = nullptr);
    QStringList Items() const;
    void SetItems(const QStringList &v);
    int Style() const;
    void SetStyle(int v);
    int ItemIndex() const;
    void SetItemIndex(int v);
};

class TlyrListBoxControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex STORED false)
    Q_CLASSINFO("Default:MultiSelect", "false")
public:
    Q_INVOKABLE explicit TlyrListBoxControl(QObject *owner = nullptr);
    bool MultiSelect() const;
    void SetMultiSelect(bool v);
    QStringList Items() const;
    void SetItems(const QStringList &v);
    int ItemIndex() const;
    void SetItemIndex(int v);
};

class TlyrGroupBoxControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    Q_INVOKABLE explicit TlyrGroupBoxControl(QObject *owner = nullptr);
};

class TlyrPanelControl : public TlyrDialogControl {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    Q_INVOKABLE explicit TlyrPanelControl(QObject *owner = nullptr);
};

class TlyrDialogPage : public TlyrPage {
    Q_OBJECT
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Position MEMBER Position)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(int WindowState MEMBER WindowState)
    Q_PROPERTY(QString OnActivate MEMBER OnActivate)
    Q_PROPERTY(QString OnClick MEMBER OnClick)
    Q_PROPERTY(QString OnCloseQuery MEMBER OnCloseQuery)
    Q_PROPERTY(QString OnDeactivate MEMBER OnDeactivate)
    Q_PROPERTY(QString OnHide MEMBER OnHide)
    Q_PROPERTY(QString OnKeyDown MEMBER OnKeyDown)
    Q_PROPERTY(QString OnKeyPress MEMBER OnKeyPress)
    Q_PROPERTY(QString OnKeyUp MEMBER OnKeyUp)
    Q_PROPERTY(QString OnShow MEMBER OnShow)
    Q_PROPERTY(QString OnResize MEMBER OnResize)
    Q_PROPERTY(QString OnCreate MEMBER OnCreate)
    Q_PROPERTY(QString OnDestroy MEMBER OnDestroy)
    Q_CLASSINFO("Default:BorderStyle", "2")
    Q_CLASSINFO("Default:Color", "-16777201")
    Q_CLASSINFO("Default:Position", "4")
    Q_CLASSINFO("Default:WindowState", "0")
public:
    enum { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    enum { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter };
    enum { wsNormal, wsMinimized, wsMaximized };
    static constexpr int clBtnFace = int(0xFF00000F);
    static constexpr int mrOk = 1, mrCancel = 2;

    Q_INVOKABLE explicit TlyrDialogPage(QObject *owner = nullptr);
    ~TlyrDialogPage() override;

    TlyrDialogForm *Window() const { return window_; }
    int BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(int v) { borderStyle_ = v; }
    QString Caption() const { return caption_; }
    void SetCaption(const QString &v);
    int Color() const { return color_; }
    void SetColor(int v);
    int ModalResult() const { return window_->result(); }
    // A non-zero value ends the running ShowModal; 0 (or a hidden window)
    // only stores it.
    void SetModalResult(int v);
    void SetLeft(double v) override;
    void SetTop(double v) override;
    void SetWidth(double v) override;
    void SetHeight(double v) override;
    void FontChanged() override;
    QString GetDescription() const override;
    // Runs the window modally; its bounds come back into the page.
    int ShowModal();

    int Position = poScreenCenter;
    int WindowState = wsNormal;
    QString OnActivate, OnClick, OnCloseQuery, OnDeactivate, OnHide, OnKeyDown, OnKeyPress, OnKeyUp, OnShow, OnResize;
    // Run once before the page is first shown, and when a page that was
    // shown goes away (its controls still there).
    QString OnCreate, OnDestroy;

    // Window events, each to the script procedure of its name.
    void notify(const QString &event);
    bool closeQuery();
    int keyEvent(const QString &event, int key, int shift);
    QString keyPress(const QString &key);
    void copyBoundsFromWindow();

private:
    void prepare();
    TlyrDialogForm *window_;
    int borderStyle_ = bsSizeable;
    QString caption_;
    int color_ = clBtnFace;
    bool syncing_ = false;
    bool created_ = false;
};

void lyrRegisterDialogPageClasses();
