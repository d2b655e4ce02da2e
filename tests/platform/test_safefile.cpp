// Replacing a user's file only when the new one is whole: the shared writer
// and the Excel export that uses it.

#include "file_traps.h"

#include "platform/excel/excelreader.h"
#include "platform/excel/excelwriter.h"
#include "platform/safefile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>

using namespace vplatform;

namespace {

const excel::ExportLayout &stockLayout()
{
    static const excel::ExportLayout layout = excel::makeExportLayout(
            "TfrmKC", "商品库存查询", "商品库存表", "序号 4,商品分类 12,商品编码 10,商品名称 32", "商品编码", "");
    return layout;
}

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        target = dir.filePath(QStringLiteral("清单.txt"));
        ASSERT_TRUE(putFile(target, old));
    }
    QTemporaryDir dir;
    QString target;
    const QByteArray old = QByteArrayLiteral("old content\n");
};

}  // namespace

TEST_F(SafeFileTest, TheTargetChangesOnlyOnCommit)
{
    ::chmod(QFile::encodeName(target).constData(), 0640);
    {
        SafeFile f(target);
        ASSERT_TRUE(f.open());
        EXPECT_EQ(f.device().write("new content\n"), 12);
        EXPECT_EQ(fileBytes(target), old);
        // Given up (dropped without a commit): the old file stays, the part goes.
    }
    EXPECT_EQ(fileBytes(target), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("清单.txt")});

    SafeFile f(target);
    ASSERT_TRUE(f.open());
    // Beside the target, under a name of its own.
    EXPECT_EQ(QFileInfo(f.partName()).path(), dir.path());
    EXPECT_TRUE(f.partName().startsWith(target + u'.') && f.partName().endsWith(QStringLiteral(".part")));
    EXPECT_TRUE(QFileInfo::exists(f.partName()));
    f.device().write("new content\n");
    ASSERT_TRUE(f.commit()) << f.errorString().toStdString();
    EXPECT_EQ(fileBytes(target), "new content\n");
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("清单.txt")});
    // The replaced file keeps its permissions.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A writer that gives up says so, naming the file.
    QString error;
    EXPECT_FALSE(saveFileSafely(target, [](QIODevice &d) { return d.write("x") == 0; }, &error));
    EXPECT_TRUE(error.contains(target)) << error.toStdString();
    EXPECT_EQ(fileBytes(target), "new content\n");
}

TEST_F(SafeFileTest, AFileThatCannotBeWrittenIsNamedWithTheReason)
{
    const QString nowhere = dir.filePath(QStringLiteral("无此目录/a.txt"));
    QString error;
    EXPECT_FALSE(saveFileSafely(nowhere, QByteArray("x"), &error));
    EXPECT_EQ(error, QStringLiteral("无法保存文件 %1：文件夹 %2 不存在").arg(nowhere, dir.filePath(QStringLiteral("无此目录"))));
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    // A folder where the file should be.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    EXPECT_FALSE(saveFileSafely(dir.filePath(QStringLiteral("folder")), QByteArray("x"), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("无法保存文件 %1").arg(dir.filePath(QStringLiteral("folder")))));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
}

TEST_F(SafeFileTest, AFullDiskKeepsTheOldFileWhetherTheLostBytesWereBufferedOrNot)
{
    // Under the writer's buffer the failure shows only when it is flushed
    // at the commit; far beyond it, on the way.
    for (qsizetype size : {qsizetype(8 * 1024), qsizetype(3 * 1024 * 1024)}) {
        SCOPED_TRACE(size);
        const int status = onFullDisk(4096, [&] {
            QString error;
            if (saveFileSafely(target, QByteArray(size, 'n'), &error)) return 1;
            return error == QStringLiteral("无法保存文件 %1：磁盘空间不足").arg(target) ? 0 : 2;
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(fileBytes(target), old);
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("清单.txt")});
    }
    // A copy the same way.
    const QString source = dir.filePath(QStringLiteral("new.mp3"));
    ASSERT_TRUE(putFile(source, QByteArray(64 * 1024, 's')));
    EXPECT_EQ(onFullDisk(4096, [&] { return copyFileSafely(source, target) ? 1 : 0; }), 0);
    EXPECT_EQ(fileBytes(target), old);
    ASSERT_TRUE(copyFileSafely(source, target));
    EXPECT_EQ(fileBytes(target), fileBytes(source));
    QString error;
    EXPECT_FALSE(copyFileSafely(dir.filePath(QStringLiteral("none.mp3")), target, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("none.mp3")));
}

