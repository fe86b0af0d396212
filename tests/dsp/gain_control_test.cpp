// GainControl: the digital filters against their analogue prototypes, the
// design figures of the circuit in use, setter rules and the two process forms.
#include "dsp/gain_control.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

using namespace testing_support;
using Complex = std::complex<double>;

namespace {

const double positions[] = {0.02, 0.1, 0.5, 0.9, 1.0};
const double rates[] = {44100.0, 48000.0, 96000.0};

// A gain control settled at the given rate, type and position.
struct Pot : GainControl {
    Pot(double rate, int type, double position) {
        SetFs(rate);
        SetParameters({type, position});
        std::vector<double> zeros(4096, 0.0);
        process(zeros.data(), 4096); // the fade ends after 21 ms
    }
    const GainControlSection& Current() const { return sets[fade.currentSet]; }
};

Complex analogue(const AnalogPrototype& h, Complex s) {
    Complex n = 0.0, d = 0.0;
    for (int i = h.order; i >= 0; --i) {
        n = n * s + h.numerator[i];
        d = d * s + h.denominator[i];
    }
    return n / d;
}

Complex digital(const GainControlSection& c, double f, double fs) {
    const Complex zi = std::polar(1.0, -2.0 * M_PI * f / fs);
    const Complex b = c.b0 + zi * (c.b1 + zi * (c.b2 + zi * c.b3));
    const Complex a = 1.0 - zi * (c.a1 + zi * (c.a2 + zi * c.a3));
    return b / a;
}

} // namespace

TEST(GainControlResponse, EqualsTheAnaloguePrototypeAtOneKilohertzForEveryTypeAndRate) {
    const Complex s(0.0, 2.0 * M_PI * 1000.0);
    for (double fs : rates) {
        for (int type = 0; type <= 5; ++type) {
            for (double position : positions) {
                Pot pot(fs, type, position);
                const Complex expected =
                    analogue(GainControl::Prototype(type, position * position), s);
                const Complex got = digital(pot.Current(), 1000.0, fs);
                EXPECT_LT(std::abs(got - expected), 1e-9 * std::abs(expected))
                    << fs << " Hz, type " << type << ", position " << position;
                // No variant passes DC: the numerator vanishes at z = 1.
                const auto& c = pot.Current();
                EXPECT_LT(
                    std::fabs(c.b0 + c.b1 + c.b2 + c.b3),
                    1e-12 * (std::fabs(c.b0) + std::fabs(c.b1) + std::fabs(c.b2) + std::fabs(c.b3)))
                    << fs << " Hz, type " << type << ", position " << position;
            }
        }
    }
}

// The filter that process runs is the designed one: its measured impulse
// response has the analogue response at 1 kHz.
TEST(GainControlResponse, ProcessRunsTheDesignedFilter) {
    for (double fs : rates) {
        for (double position : {0.5, 1.0}) {
            Pot pot(fs, 0, position);
            const auto h = impulseResponse([&](double* x, int n) { pot.process(x, n); }, 32768);
            const Complex expected = analogue(GainControl::Prototype(0, position * position),
                                              Complex(0.0, 2.0 * M_PI * 1000.0));
            EXPECT_LT(std::abs(responseAt(h, 1000.0, fs) - expected), 1e-9)
                << fs << " " << position;
        }
    }
}

// Type 0 (the channel's circuit) is a first-order high-pass whose treble gain
// and corner follow the knob.
TEST(GainControlResponse, TypeZeroHasItsDesignGainsAndCorners) {
    struct Figure {
        double position, trebleGain, cornerHz;
    };
    for (const Figure& f : {Figure{0.5, 0.20995, 15.2}, Figure{1.0, 0.99483, 28.8}}) {
        const AnalogPrototype h = GainControl::Prototype(0, f.position * f.position);
        const double treble = std::abs(analogue(h, Complex(0.0, 2.0 * M_PI * 1e9)));
        EXPECT_NEAR(treble, f.trebleGain, 1e-5);
        Pot pot(44100.0, 0, f.position);
        EXPECT_NEAR(std::abs(digital(pot.Current(), 22050.0, 44100.0)), treble, 1e-12);
        EXPECT_NEAR(std::abs(digital(pot.Current(), f.cornerHz, 44100.0)), treble / std::sqrt(2.0),
                    0.01 * treble);
    }
    EXPECT_NEAR(20.0 * std::log10(0.99483), -0.045, 0.001);
}

