#include "tools/CommandLine.h"

#include "effect/FactoryPresets.h"
#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

namespace
{

[[noreturn]] void fail(const std::string& message)
{
    throw ToolError(message, ToolError::kUsage);
}

double secondsIn(const std::string& option, const std::string& text, double maximum)
{
    const auto value = parseSeconds(text);
    if (!value || *value > maximum)
        fail(option + " " + text + ": give a time from 0 to " + std::to_string(static_cast<int>(maximum)) +
             " s (\"2\", \"2s\", \"250ms\" or \"1:30.5\")");
    return *value;
}

double numberIn(const std::string& option, const std::string& text, double minimum, double maximum, const char* what)
{
    const auto value = parseNumber(text);
    if (!value || *value < minimum || *value > maximum)
        fail(option + " " + text + ": " + what);
    return *value;
}

int32_t integerIn(const std::string& option, const std::string& text, long long minimum, long long maximum,
                  const char* what)
{
    const auto value = parseInteger(text, minimum, maximum);
    if (!value)
        fail(option + " " + text + ": " + what);
    return static_cast<int32_t>(*value);
}

void parseTimeSignature(const std::string& text, TransportSettings& transport)
{
    const std::vector<std::string> parts = splitAt(text, '/');
    const auto numerator = parts.size() == 2 ? parseInteger(parts[0], 1, 64) : std::nullopt;
    const auto denominator = parts.size() == 2 ? parseInteger(parts[1], 1, 64) : std::nullopt;
    const bool powerOfTwo = denominator && (*denominator & (*denominator - 1)) == 0;
    if (!numerator || !denominator || !powerOfTwo)
        fail("--time-signature " + text + ": write N/D with N from 1 to 64 and D one of 1, 2, 4, 8, 16, 32, 64");
    transport.numerator = static_cast<int32_t>(*numerator);
    transport.denominator = static_cast<int32_t>(*denominator);
}

} // namespace

std::vector<std::string> presetNames()
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < kFactoryPresetCount; ++i)
        names.push_back(kFactoryPresets[i].name);
    return names;
}

