// The editor on an off-screen frame: what open shows, how clicks reach the
// effect and the host, the tuner display, the idle refresh and the preset
// buttons. Clicks go through the frame's own mouse entries, the path a real
// window's events take.
#include "editor/effect_editor.h"
#include "editor/select_xml_file.h"
#include "source/effect.h"
#include "source/import_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    float value;
    bool operator==(const HostCall&) const = default;
};

std::vector<HostCall>* hostCalls = nullptr;
// As an older host did: the display update answered by the editor's idle at
// once, on the thread that asked.
bool idleOnDisplayUpdate = false;

VstIntPtr recordingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                        float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterUpdateDisplay && idleOnDisplayUpdate)
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    if (hostCalls != nullptr && (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit ||
                                 opcode == audioMasterEndEdit))
        hostCalls->push_back({opcode, index, opt});
    return 0;
}

// Frame coordinates of a point inside main-page control `entry`.
CPoint centreOf(const CControl* control) {
    const CRect r = control->getFrameRect();
    return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Spends process time until the refresh throttle lets the next idle through.
void burnRefreshTicks() {
    const std::clock_t start = std::clock();
    volatile double sink = 0.0;
    while (static_cast<unsigned long>(std::clock() - start) < 60000UL)
        for (int i = 0; i < 10000; ++i)
            sink = sink + std::sqrt(static_cast<double>(i));
}

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "/tarvex-editor-" + std::to_string(getpid()) + "-" + name;
}

bool fileExists(const std::string& path) {
    return std::ifstream(path).good();
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls = &calls;
        effect = std::make_unique<Effect>(recordingHost);
        editor = static_cast<EffectEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override {
        CNewFileSelector::setDialogRunner({});
        effect.reset();
        hostCalls = nullptr;
    }

    void open() { ASSERT_TRUE(editor->openOffscreen()); }
    CFrame* frame() { return editor->getFrame(); }
    CControl* control(int entry) { return editor->getControl(entry); }
    void click(CPoint where, long buttons = kLButton) {
        frame()->platformMouseDown(where, buttons);
        frame()->platformMouseUp(where, buttons);
    }
    // Every control bound to a parameter shows the effect's value of it.
    void expectControlsShowEffect() {
        for (int entry = 0; entry < EffectEditor::kNumControls; ++entry) {
            const long tag = control(entry)->getTag();
            if (entry == 66 || tag < 0 || tag >= kNumParams) continue; // 66: the tuner label
            EXPECT_FLOAT_EQ(control(entry)->getValue(), effect->getParameter(tag))
                << "control " << entry << " tag " << tag;
        }
    }
    void feedLoudBlock() {
        std::vector<float> in(1024), out0(1024), out1(1024);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = 0.9f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        for (int b = 0; b < 20; ++b)
            effect->processReplacing(inputs, outputs, 1024);
    }

    std::vector<HostCall> calls;
    std::unique_ptr<Effect> effect;
    EffectEditor* editor = nullptr;
};

TEST_F(EditorTest, EffectCarriesTheEditorAndItsSizeBeforeOpen) {
    EXPECT_EQ(effect->getAeffect()->flags, 0x19);
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 336);
    EXPECT_EQ(rect->right, 701);
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(EditorTest, OpenShowsTheEffectsValuesOnTheMainPageAlone) {
    effect->setProgram(5);
    effect->setParameter(27, 1.0f); // chorus on: its switch and lamp must both show it
    effect->setTunerOn(true);
    open();
    expectControlsShowEffect();
    EXPECT_FLOAT_EQ(control(35)->getValue(), 1.0f);
    EXPECT_FLOAT_EQ(control(36)->getValue(), 1.0f);
    // Every parameter has a control; the on/off ones a switch and a lamp.
    int perTag[kNumParams] = {};
    for (int entry = 0; entry < 66; ++entry) {
        const long tag = control(entry)->getTag();
        if (tag >= 0 && tag < kNumParams) ++perTag[tag];
    }
    for (int tag = 0; tag < kNumParams; ++tag) {
        const bool pair =
            tag == 4 || tag == 8 || tag == 15 || tag == 19 || tag == 27 || tag == 31 || tag == 48;
        EXPECT_EQ(perTag[tag], pair ? 2 : 1) << "tag " << tag;
    }
    for (int entry : {8, 18, 23, 33, 60, 61, 67, 68})
        EXPECT_EQ(control(entry)->getValue(), 0.0f) << "entry " << entry;
    EXPECT_STREQ(editor->getTunerLabel()->getText(), "--");
    EXPECT_EQ(frame()->getNbViews(), 1);
    EXPECT_TRUE(frame()->isChild(editor->getMainContainer()));
    EXPECT_FALSE(frame()->isChild(editor->getAboutContainer()));
    editor->close();
    effect->setTunerOn(false);
    open();
    EXPECT_STREQ(editor->getTunerLabel()->getText(), "OFF");
}

