#include "tools/ProgressBar.h"

ProgressBar::ProgressBar(std::FILE* stream, bool enabled, int64_t total)
    : out(enabled ? stream : nullptr), totalUnits(total > 0 ? total : 1)
{
}

void ProgressBar::update(int64_t done)
{
    if (out == nullptr)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (shown && now - lastDraw < std::chrono::milliseconds(100))
        return;
    lastDraw = now;
    draw(done);
}

void ProgressBar::draw(int64_t done)
{
    constexpr int kWidth = 40; // characters inside the brackets
    const int64_t clamped = done < 0 ? 0 : (done > totalUnits ? totalUnits : done);
    const int filled = static_cast<int>(clamped * kWidth / totalUnits);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(out, "\r[%s] %3d%%", bar, static_cast<int>(clamped * 100 / totalUnits));
    std::fflush(out);
    shown = true;
}

void ProgressBar::finish()
{
    if (out == nullptr || !shown)
        return;
    std::fprintf(out, "\r%*s\r", 48, "");
    std::fflush(out);
    shown = false;
}
