// AudioEffect: the effect record, its entries, the opcode 0 to 24 dispatcher
// and the base's host requests.
#include "vst/audioeffectx.h"

#include "fake_host.h"
#include "test_effects.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

class CountingEffect : public PlainEffect {
public:
    CountingEffect(int* closes, int* destroyed) : closeCount(closes), destroyedCount(destroyed) {}
    ~CountingEffect() override { ++*destroyedCount; }
    void close() override { ++*closeCount; }

private:
    int* closeCount;
    int* destroyedCount;
};

} // namespace

static_assert(sizeof(void*) != 8 || offsetof(AEffect, dispatcher) == 8);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, flags) == 56);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, resvd1) == 64);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, initialDelay) == 80);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, ioRatio) == 92);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, object) == 96);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, uniqueID) == 112);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, processReplacing) == 120);
static_assert(sizeof(void*) != 8 || offsetof(AEffect, future) == 136);
static_assert(fourCharCode("VstP") == 0x56737450);
static_assert(fourCharCode("NoEf") == 0x4E6F4566);
// The record points back at its object and the editor is owned: no copies.
static_assert(!std::is_copy_constructible_v<AudioEffectX>);
static_assert(!std::is_copy_assignable_v<AudioEffectX>);

TEST(EffectRecord, AFreshBaseShowsThePublishedInitialValues) {
    FakeHost host;
    PlainEffect fx(host.master(), 20, 53);
    const AEffect& r = *fx.getAeffect();
    EXPECT_EQ(&r, &fx.cEffect);
    EXPECT_EQ(r.magic, 0x56737450);
    EXPECT_EQ(r.dispatcher, &AudioEffect::dispatchEffectClass);
    EXPECT_EQ(r.process, &AudioEffect::__processClassDeprecated);
    EXPECT_EQ(r.setParameter, &AudioEffect::setParameterClass);
    EXPECT_EQ(r.getParameter, &AudioEffect::getParameterClass);
    EXPECT_EQ(r.processReplacing, &AudioEffect::processClassReplacing);
    EXPECT_EQ(r.processDoubleReplacing, &AudioEffect::processClassDoubleReplacing);
    EXPECT_EQ(r.numPrograms, 20);
    EXPECT_EQ(r.numParams, 53);
    EXPECT_EQ(r.numInputs, 1);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, 0x10);
    EXPECT_EQ(r.resvd1, 0);
    EXPECT_EQ(r.resvd2, 0);
    EXPECT_EQ(r.initialDelay, 0);
    EXPECT_EQ(r.realQualities, 0);
    EXPECT_EQ(r.offQualities, 0);
    EXPECT_EQ(r.ioRatio, 1.0f);
    EXPECT_EQ(r.object, static_cast<AudioEffect*>(&fx));
    EXPECT_EQ(r.user, nullptr);
    EXPECT_EQ(r.uniqueID, 0x4E6F4566);
    EXPECT_EQ(r.version, 1);
    for (char byte : r.future)
        EXPECT_EQ(byte, 0);

    EXPECT_EQ(fx.audioMaster, host.master());
    EXPECT_EQ(fx.getEditor(), nullptr);
    EXPECT_EQ(fx.getSampleRate(), 44100.0f);
    EXPECT_EQ(fx.getBlockSize(), 1024);
    EXPECT_EQ(fx.numPrograms, 20);
    EXPECT_EQ(fx.numParams, 53);
    EXPECT_EQ(fx.getProgram(), 0);
    EXPECT_TRUE(host.calls.empty()) << "construction asks the host nothing";
}

TEST(EffectRecord, DataMembersFollowTheVirtualTablePointerInTheirOrder) {
    PlainEffect fx;
    const auto at = [&](const void* member) {
        return reinterpret_cast<std::uintptr_t>(member) - reinterpret_cast<std::uintptr_t>(&fx);
    };
    EXPECT_EQ(at(&fx.audioMaster), sizeof(void*));
    EXPECT_LT(at(&fx.audioMaster), at(&fx.editor));
    EXPECT_LT(at(&fx.editor), at(&fx.sampleRate));
    EXPECT_LT(at(&fx.sampleRate), at(&fx.blockSize));
    EXPECT_LT(at(&fx.blockSize), at(&fx.numPrograms));
    EXPECT_LT(at(&fx.numPrograms), at(&fx.numParams));
    EXPECT_LT(at(&fx.numParams), at(&fx.curProgram));
    EXPECT_LT(at(&fx.curProgram), at(&fx.cEffect));
    EXPECT_EQ(at(&fx.cEffect) + sizeof(AEffect), sizeof(AudioEffect));
    EXPECT_EQ(sizeof(AudioEffectX), sizeof(AudioEffect)) << "AudioEffectX adds no data member";
}

