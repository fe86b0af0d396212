// Effects and editors for the VST base tests.
//  - PlainEffect: an AudioEffectX with nothing but processReplacing; its
//    members are public so tests can read them.
//  - SpyEffect: overrides every operation the dispatchers reach, records each
//    call as "name(arguments)" with the pointers it was given, and answers
//    from boolAnswer / intAnswer.
//  - SpyEditor: an AEffEditor that records calls and can be told its answers.
#pragma once

#include "vst/aeffeditor.h"
#include "vst/audioeffectx.h"

#include <sstream>
#include <string>
#include <vector>

class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback master = nullptr, VstInt32 programs = 10,
                         VstInt32 params = 4)
        : AudioEffectX(master, programs, params) {}
    void processReplacing(float**, float**, VstInt32) override {}

    using AudioEffect::audioMaster;
    using AudioEffect::blockSize;
    using AudioEffect::cEffect;
    using AudioEffect::curProgram;
    using AudioEffect::editor;
    using AudioEffect::numParams;
    using AudioEffect::numPrograms;
    using AudioEffect::sampleRate;
};

class SpyEffect : public PlainEffect {
public:
    using PlainEffect::PlainEffect;

    std::vector<std::string> calls;
    std::vector<const void*> pointers; // pointer arguments of the last call
    bool boolAnswer = true;
    VstInt32 intAnswer = -7;
    VstIntPtr wideAnswer = static_cast<VstIntPtr>(0x12345678) * 16;

    std::string last() const { return calls.empty() ? std::string() : calls.back(); }

    void open() override { log("open"); }
    void close() override { log("close"); }
    void suspend() override { log("suspend"); }
    void resume() override { log("resume"); }
    void setSampleRate(float rate) override { log("setSampleRate", rate); }
    void setBlockSize(VstInt32 size) override { log("setBlockSize", size); }
    void processReplacing(float** in, float** out, VstInt32 n) override {
        logPointers("processReplacing", {in, out}, n);
    }
    void processDoubleReplacing(double** in, double** out, VstInt32 n) override {
        logPointers("processDoubleReplacing", {in, out}, n);
    }
    void __processDeprecated(float** in, float** out, VstInt32 n) override {
        logPointers("__processDeprecated", {in, out}, n);
    }
    void setParameter(VstInt32 index, float value) override { log("setParameter", index, value); }
    float getParameter(VstInt32 index) override {
        log("getParameter", index);
        return 0.75f;
    }
    VstInt32 getProgram() override { return log("getProgram"), intAnswer; }
    void setProgram(VstInt32 program) override { log("setProgram", program); }
    void setProgramName(char* name) override { logPointers("setProgramName", {name}); }
    void getProgramName(char* name) override { logPointers("getProgramName", {name}); }
    void getParameterLabel(VstInt32 i, char* t) override {
        logPointers("getParameterLabel", {t}, i);
    }
    void getParameterDisplay(VstInt32 i, char* t) override {
        logPointers("getParameterDisplay", {t}, i);
    }
    void getParameterName(VstInt32 i, char* t) override { logPointers("getParameterName", {t}, i); }
    VstInt32 getChunk(void** data, bool isPreset) override {
        return logPointers("getChunk", {data}, isPreset), intAnswer;
    }
    VstInt32 setChunk(void* data, VstInt32 size, bool isPreset) override {
        return logPointers("setChunk", {data}, size, isPreset), intAnswer;
    }

