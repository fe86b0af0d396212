#include "host/plugin/host_test_plugin.h"
#include "tools/vst_host.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace host_test_plugin;

namespace {

const char* const kPlugin = HOST_TEST_PLUGIN_PATH;

// Keeps the test plug-in's library loaded, so that its call log outlives the
// host that unloads it.
struct LibraryPin {
    void* handle = dlopen(kPlugin, RTLD_NOW | RTLD_LOCAL);
    ~LibraryPin() {
        if (handle) dlclose(handle);
    }
};

const CallLog& logOf(VstHost& host) {
    return *reinterpret_cast<const CallLog*>(host.dispatch(effVendorSpecific, kQueryLog));
}

std::vector<const Event*> processCalls(const CallLog& log) {
    std::vector<const Event*> calls;
    for (int i = 0; i < log.count; ++i)
        if (log.events[i].opcode == kProcessCall) calls.push_back(&log.events[i]);
    return calls;
}

std::vector<float> ramp(size_t n, float scale) {
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = scale * static_cast<float>(i + 1);
    return x;
}

std::string loadError(const std::string& path) {
    try {
        VstHost host(path, 48000.0, 512);
    } catch (const VstHostError& error) {
        return error.what();
    }
    return "loaded";
}

} // namespace

TEST(VstHostTest, RunsTheStandardSequenceFromEntryPointToClose) {
    LibraryPin pin;
    ASSERT_NE(pin.handle, nullptr);
    const CallLog* log = nullptr;
    {
        VstHost host(kPlugin, 44100.0, 256);
        log = &logOf(host);
        host.resume();
        std::vector<std::vector<float>> in{ramp(600, 0.001f), ramp(600, -0.001f)}, out(2);
        host.render(in, out);
    } // suspends, closes and unloads
    ASSERT_FALSE(log->overflow);

    std::vector<VstInt32> order;
    for (int i = 0; i < log->count; ++i)
        if (order.empty() || order.back() != log->events[i].opcode)
            order.push_back(log->events[i].opcode);
    const std::vector<VstInt32> expected = {kEntryCall,      effOpen,         effSetSampleRate,
                                            effSetBlockSize, effMainsChanged, kProcessCall,
                                            effMainsChanged, effClose};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(log->events[2].opt, 44100.0f);
    EXPECT_EQ(log->events[3].value, 256);
    EXPECT_EQ(log->events[4].value, 1);
    EXPECT_EQ(log->events[log->count - 2].value, 0);
    for (const Event* call : processCalls(*log))
        EXPECT_TRUE(call->running);
    // The callback's answers: the version asked with a null effect inside
    // VSTPluginMain, rate and block size asked on resume.
    EXPECT_EQ(log->hostVersion, 2400);
    EXPECT_EQ(log->hostSampleRate, 44100);
    EXPECT_EQ(log->hostBlockSize, 256);
}