TEST_F(EditorTest, ReopeningDrawsTheSameWindowWithFreshValues) {
    auto picture = [&] {
        frame()->redraw();
        cairo_surface_t* s = frame()->getSurface();
        cairo_surface_flush(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        return std::vector<unsigned char>(data, data + cairo_image_surface_get_stride(s) *
                                                           cairo_image_surface_get_height(s));
    };
    open();
    const auto first = picture();
    editor->close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    open();
    EXPECT_EQ(picture(), first);
    editor->close();
    effect->setParameter(9, 0.1f);
    open();
    EXPECT_FLOAT_EQ(control(12)->getValue(), 0.1f); // BassA knob
    EXPECT_NE(picture(), first);
}

TEST_F(EditorTest, LampClickSetsTheParameterTellsTheHostAndMovesItsTwin) {
    open();
    const float before = effect->getParameter(4);
    click(centreOf(control(5))); // the CompA lamp
    const float after = 1.0f - std::round(before);
    EXPECT_FLOAT_EQ(effect->getParameter(4), after);
    EXPECT_FLOAT_EQ(control(4)->getValue(), after); // the CompA switch follows at once
    const std::vector<HostCall> expected = {{audioMasterBeginEdit, 4, 0.0f},
                                            {audioMasterAutomate, 4, after},
                                            {audioMasterEndEdit, 4, 0.0f}};
    EXPECT_EQ(calls, expected);
}

TEST_F(EditorTest, ControlClickSetsKnobsSlidersAndSwitchesToTheTop) {
    open();
    for (int entry : {0, 45, 1, 64}) { // Crossove knob, EQ1 slider, Mode switch, Cabinet switch
        const long tag = control(entry)->getTag();
        effect->setParameter(tag, 0.0f);
        frame()->update(); // drawn, as at the host's next idle
        calls.clear();
        click(centreOf(control(entry)), kLButton | kControl);
        EXPECT_FLOAT_EQ(effect->getParameter(tag), 1.0f) << "entry " << entry;
        EXPECT_EQ(std::count(calls.begin(), calls.end(),
                             HostCall{audioMasterAutomate, static_cast<VstInt32>(tag), 1.0f}),
                  1)
            << "entry " << entry;
    }
}

TEST_F(EditorTest, SwitchesReadTopAsOneAndSwallowOtherButtons) {
    open();
    CControl* mode = control(1); // a two-position switch at (18, 89)
    click(CPoint(28, 91));
    EXPECT_FLOAT_EQ(effect->getParameter(0), 1.0f);
    click(CPoint(28, 107));
    EXPECT_FLOAT_EQ(effect->getParameter(0), 0.0f);
    frame()->update(); // drawn: the same half again is no change
    calls.clear();
    click(CPoint(28, 107));
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const HostCall& c) { return c.opcode == audioMasterAutomate; }),
              0);
    // Moved by the host and not yet redrawn, the switch still reports a
    // click back to the position it was last drawn in.
    click(CPoint(28, 91));
    frame()->update();
    effect->setParameter(0, 0.0f);
    click(CPoint(28, 91));
    EXPECT_FLOAT_EQ(effect->getParameter(0), 1.0f);
    click(CPoint(28, 107));
    // The five-position cabinet selector: bands of 83/5 px from the top.
    CControl* cabinet = control(64);
    const CRect r = cabinet->getFrameRect();
    for (int band = 0; band < 5; ++band) {
        click(CPoint(r.left + 5, r.top + static_cast<CCoord>(band * 83 / 5.0 + 2)));
        EXPECT_FLOAT_EQ(cabinet->getValue(), 1.0f - 0.25f * static_cast<float>(band));
    }
    // Right button alone, or a disabled control: nothing happens at all.
    calls.clear();
    frame()->platformMouseDown(CPoint(28, 91), 1);
    frame()->platformMouseUp(CPoint(28, 91), 1);
    mode->setMouseEnabled(false);
    click(CPoint(28, 91));
    EXPECT_TRUE(calls.empty());
    EXPECT_FLOAT_EQ(effect->getParameter(0), 0.0f);
    EXPECT_FALSE(frame()->isTrackingMouse());
}

