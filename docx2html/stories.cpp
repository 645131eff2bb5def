// Notes, comments, headers and footers: each story part is converted by the
// body's own steps with its own relationships, and the body's references
// become links to the notes and comments, which link back.
#include "docx2html/stories.h"

#include <functional>
#include <unordered_map>
#include <vector>

#include "core/fileio.h"
#include "core/html.h"
#include "docx2html/docx2html.h"
#include "docx2html/fidelity.h"
#include "docx2html/markup.h"
#include "docx2html/numbering.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

std::string readStoryText(ConversionContext& ctx, const std::string& part) {
    std::string text = readPart(ctx.workFolder, part);
    removeMarkerBytes(text);
    normalizeEmptyTags(ctx, text);
    return removePrefixInTags(text);
}

bool tagNameEnds(char c) { return c == ' ' || c == '/' || c == '>' || c == '\t' || c == '\r' || c == '\n'; }

// The first tag of element name at or after from (a whole name: "<footnote"
// does not find "<footnoteRef"), or npos.
std::size_t findTag(std::string_view t, std::string_view name, std::size_t from) {
    const std::string open = "<" + std::string(name);
    for (std::size_t p = t.find(open, from); p != std::string_view::npos; p = t.find(open, p + 1)) {
        const std::size_t after = p + open.size();
        if (after < t.size() && tagNameEnds(t[after])) return p;
    }
    return std::string_view::npos;
}

// An attribute of a tag; an absent one reads as fallback.
std::string attr(std::string_view tag, std::string_view name, std::string_view fallback = {}) {
    const std::string_view v = tagAttribute(tag, name);
    return std::string(v.empty() && tag.find(" " + std::string(name) + "=") == std::string_view::npos ? fallback : v);
}

std::string withoutTags(std::string_view t) {
    std::string out;
    bool inTag = false;
    for (char c : t) {
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag) out.push_back(c);
    }
    return out;
}

// A note or comment id as it appears in anchor names: letters, digits, "-"
// and "_" only, so no id can end an attribute of the page.
std::string anchorId(std::string_view id) {
    std::string out;
    for (char c : id)
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_')
            out.push_back(c);
    return out;
}

// One element of a story part (a note, a comment): its start tag and what
// lies between it and its end tag.
struct StoryElement {
    std::string_view tag;
    std::string_view content;
};

// Every element name of t by its id attribute as anchorId gives it (the
// first of an id wins).
std::unordered_map<std::string, StoryElement> elementsById(std::string_view t, std::string_view name) {
    std::unordered_map<std::string, StoryElement> found;
    const std::string close = "</" + std::string(name) + ">";
    std::size_t p = findTag(t, name, 0);
    while (p != std::string_view::npos) {
        const std::size_t gt = t.find('>', p);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = t.substr(p, gt + 1 - p);
        std::string_view content;
        std::size_t next = gt + 1;
        if (t[gt - 1] != '/') {
            const std::size_t end = t.find(close, gt + 1);
            content = t.substr(gt + 1, (end == std::string_view::npos ? t.size() : end) - gt - 1);
            next = end == std::string_view::npos ? t.size() : end + close.size();
        }
        found.emplace(anchorId(tagAttribute(tag, "id")), StoryElement{tag, content});
        p = findTag(t, name, next);
    }
    return found;
}

// What lies inside the root element of a header or footer part.
std::string_view rootContent(std::string_view t, std::string_view root) {
    const std::size_t p = findTag(t, root, 0);
    if (p == std::string_view::npos) return {};
    const std::size_t gt = t.find('>', p);
    if (gt == std::string_view::npos || t[gt - 1] == '/') return {};
    const std::size_t end = t.rfind("</" + std::string(root) + ">");
    if (end == std::string_view::npos || end < gt) return t.substr(gt + 1);
    return t.substr(gt + 1, end - gt - 1);
}

// A reference found in a run: its tag, and for a custom mark the run's text
// after it.
struct ReferenceSite {
    std::string_view tag;
    std::string mark;
    bool custom = false;
    bool raised = true;  // false when the run's properties keep it on the baseline
};

struct Edit {
    std::size_t from, to;
    std::string text;
};

std::string applyEdits(std::string_view t, const std::vector<Edit>& edits) {
    std::string out;
    out.reserve(t.size() + edits.size() * 48);
    std::size_t copied = 0;
    for (const Edit& e : edits) {
        out.append(t.substr(copied, e.from - copied));
        out += e.text;
        copied = e.to;
    }
    out.append(t.substr(copied));
    return out;
}

