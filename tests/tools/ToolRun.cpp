#include "ToolRun.h"

#include "TestFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

ToolRun ToolRun::run(const std::vector<std::string>& arguments, const std::string& folder,
                     const std::string& interruptWhenFileStarts, int signal, const std::string& stdinPath,
                     const std::string& stdoutPath)
{
    mkdir(folder.c_str(), 0755);
    const std::string outPath = stdoutPath.empty() ? folder + ".stdout" : stdoutPath;
    const std::string errPath = folder + ".stderr";
    ToolRun result;
    const pid_t child = fork();
    if (child == 0)
    {
        const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errFd < 0 || chdir(folder.c_str()) != 0)
            _exit(126);
        const int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int inFd = open(stdinPath.c_str(), O_RDONLY);
        if (outFd < 0 || inFd < 0)
            _exit(126);
        dup2(inFd, STDIN_FILENO);
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TESSALOOM_RENDER_PATH));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(TESSALOOM_RENDER_PATH, argv.data());
        _exit(127);
    }
    if (child > 0 && !interruptWhenFileStarts.empty())
    {
        for (int attempt = 0; attempt < 2000; ++attempt) // 20 s at most
        {
            bool found = false;
            for (const std::string& name : filesIn(folder))
                found = found || name.compare(0, interruptWhenFileStarts.size(), interruptWhenFileStarts) == 0;
            if (found)
                break;
            usleep(10000);
        }
        kill(child, signal);
    }
    int waitStatus = 0;
    if (child > 0 && waitpid(child, &waitStatus, 0) == child && WIFEXITED(waitStatus))
        result.status = WEXITSTATUS(waitStatus);
    result.out = stdoutPath.empty() ? fileText(outPath) : std::string();
    result.err = fileText(errPath);
    return result;
}
