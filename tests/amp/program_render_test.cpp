// Every factory program rendered through the engine: finite, at a sensible
// level, and unchanged from run to run (compact per-100 ms RMS fingerprints
// kept in program_fingerprints.csv; TARVEX_UPDATE_FINGERPRINTS=1 rewrites it).
#include "amp/tarvex.h"
#include "source/factory_programs.h"
#include "support/bass_line.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int windows = 20; // 2 s in 100 ms windows

struct Fingerprint {
    std::vector<double> left, right; // RMS per window
    double peak = 0.0;
    bool finite = true;
};

Fingerprint renderProgram(int program, double fs, int block, double seconds = 2.0) {
    auto engine = std::make_unique<Tarvex>();
    engine->SetFs(fs);
    applyFactoryProgram(*engine, program);
    std::vector<double> x = bassLine(fs, seconds);
    const int n = static_cast<int>(x.size());
    std::vector<double> left(x.size()), right(x.size());
    for (int start = 0; start < n; start += block)
        engine->process(x.data() + start, left.data() + start, right.data() + start,
                        std::min(block, n - start));
    Fingerprint f;
    const int window = n / windows;
    for (int w = 0; w < windows; ++w) {
        f.left.push_back(rms(left.data() + w * window, window));
        f.right.push_back(rms(right.data() + w * window, window));
    }
    for (int i = 0; i < n; ++i) {
        f.finite = f.finite && std::isfinite(left[i]) && std::isfinite(right[i]);
        f.peak = std::max({f.peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    return f;
}

std::string fingerprintFile() {
    return std::string(TARVEX_SOURCE_DIR) + "/tests/amp/program_fingerprints.csv";
}

std::vector<std::vector<double>> readFingerprints() {
    std::vector<std::vector<double>> rows;
    std::ifstream file(fingerprintFile());
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<double> row;
        std::stringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ','))
            row.push_back(std::strtod(cell.c_str(), nullptr));
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(FactoryPrograms, RenderFiniteAtSensibleLevelsAndMatchTheirFingerprints) {
    std::vector<Fingerprint> prints;
    for (int p = 0; p < factoryProgramCount; ++p)
        prints.push_back(renderProgram(p, 44100.0, 256));

    for (int p = 0; p < factoryProgramCount; ++p) {
        const Fingerprint& f = prints[static_cast<size_t>(p)];
        const char* name = factoryPrograms[p].name;
        EXPECT_TRUE(f.finite) << name;
        EXPECT_LT(f.peak, 2.0) << name;
        double sum = 0.0;
        for (int w = 0; w < windows; ++w)
            sum += f.left[static_cast<size_t>(w)] * f.left[static_cast<size_t>(w)];
        const double levelDb = toDecibels(std::sqrt(sum / windows));
        EXPECT_GT(levelDb, -40.0) << name;
        EXPECT_LT(levelDb, 0.0) << name;
    }

    if (std::getenv("TARVEX_UPDATE_FINGERPRINTS")) {
        std::ofstream file(fingerprintFile());
        file
            << "# program, RMS of the left output per 100 ms window (20), then of the right (20)\n";
        char cell[32];
        for (int p = 0; p < factoryProgramCount; ++p) {
            file << p;
            for (const auto* side :
                 {&prints[static_cast<size_t>(p)].left, &prints[static_cast<size_t>(p)].right})
                for (double v : *side) {
                    std::snprintf(cell, sizeof cell, ",%.10g", v);
                    file << cell;
                }
            file << "\n";
        }
        GTEST_SKIP() << "fingerprints rewritten";
    }

    const auto rows = readFingerprints();
    ASSERT_EQ(rows.size(), static_cast<size_t>(factoryProgramCount)) << fingerprintFile();
    for (int p = 0; p < factoryProgramCount; ++p) {
        const auto& row = rows[static_cast<size_t>(p)];
        ASSERT_EQ(row.size(), static_cast<size_t>(1 + 2 * windows));
        for (int w = 0; w < 2 * windows; ++w) {
            const auto& side = w < windows ? prints[static_cast<size_t>(p)].left
                                           : prints[static_cast<size_t>(p)].right;
            const double measured = side[static_cast<size_t>(w % windows)];
            const double stored = row[static_cast<size_t>(1 + w)];
            EXPECT_NEAR(measured, stored, 1e-6 * std::fabs(stored) + 1e-12)
                << factoryPrograms[p].name << " window " << w;
        }
    }
}

TEST(FactoryPrograms, RenderTheSameInAnyBlockSize) {
    for (int p : {2, 7, 13}) {
        const Fingerprint a = renderProgram(p, 48000.0, 256);
        const Fingerprint b = renderProgram(p, 48000.0, 37);
        for (int w = 0; w < windows; ++w) {
            EXPECT_NEAR(a.left[static_cast<size_t>(w)], b.left[static_cast<size_t>(w)],
                        1e-9 * a.left[static_cast<size_t>(w)] + 1e-15)
                << factoryPrograms[p].name;
            EXPECT_NEAR(a.right[static_cast<size_t>(w)], b.right[static_cast<size_t>(w)],
                        1e-9 * a.right[static_cast<size_t>(w)] + 1e-15);
        }
    }
}

TEST(FactoryPrograms, RenderFiniteAtHighRates) {
    for (double fs : {96000.0, 192000.0})
        for (int p = 0; p < factoryProgramCount; ++p) {
            const Fingerprint f = renderProgram(p, fs, 512, 0.4);
            EXPECT_TRUE(f.finite) << factoryPrograms[p].name << " at " << fs;
            EXPECT_LT(f.peak, 2.0) << factoryPrograms[p].name << " at " << fs;
        }
}
