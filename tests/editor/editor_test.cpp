#include "editor/effect_editor.h"
#include "source/effect.h"

#include <gtest/gtest.h>

TEST(EditorSmoke, Builds) {
    Effect effect(nullptr);
    auto* editor = static_cast<EffectEditor*>(effect.getEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->open(nullptr));
    editor->close();
}
