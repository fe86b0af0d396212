#include "source/effect.h"

#include "dsp/mapping.h"
#include "source/factory_programs.h"
#include "source/import_export.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

namespace {

// A parameter's name, label and how it shows its value: a number
// (value x 100), or one of n texts.
struct ParameterInfo {
    int index;
    const char* name;
    const char* label;
    int choices;                        // 0: a number
    const char* texts[kCabinetChoices]; // the most texts a parameter has
};

constexpr ParameterInfo number(int index, const char* name) {
    return {index, name, "%", 0, {}};
}
constexpr ParameterInfo onOff(int index, const char* name) {
    return {index, name, "state", 2, {"Off", "Enabled"}};
}

constexpr ParameterInfo parameterInfo[kNumParams] = {
    {Param::mode, "Mode", "mode", kModeChoices, {"Normal", "Biamp"}},
    number(Param::crossover_frequency, "Crossove"),
    {Param::invertB_enable, "InvertB", "state", 2, {"Normal", "Invert"}},
    {Param::channel_select, "Channel", "select", kChannelSelectChoices, {"B", "A+B", "A"}},
    onOff(Param::compressorA_enable, "CompA"),
    number(Param::compressorA_amount, "AmountA"),
    number(Param::compressorA_attack, "AttackA"),
    number(Param::gainA, "GainA"),
    onOff(Param::boostA_enable, "BoostA"),
    number(Param::bassA, "BassA"),
    number(Param::midsA, "MidsA"),
    number(Param::midsA_frequency, "FreqA"),
    number(Param::trebleA, "TrebleA"),
    number(Param::driveA, "DriveA"),
    number(Param::clippingA, "ClipA"),
    onOff(Param::compressorB_enable, "CompB"),
    number(Param::compressorB_amount, "AmountB"),
    number(Param::compressorB_attack, "AttackB"),
    number(Param::gainB, "GainB"),
    onOff(Param::boostB_enable, "BoostB"),
    number(Param::bassB, "BassB"),
    number(Param::midsB, "MidsB"),
    number(Param::midsB_frequency, "FreqB"),
    number(Param::trebleB, "TrebleB"),
    number(Param::driveB, "DriveB"),
    number(Param::clippingB, "ClipB"),
    number(Param::mixAB, "MixAB"),
    onOff(Param::chorus_enable, "Chorus"),
    number(Param::chorus_level, "CLevel"),
    number(Param::chorus_speed, "CSpeed"),
    number(Param::chorus_cutoff, "CCutoff"),
    onOff(Param::reverb_enable, "Reverb"),
    number(Param::reverb_level, "RLevel"),
    number(Param::reverb_decay, "RDecay"),
    number(Param::reverb_damping, "RDamping"),
    number(Param::eq_band1, "EQ1"),
    number(Param::eq_band2, "EQ2"),
    number(Param::eq_band3, "EQ3"),
    number(Param::eq_band4, "EQ4"),
    number(Param::eq_band5, "EQ5"),
    number(Param::eq_band6, "EQ6"),
    number(Param::eq_band7, "EQ7"),
    number(Param::eq_band8, "EQ8"),
    number(Param::eq_band9, "EQ9"),
    number(Param::eq_band10, "EQ10"),
    number(Param::eq_band11, "EQ11"),
    number(Param::eq_band12, "EQ12"),
    number(Param::eq_level, "EQLevel"),
    onOff(Param::eq_enable, "EQ"),
    number(Param::bright, "Bright"),
    number(Param::deep, "Deep"),
    {Param::cabinet, "Cabinet", "select", kCabinetChoices, {"Off", "D.I.", "1x15", "4x10", "8x10"}},
    number(Param::master_volume, "Volume"),
};
static_assert(rowsInIndexOrder(parameterInfo));

const char* const canDoList[] = {
    "plugAsChannelInsert", "plugAsSend", "1in1out", "1in2out", "2in1out", "2in2out", "bypass"};

// The host's answer to the process-level request on its audio thread.
constexpr VstInt32 kRealtimeProcessLevel = 2;

bool inParameterRange(VstInt32 index) {
    return index >= 0 && index < kNumParams;
}
bool inProgramRange(VstInt32 program) {
    return program >= 0 && program < kNumPrograms;
}

// Bounded copy padded with zero bytes up to `size` (no terminator when the
// text fills the field).
void copyPadded(char* to, const char* from, size_t size) {
    std::strncpy(to, from, size);
}

float loadValue(const float& value) {
    return std::atomic_ref<const float>(value).load(std::memory_order_relaxed);
}

} // namespace

