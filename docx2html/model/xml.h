// One way to read a package part: a real XML parser (pugixml) over the
// part's text, parsed in place, with every name put under the prefix its
// namespace is known by.
//
// Readers match elements and attributes by qualified name ("w:p",
// "w:val"), but the names they match are namespace names: a document that
// writes "ns0:p" with ns0 bound to WordprocessingML's namespace is read as
// one that writes "w:p", the strict schema's namespaces read as the
// transitional ones, and a "w:" bound to some other namespace matches
// nothing. Names of namespaces we do not know keep their prefix.
#pragma once

#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tavin::model {

// What a reading of a document could not use, so that a step skipped for
// a bad value can say why. Tests read it; the page never depends on it.
struct Report {
    std::vector<std::string> skipped;  // "part: what (why)"
    void skip(std::string_view part, std::string_view what, std::string_view why);
};

// A parsed part. The part's text is the parser's buffer and lives as long
// as the part; a part that is not well-formed keeps what was read before
// the fault (and says so in the report it was parsed with). An empty or
// missing part has an empty document.
class XmlPart {
public:
    XmlPart() = default;
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    // name is the part's name for the report ("word/styles.xml").
    void parse(std::string name, std::string text, Report& report);

    const pugi::xml_document& document() const { return doc_; }
    // The root element (w:document, w:styles, a:theme, Relationships ...).
    pugi::xml_node root() const { return doc_.document_element(); }
    const std::string& name() const { return name_; }
    bool complete() const { return complete_; }
    // The bytes the parser read, for the conversion's work count.
    std::size_t size() const { return size_; }

private:
    std::string name_;
    std::string text_;
    pugi::xml_document doc_;
    bool complete_ = true;
    std::size_t size_ = 0;
};

// Puts every element and attribute name of the tree under the prefix of its
// namespace (see above). parse does it; exposed for tests. rootOnly: no
// element but the root declares a namespace (the part's text says so), so
// that when the root's declarations bind our own prefixes nothing is walked.
void canonicalizeNames(pugi::xml_node root, bool rootOnly = false);

// Reading values the file format's way.
//
// The w:val attribute of the child element name of node ("" when either is
// absent).
std::string_view childVal(pugi::xml_node node, const char* name);
// An on/off property element: unset when absent, on when present without a
// value (<w:b/>, w:val="") or with "1", "true", "on"; off with any other value
// ("0", "false", "off").
std::optional<bool> toggle(pugi::xml_node property);
// A whole decimal number (a measure in twips, half-points, eighths...);
// nothing when the text is not one, so a step can skip the measure.
std::optional<long> number(std::string_view text);

}  // namespace tavin::model
