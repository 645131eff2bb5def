#include "package/docxParts.h"

#include <cstdint>
#include <vector>

#include "core/fileio.h"
#include "core/uStr.h"

namespace tavin {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace

std::optional<std::string_view> findTagAttribute(std::string_view tag, std::string_view name) {
    std::size_t p = tag.find(name);
    while (p != std::string_view::npos) {
        std::size_t q = p + name.size();
        if (p > 0 && isBlank(tag[p - 1]) && q + 1 < tag.size() && tag[q] == '=' &&
            (tag[q + 1] == '"' || tag[q + 1] == '\'')) {
            const char quote = tag[q + 1];
            const std::size_t end = tag.find(quote, q + 2);
            if (end == std::string_view::npos) return std::nullopt;
            return tag.substr(q + 2, end - q - 2);
        }
        p = tag.find(name, p + 1);
    }
    return std::nullopt;
}

std::string_view tagAttribute(std::string_view tag, std::string_view name) {
    return findTagAttribute(tag, name).value_or(std::string_view());
}

std::string_view RelationshipTags::next() {
    static constexpr std::string_view kStart = "<Relationship";
    while (pos_ < rels_.size()) {
        const std::size_t p = rels_.find(kStart, pos_);
        if (p == std::string_view::npos) break;
        const std::size_t after = p + kStart.size();
        const std::size_t gt = rels_.find('>', after);
        if (gt == std::string_view::npos) break;
        pos_ = gt + 1;
        // "<Relationships" and other longer names are not relationships.
        if (after < rels_.size() && (isBlank(rels_[after]) || rels_[after] == '/' || rels_[after] == '>'))
            return rels_.substr(p, gt + 1 - p);
    }
    pos_ = rels_.size();
    return {};
}

std::string relationshipTargetByType(std::string_view rels, std::string_view typeName) {
    const std::string suffix = "/" + std::string(typeName);
    RelationshipTags tags(rels);
    for (std::string_view tag = tags.next(); !tag.empty(); tag = tags.next()) {
        if (!endsWith(tagAttribute(tag, "Type"), suffix)) continue;
        if (tagAttribute(tag, "TargetMode") == "External") continue;
        return std::string(tagAttribute(tag, "Target"));
    }
    return {};
}

std::string relationshipTargetById(std::string_view rels, std::string_view id) {
    RelationshipTags tags(rels);
    // A tag without an Id has no Id equal to the empty one.
    for (std::string_view tag = tags.next(); !tag.empty(); tag = tags.next())
        if (findTagAttribute(tag, "Id") == id) return textBetween(tag, "Target=\"", "\"");
    return {};
}

std::string resolvePartName(std::string_view sourceFolder, std::string_view target) {
    if (target.empty()) return {};
    std::string path;
    if (target.front() == '/') {
        path = std::string(target.substr(1));
    } else {
        path = std::string(sourceFolder) + std::string(target);
    }
    std::vector<std::string> parts;
    for (const std::string& piece : splitText(path, "/")) {
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (parts.empty()) return {};
            parts.pop_back();
            continue;
        }
        parts.push_back(piece);
    }
    if (parts.empty() || path.back() == '/') return {};
    return joinList(parts, "/");
}

std::string documentPartName(std::string_view packageRels) {
    std::string name = resolvePartName("", relationshipTargetByType(packageRels, "officeDocument"));
    return name.empty() ? std::string("word/document.xml") : name;
}

DocumentParts documentParts(std::string_view packageRels, std::string_view documentRels) {
    DocumentParts parts;
    parts.document = documentPartName(packageRels);
    const std::size_t slash = parts.document.rfind('/');
    parts.folder = slash == std::string::npos ? std::string() : parts.document.substr(0, slash + 1);
    parts.relationships = parts.folder + "_rels/" + parts.document.substr(parts.folder.size()) + ".rels";
    parts.styles = resolvePartName(parts.folder, relationshipTargetByType(documentRels, "styles"));
    if (parts.styles.empty()) parts.styles = "word/styles.xml";
    parts.numbering = resolvePartName(parts.folder, relationshipTargetByType(documentRels, "numbering"));
    if (parts.numbering.empty()) parts.numbering = "word/numbering.xml";
    parts.theme = resolvePartName(parts.folder, relationshipTargetByType(documentRels, "theme"));
    if (parts.theme.empty()) parts.theme = "word/theme/theme1.xml";
    parts.fontTable = resolvePartName(parts.folder, relationshipTargetByType(documentRels, "fontTable"));
    if (parts.fontTable.empty()) parts.fontTable = "word/fontTable.xml";
    return parts;
}

std::string relationshipsPartName(std::string_view partName) {
    const std::size_t slash = partName.rfind('/');
    const std::size_t file = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(partName.substr(0, file)) + "_rels/" + std::string(partName.substr(file)) + ".rels";
}

std::vector<StoryRelationship> storyRelationships(std::string_view rels, std::string_view sourceFolder) {
    static constexpr std::string_view kTypes[] = {"footnotes", "endnotes", "comments", "header", "footer", "settings"};
    std::vector<StoryRelationship> found;
    RelationshipTags tags(rels);
    for (std::string_view tag = tags.next(); !tag.empty(); tag = tags.next()) {
        if (tagAttribute(tag, "TargetMode") == "External") continue;
        const std::string_view type = tagAttribute(tag, "Type");
        for (std::string_view name : kTypes) {
            if (!endsWith(type, "/" + std::string(name))) continue;
            std::string part = resolvePartName(sourceFolder, tagAttribute(tag, "Target"));
            if (!part.empty()) found.push_back({std::string(tagAttribute(tag, "Id")), std::string(name), std::move(part)});
            break;
        }
    }
    return found;
}

namespace {

// The declaration's encoding attribute, whatever it names, reads UTF-8.
void declareUtf8(std::string& text) {
    if (text.compare(0, 5, "<?xml") != 0) return;
    const std::size_t end = text.find("?>");
    const std::size_t at = text.find("encoding=", 0);
    if (end == std::string::npos || at == std::string::npos || at > end || at + 9 >= end) return;
    const char quote = text[at + 9];
    if (quote != '"' && quote != '\'') return;
    const std::size_t close = text.find(quote, at + 10);
    if (close == std::string::npos || close > end) return;
    text.replace(at + 10, close - at - 10, "UTF-8");
}

}  // namespace

std::string partTextAsUtf8(std::string text) {
    if (text.size() < 2) return text;
    const auto b0 = static_cast<unsigned char>(text[0]);
    const auto b1 = static_cast<unsigned char>(text[1]);
    const bool little = b0 == 0xFF && b1 == 0xFE;
    if (!little && !(b0 == 0xFE && b1 == 0xFF)) return text;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto lo = static_cast<unsigned char>(text[little ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(text[little ? i + 1 : i]);
        return static_cast<std::uint32_t>(hi) << 8 | lo;
    };
    std::string out;
    reserveText(out, text.size());
    const std::size_t n = text.size() & ~static_cast<std::size_t>(1);
    for (std::size_t i = 2; i < n; i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 2 < n && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    if (text.size() != n) appendUtf8(out, 0xFFFD);  // an odd last byte
    declareUtf8(out);
    return out;
}

std::string readPart(const std::string& packageFolder, std::string_view part) {
    return partTextAsUtf8(readFileInFolder(packageFolder, part));
}

DocumentParts findDocumentParts(const std::string& packageFolder) {
    const std::string packageRels = readPart(packageFolder, "_rels/.rels");
    DocumentParts parts = documentParts(packageRels, "");
    return documentParts(packageRels, readPart(packageFolder, parts.relationships));
}

}  // namespace tavin
