// Preset files: writing, reading by attribute name, and the answers to files
// that are not presets.
#include "source/effect.h"
#include "source/factory_programs.h"
#include "source/import_export.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <grp.h>
#include <memory>
#include <random>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kInvalid =
    "Quorvalinde Tarvex:: Invalid XML. Should be a <TarvexPreset> object.\n";

// Records the order of setParameter calls that reach the effect.
class RecordingEffect : public Effect {
public:
    RecordingEffect() : Effect(nullptr) {}
    void setParameter(VstInt32 index, float value) override {
        calls.push_back(index);
        Effect::setParameter(index, value);
    }
    std::vector<int> calls;
};

// Test cases run as parallel processes: each names its files after itself.
std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "/tarvex-" + std::to_string(getpid()) + "-" + name;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder of its own, so that a test sees every file an export leaves.
std::string freshFolder(const std::string& name) {
    std::string folder = tempPath(name + "-XXXXXX");
    return ::mkdtemp(folder.data()) != nullptr ? folder : std::string();
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<float> values(Effect& effect) {
    std::vector<float> v(kNumParams);
    for (int i = 0; i < kNumParams; ++i)
        v[i] = effect.getParameter(i);
    return v;
}

// Imports `content` as a file and returns what went to standard error.
std::string importText(Effect& effect, const std::string& content) {
    const std::string path = tempPath("import.xml");
    writeFile(path, content);
    ::testing::internal::CaptureStderr();
    importPreset(path.c_str(), &effect);
    std::remove(path.c_str());
    return ::testing::internal::GetCapturedStderr();
}

TEST(PresetFileTest, ExportThenImportRestoresEveryValue) {
    auto source = std::make_unique<Effect>(nullptr);
    auto target = std::make_unique<Effect>(nullptr);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < kNumParams; ++i)
        source->setParameter(i, unit(random));
    source->setParameter(0, 0.5f);
    source->setParameter(1, 0.25f);
    source->setParameter(2, 1.0f);
    const std::string path = tempPath("roundtrip.xml");
    exportPreset(path.c_str(), source.get());
    importPreset(path.c_str(), target.get());
    std::remove(path.c_str());
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_NEAR(target->getParameter(i), source->getParameter(i),
                    5e-6f * std::abs(source->getParameter(i)))
            << i;
    EXPECT_EQ(target->getParameter(0), 0.5f);
    EXPECT_EQ(target->getParameter(1), 0.25f);
    EXPECT_EQ(target->getParameter(2), 1.0f);
}

TEST(PresetFileTest, ExportedFileHasTheDeclarationOneElementAndLineFeeds) {
    auto effect = std::make_unique<Effect>(nullptr);
    effect->setParameter(16, 1.11759e-08f);
    const std::string path = tempPath("layout.xml");
    exportPreset(path.c_str(), effect.get());
    const std::string text = readFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" ?>\n<TarvexPreset mode=\"0\" invertB_enable=\"0\" "
                         "crossover_frequency=\"0.5\" ",
                         0),
              0u);
    EXPECT_NE(text.find(" compressorB_amount=\"1.11759e-08\" "), std::string::npos);
    EXPECT_NE(text.find(" reverb_damping=\"0\" eq_enable=\"0\" eq_band1=\"0.5\" "),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 17), "></TarvexPreset>\n");
}

TEST(PresetFileTest, MissingAttributesCountAsHalf) {
    auto effect = std::make_unique<Effect>(nullptr);
    EXPECT_EQ(importText(*effect, "<TarvexPreset mode=\"1\"/>"), "");
    EXPECT_EQ(effect->getParameter(0), 1.0f);
    for (int i = 1; i < kNumParams; ++i)
        EXPECT_EQ(effect->getParameter(i), 0.5f) << i;
    // The values went into the current program too.
    effect->setProgram(4);
    effect->setProgram(2);
    EXPECT_EQ(effect->getParameter(0), 1.0f);
    EXPECT_EQ(effect->getParameter(30), 0.5f);
}

