#include "editor/effect_editor.h"

#include "editor/select_xml_file.h"
#include "source/effect.h"
#include "source/import_export.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// The kinds of control on the main page.
enum class Kind {
    knob40,
    knob50,
    switch2,
    switch3,
    switch5,
    lampA, // lamp buttons of the channel strips
    lampE, // lamp buttons of chorus, reverb and equaliser
    slider,
    meter36,
    meter20,
    tunerLabel,
    tunerLamp, // flat lamp (bitmap 132) and sharp lamp (133)
    kickButton,
};

constexpr long kNoTag = -1;

// One control of the main page: its tag, kind and rectangle (left, top,
// right, bottom, in the page's space). Sliders add their handle's travel,
// lamps their bitmap, kick buttons their image height in `extra`.
struct Placement {
    long tag;
    Kind kind;
    CCoord left, top, right, bottom;
    long extra = 0;
    long extra2 = 0;
};

// Creation order. The channel B strip repeats channel A's 61 px lower with
// tags 11 higher; the chorus and reverb knobs stand 55 px apart; the twelve
// band sliders 20 px apart from x 254, the level slider 40 px after the last.
constexpr Placement layout[EffectEditor::kNumControls] = {
    {1, Kind::knob40, 29, 40, 69, 80},
    {0, Kind::switch2, 18, 89, 38, 109},
    {2, Kind::switch2, 18, 119, 38, 139},
    {3, Kind::switch3, 79, 40, 114, 119},
    {4, Kind::switch2, 130, 52, 150, 72},
    {4, Kind::lampA, 130, 32, 150, 52},
    {5, Kind::knob50, 152, 22, 202, 72},
    {6, Kind::knob40, 202, 27, 242, 67},
    {kCompressorAMeterTag, Kind::meter36, 243, 31, 255, 67},
    {7, Kind::knob50, 267, 22, 317, 72},
    {8, Kind::switch2, 317, 52, 337, 72},
    {8, Kind::lampA, 317, 32, 337, 52},
    {9, Kind::knob50, 337, 22, 387, 72},
    {10, Kind::knob50, 387, 22, 437, 72},
    {11, Kind::knob40, 437, 27, 477, 67},
    {12, Kind::knob50, 477, 22, 527, 72},
    {13, Kind::knob50, 532, 22, 582, 72},
    {14, Kind::knob40, 582, 27, 622, 67},
    {kLimiterAMeterTag, Kind::meter36, 623, 31, 635, 67},
    {15, Kind::switch2, 130, 113, 150, 133},
    {15, Kind::lampA, 130, 93, 150, 113},
    {16, Kind::knob50, 152, 83, 202, 133},
    {17, Kind::knob40, 202, 88, 242, 128},
    {kCompressorBMeterTag, Kind::meter36, 243, 92, 255, 128},
    {18, Kind::knob50, 267, 83, 317, 133},
    {19, Kind::switch2, 317, 113, 337, 133},
    {19, Kind::lampA, 317, 93, 337, 113},
    {20, Kind::knob50, 337, 83, 387, 133},
    {21, Kind::knob50, 387, 83, 437, 133},
    {22, Kind::knob40, 437, 88, 477, 128},
    {23, Kind::knob50, 477, 83, 527, 133},
    {24, Kind::knob50, 532, 83, 582, 133},
    {25, Kind::knob40, 582, 88, 622, 128},
    {kLimiterBMeterTag, Kind::meter36, 623, 92, 635, 128},
    {26, Kind::slider, 655, 34, 675, 136, 31, 112},
    {27, Kind::switch2, 32, 232, 52, 252},
    {27, Kind::lampE, 56, 233, 76, 253},
    {28, Kind::knob40, 88, 213, 128, 253},
    {29, Kind::knob40, 143, 213, 183, 253},
    {30, Kind::knob40, 198, 213, 238, 253},
    {31, Kind::switch2, 32, 287, 52, 307},
    {31, Kind::lampE, 56, 288, 76, 308},
    {32, Kind::knob40, 88, 268, 128, 308},
    {33, Kind::knob40, 143, 268, 183, 308},
    {34, Kind::knob40, 198, 268, 238, 308},
    {35, Kind::slider, 254, 200, 274, 302, 198, 278},
    {36, Kind::slider, 274, 200, 294, 302, 198, 278},
    {37, Kind::slider, 294, 200, 314, 302, 198, 278},
    {38, Kind::slider, 314, 200, 334, 302, 198, 278},
    {39, Kind::slider, 334, 200, 354, 302, 198, 278},
    {40, Kind::slider, 354, 200, 374, 302, 198, 278},
    {41, Kind::slider, 374, 200, 394, 302, 198, 278},
    {42, Kind::slider, 394, 200, 414, 302, 198, 278},
    {43, Kind::slider, 414, 200, 434, 302, 198, 278},
    {44, Kind::slider, 434, 200, 454, 302, 198, 278},
    {45, Kind::slider, 454, 200, 474, 302, 198, 278},
    {46, Kind::slider, 474, 200, 494, 302, 198, 278},
    {47, Kind::slider, 514, 200, 534, 302, 198, 278},
    {48, Kind::switch2, 472, 175, 492, 195},
    {48, Kind::lampE, 493, 176, 513, 196},
    {kInputMeterTag, Kind::meter20, 542, 176, 562, 196},
    {kOutputMeterTag, Kind::meter20, 565, 176, 585, 196},
    {49, Kind::knob40, 545, 213, 585, 253},
    {50, Kind::knob40, 545, 268, 585, 308},
    {51, Kind::switch5, 595, 194, 617, 277},
    {52, Kind::slider, 654, 194, 674, 296, 192, 251},
    {kNoTag, Kind::tunerLabel, 616, 287, 662, 305},
    {kTunerTag, Kind::tunerLamp, 620, 292, 626, 301, 132},
    {kTunerTag, Kind::tunerLamp, 653, 292, 659, 301, 133},
    {kTunerTag, Kind::kickButton, 616, 286, 662, 306, 20},
    {kAboutTag, Kind::kickButton, 627, 148, 691, 169, 21},
};