Parameter::Parameter() : value(0.0f) {
    std::memcpy(name, "Default ", 8);
    std::memcpy(label, "Default ", 8);
}

EffectProgram::EffectProgram() {
    copyPadded(name, "Default Program", sizeof name);
    std::fill(std::begin(values), std::end(values), 0.5f);
}

void EngineHandOff::post(int index, float value) {
    pending[index].store(value); // ordered with the setters' table accesses
    marked.fetch_or(std::uint64_t{1} << index, std::memory_order_release);
}

void EngineHandOff::apply(Tarvex& engine) {
    std::uint64_t bits = marked.exchange(0, std::memory_order_acquire);
    while (bits != 0) {
        const int index = std::countr_zero(bits);
        bits &= bits - 1;
        engine.SetParameter(index, pending[index].load(std::memory_order_relaxed));
    }
}

bool AudioGate::enterAudio() {
    int expected = idle;
    return state.compare_exchange_strong(expected, audio, std::memory_order_acquire);
}

void AudioGate::leaveAudio() {
    state.store(idle, std::memory_order_release);
}

void AudioGate::enterReconfigure() {
    int expected = idle;
    while (!state.compare_exchange_weak(expected, reconfigure, std::memory_order_acquire)) {
        expected = idle;
        std::this_thread::yield();
    }
}

void AudioGate::leaveReconfigure() {
    state.store(idle, std::memory_order_release);
}

Effect::Effect(audioMasterCallback hostCallback)
    : AudioEffectX(hostCallback, kNumPrograms, kNumParams) {
    bufferSize = kInitialBufferSize;
    monoBuffer = std::make_unique_for_overwrite<double[]>(bufferSize);
    leftBuffer = std::make_unique_for_overwrite<double[]>(bufferSize);
    rightBuffer = std::make_unique_for_overwrite<double[]>(bufferSize);
    engine.Reserve(bufferSize);

    copyPadded(vendor, "Ostravel Engineering, PLLC", sizeof vendor);
    copyPadded(product, "Quorvalinde Tarvex", sizeof product);
    copyPadded(effectName, "Tarvex", sizeof effectName);
    setUniqueID(fourCharCode("Trvx"));
    vendorVersion = 1000;

    for (int i = 0; i < kNumParams; ++i) {
        copyPadded(params[i].name, parameterInfo[i].name, sizeof params[i].name);
        copyPadded(params[i].label, parameterInfo[i].label, sizeof params[i].label);
        params[i].value = 0.0f;
    }

    // The factory programs, loaded while program 0 is current: each passes
    // through program 0's slot and the engine on its way into its own slot.
    for (int p = 1; p < kNumPrograms; ++p) {
        LoadFactoryPreset(p);
        for (int i = 0; i < kNumParams; ++i)
            programs[p].values[i] = params[i].value;
    }
    LoadFactoryPreset(0);
    for (int i = 0; i < kNumParams; ++i)
        programs[0].values[i] = params[i].value;
    for (int p = 0; p < kNumPrograms; ++p)
        copyPadded(programs[p].name, factoryPrograms[p].name, sizeof programs[p].name);

    engine.SetFs(static_cast<double>(sampleRate));
    processing.store(true);

    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing(true);
    cEffect.flags |= effFlagsCanMono;
    programsAreChunks(false);

    curProgram = 2;
    for (int i = 0; i < kNumParams; ++i)
        setParameter(i, programs[2].values[i]);

    // A new instance starts settled on its program. The engine takes the
    // program's values now; until they have glided in from the engine's own
    // defaults (up to about 60 ms) it runs on silence, so that the first audio
    // a host sends does not sound that glide (it was about 5 dB louder).
    handOff.apply(engine);
    const int settling = static_cast<int>(0.2 * static_cast<double>(sampleRate));
    for (int done = 0; done < settling; done += bufferSize) {
        const int n = std::min(bufferSize, settling - done);
        std::fill(monoBuffer.get(), monoBuffer.get() + n, 0.0);
        engine.process(monoBuffer.get(), leftBuffer.get(), rightBuffer.get(), n);
    }

    guiEditor = createEffectEditor(this); // attaches itself to the effect

    AudioEffectX::resume();
}