TEST(EffectRecord, RecordSettersWriteOnlyTheirFieldAndTellNobody) {
    FakeHost host;
    PlainEffect fx(host.master());
    AEffect before = fx.cEffect;
    fx.setUniqueID(fourCharCode("Trvx"));
    fx.setNumInputs(2);
    fx.setNumOutputs(6);
    fx.setInitialDelay(128);
    fx.__setRealtimeQualitiesDeprecated(3);
    fx.__setOfflineQualitiesDeprecated(4);
    before.uniqueID = fourCharCode("Trvx");
    before.numInputs = 2;
    before.numOutputs = 6;
    before.initialDelay = 128;
    before.realQualities = 3;
    before.offQualities = 4;
    EXPECT_EQ(std::memcmp(&before, &fx.cEffect, sizeof(AEffect)), 0);
    EXPECT_TRUE(host.calls.empty());
}

TEST(EffectRecord, EachFlagSetterSetsAndClearsItsOwnBitOnly) {
    struct Row {
        void (*set)(PlainEffect&, bool);
        VstInt32 bit;
    };
    const Row rows[] = {
        {[](PlainEffect& f, bool s) { f.__hasClipDeprecated(s); }, 0x2},
        {[](PlainEffect& f, bool s) { f.__hasVuDeprecated(s); }, 0x4},
        {[](PlainEffect& f, bool s) { f.__canMonoDeprecated(s); }, 0x8},
        {[](PlainEffect& f, bool s) { f.canProcessReplacing(s); }, 0x10},
        {[](PlainEffect& f, bool s) { f.programsAreChunks(s); }, 0x20},
        {[](PlainEffect& f, bool s) { f.isSynth(s); }, 0x100},
        {[](PlainEffect& f, bool s) { f.noTail(s); }, 0x200},
        {[](PlainEffect& f, bool s) { f.__wantAsyncOperationDeprecated(s); }, 0x400},
        {[](PlainEffect& f, bool s) { f.__hasExternalBufferDeprecated(s); }, 0x800},
        {[](PlainEffect& f, bool s) { f.canDoubleReplacing(s); }, 0x1000},
    };
    for (const Row& row : rows) {
        for (VstInt32 start : {0, 0x10, 0x1FFF}) {
            PlainEffect fx;
            fx.cEffect.flags = start;
            row.set(fx, true);
            EXPECT_EQ(fx.cEffect.flags, start | row.bit) << row.bit;
            row.set(fx, false);
            EXPECT_EQ(fx.cEffect.flags, start & ~row.bit) << row.bit;
        }
    }
}

TEST(EffectRecord, AttachingAnEditorSetsTheEditorFlagAndDetachingClearsIt) {
    PlainEffect fx;
    SpyEditor* editor = new SpyEditor(&fx);
    EXPECT_EQ(fx.cEffect.flags & effFlagsHasEditor, 0) << "constructing does not attach";
    fx.setEditor(editor);
    EXPECT_EQ(fx.getEditor(), editor);
    EXPECT_EQ(fx.cEffect.flags, 0x11);
    fx.setEditor(nullptr);
    EXPECT_EQ(fx.cEffect.flags, 0x10);
    EXPECT_EQ(fx.getEditor(), nullptr);
    delete editor;
}

TEST(RecordEntries, CloseThroughTheRecordClosesDeletesEffectAndEditorAndAnswersOne) {
    int closes = 0, destroyed = 0, editorsDestroyed = 0;
    auto* fx = new CountingEffect(&closes, &destroyed);
    fx->setEditor(new SpyEditor(fx, &editorsDestroyed));
    AEffect* record = fx->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(editorsDestroyed, 1);
}

