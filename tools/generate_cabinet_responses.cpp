// Generates amp/cabinet_responses.cpp: the twelve 1024-tap cabinet impulse
// responses of TarvexCabinet ("1x15", "4x10", "8x10" at 44.1, 48, 88.2 and
// 96 kHz). The responses are modelled, not measured.
//
//   generate_cabinet_responses [output.cpp]     (standard output without one)
//
// The model gives each cabinet's magnitude response at a microphone 1 m in
// front of the baffle, a little off centre, as the product of:
//
// - Low end (box and driver resonance): a sealed box is a second-order
//   high-pass at the closed-box resonance with its total Q; a vented box a
//   fourth-order (Butterworth B4) high-pass at the port tuning. Below the
//   corner the output falls at 12 or 24 dB per octave.
// - Cone break-up and high roll-off: above the piston range the cone stops
//   moving as one; its break-up modes are peaks and a cancellation dip
//   (second-order peaking sections), and the output then falls with a
//   fourth-order low-pass (two second-order sections, Q 0.707). A 15-inch cone
//   breaks up and rolls off about an octave lower than a 10-inch one.
// - Beaming and the comb of several drivers: every driver is a rigid piston
//   of effective radius a in the baffle, radiating with the directivity
//   2 J1(ka sin t)/(ka sin t) towards the microphone at angle t from its axis;
//   the drivers' contributions are summed with their path delays and 1/r
//   losses. With several drivers the path differences cause comb filtering
//   and the array narrows its beam, so off-axis highs fall earlier. The sum is
//   normalised to unity at 0 Hz.
//
// Cabinets (positions in metres from the baffle centre, x across, y up;
// break-up as frequency Hz / gain dB / Q):
//
// - "1x15": vented box tuned to 38 Hz; one 15-inch driver, a = 0.165 m, at
//   (0, 0); break-up peaks 1250/2.5/2.5 and 2050/4/3.5, dip 2600/-5/3; top
//   roll-off 2700 Hz. Deep, round, early top: no comb, little beaming.
// - "4x10": vented box tuned to 64 Hz; four 10-inch drivers, a = 0.1025 m,
//   2 x 2 at 0.27 m spacing; break-up peaks 2400/3/2.5 and 3600/4.5/3.5, dip
//   4400/-5/3; top roll-off 5000 Hz. Tighter low end, forward upper mids,
//   more top.
// - "8x10": sealed box, 60 Hz at Q 0.9; eight 10-inch drivers, 2 across x 4
//   up at 0.27 m; break-up peaks 2300/3/2.5 and 3500/4/3.5, dip 4300/-5/3;
//   top roll-off 4600 Hz. A firm low-mid thump from the high-Q sealed box,
//   the tall array's comb and vertical beaming darken the top.
//
// The microphone is at (0.08, 0.20, 1.0): 8 cm across, 20 cm up, 1 m out.
//
// Rendering: at each rate the magnitude is sampled on a 65536-point grid,
// turned into its minimum-phase response through the real cepstrum (the
// causal response with that magnitude and the least delay, as a speaker's
// is), and cut to one common length for all rates, 1024 samples at 96 kHz
// (10.7 ms; 470, 512 and 941 samples at 44.1, 48 and 88.2 kHz, zeros after),
// so that the four versions of a cabinet agree with each other. The last
// quarter fades out with a half cosine and a residual DC sum is removed with a
// scaled copy of that window. Cutting shortens the low end's ringing, which
// lifts and smears the low roll-off; eight passes correct the design
// magnitude below 150 Hz (fading out up to 300 Hz) by the cut result's error,
// so the low end follows the model as far as 10.7 ms allows (the 1x15 is down
// about 6 dB at 40 Hz, the 4x10 about 8 dB). Last, the gain is set so that the
// mean level from 200 Hz to 2 kHz is 0 dB.
//
// Everything is computed with this file's own transforms and printed with 17
// significant digits; the result depends only on the host's libm to the last
// bit, so the regeneration test compares numerically with a tight tolerance.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

