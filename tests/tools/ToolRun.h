#pragma once

#include <string>
#include <vector>

/// One run of tessaloom-render as a user starts it: the arguments, what it printed and its exit status.
struct ToolRun
{
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out; // standard output
    std::string err; // standard error

    /// Runs the built tool with arguments in folder (created if missing) and collects its output. With
    /// interruptWhenFileStarts, sends signal once a file whose name starts with it appears in folder. Standard input
    /// comes from stdinPath (default: nothing), standard output goes to stdoutPath when one is given (then out stays
    /// empty); relative paths are in folder.
    static ToolRun run(const std::vector<std::string>& arguments, const std::string& folder,
                       const std::string& interruptWhenFileStarts = "", int signal = 15,
                       const std::string& stdinPath = "/dev/null", const std::string& stdoutPath = "");
};
