// Headers and footers: for each sheet of the page the ones its section shows
// there (the first-page ones on its first sheet when it has a title page,
// the even ones on even pages when the settings say so, else the default
// ones; a section without one shows the previous section's), converted by
// the body's steps once each and placed in the sheets (finish.cpp); the page
// fields in them (PAGE, NUMPAGES, SECTIONPAGES) become markers the sheets
// fill in. Without page boxes the first page's header and footer go around
// the page. Reads the model's sections, settings and header and footer
// parts.
#include <algorithm>

#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/numbers.h"
#include "docx2html/fidelity/references.h"
#include "docx2html/fidelity/stories.h"
#include "docx2html/fidelity/storyparts.h"
#include "core/uStr.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/markup.h"
#include "docx2html/xmlscan.h"
#include "docx2html/model/model.h"
#include "package/docxInfo.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// The page field an instruction names ("PAGE", "NUMPAGES", "SECTIONPAGES"),
// or "".
std::string_view pageField(std::string_view instruction) {
    const std::size_t from = instruction.find_first_not_of(" \t");
    if (from == std::string_view::npos) return {};
    const std::size_t to = instruction.find_first_of(" \t\\", from);
    const std::string name = lowerCase(instruction.substr(from, to == std::string_view::npos ? to : to - from));
    if (name == "page") return "PAGE";
    if (name == "numpages") return "NUMPAGES";
    if (name == "sectionpages") return "SECTIONPAGES";
    return {};
}

// The text of a field's result as stored (its w:t elements), fit for an
// attribute value.
std::string storedResult(std::string_view result) {
    std::string text;
    for (const Element& t : elements(result, "t")) text += t.content;
    return replaceAll(text, "\"", "&quot;");
}

// The page fields of a story's text as the body's steps read it: a simple
// field's content, or a field's result between its separate and end marks,
// becomes the field's marker.
std::string withFieldMarkers(std::string text) {
    EditList edits;
    for (std::size_t p = findTag(text, "fldSimple", 0); p != std::string::npos; p = findTag(text, "fldSimple", p + 1)) {
        const std::size_t gt = text.find('>', p);
        const std::size_t end = gt == std::string::npos ? gt : text.find("</fldSimple>", gt);
        if (end == std::string::npos) break;
        const std::string_view field = pageField(tagAttribute(std::string_view(text).substr(p, gt - p), "instr"));
        if (!field.empty()) {
            edits.replace(gt + 1, end - gt - 1, marker::field(field, storedResult(std::string_view(text).substr(gt + 1, end - gt - 1))));
        }
        p = end;
    }
    // Complex fields: begin, instruction, separate, result, end.
    for (std::size_t p = text.find("fldCharType=\"begin\""); p != std::string::npos;
         p = text.find("fldCharType=\"begin\"", p + 1)) {
        const std::size_t separate = text.find("fldCharType=\"separate\"", p);
        const std::size_t end = text.find("fldCharType=\"end\"", p);
        if (end == std::string::npos) break;
        if (separate == std::string::npos || separate > end) continue;
        std::string instruction;
        for (const Element& e : elements(std::string_view(text).substr(p, separate - p), "instrText")) instruction += e.content;
        const std::string_view field = pageField(instruction);
        // The result: from the run after the separate mark to the run of the
        // end mark.
        const std::size_t from = text.find("</r>", separate);
        const std::size_t to = text.rfind("<r", end);
        if (field.empty() || from == std::string::npos || to == std::string::npos || to < from + 4) continue;
        edits.replace(from + 4, to - from - 4,
                      marker::field(field, storedResult(std::string_view(text).substr(from + 4, to - from - 4))));
        p = end;
    }
    edits.applyTo(text);
    return text;
}

std::string headerFooter(ConversionContext& ctx, const std::string& id, std::string_view type) {
    if (id.empty() || !ctx.model) return {};
    const model::Story* story = ctx.model->storyById(id);
    if (!story || story->type != type) return {};
    const std::string content = story->items.empty() ? std::string() : story->items.front().content;
    const std::string html = convertStory(ctx, withFieldMarkers(content), story->rels);
    return "<div class=" + std::string(type) + ">" + html + "</div>";
}

