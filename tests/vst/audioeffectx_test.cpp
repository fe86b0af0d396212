// AudioEffectX: opcodes 25 to 79, every opcode on a plain effect, the key
// record, the extended host requests and resume.
#include "vst/audioeffectx.h"

#include "fake_host.h"
#include "test_effects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>

namespace {} // namespace

TEST(ExtendedDispatcher, OpcodesTwentyFiveToSeventyNineCallTheirOperationWithTheirArguments) {
    enum Answer { None, Bool, Int, Wide, Fixed };
    struct Row {
        VstInt32 opcode;
        const char* call;
        Answer answer;
        VstIntPtr fixed; // the answer of a Fixed row
        bool forwardsPtr;
    };
    const Row rows[] = {
        {effProcessEvents, "processEvents()", Int, 0, true},
        {effCanBeAutomated, "canParameterBeAutomated(5)", Bool, 0, false},
        {effString2Parameter, "string2parameter(5)", Bool, 0, true},
        {effGetNumProgramCategories, "", Fixed, 0, false},
        {effGetProgramNameIndexed, "getProgramNameIndexed(3,5)", Bool, 0, true},
        {effCopyProgram, "", Fixed, 0, false},
        {effConnectInput, "", Fixed, 0, false},
        {effConnectOutput, "", Fixed, 0, false},
        {effGetInputProperties, "getInputProperties(5)", Bool, 0, true},
        {effGetOutputProperties, "getOutputProperties(5)", Bool, 0, true},
        {effGetPlugCategory, "getPlugCategory()", Int, 0, false},
        {effGetCurrentPosition, "", Fixed, 0, false},
        {effGetDestinationBuffer, "", Fixed, 0, false},
        {effOfflineNotify, "offlineNotify(3,1)", Bool, 0, true},
        {effOfflinePrepare, "offlinePrepare(3)", Bool, 0, true},
        {effOfflineRun, "offlineRun(3)", Bool, 0, true},
        {effProcessVarIo, "processVariableIo()", Bool, 0, true},
        {effSetSpeakerArrangement, "setSpeakerArrangement()", Bool, 0, false},
        {effSetBlockSizeAndSampleRate, "", Fixed, 0, false},
        {effSetBypass, "setBypass(1)", Bool, 0, false},
        {effGetEffectName, "getEffectName()", Bool, 0, true},
        {effGetErrorText, "", Fixed, 0, false},
        {effGetVendorString, "getVendorString()", Bool, 0, true},
        {effGetProductString, "getProductString()", Bool, 0, true},
        {effGetVendorVersion, "getVendorVersion()", Int, 0, false},
        {effVendorSpecific, "vendorSpecific(5,3,2.5)", Wide, 0, true},
        {effCanDo, "canDo()", Int, 0, true},
        {effGetTailSize, "getGetTailSize()", Int, 0, false},
        {effIdle, "", Fixed, 0, false},
        {effGetIcon, "", Fixed, 0, false},
        {effSetViewPosition, "", Fixed, 0, false},
        {effGetParameterProperties, "getParameterProperties(5)", Bool, 0, true},
        {effKeysRequired, "", Fixed, 0, false},
        {effGetVstVersion, "getVstVersion()", Int, 0, false},
        {effEditKeyDown, "", Fixed, 0, false}, // no editor
        {effEditKeyUp, "", Fixed, 0, false},
        {effSetEditKnobMode, "", Fixed, 0, false},
        {effGetMidiProgramName, "getMidiProgramName(5)", Int, 0, true},
        {effGetCurrentMidiProgram, "getCurrentMidiProgram(5)", Int, 0, true},
        {effGetMidiProgramCategory, "getMidiProgramCategory(5)", Int, 0, true},
        {effHasMidiProgramsChanged, "hasMidiProgramsChanged(5)", Bool, 0, false},
        {effGetMidiKeyName, "getMidiKeyName(5)", Bool, 0, true},
        {effBeginSetProgram, "beginSetProgram()", Bool, 0, false},
        {effEndSetProgram, "endSetProgram()", Bool, 0, false},
        {effGetSpeakerArrangement, "getSpeakerArrangement()", Bool, 0, false},
        {effShellGetNextPlugin, "getNextShellPlugin()", Int, 0, true},
        {effStartProcess, "startProcess()", Int, 0, false},
        {effStopProcess, "stopProcess()", Int, 0, false},
        {effSetTotalSampleToProcess, "setTotalSampleToProcess(3)", Int, 0, false},
        {effSetPanLaw, "setPanLaw(3,2.5)", Bool, 0, false},
        {effBeginLoadBank, "beginLoadBank()", Int, 0, true},
        {effBeginLoadProgram, "beginLoadProgram()", Int, 0, true},
        {effSetProcessPrecision, "setProcessPrecision(3)", Bool, 0, false},
        {effGetNumMidiInputChannels, "getNumMidiInputChannels()", Int, 0, false},
        {effGetNumMidiOutputChannels, "getNumMidiOutputChannels()", Int, 0, false},
    };
    ASSERT_EQ(std::size(rows), 55u) << "one row per opcode 25 to 79";
    for (bool boolAnswer : {true, false}) {
        for (const Row& row : rows) {
            SpyEffect fx;
            fx.boolAnswer = boolAnswer;
            char buffer[64] = "untouched";
            const VstIntPtr expected = row.answer == Bool   ? (boolAnswer ? 1 : 0)
                                       : row.answer == Int  ? fx.intAnswer
                                       : row.answer == Wide ? fx.wideAnswer
                                                            : row.fixed;
            EXPECT_EQ(fx.dispatcher(row.opcode, 5, 3, buffer, 2.5f), expected) << row.opcode;
            EXPECT_EQ(fx.last(), row.call) << row.opcode;
            EXPECT_EQ(fx.calls.size(), *row.call ? 1u : 0u) << row.opcode;
            if (row.forwardsPtr) {
                EXPECT_EQ(fx.pointers, std::vector<const void*>{buffer}) << row.opcode;
            }
        }
    }
}

