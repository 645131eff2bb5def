// The story parts as the model reads them (stories.h).
#include "docx2html/model/stories.h"

#include <vector>

namespace tavin::model {

namespace {

// Parsed as stored: no references decoded, no blanks or line ends changed,
// comments and processing instructions kept, so that what is written back
// is what the part holds.
constexpr unsigned kStoredOptions =
    pugi::parse_cdata | pugi::parse_comments | pugi::parse_pi | pugi::parse_ws_pcdata | pugi::parse_declaration;
constexpr unsigned kStoredFormat = pugi::format_raw | pugi::format_no_escapes;

struct TextWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
};

// A name of a namespace the model does not know back as the part writes it
// ("?w15:x" was "w15:x", "?:x" was "x").
template <class Named>
void restoreName(Named named) {
    const std::string_view n = named.name();
    if (n.empty() || n.front() != '?') return;
    const std::string written(n.substr(n.size() > 1 && n[1] == ':' ? 2 : 1));
    named.set_name(written.c_str());
}

// Names under the prefixes of their namespaces, but for the namespaces the
// model does not know, which keep the part's own.
void restoreUnknownNames(pugi::xml_node root) {
    std::vector<pugi::xml_node> stack{root};
    while (!stack.empty()) {
        const pugi::xml_node n = stack.back();
        stack.pop_back();
        restoreName(n);
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) restoreName(a);
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element) stack.push_back(c);
    }
}

// What lies inside an element, written back as text.
std::string contentOf(pugi::xml_node element) {
    restoreUnknownNames(element);
    TextWriter w;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) c.print(w, "", kStoredFormat);
    return std::move(w.out);
}

// Whether the tag whose name starts at offset of text is written as an
// empty-element tag ("<w:b/>", not "<w:r></w:r>"): its first ">" outside
// quotes follows a "/".
bool writtenEmpty(std::string_view text, std::size_t offset) {
    char quote = 0;
    for (std::size_t i = offset; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i > 0 && text[i - 1] == '/';
        }
    }
    return true;
}

// An element written with a start and an end tag and nothing between gets
// an empty text, so that it is written back the same way.
void keepEmptyElementForms(pugi::xml_node root, std::string_view text) {
    std::vector<pugi::xml_node> stack{root};
    while (!stack.empty()) {
        pugi::xml_node n = stack.back();
        stack.pop_back();
        if (!n.first_child()) {
            const std::ptrdiff_t at = n.offset_debug();
            if (at >= 0 && !writtenEmpty(text, static_cast<std::size_t>(at))) n.append_child(pugi::node_pcdata);
            continue;
        }
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element) stack.push_back(c);
    }
}

bool parseStored(pugi::xml_document& doc, const std::string& text, std::string_view name, Report& report,
                 bool canonical) {
    // Parsed from a copy, so that the text still says how each element was written.
    const pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size(), kStoredOptions, pugi::encoding_utf8);
    if (!r) report.skip(name, "the rest of the part from byte " + std::to_string(r.offset), r.description());
    keepEmptyElementForms(doc.document_element(), text);
    if (canonical) canonicalizeNames(doc.document_element());
    return static_cast<bool>(doc.document_element());
}

const char* itemName(std::string_view type) {
    if (type == "footnotes") return "w:footnote";
    if (type == "endnotes") return "w:endnote";
    if (type == "comments") return "w:comment";
    return nullptr;
}

StoryItem itemOf(pugi::xml_node e) {
    StoryItem item;
    item.id = e.attribute("w:id").value();
    const pugi::xml_attribute type = e.attribute("w:type");
    item.typed = static_cast<bool>(type);
    item.type = type.value();
    item.author = e.attribute("w:author").value();
    item.initials = e.attribute("w:initials").value();
    item.date = e.attribute("w:date").value();
    item.content = contentOf(e);
    return item;
}

}  // namespace

std::vector<StoryItem> readStoryItems(std::string text, std::string_view type, std::string_view name, Report& report) {
    pugi::xml_document doc;
    std::vector<StoryItem> items;
    if (text.empty() || !parseStored(doc, text, name, report, true)) return items;
    const pugi::xml_node root = doc.document_element();
    if (const char* element = itemName(type)) {
        for (pugi::xml_node e = root.child(element); e; e = e.next_sibling(element)) items.push_back(itemOf(e));
    } else if (std::string_view(root.name()) == (type == "header" ? "w:hdr" : "w:ftr")) {
        StoryItem whole;
        whole.content = contentOf(root);
        items.push_back(std::move(whole));
    }
    return items;
}

std::string rebasedRelationships(std::string text, const std::function<std::string(std::string_view)>& rebase,
                                 Report& report) {
    pugi::xml_document doc;
    // Names as written: the text goes to steps that read it by them.
    if (text.empty() || !parseStored(doc, text, "relationships", report, false)) return {};
    for (pugi::xml_node r = doc.document_element().child("Relationship"); r; r = r.next_sibling("Relationship")) {
        if (std::string_view(r.attribute("TargetMode").value()) == "External") continue;
        pugi::xml_attribute target = r.attribute("Target");
        const std::string rebased = target ? rebase(target.value()) : std::string();
        if (!rebased.empty()) target.set_value(rebased.c_str());
    }
    TextWriter w;
    doc.print(w, "", kStoredFormat);
    return std::move(w.out);
}

}  // namespace tavin::model
