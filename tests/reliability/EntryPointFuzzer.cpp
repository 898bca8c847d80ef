// libFuzzer target over the exported entry point: every input is a script of host calls, played against instances
// created through VSTPluginMain exactly as a host creates them. The calls are arbitrary dispatcher opcodes (with
// buffers large enough for any answer), parameter writes and reads of any float bits, sample rates of any float
// bits (0, NaN, huge), announced block sizes 0..8192, blocks of 0..8192 frames (longer than announced too), input
// samples of any float bits, and time records of any bytes or none.
//
// Invariants, besides the sanitizers' own: every output sample of a processing call is finite, at most 1e5 (the
// filter's per-sample bound) plus the block's largest input magnitude (which the dry signal may add), and nothing is
// written beyond the frames of a block. A violation aborts with a message, which libFuzzer reports as a crash.

#include "host/VstInterface.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

namespace
{
constexpr int32_t kMaxFrames = 8192;       // longest block, and largest announced block size
constexpr int32_t kGuardFrames = 16;       // samples after a block that must stay untouched
constexpr int64_t kFrameBudget = 1 << 17;  // frames per input, so that one input runs in milliseconds
constexpr int kMaxCalls = 256;             // host calls per input
constexpr size_t kBufferBytes = 4096;      // every text, chunk or record buffer lent to the plug-in
constexpr float kGuardValue = -12345.678f; // what the guard samples hold

/// The fuzz input, read front to back; past its end every read gives zero bytes.
class Script
{
public:
    Script(const uint8_t* bytes, size_t length) : data(bytes), size(length) {}

    bool done() const { return at >= size; }

    template <typename T> T take()
    {
        T value{};
        const size_t n = at < size ? (size - at < sizeof(T) ? size - at : sizeof(T)) : 0;
        std::memcpy(&value, data + at, n);
        at += n;
        return value;
    }