TEST_F(EditorTest, TunerButtonTwiceTurnsTheDisplayOffAtOnce) {
    open();
    const CPoint tuner = centreOf(control(69));
    click(tuner);
    EXPECT_TRUE(effect->isTunerOn());
    EXPECT_STREQ(editor->getTunerLabel()->getText(), "OFF"); // unchanged until a refresh
    control(67)->setValue(1.0f);
    control(68)->setValue(1.0f);
    editor->getTunerLabel()->setText("E");
    // Pressed, dragged off and released elsewhere: still exactly one toggle.
    frame()->platformMouseDown(tuner, kLButton);
    frame()->platformMouseMoved(CPoint(10, 10), kLButton);
    frame()->platformMouseUp(CPoint(10, 10), kLButton);
    EXPECT_FALSE(effect->isTunerOn());
    EXPECT_STREQ(editor->getTunerLabel()->getText(), "OFF");
    EXPECT_EQ(control(67)->getValue(), 0.0f);
    EXPECT_EQ(control(68)->getValue(), 0.0f);
    // Kick buttons send their editor-only tag around the press, no automation.
    const std::vector<HostCall> expected = {{audioMasterBeginEdit, kTunerTag, 0.0f},
                                            {audioMasterEndEdit, kTunerTag, 0.0f}};
    EXPECT_EQ(std::vector<HostCall>(calls.begin(), calls.begin() + 2), expected);
    EXPECT_EQ(calls.size(), 4u);
}

TEST(TunerDisplayTest, SharpNamesAndLampsAtTheLimits) {
    EXPECT_STREQ(tunerDisplay(14, 0.5, "C# / Db").text, "C#");
    EXPECT_STREQ(tunerDisplay(13, 0.5, "C").text, "C");
    EXPECT_STREQ(tunerDisplay(23, 0.5, "A# / Bb").text, "A#");
    auto lamps = [](double meter) {
        const TunerDisplay d = tunerDisplay(9, meter, "G# / Ab");
        return std::pair(d.flat, d.sharp);
    };
    EXPECT_EQ(lamps(0.45), std::pair(1.0f, 1.0f));
    EXPECT_EQ(lamps(0.55), std::pair(1.0f, 1.0f));
    EXPECT_EQ(lamps(std::nextafter(0.45, 0.0)), std::pair(1.0f, 0.0f));
    EXPECT_EQ(lamps(std::nextafter(0.55, 1.0)), std::pair(0.0f, 1.0f));
    EXPECT_EQ(lamps(std::nan("")), std::pair(1.0f, 1.0f));
    const TunerDisplay none = tunerDisplay(14, 0.2, "--");
    EXPECT_STREQ(none.text, "--");
    EXPECT_EQ(std::pair(none.flat, none.sharp), std::pair(0.0f, 0.0f));
}

TEST(RefreshThrottleTest, OneTurnPerFiftyThousandTicksAcrossTheClocksWrap) {
    std::atomic<unsigned long> last{0};
    EXPECT_FALSE(takeRefreshTurn(last, 49999));
    EXPECT_TRUE(takeRefreshTurn(last, 50000));
    EXPECT_EQ(last.load(), 50000u);
    EXPECT_FALSE(takeRefreshTurn(last, 99999));
    last = ~0UL - 10;
    EXPECT_FALSE(takeRefreshTurn(last, 49988));
    EXPECT_TRUE(takeRefreshTurn(last, 49989));
}

