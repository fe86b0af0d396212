// The virtual operations of the base classes sit in their fixed slot order.
// A member-function pointer to a virtual operation carries its table offset
// (Itanium C++ ABI: 1 + offset in bytes), which is read here; the two
// destructor entries take slots 0 and 1.
#include "vst/aeffeditor.h"
#include "vst/audioeffectx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#define TARVEX_READS_MEMBER_POINTERS 1
#else
#define TARVEX_READS_MEMBER_POINTERS 0
#endif

namespace {

struct Slot {
    std::string name;
    long slot;
};

template <class Pointer> Slot slotOf(const char* name, Pointer member) {
    static_assert(sizeof(Pointer) == 2 * sizeof(std::uintptr_t));
    std::uintptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    if ((words[0] & 1) == 0) return {name, -1}; // not virtual
    return {name, static_cast<long>((words[0] - 1) / sizeof(void*))};
}

#define SLOT(Class, op) slotOf(#op, &Class::op)

void expectConsecutive(const std::vector<Slot>& slots, long first) {
    for (std::size_t i = 0; i < slots.size(); ++i)
        EXPECT_EQ(slots[i].slot, first + static_cast<long>(i)) << slots[i].name;
}

} // namespace

TEST(SlotOrder, AudioEffectOperationsFillSlotsTwoToFifty) {
    if (!TARVEX_READS_MEMBER_POINTERS) GTEST_SKIP() << "member pointer layout unknown here";
    expectConsecutive({SLOT(AudioEffect, dispatcher),
                       SLOT(AudioEffect, open),
                       SLOT(AudioEffect, close),
                       SLOT(AudioEffect, suspend),
                       SLOT(AudioEffect, resume),
                       SLOT(AudioEffect, setSampleRate),
                       SLOT(AudioEffect, setBlockSize),
                       SLOT(AudioEffect, processReplacing),
                       SLOT(AudioEffect, processDoubleReplacing),
                       SLOT(AudioEffect, setParameter),
                       SLOT(AudioEffect, getParameter),
                       SLOT(AudioEffect, setParameterAutomated),
                       SLOT(AudioEffect, getProgram),
                       SLOT(AudioEffect, setProgram),
                       SLOT(AudioEffect, setProgramName),
                       SLOT(AudioEffect, getProgramName),
                       SLOT(AudioEffect, getParameterLabel),
                       SLOT(AudioEffect, getParameterDisplay),
                       SLOT(AudioEffect, getParameterName),
                       SLOT(AudioEffect, getChunk),
                       SLOT(AudioEffect, setChunk),
                       SLOT(AudioEffect, setUniqueID),
                       SLOT(AudioEffect, setNumInputs),
                       SLOT(AudioEffect, setNumOutputs),
                       SLOT(AudioEffect, canProcessReplacing),
                       SLOT(AudioEffect, canDoubleReplacing),
                       SLOT(AudioEffect, programsAreChunks),
                       SLOT(AudioEffect, setInitialDelay),
                       SLOT(AudioEffect, getEditor),
                       SLOT(AudioEffect, getAeffect),
                       SLOT(AudioEffect, getSampleRate),
                       SLOT(AudioEffect, getBlockSize),
                       SLOT(AudioEffect, getMasterVersion),
                       SLOT(AudioEffect, getCurrentUniqueId),
                       SLOT(AudioEffect, masterIdle),
                       SLOT(AudioEffect, dB2string),
                       SLOT(AudioEffect, Hz2string),
                       SLOT(AudioEffect, ms2string),
                       SLOT(AudioEffect, float2string),
                       SLOT(AudioEffect, int2string),
                       SLOT(AudioEffect, __processDeprecated),
                       SLOT(AudioEffect, __getVuDeprecated),
                       SLOT(AudioEffect, __hasVuDeprecated),
                       SLOT(AudioEffect, __hasClipDeprecated),
                       SLOT(AudioEffect, __canMonoDeprecated),
                       SLOT(AudioEffect, __setRealtimeQualitiesDeprecated),
                       SLOT(AudioEffect, __setOfflineQualitiesDeprecated),
                       SLOT(AudioEffect, __isInputConnectedDeprecated),
                       SLOT(AudioEffect, __isOutputConnectedDeprecated)},
                      2);
}

