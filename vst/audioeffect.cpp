#include "vst/audioeffect.h"

#include "vst/aeffeditor.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Display conversions work on 8 characters, sign and point included.
constexpr int kDigitsWidth = 8;
constexpr char kHuge[] = "Huge!";

char digitOf(double v) {
    return static_cast<char>('0' + static_cast<int>(std::trunc(v)));
}

} // namespace

float toFloat(double v) {
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return static_cast<float>(v);
}

void vstStringCopy(char* dest, const char* source, VstInt32 maxLen) {
    if (!dest || maxLen < 0) return;
    VstInt32 i = 0;
    if (source) {
        for (; i < maxLen && source[i] != '\0'; ++i)
            dest[i] = source[i];
    }
    for (; i <= maxLen; ++i)
        dest[i] = '\0';
}

AudioEffect::AudioEffect(audioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = __processClassDeprecated;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode("NoEf");
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

// ---- record entries ---------------------------------------------------------

namespace {
AudioEffect* objectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}
} // namespace

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
    AudioEffect* object = objectOf(e);
    if (!object) return 0;
    if (opcode == effClose) {
        object->dispatcher(opcode, index, value, ptr, opt);
        delete object;
        return 1;
    }
    return object->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    if (AudioEffect* object = objectOf(e)) object->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    AudioEffect* object = objectOf(e);
    return object ? object->getParameter(index) : 0.0f;
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames) {
    if (AudioEffect* object = objectOf(e)) object->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames) {
    if (AudioEffect* object = objectOf(e))
        object->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::__processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                           VstInt32 sampleFrames) {
    if (AudioEffect* object = objectOf(e))
        object->__processDeprecated(inputs, outputs, sampleFrames);
}

// ---- opcodes 0 to 24 --------------------------------------------------------

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    // Opcodes that hand over a text buffer or an address to write to answer 0
    // for a null ptr instead of passing it on.
    char* text = static_cast<char*>(ptr);
    const auto low = static_cast<VstInt32>(value);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms) setProgram(low);
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text) setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text) getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text) getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text) getParameterName(index, text);
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(low);
        return 0;
    case effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (!editor || !ptr) return 0;
        return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        if (!editor) return 0;
        return editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return fourCharCode("NvEf");
    case effGetChunk:
        if (!ptr) return 0;
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, low, index != 0);
    default:
        return 0;
    }
}

void AudioEffect::setSampleRate(float newSampleRate) {
    sampleRate = newSampleRate;
}

void AudioEffect::setBlockSize(VstInt32 newBlockSize) {
    blockSize = newBlockSize;
}

void AudioEffect::getProgramName(char* name) {
    if (name) name[0] = '\0';
}

void AudioEffect::getParameterLabel(VstInt32 /*index*/, char* label) {
    if (label) label[0] = '\0';
}

void AudioEffect::getParameterDisplay(VstInt32 /*index*/, char* text) {
    if (text) text[0] = '\0';
}

void AudioEffect::getParameterName(VstInt32 /*index*/, char* text) {
    if (text) text[0] = '\0';
}

// ---- host requests ----------------------------------------------------------

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion() {
    const auto version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version != 0 ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

bool AudioEffect::__isInputConnectedDeprecated(VstInt32 input) {
    return static_cast<VstInt32>(callHost(audioMasterPinConnected, input, 0)) == 0;
}

bool AudioEffect::__isOutputConnectedDeprecated(VstInt32 output) {
    return static_cast<VstInt32>(callHost(audioMasterPinConnected, output, 1)) == 0;
}

// ---- display texts ----------------------------------------------------------

// Fixed-point text of 8 characters with the fraction truncated: the integer
// digits are produced from the units digit leftwards, the fraction digits from
// the last one leftwards. Values whose integer digits leave no room for the
// point (8 digits, or 7 after a minus sign) are written as the bare integer;
// NaN, like any value beyond the limits, reads "Huge!".
void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    double v = value;
    char out[kDigitsWidth + 1] = {};
    int used = 0;
    if (std::isnan(v)) {
        vstStringCopy(text, kHuge, maxLen);
        return;
    }
    if (v < 0) {
        out[used++] = '-';
        v = -v;
        if (v > 9999999) {
            vstStringCopy(text, kHuge, maxLen);
            return;
        }
    } else if (v > 99999999) {
        vstStringCopy(text, kHuge, maxLen);
        return;
    }

    const int signChars = used;
    const double integer = std::floor(v);
    int integerDigits = 1;
    for (double q = integer / 10; q >= 1; q /= 10)
        ++integerDigits;
    const bool roomForPoint = used + integerDigits + 1 <= kDigitsWidth;

    // Integer digits right to left into the tail of a scratch buffer.
    char digits[kDigitsWidth + 1];
    int count = 0;
    if (roomForPoint) digits[kDigitsWidth - ++count] = '.';
    digits[kDigitsWidth - ++count] = digitOf(std::fmod(integer, 10));
    used += roomForPoint ? 2 : 1;
    for (double q = integer / 10; q >= 1 && used < kDigitsWidth; q /= 10, ++used)
        digits[kDigitsWidth - ++count] = digitOf(std::fmod(q, 10));
    std::memcpy(out + signChars, digits + kDigitsWidth - count, static_cast<std::size_t>(count));

    // Fraction digits, last to first.
    const int fractionDigits = kDigitsWidth - used;
    double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
    for (int i = kDigitsWidth - 1; i >= used; --i) {
        if (m <= 0) {
            out[i] = '0';
        } else {
            out[i] = digitOf(std::fmod(m, 10));
            m /= 10;
        }
    }
    vstStringCopy(text, out, maxLen);
}

// Decimal digits with leading zeros suppressed; above 99999999 "Huge!".
// Negative values have no lower limit (the most negative one included).
void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    if (value > 99999999) {
        vstStringCopy(text, kHuge, maxLen);
        return;
    }
    char out[16] = {};
    int used = 0;
    std::int64_t magnitude = value;
    if (magnitude < 0) {
        out[used++] = '-';
        magnitude = -magnitude;
    }
    char reversed[12];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    while (count > 0)
        out[used++] = reversed[--count];
    vstStringCopy(text, out, maxLen);
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    if (value > 0)
        float2string(toFloat(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
    else
        vstStringCopy(text, "-oo", maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    if (samples == 0)
        float2string(0.0f, text, maxLen);
    else
        float2string(getSampleRate() / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    const double ms = static_cast<double>(samples) * 1000.0 / getSampleRate();
    float2string(toFloat(ms), text, maxLen);
}
