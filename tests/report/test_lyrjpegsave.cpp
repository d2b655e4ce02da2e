// A JPEG picture a report script saves replaces the old file only when whole.

#include "child_writes.h"

#include "report/lyrclass.h"
#include "report/lyrclassrtti.h"
#include "report/lyrvariables.h"
#include "report/lyrview.h"
#include "script/ks_iinterpreter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>

TEST(lyrJPEGImage, SavedOnAFullDiskKeepsTheOldFile)
{
    lyrRegisterClassRTTI();
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("in.png"));
    QImage source(300, 300, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) source.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    ASSERT_TRUE(source.save(png));
    const QString out = dir.filePath(QStringLiteral("out.jpg"));
    const QByteArray old("old picture");
    ASSERT_TRUE(putFile(out, old));
    auto run = [&] {
        TksScript s;
        s.AddRTTI();
        // Saved from the picture as loaded, or the failure's message.
        s.Lines = QStringLiteral("var j: TJPEGImage;\nbegin\n  j := TJPEGImage.Create; j.LoadFromFile('%1');\n"
                                 "  try j.SaveToFile('%2'); lyrGlobalVariables['Saved'] := 'yes'\n"
                                 "  except lyrGlobalVariables['Saved'] := ExceptionMessage end;\n  j.Free;\nend.")
                          .arg(png, out)
                          .split(u'\n');
        if (!s.Compile()) return QStringLiteral("compile: ") + s.ErrorMsg;
        s.Execute();
        return lyrGlobalVariables().Variables(QStringLiteral("Saved")).toString();
    };
    EXPECT_EQ(onFullDisk(2048, [&] {
                  const QString said = run();
                  return said.contains(out) && said.contains(QStringLiteral("磁盘空间不足")) ? 0 : 2;
              }),
              0);
    EXPECT_EQ(fileBytes(out), old);
    EXPECT_EQ(filesIn(dir.path()), (QStringList{"in.png", "out.jpg"}));
    EXPECT_EQ(run(), QStringLiteral("yes"));
    EXPECT_EQ(QImage(out).width(), 300);
}

// A picture view's picture saved by a script: in the format its extension
// names (BMP when none), whole beside the target; a full disk keeps the old
// file and says why, a pipe is refused at once.
TEST(lyrPictureViewSave, SavesInTheNamedFormatAndKeepsTheOldFileOnFailure)
{
    lyrRegisterClassRTTI();
    QTemporaryDir dir;
    QImage img(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, qRgb(x % 256, y * 3 % 256, (x * y) % 256));
    TlyrReport report;
    auto *picture = new TlyrPictureView(&report);
    picture->SetName(QStringLiteral("Picture1"));
    {
        QByteArray bmp;
        QBuffer b(&bmp);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(img.save(&b, "BMP"));
        ASSERT_EQ(picture->LoadPictureFromStream(bmp), 0);
    }
    auto save = [&](const QString &target) {
        TksScript s;
        s.AddRTTI();
        s.AddObject(QStringLiteral("Picture1"), picture);
        s.Lines = QStringLiteral("begin\n  try Picture1.Picture.SaveToFile('%1'); lyrGlobalVariables['Saved'] := 'yes'\n"
                                 "  except lyrGlobalVariables['Saved'] := ExceptionMessage end;\nend.")
                          .arg(target)
                          .split(u'\n');
        if (!s.Compile()) return QStringLiteral("compile: ") + s.ErrorMsg;
        s.Execute();
        return lyrGlobalVariables().Variables(QStringLiteral("Saved")).toString();
    };
    const QByteArray old("old picture");
    const QString png = dir.filePath(QStringLiteral("out.png"));
    ASSERT_TRUE(putFile(png, old));
    EXPECT_EQ(onFullDisk(1024, [&] {
                  const QString said = save(png);
                  return said.contains(png) && said.contains(QStringLiteral("磁盘空间不足")) ? 0 : 2;
              }),
              0);
    EXPECT_EQ(fileBytes(png), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{"out.png"});

    const QString fifo = dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(save(fifo).contains(QStringLiteral("不是普通文件")));

    const QString jpg = dir.filePath(QStringLiteral("out.jpg")), none = dir.filePath(QStringLiteral("out"));
    for (const QString &target : {png, jpg, none}) EXPECT_EQ(save(target), QStringLiteral("yes")) << target.toStdString();
    EXPECT_TRUE(fileBytes(png).startsWith("\x89PNG"));
    EXPECT_TRUE(fileBytes(jpg).startsWith("\xFF\xD8\xFF"));
    EXPECT_TRUE(fileBytes(none).startsWith("BM"));
    EXPECT_EQ(QImage(png).size(), img.size());
    EXPECT_EQ(QImage(png).pixel(17, 33), img.pixel(17, 33));
    lyrGlobalVariables().Clear();
}
