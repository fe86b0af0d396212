// tarvex-rtas as the RTAS host sees it: loaded with dlopen, opened through
// its module entries, processes made through the effect types' creator.
#include "rtas_host.h"

#include "platform/rtas/controls.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/views.h"
#include "source/effect.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace rtas_test;

namespace {

constexpr long kBypassControl = kNumParams + 1;

std::vector<std::vector<float>> noiseInput(std::size_t channels, int frames, unsigned seed) {
    std::vector<std::vector<float>> input;
    for (std::size_t c = 0; c < channels; ++c) {
        const std::vector<double> x =
            testing_support::noise(frames, seed + static_cast<unsigned>(c));
        input.emplace_back(x.begin(), x.end());
        for (float& s : input.back())
            s *= 0.25f;
    }
    return input;
}

// The same effect as the plug-in's, built here, as the reference sound.
std::unique_ptr<AudioEffect> referenceEffect() {
    return std::unique_ptr<AudioEffect>(createEffectInstance(nullptr));
}

std::vector<std::vector<float>> renderReference(AudioEffect& effect,
                                                std::vector<std::vector<float>> input) {
    std::vector<std::vector<float>> output(2, std::vector<float>(input[0].size()));
    float* in[2] = {input[0].data(), input.size() > 1 ? input[1].data() : nullptr};
    float* out[2] = {output[0].data(), output[1].data()};
    effect.processReplacing(in, out, static_cast<VstInt32>(input[0].size()));
    return output;
}

} // namespace

TEST(RtasEntryTest, LoadThenUnloadLeavesNoGroupAndReleasesTheBundleOnce) {
    OpaqueBundle bundle;
    const Module module(TARVEX_RTAS_PATH);
    ASSERT_EQ(module.open(&bundle), 0);
    EXPECT_NE(bundle.group, nullptr);
    EXPECT_EQ(bundle.retainCount, 2);
    module.close();
    EXPECT_EQ(bundle.group, nullptr);
    EXPECT_EQ(bundle.retainCount, 1);
    // A second close has nothing left to release.
    module.close();
    EXPECT_EQ(bundle.retainCount, 1);
}

TEST(RtasEntryTest, ASecondLoadWithoutAnUnloadLetsGoOfTheFirstGroupAndRetain) {
    OpaqueBundle first, second;
    const Module module(TARVEX_RTAS_PATH);
    ASSERT_EQ(module.open(&first), 0);
    ASSERT_EQ(module.open(&first), 0);
    EXPECT_EQ(first.retainCount, 2);
    ASSERT_EQ(module.open(&second), 0);
    // The first group was deleted: it left the bundle record.
    EXPECT_EQ(first.group, nullptr);
    EXPECT_EQ(first.retainCount, 1);
    module.close();
    EXPECT_EQ(second.retainCount, 1);
}

TEST(RtasEntryTest, FailingGroupFactoryAnswersTheHostsCodes) {
    struct Case {
        const char* path;
        std::int32_t expected;
    };
    for (const Case& c :
         {Case{RTAS_NULL_GROUP_PATH, -7003}, Case{RTAS_DAE_ERROR_PATH, -20021},
          Case{RTAS_INIT_DAE_ERROR_PATH, -20021}, Case{RTAS_OTHER_EXCEPTION_PATH, -7401}}) {
        SCOPED_TRACE(c.path);
        OpaqueBundle bundle;
        const Module module(c.path);
        EXPECT_EQ(module.open(&bundle), c.expected);
        EXPECT_EQ(bundle.group, nullptr);
        module.close();
        EXPECT_EQ(bundle.retainCount, 1);
    }
}

