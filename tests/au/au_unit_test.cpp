// The unit as an Audio Unit validator sees it: lifecycle, parameter list,
// factory presets, saved state and bad input, through the module's entry
// point only. Expected names and values come from tarvex.so, the VST build
// of the same effect.
#include "au/au_host.h"

#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <cstring>

namespace au_host {
namespace {

TEST(AUUnitTest, OpensInitialisesAtTwoRatesResetsAndClosesWithoutLeakingObjects) {
    const CFIndex objectsBefore = CFLiveObjectCount();
    {
        Unit unit;
        ASSERT_NE(unit.unit, nullptr);
        EXPECT_EQ(GetComponentVersion(unit.unit), 1);
        for (double rate : {44100.0, 96000.0}) {
            ASSERT_EQ(unit.start(rate, 2), noErr);
            Float64 reported = 0.0;
            EXPECT_EQ(unit.get(kAudioUnitProperty_SampleRate, reported, kAudioUnitScope_Output),
                      noErr);
            EXPECT_EQ(reported, rate);
            EXPECT_EQ(AudioUnitReset(unit.unit, kAudioUnitScope_Global, 0), noErr);
        }
        AUChannelInfo pairs[2] = {};
        ASSERT_EQ(unit.get(kAudioUnitProperty_SupportedNumChannels, pairs), noErr);
        EXPECT_EQ(pairs[0].inChannels * 10 + pairs[0].outChannels, 11);
        EXPECT_EQ(pairs[1].inChannels * 10 + pairs[1].outChannels, 22);
        // One input and two outputs is not among them.
        AudioUnitUninitialize(unit.unit);
        unit.set(kAudioUnitProperty_StreamFormat, canonicalStreamFormat(44100.0, 1),
                 kAudioUnitScope_Input);
        EXPECT_EQ(AudioUnitInitialize(unit.unit), kAudioUnitErr_FormatNotSupported);
    }
    EXPECT_EQ(CFLiveObjectCount(), objectsBefore);
}

TEST(AUUnitTest, ParameterListAndInfoFollowTheEffect) {
    validation::LoadedPlugin vst;
    Unit unit;
    UInt32 size = 0;
    ASSERT_EQ(AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterList,
                                   kAudioUnitScope_Global, 0, nullptr, &size),
              noErr);
    ASSERT_EQ(size, kParameters * sizeof(AudioUnitParameterID));
    std::vector<AudioUnitParameterID> ids(kParameters);
    ASSERT_EQ(AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterList,
                                   kAudioUnitScope_Global, 0, ids.data(), &size),
              noErr);
    const CFIndex objectsBefore = CFLiveObjectCount();
    for (UInt32 id = 0; id < kParameters; ++id) {
        EXPECT_EQ(ids[id], id);
        AudioUnitParameterInfo info{};
        ASSERT_EQ(unit.get(kAudioUnitProperty_ParameterInfo, info, kAudioUnitScope_Global, id),
                  noErr);
        const std::string name = vst.text(effGetParamName, static_cast<VstInt32>(id));
        EXPECT_EQ(std::string(info.name), name);
        EXPECT_EQ(text(info.cfNameString), name);
        EXPECT_EQ(info.minValue, 0.0f);
        EXPECT_EQ(info.maxValue, 1.0f);
        EXPECT_EQ(info.defaultValue, 0.5f);
        EXPECT_EQ(info.flags, 0xE8000011u);
        // The name is the host's to release.
        ASSERT_TRUE(info.flags & kAudioUnitParameterFlag_CFNameRelease);
        CFRelease(info.cfNameString);
        // A host reads the effect's own value.
        EXPECT_EQ(unit.parameter(id), vst.parameter(static_cast<int>(id))) << id;
    }
    EXPECT_EQ(CFLiveObjectCount(), objectsBefore);

