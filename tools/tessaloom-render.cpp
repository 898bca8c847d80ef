// tessaloom-render: renders audio files through the Tessaloom plug-in, loaded with dlopen and driven only through its
// exported entry point and the effect record, in the order of calls a DAW makes. See CommandLine::usage() and the
// README's "Rendering audio".

#include "effect/FactoryPresets.h"
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
#include "tools/TemporaryFile.h"
#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

// The message an interrupt prints, made before the signal can come: the handler may only write and exit.
char interruptMessage[4200] = "tessaloom-render: interrupted; nothing written\n";

[[noreturn]] void onSignal(int signal)
{
    TemporaryFile::removeCurrentFromSignalHandler();
    if (ProgressBar::lineOpen != 0)
        (void)!write(STDERR_FILENO, "\n", 1);
    (void)!write(STDERR_FILENO, interruptMessage, std::strlen(interruptMessage));
    _exit(ToolError::interruptedBy(signal));
}

/// While it lives, an interrupt (Ctrl-C, SIGTERM, SIGHUP) removes the temporary file and ends the run at once with
/// 128 + the signal's number, even while a read of standard input waits; before and after, the signals act as usual.
class InterruptCatcher
{
public:
    explicit InterruptCatcher(const std::string& outputName)
    {
        const auto end = fmt::format_to_n(interruptMessage, sizeof(interruptMessage) - 1,
                                          "tessaloom-render: {}: interrupted; nothing written\n", outputName);
        *end.out = '\0';
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigfillset(&action.sa_mask);
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

// The plug-in library: --plugin, else $TESSALOOM_PLUGIN, else the first Tessaloom.so in ../lib/vst beside the
// program (an installed tree), the build tree this program was built in, each folder of $VST_PATH, ~/.vst,
// /usr/local/lib/vst and /usr/lib/vst. Throws ToolError listing the places looked at when there is none.
std::string findPlugin(const std::string& given)
{
    namespace fs = std::filesystem;
    if (!given.empty())
        return given;
    if (const char* const named = std::getenv("TESSALOOM_PLUGIN"); named != nullptr && *named != '\0')
        return named;
    std::vector<fs::path> candidates;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error)
        candidates.push_back(program.parent_path() / ".." / "lib" / "vst" / "Tessaloom.so");
    candidates.emplace_back(TESSALOOM_DEFAULT_PLUGIN);
    if (const char* const vstPath = std::getenv("VST_PATH"))
    {
        for (const std::string& folder : splitAt(vstPath, ':'))
        {
            if (!folder.empty())
                candidates.push_back(fs::path(folder) / "Tessaloom.so");
        }
    }
    if (const char* const home = std::getenv("HOME"))
        candidates.push_back(fs::path(home) / ".vst" / "Tessaloom.so");
    candidates.emplace_back("/usr/local/lib/vst/Tessaloom.so");
    candidates.emplace_back("/usr/lib/vst/Tessaloom.so");
    std::string looked;
    for (const fs::path& candidate : candidates)
    {
        if (fs::is_regular_file(candidate, error))
            return candidate.lexically_normal().string();
        looked += (looked.empty() ? "" : ", ") + candidate.lexically_normal().string();
    }
    throw ToolError("cannot find the plug-in (looked at " + looked + "); give --plugin PATH or set TESSALOOM_PLUGIN",
                    ToolError::kFailure);
}

OpenInstance openInstance(const RenderOptions& options, CallLog& log, const TransportSettings& transport)
{
    OpenInstance instance;
    instance.plugin = std::make_unique<PluginInstance>(log);
    instance.plugin->load(findPlugin(options.pluginPath));
    instance.session = std::make_unique<HostSession>(*instance.plugin, transport, options.blockSize);
    instance.session->open();
    return instance;
}

// --preset: every parameter's value, before the single values of --set and --automate.
void applyPreset(const RenderOptions& options, PluginInstance& plugin)
{
    if (options.preset == nullptr)
        return;
    for (int32_t i = 0; i < FilterEffect::kNumParameters; ++i)
        plugin.setParameter(i, options.preset->normalisedValues[i]);
}

std::vector<ParameterAssignment> parseAssignments(const RenderOptions& options, const ParameterCatalogue& catalogue)
{
    std::vector<ParameterAssignment> assignments;
    for (const std::string& text : options.sets)
        assignments.push_back(ParameterAssignment::parseSet(text, catalogue));
    for (const std::string& text : options.automations)
        assignments.push_back(ParameterAssignment::parseAutomation(text, catalogue));
    // A parameter given again with the same option takes the later value; --set and --automate of one parameter
    // contradict each other.
    std::vector<ParameterAssignment> kept;
    for (const ParameterAssignment& assignment : assignments)
    {
        const auto same = std::find_if(kept.begin(), kept.end(),
                                       [&assignment](const ParameterAssignment& other)
                                       { return other.index() == assignment.index(); });
        if (same != kept.end() && same->automated() != assignment.automated())
            throw ToolError("\"" + assignment.name() + "\" is given to --set and to --automate; give one of them",
                            ToolError::kUsage);
        if (same != kept.end())
            kept.erase(same);
        kept.push_back(assignment);
    }
    return kept;
}

// The parameter names the command line gives, for the catalogue to learn their entries.
std::vector<std::string> namesGiven(const RenderOptions& options)
{
    std::vector<std::string> names;
    for (const std::vector<std::string>* list : {&options.sets, &options.automations})
    {
        for (const std::string& text : *list)
            names.push_back(text.substr(0, text.find('=')));
    }
    return names;
}

// Refuses (usage) when two of the files the run reads and writes are one file, by whatever paths: rendering would
// replace the input with its own render.
void refuseSameFile(const RenderOptions& options)
{
    namespace fs = std::filesystem;
    const std::pair<const std::string&, const char*> files[] = {
        {options.inputPath, "INPUT"}, {options.outputPath, "OUTPUT"}, {options.responsePath, "--response"}};
    std::error_code error; // a file that is not there is no other file's twin
    const auto isFile = [&error](const std::string& path) { return path != "-" && fs::is_regular_file(path, error); };
    for (int i = 0; i < 3; ++i)
    {
        for (int j = i + 1; j < 3; ++j)
        {
            if (isFile(files[i].first) && isFile(files[j].first) &&
                fs::equivalent(files[i].first, files[j].first, error))
                throw ToolError(files[j].first + ": is the same file as " + files[i].second + " " + files[i].first +
                                    "; writing it would destroy it: give another " + files[j].second,
                                ToolError::kUsage);
        }
    }
}

// Frames of silence in one-frame blocks before the pre-roll: the plug-in glides its saturations and mix by a fraction
// each block (a fifth, three tenths) and crossfades 5 ms when the cutoff crosses the middle; 1024 blocks, or 10 ms
// where that is longer, end every glide in double precision, so that the output starts with the settings given.
int64_t settleFrames(double rate)
{
    return std::max<int64_t>(1024, static_cast<int64_t>(std::ceil(rate * 0.01)));
}

RenderSummary render(const RenderOptions& options, HostSession& session, PluginInstance& plugin,
                     AudioFileReader& reader, AudioFileWriter& writer)
{
    const double rate = session.sampleRate();
    RenderSummary summary;
    summary.inputPath = options.inputPath == "-" ? "standard input" : options.inputPath;
    summary.outputPath = options.outputPath == "-" ? "standard output" : options.outputPath;
    summary.inputChannels = reader.channels();
    summary.sampleRate = rate;
    summary.prerollFrames = std::llround(options.prerollSeconds * rate);
    summary.tailFrames = std::llround(options.tailSeconds * rate);

    // An input of unknown length is read until it ends; the schedule is cut there.
    const int64_t inputFrames = reader.unknownLength() ? INT64_MAX / 4 : reader.frames();
    summary.renderedFrames = inputFrames + summary.tailFrames;

    summary.floatOutput = writer.floatingPoint();
    BlockSchedule schedule(summary.prerollFrames, summary.renderedFrames, options.blockSize, options.firstBlock);
    ProgressBar progress(stderr,
                         !options.quiet && !options.verbose && isatty(STDERR_FILENO) != 0 && !reader.unknownLength(),
                         summary.prerollFrames + summary.renderedFrames);

    const size_t blockSize = static_cast<size_t>(options.blockSize);
    std::vector<float> inLeft(blockSize), inRight(blockSize), outLeft(blockSize), outRight(blockSize);
    float* const inputs[2] = {inLeft.data(), inRight.data()};
    float* const outputs[2] = {outLeft.data(), outRight.data()};

    const auto silence = [&inLeft, &inRight]
    {
        std::fill(inLeft.begin(), inLeft.end(), 0.0f);
        std::fill(inRight.begin(), inRight.end(), 0.0f);
    };

    const auto started = std::chrono::steady_clock::now();
    session.start();
    Block block;
    if (!options.noSettle)
    {
        silence();
        const int64_t settle = settleFrames(rate);
        for (int64_t i = 0; i < settle; ++i)
            session.process(Block{-summary.prerollFrames - settle + i, 1, true}, inputs, outputs);
    }
    bool inputEnded = false;
    while (schedule.next(block))
    {
        if (block.preroll || inputEnded)
            silence();
        else if (reader.read(inLeft.data(), inRight.data(), block.frames) < block.frames && reader.ended())
        {
            // The input ended (where it said, or earlier): the tail follows the last frame read.
            inputEnded = true;
            schedule.shorten(reader.framesRead() + summary.tailFrames);
        }
        session.process(block, inputs, outputs);
        if (!block.preroll)
        {
            const int32_t frames =
                static_cast<int32_t>(std::min<int64_t>(block.frames, schedule.renderedFrames() - block.start));
            writer.write(outLeft.data(), outRight.data(), frames);
            summary.addOutput(outLeft.data(), outRight.data(), frames);
        }
        ++summary.blocks;
        progress.update(summary.prerollFrames + block.start + block.frames);
    }
    summary.timeRequests = plugin.timeRequests();
    summary.renderedFrames = schedule.renderedFrames();
    summary.inputFramesRead = reader.framesRead();
    summary.inputDeclaredFrames = reader.declaredFrames();
    session.stop();
    writer.finish();
    summary.formatDescription = writer.description();
    summary.secondsTaken = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    progress.finish();
    return summary;
}

// Every report ends up on standard output: a failure to write it (a full disk, a closed pipe) is the run's failure.
// Answers its cause, or nothing when all went out.
std::string standardOutputFault()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
        return "";
    return errno != 0 ? std::strerror(errno) : "write error";
}

