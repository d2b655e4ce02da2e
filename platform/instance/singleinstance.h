#pragma once
// One running program per database: a lock file beside the database file
// stands in for the named mutex.  The lock is an flock on that file, so it
// holds against every process of every user that opens the same folder, and
// ends with the process that holds it (no stale locks after a crash).

#include <QString>

namespace vplatform {

class SingleInstance {
public:
    // name: the lock's name; folder: where the lock lives, the folder of the
    // database (created when missing).
    SingleInstance(const QString &name, const QString &folder);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this object now holds the lock.  False when another holder
    // has it, or when the lock file cannot be made; failure() then says why.
    bool acquire();
    void release();
    // Empty unless the last acquire() failed for another reason than a
    // holder elsewhere; a Chinese sentence for the user.
    const QString &failure() const { return m_failure; }
    QString lockPath() const { return m_path; }

private:
    QString m_folder;
    QString m_path;
    QString m_failure;
    int m_fd = -1;
};

}  // namespace vplatform
