#include "host/EffectBase.h"

#include "host/EditorBase.h"
#include "host/NumberConversion.h"

#include <cmath>
#include <cstring>

namespace
{

constexpr int32_t kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');  // effIdentify's fixed answer
constexpr int32_t kDefaultUniqueId = fourCharCode('N', 'o', 'E', 'f'); // until a derived effect sets its own
constexpr int32_t kTextDigits = 8;                                     // characters of every number text

/// The character of the units digit of x (x finite, 0 <= x < 2^31): the integer part of x modulo 10.
char unitsDigit(double x)
{
    return static_cast<char>('0' + truncateToInt32(std::fmod(x, 10.0)));
}

/// 10^k for 0 <= k <= 8, by exact multiplication.
double powerOfTen(int32_t k)
{
    double p = 1.0;
    for (int32_t i = 0; i < k; ++i)
        p *= 10.0;
    return p;
}

} // namespace

EffectBase::EffectBase(audioMasterCallback hostCallback, int32_t numProgramsIn, int32_t numParamsIn)
    : audioMaster(hostCallback), numPrograms(numProgramsIn), numParams(numParamsIn)
{
    std::memset(&effectRecord, 0, sizeof(effectRecord));
    effectRecord.flags = effFlagsCanReplacing;
    effectRecord.magic = kEffectMagic;
    effectRecord.numPrograms = numPrograms;
    effectRecord.numInputs = 1;
    effectRecord.version = 1;
    effectRecord.dispatcher = hostDispatcher;
    effectRecord.process = hostProcess;
    effectRecord.setParameter = hostSetParameter;
    effectRecord.getParameter = hostGetParameter;
    effectRecord.numParams = numParams;
    effectRecord.numOutputs = 2;
    effectRecord.ioRatio = 1.0f;
    effectRecord.object = this;
    effectRecord.uniqueID = kDefaultUniqueId;
    effectRecord.processReplacing = hostProcessReplacing;
    effectRecord.processDoubleReplacing = hostProcessDoubleReplacing;
}

EffectBase::~EffectBase()
{
    delete editor;
}

intptr_t EffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char* const text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Compared at full width: a 64-bit value beyond the int32 range is not a program.
        if (value < numPrograms)
            setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(text);
        return 0;
    case effGetProgramName:
        getProgramName(text);
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        getParameterName(index, text);
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        return editor != nullptr && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor != nullptr && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor != nullptr)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor != nullptr)
            editor->idle();
        return 0;
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
        return 0; // effGetVu, the editor's draw, mouse, key, top and sleep, and every opcode from 25 on
    }
}

void EffectBase::open()
{
}

void EffectBase::close()
{
}

void EffectBase::suspend()
{
}

void EffectBase::resume()
{
}

void EffectBase::setSampleRate(float sampleRateHz)
{
    sampleRate.store(sampleRateHz, std::memory_order_relaxed);
}

void EffectBase::setBlockSize(int32_t frames)
{
    blockSize.store(frames, std::memory_order_relaxed);
}

void EffectBase::processDoubleReplacing(double**, double**, int32_t)
{
}

void EffectBase::setParameter(int32_t, float)
{
}

float EffectBase::getParameter(int32_t)
{
    return 0.0f;
}

