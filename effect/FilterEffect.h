#pragma once

#include "dsp/Biquad.h"
#include "dsp/CutoffAxis.h"
#include "dsp/Waveshaper.h"
#include "host/EffectBaseX.h"
#include "modulation/Lfo.h"
#include "parameters/Parameter.h"

#include <cstdint>
#include <memory>
#include <mutex>

class FloatParameter;
class FrequencyParameter;

/// Tessaloom's effect: pre-saturation, a resonant low-pass, high-pass or dual low/high-pass filter whose cutoff a
/// tempo-synchronised oscillator moves, post-saturation and a dry/wet mix, on two channels. The host reaches it
/// through the record its base owns; twelve automatable parameters are its whole state besides the program name.
///
/// Threads: processReplacing and everything below it run on the host's audio thread; the parameter and text
/// operations run on the host's other threads. They share only the parameter objects (whole 32-bit values read
/// once per block); no lock is taken on the audio path. The program name, which only host threads use, has a lock.
class FilterEffect : public EffectBaseX
{
public:
    /// Parameter indices as the host uses them.
    enum ParameterIndex : int32_t
    {
        kPreSaturation = 0,
        kFilterType = 1,
        kFilterFreq = 2,
        kFilterReso = 3,
        kLfoAmount = 4,
        kLfoFreq = 5,
        kLfoSync = 6,
        kLfoDirection = 7,
        kLfoShape = 8,
        kLfoPhase = 9,
        kPostSaturation = 10,
        kMix = 11,
        kNumParameters = 12,
    };

    /// Entries of "Filter Type"; Low Pass and High Pass equal the section types LowPass and HighPass.
    enum FilterTypeEntry : int32_t
    {
        kTypeLowPass = 0,
        kTypeHighPass = 1,
        kTypeDual = 2,
    };

    /// Entries of "LFO Sync".
    enum LfoSyncEntry : int32_t
    {
        kSyncWhole = 0,
        kSyncDotted = 1,
        kSyncTriplet = 2,
        kSyncFree = 3,
    };

    /// Entries of "LFO Direction".
    enum LfoDirectionEntry : int32_t
    {
        kDirectionDown = 0,
        kDirectionUp = 1,
    };

    static constexpr int32_t kUniqueId = 0x57727978; // 'Wryx'
    static constexpr int32_t kVendorVersion = 1001;
    static constexpr int32_t kProgramNameLength = 24; // characters, terminator not counted
    /// Most frames the dry buffers reserve when a block size is announced (effSetBlockSize, resume): 2^16, 256 KiB
    /// per channel. Longer blocks still arrive and grow the buffers on the audio thread, two allocations per new
    /// longest block; zero and negative announcements reserve nothing.
    static constexpr int32_t kDryReservationCeiling = 65536;

    /// The per-block state of the chain, copied out for tests and diagnostics.
    struct ProcessingState
    {
        double preSaturation;          // smoothed amount, 0..1
        double postSaturation;         // smoothed amount, 0..1
        double mix;                    // smoothed wet share, 0..1
        double lfoAmount;              // 0..1
        int32_t lfoDirection;          // "LFO Direction" entry
        int32_t lfoShape;              // shape last handed to the oscillator
        double lfoPhase;               // smoothed phase offset, cycles
        double cutoffPosition;         // normalised "Filter Freq" of the current block
        double previousCutoffPosition; // of the block before
        double resonance;              // Q, 1..4
        int32_t filterType;            // "Filter Type" entry
        int32_t crossfadeCounter;      // samples left of the dual-mode crossfade
        int32_t crossfadeLength;       // samples of the current crossfade
        double lfoRate;                // cycles per quarter note while synced, Hz when free
        int32_t syncCountdown;         // blocks left before the next time request
        double lastPpqPosition;        // quarter notes, at the last time request
        double beatsPerSecond;         // host tempo / 60
        int32_t dryCapacity;           // frames held by each dry buffer
        float processingRate;          // Hz, the rate the sections and the oscillator were last given
    };

    explicit FilterEffect(audioMasterCallback hostCallback);
    ~FilterEffect() override;

    /// Runs one block through the chain; outputs may be the inputs themselves. Every output sample is finite.
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept override;
    /// Stores the announced block size and sizes the dry buffers for it, so that processing need not allocate.
    void setBlockSize(int32_t frames) noexcept override;
    /// Sizes the dry buffers for the block size last announced (or the base's default), then resumes as the base does.
    void resume() noexcept override;

    /// Stores a finite normalised value in parameter index (0..11); anything else is ignored.
    void setParameter(int32_t index, float value) noexcept override;
    /// The normalised value of parameter index, as stored; 0 for an unknown index.
    float getParameter(int32_t index) noexcept override;
    /// Renames the program: at most 24 characters are kept.
    void setProgramName(char* name) noexcept override;
    /// Writes the program name: at most 24 characters and a zero at position 24.
    void getProgramName(char* name) noexcept override;
    /// Writes the unit of parameter index ("Hz" for "Filter Freq", else empty).
    void getParameterLabel(int32_t index, char* label) noexcept override;
    /// Writes the display text of parameter index, at most 24 bytes with the terminator.
    void getParameterDisplay(int32_t index, char* text) noexcept override;
    /// Writes the name of parameter index.
    void getParameterName(int32_t index, char* text) noexcept override;
    /// Writes "Tessaloom" (at most 32 characters).
    bool getEffectName(char* name) noexcept override;
    /// Writes "Vornmark" (at most 64 characters).
    bool getVendorString(char* text) noexcept override;
    /// Writes "Tessaloom" (at most 64 characters).
    bool getProductString(char* text) noexcept override;
    /// 1001.
    int32_t getVendorVersion() noexcept override;