TEST(VstHostTest, UnloadsThePluginFileWhenDestroyed) {
    {
        VstHost host(kPlugin, 48000.0, 64);
        void* probe = dlopen(kPlugin, RTLD_NOW | RTLD_NOLOAD);
        EXPECT_NE(probe, nullptr);
        if (probe) dlclose(probe);
    }
    EXPECT_EQ(dlopen(kPlugin, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(VstHostTest, BlocksCoverEverySampleExactlyOnceForAnyBlockSchedule) {
    LibraryPin pin;
    const size_t frames = 10007;
    const std::vector<std::vector<float>> in{ramp(frames, 1.0f), ramp(frames, -0.5f)};
    std::mt19937 random(7);
    // Requests outside 1..64 are clamped, the last block is cut to what is left.
    std::uniform_int_distribution<int> wild(-5, 100);
    const std::function<int()> schedules[] = {{}, [&] { return wild(random); }, [] { return 1; }};
    for (const auto& schedule : schedules) {
        VstHost host(kPlugin, 48000.0, 64);
        const CallLog& log = logOf(host);
        host.setParameter(0, 0.75f); // gain 1.5
        host.resume();
        std::vector<std::vector<float>> out(2);
        host.render(in, out, schedule);
        ASSERT_FALSE(log.overflow);

        size_t covered = 0;
        for (const Event* call : processCalls(log)) {
            EXPECT_GE(call->frames, 1);
            EXPECT_LE(call->frames, 64);
            covered += static_cast<size_t>(call->frames);
        }
        EXPECT_EQ(covered, frames);
        ASSERT_EQ(out[0].size(), frames);
        for (size_t i = 0; i < frames; ++i) {
            ASSERT_EQ(out[0][i], 1.5f * in[0][i]) << "sample " << i;
            ASSERT_EQ(out[1][i], 1.5f * in[1][i]) << "sample " << i;
        }
    }
}

TEST(VstHostTest, SecondChannelIsNullOnlyForAMonoHost) {
    LibraryPin pin;
    const std::vector<float> signal = ramp(300, 0.01f);
    for (const size_t channels : {size_t{1}, size_t{2}}) {
        VstHost host(kPlugin, 48000.0, 128);
        const CallLog& log = logOf(host);
        host.resume();
        std::vector<std::vector<float>> in(channels, signal), out(channels);
        host.render(in, out);
        const auto calls = processCalls(log);
        ASSERT_EQ(calls.size(), 3u);
        for (const Event* call : calls) {
            EXPECT_EQ(call->secondInput, channels == 2);
            EXPECT_EQ(call->secondOutput, channels == 2);
        }
        ASSERT_EQ(out.size(), channels);
        EXPECT_EQ(out[0], signal); // program 0 is unity gain
    }
}

TEST(VstHostTest, ProgramsAndParametersReachThePlugin) {
    VstHost host(kPlugin, 48000.0, 32);
    EXPECT_EQ(host.program(), 0);
    EXPECT_EQ(host.programNameIndexed(0), "Unity");
    EXPECT_EQ(host.programNameIndexed(1), "Quiet");
    EXPECT_EQ(host.programNameIndexed(kProgramCount), "");

    host.setProgram(1);
    EXPECT_EQ(host.program(), 1);
    EXPECT_EQ(host.programName(), "Quiet");
    EXPECT_EQ(host.parameter(0), 0.125f);
    host.setProgramName("A program name far longer than twenty-four characters");
    EXPECT_EQ(host.programName(), "A program name far longe");

    host.resume();
    const std::vector<std::vector<float>> in{ramp(50, 0.02f)};
    std::vector<std::vector<float>> out(1);
    host.render(in, out);
    EXPECT_EQ(out[0][49], 0.25f * in[0][49]);

    host.setParameter(0, 0.75f);
    EXPECT_EQ(host.parameterName(0), "Gain");
    EXPECT_EQ(host.parameterLabel(0), "x");
    EXPECT_EQ(host.parameterDisplay(0), "1.500");
    EXPECT_TRUE(host.string2parameter(1, "0.3"));
    EXPECT_EQ(host.parameter(1), 0.3f);
    EXPECT_FALSE(host.string2parameter(kParameterCount, "0.3"));
    host.render(in, out);
    EXPECT_EQ(out[0][49], 1.5f * in[0][49]);

    EXPECT_TRUE(host.setBypass(true));
    host.render(in, out);
    EXPECT_EQ(out[0], in[0]);
}

TEST(VstHostTest, ReadsTheEffectsIdentity) {
    VstHost host(kPlugin, 48000.0, 32);
    EXPECT_EQ(host.effectName(), "Host Test Gain");
    EXPECT_EQ(host.vendorString(), "Tarvex Tests");
    EXPECT_EQ(host.productString(), "Host Test Plug-in");
    EXPECT_EQ(host.vendorVersion(), 1234);
    EXPECT_EQ(host.canDo("bypass"), 1);
    EXPECT_EQ(host.canDo("sendVstMidiEvent"), -1);
    EXPECT_EQ(host.effect()->uniqueID, fourCharCode("tHst"));
}

TEST(VstHostTest, ProcessingIsRefusedWhileSuspendedOrForOverlongBlocks) {
    VstHost host(kPlugin, 48000.0, 16);
    std::vector<float> left(32), right(32);
    float* channels[] = {left.data(), right.data()};
    EXPECT_THROW(host.processBlock(channels, channels, 8), VstHostError);
    host.resume();
    EXPECT_NO_THROW(host.processBlock(channels, channels, 16));
    EXPECT_THROW(host.processBlock(channels, channels, 17), VstHostError);
    EXPECT_THROW(host.processBlock(channels, channels, -1), VstHostError);
    std::vector<std::vector<float>> three(3, left), out(2);
    EXPECT_THROW(host.render(three, out), VstHostError);
    std::vector<std::vector<float>> uneven{left, std::vector<float>(5)};
    EXPECT_THROW(host.render(uneven, out), VstHostError);
}

TEST(VstHostTest, RecordsEditRequestsSentFromManyThreads) {
    VstHost host(kPlugin, 48000.0, 64);
    constexpr int kThreads = 4, kTouches = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&host, t] {
            for (int k = 0; k < kTouches; ++k)
                host.dispatch(effVendorSpecific, kTouchParameter, t, nullptr,
                              static_cast<float>(k) / kTouches);
        });
    for (auto& thread : threads)
        thread.join();

    const std::vector<HostRequest> requests = host.requests();
    ASSERT_EQ(requests.size(), size_t{3 * kThreads * kTouches});
    // Each thread's requests stay whole and in order: begin, automate, end.
    for (int t = 0; t < kThreads; ++t) {
        std::vector<HostRequest> own;
        for (const HostRequest& request : requests)
            if (request.index == t) own.push_back(request);
        ASSERT_EQ(own.size(), size_t{3 * kTouches});
        for (int k = 0; k < kTouches; ++k) {
            EXPECT_EQ(own[3 * k].opcode, audioMasterBeginEdit);
            EXPECT_EQ(own[3 * k + 1].opcode, audioMasterAutomate);
            EXPECT_EQ(own[3 * k + 1].value, static_cast<float>(k) / kTouches);
            EXPECT_EQ(own[3 * k + 2].opcode, audioMasterEndEdit);
        }
    }
}

TEST(VstHostTest, CallbackAnswersWithoutAKnownEffect) {
    AEffect stranger{};
    for (AEffect* effect : {static_cast<AEffect*>(nullptr), &stranger}) {
        EXPECT_EQ(VstHost::callback(effect, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
        EXPECT_EQ(VstHost::callback(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(VstHost::callback(effect, audioMasterAutomate, 1, 0, nullptr, 0.5f), 0);
        EXPECT_EQ(VstHost::callback(effect, audioMasterGetTime, 0, 0, nullptr, 0.0f), 0);
    }
    // A running host answers for its own effect only.
    VstHost host(kPlugin, 96000.0, 48);
    EXPECT_EQ(VstHost::callback(host.effect(), audioMasterGetSampleRate, 0, 0, nullptr, 0.0f),
              96000);
    EXPECT_EQ(VstHost::callback(host.effect(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 48);
    EXPECT_EQ(VstHost::callback(&stranger, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 0);
    VstHost::callback(&stranger, audioMasterAutomate, 1, 0, nullptr, 0.5f);
    EXPECT_TRUE(host.requests().empty());
}

TEST(VstHostTest, UnusableFilesAndSettingsGiveClearErrors) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("vst_host_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string text = (folder / "text.so").string();
    std::ofstream(text) << "not a shared object\n";

    EXPECT_NE(loadError((folder / "missing.so").string()).find("not found"), std::string::npos);
    EXPECT_NE(loadError(folder.string()).find("not a plug-in file"), std::string::npos);
    EXPECT_NE(loadError(text).find("cannot load"), std::string::npos);
    EXPECT_NE(loadError(HOST_TEST_NO_ENTRY_PATH).find("no VSTPluginMain"), std::string::npos);
    EXPECT_NE(loadError(HOST_TEST_NULL_EFFECT_PATH).find("returned no effect"), std::string::npos);
    EXPECT_NE(loadError(HOST_TEST_BAD_MAGIC_PATH).find("not a VST 2.4 effect"), std::string::npos);
    std::filesystem::remove_all(folder);

    EXPECT_THROW(VstHost(kPlugin, 0.0, 512), VstHostError);
    EXPECT_THROW(VstHost(kPlugin, std::nan(""), 512), VstHostError);
    EXPECT_THROW(VstHost(kPlugin, 48000.0, 0), VstHostError);
    // A failed load leaves the file unloaded.
    EXPECT_EQ(dlopen(HOST_TEST_NULL_EFFECT_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
}
