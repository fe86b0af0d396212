// TarvexCabinet: the five choices, the rate groups' slices of the response
// table, when the convolver reloads, and the cross-thread hand-off.
#include "amp/tarvex_cabinet.h"
#include "support/allocation_counter.h"
#include "support/signals.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

// Both objects hold a 3.3 MB convolver: always on the heap.
std::unique_ptr<TarvexCabinet> makeCabinet() {
    return std::make_unique<TarvexCabinet>();
}

struct Output {
    std::vector<double> in, left, right; // in: the input after processing
};

Output run(TarvexCabinet& cabinet, std::vector<double> x, int block = 256) {
    Output o{std::move(x), {}, {}};
    o.left.assign(o.in.size(), 0.0);
    o.right.assign(o.in.size(), 0.0);
    for (size_t start = 0; start < o.in.size(); start += static_cast<size_t>(block)) {
        const int n = static_cast<int>(std::min(o.in.size() - start, static_cast<size_t>(block)));
        cabinet.process(o.in.data() + start, o.left.data() + start, o.right.data() + start, n);
    }
    return o;
}

// A fresh convolver loaded with heap[first .. first+1023], run over the
// filtered input the cabinet left in place: the cabinet's output must be this
// bit for bit when it loaded that slice from cleared state.
std::vector<double> freshConvolution(int first, const std::vector<double>& filtered) {
    auto c = std::make_unique<CabinetConvolver>();
    c->SetImpulse(TarvexCabinet::heap + first, TarvexCabinet::heap + first, 1024, true);
    std::vector<double> y(filtered.size());
    c->process_mono(filtered.data(), y.data(), static_cast<int>(filtered.size()));
    return y;
}

} // namespace

TEST(TarvexCabinetTest, ChoiceZeroCopiesExactlyAndLeavesTheInputAlone) {
    auto cabinet = makeCabinet();
    ASSERT_TRUE(cabinet->SetCabinet(0));
    const auto x = noise(3000, 1u);
    const auto o = run(*cabinet, x, 100);
    EXPECT_EQ(o.in, x);
    EXPECT_EQ(o.left, x);
    EXPECT_EQ(o.right, x);
}

TEST(TarvexCabinetTest, ChoiceOneAppliesBothLowPassesToTheInputAndBothOutputs) {
    auto cabinet = makeCabinet(); // starts on choice 1
    Filter first, second;
    first.SetParameters({true, FilterType::LowPass, 4590.0, 1.57, 0.0});
    second.SetParameters({true, FilterType::LowPass, 4520.0, 0.728, 0.0});
    auto expected = noise(3000, 2u);
    const auto o = run(*cabinet, expected, 300);
    for (size_t start = 0; start < expected.size(); start += 300) {
        first.process(expected.data() + start, 300);
        second.process(expected.data() + start, 300);
    }
    EXPECT_EQ(o.in, expected);
    EXPECT_EQ(o.left, expected);
    EXPECT_EQ(o.right, expected);

    // The pair passes the bass and cuts the top: flat at 100 Hz, a slight
    // rise near the corners, steep above.
    std::vector<double> impulse(8192, 0.0);
    impulse[0] = 1.0;
    for (int i = 0; i < 3; ++i)
        run(*cabinet, std::vector<double>(4096, 0.0)); // let the filters settle
    const auto h = run(*cabinet, impulse).left;
    EXPECT_NEAR(magnitudeDb(h, 100.0, 44100.0), 0.0, 0.05);
    EXPECT_NEAR(magnitudeDb(h, 4500.0, 44100.0), 1.2, 1.0);
    EXPECT_LT(magnitudeDb(h, 15000.0, 44100.0), -30.0);
}

// Group offsets 0, 3072, 6144, 9216 by rate; the response of choice c starts
// (c - 2) x 1024 into its group.
TEST(TarvexCabinetTest, EachRateGroupLoadsItsSliceOfTheTable) {
    struct Case {
        double fs;
        int offset;
    };
    const Case cases[] = {{8000.0, 0},     {44100.0, 0},    {46049.0, 0},    {46050.0, 3072},
                          {48000.0, 3072}, {68099.0, 3072}, {68100.0, 6144}, {88200.0, 6144},
                          {92099.0, 6144}, {92100.0, 9216}, {96000.0, 9216}, {192000.0, 9216}};
    const auto x = noise(2500, 3u);
    for (const auto& [fs, offset] : cases) {
        for (int c = 2; c <= 4; ++c) {
            auto cabinet = makeCabinet();
            cabinet->SetFs(fs);
            ASSERT_TRUE(cabinet->SetCabinet(c));
            const auto o = run(*cabinet, x, 128);
            EXPECT_EQ(o.left, freshConvolution(offset + (c - 2) * 1024, o.in))
                << fs << " Hz, choice " << c;
            EXPECT_EQ(o.right, o.left);
        }
    }
    // Choice 3 at 48000 Hz plays elements 4096..5119; at 96000 Hz 10240..11263.
    auto cabinet = makeCabinet();
    cabinet->SetFs(48000.0);
    cabinet->SetCabinet(3);
    auto o = run(*cabinet, x);
    EXPECT_EQ(o.left, freshConvolution(4096, o.in));
    cabinet->SetFs(96000.0);
    o = run(*cabinet, x);
    EXPECT_EQ(o.left, freshConvolution(10240, o.in));
}

