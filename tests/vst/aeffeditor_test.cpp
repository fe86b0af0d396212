// AEffEditor's base operations and the editor opcodes of the dispatchers.
#include "vst/aeffeditor.h"

#include "fake_host.h"
#include "test_effects.h"

#include <gtest/gtest.h>

namespace {

class BaseEditor : public AEffEditor {
public:
    using AEffEditor::AEffEditor;
    using AEffEditor::effect;
    using AEffEditor::systemWindow;
};

} // namespace

TEST(EditorBase, HasNoRectangleAndClearsTheCallersPointer) {
    PlainEffect fx;
    BaseEditor editor(&fx);
    ERect r{};
    ERect* rect = &r;
    EXPECT_FALSE(editor.getRect(&rect));
    EXPECT_EQ(rect, nullptr);
    EXPECT_FALSE(editor.getRect(nullptr));
}

TEST(EditorBase, OpenRemembersTheWindowButAnswersFalseAndCloseForgetsIt) {
    BaseEditor editor;
    EXPECT_FALSE(editor.isOpen());
    int window = 0;
    EXPECT_FALSE(editor.open(&window));
    EXPECT_TRUE(editor.isOpen());
    EXPECT_EQ(editor.systemWindow, &window);
    editor.close();
    EXPECT_FALSE(editor.isOpen());
    EXPECT_FALSE(editor.open(nullptr));
    EXPECT_FALSE(editor.isOpen()) << "a null window is no window";
}

TEST(EditorBase, KnowsItsEffectAndAnswersEveryOtherOperationNeutrally) {
    PlainEffect fx;
    BaseEditor editor(&fx);
    EXPECT_EQ(editor.getEffect(), &fx);
    EXPECT_EQ(BaseEditor().getEffect(), nullptr);
    EXPECT_EQ(fx.getEditor(), nullptr) << "constructing an editor does not attach it";
    VstKeyCode key{65, 0x41, 2};
    EXPECT_FALSE(editor.onKeyDown(key));
    EXPECT_FALSE(editor.onKeyUp(key));
    EXPECT_FALSE(editor.onWheel(1.0f));
    EXPECT_FALSE(editor.setKnobMode(2));
    EXPECT_EQ(editor.__mouseDeprecated(3, 4), 0);
    EXPECT_EQ(editor.__keyDeprecated(5), 0);
    editor.idle();
    editor.__drawDeprecated(nullptr);
    editor.__topDeprecated();
    editor.__sleepDeprecated();
    EXPECT_EQ(key.character, 65);
    EXPECT_EQ(editor.getEffect(), &fx);
}

TEST(EditorOpcodes, WithoutAnEditorAnswerZeroAndLeaveTheHostsPointerAlone) {
    PlainEffect fx;
    ERect r{};
    ERect* rect = &r;
    int window = 0;
    for (VstInt32 opcode : {effEditGetRect, effEditOpen, effEditClose, effEditIdle, effEditKeyDown,
                            effEditKeyUp, effSetEditKnobMode}) {
        EXPECT_EQ(fx.dispatcher(opcode, 65, 1,
                                opcode == effEditGetRect ? static_cast<void*>(&rect) : &window,
                                1.0f),
                  0)
            << opcode;
    }
    EXPECT_EQ(rect, &r);
}

TEST(EditorOpcodes, ReachTheAttachedEditorAndAnswerOneOnlyForATrueAnswer) {
    PlainEffect fx;
    auto* editor = new SpyEditor(&fx);
    fx.setEditor(editor);
    ERect* rect = nullptr;
    EXPECT_EQ(fx.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 1);
    EXPECT_EQ(rect, &editor->rectangle);
    int window = 0;
    EXPECT_EQ(fx.dispatcher(effEditOpen, 0, 0, &window, 0.0f), 1);
    EXPECT_EQ(editor->window(), &window);
    EXPECT_EQ(fx.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(fx.dispatcher(effEditClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(editor->window(), nullptr);
    for (VstInt32 opcode : {effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep})
        EXPECT_EQ(fx.dispatcher(opcode, 0, 0, &window, 0.0f), 0);
    EXPECT_EQ(editor->calls, (std::vector<std::string>{"getRect", "open", "idle", "close"}));

    editor->answer = false;
    rect = &editor->rectangle;
    EXPECT_EQ(fx.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(fx.dispatcher(effEditOpen, 0, 0, &window, 0.0f), 0);
    // A null address for the rectangle is not passed to the editor.
    EXPECT_EQ(fx.dispatcher(effEditGetRect, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(editor->calls.size(), 6u);
}

TEST(EditorOwnership, TheEffectDeletesItsEditorWhenDestroyed) {
    int destroyed = 0;
    {
        PlainEffect fx;
        fx.setEditor(new SpyEditor(&fx, &destroyed));
    }
    EXPECT_EQ(destroyed, 1);
}
