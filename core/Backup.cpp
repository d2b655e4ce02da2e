#include "core/Backup.h"

#include "core/FileDialogs.h"
#include "core/Schema.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/db/backup.h"
#include "platform/ui/application.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QDir>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// A failure message with the reason under "详细信息".
void failed(const QString &text, const velmora::Error &e, QWidget *parent)
{
    ui::show({text, ui::appTitle(), ui::Icon::Warning, ui::Buttons::Ok,
              e.detail().isEmpty() ? e.message() : e.message() + QLatin1Char('\n') + e.detail()},
             parent);
}

}  // namespace

TfrmDbCopy::TfrmDbCopy(const QString &caption, const QStringList &hints, const QString &fieldLabel,
                       const QString &action, QWidget *parent)
    : ui::Form(parent)
{
    setWindowTitle(caption);
    resize(520, 220);
    auto *main = new QVBoxLayout(this);
    for (const QString &h : hints) {
        Hints << ui::note(this, h);
        main->addWidget(Hints.back());
    }
    GroupBox1 = new QGroupBox(this);
    Label1 = new QLabel(fieldLabel, GroupBox1);
    Edit1 = ui::lineEdit(GroupBox1);
    BitBtn3 = ui::button(GroupBox1, QStringLiteral("选择路径"), [this] { BitBtn3Click(); });
    auto *row = new QHBoxLayout(GroupBox1);
    row->addWidget(Label1);
    row->addWidget(Edit1, 1);
    row->addWidget(BitBtn3);
    main->addWidget(GroupBox1);
    BitBtn1 = ui::button(this, action, [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2}));
}

// ---------------------------------------------------------------- backup

TfrmBackup::TfrmBackup(QWidget *parent)
    : TfrmDbCopy(QStringLiteral("数据备份"),
                 {QStringLiteral("单击[选择路径]按钮选择正确备份路径，再单击[备份]按钮即可。")},
                 QStringLiteral("选择备份路径："), QStringLiteral("备份"), parent)
{
    frmBackup = this;
}

TfrmBackup::~TfrmBackup()
{
    if (frmBackup == this) frmBackup = nullptr;
}

void TfrmBackup::BitBtn3Click()
{
    const QString folder = velmora::chooseFolder(this, QStringLiteral("选择备份路径："));
    Edit1->setText(folder.isEmpty()
                           ? QString()
                           : QDir::toNativeSeparators(QDir(folder).filePath(myLoginDate + QStringLiteral(".edb"))));
}

void TfrmBackup::BitBtn1Click()
{
    const QString target = Edit1->text().trimmed();
    if (target.isEmpty()) return ui::showMessage(QStringLiteral("路径不能为空！"), this);
    try {
        vdb::backupDatabase(db(), QDir::fromNativeSeparators(target), velmora::databaseKey());
        ui::showMessage(QStringLiteral("数据备份成功！"), this);
        accept();
    } catch (const velmora::Error &e) {
        failed(QStringLiteral("数据备份失败！"), e, this);
        reject();
    }
}

// ---------------------------------------------------------------- restore

TfrmRecover::TfrmRecover(QWidget *parent)
    : TfrmDbCopy(QStringLiteral("数据恢复"),
                 {QStringLiteral("注意：数据恢复容易造成数据丢失。"),
                  QStringLiteral("选择备份文件，单击 恢复 按钮，即可完成数据恢复操作。")},
                 QStringLiteral("选择备份文件："), QStringLiteral("恢复"), parent)
{
    frmRecover = this;
}

TfrmRecover::~TfrmRecover()
{
    if (frmRecover == this) frmRecover = nullptr;
}

void TfrmRecover::BitBtn3Click()
{
    Edit1->setText(QDir::toNativeSeparators(
            velmora::chooseOpenFile(this, QStringLiteral("打开数据备份文件"), QStringLiteral("EDB文件 (*.edb)"))));
}

void TfrmRecover::BitBtn1Click()
{
    const QString source = Edit1->text().trimmed();
    if (source.isEmpty()) return ui::showMessage(QStringLiteral("请选择备份文件"), this);
    const bool yes = ui::show({QStringLiteral("确认要恢复数据吗?"), QStringLiteral("恢复数据"), ui::Icon::Question,
                               ui::Buttons::YesNo},
                              this) == ui::Answer::Yes;
    if (yes) {
        try {
            // Into the open connection: its own file, exactly as it was opened.
            // Checked against the schema this version makes, not the live
            // file's (which an earlier fault may have changed).
            vdb::restoreDatabase(db(), QDir::fromNativeSeparators(source), velmora::databaseKey(),
                                 velmora::programSchema());
            // A backup of an older version is brought up to date as opening would.
            velmora::ensureIndexes(db());
            velmora::upgradePinyinCodes(db());
            velmora::FindDept();
            ui::showMessage(QStringLiteral("数据恢复成功！"), this);
        } catch (const velmora::Error &e) {
            failed(QStringLiteral("数据恢复失败！"), e, this);
        }
    }
    reject();
}
