// Hosts call the effect in many orders: some never open it, some query
// everything before setting anything up, some send a sample rate or block
// size of 0, some suspend and resume around every transport stop. The effect
// must serve each the same sound, and instances must never share state.
//
// Decided here: suspend and resume are not a reset. Resuming clears no engine
// state (the effect's resume only runs the base's), so the sound after a
// suspend/resume cycle continues exactly where it stopped, as if the host had
// never suspended.
#include "tools/vst_host.h"
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <barrier>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <thread>

namespace validation {
namespace {

// The reference: a lone instance started the usual way at 44100 Hz.
Stereo referenceRender(const Stereo& input, int program = 2, int block = 512) {
    LoadedPlugin plugin;
    plugin.start(44100.0f, block);
    plugin.selectProgram(program);
    return render(plugin, input, block);
}

void expectSameSound(const Stereo& got, const Stereo& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got.left[i], want.left[i]) << "sample " << i;
        ASSERT_EQ(got.right[i], want.right[i]) << "sample " << i;
    }
}

// Everything a host may ask before and after setting the effect up.
std::vector<std::string> everyAnswer(LoadedPlugin& plugin) {
    std::vector<std::string> answers;
    for (int i = 0; i < kParameters; ++i) {
        answers.push_back(plugin.text(effGetParamName, i));
        answers.push_back(plugin.text(effGetParamLabel, i));
        answers.push_back(plugin.text(effGetParamDisplay, i));
        answers.push_back(std::to_string(plugin.parameter(i)));
        answers.push_back(std::to_string(plugin.call(effCanBeAutomated, i)));
    }
    for (int p = 0; p < kPrograms; ++p)
        answers.push_back(plugin.text(effGetProgramNameIndexed, p));
    answers.push_back(plugin.text(effGetProgramName));
    answers.push_back(std::to_string(plugin.call(effGetProgram)));
    answers.push_back(plugin.text(effGetEffectName));
    answers.push_back(plugin.text(effGetVendorString));
    answers.push_back(plugin.text(effGetProductString));
    answers.push_back(std::to_string(plugin.call(effGetVendorVersion)));
    answers.push_back(std::to_string(plugin.call(effGetPlugCategory)));
    answers.push_back(std::to_string(plugin.call(effGetVstVersion)));
    answers.push_back(std::to_string(plugin.call(effGetTailSize)));
    for (const char* feature : {"bypass", "2in2out", "receiveVstMidiEvent", ""}) {
        std::string text = feature;
        answers.push_back(std::to_string(plugin.call(effCanDo, 0, 0, text.data())));
    }
    const AEffect& e = *plugin.effect;
    answers.push_back(std::to_string(e.numInputs) + " " + std::to_string(e.numOutputs) + " " +
                      std::to_string(e.flags) + " " + std::to_string(e.uniqueID) + " " +
                      std::to_string(e.initialDelay));
    return answers;
}

TEST(HostCallOrderTest, ACarelessHostThatNeverOpensTheEffectHearsTheDefaultSetup) {
    // No open, no sample rate, no block size, no resume: the effect runs at
    // the 44100 Hz it was built with, in any block size.
    const Stereo input = bassInput(44100.0, 0.5);
    const Stereo reference = referenceRender(input);
    LoadedPlugin careless;
    expectSameSound(render(careless, input, 512), reference);
}

TEST(HostCallOrderTest, QueriesBeforeAnySetupAnswerAsAfterIt) {
    LoadedPlugin plugin;
    const std::vector<std::string> before = everyAnswer(plugin);
    plugin.start(48000.0f, 256);
    EXPECT_EQ(everyAnswer(plugin), before);
    EXPECT_EQ(plugin.text(effGetProgramName), "Big Classic Rig");
    EXPECT_EQ(plugin.text(effGetParamName, 1), "Crossove");
}

TEST(HostCallOrderTest, UnusableSampleRatesKeepTheEngineAtItsRate) {
    const Stereo input = bassInput(44100.0, 0.4);
    const Stereo reference = referenceRender(input);
    for (float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()}) {
        SCOPED_TRACE(rate);
        LoadedPlugin plugin;
        plugin.call(effOpen);
        plugin.call(effSetSampleRate, 0, 0, nullptr, rate);
        plugin.call(effSetBlockSize, 0, 512);
        plugin.call(effMainsChanged, 0, 1);
        expectSameSound(render(plugin, input, 512), reference);
    }
}

