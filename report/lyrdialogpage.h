#pragma once
// Dialog pages: a window the report shows before it is built, to ask for
// parameters. Its events run the report script's procedures of the names
// the page stores; its controls are dialog controls (the control classes a
// script can create are registered by the script bindings).

#include "report/lyrcomponent.h"

#include <QDialog>
#include <QPointer>

class TlyrDialogPage;

// The page's window: its events go to the page.
class TlyrDialogWindow : public QDialog {
    Q_OBJECT
public:
    explicit TlyrDialogWindow(TlyrDialogPage *page);

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

private:
    TlyrDialogPage *page_;
};

// A control on a dialog page: a component with a widget on the page's window.
class TlyrDialogControl : public TlyrReportComponent {
    Q_OBJECT
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_CLASSINFO("Default:Visible", "true")
public:
    Q_INVOKABLE explicit TlyrDialogControl(QObject *owner = nullptr);
    ~TlyrDialogControl() override;
    QWidget *Control() const { return control_.data(); }
    // Takes the widget and places it on the page's window.
    void SetControl(QWidget *w);
    void SetLeft(double v) override;
    void SetTop(double v) override;
    void SetWidth(double v) override;
    void SetHeight(double v) override;
    void SetVisible(bool v) override;
    void SetParent(TlyrComponent *value) override;

private:
    void place();
    QPointer<QWidget> control_;
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
    Q_CLASSINFO("Default:BorderStyle", "2")
    Q_CLASSINFO("Default:Color", "-16777201")
    Q_CLASSINFO("Default:Position", "4")
    Q_CLASSINFO("Default:WindowState", "0")
public:
    enum { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    enum { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter };
    enum { wsNormal, wsMinimized, wsMaximized };
    static constexpr int clBtnFace = int(0xFF00000F);

    Q_INVOKABLE explicit TlyrDialogPage(QObject *owner = nullptr);
    ~TlyrDialogPage() override;

    TlyrDialogWindow *Window() const { return window_; }
    int BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(int v) { borderStyle_ = v; }
    QString Caption() const { return caption_; }
    void SetCaption(const QString &v);
    int Color() const { return color_; }
    void SetColor(int v);
    int ModalResult() const { return window_->result(); }
    void SetModalResult(int v) { window_->done(v); }
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

    // Window events, each to the script procedure of its name.
    void notify(const QString &event);
    bool closeQuery();
    int keyEvent(const QString &event, int key, int shift);
    QString keyPress(const QString &key);
    void copyBoundsFromWindow();

private:
    void prepare();
    TlyrDialogWindow *window_;
    int borderStyle_ = bsSizeable;
    QString caption_;
    int color_ = clBtnFace;
    bool syncing_ = false;
};

void lyrRegisterDialogPageClasses();
