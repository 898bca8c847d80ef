#include "parameters/ChoiceParameter.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace
{
const char* const kFilterTypes[] = {"Low Pass", "High Pass", "Dual LP/HP"};
const char* const kSyncModes[] = {"Whole", "Dotted", "Triplet", "Free"};
const char* const kNoteLengths[] = {"1/16 bar", "1/8 bar", "1/4 bar", "1/2 bar", "1 bar",
                                    "2 bars",   "4 bars",  "8 bars",  "16 bars", "32 bars"};

std::string display(const Parameter& parameter)
{
    char text[Parameter::kTextSize] = {};
    parameter.getDisplay(text);
    return text;
}

int32_t selectionAt(ChoiceParameter& choice, float x)
{
    choice.setValue(x);
    return choice.getIntValue();
}
} // namespace

TEST(ChoiceParameterTest, DefaultEntryGivesTheNormalisedValue)
{
    const ChoiceParameter lfoFreq("LFO Freq", "", 10, kNoteLengths, 4);
    EXPECT_EQ(0.4f, lfoFreq.getValue());
    EXPECT_EQ(4, lfoFreq.getIntValue());
    EXPECT_EQ(4.0f, lfoFreq.getPlainValue());
    EXPECT_EQ("1 bar", display(lfoFreq));
    EXPECT_EQ(0, lfoFreq.getEntryValue());

    const ChoiceParameter filterType("Filter Type", "", 3, kFilterTypes, 0);
    EXPECT_EQ(0.0f, filterType.getValue());
    EXPECT_EQ("Low Pass", display(filterType));
}

TEST(ChoiceParameterTest, EntryKCoversKOverNUpToTheNextBoundary)
{
    ChoiceParameter three("Filter Type", "", 3, kFilterTypes, 0);
    EXPECT_EQ(0, selectionAt(three, 0.3333f));
    EXPECT_EQ(1, selectionAt(three, 0.34f));
    EXPECT_EQ(2, selectionAt(three, 0.6667f));
    EXPECT_EQ(2, selectionAt(three, 1.0f));
    EXPECT_EQ(0, selectionAt(three, -0.2f));
    EXPECT_EQ(2, selectionAt(three, 7.0f));

    ChoiceParameter four("LFO Sync", "", 4, kSyncModes, 0);
    EXPECT_EQ(1, selectionAt(four, 0.25f));
    EXPECT_EQ("Dotted", display(four));
    EXPECT_EQ(2, selectionAt(four, 0.7499f));
    EXPECT_EQ(3, selectionAt(four, 0.75f));
    EXPECT_EQ("Free", display(four));

    // Ten entries: 10 * 0.3f rounds to 3.0f exactly, 10 * 0.29999998f to 2.9999998f.
    ChoiceParameter ten("LFO Freq", "", 10, kNoteLengths, 4);
    EXPECT_EQ(3, selectionAt(ten, 0.3f));
    EXPECT_EQ(2, selectionAt(ten, std::nextafter(0.3f, 0.0f)));
    EXPECT_EQ(8, selectionAt(ten, 0.8999f));
    EXPECT_EQ(9, selectionAt(ten, 0.9f));
    EXPECT_EQ(9, selectionAt(ten, 1.0f));
    EXPECT_EQ(0, selectionAt(ten, 0.0999f));
}

TEST(ChoiceParameterTest, ValueIsKeptUnquantised)
{
    ChoiceParameter sync("LFO Sync", "", 4, kSyncModes, 0);
    sync.setValue(0.9f);
    EXPECT_EQ(0.9f, sync.getValue());
    EXPECT_EQ(3, sync.getIntValue());
    EXPECT_EQ(3.0f, sync.getPlainValue());

    sync.setPlainValue(1.0f); // the selection and everything read from it stay
    EXPECT_EQ(3, sync.getIntValue());
    EXPECT_EQ(3.0f, sync.getPlainValue());
}

TEST(ChoiceParameterTest, NonFiniteAndHugeValuesSelectSafely)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    ChoiceParameter choice("LFO Freq", "", 10, kNoteLengths, 4);
    EXPECT_EQ(0, selectionAt(choice, std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(9, selectionAt(choice, inf));
    EXPECT_EQ(0, selectionAt(choice, -inf));
    EXPECT_EQ(9, selectionAt(choice, 3.0e38f));
    EXPECT_EQ(0, selectionAt(choice, -3.0e38f));
    EXPECT_EQ(9, selectionAt(choice, 2.2e8f)); // 2.2e9 after scaling: beyond int32
    EXPECT_EQ(0, ChoiceParameter::selectEntry(0, 0.5f));
}

TEST(ChoiceParameterTest, SetEntriesRederivesTheSelectionForTheNewCount)
{
    ChoiceParameter sync("LFO Sync", "", 4, kSyncModes, 0);
    sync.setValue(0.9f);
    const char* const twoNames[] = {"Off", "On"};
    sync.setEntries(2, twoNames);
    EXPECT_EQ(0.9f, sync.getValue());
    EXPECT_EQ(1, sync.getIntValue());
    EXPECT_EQ("On", display(sync));

    sync.setEntries(4, kSyncModes);
    EXPECT_EQ(3, sync.getIntValue());
    EXPECT_EQ("Free", display(sync));

    // Counts outside 1..128 are clamped, and no name is read for a count below 1.
    sync.setEntries(0, nullptr);
    EXPECT_EQ(0, sync.getIntValue());
    EXPECT_EQ("Whole", display(sync));
    sync.setEntries(1000, nullptr);
    EXPECT_EQ(115, sync.getIntValue()); // 128 * 0.9f truncated
    EXPECT_EQ(ChoiceParameter::kMaxEntries - 1, selectionAt(sync, 1.0f));
    EXPECT_EQ("", display(sync));
}

TEST(ChoiceParameterTest, EntryNamesFollowTheTextRule)
{
    ChoiceParameter shape("LFO Shape", "", 3, kFilterTypes, 0);
    shape.setEntryName(0, "An entry name of thirty chars");
    char text[Parameter::kTextSize + 4];
    std::memset(text, 0x5A, sizeof text);
    shape.getDisplay(text);
    EXPECT_STREQ("An entry name of thirty", text);
    EXPECT_EQ(0x5A, text[Parameter::kTextSize]);

    shape.setEntryName(-1, "ignored");
    shape.setEntryName(ChoiceParameter::kMaxEntries, "ignored");
    shape.setEntryName(ChoiceParameter::kMaxEntries - 1, "last slot");
    EXPECT_EQ("An entry name of thirty", display(shape));
}

TEST(ChoiceParameterTest, EntryValuesAreClampedToTheCapacity)
{
    ChoiceParameter choice("LFO Freq", "", 10, kNoteLengths, 4);
    int32_t values[200];
    for (int32_t i = 0; i < 200; ++i)
        values[i] = 1000 + i;
    EXPECT_EQ(128, choice.setEntryValues(200, values));
    EXPECT_EQ(1004, choice.getEntryValue());
    choice.setValue(0.95f);
    EXPECT_EQ(1009, choice.getEntryValue());

    const int32_t replacement[] = {-7};
    EXPECT_EQ(0, choice.setEntryValues(-3, replacement));
    EXPECT_EQ(1009, choice.getEntryValue());
    EXPECT_EQ(1, choice.setEntryValues(1, replacement));
    choice.setValue(0.0f);
    EXPECT_EQ(-7, choice.getEntryValue());
    EXPECT_EQ(9, selectionAt(choice, 1.0f)); // the entry count is not changed by the values: still ten entries
}
