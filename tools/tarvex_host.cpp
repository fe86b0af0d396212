// Command-line VST 2.4 host: loads a plug-in file as a Linux host does and
// renders a WAV file through it.
//
//   tarvex_host PLUGIN.so [options]
//     --input F         audio file to process (any format libsndfile reads,
//                       mono or stereo); without it a synthesized ten-second
//                       DI bass line plays
//     --output F        WAV file to write (default out.wav)
//     --format F        float (32-bit float, default) or pcm24
//     --program N       select program N
//     --preset F        apply a TarvexPreset file (after the program)
//     --param I=V       set parameter I to V in 0..1 (after program and
//                       preset; may be repeated)
//     --rate HZ         the host's sample rate (default: the input file's,
//                       48000 for the bass line); a file at another rate is
//                       processed as is, without resampling
//     --block N         block size (default 512)
//     --random-blocks   blocks of random length 1..N (fixed seed)
//     --mono            mono host: the plug-in sees a null second input and
//                       output channel; a stereo file is mixed down
//     --list            print the programs and parameters and exit
//     --info            print the effect's identity and exit
//
// A mono source in the stereo host feeds the first input; the second input
// is silent. After rendering the tool prints the program's name, the output's
// peak and RMS level in dBFS and the real-time factor (seconds of audio per
// second spent in the plug-in).
#include "tools/tarvex_preset.h"
#include "tools/vst_host.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kDefaultRate = 48000.0;
constexpr int kDefaultBlock = 512;

struct Options {
    std::string plugin;
    std::string input;
    std::string output = "out.wav";
    bool pcm24 = false;
    int program = -1;
    std::string preset;
    std::vector<std::pair<int, float>> parameters;
    double rate = 0.0; // 0: from the input
    int block = kDefaultBlock;
    bool randomBlocks = false;
    bool mono = false;
    bool list = false;
    bool info = false;
};

// Planar audio.
struct Audio {
    double rate = kDefaultRate;
    std::vector<std::vector<float>> channels;
};

const char kUsage[] =
    "usage: tarvex_host PLUGIN.so [--input F] [--output F] [--format float|pcm24] [--program N]\n"
    "       [--preset F] [--param I=V]... [--rate HZ] [--block N] [--random-blocks] [--mono]\n"
    "       [--list] [--info]\n";

long parseInteger(const std::string& option, const std::string& text, long lo, long hi) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < lo || value > hi)
        throw VstHostError(option + " needs a whole number from " + std::to_string(lo) + " to " +
                           std::to_string(hi) + ", not '" + text + "'");
    return value;
}

float parseUnit(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0))
        throw VstHostError(option + " needs a value from 0 to 1, not '" + text + "'");
    return static_cast<float>(value);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw VstHostError(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--input") {
            options.input = value();
        } else if (arg == "--output") {
            options.output = value();
        } else if (arg == "--format") {
            const std::string& format = value();
            if (format != "float" && format != "pcm24")
                throw VstHostError("--format is float or pcm24, not '" + format + "'");
            options.pcm24 = format == "pcm24";
        } else if (arg == "--program") {
            options.program = static_cast<int>(parseInteger(arg, value(), 0, 1 << 30));
        } else if (arg == "--preset") {
            options.preset = value();
        } else if (arg == "--param") {
            const std::string& setting = value();
            const size_t equals = setting.find('=');
            if (equals == std::string::npos)
                throw VstHostError("--param needs INDEX=VALUE, not '" + setting + "'");
            options.parameters.emplace_back(
                static_cast<int>(parseInteger(arg, setting.substr(0, equals), 0, 1 << 30)),
                parseUnit(arg, setting.substr(equals + 1)));
        } else if (arg == "--rate") {
            options.rate = static_cast<double>(parseInteger(arg, value(), 1, 1000000));
        } else if (arg == "--block") {
            options.block = static_cast<int>(parseInteger(arg, value(), 1, 1 << 20));
        } else if (arg == "--random-blocks") {
            options.randomBlocks = true;
        } else if (arg == "--mono") {
            options.mono = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--info") {
            options.info = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw VstHostError("unknown option " + arg);
        } else if (options.plugin.empty()) {
            options.plugin = arg;
        } else {
            throw VstHostError("more than one plug-in file given: " + arg);
        }
    }
    if (options.plugin.empty()) throw VstHostError("no plug-in file given");
    return options;
}