TEST(ExtendedDispatcher, SpeakerArrangementOpcodesTakeTheValueAsThePluginInputPointer) {
    SpyEffect fx;
    VstSpeakerArrangement in{}, out{};
    fx.dispatcher(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out, 0.0f);
    EXPECT_EQ(fx.pointers, (std::vector<const void*>{&in, &out}));
    VstSpeakerArrangement* inPtr = &in;
    VstSpeakerArrangement* outPtr = &out;
    fx.dispatcher(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inPtr), &outPtr, 0.f);
    EXPECT_EQ(fx.pointers, (std::vector<const void*>{&inPtr, &outPtr}));

    // The base clears both pointers and answers 0; a missing one is skipped.
    PlainEffect plain;
    EXPECT_EQ(plain.dispatcher(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inPtr),
                               &outPtr, 0.0f),
              0);
    EXPECT_EQ(inPtr, nullptr);
    EXPECT_EQ(outPtr, nullptr);
    outPtr = &out;
    EXPECT_EQ(plain.dispatcher(effGetSpeakerArrangement, 0, 0, &outPtr, 0.0f), 0);
    EXPECT_EQ(outPtr, nullptr);
    EXPECT_EQ(plain.dispatcher(effGetSpeakerArrangement, 0, 0, nullptr, 0.0f), 0);
}

TEST(ExtendedDispatcher, IntArgumentsUseTheLow32BitsAndBypassTestsTheWholeValue) {
    SpyEffect fx;
    char text[8] = {};
    const VstIntPtr value = kHigh + 3;
    struct Row {
        VstInt32 opcode;
        const char* call;
    };
    for (const Row& row :
         {Row{effGetProgramNameIndexed, "getProgramNameIndexed(3,0)"},
          Row{effOfflineNotify, "offlineNotify(3,0)"}, Row{effOfflinePrepare, "offlinePrepare(3)"},
          Row{effOfflineRun, "offlineRun(3)"},
          Row{effSetTotalSampleToProcess, "setTotalSampleToProcess(3)"},
          Row{effSetPanLaw, "setPanLaw(3,0)"},
          Row{effSetProcessPrecision, "setProcessPrecision(3)"}}) {
        fx.dispatcher(row.opcode, 0, value, text, 0.0f);
        EXPECT_EQ(fx.last(), row.call);
    }
    fx.dispatcher(effVendorSpecific, 0, value, text, 0.0f);
    EXPECT_EQ(fx.last(), "vendorSpecific(0," + std::to_string(value) + ",0)");
    EXPECT_EQ(switchCalls(fx, effSetBypass),
              (std::vector<std::string>{"setBypass(1)", "setBypass(0)", "setBypass(1)"}));
}

