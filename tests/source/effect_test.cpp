// The effect object: identity, the parameter table and its texts, programs,
// and the audio frame around the engine.
#include "source/effect.h"
#include "source/factory_programs.h"
#include "source/import_export.h"
#include "support/allocation_counter.h"
#include "support/bass_line.h"
#include "support/signals.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;

std::unique_ptr<Effect> makeEffect() {
    return std::make_unique<Effect>(nullptr);
}

std::string display(Effect& effect, int index, float value) {
    effect.setParameter(index, value);
    char text[16];
    std::memset(text, 'x', sizeof text);
    effect.getParameterDisplay(index, text);
    return text;
}

// Renders a stereo input through processReplacing in blocks of `block`.
struct Render {
    std::vector<float> left, right;
};
Render render(Effect& effect, const std::vector<float>& inLeft, const std::vector<float>& inRight,
              int block) {
    Render out;
    out.left.resize(inLeft.size());
    out.right.resize(inLeft.size());
    for (size_t at = 0; at < inLeft.size(); at += static_cast<size_t>(block)) {
        const int n = static_cast<int>(std::min(inLeft.size() - at, static_cast<size_t>(block)));
        float* inputs[2] = {const_cast<float*>(inLeft.data() + at),
                            const_cast<float*>(inRight.data() + at)};
        float* outputs[2] = {out.left.data() + at, out.right.data() + at};
        effect.processReplacing(inputs, outputs, n);
    }
    return out;
}

std::vector<float> toFloat(const std::vector<double>& x, double gain = 1.0) {
    std::vector<float> y(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        y[i] = static_cast<float>(gain * x[i]);
    return y;
}

TEST(EffectIdentityTest, RecordShowsTheTarvexIdentity) {
    auto effect = makeEffect();
    const AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->uniqueID, 0x54727678); // 'Trvx'
    EXPECT_EQ(record->numPrograms, 20);
    EXPECT_EQ(record->numParams, 53);
    EXPECT_EQ(record->numInputs, 2);
    EXPECT_EQ(record->numOutputs, 2);
    // Can replace, can mono; this program does not link the editor, so the
    // effect has none (tarvex.so has, and shows 0x19).
    EXPECT_EQ(record->flags, 0x18);
    EXPECT_EQ(effect->getPlugCategory(), 1);
    EXPECT_EQ(effect->getVendorVersion(), 1000);

    char text[80];
    std::memset(text, 'x', sizeof text);
    EXPECT_TRUE(effect->getEffectName(text));
    EXPECT_STREQ(text, "Tarvex");
    EXPECT_TRUE(effect->getVendorString(text));
    EXPECT_STREQ(text, "Ostravel Engineering, PLLC");
    EXPECT_TRUE(effect->getProductString(text));
    EXPECT_STREQ(text, "Quorvalinde Tarvex");
}

TEST(EffectIdentityTest, CanDoAnswersExactlyItsList) {
    auto effect = makeEffect();
    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "1in1out", "1in2out", "2in1out",
                            "2in2out", "bypass"}) {
        std::string text = yes;
        EXPECT_EQ(effect->canDo(text.data()), 1) << yes;
    }
    for (const char* no : {"receiveVstMidiEvent", "Bypass", "bypass ", "", "sendVstEvents"}) {
        std::string text = no;
        EXPECT_EQ(effect->canDo(text.data()), 0) << no;
    }
}

TEST(EffectParameterTest, NamesAndLabelsFillEightBytesAndTerminate) {
    auto effect = makeEffect();
    char text[12];
    std::memset(text, 'x', sizeof text);
    effect->getParameterName(1, text);
    EXPECT_EQ(std::string(text), "Crossove");
    EXPECT_EQ(text[9], 'x');
    effect->getParameterName(34, text);
    EXPECT_EQ(std::string(text), "RDamping");
    effect->getParameterLabel(51, text);
    EXPECT_EQ(std::string(text), "select");
    effect->getParameterLabel(52, text);
    EXPECT_EQ(std::string(text), "%");

    std::memset(text, 'x', sizeof text);
    effect->getParameterName(53, text);
    effect->getParameterLabel(-1, text);
    EXPECT_EQ(text[0], 'x') << "out-of-range indices leave the text alone";
}