    bool canParameterBeAutomated(VstInt32 i) override {
        return log("canParameterBeAutomated", i), boolAnswer;
    }
    bool string2parameter(VstInt32 i, char* t) override {
        return logPointers("string2parameter", {t}, i), boolAnswer;
    }
    bool getParameterProperties(VstInt32 i, VstParameterProperties* p) override {
        return logPointers("getParameterProperties", {p}, i), boolAnswer;
    }
    bool getProgramNameIndexed(VstInt32 category, VstInt32 i, char* t) override {
        return logPointers("getProgramNameIndexed", {t}, category, i), boolAnswer;
    }
    bool beginSetProgram() override { return log("beginSetProgram"), boolAnswer; }
    bool endSetProgram() override { return log("endSetProgram"), boolAnswer; }
    VstInt32 beginLoadBank(VstPatchChunkInfo* p) override {
        return logPointers("beginLoadBank", {p}), intAnswer;
    }
    VstInt32 beginLoadProgram(VstPatchChunkInfo* p) override {
        return logPointers("beginLoadProgram", {p}), intAnswer;
    }
    bool getInputProperties(VstInt32 i, VstPinProperties* p) override {
        return logPointers("getInputProperties", {p}, i), boolAnswer;
    }
    bool getOutputProperties(VstInt32 i, VstPinProperties* p) override {
        return logPointers("getOutputProperties", {p}, i), boolAnswer;
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return logPointers("setSpeakerArrangement", {in, out}), boolAnswer;
    }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return logPointers("getSpeakerArrangement", {in, out}), boolAnswer;
    }
    bool setBypass(bool onOff) override { return log("setBypass", onOff), boolAnswer; }
    bool setPanLaw(VstInt32 type, float value) override {
        return log("setPanLaw", type, value), boolAnswer;
    }
    bool setProcessPrecision(VstInt32 p) override {
        return log("setProcessPrecision", p), boolAnswer;
    }
    VstInt32 getNumMidiInputChannels() override {
        return log("getNumMidiInputChannels"), intAnswer;
    }
    VstInt32 getNumMidiOutputChannels() override {
        return log("getNumMidiOutputChannels"), intAnswer;
    }
    VstInt32 processEvents(VstEvents* e) override {
        return logPointers("processEvents", {e}), intAnswer;
    }
    VstInt32 startProcess() override { return log("startProcess"), intAnswer; }
    VstInt32 stopProcess() override { return log("stopProcess"), intAnswer; }
    bool processVariableIo(VstVariableIo* v) override {
        return logPointers("processVariableIo", {v}), boolAnswer;
    }
    VstInt32 setTotalSampleToProcess(VstInt32 v) override {
        return log("setTotalSampleToProcess", v), intAnswer;
    }
    VstInt32 getGetTailSize() override { return log("getGetTailSize"), intAnswer; }
    bool getEffectName(char* t) override { return logPointers("getEffectName", {t}), boolAnswer; }
    bool getVendorString(char* t) override {
        return logPointers("getVendorString", {t}), boolAnswer;
    }
    bool getProductString(char* t) override {
        return logPointers("getProductString", {t}), boolAnswer;
    }
    VstInt32 getVendorVersion() override { return log("getVendorVersion"), intAnswer; }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) override {
        return logPointers("vendorSpecific", {p}, a, b, f), wideAnswer;
    }
    VstInt32 canDo(char* t) override { return logPointers("canDo", {t}), intAnswer; }
    VstInt32 getVstVersion() override { return log("getVstVersion"), intAnswer; }
    VstInt32 getPlugCategory() override { return log("getPlugCategory"), intAnswer; }
    VstInt32 getMidiProgramName(VstInt32 c, MidiProgramName* p) override {
        return logPointers("getMidiProgramName", {p}, c), intAnswer;
    }
    VstInt32 getCurrentMidiProgram(VstInt32 c, MidiProgramName* p) override {
        return logPointers("getCurrentMidiProgram", {p}, c), intAnswer;
    }
    VstInt32 getMidiProgramCategory(VstInt32 c, MidiProgramCategory* p) override {
        return logPointers("getMidiProgramCategory", {p}, c), intAnswer;
    }
    bool hasMidiProgramsChanged(VstInt32 c) override {
        return log("hasMidiProgramsChanged", c), boolAnswer;
    }
    bool getMidiKeyName(VstInt32 c, MidiKeyName* p) override {
        return logPointers("getMidiKeyName", {p}, c), boolAnswer;
    }
    VstInt32 getNextShellPlugin(char* t) override {
        return logPointers("getNextShellPlugin", {t}), intAnswer;
    }
    bool offlineNotify(VstAudioFile* p, VstInt32 n, bool start) override {
        return logPointers("offlineNotify", {p}, n, start), boolAnswer;
    }
    bool offlinePrepare(VstOfflineTask* p, VstInt32 n) override {
        return logPointers("offlinePrepare", {p}, n), boolAnswer;
    }
    bool offlineRun(VstOfflineTask* p, VstInt32 n) override {
        return logPointers("offlineRun", {p}, n), boolAnswer;
    }

private:
    template <class... Args> void log(const char* name, Args... args) {
        logPointers(name, {}, args...);
    }
    template <class... Args>
    void logPointers(const char* name, std::initializer_list<const void*> ptrs, Args... args) {
        std::ostringstream text;
        text << name << '(';
        const char* separator = "";
        ((text << separator << +args, separator = ","), ...);
        (void)separator;
        text << ')';
        calls.push_back(text.str());
        pointers.assign(ptrs.begin(), ptrs.end());
    }
};

// A pointer-wide value whose low 32 bits are zero.
constexpr VstIntPtr kHigh = VstIntPtr{1} << (sizeof(VstIntPtr) * 8 - 2);

// The calls `opcode` makes when its value is kHigh, 0 and -1 in turn: a
// switch that tests the whole value is on for the first and the last.
inline std::vector<std::string> switchCalls(SpyEffect& fx, VstInt32 opcode) {
    std::vector<std::string> made;
    for (VstIntPtr value : {kHigh, VstIntPtr{0}, VstIntPtr{-1}}) {
        fx.dispatcher(opcode, 0, value, nullptr, 0.0f);
        made.push_back(fx.last());
    }
    return made;
}

class SpyEditor : public AEffEditor {
public:
    explicit SpyEditor(AudioEffect* owner, int* destroyed = nullptr)
        : AEffEditor(owner), destroyedCount(destroyed) {}
    ~SpyEditor() override {
        if (destroyedCount) ++*destroyedCount;
    }

    bool getRect(ERect** rect) override {
        calls.push_back("getRect");
        if (rect) *rect = answer ? &rectangle : nullptr;
        return answer;
    }
    bool open(void* window) override {
        calls.push_back("open");
        AEffEditor::open(window);
        return answer;
    }
    void close() override {
        calls.push_back("close");
        AEffEditor::close();
    }
    void idle() override { calls.push_back("idle"); }
    bool onKeyDown(VstKeyCode& key) override {
        calls.push_back("onKeyDown");
        lastKey = key;
        return answer;
    }
    bool onKeyUp(VstKeyCode& key) override {
        calls.push_back("onKeyUp");
        lastKey = key;
        return answer;
    }
    bool setKnobMode(VstInt32 mode) override {
        calls.push_back("setKnobMode(" + std::to_string(mode) + ")");
        return answer;
    }
    void* window() const { return systemWindow; }

    std::vector<std::string> calls;
    bool answer = true;
    ERect rectangle{1, 2, 300, 400};
    VstKeyCode lastKey{-1, 0xEE, 0xEE};
    int* destroyedCount;
};
