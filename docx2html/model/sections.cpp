// The sections of the document part as the model reads them (sections.h).
#include "docx2html/model/sections.h"

#include <string>

#include "core/uStr.h"

namespace tavin::model {

namespace {

constexpr std::string_view kPart = "word/document.xml";

// A measure attribute of element: unset when absent, and when unreadable
// (with the reason in the report).
std::optional<long> measure(pugi::xml_node element, const char* name, Report& report) {
    const pugi::xml_attribute a = element.attribute(name);
    if (!a) return std::nullopt;
    const std::optional<long> n = number(a.value());
    if (!n) report.skip(kPart, std::string(element.name()) + " " + name, "not a whole number: \"" + std::string(a.value()) + "\"");
    return n;
}

std::vector<SectionStory> stories(pugi::xml_node sectPr, const char* name) {
    std::vector<SectionStory> out;
    for (pugi::xml_node r = sectPr.child(name); r; r = r.next_sibling(name)) {
        const pugi::xml_attribute type = r.attribute("w:type");
        out.push_back({type ? type.value() : "default", r.attribute("r:id").value()});
    }
    return out;
}

// An on/off attribute ("1", "true", "on" or "0", "false", "off").
bool onAttribute(pugi::xml_attribute a) {
    const std::string_view v = a.value();
    return v == "1" || v == "true" || v == "on";
}

// Columns of their own widths (w:equalWidth="0") are counted by their w:col
// elements, the gap the first one's; the others by w:num and w:space.
void readColumns(pugi::xml_node cols, Section& s, Report& report) {
    s.columns = measure(cols, "w:num", report);
    s.columnSpace = measure(cols, "w:space", report);
    s.columnLine = onAttribute(cols.attribute("w:sep"));
    const pugi::xml_attribute equal = cols.attribute("w:equalWidth");
    const pugi::xml_node first = cols.child("w:col");
    if (!equal || onAttribute(equal) || !first) return;
    long count = 0;
    for (pugi::xml_node c = first; c; c = c.next_sibling("w:col")) ++count;
    s.columns = count;
    if (const std::optional<long> gap = measure(first, "w:space", report)) s.columnSpace = gap;
}

void readPage(pugi::xml_node sectPr, Section& s, Report& report) {
    const pugi::xml_node size = sectPr.child("w:pgSz");
    s.pageWidth = measure(size, "w:w", report);
    s.pageHeight = measure(size, "w:h", report);
    s.landscape = std::string_view(size.attribute("w:orient").value()) == "landscape";
    const pugi::xml_node m = sectPr.child("w:pgMar");
    s.margins = {measure(m, "w:top", report),    measure(m, "w:right", report),  measure(m, "w:bottom", report),
                 measure(m, "w:left", report),   measure(m, "w:header", report), measure(m, "w:footer", report),
                 measure(m, "w:gutter", report)};
    readColumns(sectPr.child("w:cols"), s, report);
}

// The next whole "<w:sectPr" tag at or after from.
std::size_t nextSection(std::string_view t, std::size_t from) {
    static constexpr std::string_view kOpen = "<w:sectPr";
    for (std::size_t p = findText(t, kOpen, from); p != std::string_view::npos; p = findText(t, kOpen, p + 1)) {
        const char c = p + kOpen.size() < t.size() ? t[p + kOpen.size()] : '\0';
        if (c == ' ' || c == '>' || c == '/' || c == '\t' || c == '\r' || c == '\n') return p;
    }
    return std::string_view::npos;
}

// Where the section element at p ends: after its end tag, or after its
// empty-element tag.
std::size_t sectionEnd(std::string_view t, std::size_t p) {
    const std::size_t gt = t.find('>', p);
    if (gt == std::string_view::npos) return t.size();
    if (t[gt - 1] == '/') return gt + 1;
    static constexpr std::string_view kClose = "</w:sectPr>";
    const std::size_t close = t.find(kClose, gt);
    return close == std::string_view::npos ? t.size() : close + kClose.size();
}

}  // namespace

std::string Section::firstPageStory(const std::vector<SectionStory>& stories, bool titlePage) {
    const std::string_view wanted = titlePage ? "first" : "default";
    for (const SectionStory& s : stories)
        if (s.type == wanted) return s.id;
    return {};
}

Section readSection(pugi::xml_node sectPr, Report& report) {
    Section s;
    readPage(sectPr, s, report);
    s.start = sectPr.child("w:type").attribute("w:val").value();
    s.titlePage = toggle(sectPr.child("w:titlePg")).value_or(false);
    const pugi::xml_node numbers = sectPr.child("w:pgNumType");
    if (const std::optional<long> start = number(numbers.attribute("w:start").value()); start && *start >= 0 && *start < 100000)
        s.pageNumberStart = start;
    s.pageNumberFormat = numbers.attribute("w:fmt").value();
    s.headers = stories(sectPr, "w:headerReference");
    s.footers = stories(sectPr, "w:footerReference");
    s.footnotes = readNoteNumbering(sectPr.child("w:footnotePr"));
    s.endnotes = readNoteNumbering(sectPr.child("w:endnotePr"));
    return s;
}

std::vector<Section> readSections(std::string_view document, Report& report, std::uint64_t& work) {
    std::vector<Section> out;
    work += document.size();
    for (std::size_t p = nextSection(document, 0); p != std::string_view::npos;) {
        const std::size_t end = sectionEnd(document, p);
        // The section's prefixes are the document's: read as written.
        std::string text(document.substr(p, end - p));
        std::erase(text, '\x1F');
        pugi::xml_document fragment;
        fragment.load_buffer_inplace(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
        out.push_back(readSection(fragment.first_child(), report));
        p = nextSection(document, end);
    }
    return out;
}

std::string readBackground(std::string_view document) {
    static constexpr std::string_view kOpen = "<w:background";
    const std::size_t body = document.find("<w:body");
    const std::size_t p = document.substr(0, body).find(kOpen);
    if (p == std::string_view::npos) return {};
    const std::size_t gt = document.find('>', p);
    if (gt == std::string_view::npos) return {};
    // The start tag alone, as an element of its own.
    std::string tag(document.substr(p, gt - p));
    if (!tag.empty() && tag.back() == '/') tag.pop_back();
    tag += "/>";
    pugi::xml_document fragment;
    if (!fragment.load_buffer_inplace(tag.data(), tag.size(), pugi::parse_default, pugi::encoding_utf8)) return {};
    const std::string_view colour = fragment.first_child().attribute("w:color").value();
    const bool hex = colour.size() == 6 && colour.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
    return hex ? "#" + std::string(colour) : std::string();
}

}  // namespace tavin::model
