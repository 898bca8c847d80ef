#pragma once

#include <string>

/// A file written beside its target under a hidden temporary name (".NAME.XXXXXX") and renamed onto the target only
/// when complete, so that the target is never left half-written. Until commit() the destructor removes it. A target
/// that is a link to a file keeps the link (the file it points at is replaced); a target that is a device or a pipe
/// (/dev/null, /dev/stdout) is written directly.
class TemporaryFile
{
public:
    /// Creates the temporary file beside targetPath. Throws ToolError naming the target when it cannot be created
    /// (missing folder, no permission) or when the target is a folder.
    explicit TemporaryFile(const std::string& targetPath);
    /// Closes the descriptor and removes the temporary file unless it was committed.
    ~TemporaryFile();

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// The open descriptor (closed by commit() or the destructor); -1 after commit().
    int descriptor() const { return fd; }
    /// The target's path as given.
    const std::string& targetPath() const { return target; }

    /// Closes the descriptor and renames the file onto the target. Throws ToolError naming the target.
    void commit();

private:
    std::string target;    // as given, for messages
    std::string finalPath; // the file that the temporary file replaces: the target, or the file it links to
    std::string tempPath;
    int fd = -1;
    bool direct = false; // writing straight into a device or pipe
    bool committed = false;
};
