#pragma once
// A read statement run on a thread and a connection of its own, so that a
// count or sum over a long table does not hold up the window that asked for
// it.  The newest request wins: it replaces one still waiting and
// interrupts one running.  The result is handed to the requester's thread.

#include "platform/db/db.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vdb {

class BackgroundQuery {
public:
    // result holds the rows (no connection); error is empty on success.
    using Done = std::function<void(Query &result, const QString &error)>;

    // The database file and key of the program's own connection.
    BackgroundQuery(const QString &path, const QByteArray &key);
    ~BackgroundQuery();
    BackgroundQuery(const BackgroundQuery &) = delete;
    BackgroundQuery &operator=(const BackgroundQuery &) = delete;

    // Runs the statement (Jet dialect, "?" values); done runs later on the
    // thread of receiver, unless a newer request or cancel() came first or
    // receiver is gone.
    void run(const QString &sql, const QVariantList &values, QObject *receiver, Done done);
    // Forgets the request under way; its done never runs.
    void cancel();
    // True from run() until its done has run (or it was cancelled).
    bool pending() const { return m_shared->pending.load(); }

private:
    struct Job {
        quint64 id = 0;
        QString sql;
        QVariantList values;
        QObject *receiver = nullptr;
        Done done;
    };
    void loop();
    void interruptLocked();

    QString m_path;
    QByteArray m_key;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_next;
    quint64 m_latest = 0;
    // Read by the hand-over on the receiver's thread, which may come after
    // this object is gone.
    struct Shared {
        std::atomic<quint64> latest{0};
        std::atomic<bool> pending{false};
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    bool m_stop = false;
    sqlite3 *m_running = nullptr;
    std::thread m_thread;
};

}  // namespace vdb
