// Effect: the Tarvex plug-in as a VST 2.4 effect. It owns the amp engine, the
// tuner, the table of its parameters, the 20 programs and the audio frame
// around the engine (mono sum in, stereo out, host bypass, indicators).
//
// Threads. Hosts and the editor call the setters and getters on their own
// threads while processReplacing runs on the audio thread. This class is the
// one hand-off point between them:
//   - the parameter table and the program values are plain floats read and
//     written atomically, so getters answer at once from any thread;
//   - a parameter change reaches the engine as a pending value: the setter
//     stores it and marks its index, and the audio thread hands every marked
//     value to the engine at the start of its next block (EngineHandOff);
//   - two threads setting one parameter at once leave the table, the current
//     program's slot and the engine on the same value, without either
//     waiting for the other;
//   - bypass and the tuner switch are atomic flags read once per block, and
//     the six indicator readings are published after every block;
//   - a sample-rate change rebuilds engine and tuner state (and may allocate),
//     so it runs on the calling thread while the audio thread is kept out; a
//     block that arrives meanwhile is answered with silence instead of waiting;
//   - bulk changes (selecting a program, loading a preset) and program names
//     are serialised by programMutex, which the audio thread never touches;
//   - after a program change the host is asked to update its display (so a
//     host that reads the values again on that request can), never from the
//     audio thread: a change made there leaves the request to the host's next
//     idle call. Every thread that runs blocks is noted for that (AudioThreads).
// Called from one thread, every operation does exactly what it would do on
// the engine directly: pending values are applied before the next block, in
// index order, and the engine's settings do not depend on that order.
//
// Values outside 0..1. The table keeps a value as the host sent it, so a host
// reads back what it wrote and a saved project restores the same sound; the
// engine decides what plays (a continuous setting takes the nearest end of
// its scale, the others ignore the value). Typed values (string2parameter)
// are clamped to 0..1 and then go the way of setParameter.
#pragma once

#include "amp/tarvex.h"
#include "dsp/tuner.h"
#include "vst/audioeffectx.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class AEffGUIEditor;

// The host parameters, as the VST layer counts them: the engine's (Param).
constexpr int kNumParams = Param::count;
constexpr int kNumPrograms = 20;

// One slot of the parameter table. Names and labels of eight characters fill
// their field without a terminator.
struct Parameter {
    Parameter();
    float value;
    char name[8];
    char label[8];
};

// One program: its name (24 characters at most, zero-padded) and a value per
// parameter, in index order.
struct EffectProgram {
    EffectProgram();
    char name[24];
    float values[kNumParams];
};

// Parameter changes waiting for the audio thread. Any thread may post; only
// the audio thread applies.
class EngineHandOff {
public:
    void post(int index, float value);
    // Hands every value posted since the last call to the engine, in index
    // order. Audio thread only.
    void apply(Tarvex& engine);

private:
    std::atomic<float> pending[kNumParams] = {};
    std::atomic<std::uint64_t> marked{0};
};
static_assert(kNumParams <= 64, "one mark bit per parameter");

// Keeps the audio thread and a reconfiguration (sample-rate change) apart
// without ever making the audio thread wait.
class AudioGate {
public:
    // Audio thread: true when the block may run; false while a
    // reconfiguration holds the gate.
    bool enterAudio();
    void leaveAudio();
    // Other threads: waits until no block runs, then holds the gate.
    void enterReconfigure();
    void leaveReconfigure();

private:
    enum : int { idle, audio, reconfigure };
    std::atomic<int> state{idle};
};

// The threads that have run a block. A host may process on a pool of threads
// that take turns, so each of them counts as an audio thread, not only the
// last. A small fixed set, kept on the audio side without locks or
// allocation: a thread not in it takes the slot of the thread whose latest
// block is oldest. A thread counts while it has run one of the last
// kRecentBlocks blocks: a pool's threads run blocks far more often than
// that, and the identity of a thread that has ended (an offline render) may
// be given to a later thread that never runs a block, which must not be
// taken for an audio thread for good.
class AudioThreads {
public:
    // Audio thread, once a block: notes the calling thread.
    void noteCurrent();
    // Any thread: true when the calling thread has run a recent block.
    bool holdsCurrent() const;

private:
    static constexpr int kSlots = 16;
    static constexpr std::uint64_t kRecentBlocks = 4096;
    struct Slot {
        std::atomic<std::thread::id> thread{};
        std::atomic<std::uint64_t> lastBlock{0}; // 0: never
    };
    Slot slots[kSlots];
    std::atomic<std::uint64_t> blocks{0};
    static_assert(std::atomic<std::thread::id>::is_always_lock_free, "set on the audio thread");
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "set on the audio thread");
};