TEST(RtasEntryTest, DescribesOneProductAsAMonoAndAStereoType) {
    LoadedRtas loaded;
    const CEffectGroup& group = loaded.group();
    // The codes saved sessions find the plug-in and its types by.
    EXPECT_EQ(group.GetManufacturerID(), fourCharCode("Qvld"));
    ASSERT_EQ(group.GetNumTypes(), 2u);
    const CEffectType& mono = *group.GetType(0);
    const CEffectType& stereo = *group.GetType(1);
    EXPECT_EQ(mono.GetTypeID(), fourCharCode("uiRT"));
    EXPECT_EQ(stereo.GetTypeID(), fourCharCode("rtst"));
    EXPECT_EQ(mono.GetProductID(), fourCharCode("trvx"));

    // Hosts show the longest name that fits: every list runs from the
    // longest name down, and the product's longest names agree.
    for (const std::string& list :
         {group.GetManufacturerNames(), group.GetPlugInNames(), mono.GetTypeNames()}) {
        SCOPED_TRACE(list);
        std::vector<std::string> names;
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t end = std::min(list.find('\n', at), list.size());
            names.push_back(list.substr(at, end - at));
            at = end + 1;
        }
        ASSERT_GE(names.size(), 2u);
        for (std::size_t k = 0; k < names.size(); ++k) {
            EXPECT_FALSE(names[k].empty());
            if (k > 0) {
                EXPECT_LT(names[k].size(), names[k - 1].size());
            }
        }
    }
    EXPECT_EQ(group.GetPlugInNames().substr(0, group.GetPlugInNames().find('\n')),
              mono.GetTypeNames().substr(0, mono.GetTypeNames().find('\n')));

    // One product: the stereo type is the mono one but for its type ID and
    // channels.
    EXPECT_NE(mono.GetTypeID(), stereo.GetTypeID());
    for (const CEffectType* type : {&mono, &stereo}) {
        EXPECT_EQ(type->GetProductID(), mono.GetProductID());
        EXPECT_EQ(type->GetRelationID(), mono.GetProductID());
        EXPECT_EQ(type->GetTypeNames(), mono.GetTypeNames());
        EXPECT_EQ(type->GetCategory(), mono.GetCategory());
        EXPECT_EQ(type->GetSampleRateSupport(), mono.GetSampleRateSupport());
        EXPECT_EQ(type->GetGestalts(), mono.GetGestalts());
        EXPECT_FALSE(type->GetGestalts().empty());
        EXPECT_NE(type->GetCreator(), nullptr);
    }
    EXPECT_NE(mono.GetStemFormat(1), stereo.GetStemFormat(1));
    // Each type's processes have its channels.
    EXPECT_EQ(loaded.createProcess(0).GetNumOutputs(), 1);
    EXPECT_EQ(loaded.createProcess(1).GetNumOutputs(), 2);
}

TEST(RtasControlsTest, OneLinearControlPerParameterThenMasterBypass) {
    LoadedRtas loaded;
    CEffectProcess& process = loaded.createProcess(1);
    const auto effect = referenceEffect();
    ASSERT_EQ(process.GetNumControls(), kNumParams + 1);
    for (long k = 1; k <= kNumParams; ++k) {
        SCOPED_TRACE(k);
        const auto& control = *static_cast<CPluginControl_Linear*>(process.GetControl(k));
        char name[16] = {};
        effect->getParameterName(static_cast<VstInt32>(k - 1), name);
        EXPECT_EQ(control.GetID(), 0x206C6420 + (k - 1));
        EXPECT_STREQ(control.GetName(), name);
        EXPECT_TRUE(control.IsAutomatable());
        EXPECT_EQ(control.GetMax() - control.GetMin(), 1.0);
        EXPECT_EQ(control.GetStep(), 0.001);
        EXPECT_EQ(control.GetPrefixEnd() - control.GetPrefixBegin(), 6);
        EXPECT_STREQ(control.GetPrefixBegin()->prefix, "");
        // The default is the effect's value when the controls were built.
        EXPECT_EQ(settingOf(process, k, control.GetDefaultValue()),
                  effect->getParameter(static_cast<VstInt32>(k - 1)));
    }
    const CPluginControl& bypass = *process.GetControl(kBypassControl);
    EXPECT_EQ(bypass.GetID(), fourCharCode("bypa"));
    EXPECT_STREQ(bypass.GetName(), "Master Bypass");
    EXPECT_EQ(bypass.GetDefaultValue(), 0);
    EXPECT_EQ(process.GetMasterBypassControlIndex(), kBypassControl);
}

TEST(RtasControlsTest, InvalidControlIndicesAreRefused) {
    LoadedRtas loaded;
    CEffectProcess& process = loaded.createProcess(0);
    long value = 123;
    for (long index : {0L, -1L, kBypassControl + 1, 1000000L}) {
        EXPECT_NE(process.SetControlValue(index, 5), noErr);
        EXPECT_NE(process.GetControlValue(index, &value), noErr);
        EXPECT_EQ(process.GetControl(index), nullptr);
    }
    EXPECT_EQ(value, 123);
    EXPECT_TRUE(loaded.host.gestures.empty());
}