    AudioUnitParameterInfo untouched{};
    untouched.flags = 77;
    EXPECT_EQ(unit.get(kAudioUnitProperty_ParameterInfo, untouched, kAudioUnitScope_Global, 53),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(unit.get(kAudioUnitProperty_ParameterInfo, untouched, kAudioUnitScope_Input, 0),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(untouched.flags, 77u);
    // Reading or writing a parameter that does not exist never adds it.
    float value = 0.0f;
    EXPECT_EQ(AudioUnitGetParameter(unit.unit, 53, kAudioUnitScope_Global, 0, &value),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(unit.setParameter(53, 0.5f), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterList,
                                   kAudioUnitScope_Global, 0, nullptr, &size),
              noErr);
    EXPECT_EQ(size, kParameters * sizeof(AudioUnitParameterID));
}

TEST(AUUnitTest, FactoryPresetsAreTheEffectsProgramsAndSelectingOneSetsItsValues) {
    validation::LoadedPlugin vst;
    Unit unit;
    CFArrayRef presets = nullptr;
    ASSERT_EQ(unit.get(kAudioUnitProperty_FactoryPresets, presets), noErr);
    ASSERT_EQ(CFArrayGetCount(presets), kPresets);
    EXPECT_EQ(CFGetRetainCount(presets), 2); // the unit's and ours
    for (int i = 0; i < kPresets; ++i) {
        const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
        ASSERT_NE(preset, nullptr);
        EXPECT_EQ(preset->presetNumber, i);
        EXPECT_EQ(text(preset->presetName), vst.text(effGetProgramNameIndexed, i));
    }
    CFRelease(presets);
    EXPECT_EQ(CFGetRetainCount(presets), 1);

    for (int k : {0, 7, 19}) {
        ASSERT_EQ(unit.selectPreset(k), noErr);
        vst.selectProgram(k);
        for (UInt32 id = 0; id < kParameters; ++id)
            EXPECT_EQ(unit.parameter(id), vst.parameter(static_cast<int>(id))) << k << " " << id;
        AUPreset current{};
        ASSERT_EQ(unit.get(kAudioUnitProperty_PresentPreset, current), noErr);
        EXPECT_EQ(current.presetNumber, k);
        CFRelease(current.presetName);
    }
    const std::vector<float> before = unit.parameters();
    for (int bad : {-1, 20})
        EXPECT_EQ(unit.selectPreset(bad), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(unit.parameters(), before);
    AUPreset current{};
    ASSERT_EQ(unit.get(kAudioUnitProperty_PresentPreset, current), noErr);
    EXPECT_EQ(current.presetNumber, 19);
    CFRelease(current.presetName);
    // The size query asks for the presets with a null pointer.
    UInt32 size = 0;
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit.unit, kAudioUnitProperty_FactoryPresets,
                                       kAudioUnitScope_Global, 0, &size, nullptr),
              noErr);
    EXPECT_EQ(size, sizeof(CFArrayRef));
}

TEST(AUUnitTest, SavedStateRestoredIntoAFreshUnitGivesTheSameValues) {
    const CFIndex objectsBefore = CFLiveObjectCount();
    CFPropertyListRef state = nullptr;
    std::vector<float> saved;
    {
        Unit unit;
        unit.selectPreset(4);
        for (UInt32 id = 0; id < kParameters; id += 3)
            unit.setParameter(id, static_cast<float>((id * 37) % 101) / 100.0f);
        saved = unit.parameters();
        ASSERT_EQ(unit.get(kAudioUnitProperty_ClassInfo, state), noErr);
    }
    {
        Unit fresh;
        ASSERT_NE(fresh.parameters(), saved);
        ASSERT_EQ(fresh.set(kAudioUnitProperty_ClassInfo, state), noErr);
        EXPECT_EQ(fresh.parameters(), saved);
        AUPreset current{};
        ASSERT_EQ(fresh.get(kAudioUnitProperty_PresentPreset, current), noErr);
        EXPECT_EQ(current.presetNumber, 4);
        CFRelease(current.presetName);

        // A null or foreign state changes nothing.
        EXPECT_EQ(fresh.set(kAudioUnitProperty_ClassInfo, CFPropertyListRef{nullptr}),
                  kAudioUnitErr_InvalidParameter);
        const SInt32 seven = 7;
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &seven);
        EXPECT_NE(fresh.set(kAudioUnitProperty_ClassInfo, CFPropertyListRef{number}), noErr);
        CFRelease(number);
        EXPECT_EQ(fresh.parameters(), saved);
    }
    CFRelease(state);
    EXPECT_EQ(CFLiveObjectCount(), objectsBefore);
}

