// After warm-up (one block of the largest size the host uses) the audio
// thread allocates and releases nothing: not while processing, not while
// every parameter is automated, not while programs change, whether the host
// sends those changes from the audio thread itself or from another thread.
// The test program replaces malloc, calloc, realloc, free, new and delete
// (or hooks the sanitizer's allocator), and the loaded module's calls reach
// those replacements, so every call it makes on this thread is counted.
#include "support/allocation_counter.h"
#include "support/waiting.h"
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

namespace validation {
namespace {

using testing_support::AllocationScope;
using testing_support::Deadline;

constexpr int kLargestBlock = 4096;

// Input and output buffers of the largest block, made before counting.
struct Buffers {
    Buffers() {
        for (size_t i = 0; i < in0.size(); ++i) {
            in0[i] = static_cast<float>(0.4 * std::sin(0.01 * static_cast<double>(i)));
            in1[i] = 0.5f * in0[i];
        }
    }
    std::vector<float> in0 = std::vector<float>(kLargestBlock);
    std::vector<float> in1 = std::vector<float>(kLargestBlock);
    std::vector<float> out0 = std::vector<float>(kLargestBlock);
    std::vector<float> out1 = std::vector<float>(kLargestBlock);
    float* inputs[2] = {in0.data(), in1.data()};
    float* outputs[2] = {out0.data(), out1.data()};
};

void warmUp(LoadedPlugin& plugin, Buffers& buffers) {
    plugin.start(44100.0f, kLargestBlock);
    plugin.process(buffers.inputs, buffers.outputs, kLargestBlock);
}

TEST(AudioThreadAllocationTest,
     ProcessingAutomationAndProgramChangesOnTheAudioThreadAllocateNothing) {
    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    Buffers buffers;
    warmUp(plugin, buffers);
    std::mt19937 random(21);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    char text[16] = {};
    char value[] = "0.25";

    const AllocationScope scope;
    for (int block = 0; block < 400; ++block) {
        // Hosts that automate from their audio thread: every parameter, a
        // program change now and then, bypass, texts and value parsing.
        for (int i = 0; i < kParameters; ++i)
            plugin.setParameter(i, unit(random));
        if (block % 9 == 0) plugin.call(effSetProgram, 0, static_cast<VstIntPtr>(random() % 20));
        if (block % 50 == 25) plugin.call(effSetBypass, 0, 1);
        if (block % 50 == 30) plugin.call(effSetBypass, 0, 0);
        if (block % 7 == 0) {
            const int i = static_cast<int>(random() % kParameters);
            plugin.call(effGetParamDisplay, i, 0, text);
            plugin.call(effString2Parameter, i, 0, value);
            plugin.parameter(i);
        }
        const int n = 1 + static_cast<int>(random() % kLargestBlock);
        plugin.process(buffers.inputs, buffers.outputs, n);
    }
    EXPECT_EQ(scope.count(), 0u) << "allocations on the audio thread";
    EXPECT_EQ(scope.releases(), 0u) << "releases on the audio thread";
}

TEST(AudioThreadAllocationTest, ChangesFromAnotherThreadAllocateNothingOnTheAudioThread) {
    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    Buffers buffers;
    warmUp(plugin, buffers);

    // Blocks come until the other thread has made 2000 changes (ten program
    // changes among them), however the two threads are run.
    std::atomic<long> changes{0};
    std::jthread automation([&](std::stop_token stop) {
        std::mt19937 random(22);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (long k = 0; !stop.stop_requested(); ++k) {
            if (k % 200 == 0)
                plugin.call(effSetProgram, 0, static_cast<VstIntPtr>(random() % 20));
            else
                plugin.setParameter(static_cast<int>(random() % kParameters), unit(random));
            changes.fetch_add(1);
            if (k % 64 == 0) std::this_thread::yield();
        }
    });

    std::mt19937 random(23);
    std::size_t allocations = 0, releases = 0;
    const Deadline deadline;
    for (int block = 0; (block < 600 || changes.load() < 2000) && !deadline.passed(); ++block) {
        const int n = 1 + static_cast<int>(random() % kLargestBlock);
        const AllocationScope scope;
        plugin.process(buffers.inputs, buffers.outputs, n);
        allocations += scope.count();
        releases += scope.releases();
    }
    automation.request_stop();
    automation.join();
    EXPECT_GE(changes.load(), 2000);
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(releases, 0u);
}

} // namespace
} // namespace validation