TEST(EffectParameterTest, DisplayTextsFollowTheChoiceRules) {
    auto effect = makeEffect();
    EXPECT_EQ(display(*effect, 4, 0.5f), "Enabled");
    EXPECT_EQ(display(*effect, 4, 0.2f), "Off");
    EXPECT_EQ(display(*effect, 4, 0.4999f), "Off");
    EXPECT_EQ(display(*effect, 51, 0.25f), "D.I.");
    EXPECT_EQ(display(*effect, 51, 0.5f), "1x15");
    EXPECT_EQ(display(*effect, 51, 1.0f), "8x10");
    EXPECT_EQ(display(*effect, 3, 0.5f), "A+B");
    EXPECT_EQ(display(*effect, 0, 1.0f), "Biamp");
    EXPECT_EQ(display(*effect, 2, 0.5f), "Invert");
    EXPECT_EQ(display(*effect, 8, 1.6f), "") << "a value far outside 0..1 shows nothing";
    EXPECT_EQ(display(*effect, 31, -0.6f), "");
    EXPECT_EQ(display(*effect, 52, 0.5f), "50.00000");
    EXPECT_EQ(display(*effect, 7, 0.7f), "70.00000");
    EXPECT_EQ(display(*effect, 60, 0.5f), "");
}

TEST(EffectParameterTest, DisplayTextsStayBoundedForAnyValue) {
    auto effect = makeEffect();
    const float nan = static_cast<float>(kNaN), inf = static_cast<float>(kInfinity);
    const float values[] = {nan, inf, -inf, 1e30f, -1e30f, 3.4e38f, -0.0f, 1e-40f};
    for (int index = 0; index < kNumParams; ++index) {
        for (float v : values) {
            effect->setParameter(index, v);
            char text[32];
            std::memset(text, 'x', sizeof text);
            effect->getParameterDisplay(index, text);
            EXPECT_LE(std::strlen(text), 8u) << index << " " << v;
            for (size_t k = 9; k < sizeof text; ++k)
                ASSERT_EQ(text[k], 'x') << index << " " << v;
        }
    }
}

TEST(EffectParameterTest, SetAndGetStayInsideTheTable) {
    auto effect = makeEffect();
    effect->setParameter(60, 0.3f);
    effect->setParameter(-1, 0.3f);
    EXPECT_EQ(effect->getParameter(60), 0.0f);
    EXPECT_EQ(effect->getParameter(-1), 0.0f);
    EXPECT_EQ(effect->getParameter(53), 0.0f);

    effect->setParameter(5, 0.25f);
    EXPECT_EQ(effect->getParameter(5), 0.25f);
    effect->setParameter(5, 7.0f);
    EXPECT_EQ(effect->getParameter(5), 7.0f) << "values are not clamped";
}

TEST(EffectParameterTest, StringToParameterParsesClampsAndReachesTheEngine) {
    auto effect = makeEffect();
    std::string text = "1.5";
    EXPECT_TRUE(effect->string2parameter(5, text.data()));
    EXPECT_EQ(effect->getParameter(5), 1.0f);
    text = "abc";
    EXPECT_TRUE(effect->string2parameter(5, text.data()));
    EXPECT_EQ(effect->getParameter(5), 0.0f);
    text = "-3";
    EXPECT_TRUE(effect->string2parameter(6, text.data()));
    EXPECT_EQ(effect->getParameter(6), 0.0f);
    text = "nan";
    EXPECT_TRUE(effect->string2parameter(6, text.data()));
    EXPECT_EQ(effect->getParameter(6), 0.0f);
    text = "0.5";
    EXPECT_FALSE(effect->string2parameter(53, text.data()));
    EXPECT_FALSE(effect->string2parameter(-1, text.data()));

    // The typed value is stored with the program and plays as the same
    // value set through setParameter does.
    auto reference = makeEffect();
    text = "1";
    EXPECT_TRUE(effect->string2parameter(52, text.data()));
    effect->string2parameter(5, (text = "0").data());
    effect->string2parameter(6, (text = "0").data());
    reference->setParameter(52, 1.0f);
    reference->setParameter(5, 0.0f);
    reference->setParameter(6, 0.0f);
    const std::vector<float> in = toFloat(bassLine(44100.0, 0.2), 0.5);
    const std::vector<float> silence(in.size(), 0.0f);
    const Render a = render(*effect, in, silence, 256);
    const Render b = render(*reference, in, silence, 256);
    EXPECT_EQ(a.left, b.left);
    effect->setProgram(3);
    effect->setProgram(2);
    EXPECT_EQ(effect->getParameter(52), 1.0f);
}

