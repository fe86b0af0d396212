// The RTAS process with the plug-in's real editor, on an off-screen frame:
// the host view's drawing and clicks reach the editor's window, its
// automation reaches the host, and the preset dialog goes to the host's file
// selector.
#include "rtas/editor/editor_process.h"
#include "rtas/rtas_host.h"

#include "editor/effect_editor.h"
#include "editor/select_xml_file.h"
#include "rtas/custom_ui.h"
#include "rtas/template_process.h"
#include "source/effect.h"
#include "vst/vstfileselect.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>

using namespace rtas_test;

namespace {

class RtasEditorTest : public ::testing::Test, protected BoundHost<> {
protected:
    RtasEditorTest() { process = std::make_unique<EditorProcess>(); }

    // The editor opened off-screen behind the host's view.
    CPlugInView& openView() {
        view.reset(process->CreateCPlugInView());
        EXPECT_TRUE(process->editor().openOffscreen());
        return *view;
    }
    cairo_surface_t* surface() { return process->editor().getFrame()->getSurface(); }
    void paint(double red, double green, double blue) {
        cairo_t* cr = cairo_create(surface());
        cairo_set_source_rgb(cr, red, green, blue);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface());
    }
    bool magentaAt(int x, int y) {
        auto* data = cairo_image_surface_get_data(surface());
        const int stride = cairo_image_surface_get_stride(surface());
        std::uint32_t pixel;
        std::memcpy(&pixel, data + y * stride + x * 4, sizeof pixel);
        return (pixel & 0xffffffu) == 0xff00ffu;
    }

    std::unique_ptr<EditorProcess> process;
    std::unique_ptr<CPlugInView> view;
};

TEST_F(RtasEditorTest, ViewRectIsTheEditorsOwnSize) {
    Rect rect{1, 2, 3, 4};
    process->GetViewRect(&rect);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.bottom, 336);
    EXPECT_EQ(rect.right, 701);
    ERect* own = nullptr;
    ASSERT_TRUE(process->editor().getRect(&own));
    EXPECT_EQ(own->right - own->left, 701);
    EXPECT_EQ(own->bottom - own->top, 336);
}

TEST_F(RtasEditorTest, RedrawRequestsPaintExactlyTheirAreaOrEverything) {
    CPlugInView& window = openView();
    paint(1, 0, 1);
    Rect area{40, 120, 80, 200}; // top, left, bottom, right
    window.DrawContents(&area);
    EXPECT_FALSE(magentaAt(120, 40));
    EXPECT_FALSE(magentaAt(199, 79));
    EXPECT_FALSE(magentaAt(190, 45));
    EXPECT_TRUE(magentaAt(119, 60));
    EXPECT_TRUE(magentaAt(200, 60));
    EXPECT_TRUE(magentaAt(150, 39));
    EXPECT_TRUE(magentaAt(150, 80));

    paint(1, 0, 1);
    process->editor().__drawDeprecated(nullptr);
    for (int y = 0; y < 336; y += 7)
        for (int x = 0; x < 701; x += 7)
            ASSERT_FALSE(magentaAt(x, y)) << x << "," << y;

    // Closed, a redraw touches nothing.
    process->editor().close();
    window.DrawContents(&area);
    process->editor().__drawDeprecated(nullptr);
}

TEST_F(RtasEditorTest, AClickOnASwitchChangesItsParameterAndTheHostSeesTheGesture) {
    CPlugInView& window = openView();
    // The channel selector (tag 3) spans x 79..114, y 40..119 in bands of 79/3 px.
    const bool wasTop = process->effect().getParameter(3) == 1.0f;
    const short y = wasTop ? 115 : 45;
    process->editor().getFrame()->setScriptedPointer(
        {{CPoint(96, y), kLButton}, {CPoint(96, y), 0}});
    EventRecord click{};
    click.where = Point{y, 96};
    window.MouseCommand(&click);

    const float expected = wasTop ? 0.0f : 1.0f;
    EXPECT_EQ(process->effect().getParameter(3), expected);
    EXPECT_EQ(process->editor().getControl(3)->getValue(), expected);
    long hostValue = -1;
    process->GetControlValue(4, &hostValue);
    EXPECT_EQ(host.gestures, (std::vector<Gesture>{{'t', 4, 0}, {'v', 4, hostValue}, {'r', 4, 0}}));

    // A click on bare background, as at (120, 40), changes nothing.
    host.gestures.clear();
    process->editor().getFrame()->setScriptedPointer({{CPoint(120, 40), kLButton}});
    click.where = Point{40, 120};
    window.MouseCommand(&click);
    EXPECT_TRUE(host.gestures.empty());
}

TEST_F(RtasEditorTest, AKnobFollowsADragUntilReleaseThroughTheToolkitsOwnHandlers) {
    CPlugInView& window = openView();
    // The crossover knob (tag 1) spans x 29..69, y 40..80; 200 px of drag
    // cover its range, upwards raising it.
    const float before = process->effect().getParameter(1);
    const long step = before > 0.5f ? 20 : -20; // pixels down
    process->editor().getFrame()->setScriptedPointer({{CPoint(49, 60), kLButton},
                                                      {CPoint(49, 60 + step / 2), kLButton},
                                                      {CPoint(49, 60 + step), kLButton},
                                                      {CPoint(49, 60 + step), 0}});
    EventRecord click{};
    click.where = Point{60, 49};
    window.MouseCommand(&click);
    EXPECT_NEAR(process->effect().getParameter(1), before - static_cast<float>(step) / 200, 1e-6);
    ASSERT_GE(host.gestures.size(), 3u);
    EXPECT_EQ(host.gestures.front(), (Gesture{'t', 2, 0}));
    EXPECT_EQ(host.gestures.back(), (Gesture{'r', 2, 0}));
    EXPECT_EQ(host.gestures.size(), 4u); // one value per move that changed it
}

