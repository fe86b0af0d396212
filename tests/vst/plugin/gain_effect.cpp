// A minimal plug-in for the loading tests: one program, one parameter (the
// gain, 0 to 1), two inputs and two outputs, built into a module the way the
// real plug-in is. Its destructor asks the host to update its display, so a
// test host sees when the module deleted the effect.
#include "vst/audioeffectx.h"

namespace {

class GainEffect : public AudioEffectX {
public:
    explicit GainEffect(audioMasterCallback master) : AudioEffectX(master, 1, 1) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(fourCharCode("TgGn"));
        canProcessReplacing(true);
    }
    ~GainEffect() override { updateDisplay(); }

    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override {
        for (int channel = 0; channel < 2; ++channel) {
            for (VstInt32 i = 0; i < sampleFrames; ++i)
                outputs[channel][i] = gain * inputs[channel][i];
        }
    }
    void setParameter(VstInt32 index, float value) override {
        if (index == 0) gain = value;
    }
    float getParameter(VstInt32 index) override { return index == 0 ? gain : 0.0f; }
    bool getEffectName(char* name) override {
        vstStringCopy(name, "Gain", 31);
        return true;
    }

private:
    float gain = 1.0f;
};

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new GainEffect(audioMaster);
}