TEST(EffectProgramTest, ProgramTwoIsCurrentAfterConstruction) {
    auto effect = makeEffect();
    EXPECT_EQ(effect->getProgram(), 2);
    char name[32];
    ASSERT_TRUE(effect->getProgramNameIndexed(0, 2, name));
    EXPECT_STREQ(name, "Big Classic Rig");
    EXPECT_EQ(effect->getParameter(3), 1.0f);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(effect->getParameter(i), factoryPrograms[2].values[i]);
    std::memset(name, 'x', sizeof name);
    EXPECT_FALSE(effect->getProgramNameIndexed(0, 20, name));
    EXPECT_FALSE(effect->getProgramNameIndexed(0, -1, name));
    EXPECT_EQ(name[0], 'x');
}

TEST(EffectProgramTest, SelectingAProgramAppliesItsValues) {
    auto effect = makeEffect();
    effect->setProgram(5);
    EXPECT_EQ(effect->getProgram(), 5);
    EXPECT_EQ(effect->getParameter(9), 0.785f);
    effect->setProgram(-1);
    effect->setProgram(20);
    EXPECT_EQ(effect->getProgram(), 5);
    EXPECT_EQ(effect->getParameter(9), 0.785f);
}

TEST(EffectProgramTest, EditsStayWithTheirProgram) {
    auto effect = makeEffect();
    effect->setParameter(9, 0.125f);
    effect->setProgram(7);
    EXPECT_EQ(effect->getParameter(9), factoryPrograms[7].values[9]);
    effect->setProgram(2);
    EXPECT_EQ(effect->getParameter(9), 0.125f);
}

// A host's program change reaches it as one display update once the values
// are in place, never as automation, and never from the audio thread.
TEST(EffectProgramTest, ProgramChangeAsksTheHostForADisplayUpdateOffTheAudioThread) {
    static std::vector<std::pair<VstInt32, std::thread::id>> requests; // updates, automates
    static float seen = 0.0f;
    Effect effect([](AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        if (opcode == audioMasterUpdateDisplay) seen = e->getParameter(e, 9);
        if (opcode == audioMasterUpdateDisplay || opcode == audioMasterAutomate)
            requests.emplace_back(opcode, std::this_thread::get_id());
        return 0;
    });
    const std::pair update(VstInt32{audioMasterUpdateDisplay}, std::this_thread::get_id());
    effect.dispatcher(effSetProgram, 0, 5, nullptr, 0.0f);
    EXPECT_EQ(requests, std::vector{update});
    EXPECT_EQ(seen, 0.785f);
    std::thread([&] {
        std::vector<float> in(64), out(64);
        float* channels[2] = {in.data(), out.data()};
        effect.processReplacing(channels, channels, 64);
        effect.dispatcher(effSetProgram, 0, 7, nullptr, 0.0f);
        effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f); // still the audio thread
    }).join();
    EXPECT_EQ(requests.size(), 1u);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(requests, std::vector({update, update}));
}