// A finger-plucked electric bass through a DI box, ten seconds at 100 bpm:
// each note is a sum of string partials (slightly stretched by the string's
// stiffness) weighted by the plucking and pickup positions, the high ones
// dying faster, with a soft 1.5 ms onset, a short finger thump of low-passed
// noise, a small pitch drop while the pluck's extra tension settles and a
// 40 ms damping at the note's end. Normalised to -12 dBFS peak; the same
// samples on every run.
std::vector<float> bassLine(double fs) {
    struct Note {
        double beat, beats;
        int midi;
        double velocity;
    };
    static const Note notes[] = {
        {0.0, 1.0, 28, 1.0},  {1.0, 0.5, 28, 0.7},   {1.5, 0.5, 28, 0.8},   {2.0, 1.0, 31, 0.9},
        {3.0, 1.0, 33, 0.95}, {4.0, 1.0, 33, 1.0},   {5.0, 0.5, 33, 0.7},   {5.5, 0.5, 35, 0.8},
        {6.0, 1.0, 36, 0.9},  {7.0, 1.0, 35, 0.85},  {8.0, 1.0, 38, 1.0},   {9.0, 0.5, 38, 0.75},
        {9.5, 0.5, 35, 0.8},  {10.0, 1.0, 33, 0.9},  {11.0, 1.0, 31, 0.85}, {12.0, 0.5, 28, 1.0},
        {12.5, 0.5, 40, 0.8}, {13.0, 0.5, 38, 0.75}, {13.5, 0.5, 35, 0.8},  {14.0, 2.7, 28, 1.0},
    };
    const double secondsPerBeat = 0.6;
    const double seconds = 10.0;
    const double pluckPosition = 0.23, pickupPosition = 0.18, stiffness = 1.5e-4;
    const double onset = 0.0015, damping = 0.04, thumpDecay = 0.008;
    const double pitchDrop = 0.004, pitchSettle = 0.05;
    const double highestPartial = std::min(4000.0, 0.45 * fs);

    const auto total = static_cast<size_t>(seconds * fs);
    std::vector<double> y(total, 0.0);
    std::uint32_t seed = 12345u;
    for (const Note& note : notes) {
        const auto start = static_cast<size_t>(note.beat * secondsPerBeat * fs);
        const double gate = note.beats * secondsPerBeat;
        const size_t length =
            std::min(total - start, static_cast<size_t>((gate + 8.0 * damping) * fs));
        const double f0 = 440.0 * std::pow(2.0, (note.midi - 69) / 12.0);
        // Shared by all partials: the note's envelope and its time axis
        // stretched by the pitch drop.
        std::vector<double> envelope(length), warped(length);
        for (size_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / fs;
            const double release = t > gate ? std::exp(-(t - gate) / damping) : 1.0;
            envelope[i] = note.velocity * (1.0 - std::exp(-t / onset)) * release;
            warped[i] = t + pitchDrop * pitchSettle * (1.0 - std::exp(-t / pitchSettle));
        }
        for (int k = 1; k <= 64; ++k) {
            const double fk = k * f0 * std::sqrt(1.0 + stiffness * k * k);
            if (fk > highestPartial) break;
            const double ak =
                std::sin(k * M_PI * pluckPosition) * std::sin(k * M_PI * pickupPosition) / k;
            const double decay = 0.4 + fk / 400.0; // 1/s: about 2 s for low E, 0.2 s at 2 kHz
            const double decayStep = std::exp(-decay / fs);
            const size_t audible = std::min(length, static_cast<size_t>(9.2 / decay * fs));
            double amplitude = ak;
            for (size_t i = 0; i < audible; ++i) {
                y[start + i] += envelope[i] * amplitude * std::sin(2.0 * M_PI * fk * warped[i]);
                amplitude *= decayStep;
            }
        }
        // Finger thump: noise through a one-pole low-pass near 800 Hz.
        const double pole = std::exp(-2.0 * M_PI * 800.0 / fs);
        double lowpassed = 0.0;
        const size_t thumpLength = std::min(length, static_cast<size_t>(8.0 * thumpDecay * fs));
        for (size_t i = 0; i < thumpLength; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double white = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            lowpassed = white + pole * (lowpassed - white);
            const double t = static_cast<double>(i) / fs;
            y[start + i] += 0.6 * note.velocity * (1.0 - std::exp(-t / onset)) *
                            std::exp(-t / thumpDecay) * lowpassed;
        }
    }
    double peak = 0.0;
    for (double v : y)
        peak = std::max(peak, std::fabs(v));
    const double scale = peak > 0.0 ? std::pow(10.0, -12.0 / 20.0) / peak : 0.0;
    std::vector<float> out(total);
    for (size_t i = 0; i < total; ++i)
        out[i] = static_cast<float>(y[i] * scale);
    return out;
}