// Entries of the named controls.
constexpr int kTunerLabelEntry = 66;
constexpr int kFlatLampEntry = 67;
constexpr int kSharpLampEntry = 68;
// The meters of tags 55..60, in tag order.
constexpr int kMeterEntries[6] = {8, 18, 23, 33, 60, 61};

// The bitmaps of the main page's controls, loaded in this order.
constexpr long kControlBitmaps[] = {129, 130, 134, 131, 135, 136, 137, 138, 139, 140, 132, 133};
constexpr int kNumControlBitmaps = sizeof kControlBitmaps / sizeof kControlBitmaps[0];

constexpr long kBackgroundBitmap = 128;
constexpr long kAboutBitmap = 153;
constexpr CCoord kAboutLeft = 55;
constexpr CCoord kAboutTop = 77;

bool isParameterTag(long tag) {
    return tag >= 0 && tag < kNumParams;
}

#ifdef TARVEX_RTAS
// The older generation's editor has no showGui of its own: where it would be
// called, the main page is shown alone by these three steps.
void showMainPageOnly(CFrame* frame, CViewContainer* mainPage) {
    if (frame == nullptr) return;
    frame->removeAll(false);
    frame->addView(mainPage);
    frame->setDirty(true);
}
#define TARVEX_SHOW_MAIN_PAGE() showMainPageOnly(frame, mainContainer)
#else
#define TARVEX_SHOW_MAIN_PAGE() showGui()
#endif

// The refresh runs at most once per this many clock ticks, across the process.
constexpr unsigned long kRefreshTicks = 50000;
std::atomic<unsigned long> throttle{0};

} // namespace

TunerDisplay tunerDisplay(int note, double meter, const char* text) {
    TunerDisplay display{};
    if (text == nullptr || std::strcmp(text, "--") == 0) {
        std::strcpy(display.text, "--");
        return display;
    }
    std::snprintf(display.text, sizeof display.text, "%s", text);
    // The tuner names the five black keys twice ("C# / Db"); the display
    // keeps the sharp name.
    switch (((note % 12) + 12) % 12) {
    case 2:
        std::strcpy(display.text, "C#");
        break;
    case 4:
        std::strcpy(display.text, "D#");
        break;
    case 7:
        std::strcpy(display.text, "F#");
        break;
    case 9:
        std::strcpy(display.text, "G#");
        break;
    case 11:
        std::strcpy(display.text, "A#");
        break;
    default:
        break;
    }
    if (meter < 0.45) {
        display.flat = 1.0f;
    } else if (meter > 0.55) {
        display.sharp = 1.0f;
    } else { // in tune, or no number at all
        display.flat = 1.0f;
        display.sharp = 1.0f;
    }
    return display;
}

bool takeRefreshTurn(std::atomic<unsigned long>& last, unsigned long now) {
    unsigned long seen = last.load(std::memory_order_relaxed);
    // Of several editors asking at once, one takes the turn.
    return now - seen >= kRefreshTicks &&
           last.compare_exchange_strong(seen, now, std::memory_order_relaxed);
}

