// tessaloom-render: renders audio files through the Tessaloom plug-in, loaded with dlopen and driven only through its
// exported entry point and the effect record, in the order of calls a DAW makes. See CommandLine::usage() and the
// README's "Rendering audio".

#include "tools/AudioFileReader.h"
#include "tools/AudioFileWriter.h"
#include "tools/BlockSchedule.h"
#include "tools/CallLog.h"
#include "tools/CommandLine.h"
#include "tools/HostSession.h"
#include "tools/ParameterAssignment.h"
#include "tools/ParameterCatalogue.h"
#include "tools/PluginInfoReport.h"
#include "tools/PluginInstance.h"
#include "tools/ProgressBar.h"
#include "tools/RenderSummary.h"
#include "tools/ResponseMeasurement.h"
#include "tools/ToolError.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{

volatile std::sig_atomic_t interrupted = 0;

void onSignal(int)
{
    interrupted = 1;
}

/// While it lives, an interrupt (Ctrl-C, SIGTERM, SIGHUP) only sets a flag, so that the render loop can stop and
/// remove its temporary file; before and after, the signals act as usual.
class InterruptCatcher
{
public:
    InterruptCatcher()
    {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &action, &previous[i]);
    }
    ~InterruptCatcher()
    {
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &previous[i], nullptr);
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
    static constexpr int kSignalCount = 3;
    static constexpr int kSignals[kSignalCount] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous[kSignalCount] = {};
};

/// A loaded instance with its session, opened, as every job starts.
struct OpenInstance
{
    std::unique_ptr<PluginInstance> plugin;
    std::unique_ptr<HostSession> session;
};

OpenInstance openInstance(const RenderOptions& options, CallLog& log, const TransportSettings& transport)
{
    OpenInstance instance;
    instance.plugin = std::make_unique<PluginInstance>(log);
    instance.plugin->load(options.pluginPath.empty() ? std::string(TESSALOOM_DEFAULT_PLUGIN) : options.pluginPath);
    instance.session = std::make_unique<HostSession>(*instance.plugin, transport, options.blockSize);
    instance.session->open();
    return instance;
}

std::vector<ParameterAssignment> parseAssignments(const RenderOptions& options, const ParameterCatalogue& catalogue)
{
    std::vector<ParameterAssignment> assignments;
    for (const std::string& text : options.sets)
        assignments.push_back(ParameterAssignment::parseSet(text, catalogue));
    for (const std::string& text : options.automations)
        assignments.push_back(ParameterAssignment::parseAutomation(text, catalogue));
    for (size_t i = 0; i < assignments.size(); ++i)
    {
        for (size_t j = 0; j < i; ++j)
        {
            if (assignments[i].index() == assignments[j].index())
                throw ToolError("\"" + assignments[i].name() + "\" is given twice; give one --set or --automate",
                                ToolError::kUsage);
        }
    }
    return assignments;
}

RenderSummary render(const RenderOptions& options, HostSession& session, PluginInstance& plugin,
                     AudioFileReader& reader, int outputFormat)
{
    const double rate = session.sampleRate();
    RenderSummary summary;
    summary.inputPath = options.inputPath;
    summary.outputPath = options.outputPath;
    summary.formatDescription = AudioFileWriter::describe(outputFormat);
    summary.inputChannels = reader.channels();
    summary.sampleRate = rate;
    summary.prerollFrames = std::llround(options.prerollSeconds * rate);
    summary.tailFrames = std::llround(options.tailSeconds * rate);
    summary.renderedFrames = reader.frames() + summary.tailFrames;

    const InterruptCatcher catcher; // from the moment a temporary file exists
    AudioFileWriter writer(options.outputPath, outputFormat, static_cast<int>(rate));
    summary.floatOutput = writer.floatingPoint();
    BlockSchedule schedule(summary.prerollFrames, summary.renderedFrames, options.blockSize, options.firstBlock);
    ProgressBar progress(stderr, !options.quiet && !options.verbose && isatty(STDERR_FILENO) != 0,
                         summary.prerollFrames + summary.renderedFrames);

    const size_t blockSize = static_cast<size_t>(options.blockSize);
    std::vector<float> inLeft(blockSize), inRight(blockSize), outLeft(blockSize), outRight(blockSize);
    float* const inputs[2] = {inLeft.data(), inRight.data()};
    float* const outputs[2] = {outLeft.data(), outRight.data()};

    const auto started = std::chrono::steady_clock::now();
    session.start();
    Block block;
    while (schedule.next(block))
    {
        if (interrupted != 0)
            throw ToolError(options.outputPath + ": interrupted; nothing written", ToolError::kInterrupted);
        if (block.preroll)
        {
            std::fill(inLeft.begin(), inLeft.end(), 0.0f);
            std::fill(inRight.begin(), inRight.end(), 0.0f);
        }
        else
            reader.read(inLeft.data(), inRight.data(), block.frames);
        session.process(block, inputs, outputs);
        if (!block.preroll)
        {
            writer.write(outLeft.data(), outRight.data(), block.frames);
            summary.addOutput(outLeft.data(), outRight.data(), block.frames);
        }
        ++summary.blocks;
        progress.update(summary.prerollFrames + block.start + block.frames);
    }
    summary.timeRequests = plugin.timeRequests();
    session.stop();
    writer.commit();
    summary.secondsTaken = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    progress.finish();
    return summary;
}

