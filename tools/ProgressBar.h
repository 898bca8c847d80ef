#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>

/// A one-line progress bar redrawn in place ("[#####.....]  48%  0:12 elapsed, 0:13 left"), at most ten times a
/// second, the time left estimated from the rate so far; silent when disabled
/// (the render tool enables it only when stderr is a terminal).
class ProgressBar
{
public:
    /// A bar for total units of work, drawn on stream when enabled.
    ProgressBar(std::FILE* stream, bool enabled, int64_t total);

    void update(int64_t done);
    void finish();

    /// True (1) while a bar is on its line without a line break: a message must start on a line of its own.
    static volatile std::sig_atomic_t lineOpen;

private:
    void draw(int64_t done);

    std::FILE* out = nullptr;
    int64_t totalUnits = 0;
    bool shown = false;
    std::chrono::steady_clock::time_point lastDraw{};
    std::chrono::steady_clock::time_point started{};
};
