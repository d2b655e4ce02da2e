#pragma once

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QString>

#include <memory>

namespace excel {

// Read-only view of a zip archive held in memory (the container of an .xlsx
// workbook).  Entries are read one at a time, each with a size cap so that a
// small hostile archive cannot inflate into gigabytes.
class ZipArchive {
public:
    enum class Status { Ok, Missing, Encrypted, Damaged, TooLarge };

    explicit ZipArchive(const QByteArray &bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    QStringList entryNames() const;
    bool contains(const QString &name) const;
    // The size an entry says it inflates to (it may lie); -1 when missing.
    qint64 declaredSize(const QString &name) const;

    // Whole entry into *out; more than limit bytes is TooLarge.
    Status read(const QString &name, QByteArray *out, qint64 limit);

    // Streaming access for large parts.  One entry at a time: destroy the
    // device before opening the next.  status() tells whether the stream
    // ended cleanly (checksum included) once it has been read to the end.
    class Entry : public QIODevice {
    public:
        ~Entry() override;
        bool isSequential() const override { return true; }
        Status status() const { return m_status; }

    protected:
        qint64 readData(char *data, qint64 maxSize) override;
        qint64 writeData(const char *, qint64) override { return -1; }

    private:
        friend class ZipArchive;
        Entry(ZipArchive *archive, qint64 limit);
        void finish(Status status);
        ZipArchive *m_archive;
        qint64 m_limit;
        qint64 m_done = 0;
        bool m_closed = false;
        Status m_status = Status::Ok;
    };
    std::unique_ptr<Entry> open(const QString &name, qint64 limit, Status *status);

    struct MemoryFile;

private:
    Status openCurrent(const QString &name);

    std::unique_ptr<MemoryFile> m_file;
    void *m_zip = nullptr;
    QHash<QString, QString> m_names;  // lower-case name -> stored name
    QHash<QString, qint64> m_sizes;   // lower-case name -> declared size
    bool m_entryOpen = false;
};

}  // namespace excel
