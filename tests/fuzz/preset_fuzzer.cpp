// Feeds arbitrary bytes to the preset reader, as a file and as a text. The
// effect must never crash, and a refused input must change no parameter.
#include "source/effect.h"
#include "source/import_export.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

Effect& effect() {
    static Effect* instance = new Effect(nullptr);
    return *instance;
}

const std::string& scratchPath() {
    static const std::string path = "/tmp/tarvex-preset-fuzz-" + std::to_string(getpid()) + ".xml";
    return path;
}

std::vector<float> values() {
    std::vector<float> v(kNumParams);
    for (int i = 0; i < kNumParams; ++i)
        v[i] = effect().getParameter(i);
    return v;
}

bool sameValues(const std::vector<float>& a, const std::vector<float>& b) {
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// An input with no TarvexPreset start tag can never be applied.
bool canApply(const uint8_t* data, size_t size) {
    static const char tag[] = "<TarvexPreset";
    return size >= sizeof tag - 1 &&
           std::search(data, data + size, tag, tag + sizeof tag - 1) != data + size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<float> before = values();

    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    importPreset(scratchPath().c_str(), &effect());
    if (!canApply(data, size) && !sameValues(before, values())) std::abort();

    const std::string text(reinterpret_cast<const char*>(data), size);
    SetXMLPreset(text.c_str(), &effect());

    // Values read from a preset are finite numbers.
    for (float v : values())
        if (!std::isfinite(v)) std::abort();
    return 0;
}