TEST(SlotOrder, AudioEffectXOperationsFollowInSlotsFiftyOneToOneHundredFiftyTwo) {
    if (!TARVEX_READS_MEMBER_POINTERS) GTEST_SKIP() << "member pointer layout unknown here";
    EXPECT_EQ(SLOT(AudioEffectX, dispatcher).slot, 2) << "overrides keep the base's slot";
    EXPECT_EQ(SLOT(AudioEffectX, resume).slot, 6);
    expectConsecutive({SLOT(AudioEffectX, canParameterBeAutomated),
                       SLOT(AudioEffectX, string2parameter),
                       SLOT(AudioEffectX, getParameterProperties),
                       SLOT(AudioEffectX, beginEdit),
                       SLOT(AudioEffectX, endEdit),
                       SLOT(AudioEffectX, getProgramNameIndexed),
                       SLOT(AudioEffectX, beginSetProgram),
                       SLOT(AudioEffectX, endSetProgram),
                       SLOT(AudioEffectX, beginLoadBank),
                       SLOT(AudioEffectX, beginLoadProgram),
                       SLOT(AudioEffectX, ioChanged),
                       SLOT(AudioEffectX, updateSampleRate),
                       SLOT(AudioEffectX, updateBlockSize),
                       SLOT(AudioEffectX, getInputLatency),
                       SLOT(AudioEffectX, getOutputLatency),
                       SLOT(AudioEffectX, getInputProperties),
                       SLOT(AudioEffectX, getOutputProperties),
                       SLOT(AudioEffectX, setSpeakerArrangement),
                       SLOT(AudioEffectX, getSpeakerArrangement),
                       SLOT(AudioEffectX, setBypass),
                       SLOT(AudioEffectX, setPanLaw),
                       SLOT(AudioEffectX, setProcessPrecision),
                       SLOT(AudioEffectX, getNumMidiInputChannels),
                       SLOT(AudioEffectX, getNumMidiOutputChannels),
                       SLOT(AudioEffectX, getTimeInfo),
                       SLOT(AudioEffectX, getCurrentProcessLevel),
                       SLOT(AudioEffectX, getAutomationState),
                       SLOT(AudioEffectX, processEvents),
                       SLOT(AudioEffectX, startProcess),
                       SLOT(AudioEffectX, stopProcess),
                       SLOT(AudioEffectX, processVariableIo),
                       SLOT(AudioEffectX, setTotalSampleToProcess),
                       SLOT(AudioEffectX, getHostVendorString),
                       SLOT(AudioEffectX, getHostProductString),
                       SLOT(AudioEffectX, getHostVendorVersion),
                       SLOT(AudioEffectX, hostVendorSpecific),
                       SLOT(AudioEffectX, canHostDo),
                       SLOT(AudioEffectX, getHostLanguage),
                       SLOT(AudioEffectX, isSynth),
                       SLOT(AudioEffectX, noTail),
                       SLOT(AudioEffectX, getGetTailSize),
                       SLOT(AudioEffectX, getDirectory),
                       SLOT(AudioEffectX, getEffectName),
                       SLOT(AudioEffectX, getVendorString),
                       SLOT(AudioEffectX, getProductString),
                       SLOT(AudioEffectX, getVendorVersion),
                       SLOT(AudioEffectX, vendorSpecific),
                       SLOT(AudioEffectX, canDo),
                       SLOT(AudioEffectX, getVstVersion),
                       SLOT(AudioEffectX, getPlugCategory),
                       SLOT(AudioEffectX, getMidiProgramName),
                       SLOT(AudioEffectX, getCurrentMidiProgram),
                       SLOT(AudioEffectX, getMidiProgramCategory),
                       SLOT(AudioEffectX, hasMidiProgramsChanged),
                       SLOT(AudioEffectX, getMidiKeyName),
                       SLOT(AudioEffectX, updateDisplay),
                       SLOT(AudioEffectX, sizeWindow),
                       SLOT(AudioEffectX, openFileSelector),
                       SLOT(AudioEffectX, closeFileSelector),
                       SLOT(AudioEffectX, getNextShellPlugin),
                       SLOT(AudioEffectX, allocateArrangement),
                       SLOT(AudioEffectX, deallocateArrangement),
                       SLOT(AudioEffectX, copySpeaker),
                       SLOT(AudioEffectX, matchArrangement),
                       SLOT(AudioEffectX, offlineRead),
                       SLOT(AudioEffectX, offlineWrite),
                       SLOT(AudioEffectX, offlineStart),
                       SLOT(AudioEffectX, offlineGetCurrentPass),
                       SLOT(AudioEffectX, offlineGetCurrentMetaPass),
                       SLOT(AudioEffectX, offlineNotify),
                       SLOT(AudioEffectX, offlinePrepare),
                       SLOT(AudioEffectX, offlineRun),
                       SLOT(AudioEffectX, offlineGetNumPasses),
                       SLOT(AudioEffectX, offlineGetNumMetaPasses),
                       SLOT(AudioEffectX, __wantEventsDeprecated),
                       SLOT(AudioEffectX, __tempoAtDeprecated),
                       SLOT(AudioEffectX, __getNumAutomatableParametersDeprecated),
                       SLOT(AudioEffectX, __getParameterQuantizationDeprecated),
                       SLOT(AudioEffectX, __getNumCategoriesDeprecated),
                       SLOT(AudioEffectX, __copyProgramDeprecated),
                       SLOT(AudioEffectX, __needIdleDeprecated),
                       SLOT(AudioEffectX, __getPreviousPlugDeprecated),
                       SLOT(AudioEffectX, __getNextPlugDeprecated),
                       SLOT(AudioEffectX, __inputConnectedDeprecated),
                       SLOT(AudioEffectX, __outputConnectedDeprecated),
                       SLOT(AudioEffectX, __willProcessReplacingDeprecated),
                       SLOT(AudioEffectX, __wantAsyncOperationDeprecated),
                       SLOT(AudioEffectX, __hasExternalBufferDeprecated),
                       SLOT(AudioEffectX, __reportCurrentPositionDeprecated),
                       SLOT(AudioEffectX, __reportDestinationBufferDeprecated),
                       SLOT(AudioEffectX, __setOutputSamplerateDeprecated),
                       SLOT(AudioEffectX, __getInputSpeakerArrangementDeprecated),
                       SLOT(AudioEffectX, __getOutputSpeakerArrangementDeprecated),
                       SLOT(AudioEffectX, __openWindowDeprecated),
                       SLOT(AudioEffectX, __closeWindowDeprecated),
                       SLOT(AudioEffectX, __setBlockSizeAndSampleRateDeprecated),
                       SLOT(AudioEffectX, __getErrorTextDeprecated),
                       SLOT(AudioEffectX, __getIconDeprecated),
                       SLOT(AudioEffectX, __setViewPositionDeprecated),
                       SLOT(AudioEffectX, __fxIdleDeprecated),
                       SLOT(AudioEffectX, __keysRequiredDeprecated),
                       SLOT(AudioEffectX, __getChunkFileDeprecated)},
                      51);
}

TEST(SlotOrder, EditorOperationsFillSlotsTwoToSixteenAfterItsTwoFields) {
    if (!TARVEX_READS_MEMBER_POINTERS) GTEST_SKIP() << "member pointer layout unknown here";
    expectConsecutive({SLOT(AEffEditor, getEffect), SLOT(AEffEditor, getRect),
                       SLOT(AEffEditor, open), SLOT(AEffEditor, close), SLOT(AEffEditor, isOpen),
                       SLOT(AEffEditor, idle), SLOT(AEffEditor, __drawDeprecated),
                       SLOT(AEffEditor, __mouseDeprecated), SLOT(AEffEditor, __keyDeprecated),
                       SLOT(AEffEditor, __topDeprecated), SLOT(AEffEditor, __sleepDeprecated),
                       SLOT(AEffEditor, onKeyDown), SLOT(AEffEditor, onKeyUp),
                       SLOT(AEffEditor, onWheel), SLOT(AEffEditor, setKnobMode)},
                      2);
    EXPECT_EQ(sizeof(AEffEditor), 3 * sizeof(void*)) << "table pointer, effect, systemWindow";
}
