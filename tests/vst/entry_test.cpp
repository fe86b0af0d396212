// The plug-in entry point: in this program with a factory the tests steer,
// and as a real module loaded with dlopen the way a Linux host loads it.
#include "vst/audioeffectx.h"

#include "fake_host.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

enum class Factory { Effect, Null, Throws };
Factory factory = Factory::Effect;
int factoryCalls = 0;
audioMasterCallback factoryMaster = nullptr;

class EntryEffect : public AudioEffectX {
public:
    explicit EntryEffect(audioMasterCallback master) : AudioEffectX(master, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

class EntryPointTest : public testing::Test {
protected:
    void SetUp() override {
        factory = Factory::Effect;
        factoryCalls = 0;
        factoryMaster = nullptr;
    }
    FakeHost host;
};

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    ++factoryCalls;
    factoryMaster = audioMaster;
    switch (factory) {
    case Factory::Null:
        return nullptr;
    case Factory::Throws:
        throw std::bad_alloc();
    default:
        return new EntryEffect(audioMaster);
    }
}

TEST_F(EntryPointTest, AHostAnsweringVersionZeroGetsNullAndNothingIsCreated) {
    EXPECT_EQ(VSTPluginMain(host.master()), nullptr);
    EXPECT_EQ(factoryCalls, 0);
    ASSERT_EQ(host.calls.size(), 1u);
    const HostCall& query = host.calls[0];
    EXPECT_EQ(query.effect, nullptr);
    EXPECT_EQ(query.opcode, audioMasterVersion);
    EXPECT_EQ(query.index, 0);
    EXPECT_EQ(query.value, 0);
    EXPECT_EQ(query.ptr, nullptr);
    EXPECT_EQ(query.opt, 0.0f);
}

TEST_F(EntryPointTest, AnyNonZeroVersionGetsTheNewEffectsRecordMadeWithTheHostsCallback) {
    for (VstIntPtr version : {VstIntPtr{2}, VstIntPtr{2400}, VstIntPtr{-1}}) {
        host.answers[audioMasterVersion] = version;
        AEffect* record = VSTPluginMain(host.master());
        ASSERT_NE(record, nullptr) << version;
        EXPECT_EQ(record->magic, 0x56737450);
        EXPECT_EQ(factoryMaster, host.master());
        auto* effect = static_cast<AudioEffect*>(record->object);
        EXPECT_EQ(effect->getAeffect(), record);
        EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    }
    EXPECT_EQ(factoryCalls, 3);
}

TEST_F(EntryPointTest, NoCallbackAFactoryGivingNullOrAFailingConstructionGiveNull) {
    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
    EXPECT_EQ(factoryCalls, 0);

    host.answers[audioMasterVersion] = 1;
    factory = Factory::Null;
    EXPECT_EQ(VSTPluginMain(host.master()), nullptr);
    factory = Factory::Throws;
    EXPECT_EQ(VSTPluginMain(host.master()), nullptr);
    EXPECT_EQ(factoryCalls, 2);
}

namespace {

using EntryFunction = AEffect* (*)(audioMasterCallback);

class PluginModuleTest : public testing::Test {
protected:
    void SetUp() override {
        handle = dlopen(TARVEX_GAIN_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        entry = reinterpret_cast<EntryFunction>(dlsym(handle, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle) dlclose(handle);
    }

    // The names of the dynamic symbols the module defines, as nm reads them.
    static std::set<std::string> definedDynamicSymbols() {
        std::set<std::string> names;
        const std::string command = "nm -D --defined-only '" TARVEX_GAIN_PLUGIN "' 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return names;
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) {
            char address[128], type[8], name[384];
            if (std::sscanf(line, "%127s %7s %383s", address, type, name) == 3) names.insert(name);
        }
        pclose(pipe);
        return names;
    }

    void* handle = nullptr;
    EntryFunction entry = nullptr;
    FakeHost host;
};

} // namespace

TEST_F(PluginModuleTest, LoadsProcessesABlockThroughTheRecordAndDeletesTheEffectOnClose) {
    host.answers[audioMasterVersion] = 2400;
    AEffect* record = entry(host.master());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->magic, kEffectMagic);
    EXPECT_EQ(record->uniqueID, fourCharCode("TgGn"));
    EXPECT_EQ(record->numInputs, 2);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, effFlagsCanReplacing);

    record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    record->dispatcher(record, effSetBlockSize, 0, 64, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    char name[64] = {};
    EXPECT_EQ(record->dispatcher(record, effGetEffectName, 0, 0, name, 0.0f), 1);
    EXPECT_STREQ(name, "Gain");

    record->setParameter(record, 0, 0.5f);
    EXPECT_EQ(record->getParameter(record, 0), 0.5f);
    std::vector<float> left(64), right(64), outLeft(64, 9.0f), outRight(64, 9.0f);
    for (int i = 0; i < 64; ++i) {
        left[i] = static_cast<float>(i) - 32.0f;
        right[i] = 0.25f * static_cast<float>(i);
    }
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    record->processReplacing(record, inputs, outputs, 64);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(outLeft[i], 0.5f * left[i]);
        EXPECT_EQ(outRight[i], 0.5f * right[i]);
    }

    record->dispatcher(record, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), 0u);
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    ASSERT_EQ(host.count(audioMasterUpdateDisplay), 1u) << "the effect was not deleted";
    EXPECT_EQ(host.callsOf(audioMasterUpdateDisplay)[0].effect, record);
}

TEST_F(PluginModuleTest, AVersionAnswerOfZeroMakesTheModuleReturnNull) {
    EXPECT_EQ(entry(host.master()), nullptr);
    EXPECT_EQ(entry(nullptr), nullptr);
}

TEST_F(PluginModuleTest, ExportsOnlyTheEntryPointAndHasNoLibPrefix) {
    const std::string path = TARVEX_GAIN_PLUGIN;
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "tarvex_test_gain_plugin.so");
    EXPECT_EQ(definedDynamicSymbols(), std::set<std::string>{"VSTPluginMain"});
    // The base's entries and the factory stay inside the module.
    EXPECT_EQ(dlsym(handle, "_Z20createEffectInstancePFlP7AEffectiilPvfE"), nullptr);
    EXPECT_EQ(dlsym(handle, "_ZN11AudioEffect19dispatchEffectClassEP7AEffectiilPvf"), nullptr);
}
