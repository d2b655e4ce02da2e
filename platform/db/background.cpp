#include "platform/db/background.h"

#include <QMetaObject>
#include <sqlite3.h>

namespace vdb {

BackgroundQuery::BackgroundQuery(const QString &path, const QByteArray &key) : m_path(path), m_key(key) {}

BackgroundQuery::~BackgroundQuery()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_next.reset();
        interruptLocked();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void BackgroundQuery::interruptLocked()
{
    if (m_running) sqlite3_interrupt(m_running);
}

void BackgroundQuery::run(const QString &sql, const QVariantList &values, QObject *receiver, Done done)
{
    {
        std::lock_guard lock(m_mutex);
        Job job;
        job.id = ++m_latest;
        job.sql = sql;
        job.values = values;
        job.receiver = receiver;
        job.done = std::move(done);
        m_next = std::move(job);
        m_shared->latest = m_latest;
        m_shared->pending = true;
        interruptLocked();
        if (!m_thread.joinable()) m_thread = std::thread([this] { loop(); });
    }
    m_wake.notify_all();
}

void BackgroundQuery::cancel()
{
    std::lock_guard lock(m_mutex);
    m_shared->latest = ++m_latest;
    m_next.reset();
    m_shared->pending = false;
    interruptLocked();
}

void BackgroundQuery::loop()
{
    // Opened here and used only here: a connection serves one thread.
    std::unique_ptr<Connection> conn;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_next.has_value(); });
            if (m_stop) break;
            job = std::move(*m_next);
            m_next.reset();
        }
        auto result = std::make_shared<Query>();
        QString error;
        try {
            if (!conn) conn = Connection::open(m_path, m_key, Connection::Journal::Reader);
            {
                std::lock_guard lock(m_mutex);
                if (m_stop || job.id != m_latest) continue;
                m_running = conn->handle();
            }
            result->setConnection(conn.get());
            result->OpenSql(job.sql, job.values);
        } catch (const velmora::Error &e) {
            error = e.message();
        }
        {
            std::lock_guard lock(m_mutex);
            m_running = nullptr;
            if (m_stop || job.id != m_latest) continue;
        }
        result->setConnection(nullptr);
        // Queued to the receiver: dropped with it when it goes first.
        QMetaObject::invokeMethod(
                job.receiver,
                [shared = m_shared, id = job.id, done = std::move(job.done), result, error] {
                    if (id != shared->latest.load()) return;
                    shared->pending = false;
                    done(*result, error);
                },
                Qt::QueuedConnection);
    }
}

}  // namespace vdb
