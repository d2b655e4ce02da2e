// A backup written into a folder others share: it replaces only the file
// meant, never through a link, and keeps a replaced file's permissions.
#include "db_file_test.h"
#include "file_traps.h"

#include "platform/db/backup.h"

namespace {

class BackupFilesTest : public DbFileTest {
protected:
    void SetUp() override
    {
        DbFileTest::SetUp();
        conn->execute("CREATE TABLE T (ID INT, s VARCHAR(50))");
        conn->execute("INSERT INTO T (ID, s) VALUES (1, '备份')");
    }
};

}  // namespace

TEST_F(BackupFilesTest, ABackupWritesOnlyTheFileMeant)
{
    expectNoTrapCatches(QStringLiteral(".edb"), inProcess([this](const QString &target) {
                            try {
                                vdb::backupDatabase(*conn, target, kTestKey);
                                vdb::checkDatabaseFile(target, kTestKey, {"T"});
                                return WriteOutcome{true, {}};
                            } catch (const vdb::DbError &e) {
                                return WriteOutcome{false, e.message() + u'\n' + e.detail()};
                            }
                        }));
}
