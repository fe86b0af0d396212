#include "support/signals.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace testing_support {

std::vector<double> sine(double frequency, double fs, int n, double amplitude, double phase) {
    std::vector<double> x(static_cast<size_t>(n));
    const double w = 2.0 * M_PI * frequency / fs;
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = amplitude * std::sin(w * i + phase);
    return x;
}

std::vector<double> constant(int n, double value) {
    return std::vector<double>(static_cast<size_t>(n), value);
}

std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    for (auto& v : x)
        v = uniform(generator);
    return x;
}

double rms(const double* x, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        sum += x[i] * x[i];
    return n > 0 ? std::sqrt(sum / n) : 0.0;
}

double peak(const std::vector<double>& x) {
    double m = 0.0;
    for (double v : x)
        m = std::max(m, std::fabs(v));
    return m;
}

void processInBlocks(const Process& process, std::vector<double>& x, int block) {
    const int n = static_cast<int>(x.size());
    for (int start = 0; start < n; start += block)
        process(x.data() + start, std::min(block, n - start));
}

std::vector<double> impulseResponse(const Process& process, int length, int block) {
    std::vector<double> h(static_cast<size_t>(length), 0.0);
    h[0] = 1.0;
    processInBlocks(process, h, block);
    return h;
}

std::complex<double> responseAt(const std::vector<double>& h, double frequency, double fs) {
    const double w = 2.0 * M_PI * frequency / fs;
    std::complex<double> sum = 0.0;
    for (size_t i = 0; i < h.size(); ++i)
        sum += h[i] * std::polar(1.0, -w * static_cast<double>(i));
    return sum;
}

double magnitudeDb(const std::vector<double>& h, double frequency, double fs) {
    return toDecibels(std::abs(responseAt(h, frequency, fs)));
}

double toDecibels(double linear) {
    return 20.0 * std::log10(linear);
}

} // namespace testing_support
