// The background picture window and the about box, driven as a user would.
#include "core/BImage.h"
#include "core/FileDialogs.h"
#include "core/Register.h"
#include "core/main.h"
#include "platform/image/jpeg.h"
#include "platform/ui/modal.h"
#include "shopdb.h"

#include <QAction>
#include <QFile>
#include <QMenu>

namespace {

class BImageTest : public ShopDbTest {
protected:
    void SetUp() override
    {
        ShopDbTest::SetUp();
        velmora::FindDept();
        main = std::make_unique<TfrmMain>();
        main->myFolder = dir.path() + "/";
        main->FormCreate();
    }
    void TearDown() override
    {
        main.reset();
        ShopDbTest::TearDown();
    }
    QString write(const QString &name, const QByteArray &data)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return f.fileName();
    }
    static QByteArray picture(QRgb colour)
    {
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(colour);
        return vplatform::encodeJpeg(img);
    }
    QByteArray bj()
    {
        QFile f(dir.filePath("bj.jpg"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::unique_ptr<TfrmMain> main;
};

TEST_F(BImageTest, APictureIsChosenSavedAndShown)
{
    const QByteArray red = picture(qRgb(200, 0, 0));
    const QString file = write("red.jpg", red);
    velmora::ScriptedFileDialogs files;
    TfrmBImage w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "更改背景");
    EXPECT_EQ(w.GroupBox1->title(), "选择背景");
    EXPECT_EQ(w.myFolder, main->myFolder);
    const int shown = msgs.count();
    w.BitBtn1->click();  // nothing chosen: nothing happens
    EXPECT_EQ(msgs.count(), shown);
    EXPECT_TRUE(w.isVisible());
    w.BitBtn4->click();  // cancelled
    EXPECT_EQ(w.Edit1->text(), "");
    files.answer(file);
    w.BitBtn4->click();
    EXPECT_EQ(files.asked(), QStringList({"打开|*.jpg", "打开|*.jpg"}));
    EXPECT_EQ(w.Edit1->text(), file);
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "背景图保存成功！请退出软件后重新登录！");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(bj(), red);
    EXPECT_FALSE(main->Image1->builtIn());
    EXPECT_EQ(main->Image1->picture().pixelColor(5, 5).red() > 150, true);
}

TEST_F(BImageTest, APictureThatCannotBeReadKeepsTheCurrentOneAndSaysSo)
{
    const QByteArray green = picture(qRgb(0, 200, 0));
    write("bj.jpg", green);
    main->Image1->setPicture(vplatform::decodeJpeg(green));
    const QByteArray red = picture(qRgb(200, 0, 0));
    const QStringList bad = {write("text.jpg", "not a picture"), write("cut.jpg", red.left(red.size() / 2)),
                             write("empty.jpg", {}), dir.filePath("missing.jpg")};
    for (const QString &file : bad) {
        SCOPED_TRACE(file.toStdString());
        TfrmBImage w;
        w.show();
        w.Edit1->setText(file);
        w.BitBtn1->click();
        EXPECT_EQ(msgs.last(), "所选图片无法读取，背景图没有更改！");
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(bj(), green);
        EXPECT_GT(main->Image1->picture().pixelColor(5, 5).green(), 150);
    }
}

TEST_F(BImageTest, ClearingAsksThenRemovesThePictureEvenWhenThereIsNone)
{
    write("bj.jpg", picture(qRgb(0, 0, 200)));
    main->Image1->setPicture(vplatform::decodeJpeg(bj()));
    {
        TfrmBImage w;
        w.show();
        msgs.answer(ui::Answer::No);
        w.BitBtn3->click();
        EXPECT_EQ(msgs.last(), "确认要清除背景图吗？该清除将不可恢复！");
        EXPECT_EQ(msgs.shown().back().caption, "清除");
        EXPECT_TRUE(QFile::exists(dir.filePath("bj.jpg")));
        EXPECT_TRUE(w.isVisible());
        w.BitBtn3->click();
        EXPECT_EQ(msgs.last(), "背景图清除成功！请退出软件后重新登录！");
        EXPECT_FALSE(QFile::exists(dir.filePath("bj.jpg")));
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(main->Image1->builtIn());
    }
    TfrmBImage w;
    w.show();
    w.BitBtn3->click();
    EXPECT_EQ(msgs.last(), "背景图清除成功！请退出软件后重新登录！");
}

TEST_F(BImageTest, TheMenuOpensTheBackgroundWithoutClosingAndTheAboutBoxShowsShopAndVersion)
{
    core::registerWindows();
    main->applyRight("012");
    QStringList opened;
    ui::ScriptedModals modals([&](QDialog *d) {
        opened << d->metaObject()->className();
        if (auto *about = qobject_cast<TfrmAbout *>(d)) {
            EXPECT_EQ(about->ProductName->text(), "Velmora会员管理软件");
            EXPECT_EQ(about->Shop->text(), "使用单位：Velmora会员店");
            EXPECT_TRUE(about->Version->text().contains("5.0.0.920"));
            about->OKButton->click();
            EXPECT_EQ(about->result(), QDialog::Accepted);
        }
        return 0;
    });
    emit main->helpMenu()->aboutToShow();
    EXPECT_TRUE(main->helpItem("关于... &A")->isEnabled());
    main->helpItem("关于... &A")->trigger();
    main->menuItem("012")->trigger();
    EXPECT_EQ(opened, QStringList({"TfrmAbout", "TfrmBImage"}));
}

}  // namespace