TEST(HostCallOrderTest, ABlockSizeOfZeroOrOneChangesNothing) {
    const Stereo input = bassInput(44100.0, 0.4);
    const Stereo reference = referenceRender(input);
    for (VstIntPtr announced : {0, 1, -5}) {
        SCOPED_TRACE(announced);
        LoadedPlugin plugin;
        plugin.call(effOpen);
        plugin.call(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        plugin.call(effSetBlockSize, 0, announced);
        plugin.call(effMainsChanged, 0, 1);
        // The announced size is only a hint: larger blocks arrive anyway.
        expectSameSound(render(plugin, input, 512), reference);
    }
}

TEST(HostCallOrderTest, SuspendAndResumeCyclesContinueTheSoundWithoutAReset) {
    const Stereo input = bassInput(44100.0, 1.0);
    const Stereo reference = referenceRender(input);
    LoadedPlugin plugin;
    plugin.start(44100.0f, 512);
    plugin.selectProgram(2);
    int block = 0;
    const Stereo out = render(plugin, input, [&] {
        // Between blocks the host stops and starts the transport the ways
        // hosts do: plain cycles, repeated requests, a re-sent setup.
        switch (block++ % 7) {
        case 1:
            plugin.call(effMainsChanged, 0, 0);
            plugin.call(effMainsChanged, 0, 1);
            break;
        case 3:
            plugin.call(effMainsChanged, 0, 0);
            plugin.call(effMainsChanged, 0, 0);
            plugin.call(effSetSampleRate, 0, 0, nullptr, 44100.0f);
            plugin.call(effSetBlockSize, 0, 512);
            plugin.call(effMainsChanged, 0, 1);
            plugin.call(effMainsChanged, 0, 1);
            break;
        case 5:
            plugin.call(effStopProcess);
            plugin.call(effMainsChanged, 0, 0);
            plugin.call(effMainsChanged, 0, 1);
            plugin.call(effStartProcess);
            break;
        default:
            break;
        }
        return 512;
    });
    expectSameSound(out, reference);
}

TEST(HostCallOrderTest, AHundredInstancesInSequenceEachSoundLikeALoneOne) {
    const Stereo input = bassInput(44100.0, 0.1);
    const Stereo reference = referenceRender(input, 7);
    const Stereo noise = noiseInput(4096, 0.9f, 3);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int k = 0; k < 100; ++k) {
        SCOPED_TRACE(k);
        LoadedPlugin plugin;
        plugin.start(44100.0f, 512);
        plugin.selectProgram(7);
        expectSameSound(render(plugin, input, 512), reference);
        // Leave something behind for the next instance to trip over, if the
        // module kept any state outside its instances.
        for (int i = 0; i < kParameters; ++i)
            plugin.setParameter(i, unit(random));
        render(plugin, noise, 1000);
    }
}

TEST(HostCallOrderTest, EightInstancesOnEightThreadsAtOnceEachSoundLikeALoneOne) {
    constexpr int kThreads = 8;
    const Stereo input = bassInput(44100.0, 0.3);
    // A different program for each thread, so that crossed state would show.
    std::vector<Stereo> references;
    for (int k = 0; k < kThreads; ++k)
        references.push_back(referenceRender(input, 3 * k % kPrograms, 256));

    std::vector<Stereo> outputs(kThreads);
    std::barrier ready(kThreads);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k) {
        threads.emplace_back([&, k] {
            ready.arrive_and_wait(); // construct together
            auto plugin = std::make_unique<LoadedPlugin>();
            plugin->start(44100.0f, 256);
            plugin->selectProgram(3 * k % kPrograms);
            ready.arrive_and_wait(); // process together
            outputs[k] = render(*plugin, input, 256);
            ready.arrive_and_wait(); // close together
            plugin.reset();
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int k = 0; k < kThreads; ++k) {
        SCOPED_TRACE(k);
        expectSameSound(outputs[k], references[k]);
    }
}

TEST(HostCallOrderTest, LoadingAndUnloadingTheModuleAgainGivesTheSameSound) {
    // A host scanning plug-ins loads and unloads the file each time.
    const Stereo input = bassInput(44100.0, 0.1);
    const std::vector<std::vector<float>> channels = {input.left, input.right};
    std::vector<std::vector<float>> first;
    for (int k = 0; k < 4; ++k) {
        VstHost host(TARVEX_PLUGIN_PATH, 44100.0, 512);
        host.resume();
        std::vector<std::vector<float>> out(2);
        host.render(channels, out);
        if (k == 0)
            first = out;
        else
            EXPECT_EQ(out, first) << k;
    }
}

} // namespace
} // namespace validation
