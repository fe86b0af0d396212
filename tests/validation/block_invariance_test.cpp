// The sound does not depend on how the host cuts it into blocks, on whether
// it hands the same buffers in and out, or on empty blocks; a mono host
// (null second channel) is served.
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <random>

namespace validation {
namespace {

// Two fresh instances of a program, each settled by the same second of
// audio in 1024-sample blocks.
struct SettledPair {
    explicit SettledPair(int program) {
        const Stereo settle = bassInput(44100.0, 1.0);
        for (LoadedPlugin* p : {&a, &b}) {
            p->start(44100.0f, 4096);
            p->selectProgram(program);
            render(*p, settle, 1024);
        }
    }
    LoadedPlugin a, b;
};

TEST(BlockInvarianceTest, RandomBlockSizesGiveTheSameSoundAsFixedBlocks) {
    // Settings reach the engine only at block starts and nothing changes
    // here, so the output is identical, with one exception: the chorus wraps
    // its modulation phase once per block, so while it runs its sine
    // arguments round differently when the block boundaries move, and the
    // outputs agree within 1e-6 instead.
    const Stereo input = bassInput(44100.0, kSanitized ? 1.5 : 3.0);
    for (int program = 0; program < kPrograms; ++program) {
        if (kSanitized && program % 4 != 2) continue;
        SCOPED_TRACE(program);
        SettledPair pair(program);
        const bool chorus = pair.a.parameter(27) >= 0.5f;
        const Stereo fixed = render(pair.a, input, 1024);
        std::mt19937 random(static_cast<unsigned>(program));
        std::uniform_int_distribution<int> size(1, 4096);
        const Stereo varied = render(pair.b, input, [&] { return size(random); });
        for (size_t i = 0; i < input.size(); ++i) {
            if (chorus) {
                ASSERT_NEAR(varied.left[i], fixed.left[i], 1e-6) << i;
                ASSERT_NEAR(varied.right[i], fixed.right[i], 1e-6) << i;
            } else {
                ASSERT_EQ(varied.left[i], fixed.left[i]) << i;
                ASSERT_EQ(varied.right[i], fixed.right[i]) << i;
            }
        }
    }
}

TEST(BlockInvarianceTest, InPlaceBuffersGiveTheSameSoundAsSeparateOnes) {
    const Stereo input = bassInput(44100.0, 0.5);
    constexpr int kBlock = 300;
    // Same pointers in and out, and the channels crossed (input 0 is output 1).
    for (bool crossed : {false, true}) {
        SCOPED_TRACE(crossed);
        SettledPair pair(13);
        const Stereo separate = render(pair.a, input, kBlock);
        Stereo shared = input;
        for (size_t at = 0; at < input.size(); at += kBlock) {
            const int n = static_cast<int>(std::min<size_t>(kBlock, input.size() - at));
            float* left = shared.left.data() + at;
            float* right = shared.right.data() + at;
            float* inputs[2] = {left, right};
            float* outputs[2] = {crossed ? right : left, crossed ? left : right};
            pair.b.process(inputs, outputs, n);
        }
        const std::vector<float>& outLeft = crossed ? shared.right : shared.left;
        const std::vector<float>& outRight = crossed ? shared.left : shared.right;
        ASSERT_EQ(outLeft, separate.left);
        ASSERT_EQ(outRight, separate.right);
    }
}

TEST(BlockInvarianceTest, EmptyBlocksWriteAndChangeNothing) {
    const Stereo input = bassInput(44100.0, 0.5);
    SettledPair pair(8);
    const Stereo reference = render(pair.a, input, 512);

    int block = 0;
    const Stereo out = render(pair.b, input, [&] {
        // Before every block: empty blocks with sentinels in the outputs,
        // with null channels and with null channel arrays.
        std::vector<float> in0(4, 0.5f), in1(4, 0.5f), out0(4, 7.0f), out1(4, 7.0f);
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        pair.b.process(inputs, outputs, 0);
        pair.b.process(inputs, outputs, -1);
        EXPECT_EQ(out0, std::vector<float>(4, 7.0f));
        EXPECT_EQ(out1, std::vector<float>(4, 7.0f));
        float* none[2] = {nullptr, nullptr};
        pair.b.process(none, none, 0);
        pair.b.process(nullptr, nullptr, 0);
        ++block;
        return 512;
    });
    EXPECT_GT(block, 10);
    EXPECT_EQ(out.left, reference.left);
    EXPECT_EQ(out.right, reference.right);
}

TEST(BlockInvarianceTest, AMonoHostHearsTheEngineFedByItsOneChannel) {
    // A null second input is no signal; a null second output gets nothing
    // and output 0 carries the engine's left channel.
    Stereo input = bassInput(44100.0, 0.5);
    Stereo silentRight = input;
    std::fill(silentRight.right.begin(), silentRight.right.end(), 0.0f);
    SettledPair stereo(5);
    const Stereo reference = render(stereo.a, silentRight, 256);

    SettledPair mono(5);
    std::vector<float> left(input.size()), right(input.size());
    for (size_t at = 0; at < input.size(); at += 256) {
        const int n = static_cast<int>(std::min<size_t>(256, input.size() - at));
        std::vector<float> in(input.left.begin() + static_cast<long>(at),
                              input.left.begin() + static_cast<long>(at) + n);
        std::vector<float> out0(static_cast<size_t>(n));
        std::vector<float> out1(static_cast<size_t>(n));
        float* inputs[2] = {in.data(), nullptr};
        // Mono in and out on instance a, mono in and stereo out on b.
        float* monoOut[2] = {out0.data(), nullptr};
        mono.a.process(inputs, monoOut, n);
        std::copy(out0.begin(), out0.end(), left.begin() + static_cast<long>(at));
        float* stereoOut[2] = {out0.data(), out1.data()};
        mono.b.process(inputs, stereoOut, n);
        std::copy(out1.begin(), out1.end(), right.begin() + static_cast<long>(at));
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(out0[static_cast<size_t>(i)], reference.left[at + static_cast<size_t>(i)]);
    }
    EXPECT_EQ(left, reference.left);
    EXPECT_EQ(right, reference.right);
}

} // namespace
} // namespace validation
