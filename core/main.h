#pragma once
// The application frame: the MDI parent with the numbered main menu, the
// toolbar, the background picture and the status bar.  Menu items open
// their windows through the table of core/MenuOpeners.h.

#include "platform/db/db.h"

#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <array>
#include <functional>
#include <map>

class QAction;
class QLabel;
class QMenu;
class QMdiSubWindow;
class QStatusBar;
class QToolBar;
class QToolButton;
class QUrl;

namespace vplatform {
class SoundPlayer;
}

// The frame's client area: the MDI children over a picture that fills it.
class TBackground : public QMdiArea {
    Q_OBJECT
public:
    explicit TBackground(QWidget *parent = nullptr);
    // A null image brings back the built-in picture.
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    bool builtIn() const { return m_picture.isNull(); }
    // The built-in picture at a given size.
    static QImage builtInPicture(const QSize &size);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_picture;
    QImage m_scaled;  // the picture at the viewport's size, drawn by paintEvent
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Controls.
    QToolBar *ToolBar1 = nullptr;
    std::array<QToolButton *, 12> ToolButtons{};
    TBackground *Image1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    std::array<QLabel *, 5> Panels{};
    vplatform::SoundPlayer *MediaPlayer1 = nullptr;
    vdb::Query ADOQ_Menu, ADOQ_Sql;

    // The program's folder (with a trailing separator) where "bj.jpg",
    // "Music/1.mp3" and the help pages are looked for.
    QString myFolder;
    // Plays the reminder sound; true when it started.  Replaceable (tests).
    std::function<bool(const QString &path)> PlayReminder;

    // What the last FormShow found.
    int BirthdayCount = 0;
    int AnniversaryCount = 0;
    bool SoundStarted = false;

    // Menus: the seven numbered top menus, then the help menu.
    QMenu *topMenu(int top) const;
    QMenu *helpMenu() const { return m_help; }
    // The item at a menu number ("103"); nullptr when there is none.
    QAction *menuItem(const QString &mnum) const;
    // A help item by its caption ("关于... &A").
    QAction *helpItem(const QString &caption) const;
    QToolButton *toolButton(const QString &caption) const;
    QString panelText(int panel) const;

    // Handlers.
    void FormCreate();
    void FindDept();
    void FormShow();
    // True when the user agrees to end the program.
    bool FormCloseQuery();
    void myfrmClose();
    // Runs the menu item named by its number or, in the help menu, its caption.
    void ItemClick(const QString &key);
    // Makes a granted item and its top menu visible (rights are only added).
    void applyRight(const QString &mnum);
    // The user holds the right of the item at the menu number: it is visible.
    bool holdsRight(const QString &mnum) const;
    // Rebuilds the SMenu catalogue from the menu.
    void UpMenu();
    void mySaveMenu(const QString &MNum, const QString &MName);

    // For the openers: shows w as an MDI child that is freed when it closes;
    // with a flag, the flag is set while it is open and myfrmClose closes it.
    QMdiSubWindow *showMdiChild(QWidget *w, bool *openFlag);
    // The open list window of a flag, if any.
    QWidget *openWindow(const bool *openFlag) const;

    // "星期一" .. "星期日" with two leading blanks, Monday = 1.
    static QString weekdayText(int dayOfWeek);
    // Panel 2's text for a business date "yyyy-mm-dd".
    static QString dateLine(const QString &loginDate);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void enableRegistered(QMenu *menu);
    void enableToolButtons();
    void openHelp();
    QString helpPage() const;

    std::vector<QMenu *> m_tops;
    QMenu *m_help = nullptr;
    // The open list window of each flag.  `id` names the frame without
    // touching it, for when it is half destroyed.
    struct OpenChild {
        QPointer<QMdiSubWindow> frame;
        const QObject *id = nullptr;
    };
    std::map<const bool *, OpenChild> m_open;
    bool m_formShown = false;
    bool m_closing = false;
};

inline TfrmMain *frmMain = nullptr;

namespace velmora {

// Ends the event loop (and so the program).  Replaceable (tests).
void terminateApplication();
void setTerminateHandler(std::function<void()> handler);

// Opens a web address or local page in the default browser.  Replaceable (tests).
bool openUrl(const QUrl &url);
void setUrlOpener(std::function<bool(const QUrl &)> opener);

}  // namespace velmora
