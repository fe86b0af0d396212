// Bit-exact fingerprint of the engine's output: renders a fixed signal through
// every factory program at several rates and block-length schedules (with
// program switches in between, so that fades and glides run too) and prints
// one 64-bit hash per case over every output sample, the overwritten input
// block and the six indicators. Two builds whose listings match produce
// identical results; used to check that speed work changes nothing.
//
//   engine_fingerprint [seconds [rate]]   defaults: 1.5 s, rates 44100, 48000,
//                                         96000 and 192000 Hz
//   engine_fingerprint --dump FILE [seconds [rate]]
//       also writes every output sample (left, right as doubles) to FILE
//   engine_fingerprint --compare FILE [seconds [rate]]
//       also prints, per case, the largest difference from the samples that
//       another build dumped to FILE, and the largest of all at the end
#include "amp/tarvex.h"
#include "source/factory_programs.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

struct Hash {
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    void add(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int b = 0; b < 8; ++b) {
            h ^= (bits >> (8 * b)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
};

// Plucked notes with a loud burst now and then, so the tubes reach their
// curved segments.
double signalAt(long i, double fs) {
    const double notes[] = {41.2034, 55.0, 73.4162, 97.9989, 130.81};
    const long noteLength = static_cast<long>(0.23 * fs);
    const double t = static_cast<double>(i % noteLength) / fs;
    const double f = notes[(i / noteLength) % 5];
    double y = 0.0;
    for (int k = 1; k <= 8; ++k)
        y += std::exp(-t * (2.0 + k)) * std::sin(2.0 * M_PI * k * f * t) / k;
    const double loud = (i / noteLength) % 3 == 2 ? 3.0 : 0.3;
    return loud * y;
}

// Optional sample file written by one build and read back by another.
struct SampleFile {
    std::ofstream dump;
    std::ifstream reference;
    double largest = 0.0; // over the current case
    bool shortFile = false;

    void add(double v) {
        if (dump.is_open()) dump.write(reinterpret_cast<const char*>(&v), sizeof v);
        if (!reference.is_open()) return;
        double r = 0.0;
        if (!reference.read(reinterpret_cast<char*>(&r), sizeof r)) {
            shortFile = true;
            return;
        }
        const double d = std::fabs(v - r);
        if (!(d <= largest)) largest = d; // NaN differences count as largest
    }
};

void loadProgram(Tarvex& engine, int program) {
    applyFactoryProgram(engine, program);
}

std::uint64_t render(int program, double fs, const std::vector<int>& schedule, double seconds,
                     SampleFile& samples) {
    auto engine = std::make_unique<Tarvex>();
    engine->SetFs(fs);
    loadProgram(*engine, program);
    const long total = static_cast<long>(seconds * fs);
    const long switch1 = total / 3, switch2 = 2 * total / 3;
    int largest = 0;
    for (int b : schedule)
        largest = b > largest ? b : largest;
    std::vector<double> in(static_cast<size_t>(largest)), left(in.size()), right(in.size());
    Hash hash;
    long position = 0;
    bool switched1 = false, switched2 = false;
    for (size_t s = 0; position < total; ++s) {
        const int n = schedule[s % schedule.size()];
        if (!switched1 && position >= switch1) {
            loadProgram(*engine, (program + 7) % factoryProgramCount);
            switched1 = true;
        }
        if (!switched2 && position >= switch2) {
            loadProgram(*engine, program);
            switched2 = true;
        }
        for (int i = 0; i < n; ++i)
            in[static_cast<size_t>(i)] = signalAt(position + i, fs);
        engine->process(in.data(), left.data(), right.data(), n);
        for (int i = 0; i < n; ++i) {
            hash.add(left[static_cast<size_t>(i)]);
            hash.add(right[static_cast<size_t>(i)]);
            hash.add(in[static_cast<size_t>(i)]);
            samples.add(left[static_cast<size_t>(i)]);
            samples.add(right[static_cast<size_t>(i)]);
        }
        hash.add(engine->InputIndicator());
        hash.add(engine->OutputIndicator());
        hash.add(engine->CompressorAIndicator());
        hash.add(engine->LimiterAIndicator());
        hash.add(engine->CompressorBIndicator());
        hash.add(engine->LimiterBIndicator());
        position += n;
    }
    return hash.h;
}

} // namespace

int main(int argc, char** argv) {
    SampleFile samples;
    if (argc > 2 && std::strcmp(argv[1], "--dump") == 0) {
        samples.dump.open(argv[2], std::ios::binary);
        if (!samples.dump) return std::fprintf(stderr, "cannot write %s\n", argv[2]), 1;
        argc -= 2, argv += 2;
    } else if (argc > 2 && std::strcmp(argv[1], "--compare") == 0) {
        samples.reference.open(argv[2], std::ios::binary);
        if (!samples.reference) return std::fprintf(stderr, "cannot read %s\n", argv[2]), 1;
        argc -= 2, argv += 2;
    }
    const bool comparing = samples.reference.is_open();
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.5;
    std::vector<double> rates = {44100.0, 48000.0, 96000.0, 192000.0};
    if (argc > 2) rates = {std::atof(argv[2])};
    double largest = 0.0;
    const std::vector<std::vector<int>> schedules = {
        {32}, {256}, {1024}, {1, 7, 64, 300, 1024, 5, 129, 2, 511}};
    const char* names[] = {"32", "256", "1024", "mixed"};
    for (double fs : rates)
        for (int p = 0; p < factoryProgramCount; ++p)
            for (size_t s = 0; s < schedules.size(); ++s) {
                samples.largest = 0.0;
                const std::uint64_t h = render(p, fs, schedules[s], seconds, samples);
                std::printf("%6.0f p%-2d %-5s %016llx", fs, p, names[s],
                            static_cast<unsigned long long>(h));
                if (comparing) std::printf("  max difference %.3g", samples.largest);
                std::printf("\n");
                if (!(samples.largest <= largest)) largest = samples.largest;
            }
    if (comparing) {
        std::printf("largest difference %.3g%s\n", largest,
                    samples.shortFile ? " (reference file too short)" : "");
        return samples.shortFile ? 1 : 0;
    }
    return 0;
}