void EffectBase::setParameterAutomated(int32_t index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::getProgram()
{
    return curProgram.load(std::memory_order_relaxed);
}

void EffectBase::setProgram(int32_t program)
{
    curProgram.store(program, std::memory_order_relaxed);
}

void EffectBase::setProgramName(char*)
{
}

void EffectBase::getProgramName(char* name)
{
    if (name != nullptr)
        name[0] = '\0';
}

void EffectBase::getParameterLabel(int32_t, char* label)
{
    if (label != nullptr)
        label[0] = '\0';
}

void EffectBase::getParameterDisplay(int32_t, char* text)
{
    if (text != nullptr)
        text[0] = '\0';
}

void EffectBase::getParameterName(int32_t, char* text)
{
    if (text != nullptr)
        text[0] = '\0';
}

int32_t EffectBase::getChunk(void**, bool)
{
    return 0;
}

int32_t EffectBase::setChunk(void*, int32_t, bool)
{
    return 0;
}

void EffectBase::setUniqueId(int32_t id)
{
    effectRecord.uniqueID = id;
}

void EffectBase::setNumInputs(int32_t inputs)
{
    effectRecord.numInputs = inputs;
}

void EffectBase::setNumOutputs(int32_t outputs)
{
    effectRecord.numOutputs = outputs;
}

void EffectBase::setCanReplacing(bool state)
{
    setFlag(effFlagsCanReplacing, state);
}

void EffectBase::setCanDoubleReplacing(bool state)
{
    setFlag(effFlagsCanDoubleReplacing, state);
}

void EffectBase::setProgramsAreChunks(bool state)
{
    setFlag(effFlagsProgramChunks, state);
}

void EffectBase::setInitialDelay(int32_t delayFrames)
{
    effectRecord.initialDelay = delayFrames;
}

EditorBase* EffectBase::getEditor()
{
    return editor;
}

AEffect* EffectBase::getEffectRecord()
{
    return &effectRecord;
}

float EffectBase::getSampleRate()
{
    return sampleRate.load(std::memory_order_relaxed);
}

int32_t EffectBase::getBlockSize()
{
    return blockSize.load(std::memory_order_relaxed);
}

int32_t EffectBase::getHostVersion()
{
    if (audioMaster == nullptr)
        return 1;
    const intptr_t answer = callHost(audioMasterVersion);
    return answer == 0 ? 1 : static_cast<int32_t>(answer);
}

int32_t EffectBase::getCurrentUniqueId()
{
    return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

intptr_t EffectBase::hostIdle()
{
    return callHost(audioMasterIdle);
}

bool EffectBase::isInputConnected(int32_t input)
{
    if (audioMaster == nullptr)
        return true;
    return callHost(audioMasterPinConnected, input, 0) == 0; // the host answers 0 for a connected pin
}

bool EffectBase::isOutputConnected(int32_t output)
{
    if (audioMaster == nullptr)
        return true;
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

void EffectBase::dbToText(float value, char* text, int32_t maxLen)
{
    if (value <= 0.0f)
    {
        copyBounded(text, "-oo", maxLen);
        return;
    }
    const float log10Value = static_cast<float>(std::log10(static_cast<double>(value)));
    floatToText(20.0f * log10Value, text, maxLen);
}

void EffectBase::hzToText(float samples, char* text, int32_t maxLen)
{
    if (samples == 0.0f)
        floatToText(0.0f, text, maxLen);
    else
        floatToText(getSampleRate() / samples, text, maxLen);
}

void EffectBase::msToText(float samples, char* text, int32_t maxLen)
{
    const double milliseconds = static_cast<double>(samples) * 1000.0 / static_cast<double>(getSampleRate());
    floatToText(static_cast<float>(milliseconds), text, maxLen);
}

void EffectBase::floatToText(float value, char* text, int32_t maxLen)
{
    double v = value;
    int32_t count = 0; // characters of the text so far, sign and point included
    const bool negative = v < 0.0;
    if (negative)
    {
        v = -v;
        count = 1;
    }
    // The 8 characters hold 7 integer digits and the point, or the sign, 6 digits and the point. NaN has no digits
    // to show and gives "Huge!" too; so does an infinity.
    const double limit = negative ? 1000000.0 : 10000000.0;
    if (!(v < limit))
    {
        copyBounded(text, "Huge!", maxLen);
        return;
    }

    // Integer part, right to left. n is scaled by 0.1 per digit and never rounded again: each digit is the integer
    // part of the floating remainder.
    char scratch[32];
    int32_t start = 31;
    scratch[start] = '\0';
    scratch[--start] = '.';
    double n = std::floor(v);
    scratch[--start] = unitsDigit(n);
    count += 2;
    n *= 0.1;
    while (n >= 1.0 && count < kTextDigits)
    {
        scratch[--start] = unitsDigit(n);
        ++count;
        n *= 0.1;
    }
    if (negative)
        scratch[--start] = '-';
    copyBounded(text, scratch + start, maxLen);
    if (count >= kTextDigits)
        return;

    // Fraction: the remaining characters, right to left from the scaled fractional part.
    const int32_t fractionDigits = kTextDigits - count;
    char fraction[kTextDigits + 1];
    fraction[fractionDigits] = '\0';
    double m = std::fmod(v, 1.0) * powerOfTen(fractionDigits);
    for (int32_t i = fractionDigits - 1; i >= 0; --i)
    {
        if (m <= 0.0)
        {
            fraction[i] = '0';
        }
        else
        {
            fraction[i] = unitsDigit(m);
            m *= 0.1;
        }
    }
    appendBounded(text, fraction, maxLen);
}

void EffectBase::intToText(int32_t value, char* text, int32_t maxLen)
{
    // The magnitude is taken at 64 bits: the most negative int32 has no positive int32 counterpart.
    const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    if (value >= 100000000 || magnitude >= 1000000000)
    {
        copyBounded(text, "Huge!", maxLen);
        return;
    }
    copyBounded(text, value < 0 ? "-" : "", maxLen);

    int64_t rest = magnitude;
    bool anyDigit = false;
    for (int64_t divisor = 100000000; divisor >= 1; divisor /= 10)
    {
        const int64_t digit = rest / divisor;
        rest %= divisor;
        if (digit != 0 || anyDigit)
        {
            const char character[2] = {static_cast<char>('0' + digit), '\0'};
            appendBounded(text, character, maxLen);
            anyDigit = true;
        }
    }
    if (!anyDigit)
        appendBounded(text, "0", maxLen); // zero: every digit was a leading zero
}

void EffectBase::process(float**, float**, int32_t)
{
}

float EffectBase::getVu()
{
    return 0.0f;
}

void EffectBase::setHasVu(bool state)
{
    setFlag(effFlagsHasVu, state);
}

void EffectBase::setHasClip(bool state)
{
    setFlag(effFlagsHasClip, state);
}

void EffectBase::setCanMono(bool state)
{
    setFlag(effFlagsCanMono, state);
}

void EffectBase::setRealtimeQualities(int32_t qualities)
{
    effectRecord.realQualities = qualities;
}

void EffectBase::setOfflineQualities(int32_t qualities)
{
    effectRecord.offQualities = qualities;
}

void EffectBase::copyBounded(char* text, const char* source, int32_t maxLen)
{
    if (text == nullptr || maxLen < 0)
        return;
    int32_t i = 0;
    if (source != nullptr)
    {
        for (; i < maxLen && source[i] != '\0'; ++i)
            text[i] = source[i];
    }
    for (; i < maxLen; ++i)
        text[i] = '\0';
    text[maxLen] = '\0';
}

void EffectBase::appendBounded(char* text, const char* source, int32_t maxLen)
{
    if (text == nullptr || maxLen < 0)
        return;
    int32_t end = 0;
    while (end < maxLen && text[end] != '\0')
        ++end;
    if (source != nullptr)
    {
        for (int32_t i = 0; end < maxLen && source[i] != '\0'; ++i)
            text[end++] = source[i];
    }
    if (end < maxLen)
        text[end] = '\0';
    text[maxLen] = '\0';
}

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    if (audioMaster == nullptr)
        return 0;
    return audioMaster(&effectRecord, opcode, index, value, ptr, opt);
}

void EffectBase::setFlag(int32_t flag, bool state)
{
    if (state)
        effectRecord.flags |= flag;
    else
        effectRecord.flags &= ~flag;
}

EffectBase* EffectBase::objectOf(AEffect* effect)
{
    return effect != nullptr ? static_cast<EffectBase*>(effect->object) : nullptr;
}

intptr_t VSTCALLBACK EffectBase::hostDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                void* ptr, float opt)
{
    EffectBase* const object = objectOf(effect);
    if (object == nullptr)
        return 0;
    if (opcode == effClose)
    {
        try
        {
            object->dispatcher(opcode, index, value, ptr, opt);
        }
        catch (...)
        {
            // Closing goes on: the host releases the instance whatever its clean-up did.
        }
        delete object;
        return 1;
    }
    try
    {
        return object->dispatcher(opcode, index, value, ptr, opt);
    }
    catch (...)
    {
        return 0;
    }
}

void VSTCALLBACK EffectBase::hostProcess(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames)
{
    EffectBase* const object = objectOf(effect);
    if (object == nullptr)
        return;
    try
    {
        object->process(inputs, outputs, sampleFrames);
    }
    catch (...)
    {
    }
}

void VSTCALLBACK EffectBase::hostSetParameter(AEffect* effect, int32_t index, float value)
{
    EffectBase* const object = objectOf(effect);
    if (object == nullptr)
        return;
    try
    {
        object->setParameter(index, value);
    }
    catch (...)
    {
    }
}

float VSTCALLBACK EffectBase::hostGetParameter(AEffect* effect, int32_t index)
{
    EffectBase* const object = objectOf(effect);
    if (object == nullptr)
        return 0.0f;
    try
    {
        return object->getParameter(index);
    }
    catch (...)
    {
        return 0.0f;
    }
}

void VSTCALLBACK EffectBase::hostProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                                  int32_t sampleFrames)
{
    EffectBase* const object = objectOf(effect);
    if (object == nullptr)
        return;
    try
    {
        object->processReplacing(inputs, outputs, sampleFrames);
    }
    catch (...)
    {
    }
}

void VSTCALLBACK EffectBase::hostProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                        int32_t sampleFrames)
{
    EffectBase* const object = objectOf(effect);
    if (object == nullptr)
        return;
    try
    {
        object->processDoubleReplacing(inputs, outputs, sampleFrames);
    }
    catch (...)
    {
    }
}
