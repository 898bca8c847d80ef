#pragma once

#include <cstddef>
#include <string>

/// A file written beside its target under a hidden temporary name (".NAME.XXXXXX", or for a name too long for that
/// a shortened NAME with a hash of the whole) and renamed onto the target only when complete, so that the target is
/// never left half-written. Until commit() the destructor removes it. The target is replaced by a new file that
/// keeps the permission bits of the file it replaces. A target that is a link to a file keeps the link (the file it
/// points at is replaced); a target that is a device (/dev/null) is written directly, and so is "-", standard output,
/// when it is a file. A pipe cannot go back to finish a header (FLAC's length, WAV's sizes): for a pipe the file is
/// written into an unnamed spool file and copied into the pipe by commit(), so that every format passes whole.
class TemporaryFile
{
public:
    /// Creates the temporary file beside targetPath. Throws ToolError naming the target when it cannot be created
    /// (missing folder, no permission), when the target is a folder, or, with noClobber, when it exists.
    explicit TemporaryFile(const std::string& targetPath, bool noClobber = false);
    /// Closes the descriptor and removes the temporary file unless it was committed.
    ~TemporaryFile();

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// The open descriptor (closed by commit() or the destructor); -1 after commit().
    int descriptor() const { return fd; }
    /// The target for messages: its path, or "standard output".
    std::string targetName() const { return target == "-" ? "standard output" : target; }

    /// The hidden name beside name (the last part of a path) within maxLength bytes, before mkstemp's six
    /// characters.
    static std::string hiddenName(const std::string& name, size_t maxLength);

    /// Closes the descriptor and renames the file onto the target (or copies the spool into the pipe). Throws
    /// ToolError naming the target.
    void commit();

    /// Removes the temporary file that exists now, if any; safe to call from a signal handler.
    static void removeCurrentFromSignalHandler();

private:
    std::string target;    // as given, for messages
    std::string finalPath; // the file that the temporary file replaces: the target, or the file it links to
    std::string tempPath;
    int fd = -1;
    int pipeFd = -1;     // the pipe the spool goes into; -1 when there is none
    bool direct = false; // writing straight into a device or pipe
    bool noReplace = false;
    bool committed = false;
};

/// An unnamed file in the temporary folder ($TMPDIR, else /tmp), open for reading and writing, for data that must be
/// complete before it goes on. Throws ToolError "{messageStart}cannot make a spool file in FOLDER: cause".
int openSpool(const std::string& messageStart);
/// Writes all of data, again after an interrupted or partial write; false (errno set) when writing fails.
bool writeAll(int fd, const char* data, size_t size);
/// Copies what can be read from one descriptor into the other until it ends; false (errno set) on a failure.
bool copyAll(int from, int to);