TEST(RtasRenderTest, MonoAndStereoPassTheirChannelsAndKeepTheEffectsRate) {
    // The host's rate never reaches the effect: it renders as at 44100 Hz.
    for (double hostRate : {48000.0, 96000.0}) {
        LoadedRtas loaded;
        CEffectProcessRTAS& mono = loaded.createProcess(0);
        CEffectProcessRTAS& stereo = loaded.createProcess(1);
        mono.SetSampleRate(hostRate);
        stereo.SetSampleRate(hostRate);
        const auto input = noiseInput(2, 1500, 7);

        const auto effect = referenceEffect();
        EXPECT_EQ(render(stereo, input), renderReference(*effect, input));

        const auto monoEffect = referenceEffect();
        const auto monoInput = std::vector<std::vector<float>>{input[0]};
        const auto expected = renderReference(*monoEffect, monoInput);
        // A mono process passes one channel each way: second buffers beyond
        // its channel are neither read nor written.
        std::vector<float> in0 = input[0], in1 = input[1], out0(1500), untouched(1500, 7.0f);
        float* in[2] = {in0.data(), in1.data()};
        float* out[2] = {out0.data(), untouched.data()};
        mono.RenderAudio(in, out, 1500);
        EXPECT_EQ(out0, expected[0]);
        EXPECT_EQ(untouched, std::vector<float>(1500, 7.0f));
    }
}

TEST(RtasRenderTest, MasterBypassCopiesInputWithoutRunningTheEffect) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(1);
    const auto effect = referenceEffect();
    const auto first = noiseInput(2, 800, 11);
    EXPECT_EQ(render(process, first), renderReference(*effect, first));

    ASSERT_EQ(process.SetControlValue(kBypassControl, 1), noErr);
    EXPECT_TRUE(process.IsBypassed());
    const auto loud = noiseInput(2, 4000, 12);
    EXPECT_EQ(render(process, loud), loud);

    // The effect never heard the bypassed blocks: its tail continues as if
    // they had not happened.
    ASSERT_EQ(process.SetControlValue(kBypassControl, 0), noErr);
    const auto silence = std::vector<std::vector<float>>(2, std::vector<float>(3000, 0.0f));
    EXPECT_EQ(render(process, silence), renderReference(*effect, silence));
}

TEST(RtasRenderTest, ZeroFramesAndMissingBuffersChangeNothing) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(1);
    std::vector<float> buffer(64, 0.5f);
    float* channels[2] = {buffer.data(), buffer.data()};
    float* none[2] = {nullptr, nullptr};
    process.RenderAudio(channels, channels, 0);
    process.RenderAudio(channels, channels, -5);
    process.RenderAudio(none, channels, 64);
    process.RenderAudio(nullptr, nullptr, 64);
    EXPECT_EQ(buffer, std::vector<float>(64, 0.5f));
}

TEST(RtasRenderTest, MetersReadZeroWithoutClipWhateverWasPlayedAndChangeNothing) {
    // Silence, quiet and overloaded noise, and bypassed blocks: the poll
    // answers for the process's own channels only, with either array missing,
    // and what the process plays next is the same as without polls.
    for (std::size_t type : {0u, 1u}) {
        SCOPED_TRACE(type);
        LoadedRtas loaded;
        CEffectProcessRTAS& polled = loaded.createProcess(type);
        CEffectProcessRTAS& quiet = loaded.createProcess(type);
        const auto channels = static_cast<std::size_t>(polled.GetNumOutputs());
        for (int block = 0; block < 8; ++block) {
            SCOPED_TRACE(block);
            auto input = noiseInput(channels, 256, static_cast<unsigned>(20 + block));
            constexpr float kGains[] = {0.0f, 0.5f, 2.0f, 4.0f};
            for (auto& channel : input)
                for (float& s : channel)
                    s *= kGains[block % 4];
            const long bypass = block >= 6 ? 1 : 0;
            polled.SetControlValue(kBypassControl, bypass);
            quiet.SetControlValue(kBypassControl, bypass);
            EXPECT_EQ(render(polled, input), render(quiet, input));

            long meters[3] = {9, 9, 9};
            bool clipped[3] = {true, true, true};
            polled.GetMetersFromDSPorRTAS(meters, clipped);
            for (std::size_t c = 0; c < 3; ++c) {
                EXPECT_EQ(meters[c], c < channels ? 0 : 9) << c;
                EXPECT_EQ(clipped[c], c >= channels) << c;
            }
            polled.GetMetersFromDSPorRTAS(nullptr, clipped);
            polled.GetMetersFromDSPorRTAS(meters, nullptr);
        }
    }
}