TEST(ExtendedDispatcher, EveryOpcodeOnAPlainEffectAnswersItsNeutralValueAndWritesNoBuffer) {
    PlainEffect fx;
    for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
        VstIntPtr expected = 0;
        switch (opcode) {
        case effIdentify:
            expected = 0x4E764566;
            break;
        case effCanBeAutomated:
            expected = 1;
            break;
        case effGetVstVersion:
            expected = 2400;
            break;
        case effGetCurrentMidiProgram:
            expected = -1;
            break;
        case effSetTotalSampleToProcess:
            expected = 0; // the value itself
            break;
        }
        alignas(16) unsigned char buffer[256];
        std::memset(buffer, 0x5A, sizeof buffer);
        EXPECT_EQ(fx.dispatcher(opcode, 1, 0, buffer, 0.0f), expected) << opcode;

        // Only the text getters (first byte) and the arrangement query (the
        // output pointer) write into the host's buffer.
        std::size_t written = 0;
        if (opcode >= effGetProgramName && opcode <= effGetParamName) written = 1;
        if (opcode == effGetSpeakerArrangement) written = sizeof(void*);
        for (std::size_t i = 0; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], i < written ? 0 : 0x5A) << "opcode " << opcode << " byte " << i;
        }
    }
    EXPECT_EQ(fx.dispatcher(effSetTotalSampleToProcess, 0, 4096, nullptr, 0.0f), 4096);
    EXPECT_EQ(fx.dispatcher(effSetTotalSampleToProcess, 0, -5, nullptr, 0.0f), -5);
    EXPECT_EQ(fx.getSampleRate(), 0.0f) << "opcode 10 passed opt 0 on";
    EXPECT_EQ(fx.getBlockSize(), 0);
}

TEST(ExtendedDispatcher, PlugCategoryIsSynthOnlyWhileTheSynthFlagIsSet) {
    PlainEffect fx;
    EXPECT_EQ(fx.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), 0);
    fx.isSynth(true);
    EXPECT_EQ(fx.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), 2);
    fx.isSynth(false);
    EXPECT_EQ(fx.getPlugCategory(), 0);
}

TEST(ExtendedDispatcher, KeyOpcodesBuildTheKeyRecordFromIndexValueAndOpt) {
    PlainEffect fx;
    auto* editor = new SpyEditor(&fx);
    fx.setEditor(editor);
    EXPECT_EQ(fx.dispatcher(effEditKeyDown, 65, 0x141, nullptr, 2.9f), 1);
    EXPECT_EQ(editor->calls.back(), "onKeyDown");
    EXPECT_EQ(editor->lastKey.character, 65);
    EXPECT_EQ(editor->lastKey.virt, 0x41);
    EXPECT_EQ(editor->lastKey.modifier, 2);

    editor->answer = false;
    EXPECT_EQ(fx.dispatcher(effEditKeyUp, -3, -1, nullptr, -1.5f), 0);
    EXPECT_EQ(editor->calls.back(), "onKeyUp");
    EXPECT_EQ(editor->lastKey.character, -3);
    EXPECT_EQ(editor->lastKey.virt, 0xFF);
    EXPECT_EQ(editor->lastKey.modifier, 0xFF) << "-1.5 truncates to -1";

    // Opt values beyond a byte keep their low byte; non-finite ones give 0.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<float, unsigned char> modifiers[] = {
        {258.7f, 2}, {65536.0f + 7.0f, 7}, {1e30f, 0}, {inf, 0}, {-inf, 0}, {nan, 0}};
    for (const auto& [opt, modifier] : modifiers) {
        fx.dispatcher(effEditKeyDown, 0, 0, nullptr, opt);
        EXPECT_EQ(editor->lastKey.modifier, modifier) << opt;
    }
}

TEST(ExtendedDispatcher, KnobModeReachesTheEditorWithTheLow32BitsOfTheValue) {
    PlainEffect fx;
    EXPECT_EQ(fx.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 0) << "no editor";
    auto* editor = new SpyEditor(&fx);
    fx.setEditor(editor);
    EXPECT_EQ(fx.dispatcher(effSetEditKnobMode, 0, kHigh + 2, nullptr, 0.0f), 1);
    EXPECT_EQ(editor->calls.back(), "setKnobMode(2)");
    editor->answer = false;
    EXPECT_EQ(fx.dispatcher(effSetEditKnobMode, 0, 1, nullptr, 0.0f), 0);
}