Audio readAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw VstHostError("cannot read " + path + ": " + sf_strerror(nullptr));
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(file, sf_close);
    if (info.channels < 1 || info.channels > 2)
        throw VstHostError(path + " has " + std::to_string(info.channels) +
                           " channels; mono or stereo only");
    const auto channels = static_cast<size_t>(info.channels);
    std::vector<float> interleaved(static_cast<size_t>(info.frames) * channels);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    if (got <= 0) throw VstHostError(path + " holds no audio");
    Audio audio;
    audio.rate = info.samplerate;
    audio.channels.assign(channels, std::vector<float>(static_cast<size_t>(got)));
    for (size_t i = 0; i < static_cast<size_t>(got); ++i)
        for (size_t c = 0; c < channels; ++c)
            audio.channels[c][i] = interleaved[i * channels + c];
    return audio;
}

// The host's input channels: one for a mono host (a stereo file mixed
// down), two otherwise (a mono source on the first, silence on the second).
std::vector<std::vector<float>> hostInputs(Audio& audio, bool mono) {
    auto& channels = audio.channels;
    if (mono && channels.size() == 2) {
        for (size_t i = 0; i < channels[0].size(); ++i)
            channels[0][i] = 0.5f * (channels[0][i] + channels[1][i]);
        channels.pop_back();
    } else if (!mono && channels.size() == 1) {
        channels.emplace_back(channels[0].size(), 0.0f);
    }
    return std::move(channels);
}

void writeAudio(SNDFILE* file, const std::vector<std::vector<float>>& channels,
                const std::string& path) {
    const size_t count = channels.size();
    const size_t frames = channels[0].size();
    std::vector<float> interleaved(frames * count);
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < count; ++c)
            interleaved[i * count + c] = channels[c][i];
    if (sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames)) !=
        static_cast<sf_count_t>(frames))
        throw VstHostError("cannot write " + path + ": " + sf_strerror(file));
}

std::string fourCharacters(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(id));
    return "'" + text + "' (" + hex + ")";
}