int run(const RenderOptions& options)
{
    CallLog log(options.verbose ? stderr : nullptr);

    // Files and formats first: a wrong output name or a missing input fails before anything is loaded.
    std::unique_ptr<AudioFileReader> reader;
    if (!options.inputPath.empty())
        reader = std::make_unique<AudioFileReader>(options.inputPath);
    const double rate = reader ? reader->sampleRate() : options.sampleRate;
    const int outputFormat = reader ? AudioFileWriter::formatFor(options.outputPath, options.sampleFormat,
                                                                 reader->format(), static_cast<int>(rate))
                                    : 0;
    TransportSettings transport = options.transport;
    transport.sampleRate = rate;

    OpenInstance first = openInstance(options, log, transport);
    const ParameterCatalogue catalogue = ParameterCatalogue::probe(*first.plugin);
    std::vector<ParameterAssignment> assignments = parseAssignments(options, catalogue);
    first.session->applyAssignments(assignments);

    if (options.info)
    {
        const std::string report = options.json ? PluginInfoReport::json(*first.plugin, catalogue)
                                                : PluginInfoReport::text(*first.plugin, catalogue);
        std::fputs(report.c_str(), stdout);
    }

    if (reader)
    {
        const RenderSummary summary = render(options, *first.session, *first.plugin, *reader, outputFormat);
        for (const std::string& warning : summary.warnings())
            std::fprintf(stderr, "tessaloom-render: warning: %s\n", warning.c_str());
        if (!options.quiet)
            std::fputs((options.json ? summary.json() : summary.text()).c_str(), stdout);
    }

    if (!options.responsePath.empty())
    {
        // A fresh instance with the same settings when the first one has rendered already.
        OpenInstance fresh;
        HostSession* session = first.session.get();
        if (reader)
        {
            fresh = openInstance(options, log, transport);
            fresh.session->applyAssignments(assignments);
            session = fresh.session.get();
        }
        const auto points =
            ResponseMeasurement::measure(*session, options.firstBlock, std::llround(options.prerollSeconds * rate));
        ResponseMeasurement::writeCsv(options.responsePath, points);
        const bool finite = std::all_of(points.begin(), points.end(),
                                        [](const ResponseMeasurement::Point& p)
                                        { return std::isfinite(p.leftDb) && std::isfinite(p.rightDb); });
        if (!finite)
            std::fprintf(stderr,
                         "tessaloom-render: warning: %s: the plug-in's output was not finite; those "
                         "frequencies read nan\n",
                         options.responsePath.c_str());
        if (!options.quiet)
            std::printf("response    %s (%zu frequencies from %.0f Hz to %.0f Hz)\n", options.responsePath.c_str(),
                        points.size(), points.empty() ? 0.0 : points.front().hz,
                        points.empty() ? 0.0 : points.back().hz);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try
    {
        const RenderOptions options = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help)
        {
            std::fputs(CommandLine::usage().c_str(), stdout);
            return 0;
        }
        return run(options);
    }
    catch (const ToolError& error)
    {
        std::fflush(stdout);
        std::fprintf(stderr, "tessaloom-render: %s\n", error.what());
        return error.exitStatus();
    }
    catch (const std::exception& error)
    {
        std::fflush(stdout);
        std::fprintf(stderr, "tessaloom-render: %s\n", error.what());
        return ToolError::kFailure;
    }
}
