// Lists: numbered paragraphs become li items inside ol and ul lists.
#include "docx2html/lists.h"
#include "docx2html/lists_internal.h"

#include <algorithm>
#include <unordered_map>

#include "docx2html/docxstyle.h"
#include "docx2html/insertions.h"
#include "docx2html/markup.h"
#include "docx2html/runs.h"

namespace tavin {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Offsets of every occurrence of marker in text, in order.
std::vector<std::size_t> occurrences(std::string_view text, std::string_view marker, std::uint64_t& work) {
    std::vector<std::size_t> out;
    for (std::size_t p = findText(text, marker); p != npos; p = findText(text, marker, p + 1)) out.push_back(p);
    work += text.size();
    return out;
}

// The first offset in sorted at or after from, or npos.
std::size_t firstAtOrAfter(const std::vector<std::size_t>& sorted, std::size_t from) {
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), from);
    return it == sorted.end() ? npos : *it;
}

// The first occurrence of marker + x + '"' in a text, for many x:
// occurrences of marker sorted by the attribute value that follows (up to
// the next quote).
class MarkerIndex {
public:
    MarkerIndex(std::string_view text, std::string_view marker, std::uint64_t& work) : work_(work) {
        for (const std::size_t p : occurrences(text, marker, work)) {
            const std::size_t v = p + marker.size();
            const std::size_t q = findCounting(text, '"', v, work);
            entries_.push_back({text.substr(v, q == npos ? npos : q - v), p});
        }
        std::sort(entries_.begin(), entries_.end());
    }

    // The first marker whose whole value is x.
    std::size_t firstWhole(const std::string& x) {
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), Entry{x, 0});
        work_ += x.size();
        return it != entries_.end() && it->value == x ? it->at : npos;
    }

private:
    struct Entry {
        std::string_view value;
        std::size_t at;
        bool operator<(const Entry& o) const { return value < o.value || (value == o.value && at < o.at); }
    };
    std::uint64_t& work_;
    std::vector<Entry> entries_;
};

// listTagFor for every list of a conversion, answered from positions found
// in one scan of the numbering part: each lookup used to search the part
// from its start, which made thousands of lists of their own numbering take
// seconds. The text between markers and values follow textBetween and
// attrValue exactly. listTagFor depends only on the first numId of its
// text; lists of one numbering share the answer.
class ListTagCache {
public:
    explicit ListTagCache(const ConversionContext& ctx)
        : text_(ctx.numberingText),
          nums_(text_, kNum, ctx.workBytes),
          abstracts_(text_, kAbstract, ctx.workBytes),
          numEnds_(occurrences(text_, "</num>", ctx.workBytes)),
          abstractEnds_(occurrences(text_, "</abstractNum>", ctx.workBytes)),
          abstractRefs_(occurrences(text_, kAbstractRef, ctx.workBytes)),
          formats_(occurrences(text_, kFormat, ctx.workBytes)),
          quotes_(occurrences(text_, "\"", ctx.workBytes)) {}

    const std::string& tagFor(std::string_view t) {
        const std::string numId = textBetween(t, "<numId val=\"", "\"");
        auto it = cache_.find(numId);
        if (it == cache_.end()) it = cache_.emplace(numId, lookUp(numId)).first;
        return it->second;
    }

private:
    static constexpr std::string_view kNum = "<num numId=\"";
    static constexpr std::string_view kAbstract = "<abstractNum abstractNumId=\"";
    static constexpr std::string_view kAbstractRef = "<abstractNumId val=\"";
    static constexpr std::string_view kFormat = "<numFmt val=\"";

    struct Range {
        std::size_t from = 0;
        std::size_t to = 0;  // empty when from >= to
    };

    // textBetween(text, marker + x + '"', endTag), as a range of the text:
    // ids are whole values ("1" is not "12").
    Range between(MarkerIndex& markers, std::size_t markerLength, const std::string& x,
                  const std::vector<std::size_t>& ends) const {
        const std::size_t p = markers.firstWhole(x);
        if (p == npos) return {};
        const std::size_t a = p + markerLength + x.size();
        const std::size_t e = firstAtOrAfter(ends, a);
        if (e == npos) return {};
        return {a, e};
    }

    // attrValue within a range: the text after the first marker lying wholly
    // in it, up to the next quote in it.
    std::string valueIn(Range r, const std::vector<std::size_t>& markers, std::size_t markerLength) const {
        if (r.from >= r.to) return {};
        const std::size_t s = firstAtOrAfter(markers, r.from);
        if (s == npos || s + markerLength > r.to) return {};
        const std::size_t a = s + markerLength;
        const std::size_t q = firstAtOrAfter(quotes_, a);
        if (q == npos || q >= r.to || q <= a) return {};
        return std::string(text_.substr(a, q - a));
    }

    std::string lookUp(const std::string& numId) {
        const Range num = between(nums_, kNum.size(), numId, numEnds_);
        const std::string abstractId = valueIn(num, abstractRefs_, kAbstractRef.size());
        const Range abstract = between(abstracts_, kAbstract.size(), abstractId, abstractEnds_);
        return valueIn(abstract, formats_, kFormat.size()) == "decimal" ? "ol" : "ul";
    }

