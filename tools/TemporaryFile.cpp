#include "tools/TemporaryFile.h"

#include "tools/ToolError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

[[noreturn]] void cannotWrite(const std::string& target, const std::string& cause)
{
    throw ToolError((target == "-" ? std::string("standard output") : target) + ": cannot write: " + cause,
                    ToolError::kFailure);
}

} // namespace

std::string TemporaryFile::hiddenName(const std::string& name, size_t maxLength)
{
    const std::string plain = "." + name + ".";
    if (plain.size() + 6 <= maxLength)
        return plain;
    // FNV-1a of the whole name keeps shortened names of different targets apart.
    uint32_t hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), "~%08x.", hash);
    size_t keep = maxLength > 6 + 1 + 10 ? maxLength - 6 - 1 - 10 : 0;
    keep = keep < name.size() ? keep : name.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) // not inside a UTF-8 character
        --keep;
    return "." + name.substr(0, keep) + suffix;
}

TemporaryFile::TemporaryFile(const std::string& targetPath, bool noClobber)
    : target(targetPath), finalPath(targetPath), noReplace(noClobber)
{
    if (target == "-")
    {
        fd = dup(STDOUT_FILENO);
        if (fd < 0)
            cannotWrite(target, std::strerror(errno));
        direct = true;
        return;
    }
    struct stat status = {};
    bool replaces = false;
    if (stat(target.c_str(), &status) == 0)
    {
        if (S_ISDIR(status.st_mode))
            cannotWrite(target, "it is a folder");
        if (!S_ISREG(status.st_mode))
        {
            // A device or a pipe (/dev/null, /dev/stdout) is written directly: renaming onto it would replace it.
            fd = open(target.c_str(), O_WRONLY);
            if (fd < 0)
                cannotWrite(target, std::strerror(errno));
            direct = true;
            return;
        }
        if (noClobber)
            throw ToolError(target + ": exists; not replaced (--no-clobber)", ToolError::kFailure);
        replaces = true;
        // A link to a file: the file it points at gets the new contents, and the link stays.
        if (char* const resolved = realpath(target.c_str(), nullptr))
        {
            finalPath = resolved;
            std::free(resolved);
        }
    }
    const size_t slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
    const long nameMax = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    const std::string hidden = hiddenName(name, nameMax > 0 ? static_cast<size_t>(nameMax) : 255) + "XXXXXX";
    std::vector<char> pattern(folder.begin(), folder.end());
    pattern.insert(pattern.end(), hidden.begin(), hidden.end());
    pattern.push_back('\0');
    fd = mkstemp(pattern.data());
    if (fd < 0)
        cannotWrite(target, std::strerror(errno));
    tempPath = pattern.data();
    // mkstemp makes the file private; the finished file gets the permissions of the file it replaces, or those of
    // any new file.
    mode_t mode = status.st_mode & 0777;
    if (!replaces)
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
    if (!committed && !direct && !tempPath.empty())
        std::remove(tempPath.c_str());
}

void TemporaryFile::commit()
{
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
}
