// The time information the render tool answers, block by block, as a playing host's transport.

#include "tools/Transport.h"

#include <gtest/gtest.h>

namespace
{

TransportSettings settingsAt(double rate, double tempo)
{
    TransportSettings settings;
    settings.sampleRate = rate;
    settings.tempoBpm = tempo;
    return settings;
}

constexpr int32_t kValidBits = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

} // namespace

TEST(TransportTest, RollingPositionAdvancesWithTheFramesAtTheTempo)
{
    Transport transport(settingsAt(48000.0, 120.0));
    // 120 BPM is two quarter notes a second: 24000 frames per quarter note at 48 kHz.
    const VstTimeInfo& first = transport.beginBlock(0, false);
    EXPECT_EQ(first.ppqPos, 0.0);
    EXPECT_EQ(first.samplePos, 0.0);
    EXPECT_EQ(first.sampleRate, 48000.0);
    EXPECT_EQ(first.tempo, 120.0);
    EXPECT_EQ(transport.beginBlock(24000, false).ppqPos, 1.0);
    EXPECT_EQ(transport.beginBlock(24000, false).samplePos, 24000.0);
    EXPECT_EQ(transport.beginBlock(36000, false).ppqPos, 1.5);
    // 128 BPM at 44.1 kHz: 512 frames are 512 * 128 / (60 * 44100) quarter notes.
    Transport faster(settingsAt(44100.0, 128.0));
    EXPECT_EQ(faster.beginBlock(512, false).ppqPos, 512.0 * 128.0 / (60.0 * 44100.0));
}

TEST(TransportTest, BarStartFollowsTheTimeSignature)
{
    TransportSettings settings = settingsAt(48000.0, 120.0);
    Transport common(settings);
    EXPECT_EQ(common.quartersPerBar(), 4.0);
    EXPECT_EQ(common.beginBlock(24000 * 3, false).barStartPos, 0.0); // quarter 3: first bar
    EXPECT_EQ(common.beginBlock(24000 * 4, false).barStartPos, 4.0); // quarter 4: second bar starts
    EXPECT_EQ(common.beginBlock(24000 * 13 + 12000, false).barStartPos, 12.0);

    settings.numerator = 6;
    settings.denominator = 8; // six eighths: three quarter notes a bar
    Transport sixEight(settings);
    EXPECT_EQ(sixEight.quartersPerBar(), 3.0);
    const VstTimeInfo& info = sixEight.beginBlock(24000 * 7, false);
    EXPECT_EQ(info.barStartPos, 6.0);
    EXPECT_EQ(info.timeSigNumerator, 6);
    EXPECT_EQ(info.timeSigDenominator, 8);
}

TEST(TransportTest, StartPositionShiftsEverything)
{
    TransportSettings settings = settingsAt(48000.0, 120.0);
    settings.startQuarters = 13.5;
    Transport transport(settings);
    const VstTimeInfo& info = transport.beginBlock(0, false);
    EXPECT_EQ(info.ppqPos, 13.5);
    EXPECT_EQ(info.barStartPos, 12.0);
    EXPECT_EQ(info.samplePos, 13.5 * 24000.0);
    EXPECT_EQ(transport.beginBlock(12000, false).ppqPos, 14.0);
}

TEST(TransportTest, FlagsMarkValidFieldsPlayingAndChanges)
{
    Transport transport(settingsAt(48000.0, 120.0));
    EXPECT_EQ(transport.beginBlock(0, false).flags, kValidBits | kVstTransportPlaying | kVstTransportChanged);
    EXPECT_EQ(transport.beginBlock(512, false).flags, kValidBits | kVstTransportPlaying);
    EXPECT_TRUE(transport.rolling());
    EXPECT_EQ(transport.beginBlock(1024, false).flags, kValidBits | kVstTransportPlaying);
}

TEST(TransportTest, StoppedTransportStandsAtTheStart)
{
    TransportSettings settings = settingsAt(48000.0, 120.0);
    settings.stopped = true;
    settings.startQuarters = 8.0;
    Transport transport(settings);
    EXPECT_EQ(transport.beginBlock(0, false).flags, kValidBits | kVstTransportChanged);
    for (const int64_t offset : {512, 100000, 4800000})
    {
        const VstTimeInfo& info = transport.beginBlock(offset, false);
        EXPECT_EQ(info.ppqPos, 8.0);
        EXPECT_EQ(info.barStartPos, 8.0);
        EXPECT_EQ(info.flags, kValidBits);
        EXPECT_FALSE(transport.rolling());
    }
}

TEST(TransportTest, PrerollStandsAtTheStartThenRollsWithAChange)
{
    TransportSettings settings = settingsAt(48000.0, 120.0);
    settings.startQuarters = 4.0;
    Transport transport(settings);
    const VstTimeInfo& preroll = transport.beginBlock(-2048, true);
    EXPECT_EQ(preroll.ppqPos, 4.0);
    EXPECT_EQ(preroll.flags, kValidBits | kVstTransportChanged);
    EXPECT_EQ(transport.beginBlock(-1024, true).flags, kValidBits);
    const VstTimeInfo& start = transport.beginBlock(0, false);
    EXPECT_EQ(start.ppqPos, 4.0);
    EXPECT_EQ(start.flags, kValidBits | kVstTransportPlaying | kVstTransportChanged);
    EXPECT_EQ(transport.beginBlock(1024, false).flags, kValidBits | kVstTransportPlaying);
}

TEST(TransportTest, RollingPrerollComesFromBeforeTheStart)
{
    TransportSettings settings = settingsAt(48000.0, 120.0);
    settings.prerollRolling = true;
    Transport transport(settings);
    const VstTimeInfo& info = transport.beginBlock(-36000, true);
    EXPECT_EQ(info.ppqPos, -1.5);
    EXPECT_EQ(info.barStartPos, -4.0); // the bar before position 0
    EXPECT_EQ(info.flags, kValidBits | kVstTransportPlaying | kVstTransportChanged);
    EXPECT_EQ(transport.beginBlock(0, false).flags, kValidBits | kVstTransportPlaying); // no change at the start
}

TEST(TransportTest, PositionsRoundToTheResolution)
{
    // 1024 frames at 140 BPM and 48 kHz are 0.049777... quarter notes; at 1920 steps a quarter, 0.05.
    TransportSettings settings = settingsAt(48000.0, 140.0);
    settings.ppqResolution = 1920;
    Transport rounded(settings);
    EXPECT_EQ(rounded.beginBlock(1024, false).ppqPos, 96.0 / 1920.0);
    settings.ppqResolution = 0;
    Transport exact(settings);
    EXPECT_EQ(exact.beginBlock(1024, false).ppqPos, 1024.0 * 140.0 / (60.0 * 48000.0));
}