TEST(RecordEntries, CloseThroughTheObjectOnlyClosesAndAnswersZero) {
    int closes = 0, destroyed = 0;
    {
        CountingEffect fx(&closes, &destroyed);
        EXPECT_EQ(fx.dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(closes, 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(RecordEntries, EachEntryForwardsItsArgumentsUnchangedToTheObject) {
    SpyEffect fx;
    AEffect* r = fx.getAeffect();
    float* in[2] = {};
    float* out[2] = {};
    double* inD[2] = {};
    double* outD[2] = {};

    r->setParameter(r, 7, 0.25f);
    EXPECT_EQ(fx.last(), "setParameter(7,0.25)");
    EXPECT_EQ(r->getParameter(r, 53), 0.75f);
    EXPECT_EQ(fx.last(), "getParameter(53)");
    r->processReplacing(r, in, out, 33);
    EXPECT_EQ(fx.last(), "processReplacing(33)");
    EXPECT_EQ(fx.pointers, (std::vector<const void*>{in, out}));
    r->processDoubleReplacing(r, inD, outD, 34);
    EXPECT_EQ(fx.last(), "processDoubleReplacing(34)");
    EXPECT_EQ(fx.pointers, (std::vector<const void*>{inD, outD}));
    r->process(r, in, out, 35);
    EXPECT_EQ(fx.last(), "__processDeprecated(35)");
    EXPECT_EQ(r->dispatcher(r, effGetProgram, 0, 0, nullptr, 0.0f), -7);
}

TEST(RecordEntries, ARecordWithoutObjectOrANullRecordGetsNeutralAnswers) {
    PlainEffect fx;
    AEffect orphan = fx.cEffect;
    orphan.object = nullptr;
    for (AEffect* r : {&orphan, static_cast<AEffect*>(nullptr)}) {
        EXPECT_EQ(AudioEffect::dispatchEffectClass(r, effClose, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(AudioEffect::dispatchEffectClass(r, effIdentify, 0, 0, nullptr, 0.0f), 0);
        AudioEffect::setParameterClass(r, 0, 1.0f);
        EXPECT_EQ(AudioEffect::getParameterClass(r, 0), 0.0f);
        AudioEffect::processClassReplacing(r, nullptr, nullptr, 16);
        AudioEffect::processClassDoubleReplacing(r, nullptr, nullptr, 16);
        AudioEffect::__processClassDeprecated(r, nullptr, nullptr, 16);
    }
}

TEST(BaseDispatcher, OpcodesZeroToTwentyFourCallTheirOperationWithTheirArguments) {
    struct Row {
        VstInt32 opcode;
        const char* call; // "" when nothing is called
        VstIntPtr answer;
        bool forwardsPtr;
    };
    const Row rows[] = {
        {effOpen, "open()", 0, false},
        {effClose, "close()", 0, false},
        {effSetProgram, "setProgram(3)", 0, false},
        {effGetProgram, "getProgram()", -7, false},
        {effSetProgramName, "setProgramName()", 0, true},
        {effGetProgramName, "getProgramName()", 0, true},
        {effGetParamLabel, "getParameterLabel(5)", 0, true},
        {effGetParamDisplay, "getParameterDisplay(5)", 0, true},
        {effGetParamName, "getParameterName(5)", 0, true},
        {effGetVu, "", 0, false},
        {effSetSampleRate, "setSampleRate(2.5)", 0, false},
        {effSetBlockSize, "setBlockSize(3)", 0, false},
        {effMainsChanged, "resume()", 0, false},
        {effEditGetRect, "", 0, false},
        {effEditOpen, "", 0, false},
        {effEditClose, "", 0, false},
        {effEditDraw, "", 0, false},
        {effEditMouse, "", 0, false},
        {effEditKey, "", 0, false},
        {effEditIdle, "", 0, false},
        {effEditTop, "", 0, false},
        {effEditSleep, "", 0, false},
        {effIdentify, "", 0x4E764566, false},
        {effGetChunk, "getChunk(1)", -7, true},
        {effSetChunk, "setChunk(3,1)", -7, true},
    };
    for (const Row& row : rows) {
        SpyEffect fx;
        char buffer[64] = "untouched";
        EXPECT_EQ(fx.dispatcher(row.opcode, 5, 3, buffer, 2.5f), row.answer) << row.opcode;
        EXPECT_EQ(fx.last(), row.call) << row.opcode;
        if (row.forwardsPtr) {
            EXPECT_EQ(fx.pointers, std::vector<const void*>{buffer}) << row.opcode;
        }
        EXPECT_EQ(fx.calls.size(), *row.call ? 1u : 0u) << row.opcode;
    }
}

TEST(BaseDispatcher, SetProgramPassesOnlyValuesBelowTheProgramCountComparingTheWholeValue) {
    PlainEffect fx(nullptr, 20, 53);
    fx.dispatcher(effSetProgram, 0, 19, nullptr, 0.0f);
    EXPECT_EQ(fx.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 19);
    fx.dispatcher(effSetProgram, 0, 20, nullptr, 0.0f);
    fx.dispatcher(effSetProgram, 0, kHigh + 1, nullptr, 0.0f);
    EXPECT_EQ(fx.getProgram(), 19);
    // Smaller values, negative ones included, reach setProgram, which stores
    // them unchecked in the base.
    fx.dispatcher(effSetProgram, 0, -3, nullptr, 0.0f);
    EXPECT_EQ(fx.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), -3);
    fx.setProgram(400);
    EXPECT_EQ(fx.curProgram, 400);
}

TEST(BaseDispatcher, ValuesArePassedAsTheirLow32BitsWhileMainsAndSetProgramTestTheWholeValue) {
    SpyEffect fx;
    fx.dispatcher(effSetBlockSize, 0, kHigh + 512, nullptr, 0.0f);
    EXPECT_EQ(fx.last(), "setBlockSize(512)");
    fx.dispatcher(effSetChunk, 0, kHigh + 9, nullptr, 0.0f);
    EXPECT_EQ(fx.last(), "setChunk(9,0)");
    EXPECT_EQ(switchCalls(fx, effMainsChanged),
              (std::vector<std::string>{"resume()", "suspend()", "resume()"}));
}

TEST(BaseDispatcher, BaseOperationsStoreRateSizeAndWriteEmptyTexts) {
    PlainEffect fx;
    fx.dispatcher(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    fx.dispatcher(effSetBlockSize, 0, 64, nullptr, 0.0f);
    EXPECT_EQ(fx.getSampleRate(), 96000.0f);
    EXPECT_EQ(fx.getBlockSize(), 64);
    for (VstInt32 opcode :
         {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        char text[8] = "abcdefg";
        EXPECT_EQ(fx.dispatcher(opcode, 0, 0, text, 0.0f), 0);
        EXPECT_EQ(text[0], '\0') << opcode;
        EXPECT_EQ(text[1], 'b') << "only the first byte is written";
    }
    void* data = &fx;
    EXPECT_EQ(fx.dispatcher(effGetChunk, 1, 0, &data, 0.0f), 0);
    EXPECT_EQ(data, &fx) << "no chunk: the host's pointer is untouched";
    EXPECT_EQ(fx.dispatcher(effSetChunk, 0, 16, &fx, 0.0f), 0);
}

TEST(BaseDispatcher, NullTextBuffersAndOutputAddressesAreNotPassedOn) {
    SpyEffect fx;
    for (VstInt32 opcode : {effSetProgramName, effGetProgramName, effGetParamLabel,
                            effGetParamDisplay, effGetParamName, effGetChunk, effString2Parameter,
                            effGetProgramNameIndexed, effGetEffectName, effGetVendorString,
                            effGetProductString, effCanDo, effShellGetNextPlugin}) {
        EXPECT_EQ(fx.dispatcher(opcode, 1, 1, nullptr, 0.0f), 0) << opcode;
    }
    EXPECT_TRUE(fx.calls.empty()) << fx.last();
    // The base operations themselves accept null texts too.
    PlainEffect plain;
    plain.getProgramName(nullptr);
    plain.getParameterLabel(0, nullptr);
    plain.getParameterDisplay(0, nullptr);
    plain.getParameterName(0, nullptr);
}

TEST(BaseDispatcher, OutOfRangeAndNegativeOpcodesAnswerZeroAndCallNothing) {
    SpyEffect fx;
    char buffer[64] = {};
    for (VstInt32 opcode : {-1, -80, INT_MIN, 80, 81, 128, 1000, INT_MAX}) {
        EXPECT_EQ(fx.dispatcher(opcode, 5, 3, buffer, 2.5f), 0) << opcode;
        EXPECT_EQ(fx.AudioEffect::dispatcher(opcode, 5, 3, buffer, 2.5f), 0) << opcode;
    }
    // AudioEffect's own switch ends at 24.
    for (VstInt32 opcode = 25; opcode < 80; ++opcode)
        EXPECT_EQ(fx.AudioEffect::dispatcher(opcode, 5, 3, buffer, 2.5f), 0) << opcode;
    EXPECT_TRUE(fx.calls.empty()) << fx.last();
    EXPECT_EQ(fx.getAeffect()->dispatcher(fx.getAeffect(), -1, 0, 0, nullptr, 0.0f), 0);
}

TEST(BaseHostRequests, SetParameterAutomatedSetsTheValueBeforeTellingTheHost) {
    FakeHost host;
    SpyEffect fx(host.master());
    // The host sees the value already set when it is told.
    fx.setParameterAutomated(5, 0.25f);
    ASSERT_EQ(fx.calls, std::vector<std::string>{"setParameter(5,0.25)"});
    ASSERT_EQ(host.calls.size(), 1u);
    const HostCall& c = host.calls[0];
    EXPECT_EQ(c.effect, fx.getAeffect());
    EXPECT_EQ(c.opcode, audioMasterAutomate);
    EXPECT_EQ(c.index, 5);
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(c.ptr, nullptr);
    EXPECT_EQ(c.opt, 0.25f);

    SpyEffect alone;
    alone.setParameterAutomated(5, 0.25f);
    EXPECT_EQ(alone.calls, std::vector<std::string>{"setParameter(5,0.25)"});
}

TEST(BaseHostRequests, VersionIdAndPinQueriesReadTheLow32BitsOfTheAnswer) {
    FakeHost host;
    PlainEffect fx(host.master());
    struct Row {
        VstIntPtr answer;
        VstInt32 version, id;
        bool connected;
    };
    const Row rows[] = {
        {0, 1, 0, true},     {2, 2, 2, false},         {2400, 2400, 2400, false},
        {kHigh, 1, 0, true}, {kHigh + 3, 3, 3, false}, {-1, -1, -1, false},
    };
    for (const Row& row : rows) {
        for (VstInt32 op : {audioMasterVersion, audioMasterCurrentId, audioMasterPinConnected})
            host.answers[op] = row.answer;
        EXPECT_EQ(fx.getMasterVersion(), row.version) << row.answer;
        EXPECT_EQ(fx.getCurrentUniqueId(), row.id) << row.answer;
        EXPECT_EQ(fx.__isInputConnectedDeprecated(4), row.connected) << row.answer;
        EXPECT_EQ(fx.__isOutputConnectedDeprecated(6), row.connected) << row.answer;
    }
    fx.masterIdle();
    const auto pins = host.callsOf(audioMasterPinConnected);
    ASSERT_FALSE(pins.empty());
    EXPECT_EQ(pins[0].index, 4);
    EXPECT_EQ(pins[0].value, 0);
    EXPECT_EQ(pins[1].index, 6);
    EXPECT_EQ(pins[1].value, 1);
    ASSERT_EQ(host.count(audioMasterIdle), 1u);
    for (const HostCall& c : host.calls) {
        EXPECT_EQ(c.effect, fx.getAeffect());
        EXPECT_EQ(c.ptr, nullptr);
        EXPECT_EQ(c.opt, 0.0f);
    }
}

TEST(BaseHostRequests, WithoutAHostCallbackEachRequestAnswersItsDefault) {
    PlainEffect fx;
    EXPECT_EQ(fx.getMasterVersion(), 1);
    EXPECT_EQ(fx.getCurrentUniqueId(), 0);
    EXPECT_TRUE(fx.__isInputConnectedDeprecated(0));
    EXPECT_TRUE(fx.__isOutputConnectedDeprecated(0));
    fx.masterIdle();
    fx.setParameterAutomated(0, 1.0f);
}