// Rewrites every element name of t (a reference or a note's own mark): its
// tag, and with a custom mark the rest of its run, becomes what make gives.
// The markup raises itself, so a run property that raises the run is set to
// the baseline. Returns how many were rewritten.
std::size_t rewriteReferences(std::string& text, std::string_view name,
                              const std::function<std::string(const ReferenceSite&)>& make, std::uint64_t* work = nullptr) {
    const std::string_view t = text;
    std::vector<Edit> edits;
    std::size_t done = 0;  // the end of the last edit
    std::size_t count = 0;
    NextOccurrence runEnds(t, "</r>", false, work);
    for (std::size_t p = findTag(t, name, 0); p != std::string_view::npos; p = findTag(t, name, done)) {
        const std::size_t gt = t.find('>', p);
        if (gt == std::string_view::npos) break;
        ReferenceSite site;
        site.tag = t.substr(p, gt + 1 - p);
        std::size_t to = gt + 1;
        // The run around the tag starts after the last edit and after the
        // end of the run before: it is looked for back to there only, so
        // each byte is read once however many references there are.
        const std::string_view before = t.substr(done, p - done);
        if (work) *work += gt + 1 - done;
        const std::size_t plain = before.rfind("<r>");
        const std::size_t spaced = before.rfind("<r ");
        std::size_t runStart = plain;
        if (spaced != std::string_view::npos && (runStart == std::string_view::npos || spaced > runStart)) runStart = spaced;
        const std::size_t runBefore = before.rfind("</r>");
        const bool inRun = runStart != std::string_view::npos && (runBefore == std::string_view::npos || runBefore < runStart);
        if (inRun) runStart += done;
        const std::size_t runEnd = inRun ? runEnds.atOrAfter(to) : std::string_view::npos;
        if (inRun) {
            // Searched only within the run up to the tag, so references in
            // runs without properties do not each search the text after them.
            const std::string_view head = t.substr(runStart, p - runStart);
            const std::size_t inHead = head.find("<rPr>");
            const std::size_t props = inHead == std::string_view::npos ? inHead : runStart + inHead;
            const std::size_t headEnd = inHead == std::string_view::npos ? inHead : head.find("</rPr>", inHead);
            const std::size_t propsEnd = headEnd == std::string_view::npos ? headEnd : runStart + headEnd;
            if (propsEnd != std::string_view::npos) {
                const std::string_view rpr = t.substr(props, propsEnd - props);
                static constexpr std::string_view kRaised = "<vertAlign val=\"superscript\"/>";
                const std::size_t raised = rpr.find(kRaised);
                if (raised != std::string_view::npos) {
                    const std::size_t at = props + raised + 11;  // the val attribute
                    edits.push_back({at, at + 17, "val=\"baseline\""});
                } else if (rpr.find("<vertAlign val=\"baseline\"/>") != std::string_view::npos) {
                    site.raised = false;
                }
            }
        }
        site.custom = isTrue(tagAttribute(site.tag, "customMarkFollows"));
        if (site.custom && runEnd != std::string_view::npos) {
            site.mark = std::string(trimText(withoutTags(t.substr(to, runEnd - to))));
            to = runEnd;
        }
        edits.push_back({p, to, make(site)});
        done = to;
        ++count;
    }
    if (!edits.empty()) text = applyEdits(t, edits);
    return count;
}

std::string link(std::string_view href, std::string_view name, const std::string& label, bool raised) {
    std::string a = "<a href=\"#" + std::string(href) + "\"";
    if (!name.empty()) a += " name=\"" + std::string(name) + "\"";
    a += ">";
    a += raised ? "<sup>" + label + "</sup>" : label;
    return a + "</a>";
}

// The number format and first number of footnotes or endnotes (props
// "footnotePr" or "endnotePr"): the first section's, else the settings'.
std::pair<std::string, int> noteFormat(const ConversionContext& ctx, std::string_view section, std::string_view props,
                                       std::string_view fallback) {
    const std::string open = "<" + std::string(props) + ">";
    const std::string close = "</" + std::string(props) + ">";
    std::string format(fallback);
    int start = 1;
    bool formatSet = false, startSet = false;
    for (std::string_view source : {section, std::string_view(ctx.settingsText)}) {
        const std::string block = textBetween(source, open, close);
        const std::string f = attrValue(block, "<numFmt val");
        if (!formatSet && !f.empty()) {
            format = f;
            formatSet = true;
        }
        const std::string s = attrValue(block, "<numStart val");
        if (!startSet && !s.empty()) {
            int n = 0;
            bool digits = s.size() < 7;
            for (char c : s) digits = digits && c >= '0' && c <= '9';
            if (digits) {
                for (char c : s) n = n * 10 + (c - '0');
                start = n;
            }
            startSet = true;
        }
    }
    return {format, start};
}

