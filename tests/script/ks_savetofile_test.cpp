// Pictures and lists a script saves replace the old file only when whole.

#include "file_traps.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

TEST(KsSaveToFile, APictureSavedOnAFullDiskKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.bmp"));
    const QByteArray old("old picture");
    ASSERT_TRUE(putFile(file, old));
    // A 400 x 400 bitmap is far beyond the limit, and beyond what the
    // writer holds before it writes.
    const QString script = QStringLiteral(
                                   "var B: TBitmap; P: TPicture;\n"
                                   "begin\n"
                                   "  B := TBitmap.Create; B.Width := 400; B.Height := 400;\n"
                                   "  try B.SaveToFile('%1'); Out('saved') except Out(ExceptionMessage) end;\n"
                                   "  P := TPicture.Create; P.Assign(B);\n"
                                   "  try P.SaveToFile('%1'); Out('saved') except Out(ExceptionMessage) end;\n"
                                   "  B.Free; P.Free;\n"
                                   "end.")
                                   .arg(file);
    const int status = onFullDisk(4096, [&] {
        const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
        if (out.size() != 2) return 3;
        for (const QString &line : out)
            if (!line.contains(file) || !line.contains(QStringLiteral("磁盘空间不足"))) return 2;
        // The disk's fault alone, not an encoder's guess after it.
        for (const QString &line : out)
            if (!line.endsWith(QStringLiteral("磁盘空间不足"))) return 4;
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fileBytes(file), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("p.bmp")});
    // With room the picture is written.
    const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
    EXPECT_EQ(out, QStringList({"saved", "saved"}));
    EXPECT_EQ(QImage(file).width(), 400);
}

TEST(KsSaveToFile, AListSavedOnAFullDiskKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("l.txt"));
    ASSERT_TRUE(putFile(file, "old"));
    const QString script = QStringLiteral(
                                   "var L: TStringList; i: Integer;\n"
                                   "begin\n"
                                   "  L := TStringList.Create;\n"
                                   "  for i := 1 to 2000 do L.Add('line ' + IntToStr(i));\n"
                                   "  try L.SaveToFile('%1'); Out('saved') except Out(ExceptionClassName) end;\n"
                                   "  L.Free;\n"
                                   "end.")
                                   .arg(file);
    EXPECT_EQ(onFullDisk(1024, [&] {
                  return ksRunScript(script, QStringLiteral("PascalScript")).Output == QStringList{"EFCreateError"}
                                 ? 0
                                 : 2;
              }),
              0);
    EXPECT_EQ(fileBytes(file), "old");
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("l.txt")});
}

// A list, a stream and a picture a script saves into a shared folder replace
// only the file meant.
TEST(KsSaveToFile, SavedFilesReplaceOnlyTheFileMeant)
{
    const struct {
        const char *what, *suffix, *save;
    } savers[] = {
            {"TStringList", ".txt", "L := TStringList.Create; L.Add('new'); L.SaveToFile(F); L.Free"},
            {"TMemoryStream", ".bin",
             "M := TMemoryStream.Create; L := TStringList.Create; L.Add('new'); L.SaveToStream(M); "
             "M.SaveToFile(F); M.Free; L.Free"},
            {"TPicture", ".bmp",
             "B := TBitmap.Create; B.Width := 4; B.Height := 4; P := TPicture.Create; P.Assign(B); "
             "P.SaveToFile(F); P.Free; B.Free"},
    };
    for (const auto &saver : savers) {
        SCOPED_TRACE(saver.what);
        expectNoTrapCatches(QString::fromLatin1(saver.suffix), inProcess([&](const QString &target) {
                                const QString script =
                                        QStringLiteral("var L: TStringList; M: TMemoryStream; B: TBitmap; "
                                                       "P: TPicture; F: string;\nbegin\n  F := '%1';\n"
                                                       "  try %2; Out('saved') except Out(ExceptionMessage) end;\n"
                                                       "end.")
                                                .arg(target, QString::fromLatin1(saver.save));
                                const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
                                return WriteOutcome{out == QStringList{"saved"}, out.join(u'\n')};
                            }));
    }
}
