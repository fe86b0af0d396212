// Runs the built tarvex_host program on the test plug-in and reads back what
// it writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Wav {
    int rate = 0;
    int format = 0;
    std::vector<std::vector<float>> channels;
};

void writeWav(const std::string& path, const Wav& wav) {
    SF_INFO info{};
    info.samplerate = wav.rate;
    info.channels = static_cast<int>(wav.channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const size_t frames = wav.channels[0].size();
    std::vector<float> interleaved;
    for (size_t i = 0; i < frames; ++i)
        for (const auto& channel : wav.channels)
            interleaved.push_back(channel[i]);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
}

Wav readWav(const std::string& path) {
    Wav wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return wav;
    wav.rate = info.samplerate;
    wav.format = info.format;
    const auto count = static_cast<size_t>(info.channels);
    std::vector<float> interleaved(static_cast<size_t>(info.frames) * count);
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    wav.channels.assign(count, std::vector<float>(static_cast<size_t>(info.frames)));
    for (size_t i = 0; i < static_cast<size_t>(info.frames); ++i)
        for (size_t c = 0; c < count; ++c)
            wav.channels[c][i] = interleaved[i * count + c];
    return wav;
}

// A few cycles of two unrelated tones, different on each channel.
Wav testInput(int rate, size_t frames, size_t channels) {
    Wav wav;
    wav.rate = rate;
    for (size_t c = 0; c < channels; ++c) {
        std::vector<float> x(frames);
        for (size_t i = 0; i < frames; ++i)
            x[i] = static_cast<float>(0.3 * std::sin(0.013 * (c + 1) * i) +
                                      0.1 * std::sin(0.29 * i + c));
        wav.channels.push_back(x);
    }
    return wav;
}

float peakOf(const std::vector<float>& x) {
    float peak = 0.0f;
    for (float v : x)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

class TarvexHostToolTest : public ::testing::Test {
protected:
    struct Result {
        int exitCode;
        std::string out, err;
    };

    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("tarvex_host_tool_" + std::to_string(::getpid()) + "_" + test->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string slurp(const std::string& file) {
        std::ifstream stream(file);
        std::stringstream text;
        text << stream.rdbuf();
        return text.str();
    }

    Result run(const std::string& arguments, const std::string& plugin = HOST_TEST_PLUGIN_PATH) {
        const std::string command = std::string("'") + TARVEX_HOST_PATH + "' '" + plugin + "' " +
                                    arguments + " >'" + path("stdout") + "' 2>'" + path("stderr") +
                                    "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(path("stdout")),
                slurp(path("stderr"))};
    }

    std::filesystem::path folder_;
};

} // namespace

TEST_F(TarvexHostToolTest, RendersAFileWithTheProgramThenTheParameters) {
    const Wav in = testInput(44100, 3000, 2);
    writeWav(path("in.wav"), in);
    // Program 1's gain is 0.25; the parameter given afterwards makes it 1.5.
    const Result result = run("--input '" + path("in.wav") + "' --output '" + path("out.wav") +
                              "' --program 1 --param 0=0.75 --block 100 --random-blocks");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Quiet"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("real-time"), std::string::npos) << result.out;

    const Wav out = readWav(path("out.wav"));
    EXPECT_EQ(out.rate, 44100);
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(out.channels.size(), 2u);
    for (size_t c = 0; c < 2; ++c) {
        ASSERT_EQ(out.channels[c].size(), 3000u);
        for (size_t i = 0; i < 3000; ++i)
            ASSERT_EQ(out.channels[c][i], 1.5f * in.channels[c][i]) << c << " " << i;
    }
}

TEST_F(TarvexHostToolTest, MonoSourcesFeedTheFirstInputAndMonoHostsMixDown) {
    const Wav stereo = testInput(48000, 1000, 2);
    const Wav mono = testInput(48000, 1000, 1);
    writeWav(path("stereo.wav"), stereo);
    writeWav(path("mono.wav"), mono);

    ASSERT_EQ(run("--mono --input '" + path("stereo.wav") + "' --output '" + path("a.wav") + "'")
                  .exitCode,
              0);
    const Wav mixed = readWav(path("a.wav"));
    ASSERT_EQ(mixed.channels.size(), 1u);
    for (size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(mixed.channels[0][i], 0.5f * (stereo.channels[0][i] + stereo.channels[1][i]));

    ASSERT_EQ(run("--input '" + path("mono.wav") + "' --output '" + path("b.wav") + "'").exitCode,
              0);
    const Wav spread = readWav(path("b.wav"));
    ASSERT_EQ(spread.channels.size(), 2u);
    EXPECT_EQ(spread.channels[0], mono.channels[0]);
    EXPECT_EQ(peakOf(spread.channels[1]), 0.0f);
}

TEST_F(TarvexHostToolTest, DemoBassLineIsTenRepeatableSecondsPeakingNearMinus12Dbfs) {
    const std::string args = "--rate 44100 --format pcm24 --output '";
    ASSERT_EQ(run(args + path("a.wav") + "'").exitCode, 0);
    const Result again = run(args + path("b.wav") + "'");
    ASSERT_EQ(again.exitCode, 0);
    EXPECT_NE(again.out.find("peak:      -12.0"), std::string::npos) << again.out;

    const Wav a = readWav(path("a.wav"));
    const Wav b = readWav(path("b.wav"));
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    ASSERT_EQ(a.channels.size(), 2u);
    ASSERT_EQ(a.channels[0].size(), 441000u);
    EXPECT_EQ(a.channels, b.channels);
    const double peakDb = 20.0 * std::log10(peakOf(a.channels[0]));
    EXPECT_NEAR(peakDb, -12.0, 0.01);
    // A plucked line, not a held tone: the level rises again at note onsets.
    double sum = 0.0;
    int onsets = 0;
    bool quiet = false;
    const size_t window = 441; // 10 ms
    for (size_t w = 0; w + window <= a.channels[0].size(); w += window) {
        sum = 0.0;
        for (size_t i = w; i < w + window; ++i)
            sum += static_cast<double>(a.channels[0][i]) * a.channels[0][i];
        const double levelDb = 10.0 * std::log10(sum / window + 1e-30);
        if (quiet && levelDb > -26.0) ++onsets;
        quiet = levelDb < -28.0;
    }
    EXPECT_GE(onsets, 5);
}

TEST_F(TarvexHostToolTest, PresetFilesSetParametersAndBadOnesStopTheRun) {
    const Wav in = testInput(48000, 500, 2);
    writeWav(path("in.wav"), in);
    std::ofstream(path("good.xml")) << "<?xml version=\"1.0\" ?>\n"
                                       "<TarvexPreset invertB_enable=\"0\" mode=\"0.25\">"
                                       "</TarvexPreset>\n";
    const Result good = run("--input '" + path("in.wav") + "' --output '" + path("out.wav") +
                            "' --preset '" + path("good.xml") + "'");
    ASSERT_EQ(good.exitCode, 0) << good.err;
    const Wav out = readWav(path("out.wav"));
    ASSERT_EQ(out.channels.size(), 2u);
    EXPECT_EQ(out.channels[1][123], 0.5f * in.channels[1][123]);

    std::ofstream(path("bad.xml")) << "<Preset mode=\"0.25\"/>\n";
    const Result bad = run("--input '" + path("in.wav") + "' --preset '" + path("bad.xml") + "'");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("TarvexPreset"), std::string::npos) << bad.err;
}

TEST_F(TarvexHostToolTest, PresetFifosAndOverlargeFilesAreRefusedWithTheReason) {
    writeWav(path("in.wav"), testInput(48000, 500, 2));
    const std::string render =
        "--input '" + path("in.wav") + "' --output '" + path("out.wav") + "' --preset '";
    const std::string preset = "<TarvexPreset mode=\"0.25\"";

    // A FIFO with a writer behind it: a reader that waited would get a preset.
    const std::string fifo = path("preset.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        sigset_t pipeSignal; // the reader may be gone before the write
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        const std::string text = preset + "/>";
        [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
        ::close(fd);
    });
    const Result fromFifo = run(render + fifo + "'");
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // releases the writer
    writer.join();
    if (reader >= 0) ::close(reader);
    EXPECT_EQ(fromFifo.exitCode, 1);
    EXPECT_NE(fromFifo.err.find("is not a regular file"), std::string::npos) << fromFifo.err;

    // A valid preset padded past the plug-in's limit of 1 MiB.
    std::ofstream(path("large.xml"))
        << preset << " padding=\"" << std::string(1 << 20, 'a') << "\"/>\n";
    const Result large = run(render + path("large.xml") + "'");
    EXPECT_EQ(large.exitCode, 1);
    EXPECT_NE(large.err.find("too large"), std::string::npos) << large.err;
}

TEST_F(TarvexHostToolTest, ErrorsExitNonZeroWithOneLine) {
    writeWav(path("three.wav"), testInput(48000, 100, 3));
    const std::string plugin = HOST_TEST_PLUGIN_PATH;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {plugin, "--program 2"},
        {plugin, "--param 3=0.5"},
        {plugin, "--param 0=1.5"},
        {plugin, "--param 0=nan"},
        {plugin, "--param 0"},
        {plugin, "--block 0"},
        {plugin, "--rate 44.1k"},
        {plugin, "--format mp3"},
        {plugin, "--bogus"},
        {plugin, "--input"},
        {plugin, "--input '" + path("missing.wav") + "'"},
        {plugin, "--input '" + path("three.wav") + "'"},
        {plugin, "--output '" + path("no/such/folder/out.wav") + "'"},
        {plugin, "--preset '" + path("missing.xml") + "'"},
        {path("missing.so"), ""},
        {HOST_TEST_NULL_EFFECT_PATH, ""},
        {HOST_TEST_NO_ENTRY_PATH, "--info"},
    };
    for (const auto& [file, arguments] : cases) {
        const Result result = run("--output '" + path("out.wav") + "' " + arguments, file);
        SCOPED_TRACE(file + " " + arguments);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(result.err.rfind("tarvex_host: ", 0), 0u) << result.err;
    }
}

TEST_F(TarvexHostToolTest, InfoAndListDescribeThePluginWithoutRendering) {
    const Result info = run("--info --output '" + path("out.wav") + "'");
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* expected : {"Host Test Gain", "Tarvex Tests", "Host Test Plug-in", "1234",
                                 "'tHst'", "inputs:     2", "outputs:    2", "CanReplacing"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;

    const Result list = run("--list --program 1 --param 0=0.75");
    ASSERT_EQ(list.exitCode, 0) << list.err;
    for (const char* expected : {"0  Unity", "1  Quiet", "Gain", "1.500", "Tone", "40.000"})
        EXPECT_NE(list.out.find(expected), std::string::npos) << expected << "\n" << list.out;
    EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
}

TEST_F(TarvexHostToolTest, FilesAtAnotherRateAreProcessedAsGivenWithAWarning) {
    const Wav in = testInput(44100, 800, 2);
    writeWav(path("in.wav"), in);
    const Result result =
        run("--rate 48000 --input '" + path("in.wav") + "' --output '" + path("out.wav") + "'");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("warning"), std::string::npos) << result.err;
    const Wav out = readWav(path("out.wav"));
    EXPECT_EQ(out.rate, 48000);
    EXPECT_EQ(out.channels, in.channels);
}
