#include "tools/ProgressBar.h"

volatile std::sig_atomic_t ProgressBar::lineOpen = 0;

namespace
{

// "1:05" or "1:02:05".
void clockText(double seconds, char* text, size_t size)
{
    const long long whole = seconds > 0.0 ? static_cast<long long>(seconds + 0.5) : 0;
    if (whole >= 3600)
        std::snprintf(text, size, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, size, "%lld:%02lld", whole / 60, whole % 60);
}

} // namespace

ProgressBar::ProgressBar(std::FILE* stream, bool enabled, int64_t total)
    : out(enabled ? stream : nullptr), totalUnits(total > 0 ? total : 1), started(std::chrono::steady_clock::now())
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
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char elapsedText[24];
    char leftText[24] = "?";
    clockText(elapsed, elapsedText, sizeof(elapsedText));
    if (clamped > 0)
        clockText(elapsed * static_cast<double>(totalUnits - clamped) / static_cast<double>(clamped), leftText,
                  sizeof(leftText));
    std::fprintf(out, "\r[%s] %3d%%  %s elapsed, %s left ", bar, static_cast<int>(clamped * 100 / totalUnits),
                 elapsedText, leftText);
    std::fflush(out);
    shown = true;
    lineOpen = 1;
}

void ProgressBar::finish()
{
    if (out == nullptr || !shown)
        return;
    std::fprintf(out, "\r%*s\r", 79, "");
    std::fflush(out);
    shown = false;
    lineOpen = 0;
}