class Effect : public AudioEffectX {
public:
    explicit Effect(audioMasterCallback hostCallback);
    ~Effect() override;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Sends a display update owed since a program change on the audio thread
    // with the host's idle calls (effEditIdle, effIdle).
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    void resume() override;
    void setSampleRate(float sampleRate) override;
    // Sizes the work buffers and the engine's for blocks of this length, so
    // that the first block allocates nothing (a larger block still grows them).
    void setBlockSize(VstInt32 blockSize) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    VstInt32 getProgram() override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool string2parameter(VstInt32 index, char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
#ifndef TARVEX_RTAS
    // The RTAS build bypasses through its host's master bypass control instead.
    bool setBypass(bool onOff) override;
#endif
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;
    VstInt32 getPlugCategory() override;

    // The accumulating twin of processReplacing: adds the block to the outputs.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames);

    // Applies factory preset 0..19 through the preset loader; other numbers
    // are ignored.
    void LoadFactoryPreset(int number);

    // The indicators, by their numbers.
    enum Indicator : int {
        kCompressorAIndicator = 1,
        kLimiterAIndicator,
        kCompressorBIndicator,
        kLimiterBIndicator,
        kInputIndicator,
        kOutputIndicator,
    };
    // Indicator `which` as of the last block; 0 for any other number.
    double VUState(int which);

    // The tuner is fed the summed input while set (the editor's tuner button).
    // Switching it on the first time sizes the tuner's history (the effect
    // starts without it, saving about 1 MB), on the calling thread.
    void setTunerOn(bool on);
    bool isTunerOn() const {
        return tunerOn.load(std::memory_order_relaxed);
    }
    bool isProcessing() const {
        return processing.load(std::memory_order_relaxed);
    }
    int getBufferSize() const {
        return bufferSize;
    }

    // Held while a bulk change (program select, preset load) runs and while
    // program names are read or written, so that those never interleave.
    std::mutex programMutex;

    Tuner tuner{Tuner::History::later};

private:
    // The table, the current program's slot and the engine (as a pending
    // value) for one in-range index.
    void storeParameter(int index, float value, int program);
    void runBlock(float** inputs, int n);
    // Grows the three work buffers and the engine's to n samples (never
    // shrinks them).
    void growBuffers(int n);
    // Both process forms: the block, then the outputs replaced or added to.
    void renderFrame(float** inputs, float** outputs, int n, bool accumulate);
    // True on a thread that has run a recent block, or where the host says it runs audio.
    bool onAudioThread();

    std::atomic<bool> tunerOn{false};
    std::mutex tunerMutex; // the tuner's history sizing; never on the audio thread
    char vendor[64];
    char product[64];
    char effectName[32];
    int vendorVersion = 0;
    Parameter params[kNumParams];
    EffectProgram programs[kNumPrograms];
    Tarvex engine;
    // The work buffers' first size: 1024 samples, and one sample in the RTAS
    // build, whose first block grows them (effect_standard.cpp, effect_rtas.cpp).
    static const int kInitialBufferSize;
    int bufferSize = 0;
    std::unique_ptr<double[]> monoBuffer;
    std::unique_ptr<double[]> leftBuffer;
    std::unique_ptr<double[]> rightBuffer;
    std::atomic<bool> processing{true};

    EngineHandOff handOff;
    AudioGate gate;
    std::atomic<double> indicators[6] = {};
    AudioThreads audioThreads;
    // A program change on the audio thread whose display update is not sent yet.
    std::atomic<bool> displayUpdateOwed{false};
    // The attached window, which hears of every parameter change; null in
    // programs without the editor library.
    AEffGUIEditor* guiEditor = nullptr;
};

// Builds one Tarvex effect for a host callback; null when it cannot be built.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

// The seam to the effect's window. Plug-in modules link the editor library,
// which defines both functions; every other program (tools, tests of the
// sound) gets the weak defaults of source/no_editor.cpp, under which the
// effect has no window, so the effect library needs no window system and
// never touches the toolkit's classes itself.
//
// Makes (and attaches) the window while the effect is constructed; opens no
// window or display connection.
AEffGUIEditor* createEffectEditor(Effect* effect);
// Tells the window of a parameter change (its setParameter).
void editorParameterChanged(AEffGUIEditor* editor, VstInt32 index, float value);
