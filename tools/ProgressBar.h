#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

/// A one-line progress bar redrawn in place ("[#####.....]  48%"), at most ten times a second; silent when disabled
/// (the render tool enables it only when stderr is a terminal).
class ProgressBar
{
public:
    /// A bar for total units of work, drawn on stream when enabled.
    ProgressBar(std::FILE* stream, bool enabled, int64_t total);

    /// Shows done units of work.
    void update(int64_t done);
    /// Clears the line.
    void finish();

private:
    void draw(int64_t done);

    std::FILE* out = nullptr;
    int64_t totalUnits = 0;
    bool shown = false;
    std::chrono::steady_clock::time_point lastDraw{};
};