TEST_F(EditorTest, MetersFreezeUnderTheAboutScreenAndResumeAfter) {
    open();
    CControl* input = control(60);
    click(centreOf(control(70))); // about
    EXPECT_TRUE(editor->isAboutShown());
    EXPECT_TRUE(frame()->isChild(editor->getAboutContainer()));
    feedLoudBlock();
    ASSERT_GT(effect->VUState(5), 0.0);
    burnRefreshTicks();
    editor->idle();
    EXPECT_EQ(input->getValue(), 0.0f);
    // The about screen's close area, (442, 6) within the screen at (55, 77).
    click(CPoint(55 + 480, 77 + 18));
    EXPECT_FALSE(editor->isAboutShown());
    EXPECT_FALSE(frame()->isChild(editor->getAboutContainer()));
    burnRefreshTicks();
    editor->idle();
    EXPECT_FLOAT_EQ(input->getValue(), static_cast<float>(effect->VUState(5)));
    EXPECT_GT(input->getValue(), 0.0f);
}

TEST_F(EditorTest, MovingMetersRedrawThemselvesAloneAndTheWheelTurnsAKnobAsOneEdit) {
    open();
    frame()->update();
    feedLoudBlock();
    burnRefreshTicks();
    const auto before = frame()->getPixelsDrawn();
    editor->idle();
    EXPECT_GT(control(60)->getValue(), 0.f); // the input meter moved
    // Four 12 x 36 meters and two of 20 x 20, not the 392 x 165 box around them.
    EXPECT_EQ(frame()->getPixelsDrawn() - before, 4u * 12 * 36 + 2u * 20 * 20);

    effect->setParameter(9, 0.5f); // BassA's knob, entry 12
    calls.clear();
    frame()->platformMouseWheel(centreOf(control(12)), 1.f, 0);
    frame()->platformMouseWheel(centreOf(control(1)), 1.f, 0); // a switch: nothing
    const std::vector<HostCall> edit = {{audioMasterBeginEdit, 9, 0.f},
                                        {audioMasterAutomate, 9, 0.6f},
                                        {audioMasterEndEdit, 9, 0.f}};
    EXPECT_EQ(calls, edit);
    // The edit redraws the knob alone, though the editor marks the frame too.
    const auto beforeEdit = frame()->getPixelsDrawn();
    frame()->update();
    const CRect knob = control(12)->getViewSize();
    EXPECT_EQ(frame()->getPixelsDrawn() - beforeEdit,
              static_cast<std::uint64_t>(knob.width() * knob.height()));
}

TEST_F(EditorTest, ParameterChangesOfOtherThreadsWaitForIdleAndBadIndicesChangeNothing) {
    open();
    const CControl* bass = control(12); // BassA
    effect->setParameter(9, 0.25f);
    EXPECT_FLOAT_EQ(bass->getValue(), 0.25f); // this thread runs the window: at once
    std::thread([&] { effect->setParameter(9, 0.75f); }).join();
    EXPECT_FLOAT_EQ(bass->getValue(), 0.25f);
    editor->idle();
    EXPECT_FLOAT_EQ(bass->getValue(), 0.75f);

    std::vector<float> before;
    for (int entry = 0; entry < EffectEditor::kNumControls; ++entry)
        before.push_back(control(entry)->getValue());
    editor->setParameter(53, 0.5f);
    editor->setParameter(-1, 0.5f);
    effect->setParameter(53, 0.5f);
    editor->idle();
    for (int entry = 0; entry < EffectEditor::kNumControls; ++entry)
        EXPECT_EQ(control(entry)->getValue(), before[entry]) << "entry " << entry;
    editor->close();
    editor->setParameter(9, 0.5f); // closed: nothing to move
    editor->idle();
}

TEST_F(EditorTest, IdleOnAnotherThreadLeavesTheControlsToTheWindowsThread) {
    open();
    idleOnDisplayUpdate = true;
    std::thread([&] {
        effect->setProgram(5); // answered by an idle on this thread
        effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    }).join();
    idleOnDisplayUpdate = false;
    EXPECT_NE(control(12)->getValue(), effect->getParameter(9)); // BassA
    editor->idle();
    expectControlsShowEffect();
}