TEST(TarvexCabinetTest, InvalidChoicesAndRatesAreRefusedAndChangeNothing) {
    auto cabinet = makeCabinet();
    auto twin = makeCabinet();
    for (auto* c : {cabinet.get(), twin.get()})
        c->SetCabinet(2);
    const auto x = noise(2000, 4u);
    run(*cabinet, x);
    run(*twin, x);
    for (int c : {5, -1, 8, INT_MIN, INT_MAX})
        EXPECT_FALSE(cabinet->SetCabinet(c)) << c;
    for (double fs : {0.0, -48000.0, kNaN, kInfinity, -kInfinity})
        cabinet->SetFs(fs);
    const auto a = run(*cabinet, x);
    const auto b = run(*twin, x);
    EXPECT_EQ(a.left, b.left);
    for (int c = 0; c < 5; ++c)
        EXPECT_TRUE(cabinet->SetCabinet(c));
}

// Re-selecting the present choice, or setting the present rate, keeps the
// convolution running; a rate change, or a return from a choice without
// response, restarts it from cleared state.
TEST(TarvexCabinetTest, ReselectionKeepsTheStateAndRateChangesClearIt) {
    auto cabinet = makeCabinet();
    auto twin = makeCabinet();
    for (auto* c : {cabinet.get(), twin.get()})
        c->SetCabinet(4);
    const auto x = noise(3000, 5u);
    run(*cabinet, x);
    run(*twin, x);
    EXPECT_TRUE(cabinet->SetCabinet(4));
    cabinet->SetFs(44100.0);
    auto a = run(*cabinet, x);
    const auto b = run(*twin, x);
    EXPECT_EQ(a.left, b.left);

    cabinet->SetFs(48000.0);
    a = run(*cabinet, x);
    EXPECT_EQ(a.left, freshConvolution(3072 + 2048, a.in));
    cabinet->SetFs(44100.0);
    a = run(*cabinet, x, 77);
    EXPECT_EQ(a.left, freshConvolution(2048, a.in));

    cabinet->SetCabinet(0);
    cabinet->SetCabinet(4);
    a = run(*cabinet, x);
    EXPECT_EQ(a.left, freshConvolution(2048, a.in));

    // A rate change on choice 0 or 1 only stores the rate; choosing a
    // response afterwards loads it from the new group.
    cabinet->SetCabinet(1);
    cabinet->SetFs(88200.0);
    run(*cabinet, x);
    cabinet->SetCabinet(2);
    a = run(*cabinet, x);
    EXPECT_EQ(a.left, freshConvolution(6144, a.in));
}

TEST(TarvexCabinetTest, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    auto cabinet = makeCabinet();
    std::vector<double> in(4096, 0.1), left(4096), right(4096);
    cabinet->process(in.data(), left.data(), right.data(), 4096);
    AllocationScope scope;
    const double rates[] = {48000.0, 96000.0, 44100.0};
    for (int round = 0; round < 3; ++round) {
        for (int c = 0; c < 5; ++c) {
            cabinet->SetCabinet(c);
            for (int n : {4096, 1, 333})
                cabinet->process(in.data(), left.data(), right.data(), n);
        }
        cabinet->SetFs(rates[round]);
    }
    EXPECT_EQ(scope.count(), 0u);
}

// A host thread keeps changing cabinets and rates while the audio thread
// processes; the convolver is only ever loaded by the audio thread, so
// ThreadSanitizer sees no race, the sound stays finite, and the last request
// is the one that plays.
TEST(TarvexCabinetTest, ChangesFromAnotherThreadArePickedUpAtTheNextBlock) {
    auto cabinet = makeCabinet();
    // Blocks come until the host has made 500 changes, however the threads are run.
    std::atomic<int> changes{0};
    std::jthread host([&](std::stop_token stop) {
        std::mt19937 generator(6);
        const double rates[] = {44100.0, 48000.0, 88200.0, 96000.0};
        while (!stop.stop_requested()) {
            cabinet->SetCabinet(static_cast<int>(generator() % 5));
            if (generator() % 5 == 0) cabinet->SetFs(rates[generator() % 4]);
            changes.fetch_add(1);
            std::this_thread::yield();
        }
    });
    std::vector<double> in(64), left(64), right(64);
    std::mt19937 generator(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    bool finite = true;
    const Deadline deadline;
    for (int block = 0; (block < 3000 || changes.load() < 500) && !deadline.passed(); ++block) {
        for (double& v : in)
            v = uniform(generator);
        cabinet->process(in.data(), left.data(), right.data(), 64);
        for (int i = 0; i < 64; ++i)
            finite = finite && std::isfinite(left[static_cast<size_t>(i)]) &&
                     left[static_cast<size_t>(i)] == right[static_cast<size_t>(i)];
    }
    host.request_stop();
    host.join();
    EXPECT_GE(changes.load(), 500);
    EXPECT_TRUE(finite);

    cabinet->SetCabinet(0);
    cabinet->SetFs(96000.0);
    cabinet->SetCabinet(3);
    const auto o = run(*cabinet, noise(2000, 8u));
    EXPECT_EQ(o.left, freshConvolution(9216 + 1024, o.in));
}
