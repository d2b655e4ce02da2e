#pragma once
// Replacing a user's file only when the new one is whole.  The new content
// goes into a part file beside the target (same folder, so the rename stays
// on one file system); it is flushed, synced and closed with every error
// checked, then renamed over the target.  A failure or a cancel removes the
// part file and leaves the old file as it was; a kill leaves the old file
// and at most the part file, which the next write of that target removes
// (a writer holds a lock on its part file while it lives).
//
// The part file is made new under a name no other file has, never opened
// through a link, so nobody who can add files to a shared folder can make a
// write land in another file.  A target that is a link keeps its link: the
// file it names is the one replaced.  A target the user may not write (a
// read-only file) is refused as writing into it would be; a replaced file
// keeps its permissions.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace vplatform {

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
    // The part file's name once open() succeeded.
    QString partName() const { return part_; }
    // The part file's descriptor, open for reading and writing (-1 when not
    // open): for a writer that seeks and reads back what it wrote; what it
    // writes through it goes beside device()'s writes, not after them.
    int handle() const;
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

    bool fail(const QString &reason);

    QString target_;
    QString dest_;  // the file replaced: target_, or the file its link names
    QString part_;
    int lock_ = -1;  // the part file's lock, held until it is renamed or removed
    int live_ = -1;  // its entry among the parts removePartsNow removes
    std::unique_ptr<Device> device_;
    QString error_;
};

// For a writer that opens its output by name (a database copy, a workbook
// library): a folder of the program's own beside the target, which nobody
// else can add a file or a link to.  The file written there replaces the
// target as SafeFile's part file does; the folder goes with this object.
class PartFolder {
public:
    explicit PartFolder(const QString &target);
    ~PartFolder();
    PartFolder(const PartFolder &) = delete;
    PartFolder &operator=(const PartFolder &) = delete;

    // Checks the target as SafeFile::open does and makes the folder.
    bool create();
    // The file to write, inside the folder (after create()).
    QString filePath() const { return file_; }
    // Syncs the written file and renames it over the target.
    bool commit();
    // What went wrong, naming the target, in the words shown to the user.
    QString errorString() const { return error_; }

private:
    bool fail(const QString &reason);
    void remove();

    QString target_;
    QString dest_;
    QString folder_;
    int lock_ = -1;  // the folder's lock, held while it exists
    int live_ = -1;
    QString file_;
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

// For a process told to stop (a runner's stop signal): from now on every
// write through a SafeFile fails and no SafeFile or PartFolder replaces its
// target, so a save under way ends with the old file in place and its part
// file removed. Safe to call from a signal handler.
void stopSaving();

// Removes the part files (and part folders) of every writer of the process
// that is still open, for a signal handler about to end the process: the
// old files stay and nothing is left beside them. Safe to call from a
// signal handler. A SIGKILL gives nobody the chance: what it leaves goes
// with the next write of that target.
void removePartsNow();

}  // namespace vplatform
