// Reading elements out of WordprocessingML text by name, for the steps that
// need a part's structure rather than its text (list definitions, fields of
// story parts). Names are given without prefix; the text is read as it is.
#pragma once

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace tavin {

struct Element {
    std::string_view tag;      // the start tag, "<" through ">"
    std::string_view content;  // between the start and the end tag; empty for an empty-element tag
    std::size_t begin = 0, end = 0;  // offsets of the whole element in the text searched
};

// The elements of that name in order, each through the first end tag of its
// name (elements of one name are taken not to nest).
std::vector<Element> elements(std::string_view text, std::string_view name);

// The first start or empty-element tag of that name; empty when none.
std::string_view childTag(std::string_view text, std::string_view name);
bool hasChild(std::string_view text, std::string_view name);
// The val attribute of the first element of that name.
std::string_view childValue(std::string_view text, std::string_view name);

// The first tag of each name in a short text (a paragraph's or run's
// properties), from one pass over it: what childTag finds for every name,
// without a search of the text per name.
class FirstTags {
public:
    explicit FirstTags(std::string_view text);
    std::string_view tag(std::string_view name) const;
    // The val attribute of the tag; an on/off toggle, none when absent.
    std::string_view value(std::string_view name) const;
    std::optional<bool> toggle(std::string_view name) const;

private:
    std::vector<std::pair<std::string_view, std::string_view>> tags_;  // name, tag
};

// On/off values as the file format defines them: "1", "true" and "on" are
// on, "0", "false" and "off" off. isOn reads a toggle element's val, where
// an absent value means on (<w:b/>); isTrue an attribute whose absence
// means off (customMarkFollows).
bool isOn(std::string_view value);
bool isTrue(std::string_view value);

// A decimal attribute value, or fallback when it is not one (these values
// only steer optional markup, so a bad one never stops a conversion).
int intValue(std::string_view value, int fallback);

}  // namespace tavin
