#include "app/windows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "core/login.h"
#include "core/main.h"
#include "core/ScriptDialogs.h"
#include "platform/db/db.h"
#include "platform/error.h"
#include "platform/instance/singleinstance.h"
#include "platform/ui/application.h"
#include "platform/ui/messages.h"

#include <QFileInfo>
#include <memory>

int main(int argc, char **argv)
{
    ui::Application app(argc, argv);

    // One running copy per database: the lock lives beside the file, so a
    // second start by any user or from any session warns and ends before
    // any window.  A Data folder that cannot be written is told here.
    vplatform::SingleInstance guard(QStringLiteral("Member"), QFileInfo(velmora::databasePath()).absolutePath());
    if (!guard.acquire()) {
        if (!guard.failure().isEmpty()) {
            ui::error(guard.failure(), velmora::kAppTitle);
            return 1;
        }
        ui::warning(QStringLiteral("Velmora会员管理软件 已经打开了！"), QStringLiteral("警告"));
        return 0;
    }
    QApplication::setApplicationName(velmora::kAppTitle);
    ui::setAppTitle(velmora::kAppTitle);
    // The program ends when the login or the main window says so, not when
    // the login window hides.
    QApplication::setQuitOnLastWindowClosed(false);
    registerWindows();
    velmora::routeScriptDialogs();

    TfrmDM dm;
    std::unique_ptr<TfrmMain> mainWindow;
    std::unique_ptr<TfrmLogin> login;
    try {
        mainWindow = std::make_unique<TfrmMain>();
        mainWindow->FormCreate();  // creates Data/db.edb with its seed rows on first start
        login = std::make_unique<TfrmLogin>();
    } catch (const velmora::Error &) {
        // A database that cannot be opened or written is told now, before
        // anyone types a sale into it.
        ui::reportException(std::current_exception());
        return 1;
    }
    login->show();
    const int rc = QApplication::exec();
    login.reset();
    mainWindow.reset();
    return rc;
}
