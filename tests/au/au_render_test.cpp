// Rendering through the unit: the same samples as tarvex.so given the same
// values, rate and blocks; buffer lists that do not fit the format; no
// allocation once warm; rendering beside parameter changes on another thread.
#include "au/au_host.h"

#include "support/allocation_counter.h"
#include "support/waiting.h"
#include "validation/loaded_plugin.h"
#include "vst/audioeffect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace au_host {
namespace {

using Channels = std::vector<std::vector<float>>;

const std::vector<UInt32> kBlocks = {512, 37, 1024, 1, 300};

// Applies the same program and values to both.
void setUpSound(Unit& unit, validation::LoadedPlugin& vst) {
    unit.selectPreset(5);
    vst.selectProgram(5);
    for (int id : {1, 11, 30, 46, 52}) {
        const float value = 0.2f + 0.013f * static_cast<float>(id);
        unit.setParameter(static_cast<AudioUnitParameterID>(id), value);
        vst.setParameter(id, value);
    }
}

TEST(AURenderTest, MonoAndStereoEqualTheVstBuildSampleForSample) {
    for (double rate : {44100.0, 96000.0}) {
        for (UInt32 channels : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels");
            Unit unit;
            ASSERT_EQ(unit.start(rate, channels), noErr);
            // Initialised only, as a validator renders: the rate arrives there.
            validation::LoadedPlugin vst;
            vst.start(static_cast<float>(rate), 1024);
            setUpSound(unit, vst);

            const validation::Stereo input = validation::bassInput(rate, 0.25);
            size_t at = 0;
            for (size_t block = 0; at < input.size(); ++block) {
                const UInt32 frames = static_cast<UInt32>(
                    std::min<size_t>(kBlocks[block % kBlocks.size()], input.size() - at));
                Channels in = {{input.left.begin() + at, input.left.begin() + at + frames}};
                if (channels == 2)
                    in.push_back({input.right.begin() + at, input.right.begin() + at + frames});
                Channels out(channels, std::vector<float>(frames, 9.0f));
                ASSERT_EQ(render(unit, in, out, frames), noErr);

                Channels vstOut(channels, std::vector<float>(frames, 9.0f));
                float* vstInputs[2] = {in[0].data(), channels == 2 ? in[1].data() : nullptr};
                float* vstOutputs[2] = {vstOut[0].data(),
                                        channels == 2 ? vstOut[1].data() : nullptr};
                vst.process(vstInputs, vstOutputs, static_cast<int>(frames));
                ASSERT_EQ(out, vstOut) << "block at frame " << at;
                at += frames;
            }
        }
    }
}

TEST(AURenderTest, ARefusedSampleRateLeavesTheSoundAndAnAcceptedOneReachesTheEffect) {
    Unit accepted, refused;
    ASSERT_EQ(accepted.start(44100.0, 2), noErr);
    ASSERT_EQ(refused.start(44100.0, 2), noErr);
    for (Float64 rate : {1.0e9, 2.0e6})
        EXPECT_EQ(refused.set(kAudioUnitProperty_SampleRate, rate, kAudioUnitScope_Output),
                  kAudioUnitErr_InvalidPropertyValue);
    const validation::Stereo input = validation::bassInput(44100.0, 0.05);
    const auto frames = static_cast<UInt32>(input.size());
    Channels in = {input.left, input.right}, expected(2, std::vector<float>(frames)),
             out = expected;
    ASSERT_EQ(render(accepted, in, expected, frames), noErr);
    ASSERT_EQ(render(refused, in, out, frames), noErr);
    EXPECT_TRUE(out == expected);

    EXPECT_EQ(refused.set(kAudioUnitProperty_SampleRate, 48000.0, kAudioUnitScope_Output), noErr);
    EXPECT_EQ(refused.effect()->getSampleRate(), 48000.0f);
}

TEST(AURenderTest, BufferListsThatDoNotFitTheFormatAreRefusedUntouched) {
    constexpr UInt32 frames = 64;
    for (UInt32 channels : {1u, 2u}) {
        Unit unit;
        Channels data(3, std::vector<float>(frames, 0.25f));
        Channels out(3, std::vector<float>(frames, 7.0f));
        std::vector<float*> inPointers, outPointers;
        for (int i = 0; i < 3; ++i) {
            inPointers.push_back(data[static_cast<size_t>(i)].data());
            outPointers.push_back(out[static_cast<size_t>(i)].data());
        }
        auto renderWith = [&](size_t ins, size_t outs, UInt32 n) {
            BufferList in({inPointers.begin(), inPointers.begin() + static_cast<long>(ins)}, n);
            BufferList o({outPointers.begin(), outPointers.begin() + static_cast<long>(outs)}, n);
            UInt32 flags = 0;
            return AudioUnitProcessBufferLists(unit.unit, &flags, in.get(), o.get(), n);
        };
        EXPECT_EQ(renderWith(channels, channels, frames), kAudioUnitErr_Uninitialized);
        ASSERT_EQ(unit.start(44100.0, channels), noErr);
        for (size_t ins = 0; ins <= 3; ++ins)
            for (size_t outs = 0; outs <= 3; ++outs)
                if (ins != channels || outs != channels) {
                    EXPECT_EQ(renderWith(ins, outs, frames), kAudio_ParamError) << ins << outs;
                }
        EXPECT_EQ(renderWith(channels, channels, 0), noErr);
        EXPECT_EQ(renderWith(channels, channels, 4097), kAudioUnitErr_TooManyFramesToProcess);
        for (auto& channel : out)
            EXPECT_EQ(channel, std::vector<float>(frames, 7.0f));

        // Buffers shorter than the frame count, or missing.
        BufferList in(std::vector<float*>(inPointers.begin(), inPointers.begin() + channels),
                      frames);
        BufferList o(std::vector<float*>(outPointers.begin(), outPointers.begin() + channels),
                     frames);
        bufferAt(*o.get(), 0).mDataByteSize = 4 * (frames - 1);
        EXPECT_EQ(AudioUnitProcessBufferLists(unit.unit, nullptr, in.get(), o.get(), frames),
                  kAudio_ParamError);
        EXPECT_EQ(AudioUnitProcessBufferLists(unit.unit, nullptr, nullptr, o.get(), frames),
                  kAudio_ParamError);
        bufferAt(*o.get(), 0).mDataByteSize = 4 * frames;
        bufferAt(*in.get(), 0).mData = nullptr;
        EXPECT_EQ(AudioUnitProcessBufferLists(unit.unit, nullptr, in.get(), o.get(), frames),
                  kAudio_ParamError);

        // Bypassed, the input passes unchanged.
        ASSERT_EQ(unit.set(kAudioUnitProperty_BypassEffect, UInt32{1}), noErr);
        EXPECT_EQ(renderWith(channels, channels, frames), noErr);
        for (UInt32 c = 0; c < channels; ++c)
            EXPECT_EQ(out[c], data[c]);
    }
}

TEST(AURenderTest, RenderingAllocatesNothingAfterTheLargestBlock) {
    constexpr UInt32 largest = 4096;
    Unit unit;
    ASSERT_EQ(unit.start(48000.0, 2), noErr);
    Channels in(2, std::vector<float>(largest)), out(2, std::vector<float>(largest));
    for (UInt32 i = 0; i < largest; ++i)
        in[0][i] = in[1][i] = static_cast<float>(0.3 * std::sin(0.02 * i));
    std::vector<float*> inPointers = {in[0].data(), in[1].data()};
    std::vector<float*> outPointers = {out[0].data(), out[1].data()};
    BufferList inList(inPointers, largest), outList(outPointers, largest);
    ASSERT_EQ(AudioUnitProcessBufferLists(unit.unit, nullptr, inList.get(), outList.get(), largest),
              noErr);

    const testing_support::AllocationScope scope;
    for (UInt32 block = 0; block < 100; ++block) {
        const UInt32 frames = block % 2 == 0 ? largest : 1 + (block * 97) % largest;
        MusicDeviceMIDIEvent(unit.unit, 0x90, 40, 90, 0);
        AudioUnitProcessBufferLists(unit.unit, nullptr, inList.get(), outList.get(), frames);
    }
    EXPECT_EQ(scope.count(), 0u);
    EXPECT_EQ(scope.releases(), 0u);
}

TEST(AURenderTest, RenderingWhileAnotherThreadChangesParametersAndPresets) {
    Unit unit;
    ASSERT_EQ(unit.start(44100.0, 2), noErr);
    // The host changes things until told to stop, the audio renders until the
    // host has made 400 changes: they overlap however the threads are run.
    std::atomic<int> changes{0};
    std::jthread host([&](std::stop_token stop) {
        for (int i = 0; !stop.stop_requested(); ++i) {
            const auto id = static_cast<AudioUnitParameterID>(i % kParameters);
            unit.setParameter(id, static_cast<float>(i % 10) / 10.0f);
            unit.parameter(id);
            if (i % 100 == 0) unit.selectPreset(i / 100 % kPresets);
            changes.fetch_add(1);
        }
    });
    const validation::Stereo input = validation::noiseInput(256, 0.5f, 3);
    const testing_support::Deadline deadline;
    for (int block = 0; (block < 200 || changes.load() < 400) && !deadline.passed(); ++block) {
        Channels in = {input.left, input.right};
        Channels out(2, std::vector<float>(256));
        ASSERT_EQ(render(unit, in, out, 256), noErr);
        for (const auto& channel : out)
            EXPECT_EQ(validation::firstNonFinite(channel), -1);
    }
    EXPECT_GE(changes.load(), 400);
}

} // namespace
} // namespace au_host
