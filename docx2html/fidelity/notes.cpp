// Notes and comments: each footnote, endnote and comment reference of the
// body becomes a link to its note or comment (running numbers in the
// section's or the settings' format, a custom mark, or "[initials and
// number]"), and the notes section after the body shows them in the order
// of their references, each linking back. Reads the model's footnotes,
// endnotes and comments parts, the settings and the first section.
#include <unordered_map>
#include <vector>

#include "core/html.h"
#include "docx2html/fidelity/lists.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/numbers.h"
#include "docx2html/fidelity/references.h"
#include "docx2html/fidelity/stories.h"
#include "docx2html/fidelity/storyparts.h"
#include "docx2html/model/model.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

using ItemsById = std::unordered_map<std::string, const model::StoryItem*>;

// The items of a story by their ids as anchorId gives them (the first of an
// id wins); none when there is no story.
ItemsById itemsById(const model::Story* story) {
    ItemsById found;
    if (story)
        for (const model::StoryItem& item : story->items) found.emplace(anchorId(item.id), &item);
    return found;
}

// A first note number as written: up to six digits, else 1.
int firstNumber(const std::string& s) {
    if (s.size() >= 7 || s.find_first_not_of("0123456789") != std::string::npos) return 1;
    int n = 0;
    for (char c : s) n = n * 10 + (c - '0');
    return n;
}

// The number format and first number of one kind of note: the first
// section's, else the settings', else the fallback format and 1.
std::pair<std::string, int> noteFormat(const model::NoteNumbering& section, const model::NoteNumbering& settings,
                                       std::string_view fallback) {
    const std::optional<std::string>& format = section.format ? section.format : settings.format;
    const std::optional<std::string>& start = section.start ? section.start : settings.start;
    return {format ? *format : std::string(fallback), start ? firstNumber(*start) : 1};
}

// One kind of note: its element names and anchor prefix.
struct NoteKind {
    std::string_view type;       // the story type: "footnotes"
    std::string_view reference;  // in the body: "footnoteReference"
    std::string_view ownMark;    // in the note: "footnoteRef"
    std::string prefix;          // of anchor names: "fn"
    std::string_view fallbackFormat;
};

const NoteKind kFootnotes{"footnotes", "footnoteReference", "footnoteRef", "fn", "decimal"};
const NoteKind kEndnotes{"endnotes", "endnoteReference", "endnoteRef", "en", "lowerRoman"};

// Numbers the references of one kind of note in the body and links them.
void markKind(ConversionContext& ctx, const NoteKind& kind, std::pair<std::string, int> numbering,
              std::vector<StoryReference>& refs) {
    const std::string& format = numbering.first;
    int next = numbering.second;
    const std::string language = paragraphLanguage(*ctx.model, {}, {});
    std::unordered_map<std::string, std::size_t> seen;
    rewriteReferences(ctx.workingText, kind.reference, [&](const ReferenceSite& site) {
        const std::string id = anchorId(tagAttribute(site.tag, "id"));
        const auto it = seen.find(id);
        if (it != seen.end() && !site.custom)
            return referenceLink(kind.prefix + id, {}, refs[it->second].label, site.raised);
        const bool custom = site.custom && !site.mark.empty();
        const std::string label = custom ? site.mark : noteNumber(next++, format, language);
        const bool named = it == seen.end();
        if (named) {
            seen.emplace(id, refs.size());
            refs.push_back({id, label, custom});
        }
        return referenceLink(kind.prefix + id, named ? kind.prefix + "ref" + id : std::string(), label, site.raised);
    }, &ctx.workBytes);
}

void markComments(ConversionContext& ctx) {
    const ItemsById comments = itemsById(ctx.model->storyOfType("comments"));
    std::unordered_map<std::string, std::size_t> seen;
    rewriteReferences(ctx.workingText, "commentReference", [&](const ReferenceSite& site) {
        const std::string id = anchorId(tagAttribute(site.tag, "id"));
        const auto it = seen.find(id);
        if (it != seen.end()) return referenceLink("cm" + id, {}, ctx.commentRefs[it->second].label, true);
        const auto c = comments.find(id);
        const std::string initials = c == comments.end() ? std::string() : c->second->initials;
        const std::string label = "[" + initials + std::to_string(ctx.commentRefs.size() + 1) + "]";
        seen.emplace(id, ctx.commentRefs.size());
        ctx.commentRefs.push_back({id, label, false});
        return referenceLink("cm" + id, "cmref" + id, label, true);
    }, &ctx.workBytes);
}

