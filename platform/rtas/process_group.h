// Process groups and effect types. On the real platform the plug-in defines
// one group that describes it to the host (maker, names, version, gestalt
// codes) and registers its effect types; each type names the process creator
// the library calls for every new instance. The numeric codes are the host's
// and are kept as given.
#pragma once

#include "platform/rtas/types.h"

#include <memory>
#include <string>
#include <vector>

class CEffectProcess;

class CProcessGroup {
public:
    // Defined by the plug-in: its group.
    static CProcessGroup* CreateProcessGroup();

    CProcessGroup() = default;
    virtual ~CProcessGroup();
    CProcessGroup(const CProcessGroup&) = delete;
    CProcessGroup& operator=(const CProcessGroup&) = delete;

    // Publishes the group in the plug-in's bundle for the host.
    virtual void Initialize();

    // Makes the plug-in's resource file current; returns the previous one.
    static short UseResourceFile();
    static void RestoreResourceFile(short previous);
    static short CurrentResourceFile();
};

extern CProcessGroup* gProcessGroup;

using EffectProcessCreator = CEffectProcess* (*)();

class CEffectType {
public:
    CEffectType(OSType typeID, OSType productID, long category);
    virtual ~CEffectType() = default;
    // Copies the whole description except the type and product IDs.
    CEffectType& operator=(const CEffectType& other);
    CEffectType(const CEffectType&) = delete;

    void DefineTypeNames(const char* names) { mTypeNames = names ? names : ""; }
    void DefineSampleRateSupport(long support) { mSampleRateSupport = support; }
    void AddGestalt(long gestalt) { mGestalts.push_back(gestalt); }
    // The library would hand `userData` back to the creator; this binding's
    // creator takes none, so it is not kept.
    void AttachEffectProcessCreator(EffectProcessCreator creator, void* /*userData*/) {
        mCreator = creator;
    }
    void DefineRelationID(OSType id) { mRelationID = id; }
    // Stem formats 0 (mono) or 1 (stereo) of input, output and side chain.
    void DefineStemFormats(long input, long output, long third) {
        mStemFormats[0] = input;
        mStemFormats[1] = output;
        mStemFormats[2] = third;
    }

    OSType GetTypeID() const { return mTypeID; }
    OSType GetProductID() const { return mProductID; }
    long GetCategory() const { return mCategory; }
    const std::string& GetTypeNames() const { return mTypeNames; }
    long GetSampleRateSupport() const { return mSampleRateSupport; }
    const std::vector<long>& GetGestalts() const { return mGestalts; }
    OSType GetRelationID() const { return mRelationID; }
    long GetStemFormat(int which) const { return mStemFormats[which]; }
    EffectProcessCreator GetCreator() const { return mCreator; }

    // The host's request for a new instance: the creator's process with the
    // type's channels, initialised; null when the creator gives none.
    virtual CEffectProcess* CreateProcess();

private:
    OSType mTypeID;
    OSType mProductID;
    long mCategory;
    std::string mTypeNames;
    long mSampleRateSupport = 0;
    std::vector<long> mGestalts;
    EffectProcessCreator mCreator = nullptr;
    OSType mRelationID = 0;
    long mStemFormats[3] = {};
};

class CEffectTypeRTAS : public CEffectType {
public:
    using CEffectType::CEffectType;
    using CEffectType::operator=;
};

class CEffectGroup : public CProcessGroup {
public:
    void DefineManufacturerNamesAndID(const char* names, OSType id) {
        mManufacturerNames = names ? names : "";
        mManufacturerID = id;
    }
    void DefinePlugInNamesAndVersion(const char* names, long version) {
        mPlugInNames = names ? names : "";
        mVersion = version;
    }
    void AddGestalt(long gestalt) { mGestalts.push_back(gestalt); }
    // Takes ownership.
    void AddEffectType(CEffectType* type) { mTypes.emplace_back(type); }

    // Has the plug-in create its types, then publishes the group.
    void Initialize() override;
    virtual void CreateEffectTypes() = 0;

    const std::string& GetManufacturerNames() const { return mManufacturerNames; }
    OSType GetManufacturerID() const { return mManufacturerID; }
    const std::string& GetPlugInNames() const { return mPlugInNames; }
    long GetVersion() const { return mVersion; }
    const std::vector<long>& GetGestalts() const { return mGestalts; }
    std::size_t GetNumTypes() const { return mTypes.size(); }
    CEffectType* GetType(std::size_t i) const { return mTypes[i].get(); }

private:
    std::string mManufacturerNames;
    OSType mManufacturerID = 0;
    std::string mPlugInNames;
    long mVersion = 0;
    std::vector<long> mGestalts;
    std::vector<std::unique_ptr<CEffectType>> mTypes;
};

class CDSPProcessGroup : public CEffectGroup {};