void printInfo(VstHost& host) {
    const AEffect& effect = *host.effect();
    std::printf("effect:     %s\n", host.effectName().c_str());
    std::printf("vendor:     %s\n", host.vendorString().c_str());
    std::printf("product:    %s\n", host.productString().c_str());
    std::printf("version:    %d (record %d)\n", host.vendorVersion(), effect.version);
    std::printf("unique ID:  %s\n", fourCharacters(effect.uniqueID).c_str());
    std::printf("inputs:     %d\noutputs:    %d\n", effect.numInputs, effect.numOutputs);
    std::printf("programs:   %d\nparameters: %d\n", effect.numPrograms, effect.numParams);
    static const std::pair<VstInt32, const char*> flags[] = {
        {effFlagsHasEditor, "HasEditor"},
        {effFlagsCanReplacing, "CanReplacing"},
        {effFlagsProgramChunks, "ProgramChunks"},
        {effFlagsIsSynth, "IsSynth"},
        {effFlagsNoSoundInStop, "NoSoundInStop"},
        {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
    };
    std::printf("flags:      0x%X", static_cast<unsigned>(effect.flags));
    for (const auto& [bit, name] : flags)
        if (effect.flags & bit) std::printf(" %s", name);
    std::printf("\n");
}

void printList(VstHost& host) {
    const AEffect& effect = *host.effect();
    std::printf("programs (%d):\n", effect.numPrograms);
    for (int p = 0; p < effect.numPrograms; ++p)
        std::printf("  %3d  %s\n", p, host.programNameIndexed(p).c_str());
    std::printf("parameters (%d):\n", effect.numParams);
    for (int i = 0; i < effect.numParams; ++i)
        std::printf("  %3d  %-10s %10s %s\n", i, host.parameterName(i).c_str(),
                    host.parameterDisplay(i).c_str(), host.parameterLabel(i).c_str());
}

std::string decibels(double linear) {
    if (!(linear > 0.0)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dBFS", 20.0 * std::log10(linear));
    return text;
}

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const bool renders = !options.list && !options.info;

    // A file fixes the host's rate unless --rate is given; the bass line is
    // synthesized at the host's rate once the plug-in is set up.
    Audio source;
    if (renders && !options.input.empty()) source = readAudio(options.input);
    double rate = options.rate > 0.0 ? options.rate : kDefaultRate;
    if (renders && !options.input.empty()) {
        if (options.rate <= 0.0)
            rate = source.rate;
        else if (source.rate != rate)
            std::fprintf(stderr,
                         "tarvex_host: warning: %s is at %g Hz, processed at %g Hz without "
                         "resampling\n",
                         options.input.c_str(), source.rate, rate);
    }

    VstHost host(options.plugin, rate, options.block);
    if (options.program >= 0) {
        if (options.program >= host.effect()->numPrograms)
            throw VstHostError("program " + std::to_string(options.program) +
                               " out of range (the plug-in has " +
                               std::to_string(host.effect()->numPrograms) + ")");
        host.setProgram(options.program);
    }
    if (!options.preset.empty()) {
        const PresetValues values = readPresetFile(options.preset);
        const int applied = applyPreset(host, values);
        if (applied < Param::count)
            std::fprintf(stderr,
                         "tarvex_host: warning: the plug-in has %d parameters; the preset's "
                         "other values are ignored\n",
                         applied);
    }
    for (const auto& [index, value] : options.parameters) {
        if (index >= host.effect()->numParams)
            throw VstHostError("parameter " + std::to_string(index) +
                               " out of range (the plug-in has " +
                               std::to_string(host.effect()->numParams) + ")");
        host.setParameter(index, value);
    }
    if (options.info) printInfo(host);
    if (options.list) printList(host);
    if (!renders) return 0;

    SF_INFO format{};
    format.samplerate = static_cast<int>(rate);
    format.channels = options.mono ? 1 : 2;
    format.format = SF_FORMAT_WAV | (options.pcm24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(
        sf_open(options.output.c_str(), SFM_WRITE, &format), sf_close);
    if (!file) throw VstHostError("cannot write " + options.output + ": " + sf_strerror(nullptr));
    if (options.pcm24) sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    if (options.input.empty()) {
        source.rate = rate;
        source.channels.push_back(bassLine(rate));
    }
    std::vector<std::vector<float>> inputs = hostInputs(source, options.mono);
    std::vector<std::vector<float>> outputs(inputs.size());

    std::mt19937 random(1);
    std::uniform_int_distribution<int> blockLength(1, options.block);
    std::function<int()> nextBlock;
    if (options.randomBlocks) nextBlock = [&] { return blockLength(random); };
    host.resume();
    const double busy = host.render(inputs, outputs, nextBlock);
    host.suspend();
    writeAudio(file.get(), outputs, options.output);

    double peak = 0.0, sumOfSquares = 0.0;
    size_t count = 0, nonFinite = 0;
    for (const auto& channel : outputs)
        for (float v : channel) {
            if (!std::isfinite(v)) {
                ++nonFinite;
                continue;
            }
            peak = std::max(peak, static_cast<double>(std::fabs(v)));
            sumOfSquares += static_cast<double>(v) * v;
            ++count;
        }
    if (nonFinite > 0)
        std::fprintf(stderr, "tarvex_host: warning: %zu output samples are not finite\n",
                     nonFinite);
    const double seconds = static_cast<double>(outputs[0].size()) / rate;
    std::printf("program:   %s\n", host.programName().c_str());
    std::printf("output:    %s, %.2f s, %zu channel%s\n", options.output.c_str(), seconds,
                outputs.size(), outputs.size() == 1 ? "" : "s");
    std::printf("peak:      %s\n", decibels(peak).c_str());
    std::printf("RMS:       %s\n", decibels(count ? std::sqrt(sumOfSquares / count) : 0.0).c_str());
    if (busy > 0.0)
        std::printf("real-time: %.1fx\n", seconds / busy);
    else
        std::printf("real-time: unmeasurably fast\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvex_host: %s\n", error.what());
        return 1;
    }
}