// Where a note without its own mark gets its link: after the properties of
// its first paragraph, or at its start.
std::size_t linkPlace(const std::string& text) {
    const std::size_t p = findTag(text, "p", 0);
    const std::size_t gt = p == std::string::npos ? p : text.find('>', p);
    if (gt == std::string::npos || text[gt - 1] == '/') return 0;
    if (text.compare(gt + 1, 5, "<pPr>") != 0) return gt + 1;
    const std::size_t end = text.find("</pPr>", gt + 1);
    return end == std::string::npos ? gt + 1 : end + 6;
}

// In a note's text: its own mark becomes its link back to the reference; a
// note without one (a custom mark typed into its text) gets a link in front.
void linkBack(std::string& text, const NoteKind& kind, const StoryReference& ref) {
    const std::string target = kind.prefix + "ref" + ref.id;
    const std::string name = kind.prefix + ref.id;
    const std::size_t found = rewriteReferences(text, kind.ownMark, [&](const ReferenceSite& site) {
        return referenceLink(target, name, ref.label, site.raised);
    });
    if (found == 0) text.insert(linkPlace(text), "<a href=\"#" + target + "\" name=\"" + name + "\">&#8617;</a> ");
}

std::string notesSection(ConversionContext& ctx, const NoteKind& kind, const std::vector<StoryReference>& refs) {
    const model::Story* story = ctx.model->storyOfType(kind.type);
    if (!story || refs.empty()) return {};
    const ItemsById notes = itemsById(story);
    // The notes in the order of their references, converted as one story.
    std::string xml;
    for (const StoryReference& ref : refs) {
        const auto it = notes.find(ref.id);
        if (it == notes.end()) continue;
        const model::StoryItem& note = *it->second;
        if ((note.typed ? note.type : "normal") != "normal") continue;  // separators and continuation notices
        std::string text = note.content;
        linkBack(text, kind, ref);
        // Footnotes go to the foot of the sheet of their reference.
        if (kind.type == kFootnotes.type) xml += marker::note(anchorId(ref.id));
        xml += text;
    }
    if (xml.empty()) return {};
    if (kind.type == kFootnotes.type) xml += marker::note("");
    const std::string html = convertStory(ctx, std::move(xml), story->rels);
    return "<div class=" + std::string(kind.type) + "><hr>" + html + "</div>";
}

// A comment after a paragraph naming its author and date.
std::string commentText(const model::StoryItem& comment, const StoryReference& ref) {
    const std::string author = escapeStoredText(comment.author);
    const std::string date = escapeStoredText(readableDate(comment.date));
    std::string xml = "<p><a href=\"#cmref" + ref.id + "\" name=\"cm" + ref.id + "\">" + ref.label + "</a> <b>" + author + "</b>";
    if (!date.empty()) xml += " " + date;
    xml += "</p>";
    std::string text = comment.content;
    rewriteReferences(text, "annotationRef", [](const ReferenceSite&) { return std::string(); });
    return xml + text;
}

std::string commentsSection(ConversionContext& ctx) {
    const model::Story* story = ctx.model->storyOfType("comments");
    if (!story || ctx.commentRefs.empty()) return {};
    const ItemsById comments = itemsById(story);
    // All converted as one story.
    std::string xml;
    for (const StoryReference& ref : ctx.commentRefs) {
        const auto it = comments.find(ref.id);
        if (it != comments.end()) xml += commentText(*it->second, ref);
    }
    if (xml.empty()) return {};
    const std::string html = convertStory(ctx, std::move(xml), story->rels);
    return "<div class=comments><hr>" + html + "</div>";
}

}  // namespace

std::string noteNumber(int n, std::string_view format, std::string_view language) {
    return formatNumber(n, format, language);
}

void markNotes(ConversionContext& ctx, const model::Section& first) {
    const model::Settings& settings = ctx.model->settings;
    markKind(ctx, kFootnotes, noteFormat(first.footnotes, settings.footnotes, kFootnotes.fallbackFormat),
             ctx.footnoteRefs);
    markKind(ctx, kEndnotes, noteFormat(first.endnotes, settings.endnotes, kEndnotes.fallbackFormat), ctx.endnoteRefs);
    markComments(ctx);
}

std::string notesSections(ConversionContext& ctx) {
    return notesSection(ctx, kFootnotes, ctx.footnoteRefs) + notesSection(ctx, kEndnotes, ctx.endnoteRefs) +
           commentsSection(ctx);
}

}  // namespace tavin
