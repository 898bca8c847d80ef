#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

/// Response types of a Biquad design. LowPass and HighPass equal the "Filter Type" entries "Low Pass" and "High Pass".
enum BiquadType : int32_t
{
    LowPass = 0,       ///< second-order low-pass
    HighPass = 1,      ///< second-order high-pass
    BandPass = 2,      ///< band-pass, 0 dB peak gain
    BandPassSkirt = 3, ///< band-pass, constant skirt gain (peak gain = Q)
    Notch = 4,
    AllPass = 5,
    Peaking = 6,   ///< peaking equaliser with gainDb
    LowShelf = 7,  ///< low shelf with gainDb
    HighShelf = 8, ///< high shelf with gainDb
};

/// One second-order section for two channels, Direct Form I, double precision throughout. Coefficients follow the
/// well-known audio-EQ cookbook formulas. Until its first design the section has zero coefficients (and outputs 0).
class Biquad
{
public:
    /// History magnitude beyond which a section counts as runaway. Ordinary use stays far below it: the worst
    /// transient, a full-range cutoff step at maximum resonance, peaks near 420.
    static constexpr double kRunawayLimit = 1e6;
    /// Largest output magnitude a section may give (100 dB above full scale; legitimate settings stay below 1e3).
    /// The filter routines check each sample of a section against it, both channels together: a sample where
    /// either output is not finite or larger comes out as +0 on both channels, and the section's eight history
    /// values become +0, so the next sample starts from silence.
    static constexpr double kOutputLimit = 1e5;

    struct Coefficients
    {
        double b0, b1, b2, a1, a2; // normalised by a0
    };

    /// sampleRateHz: the rate the design computes w0 with.
    explicit Biquad(double sampleRateHz) noexcept;
    virtual ~Biquad() = default;

    /// Recomputes the coefficients from the stored type, frequency, q, gainDb, bandwidthMode and sample rate.
    /// Leaves the history alone; a type outside 0..8 leaves the coefficients as they are.
    void design() noexcept;

    /// Stores a complete design (any type, gain, Q or bandwidth in octaves) and runs design(). History is kept.
    void setDesign(int32_t newType, double frequencyHz, double qOrBandwidth, double newGainDb,
                   bool newBandwidthMode) noexcept;

    /// Compare and redesign, once per sample: redesigns (0 dB gain, Q mode) only when the frequency moved by more
    /// than 1 Hz, Q by more than 0.01, the stored design had a gain or bandwidth mode, the type changed, or the
    /// sample rate changed since the last design. A type change clears the history first.
    void update(int32_t newType, double frequencyHz, double newQ) noexcept
    {
        if (needsDesign || frequencyMovedTooFar(frequency, frequencyHz) || std::fabs(q - newQ) > 0.01 ||
            std::fabs(gainDb) > 0.01 || bandwidthMode || type != newType)
            redesign(newType, frequencyHz, newQ);
    }

    /// The frequency test of update(), which the block loops that plan redesigns ahead use as well: a cutoff more than
    /// 1 Hz away from the stored frequency redesigns (a NaN never does).
    static bool frequencyMovedTooFar(double storedHz, double hz) noexcept { return std::fabs(storedHz - hz) > 1.0; }

    /// One Direct Form I step of channel 0 (left) or 1 (right).
    double process(int channel, double x) noexcept
    {
        double* h = history + 4 * static_cast<ptrdiff_t>(channel); // y1, y2, x1, x2
        const double y = b0 * x + b1 * h[2] + b2 * h[3] - a1 * h[0] - a2 * h[1];
        h[3] = h[2];
        h[2] = x;
        h[1] = h[0];
        h[0] = y;
        return y;
    }

    /// What update() would design for a low-pass or high-pass at frequencyHz with Q q, computed without storing it:
    /// the same operations in the same order as design(), for block loops that redesign ahead of filtering.
    Coefficients passDesign(int32_t passType, double frequencyHz, double newQ) const noexcept
    {
        // design() for LowPass and HighPass in Q mode, operation for operation.
        const double w0 = (frequencyHz / sampleRate) * 6.283185307179586;
        const double s = std::sin(w0);
        const double c = std::cos(w0);
        const double alpha = s / (newQ * 2.0);
        double nb0 = 0.0, nb1 = 0.0;
        if (passType == HighPass)
        {
            nb0 = (1.0 + c) * 0.5;
            nb1 = -(1.0 + c);
        }
        else
        {
            nb0 = (1.0 - c) * 0.5;
            nb1 = 1.0 - c;
        }
        const double na0 = 1.0 + alpha;
        const double na1 = -2.0 * c;
        const double na2 = 1.0 - alpha;
        const double k = 1.0 / na0;
        return {k * nb0, k * nb1, k * nb0, k * na1, k * na2}; // b2's numerator equals b0's
    }
    /// Takes over coefficients that passDesign computed for frequencyHz, as a redesign at that frequency would leave
    /// them; type, Q, gain and mode stay those of the last update (for which passDesign was asked).
    void adoptPassDesign(const Coefficients& coefficients, double frequencyHz) noexcept
    {
        b0 = coefficients.b0;
        b1 = coefficients.b1;
        b2 = coefficients.b2;
        a1 = coefficients.a1;
        a2 = coefficients.a2;
        frequency = frequencyHz;
    }
    /// The eight history values, for a block loop that keeps them in locals and writes them back once.
    double* historyValues() noexcept { return history; }

    /// Uses a new sample rate from the next update on (which then redesigns); the history is kept. A rate that is
    /// not finite or not above 0 is ignored.
    void setSampleRate(double sampleRateHz) noexcept;

    /// Sets all eight history values to 0.
    void clearHistory() noexcept;
    /// The guard run after each block: clears the whole history when a value is not finite or above kRunawayLimit in
    /// magnitude (the section ran away or was fed a huge sample); otherwise sets every value below the smallest
    /// normal double in magnitude, zeros included, to +0, so that no subnormal limit cycle outlives a tail.
    void settleHistory() noexcept;
    /// True when every history value is finite.
    bool historyIsFinite() const noexcept;

    Coefficients getCoefficients() const noexcept { return {b0, b1, b2, a1, a2}; }
    int32_t getType() const noexcept { return type; }
    double getFrequency() const noexcept { return frequency; }
    double getQ() const noexcept { return q; }
    double getSampleRate() const noexcept { return sampleRate; }
    const double* getHistory() const noexcept { return history; }
    /// Magnitude of the current design's response at hz (linear gain), for tests and plots.
    double magnitudeAt(double hz) const noexcept;

private:
    void redesign(int32_t newType, double frequencyHz, double newQ) noexcept;

    double b0 = 0.0, b1 = 0.0, b2 = 0.0; // feed-forward, divided by a0
    double a1 = 0.0, a2 = 0.0;           // feedback, divided by a0
    double history[8] = {};              // left y1, y2, x1, x2, then right y1, y2, x1, x2
    int32_t type = LowPass;
    double frequency = 0.0; // Hz
    double q = 1.0;         // Q, or bandwidth in octaves in bandwidth mode
    double gainDb = 0.0;    // Peaking and shelves only
    bool bandwidthMode = false;
    double sampleRate;       // Hz
    bool needsDesign = true; // no design yet, or the sample rate changed since the last one
};
