// The display-text conversions of AudioEffect: result tables, bounds, padding
// and bad input.
#include "vst/audioeffect.h"

#include "test_effects.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Runs one conversion into a buffer of maxLen + 1 bytes with guard bytes
// behind it, checks the zero padding and the guard, and returns the text.
template <class Convert> std::string convert(Convert&& conversion, VstInt32 maxLen = 8) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    conversion(buffer, maxLen);
    const std::size_t length = strnlen(buffer, static_cast<std::size_t>(maxLen) + 1);
    EXPECT_LE(length, static_cast<std::size_t>(maxLen));
    for (VstInt32 i = static_cast<VstInt32>(length); i <= maxLen; ++i)
        EXPECT_EQ(buffer[i], '\0') << "padding byte " << i;
    for (VstInt32 i = maxLen + 1; i < 64; ++i)
        EXPECT_EQ(buffer[i], '#') << "guard byte " << i;
    return std::string(buffer, length);
}

class StringConversion : public testing::Test {
protected:
    std::string floatText(float v, VstInt32 maxLen = 8) {
        return convert([&](char* t, VstInt32 n) { fx.float2string(v, t, n); }, maxLen);
    }
    std::string intText(VstInt32 v, VstInt32 maxLen = 8) {
        return convert([&](char* t, VstInt32 n) { fx.int2string(v, t, n); }, maxLen);
    }
    std::string dBText(float v) {
        return convert([&](char* t, VstInt32 n) { fx.dB2string(v, t, n); });
    }
    std::string HzText(float v) {
        return convert([&](char* t, VstInt32 n) { fx.Hz2string(v, t, n); });
    }
    std::string msText(float v) {
        return convert([&](char* t, VstInt32 n) { fx.ms2string(v, t, n); });
    }
    PlainEffect fx;
};

} // namespace

TEST_F(StringConversion, FloatTextsHaveEightCharactersWithTheFractionTruncated) {
    const std::pair<float, const char*> table[] = {
        {50.0f, "50.00000"},      {0.5f, "0.500000"},      {100.0f, "100.0000"},
        {-1.5f, "-1.50000"},      {-0.25f, "-0.25000"},    {3.14159f, "3.141590"},
        {1234567.0f, "1234567."}, {123456.5f, "123456.5"}, {0.0f, "0.000000"},
        {0.7f, "0.699999"},       {0.001f, "0.001000"},    {1e9f, "Huge!"},
        {-1e7f, "Huge!"},         {99999.99f, "99999.99"}, {-123456.5f, "-123456."},
        {-9.999999f, "-9.99999"}, {1e-9f, "0.000000"},     {-0.0f, "0.000000"},
        {0.1f, "0.100000"},       {7.0f, "7.000000"},      {-1234.5f, "-1234.50"},
    };
    for (const auto& [value, text] : table)
        EXPECT_EQ(floatText(value), text) << value;
}

TEST_F(StringConversion, FloatIntegersTooLongForThePointAreWrittenWhole) {
    EXPECT_EQ(floatText(12345678.0f), "12345678");
    EXPECT_EQ(floatText(99999992.0f), "99999992");
    EXPECT_EQ(floatText(-1234567.0f), "-1234567");
    EXPECT_EQ(floatText(-9999999.0f), "-9999999");
    EXPECT_EQ(floatText(1e8f), "Huge!");
}

TEST_F(StringConversion, NonFiniteFloatsReadHuge) {
    EXPECT_EQ(floatText(kInf), "Huge!");
    EXPECT_EQ(floatText(-kInf), "Huge!");
    EXPECT_EQ(floatText(kNaN), "Huge!");
}

TEST_F(StringConversion, ShortBuffersGetTheFirstMaxLenCharactersAndZeroPadding) {
    EXPECT_EQ(floatText(50.0f, 4), "50.0");
    EXPECT_EQ(floatText(-1.5f, 4), "-1.5");
    EXPECT_EQ(floatText(1e9f, 4), "Huge");
    EXPECT_EQ(floatText(0.5f, 0), "");
    EXPECT_EQ(floatText(50.0f, 20), "50.00000");
    EXPECT_EQ(intText(-123456, 4), "-123");
    EXPECT_EQ(intText(42, 20), "42");
    EXPECT_EQ(dBText(0.0f), "-oo");
}

