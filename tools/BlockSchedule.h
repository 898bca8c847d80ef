#pragma once

#include <cstdint>

/// One processing call: where it starts, how long it is and whether it belongs to the pre-roll.
struct Block
{
    int64_t start = 0;    // first frame, counted from the input's first frame (negative in the pre-roll)
    int32_t frames = 0;   // length, 1..block size
    bool preroll = false; // silence processed before the input and not written
};

/// The block pattern of a render, as a host plays it: the pre-roll in full blocks with the remainder last (a host
/// that locates to the start ends its pre-roll with a short block there), then the rendered range (input and tail)
/// starting with an optional shorter first block and going on in full blocks, the last one holding what is left.
/// No block straddles the start of the rendered range.
class BlockSchedule
{
public:
    /// A schedule of prerollFrames then renderedFrames, in blocks of blockSize; firstBlock (0 for none) is the
    /// length of the first rendered block. Counts must not be negative; blockSize must be positive.
    BlockSchedule(int64_t prerollFrames, int64_t renderedFrames, int32_t blockSize, int32_t firstBlock = 0);

    /// Gives the next block; false once every frame has been scheduled.
    bool next(Block& block);
    /// Ends the rendered range after renderedFrames if it is shorter (an input that ended before its header said);
    /// of the block in hand, only the frames before renderedFrames belong to it then.
    void shorten(int64_t renderedFrames) { rendered = renderedFrames < rendered ? renderedFrames : rendered; }
    /// Starts again from the first block.
    void rewind() { position = -preroll; }

    int64_t prerollFrames() const { return preroll; }
    int64_t renderedFrames() const { return rendered; }

private:
    int64_t preroll = 0;
    int64_t rendered = 0;
    int32_t blockSize = 512;
    int32_t firstBlock = 0;
    int64_t position = 0; // start of the next block, counted like Block::start
};