class PresetButtonsTest : public EditorTest {
protected:
    // Shows the about screen and clicks its export (or import) area with the
    // dialog answering `chosen`.
    void pressPresetButton(bool exportButton, const std::string& chosen) {
        CNewFileSelector::setDialogRunner([chosen](const CNewFileSelector::Request& r) {
            lastRequest = r;
            return chosen.empty() ? std::vector<std::string>{} : std::vector<std::string>{chosen};
        });
        clickPresetButton(exportButton);
    }
    // The same with whatever dialog is installed.
    void clickPresetButton(bool exportButton) {
        click(centreOf(control(70)));
        ASSERT_TRUE(editor->isAboutShown());
        click(exportButton ? CPoint(55 + 480, 77 + 115) : CPoint(55 + 330, 77 + 115));
        EXPECT_FALSE(editor->isAboutShown());
        EXPECT_FALSE(frame()->isChild(editor->getAboutContainer()));
    }
    static inline CNewFileSelector::Request lastRequest;
};

TEST_F(PresetButtonsTest, ExportWritesAnXmlFileBesideTheChosenName) {
    open();
    const std::string xml = tempPath("bass.xml");
    for (const char* chosen : {"bass.preset", "bass", "bass.xml"}) {
        std::remove(xml.c_str());
        calls.clear();
        pressPresetButton(true, tempPath(chosen));
        EXPECT_TRUE(fileExists(xml)) << chosen;
        EXPECT_FALSE(fileExists(tempPath("bass.preset"))) << chosen;
        // The press is framed for the host even though the button's page left the frame.
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
        EXPECT_EQ(calls.back(), (HostCall{audioMasterEndEdit, kExportTag, 0.0f}));
    }
    EXPECT_EQ(lastRequest.style, CNewFileSelector::kSelectSaveFile);
    EXPECT_EQ(lastRequest.title, "Export Preset");
    EXPECT_EQ(lastRequest.initialDirectory, "~/Desktop/");

    // Import brings the exported values back.
    const float saved = effect->getParameter(13);
    effect->setParameter(13, 0.0f);
    pressPresetButton(false, xml);
    EXPECT_FLOAT_EQ(effect->getParameter(13), saved);
    EXPECT_FLOAT_EQ(control(16)->getValue(), saved); // DriveA knob follows
    EXPECT_EQ(lastRequest.title, "Import Preset");
    std::remove(xml.c_str());
}

TEST_F(PresetButtonsTest, ImportReachesTheHostAsAnEditOfEachValueItChanges) {
    open();
    const std::string xml = tempPath("import.xml");
    float values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = effect->getParameter(i);
    std::ofstream(xml) << presetText(values);
    effect->setParameter(13, values[13] + 0.25f);
    effect->setParameter(51, values[51] + 0.25f);
    calls.clear();
    pressPresetButton(false, xml);
    std::erase_if(calls, [](const HostCall& c) { return c.index >= kNumParams; });
    EXPECT_EQ(calls, std::vector<HostCall>({{audioMasterBeginEdit, 13, 0.0f},
                                            {audioMasterAutomate, 13, values[13]},
                                            {audioMasterEndEdit, 13, 0.0f},
                                            {audioMasterBeginEdit, 51, 0.0f},
                                            {audioMasterAutomate, 51, values[51]},
                                            {audioMasterEndEdit, 51, 0.0f}}));
    std::remove(xml.c_str());
}

TEST_F(PresetButtonsTest, CancelledOrTooLongPathsWriteNothing) {
    open();
    pressPresetButton(true, ""); // cancelled
    const std::string longName = tempPath(std::string(1100, 'b'));
    pressPresetButton(true, longName);
    pressPresetButton(false, longName);
    const std::string dir = ::testing::TempDir();
    // A path that fits only without ".xml" is refused too.
    std::string almost = tempPath("");
    almost += std::string(kPresetPathSize - 1 - almost.size(), 'c');
    pressPresetButton(true, almost);
    EXPECT_FALSE(fileExists(almost + ".xml"));
    EXPECT_FALSE(fileExists(almost.substr(0, almost.size() - 3) + ".xml"));
    expectControlsShowEffect();
}

