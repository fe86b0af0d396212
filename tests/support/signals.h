// Test signals and response measurement shared by the test programs.
#pragma once

#include <complex>
#include <functional>
#include <limits>
#include <vector>

namespace testing_support {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A block processor: processes n samples in place.
using Process = std::function<void(double*, int)>;

std::vector<double> sine(double frequency, double fs, int n, double amplitude = 1.0,
                         double phase = 0.0);
std::vector<double> constant(int n, double value);
// Uniform noise in [-1, 1) from a fixed seed.
std::vector<double> noise(int n, unsigned seed);

double rms(const double* x, int n);
inline double rms(const std::vector<double>& x) {
    return rms(x.data(), static_cast<int>(x.size()));
}
double peak(const std::vector<double>& x);

// Runs `process` over x in blocks of `block` samples.
void processInBlocks(const Process& process, std::vector<double>& x, int block);

// Impulse response of a (settled, linear) block, `length` samples long.
std::vector<double> impulseResponse(const Process& process, int length, int block = 256);

// Frequency response of an impulse response at one frequency.
std::complex<double> responseAt(const std::vector<double>& h, double frequency, double fs);
double magnitudeDb(const std::vector<double>& h, double frequency, double fs);

double toDecibels(double linear);

} // namespace testing_support
