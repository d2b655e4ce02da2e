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
            {"TFileStream", ".bin",
             "S := TFileStream.Create(F, fmCreate); L := TStringList.Create; L.Add('new'); L.SaveToStream(S); "
             "S.Free; L.Free"},
    };
    for (const auto &saver : savers) {
        SCOPED_TRACE(saver.what);
        expectNoTrapCatches(QString::fromLatin1(saver.suffix), inProcess([&](const QString &target) {
                                const QString script =
                                        QStringLiteral("var L: TStringList; M: TMemoryStream; B: TBitmap; "
                                                       "P: TPicture; S: TFileStream; F: string;\n"
                                                       "begin\n  F := '%1';\n"
                                                       "  try %2; Out('saved') except Out(ExceptionMessage) end;\n"
                                                       "end.")
                                                .arg(target, QString::fromLatin1(saver.save));
                                const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
                                return WriteOutcome{out == QStringList{"saved"}, out.join(u'\n')};
                            }));
    }
}

// A file a script creates as a stream is written beside the old one: until
// the stream is freed the old file is whole, what was written can be read
// back, and freeing it puts the new file in place and leaves no part file.
TEST(KsSaveToFile, ACreatedFileStreamReplacesTheFileWhenFreed)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("s.bin"));
    ASSERT_TRUE(putFile(file, "old content"));
    const QString script = QStringLiteral(
                                   "var S: TFileStream; L: TStringList; M: TMemoryStream;\n"
                                   "begin\n"
                                   "  S := TFileStream.Create('%1', fmCreate);\n"
                                   "  L := TStringList.Create; L.Add('first'); L.Add('second'); L.SaveToStream(S);\n"
                                   "  Out(IntToStr(S.Size));\n"
                                   "  S.Position := 0; L.Clear; L.LoadFromStream(S); Out(L[1]);\n"
                                   "  M := TMemoryStream.Create; M.LoadFromFile('%1'); Out(IntToStr(M.Size)); M.Free;\n"
                                   "  S.Free;\n"
                                   "  M := TMemoryStream.Create; M.LoadFromFile('%1'); Out(IntToStr(M.Size)); M.Free;\n"
                                   "  L.Free;\n"
                                   "end.")
                                   .arg(file);
    const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
    const QByteArray written = fileBytes(file);
    EXPECT_TRUE(written.startsWith("first") && written.contains("second")) << written.toStdString();
    const QString size = QString::number(written.size());
    EXPECT_EQ(out, QStringList({size, QStringLiteral("second"), QStringLiteral("11"), size}));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("s.bin")});
}

// A created file stream whose writing failed (a full disk) never replaces
// the old file: freeing it raises the write error, and no part file stays.
TEST(KsSaveToFile, AFileStreamWhoseWritingFailedKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("f.bin"));
    const QByteArray old("old");
    ASSERT_TRUE(putFile(file, old));
    const QString script = QStringLiteral(
                                   "var S: TFileStream; M: TMemoryStream; i: Integer;\n"
                                   "begin\n"
                                   "  S := TFileStream.Create('%1', fmCreate);\n"
                                   "  M := TMemoryStream.Create;\n"
                                   "  for i := 1 to 2000 do M.Write('0123456789', 10);\n"
                                   "  try for i := 1 to 100 do begin M.Position := 0; S.CopyFrom(M, M.Size) end;\n"
                                   "    Out('written') except Out(ExceptionClassName) end;\n"
                                   "  try S.Free; Out('freed') except Out(ExceptionClassName) end;\n"
                                   "  M.Free;\n"
                                   "end.")
                                   .arg(file);
    EXPECT_EQ(onFullDisk(64 * 1024,
                         [&] {
                             const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
                             return out == QStringList({"EWriteError", "EWriteError"}) ? 0 : 2;
                         }),
              0);
    EXPECT_EQ(fileBytes(file), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("f.bin")});
}

// A pipe is no file to read or to open for writing: refused at once, named,
// and the script goes on.
TEST(KsSaveToFile, APipeIsRefusedNotWaitedOn)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString script = QStringLiteral(
                                   "var L: TStringList; S: TFileStream; M: TMemoryStream;\n"
                                   "begin\n"
                                   "  L := TStringList.Create; M := TMemoryStream.Create;\n"
                                   "  try L.LoadFromFile('%1'); Out('read') except Out(ExceptionMessage) end;\n"
                                   "  try M.LoadFromFile('%1'); Out('read') except Out(ExceptionMessage) end;\n"
                                   "  try S := TFileStream.Create('%1', fmOpenWrite); Out('opened') "
                                   "except Out(ExceptionMessage) end;\n"
                                   "  try S := TFileStream.Create('%1', fmOpenRead); Out('opened') "
                                   "except Out(ExceptionMessage) end;\n"
                                   "  L.Free; M.Free;\n"
                                   "end.")
                                   .arg(fifo);
    const QStringList out = ksRunScript(script, QStringLiteral("PascalScript")).Output;
    ASSERT_EQ(out.size(), 4) << out.join(u'\n').toStdString();
    for (const QString &line : out)
        EXPECT_TRUE(line.contains(fifo) && line.contains(QStringLiteral("不是普通文件"))) << line.toStdString();
}