TEST(PresetFileTest, AttributesApplyInFileOrderWhateverTheirOrderInTheFile) {
    RecordingEffect effect;
    effect.calls.clear();
    EXPECT_EQ(importText(effect, "<?xml version=\"1.0\" ?>\n<TarvexPreset master_volume=\"0.25\" "
                                 "unknown=\"0.9\" eq_enable=\"1\" mode=\"0.75\" cabinet=\"0\">"
                                 "<child mode=\"0\"/>text</TarvexPreset>\n"),
              "");
    std::vector<int> expected;
    for (const PresetKey& k : presetKeys)
        expected.push_back(k.index);
    EXPECT_EQ(effect.calls, expected);
    EXPECT_EQ(effect.getParameter(52), 0.25f);
    EXPECT_EQ(effect.getParameter(48), 1.0f);
    EXPECT_EQ(effect.getParameter(0), 0.75f);
    EXPECT_EQ(effect.getParameter(51), 0.0f);
    EXPECT_EQ(effect.getParameter(7), 0.5f);
}

TEST(PresetFileTest, ValuesOutsideTheRangeApplyUnchangedAndNonNumbersCountAsHalf) {
    auto effect = std::make_unique<Effect>(nullptr);
    importText(*effect, "<TarvexPreset mode=\"2.5\" gainA=\"-1\" gainB=\"abc\" bassA=\"nan\" "
                        "bassB=\"inf\" midsA=\" 0.125\" midsB=\"8e115\" trebleA=\"-1e39\"/>");
    EXPECT_EQ(effect->getParameter(0), 2.5f);
    EXPECT_EQ(effect->getParameter(7), -1.0f);
    EXPECT_EQ(effect->getParameter(18), 0.5f);
    EXPECT_EQ(effect->getParameter(9), 0.5f);
    EXPECT_EQ(effect->getParameter(20), 0.5f);
    EXPECT_EQ(effect->getParameter(10), 0.125f);
    EXPECT_EQ(effect->getParameter(21), 0.5f);
    EXPECT_EQ(effect->getParameter(12), 0.5f);
}

TEST(PresetFileTest, FilesThatAreNotPresetsChangeNothing) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::vector<float> before = values(*effect);
    std::string binary(3000, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>((i * 7919) % 256);
    const std::string valid =
        "<?xml version=\"1.0\" ?>\n<TarvexPreset mode=\"1\" gainA=\"0.1\"></TarvexPreset>\n";
    for (const std::string& content : std::vector<std::string>{
             "",
             "<tarvexpreset mode=\"1\"/>",
             "<OtherPreset mode=\"1\"></OtherPreset>",
             "<?xml version=\"1.0\" ?>\n",
             "just text",
             valid.substr(0, valid.size() / 2), // truncated
             "<TarvexPreset mode=\"1\"><TarvexPreset>",
             binary,
         }) {
        EXPECT_EQ(importText(*effect, content), kInvalid) << content.substr(0, 40);
        EXPECT_EQ(values(*effect), before);
    }
}

TEST(PresetFileTest, HugeFilesAreRefusedWithoutReadingThemWhole) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::vector<float> before = values(*effect);
    std::string huge = "<TarvexPreset mode=\"1\" x=\"";
    huge.append(3u << 20, 'a');
    huge += "\"/>";
    EXPECT_EQ(importText(*effect, huge), kInvalid);
    EXPECT_EQ(values(*effect), before);
}

TEST(PresetFileTest, AFifoIsRefusedAtOnceInsteadOfWaitingForAWriter) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::vector<float> before = values(*effect);
    const std::string path = tempPath("preset.fifo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // A writer with a valid preset: a reader that waits for it would apply it.
    std::thread writer([&] {
        // The reader may have closed its end before the write: no SIGPIPE.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const int fd = ::open(path.c_str(), O_WRONLY);
        if (fd < 0) return;
        const std::string preset = "<TarvexPreset mode=\"1\" gainA=\"0.1\"/>";
        [[maybe_unused]] const ssize_t written = ::write(fd, preset.data(), preset.size());
        ::close(fd);
    });
    ::testing::internal::CaptureStderr();
    importPreset(path.c_str(), effect.get());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), kInvalid);
    EXPECT_EQ(values(*effect), before);
    // Let the writer finish: a reader of our own opens the other end.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (reader >= 0) ::close(reader);
    std::remove(path.c_str());
}