TEST_F(SafeFileTest, AFileWrittenInAPartFolderReplacesTheTarget)
{
    ::chmod(QFile::encodeName(target).constData(), 0600);
    {
        PartFolder part(target);
        ASSERT_TRUE(part.create()) << part.errorString().toStdString();
        ASSERT_TRUE(putFile(part.filePath(), "from a database copy"));
        ASSERT_TRUE(putFile(part.filePath() + QStringLiteral("-journal"), "left by the copy"));
        EXPECT_EQ(QFileInfo(QFileInfo(part.filePath()).path()).permissions() & QFile::ReadOther,
                  QFileDevice::Permissions());
        ASSERT_TRUE(part.commit()) << part.errorString().toStdString();
        EXPECT_FALSE(part.commit());
    }
    EXPECT_EQ(fileBytes(target), "from a database copy");
    EXPECT_EQ(modeOf(target), 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("清单.txt")});
    // Given up: the folder goes, the target stays.
    {
        PartFolder part(target);
        ASSERT_TRUE(part.create());
        ASSERT_TRUE(putFile(part.filePath(), "half"));
    }
    EXPECT_EQ(fileBytes(target), "from a database copy");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("清单.txt")});
}

// Whatever a shared folder holds, the writers replace only the file meant.
TEST(SafeFileTraps, TheSharedWriterWritesOnlyTheFileMeant)
{
    expectNoTrapCatches(QStringLiteral(".txt"), inProcess([](const QString &target) {
                            WriteOutcome o;
                            o.ok = saveFileSafely(target, QByteArray("new content\n"), &o.message);
                            return o;
                        }));
}

TEST(SafeFileTraps, APartFolderReplacesOnlyTheFileMeant)
{
    expectNoTrapCatches(QStringLiteral(".db"), inProcess([](const QString &target) {
                            PartFolder part(target);
                            WriteOutcome o;
                            o.ok = part.create() && putFile(part.filePath(), "new content\n") && part.commit();
                            o.message = part.errorString();
                            return o;
                        }));
}

TEST(SafeFileTraps, TheExcelExportWritesOnlyTheFileMeant)
{
    expectNoTrapCatches(QStringLiteral(".xlsx"), inProcess([](const QString &target) {
                            const excel::ExportResult r = excel::writeExport(
                                    target, stockLayout(), "店", QVector<QStringList>{{"分类", "1", "商品"}});
                            return WriteOutcome{r.written, r.message + u'\n' + r.detail};
                        }));
}

// What a killed writer left goes with the next write of the file; what a
// living writer uses stays.
TEST_F(SafeFileTest, PartsOfAKilledWriterGoWithTheNextWrite)
{
    auto killedWhileWriting = [&](const std::function<void()> &start) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            start();
            raise(SIGKILL);
            _exit(1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
    };
    killedWhileWriting([&] {
        SafeFile f(target);
        if (f.open()) f.device().write("half");
        raise(SIGKILL);
    });
    killedWhileWriting([&] {
        PartFolder f(target);
        if (f.create()) putFile(f.filePath(), "half");
        raise(SIGKILL);
    });
    // The second writer took away the first one's part file already.
    const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(QFileInfo(dir.filePath(left[1])).isDir()) << left[1].toStdString();
    SafeFile living(target);
    ASSERT_TRUE(living.open());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("清单.txt"), QFileInfo(living.partName()).fileName()}));
    ASSERT_TRUE(saveFileSafely(target, QByteArray("new\n")));
    living.device().write("living\n");
    EXPECT_TRUE(living.commit()) << living.errorString().toStdString();
    EXPECT_EQ(fileBytes(target), "living\n");
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("清单.txt")});
}

// The clean-up before a write removes only what this program made: a user's
// files and folders that merely look like part files stay, with what they hold.
TEST_F(SafeFileTest, FilesAndFoldersThatOnlyLookLikePartsStay)
{
    const QString base = QFileInfo(target).fileName();
    const QStringList files = {base + ".download.part", base + ".20261208.part", base + ".abcdefgh-12345678.part",
                               base + ".abcdefgh-12345678.parts"};
    for (const QString &f : files) ASSERT_TRUE(putFile(dir.filePath(f), "the user's own\n"));
    for (const QString &d : {base + ".part-backup", base + ".k3j9x0a1-5c0e19d2.parts"}) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(d + "/inner"));
        ASSERT_TRUE(putFile(dir.filePath(d + "/" + base), "kept\n"));
        ASSERT_TRUE(putFile(dir.filePath(d + "/inner/deep.txt"), "kept\n"));
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_TRUE(saveFileSafely(target, QByteArray("new\n")));
    {
        PartFolder folder(target);
        ASSERT_TRUE(folder.create());
        ASSERT_TRUE(putFile(folder.filePath(), "copy\n"));
        ASSERT_TRUE(folder.commit()) << folder.errorString().toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    for (const QString &f : files) EXPECT_EQ(fileBytes(dir.filePath(f)), "the user's own\n") << f.toStdString();
    for (const QString &d : {base + ".part-backup", base + ".k3j9x0a1-5c0e19d2.parts"}) {
        EXPECT_EQ(fileBytes(dir.filePath(d + "/" + base)), "kept\n") << d.toStdString();
        EXPECT_EQ(fileBytes(dir.filePath(d + "/inner/deep.txt")), "kept\n") << d.toStdString();
    }
}

