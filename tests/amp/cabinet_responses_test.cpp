// The modelled cabinet responses: current with their generator, shaped like
// their cabinets, of unit-order gain without DC, the same at every rate.
#include "amp/tarvex_cabinet.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const double groupRates[] = {44100.0, 48000.0, 88200.0, 96000.0};
enum Cabinet { OneByFifteen = 0, FourByTen = 1, EightByTen = 2 };

std::vector<double> response(int group, int cabinet) {
    const double* first = TarvexCabinet::heap + group * 3072 + cabinet * 1024;
    return std::vector<double>(first, first + 1024);
}

// Mean level in dB over a log-spaced band.
double meanDb(const std::vector<double>& h, double low, double high, double fs) {
    const int points = 32;
    double sum = 0.0;
    for (int j = 0; j < points; ++j)
        sum += magnitudeDb(h, low * std::pow(high / low, j / (points - 1.0)), fs);
    return sum / points;
}

} // namespace

#ifdef TARVEX_CABINET_GENERATOR
TEST(CabinetResponsesTest, RegeneratedTableEqualsTheCommittedOne) {
    // One file per process: several builds may run this test at once.
    const std::string path =
        ::testing::TempDir() + "cabinet_responses_regenerated_" + std::to_string(getpid()) + ".cpp";
    const std::string command =
        std::string("\"") + TARVEX_CABINET_GENERATOR + "\" \"" + path + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line) && line.find('{') == std::string::npos) {
    }
    std::vector<double> values;
    while (std::getline(file, line)) {
        if (line.rfind("//", 0) == 0 || line.rfind("}", 0) == 0) continue;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ','))
            if (field.find_first_not_of(' ') != std::string::npos)
                values.push_back(std::stod(field));
    }
    ASSERT_EQ(values.size(), 12u * 1024u);
    // Different machines may differ in the last bits of their libm.
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_NEAR(values[i], TarvexCabinet::heap[i], 1e-9) << "element " << i;
    std::remove(path.c_str());
}
#endif

TEST(CabinetResponsesTest, EachResponseHasTheShapeOfItsCabinet) {
    for (int group = 0; group < 4; ++group) {
        const double fs = groupRates[group];
        const auto fifteen = response(group, OneByFifteen);
        const auto fourTen = response(group, FourByTen);
        const auto eightTen = response(group, EightByTen);
        // Low end relative to each cabinet's own low mids.
        auto reach = [&](const std::vector<double>& h) {
            return magnitudeDb(h, 45.0, fs) - meanDb(h, 100.0, 400.0, fs);
        };
        EXPECT_GT(reach(fifteen), reach(fourTen) + 1.5) << fs;
        // The 15-inch cone breaks up and rolls off earlier.
        EXPECT_LT(magnitudeDb(fifteen, 4000.0, fs), magnitudeDb(fourTen, 4000.0, fs) - 6.0) << fs;
        EXPECT_LT(magnitudeDb(fifteen, 3000.0, fs), -10.0) << fs;
        EXPECT_GT(magnitudeDb(fourTen, 3000.0, fs), magnitudeDb(fifteen, 3000.0, fs)) << fs;
        // The sealed 8x10 thumps in the low mids.
        EXPECT_GT(meanDb(eightTen, 80.0, 200.0, fs), meanDb(eightTen, 500.0, 2000.0, fs) + 3.0)
            << fs;
        EXPECT_GT(meanDb(eightTen, 80.0, 200.0, fs) - meanDb(eightTen, 500.0, 2000.0, fs),
                  meanDb(fourTen, 80.0, 200.0, fs) - meanDb(fourTen, 500.0, 2000.0, fs))
            << fs;
        for (const auto* h : {&fifteen, &fourTen, &eightTen}) {
            EXPECT_LT(magnitudeDb(*h, 25.0, fs), -6.0) << fs; // box roll-off
            EXPECT_LT(magnitudeDb(*h, 10000.0, fs), -30.0) << fs;
        }
    }
}

TEST(CabinetResponsesTest, ResponsesHaveUnitOrderGainAndNoDcOffset) {
    for (int group = 0; group < 4; ++group) {
        const double fs = groupRates[group];
        for (int cabinet = 0; cabinet < 3; ++cabinet) {
            const auto h = response(group, cabinet);
            EXPECT_NEAR(meanDb(h, 200.0, 2000.0, fs), 0.0, 1.0) << fs << " " << cabinet;
            double loudest = -300.0;
            for (double f = 20.0; f < 0.5 * fs; f *= 1.02)
                loudest = std::max(loudest, magnitudeDb(h, f, fs));
            EXPECT_LT(loudest, 6.0) << fs << " " << cabinet;
            double sum = 0.0, absolute = 0.0;
            for (double v : h) {
                sum += v;
                absolute += std::fabs(v);
            }
            EXPECT_LT(std::fabs(sum), 1e-9 * absolute) << fs << " " << cabinet;
            EXPECT_TRUE(std::isfinite(absolute));
        }
    }
}

// Below 18 kHz the four versions of a cabinet agree within 0.5 dB wherever
// they are within 30 dB of the passband, within 1.5 dB down to -45 dB, and
// are all far down elsewhere.
TEST(CabinetResponsesTest, TheFourRateVersionsOfACabinetAgreeBelow18kHz) {
    for (int cabinet = 0; cabinet < 3; ++cabinet) {
        const auto reference = response(3, cabinet);
        for (int group = 0; group < 3; ++group) {
            const auto h = response(group, cabinet);
            for (double f = 20.0; f < 18000.0; f *= 1.03) {
                const double a = magnitudeDb(h, f, groupRates[group]);
                const double b = magnitudeDb(reference, f, 96000.0);
                const double louder = std::max(a, b);
                if (louder > -45.0)
                    EXPECT_NEAR(a, b, louder > -30.0 ? 0.5 : 1.5)
                        << cabinet << " " << groupRates[group] << " " << f;
                else
                    EXPECT_LT(louder, -40.0) << cabinet << " " << groupRates[group] << " " << f;
            }
        }
    }
}