TEST(RtasChunkTest, OtherIdsGoToTheLibraryWhichRestoresEveryControl) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(1);
    const OSType controls = process.GetChunkIDs().at(0);
    ASSERT_NE(controls, fourCharCode("Trvx"));
    const long volume = controlValueFor(process, kNumParams, 0.2);
    ASSERT_EQ(process.SetControlValue(kNumParams, volume), noErr);
    long size = 0;
    ASSERT_EQ(process.GetChunkSize(controls, &size), noErr);
    std::vector<std::int32_t> storage(static_cast<std::size_t>(size) / 4);
    auto* chunk = reinterpret_cast<SFicPlugInChunk*>(storage.data());
    ASSERT_EQ(process.GetChunk(controls, chunk), noErr);

    ASSERT_EQ(process.SetControlValue(kNumParams, 0), noErr);
    loaded.host.gestures.clear();
    ASSERT_EQ(process.SetChunk(controls, chunk), noErr);
    EXPECT_EQ(loaded.host.gestures.size(), static_cast<std::size_t>(kNumParams + 1));
    // The effect has the value back.
    const auto effect = referenceEffect();
    effect->setParameter(kNumParams - 1, settingOf(process, kNumParams, volume));
    const auto input = noiseInput(2, 1024, 2);
    EXPECT_EQ(render(process, input), renderReference(*effect, input));
}

TEST(RtasChunkTest, TheEffectsOwnChunkIsTheHeaderAloneAndAShortOneIsRefused) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(0);
    const OSType effectID = fourCharCode("Trvx");
    long size = 0;
    ASSERT_EQ(process.GetChunkSize(effectID, &size), noErr);
    EXPECT_EQ(size, static_cast<long>(kChunkHeaderSize));
    std::vector<std::int32_t> storage(64);
    auto* chunk = reinterpret_cast<SFicPlugInChunk*>(storage.data());
    chunk->fSize = 10;
    EXPECT_NE(process.SetChunk(effectID, chunk), noErr);
    EXPECT_NE(process.SetChunk(effectID, nullptr), noErr);
}

TEST(RtasViewTest, TheWindowIsFixedAndChoosesNoControl) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(1);
    Rect rect{1, 2, 3, 4};
    process.GetViewRect(&rect);
    EXPECT_EQ(rect.bottom, 336);
    EXPECT_EQ(rect.right, 701);
    EXPECT_EQ(rect.top + rect.left, 0);
    std::unique_ptr<CPlugInView> window(process.CreateCPlugInView());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(static_cast<CNoResourceView&>(*window).GetNumViews(), 1u);

    // Without a display (or with a port on no window) the editor opens no
    // window; the requests reach it all the same, harmlessly.
    OpaqueGrafPort port{0x2a00007};
    process.SetViewPort(&port);
    EventRecord click{};
    click.where = Point{40, 120};
    window->DrawContents(nullptr);
    window->MouseCommand(&click);
    process.DoTokenIdle();
    process.SetViewPort(nullptr);
    long control = 99;
    EXPECT_EQ(process.ChooseControl(Point{40, 120}, &control), 0);
    EXPECT_EQ(control, 0);
    EXPECT_EQ(process.ChooseControl(Point{0, 0}, nullptr), 0);
}

TEST(RtasViewTest, AFailedViewRequestLeavesNoViewAndTheNextOneWorks) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(0);
    loaded.host.viewsAllowed = false;
    EXPECT_EQ(process.CreateCPlugInView(), nullptr);
    OpaqueGrafPort port{7};
    process.SetViewPort(&port);
    process.DoTokenIdle();
    process.SetViewPort(nullptr);

    loaded.host.viewsAllowed = true;
    std::unique_ptr<CPlugInView> window(process.CreateCPlugInView());
    ASSERT_NE(window, nullptr);
    process.SetViewPort(&port);
    process.SetViewPort(nullptr);
}

TEST(RtasViewTest, AViewTheHostDeletedIsNeverReachedAndOneThatOutlivesItsProcessForwardsNothing) {
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(1);
    delete process.CreateCPlugInView();
    OpaqueGrafPort port{7};
    process.SetViewPort(&port);
    process.SetViewPort(nullptr);

    // A view the host keeps after asking for a newer one, and the newer one,
    // both outliving their process.
    std::unique_ptr<CEffectProcess> owned(loaded.group().GetType(0)->CreateProcess());
    std::unique_ptr<CPlugInView> replaced(owned->CreateCPlugInView());
    std::unique_ptr<CPlugInView> window(owned->CreateCPlugInView());
    owned.reset();
    Rect all{0, 0, 336, 701};
    EventRecord click{};
    click.where = Point{40, 120};
    for (CPlugInView* view : {replaced.get(), window.get()}) {
        view->DrawContents(&all);
        view->MouseCommand(&click);
    }
}