const StoryPart* storyOfType(const ConversionContext& ctx, std::string_view type) {
    for (const StoryPart& part : ctx.storyParts)
        if (part.type == type) return &part;
    return nullptr;
}

const StoryPart* storyById(const ConversionContext& ctx, std::string_view id) {
    for (const StoryPart& part : ctx.storyParts)
        if (part.id == id) return &part;
    return nullptr;
}

// Numbers the references of one kind of note in the body and links them.
void markNotes(ConversionContext& ctx, std::string_view section, std::string_view kind, std::string_view prefix,
               std::string_view fallbackFormat, std::vector<StoryReference>& refs) {
    // Not a structured binding: clang 14, which builds the fuzz targets,
    // cannot capture one in the lambda below.
    const std::pair<std::string, int> numbering = noteFormat(ctx, section, std::string(kind) + "Pr", fallbackFormat);
    const std::string& format = numbering.first;
    int next = numbering.second;
    std::unordered_map<std::string, std::size_t> seen;
    rewriteReferences(ctx.workingText, std::string(kind) + "Reference", [&](const ReferenceSite& site) {
        const std::string id = anchorId(tagAttribute(site.tag, "id"));
        std::string label;
        bool named = false;
        const auto it = seen.find(id);
        if (it != seen.end() && !site.custom) {
            label = refs[it->second].label;
        } else {
            const bool custom = site.custom && !site.mark.empty();
            label = custom ? site.mark : noteNumber(next++, format);
            named = it == seen.end();
            if (named) {
                seen.emplace(id, refs.size());
                refs.push_back({id, label, custom});
            }
        }
        return link(std::string(prefix) + id, named ? std::string(prefix) + "ref" + id : std::string(), label,
                    site.raised);
    }, &ctx.workBytes);
}

void markComments(ConversionContext& ctx) {
    const StoryPart* part = storyOfType(ctx, "comments");
    const auto comments = elementsById(part ? std::string_view(part->text) : std::string_view(), "comment");
    std::unordered_map<std::string, std::size_t> seen;
    rewriteReferences(ctx.workingText, "commentReference", [&](const ReferenceSite& site) {
        const std::string id = anchorId(tagAttribute(site.tag, "id"));
        const auto it = seen.find(id);
        if (it != seen.end()) return link("cm" + id, {}, ctx.commentRefs[it->second].label, true);
        const auto c = comments.find(id);
        const std::string initials = c == comments.end() ? std::string() : std::string(tagAttribute(c->second.tag, "initials"));
        const std::string label = "[" + initials + std::to_string(ctx.commentRefs.size() + 1) + "]";
        seen.emplace(id, ctx.commentRefs.size());
        ctx.commentRefs.push_back({id, label, false});
        return link("cm" + id, "cmref" + id, label, true);
    }, &ctx.workBytes);
}

// The header or footer relationship of a section: the first-page one when
// the section has a title page, else the default one.
std::string sectionStory(std::string_view section, std::string_view name, bool titlePage) {
    const std::string_view wanted = titlePage ? "first" : "default";
    for (std::size_t p = findTag(section, name, 0); p != std::string_view::npos; p = findTag(section, name, p + 1)) {
        const std::size_t gt = section.find('>', p);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = section.substr(p, gt + 1 - p);
        if (attr(tag, "type", "default") == wanted) return std::string(tagAttribute(tag, "r:id"));
    }
    return {};
}

// In a note's text: its own mark becomes its link back to the reference; a
// note without one (a custom mark typed into its text) gets a link in front.
void linkBack(std::string& text, std::string_view refMark, const std::string& prefix, const StoryReference& ref) {
    const std::string target = prefix + "ref" + ref.id;
    const std::string name = prefix + ref.id;
    const std::size_t found = rewriteReferences(text, refMark, [&](const ReferenceSite& site) {
        return link(target, name, ref.label, site.raised);
    });
    if (found != 0) return;
    std::size_t at = 0;
    const std::size_t p = findTag(text, "p", 0);
    const std::size_t gt = p == std::string::npos ? p : text.find('>', p);
    if (gt != std::string::npos && text[gt - 1] != '/') {
        at = gt + 1;
        if (text.compare(at, 5, "<pPr>") == 0) {
            const std::size_t end = text.find("</pPr>", at);
            if (end != std::string::npos) at = end + 6;
        }
    }
    text.insert(at, "<a href=\"#" + target + "\" name=\"" + name + "\">&#8617;</a> ");
}

