#include "TestFolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* const dir = opendir(folder.c_str()))
    {
        while (const dirent* const entry = readdir(dir))
        {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string freshFolder(const std::string& name)
{
    const char* const base = std::getenv("TMPDIR");
    const std::string root = std::string(base != nullptr ? base : "/tmp") + "/tessaloom-render-tests";
    mkdir(root.c_str(), 0755);
    const std::string folder = root + "/" + name;
    for (const std::string& file : filesIn(folder))
        unlink((folder + "/" + file).c_str());
    mkdir(folder.c_str(), 0755);
    return folder;
}

std::string fileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}