TEST(PresetFileTest, UnreadableAndUnwritablePathsAreIgnoredSilently) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::vector<float> before = values(*effect);
    ::testing::internal::CaptureStderr();
    importPreset("/nonexistent/dir/preset.xml", effect.get());
    EXPECT_FALSE(exportPreset("/nonexistent/dir/preset.xml", effect.get()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(values(*effect), before);
}

TEST(PresetExportTest, OnlyARegularFileIsReplacedAndAFifoDoesNotWait) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::string folder = freshFolder("kinds");
    const std::string mine = "<TarvexPreset mode=\"1\"></TarvexPreset>\n";
    writeFile(folder + "/real.xml", mine);
    ASSERT_EQ(::symlink("real.xml", (folder + "/link.xml").c_str()), 0);
    ASSERT_EQ(::mkdir((folder + "/bank").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((folder + "/pipe.xml").c_str(), 0600), 0);
    for (const std::string& path : {folder + "/", folder + "/bank", folder + "/bank/",
                                    folder + "/link.xml", folder + "/pipe.xml"}) {
        auto exported = std::async(std::launch::async,
                                   [&] { return exportPreset(path.c_str(), effect.get()); });
        if (exported.wait_for(testing_support::kPatience) != std::future_status::ready) {
            ADD_FAILURE() << path << ": the export waits for a reader";
            const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
            exported.wait();
            ::close(reader);
        }
        EXPECT_FALSE(exported.get()) << path;
    }
    EXPECT_EQ(readFile(folder + "/real.xml"), mine);
    EXPECT_TRUE(std::filesystem::is_symlink(folder + "/link.xml"));
    EXPECT_TRUE(std::filesystem::is_fifo(folder + "/pipe.xml"));
    EXPECT_TRUE(std::filesystem::is_empty(folder + "/bank"));
    EXPECT_EQ(namesIn(folder),
              (std::vector<std::string>{"bank", "link.xml", "pipe.xml", "real.xml"}));
    std::filesystem::remove_all(folder);
}

TEST(PresetExportTest, APresetIsReplacedWholeOrNotAtAllAndKeepsItsPermissions) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::string folder = freshFolder("replace");
    const std::string path = folder + "/good.xml";
    const std::string good = "<TarvexPreset mode=\"1\"></TarvexPreset>\n";
    writeFile(path, good);
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    // A file size limit cuts writes short past 100 bytes as a full disk does,
    // root included; ignored, SIGXFSZ turns into the write's error.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(exportPreset(path.c_str(), effect.get()));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(readFile(path), good);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"good.xml"});

    // Replaced, a preset keeps its permissions; a new one gets the umask's.
    const mode_t mask = ::umask(027);
    EXPECT_TRUE(exportPreset(path.c_str(), effect.get()));
    EXPECT_TRUE(exportPreset((folder + "/new.xml").c_str(), effect.get()));
    ::umask(mask);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0604));
    EXPECT_EQ(std::filesystem::status(folder + "/new.xml").permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(readFile(path), readFile(folder + "/new.xml"));
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"good.xml", "new.xml"}));
    std::filesystem::remove_all(folder);
}