// A host may process on a pool of threads that take turns; a program change
// made on any of them, outside its blocks, still waits for an idle elsewhere.
TEST(EffectProgramTest, EveryThreadThatRanABlockDefersTheDisplayUpdate) {
    static std::vector<std::thread::id> updates;
    Effect effect([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        if (opcode == audioMasterUpdateDisplay) updates.push_back(std::this_thread::get_id());
        return 0;
    });
    const auto block = [&] {
        std::vector<float> in(64), out(64);
        float* channels[2] = {in.data(), out.data()};
        effect.processReplacing(channels, channels, 64);
    };
    const auto changeProgram = [&](VstIntPtr program) {
        effect.dispatcher(effSetProgram, 0, program, nullptr, 0.0f);
        effect.dispatcher(effIdle, 0, 0, nullptr, 0.0f);
    };
    // Both pool threads are alive at once, so their identities differ.
    std::thread([&] {
        block();
        std::thread([&] {
            block();
            changeProgram(3);
        }).join();
        changeProgram(4); // the first thread, after the second ran the latest block
        block();
    }).join();
    EXPECT_TRUE(updates.empty());
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(updates, std::vector{std::this_thread::get_id()});
    EXPECT_EQ(effect.getProgram(), 4);

    // A thread whose only block is thousands of blocks old is no audio thread
    // any more: a thread that ended may pass its identity to one that never
    // runs a block, and that one's updates must not wait for good.
    updates.clear();
    std::thread::id stale;
    std::thread([&] {
        stale = std::this_thread::get_id();
        block();
        std::thread([&] {
            for (int i = 0; i < 5000; ++i)
                block();
        }).join();
        changeProgram(5);
    }).join();
    EXPECT_EQ(updates, std::vector{stale});
}

