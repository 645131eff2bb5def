// The visible text of a page: a walk over its tags from the body on.
#include "docx2html/pagetext.h"

#include <cstdint>
#include <vector>

#include "core/uStr.h"

namespace tavin {

namespace {

bool isAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }


// The character an entity at text[at] ("&...;") stands for, and its length;
// length 0 when it is none we read.
std::size_t decodeEntity(std::string_view text, std::size_t at, std::string& out) {
    const std::size_t semi = text.find(';', at + 1);
    if (semi == std::string_view::npos || semi - at > 10) return 0;
    const std::string_view name = text.substr(at + 1, semi - at - 1);
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        std::uint32_t cp = 0;
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        for (const char c : digits) {
            std::uint32_t d;
            if (c >= '0' && c <= '9') d = static_cast<std::uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f') d = static_cast<std::uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F') d = static_cast<std::uint32_t>(c - 'A' + 10);
            else return 0;
            cp = cp * (hex ? 16 : 10) + d;
            if (cp > 0x10FFFF) return 0;
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        appendUtf8(out, cp == 0xA0 ? ' ' : cp);
        return semi - at + 1;
    }
    static const struct {
        std::string_view name, text;
    } named[] = {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    for (const auto& n : named) {
        if (name == n.name) {
            out += n.text;
            return semi - at + 1;
        }
    }
    return 0;
}

// Elements whose content a reader never sees.
bool hidesContent(std::string_view tag) {
    return tag == "style" || tag == "script" || tag == "title" || tag == "head" || tag == "annotation" ||
           tag == "template" || tag == "noscript" || tag == "xmp";
}

// The div of the headers and footers a print layout gives a sheet's later
// papers, which the screen does not show.
bool laterStories(std::string_view tag) { return tag.find("class=\"tvlater\"") != std::string_view::npos; }

// Elements that start and end a line of their own.
bool isBlock(std::string_view tag) {
    static const std::string_view blocks[] = {"p",   "h1",  "h2",   "h3",    "h4",         "h5",     "h6",
                                              "div", "li",  "ol",   "ul",    "table",      "tr",     "br",
                                              "hr",  "pre", "dl",   "dt",    "dd",         "center", "caption",
                                              "blockquote", "section", "article", "header", "footer", "aside"};
    for (const auto b : blocks)
        if (tag == b) return true;
    return false;
}

class TextWriter {
public:
    explicit TextWriter(bool listLabels) : listLabels_(listLabels) {}

    void text(std::string_view chars) {
        for (const char c : chars) {
            if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f') {
                space_ = !line_.empty() && line_.back() != '\t';
            } else {
                if (space_) line_ += ' ';
                space_ = false;
                label_ = false;
                line_ += c;
            }
        }
    }

    void startTag(std::string_view tag) {
        if (tag == "td" || tag == "th") {
            if (cellDepth_ == 0) {
                if (!firstCell_) {
                    trimLine();
                    line_ += '\t';
                }
                firstCell_ = false;
            } else {
                softBreak();
            }
            ++cellDepth_;
            return;
        }
        if (tag == "tr" && cellDepth_ == 0) firstCell_ = true;
        if (tag == "ol" || tag == "ul") lists_.push_back({tag == "ol", 0});
        if (tag == "li") label_ = false;
        if (isBlock(tag)) lineBreak();
        if (tag == "li" && !listLabels_ && !lists_.empty()) {
            List& list = lists_.back();
            text(list.ordered ? std::to_string(++list.count) + ". " : std::string("\xE2\x80\xA2 "));
            // The item's paragraph goes on the label's line.
            label_ = true;
        }
    }

    void endTag(std::string_view tag) {
        if (tag == "td" || tag == "th") {
            if (cellDepth_ > 0) --cellDepth_;
            return;
        }
        if ((tag == "ol" || tag == "ul") && !lists_.empty()) lists_.pop_back();
        if (isBlock(tag)) lineBreak();
    }

    std::string finish() {
        cellDepth_ = 0;
        label_ = false;
        lineBreak();
        return std::move(out_);
    }

private:
    struct List {
        bool ordered;
        int count;
    };

    void trimLine() {
        while (!line_.empty() && line_.back() == ' ') line_.pop_back();
        space_ = false;
    }
    // Inside a cell, paragraphs and lines are parts of one cell's text.
    void softBreak() { space_ = !line_.empty() && line_.back() != '\t'; }
    void lineBreak() {
        if (cellDepth_ > 0) return softBreak();
        if (label_) return;
        trimLine();
        bool blank = true;
        for (const char c : line_)
            if (c != '\t') blank = false;
        if (!blank) {
            out_ += line_;
            out_ += '\n';
        }
        line_.clear();
    }

    bool listLabels_;
    std::string out_, line_;
    bool space_ = false;
    bool label_ = false;
    bool firstCell_ = true;
    int cellDepth_ = 0;
    std::vector<List> lists_;
};

// The end of the tag starting at text[at] ('<'): one past its '>', quoted
// attribute values skipped; npos when it has none.
std::size_t tagEnd(std::string_view text, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::string pageText(std::string_view page, bool listLabels) {
    std::size_t pos = page.find("<body");
    if (pos == std::string_view::npos) pos = 0;
    TextWriter out(listLabels);
    std::string hiddenUntil;  // the element whose content is skipped
    int hiddenDepth = 0;      // hidden divs open inside the hidden div
    std::string chars;
    while (pos < page.size()) {
        const std::size_t lt = page.find('<', pos);
        const std::size_t stop = lt == std::string_view::npos ? page.size() : lt;
        if (hiddenUntil.empty() && stop > pos) {
            chars.clear();
            for (std::size_t i = pos; i < stop; ++i) {
                const std::size_t n = page[i] == '&' ? decodeEntity(page, i, chars) : 0;
                if (n) i += n - 1;
                else chars += page[i];
            }
            out.text(chars);
        }
        if (lt == std::string_view::npos) break;
        if (page.compare(lt, 4, "<!--") == 0) {
            const std::size_t close = page.find("-->", lt + 4);
            pos = close == std::string_view::npos ? page.size() : close + 3;
            continue;
        }
        const std::size_t gt = tagEnd(page, lt);
        if (gt == std::string_view::npos) break;
        const bool end = lt + 1 < page.size() && page[lt + 1] == '/';
        std::size_t n = lt + (end ? 2 : 1);
        const std::size_t nameStart = n;
        while (n < gt && (isAsciiAlnum(page[n]) || page[n] == ':' || page[n] == '-')) ++n;
        const std::string name = lowerCase(page.substr(nameStart, n - nameStart));
        pos = gt;
        if (name.empty()) continue;
        const bool selfClosing = page[gt - 2] == '/';
        if (!hiddenUntil.empty()) {
            // Hidden divs nest; the other hidden elements hold no elements.
            if (name != hiddenUntil || selfClosing) continue;
            if (!end) ++hiddenDepth;
            else if (hiddenDepth-- == 0) hiddenUntil.clear();
            continue;
        }
        if (end) {
            out.endTag(name);
        } else if (hidesContent(name) || (name == "div" && laterStories(page.substr(lt, gt - lt)))) {
            if (!selfClosing) hiddenUntil = name;
            hiddenDepth = 0;
        } else {
            out.startTag(name);
            if (selfClosing && name != "br" && name != "hr") out.endTag(name);
        }
    }
    return out.finish();
}

}  // namespace tavin
