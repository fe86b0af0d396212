// Real-time factor of the whole engine with factory programs, printed in the
// raw line format of the peer benchmark script (one line per program and block
// size):  name block rtf_med rtf_best core%_med wall_rtf out_dBFS latency work
//
//   engine_speed 64,256,1024 [rate [program ...]]    defaults: 48000, programs 2 13 7
//
// Runs with flush-to-zero and denormals-are-zero off, whatever the calling
// process set: the speed must not come from the floating-point mode.
#include "amp/tarvex.h"
#include "source/factory_programs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

void denormalsOn() {
#if defined(__SSE__)
    constexpr unsigned flushToZero = 0x8000, denormalsAreZero = 0x0040;
    _mm_setcsr(_mm_getcsr() & ~(flushToZero | denormalsAreZero));
#endif
}

double seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Four plucked notes, the same kind of signal the peers receive.
std::vector<double> testSignal(double fs, int length) {
    std::vector<double> x(static_cast<size_t>(length));
    const double notes[] = {41.2034, 55.0, 73.4162, 97.9989};
    const int noteLength = length / 4;
    for (int i = 0; i < length; ++i) {
        const double t = (i % noteLength) / fs;
        const double f = notes[i / noteLength % 4];
        double y = 0.0;
        for (int k = 1; k <= 10; ++k)
            y += std::exp(-t * (2.0 + k)) * std::sin(2.0 * M_PI * k * f * t) / k;
        x[static_cast<size_t>(i)] = 0.3 * y;
    }
    return x;
}

void measure(int program, double fs, int block) {
    auto engine = std::make_unique<Tarvex>();
    engine->SetFs(fs);
    applyFactoryProgram(*engine, program);

    const int signalLength = 98304;
    const auto signal = testSignal(fs, signalLength);
    std::vector<double> in(static_cast<size_t>(block)), left(in.size()), right(in.size());
    int position = 0;
    // The input is copied in as the peers' host copies theirs: whole runs of
    // the signal, wrapping at its end (no per-sample index arithmetic inside
    // the timed loop).
    auto run = [&](double* energy) {
        for (int done = 0; done < block;) {
            const int part = std::min(block - done, signalLength - position);
            std::copy_n(signal.begin() + position, part, in.begin() + done);
            done += part;
            position = (position + part) % signalLength;
        }
        engine->process(in.data(), left.data(), right.data(), block);
        if (energy)
            for (double v : left)
                *energy += v * v;
    };

    const long warmBlocks = static_cast<long>(0.5 * fs / block) + 1;
    for (long i = 0; i < warmBlocks; ++i)
        run(nullptr);

    const int passes = 3;
    const long blocks = std::max(1L, static_cast<long>(1.0 * fs / block));
    const double audioSeconds = static_cast<double>(blocks) * block / fs;
    std::vector<double> cpu, wall;
    for (int p = 0; p < passes; ++p) {
        const double c0 = seconds(CLOCK_PROCESS_CPUTIME_ID), w0 = seconds(CLOCK_MONOTONIC);
        for (long i = 0; i < blocks; ++i)
            run(nullptr);
        cpu.push_back(seconds(CLOCK_PROCESS_CPUTIME_ID) - c0);
        wall.push_back(seconds(CLOCK_MONOTONIC) - w0);
    }
    double energy = 0.0;
    for (int i = 0; i < signalLength / block; ++i)
        run(&energy);
    const double outDb =
        energy > 0.0 ? 10.0 * std::log10(energy / (signalLength / block * block)) : -999.0;

    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    const std::string name = "tarvex_p" + std::to_string(program);
    std::printf("%-26s %6d %10.1f %10.1f %9.3f %10.1f %8.1f %7s %5d\n", name.c_str(), block,
                audioSeconds / cpu[1], audioSeconds / cpu[0], 100.0 * cpu[1] / audioSeconds,
                audioSeconds / wall[1], outDb, "0", 0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    denormalsOn();
    const std::string blocks = argc > 1 ? argv[1] : "64,256,1024";
    const double fs = argc > 2 ? std::atof(argv[2]) : 48000.0;
    std::vector<int> programs;
    for (int i = 3; i < argc; ++i)
        programs.push_back(std::atoi(argv[i]));
    if (programs.empty()) programs = {2, 13, 7};
    for (int program : programs) {
        if (program < 0 || program >= factoryProgramCount) continue;
        std::stringstream list(blocks);
        std::string token;
        while (std::getline(list, token, ','))
            if (const int block = std::atoi(token.c_str()); block > 0) measure(program, fs, block);
    }
    return 0;
}
