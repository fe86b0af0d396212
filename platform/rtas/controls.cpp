#include "platform/rtas/controls.h"

#include <cmath>

const PrefixDictionaryEntry cStandardPrefixDictionary[] = {
    {"p", 1e-12}, {"n", 1e-9}, {"u", 1e-6}, {"m", 1e-3}, {"", 1.0},   {"k", 1e3},
    {"M", 1e6},   {"G", 1e9},  {"T", 1e12}, {"P", 1e15}, {"E", 1e18},
};

CPluginControl::CPluginControl(OSType id, const char* name, bool automatable)
    : mID(id), mName(name ? name : ""), mAutomatable(automatable) {}

long CPluginControl_Continuous::Constrain(long value) const {
    return value < 0 ? 0 : (value > kControlMaxValue ? kControlMaxValue : value);
}

CPluginControl_Linear::CPluginControl_Linear(OSType id, const char* name, double min, double max,
                                             double step, double defaultValue, bool automatable,
                                             const PrefixDictionaryEntry* prefixBegin,
                                             const PrefixDictionaryEntry* prefixEnd)
    : CPluginControl_Continuous(id, name, automatable), mMin(min), mMax(max), mStep(step),
      mDefault(defaultValue), mPrefixBegin(prefixBegin), mPrefixEnd(prefixEnd) {}

long CPluginControl_Linear::ConvertContinuousToControl(double continuous) const {
    // Outside the range (or not a number) is the nearest end.
    if (!(mMax > mMin) || !(continuous > mMin)) return 0;
    if (continuous >= mMax) return kControlMaxValue;
    return std::lround((continuous - mMin) / (mMax - mMin) * static_cast<double>(kControlMaxValue));
}

double CPluginControl_Linear::ConvertControlToContinuous(long value) const {
    return mMin + static_cast<double>(Constrain(value)) / static_cast<double>(kControlMaxValue) *
                      (mMax - mMin);
}

CPluginControl_OnOff::CPluginControl_OnOff(OSType id, const char* name, bool defaultOn,
                                           bool automatable, const char* onText,
                                           const char* offText)
    : CPluginControl(id, name, automatable), mDefaultOn(defaultOn), mOnText(onText),
      mOffText(offText) {}
