// The editor base, the file selector and frames that cannot open.
#include "gui_test_support.h"

#include "support/waiting.h"
#include "vst/audioeffectx.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace guitest;

namespace {

std::vector<std::pair<VstInt32, VstInt32>> hostCalls; // opcode, index

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float) {
    hostCalls.emplace_back(opcode, index);
    return opcode == 1 ? 2400 : 0; // the version query needs an answer
}

struct TestEffect : AudioEffectX {
    TestEffect() : AudioEffectX(recordingHost, 1, 53) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

struct TestEditor : AEffGUIEditor {
    explicit TestEditor(AudioEffect* owner) : AEffGUIEditor(owner) { rect = {0, 0, 336, 701}; }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        frame = new CFrame(CRect(0, 0, 701, 336), parent, this);
        return frame->isOpen();
    }
    void close() override {
        delete frame;
        frame = nullptr;
        AEffGUIEditor::close();
    }
};

bool sawHostCall(VstInt32 opcode, VstInt32 index) {
    for (auto call : hostCalls)
        if (call == std::make_pair(opcode, index)) return true;
    return false;
}

} // namespace

TEST(EditorBase, AttachesToItsEffectAndHandsOutItsRectangle) {
    TestEffect effect;
    auto* editor = new TestEditor(&effect); // the effect owns and deletes it
    EXPECT_EQ(effect.getEditor(), editor);
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right, 701);
    EXPECT_EQ(rect->bottom, 336);
    EXPECT_FALSE(editor->getRect(nullptr));
}

TEST(EditorBase, ControlPressesReachTheHostAsEditGesturesWithTheControlsTag) {
    TestEffect effect;
    auto* editor = new TestEditor(&effect);
    ASSERT_TRUE(editor->open(nullptr));
    CFrame* frame = editor->getFrame();
    RecordingListener listener;
    frame->addView(new CAnimKnob(CRect(0, 0, 40, 40), &listener, 7, 76, 40, nullptr));
    frame->addView(new CKickButton(CRect(50, 0, 90, 20), &listener, 75, 20, nullptr));
    hostCalls.clear();
    frame->platformMouseDown(CPoint(20, 20), kLButton);
    EXPECT_TRUE(sawHostCall(43, 7));
    EXPECT_FALSE(sawHostCall(44, 7)) << "the edit lasts while the knob is dragged";
    frame->platformMouseUp(CPoint(20, 20), kLButton);
    EXPECT_TRUE(sawHostCall(44, 7));
    click(frame, CPoint(60, 10));
    EXPECT_TRUE(sawHostCall(43, 75)) << "editor-only tags too";
    EXPECT_TRUE(sawHostCall(44, 75));

    hostCalls.clear();
    editor->doIdleStuff();
    EXPECT_TRUE(sawHostCall(3, 0)) << "the busy-idle hook asks the host for idle time";
    editor->close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    editor->idle(); // without a frame: nothing
}

TEST(EditorBase, KnobModeIsOneSettingForTheWholeProcess) {
    TestEffect first, second;
    auto* a = new TestEditor(&first);
    auto* b = new TestEditor(&second);
    EXPECT_TRUE(a->setKnobMode(kLinearMode));
    EXPECT_EQ(b->getKnobMode(), kLinearMode);
    b->setKnobMode(kCircularMode);
    EXPECT_EQ(a->getKnobMode(), kCircularMode);
    a->setKnobMode(kLinearMode);
}

TEST(Frame, BadSizesAndParentsGiveAClosedFrameThatIgnoresEverything) {
    int notAWindow = 0;
    for (auto [rect, parent] :
         {std::pair{CRect(0, 0, -10, 40), static_cast<void*>(nullptr)},
          std::pair{CRect(0, 0, 1L << 40, 10), static_cast<void*>(nullptr)},
          std::pair{CRect(5, 5, 5, 5), static_cast<void*>(nullptr)},
          std::pair{CRect(0, 0, 100, 100), static_cast<void*>(&notAWindow)}}) {
        CFrame frame(rect, parent, nullptr);
        EXPECT_FALSE(frame.isOpen());
        RecordingListener listener;
        frame.addView(new COnOffButton(CRect(0, 0, 10, 10), &listener, 1, nullptr));
        click(&frame, CPoint(5, 5));
        EXPECT_TRUE(listener.values.empty());
        EXPECT_FALSE(frame.idle());
        EXPECT_FALSE(frame.writePng("/nonexistent/never.png"));
    }
}

