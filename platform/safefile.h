#pragma once
// Replacing a user's file only when the new one is whole.  The new content
// goes into a part file beside the target (same folder, so the rename stays
// on one file system); it is flushed, synced and closed with every error
// checked, then renamed over the target.  A failure or a cancel removes the
// part file and leaves the old file as it was; a kill leaves the old file
// and at most the part file, which the next write of that target replaces.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace vplatform {

// The part file written for target.
QString partFileName(const QString &target);

// Puts the finished part file (written by someone else, e.g. a database
// copy) in place of target: syncs it, renames it over target and syncs the
// folder.  False with a reason in *error naming target; part is then removed.
bool replaceWithPart(const QString &part, const QString &target, QString *error = nullptr);

class SafeFile {
public:
    explicit SafeFile(const QString &target);
    // Not committed: the part file goes, the target stays.
    ~SafeFile();
    SafeFile(const SafeFile &) = delete;
    SafeFile &operator=(const SafeFile &) = delete;

    // Creates the part file (a replaced file keeps its permissions).
    bool open();
    // The part file as a device, open for writing after open(); a failed
    // write is remembered and fails the commit.
    QIODevice &device();
    QString target() const { return target_; }
    QString partName() const { return part_; }
    // Flushes, syncs, closes and renames over the target.  Any failure
    // before (a failed write) or now removes the part file and returns false.
    bool commit();
    // Gives up: the part file goes, the target stays.
    void cancel();
    // Gives up because writing stopped: as cancel, and errorString says why
    // (the failed write, or that it was cancelled).
    void abandon();
    // Whether a write to device() failed (a full disk).
    bool writeFailed() const;
    // What went wrong, naming the target, in the words shown to the user.
    QString errorString() const { return error_; }

private:
    class Device;

    bool fail(int err);

    QString target_;
    QString part_;
    std::unique_ptr<Device> device_;
    QString error_;
};

// Writes the whole file through a SafeFile; write returns false (or a
// failed write on the device) to give up.  False with errorString's text.
bool saveFileSafely(const QString &target, const std::function<bool(QIODevice &)> &write, QString *error = nullptr);
bool saveFileSafely(const QString &target, const QByteArray &bytes, QString *error = nullptr);

// Copies the file from over target the same way (target is never missing
// for a moment).  False with the reason in *error.
bool copyFileSafely(const QString &from, const QString &target, QString *error = nullptr);

// The user's words for an errno of a file operation on path.
QString fileErrorText(const QString &path, int err);

}  // namespace vplatform