Effect::~Effect() = default;

void Effect::storeParameter(int index, float value, int program) {
    // Two threads setting one parameter at once must leave the table, the
    // program slot and the engine on one value, the table's. A setter that
    // finds, after posting, that another setter changed the table meanwhile
    // stores and posts the table's value as well; so the last post always
    // carries the table's final value, and no setter ever waits. (The
    // sequentially consistent order of the table's store and load and the
    // post's store is what makes that hold.) From one thread the loop runs
    // once.
    const std::atomic_ref<float> shown(params[index].value);
    shown.store(value);
    for (;;) {
        if (inProgramRange(program))
            std::atomic_ref<float>(programs[program].values[index]).store(value);
        handOff.post(index, value);
        const float latest = shown.load();
        if (std::bit_cast<std::uint32_t>(latest) == std::bit_cast<std::uint32_t>(value)) return;
        value = latest;
    }
}

void Effect::setParameter(VstInt32 index, float value) {
    if (inParameterRange(index))
        storeParameter(index, value,
                       std::atomic_ref<VstInt32>(curProgram).load(std::memory_order_relaxed));
    // Every change reaches the window, in range or not; the editor decides
    // on which thread its controls move.
    if (guiEditor != nullptr) editorParameterChanged(guiEditor, index, value);
}

float Effect::getParameter(VstInt32 index) {
    return inParameterRange(index) ? loadValue(params[index].value) : 0.0f;
}

bool Effect::string2parameter(VstInt32 index, char* text) {
    if (!inParameterRange(index)) return false;
    float value = 0.0f;
    if (text != nullptr && std::sscanf(text, "%f", &value) != 1) value = 0.0f;
    // Clamped to 0..1; a NaN is no value and counts as 0.
    value = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    // A typed value is a change like any other: table, program, engine and
    // editor follow it, so what the host shows is what plays.
    setParameter(index, value);
    return true;
}

void Effect::getParameterName(VstInt32 index, char* text) {
    if (!inParameterRange(index) || text == nullptr) return;
    vstStringCopy(text, params[index].name, 8);
}

void Effect::getParameterLabel(VstInt32 index, char* label) {
    if (!inParameterRange(index) || label == nullptr) return;
    vstStringCopy(label, params[index].label, 8);
}

void Effect::getParameterDisplay(VstInt32 index, char* text) {
    if (text == nullptr) return;
    std::memset(text, 0, 8);
    if (!inParameterRange(index)) return;
    const ParameterInfo& info = parameterInfo[index];
    const float value = loadValue(params[index].value);
    if (info.choices > 0) {
        const int p = position(value, info.choices);
        if (p >= 1 && p <= info.choices) {
            vstStringCopy(text, info.texts[p - 1], 8);
        }
        return;
    }
    float2string(toFloat(range(value, 0.0, 100.0)), text, 8);
}

VstInt32 Effect::getProgram() {
    return std::atomic_ref<VstInt32>(curProgram).load(std::memory_order_relaxed);
}

void Effect::setProgram(VstInt32 program) {
    if (!inProgramRange(program)) return;
    {
        const std::lock_guard lock(programMutex);
        std::atomic_ref<VstInt32>(curProgram).store(program, std::memory_order_relaxed);
        for (int i = 0; i < kNumParams; ++i)
            setParameter(i, loadValue(programs[program].values[i]));
    }
    // Hosts follow the values through the display update; an automate per
    // value would be recorded as automation. Sent with the lock released: a
    // host may ask for program names or call the editor's idle meanwhile.
    if (onAudioThread())
        displayUpdateOwed.store(true, std::memory_order_relaxed);
    else
        updateDisplay();
}

