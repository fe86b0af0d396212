// Plug-in controls. On the real platform the library keeps one control per
// host-visible setting, stores its value as a 32-bit integer the host
// automates, and converts between that integer and the setting's own range.
// Here a continuous control spans the integers 0 .. kControlMaxValue.
#pragma once

#include "platform/rtas/types.h"

#include <string>

constexpr long kControlMaxValue = 0x7FFFFFFF;

class CPluginControl {
public:
    CPluginControl(OSType id, const char* name, bool automatable);
    virtual ~CPluginControl() = default;
    CPluginControl(const CPluginControl&) = delete;
    CPluginControl& operator=(const CPluginControl&) = delete;

    OSType GetID() const { return mID; }
    const char* GetName() const { return mName.c_str(); }
    bool IsAutomatable() const { return mAutomatable; }
    long GetValue() const { return mValue; }
    // The nearest value the control can hold.
    virtual long Constrain(long value) const = 0;
    virtual long GetDefaultValue() const = 0;

private:
    friend class CProcess;
    OSType mID;
    std::string mName;
    bool mAutomatable;
    long mValue = 0;
};

class CPluginControl_Continuous : public CPluginControl {
public:
    using CPluginControl::CPluginControl;
    virtual long ConvertContinuousToControl(double continuous) const = 0;
    virtual double ConvertControlToContinuous(long value) const = 0;
    double GetContinuous() const { return ConvertControlToContinuous(GetValue()); }
    long Constrain(long value) const override;
};

// One unit prefix of the library's display dictionary.
struct PrefixDictionaryEntry {
    const char* prefix;
    double multiplier;
};
// The standard dictionary, "p" to "E", with the entries the controls of this
// plug-in name.
extern const PrefixDictionaryEntry cStandardPrefixDictionary[];
constexpr int kPrefixNone = 4;
constexpr int kPrefixExa = 10;

class CPluginControl_Linear : public CPluginControl_Continuous {
public:
    // Prefixes for display: the dictionary entries from `prefixBegin` up to
    // but not including `prefixEnd`.
    CPluginControl_Linear(OSType id, const char* name, double min, double max, double step,
                          double defaultValue, bool automatable,
                          const PrefixDictionaryEntry* prefixBegin,
                          const PrefixDictionaryEntry* prefixEnd);
    long ConvertContinuousToControl(double continuous) const override;
    double ConvertControlToContinuous(long value) const override;
    long GetDefaultValue() const override { return ConvertContinuousToControl(mDefault); }

    double GetMin() const { return mMin; }
    double GetMax() const { return mMax; }
    double GetStep() const { return mStep; }
    const PrefixDictionaryEntry* GetPrefixBegin() const { return mPrefixBegin; }
    const PrefixDictionaryEntry* GetPrefixEnd() const { return mPrefixEnd; }

private:
    double mMin, mMax, mStep, mDefault;
    const PrefixDictionaryEntry* mPrefixBegin;
    const PrefixDictionaryEntry* mPrefixEnd;
};

class CPluginControl_OnOff : public CPluginControl {
public:
    // Null texts leave the display to the host ("on"/"off").
    CPluginControl_OnOff(OSType id, const char* name, bool defaultOn, bool automatable,
                         const char* onText, const char* offText);
    long Constrain(long value) const override { return value > 0 ? 1 : 0; }
    long GetDefaultValue() const override { return mDefaultOn ? 1 : 0; }
    const char* GetOnText() const { return mOnText; }
    const char* GetOffText() const { return mOffText; }

private:
    bool mDefaultOn;
    const char* mOnText;
    const char* mOffText;
};
