// EffectEditor: the plug-in's window. One bitmap page (the main page) holds a
// control for each of the 53 parameters, six indicator meters and the tuner
// display; the about screen, laid over it, carries the preset import and
// export buttons and the version. The effect makes the editor once, in its
// constructor, and owns it; the window (frame, containers, controls) exists
// only between open and close.
//
// Threads. open, close, idle and the controls' events run on the host's
// user-interface thread, the one that opened the window. setParameter comes
// from whichever thread changed a parameter: on the user-interface thread the
// controls follow at once (so the twin of a switch-and-lamp pair follows the
// one clicked); from any other thread the change is only marked, without a
// lock, and the controls follow on the next idle. Controls are touched on the
// user-interface thread alone: an idle called on another thread (a host may
// call it from inside a request of ours) leaves the marked work to the next
// idle on the window's thread.
#pragma once

#include "editor/custom_controls.h"
#include "editor/layout.h"
#include "gui/gui.h"

#include <atomic>
#include <cstdint>
#include <thread>

class Effect;

// The tuner display for one reading: the label text (the sharp name of a
// note the tuner names twice, as "C# / Db") and the flat and sharp lamps.
struct TunerDisplay {
    char text[256];
    float flat;
    float sharp;
};
// `text` is the tuner's own text for `note`; "--" means no note is heard.
TunerDisplay tunerDisplay(int note, double meter, const char* text);

// The refresh throttle: true (and `last` takes `now`) when at least 50,000
// clock ticks passed since `last`, counted without sign so the clock may wrap.
bool takeRefreshTurn(std::atomic<unsigned long>& last, unsigned long now);

class EffectEditor : public AEffGUIEditor, public CControlListener {
public:
    static constexpr int kNumControls = layout::kNumControls;

    explicit EffectEditor(Effect* effect);
    // Closes a window the host left open.
    ~EffectEditor() override;

    // Builds the window in the host's parent window; false without one. A
    // window still open in another parent (the host destroyed or hid it
    // without closing the editor) is closed first.
    bool open(void* ptr) override;
    // Builds the window on an off-screen frame (tests, pictures, hosts
    // without a window to give).
    bool openOffscreen();
    void close() override;
    void idle() override;
    void setParameter(VstInt32 index, float value) override;
    void showAbout();

    // The main page's controls in creation order (0..70); null while closed.
    CControl* getControl(int entry) const;
    CViewContainer* getMainContainer() const { return mainContainer; }
    CViewContainer* getAboutContainer() const { return aboutContainer; }
    CTextLabel* getTunerLabel() const;
    bool isAboutShown() const { return aboutShown; }

#ifdef TARVEX_RTAS
    void valueChanged(CDrawContext* context, CControl* control) override;
    // Redraws `area` of the open window (everything for a null area).
    void __drawDeprecated(ERect* area) override;
#else
    void valueChanged(CControl* control) override;
    void showGui();
#endif

private:
    // The effect that owns this editor.
    Effect* plugin() const;
    // A control's value changed by the user: what valueChanged does in both
    // generations of the toolkit.
    void controlChanged(CControl* control);
    // Shows the main page alone (the about screen closed).
    void showMainPage();
    // Builds the window in `parent`, or off-screen for null.
    bool build(void* parent);
    // Applies a preset file as the user's edit of every value it changes.
    void importAsEdit(const char* path);
    // Moves the controls of parameter `index` to the effect's value.
    void showParameter(int index);
    // Mirrors the parameter changes marked by other threads.
    void showMarkedParameters();
    bool onUserInterfaceThread() const;
    void refreshIndicators();

    CViewContainer* mainContainer = nullptr;
    CControl* controls[kNumControls] = {};
    CViewContainer* aboutContainer = nullptr;
    CMyKickButton* importButton = nullptr;
    CMyKickButton* exportButton = nullptr;
    CMyKickButton* closeAboutButton = nullptr;
    CTextLabel* versionLabel = nullptr;
    bool aboutShown = false;

    // Parameters changed by other threads since the controls last showed them.
    std::atomic<std::uint64_t> changed{0};
    // The thread that opened the window; no thread while closed.
    std::atomic<std::thread::id> userInterfaceThread{};
};