void AudioThreads::noteCurrent() {
    const std::thread::id self = std::this_thread::get_id();
    const std::uint64_t block = blocks.fetch_add(1, std::memory_order_relaxed) + 1;
    Slot* stalest = &slots[0];
    for (Slot& slot : slots) {
        if (slot.thread.load(std::memory_order_relaxed) == self) {
            slot.lastBlock.store(block, std::memory_order_relaxed);
            return;
        }
        if (slot.lastBlock.load(std::memory_order_relaxed) <
            stalest->lastBlock.load(std::memory_order_relaxed))
            stalest = &slot;
    }
    stalest->lastBlock.store(block, std::memory_order_relaxed);
    stalest->thread.store(self, std::memory_order_relaxed);
}

bool AudioThreads::holdsCurrent() const {
    const std::thread::id self = std::this_thread::get_id();
    const std::uint64_t now = blocks.load(std::memory_order_relaxed);
    for (const Slot& slot : slots)
        if (slot.thread.load(std::memory_order_relaxed) == self)
            return now - slot.lastBlock.load(std::memory_order_relaxed) < kRecentBlocks;
    return false;
}

bool Effect::onAudioThread() {
    return audioThreads.holdsCurrent() || getCurrentProcessLevel() == kRealtimeProcessLevel;
}

VstIntPtr Effect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    if ((opcode == effEditIdle || opcode == effIdle) &&
        displayUpdateOwed.load(std::memory_order_relaxed) && !onAudioThread() &&
        displayUpdateOwed.exchange(false, std::memory_order_relaxed))
        updateDisplay();
    return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
}

void Effect::setProgramName(char* name) {
    if (name == nullptr) return;
    const std::lock_guard lock(programMutex);
    const int program = getProgram();
    if (inProgramRange(program))
        copyPadded(programs[program].name, name, sizeof programs[program].name);
}

void Effect::getProgramName(char* name) {
    if (name == nullptr) return;
    const std::lock_guard lock(programMutex);
    const int program = getProgram();
    if (!inProgramRange(program)) return;
    vstStringCopy(name, programs[program].name, 24);
}

bool Effect::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (!inProgramRange(index) || text == nullptr) return false;
    const std::lock_guard lock(programMutex);
    vstStringCopy(text, programs[index].name, 24);
    return true;
}

void Effect::LoadFactoryPreset(int number) {
    if (!inProgramRange(number)) return;
    // The factory texts are preset files; only the first has a line feed
    // after its declaration.
    const std::string text = presetText(factoryPrograms[number].values, number == 0);
    SetXMLPreset(text.c_str(), this);
}

bool Effect::getEffectName(char* name) {
    if (name == nullptr) return false;
    vstStringCopy(name, effectName, 32);
    return true;
}

bool Effect::getVendorString(char* text) {
    if (text == nullptr) return false;
    vstStringCopy(text, vendor, 64);
    return true;
}

bool Effect::getProductString(char* text) {
    if (text == nullptr) return false;
    vstStringCopy(text, product, 64);
    return true;
}

VstInt32 Effect::getVendorVersion() {
    return vendorVersion;
}

VstInt32 Effect::canDo(char* text) {
    if (text == nullptr) return 0;
    for (const char* c : canDoList)
        if (std::strcmp(text, c) == 0) return 1;
    return 0;
}

VstInt32 Effect::getPlugCategory() {
    return 1;
}

void Effect::resume() {
    AudioEffectX::resume();
}

void Effect::setTunerOn(bool on) {
    if (on) {
        // The audio thread feeds the tuner only once the flag is set, so the
        // history is sized before it can be used.
        const std::lock_guard<std::mutex> lock(tunerMutex);
        tuner.ReserveHistory();
    }
    tunerOn.store(on, std::memory_order_release);
}

void Effect::setSampleRate(float rate) {
    gate.enterReconfigure();
    engine.SetFs(static_cast<double>(rate));
    {
        const std::lock_guard<std::mutex> lock(tunerMutex);
        tuner.SetFs(static_cast<double>(rate));
    }
    std::atomic_ref<float>(sampleRate).store(rate, std::memory_order_relaxed);
    gate.leaveReconfigure();
}

double Effect::VUState(int which) {
    if (which < kCompressorAIndicator || which > kOutputIndicator) return 0.0;
    return indicators[which - kCompressorAIndicator].load(std::memory_order_relaxed);
}