    /// Copies up to count bytes into destination (zeros past the end); answers the bytes taken.
    size_t fill(void* destination, size_t count)
    {
        const size_t n = at < size ? (size - at < count ? size - at : count) : 0;
        std::memset(destination, 0, count);
        std::memcpy(destination, data + at, n);
        at += n;
        return n;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

// The host's side: the time record it answers (or none) and the version it claims.
VstTimeInfo hostTime{};
bool timeAvailable = false;
intptr_t hostVersion = 2400;

intptr_t VSTCALLBACK fuzzHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterVersion)
        return hostVersion;
    if (opcode == audioMasterGetTime)
        return timeAvailable ? reinterpret_cast<intptr_t>(&hostTime) : 0;
    return 0;
}

float inputs[2][kMaxFrames];
float outputs[2][kMaxFrames + kGuardFrames];
double doubleInputs[2][kMaxFrames];
double doubleOutputs[2][kMaxFrames];
alignas(16) char buffer[kBufferBytes];
alignas(16) char secondBuffer[kBufferBytes];

[[noreturn]] void fail(const char* what, int32_t frames, int32_t at)
{
    std::fprintf(stderr, "tessaloom fuzz invariant broken: %s (block of %d frames, sample %d)\n", what, frames, at);
    std::abort();
}

/// Input samples: raw float bits repeated from the script, noise of a scripted amplitude, or silence.
void fillInput(Script& script, int32_t frames)
{
    const uint8_t mode = script.take<uint8_t>() % 3;
    if (mode == 0)
    {
        float pattern[32];
        const size_t taken = script.fill(pattern, sizeof(pattern)) / sizeof(float);
        const size_t length = taken > 0 ? taken : 1;
        for (int32_t i = 0; i < frames; ++i)
        {
            inputs[0][i] = pattern[static_cast<size_t>(i) % length];
            inputs[1][i] = pattern[(static_cast<size_t>(i) + 1) % length];
        }
        return;
    }
    const float amplitude = mode == 1 ? script.take<float>() : 0.0f;
    uint32_t seed = script.take<uint32_t>();
    for (int32_t i = 0; i < frames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        inputs[0][i] = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
        inputs[1][i] = -inputs[0][i];
    }
}

void processBlock(AEffect* effect, Script& script, int32_t frames)
{
    fillInput(script, frames);
    timeAvailable = (script.take<uint8_t>() & 1) != 0;
    if (timeAvailable)
        script.fill(&hostTime, sizeof(hostTime));
    const bool inPlace = (script.take<uint8_t>() & 1) != 0;
    for (float* channel : {outputs[0], outputs[1]})
    {
        for (int32_t i = 0; i < kMaxFrames + kGuardFrames; ++i)
            channel[i] = kGuardValue;
    }
    if (inPlace)
    {
        std::memcpy(outputs[0], inputs[0], sizeof(float) * static_cast<size_t>(frames));
        std::memcpy(outputs[1], inputs[1], sizeof(float) * static_cast<size_t>(frames));
    }
    float* in[2] = {inPlace ? outputs[0] : inputs[0], inPlace ? outputs[1] : inputs[1]};
    float* out[2] = {outputs[0], outputs[1]};
    double bound = 1e5; // the filter's bound, plus what the dry signal can bring
    for (int c = 0; c < 2; ++c)
    {
        for (int32_t i = 0; i < frames; ++i)
            bound = std::fmax(bound, 1e5 + std::fabs(static_cast<double>(in[c][i])));
    }
    effect->processReplacing(effect, in, out, frames);
    for (int c = 0; c < 2; ++c)
    {
        for (int32_t i = 0; i < frames; ++i)
        {
            if (!std::isfinite(outputs[c][i]))
                fail("non-finite output sample", frames, i);
            if (std::fabs(static_cast<double>(outputs[c][i])) > bound * (1.0 + 1e-6))
                fail("output sample above 1e5 plus the largest input", frames, i);
        }
        for (int32_t i = frames; i < frames + kGuardFrames; ++i)
        {
            if (outputs[c][i] != kGuardValue)
                fail("written beyond the block", frames, i);
        }
    }
}

/// One dispatcher call with scripted arguments; answers false when it closed the instance.
bool dispatch(AEffect* effect, Script& script)
{
    const int32_t opcode = static_cast<int32_t>(script.take<uint8_t>() % 88) - 4; // -4..83: all known and some not
    const int32_t index = script.take<int32_t>();
    intptr_t value = static_cast<intptr_t>(script.take<int64_t>());
    const float opt = script.take<float>();
    const size_t textLength = script.take<uint8_t>();
    script.fill(buffer, textLength < kBufferBytes ? textLength : kBufferBytes - 1);
    std::memset(secondBuffer, 0, sizeof(secondBuffer));

    switch (opcode)
    {
    case effSetBlockSize:
        value = static_cast<intptr_t>(script.take<uint16_t>() % (kMaxFrames + 1));
        break;
    case effSetChunk:
        value = static_cast<intptr_t>(script.take<uint16_t>() % kBufferBytes); // bytes the buffer holds
        break;
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement:
        value = reinterpret_cast<intptr_t>(secondBuffer); // value is a pointer for these two
        break;
    default:
        break;
    }
    effect->dispatcher(effect, opcode, index, value, buffer, opt);
    return opcode != effClose;
}

AEffect* create(Script& script)
{
    hostVersion = (script.take<uint8_t>() % 16) == 0 ? 0 : 2400; // now and then a host the plug-in refuses
    return VSTPluginMain(&fuzzHost);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Script script(data, size);
    AEffect* effect = nullptr;
    int64_t framesLeft = kFrameBudget;
    for (int call = 0; call < kMaxCalls && !script.done(); ++call)
    {
        if (effect == nullptr)
        {
            effect = create(script);
            continue;
        }
        switch (script.take<uint8_t>() % 8)
        {
        case 0:
        case 1:
            if (!dispatch(effect, script))
                effect = nullptr;
            break;
        case 2:
        {
            const int32_t index = static_cast<int32_t>(script.take<uint8_t>() % 16) - 2; // -2..13
            effect->setParameter(effect, index, script.take<float>());
            break;
        }
        case 3:
            effect->getParameter(effect, script.take<int32_t>());
            break;
        case 4:
            effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, script.take<float>());
            break;
        case 5:
        case 6:
        {
            int32_t frames = static_cast<int32_t>(script.take<uint16_t>() % (kMaxFrames + 1));
            if (frames > framesLeft)
                frames = static_cast<int32_t>(framesLeft);
            framesLeft -= frames;
            processBlock(effect, script, frames);
            break;
        }
        default:
        {
            // The other two processing entries, which this plug-in leaves to its base.
            double* in[2] = {doubleInputs[0], doubleInputs[1]};
            double* out[2] = {doubleOutputs[0], doubleOutputs[1]};
            effect->processDoubleReplacing(effect, in, out, 64);
            float* fin[2] = {inputs[0], inputs[1]};
            float* fout[2] = {outputs[0], outputs[1]};
            effect->process(effect, fin, fout, 64);
            break;
        }
        }
    }
    if (effect != nullptr)
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
