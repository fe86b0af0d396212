// The RTAS process: one per plug-in instance. It owns the Tarvex effect,
// publishes its 53 parameters and a master bypass as host controls, turns
// control changes into parameter changes and the effect's automation into
// control gestures, renders through the effect and embeds its editor.
//
// The effect runs as it was constructed (44100 Hz, 1024 frames) whatever the
// host's rate: the process never passes a rate, block size, open or resume.
#pragma once

#include "platform/rtas/carbon.h"
#include "platform/rtas/process.h"
#include "vst/aeffect.h"

class AEffEditor;
class AudioEffect;
class CPlugInView;
class ITemplateCustomUI;

// What the custom UI reaches of its process.
class ITemplateProcess {
public:
    virtual ~ITemplateProcess() = default;
    virtual ComponentResult SetControlValue(long index, long value) = 0;
    virtual ComponentResult GetControlValue(long index, long* value) = 0;
    virtual ComponentResult GetControlDefaultValue(long index, long* value) = 0;
    virtual void setEditor(void* customUI) = 0;
    virtual ComponentResult ProcessTouchControl(long index) = 0;
    virtual ComponentResult ProcessReleaseControl(long index) = 0;
    virtual void ProcessDoIdle() = 0;
    virtual void* ProcessGetModuleHandle() = 0;
    virtual short ProcessUseResourceFile() = 0;
    virtual void ProcessRestoreResourceFile(short previous) = 0;
    virtual AEffEditor* getEditor() = 0;
};

class CTemplateNoUIProcess : public ITemplateProcess,
                             public virtual CEffectProcess,
                             public virtual CProcess {
public:
    CTemplateNoUIProcess();
    ~CTemplateNoUIProcess() override;

    ComponentResult SetControlValue(long index, long value) override;
    ComponentResult GetControlValue(long index, long* value) override;
    ComponentResult GetControlDefaultValue(long index, long* value) override;
    void setEditor(void* customUI) override;
    ComponentResult ProcessTouchControl(long index) override;
    ComponentResult ProcessReleaseControl(long index) override;
    void ProcessDoIdle() override;
    void* ProcessGetModuleHandle() override { return nullptr; }
    short ProcessUseResourceFile() override;
    void ProcessRestoreResourceFile(short previous) override;
    AEffEditor* getEditor() override;

    void SetViewPort(GrafPtr port) override;
    void GetViewRect(Rect* rect) override;
    void DoTokenIdle() override;
    ComponentResult DoSetCursor(EventRecord* event) override;
    ComponentResult UpdateControlGraphic(long index, long value) override;
    CPlugInView* CreateCPlugInView() override;
    ComponentResult SetControlHighliteInfo(long index, short highlighted, short colour) override;
    ComponentResult ChooseControl(Point where, long* index) override;
    ComponentResult GetChunk(OSType id, SFicPlugInChunk* chunk) override;
    ComponentResult GetChunkSize(OSType id, long* size) override;
    ComponentResult SetChunk(OSType id, SFicPlugInChunk* chunk) override;
    void UpdateControlValueInAlgorithm(long index) override;
    void EffectInit() override;

    // The effect's host callback: its edit gestures and automation become
    // touch, value and release of control index + 1. Answers 0 to all.
    static VstIntPtr VSTCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                 void* ptr, float opt);

protected:
    // The custom UI exists (with mViewRect filled) after this.
    void MakeCustomUI();
    // Lets go of the host view before the custom UI goes: the view forwards
    // nothing from then on and is no longer watched.
    void DropPlugInView();

    GrafPtr mPort = nullptr;
    ITemplateCustomUI* mCustomUI = nullptr;
    Rect mViewRect{};
    CPlugInView* mPlugInView = nullptr;
    AudioEffect* mEffect = nullptr;
};

class CTemplateNoUIProcessRTAS : public CTemplateNoUIProcess, public CEffectProcessRTAS {
public:
    void GetMetersFromDSPorRTAS(long* meters, bool* clipped) override;
    void RenderAudio(float** inputs, float** outputs, long frames) override;
};

// The creator attached to both effect types.
CEffectProcess* NewTemplateProcessRTAS();
