#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

/// The verbose log of a host: one line per call between the host and the plug-in, in either direction, written to a
/// stream (stderr by the render tool). Disabled, it prints nothing and costs one test per call.
class CallLog
{
public:
    /// A log that writes to stream when enabled; a null stream disables it.
    explicit CallLog(std::FILE* stream = nullptr);

    bool enabled() const { return out != nullptr && muteDepth == 0; }

    /// Writes one line, prefixed with the direction ("host -> plug-in" or "plug-in -> host").
    void hostToPlugin(const std::string& text) { write("host -> plug-in  ", text); }
    void pluginToHost(const std::string& text) { write("plug-in -> host  ", text); }
    /// Writes one line of the host's own (a block boundary, a note on what follows).
    void note(const std::string& text) { write("-- ", text); }

    /// Stops logging until resume(); calls may nest. Used while a burst of probing calls is summarised in one note.
    void mute() { ++muteDepth; }
    void resume()
    {
        if (muteDepth > 0)
            --muteDepth;
    }

    /// The published name of a dispatcher opcode ("effOpen"), or "opcode N".
    static std::string effectOpcodeName(int32_t opcode);
    /// The published name of a host-callback opcode ("audioMasterGetTime"), or "opcode N".
    static std::string hostOpcodeName(int32_t opcode);

private:
    void write(const char* prefix, const std::string& text);

    std::FILE* out = nullptr;
    int muteDepth = 0;
};