void Effect::setBlockSize(VstInt32 size) {
    // Sizes beyond this are reserved no further (a host announcing an absurd
    // size must not take memory it may never use); such blocks still grow
    // the buffers when they come.
    constexpr VstInt32 largestReserved = 65536;
    gate.enterReconfigure();
    AudioEffectX::setBlockSize(size);
    growBuffers(std::min(size, largestReserved));
    gate.leaveReconfigure();
}

void Effect::growBuffers(int n) {
    if (n <= bufferSize) return;
    monoBuffer.reset();
    leftBuffer.reset();
    rightBuffer.reset();
    monoBuffer = std::make_unique_for_overwrite<double[]>(n);
    leftBuffer = std::make_unique_for_overwrite<double[]>(n);
    rightBuffer = std::make_unique_for_overwrite<double[]>(n);
    bufferSize = n;
    engine.Reserve(n); // and the engine's, for every block that may fade later
}

// Steps shared by both process forms: growth, mono sum, tuner feed, and the
// engine or the bypass copy into leftBuffer and rightBuffer.
void Effect::runBlock(float** inputs, int n) {
    handOff.apply(engine);
    growBuffers(n);
    double* mono = monoBuffer.get();
    const float* in0 = inputs[0];
    const float* in1 = inputs[1];
    if (in1 != nullptr) {
        for (int i = 0; i < n; ++i)
            mono[i] = static_cast<double>(in0[i]) + static_cast<double>(in1[i]);
    } else {
        for (int i = 0; i < n; ++i)
            mono[i] = static_cast<double>(in0[i]);
    }

    if (tunerOn.load(std::memory_order_acquire)) tuner.process_input(mono, n);

    if (processing.load(std::memory_order_relaxed)) {
        engine.process(mono, leftBuffer.get(), rightBuffer.get(), n);
    } else {
        std::copy(mono, mono + n, leftBuffer.get());
        std::copy(mono, mono + n, rightBuffer.get());
    }

    indicators[0].store(engine.CompressorAIndicator(), std::memory_order_relaxed);
    indicators[1].store(engine.LimiterAIndicator(), std::memory_order_relaxed);
    indicators[2].store(engine.CompressorBIndicator(), std::memory_order_relaxed);
    indicators[3].store(engine.LimiterBIndicator(), std::memory_order_relaxed);
    indicators[4].store(engine.InputIndicator(), std::memory_order_relaxed);
    indicators[5].store(engine.OutputIndicator(), std::memory_order_relaxed);
}

namespace {

// A sample for the host, 0 where its float would be subnormal. The engine's
// doubles reach far below the float range (a tail fading out, the first
// samples of a filter's response); narrowed as they are, they would hand the
// host subnormal numbers that slow its own processing when it runs with
// flushing off.
float hostSample(float x) {
    return std::fabs(x) < FLT_MIN ? 0.0f : x;
}

// One engine channel to the host's float buffer, replacing or adding.
void narrowInto(const double* from, float* to, int n, bool accumulate) {
    if (accumulate) {
        for (int i = 0; i < n; ++i)
            to[i] = hostSample(to[i] + static_cast<float>(from[i]));
    } else {
        for (int i = 0; i < n; ++i)
            to[i] = hostSample(static_cast<float>(from[i]));
    }
}

} // namespace

void Effect::renderFrame(float** inputs, float** outputs, int n, bool accumulate) {
    if (n <= 0) return;
    float* out0 = outputs[0];
    float* out1 = outputs[1];
    audioThreads.noteCurrent();
    if (!gate.enterAudio()) {
        // The sample rate is being changed on another thread: silence.
        if (!accumulate) {
            std::fill(out0, out0 + n, 0.0f);
            if (out1 != nullptr) std::fill(out1, out1 + n, 0.0f);
        }
        return;
    }
    runBlock(inputs, n);
    narrowInto(leftBuffer.get(), out0, n, accumulate);
    if (out1 != nullptr) narrowInto(rightBuffer.get(), out1, n, accumulate);
    gate.leaveAudio();
}

void Effect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    renderFrame(inputs, outputs, sampleFrames, false);
}

void Effect::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    renderFrame(inputs, outputs, sampleFrames, true);
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    try {
        return new Effect(audioMaster);
    } catch (const std::bad_alloc&) {
        // A host cannot take an exception through the plug-in's entry point.
        return nullptr;
    }
}