    std::string_view text_;
    MarkerIndex nums_;
    MarkerIndex abstracts_;
    std::vector<std::size_t> numEnds_;
    std::vector<std::size_t> abstractEnds_;
    std::vector<std::size_t> abstractRefs_;
    std::vector<std::size_t> formats_;
    std::vector<std::size_t> quotes_;
    std::unordered_map<std::string, std::string> cache_;
};

int levelOf(std::string_view piece) { return strToInt(propVal(piece, "ilvl")); }

// White space as the pattern engine's \s knows it.
bool isPatternSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// onlyTags of t[start, end) for a walk whose ranges keep their start while
// their ends grow (list markers without paragraph starts between them): the
// whole tags already read from a start are not read again, so the walk stays
// linear where it would scan from the same start each time.
class TagsOnlyFrom {
public:
    TagsOnlyFrom(std::string_view t, std::uint64_t& work) : t_(t), work_(work) {}

    bool onlyTags(std::size_t start, std::size_t end) {
        if (start != start_ || end < end_) {
            start_ = start;
            pos_ = start;
            searched_ = 0;
            failed_ = false;
        }
        end_ = end;
        if (failed_) return false;
        const std::string_view range = t_.substr(0, end);
        while (pos_ < end) {
            // A text byte or "<>" fails the range and every longer one; a tag
            // cut off by the end may still close within a longer range.
            if (t_[pos_] != '<' || (pos_ + 1 < end && t_[pos_ + 1] == '>')) {
                failed_ = true;
                return false;
            }
            if (pos_ + 1 >= end) return false;
            const std::size_t gt = findCounting(range, '>', std::max(pos_ + 1, searched_), work_);
            if (gt == std::string_view::npos) {
                searched_ = end;
                return false;
            }
            pos_ = gt + 1;
            searched_ = 0;
        }
        return true;
    }

private:
    std::string_view t_;
    std::uint64_t& work_;
    std::size_t start_ = std::string_view::npos;
    std::size_t end_ = 0;
    std::size_t pos_ = 0;       // t[start, pos) is whole tags
    std::size_t searched_ = 0;  // no ">" for the tag at pos before this
    bool failed_ = false;
};

}  // namespace

namespace lists {

// Searching only up to there finds the same matches, and an item start after
// it is not scanned to the end of the text in vain.
std::size_t itemsEnd(std::string_view t, std::uint64_t& work) {
    for (std::size_t i = t.size(); i >= 5; --i) {
        const std::size_t p = i - 5;
        if (t[p] == '<' && t[p + 1] == '/' && lowerAscii(t[p + 2]) == 'l' && lowerAscii(t[p + 3]) == 'i' &&
            t[p + 4] == '>') {
            std::size_t end = i;
            while (end < t.size() && isPatternSpace(t[end])) ++end;
            work += t.size() - p;
            return end;
        }
    }
    work += t.size();
    return 0;
}

// A list start tag matches up to the first end tag of its kind at least one
// byte after it, and a start tag without one is passed over without
// searching the rest of the text again.
std::vector<Block> listBlocks(std::string_view t, std::uint64_t& work) {
    std::vector<Block> blocks;
    NextOccurrence ulEnd(t, "</ul>", true, &work);
    NextOccurrence olEnd(t, "</ol>", true, &work);
    std::size_t s = findCounting(t, '<', 0, work);
    while (s != std::string_view::npos && s + 4 <= t.size()) {
        const char kind = lowerAscii(t[s + 1]);
        if ((kind == 'u' || kind == 'o') && lowerAscii(t[s + 2]) == 'l' && t[s + 3] == '>') {
            const std::size_t end = (kind == 'u' ? ulEnd : olEnd).atOrAfter(s + 5);
            if (end != std::string_view::npos) {
                blocks.push_back({s, end + 5 - s});
                s = findCounting(t, '<', end + 5, work);
                continue;
            }
        }
        s = findCounting(t, '<', s + 1, work);
    }
    return blocks;
}

std::vector<std::string> listTagsFor(const ConversionContext& ctx, const std::vector<std::string>& texts) {
    ListTagCache tags(ctx);
    std::vector<std::string> out;
    out.reserve(texts.size());
    for (const std::string& t : texts) out.push_back(tags.tagFor(t));
    return out;
}

namespace {

std::vector<Block> matchesOf(TWSRegEx& rx, std::string_view pattern, std::string_view t) {
    std::vector<Block> out;
    rx.setPattern(pattern);
    rx.setSubject(std::string(t));
    if (rx.Match()) {
        do {
            out.push_back({static_cast<std::size_t>(rx.MatchedOffset() - 1), static_cast<std::size_t>(rx.MatchedLength())});
        } while (rx.MatchNext());
    }
    rx.setSubject(std::string());
    return out;
}

}  // namespace

std::vector<Block> listBlocksByPattern(TWSRegEx& rx, std::string_view t) {
    return matchesOf(rx, R"(<([uo]l)>.+?</\1>)", t);
}

std::vector<Block> itemGroupsByPattern(TWSRegEx& rx, std::string_view t) {
    return matchesOf(rx, R"(((<li>.+?</li>\s*)+))", t);
}

}  // namespace lists

