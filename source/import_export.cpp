#include "source/import_export.h"

#include "source/effect.h"
#include "source/preset_file.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr const char* kRootName = "TarvexPreset";
constexpr const char* kDeclaration = "<?xml version=\"1.0\" ?>";
constexpr const char* kInvalidMessage =
    "Quorvalinde Tarvex:: Invalid XML. Should be a <TarvexPreset> object.\n";
constexpr size_t kLongestText = 2047;

// The element as text: start tag with its attributes, then the end tag.
std::string elementText(pugi::xml_node element) {
    std::string text = "<";
    text += element.name();
    for (pugi::xml_attribute a : element.attributes()) {
        text += ' ';
        text += a.name();
        text += "=\"";
        text += a.value();
        text += '"';
    }
    text += "></";
    text += element.name();
    text += '>';
    return text;
}

void applyDocument(const char* data, size_t size, Effect* effect) {
    pugi::xml_document document;
    // A file the parser cannot read to its end is not applied in part.
    const pugi::xml_parse_result parsed = document.load_buffer(data, size);
    if (!parsed) {
        std::fputs(kInvalidMessage, stderr);
        return;
    }
    LoadXMLPreset(document.document_element(), effect);
}

} // namespace

pugi::xml_node SetXMLParameter(pugi::xml_node element, const char* key, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    element.append_attribute(key).set_value(text);
    return element;
}

double GetXMLParameter(pugi::xml_node element, const char* key) {
    const pugi::xml_attribute attribute = element.attribute(key);
    if (!attribute) return 0.5;
    double value = 0.0;
    // A text that is not a number a float can hold counts as missing.
    if (std::sscanf(attribute.value(), "%lg", &value) != 1 || !(std::abs(value) <= FLT_MAX))
        return 0.5;
    return value;
}

void LoadXMLPreset(pugi::xml_node root, Effect* effect) {
    if (!root || std::strcmp(root.name(), kRootName) != 0) {
        std::fputs(kInvalidMessage, stderr);
        return;
    }
    // Gathered first so that a program change on another thread cannot land
    // between the values of one preset.
    float values[Param::count];
    for (int k = 0; k < Param::count; ++k)
        values[k] = static_cast<float>(GetXMLParameter(root, presetKeys[k].key));
    const std::lock_guard lock(effect->programMutex);
    for (int k = 0; k < Param::count; ++k)
        effect->setParameter(presetKeys[k].index, values[k]);
}

std::string presetText(const float* values, bool lineFeedAfterDeclaration) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child(kRootName);
    for (const PresetKey& k : presetKeys)
        SetXMLParameter(root, k.key, values[k.index]);
    std::string text = kDeclaration;
    if (lineFeedAfterDeclaration) text += '\n';
    text += elementText(root);
    return text;
}

bool exportPreset(const char* path, Effect* effect) {
    if (path == nullptr || effect == nullptr) return false;
    float values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = effect->getParameter(i);
    return writePresetText(path, presetText(values) + '\n');
}

void importPreset(const char* path, Effect* effect) {
    if (path == nullptr || effect == nullptr) return;
    std::string text;
    const PresetFileResult result = readPresetText(path, text);
    if (result == PresetFileResult::cannotOpen) return;
    // A FIFO, a device, a directory or a file far too large is not a preset.
    if (result != PresetFileResult::read) {
        std::fputs(kInvalidMessage, stderr);
        return;
    }
    applyDocument(text.data(), text.size(), effect);
}

void SetXMLPreset(const char* text, Effect* effect) {
    if (text == nullptr || effect == nullptr) return;
    const size_t length = strnlen(text, kLongestText);
    applyDocument(text, length, effect);
}
