// Tracked changes (changes.h). One walk over the tags of a text keeps the
// open elements on a stack, which says where a change stands: around runs
// (an insertion or deletion of text), in a paragraph mark's properties (a
// paragraph inserted or joined to the next), in a row's properties (a row
// inserted or deleted). Each change's author and date are read from its
// start tag with pugixml.
#include "docx2html/fidelity/changes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/references.h"

namespace tavin {

namespace {

using Kind = ConversionContext::TrackedChange::Kind;

// The kind of change an element of that name records; none for others.
std::optional<Kind> changeKind(std::string_view name) {
    if (name == "w:ins") return Kind::Inserted;
    if (name == "w:del") return Kind::Deleted;
    if (name == "w:moveTo") return Kind::MovedTo;
    if (name == "w:moveFrom") return Kind::MovedFrom;
    return std::nullopt;
}

bool removes(Kind k) { return k == Kind::Deleted || k == Kind::MovedFrom; }

// Elements that go whatever is shown: the properties a formatting change
// replaced, and the instructions of deleted fields.
bool neverShown(std::string_view name) {
    const std::string_view suffix = "PrChange";
    return (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) ||
           name == "w:tblGridChange" || name == "w:numberingChange" || name == "w:delInstrText";
}

// Author and date of a change's start tag, as written (entities decoded).
ConversionContext::TrackedChange readChange(std::string_view tag, Kind kind) {
    ConversionContext::TrackedChange c;
    c.kind = kind;
    // The start tag as an empty-element tag.
    tag.remove_suffix(tag.size() >= 2 && tag[tag.size() - 2] == '/' ? 2 : 1);
    std::string xml(tag);
    xml += "/>";
    pugi::xml_document doc;
    if (doc.load_buffer(xml.data(), xml.size())) {
        const pugi::xml_node e = doc.document_element();
        c.author = e.attribute("w:author").value();
        c.date = e.attribute("w:date").value();
    }
    return c;
}

struct Paragraph {
    std::size_t start = 0, headEnd = 0, endTag = std::string_view::npos, end = 0;
    // A formatting change inside the paragraph's properties, not copied
    // with them.
    std::size_t formerFrom = 0, formerTo = 0;
    bool markDeleted = false, section = false;
    // Shown: the change of the paragraph's mark (inserted or deleted), none
    // when -1.
    long markChange = -1;
};

struct Open {
    std::string_view name;
    std::size_t start = 0;
    std::optional<Kind> kind;
    bool erase = false;  // the whole element goes
    int paragraph = -1;
};

class ChangeWalk {
public:
    ChangeWalk(ConversionContext& ctx, std::string_view t) : ctx_(ctx), t_(t), shown_(ctx.showChanges) {
        for (const ConversionContext::TrackedChange& c : ctx.trackedChanges) authors_.try_emplace(c.author, c.authorPlace);
    }

    std::string run() {
        for (std::size_t lt = t_.find('<'); lt != std::string_view::npos; lt = t_.find('<', lt + 1)) {
            const std::size_t gt = t_.find('>', lt);
            if (gt == std::string_view::npos) break;
            if (lt + 1 < gt && t_[lt + 1] != '?' && t_[lt + 1] != '!') tag(lt, gt);
            lt = gt;
        }
        if (!shown_) joinParagraphs();
        return edits_.empty() ? std::string(t_) : edits_.apply(t_);
    }

private:
    static constexpr std::size_t kMaxDepth = 4096;

    void tag(std::size_t lt, std::size_t gt) {
        const bool close = t_[lt + 1] == '/';
        const std::size_t from = lt + (close ? 2 : 1);
        const std::size_t to = std::min(t_.find_first_of(" \t\r\n/>", from), gt);
        const std::string_view name = t_.substr(from, to - from);
        if (close) return endTag(name, lt, gt);
        if (t_[gt - 1] == '/') return emptyTag(name, lt, gt);
        startTag(name, lt, gt);
    }