void wrapListItems(ConversionContext& ctx) {
    ctx.listItemsFound = false;
    const std::string& t = ctx.workingText;
    std::size_t pos = t.find("<numPr>");
    if (pos == std::string::npos) return;
    ctx.listItemsFound = true;
    InsertionList ins;
    LastOccurrence paragraphStart(t, "<p>");
    TagsOnlyFrom tagsOnly(t, ctx.workBytes);
    while (pos != std::string::npos) {
        const std::size_t end = findCounting(t, "</p>", pos, ctx.workBytes);
        if (end == std::string::npos) break;  // no paragraph end: nothing more to wrap
        const std::size_t start = paragraphStart.atOrBefore(pos);
        if (start != std::string::npos) {
            if (!tagsOnly.onlyTags(start, end)) {
                ins.before(start, "<li>");
                ins.after(end + 4, "</li>");
            }
        }
        pos = findCounting(t, "<numPr>", end, ctx.workBytes);
    }
    if (!ins.empty()) ctx.workingText = ins.apply(t);
}

std::string listTagFor(const ConversionContext& ctx, std::string_view t) {
    const std::string numId = textBetween(t, "<numId val=\"", "\"");
    const std::string num = textBetween(ctx.numberingText, "<num numId=\"" + numId + "\"", "</num>");
    const std::string abstractId = attrValue(num, "<abstractNumId val");
    const std::string abstract =
        textBetween(ctx.numberingText, "<abstractNum abstractNumId=\"" + abstractId + "\"", "</abstractNum>");
    const std::string format = attrValue(abstract, "<numFmt val");
    return format == "decimal" ? "ol" : "ul";
}

void buildLists(ConversionContext& ctx) {
    if (!ctx.listItemsFound) return;
    TWSRegEx& rx = ctx.sharedRegex;
    ListTagCache tags(ctx);

    // Grouping: each run of items, separated by white space only, is wrapped
    // in its list at its own place.
    {
        rx.setPattern(R"(((<li>.+?</li>\s*)+))");
        const std::size_t limit = lists::itemsEnd(ctx.workingText, ctx.workBytes);
        rx.setSubject(ctx.workingText.substr(0, limit));
        const std::string& t = rx.Subject();
        std::string out;
        reserveText(out, ctx.workingText.size() + t.size() / 16);
        std::size_t copied = 0;
        if (rx.Match()) {
            do {
                const std::size_t s = static_cast<std::size_t>(rx.MatchedOffset() - 1);
                const std::size_t n = static_cast<std::size_t>(rx.MatchedLength());
                const std::string_view m = std::string_view(t).substr(s, n);
                ctx.currentListTag = tags.tagFor(m);
                out.append(t, copied, s - copied);
                out += "<" + ctx.currentListTag + ">";
                out.append(m);
                out += "</" + ctx.currentListTag + ">";
                copied = s + n;
            } while (rx.MatchNext());
        }
        out.append(t, copied, std::string::npos);
        out.append(ctx.workingText, limit, std::string::npos);
        rx.setSubject(std::string());
        ctx.workingText = std::move(out);
    }

    // Nesting: within each list block, an item whose level rises opens a list
    // and one whose level falls closes one. Once a block has changed, every
    // later block is rejoined too; a rejoined block replaces every block of
    // the same text that is still in place.
    const std::string t = std::move(ctx.workingText);
    const std::string_view tv = t;
    const std::vector<lists::Block> blocks = lists::listBlocks(tv, ctx.workBytes);

    std::unordered_map<std::string_view, std::vector<std::size_t>> sameText;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        sameText[tv.substr(blocks[i].offset, blocks[i].length)].push_back(i);
    }
    std::vector<std::string> replacement(blocks.size());
    std::vector<bool> replaced(blocks.size(), false);
    bool changed = false;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string_view b = tv.substr(blocks[i].offset, blocks[i].length);
        std::vector<std::string> items = splitText(b, "</li>");
        int prev = levelOf(items[0]);
        for (std::size_t k = 0; k + 1 < items.size(); ++k) {
            const int lv = levelOf(items[k]);
            if (lv > prev) {
                ctx.currentListTag = tags.tagFor(b);
                items[k] = "<" + ctx.currentListTag + ">" + items[k];
                changed = true;
            } else if (lv < prev) {
                items[k] = "</" + ctx.currentListTag + ">" + items[k];
            }
            prev = lv;
        }
        if (!changed || replaced[i]) continue;
        const std::string joined = joinList(items, "");
        for (std::size_t j : sameText[b]) {
            if (!replaced[j]) {
                replaced[j] = true;
                replacement[j] = joined;
            }
        }
    }

    std::string out;
    reserveText(out, t.size());
    std::size_t copied = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (!replaced[i]) continue;
        out.append(tv.substr(copied, blocks[i].offset - copied));
        out += replacement[i];
        copied = blocks[i].offset + blocks[i].length;
    }
    out.append(tv.substr(copied));
    ctx.workingText = std::move(out);
}

}  // namespace tavin
