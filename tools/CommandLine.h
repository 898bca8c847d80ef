#pragma once

#include "tools/Transport.h"

#include <cstdint>
#include <string>
#include <vector>

/// Everything the command line asks of tessaloom-render, checked for form (values in range, files given where
/// needed, each option once, no option that has no effect with the others). Parameter names and values are checked
/// later against the plug-in itself.
struct RenderOptions
{
    std::string inputPath; // empty: no render
    std::string outputPath;
    const struct FactoryPreset* preset = nullptr; // --preset: the starting values, before --set
    std::string pluginPath; // empty: the plug-in found beside the program, in the build tree or on the VST path
    std::vector<std::string> batchInputs; // -o FOLDER: every file is an INPUT, rendered into the folder
    std::string outputFolder;
    int channelPair[2] = {0, 0};          // --channels L,R counted from 1; 0: the file's own one or two
    std::string responsePath;             // --response FILE.csv
    std::string sampleFormat;             // --format: float, pcm16, pcm24, pcm32 (any case); empty: the input's
    std::string container;                // --type: wav, aiff, flac, ...; empty: from OUTPUT's extension
    std::vector<std::string> sets;        // --set NAME=VALUE, in order
    std::vector<std::string> automations; // --automate NAME=T:V,...
    TransportSettings transport;          // its sampleRate is filled in from the input later
    int32_t blockSize = 512;              // frames
    int32_t firstBlock = 0;               // frames of the first rendered block; 0: a full block
    double prerollSeconds = 0.0;
    double tailSeconds = 0.0;
    double sampleRate = 48000.0; // Hz, used without an input file
    bool sampleRateGiven = false;
    bool info = false;
    bool json = false;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    bool noClobber = false;
    bool dither = true; // TPDF dither before rounding to PCM; --dither none turns it off
    bool ditherGiven = false;
    double quality = -1.0; // the lossy codecs' quality, 0 to 1; negative: the library's default
    bool noSettle = false; // start from the plug-in's defaults, as a DAW does, instead of the settings settled
};

/// The factory presets' names, for messages and --info.
std::vector<std::string> presetNames();

/// The command-line parser of tessaloom-render.
class CommandLine
{
public:
    /// Parses the arguments (without the program name). Throws ToolError (usage) naming the option at fault.
    static RenderOptions parse(const std::vector<std::string>& arguments);
    static std::string usage();
};
