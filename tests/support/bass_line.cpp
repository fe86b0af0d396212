#include "support/bass_line.h"

#include <cmath>

namespace testing_support {

std::vector<double> bassLine(double fs, double seconds) {
    static const double notes[] = {41.2034, 55.0,    73.4162, 97.9989,
                                   55.0,    41.2034, 61.7354, 82.4069};
    const double noteLength = 0.25;
    const int n = static_cast<int>(seconds * fs);
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = i / fs;
        const int note = static_cast<int>(t / noteLength);
        const double tn = t - note * noteLength;
        const double f = notes[note % 8];
        double y = 0.0;
        for (int k = 1; k <= 12; ++k) {
            const double amplitude = (k % 2 == 1 ? 1.0 : 0.7) / k;
            y += amplitude * std::exp(-tn * (1.5 + 0.8 * k)) * std::sin(2.0 * M_PI * k * f * tn);
        }
        x[static_cast<size_t>(i)] = 0.35 * (1.0 - std::exp(-tn * 400.0)) * y;
    }
    return x;
}

} // namespace testing_support