// One line on standard error, as every message of the tool.
void complain(const std::string& text)
{
    if (ProgressBar::lineOpen != 0) // a progress bar stays on its line when a render fails
        std::fputc('\n', stderr);
    ProgressBar::lineOpen = 0;
    std::fputs(("tessaloom-render: " + text + "\n").c_str(), stderr);
}

void warn(const std::string& text)
{
    complain("warning: " + text);
}

int run(const RenderOptions& options)
{
    CallLog log(options.verbose ? stderr : nullptr);
    // The audio or the response on standard output leaves standard error for the reports.
    std::FILE* const reports = options.outputPath == "-" || options.responsePath == "-" ? stderr : stdout;
    nlohmann::ordered_json jsonReports = nlohmann::ordered_json::object(); // "info", "render", "response"
    // The report of a render or a response: kept for the one JSON document at the end, or printed as text now.
    const auto report = [&](const char* key, const nlohmann::ordered_json& json, const std::string& text)
    {
        if (options.json && !options.quiet)
            jsonReports[key] = json;
        else if (!options.quiet)
            std::fputs(text.c_str(), reports);
    };

    // An interrupt ends the run at once, even while standard input is read, and removes any temporary file.
    const InterruptCatcher catcher(options.outputPath == "-" ? "standard output" : options.outputPath);
    // Files and formats first: a wrong output name or a missing input fails before anything is loaded.
    refuseSameFile(options);
    std::unique_ptr<AudioFileReader> reader;
    std::unique_ptr<AudioFileWriter> writer;
    OutputFormat outputFormat;
    if (!options.inputPath.empty())
    {
        reader = std::make_unique<AudioFileReader>(options.inputPath, options.channelPair[0], options.channelPair[1]);
        const int rate = reader->sampleRate();
        const int64_t frames = reader->unknownLength() ? -1
                                                       : std::max(reader->frames(), reader->declaredFrames()) +
                                                             std::llround(options.tailSeconds * rate);
        outputFormat = AudioFileWriter::choose(options.outputPath, options.container, options.sampleFormat,
                                               reader->format(), rate, frames);
        writer =
            std::make_unique<AudioFileWriter>(options.outputPath, outputFormat.format, rate, outputFormat.wavWhenSmall,
                                              options.noClobber, reader->channels() == 1 ? 1 : 2);
        if (options.ditherGiven && !writer->dithers())
            throw ToolError("--dither applies to PCM output; " + writer->description() + " is not narrowed",
                            ToolError::kUsage);
        writer->setDither(options.dither);
        if (options.quality >= 0.0)
            writer->setQuality(options.quality);
        const std::string dropped = writer->passMetadata(reader->metadata());
        if (!dropped.empty())
            warn(dropped);
    }
    const double rate = reader ? reader->sampleRate() : options.sampleRate;
    TransportSettings transport = options.transport;
    transport.sampleRate = rate;

    OpenInstance first = openInstance(options, log, transport);
    // Learning a parameter's entries sweeps its display: only the parameters named, unless --info shows them all.
    const ParameterCatalogue catalogue = options.info ? ParameterCatalogue::probe(*first.plugin)
                                                      : ParameterCatalogue::probe(*first.plugin, namesGiven(options));
    std::vector<ParameterAssignment> assignments = parseAssignments(options, catalogue);
    applyPreset(options, *first.plugin);
    for (const std::string& warning : first.session->applyAssignments(assignments))
        warn(warning);

    if (options.info)
    {
        if (options.json)
            jsonReports["info"] = PluginInfoReport::json(*first.plugin, catalogue);
        else
            std::fputs(PluginInfoReport::text(*first.plugin, catalogue).c_str(), reports);
    }

    if (reader)
    {
        RenderSummary summary = render(options, *first.session, *first.plugin, *reader, *writer);
        summary.formatNarrowing = outputFormat.narrowing;
        for (const std::string& warning : summary.warnings())
            warn(warning);
        report("render", summary.json(), options.batchInputs.empty() ? summary.text() : summary.line());
    }

    if (!options.responsePath.empty())
    {
        // A fresh instance with the same settings when the first one has rendered already.
        OpenInstance fresh;
        HostSession* session = first.session.get();
        if (reader)
        {
            fresh = openInstance(options, log, transport);
            applyPreset(options, *fresh.plugin);
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
            warn(options.responsePath + ": the plug-in's output was not finite; those frequencies read nan");
        const double lowest = points.empty() ? 0.0 : points.front().hz;
        const double highest = points.empty() ? 0.0 : points.back().hz;
        report("response",
               {{"file", options.responsePath},
                {"frequencies", points.size()},
                {"lowestHz", lowest},
                {"highestHz", highest}},
               fmt::format("response    {} ({} frequencies from {:.0f} Hz to {:.0f} Hz)\n", options.responsePath,
                           points.size(), lowest, highest));
    }

    // One run, one JSON document: the report itself when there is one, else an object holding each.
    if (!jsonReports.empty())
        std::fputs(jsonText(jsonReports.size() == 1 ? jsonReports.front() : jsonReports).c_str(), reports);
    // The output becomes the target only once its reports are out: a run that fails leaves no output.
    if (const std::string fault = standardOutputFault(); !fault.empty())
        throw ToolError("standard output: cannot write: " + fault + "; nothing written", ToolError::kFailure);
    if (writer)
        writer->commit();
    return 0;
}

int checkedStandardOutput(int status)
{
    const std::string fault = standardOutputFault();
    if (fault.empty())
        return status;
    complain("standard output: cannot write: " + fault);
    return status == 0 ? ToolError::kFailure : status;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN); // a closed pipe is a write error with a message, not a silent death
    // Reports stay in the buffer until the end, where a failure to write them is reported with its cause.
    static char reportBuffer[1 << 16];
    if (isatty(STDOUT_FILENO) == 0)
        std::setvbuf(stdout, reportBuffer, _IOFBF, sizeof(reportBuffer));
    try
    {
        const RenderOptions options = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help)
        {
            std::fputs(CommandLine::usage().c_str(), stdout);
            return checkedStandardOutput(0);
        }
        if (options.version)
        {
            std::fputs(fmt::format("tessaloom-render {} ({})\n", TESSALOOM_VERSION, sf_version_string()).c_str(),
                       stdout);
            try
            {
                std::fputs(("plug-in: " + findPlugin(options.pluginPath) + "\n").c_str(), stdout);
            }
            catch (const ToolError& error)
            {
                std::fputs(fmt::format("plug-in: none found ({})\n", error.what()).c_str(), stdout);
            }
            return checkedStandardOutput(0);
        }
        if (options.batchInputs.empty())
            return checkedStandardOutput(run(options));
        // A batch: each input into the folder under its own name; a failure ends that file only.
        int status = 0;
        for (const std::string& input : options.batchInputs)
        {
            RenderOptions one = options;
            one.inputPath = input;
            one.outputPath = (std::filesystem::path(options.outputFolder) / std::filesystem::path(input).filename());
            try
            {
                run(one);
            }
            catch (const ToolError& error)
            {
                std::fflush(stdout);
                complain(error.what());
                status = ToolError::kFailure;
            }
        }
        return checkedStandardOutput(status);
    }
    catch (const ToolError& error)
    {
        std::fflush(stdout);
        complain(error.what());
        return error.exitStatus();
    }
    catch (const std::exception& error)
    {
        std::fflush(stdout);
        complain(error.what());
        return ToolError::kFailure;
    }
}