namespace {

using Complex = std::complex<double>;
const double pi = std::acos(-1.0);

constexpr int taps = 1024;
constexpr int gridSize = 65536;
constexpr double longestRate = 96000.0; // sets the common length
constexpr double speedOfSound = 343.0;  // m/s
constexpr double correctionHz = 300.0;
constexpr int correctionPasses = 8;

struct Peak {
    double frequency, gainDb, q;
};

struct Position {
    double x, y;
};

struct Cabinet {
    const char* name;
    bool vented;
    double lowHz;  // port tuning or closed-box resonance
    double lowQ;   // closed box only
    double radius; // effective piston radius, m
    std::vector<Peak> breakup;
    double topHz;
    std::vector<Position> drivers;
};

const double micX = 0.08, micY = 0.20, micDistance = 1.0;

std::vector<Cabinet> cabinets() {
    const double d = 0.27; // 10-inch driver spacing
    return {
        {"1x15",
         true,
         38.0,
         0.0,
         0.165,
         {{1250, 2.5, 2.5}, {2050, 4.0, 3.5}, {2600, -5.0, 3.0}},
         2700.0,
         {{0.0, 0.0}}},
        {"4x10",
         true,
         64.0,
         0.0,
         0.1025,
         {{2400, 3.0, 2.5}, {3600, 4.5, 3.5}, {4400, -5.0, 3.0}},
         5000.0,
         {{-d / 2, -d / 2}, {d / 2, -d / 2}, {-d / 2, d / 2}, {d / 2, d / 2}}},
        {"8x10",
         false,
         60.0,
         0.9,
         0.1025,
         {{2300, 3.0, 2.5}, {3500, 4.0, 3.5}, {4300, -5.0, 3.0}},
         4600.0,
         {{-d / 2, -1.5 * d},
          {d / 2, -1.5 * d},
          {-d / 2, -0.5 * d},
          {d / 2, -0.5 * d},
          {-d / 2, 0.5 * d},
          {d / 2, 0.5 * d},
          {-d / 2, 1.5 * d},
          {d / 2, 1.5 * d}}},
    };
}

// Analogue sections evaluated at s = j w (w in rad/s, w0 the corner).
Complex highPass2(Complex s, double w0, double q) {
    return s * s / (s * s + s * (w0 / q) + w0 * w0);
}
Complex lowPass2(Complex s, double w0, double q) {
    return w0 * w0 / (s * s + s * (w0 / q) + w0 * w0);
}
Complex highPassB4(Complex s, double w0) {
    // Butterworth, fourth order: (s^4)/(s^4 + 2.613 s^3 + 3.414 s^2 + 2.613 s + 1)
    const Complex u = s / w0;
    const double a1 = 2.6131259297527532, a2 = 3.4142135623730949;
    return u * u * u * u / ((((u + a1) * u + a2) * u + a1) * u + 1.0);
}
Complex peaking(Complex s, double w0, double gainDb, double q) {
    const double A = std::pow(10.0, gainDb / 40.0);
    return (s * s + s * (A * w0 / q) + w0 * w0) / (s * s + s * (w0 / (A * q)) + w0 * w0);
}

double pistonDirectivity(double x) {
    if (std::fabs(x) < 1e-8) return 1.0;
    return 2.0 * std::cyl_bessel_j(1.0, x) / x;
}

// Magnitude of the modelled cabinet at f Hz.
double magnitude(const Cabinet& c, double f) {
    const double w = 2.0 * pi * f;
    const Complex s(0.0, w);
    Complex h =
        c.vented ? highPassB4(s, 2.0 * pi * c.lowHz) : highPass2(s, 2.0 * pi * c.lowHz, c.lowQ);
    for (const Peak& p : c.breakup)
        h *= peaking(s, 2.0 * pi * p.frequency, p.gainDb, p.q);
    const double top = 2.0 * pi * c.topHz;
    h *= lowPass2(s, top, 0.7071067811865476) * lowPass2(s, top, 0.7071067811865476);

    const double k = w / speedOfSound;
    Complex sum = 0.0;
    double weights = 0.0;
    for (const Position& d : c.drivers) {
        const double dx = micX - d.x, dy = micY - d.y;
        const double r = std::sqrt(dx * dx + dy * dy + micDistance * micDistance);
        const double sinAngle = std::sqrt(dx * dx + dy * dy) / r;
        sum += pistonDirectivity(k * c.radius * sinAngle) * std::polar(1.0 / r, -k * r);
        weights += 1.0 / r;
    }
    return std::abs(h * sum / weights);
}

// In-place radix-2 complex FFT, kernel exp(sign i 2 pi jk/n), unscaled.
void fft(std::vector<Complex>& a, int sign) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const size_t half = length / 2;
        const size_t stride = n / length;
        for (size_t start = 0; start < n; start += length) {
            for (size_t k = 0; k < half; ++k) {
                const double angle = sign * 2.0 * pi * static_cast<double>(k * stride) / n;
                const Complex twiddle(std::cos(angle), std::sin(angle));
                const Complex u = a[start + k];
                const Complex v = a[start + k + half] * twiddle;
                a[start + k] = u + v;
                a[start + k + half] = u - v;
            }
        }
    }
}

// The minimum-phase response with the given magnitude (bins 0 .. n/2 of an
// n-point grid).
std::vector<double> minimumPhase(const std::vector<double>& magnitudes) {
    const int n = gridSize;
    std::vector<Complex> spectrum(n);
    const double floor = 1e-9; // -180 dB: keeps the logarithm finite at DC
    for (int k = 0; k <= n / 2; ++k) {
        spectrum[k] = std::log(std::max(magnitudes[k], floor));
        if (k > 0 && k < n / 2) spectrum[n - k] = spectrum[k];
    }
    fft(spectrum, 1); // real cepstrum (times n)
    // Fold the anti-causal half onto the causal one.
    std::vector<Complex> folded(n, 0.0);
    folded[0] = spectrum[0] / double(n);
    for (int k = 1; k < n / 2; ++k)
        folded[k] = 2.0 * spectrum[k].real() / double(n);
    folded[n / 2] = spectrum[n / 2].real() / double(n);
    fft(folded, -1);
    for (auto& v : folded)
        v = std::exp(v);
    fft(folded, 1);
    std::vector<double> h(n);
    for (int i = 0; i < n; ++i)
        h[i] = folded[i].real() / n;
    return h;
}

