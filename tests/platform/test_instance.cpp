// The one-copy guard lives beside the database: whoever starts the program,
// with whatever runtime folder, meets the same lock.
#include "platform/instance/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using vplatform::SingleInstance;

namespace {

// f's result, run in a child process as another user of the machine.
int inChild(bool otherUser, const std::function<int()> &f)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (otherUser && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
        _exit(f());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

int tryLock(const QString &folder)
{
    SingleInstance g("Member", folder);
    if (g.acquire()) return 0;
    return g.failure().isEmpty() ? 1 : 2;
}

TEST(SingleInstanceBesideTheData, TwoGuardsOnOneFolder)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("Data");
    SingleInstance first("Member", data);
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(QFileInfo(first.lockPath()).absolutePath() == QFileInfo(data).absoluteFilePath());
    SingleInstance second("Member", data);
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(second.failure().isEmpty());
    // Another folder is another database.
    SingleInstance elsewhere("Member", dir.filePath("Other"));
    EXPECT_TRUE(elsewhere.acquire());

    first.release();
    EXPECT_TRUE(second.acquire());
    EXPECT_TRUE(first.lockPath() == second.lockPath());
}

TEST(SingleInstanceBesideTheData, AnotherProcessAndAnotherUserAreKeptOut)
{
    QTemporaryDir dir;
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString data = dir.filePath("Data");
    {
        SingleInstance held("Member", data);
        ASSERT_TRUE(held.acquire());
        EXPECT_EQ(inChild(false, [&] { return tryLock(data); }), 1);
        EXPECT_EQ(inChild(true, [&] { return tryLock(data); }), 1);
    }
    // Released (as by a process that ended, crashed or not): the next one gets it.
    EXPECT_EQ(inChild(true, [&] { return tryLock(data); }), 0);
    EXPECT_EQ(tryLock(data), 0);
}

TEST(SingleInstanceBesideTheData, AFolderThatCannotBeWrittenIsToldAtStart)
{
    QTemporaryDir dir;
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    EXPECT_EQ(inChild(true, [&] { return tryLock(dir.filePath("Data")); }), 2);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
}

// A lock file planted as a link (or a second name) of another file of the
// user's: that file keeps its content and its permissions.
TEST(SingleInstanceBesideTheData, ALockFileThatIsAnotherFileIsRefused)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("Data");
    ASSERT_TRUE(QDir().mkpath(data));
    const QString victim = dir.filePath("victim.txt");
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the user's own text");
    }
    ASSERT_EQ(chmod(QFile::encodeName(victim).constData(), 0600), 0);
    const QByteArray lock = QFile::encodeName(data + "/Member.lock");
    for (auto plant : {&::symlink, &::link}) {
        ASSERT_EQ(plant(QFile::encodeName(victim).constData(), lock.constData()), 0);
        SingleInstance g("Member", data);
        EXPECT_FALSE(g.acquire());
        EXPECT_FALSE(g.failure().isEmpty());
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "the user's own text");
        struct stat st {};
        ASSERT_EQ(stat(QFile::encodeName(victim).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(unlink(lock.constData()), 0);
    }
    EXPECT_EQ(tryLock(data), 0);
}

}  // namespace