// The story of that kind a sheet shows: of the type the sheet needs (first
// page, even page, default), the section's own, else the nearest earlier
// section's; none when no section has one.
std::string storyOfSheet(const std::vector<model::Section>& sections, std::size_t section, bool firstOfSection,
                         bool even, bool evenAndOdd, bool header) {
    section = std::min(section, sections.size() - 1);
    const bool titlePage = sections[section].titlePage;
    const std::string_view wanted = firstOfSection && titlePage ? "first" : even && evenAndOdd ? "even" : "default";
    for (std::size_t k = section + 1; k-- > 0;) {
        for (const model::SectionStory& story : header ? sections[k].headers : sections[k].footers)
            if (story.type == wanted) return story.id;
    }
    return {};
}

}  // namespace

void chooseHeaderAndFooter(ConversionContext& ctx, const model::Section& first) {
    ctx.headerId = model::Section::firstPageStory(first.headers, first.titlePage);
    ctx.footerId = model::Section::firstPageStory(first.footers, first.titlePage);
}

void convertHeaderAndFooter(ConversionContext& ctx) {
    ctx.sheetStories.clear();
    if (!ctx.showPageMargin || !ctx.model) {
        ctx.headerHtml = headerFooter(ctx, ctx.headerId, "header");
        ctx.footerHtml = headerFooter(ctx, ctx.footerId, "footer");
        return;
    }
    // With page boxes every sheet shows its own: each converted once; the
    // first sheet's header goes around the page, the sheets place the rest,
    // the last sheet's footer too.
    for (const model::Section& s : ctx.model->sections) {
        for (const auto* stories : {&s.headers, &s.footers}) {
            for (const model::SectionStory& story : *stories) {
                if (ctx.sheetStories.count(story.id) != 0) continue;
                const model::Story* known = ctx.model->storyById(story.id);
                if (known) ctx.sheetStories[story.id] = headerFooter(ctx, story.id, known->type);
            }
        }
    }
    // The first sheet's header as every other sheet's: an even first page
    // number (a section starting at 2) shows the even one where the
    // settings ask.
    const std::vector<model::Section>& sections = ctx.model->sections;
    if (!sections.empty()) {
        const bool even = sections.front().pageNumberStart.value_or(1) % 2 == 0;
        ctx.headerId = storyOfSheet(sections, 0, true, even, ctx.model->settings.evenAndOddHeaders, true);
    }
    const model::Story* header = ctx.headerId.empty() ? nullptr : ctx.model->storyById(ctx.headerId);
    const auto first = ctx.sheetStories.find(ctx.headerId);
    ctx.headerHtml = header && header->type == "header" && first != ctx.sheetStories.end() ? first->second : std::string();
    ctx.footerHtml.clear();
}

std::string sheetHeaderOrFooter(const ConversionContext& ctx, const SheetPlace& place, bool header) {
    if (!ctx.model || ctx.model->sections.empty()) return {};
    const std::string id = storyOfSheet(ctx.model->sections, place.section, place.firstOfSection, place.number % 2 == 0,
                                        ctx.model->settings.evenAndOddHeaders, header);
    const auto html = ctx.sheetStories.find(id);
    return html == ctx.sheetStories.end() ? std::string() : html->second;
}

namespace {

std::string fieldValue(std::string_view field, std::string_view shown, const SheetPlace& place) {
    // Sheets are pages only when the document stored as many pages (or none).
    const bool counted = place.storedPages <= 0 || place.storedPages == place.sheets;
    if (field == "NUMPAGES" && place.storedPages > 0) return std::to_string(place.storedPages);
    if (!counted) return std::string(shown);
    if (field == "PAGE") return place.format.empty() ? std::to_string(place.number) : formatNumber(place.number, place.format);
    if (field == "NUMPAGES") return std::to_string(place.sheets);
    if (field == "SECTIONPAGES") return std::to_string(place.sectionSheets);
    return {};
}

}  // namespace

std::string pageFieldValue(std::string_view field, std::string_view shown, const SheetPlace& place) {
    const std::string value = fieldValue(field, shown, place);
    for (std::string_view known : {"PAGE", "NUMPAGES", "SECTIONPAGES"}) {
        if (field != known) continue;
        std::string name(field);
        for (char& c : name) c = static_cast<char>(c - 'A' + 'a');
        // A page number in a format of its own says so, for the print layout.
        const std::string format = field == "PAGE" && !place.format.empty() && place.format != "decimal" ?
                                       " tvformat-" + anchorId(place.format) : std::string();
        return "<span class=\"tvfield tv" + name + format + "\">" + value + "</span>";
    }
    return value;
}

int storedPageCount(const ConversionContext& ctx) {
    if (ctx.workFolder.empty()) return 0;
    return std::max(intValue(readMoreProperties(ctx.workFolder).pages, 0), 0);
}

}  // namespace tavin
