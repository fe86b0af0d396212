#include "editor/effect_editor.h"

#include "editor/select_xml_file.h"
#include "source/effect.h"
#include "source/import_export.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

using layout::Kind;

// Entries of the named controls, found in the layout by kind and tag.
constexpr int kTunerLabelEntry = layout::findControl(Kind::tunerLabel, kNoTag);
constexpr int kFlatLampEntry =
    layout::findControl(Kind::tunerLamp, kTunerTag, layout::kFlatLampBitmap);
constexpr int kSharpLampEntry =
    layout::findControl(Kind::tunerLamp, kTunerTag, layout::kSharpLampBitmap);
// The meters' entries, each with the indicator it shows.
struct MeterEntry {
    int entry;
    int indicator;
};
constexpr MeterEntry kMeterEntries[] = {
    {layout::findControl(Kind::meter, kCompressorAMeterTag), Effect::kCompressorAIndicator},
    {layout::findControl(Kind::meter, kLimiterAMeterTag), Effect::kLimiterAIndicator},
    {layout::findControl(Kind::meter, kCompressorBMeterTag), Effect::kCompressorBIndicator},
    {layout::findControl(Kind::meter, kLimiterBMeterTag), Effect::kLimiterBIndicator},
    {layout::findControl(Kind::meter, kInputMeterTag), Effect::kInputIndicator},
    {layout::findControl(Kind::meter, kOutputMeterTag), Effect::kOutputIndicator},
};
static_assert(kTunerLabelEntry >= 0 && kFlatLampEntry >= 0 && kSharpLampEntry >= 0);
static_assert(std::ranges::none_of(kMeterEntries, [](MeterEntry m) { return m.entry < 0; }));

// The bitmaps of the main page's controls, loaded in this order.
constexpr long kControlBitmaps[] = {
    layout::kToggleBitmap,     layout::kSmallKnobBitmap,       layout::kChannelSelectorBitmap,
    layout::kLargeKnobBitmap,  layout::kSliderHandleBitmap,    layout::kChannelLampBitmap,
    layout::kEffectLampBitmap, layout::kCabinetSelectorBitmap, layout::kTallMeterBitmap,
    layout::kRoundMeterBitmap, layout::kFlatLampBitmap,        layout::kSharpLampBitmap,
};
constexpr int kNumControlBitmaps = sizeof kControlBitmaps / sizeof kControlBitmaps[0];

using layout::kAboutBitmap, layout::kAboutLeft, layout::kAboutTop, layout::kBackgroundBitmap;

CRect toCRect(const layout::Rect& r) {
    return CRect(r.left, r.top, r.right, r.bottom);
}

bool isParameterTag(long tag) {
    return tag >= 0 && tag < kNumParams;
}

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

Effect* EffectEditor::plugin() const {
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
    importButton = new CMyKickButton(toCRect(layout::kImportButton), this, kImportTag,
                                     layout::kImportButton.height(), nullptr);
    aboutContainer->addView(importButton);
    exportButton = new CMyKickButton(toCRect(layout::kExportButton), this, kExportTag,
                                     layout::kExportButton.height(), nullptr);
    aboutContainer->addView(exportButton);
    closeAboutButton = new CMyKickButton(toCRect(layout::kCloseAboutButton), this, kCloseAboutTag,
                                         layout::kCloseAboutButton.height(), nullptr);
    aboutContainer->addView(closeAboutButton);
    versionLabel = new CTextLabel(toCRect(layout::kVersionLabel), "1.2", nullptr, 0);
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
    Effect* fx = plugin();
    for (int entry = 0; entry < kNumControls; ++entry) {
        const layout::Control& p = layout::kControls[entry];
        const CRect size = toCRect(p.rect);
        // Every control with a bitmap has its strip (checked in the layout).
        const layout::Strip* strip = layout::findStrip(p.bitmap);
        CControl* control = nullptr;
        switch (p.kind) {
        case Kind::knob:
            control = new CAnimKnob(size, this, p.tag, strip->frames, strip->frameHeight,
                                    bitmap(p.bitmap));
            break;
        case Kind::verticalSwitch: // one frame per position
            control = new CMyVerticalSwitch(size, this, p.tag, strip->frames, strip->frameHeight,
                                            strip->frames, bitmap(p.bitmap));
            break;
        case Kind::lampButton:
            control = new CMyOnOffButton(size, this, p.tag, bitmap(p.bitmap), 0);
            break;
        case Kind::slider: {
            auto* slider = new CVerticalSlider(size, this, p.tag, p.handle.top, p.handle.bottom,
                                               bitmap(p.bitmap), nullptr, CPoint(), kBottom);
            slider->setTransparency(true);
            control = slider;
            break;
        }
        case Kind::meter:
            control = new CMovieBitmap(size, this, p.tag, strip->frames, strip->frameHeight,
                                       bitmap(p.bitmap));
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
            control = new CMovieBitmap(size, this, p.tag, strip->frames, strip->frameHeight,
                                       bitmap(p.bitmap));
            control->setValue(0.0f);
            control->setDefaultValue(1.0f);
            break;
        case Kind::kickButton: // a click area: its one image is the area itself
            control = new CMyKickButton(size, this, p.tag, p.rect.height(), nullptr);
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
    showMainPage();
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
    const float value = plugin()->getParameter(index);
    for (int entry = 0; entry < kNumControls; ++entry)
        if (layout::kControls[entry].tag == index && controls[entry] != nullptr)
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
    Effect* fx = plugin();
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
    for (const MeterEntry& m : kMeterEntries) {
        CControl* meter = controls[m.entry];
        if (meter == nullptr) continue;
        meter->setValue(static_cast<float>(fx->VUState(m.indicator)));
        meter->setDirty(true);
    }
}

void EffectEditor::controlChanged(CControl* control) {
    if (control == nullptr || frame == nullptr) return;
    const long tag = control->getTag();
    Effect* fx = plugin();
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
        showMainPage();
        break;
    }
    case kExportTag: {
        char path[kPresetPathSize];
        if (SelectXMLFile(effect, false, "Export Preset", "~/Desktop/", path) &&
            presetExportPath(path, sizeof path))
            exportPreset(path, fx);
        aboutShown = false;
        showMainPage();
        break;
    }
    case kCloseAboutTag:
        aboutShown = false;
        showMainPage();
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
    Effect* fx = plugin();
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

void EffectEditor::showMainPage() {
    if (frame == nullptr) return;
    frame->removeAll(false);
    frame->addView(mainContainer);
    frame->setDirty(true);
}

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