RenderOptions CommandLine::parse(const std::vector<std::string>& arguments)
{
    RenderOptions options;
    std::vector<std::string> files;
    CLI::App app;
    app.set_help_flag();
    app.allow_extras(false);
    auto flag = [&app](const std::string& names, bool& target)
    { return app.add_flag(names, target)->disable_flag_override(); };
    // Each value goes through its check as it comes; a repeated option thus takes the later value.
    auto valued = [&app](const std::string& names, std::function<void(const std::string&)> take)
    { return app.add_option(names)->each(take)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll); };
    flag("-h,--help", options.help);
    flag("-V,--version", options.version);
    flag("--no-clobber", options.noClobber);
    flag("--info", options.info);
    flag("--json", options.json);
    flag("-q,--quiet", options.quiet);
    flag("-v,--verbose", options.verbose);
    flag("--stopped", options.transport.stopped);
    flag("--preroll-rolling", options.transport.prerollRolling);
    flag("--no-settle", options.noSettle);
    valued("--preset",
           [&](const std::string& v)
           {
               options.preset = nullptr;
               for (int32_t i = 0; i < kFactoryPresetCount; ++i)
               {
                   if (equalsIgnoringCase(trimmed(v), kFactoryPresets[i].name))
                       options.preset = &kFactoryPresets[i];
               }
               if (options.preset == nullptr)
                   fail("--preset " + v + ": the presets are " + quotedList(presetNames()) + " (see --info)");
           });
    valued("--channels",
           [&](const std::string& v)
           {
               const std::vector<std::string> parts = splitAt(v, ',');
               const auto left = parts.size() == 2 ? parseInteger(parts[0], 1, 1024) : std::nullopt;
               const auto right = parts.size() == 2 ? parseInteger(parts[1], 1, 1024) : std::nullopt;
               if (!left || !right)
                   fail("--channels " + v + ": give two of the input's channels, counted from 1, as L,R (\"1,2\")");
               options.channelPair[0] = static_cast<int>(*left);
               options.channelPair[1] = static_cast<int>(*right);
           });
    valued("-o,--output-folder", [&](const std::string& v) { options.outputFolder = v; });
    valued("--plugin", [&](const std::string& v) { options.pluginPath = v; });
    valued("--set", [&](const std::string& v) { options.sets.push_back(v); });
    valued("--automate", [&](const std::string& v) { options.automations.push_back(v); });
    valued("--response", [&](const std::string& v) { options.responsePath = v; });
    valued("--format", [&](const std::string& v) { options.sampleFormat = v; });
    valued("--type", [&](const std::string& v) { options.container = v; });
    valued("--dither",
           [&](const std::string& v)
           {
               if (v != "none" && v != "tpdf")
                   fail("--dither " + v + ": use tpdf (the default) or none");
               options.dither = v == "tpdf";
               options.ditherGiven = true;
           });
    valued("--quality", [&](const std::string& v)
           { options.quality = numberIn("--quality", v, 0.0, 1.0, "give a quality from 0 (smallest) to 1 (best)"); });
    valued("--tempo", [&](const std::string& v)
           { options.transport.tempoBpm = numberIn("--tempo", v, 1.0, 999.0, "give a tempo from 1 to 999 BPM"); });
    valued("--time-signature", [&](const std::string& v) { parseTimeSignature(v, options.transport); });
    valued("--start",
           [&](const std::string& v) {
               options.transport.startQuarters = numberIn("--start", v, -1e9, 1e9, "give a position in quarter notes");
           });
    valued("--ppq-resolution",
           [&](const std::string& v)
           {
               options.transport.ppqResolution = integerIn("--ppq-resolution", v, 0, 1000000,
                                                           "give steps per quarter note from 0 (exact) to 1000000");
           });
    valued("--block-size", [&](const std::string& v)
           { options.blockSize = integerIn("--block-size", v, 1, 65536, "give a block size from 1 to 65536 frames"); });
    valued("--first-block", [&](const std::string& v)
           { options.firstBlock = integerIn("--first-block", v, 1, 65536, "give a length from 1 to 65536 frames"); });
    valued("--preroll", [&](const std::string& v) { options.prerollSeconds = secondsIn("--preroll", v, 3600.0); });
    valued("--tail", [&](const std::string& v) { options.tailSeconds = secondsIn("--tail", v, 3600.0); });
    valued("--sample-rate",
           [&](const std::string& v)
           {
               const auto hz = parseHertz(v);
               if (!hz || *hz != std::floor(*hz) || *hz < 1000.0 || *hz > 768000.0)
                   fail("--sample-rate " + v + ": give a rate from 1000 to 768000 Hz (\"48000\", \"44.1k\")");
               options.sampleRate = *hz;
               options.sampleRateGiven = true;
           });
    app.add_option("files", files);

    // The help text or the version, whatever else the line holds.
    for (const std::string& argument : arguments)
    {
        if (argument == "--")
            break;
        options.help = options.help || argument == "-h" || argument == "--help";
        options.version = options.version || argument == "-V" || argument == "--version";
    }
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend()); // CLI11 takes them last first
    if (options.help || options.version)
    {
        // The rest counts only for the plug-in that --version names.
        RenderOptions rest;
        try
        {
            app.parse(reversed);
            rest = options;
        }
        catch (const std::exception&)
        {
        }
        rest.help = options.help;
        rest.version = options.version;
        return rest;
    }
    try
    {
        app.parse(reversed);
    }
    catch (const CLI::ExtrasError& error)
    {
        const std::string text = error.what(); // "The following argument was not expected: --bogus"
        const std::string extra = text.substr(text.rfind(": ") + 2);
        fail("unknown option " + extra.substr(0, extra.find(' ')) + " (see --help)");
    }
    catch (const CLI::ArgumentMismatch& error)
    {
        const std::string text = error.what(); // "info was given a disallowed flag override" or "--tempo: ..."
        if (text.find("flag override") != std::string::npos)
            fail("--" + text.substr(0, text.find(' ')) + " takes no value");
        fail(text.substr(0, text.find(':')) + " needs a value");
    }
    catch (const CLI::ParseError& error)
    {
        fail(error.what());
    }
    auto has = [&app](const char* option) { return app.count(option) > 0; };

    if (!options.outputFolder.empty())
    {
        if (files.empty())
            fail("-o " + options.outputFolder + ": give the INPUT files to render into it");
        for (const std::string& file : files)
        {
            if (file == "-")
                fail("-o FOLDER renders files; standard input has no name to give its output");
        }
        if (!options.responsePath.empty() || options.info || !options.container.empty())
            fail("-o FOLDER renders files only; give --info, --response and --type without it");
        options.batchInputs = files;
        files = {files.front(),
                 std::filesystem::path(options.outputFolder) / std::filesystem::path(files.front()).filename()};
    }
    if (files.size() == 2)
    {
        options.inputPath = files[0];
        options.outputPath = files[1];
    }
    else if (files.size() == 1)
        fail("give both INPUT and OUTPUT (one file given: " + files[0] + ")");
    else if (files.size() > 2)
        fail("too many files: give INPUT and OUTPUT only (the third is " + files[2] + ")");
    if (options.inputPath.empty() && !options.info && options.responsePath.empty())
        fail("give INPUT and OUTPUT, or --info, or --response FILE.csv (see --help)");
    // Options that would do nothing with the others are errors, not silently dropped.
    const bool renders = !options.inputPath.empty();
    const char* const renderOnly[] = {"--format", "--type",    "--tail",    "--no-clobber",
                                      "--dither", "--quality", "--channels"};
    for (const char* option : renderOnly)
    {
        if (!renders && has(option))
            fail(std::string(option) + " applies to a render; give INPUT and OUTPUT");
    }
    const char* const processingOnly[] = {"--preroll",        "--preroll-rolling", "--block-size", "--first-block",
                                          "--tempo",          "--time-signature",  "--start",      "--stopped",
                                          "--ppq-resolution", "--no-settle"};
    for (const char* option : processingOnly)
    {
        if (!renders && options.responsePath.empty() && has(option))
            fail(std::string(option) + " has no effect on --info; it applies to a render or --response");
    }
    if (options.json && options.quiet)
        fail("--json and --quiet contradict each other: --quiet drops the reports that --json prints");
    if (options.quiet && !renders && options.responsePath.empty())
        fail("--quiet has no effect on --info alone: it drops the progress bar and the summaries of a render and "
             "--response");
    if (options.transport.prerollRolling && !(options.prerollSeconds > 0.0))
        fail("--preroll-rolling applies to a pre-roll; give --preroll TIME too");
    if (options.transport.prerollRolling && options.transport.stopped)
        fail("--preroll-rolling and --stopped contradict each other: a stopped transport does not roll");
    if (!options.container.empty() && options.outputPath != "-")
        fail("--type applies to OUTPUT \"-\" (standard output); a file's extension gives its format");
    if (renders && options.outputPath == "-" && options.container.empty())
        fail("OUTPUT \"-\" (standard output) needs --type: wav, aiff, flac, w64, caf, au, rf64, ogg, opus or mp3");
    if (options.noClobber && options.outputPath == "-")
        fail("--no-clobber applies to an OUTPUT file, not to standard output");
    if (!options.inputPath.empty() && options.sampleRateGiven)
        fail("--sample-rate applies without an input file; a render runs at the input's rate");
    if (options.firstBlock > options.blockSize)
        fail("--first-block " + std::to_string(options.firstBlock) + " is longer than the block size " +
             std::to_string(options.blockSize));
    return options;
}

std::string CommandLine::usage()
{
    return
#include "tools/RenderUsage.inc"
        ;
}