namespace {

// How a request turns the host's answer into its result.
enum class Reading { Low32, NonZero, OneOrZero, ExactlyOne, Whole, Nothing };

struct Request {
    const char* name;
    std::function<VstIntPtr(AudioEffectX&)> call; // the result as an integer
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    bool passesPtr; // ptr is the test's marker object
    float opt;
    Reading reading;
};

int marker = 0;
void* const kMarker = &marker;
template <class T> T* as() {
    return static_cast<T*>(kMarker);
}
VstIntPtr address(const void* p) {
    return reinterpret_cast<VstIntPtr>(p);
}

std::vector<Request> extendedRequests() {
    using R = Reading;
    return {
        {"__wantEventsDeprecated", [](AudioEffectX& f) { return f.__wantEventsDeprecated(9), 0; },
         6, 0, 9, false, 0, R::Nothing},
        {"getTimeInfo", [](AudioEffectX& f) { return address(f.getTimeInfo(0x2F)); }, 7, 0, 0x2F,
         false, 0, R::Whole},
        {"sendVstEventsToHost",
         [](AudioEffectX& f) { return VstIntPtr{f.sendVstEventsToHost(as<VstEvents>())}; }, 8, 0, 0,
         true, 0, R::ExactlyOne},
        {"__tempoAtDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__tempoAtDeprecated(77)}; }, 10, 0, 77, false, 0,
         R::Low32},
        {"__getNumAutomatableParametersDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__getNumAutomatableParametersDeprecated()}; }, 11,
         0, 0, false, 0, R::Low32},
        {"__getParameterQuantizationDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__getParameterQuantizationDeprecated()}; }, 12, 0,
         0, false, 0, R::Low32},
        {"ioChanged", [](AudioEffectX& f) { return VstIntPtr{f.ioChanged()}; }, 13, 0, 0, false, 0,
         R::NonZero},
        {"__needIdleDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__needIdleDeprecated()}; }, 14, 0, 0, false, 0,
         R::NonZero},
        {"sizeWindow", [](AudioEffectX& f) { return VstIntPtr{f.sizeWindow(640, 480)}; }, 15, 640,
         480, false, 0, R::NonZero},
        {"getInputLatency", [](AudioEffectX& f) { return VstIntPtr{f.getInputLatency()}; }, 18, 0,
         0, false, 0, R::Low32},
        {"getOutputLatency", [](AudioEffectX& f) { return VstIntPtr{f.getOutputLatency()}; }, 19, 0,
         0, false, 0, R::Low32},
        {"__getPreviousPlugDeprecated",
         [](AudioEffectX& f) { return address(f.__getPreviousPlugDeprecated(3)); }, 20, 0, 0, false,
         0, R::Whole},
        {"__getNextPlugDeprecated",
         [](AudioEffectX& f) { return address(f.__getNextPlugDeprecated(3)); }, 21, 0, 0, false, 0,
         R::Whole},
        {"__willProcessReplacingDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__willProcessReplacingDeprecated()}; }, 22, 0, 0,
         false, 0, R::Low32},
        {"getCurrentProcessLevel",
         [](AudioEffectX& f) { return VstIntPtr{f.getCurrentProcessLevel()}; }, 23, 0, 0, false, 0,
         R::Low32},
        {"getAutomationState", [](AudioEffectX& f) { return VstIntPtr{f.getAutomationState()}; },
         24, 0, 0, false, 0, R::Low32},
        {"offlineStart",
         [](AudioEffectX& f) { return VstIntPtr{f.offlineStart(as<VstAudioFile>(), 4, 2)}; }, 25, 2,
         4, true, 0, R::NonZero},
        {"offlineRead",
         [](AudioEffectX& f) { return VstIntPtr{f.offlineRead(as<VstOfflineTask>(), 6, true)}; },
         26, 1, 6, true, 0, R::NonZero},
        {"offlineRead from the output",
         [](AudioEffectX& f) { return VstIntPtr{f.offlineRead(as<VstOfflineTask>(), 6, false)}; },
         26, 0, 6, true, 0, R::NonZero},
        {"offlineWrite",
         [](AudioEffectX& f) { return VstIntPtr{f.offlineWrite(as<VstOfflineTask>(), 5)}; }, 27, 0,
         5, true, 0, R::NonZero},
        {"offlineGetCurrentPass",
         [](AudioEffectX& f) { return VstIntPtr{f.offlineGetCurrentPass()}; }, 28, 0, 0, false, 0,
         R::OneOrZero},
        {"offlineGetCurrentMetaPass",
         [](AudioEffectX& f) { return VstIntPtr{f.offlineGetCurrentMetaPass()}; }, 29, 0, 0, false,
         0, R::OneOrZero},
        {"__setOutputSamplerateDeprecated",
         [](AudioEffectX& f) { return f.__setOutputSamplerateDeprecated(22050.0f), 0; }, 30, 0, 0,
         false, 22050.0f, R::Nothing},
        {"__getOutputSpeakerArrangementDeprecated",
         [](AudioEffectX& f) { return address(f.__getOutputSpeakerArrangementDeprecated()); }, 31,
         0, 0, false, 0, R::Whole},
        {"getHostVendorString",
         [](AudioEffectX& f) { return VstIntPtr{f.getHostVendorString(as<char>())}; }, 32, 0, 0,
         true, 0, R::NonZero},
        {"getHostProductString",
         [](AudioEffectX& f) { return VstIntPtr{f.getHostProductString(as<char>())}; }, 33, 0, 0,
         true, 0, R::NonZero},
        {"getHostVendorVersion",
         [](AudioEffectX& f) { return VstIntPtr{f.getHostVendorVersion()}; }, 34, 0, 0, false, 0,
         R::Low32},
        {"hostVendorSpecific",
         [](AudioEffectX& f) { return f.hostVendorSpecific(11, kHigh + 12, kMarker, 1.5f); }, 35,
         11, kHigh + 12, true, 1.5f, R::Whole},
        {"canHostDo", [](AudioEffectX& f) { return VstIntPtr{f.canHostDo(as<char>())}; }, 37, 0, 0,
         true, 0, R::OneOrZero},
        {"getHostLanguage", [](AudioEffectX& f) { return VstIntPtr{f.getHostLanguage()}; }, 38, 0,
         0, false, 0, R::Low32},
        {"__openWindowDeprecated",
         [](AudioEffectX& f) { return address(f.__openWindowDeprecated(as<VstWindow>())); }, 39, 0,
         0, true, 0, R::Whole},
        {"__closeWindowDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__closeWindowDeprecated(as<VstWindow>())}; }, 40,
         0, 0, true, 0, R::NonZero},
        {"getDirectory", [](AudioEffectX& f) { return address(f.getDirectory()); }, 41, 0, 0, false,
         0, R::Whole},
        {"updateDisplay", [](AudioEffectX& f) { return VstIntPtr{f.updateDisplay()}; }, 42, 0, 0,
         false, 0, R::NonZero},
        {"beginEdit", [](AudioEffectX& f) { return VstIntPtr{f.beginEdit(7)}; }, 43, 7, 0, false, 0,
         R::NonZero},
        {"endEdit", [](AudioEffectX& f) { return VstIntPtr{f.endEdit(7)}; }, 44, 7, 0, false, 0,
         R::NonZero},
        {"openFileSelector",
         [](AudioEffectX& f) { return VstIntPtr{f.openFileSelector(as<VstFileSelect>())}; }, 45, 0,
         0, true, 0, R::NonZero},
        {"closeFileSelector",
         [](AudioEffectX& f) { return VstIntPtr{f.closeFileSelector(as<VstFileSelect>())}; }, 46, 0,
         0, true, 0, R::NonZero},
        {"__getChunkFileDeprecated",
         [](AudioEffectX& f) { return VstIntPtr{f.__getChunkFileDeprecated(kMarker)}; }, 48, 0, 0,
         true, 0, R::NonZero},
        {"__getInputSpeakerArrangementDeprecated",
         [](AudioEffectX& f) { return address(f.__getInputSpeakerArrangementDeprecated()); }, 49, 0,
         0, false, 0, R::Whole},
    };
}

VstIntPtr expectedResult(Reading reading, VstIntPtr answer) {
    switch (reading) {
    case Reading::Low32:
        return static_cast<VstInt32>(answer);
    case Reading::NonZero:
    case Reading::OneOrZero:
        return answer != 0 ? 1 : 0;
    case Reading::ExactlyOne:
        return answer == 1 ? 1 : 0;
    case Reading::Whole:
        return answer;
    case Reading::Nothing:
        break;
    }
    return 0;
}

} // namespace

