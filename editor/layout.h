// The editor's layout, written once: the bitmaps and the geometry of their
// strips, the main page's 71 controls (tag, kind, rectangle, bitmap) and the
// about screen's click areas. The editor builds its window from it and the
// artwork generator draws the face, its legends and the strips from it, so a
// moved control moves its legend and a strip is cut as it was drawn. Plain
// data, free of the toolkit, cairo and xcb.
#pragma once

#include "amp/tarvex_parameters.h"

// Control tags: a parameter's controls carry its index (Param); the editor's
// own controls carry these, beyond the parameters'.
enum : long {
    kNoTag = -1, // the tuner label, which sends nothing
    kTunerTag = 54,
    kCompressorAMeterTag = 55,
    kLimiterAMeterTag = 56,
    kCompressorBMeterTag = 57,
    kLimiterBMeterTag = 58,
    kInputMeterTag = 59,
    kOutputMeterTag = 60,
    kAboutTag = 74,
    kImportTag = 75,
    kExportTag = 76,
    kCloseAboutTag = 77,
};
static_assert(kTunerTag >= long{Param::count});

namespace layout {

// Left, top, right and bottom, in pixels of the page (or screen) holding it.
struct Rect {
    int left, top, right, bottom;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr Rect shifted(int dx, int dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    constexpr bool operator==(const Rect&) const = default;
};

// The bitmaps, by resource number (the artwork's files bmpNNNNN.png).
enum : long {
    kNoBitmap = 0,
    kBackgroundBitmap = 128,      // the main page's background
    kToggleBitmap = 129,          // two-position switches
    kSmallKnobBitmap = 130,       // 40 px knobs
    kLargeKnobBitmap = 131,       // 50 px knobs
    kFlatLampBitmap = 132,        // the tuner's flat lamp
    kSharpLampBitmap = 133,       // the tuner's sharp lamp
    kChannelSelectorBitmap = 134, // the three-position channel selector
    kSliderHandleBitmap = 135,    // every slider's handle
    kChannelLampBitmap = 136,     // lamp buttons of the two channel strips
    kEffectLampBitmap = 137,      // lamp buttons of chorus, reverb and equaliser
    kCabinetSelectorBitmap = 138, // the five-position cabinet selector
    kTallMeterBitmap = 139,       // the channels' compressor and limiter meters
    kRoundMeterBitmap = 140,      // the input and output meters
    kAboutBitmap = 153,           // the about screen
};

constexpr int kFaceWidth = 701;
constexpr int kFaceHeight = 336;
constexpr int kAboutWidth = 591;
constexpr int kAboutHeight = 182;

// A control's bitmap: `frames` images of `width` x `frameHeight` stacked top
// to bottom. A switch has one frame per position, frame 0 picturing the bottom.
struct Strip {
    long bitmap;
    int width;
    int frameHeight;
    int frames;
    constexpr int height() const { return frameHeight * frames; }
};

constexpr int kKnobFrames = 76; // the pointer's sweep, value 0 to 1
constexpr int kMeterFrames = 4; // dark and three levels
constexpr int kLampFrames = 2;  // off above on
constexpr int kTogglePositions = 2;
constexpr int kChannelPositions = kChannelSelectChoices;
constexpr int kCabinetPositions = kCabinetChoices;

constexpr Strip kToggleStrip{kToggleBitmap, 20, 20, kTogglePositions};
constexpr Strip kSmallKnobStrip{kSmallKnobBitmap, 40, 40, kKnobFrames};
constexpr Strip kLargeKnobStrip{kLargeKnobBitmap, 50, 50, kKnobFrames};
constexpr Strip kFlatLampStrip{kFlatLampBitmap, 6, 9, kLampFrames};
constexpr Strip kSharpLampStrip{kSharpLampBitmap, 6, 9, kLampFrames};
constexpr Strip kChannelSelectorStrip{kChannelSelectorBitmap, 35, 79, kChannelPositions};
constexpr Strip kSliderHandleStrip{kSliderHandleBitmap, 20, 20, 1};
constexpr Strip kChannelLampStrip{kChannelLampBitmap, 20, 20, kLampFrames};
constexpr Strip kEffectLampStrip{kEffectLampBitmap, 20, 20, kLampFrames};
constexpr Strip kCabinetSelectorStrip{kCabinetSelectorBitmap, 22, 83, kCabinetPositions};
constexpr Strip kTallMeterStrip{kTallMeterBitmap, 12, 36, kMeterFrames};
constexpr Strip kRoundMeterStrip{kRoundMeterBitmap, 20, 20, kMeterFrames};

inline constexpr Strip kStrips[] = {
    kToggleStrip,     kSmallKnobStrip,       kLargeKnobStrip,    kFlatLampStrip,
    kSharpLampStrip,  kChannelSelectorStrip, kSliderHandleStrip, kChannelLampStrip,
    kEffectLampStrip, kCabinetSelectorStrip, kTallMeterStrip,    kRoundMeterStrip,
};

// The strip of `bitmap`, or null for a bitmap that is no control's.
constexpr const Strip* findStrip(long bitmap) {
    for (const Strip& s : kStrips)
        if (s.bitmap == bitmap) return &s;
    return nullptr;
}

enum class Kind {
    knob,           // CAnimKnob over a knob strip
    verticalSwitch, // CMyVerticalSwitch, one frame per position
    lampButton,     // CMyOnOffButton beside an on/off switch
    slider,         // CVerticalSlider with the handle bitmap
    meter,          // CMovieBitmap showing one of the six indicators
    tunerLabel,     // CTextLabel with the note name
    tunerLamp,      // CMovieBitmap of the flat or the sharp lamp
    kickButton,     // CMyKickButton, a click area without artwork
};

// Where a slider's handle top stands at the top and at the bottom of its
// travel, in the page's space.
struct HandleTravel {
    int top = 0;
    int bottom = 0;
};

struct Control {
    long tag;
    Kind kind;
    Rect rect;
    long bitmap = kNoBitmap;
    HandleTravel handle = {};
};

constexpr int kNumControls = 71;

// Channel B's strip repeats channel A's kChannelBOffset px lower, its
// parameters' tags kChannelTagStep higher (and its own meters in place of
// channel A's).
constexpr int kChannelBOffset = 61;
constexpr long kChannelTagStep = kChannelParameterStep;

// The main page in creation order; the editor's control entries are indices
// into it. The chorus and reverb knobs stand 55 px apart; the twelve band
// sliders 20 px apart from x 254, the level slider 40 px after the last.
inline constexpr Control kControls[kNumControls] = {
    {Param::crossover_frequency, Kind::knob, {29, 40, 69, 80}, kSmallKnobBitmap},
    {Param::mode, Kind::verticalSwitch, {18, 89, 38, 109}, kToggleBitmap},
    {Param::invertB_enable, Kind::verticalSwitch, {18, 119, 38, 139}, kToggleBitmap},
    {Param::channel_select, Kind::verticalSwitch, {79, 40, 114, 119}, kChannelSelectorBitmap},
    {Param::compressorA_enable, Kind::verticalSwitch, {130, 52, 150, 72}, kToggleBitmap},
    {Param::compressorA_enable, Kind::lampButton, {130, 32, 150, 52}, kChannelLampBitmap},
    {Param::compressorA_amount, Kind::knob, {152, 22, 202, 72}, kLargeKnobBitmap},
    {Param::compressorA_attack, Kind::knob, {202, 27, 242, 67}, kSmallKnobBitmap},
    {kCompressorAMeterTag, Kind::meter, {243, 31, 255, 67}, kTallMeterBitmap},
    {Param::gainA, Kind::knob, {267, 22, 317, 72}, kLargeKnobBitmap},
    {Param::boostA_enable, Kind::verticalSwitch, {317, 52, 337, 72}, kToggleBitmap},
    {Param::boostA_enable, Kind::lampButton, {317, 32, 337, 52}, kChannelLampBitmap},
    {Param::bassA, Kind::knob, {337, 22, 387, 72}, kLargeKnobBitmap},
    {Param::midsA, Kind::knob, {387, 22, 437, 72}, kLargeKnobBitmap},
    {Param::midsA_frequency, Kind::knob, {437, 27, 477, 67}, kSmallKnobBitmap},
    {Param::trebleA, Kind::knob, {477, 22, 527, 72}, kLargeKnobBitmap},
    {Param::driveA, Kind::knob, {532, 22, 582, 72}, kLargeKnobBitmap},
    {Param::clippingA, Kind::knob, {582, 27, 622, 67}, kSmallKnobBitmap},
    {kLimiterAMeterTag, Kind::meter, {623, 31, 635, 67}, kTallMeterBitmap},
    {Param::compressorB_enable, Kind::verticalSwitch, {130, 113, 150, 133}, kToggleBitmap},
    {Param::compressorB_enable, Kind::lampButton, {130, 93, 150, 113}, kChannelLampBitmap},
    {Param::compressorB_amount, Kind::knob, {152, 83, 202, 133}, kLargeKnobBitmap},
    {Param::compressorB_attack, Kind::knob, {202, 88, 242, 128}, kSmallKnobBitmap},
    {kCompressorBMeterTag, Kind::meter, {243, 92, 255, 128}, kTallMeterBitmap},
    {Param::gainB, Kind::knob, {267, 83, 317, 133}, kLargeKnobBitmap},
    {Param::boostB_enable, Kind::verticalSwitch, {317, 113, 337, 133}, kToggleBitmap},
    {Param::boostB_enable, Kind::lampButton, {317, 93, 337, 113}, kChannelLampBitmap},
    {Param::bassB, Kind::knob, {337, 83, 387, 133}, kLargeKnobBitmap},
    {Param::midsB, Kind::knob, {387, 83, 437, 133}, kLargeKnobBitmap},
    {Param::midsB_frequency, Kind::knob, {437, 88, 477, 128}, kSmallKnobBitmap},
    {Param::trebleB, Kind::knob, {477, 83, 527, 133}, kLargeKnobBitmap},
    {Param::driveB, Kind::knob, {532, 83, 582, 133}, kLargeKnobBitmap},
    {Param::clippingB, Kind::knob, {582, 88, 622, 128}, kSmallKnobBitmap},
    {kLimiterBMeterTag, Kind::meter, {623, 92, 635, 128}, kTallMeterBitmap},
    {Param::mixAB, Kind::slider, {655, 34, 675, 136}, kSliderHandleBitmap, {31, 112}},
    {Param::chorus_enable, Kind::verticalSwitch, {32, 232, 52, 252}, kToggleBitmap},
    {Param::chorus_enable, Kind::lampButton, {56, 233, 76, 253}, kEffectLampBitmap},
    {Param::chorus_level, Kind::knob, {88, 213, 128, 253}, kSmallKnobBitmap},
    {Param::chorus_speed, Kind::knob, {143, 213, 183, 253}, kSmallKnobBitmap},
    {Param::chorus_cutoff, Kind::knob, {198, 213, 238, 253}, kSmallKnobBitmap},
    {Param::reverb_enable, Kind::verticalSwitch, {32, 287, 52, 307}, kToggleBitmap},
    {Param::reverb_enable, Kind::lampButton, {56, 288, 76, 308}, kEffectLampBitmap},
    {Param::reverb_level, Kind::knob, {88, 268, 128, 308}, kSmallKnobBitmap},
    {Param::reverb_decay, Kind::knob, {143, 268, 183, 308}, kSmallKnobBitmap},
    {Param::reverb_damping, Kind::knob, {198, 268, 238, 308}, kSmallKnobBitmap},
    {Param::eq_band1, Kind::slider, {254, 200, 274, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band2, Kind::slider, {274, 200, 294, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band3, Kind::slider, {294, 200, 314, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band4, Kind::slider, {314, 200, 334, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band5, Kind::slider, {334, 200, 354, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band6, Kind::slider, {354, 200, 374, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band7, Kind::slider, {374, 200, 394, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band8, Kind::slider, {394, 200, 414, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band9, Kind::slider, {414, 200, 434, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band10, Kind::slider, {434, 200, 454, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band11, Kind::slider, {454, 200, 474, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_band12, Kind::slider, {474, 200, 494, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_level, Kind::slider, {514, 200, 534, 302}, kSliderHandleBitmap, {198, 278}},
    {Param::eq_enable, Kind::verticalSwitch, {472, 175, 492, 195}, kToggleBitmap},
    {Param::eq_enable, Kind::lampButton, {493, 176, 513, 196}, kEffectLampBitmap},
    {kInputMeterTag, Kind::meter, {542, 176, 562, 196}, kRoundMeterBitmap},
    {kOutputMeterTag, Kind::meter, {565, 176, 585, 196}, kRoundMeterBitmap},
    {Param::bright, Kind::knob, {545, 213, 585, 253}, kSmallKnobBitmap},
    {Param::deep, Kind::knob, {545, 268, 585, 308}, kSmallKnobBitmap},
    {Param::cabinet, Kind::verticalSwitch, {595, 194, 617, 277}, kCabinetSelectorBitmap},
    {Param::master_volume, Kind::slider, {654, 194, 674, 296}, kSliderHandleBitmap, {192, 251}},
    {kNoTag, Kind::tunerLabel, {616, 287, 662, 305}},
    {kTunerTag, Kind::tunerLamp, {620, 292, 626, 301}, kFlatLampBitmap},
    {kTunerTag, Kind::tunerLamp, {653, 292, 659, 301}, kSharpLampBitmap},
    {kTunerTag, Kind::kickButton, {616, 286, 662, 306}}, // covers the tuner's label and lamps
    {kAboutTag, Kind::kickButton, {627, 148, 691, 169}},
};

// The entry of the control of `kind` with `tag` (and `bitmap`, where given),
// or -1.
constexpr int findControl(Kind kind, long tag, long bitmap = kNoBitmap) {
    for (int entry = 0; entry < kNumControls; ++entry) {
        const Control& c = kControls[entry];
        if (c.kind == kind && c.tag == tag && (bitmap == kNoBitmap || c.bitmap == bitmap))
            return entry;
    }
    return -1;
}

// Every control with a bitmap is cut from a strip of the list above.
// (Compared by number: sanitizer builds refuse pointer tests here.)
constexpr bool everyBitmapHasAStrip() {
    for (const Control& c : kControls) {
        bool found = c.bitmap == kNoBitmap;
        for (const Strip& s : kStrips)
            found = found || s.bitmap == c.bitmap;
        if (!found) return false;
    }
    return true;
}
static_assert(everyBitmapHasAStrip());

// Every parameter has a control on the page.
constexpr bool everyParameterHasAControl() {
    for (long tag = 0; tag < Param::count; ++tag) {
        bool found = false;
        for (const Control& c : kControls)
            found = found || c.tag == tag;
        if (!found) return false;
    }
    return true;
}
static_assert(everyParameterHasAControl());

// The about screen, laid over the main page at (kAboutLeft, kAboutTop); its
// buttons are click areas over its picture.
constexpr int kAboutLeft = 55;
constexpr int kAboutTop = 77;
constexpr Rect kImportButton{268, 101, 409, 132};
constexpr Rect kExportButton{413, 100, 555, 133};
constexpr Rect kCloseAboutButton{442, 6, 532, 31};
constexpr Rect kVersionLabel{530, 72, 581, 93};

} // namespace layout
