#include "tools/BlockSchedule.h"

#include <algorithm>

BlockSchedule::BlockSchedule(int64_t prerollFrames, int64_t renderedFrames, int32_t blockSizeIn, int32_t firstBlockIn)
    : preroll(std::max<int64_t>(prerollFrames, 0)), rendered(std::max<int64_t>(renderedFrames, 0)),
      blockSize(std::max(blockSizeIn, 1)), firstBlock(std::clamp(firstBlockIn, 0, blockSize)), position(-preroll)
{
}

bool BlockSchedule::next(Block& block)
{
    if (position < 0)
    {
        // Pre-roll: whole blocks from its start, the remainder as the last block before the rendered range.
        const int64_t left = -position;
        const int64_t remainder = preroll % blockSize;
        const int64_t length = (left == remainder && remainder != 0) ? remainder : blockSize;
        block = Block{position, static_cast<int32_t>(length), true};
        position += length;
        return true;
    }
    if (position >= rendered)
        return false;
    const int64_t wanted = (position == 0 && firstBlock > 0) ? firstBlock : blockSize;
    const int64_t length = std::min(wanted, rendered - position);
    block = Block{position, static_cast<int32_t>(length), false};
    position += length;
    return true;
}