    void startTag(std::string_view name, std::size_t lt, std::size_t gt) {
        Open open;
        open.name = name;
        open.start = lt;
        open.kind = changeKind(name);
        open.erase = neverShown(name) || (open.kind && !shown_ && removes(*open.kind));
        if (open.kind && !open.erase) changeStart(*open.kind, lt, gt);
        if (name == "w:p") {
            open.paragraph = static_cast<int>(paragraphs_.size());
            paragraphs_.push_back({lt, gt + 1});
        }
        if (Paragraph* p = name == "w:sectPr" && parent(0) == "w:pPr" ? paragraphOf(1) : nullptr) p->section = true;
        if (stack_.size() < kMaxDepth) stack_.push_back(open);
    }

    void emptyTag(std::string_view name, std::size_t lt, std::size_t gt) {
        if (neverShown(name)) return edits_.erase(lt, gt + 1 - lt);
        const std::optional<Kind> kind = changeKind(name);
        if (!kind) return;
        Paragraph* mark = parent(0) == "w:rPr" && parent(1) == "w:pPr" ? paragraphOf(2) : nullptr;
        if (shown_ && mark != nullptr) {
            mark->markChange = static_cast<long>(record(lt, gt, *kind));
        }
        if (shown_ || !removes(*kind)) return;
        // A deleted paragraph mark, or a deleted row.
        if (mark != nullptr) mark->markDeleted = true;
        if (parent(0) == "w:trPr" && stack_.size() >= 2 && stack_[stack_.size() - 2].name == "w:tr")
            stack_[stack_.size() - 2].erase = true;
    }

    void endTag(std::string_view name, std::size_t lt, std::size_t gt) {
        // Well-formed text closes the innermost element; a few levels of
        // slack for text that is not, and no search of a deep stack.
        std::size_t i = stack_.size();
        for (std::size_t tried = 0; i > 0 && tried < 8 && stack_[i - 1].name != name; ++tried) --i;
        if (i == 0 || stack_[i - 1].name != name) return;
        const Open open = stack_[i - 1];
        stack_.resize(i - 1);
        if (open.erase) {
            edits_.erase(open.start, gt + 1 - open.start);
            if (Paragraph* p = neverShown(name) && parent(0) == "w:pPr" ? paragraphOf(1) : nullptr) {
                p->formerFrom = open.start;
                p->formerTo = gt + 1;
            }
        } else if (open.kind) {
            changeEnd(*open.kind, lt, gt);
        }
        if (Paragraph* p = name == "w:pPr" ? paragraphOf(0) : nullptr) p->headEnd = gt + 1;
        if (open.paragraph >= 0) {
            Paragraph& p = paragraphs_[static_cast<std::size_t>(open.paragraph)];
            p.endTag = lt;
            p.end = gt + 1;
            if (p.markChange >= 0) markChange(lt, static_cast<std::size_t>(p.markChange));
        }
    }

    // A changed paragraph mark: an empty change at the paragraph's end,
    // which gives it the bar and its author.
    void markChange(std::size_t at, std::size_t index) {
        const bool removed = removes(ctx_.trackedChanges[index].kind);
        edits_.insert(at, std::string(removed ? "<w:del>" : "<w:ins>") + marker::change(index) + (removed ? "</w:del>" : "</w:ins>"));
    }

    // A change around runs: shown, an ins or del element with its marker;
    // accepted, an insertion loses its tags and keeps its text.
    void changeStart(Kind kind, std::size_t lt, std::size_t gt) {
        if (!shown_) return edits_.erase(lt, gt + 1 - lt);
        const std::size_t index = record(lt, gt, kind);
        edits_.replace(lt, gt + 1 - lt, std::string(removes(kind) ? "<w:del>" : "<w:ins>") + marker::change(index));
    }

    void changeEnd(Kind kind, std::size_t lt, std::size_t gt) {
        if (!shown_) return edits_.erase(lt, gt + 1 - lt);
        if (kind == Kind::MovedTo || kind == Kind::MovedFrom)
            edits_.replace(lt, gt + 1 - lt, removes(kind) ? "</w:del>" : "</w:ins>");
    }

