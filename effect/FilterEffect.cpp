#include "effect/FilterEffect.h"
#include "effect/ParameterTables.h"

#include "dsp/DoublePair.h"
#include "dsp/Glide.h"
#include "host/NumberConversion.h"
#include "modulation/NoteLengths.h"
#include "modulation/TempoLaws.h"
#include "parameters/ChoiceParameter.h"
#include "parameters/FloatParameter.h"
#include "parameters/FrequencyParameter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

namespace
{
constexpr int kDisplaySize = Parameter::kTextSize; // bytes of a display text, terminator included
constexpr int32_t kEffectNameLength = 32;
constexpr int32_t kVendorTextLength = 64;

constexpr double kSaturationGlide = 0.2; // share of the distance to the target covered per block
constexpr double kMixGlide = 0.3;

/// NaN-safe clamp: a NaN gives the minimum.
double clampToRange(double v, double minimum, double maximum) noexcept
{
    if (!(v >= minimum))
        return minimum;
    if (v > maximum)
        return maximum;
    return v;
}

/// The saturation law, two samples at a time: y = shape(x) * (amount / 2) + (1 - amount * 0.7) * x, clamped to
/// [-1, 1] without a branch.
class SaturationLaw
{
public:
    explicit SaturationLaw(double amount) noexcept
        : shapedShare(DoublePair::broadcast(amount * 0.5)), plainShare(DoublePair::broadcast(1.0 - amount * 0.7))
    {
    }
    DoublePair apply(const Waveshaper& shaper, DoublePair x) const noexcept
    {
        return DoublePair::clampToUnit(shaper.shapeBoth(x) * shapedShare + plainShare * x);
    }

private:
    DoublePair shapedShare, plainShare;
};

/// One saturation stage over a channel. in may be out.
void saturate(const Waveshaper& shaper, double amount, const float* in, float* out, int32_t frames) noexcept
{
    const SaturationLaw law(amount);
    int32_t i = 0;
    for (; i + 2 <= frames; i += 2)
        law.apply(shaper, DoublePair::fromFloats(in + i)).storeFloats(out + i);
    if (i < frames)
    {
        float unused = 0.0f;
        law.apply(shaper, DoublePair::fromFloats(in + i, in + i)).storeFloats(out + i, &unused);
    }
}

/// Everything after the filter on one channel in one pass, two samples at a time: post-saturation when postAmount is
/// above 0, the dry/wet mix when dry is given (one of them is), and the chain's last step, which lets no NaN or
/// infinity reach the host (such a sample becomes 0). Each stage's result is rounded to float, as storing it between
/// stages would.
void finishChannel(const Waveshaper& shaper, double postAmount, const float* dry, double wet, float* out,
                   int32_t frames) noexcept
{
    const bool post = postAmount > 0.0;
    const SaturationLaw law(postAmount);
    const DoublePair wetShare = DoublePair::broadcast(wet);
    const DoublePair dryShare = DoublePair::broadcast(1.0 - wet);
    const auto stages = [&](DoublePair y, const float* dryFirst, const float* drySecond)
    {
        if (post)
            y = law.apply(shaper, y).roundedToFloat();
        if (dry != nullptr)
            y = DoublePair::fromFloats(dryFirst, drySecond) * dryShare + y * wetShare;
        return y;
    };
    int32_t i = 0;
    for (; i + 2 <= frames; i += 2)
    {
        const float* d = dry != nullptr ? dry + i : nullptr;
        stages(DoublePair::fromFloats(out + i), d, d != nullptr ? d + 1 : nullptr).storeFloats(out + i, true);
    }
    if (i < frames)
    {
        float unused = 0.0f;
        const float* d = dry != nullptr ? dry + i : nullptr;
        stages(DoublePair::fromFloats(out + i, out + i), d, d).storeFloats(out + i, &unused, true);
    }
}

void copyChannel(const float* in, float* out, int32_t frames) noexcept
{
    if (in != out && frames > 0)
        std::memmove(out, in, static_cast<size_t>(frames) * sizeof(float));
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------------
// Construction

FilterEffect::FilterEffect(audioMasterCallback hostCallback)
    : EffectBaseX(hostCallback, 1, kNumParameters), primaryBiquad(getSampleRate()), secondaryBiquad(getSampleRate()),
      lfo(getSampleRate()), processingRate(getSampleRate())
{
    setCanReplacing(true);
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueId(kUniqueId);

    for (const FloatParameterEntry& entry : kFloatParameterEntries)
    {
        auto parameter =
            std::make_unique<FloatParameter>(entry.name, "", entry.minimum, entry.maximum, entry.defaultValue);
        floatParameters[entry.index] = parameter.get();
        parameters[entry.index] = std::move(parameter);
    }

    auto frequency = std::make_unique<FrequencyParameter>();
    filterFrequency = frequency.get();
    parameters[kFilterFreq] = std::move(frequency);

    for (const ChoiceParameterEntry& entry : kChoiceParameterEntries)
    {
        const char* names[ChoiceParameter::kMaxEntries];
        for (int32_t i = 0; i < entry.entryCount; ++i)
            names[i] = choiceEntryName(entry.index, i);
        parameters[entry.index] =
            std::make_unique<ChoiceParameter>(entry.name, "", entry.entryCount, names, entry.defaultEntry);
    }
}

FilterEffect::~FilterEffect() = default;

EffectBase* createFilterEffect(audioMasterCallback hostCallback)
{
    try
    {
        return new (std::nothrow) FilterEffect(hostCallback);
    }
    catch (...)
    {
        return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------------------------------
// Block processing

void FilterEffect::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
    if (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr || inputs[1] == nullptr ||
        outputs[0] == nullptr || outputs[1] == nullptr)
        return;
    const int32_t frames = sampleFrames > 0 ? sampleFrames : 0;
    const float* inLeft = inputs[0];
    const float* inRight = inputs[1];
    float* outLeft = outputs[0];
    float* outRight = outputs[1];

    followSampleRate();
    updateBlockParameters();
    updateLfo();

    // mix stays as it is until the end of the block, so the dry copy is made in exactly the blocks that are mixed.
    // It is taken before the outputs are written, which keeps the dry signal when processing in place.
    const bool mixing = mix < 1.0 && growDryBuffers(frames);
    if (mixing)
    {
        copyChannel(inLeft, dryLeft.get(), frames);
        copyChannel(inRight, dryRight.get(), frames);
    }

    if (preSaturation > 0.0)
    {
        saturate(preShaper, preSaturation, inLeft, outLeft, frames);
        saturate(preShaper, preSaturation, inRight, outRight, frames);
    }
    else
    {
        copyChannel(inLeft, outLeft, frames);
        copyChannel(inRight, outRight, frames);
    }

    if (filterType == kTypeDual)
        filterDual(outLeft, outRight, frames);
    else
        filterSingle(outLeft, outRight, frames);
    // Once per block: a section that ran away or took a huge sample starts again from silence, and a decaying tail
    // ends in exact zeros instead of a subnormal limit cycle, whatever floating-point modes the host runs with.
    primaryBiquad.settleHistory();
    secondaryBiquad.settleHistory();

    const float* dryInLeft = mixing ? dryLeft.get() : nullptr;
    const float* dryInRight = mixing ? dryRight.get() : nullptr;
    // The two output channels are two buffers, as every host gives them (the filter reads a frame's two samples
    // before it writes them). The output guard: the filter's per-sample guard lets only finite samples of at most 1e5
    // out; what comes after it (post-saturation, the dry signal) passes the non-finite guard of finishChannel.
    if (postSaturation > 0.0 || mixing)
    {
        finishChannel(postShaper, postSaturation, dryInLeft, mix, outLeft, frames);
        finishChannel(postShaper, postSaturation, dryInRight, mix, outRight, frames);
    }
}

void FilterEffect::setBlockSize(int32_t frames) noexcept
{
    EffectBaseX::setBlockSize(frames);
    reserveDryBuffers(frames);
}

void FilterEffect::resume() noexcept
{
    reserveDryBuffers(getBlockSize());
    EffectBaseX::resume();
}

void FilterEffect::followSampleRate() noexcept
{
    const float rate = getSampleRate();
    if (!std::isfinite(rate) || !(rate > 0.0f) || rate == processingRate)
        return;
    processingRate = rate;
    primaryBiquad.setSampleRate(rate);
    secondaryBiquad.setSampleRate(rate);
    lfo.setSampleRate(rate);
}

double FilterEffect::plainInRange(int32_t index) const noexcept
{
    const FloatParameter& parameter = *floatParameters[index];
    return clampToRange(parameter.getPlainValue(), parameter.getMinimum(), parameter.getMaximum());
}

void FilterEffect::updateBlockParameters() noexcept
{
    preSaturation = glide(preSaturation, plainInRange(kPreSaturation), kSaturationGlide);
    postSaturation = glide(postSaturation, plainInRange(kPostSaturation), kSaturationGlide);
    mix = glide(mix, plainInRange(kMix), kMixGlide);
    lfoAmount = plainInRange(kLfoAmount);
    lfoDirection = parameters[kLfoDirection]->getIntValue();

    const int32_t shape = parameters[kLfoShape]->getIntValue();
    if (shape != lfoShape)
    {
        lfoShape = shape;
        lfo.setShape(shape);
    }

    previousCutoffPosition = cutoffPosition;
    cutoffPosition = parameters[kFilterFreq]->getValue();
    if ((cutoffPosition <= 0.5) != (previousCutoffPosition <= 0.5))
        startCrossfade();

    resonance = plainInRange(kFilterReso);
    filterType = parameters[kFilterType]->getIntValue();
}

void FilterEffect::startCrossfade() noexcept
{
    // 5 ms at the current sample rate, with the constants as single-precision numbers and the product in double.
    const double rate = getSampleRate();
    int32_t length = 1;
    if (std::isfinite(rate))
        length = truncateToInt32(rate * static_cast<double>(5.0f) * static_cast<double>(0.001f));
    if (length < 1)
        length = 1;
    crossfadeLength = length;
    crossfadeCounter = length;
}

void FilterEffect::reserveDryBuffers(int32_t announcedFrames) noexcept
{
    growDryBuffers(announcedFrames < kDryReservationCeiling ? announcedFrames : kDryReservationCeiling);
}

bool FilterEffect::growDryBuffers(int32_t frames) noexcept
{
    if (frames <= dryCapacity)
        return true;
    if (static_cast<uint64_t>(frames) > SIZE_MAX / sizeof(float))
        return false;
    std::unique_ptr<float[]> left(new (std::nothrow) float[static_cast<size_t>(frames)]);
    std::unique_ptr<float[]> right(new (std::nothrow) float[static_cast<size_t>(frames)]);
    if (!left || !right)
        return false; // a block that needs them goes unmixed; the next one tries again
    dryLeft = std::move(left);
    dryRight = std::move(right);
    dryCapacity = frames;
    return true;
}

// ---------------------------------------------------------------------------------------------------------------------
// Parameter access and display

void FilterEffect::setParameter(int32_t index, float value) noexcept
{
    if (!isParameterIndex(index) || !std::isfinite(value))
        return;
    parameters[index]->setValue(value);
}

float FilterEffect::getParameter(int32_t index) noexcept
{
    if (!isParameterIndex(index))
        return 0.0f;
    return parameters[index]->getValue();
}

void FilterEffect::getParameterName(int32_t index, char* text) noexcept
{
    if (text == nullptr)
        return;
    if (isParameterIndex(index))
        parameters[index]->getName(text);
    else
        text[0] = '\0';
}

void FilterEffect::getParameterLabel(int32_t index, char* label) noexcept
{
    if (label == nullptr)
        return;
    if (isParameterIndex(index))
        parameters[index]->getLabel(label);
    else
        label[0] = '\0';
}

void FilterEffect::getParameterDisplay(int32_t index, char* text) noexcept
{
    if (text == nullptr)
        return;
    if (!isParameterIndex(index))
        text[0] = '\0';
    else if (index == kFilterFreq)
        formatCutoffDisplay(text);
    else if (index == kLfoFreq && parameters[kLfoSync]->getIntValue() == kSyncFree)
        formatFreeRateDisplay(text);
    else
        parameters[index]->getDisplay(text);
}

void FilterEffect::formatCutoffDisplay(char* text) const noexcept
{
    // In Dual mode each half of the knob shows the frequency of the section it sweeps.
    double position = filterFrequency->getValue();
    const char* prefix = "";
    if (parameters[kFilterType]->getIntValue() == kTypeDual)
    {
        if (position <= 0.5)
        {
            position = position * 2.0;
            prefix = "LP";
        }
        else
        {
            position = (position - 0.5) * 2.0;
            prefix = "HP";
        }
    }
    const double lo = std::log(static_cast<double>(filterFrequency->getMinimum()));
    const double hi = std::log(static_cast<double>(filterFrequency->getMaximum()));
    const double hz = std::exp(lo + (hi - lo) * position);
    std::snprintf(text, kDisplaySize, "%s %.0f", prefix, std::ceil(hz));
}

void FilterEffect::formatFreeRateDisplay(char* text) const noexcept
{
    std::snprintf(text, kDisplaySize, "%.2f Hz", freeLfoRateHz(parameters[kLfoFreq]->getValue()));
}

// ---------------------------------------------------------------------------------------------------------------------
// Identity and program name

void FilterEffect::setProgramName(char* name) noexcept
{
    if (name == nullptr)
        return;
    const std::lock_guard<std::mutex> guard(programNameLock);
    copyBounded(programName, name, kProgramNameLength);
}

void FilterEffect::getProgramName(char* name) noexcept
{
    if (name == nullptr)
        return;
    const std::lock_guard<std::mutex> guard(programNameLock);
    copyBounded(name, programName, kProgramNameLength);
}

bool FilterEffect::getEffectName(char* name) noexcept
{
    if (name == nullptr)
        return false;
    copyBounded(name, "Tessaloom", kEffectNameLength);
    return true;
}

bool FilterEffect::getVendorString(char* text) noexcept
{
    if (text == nullptr)
        return false;
    copyBounded(text, "Vornmark", kVendorTextLength);
    return true;
}

bool FilterEffect::getProductString(char* text) noexcept
{
    if (text == nullptr)
        return false;
    copyBounded(text, "Tessaloom", kVendorTextLength);
    return true;
}

int32_t FilterEffect::getVendorVersion() noexcept
{
    return kVendorVersion;
}

// ---------------------------------------------------------------------------------------------------------------------
// Test window

FilterEffect::ProcessingState FilterEffect::getProcessingState() const noexcept
{
    ProcessingState state{};
    state.preSaturation = preSaturation;
    state.postSaturation = postSaturation;
    state.mix = mix;
    state.lfoAmount = lfoAmount;
    state.lfoDirection = lfoDirection;
    state.lfoShape = lfoShape;
    state.lfoPhase = lfoPhase;
    state.cutoffPosition = cutoffPosition;
    state.previousCutoffPosition = previousCutoffPosition;
    state.resonance = resonance;
    state.filterType = filterType;
    state.crossfadeCounter = crossfadeCounter;
    state.crossfadeLength = crossfadeLength;
    state.lfoRate = lfoRate;
    state.syncCountdown = syncCountdown;
    state.lastPpqPosition = lastPpqPosition;
    state.beatsPerSecond = beatsPerSecond;
    state.dryCapacity = dryCapacity;
    state.processingRate = processingRate;
    return state;
}