// A part folder whose name is swapped for a link while it is written: its
// removal goes through the folder itself, and the linked folder keeps its files.
TEST_F(SafeFileTest, APartFolderSwappedForALinkLeavesTheLinkedFolderAlone)
{
    const QString victim = dir.filePath("victim");
    ASSERT_TRUE(QDir(dir.path()).mkdir("victim"));
    const QString base = QFileInfo(target).fileName();
    ASSERT_TRUE(putFile(victim + "/" + base, "victim's\n"));
    ASSERT_TRUE(putFile(victim + "/other.txt", "victim's\n"));
    QString moved;
    {
        PartFolder folder(target);
        ASSERT_TRUE(folder.create());
        const QString part = QFileInfo(folder.filePath()).path();
        ASSERT_TRUE(putFile(folder.filePath(), "half\n"));
        moved = dir.filePath("moved-away");
        ASSERT_EQ(::rename(QFile::encodeName(part).constData(), QFile::encodeName(moved).constData()), 0);
        ASSERT_TRUE(makeLink(victim, part));
        // Given up without a commit.
    }
    EXPECT_EQ(fileBytes(victim + "/" + base), "victim's\n");
    EXPECT_EQ(fileBytes(victim + "/other.txt"), "victim's\n");
    // The folder it made, wherever it went, lost the file written there.
    EXPECT_TRUE(QDir(moved).isEmpty());
}

// Two writers of one file at once each finish; the file is one of theirs.
TEST_F(SafeFileTest, TwoWritersOfOneFileBothFinish)
{
    SafeFile first(target), second(target);
    ASSERT_TRUE(first.open());
    ASSERT_TRUE(second.open());
    EXPECT_NE(first.partName(), second.partName());
    first.device().write("first\n");
    second.device().write("second\n");
    EXPECT_TRUE(second.commit()) << second.errorString().toStdString();
    EXPECT_TRUE(first.commit()) << first.errorString().toStdString();
    EXPECT_EQ(fileBytes(target), "first\n");
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("清单.txt")});
}

// A device or a pipe is no file to replace.
TEST_F(SafeFileTest, AFileThatIsNoPlainFileIsNotReplaced)
{
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QString error;
    EXPECT_FALSE(saveFileSafely(fifo, QByteArray("x"), &error));
    EXPECT_TRUE(error.contains(fifo)) << error.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ExcelExportSafely, AFullDiskKeepsTheOldWorkbook)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kc.xlsx"));
    const QByteArray old("an export from yesterday");
    QVector<QStringList> rows;
    for (int i = 0; i < 2000; ++i) rows.append({QStringLiteral("分类"), QString::number(i), QStringLiteral("商品")});
    ASSERT_TRUE(excel::writeExport(path, stockLayout(), "店", rows).written);
    const qint64 size = QFileInfo(path).size();
    ASSERT_TRUE(putFile(path, old));
    const int status = onFullDisk(rlim_t(size / 2), [&] {
        const excel::ExportResult r = excel::writeExport(path, stockLayout(), "店", rows);
        if (r.written) return 1;
        return r.message == excel::cannotWriteMessage(path) ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fileBytes(path), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("kc.xlsx")});
    // A folder that does not exist leaves the old file of another folder alone.
    ASSERT_TRUE(excel::writeExport(path, stockLayout(), "店", rows).written);
    EXPECT_EQ(excel::readWorkbook(path).sheet.rowCount(), 1 + 2000);
}

TEST(ExcelExportSafely, KilledExportsLeaveTheOldOrTheNewWorkbookWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kc.xlsx"));
    QVector<QStringList> rows;
    for (int i = 0; i < 3000; ++i)
        rows.append({QStringLiteral("分类%1").arg(i % 7), QString::number(i), QStringLiteral("商品%1").arg(i)});
    const auto write = [&] { excel::writeExport(path, stockLayout(), "店", rows); };
    QElapsedTimer t;
    t.start();
    write();
    const int span = int(t.nsecsElapsed() / 1000) * 6 / 5 + 1;
    const QByteArray old("an export from yesterday");
    std::mt19937 random(57);
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(putFile(path, old));
        killedDuring(write, std::uniform_int_distribution<int>(0, span)(random));
        const QByteArray now = fileBytes(path);
        if (now == old) continue;
        const excel::ReadResult back = excel::readWorkbook(path);
        ASSERT_TRUE(back.ok()) << back.message.toStdString();
        EXPECT_EQ(back.sheet.rowCount(), 1 + 3000);
    }
}
