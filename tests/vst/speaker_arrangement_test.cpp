// AudioEffectX's speaker-arrangement helpers.
#include "vst/audioeffectx.h"

#include "test_effects.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

const unsigned char* bytes(const VstSpeakerArrangement* a) {
    return reinterpret_cast<const unsigned char*>(a);
}

VstInt32 channelsOf(const VstSpeakerArrangement* a) {
    VstInt32 n;
    std::memcpy(&n, bytes(a) + offsetof(VstSpeakerArrangement, numChannels), sizeof n);
    return n;
}

VstSpeakerProperties* speaker(VstSpeakerArrangement* a, int i) {
    return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<unsigned char*>(a) + 8 +
                                                   112 * static_cast<std::size_t>(i));
}

VstSpeakerProperties namedSpeaker(const char* name, VstInt32 type, float azimuth) {
    VstSpeakerProperties s{};
    std::strncpy(s.name, name, sizeof s.name - 1);
    s.type = type;
    s.azimuth = azimuth;
    s.elevation = azimuth + 1;
    s.radius = azimuth + 2;
    s.reserved = azimuth + 3;
    for (std::size_t i = 0; i < sizeof s.future; ++i)
        s.future[i] = static_cast<char>(i + type);
    return s;
}

} // namespace

TEST(SpeakerArrangement, TwoChannelsAreOneZeroedArrayOf232BytesWithTheCount) {
    PlainEffect fx;
    VstSpeakerArrangement* a = nullptr;
    ASSERT_TRUE(fx.allocateArrangement(&a, 2));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(channelsOf(a), 2);
    // Every byte of the 232 but the channel count is zero (reading further
    // would leave the array: the address sanitizer build checks the length).
    for (std::size_t i = 0; i < 232; ++i) {
        if (i >= 4 && i < 8) continue;
        ASSERT_EQ(bytes(a)[i], 0) << i;
    }
    EXPECT_TRUE(fx.deallocateArrangement(&a));
    EXPECT_EQ(a, nullptr);
}

TEST(SpeakerArrangement, AllocatingAgainReplacesTheOldArrayAndOddCountsAreHandled) {
    PlainEffect fx;
    VstSpeakerArrangement* a = nullptr;
    ASSERT_TRUE(fx.allocateArrangement(&a, 8));
    ASSERT_TRUE(fx.allocateArrangement(&a, 0)); // the eight-channel array is freed
    EXPECT_EQ(channelsOf(a), 0);
    ASSERT_TRUE(fx.allocateArrangement(&a, 12)); // longer than the nominal record
    EXPECT_EQ(channelsOf(a), 12);
    EXPECT_EQ(speaker(a, 11)->type, 0);
    EXPECT_FALSE(fx.allocateArrangement(&a, -1));
    EXPECT_EQ(a, nullptr) << "the old array is gone; nothing dangles";
    EXPECT_FALSE(fx.allocateArrangement(nullptr, 2));
    EXPECT_TRUE(fx.deallocateArrangement(&a));
    EXPECT_TRUE(fx.deallocateArrangement(nullptr));
}

TEST(SpeakerArrangement, CopySpeakerCopiesEveryFieldWithABoundedName) {
    PlainEffect fx;
    VstSpeakerProperties from = namedSpeaker("Left surround", 10, 0.5f);
    VstSpeakerProperties to{};
    std::memset(&to, 0x7F, sizeof to);
    ASSERT_TRUE(fx.copySpeaker(&to, &from));
    EXPECT_STREQ(to.name, "Left surround");
    for (std::size_t i = std::strlen("Left surround"); i < sizeof to.name; ++i)
        EXPECT_EQ(to.name[i], '\0') << i;
    EXPECT_EQ(to.type, 10);
    EXPECT_EQ(to.azimuth, 0.5f);
    EXPECT_EQ(to.elevation, 1.5f);
    EXPECT_EQ(to.radius, 2.5f);
    EXPECT_EQ(to.reserved, 3.5f);
    EXPECT_EQ(std::memcmp(to.future, from.future, sizeof to.future), 0);

    // A name filling all 64 bytes keeps 63 characters and a closing zero.
    std::memset(from.name, 'n', sizeof from.name);
    ASSERT_TRUE(fx.copySpeaker(&to, &from));
    EXPECT_EQ(std::strlen(to.name), 63u);
    EXPECT_TRUE(fx.copySpeaker(&to, &to));
    EXPECT_EQ(std::strlen(to.name), 63u);

    EXPECT_FALSE(fx.copySpeaker(nullptr, &from));
    EXPECT_FALSE(fx.copySpeaker(&to, nullptr));
}

TEST(SpeakerArrangement, MatchingBuildsACopyOfTypeCountAndSpeakers) {
    PlainEffect fx;
    VstSpeakerArrangement from{};
    from.type = 7;
    from.numChannels = 3;
    for (int i = 0; i < 3; ++i)
        from.speakers[i] = namedSpeaker(i == 0 ? "L" : "R", i + 1, i);
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(fx.allocateArrangement(&to, 1)); // replaced by the match
    ASSERT_TRUE(fx.matchArrangement(&to, &from));
    EXPECT_EQ(channelsOf(to), 3);
    EXPECT_EQ(to->type, 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(speaker(to, i)->type, i + 1);
        EXPECT_STREQ(speaker(to, i)->name, from.speakers[i].name);
        EXPECT_EQ(speaker(to, i)->azimuth, static_cast<float>(i));
    }

    // From an arrangement longer than the nominal eight speakers.
    VstSpeakerArrangement* wide = nullptr;
    ASSERT_TRUE(fx.allocateArrangement(&wide, 10));
    *speaker(wide, 9) = namedSpeaker("Top", 42, 9.0f);
    ASSERT_TRUE(fx.matchArrangement(&to, wide));
    EXPECT_EQ(channelsOf(to), 10);
    EXPECT_EQ(speaker(to, 9)->type, 42);
    EXPECT_STREQ(speaker(to, 9)->name, "Top");

    // Matching an arrangement to itself keeps it intact.
    ASSERT_TRUE(fx.matchArrangement(&wide, wide));
    EXPECT_EQ(speaker(wide, 9)->type, 42);

    EXPECT_FALSE(fx.matchArrangement(&to, nullptr));
    EXPECT_FALSE(fx.matchArrangement(nullptr, &from));
    fx.deallocateArrangement(&to);
    fx.deallocateArrangement(&wide);
}