TEST(EffectProgramTest, RenamingKeepsTwentyFourCharactersAndTheValues) {
    auto effect = makeEffect();
    std::string name = "abcdefghijklmnopqrstuvwxyz0123";
    effect->setProgramName(name.data());
    char out[40];
    std::memset(out, 'x', sizeof out);
    effect->getProgramName(out);
    EXPECT_EQ(std::string(out), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(out[25], 'x');
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(effect->getParameter(i), factoryPrograms[2].values[i]);

    name = "Short";
    effect->setProgramName(name.data());
    effect->getProgramName(out);
    EXPECT_STREQ(out, "Short");
}

// The effect hands parameters to the engine at block boundaries; from one
// thread its sound must equal the engine's driven directly in the order the
// effect's construction gives.
TEST(EffectFrameTest, OutputEqualsTheEngineDrivenDirectly) {
    auto effect = makeEffect();
    auto engine = std::make_unique<Tarvex>();
    for (int p : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0})
        for (const PresetKey& k : presetKeys)
            engine->SetParameter(k.index, factoryPrograms[p].values[k.index]);
    engine->SetFs(44100.0);
    applyFactoryProgram(*engine, 2);
    // The effect starts settled: 0.2 s of silence in blocks of its buffers.
    std::vector<double> silent(1024), scratchL(1024), scratchR(1024);
    for (int done = 0; done < 8820; done += 1024) {
        std::fill(silent.begin(), silent.end(), 0.0);
        engine->process(silent.data(), scratchL.data(), scratchR.data(),
                        std::min(1024, 8820 - done));
    }

    const std::vector<double> line = bassLine(44100.0, 0.5);
    const std::vector<float> left = toFloat(line, 0.6), right = toFloat(line, 0.3);
    const Render out = render(*effect, left, right, 256);

    std::vector<double> mono(256), l(256), r(256);
    for (size_t at = 0; at < left.size(); at += 256) {
        const int n = static_cast<int>(std::min<size_t>(256, left.size() - at));
        for (int i = 0; i < n; ++i)
            mono[i] = static_cast<double>(left[at + i]) + static_cast<double>(right[at + i]);
        engine->process(mono.data(), l.data(), r.data(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(out.left[at + i], static_cast<float>(l[i])) << at + i;
            ASSERT_EQ(out.right[at + i], static_cast<float>(r[i])) << at + i;
        }
    }
}

TEST(EffectFrameTest, BypassSendsTheInputSumToBothOutputs) {
    auto effect = makeEffect();
    EXPECT_TRUE(effect->setBypass(true));
    EXPECT_FALSE(effect->isProcessing());
    const std::vector<float> x = toFloat(noise(300, 1), 0.5), y = toFloat(noise(300, 2), 0.25);
    const Render out = render(*effect, x, y, 300);
    for (size_t i = 0; i < x.size(); ++i) {
        const float sum = static_cast<float>(static_cast<double>(x[i]) + static_cast<double>(y[i]));
        ASSERT_EQ(out.left[i], sum);
        ASSERT_EQ(out.right[i], sum);
    }
    EXPECT_TRUE(effect->setBypass(false));
    const Render on = render(*effect, x, y, 300);
    EXPECT_NE(on.left, out.left);
}

TEST(EffectFrameTest, MonoHostHearsTheLeftChannelOfTheFirstInput) {
    auto mono = makeEffect();
    auto stereo = makeEffect();
    const std::vector<float> x = toFloat(bassLine(44100.0, 0.3), 0.5);
    const std::vector<float> zeros(x.size(), 0.0f);
    const Render reference = render(*stereo, x, zeros, 128);
    std::vector<float> out(x.size());
    for (size_t at = 0; at < x.size(); at += 128) {
        const int n = static_cast<int>(std::min<size_t>(128, x.size() - at));
        float* inputs[2] = {const_cast<float*>(x.data() + at), nullptr};
        float* outputs[2] = {out.data() + at, nullptr};
        mono->processReplacing(inputs, outputs, n);
    }
    EXPECT_EQ(out, reference.left);
}

TEST(EffectFrameTest, InPlaceBuffersEqualSeparateOnes) {
    auto a = makeEffect();
    auto b = makeEffect();
    const std::vector<float> x = toFloat(bassLine(44100.0, 0.2), 0.5);
    const std::vector<float> y = toFloat(noise(x.size(), 3), 0.01);
    const Render separate = render(*a, x, y, 512);
    std::vector<float> l = x, r = y;
    for (size_t at = 0; at < l.size(); at += 512) {
        const int n = static_cast<int>(std::min<size_t>(512, l.size() - at));
        float* io[2] = {l.data() + at, r.data() + at};
        b->processReplacing(io, io, n);
    }
    EXPECT_EQ(l, separate.left);
    EXPECT_EQ(r, separate.right);
}

TEST(EffectFrameTest, WorkBuffersOnlyGrow) {
    auto effect = makeEffect();
    EXPECT_EQ(effect->getBufferSize(), 1024);
    for (int n : {1024, 4096, 512}) {
        std::vector<float> in(n, 0.1f), out(n), out2(n);
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {out.data(), out2.data()};
        effect->processReplacing(inputs, outputs, n);
    }
    EXPECT_EQ(effect->getBufferSize(), 4096);
}

TEST(EffectFrameTest, EmptyBlockWritesNothing) {
    auto effect = makeEffect();
    float in[4] = {1, 1, 1, 1}, out[4] = {7, 7, 7, 7};
    float* inputs[2] = {in, in};
    float* outputs[2] = {out, out};
    effect->processReplacing(inputs, outputs, 0);
    effect->processReplacing(inputs, outputs, -5);
    for (float v : out)
        EXPECT_EQ(v, 7.0f);
}

TEST(EffectFrameTest, AccumulatingProcessAddsTheReplacingResult) {
    auto a = makeEffect();
    auto b = makeEffect();
    const std::vector<float> x = toFloat(bassLine(44100.0, 0.1), 0.5), zeros(x.size(), 0.0f);
    const Render replaced = render(*a, x, zeros, static_cast<int>(x.size()));
    std::vector<float> l(x.size(), 0.25f), r(x.size(), -0.5f);
    float* inputs[2] = {const_cast<float*>(x.data()), const_cast<float*>(zeros.data())};
    float* outputs[2] = {l.data(), r.data()};
    b->process(inputs, outputs, static_cast<int>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(l[i], 0.25f + replaced.left[i]);
        ASSERT_EQ(r[i], -0.5f + replaced.right[i]);
    }
}

TEST(EffectFrameTest, SampleRateReachesEngineAndBase) {
    auto effect = makeEffect();
    effect->setSampleRate(48000.0f);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);

    // The engine now runs at 48 kHz: same output as an effect told so first.
    auto reference = makeEffect();
    reference->setSampleRate(48000.0f);
    const std::vector<float> x = toFloat(bassLine(48000.0, 0.2), 0.5), zeros(x.size(), 0.0f);
    EXPECT_EQ(render(*effect, x, zeros, 256).left, render(*reference, x, zeros, 256).left);

    effect->setSampleRate(0.0f);
    EXPECT_EQ(effect->getSampleRate(), 0.0f);
    const Render after = render(*effect, x, zeros, 256);
    for (float v : after.left)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(EffectFrameTest, IndicatorsReadTheEngineInSteps) {
    auto effect = makeEffect();
    EXPECT_EQ(effect->VUState(0), 0.0);
    EXPECT_EQ(effect->VUState(7), 0.0);
    effect->setProgram(19); // drives into the limiters
    const std::vector<float> x = toFloat(bassLine(44100.0, 0.5), 1.0), zeros(x.size(), 0.0f);
    render(*effect, x, zeros, 512);
    bool anyLit = false;
    for (int which = 1; which <= 6; ++which) {
        const double v = effect->VUState(which);
        EXPECT_TRUE(v == 0.0 || std::abs(v - 1.0 / 3.0) < 1e-12 ||
                    std::abs(v - 2.0 / 3.0) < 1e-12 || v == 1.0)
            << which << " " << v;
        anyLit = anyLit || v > 0.0;
    }
    EXPECT_TRUE(anyLit);
}

TEST(EffectFrameTest, TheTunerSwitchedOnWhileTheAudioThreadRunsStartsListening) {
    // The effect sizes the tuner's history when it is first switched on, on
    // the switching thread, while blocks keep coming on the audio thread: they
    // come until the switch is seen, however late that thread runs, and for
    // 300 more.
    auto effect = makeEffect();
    std::atomic<bool> switched{false};
    std::jthread editor([&] {
        effect->setTunerOn(true);
        switched.store(true);
    });
    std::vector<float> left(512), right(512, 0.0f), out0(512), out1(512);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    const Deadline deadline;
    int blocksAfter = 0;
    for (long at = 0; blocksAfter < 300 && !deadline.passed(); at += 512) {
        for (long i = 0; i < 512; ++i) // 110 Hz
            left[i] = static_cast<float>(0.4 * std::sin(2.0 * M_PI * 110.0 * (at + i) / 44100.0));
        effect->processReplacing(inputs, outputs, 512);
        if (switched.load()) ++blocksAfter;
    }
    ASSERT_EQ(blocksAfter, 300);
    int note = -1;
    double meter = 0.0;
    char name[16];
    effect->tuner.GetReading(&note, &meter, name);
    EXPECT_EQ(note, Tuner::binOfA - 24);
}

TEST(EffectFrameTest, TunerHearsTheInputOnlyWhenOnAndAlsoWhenBypassed) {
    auto effect = makeEffect();
    const std::vector<float> a = toFloat(sine(110.0, 44100.0, 66150), 0.4), zeros(a.size(), 0.0f);
    int note = -1;
    double meter = 0.0;
    char name[16];
    render(*effect, a, zeros, 512);
    effect->tuner.GetReading(&note, &meter, name);
    EXPECT_STREQ(name, "--") << "an untouched tuner reads nothing";

    effect->setTunerOn(true);
    effect->setBypass(true);
    render(*effect, a, zeros, 512);
    effect->tuner.GetReading(&note, &meter, name);
    EXPECT_EQ(note, Tuner::binOfA - 24); // 110 Hz, two octaves below 440 Hz
}

TEST(EffectFrameTest, OutputRecoversAfterNonFiniteInput) {
    auto effect = makeEffect();
    effect->setProgram(13); // chorus and reverb on: long memories
    const int block = 441;
    std::vector<float> in(block), out0(block), out1(block);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    for (int b = 0; b < 20; ++b) {
        for (int i = 0; i < block; ++i)
            in[i] = (b == 5) ? (i % 3 == 0 ? static_cast<float>(kNaN)
                                           : (i % 3 == 1 ? static_cast<float>(kInfinity) : 1e30f))
                             : static_cast<float>(0.3 * std::sin(0.05 * (b * block + i)));
        effect->processReplacing(inputs, outputs, block);
        if (b >= 6) {
            for (int i = 0; i < block; ++i) {
                ASSERT_TRUE(std::isfinite(out0[i])) << b;
                ASSERT_TRUE(std::isfinite(out1[i])) << b;
            }
        }
    }
}

TEST(EffectFrameTest, AudioPathAllocatesNothingAfterWarmUp) {
    auto effect = makeEffect();
    std::vector<float> in(2048, 0.0f), out0(2048), out1(2048);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.2 * std::sin(0.03 * i));
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    effect->processReplacing(inputs, outputs, 2048);
    std::mt19937 random(5);
    AllocationScope scope;
    for (int b = 0; b < 200; ++b) {
        if (b % 50 == 10) effect->setProgram(b % 20);
        effect->setParameter(static_cast<int>(random() % kNumParams),
                             std::uniform_real_distribution<float>(0.0f, 1.0f)(random));
        effect->processReplacing(inputs, outputs, 1 + static_cast<int>(random() % 2048));
    }
    EXPECT_EQ(scope.count(), 0u);
}

