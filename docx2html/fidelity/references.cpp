// References to notes and comments as links (references.h). Reads the runs
// of the body or of a story part, around each reference element.
#include "docx2html/fidelity/references.h"

#include "core/uStr.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/storyparts.h"
#include "docx2html/markup.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

bool tagNameEnds(char c) { return c == ' ' || c == '/' || c == '>' || c == '\t' || c == '\r' || c == '\n'; }

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

// Where the run that holds a reference starts in before (the text from the
// last edit to the reference), or npos when the reference is in no run.
std::size_t runStartIn(std::string_view before) {
    const std::size_t plain = before.rfind("<r>");
    const std::size_t spaced = before.rfind("<r ");
    std::size_t start = plain;
    if (spaced != std::string_view::npos && (start == std::string_view::npos || spaced > start)) start = spaced;
    const std::size_t runBefore = before.rfind("</r>");
    if (start == std::string_view::npos || (runBefore != std::string_view::npos && runBefore > start))
        return std::string_view::npos;
    return start;
}

// The run's properties between its start and the reference at p: a raised
// run is set to the baseline (the link raises itself); one on the baseline
// keeps the link there. Searched only up to the reference, so references in
// runs without properties do not each search the text after them.
void baselineRun(std::string_view t, std::size_t runStart, std::size_t p, EditList& edits, ReferenceSite& site) {
    const std::string_view head = t.substr(runStart, p - runStart);
    const std::size_t props = head.find("<rPr>");
    const std::size_t propsEnd = props == std::string_view::npos ? props : head.find("</rPr>", props);
    if (propsEnd == std::string_view::npos) return;
    const std::string_view rpr = head.substr(props, propsEnd - props);
    static constexpr std::string_view kRaised = "<vertAlign val=\"superscript\"/>";
    const std::size_t raised = rpr.find(kRaised);
    if (raised != std::string_view::npos) {
        edits.replace(runStart + props + raised + 11, 17, "val=\"baseline\"");  // the val attribute
    } else if (rpr.find("<vertAlign val=\"baseline\"/>") != std::string_view::npos) {
        site.raised = false;
    }
}

}  // namespace

std::size_t findTag(std::string_view t, std::string_view name, std::size_t from) {
    const std::string open = "<" + std::string(name);
    for (std::size_t p = findText(t, open, from); p != std::string_view::npos; p = findText(t, open, p + 1)) {
        const std::size_t after = p + open.size();
        if (after < t.size() && tagNameEnds(t[after])) return p;
    }
    return std::string_view::npos;
}

std::string anchorId(std::string_view id) {
    std::string out;
    for (char c : id)
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_')
            out.push_back(c);
    return out;
}

std::string readableDate(std::string_view date) {
    if (date.size() >= 16 && date[10] == 'T') return std::string(date.substr(0, 10)) + " " + std::string(date.substr(11, 5));
    return std::string(date);
}

std::string referenceLink(std::string_view href, std::string_view name, const std::string& label, bool raised) {
    std::string a = "<a href=\"#" + std::string(href) + "\"";
    if (!name.empty()) a += " name=\"" + std::string(name) + "\"";
    a += ">";
    a += raised ? "<sup>" + label + "</sup>" : label;
    return a + "</a>";
}

std::size_t rewriteReferences(std::string& text, std::string_view name,
                              const std::function<std::string(const ReferenceSite&)>& make, std::uint64_t* work) {
    const std::string_view t = text;
    EditList edits;
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
        if (work) *work += gt + 1 - done;
        const std::size_t inBefore = runStartIn(t.substr(done, p - done));
        const bool inRun = inBefore != std::string_view::npos;
        if (inRun) baselineRun(t, done + inBefore, p, edits, site);
        site.custom = isTrue(tagAttribute(site.tag, "customMarkFollows"));
        const std::size_t runEnd = inRun ? runEnds.atOrAfter(to) : std::string_view::npos;
        if (site.custom && runEnd != std::string_view::npos) {
            site.mark = std::string(trimText(withoutTags(t.substr(to, runEnd - to))));
            to = runEnd;
        }
        edits.replace(p, to - p, make(site));
        done = to;
        ++count;
    }
    edits.applyTo(text);
    return count;
}

}  // namespace tavin