// The third-order denominators are given as sums of factored products; the
// expansion into powers of s must agree with them anywhere in the s plane.
TEST(GainControlResponse, ThirdOrderDenominatorsExpandTheirFactoredForms) {
    auto product = [](Complex s, double k, double r1, double r2, double r3) {
        return k * (s + r1) * (s + r2) * (s + r3);
    };
    for (double p : {0.0, 0.3, 0.81}) {
        for (Complex s : {Complex(0.0, 6283.2), Complex(-40.0, 100.0), Complex(3.0e5, -2.0e4)}) {
            const Complex d3 =
                product(s, 2.2061311717e17 * p, -35.00588923531594, -5.907090645608312,
                        4529.065043307274) -
                2.2090028717e17 * p * p * s * (s + 4.588744227379833) * (s + 4529.065080529583) +
                product(s, 2.8717e14, 44.947219664566745, 4529.062924400181, 3535969.038794322);
            const Complex d4 = product(s, 7.047887200000001e29 * p, 51.47665752303108,
                                       1172.4106911298188, 2280.461160216587) -
                               product(s, 7.058434e29 * p * p, 21.604982394799055, 460.031079665099,
                                       3563.6132099457623) +
                               product(s, 1.0546799999999324e27, 50.68129558454031,
                                       824.1628327671543, 1034875.6015045133);
            for (int type : {3, 4}) {
                const AnalogPrototype h = GainControl::Prototype(type, p);
                Complex d = 0.0;
                for (int i = 3; i >= 0; --i)
                    d = d * s + h.denominator[i];
                const Complex expected = type == 3 ? d3 : d4;
                EXPECT_LT(std::abs(d - expected), 1e-10 * std::abs(expected))
                    << type << " " << p << " " << s;
            }
        }
    }
}

TEST(GainControlProcessing, PositionZeroIsSilentForEveryType) {
    for (int type = 0; type <= 5; ++type) {
        Pot pot(44100.0, type, 0.0);
        auto x = noise(2048, 5);
        pot.process(x.data(), 2048);
        for (double v : x)
            ASSERT_EQ(v, 0.0) << type;
    }
}

TEST(GainControlProcessing, TheIphoneFormSwitchesAtOnceWithoutAFade) {
    Pot pot(44100.0, 0, 0.5);
    auto x = noise(1000, 6);
    pot.process_iphone(x.data(), 1000);
    pot.SetParameter(1, 0.9);
    x = noise(1000, 7);
    pot.process_iphone(x.data(), 1000);
    EXPECT_FALSE(pot.fade.dirty);
    EXPECT_FALSE(pot.fade.crossfading);

    Pot fresh(44100.0, 0, 0.9); // the new setting from zeroed history
    auto y = noise(1000, 7);
    fresh.process_iphone(y.data(), 1000);
    EXPECT_EQ(x, y);
}

TEST(GainControlSetters, TheTypeAlwaysRestartsAFadeAndInvalidValuesAreIgnored) {
    Pot pot(44100.0, 0, 0.5);
    EXPECT_FALSE(pot.fade.dirty);
    pot.SetParameter(1, 0.5);
    EXPECT_FALSE(pot.fade.dirty);
    pot.SetParameter(0, 0.0); // the present type still starts a fade
    EXPECT_TRUE(pot.fade.dirty);

    Pot other(44100.0, 2, 0.5);
    for (double v : {6.0, -1.0, 5.6, kNaN, kInfinity})
        other.SetParameter(0, v);
    for (double v : {-0.1, 1.5, kNaN, kInfinity})
        other.SetParameter(1, v);
    other.SetParameter(2, 1.0);
    EXPECT_FALSE(other.fade.dirty);
    EXPECT_EQ(other.GetParameter(0), 2.0);
    EXPECT_EQ(other.GetParameter(1), 0.5);
    EXPECT_EQ(other.taper, 0.25);
    // Rates at or below twice the 1 kHz match point would give an unstable
    // filter; they are refused like NaN and infinite ones.
    for (double rate : {0.0, -48000.0, 2000.0, 1500.0, kNaN, kInfinity, 44100.0})
        other.SetFs(rate);
    EXPECT_EQ(other.fs, 44100.0);
    EXPECT_FALSE(other.fade.dirty);
}

TEST(GainControlProcessing, ANonFiniteSampleDoesNotPoisonLaterBlocks) {
    Pot pot(44100.0, 3, 0.7);
    const auto clean = noise(512, 8);
    std::vector<double> x;
    for (bool iphone : {false, true}) {
        const Process process = [&](double* p, int n) {
            iphone ? pot.process_iphone(p, n) : pot.process(p, n);
        };
        for (double bad : {kNaN, kInfinity})
            ASSERT_TRUE(staysFiniteAfter(process, x, clean, 30, bad, {clean}))
                << iphone << " " << bad;
    }
}
