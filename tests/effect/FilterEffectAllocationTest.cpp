// How the effect behaves when memory runs out: creation answers null instead of letting an exception reach the
// host, and a dry-buffer allocation that fails on the audio thread skips the mix for that block and tries again.
// This executable replaces the global allocation functions with ones that can be told to fail.

#include "effect/FilterEffect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace
{
std::atomic<int> allocationsLeft{-1}; // allocations that still succeed; -1: no limit
std::atomic<int> refusedAllocations{0};
} // namespace

void* operator new(std::size_t size)
{
    int left = allocationsLeft.load();
    while (left > 0 && !allocationsLeft.compare_exchange_weak(left, left - 1))
    {
    }
    if (left == 0)
    {
        ++refusedAllocations;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size != 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// Every form of allocation goes through the one above, so that a sanitizer's own allocation functions never pair
// with the replacement delete below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return ::operator new(size);
    }
    catch (...)
    {
        return nullptr;
    }
}

void* operator new[](std::size_t size)
{
    return ::operator new(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return ::operator new(size, tag);
}

// The replacement operator new takes its memory from malloc, so the replacement delete gives it back with free; the
// compiler cannot see that the two are replaced together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
#pragma GCC diagnostic pop

namespace
{
intptr_t VSTCALLBACK silentHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

/// Lets the next `count` allocations succeed and refuses the ones after, until the guard ends.
class AllocationLimit
{
public:
    explicit AllocationLimit(int count)
    {
        refusedAllocations = 0;
        allocationsLeft = count;
    }
    ~AllocationLimit() { allocationsLeft = -1; }
};

TEST(FilterEffectAllocationTest, CreationWithoutMemoryAnswersNull)
{
    EffectBase* effect = nullptr;
    {
        AllocationLimit limit(0);
        effect = createFilterEffect(&silentHost);
    }
    EXPECT_EQ(effect, nullptr);
    EXPECT_GE(refusedAllocations.load(), 1);
}

TEST(FilterEffectAllocationTest, AFailureDuringConstructionAnswersNull)
{
    // The object itself is allocated, one of its parameters is not: the exception stays inside the factory.
    EffectBase* effect = nullptr;
    {
        AllocationLimit limit(1);
        effect = createFilterEffect(&silentHost);
    }
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(refusedAllocations.load(), 1);

    // Failing at every later point of the construction also answers null, until there is enough memory.
    int allowed = 2;
    for (; allowed < 100; ++allowed)
    {
        {
            AllocationLimit later(allowed);
            effect = createFilterEffect(&silentHost);
        }
        if (effect != nullptr)
            break;
    }
    ASSERT_NE(effect, nullptr);
    EXPECT_GT(allowed, 2);
    delete effect;
}

TEST(FilterEffectAllocationTest, AFailedDryBufferSkipsTheMixAndRetries)
{
    FilterEffect effect(&silentHost);
    FilterEffect unmixed(&silentHost);
    effect.setParameter(FilterEffect::kMix, 0.0f);
    effect.setParameter(FilterEffect::kFilterFreq, 0.4f);
    unmixed.setParameter(FilterEffect::kFilterFreq, 0.4f);

    // Everything the blocks need is allocated up front: only the effect's own allocations can fail.
    std::vector<float> inLeft(64, 0.5f), inRight(64, -0.5f);
    std::vector<float> left(64), right(64), expectedLeft(64), expectedRight(64);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {left.data(), right.data()};
    float* expectedOutputs[2] = {expectedLeft.data(), expectedRight.data()};

    for (int allowed : {0, 1}) // neither buffer, or only the first
    {
        {
            AllocationLimit limit(allowed);
            effect.processReplacing(inputs, outputs, 64);
        }
        EXPECT_GE(refusedAllocations.load(), 1);
        EXPECT_EQ(effect.getProcessingState().dryCapacity, 0);
        EXPECT_LT(effect.getProcessingState().mix, 1.0);
        unmixed.processReplacing(inputs, expectedOutputs, 64);
        EXPECT_EQ(left, expectedLeft) << "the block goes out unmixed";
        EXPECT_EQ(right, expectedRight);
    }

    effect.processReplacing(inputs, outputs, 64);
    EXPECT_EQ(effect.getProcessingState().dryCapacity, 64);
    unmixed.processReplacing(inputs, expectedOutputs, 64);
    EXPECT_NE(left, expectedLeft) << "with its buffers the mix runs again";
}
} // namespace