std::string notesSection(ConversionContext& ctx, std::string_view type, std::string_view element,
                         std::string_view refMark, const std::string& prefix, const std::vector<StoryReference>& refs) {
    const StoryPart* part = storyOfType(ctx, type);
    if (!part || refs.empty()) return {};
    const auto notes = elementsById(part->text, element);
    // The notes in the order of their references, converted as one story.
    std::string xml;
    for (const StoryReference& ref : refs) {
        const auto it = notes.find(ref.id);
        if (it == notes.end()) continue;
        const std::string kind = attr(it->second.tag, "type", "normal");
        if (kind != "normal") continue;  // separators and continuation notices
        std::string note(it->second.content);
        linkBack(note, refMark, prefix, ref);
        xml += note;
    }
    if (xml.empty()) return {};
    const std::string html = convertStory(ctx, std::move(xml), part->rels);
    return "<div class=" + std::string(type) + "><hr>" + html + "</div>";
}

// "2016-05-19T10:18:00Z" reads "2016-05-19 10:18".
std::string commentDate(std::string_view date) {
    if (date.size() >= 16 && date[10] == 'T') return std::string(date.substr(0, 10)) + " " + std::string(date.substr(11, 5));
    return std::string(date);
}

std::string commentsSection(ConversionContext& ctx) {
    const StoryPart* part = storyOfType(ctx, "comments");
    if (!part || ctx.commentRefs.empty()) return {};
    const auto comments = elementsById(part->text, "comment");
    // Each comment after a paragraph naming its author and date, all
    // converted as one story.
    std::string xml;
    for (const StoryReference& ref : ctx.commentRefs) {
        const auto it = comments.find(ref.id);
        if (it == comments.end()) continue;
        const std::string author = escapeStoredText(tagAttribute(it->second.tag, "author"));
        const std::string date = escapeStoredText(commentDate(tagAttribute(it->second.tag, "date")));
        xml += "<p><a href=\"#cmref" + ref.id + "\" name=\"cm" + ref.id + "\">" + ref.label + "</a> <b>" + author +
               "</b>";
        if (!date.empty()) xml += " " + date;
        xml += "</p>";
        std::string comment(it->second.content);
        rewriteReferences(comment, "annotationRef", [](const ReferenceSite&) { return std::string(); });
        xml += comment;
    }
    if (xml.empty()) return {};
    const std::string html = convertStory(ctx, std::move(xml), part->rels);
    return "<div class=comments><hr>" + html + "</div>";
}

std::string headerFooter(ConversionContext& ctx, const std::string& id, std::string_view type,
                         std::string_view root) {
    if (id.empty()) return {};
    const StoryPart* part = storyById(ctx, id);
    if (!part || part->type != type) return {};
    const std::string html = convertStory(ctx, std::string(rootContent(part->text, root)), part->rels);
    return "<div class=" + std::string(type) + ">" + html + "</div>";
}

std::string folderOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A story part's relationships with their internal targets rewritten to
// resolve against the document's folder, against which the page's pictures
// and links resolve.
std::string rebaseTargets(std::string_view rels, const std::string& storyFolder, const std::string& documentFolder) {
    std::string levelsUp;
    for (char c : documentFolder)
        if (c == '/') levelsUp += "../";
    std::vector<Edit> edits;
    RelationshipTags tags(rels);
    for (std::string_view tag = tags.next(); !tag.empty(); tag = tags.next()) {
        if (tagAttribute(tag, "TargetMode") == "External") continue;
        const std::string_view target = tagAttribute(tag, "Target");
        if (target.empty()) continue;
        std::string part = resolvePartName(storyFolder, target);
        if (part.empty()) continue;
        if (part.compare(0, documentFolder.size(), documentFolder) == 0) part.erase(0, documentFolder.size());
        else part = levelsUp + part;
        const std::size_t at = static_cast<std::size_t>(target.data() - rels.data());
        edits.push_back({at, at + target.size(), part});
    }
    return applyEdits(rels, edits);
}

}  // namespace

