// A JPEG picture a report script saves replaces the old file only when whole.

#include "child_writes.h"

#include "report/lyrclass.h"
#include "report/lyrclassrtti.h"
#include "report/lyrvariables.h"
#include "script/ks_iinterpreter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

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
