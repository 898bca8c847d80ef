// The block pattern of a render: pre-roll, a short first block, full blocks, the remainder.

#include "tools/BlockSchedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

std::vector<Block> allBlocks(BlockSchedule schedule)
{
    std::vector<Block> blocks;
    Block block;
    while (schedule.next(block))
        blocks.push_back(block);
    return blocks;
}

} // namespace

TEST(BlockScheduleTest, FullBlocksThenTheRemainder)
{
    const std::vector<Block> blocks = allBlocks(BlockSchedule(0, 1300, 512));
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].start, 0);
    EXPECT_EQ(blocks[0].frames, 512);
    EXPECT_EQ(blocks[1].start, 512);
    EXPECT_EQ(blocks[2].start, 1024);
    EXPECT_EQ(blocks[2].frames, 276);
    for (const Block& block : blocks)
        EXPECT_FALSE(block.preroll);
}

TEST(BlockScheduleTest, AHostsExportPattern)
{
    // Two seconds of pre-roll at 48 kHz in blocks of 1024 end with a 768-frame block; the transport then starts with
    // a 256-frame block and goes on in blocks of 1024 from frame 256.
    const std::vector<Block> blocks = allBlocks(BlockSchedule(96000, 4096, 1024, 256));
    ASSERT_EQ(blocks.size(), 93u + 1u + 1u + 4u);
    for (size_t i = 0; i < 93; ++i)
    {
        EXPECT_TRUE(blocks[i].preroll);
        EXPECT_EQ(blocks[i].frames, 1024);
        EXPECT_EQ(blocks[i].start, -96000 + static_cast<int64_t>(i) * 1024);
    }
    EXPECT_TRUE(blocks[93].preroll);
    EXPECT_EQ(blocks[93].start, -768);
    EXPECT_EQ(blocks[93].frames, 768);
    EXPECT_FALSE(blocks[94].preroll);
    EXPECT_EQ(blocks[94].start, 0);
    EXPECT_EQ(blocks[94].frames, 256);
    EXPECT_EQ(blocks[95].start, 256);
    EXPECT_EQ(blocks[95].frames, 1024);
    EXPECT_EQ(blocks[98].start, 3328);
    EXPECT_EQ(blocks[98].frames, 768);
}

TEST(BlockScheduleTest, EveryFrameOnceInOrder)
{
    for (const int32_t size : {1, 7, 64, 512, 4096})
    {
        for (const int32_t first : {0, 1, 5})
        {
            BlockSchedule schedule(1000, 3001, size, first);
            int64_t expectedStart = -1000;
            Block block;
            while (schedule.next(block))
            {
                ASSERT_EQ(block.start, expectedStart) << "block size " << size << ", first block " << first;
                ASSERT_GE(block.frames, 1);
                ASSERT_LE(block.frames, size);
                EXPECT_EQ(block.preroll, block.start < 0);
                expectedStart += block.frames;
            }
            EXPECT_EQ(expectedStart, 3001);
        }
    }
}

TEST(BlockScheduleTest, EmptyRangesAndRewind)
{
    EXPECT_TRUE(allBlocks(BlockSchedule(0, 0, 512)).empty());
    const std::vector<Block> prerollOnly = allBlocks(BlockSchedule(100, 0, 512));
    ASSERT_EQ(prerollOnly.size(), 1u);
    EXPECT_EQ(prerollOnly[0].frames, 100);
    // A first block longer than the range is cut to it.
    const std::vector<Block> shortRange = allBlocks(BlockSchedule(0, 10, 512, 256));
    ASSERT_EQ(shortRange.size(), 1u);
    EXPECT_EQ(shortRange[0].frames, 10);

    BlockSchedule schedule(10, 20, 8);
    Block block;
    while (schedule.next(block))
    {
    }
    schedule.rewind();
    ASSERT_TRUE(schedule.next(block));
    EXPECT_EQ(block.start, -10);
    EXPECT_EQ(block.frames, 8);
}