    // The change whose start tag is [lt, gt], added to ctx.trackedChanges;
    // its index there.
    std::size_t record(std::size_t lt, std::size_t gt, Kind kind) {
        ConversionContext::TrackedChange c = readChange(t_.substr(lt, gt + 1 - lt), kind);
        c.authorPlace = authors_.try_emplace(c.author, authors_.size()).first->second;
        ctx_.trackedChanges.push_back(std::move(c));
        return ctx_.trackedChanges.size() - 1;
    }

    // The name of the open element depth levels above the innermost.
    std::string_view parent(std::size_t depth) const {
        return stack_.size() > depth ? stack_[stack_.size() - 1 - depth].name : std::string_view();
    }
    // The paragraph of the open element depth levels up, if it is one.
    Paragraph* paragraphOf(std::size_t depth) {
        const int i = stack_.size() > depth ? stack_[stack_.size() - 1 - depth].paragraph : -1;
        return i < 0 ? nullptr : &paragraphs_[static_cast<std::size_t>(i)];
    }

    // The paragraph starting right after p ends (blanks between), or none.
    const Paragraph* nextOf(const Paragraph& p) const {
        std::size_t at = p.end;
        while (at < t_.size() && (t_[at] == ' ' || t_[at] == '\r' || t_[at] == '\n' || t_[at] == '\t')) ++at;
        const auto it = std::lower_bound(paragraphs_.begin(), paragraphs_.end(), at,
                                         [](const Paragraph& q, std::size_t v) { return q.start < v; });
        return it != paragraphs_.end() && it->start == at && it->endTag != std::string_view::npos ? &*it : nullptr;
    }

    // A paragraph whose mark was deleted runs on into the next one: its
    // text goes under the properties of the first paragraph after it whose
    // mark stays (a section's last paragraph keeps its own).
    void joinParagraphs() {
        for (const Paragraph& p : paragraphs_) {
            if (!p.markDeleted || p.section || p.endTag == std::string_view::npos) continue;
            const Paragraph* next = nextOf(p);
            if (next == nullptr) continue;
            const Paragraph* kept = next;
            while (kept->markDeleted && !kept->section) {
                const Paragraph* after = nextOf(*kept);
                if (after == nullptr) break;
                kept = after;
            }
            std::string head(t_.substr(kept->start, kept->headEnd - kept->start));
            if (kept->formerTo > kept->formerFrom && kept->formerFrom >= kept->start && kept->formerTo <= kept->headEnd)
                head.erase(kept->formerFrom - kept->start, kept->formerTo - kept->formerFrom);
            edits_.replace(p.start, p.headEnd - p.start, std::move(head));
            edits_.erase(p.endTag, next->headEnd - p.endTag);
        }
    }

    ConversionContext& ctx_;
    std::string_view t_;
    bool shown_;
    std::vector<Open> stack_;
    std::vector<Paragraph> paragraphs_;
    std::unordered_map<std::string, std::size_t> authors_;
    EditList edits_;
};

// Does the text hold anything the walk changes? One look at the name after
// each "<", and one search for "PrChange".
bool startsAChange(std::string_view name) {
    const auto starts = [&](std::string_view s) { return name.substr(0, s.size()) == s; };
    switch (name.size() > 2 ? name[2] : 0) {
        case 'i': return starts("w:ins ") || starts("w:ins>");
        case 'd': return starts("w:del ") || starts("w:del>") || starts("w:delInstrText");
        case 'm': return starts("w:moveTo") || starts("w:moveFrom");
        case 't': return starts("w:tblGridChange");
        case 'n': return starts("w:numberingChange");
        default: return false;
    }
}

}  // namespace

bool holdsChanges(std::string_view t) {
    const char* const begin = t.data();
    const char* const end = begin + t.size();
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)))) != nullptr; ++p) {
        const std::size_t lt = static_cast<std::size_t>(p - begin);
        if (t.size() - lt > 6 && p[1] == 'w' && p[2] == ':' && startsAChange(t.substr(lt + 1, 18))) return true;
    }
    return findText(t, "PrChange") != std::string_view::npos;
}

