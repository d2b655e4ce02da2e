#include "core/BImage.h"

#include "core/FileDialogs.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "platform/image/jpeg.h"
#include "platform/safefile.h"
#include "platform/ui/application.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QFile>
#include <QHBoxLayout>
#include <QVBoxLayout>

TfrmBImage::TfrmBImage(QWidget *parent) : ui::Form(parent)
{
    frmBImage = this;
    myFolder = frmMain ? frmMain->myFolder : velmora::programFolder();
    setWindowTitle(QStringLiteral("更改背景"));
    resize(480, 150);
    GroupBox1 = new QGroupBox(QStringLiteral("选择背景"), this);
    Label1 = new QLabel(QStringLiteral("选择背景："), GroupBox1);
    Edit1 = ui::lineEdit(GroupBox1);
    BitBtn4 = ui::button(GroupBox1, QStringLiteral("打开"), [this] { BitBtn4Click(); });
    auto *row = new QHBoxLayout(GroupBox1);
    row->addWidget(Label1);
    row->addWidget(Edit1, 1);
    row->addWidget(BitBtn4);
    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    BitBtn3 = ui::button(this, QStringLiteral("清除"), [this] { BitBtn3Click(); });
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2, BitBtn3}));
}

TfrmBImage::~TfrmBImage()
{
    if (frmBImage == this) frmBImage = nullptr;
}

void TfrmBImage::BitBtn4Click()
{
    Edit1->setText(velmora::chooseOpenFile(this, QStringLiteral("打开"), QStringLiteral("*.jpg")));
}

void TfrmBImage::BitBtn1Click()
{
    const QString source = Edit1->text().trimmed();
    if (source.isEmpty()) return;
    // The bytes are read once, checked as a picture and written as read:
    // a file that is not a readable JPEG never replaces the current picture.
    QFile in(source);
    QByteArray data;
    if (in.open(QIODevice::ReadOnly)) data = in.readAll();
    QString why = in.errorString();
    const QImage picture = data.isEmpty() ? QImage() : vplatform::decodeJpeg(data, &why);
    if (picture.isNull()) {
        ui::show({QStringLiteral("所选图片无法读取，背景图没有更改！"), ui::appTitle(), ui::Icon::Warning,
                  ui::Buttons::Ok, source + QLatin1Char('\n') + why},
                 this);
        return;
    }
    QString error;
    if (!vplatform::saveFileSafely(picturePath(), data, &error)) {
        ui::show({QStringLiteral("背景图保存失败！"), ui::appTitle(), ui::Icon::Warning, ui::Buttons::Ok, error},
                 this);
        return;
    }
    if (frmMain && frmMain->myFolder == myFolder) frmMain->Image1->setPicture(picture);
    ui::showMessage(QStringLiteral("背景图保存成功！请退出软件后重新登录！"), this);
    accept();
}

void TfrmBImage::BitBtn3Click()
{
    if (ui::show({QStringLiteral("确认要清除背景图吗？该清除将不可恢复！"), QStringLiteral("清除"), ui::Icon::Question,
                  ui::Buttons::YesNo},
                 this) != ui::Answer::Yes)
        return;
    QFile file(picturePath());
    if (file.exists() && !file.remove()) {
        ui::show({QStringLiteral("背景图清除失败！"), ui::appTitle(), ui::Icon::Warning, ui::Buttons::Ok,
                  picturePath() + QLatin1Char('\n') + file.errorString()},
                 this);
        return;
    }
    if (frmMain && frmMain->myFolder == myFolder) frmMain->Image1->setPicture(QImage());
    ui::showMessage(QStringLiteral("背景图清除成功！请退出软件后重新登录！"), this);
    accept();
}

// ---------------------------------------------------------------- about box

TfrmAbout::TfrmAbout(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(QStringLiteral("关于"));
    ProductName = new QLabel(velmora::kAppTitle, this);
    QFont big = ProductName->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    ProductName->setFont(big);
    Shop = new QLabel(QStringLiteral("使用单位：") + myDeptName, this);
    Version = new QLabel(QStringLiteral("版        本：") + myVersion + QStringLiteral("  ") + myEdition, this);
    Site = new QLabel(QStringLiteral("网        址：www.velmora.example"), this);
    OKButton = ui::button(this, QStringLiteral("确定"), [this] { accept(); });
    setDefaultButton(OKButton);
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(30, 20, 30, 14);
    main->setSpacing(10);
    for (QLabel *l : {ProductName, Shop, Version, Site}) main->addWidget(l);
    main->addLayout(ui::buttonRow({OKButton}));
}