TEST(EffectFrameTest, TheFirstBlockAfterAnAnnouncedBlockSizeAllocatesNothing) {
    // Announced before the rate and after it, at rates with each oversampling
    // factor, and larger than the buffers the effect starts with.
    struct Order {
        float rate;
        int block;
        bool sizeFirst;
    };
    for (const Order order : {Order{48000.0f, 4096, false}, Order{96000.0f, 3000, false},
                              Order{44100.0f, 2500, true}, Order{192000.0f, 777, true}}) {
        auto effect = makeEffect();
        if (order.sizeFirst) effect->setBlockSize(order.block);
        effect->setSampleRate(order.rate);
        if (!order.sizeFirst) effect->setBlockSize(order.block);
        const size_t n = static_cast<size_t>(order.block);
        std::vector<float> in(2 * n), out0(2 * n), out1(2 * n);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<float>(0.3 * std::sin(0.01 * static_cast<double>(i)));
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        {
            AllocationScope scope;
            effect->processReplacing(inputs, outputs, order.block);
            EXPECT_EQ(scope.count(), 0u) << order.rate << " Hz, " << order.block;
        }
        // A larger block than announced still works (the buffers grow).
        effect->processReplacing(inputs, outputs, 2 * order.block);
        for (size_t i = 0; i < 2 * n; ++i)
            ASSERT_TRUE(std::isfinite(out0[i]) && std::isfinite(out1[i]));
    }
}

