#include "tools/TemporaryFile.h"

#include "tools/ToolError.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace
{

[[noreturn]] void cannotWrite(const std::string& target, const std::string& cause)
{
    throw ToolError((target == "-" ? std::string("standard output") : target) + ": cannot write: " + cause,
                    ToolError::kFailure);
}

// The temporary file that exists now, for a signal handler to remove: only async-signal-safe unlink reads it.
char currentTemporary[4096] = {};

void noteCurrent(const std::string& path)
{
    const size_t length = path.size() < sizeof(currentTemporary) - 1 ? path.size() : 0;
    currentTemporary[0] = '\0';
    std::memcpy(currentTemporary, path.data(), length);
    currentTemporary[length] = '\0';
}

} // namespace

int openSpool(const std::string& messageStart)
{
    const char* const folder = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp";
    const int spool = open(folder, O_TMPFILE | O_RDWR, 0600);
    if (spool < 0)
        throw ToolError(messageStart + "cannot make a spool file in " + folder + ": " + std::strerror(errno),
                        ToolError::kFailure);
    return spool;
}

bool writeAll(int fd, const char* data, size_t size)
{
    for (size_t done = 0; done < size;)
    {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put <= 0 && errno != EINTR)
            return false;
        done += put > 0 ? static_cast<size_t>(put) : 0;
    }
    return true;
}

bool copyAll(int from, int to)
{
    std::vector<char> buffer(1 << 16);
    for (;;)
    {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || !writeAll(to, buffer.data(), static_cast<size_t>(got)))
            return false;
    }
}

void TemporaryFile::removeCurrentFromSignalHandler()
{
    if (currentTemporary[0] != '\0')
        unlink(currentTemporary);
}

std::string TemporaryFile::hiddenName(const std::string& name, size_t maxLength)
{
    const std::string plain = "." + name + ".";
    if (plain.size() + 6 <= maxLength)
        return plain;
    // FNV-1a of the whole name keeps shortened names of different targets apart.
    uint32_t hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    const std::string suffix = fmt::format("~{:08x}.", hash);
    size_t keep = maxLength > 6 + 1 + 10 ? maxLength - 6 - 1 - 10 : 0;
    keep = keep < name.size() ? keep : name.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) // not inside a UTF-8 character
        --keep;
    return "." + name.substr(0, keep) + suffix;
}

TemporaryFile::TemporaryFile(const std::string& targetPath, bool noClobber)
    : target(targetPath), finalPath(targetPath), noReplace(noClobber)
{
    namespace fs = std::filesystem;
    struct stat status = {};
    const bool exists = target != "-" && stat(target.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode))
        cannotWrite(target, "it is a folder");
    if (target == "-" || (exists && !S_ISREG(status.st_mode)))
    {
        // Standard output, a device or a pipe (/dev/null, /dev/stdout) is written directly: renaming onto it would
        // replace it.
        fd = target == "-" ? dup(STDOUT_FILENO) : open(target.c_str(), O_WRONLY);
        if (fd < 0)
            cannotWrite(target, std::strerror(errno));
        direct = true;
        if (lseek(fd, 0, SEEK_CUR) < 0)
        {
            pipeFd = fd;
            fd = openSpool(targetName() + ": cannot write: ");
        }
        return;
    }
    if (exists && noClobber)
        throw ToolError(target + ": exists; not replaced (--no-clobber)", ToolError::kFailure);
    // A link to a file: the file it points at gets the new contents, and the link stays.
    std::error_code error;
    if (const fs::path resolved = fs::canonical(target, error); exists && !error)
        finalPath = resolved.string();
    const fs::path folder = fs::path(finalPath).parent_path();
    const long nameMax = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    const std::string name = fs::path(finalPath).filename().string();
    std::string pattern = (folder / (hiddenName(name, nameMax > 0 ? static_cast<size_t>(nameMax) : 255) + "XXXXXX"));
    fd = mkstemp(pattern.data());
    if (fd < 0)
        cannotWrite(target, std::strerror(errno));
    tempPath = pattern;
    noteCurrent(tempPath);
    // mkstemp makes the file private; the finished file gets the permissions of the file it replaces, or those of
    // any new file.
    mode_t mode = status.st_mode & 0777;
    if (!exists)
    {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
}

TemporaryFile::~TemporaryFile()
{
    if (fd >= 0)
        ::close(fd);
    if (pipeFd >= 0)
        ::close(pipeFd);
    if (!committed && !direct && !tempPath.empty())
        std::remove(tempPath.c_str());
    if (!tempPath.empty())
        noteCurrent("");
}

void TemporaryFile::commit()
{
    if (pipeFd >= 0 && (lseek(fd, 0, SEEK_SET) < 0 || !copyAll(fd, pipeFd)))
        cannotWrite(target, std::strerror(errno));
    const int held = fd;
    fd = -1;
    if (held >= 0 && ::close(held) != 0)
        cannotWrite(target, std::strerror(errno));
    if (!direct)
    {
        // --no-clobber holds to the end: a file that appeared meanwhile is not replaced either.
        const int renamed = noReplace
                                ? renameat2(AT_FDCWD, tempPath.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE)
                                : std::rename(tempPath.c_str(), finalPath.c_str());
        if (renamed != 0 && noReplace && errno == EINVAL) // a file system without the flag: link, then unlink
        {
            if (link(tempPath.c_str(), finalPath.c_str()) == 0)
            {
                std::remove(tempPath.c_str());
                committed = true;
                noteCurrent("");
                return;
            }
        }
        if (renamed != 0)
        {
            if (noReplace && errno == EEXIST)
                throw ToolError(target + ": exists; not replaced (--no-clobber)", ToolError::kFailure);
            cannotWrite(target, std::strerror(errno));
        }
    }
    committed = true;
    noteCurrent("");
}
