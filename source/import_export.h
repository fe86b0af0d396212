// Preset files: the parameter values of the effect as one XML element,
//
//   <?xml version="1.0" ?>
//   <TarvexPreset mode="0" invertB_enable="0" ... master_volume="0.661017"></TarvexPreset>
//
// with the attributes in a fixed file order and values printed with "%g".
// Reading goes by attribute name: order does not matter, unknown attributes
// are ignored and a missing one counts as 0.5. The factory programs are
// preset texts in the same format and go through the same loader.
#pragma once

#include "source/preset_keys.h"

#include <pugixml.hpp>

#include <string>

class Effect;

// Writes the effect's current values as a preset file through
// writePresetText; answers whether it was written. A path that cannot be
// written is left as it was, without a message.
bool exportPreset(const char* path, Effect* effect);
// Reads a preset file and applies it; see LoadXMLPreset for what is applied.
void importPreset(const char* path, Effect* effect);
// Applies a preset given as text; a text longer than 2047 characters is cut
// there before parsing.
void SetXMLPreset(const char* text, Effect* effect);
// Applies a parsed TarvexPreset element through the effect's setParameter, in
// file order. Anything else (no element, another name) prints the
// invalid-XML message on standard error and changes nothing.
void LoadXMLPreset(pugi::xml_node root, Effect* effect);
// The value of one attribute; 0.5 when it is missing or is not a number that
// a float can hold.
double GetXMLParameter(pugi::xml_node element, const char* key);
// Adds one attribute with the value printed by "%g"; returns the element.
pugi::xml_node SetXMLParameter(pugi::xml_node element, const char* key, double value);

// The preset file text for the given values, one per parameter in index order.
std::string presetText(const float* values, bool lineFeedAfterDeclaration = true);
