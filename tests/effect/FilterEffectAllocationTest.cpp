// How the effect uses memory: processing allocates nothing for blocks within the announced length, whatever the
// parameters, and only on growth beyond it; when memory runs out, creation answers null instead of letting an
// exception reach the host, and a dry-buffer allocation that fails on the audio thread skips the mix for that block
// and tries again. This executable replaces the global allocation functions with ones that count and can be told to
// fail; with glibc and without a sanitizer it also replaces malloc, calloc and realloc, so that allocations of C
// code are counted too.

#include "effect/FilterEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TESSALOOM_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TESSALOOM_SANITIZED_ALLOCATOR 1
#endif
#if defined(__GLIBC__) && !defined(TESSALOOM_SANITIZED_ALLOCATOR)
#define TESSALOOM_COUNT_MALLOC 1 // malloc itself counts; operator new goes through it
#else
#define TESSALOOM_COUNT_MALLOC 0 // operator new counts
#endif

namespace
{
std::atomic<int> allocationsLeft{-1}; // allocations that still succeed; -1: no limit
std::atomic<int> refusedAllocations{0};
std::atomic<long> allocationCount{0}; // every allocation so far, by any thread
} // namespace

#if TESSALOOM_COUNT_MALLOC
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* memory, std::size_t size);
extern "C" void __libc_free(void* memory);

extern "C" void* malloc(std::size_t size) noexcept
{
    ++allocationCount;
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size) noexcept
{
    ++allocationCount;
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* memory, std::size_t size) noexcept
{
    ++allocationCount;
    return __libc_realloc(memory, size);
}

extern "C" void free(void* memory) noexcept
{
    __libc_free(memory);
}
#endif

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
    if (!TESSALOOM_COUNT_MALLOC)
        ++allocationCount;
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

VstTimeInfo hostTime{}; // what timedHost answers to time requests

intptr_t VSTCALLBACK timedHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<intptr_t>(&hostTime);
    return opcode == audioMasterVersion ? 2400 : 0;
}

/// Processes one block of frames samples (at most 8192) of noise; answers how many allocations it made.
long allocationsOfBlock(FilterEffect& effect, int32_t frames, uint32_t& seed)
{
    static std::vector<float> left(8192), right(8192); // allocated once, outside any counted block
    for (int32_t i = 0; i < frames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        left[static_cast<size_t>(i)] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
        right[static_cast<size_t>(i)] = -left[static_cast<size_t>(i)];
    }
    float* channels[2] = {left.data(), right.data()};
    hostTime.ppqPos += frames / 22050.0; // 120 BPM at 44100 Hz
    const long before = allocationCount.load();
    effect.processReplacing(channels, channels, frames);
    return allocationCount.load() - before;
}

void* volatile allocationSink; // keeps the compiler from removing the allocations of the test below

TEST(FilterEffectAllocationTest, TheCounterSeesAllocations)
{
    const long before = allocationCount.load();
    std::vector<float>* made = new std::vector<float>(1000); // two: the vector and its elements
    allocationSink = made;
    void* raw = std::malloc(100); // counted where malloc is replaced
    allocationSink = raw;
    const long counted = allocationCount.load() - before;
    std::free(raw);
    delete made;
    EXPECT_EQ(counted, TESSALOOM_COUNT_MALLOC ? 3 : 2);
}

TEST(FilterEffectAllocationTest, BlocksWithinTheAnnouncedLengthAllocateNothing)
{
    // Every parameter (float, frequency and choice classes) at its ends and inside, with every stage, the tempo
    // sync, the shapes and the crossfades in play, over block lengths up to the announced 512.
    hostTime = VstTimeInfo{};
    hostTime.tempo = 120.0;
    hostTime.sampleRate = 44100.0;
    hostTime.timeSigNumerator = 4;
    hostTime.timeSigDenominator = 4;
    hostTime.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    FilterEffect effect(&timedHost);
    AEffect* record = effect.getEffectRecord();
    record->dispatcher(record, effSetBlockSize, 0, 512, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect.setParameter(FilterEffect::kMix, 0.5f);
    effect.setParameter(FilterEffect::kLfoAmount, 0.6f);

    const int32_t lengths[] = {512, 1, 37, 256, 511, 0, 128};
    uint32_t seed = 1u;
    long allocations = 0;
    int blocks = 0;
    for (int32_t index = 0; index < FilterEffect::kNumParameters; ++index)
    {
        for (float value : {0.0f, 0.37f, 0.81f, 1.0f, 0.5f})
        {
            effect.setParameter(index, value);
            for (int32_t frames : lengths)
            {
                allocations += allocationsOfBlock(effect, frames, seed);
                ++blocks;
            }
        }
        effect.setParameter(index, index == FilterEffect::kMix ? 0.5f : 0.6f);
    }
    EXPECT_EQ(allocations, 0) << "in " << blocks << " blocks";
}

TEST(FilterEffectAllocationTest, OnlyGrowthBeyondTheCapacityAllocates)
{
    // A host that varies its block length below the announced one, with the mix active: once two allocations per
    // block, 39,990 in 20,000 blocks.
    struct Case
    {
        const char* name;
        int32_t announced; // frames sent with effSetBlockSize; 0: never announced
    };
    for (const Case& c : {Case{"announced 1024", 1024}, Case{"never announced", 0}})
    {
        FilterEffect effect(&silentHost);
        AEffect* record = effect.getEffectRecord();
        if (c.announced > 0)
            record->dispatcher(record, effSetBlockSize, 0, c.announced, nullptr, 0.0f);
        effect.setParameter(FilterEffect::kMix, 0.3f);
        uint32_t seed = 7u;
        uint32_t lengthSeed = 9u;
        long allocations = 0;
        long expected = 0;
        int32_t longest = c.announced;
        for (int block = 0; block < 20000; ++block)
        {
            lengthSeed = lengthSeed * 1664525u + 1013904223u;
            const int32_t frames = 1 + static_cast<int32_t>((lengthSeed >> 8) % 1024u);
            if (frames > longest)
            {
                expected += 2; // both dry buffers grow to the new length
                longest = frames;
            }
            allocations += allocationsOfBlock(effect, frames, seed);
        }
        EXPECT_EQ(allocations, expected) << c.name;
        EXPECT_LE(allocations, 40) << c.name;

        // A block longer than anything before grows both buffers once; shorter ones after it allocate nothing.
        EXPECT_EQ(allocationsOfBlock(effect, 4096, seed), 2) << c.name;
        for (int32_t frames : {4096, 100, 4095, 1})
            EXPECT_EQ(allocationsOfBlock(effect, frames, seed), 0) << c.name << ", " << frames << " frames";
        EXPECT_EQ(effect.getProcessingState().dryCapacity, 4096) << c.name;
    }
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
