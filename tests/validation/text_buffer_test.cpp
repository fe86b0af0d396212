// Every text the effect writes fits a buffer of exactly its field size plus
// the terminator: 8 + 1 for parameter names, labels and display texts, 24 + 1
// for program names, 32 + 1 for the effect name and 64 + 1 for vendor and
// product. Careful hosts allocate just that; guard bytes after the buffer
// catch any write past it, for valid indices and for indices out of range.
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace validation {
namespace {

constexpr unsigned char kGuard = 0xA5;
constexpr size_t kGuardBytes = 64;
constexpr char kHostFill = 'Q';

// A host buffer of size + 1 bytes holding a terminated text of `size`
// fill characters (what a host leaves there from an earlier call), followed
// by guard bytes.
class GuardedText {
public:
    explicit GuardedText(size_t textSize)
        : size(textSize), bytes(textSize + 1 + kGuardBytes, static_cast<char>(kGuard)) {
        std::memset(bytes.data(), kHostFill, size);
        bytes[size] = '\0';
    }
    char* data() { return bytes.data(); }

    // Guards untouched and a terminator within the size + 1 bytes.
    ::testing::AssertionResult intact() const {
        for (size_t i = size + 1; i < bytes.size(); ++i)
            if (static_cast<unsigned char>(bytes[i]) != kGuard)
                return ::testing::AssertionFailure() << "guard byte " << i - size - 1 << " written";
        if (std::memchr(bytes.data(), '\0', size + 1) == nullptr)
            return ::testing::AssertionFailure() << "no terminator";
        return ::testing::AssertionSuccess();
    }
    bool untouched() const { return std::string(bytes.data()) == std::string(size, kHostFill); }
    std::string text() const { return bytes.data(); }

private:
    size_t size;
    std::vector<char> bytes;
};

// Indices a host may send: every valid one and the usual mistakes.
std::vector<VstInt32> indicesAround(int count) {
    std::vector<VstInt32> indices;
    for (int i = 0; i < count; ++i)
        indices.push_back(i);
    for (VstInt32 i : {count, count + 1, 54, 64, 127, 1000, -1, -2, std::numeric_limits<int>::min(),
                       std::numeric_limits<int>::max()})
        indices.push_back(i);
    return indices;
}

class TextBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(plugin.effect, nullptr);
        plugin.start();
    }
    LoadedPlugin plugin;
};

TEST_F(TextBufferTest, ParameterTextsFitNinePlusGuardForEveryIndex) {
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        for (VstInt32 index : indicesAround(kParameters)) {
            SCOPED_TRACE(::testing::Message() << "opcode " << opcode << " index " << index);
            GuardedText text(8);
            plugin.call(opcode, index, 0, text.data());
            ASSERT_TRUE(text.intact());
            const bool valid = index >= 0 && index < kParameters;
            if (valid) {
                EXPECT_FALSE(text.text().empty());
                EXPECT_FALSE(text.untouched());
            } else if (opcode == effGetParamDisplay) {
                EXPECT_EQ(text.text(), ""); // an out-of-range display text is cleared
            } else {
                EXPECT_TRUE(text.untouched()); // other texts are left alone
            }
        }
    }
}

TEST_F(TextBufferTest, DisplayTextsOfExtremeValuesFitTheirBuffer) {
    const float values[] = {0.0f,
                            1.0f,
                            0.123456f,
                            -0.5f,
                            -1e9f,
                            1e9f,
                            1e30f,
                            -1e30f,
                            std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::lowest(),
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN()};
    for (int index = 0; index < kParameters; ++index) {
        for (float value : values) {
            SCOPED_TRACE(::testing::Message() << "index " << index << " value " << value);
            plugin.setParameter(index, value);
            GuardedText text(8);
            plugin.call(effGetParamDisplay, index, 0, text.data());
            ASSERT_TRUE(text.intact());
        }
    }
}

TEST_F(TextBufferTest, ProgramNamesFitTwentyFivePlusGuard) {
    // A name of exactly 24 characters fills the field without terminator.
    char full[] = "ABCDEFGHIJKLMNOPQRSTUVWX and more";
    plugin.selectProgram(4);
    plugin.call(effSetProgramName, 0, 0, full);
    for (int program = 0; program < kPrograms; ++program) {
        SCOPED_TRACE(program);
        plugin.selectProgram(program);
        GuardedText current(24);
        plugin.call(effGetProgramName, 0, 0, current.data());
        ASSERT_TRUE(current.intact());
        EXPECT_FALSE(current.untouched());
        if (program == 4) {
            EXPECT_EQ(current.text(), "ABCDEFGHIJKLMNOPQRSTUVWX");
        }
    }
    for (VstInt32 index : indicesAround(kPrograms)) {
        SCOPED_TRACE(index);
        GuardedText text(24);
        const VstIntPtr answer = plugin.call(effGetProgramNameIndexed, index, 0, text.data());
        ASSERT_TRUE(text.intact());
        const bool valid = index >= 0 && index < kPrograms;
        EXPECT_EQ(answer, valid ? 1 : 0);
        EXPECT_EQ(text.untouched(), !valid);
        if (index == 4) {
            EXPECT_EQ(text.text(), "ABCDEFGHIJKLMNOPQRSTUVWX");
        }
    }
}

TEST_F(TextBufferTest, SelectingAProgramOutOfRangeKeepsTheNameInItsBuffer) {
    for (VstIntPtr program : {20, 21, 1000, -1, -100}) {
        plugin.call(effSetProgram, 0, program);
        GuardedText text(24);
        plugin.call(effGetProgramName, 0, 0, text.data());
        ASSERT_TRUE(text.intact());
        EXPECT_EQ(text.text(), "Big Classic Rig");
    }
}

TEST_F(TextBufferTest, EffectVendorAndProductNamesFitTheirBuffers) {
    struct Case {
        VstInt32 opcode;
        size_t size;
        const char* expected;
    };
    for (const Case& c : {Case{effGetEffectName, 32, "Tarvex"},
                          Case{effGetVendorString, 64, "Ostravel Engineering, PLLC"},
                          Case{effGetProductString, 64, "Quorvalinde Tarvex"}}) {
        SCOPED_TRACE(c.opcode);
        GuardedText text(c.size);
        EXPECT_EQ(plugin.call(c.opcode, 0, 0, text.data()), 1);
        ASSERT_TRUE(text.intact());
        EXPECT_EQ(text.text(), c.expected);
    }
}

TEST_F(TextBufferTest, NullTextPointersAreRefusedWithoutACrash) {
    for (VstInt32 opcode :
         {effGetParamName, effGetParamLabel, effGetParamDisplay, effGetProgramName,
          effSetProgramName, effGetProgramNameIndexed, effGetEffectName, effGetVendorString,
          effGetProductString, effCanDo, effString2Parameter})
        plugin.call(opcode, 0, 0, nullptr);
    EXPECT_EQ(plugin.text(effGetProgramName), "Big Classic Rig");
}

} // namespace
} // namespace validation
