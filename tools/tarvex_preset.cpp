#include "tools/tarvex_preset.h"

#include "source/preset_file.h"
#include "source/preset_keys.h"
#include "tools/vst_host.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace {

// The keys in parameter-index order, from the plug-in's own file-order table.
std::array<const char*, Param::count> keysByIndex() {
    std::array<const char*, Param::count> keys{};
    for (const PresetKey& k : presetKeys)
        keys[static_cast<size_t>(k.index)] = k.key;
    return keys;
}

} // namespace

const std::array<const char*, Param::count> kPresetKeys = keysByIndex();

namespace {

constexpr float kMissingValue = 0.5f;

// The whole text must be one number a float can hold, blanks after it allowed
// (strtod skips those before it).
bool parseNumber(const char* text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    if (end == text || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')
        ++end;
    return *end == '\0' && std::fabs(value) <= FLT_MAX;
}

} // namespace

PresetValues parsePreset(const std::string& text) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    if (!parsed)
        throw VstHostError(std::string("malformed preset: ") + parsed.description() +
                           " at offset " + std::to_string(parsed.offset));
    const pugi::xml_node root = document.document_element();
    if (std::string(root.name()) != "TarvexPreset")
        throw VstHostError(std::string("not a preset: the root element is <") + root.name() +
                           ">, expected <TarvexPreset>");
    PresetValues values;
    for (int i = 0; i < Param::count; ++i) {
        const pugi::xml_attribute attribute = root.attribute(kPresetKeys[static_cast<size_t>(i)]);
        if (!attribute) {
            values[static_cast<size_t>(i)] = kMissingValue;
            continue;
        }
        double value = 0.0;
        if (!parseNumber(attribute.value(), value))
            throw VstHostError(std::string("malformed preset: ") + attribute.name() + "=\"" +
                               attribute.value() + "\" is not a number");
        values[static_cast<size_t>(i)] = static_cast<float>(value);
    }
    return values;
}

PresetValues readPresetFile(const std::string& path) {
    // The plug-in's own bounded reader: a FIFO or a huge file is refused at
    // once instead of blocking or filling memory.
    std::string text;
    const PresetFileResult result = readPresetText(path.c_str(), text);
    if (result != PresetFileResult::read)
        throw VstHostError("cannot read preset file " + path + ": it " + presetFileProblem(result));
    return parsePreset(text);
}

int applyPreset(VstHost& host, const PresetValues& values) {
    const int count = std::min<int>(Param::count, host.effect()->numParams);
    for (int i = 0; i < count; ++i)
        host.setParameter(i, values[static_cast<size_t>(i)]);
    return count;
}