TEST(EffectFrameTest, AFreshInstanceSoundsLikeOneThatHasRunOnSilence) {
    // No glide from the engine's own defaults into program 2 may be heard at
    // the start, at the rate the effect is built with or after a rate change.
    const auto line = bassLine(48000.0, 0.3);
    const auto firstFiftyMs = [&](double fs, double silentSeconds) {
        auto effect = makeEffect();
        if (fs != 44100.0) effect->setSampleRate(static_cast<float>(fs));
        const int n = static_cast<int>(0.05 * fs);
        std::vector<float> in(line.size()), out0(in.size()), out1(in.size());
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        for (int done = 0; done < static_cast<int>(silentSeconds * fs); done += 256)
            effect->processReplacing(inputs, outputs, 256); // in is silent still
        for (size_t i = 0; i < line.size(); ++i)
            in[i] = static_cast<float>(0.5 * line[i]);
        for (int start = 0; start < n; start += 256) {
            float* blockIn[2] = {in.data() + start, in.data() + start};
            float* blockOut[2] = {out0.data() + start, out1.data() + start};
            effect->processReplacing(blockIn, blockOut, 256);
        }
        return rms(std::vector<double>(out0.begin(), out0.begin() + n));
    };
    for (double fs : {44100.0, 48000.0}) {
        const double fresh = firstFiftyMs(fs, 0.0);
        const double rested = firstFiftyMs(fs, 1.0);
        EXPECT_NEAR(toDecibels(fresh / rested), 0.0, 0.1) << fs;
    }
}

} // namespace
