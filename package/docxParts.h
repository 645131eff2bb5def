// Where a package keeps the parts a conversion reads: the main document
// part named by the package relationships, and the relationships, styles
// and numbering parts that belong to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavin {

// Part names relative to the package root, without a leading "/".
struct DocumentParts {
    std::string document;       // "word/document.xml" unless _rels/.rels names another
    std::string folder;         // the document part's folder with a trailing "/" ("word/"), or ""
    std::string relationships;  // folder + "_rels/" + document's file name + ".rels"
    std::string styles;         // the target of the styles relationship, else "word/styles.xml"
    std::string numbering;      // the target of the numbering relationship, else "word/numbering.xml"
    std::string theme;          // the target of the theme relationship, else "word/theme/theme1.xml"
    std::string fontTable;      // the target of the fontTable relationship, else "word/fontTable.xml"
};

// The value of attribute name in one tag (name preceded by a blank, its
// value in double or single quotes); nullopt when absent.
std::optional<std::string_view> findTagAttribute(std::string_view tag, std::string_view name);
// The same, empty when absent.
std::string_view tagAttribute(std::string_view tag, std::string_view name);

// The Relationship tags of a relationships text, in order: each from
// "<Relationship" through the next ">".
class RelationshipTags {
public:
    explicit RelationshipTags(std::string_view rels) : rels_(rels) {}
    // The next tag, or an empty view when there is none left.
    std::string_view next();

private:
    std::string_view rels_;
    std::size_t pos_ = 0;
};

// The Target of the first Relationship element (any attribute order) whose
// Type ends with "/" + typeName; empty when there is none. External targets
// do not count.
std::string relationshipTargetByType(std::string_view rels, std::string_view typeName);

// The attributes of the first Relationship element whose Id equals id,
// wherever Id stands among its attributes: the Target value, or empty.
std::string relationshipTargetById(std::string_view rels, std::string_view id);

// A relationship target resolved against the folder of its source part
// ("" for the package root, else ending in "/"): "/" at the start names the
// package root, "." and ".." steps are applied. Empty when the name would
// leave the package or names no file.
std::string resolvePartName(std::string_view sourceFolder, std::string_view target);

// The document part named by the package relationships text (the content
// of _rels/.rels), or "word/document.xml".
std::string documentPartName(std::string_view packageRels);

// A part's text as UTF-8: a part stored as UTF-16 (byte-order mark FF FE or
// FE FF) is converted, and the encoding its XML declaration names then reads
// "UTF-8". Unpaired surrogates become U+FFFD. Other texts are returned as
// they are.
std::string partTextAsUtf8(std::string text);

// The part of a package folder, read as readFileInFolder reads (no link
// followed: a part that is a link is missing), converted by partTextAsUtf8.
std::string readPart(const std::string& packageFolder, std::string_view part);

// The relationships part of a part: "_rels/" + its file name + ".rels" in
// its folder ("word/_rels/footnotes.xml.rels" for "word/footnotes.xml").
std::string relationshipsPartName(std::string_view partName);

// A relationship of a part to one of the stories shown beside its body.
struct StoryRelationship {
    std::string id;
    std::string type;  // the last segment of the type: "footnotes", "header", ...
    std::string part;  // the target resolved against the source folder
};

// The internal relationships whose type ends in "/footnotes", "/endnotes",
// "/comments", "/header", "/footer" or "/settings", in order, with their
// targets resolved against sourceFolder; targets that leave the package are
// left out.
std::vector<StoryRelationship> storyRelationships(std::string_view rels, std::string_view sourceFolder);

// All part names, given the package relationships text and the document
// part's relationships text.
DocumentParts documentParts(std::string_view packageRels, std::string_view documentRels);

// The part names of an extracted package folder (ending in "/"), read from
// its relationship parts; a missing part reads as no relationships.
DocumentParts findDocumentParts(const std::string& packageFolder);

}  // namespace tavin
