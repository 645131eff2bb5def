// Page breaks: page markers in the body from its paragraphs' breaks and
// sections, and sheets of the assembled page from the markers (pages.h).
#include "docx2html/fidelity/pages.h"

#include <algorithm>

#include "docx2html/fidelity/markers.h"
#include "docx2html/xmlscan.h"

namespace tavin {

namespace {

constexpr std::string_view kPageBreak = "<br type=\"page\"/>";

// Whether [from, to) holds character data other than blanks.
bool holdsText(std::string_view t, std::size_t from, std::size_t to) {
    bool inTag = false;
    for (std::size_t i = from; i < to; ++i) {
        const char c = t[i];
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag && static_cast<unsigned char>(c) > 0x20) return true;
    }
    return false;
}

std::vector<std::size_t> occurrences(std::string_view t, std::string_view s) {
    std::vector<std::size_t> found;
    for (std::size_t p = t.find(s); p != std::string_view::npos; p = t.find(s, p + 1)) found.push_back(p);
    return found;
}

}  // namespace

PageBreaks::PageBreaks(std::string_view body)
    : body_(body), breaks_(occurrences(body, kPageBreak)), sections_(occurrences(body, "<sectPr")) {}

bool PageBreaks::nextSectionBreaks(std::size_t after) const {
    const auto n = std::lower_bound(sections_.begin(), sections_.end(), after);
    if (n == sections_.end()) return true;
    const std::size_t end = body_.find("</sectPr>", *n);
    const std::string_view next = end == std::string_view::npos ? std::string_view() : body_.substr(*n, end - *n);
    return childValue(next, "type") != "continuous";
}

void PageBreaks::paragraph(std::size_t start, std::size_t content, std::size_t close, bool breakBefore,
                           bool endsSection, EditList& edits) {
    bool before = breakBefore;
    bool after = false;
    std::size_t scanned = content;
    bool textBefore = false;
    for (auto b = std::lower_bound(breaks_.begin(), breaks_.end(), content); b != breaks_.end() && *b < close; ++b) {
        edits.erase(*b, kPageBreak.size());
        if (!textBefore) textBefore = holdsText(body_, scanned, *b);
        scanned = *b;
        (textBefore ? after : before) = true;
    }
    // A section ends here; the next one says whether it starts a new page.
    if (endsSection && nextSectionBreaks(close)) after = true;
    if (before) edits.insert(start, std::string(marker::kPage));
    if (after) edits.insert(close + 4, std::string(marker::kPage));
}

void Sheets::pageMarker(std::size_t at, int depth, EditList& edits) {
    if (depth == 0 && contentSinceSheet_ && pending_ == std::string::npos) {
        pending_ = at;
        contentSinceSheet_ = false;
    } else {
        edits.erase(at, marker::kPage.size());
    }
}

void Sheets::startTag(bool div, EditList& edits) {
    if (div) return;
    if (pending_ != std::string::npos) {
        edits.replace(pending_, marker::kPage.size(), sheet_);
        pending_ = std::string::npos;
        any_ = true;
    }
    contentSinceSheet_ = true;
}

void Sheets::finish(EditList& edits) {
    if (pending_ != std::string::npos) edits.erase(pending_, marker::kPage.size());
    pending_ = std::string::npos;
}

}  // namespace tavin