TEST_F(StringConversion, ANullTextOrANegativeLengthWritesNothing) {
    fx.float2string(1.0f, nullptr, 8);
    fx.int2string(1, nullptr, 8);
    fx.dB2string(1.0f, nullptr, 8);
    fx.Hz2string(1.0f, nullptr, 8);
    fx.ms2string(1.0f, nullptr, 8);
    char text[4] = "abc";
    fx.float2string(1.0f, text, -1);
    fx.int2string(1, text, -5);
    fx.dB2string(0.0f, text, INT_MIN);
    EXPECT_STREQ(text, "abc");
}

TEST_F(StringConversion, IntTextsSuppressLeadingZerosAndCapAtEightDigits) {
    const std::pair<VstInt32, const char*> table[] = {
        {0, "0"},
        {42, "42"},
        {-42, "-42"},
        {7, "7"},
        {100, "100"},
        {99999999, "99999999"},
        {100000000, "Huge!"},
        {INT_MAX, "Huge!"},
        {-1, "-1"},
        {-10000000, "-1000000"}, // nine characters, cut at eight
    };
    for (const auto& [value, text] : table)
        EXPECT_EQ(intText(value), text) << value;
    EXPECT_EQ(intText(-123456789, 10), "-123456789");
    EXPECT_EQ(intText(-1000000000, 11), "-1000000000");
    EXPECT_EQ(intText(INT_MIN, 11), "-2147483648");
}

TEST_F(StringConversion, DecibelTextsAreTwentyLogTenOfTheValue) {
    EXPECT_EQ(dBText(1.0f), "0.000000");
    EXPECT_EQ(dBText(0.5f), "-6.02059");
    EXPECT_EQ(dBText(2.0f), "6.020599");
    EXPECT_EQ(dBText(0.001f), "-60.0000");
    EXPECT_EQ(dBText(0.0f), "-oo");
    EXPECT_EQ(dBText(-1.0f), "-oo");
    EXPECT_EQ(dBText(kInf), "Huge!");
    EXPECT_EQ(dBText(kNaN), "-oo");
    EXPECT_EQ(dBText(std::numeric_limits<float>::denorm_min()), "-897.069");
}

TEST_F(StringConversion, PeriodsInSamplesReadAsFrequenciesAndLengthsAsMilliseconds) {
    EXPECT_EQ(HzText(441.0f), "100.0000");
    EXPECT_EQ(HzText(1.0f), "44100.00");
    EXPECT_EQ(HzText(0.0f), "0.000000");
    EXPECT_EQ(HzText(-441.0f), "-100.000");
    EXPECT_EQ(msText(44100.0f), "1000.000");
    EXPECT_EQ(msText(441.0f), "10.00000");
    EXPECT_EQ(msText(1.0f), "0.022675");
    EXPECT_EQ(msText(std::numeric_limits<float>::max()), "Huge!");
    EXPECT_EQ(msText(kNaN), "Huge!");

    fx.setSampleRate(48000.0f);
    EXPECT_EQ(HzText(480.0f), "100.0000");
    EXPECT_EQ(msText(48.0f), "1.000000");
    fx.setSampleRate(0.0f);
    EXPECT_EQ(msText(1.0f), "Huge!");
    EXPECT_EQ(HzText(1.0f), "0.000000");
}

namespace {

// Records the values that reach float2string, and reports its own rate.
class RoutedEffect : public PlainEffect {
public:
    void float2string(float value, char* text, VstInt32 maxLen) override {
        seen.push_back(value);
        vstStringCopy(text, "seen", maxLen);
    }
    float getSampleRate() override { return 1000.0f; }
    std::vector<float> seen;
};

} // namespace

TEST(StringConversionRouting, DecibelFrequencyAndTimeTextsGoThroughTheVirtualSlots) {
    RoutedEffect fx;
    char text[9];
    fx.dB2string(10.0f, text, 8);
    fx.Hz2string(4.0f, text, 8);
    fx.ms2string(3.0f, text, 8);
    EXPECT_EQ(fx.seen, (std::vector<float>{20.0f, 250.0f, 3.0f}));
    EXPECT_STREQ(text, "seen");
}

TEST(BoundedCopy, CopiesAtMostMaxLenCharactersAndPadsWithZeros) {
    char text[12];
    std::memset(text, '#', sizeof text);
    vstStringCopy(text, "abcdef", 4);
    EXPECT_EQ(std::string(text, 6), std::string("abcd\0#", 6));
    std::memset(text, '#', sizeof text);
    vstStringCopy(text, "ab", 6);
    EXPECT_EQ(std::string(text, 8), std::string("ab\0\0\0\0\0#", 8));
    vstStringCopy(text, nullptr, 3);
    EXPECT_EQ(std::string(text, 5), std::string("\0\0\0\0\0", 5));
}