TEST_F(PresetButtonsTest, FoldersAndFilesTheDialogDidNotConfirmAreNotWritten) {
    open();
    std::string folder = tempPath("folder-XXXXXX");
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string good = folder + "/good.xml";
    std::ofstream(good) << "mine";
    ASSERT_EQ(::mkdir((folder + "/bank.d").c_str(), 0700), 0);
    // Folders would give ".xml" and "bank.xml"; the others good.xml, which
    // the dialog never asked about.
    for (const char* chosen : {"/", "/bank.d", "/good.preset", "/good"})
        pressPresetButton(true, folder + chosen);
    EXPECT_FALSE(fileExists(folder + "/.xml"));
    EXPECT_FALSE(fileExists(folder + "/bank.xml"));
    EXPECT_EQ(std::filesystem::file_size(good), 4u);
    // Chosen by its own name, the dialog has asked before replacing it.
    pressPresetButton(true, good);
    EXPECT_GT(std::filesystem::file_size(good), 4u);
    std::filesystem::remove_all(folder);
}

TEST_F(PresetButtonsTest, ADesktopDialogAnswerOfTwoLinesChoosesNothing) {
    open();
    std::string folder = tempPath("lines-XXXXXX");
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    // A stand-in zenity that prints the answer kept beside it.
    std::ofstream(folder + "/zenity") << "#!/bin/sh\nexec /bin/cat \"${0%/*}/answer\"\n";
    ASSERT_EQ(::chmod((folder + "/zenity").c_str(), 0700), 0);
    const std::string foo = folder + "/foo.xml";
    float values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = effect->getParameter(i);
    values[Param::driveA] = 0.125f;
    const std::string preset = presetText(values);
    std::ofstream(foo) << preset;
    auto text = [](const std::string& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", folder.c_str(), 1);
    // The first line names foo.xml, and line1 (which would be line1.xml).
    const std::string answers[] = {foo + "\nbar.xml\n", folder + "/line1\nline2.preset\n"};
    for (bool exportButton : {false, true})
        for (const std::string& answer : answers) {
            std::ofstream(folder + "/answer") << answer;
            clickPresetButton(exportButton);
        }
    EXPECT_NE(effect->getParameter(Param::driveA), 0.125f);
    EXPECT_EQ(text(foo), preset);
    EXPECT_FALSE(fileExists(folder + "/line1.xml"));
    // One line, ended by its line feed, is the answer the stand-in gives.
    std::ofstream(folder + "/answer") << foo << '\n';
    clickPresetButton(false);
    EXPECT_EQ(effect->getParameter(Param::driveA), 0.125f);
    setenv("PATH", path.c_str(), 1);
    std::filesystem::remove_all(folder);
}

TEST(PresetExportPathTest, CutsTheFileNameOnlyAndRefusesWhatDoesNotFit) {
    auto exported = [](const char* chosen) {
        char path[64];
        std::snprintf(path, sizeof path, "%s", chosen);
        return presetExportPath(path, sizeof path) ? std::string(path) : std::string("refused");
    };
    EXPECT_EQ(exported("/home/me/bass.preset"), "/home/me/bass.xml");
    EXPECT_EQ(exported("/home/me/bass"), "/home/me/bass.xml");
    EXPECT_EQ(exported("/home/me/bass.xml"), "/home/me/bass.xml");
    EXPECT_EQ(exported("/home/my.presets/bass"), "/home/my.presets/bass.xml");
    // 64 bytes hold 59 characters and ".xml"; a dotted name is cut first.
    EXPECT_EQ(exported(std::string(59, 'a').c_str()), std::string(59, 'a') + ".xml");
    EXPECT_EQ(exported(std::string(60, 'a').c_str()), "refused");
    EXPECT_EQ(exported((std::string(59, 'a') + ".x").c_str()), std::string(59, 'a') + ".xml");
}

TEST(SelectXMLFileTest, RefusesWithoutAnOpenWindow) {
    char output[kPresetPathSize] = "untouched";
    EXPECT_FALSE(SelectXMLFile(nullptr, true, "t", "~", output));
    Effect effect(nullptr);
    EXPECT_FALSE(SelectXMLFile(&effect, true, nullptr, "~", output));
    EXPECT_FALSE(SelectXMLFile(&effect, true, "t", nullptr, output));
    EXPECT_FALSE(SelectXMLFile(&effect, true, "t", "~", nullptr));
    EXPECT_FALSE(SelectXMLFile(&effect, true, "t", "~", output)); // window closed
    EXPECT_STREQ(output, "untouched");
}

} // namespace
