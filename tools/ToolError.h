#pragma once

#include <stdexcept>
#include <string>

/// A failure that ends the command: a one-line message (naming the file and the cause) and the exit status.
class ToolError : public std::runtime_error
{
public:
    static constexpr int kFailure = 1; // a file, the plug-in or the system failed
    static constexpr int kUsage = 2;   // the command line is wrong
    /// The status of a run stopped by a signal: 128 + its number (130 for Ctrl-C, 143 for SIGTERM).
    static int interruptedBy(int signal) { return 128 + signal; }

    ToolError(const std::string& message, int exitStatus) : std::runtime_error(message), status(exitStatus) {}

    /// The process exit status this failure stands for.
    int exitStatus() const { return status; }

private:
    int status = kFailure;
};
