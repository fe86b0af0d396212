// Renders audio through the Tarvex engine with one of its factory programs and
// writes a 32-bit float stereo WAV file.
//
//   tarvex_render [options] out.wav
//     --program N   factory program 0..19 (default 2, "Big Classic Rig")
//     --input F     a PCM (16/24/32-bit) or float WAV file, mono or stereo
//                   (summed to mono); without it a plucked bass line plays
//     --rate HZ     sample rate of the generated line (default 48000)
//     --seconds S   length of the generated line (default 8)
//     --block N     block size (default 256)
//     --list        print the factory programs and exit
#include "amp/tarvex.h"
#include "source/factory_programs.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Audio {
    double rate = 48000.0;
    std::vector<double> mono;
};

// Eight plucked notes per two seconds: decaying harmonic series.
Audio bassLine(double rate, double seconds) {
    static const double notes[] = {41.2034, 55.0,    73.4162, 97.9989,
                                   55.0,    41.2034, 61.7354, 82.4069};
    Audio audio;
    audio.rate = rate;
    const auto n = static_cast<size_t>(seconds * rate);
    audio.mono.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const int note = static_cast<int>(t / 0.25);
        const double tn = t - note * 0.25;
        double y = 0.0;
        for (int k = 1; k <= 12; ++k)
            y += (k % 2 == 1 ? 1.0 : 0.7) / k * std::exp(-tn * (1.5 + 0.8 * k)) *
                 std::sin(2.0 * M_PI * k * notes[note % 8] * tn);
        audio.mono[i] = 0.35 * (1.0 - std::exp(-tn * 400.0)) * y;
    }
    return audio;
}

uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool readWav(const std::string& path, Audio& audio) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        std::fprintf(stderr, "%s: not a WAV file\n", path.c_str());
        return false;
    }
    int format = 0, channels = 0, bits = 0;
    const unsigned char* data = nullptr;
    size_t dataSize = 0;
    for (size_t pos = 12; pos + 8 <= bytes.size();) {
        const uint32_t size = le32(&bytes[pos + 4]);
        const unsigned char* body = bytes.data() + pos + 8; // may be the end
        const size_t available = bytes.size() - pos - 8;
        if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && size >= 16 && available >= 16) {
            format = le16(body);
            channels = le16(body + 2);
            audio.rate = le32(body + 4);
            bits = le16(body + 14);
            if (format == 0xFFFE && size >= 26 && available >= 26)
                format = le16(body + 24); // extensible: the sub-format's tag
        } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            data = body;
            dataSize = std::min<size_t>(size, available);
        }
        pos += 8 + size + (size & 1);
    }
    const bool pcm = format == 1 && (bits == 16 || bits == 24 || bits == 32);
    const bool real = format == 3 && bits == 32;
    if (!data || channels < 1 || !(pcm || real) || !(audio.rate > 0.0)) {
        std::fprintf(stderr, "%s: unsupported WAV format\n", path.c_str());
        return false;
    }
    const size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
    const size_t frames = dataSize / frameBytes;
    audio.mono.assign(frames, 0.0);
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < std::min(channels, 2); ++c) { // the effect sums two inputs
            const unsigned char* s = data + f * frameBytes + c * (bits / 8);
            double v = 0.0;
            if (real) {
                float x;
                std::memcpy(&x, s, 4);
                v = x;
            } else if (bits == 16) {
                v = static_cast<int16_t>(le16(s)) / 32768.0;
            } else if (bits == 24) {
                const int32_t x = static_cast<int32_t>((s[0] << 8) | (s[1] << 16) |
                                                       (static_cast<uint32_t>(s[2]) << 24));
                v = x / 2147483648.0;
            } else {
                v = static_cast<int32_t>(le32(s)) / 2147483648.0;
            }
            audio.mono[f] += v;
        }
    return true;
}