TEST(ExtendedHostRequests, EachRequestSendsItsArgumentsAndReadsTheAnswerAsDocumented) {
    // kHigh has zero low 32 bits: requests reading the low bits see 0, those
    // testing the whole value see non-zero.
    for (VstIntPtr answer :
         {VstIntPtr{0}, VstIntPtr{1}, VstIntPtr{2}, VstIntPtr{-1}, kHigh, kHigh + 5}) {
        for (const Request& request : extendedRequests()) {
            FakeHost host;
            host.answers[request.opcode] = answer;
            PlainEffect fx(host.master());
            const VstIntPtr result = request.call(fx);
            ASSERT_EQ(host.calls.size(), 1u) << request.name;
            const HostCall& c = host.calls[0];
            EXPECT_EQ(c.effect, fx.getAeffect()) << request.name;
            EXPECT_EQ(c.opcode, request.opcode) << request.name;
            EXPECT_EQ(c.index, request.index) << request.name;
            EXPECT_EQ(c.value, request.value) << request.name;
            EXPECT_EQ(c.ptr, request.passesPtr ? kMarker : nullptr) << request.name;
            EXPECT_EQ(c.opt, request.opt) << request.name;
            EXPECT_EQ(result, expectedResult(request.reading, answer))
                << request.name << " answer " << answer;
        }
    }
}