TEST(AUUnitTest, BadCallsAnswerErrorsAndChangeNothing) {
    Unit unit;
    Float64 rate = 0.0;
    UInt32 size = 2;
    EXPECT_EQ(AudioUnitGetProperty(nullptr, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output,
                                   0, &rate, &size),
              kAudio_ParamError);
    EXPECT_EQ(AudioUnitGetProperty(unit.unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output,
                                   0, &rate, nullptr),
              kAudio_ParamError);
    // Too small for the value.
    EXPECT_EQ(AudioUnitGetProperty(unit.unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output,
                                   0, &rate, &size),
              kAudio_ParamError);
    EXPECT_EQ(AudioUnitSetProperty(unit.unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output,
                                   0, &rate, 4),
              kAudio_ParamError);
    EXPECT_EQ(AudioUnitSetProperty(unit.unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output,
                                   0, nullptr, 8),
              kAudio_ParamError);
    EXPECT_EQ(unit.set(kAudioUnitProperty_SampleRate, -1.0, kAudioUnitScope_Output),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(unit.get(999, rate), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(unit.get(kAudioUnitProperty_SampleRate, rate, 7), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(unit.get(kAudioUnitProperty_SampleRate, rate, kAudioUnitScope_Output, 3),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(unit.set(kAudioUnitProperty_StreamFormat, canonicalStreamFormat(44100.0, 3),
                       kAudioUnitScope_Output),
              kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(unit.set(5000, unit.effect()), kAudioUnitErr_PropertyNotWritable);
    EXPECT_EQ(AudioUnitGetParameter(unit.unit, 0, kAudioUnitScope_Global, 0, nullptr),
              kAudio_ParamError);
    EXPECT_EQ(AudioUnitGetParameter(unit.unit, 0, kAudioUnitScope_Global, 1, nullptr),
              kAudio_ParamError);
    float value = 0.0f;
    EXPECT_EQ(AudioUnitGetParameter(unit.unit, 0, kAudioUnitScope_Global, 1, &value),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(MusicDeviceMIDIEvent(unit.unit, 0x90, 60, 100, 0), noErr);
    EXPECT_EQ(MusicDeviceMIDIEvent(unit.unit, 0x10, 60, 100, 0), kAudio_ParamError);
    EXPECT_EQ(AUParameterSet(nullptr, nullptr, nullptr, 0.5f, 0), kAudio_ParamError);
    EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, nullptr), kAudio_ParamError);
    EXPECT_EQ(AudioUnitInitialize(nullptr), kAudio_ParamError);

    // The stored-pointer property keeps the pointer and changes nothing else.
    const std::vector<float> before = unit.parameters();
    int anything = 0;
    EXPECT_EQ(AudioUnitSetProperty(unit.unit, 5001, kAudioUnitScope_Global, 0, &anything, 8),
              noErr);
    EXPECT_EQ(unit.parameters(), before);

    // A closed unit's handle answers errors.
    AudioUnit closed = unit.unit;
    ASSERT_EQ(AudioComponentInstanceDispose(closed), noErr);
    unit.unit = nullptr;
    EXPECT_EQ(AudioUnitGetProperty(closed, 5000, kAudioUnitScope_Global, 0, &rate, &size),
              kAudio_ParamError);
    EXPECT_EQ(AudioComponentInstanceDispose(closed), kAudio_ParamError);
}

} // namespace
} // namespace au_host