TEST(Frame, WritesWhatItDrawsAsAPngFile) {
    CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 30, 20));
    frame->setBackgroundColor(kRedCColor);
    const std::string path = ::testing::TempDir() + "frame_" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(frame->writePng(path.c_str()));
    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(read), 30);
    EXPECT_EQ(cairo_image_surface_get_height(read), 20);
    cairo_surface_destroy(read);
    std::remove(path.c_str());
    EXPECT_FALSE(frame->writePng("/nonexistent-folder/frame.png"));
    delete frame;
}

TEST(FileSelector, AsksTheDialogForOneFileAndReportsTheChoice) {
    CNewFileSelector::Request seen;
    CNewFileSelector::setDialogRunner([&](const CNewFileSelector::Request& request) {
        seen = request;
        return std::vector<std::string>{"/tmp/bass.preset", "/tmp/other.xml"};
    });
    CNewFileSelector* selector =
        CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->setTitle("Export Preset");
    selector->setInitialDirectory("~/Desktop/");
    selector->setAllowMultiFileSelection(false);
    EXPECT_TRUE(selector->runModal());
    EXPECT_EQ(seen.style, CNewFileSelector::kSelectSaveFile);
    EXPECT_EQ(seen.title, "Export Preset");
    EXPECT_EQ(seen.initialDirectory, "~/Desktop/");
    ASSERT_EQ(selector->getNumSelectedFiles(), 1) << "one file only";
    EXPECT_STREQ(selector->getSelectedFile(0), "/tmp/bass.preset");
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);
    EXPECT_EQ(selector->getSelectedFile(-1), nullptr);

    CNewFileSelector::setDialogRunner([](const CNewFileSelector::Request&) {
        return std::vector<std::string>{}; // cancelled
    });
    EXPECT_FALSE(selector->runModal());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
    CNewFileSelector::setDialogRunner(nullptr);
}

TEST(FileSelector, TheSaveDialogAsksBeforeReplacingAFile) {
    // A stand-in zenity that keeps its arguments and answers a path.
    const std::string folder = ::testing::TempDir() + "zenity-" + std::to_string(getpid());
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::ofstream(folder + "/zenity")
        << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"${0%/*}/arguments\"\n"
           "echo /tmp/bass.xml\n";
    ASSERT_EQ(::chmod((folder + "/zenity").c_str(), 0700), 0);
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", folder.c_str(), 1);
    CNewFileSelector* selector =
        CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    EXPECT_TRUE(selector->runModal());
    selector->forget();
    setenv("PATH", saved.c_str(), 1);
    std::ifstream in(folder + "/arguments");
    const std::string arguments(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(arguments.find("--save\n--confirm-overwrite\n"), std::string::npos) << arguments;
    std::filesystem::remove_all(folder);
}

TEST(FileSelector, ADialogThatNeverStopsPrintingIsEndedAndChoosesNothing) {
    const std::string folder = ::testing::TempDir() + "endless-" + std::to_string(getpid());
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::ofstream(folder + "/zenity")
        << "#!/bin/sh\necho $$ > \"${0%/*}/pid\"\nexec /usr/bin/yes /tmp/bass.xml\n";
    ASSERT_EQ(::chmod((folder + "/zenity").c_str(), 0700), 0);
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", folder.c_str(), 1);
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    auto chosen = std::async(std::launch::async, [&] { return selector->runModal(); });
    if (chosen.wait_for(testing_support::kPatience) != std::future_status::ready) {
        ADD_FAILURE() << "the modal call waits for the dialog's end";
        std::ifstream pid(folder + "/pid");
        pid_t dialog = 0;
        if (pid >> dialog && dialog > 0) ::kill(dialog, SIGKILL);
    }
    EXPECT_FALSE(chosen.get());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
    setenv("PATH", saved.c_str(), 1);
    std::filesystem::remove_all(folder);
}

TEST(FileSelector, WithoutADialogProgramNothingIsChosen) {
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", ::testing::TempDir().c_str(), 1);
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    selector->setTitle("Import Preset; rm -rf ~ $(true) 'x'");
    EXPECT_FALSE(selector->runModal());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
    setenv("PATH", saved.c_str(), 1);
}