TEST(ExtendedHostRequests, WithoutAHostCallbackEveryRequestAnswersFalseZeroOrNull) {
    for (const Request& request : extendedRequests()) {
        PlainEffect fx;
        EXPECT_EQ(request.call(fx), 0) << request.name;
    }
    PlainEffect fx;
    EXPECT_EQ(fx.updateSampleRate(), 44100.0);
    EXPECT_EQ(fx.updateBlockSize(), 1024);
}

TEST(ExtendedHostRequests, NullTextsAndSelectorsAreNotSentToTheHost) {
    FakeHost host;
    host.answers[audioMasterOpenFileSelector] = 1;
    host.answers[audioMasterCloseFileSelector] = 1;
    host.answers[audioMasterGetChunkFile] = 1;
    host.answers[audioMasterGetVendorString] = 1;
    host.answers[audioMasterGetProductString] = 1;
    host.answers[audioMasterCanDo] = 1;
    PlainEffect fx(host.master());
    EXPECT_FALSE(fx.openFileSelector(nullptr));
    EXPECT_FALSE(fx.closeFileSelector(nullptr));
    EXPECT_FALSE(fx.__getChunkFileDeprecated(nullptr));
    EXPECT_FALSE(fx.getHostVendorString(nullptr));
    EXPECT_FALSE(fx.getHostProductString(nullptr));
    EXPECT_EQ(fx.canHostDo(nullptr), 0);
    EXPECT_TRUE(host.calls.empty());
}

TEST(ExtendedHostRequests, UpdateSampleRateAndBlockSizeStoreOnlyPositiveAnswers) {
    FakeHost host;
    PlainEffect fx(host.master());
    host.answers[audioMasterGetSampleRate] = 48000;
    host.answers[audioMasterGetBlockSize] = 256;
    EXPECT_EQ(fx.updateSampleRate(), 48000.0);
    EXPECT_EQ(fx.getSampleRate(), 48000.0f);
    EXPECT_EQ(fx.updateBlockSize(), 256);
    EXPECT_EQ(fx.getBlockSize(), 256);

    // 0, negative answers and (for the block size) answers whose low 32 bits
    // are not positive keep what is stored.
    for (VstIntPtr answer : {VstIntPtr{0}, VstIntPtr{-44100}, VstIntPtr{-1}}) {
        host.answers[audioMasterGetSampleRate] = answer;
        host.answers[audioMasterGetBlockSize] = answer;
        EXPECT_EQ(fx.updateSampleRate(), 48000.0) << answer;
        EXPECT_EQ(fx.updateBlockSize(), 256) << answer;
    }
    host.answers[audioMasterGetBlockSize] = kHigh;
    EXPECT_EQ(fx.updateBlockSize(), 256);
    host.answers[audioMasterGetBlockSize] = kHigh + 64;
    EXPECT_EQ(fx.updateBlockSize(), 64);
    EXPECT_EQ(host.count(audioMasterGetSampleRate), 4u);
}

