#pragma once
// One running copy per user: a lock file in the runtime folder stands in for
// the named mutex.  A lock left by a killed process is taken over.

#include <QLockFile>
#include <QString>
#include <memory>

namespace vplatform {

class SingleInstance {
public:
    // name: the lock's name; folder: where the lock lives (default: the
    // user's runtime or temporary folder).
    explicit SingleInstance(const QString &name, const QString &folder = QString());
    ~SingleInstance();
    // True when this process now holds the lock; false when another live
    // process does.
    bool acquire();
    void release();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace vplatform
