#pragma once
// What a shared output folder may hold when a writer replaces a user's file,
// made in a temporary folder: a part file's name planted as a link to
// another file or taken by an unrelated file, a target that is a link (also
// one to a file not there yet), a private target, and, for another user
// than root, a read-only target or folder.  Each writer of user files runs
// through all of them.

#include "child_writes.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <functional>

// Runs f in a child process as another user of the machine, without root's
// right to write anywhere; returns f's result.
inline int asAnotherUser(const std::function<int()> &f)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
        _exit(f());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// Hands a folder (and what is in it) to the other user; nothing to do when
// the tests do not run as root.
inline void giveToAnotherUser(const QString &path)
{
    if (geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
        ADD_FAILURE() << "chown " << path.toStdString();
}

inline bool isLink(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

inline unsigned modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : ~0u;
}

inline bool makeLink(const QString &to, const QString &link)
{
    return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(link).constData()) == 0;
}

struct WriteOutcome {
    bool ok = false;
    QString message;  // the error shown when not ok
};

// Writes target with the writer under test; as another user when asked.
using TrapWriter = std::function<WriteOutcome(const QString &target, bool asAnotherUser)>;

// An in-process writer as a TrapWriter: as another user it runs in a child
// process, which hands its message back through a pipe.
inline TrapWriter inProcess(const std::function<WriteOutcome(const QString &)> &write)
{
    return [write](const QString &target, bool other) {
        if (!other) return write(target);
        int fd[2];
        if (pipe(fd) != 0) return WriteOutcome{false, QStringLiteral("pipe")};
        const int status = asAnotherUser([&] {
            close(fd[0]);
            const WriteOutcome o = write(target);
            const QByteArray said = o.message.toUtf8();
            const bool sent = ::write(fd[1], said.constData(), size_t(said.size())) == said.size();
            return o.ok ? 0 : sent ? 1 : 2;
        });
        close(fd[1]);
        QByteArray said;
        char buffer[4096];
        for (ssize_t n; (n = read(fd[0], buffer, sizeof buffer)) > 0;) said.append(buffer, n);
        close(fd[0]);
        return WriteOutcome{status == 0, QString::fromUtf8(said)};
    };
}

// Runs write through every trap; suffix is the written file's extension.
inline void expectNoTrapCatches(const QString &suffix, const TrapWriter &write)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    // Reachable by the other user.
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path()).constData(), 0755), 0);
    const QString dir = tmp.path();
    const QByteArray victimText("another file of the user's, never to be written\n");
    const QString victim = dir + QStringLiteral("/victim.txt");
    ASSERT_TRUE(putFile(victim, victimText));
    const QString target = dir + QStringLiteral("/out") + suffix, part = target + QStringLiteral(".part");
    // Each trap is checked whatever happened at the one before.
    auto written = [&](const QString &path, bool other = false) {
        const WriteOutcome o = write(path, other);
        return o.ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << o.message.toStdString();
    };

    {
        SCOPED_TRACE("a link planted under the part file's name");
        ASSERT_TRUE(makeLink(victim, part));
        EXPECT_TRUE(written(target));
        EXPECT_EQ(fileBytes(victim), victimText);
        EXPECT_FALSE(isLink(target));
        EXPECT_TRUE(QFileInfo(target).isFile());
        EXPECT_NE(fileBytes(target), victimText);
        EXPECT_TRUE(isLink(part));
        QFile::remove(part);
    }
    {
        SCOPED_TRACE("an unrelated file under the part file's name");
        ASSERT_TRUE(putFile(part, "half a download"));
        EXPECT_TRUE(written(target));
        EXPECT_EQ(fileBytes(part), "half a download");
        QFile::remove(part);
        // A folder of that name neither.
        ASSERT_TRUE(QDir(dir).mkdir(QFileInfo(part).fileName()));
        EXPECT_TRUE(written(target));
        EXPECT_TRUE(QFileInfo(part).isDir());
        QDir(dir).rmdir(QFileInfo(part).fileName());
    }
    {
        SCOPED_TRACE("a target that is a link");
        ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("real")));
        const QString real = dir + QStringLiteral("/real/file") + suffix;
        ASSERT_TRUE(putFile(real, "old"));
        const QString link = dir + QStringLiteral("/link") + suffix;
        ASSERT_TRUE(makeLink(QStringLiteral("real/file") + suffix, link));
        EXPECT_TRUE(written(link));
        EXPECT_TRUE(isLink(link));
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), real);
        EXPECT_NE(fileBytes(real), "old");
        EXPECT_FALSE(fileBytes(real).isEmpty());
        EXPECT_EQ(filesIn(dir + QStringLiteral("/real")), QStringList{QStringLiteral("file") + suffix});
        // A link to a file not there yet makes that file.
        const QString dangling = dir + QStringLiteral("/dangling") + suffix;
        ASSERT_TRUE(makeLink(dir + QStringLiteral("/real/new") + suffix, dangling));
        EXPECT_TRUE(written(dangling));
        EXPECT_TRUE(isLink(dangling));
        EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/real/new") + suffix).isFile());
        // One into a folder that is not there names that folder.
        const QString lost = dir + QStringLiteral("/lost") + suffix;
        ASSERT_TRUE(makeLink(dir + QStringLiteral("/gone/new") + suffix, lost));
        const WriteOutcome o = write(lost, false);
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(o.message.contains(dir + QStringLiteral("/gone")) && o.message.contains(QStringLiteral("不存在")))
                << o.message.toStdString();
        EXPECT_TRUE(isLink(lost));
        EXPECT_EQ(fileBytes(victim), victimText);
    }
    {
        SCOPED_TRACE("a private file stays private");
        ASSERT_TRUE(putFile(target, "old"));
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0600), 0);
        EXPECT_TRUE(written(target));
        EXPECT_EQ(modeOf(target), 0600u);
        EXPECT_NE(fileBytes(target), "old");
    }
    {
        SCOPED_TRACE("a read-only file in a folder the user may write");
        const QString shared = dir + QStringLiteral("/shared");
        ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("shared")));
        giveToAnotherUser(shared);
        const QString readOnly = shared + QStringLiteral("/out") + suffix;
        ASSERT_TRUE(putFile(readOnly, "old"));
        giveToAnotherUser(readOnly);
        ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
        const WriteOutcome o = write(readOnly, true);
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(o.message.contains(readOnly) && o.message.contains(QStringLiteral("没有写入权限")))
                << o.message.toStdString();
        EXPECT_EQ(fileBytes(readOnly), "old");
        EXPECT_EQ(modeOf(readOnly), 0444u);
        EXPECT_EQ(filesIn(shared), QStringList{QStringLiteral("out") + suffix});
        // The file may be written, its folder not: the folder is named.
        ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0644), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0555), 0);
        const WriteOutcome folder = write(readOnly, true);
        EXPECT_FALSE(folder.ok);
        EXPECT_TRUE(folder.message.contains(QStringLiteral("文件夹 ") + shared + QStringLiteral(" 没有写入权限")))
                << folder.message.toStdString();
        EXPECT_EQ(fileBytes(readOnly), "old");
        ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0755), 0);
    }
}