namespace {

class RateSizeSpy : public PlainEffect {
public:
    using PlainEffect::PlainEffect;
    void setSampleRate(float) override { ++setterCalls; }
    void setBlockSize(VstInt32) override { ++setterCalls; }
    VstInt32 canDo(char* text) override {
        asked.push_back(text);
        return canDoAnswer;
    }
    int setterCalls = 0;
    VstInt32 canDoAnswer = 0;
    std::vector<std::string> asked;
};

} // namespace

TEST(ExtendedHostRequests, RateAndSizeUpdatesBypassTheOverriddenSetters) {
    FakeHost host;
    host.answers[audioMasterGetSampleRate] = 96000;
    host.answers[audioMasterGetBlockSize] = 32;
    RateSizeSpy fx(host.master());
    fx.updateSampleRate();
    fx.updateBlockSize();
    fx.__setBlockSizeAndSampleRateDeprecated(128, 22050.0f);
    EXPECT_EQ(fx.setterCalls, 0);
    EXPECT_EQ(fx.getBlockSize(), 128);
    EXPECT_EQ(fx.getSampleRate(), 22050.0f);
    EXPECT_EQ(host.calls.size(), 2u);
}

TEST(ExtendedResume, AsksForEventsOnlyForASynthOrAnEffectThatReceivesMidi) {
    struct Row {
        bool synth;
        VstInt32 canDo;
        bool asks;
    };
    for (const Row& row : {Row{false, 0, false}, Row{false, 2, false}, Row{false, -1, false},
                           Row{false, 1, true}, Row{true, 0, true}}) {
        FakeHost host;
        RateSizeSpy fx(host.master());
        fx.isSynth(row.synth);
        fx.canDoAnswer = row.canDo;
        fx.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
        const auto requests = host.callsOf(audioMasterWantMidi);
        ASSERT_EQ(requests.size(), row.asks ? 1u : 0u) << row.synth << row.canDo;
        if (row.asks) {
            EXPECT_EQ(requests[0].value, 1);
            EXPECT_EQ(requests[0].index, 0);
        }
        if (!row.synth) {
            EXPECT_EQ(fx.asked, std::vector<std::string>{"receiveVstMidiEvent"});
        }
        EXPECT_EQ(host.calls.size(), requests.size()) << "resume asks nothing else";
    }
}

TEST(ExtendedDefaults, DeprecatedOperationsWithoutARequestAnswerTheirFixedValues) {
    FakeHost host;
    host.answers = {{audioMasterVersion, 5}};
    PlainEffect fx(host.master());
    char text[16] = "x";
    EXPECT_EQ(fx.__getNumCategoriesDeprecated(), 1);
    EXPECT_FALSE(fx.__copyProgramDeprecated(3));
    EXPECT_EQ(fx.__reportCurrentPositionDeprecated(), 0);
    EXPECT_EQ(fx.__reportDestinationBufferDeprecated(), nullptr);
    EXPECT_FALSE(fx.__getErrorTextDeprecated(text));
    EXPECT_EQ(fx.__getIconDeprecated(), nullptr);
    EXPECT_FALSE(fx.__setViewPositionDeprecated(1, 2));
    EXPECT_EQ(fx.__fxIdleDeprecated(), 0);
    EXPECT_FALSE(fx.__keysRequiredDeprecated());
    fx.__inputConnectedDeprecated(0, true);
    fx.__outputConnectedDeprecated(0, true);
    EXPECT_EQ(fx.getVstVersion(), 2400);
    EXPECT_EQ(fx.getCurrentMidiProgram(0, nullptr), -1);
    EXPECT_EQ(fx.setTotalSampleToProcess(123), 123);
    EXPECT_TRUE(fx.canParameterBeAutomated(-1));
    EXPECT_STREQ(text, "x");
    EXPECT_TRUE(host.calls.empty());
}