bool writeWav(const std::string& path, double rate, const std::vector<float>& interleaved) {
    std::ofstream file(path, std::ios::binary);
    auto put32 = [&](uint32_t v) {
        const unsigned char b[4] = {
            static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        file.write(reinterpret_cast<const char*>(b), 4);
    };
    auto put16 = [&](uint16_t v) {
        const unsigned char b[2] = {static_cast<unsigned char>(v),
                                    static_cast<unsigned char>(v >> 8)};
        file.write(reinterpret_cast<const char*>(b), 2);
    };
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 4);
    const auto sampleRate = static_cast<uint32_t>(std::lround(rate));
    file.write("RIFF", 4);
    put32(36 + dataBytes);
    file.write("WAVEfmt ", 8);
    put32(16);
    put16(3); // IEEE float
    put16(2);
    put32(sampleRate);
    put32(sampleRate * 8);
    put16(8);
    put16(32);
    file.write("data", 4);
    put32(dataBytes);
    for (float v : interleaved)
        file.write(reinterpret_cast<const char*>(&v), 4); // little-endian hosts
    return static_cast<bool>(file);
}

int usage() {
    std::fprintf(stderr, "usage: tarvex_render [--program N] [--input in.wav] [--rate HZ] "
                         "[--seconds S] [--block N] [--list] out.wav\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int program = 2, block = 256;
    double rate = 48000.0, seconds = 8.0;
    std::string input, output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--list") {
            for (int p = 0; p < factoryProgramCount; ++p)
                std::printf("%2d  %s\n", p, factoryPrograms[p].name);
            return 0;
        } else if (arg == "--program" && hasValue) {
            program = std::atoi(argv[++i]);
        } else if (arg == "--input" && hasValue) {
            input = argv[++i];
        } else if (arg == "--rate" && hasValue) {
            rate = std::atof(argv[++i]);
        } else if (arg == "--seconds" && hasValue) {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--block" && hasValue) {
            block = std::atoi(argv[++i]);
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            return usage();
        }
    }
    if (output.empty() || program < 0 || program >= factoryProgramCount || block < 1 ||
        !(rate >= 8000.0 && rate <= 768000.0) || !(seconds > 0.0 && seconds <= 600.0))
        return usage();

    Audio audio;
    if (!input.empty()) {
        if (!readWav(input, audio)) return 1;
    } else {
        audio = bassLine(rate, seconds);
    }

    auto engine = std::make_unique<Tarvex>();
    engine->SetFs(audio.rate);
    applyFactoryProgram(*engine, program);

    const size_t n = audio.mono.size();
    std::vector<double> in(static_cast<size_t>(block)), left(in.size()), right(in.size());
    std::vector<float> interleaved(2 * n);
    double peak = 0.0, energy = 0.0;
    for (size_t start = 0; start < n; start += static_cast<size_t>(block)) {
        const size_t count = std::min(static_cast<size_t>(block), n - start);
        std::copy(audio.mono.begin() + static_cast<long>(start),
                  audio.mono.begin() + static_cast<long>(start + count), in.begin());
        engine->process(in.data(), left.data(), right.data(), static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) {
            interleaved[2 * (start + i)] = static_cast<float>(left[i]);
            interleaved[2 * (start + i) + 1] = static_cast<float>(right[i]);
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            energy += left[i] * left[i];
        }
    }
    if (!writeWav(output, audio.rate, interleaved)) {
        std::fprintf(stderr, "%s: cannot write\n", output.c_str());
        return 1;
    }
    std::printf("%s: \"%s\", %.2f s at %.0f Hz, peak %.1f dBFS, RMS %.1f dBFS\n", output.c_str(),
                factoryPrograms[program].name, static_cast<double>(n) / audio.rate, audio.rate,
                20.0 * std::log10(std::max(peak, 1e-12)),
                10.0 * std::log10(std::max(energy / std::max<size_t>(n, 1), 1e-24)));
    return 0;
}