TEST_F(RtasEditorTest, AboutScreenOpensAndClosesThroughItsKickButtons) {
    CPlugInView& window = openView();
    EffectEditor& editor = process->editor();
    auto clickAt = [&](short h, short v) {
        editor.getFrame()->setScriptedPointer({{CPoint(h, v), kLButton}, {CPoint(h, v), 0}});
        EventRecord click{};
        click.where = Point{v, h};
        window.MouseCommand(&click);
    };
    clickAt(650, 155); // the about button (627, 148, 691, 169)
    EXPECT_TRUE(editor.isAboutShown());
    EXPECT_EQ(editor.getFrame()->getNbViews(), 2);
    clickAt(55 + 480, 77 + 15); // close, on the about screen at (55, 77)
    EXPECT_FALSE(editor.isAboutShown());
    EXPECT_EQ(editor.getFrame()->getNbViews(), 1);
    EXPECT_EQ(editor.getFrame()->getView(0), editor.getMainContainer());
    // The buttons' own tags reach no host control.
    EXPECT_TRUE(host.gestures.empty());

    // Closed, the editor takes no click.
    editor.close();
    EXPECT_EQ(editor.__mouseDeprecated(650, 155), 0);
    window.MouseCommand(nullptr);
}

// A host that runs the file selector: it records the request and answers
// with `chosen` (written into the effect's buffer) or refuses.
struct FileSelectorHost {
    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
        FileSelectorHost& self = *current;
        if (opcode == audioMasterOpenFileSelector) {
            auto* select = static_cast<VstFileSelect*>(ptr);
            self.command = select->command;
            self.types = select->nbFileTypes;
            if (select->nbFileTypes == 1) {
                const VstFileType& type = select->fileTypes[0];
                self.typeNames = std::string(type.macType) + " " + type.dosType + " " +
                                 type.unixType + " " + type.mimeType1;
            }
            self.title = select->title;
            self.initialPath = select->initialPath;
            self.size = select->sizeReturnPath;
            if (!self.answer) return 0;
            if (self.overflow)
                std::memset(select->returnPath, 'a', static_cast<std::size_t>(self.size));
            else
                std::strcpy(select->returnPath, self.chosen.c_str());
            return 1;
        }
        if (opcode == audioMasterCloseFileSelector) ++self.closes;
        return 0;
    }
    static inline FileSelectorHost* current = nullptr;

    bool answer = true;
    bool overflow = false;
    std::string chosen = "/tmp/bass.xml";
    VstInt32 command = -1, types = -1, size = 0;
    std::string typeNames, title, initialPath;
    int closes = 0;
};

TEST(RtasSelectXmlFileTest, TheRequestGoesToTheHostsFileSelector) {
    FileSelectorHost host;
    FileSelectorHost::current = &host;
    std::unique_ptr<AudioEffect> effect(createEffectInstance(&FileSelectorHost::callback));
    char path[kPresetPathSize] = "unchanged";

    // No open window is needed: the host shows the dialog.
    EXPECT_TRUE(SelectXMLFile(effect.get(), true, "Import Preset", "~/Desktop/", path));
    EXPECT_STREQ(path, "/tmp/bass.xml");
    EXPECT_EQ(host.command, kVstFileLoad);
    EXPECT_EQ(host.types, 1);
    EXPECT_EQ(host.typeNames, "xml xml xml xml");
    EXPECT_EQ(host.title, "Import Preset");
    EXPECT_EQ(host.initialPath, "~/Desktop/");
    EXPECT_EQ(host.size, static_cast<VstInt32>(kPresetPathSize));
    EXPECT_EQ(host.closes, 1);

    EXPECT_TRUE(SelectXMLFile(effect.get(), false, "Export Preset", "~/Desktop/", path));
    EXPECT_EQ(host.command, kVstFileSave);

    // Cancelled (an empty path), refused, or a path that overruns the buffer:
    // nothing chosen, so the editor reads and writes no file.
    host.chosen = "";
    EXPECT_FALSE(SelectXMLFile(effect.get(), false, "Export Preset", "~/Desktop/", path));
    host.answer = false;
    EXPECT_FALSE(SelectXMLFile(effect.get(), true, "Import Preset", "~/Desktop/", path));
    EXPECT_EQ(host.closes, 3);
    host.answer = true;
    host.overflow = true;
    EXPECT_FALSE(SelectXMLFile(effect.get(), true, "Import Preset", "~/Desktop/", path));
    EXPECT_EQ(path[0], '\0');

    EXPECT_FALSE(SelectXMLFile(nullptr, true, "Import Preset", "~/Desktop/", path));
    EXPECT_FALSE(SelectXMLFile(effect.get(), true, nullptr, "~/Desktop/", path));
    FileSelectorHost::current = nullptr;
}

} // namespace

namespace {

VstIntPtr versionOnlyHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(RtasModuleTest, TheModulesEffectCarriesItsWindow) {
    void* module = dlopen(TARVEX_RTAS_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry =
        reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    AEffect* effect = entry(versionOnlyHost);
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(effect->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    EXPECT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 701);
    EXPECT_EQ(rect->bottom - rect->top, 336);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    dlclose(module);
}

} // namespace