    /// Oscillator cycles per quarter note for the current "LFO Freq" and "LFO Sync" selections.
    double syncedLfoRate() const noexcept;

    /// Copy of the per-block state.
    ProcessingState getProcessingState() const noexcept;
    /// The cutoff oscillator.
    const Lfo& getLfo() const noexcept { return lfo; }
    /// The section of every mode (the low-pass half in Dual).
    const Biquad& getPrimaryBiquad() const noexcept { return primaryBiquad; }
    /// The high-pass half in Dual.
    const Biquad& getSecondaryBiquad() const noexcept { return secondaryBiquad; }

private:
    static bool isParameterIndex(int32_t index) noexcept { return index >= 0 && index < kNumParameters; }
    /// The plain value of a float parameter, clamped to its range (a NaN gives the minimum).
    double plainInRange(int32_t index) const noexcept;

    void followSampleRate() noexcept;
    void updateBlockParameters() noexcept;
    void startCrossfade() noexcept;
    /// Makes each dry buffer hold at least frames samples, growing both when they are shorter and never shrinking
    /// them; false when they could not be grown (the old ones stay).
    bool growDryBuffers(int32_t frames) noexcept;
    /// growDryBuffers for an announced block size, at most kDryReservationCeiling frames.
    void reserveDryBuffers(int32_t announcedFrames) noexcept;
    void updateLfo() noexcept;

    /// The cutoff axis for this block.
    const CutoffScale& currentCutoffScale() noexcept;
    double modulatedPosition(double position, double lfoValue) const noexcept;
    void filterSingle(float* left, float* right, int32_t frames) noexcept;
    void filterDual(float* left, float* right, int32_t frames) noexcept;
    // Block-level parts of the two routines: the unmodulated loops, and the modulated ones that compute the
    // oscillator and the cutoffs a chunk ahead of the filter loop.
    void filterSingleSteady(float* left, float* right, int32_t frames) noexcept;
    void filterSingleModulated(float* left, float* right, int32_t frames) noexcept;
    void filterDualSteady(float* left, float* right, int32_t frames) noexcept;
    void filterDualModulated(float* left, float* right, int32_t frames) noexcept;

    void formatCutoffDisplay(char* text) const noexcept;
    void formatFreeRateDisplay(char* text) const noexcept;

    // Host threads may rename the program while others read the name: the lock keeps every copy whole. The audio
    // thread never touches the name, so no lock is ever taken on the audio path.
    mutable std::mutex programNameLock;
    char programName[kProgramNameLength + 1] = "Default";
    std::unique_ptr<Parameter> parameters[kNumParameters];
    FloatParameter* floatParameters[kNumParameters] = {}; // the float parameters by index; null for the others
    FrequencyParameter* filterFrequency = nullptr;        // parameters[kFilterFreq], for its range

    double preSaturation = 0.0;  // smoothed, 0..1
    double postSaturation = 0.0; // smoothed, 0..1
    double mix = 1.0;            // smoothed wet share, 0..1
    double lfoAmount = 0.0;      // 0..1, this block
    int32_t lfoDirection = kDirectionDown;
    int32_t lfoShape = 0;        // the oscillator builds shape 0 itself
    double lfoPhase = 0.0;       // smoothed "LFO Phase", cycles
    double cutoffPosition = 1.0; // normalised "Filter Freq", this block
    double previousCutoffPosition = 1.0;
    double resonance = 1.0; // Q, 1..4
    int32_t filterType = kTypeLowPass;
    int32_t crossfadeCounter = 0; // samples left
    int32_t crossfadeLength = 0;  // samples
    double lfoRate = 0.0;         // cycles per quarter note while synced, Hz when free
    int32_t syncCountdown = 0;    // blocks before the next time request
    double lastPpqPosition = 0.0; // quarter notes
    double beatsPerSecond = 2.0;  // 120 BPM until the host tells otherwise

    Waveshaper preShaper{2};
    Waveshaper postShaper{2};
    Biquad primaryBiquad;   // every mode; the low-pass half of Dual
    Biquad secondaryBiquad; // the high-pass half of Dual
    Lfo lfo;
    float processingRate; // Hz, last given to the sections and the oscillator

    CutoffScale cutoffScaleCache; // the cutoff axis of the last block
    CutoffTracker primaryTracker;
    CutoffTracker secondaryTracker;
    SteadyCutoff primarySteady;
    SteadyCutoff secondarySteady;

    // The dry buffers are sized off the audio thread when the host announces its block size (effSetBlockSize) and at
    // resume, calls that hosts make while no block is being processed; on the audio thread they only grow, when a
    // block is longer than any before.
    int32_t dryCapacity = 0; // frames per dry buffer
    std::unique_ptr<float[]> dryLeft;
    std::unique_ptr<float[]> dryRight;
};

/// Creates the effect for a host callback; null when it cannot be created.
EffectBase* createFilterEffect(audioMasterCallback hostCallback);
