#include "tools/TemporaryFile.h"

#include "tools/ToolError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

TemporaryFile::TemporaryFile(const std::string& targetPath) : target(targetPath), finalPath(targetPath)
{
    struct stat status = {};
    if (stat(target.c_str(), &status) == 0)
    {
        if (S_ISDIR(status.st_mode))
            throw ToolError(target + ": cannot write: it is a folder", ToolError::kFailure);
        if (!S_ISREG(status.st_mode))
        {
            // A device or a pipe (/dev/null, /dev/stdout) is written directly: renaming onto it would replace it.
            fd = open(target.c_str(), O_WRONLY);
            if (fd < 0)
                throw ToolError(target + ": cannot write: " + std::strerror(errno), ToolError::kFailure);
            direct = true;
            return;
        }
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
    std::vector<char> pattern(folder.begin(), folder.end());
    const std::string hidden = "." + name + ".XXXXXX";
    pattern.insert(pattern.end(), hidden.begin(), hidden.end());
    pattern.push_back('\0');
    fd = mkstemp(pattern.data());
    if (fd < 0)
        throw ToolError(target + ": cannot write: " + std::strerror(errno), ToolError::kFailure);
    tempPath = pattern.data();
    // mkstemp makes the file private; the finished file gets the permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
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
        throw ToolError(target + ": cannot write: " + std::strerror(errno), ToolError::kFailure);
    if (!direct && std::rename(tempPath.c_str(), finalPath.c_str()) != 0)
        throw ToolError(target + ": cannot write: " + std::strerror(errno), ToolError::kFailure);
    committed = true;
}