namespace {

// Word's colours for the first authors of a document's changes, then
// again from the first.
constexpr std::array<std::string_view, 8> kAuthorColours = {"#b5082e", "#2e74b5", "#00806b", "#7030a0",
                                                            "#c55a11", "#385723", "#bf8f00", "#843c0c"};

std::string_view kindLabel(Kind k) {
    switch (k) {
        case Kind::Inserted: return "Inserted";
        case Kind::Deleted: return "Deleted";
        case Kind::MovedTo: return "Moved here";
        case Kind::MovedFrom: return "Moved away";
    }
    return {};
}

}  // namespace

std::string trackedChanges(ConversionContext& ctx, std::string_view text) {
    if (!holdsChanges(text)) return std::string(text);
    ctx.workBytes += text.size();
    return ChangeWalk(ctx, text).run();
}

void trackedChanges(ConversionContext& ctx) {
    if (!holdsChanges(ctx.workingText)) return;
    ctx.workBytes += ctx.workingText.size();
    ctx.workingText = ChangeWalk(ctx, ctx.workingText).run();
}

std::string changeAttributes(const ConversionContext& ctx, std::size_t index) {
    if (index >= ctx.trackedChanges.size()) return {};
    const ConversionContext::TrackedChange& c = ctx.trackedChanges[index];
    const std::size_t author = c.authorPlace % kAuthorColours.size();
    std::string title(kindLabel(c.kind));
    if (!c.author.empty() || !c.date.empty()) title += ":";
    if (!c.author.empty()) title += " " + c.author;
    if (!c.author.empty() && !c.date.empty()) title += ",";
    if (!c.date.empty()) title += " " + readableDate(c.date);
    // Moves are green whoever made them.
    const bool moved = c.kind == Kind::MovedTo || c.kind == Kind::MovedFrom;
    const std::string classes = moved ? "tvmoved" : "tvchange tvauthor" + std::to_string(author);
    return " class=\"" + classes + "\" title=\"" + escapeHtml(title) + "\"";
}

std::string changeBar(std::string_view style) {
    // The last left margin the style declares, when it is a plain length.
    std::string indent;
    for (std::size_t at = style.find("margin-left:"); at != std::string_view::npos; at = style.find("margin-left:", at + 1)) {
        if (at != 0 && style[at - 1] != ';' && style[at - 1] != ' ') continue;
        const std::size_t from = at + 12, end = std::min(style.find(';', from), style.size());
        indent = std::string(style.substr(from, end - from));
    }
    const bool length = !indent.empty() && indent.find_first_not_of("0123456789.-abcdefghijklmnopqrstuvwxyz%") == std::string::npos;
    // All of it inline: the clean-up gives the element its one class. (Its
    // height is the paragraph's: with "bottom:0" the print layout of Qt's
    // web engine moves the whole sheet's text down.)
    return "<b style=\"position:absolute;top:0;height:100%;width:0;border-left:1px solid #000;left:" +
           (length ? "calc(-12px - " + indent + ")" : std::string("-12px")) + "\"></b>";
}

std::string changeRules(const ConversionContext& ctx) {
    std::string rules =
        "ins.tvchange{text-decoration:underline}\r\ndel.tvchange{text-decoration:line-through}\r\n"
        "ins.tvmoved{text-decoration:underline double}\r\ndel.tvmoved{text-decoration:line-through double}\r\n"
        "ins.tvmoved,del.tvmoved,ins.tvmoved *,del.tvmoved *{color:#00a000}\r\n";
    std::size_t authors = 0;
    for (const ConversionContext::TrackedChange& c : ctx.trackedChanges) authors = std::max(authors, c.authorPlace + 1);
    authors = std::min(authors, kAuthorColours.size());
    for (std::size_t i = 0; i < authors; ++i) {
        // Over the colours of the runs inside (class rules of one class).
        const std::string c = ".tvauthor" + std::to_string(i);
        rules += "ins" + c + ",del" + c + ",ins" + c + " *,del" + c + " *{color:" + std::string(kAuthorColours[i]) + "}\r\n";
    }
    return rules;
}

}  // namespace tavin
