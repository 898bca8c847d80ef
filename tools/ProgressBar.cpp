#include "tools/ProgressBar.h"

#include <fmt/format.h>

#include <string>

volatile std::sig_atomic_t ProgressBar::lineOpen = 0;

namespace
{

// "1:05" or "1:02:05".
std::string clockText(double seconds)
{
    const long long whole = seconds > 0.0 ? static_cast<long long>(seconds + 0.5) : 0;
    if (whole >= 3600)
        return fmt::format("{}:{:02}:{:02}", whole / 3600, whole / 60 % 60, whole % 60);
    return fmt::format("{}:{:02}", whole / 60, whole % 60);
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
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string left =
        clamped > 0 ? clockText(elapsed * static_cast<double>(totalUnits - clamped) / static_cast<double>(clamped))
                    : "?";
    std::fputs(fmt::format("\r[{}{}] {:3}%  {} elapsed, {} left ", std::string(filled, '#'),
                           std::string(kWidth - filled, '.'), clamped * 100 / totalUnits, clockText(elapsed), left)
                   .c_str(),
               out);
    std::fflush(out);
    shown = true;
    lineOpen = 1;
}

void ProgressBar::finish()
{
    if (out == nullptr || !shown)
        return;
    std::fputs(("\r" + std::string(79, ' ') + "\r").c_str(), out);
    std::fflush(out);
    shown = false;
    lineOpen = 0;
}