std::string noteNumber(int n, std::string_view format) {
    if (n > 0 && (format == "lowerRoman" || format == "upperRoman") && n < 4000) {
        static const std::pair<int, const char*> kDigits[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                              {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                              {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"},
                                                              {1, "i"}};
        std::string out;
        for (const auto& [value, digits] : kDigits)
            for (; n >= value; n -= value) out += digits;
        if (format == "upperRoman")
            for (char& c : out) c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    if (n > 0 && (format == "lowerLetter" || format == "upperLetter")) {
        // a ... z, then aa ... zz, then aaa ...
        const char letter = static_cast<char>((format == "lowerLetter" ? 'a' : 'A') + (n - 1) % 26);
        return std::string(static_cast<std::size_t>((n - 1) / 26 + 1), letter);
    }
    if (n > 0 && format == "chicago") {
        static const char* const kMarks[] = {"*", "&#8224;", "&#8225;", "&#167;"};
        std::string out;
        for (int k = 0; k <= (n - 1) / 4; ++k) out += kMarks[(n - 1) % 4];
        return out;
    }
    return std::to_string(n);
}

void loadStoryParts(ConversionContext& ctx) {
    ctx.storyParts.clear();
    ctx.settingsText.clear();
    for (const StoryRelationship& rel : storyRelationships(ctx.relsText, ctx.documentFolder)) {
        if (!isRegularFileInFolder(ctx.workFolder, rel.part)) continue;
        if (rel.type == "settings") {
            if (ctx.settingsText.empty()) ctx.settingsText = readStoryText(ctx, rel.part);
            continue;
        }
        std::string rels = readStoryText(ctx, relationshipsPartName(rel.part));
        const std::string folder = folderOf(rel.part);
        if (folder != ctx.documentFolder) rels = rebaseTargets(rels, folder, ctx.documentFolder);
        ctx.storyParts.push_back({rel.id, rel.type, rel.part, readStoryText(ctx, rel.part), std::move(rels)});
    }
}

void markStoryReferences(ConversionContext& ctx) {
    ctx.footnoteRefs.clear();
    ctx.endnoteRefs.clear();
    ctx.commentRefs.clear();
    ctx.headerId.clear();
    ctx.footerId.clear();
    // The first section's properties: the first sectPr of the body.
    std::string section;
    const std::size_t s = findTag(ctx.workingText, "sectPr", 0);
    if (s != std::string::npos) {
        const std::size_t e = ctx.workingText.find("</sectPr>", s);
        section = ctx.workingText.substr(s, e == std::string::npos ? std::string::npos : e - s);
    }
    const std::size_t title = findTag(section, "titlePg", 0);
    const bool titlePage =
        title != std::string::npos && isOn(attr(section.substr(title, section.find('>', title) - title), "val", "1"));
    ctx.headerId = sectionStory(section, "headerReference", titlePage);
    ctx.footerId = sectionStory(section, "footerReference", titlePage);

    markNotes(ctx, section, "footnote", "fn", "decimal", ctx.footnoteRefs);
    markNotes(ctx, section, "endnote", "en", "lowerRoman", ctx.endnoteRefs);
    markComments(ctx);
}

std::string convertStory(ConversionContext& ctx, std::string xml, const std::string& rels) {
    // The body's text and relationships wait aside, and come back even when
    // a step fails.
    struct Aside {
        ConversionContext& ctx;
        std::string text, rels;
        ~Aside() {
            ctx.workingText = std::move(text);
            ctx.relsText = std::move(rels);
        }
    } aside{ctx, std::move(ctx.workingText), std::move(ctx.relsText)};
    ctx.workingText = std::move(xml);
    ctx.relsText = rels;
    initRun(ctx);
    preprocess(ctx);
    convertTables(ctx);
    wrapListItems(ctx);
    buildLists(ctx);
    wrapDropCaps(ctx);
    convertParagraphs(ctx);
    finishRuns(ctx);
    convertTabs(ctx);
    convertLinks(ctx);
    convertImages(ctx);
    regexDelete(ctx.sharedRegex, ctx.workingText, "\n\r");
    removeFieldCodes(ctx);
    return std::move(ctx.workingText);
}

void convertStories(ConversionContext& ctx) {
    ctx.headerHtml = headerFooter(ctx, ctx.headerId, "header", "hdr");
    ctx.footerHtml = headerFooter(ctx, ctx.footerId, "footer", "ftr");
    ctx.notesHtml = notesSection(ctx, "footnotes", "footnote", "footnoteRef", "fn", ctx.footnoteRefs) +
                    notesSection(ctx, "endnotes", "endnote", "endnoteRef", "en", ctx.endnoteRefs) +
                    commentsSection(ctx);
}

}  // namespace tavin