// Magnitudes of h on the n-point grid, bins 0 .. n/2.
std::vector<double> gridMagnitudes(const std::vector<double>& h) {
    std::vector<Complex> a(gridSize, 0.0);
    for (size_t i = 0; i < h.size(); ++i)
        a[i] = h[i];
    fft(a, -1);
    std::vector<double> m(gridSize / 2 + 1);
    for (int k = 0; k <= gridSize / 2; ++k)
        m[k] = std::abs(a[k]);
    return m;
}

// Level of h at f Hz (rate fs), in dB.
double levelDb(const std::vector<double>& h, double f, double fs) {
    Complex sum = 0.0;
    for (size_t i = 0; i < h.size(); ++i)
        sum += h[i] * std::polar(1.0, -2.0 * pi * f * static_cast<double>(i) / fs);
    return 20.0 * std::log10(std::abs(sum));
}

// Cuts a long response to the common length with the end fade and removes
// its DC sum with a scaled copy of the fade window.
std::vector<double> cut(const std::vector<double>& full, int length) {
    const int fade = length / 4;
    std::vector<double> window(taps, 0.0);
    for (int i = 0; i < length; ++i) {
        const int intoFade = i - (length - fade);
        window[i] = intoFade < 0 ? 1.0 : 0.5 * (1.0 + std::cos(pi * (intoFade + 0.5) / fade));
    }
    std::vector<double> h(taps, 0.0);
    double sum = 0.0, windowSum = 0.0;
    for (int i = 0; i < length; ++i) {
        h[i] = full[i] * window[i];
        sum += h[i];
        windowSum += window[i];
    }
    for (int i = 0; i < length; ++i)
        h[i] -= sum / windowSum * window[i];
    return h;
}

std::vector<double> render(const Cabinet& c, double fs) {
    const int length = static_cast<int>(std::floor(taps * fs / longestRate + 0.5));
    std::vector<double> target(gridSize / 2 + 1), design(gridSize / 2 + 1);
    for (int k = 0; k <= gridSize / 2; ++k)
        design[k] = target[k] = magnitude(c, fs * k / gridSize);
    // The cut shortens the low end's ringing, which lifts and smears the
    // low-frequency roll-off. A few passes correct the design magnitude below
    // correctionHz by the error of the cut result, so the low end follows the
    // model as far as the common length allows.
    std::vector<double> h;
    for (int pass = 0;; ++pass) {
        h = cut(minimumPhase(design), length);
        if (pass == correctionPasses) break;
        const std::vector<double> got = gridMagnitudes(h);
        for (int k = 1; k <= gridSize / 2; ++k) {
            const double f = fs * k / gridSize;
            if (f >= correctionHz) break;
            // Full correction up to half of correctionHz, fading out above.
            const double weight = f < 0.5 * correctionHz
                                      ? 1.0
                                      : 0.5 * (1.0 + std::cos(pi * (2.0 * f / correctionHz - 1.0)));
            const double ratio = std::clamp(target[k] / std::max(got[k], 1e-12), 0.7, 1.4);
            design[k] *= std::pow(ratio, weight);
        }
    }

    double meanDb = 0.0;
    const int points = 48;
    for (int j = 0; j < points; ++j)
        meanDb += levelDb(h, 200.0 * std::pow(10.0, j / (points - 1.0)), fs);
    meanDb /= points;
    const double gain = std::pow(10.0, -meanDb / 20.0);
    for (double& v : h)
        v *= gain;
    return h;
}

} // namespace

int main(int argc, char** argv) {
    FILE* out = stdout;
    if (argc > 1 && (out = std::fopen(argv[1], "w")) == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(out, "// The twelve cabinet impulse responses of TarvexCabinet: modelled, not\n"
                      "// measured. Generated by tools/generate_cabinet_responses.cpp, which\n"
                      "// documents the model; do not edit, regenerate with\n"
                      "//   build/tools/generate_cabinet_responses amp/cabinet_responses.cpp\n"
                      "#include \"amp/tarvex_cabinet.h\"\n\n"
                      "// clang-format off\n"
                      "const double TarvexCabinet::heap[12 * 1024] = {\n");
    const double rates[] = {44100.0, 48000.0, 88200.0, 96000.0};
    for (double fs : rates) {
        for (const Cabinet& c : cabinets()) {
            std::fprintf(out, "// %g Hz, \"%s\"\n", fs, c.name);
            const std::vector<double> h = render(c, fs);
            for (int i = 0; i < taps; ++i)
                std::fprintf(out, "%.17g,%s", h[i], i % 4 == 3 ? "\n" : " ");
        }
    }
    std::fprintf(out, "};\n// clang-format on\n");
    if (out != stdout && std::fclose(out) != 0) return 1;
    return 0;
}
