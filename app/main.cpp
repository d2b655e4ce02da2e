#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/db/db.h"
#include "platform/instance/singleinstance.h"
#include "platform/ui/application.h"
#include "platform/ui/messages.h"

int main(int argc, char **argv)
{
    ui::Application app(argc, argv);

    // One running copy: a second start warns and ends before any window.
    vplatform::SingleInstance guard(QStringLiteral("Member"));
    if (!guard.acquire()) {
        ui::warning(QStringLiteral("Velmora会员管理软件 已经打开了！"), QStringLiteral("警告"));
        return 0;
    }
    QApplication::setApplicationName(velmora::kAppTitle);
    ui::setAppTitle(velmora::kAppTitle);

    TfrmDM dm;
    velmora::initSharedState();
    try {
        dm.ADOConnection1();  // creates Data/db.edb with its seed rows on first start
        velmora::FindDept();
    } catch (const vdb::DbError &e) {
        ui::error(e.message(), velmora::kAppTitle);
        return 1;
    }
    return 0;
}