TEST(PresetExportTest, LongNamesAndPathsThatCanBeCreatedAreWritten) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::string folder = freshFolder("long");
    // The longest file name, and a 4,087-byte path through nested folders
    // whose file name is short: the new file's own name must fit beside both.
    std::string deep = folder;
    while (4087 - 9 - deep.size() > 201) {
        deep += '/' + std::string(200, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    deep += '/' + std::string(4087 - 9 - deep.size() - 1, 'e');
    ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    for (const std::string& path : {folder + '/' + std::string(255, 'n'), deep + "/bass.xml"}) {
        ASSERT_TRUE(path.size() == 4087 || path.size() == folder.size() + 256);
        EXPECT_TRUE(exportPreset(path.c_str(), effect.get())) << path.size();
        EXPECT_TRUE(readFile(path).ends_with("></TarvexPreset>\n")) << path.size();
    }
    EXPECT_EQ(namesIn(deep), std::vector<std::string>{"bass.xml"});
    std::filesystem::remove_all(folder);
}

TEST(PresetExportTest, AFolderLinkThatFlipsMidExportLeavesNoFileBehind) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::string folder = freshFolder("flip");
    ASSERT_EQ(::mkdir((folder + "/a").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((folder + "/b").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("a", (folder + "/link").c_str()), 0);
    // The link turns between the two folders, each turn one atomic rename.
    std::jthread flipper([&](std::stop_token stop) {
        const std::string next = folder + "/next";
        for (bool toB = true; !stop.stop_requested(); toB = !toB) {
            if (::symlink(toB ? "b" : "a", next.c_str()) != 0 ||
                ::rename(next.c_str(), (folder + "/link").c_str()) != 0)
                ::unlink(next.c_str());
        }
    });
    int written = 0;
    for (int i = 0; i < 300; ++i) {
        effect->setParameter(Param::gainA, static_cast<float>(i) / 300.0f);
        written += exportPreset((folder + "/link/bass.xml").c_str(), effect.get());
    }
    flipper.request_stop();
    flipper.join();
    EXPECT_GT(written, 0);
    // Each folder holds at most the preset, and that one whole.
    for (const char* side : {"/a", "/b"}) {
        const std::vector<std::string> names = namesIn(folder + side);
        if (names.empty()) continue;
        EXPECT_EQ(names, std::vector<std::string>{"bass.xml"}) << side;
        const std::string text = readFile(folder + side + "/bass.xml");
        EXPECT_TRUE(text.starts_with("<?xml ") && text.ends_with("></TarvexPreset>\n")) << side;
    }
    std::filesystem::remove_all(folder);
}

TEST(PresetExportTest, AReadOnlyPresetIsReplacedOnlyWhereTheProcessMayWriteIt) {
    auto effect = std::make_unique<Effect>(nullptr);
    const std::string folder = freshFolder("readonly");
    const std::string path = folder + "/mine.xml";
    const std::string mine = "<TarvexPreset mode=\"1\"></TarvexPreset>\n";
    writeFile(path, mine);
    ASSERT_EQ(::chmod(path.c_str(), 0400), 0);
    constexpr uid_t kUser = 65534;
    constexpr gid_t kGroup = 4321;
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(folder.c_str(), kUser, kUser), 0);
        ASSERT_EQ(::chown(path.c_str(), kUser, kGroup), 0);
    }
    // Its unprivileged owner, who may write the folder, is refused: asked in
    // a child process that gives up root.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setresgid(kUser, kUser, kUser) != 0 ||
                     ::setresuid(kUser, kUser, kUser) != 0))
            ::_exit(77);
        if (::access(folder.c_str(), W_OK | X_OK) != 0) ::_exit(77);
        ::_exit(exportPreset(path.c_str(), effect.get()) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 1) << "the read-only preset was replaced";
    EXPECT_EQ(readFile(path), mine);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"mine.xml"});
    if (root) {
        // Root may write any file; the replacement keeps the old one's
        // owner, group and permissions.
        EXPECT_TRUE(exportPreset(path.c_str(), effect.get()));
        struct stat replaced {};
        EXPECT_EQ(::stat(path.c_str(), &replaced), 0);
        EXPECT_EQ(replaced.st_uid, kUser);
        EXPECT_EQ(replaced.st_gid, kGroup);
        EXPECT_EQ(replaced.st_mode & 07777, 0400u);
        EXPECT_TRUE(readFile(path).ends_with("></TarvexPreset>\n"));
    }
    std::filesystem::remove_all(folder);
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "cannot export as user " << kUser << " with a folder of its own";
}

TEST(PresetTextTest, LongTextsAreCutAt2047Characters) {
    auto effect = std::make_unique<Effect>(nullptr);
    // The element ends before the cut: the padding after it is dropped.
    std::string fits = "<TarvexPreset mode=\"1\"></TarvexPreset>";
    fits.append(3000 - fits.size(), ' ');
    ::testing::internal::CaptureStderr();
    SetXMLPreset(fits.c_str(), effect.get());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(effect->getParameter(0), 1.0f);

    // The end tag lies beyond the cut: the text is incomplete and refused.
    std::string cut = "<TarvexPreset mode=\"0\" pad=\"";
    cut.append(2047 - cut.size() - 2, 'p');
    cut += "\"></TarvexPreset>";
    ASSERT_GT(cut.size(), 2047u);
    ::testing::internal::CaptureStderr();
    SetXMLPreset(cut.c_str(), effect.get());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), kInvalid);
    EXPECT_EQ(effect->getParameter(0), 1.0f);

    // With the end tag just inside the limit it applies.
    std::string exact = "<TarvexPreset mode=\"0\" pad=\"";
    exact.append(2047 - exact.size() - 17, 'p');
    exact += "\"></TarvexPreset>";
    ASSERT_EQ(exact.size(), 2047u);
    SetXMLPreset(exact.c_str(), effect.get());
    EXPECT_EQ(effect->getParameter(0), 0.0f);
}

TEST(PresetTextTest, FactoryTextsAreCompleteAndBelowTheLimit) {
    for (int p = 0; p < kNumPrograms; ++p) {
        const std::string text = presetText(factoryPrograms[p].values, p == 0);
        EXPECT_GE(text.size(), 958u) << p;
        EXPECT_LE(text.size(), 1033u) << p;
    }
}

} // namespace
