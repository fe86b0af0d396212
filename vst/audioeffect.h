// AudioEffect: the base of every effect object. It carries the effect record
// that the host sees, turns the record's entries and the host's opcodes 0 to 24
// into virtual calls on the object, sends the base's requests to the host
// callback and formats values as display text.
//
// The virtual operations are declared in their fixed slot order; a new one
// goes to the end of the most derived class, never in between.
#pragma once

#include "vst/aeffect.h"

class AEffEditor;
class AudioEffect;

// Defined once per plug-in: builds the effect object for a host callback.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

// The plug-in's one exported entry: asks the host for its version (an answer
// of 0, or no callback, gives null), then creates the effect and returns its
// record (null when no effect was made).
extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster);

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // Deletes the attached editor.
    virtual ~AudioEffect();
    // The record points back at its object and the editor is owned: a copy
    // would share both.
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // The host's opcodes 0 to 24; any other answers 0.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(VstInt32 blockSize);

    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        VstInt32 /*sampleFrames*/) {}

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // Sets the parameter on the effect first, then tells the host (automate).
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    // Stores the number without a range test; opcode 2 filters by numPrograms.
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);

    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false) {
        return 0;
    }

    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) {
        setFlag(effFlagsCanDoubleReplacing, state);
    }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    // Host requests; without a host callback each answers its default.
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();

    // Display texts. Each writes at most maxLen characters and zero bytes up to
    // and including index maxLen, so text must hold maxLen + 1 bytes. A null
    // text or a negative maxLen writes nothing.
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

    virtual void __processDeprecated(float** /*inputs*/, float** /*outputs*/,
                                     VstInt32 /*sampleFrames*/) {}
    virtual float __getVuDeprecated() { return 0.0f; }
    virtual void __hasVuDeprecated(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void __hasClipDeprecated(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void __canMonoDeprecated(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void __setRealtimeQualitiesDeprecated(VstInt32 qualities) {
        cEffect.realQualities = qualities;
    }
    virtual void __setOfflineQualitiesDeprecated(VstInt32 qualities) {
        cEffect.offQualities = qualities;
    }
    virtual bool __isInputConnectedDeprecated(VstInt32 input);
    virtual bool __isOutputConnectedDeprecated(VstInt32 output);

    // Attaches (and from then on owns) the editor; sets or clears the
    // has-editor flag.
    void setEditor(AEffEditor* newEditor);

    // The record's entries: each forwards to the object the record carries.
    // Close through the dispatcher entry deletes the object and answers 1.
    static VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
    static void setParameterClass(AEffect* e, VstInt32 index, float value);
    static float getParameterClass(AEffect* e, VstInt32 index);
    static void processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                      VstInt32 sampleFrames);
    static void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                            VstInt32 sampleFrames);
    static void __processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                         VstInt32 sampleFrames);

protected:
    void setFlag(VstInt32 bit, bool state) {
        cEffect.flags = state ? (cEffect.flags | bit) : (cEffect.flags & ~bit);
    }
    bool hasFlag(VstInt32 bit) const { return (cEffect.flags & bit) != 0; }
    // One call of the host callback with this effect's record; 0 without one.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;
};

// A double rounded to float, out-of-range values as infinities instead of an
// undefined conversion.
float toFloat(double v);

// The bounded text copy the conversions use: copies at most maxLen characters
// of source (null counts as empty) and fills dest with zero bytes up to and
// including index maxLen. A null dest or a negative maxLen writes nothing.
void vstStringCopy(char* dest, const char* source, VstInt32 maxLen);