EffectEditor::EffectEditor(Effect* owner) : AEffGUIEditor(owner) {
    CBitmap* background = new CBitmap(kBackgroundBitmap);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<std::int16_t>(background->getHeight());
    rect.right = static_cast<std::int16_t>(background->getWidth());
    background->forget();
    setKnobMode(kLinearMode);
}

EffectEditor::~EffectEditor() {
    if (frame != nullptr) close();
}

Effect* EffectEditor::tarvex() const {
    return static_cast<Effect*>(effect);
}

bool EffectEditor::onUserInterfaceThread() const {
    return userInterfaceThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

bool EffectEditor::open(void* ptr) {
    if (ptr == nullptr) return false; // nothing could be shown
    if (frame != nullptr && ptr == systemWindow && frame->isOpen()) return true; // already there
    return build(ptr);
}

bool EffectEditor::openOffscreen() {
    return build(nullptr);
}

bool EffectEditor::build(void* ptr) {
    // A window left in another parent goes first; its X window may already be
    // gone with that parent, which closing tolerates.
    if (frame != nullptr) close();
    AEffGUIEditor::open(ptr);

    CBitmap* background = new CBitmap(kBackgroundBitmap);
    const CRect pageSize(0, 0, background->getWidth(), background->getHeight());
    CFrame* newFrame = new CFrame(pageSize, ptr, this);
    if (!newFrame->isOpen()) {
        // No display, or a parent that is not a window.
        delete newFrame;
        background->forget();
        AEffGUIEditor::close();
        return false;
    }
    // From here on this thread runs the window. Changes marked before now are
    // shown anyway: every control is built from the effect's current values.
    userInterfaceThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    // Taken with an acquiring exchange: a value whose mark is dropped here was
    // stored before that mark, so the reads below see it.
    changed.exchange(0, std::memory_order_acq_rel);

    CBitmap* aboutBackground = new CBitmap(kAboutBitmap);
    aboutContainer =
        new CViewContainer(CRect(kAboutLeft, kAboutTop, kAboutLeft + aboutBackground->getWidth(),
                                 kAboutTop + aboutBackground->getHeight()),
                           newFrame, aboutBackground);
    // Click areas over the about picture; they have no artwork of their own.
    importButton = new CMyKickButton(CRect(268, 101, 409, 132), this, kImportTag, 31, nullptr);
    aboutContainer->addView(importButton);
    exportButton = new CMyKickButton(CRect(413, 100, 555, 133), this, kExportTag, 33, nullptr);
    aboutContainer->addView(exportButton);
    closeAboutButton = new CMyKickButton(CRect(442, 6, 532, 31), this, kCloseAboutTag, 25, nullptr);
    aboutContainer->addView(closeAboutButton);
    versionLabel = new CTextLabel(CRect(530, 72, 581, 93), "1.2", nullptr, 0);
    versionLabel->setFont(kNormalFontVeryBig);
    versionLabel->setFontColor(MakeCColor(143, 0, 0, 255));
    versionLabel->setTransparency(true);
    aboutContainer->addView(versionLabel);
    aboutBackground->forget();

    CBitmap* bitmaps[kNumControlBitmaps];
    for (int i = 0; i < kNumControlBitmaps; ++i)
        bitmaps[i] = new CBitmap(kControlBitmaps[i]);
    auto bitmap = [&](long number) {
        for (int i = 0; i < kNumControlBitmaps; ++i)
            if (kControlBitmaps[i] == number) return bitmaps[i];
        return static_cast<CBitmap*>(nullptr);
    };

    mainContainer = new CViewContainer(pageSize, newFrame, background);
    Effect* fx = tarvex();
    for (int entry = 0; entry < kNumControls; ++entry) {
        const Placement& p = layout[entry];
        const CRect size(p.left, p.top, p.right, p.bottom);
        CControl* control = nullptr;
        switch (p.kind) {
        case Kind::knob40:
            control = new CAnimKnob(size, this, p.tag, 76, 40, bitmap(130));
            break;
        case Kind::knob50:
            control = new CAnimKnob(size, this, p.tag, 76, 50, bitmap(131));
            break;
        case Kind::switch2:
            control = new CMyVerticalSwitch(size, this, p.tag, 2, 20, 2, bitmap(129));
            break;
        case Kind::switch3:
            control = new CMyVerticalSwitch(size, this, p.tag, 3, 79, 3, bitmap(134));
            break;
        case Kind::switch5:
            control = new CMyVerticalSwitch(size, this, p.tag, 5, 83, 5, bitmap(138));
            break;
        case Kind::lampA:
            control = new CMyOnOffButton(size, this, p.tag, bitmap(136), 0);
            break;
        case Kind::lampE:
            control = new CMyOnOffButton(size, this, p.tag, bitmap(137), 0);
            break;
        case Kind::slider: {
            auto* slider = new CVerticalSlider(size, this, p.tag, p.extra, p.extra2, bitmap(135),
                                               nullptr, CPoint(), kBottom);
            slider->setTransparency(true);
            control = slider;
            break;
        }
        case Kind::meter36:
            control = new CMovieBitmap(size, this, p.tag, 4, 36, bitmap(139));
            break;
        case Kind::meter20:
            control = new CMovieBitmap(size, this, p.tag, 4, 20, bitmap(140));
            break;
        case Kind::tunerLabel: {
            auto* label = new CTextLabel(size, "--", nullptr, 0);
            label->setFontColor(kRedCColor);
            label->setTransparency(true);
            label->setText(fx->isTunerOn() ? "--" : "OFF");
            control = label;
            break;
        }
        case Kind::tunerLamp:
            control = new CMovieBitmap(size, this, p.tag, 2, 9, bitmap(p.extra));
            control->setValue(0.0f);
            control->setDefaultValue(1.0f);
            break;
        case Kind::kickButton:
            control = new CMyKickButton(size, this, p.tag, p.extra, nullptr);
            break;
        }
        if (isParameterTag(p.tag) || (p.tag >= kCompressorAMeterTag && p.tag <= kOutputMeterTag)) {
            // The effect answers 0 for the meter tags, so the meters start at 0.
            control->setValue(fx->getParameter(p.tag));
            control->setDefaultValue(1.0f);
        }
        controls[entry] = control;
        mainContainer->addView(control);
    }
    for (CBitmap* b : bitmaps)
        b->forget();

    frame = newFrame;
    background->forget();

    aboutShown = false;
    TARVEX_SHOW_MAIN_PAGE();
    // The first picture, so that a host sending idle rarely still shows the window.
    frame->update();
    return true;
}

void EffectEditor::close() {
    if (frame != nullptr) {
        frame->removeAll(false);
        aboutContainer->forget();
        mainContainer->forget();
        delete frame;
        frame = nullptr;
    }
    aboutContainer = nullptr;
    mainContainer = nullptr;
    importButton = exportButton = closeAboutButton = nullptr;
    versionLabel = nullptr;
    for (CControl*& c : controls)
        c = nullptr;
    userInterfaceThread.store(std::thread::id(), std::memory_order_relaxed);
    AEffGUIEditor::close();
}

CControl* EffectEditor::getControl(int entry) const {
    return entry >= 0 && entry < kNumControls ? controls[entry] : nullptr;
}

CTextLabel* EffectEditor::getTunerLabel() const {
    return static_cast<CTextLabel*>(controls[kTunerLabelEntry]);
}

void EffectEditor::showParameter(int index) {
    const float value = tarvex()->getParameter(index);
    for (int entry = 0; entry < kNumControls; ++entry)
        if (layout[entry].tag == index && controls[entry] != nullptr)
            controls[entry]->setValue(value);
}

void EffectEditor::showMarkedParameters() {
    std::uint64_t bits = changed.exchange(0, std::memory_order_acq_rel);
    while (bits != 0) {
        const int index = std::countr_zero(bits);
        bits &= bits - 1;
        showParameter(index);
    }
}

void EffectEditor::setParameter(VstInt32 index, float /*value*/) {
    if (!isParameterTag(index)) return;
    // The value argument is not used: the controls show what the effect stored.
    if (onUserInterfaceThread()) {
        if (frame != nullptr) showParameter(index);
    } else {
        changed.fetch_or(std::uint64_t{1} << index, std::memory_order_release);
    }
}

void EffectEditor::idle() {
    // Checked before anything else is read: on another thread the window may
    // be closing meanwhile.
    if (!onUserInterfaceThread() || frame == nullptr) return;
    showMarkedParameters();
    if (!aboutShown && takeRefreshTurn(throttle, static_cast<unsigned long>(std::clock())))
        refreshIndicators();
    AEffGUIEditor::idle();
}

void EffectEditor::refreshIndicators() {
    Effect* fx = tarvex();
    if (fx->isTunerOn()) {
        int note = 0;
        double meter = 0.0;
        char text[256] = {};
        fx->tuner.GetReading(&note, &meter, text);
        const TunerDisplay display = tunerDisplay(note, meter, text);
        CControl* label = controls[kTunerLabelEntry];
        CControl* flat = controls[kFlatLampEntry];
        CControl* sharp = controls[kSharpLampEntry];
        if (label != nullptr) {
            static_cast<CTextLabel*>(label)->setText(display.text);
            label->setDirty(true);
        }
        if (flat != nullptr) {
            flat->setValue(display.flat);
            flat->setDirty(true);
        }
        if (sharp != nullptr) {
            sharp->setValue(display.sharp);
            sharp->setDirty(true);
        }
    }
    for (int k = 1; k <= 6; ++k) {
        CControl* meter = controls[kMeterEntries[k - 1]];
        if (meter == nullptr) continue;
        meter->setValue(static_cast<float>(fx->VUState(k)));
        meter->setDirty(true);
    }
}

#ifdef TARVEX_RTAS
void EffectEditor::valueChanged(CDrawContext* /*context*/, CControl* control) {
#else
void EffectEditor::valueChanged(CControl* control) {
#endif
    if (control == nullptr || frame == nullptr) return;
    const long tag = control->getTag();
    Effect* fx = tarvex();
    switch (tag) {
    case kTunerTag: {
        const bool wasOn = fx->isTunerOn();
        fx->setTunerOn(!wasOn);
        if (wasOn) {
            getTunerLabel()->setText("OFF");
            controls[kFlatLampEntry]->setValue(0.0f);
            controls[kSharpLampEntry]->setValue(0.0f);
        }
        control->setDirty(true);
        frame->setDirty(true);
        break;
    }
    case kAboutTag:
        showAbout();
        break;
    case kImportTag: {
        char path[kPresetPathSize];
        if (SelectXMLFile(effect, true, "Import Preset", "~/Desktop/", path)) importAsEdit(path);
        aboutShown = false;
        TARVEX_SHOW_MAIN_PAGE();
        break;
    }
    case kExportTag: {
        char path[kPresetPathSize];
        if (SelectXMLFile(effect, false, "Export Preset", "~/Desktop/", path) &&
            presetExportPath(path, sizeof path))
            exportPreset(path, fx);
        aboutShown = false;
        TARVEX_SHOW_MAIN_PAGE();
        break;
    }
    case kCloseAboutTag:
        aboutShown = false;
        TARVEX_SHOW_MAIN_PAGE();
        break;
    default:
        if (!isParameterTag(tag)) break;
        effect->setParameterAutomated(tag, control->getValue());
        control->setDirty(true);
        frame->setDirty(true);
        break;
    }
}

void EffectEditor::importAsEdit(const char* path) {
    Effect* fx = tarvex();
    float before[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        before[i] = fx->getParameter(i);
    importPreset(path, fx);
    // The host hears each changed value as a drag's gesture (begin, automate,
    // end), so its view follows and automation writing records it; sent
    // after the import, whose lock a host's answer must not meet.
    for (int i = 0; i < kNumParams; ++i) {
        const float value = fx->getParameter(i);
        if (value == before[i]) continue;
        beginEdit(i);
        effect->setParameterAutomated(i, value);
        endEdit(i);
    }
}

#ifdef TARVEX_RTAS
void EffectEditor::__drawDeprecated(ERect* area) {
    if (frame == nullptr) return;
    if (area == nullptr) {
        frame->draw();
        return;
    }
    const CRect region(area->left, area->top, area->right, area->bottom);
    CDrawContext context(frame, nullptr, systemWindow);
    frame->drawRect(&context, region);
}
#else
void EffectEditor::showGui() {
    if (frame == nullptr) return;
    frame->removeAll(false);
    frame->addView(mainContainer);
    frame->setDirty(true);
}
#endif

void EffectEditor::showAbout() {
    if (frame == nullptr) return;
    frame->removeAll(false);
    frame->addView(mainContainer);
    frame->addView(aboutContainer);
    frame->setDirty(true);
    aboutShown = true;
}

// The effect's window in plug-in modules (the seam in source/effect.h). Kept
// in this file so that linking the editor's code always brings the
// definitions that override the weak defaults.
AEffGUIEditor* createEffectEditor(Effect* effect) {
    return new EffectEditor(effect);
}

void editorParameterChanged(AEffGUIEditor* editor, VstInt32 index, float value) {
    editor->setParameter(index, value);
}
