// Removing active content from the finished page. The page is read as a
// browser reads it, by an HTML5 parser (comments, raw-text elements, tags
// that a deletion joins), and what could run, load or point outside the
// document is deleted at the places the parser reports. The page is read
// again until a reading finds nothing more, so what is left is what a
// browser sees.
#include "docx2html/sanitize.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/html.h"

namespace tavin {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f'); }
int hexValue(char c) { return isDigit(c) ? c - '0' : lowerAscii(c) - 'a' + 10; }

template <std::size_t N>
bool among(std::string_view name, const std::array<std::string_view, N>& names) {
    // Names are short: their length and first letter settle most of them.
    if (name.empty()) return std::find(names.begin(), names.end(), name) != names.end();
    for (const std::string_view n : names) {
        if (n.size() == name.size() && n[0] == name[0] && n == name) return true;
    }
    return false;
}

// Elements whose tags go from every page (their text stays): they run,
// load, submit, or switch the parser into reading raw text.
constexpr std::array<std::string_view, 29> kActiveElements = {
    "script", "style",    "iframe", "frame",   "frameset", "object", "embed",     "applet",   "meta",   "link",
    "base",   "form",     "input",  "button",  "select",   "textarea", "svg",     "audio",    "video",  "source",
    "track",  "portal",   "noscript", "template", "xmp",   "noembed", "noframes", "plaintext", "title"};

// What a converted document's page is made of; with Full Fidelity only
// these stay.
constexpr std::array<std::string_view, 41> kPageElements = {
    "html", "head", "body", "title", "meta",  "style", "div",  "p",   "span", "a",     "b",
    "i",    "u",    "s",    "strike", "sub",  "sup",   "br",   "hr",  "img",  "table", "tbody",
    "thead", "tfoot", "tr", "td",    "th",    "col",   "colgroup", "caption", "ol", "ul", "li",
    "h1",   "h2",   "h3",   "h4",    "h5",    "h6",    "ins",  "del"};
constexpr std::array<std::string_view, 29> kMathElements = {
    "math",   "mi",    "mo",      "mn",        "ms",        "mtext",   "mspace",   "mrow",  "mfrac",  "msqrt",
    "mroot",  "msub",  "msup",    "msubsup",   "munder",    "mover",   "munderover", "mmultiscripts",
    "mprescripts", "none", "mtable", "mtr",    "mtd",       "mstyle",  "mpadded",  "mphantom", "menclose",
    "semantics", "annotation"};
// The drawings of a Full Fidelity page (shapes, charts, watermarks): plain
// geometry, text and paint, nothing that links, loads, animates or embeds.
constexpr std::array<std::string_view, 17> kSvgElements = {
    "svg",  "g",     "path",     "rect", "circle", "ellipse",        "line",           "polyline", "polygon",
    "text", "tspan", "title",    "defs", "stop",   "lineargradient", "radialgradient", "marker"};
// Their attributes, in lower case (the parser gives some in camel case).
constexpr std::string_view kSvgAttributes =
    " xmlns viewbox preserveaspectratio width height x y x1 y1 x2 y2 cx cy r rx ry fx fy dx dy d points"
    " fill fill-opacity fill-rule stroke stroke-width stroke-dasharray stroke-linecap stroke-linejoin"
    " stroke-miterlimit stroke-opacity opacity transform font-size font-family font-weight font-style"
    " text-anchor dominant-baseline letter-spacing textlength lengthadjust role aria-label offset stop-color stop-opacity"
    " gradientunits gradienttransform spreadmethod markerwidth markerheight refx refy orient markerunits"
    " marker-start marker-mid marker-end overflow class id ";

bool svgAttribute(std::string_view name) {
    const std::string lower = lowerCase(name);
    const std::size_t at = kSvgAttributes.find(" " + lower + " ");
    return at != std::string_view::npos;
}

// A paint or marker reference of the drawing itself ("url(#g1)"): the only
// url() an SVG attribute may hold.
bool fragmentReference(std::string_view value) {
    const std::string v = lowerCase(trimText(value));
    if (v.size() < 7 || v.compare(0, 5, "url(#") != 0 || v.back() != ')') return false;
    for (std::size_t i = 5; i + 1 < v.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(v[i])) && v[i] != '-' && v[i] != '_') return false;
    return true;
}

// Attributes any element of the page may carry, and those of single elements.
constexpr std::array<std::string_view, 6> kGlobalAttributes = {"class", "style", "id", "dir", "lang", "title"};
struct ElementAttributes {
    std::string_view element;
    std::string_view names;  // separated by blanks, each followed by one
};
constexpr std::array<ElementAttributes, 32> kElementAttributes = {{
    {"a", "href name "},
    {"img", "src alt width height align "},
    {"table", "align border cellspacing cellpadding width "},
    {"td", "colspan rowspan width height align valign "},
    {"th", "colspan rowspan width height align valign "},
    {"tr", "height align valign "},
    {"col", "span width "},
    {"colgroup", "span width "},
    {"br", "clear "},
    {"ol", "start type "},
    {"li", "value "},
    {"p", "align "},
    {"div", "align "},
    {"h1", "align "},
    {"h2", "align "},
    {"h3", "align "},
    {"h4", "align "},
    {"h5", "align "},
    {"h6", "align "},
    {"meta", "http-equiv content "},
    {"math", "xmlns display "},
    {"mi", "mathvariant "},
    {"mo", "stretchy fence separator accent largeop movablelimits form lspace rspace mathvariant "},
    {"mover", "accent "},
    {"munder", "accentunder "},
    {"mfrac", "linethickness "},
    {"munderover", "accent accentunder "},
    {"mstyle", "displaystyle scriptlevel mathvariant "},
    {"mtable", "columnalign rowalign "},
    {"mtd", "columnspan rowspan columnalign "},
    {"menclose", "notation "},
    {"mspace", "width height depth "},
}};

bool listedFor(std::string_view element, std::string_view attribute) {
    auto in = [&](const auto& table) {
        for (const ElementAttributes& e : table) {
            if (e.element != element) continue;
            for (std::size_t at = e.names.find(attribute); at != std::string_view::npos;
                 at = e.names.find(attribute, at + 1)) {
                if ((at == 0 || e.names[at - 1] == ' ') && e.names[at + attribute.size()] == ' ') return true;
            }
        }
        return false;
    };
    return among(attribute, kGlobalAttributes) || in(kElementAttributes);
}

// The CSS properties a converted page uses; with Full Fidelity only these stay.
constexpr std::array<std::string_view, 92> kPageProperties = {
    "_height", "background", "background-color", "border", "border-bottom", "border-collapse", "border-color",
    "border-left", "border-right", "border-top", "border-style", "border-width", "border-spacing", "box-sizing",
    "break-after", "break-before", "break-inside", "page-break-after", "page-break-before", "page-break-inside",
    "color", "content", "direction", "display", "disply", "flex-direction", "float", "clear", "font", "font-family",
    "font-size", "font-style", "font-variant", "font-weight", "font-display", "src", "height", "left", "top",
    "letter-spacing", "line-height", "list-style", "list-style-type", "margin", "margin-bottom", "margin-left",
    "margin-right", "margin-top", "min-height", "order", "overflow", "padding", "padding-bottom", "padding-left",
    "padding-right", "padding-top", "position", "text-align", "text-decoration", "text-indent", "text-transform",
    "vertical-align",
    "white-space", "width", "unicode-bidi", "text-decoration-line", "text-decoration-style", "text-decoration-color",
    "max-width", "overflow-x", "font-stretch", "writing-mode", "text-underline-position", "word-spacing", "visibility",
    "size", "page", "column-count", "column-gap", "column-rule", "column-fill", "flex", "align-items", "min-width", "zoom",
    "transform", "transform-origin", "z-index", "justify-content", "right", "bottom", "opacity"};

// Whether a declaration ("name:value") names a property a page uses; a
// piece without a colon declares nothing.
bool pageProperty(std::string_view declaration) {
    const std::size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string name = lowerCase(trimText(declaration.substr(0, colon)));
    return among(std::string_view(name), kPageProperties);
}

// Named references that can spell a scheme or hide its letters.
struct NamedReference {
    std::string_view name;
    char value;
};
constexpr std::array<NamedReference, 9> kNamedReferences = {{{"colon", ':'},
                                                             {"Tab", '\t'},
                                                             {"NewLine", '\n'},
                                                             {"amp", '&'},
                                                             {"sol", '/'},
                                                             {"semi", ';'},
                                                             {"lpar", '('},
                                                             {"rpar", ')'},
                                                             {"bsol", '\\'}}};

// CSS as the browser reads it, for the search of what loads: escapes
// decoded, blanks and control bytes removed, letters in lower case;
// comments removed when dropComments is set, else kept as text.
std::string cssAsRead(std::string_view css, bool dropComments) {
    std::string s;
    for (std::size_t i = 0; i < css.size(); ++i) {
        const char c = css[i];
        if (dropComments && c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t end = css.find("*/", i + 2);
            if (end == std::string_view::npos) break;
            i = end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < css.size()) {
            // A CSS escape: up to six hex digits and one blank, or the next
            // character as itself.
            std::size_t j = i + 1;
            std::uint32_t v = 0;
            while (j < css.size() && j < i + 7 && isHex(css[j])) v = v * 16 + static_cast<std::uint32_t>(hexValue(css[j++]));
            if (j > i + 1) {
                if (j < css.size() && isBlank(css[j])) ++j;
                if (v < 0x80 && v > 0x20) s.push_back(lowerAscii(static_cast<char>(v)));
                i = j - 1;
            } else {
                s.push_back(lowerAscii(css[j]));
                i = j;
            }
            continue;
        }
        if (static_cast<unsigned char>(c) > 0x20) s.push_back(lowerAscii(c));
    }
    return s;
}

bool loadsInCss(const std::string& s) {
    for (std::string_view word : {"url(", "@import", "expression(", "image-set(", "image(", "src(", "element("})
        if (s.find(word) != std::string::npos) return true;
    return false;
}

}  // namespace

std::string decodeCharacterReferences(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    std::size_t i = 0;
    while (i < v.size()) {
        if (v[i] != '&') {
            out.push_back(v[i++]);
            continue;
        }
        std::size_t j = i + 1;
        if (j < v.size() && v[j] == '#') {
            ++j;
            const bool hex = j < v.size() && (v[j] == 'x' || v[j] == 'X');
            if (hex) ++j;
            const std::size_t digits = j;
            std::uint32_t c = 0;
            for (; j < v.size() && (hex ? isHex(v[j]) : isDigit(v[j])); ++j) {
                c = c * (hex ? 16 : 10) + static_cast<std::uint32_t>(hex ? hexValue(v[j]) : v[j] - '0');
                if (c > 0x10FFFF) c = 0x110000;
            }
            if (j == digits) {
                out.push_back(v[i++]);
                continue;
            }
            if (j < v.size() && v[j] == ';') ++j;
            appendUtf8(out, c == 0 ? 0xFFFD : c);
            i = j;
            continue;
        }
        bool found = false;
        for (const NamedReference& r : kNamedReferences) {
            if (v.substr(j, r.name.size()) == r.name && j + r.name.size() < v.size() && v[j + r.name.size()] == ';') {
                out.push_back(r.value);
                i = j + r.name.size() + 1;
                found = true;
                break;
            }
        }
        if (!found) out.push_back(v[i++]);
    }
    return out;
}

bool isActiveAddress(std::string_view value) {
    std::string s;
    for (char c : decodeCharacterReferences(value))
        if (static_cast<unsigned char>(c) > 0x20) s.push_back(lowerAscii(c));
    for (std::string_view scheme : {"javascript:", "vbscript:", "data:", "file:"})
        if (s.compare(0, scheme.size(), scheme) == 0) return true;
    return false;
}

bool isLocalAddress(std::string_view value) {
    std::string s;
    for (char c : decodeCharacterReferences(value)) {
        if (c == '\t' || c == '\n' || c == '\r') continue;  // the URL parser drops these anywhere
        s.push_back(c == '\\' ? '/' : c);
    }
    const std::string_view v = trimText(s);
    if (v.empty()) return true;
    if (v.front() == '/') return false;  // the root, or another host
    const std::size_t end = v.find_first_of("/?#");
    if (v.substr(0, end).find(':') != std::string_view::npos) return false;  // a scheme
    // No segment may climb out of the page's folder, "%2e" being a dot too.
    const std::string_view path = v.substr(0, v.find_first_of("?#"));
    for (std::size_t from = 0; from <= path.size();) {
        std::size_t slash = path.find('/', from);
        if (slash == std::string_view::npos) slash = path.size();
        const std::string segment = lowerCase(path.substr(from, slash - from));
        if (replaceAll(segment, "%2e", ".") == "..") return false;
        from = slash + 1;
    }
    return true;
}

bool isActiveCss(std::string_view css) {
    // Comments join what they separate ("u/**/rl("), and hide nothing a
    // string around them shows ("'/*' url(x) '*/'"): both readings count.
    return loadsInCss(cssAsRead(css, true)) || loadsInCss(cssAsRead(css, false));
}

namespace {

// A style attribute's value without its active declarations (and, on
// allowList pages, without properties a page does not use); the value as
// it stands when nothing goes.
std::string filteredStyle(std::string_view decoded, bool allowList, bool& changed) {
    changed = false;
    std::string kept;
    for (const std::string& decl : splitText(decoded, ";")) {
        if (isActiveCss(decl) || decl.find('<') != std::string::npos || (allowList && !pageProperty(decl))) {
            changed = true;
            continue;
        }
        if (!kept.empty()) kept += ';';
        kept += decl;
    }
    return kept;
}

// Style rules without their active pieces: each piece between ";", "{" and
// "}" that could load or run something, or that holds a "<", is dropped
// with the ";" after it; on allowList pages so are declarations of
// properties a page does not use.
std::string filteredRules(std::string_view rules, bool allowList) {
    std::string out;
    out.reserve(rules.size());
    std::size_t i = 0;
    while (i < rules.size()) {
        std::size_t d = rules.find_first_of(";{}", i);
        if (d == std::string_view::npos) d = rules.size();
        const std::string_view piece = rules.substr(i, d - i);
        const bool declaration = d == rules.size() || rules[d] != '{';
        const bool active = isActiveCss(piece) || piece.find('<') != std::string_view::npos ||
                            (allowList && declaration && !pageProperty(piece));
        if (active) {
            if (d < rules.size() && rules[d] != ';') out.push_back(rules[d]);
        } else {
            out.append(piece);
            if (d < rules.size()) out.push_back(rules[d]);
        }
        i = d + 1;
    }
    return out;
}

// Gumbo's nodes for one reading, in blocks freed together: freeing a tree
// nested a million deep costs no recursion. Gumbo grows its strings and
// vectors by taking a larger block and giving the old one back: a block
// given back is kept by its size class for the next request of that class,
// so the arena holds what the tree holds, not every block it outgrew.
class Arena {
public:
    static void* allocate(void* self, std::size_t n) { return static_cast<Arena*>(self)->take(n); }
    static void release(void* self, void* p) {
        if (p != nullptr) static_cast<Arena*>(self)->giveBack(p);
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    static constexpr std::size_t kUnit = 16;      // the alignment, and the size of a block's head
    static constexpr std::size_t kSmall = 1024;   // up to here, classes 16 bytes apart
    static constexpr std::size_t kClasses = kSmall / kUnit + 32;  // the largest class holds 2 TiB

    // The class of a request of n bytes, and the size a block of it holds.
    static std::size_t classOf(std::size_t n) {
        if (n <= kSmall) return n == 0 ? 0 : (n - 1) / kUnit;
        return kSmall / kUnit + static_cast<std::size_t>(std::bit_width(n - 1)) - 10;
    }
    static std::size_t sizeOf(std::size_t k) {
        return k < kSmall / kUnit ? (k + 1) * kUnit : std::size_t{1} << (k - kSmall / kUnit + 10);
    }

    void* take(std::size_t n) {
        const std::size_t k = classOf(n);
        if (k >= kClasses) throw std::bad_alloc();
        std::byte* head = free_[k];
        if (head != nullptr) {
            std::memcpy(&free_[k], head + sizeof(std::size_t), sizeof(std::byte*));
        } else {
            head = carve(kUnit + sizeOf(k));
        }
        std::memcpy(head, &k, sizeof k);
        return head + kUnit;
    }

    void giveBack(void* p) {
        std::byte* head = static_cast<std::byte*>(p) - kUnit;
        std::size_t k = 0;
        std::memcpy(&k, head, sizeof k);
        std::memcpy(head + sizeof(std::size_t), &free_[k], sizeof(std::byte*));
        free_[k] = head;
    }

    std::byte* carve(std::size_t n) {
        if (n > kBlock / 8) return blocks_.emplace_back(new std::byte[n]).get();
        if (current_ == nullptr || used_ + n > kBlock) {
            current_ = blocks_.emplace_back(new std::byte[kBlock]).get();
            used_ = 0;
        }
        std::byte* p = current_ + used_;
        used_ += n;
        return p;
    }

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* current_ = nullptr;
    std::size_t used_ = 0;
    std::array<std::byte*, kClasses> free_{};
};

// One change to the page: [from, to) becomes text. A tag or comment taken
// out must not let a "<" before it start a tag with what follows.
struct PageEdit {
    std::size_t from, to;
    std::string text;
    bool joins;
};

// One reading of the page and the edits it calls for.
class Reading {
public:
    Reading(std::string_view page, bool allowList, bool escapeTags)
        : page_(page), allowList_(allowList), escapeTags_(escapeTags) {
        GumboOptions options = kGumboDefaultOptions;
        options.allocator = &Arena::allocate;
        options.deallocator = &Arena::release;
        options.userdata = &arena_;
        options.max_errors = 0;
        GumboOutput* out = gumbo_parse_with_options(&options, page.data(), page.size());
        walk(out->document);
    }
    std::vector<PageEdit>& edits() { return edits_; }

private:
    std::size_t offsetOf(const char* p) const { return static_cast<std::size_t>(p - page_.data()); }

    void walk(const GumboNode* root) {
        std::vector<const GumboNode*> stack{root};
        while (!stack.empty()) {
            const GumboNode* node = stack.back();
            stack.pop_back();
            const GumboVector* children = nullptr;
            switch (node->type) {
                case GUMBO_NODE_DOCUMENT: children = &node->v.document.children; break;
                case GUMBO_NODE_ELEMENT:
                case GUMBO_NODE_TEMPLATE:
                    element(node);
                    children = &node->v.element.children;
                    break;
                case GUMBO_NODE_COMMENT:
                case GUMBO_NODE_CDATA: comment(node->v.text.original_text); break;
                default: break;
            }
            if (children == nullptr) continue;
            for (unsigned i = children->length; i-- > 0;) stack.push_back(static_cast<const GumboNode*>(children->data[i]));
        }
    }

    // A comment is never shown. One that every parser ends where this one
    // does stays on the classic page; any other goes whole (or, if it never
    // ends and would hide the rest of the page, loses its "<").
    void comment(const GumboStringPiece& text) {
        if (text.length == 0) return;
        const std::size_t from = offsetOf(text.data);
        const std::string_view c(text.data, text.length);
        const bool closed = closedComment(c);
        if (!closed || escapeTags_) {
            edits_.push_back({from, from + 1, "&lt;", false});
        } else if (allowList_ || !plainComment(c)) {
            edits_.push_back({from, from + text.length, {}, true});
        }
    }

    // Whether a comment ends before the page does: "<!--" ones at "-->",
    // "--!>" or right away ("<!-->"), bogus ones ("<?xml ...>") at a ">".
    static bool closedComment(std::string_view c) {
        if (c.substr(0, 4) != "<!--") return c.back() == '>';
        if (c == "<!-->" || c == "<!--->") return true;
        return c.size() >= 7 && (c.substr(c.size() - 3) == "-->" || c.substr(c.size() - 4) == "--!>");
    }

    // "<!-- text -->" whose text holds nothing that parsers read two ways,
    // or a bogus comment such as "<?xml ...?>", which ends at its only ">".
    static bool plainComment(std::string_view c) {
        if (c.substr(0, 4) != "<!--") return c.find('>') == c.size() - 1;
        if (c.size() < 7 || c.substr(c.size() - 3) != "-->") return false;
        const std::string_view inner = c.substr(4, c.size() - 7);
        return inner.substr(0, 1) != ">" && inner.substr(0, 2) != "->" && inner.find("<!--") == std::string_view::npos &&
               inner.find("--!") == std::string_view::npos && inner.find("-->") == std::string_view::npos;
    }

    static std::string nameOf(const GumboElement& e) {
        if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
        GumboStringPiece name = e.original_tag;
        if (name.length == 0) return {};
        gumbo_tag_from_original_text(&name);
        return lowerCase(std::string_view(name.data, name.length));
    }

    static bool inHead(const GumboNode* node) {
        const GumboNode* parent = node->parent;
        return parent != nullptr && parent->type == GUMBO_NODE_ELEMENT && parent->v.element.tag == GUMBO_TAG_HEAD;
    }

    // The page's own head elements: its title, its character set and
    // policy, and its style rules (which are checked as the body is).
    bool ownHeadElement(const GumboNode* node, std::string_view name) {
        if (!inHead(node) || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
        if (name == "style") return true;
        if (name == "title") return !std::exchange(titleSeen_, true);
        if (name != "meta") return false;
        const GumboAttribute* equiv = gumbo_get_attribute(&node->v.element.attributes, "http-equiv");
        const std::string kind = equiv ? lowerCase(equiv->value) : std::string();
        return kind == "content-type" || kind == "content-security-policy";
    }

    bool keepsTags(const GumboNode* node, std::string_view name) {
        const GumboElement& e = node->v.element;
        if (ownHeadElement(node, name)) return true;
        if (e.tag_namespace == GUMBO_NAMESPACE_SVG) return allowList_ && among(name, kSvgElements);
        if (among(name, kActiveElements)) return false;
        if (!allowList_) return true;
        if (e.tag_namespace == GUMBO_NAMESPACE_MATHML) return among(name, kMathElements);
        return among(name, kPageElements) && name != "title" && name != "meta" && name != "style";
    }

    // A tag of the element named name. The parser also gives an element
    // closed by another's end tag that end tag, which is not its own.
    void dropTag(const GumboStringPiece& tag, std::string_view name) {
        if (tag.length == 0) return;
        GumboStringPiece tagName = tag;
        gumbo_tag_from_original_text(&tagName);
        if (lowerCase(std::string_view(tagName.data, tagName.length)) != name) return;
        const std::size_t from = offsetOf(tag.data);
        if (escapeTags_) edits_.push_back({from, from + 1, "&lt;", false});
        else edits_.push_back({from, from + tag.length, {}, true});
    }

    void element(const GumboNode* node) {
        const GumboElement& e = node->v.element;
        const std::string name = nameOf(e);
        if (!keepsTags(node, name)) {
            dropTag(e.original_tag, name);
            dropTag(e.original_end_tag, name);
            return;
        }
        for (unsigned i = 0; i < e.attributes.length; ++i)
            attribute(name, *static_cast<const GumboAttribute*>(e.attributes.data[i]),
                      e.tag_namespace == GUMBO_NAMESPACE_SVG);
        if (name == "style" && e.children.length > 0) styleText(e.children);
    }

    // The range of an attribute in the page, with the blanks before it.
    std::pair<std::size_t, std::size_t> rangeOf(const GumboAttribute& a) const {
        std::size_t from = offsetOf(a.original_name.data);
        const std::size_t to = a.original_value.length > 0 ? offsetOf(a.original_value.data) + a.original_value.length
                                                            : from + a.original_name.length;
        while (from > 0 && isBlank(page_[from - 1])) --from;
        return {from, to};
    }

    // An attribute's value as written, references decoded: the parser
    // turns control bytes into U+FFFD, which a browser keeps and its URL
    // parser strips ("\x01javascript:").
    static std::string rawValue(const GumboAttribute& a) {
        std::string_view v(a.original_value.data, a.original_value.length);
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
        return decodeCharacterReferences(v);
    }

    bool dropsAttribute(std::string_view element, const GumboAttribute& a, bool svg) const {
        const std::string_view name = a.name;
        const std::string raw = rawValue(a);
        const std::string_view value = a.value;
        if (name.substr(0, 2) == "on" || name == "srcdoc" || name == "ping" || name == "formaction" ||
            name == "lowsrc" || name == "dynsrc")
            return true;
        if ((name == "href" || name == "src") && (isActiveAddress(value) || isActiveAddress(raw))) return true;
        if (name == "srcset") {
            for (const std::string& candidate : splitText(value, ",")) {
                const std::string_view c = trimText(candidate);
                if (!isLocalAddress(c.substr(0, c.find(' ')))) return true;
            }
        }
        if ((name == "background" || name == "poster" || (name == "src" && element == "img")) &&
            !(isLocalAddress(value) && isLocalAddress(raw)))
            return true;
        if (svg) return !svgAttribute(name) || (isActiveCss(value) && !fragmentReference(value));
        return allowList_ && !listedFor(element, name);
    }

    void attribute(std::string_view element, const GumboAttribute& a, bool svg) {
        if (a.original_name.length == 0) return;
        const auto [from, to] = rangeOf(a);
        if (dropsAttribute(element, a, svg)) {
            edits_.push_back({from, to, {}, false});
            return;
        }
        if (std::string_view(a.name) != "style") return;
        bool changed = false;
        const std::string kept = filteredStyle(a.value, allowList_, changed);
        if (!changed) return;
        const std::size_t nameFrom = offsetOf(a.original_name.data);
        std::string text(page_.substr(from, nameFrom - from));
        text.append(a.original_name.data, a.original_name.length);
        text += "=\"" + replaceAll(replaceAll(kept, "&", "&amp;"), "\"", "&quot;") + "\"";
        edits_.push_back({from, to, std::move(text), false});
    }

    void styleText(const GumboVector& children) {
        const auto* first = static_cast<const GumboNode*>(children.data[0]);
        const auto* last = static_cast<const GumboNode*>(children.data[children.length - 1]);
        if (first->type != GUMBO_NODE_TEXT && first->type != GUMBO_NODE_WHITESPACE) return;
        if (last->type != GUMBO_NODE_TEXT && last->type != GUMBO_NODE_WHITESPACE) return;
        const std::size_t from = offsetOf(first->v.text.original_text.data);
        const std::size_t to = offsetOf(last->v.text.original_text.data) + last->v.text.original_text.length;
        if (to <= from) return;
        const std::string_view rules = page_.substr(from, to - from);
        std::string kept = filteredRules(rules, allowList_);
        if (kept != rules) edits_.push_back({from, to, std::move(kept), false});
    }

    std::string_view page_;
    bool allowList_, escapeTags_;
    bool titleSeen_ = false;
    Arena arena_;
    std::vector<PageEdit> edits_;
};

// A "<" (or "<!", "</", "<?") left just before a deleted tag must not start
// a tag with the text after it ("<<script>script>").
void guardOpening(std::string& out) {
    std::size_t lt = std::string::npos;
    if (!out.empty() && out.back() == '<') lt = out.size() - 1;
    else if (out.size() >= 2 && out[out.size() - 2] == '<' &&
             (out.back() == '!' || out.back() == '/' || out.back() == '?'))
        lt = out.size() - 2;
    if (lt != std::string::npos) out.replace(lt, 1, "&lt;");
}

std::string applyPageEdits(std::string_view page, std::vector<PageEdit>& edits) {
    // The same element can be reported twice (the parser reopens formatting
    // elements): an edit that starts inside one already made is dropped.
    std::sort(edits.begin(), edits.end(), [](const PageEdit& a, const PageEdit& b) {
        return a.from != b.from ? a.from < b.from : a.to > b.to;
    });
    std::string out;
    reserveText(out, page.size());
    std::size_t copied = 0;
    for (const PageEdit& e : edits) {
        if (e.from < copied) continue;
        out.append(page.substr(copied, e.from - copied));
        if (e.joins) guardOpening(out);
        out += e.text;
        copied = e.to;
    }
    out.append(page.substr(copied));
    return out;
}

// ---------------------------------------------------------------------------
// Nesting. The parser's work per tag grows with the depth of the elements
// open around it, so a page of a hundred thousand unclosed "<ol>" would cost
// it hours. Before any reading, a walk that tracks open elements the way
// the tree builder does (closing as it closes, and counting formatting
// elements it would open again) turns every start tag past kMaxDepth into
// text. Real documents nest a few dozen deep.

constexpr std::size_t kMaxDepth = 128;

constexpr std::array<std::string_view, 18> kVoidElements = {
    "area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr",
    "img",  "input", "keygen", "link",    "meta", "param", "source", "track", "wbr"};
constexpr std::array<std::string_view, 10> kRawTextElements = {
    "script", "style", "xmp", "textarea", "title", "iframe", "noembed", "noframes", "noscript", "plaintext"};
constexpr std::array<std::string_view, 14> kFormattingElements = {
    "a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"};
// Where the search for an element to close stops.
constexpr std::array<std::string_view, 10> kScopeMarkers = {
    "applet", "caption", "html", "table", "td", "th", "marquee", "object", "template", "math"};
// Elements an unknown end tag does not close through.
constexpr std::array<std::string_view, 40> kSpecialElements = {
    "address", "applet", "article", "aside",  "blockquote", "body",   "button",  "caption", "center", "dd",
    "details", "dir",    "div",     "dl",     "dt",         "fieldset", "figure", "footer", "form",   "h1",
    "h2",      "h3",     "h4",      "h5",     "h6",         "header", "html",    "li",      "main",   "nav",
    "ol",      "p",      "pre",     "section", "select",    "table",  "tbody",   "td",      "th",     "tr"};
// End tags that close everything open above their element.
constexpr std::array<std::string_view, 27> kBlockElements = {
    "address", "article", "aside", "blockquote", "body", "center", "dd", "details", "dir", "div",
    "dl",      "dt",      "fieldset", "figure", "footer", "h1",   "h2", "h3",      "h4",  "h5",
    "h6",      "header",  "li",    "main",       "nav",  "ol",     "ul"};

// Just past a tag whose name ends at p: its ">", quoted values read whole.
std::size_t tagEnd(std::string_view t, std::size_t p) {
    char quote = 0;
    for (; p < t.size(); ++p) {
        const char c = t[p];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '>') {
            return p;
        } else if ((c == '"' || c == '\'') && p > 0 && (t[p - 1] == '=' || isBlank(t[p - 1]))) {
            std::size_t q = p;
            while (q > 0 && isBlank(t[q - 1])) --q;
            if (q > 0 && t[q - 1] == '=') quote = c;
        }
    }
    return std::string_view::npos;
}

std::size_t rawTextEnd(std::string_view t, std::size_t from, std::string_view name) {
    const std::string close = "</" + std::string(name);
    for (std::size_t at = from; at < t.size(); ++at) {
        at = t.find("</", at);
        if (at == std::string_view::npos) return t.size();
        if (lowerCase(t.substr(at, close.size())) == close) return at;
    }
    return t.size();
}

// What the plain scans find at a "<": a comment (skipped to its end), a
// "<" that starts no tag, a tag with its lower-case name and its ">", or
// the end of what they can read (a comment or a tag that never ends).
struct ScannedTag {
    enum Kind { Comment, Text, Tag, Stop } kind = Stop;
    std::size_t next = 0;  // where the scan goes on
    bool end = false;      // an end tag
    std::string name;
    std::size_t gt = 0;
};

ScannedTag scanTagAt(std::string_view t, std::size_t lt) {
    ScannedTag s;
    s.kind = ScannedTag::Stop;
    if (t.compare(lt, 4, "<!--") == 0) {
        s.next = t.find("-->", lt + 4);
        if (s.next != std::string_view::npos) s.kind = ScannedTag::Comment;
        return s;
    }
    s.end = lt + 1 < t.size() && t[lt + 1] == '/';
    std::size_t p = lt + (s.end ? 2 : 1);
    if (p >= t.size() || !std::isalpha(static_cast<unsigned char>(t[p]))) {
        s.kind = ScannedTag::Text;
        s.next = lt + 1;
        return s;
    }
    const std::size_t nameFrom = p;
    while (p < t.size() && !isBlank(t[p]) && t[p] != '/' && t[p] != '>') ++p;
    s.name = lowerCase(t.substr(nameFrom, p - nameFrom));
    s.gt = tagEnd(t, p);
    if (s.gt == std::string_view::npos) return s;
    s.kind = ScannedTag::Tag;
    s.next = s.gt + 1;
    return s;
}

class NestingWalk {
public:
    // The offsets of the start tags that would nest too deep.
    std::vector<std::size_t> run(std::string_view t) {
        std::vector<std::size_t> tooDeep;
        std::size_t i = 0;
        while ((i = t.find('<', i)) != std::string_view::npos) {
            const std::size_t lt = i;
            const ScannedTag tag = scanTagAt(t, lt);
            if (tag.kind == ScannedTag::Stop) break;
            i = tag.next;
            if (tag.kind != ScannedTag::Tag) continue;
            const std::string& name = tag.name;
            if (tag.end) {
                close(name);
                continue;
            }
            if (among(std::string_view(name), kVoidElements)) continue;
            open(name);
            if (depth() > kMaxDepth) {
                tooDeep.push_back(lt);
                stack_.pop_back();
                continue;
            }
            if (among(std::string_view(name), kRawTextElements)) {
                if (name == "plaintext") break;
                i = rawTextEnd(t, i, name);
                stack_.pop_back();
            }
        }
        return tooDeep;
    }

private:
    struct Open {
        std::string name;
        std::size_t reopenBefore;  // formatting elements waiting when it opened
    };

    std::size_t depth() const { return stack_.size() + reopen_; }

    // The nearest open element named name that an end tag of that name
    // reaches, or npos.
    std::size_t reachable(std::string_view name, bool block) const {
        for (std::size_t k = stack_.size(); k-- > 0;) {
            const std::string_view n = stack_[k].name;
            if (n == name) return k;
            if (among(n, kScopeMarkers)) return std::string::npos;
            if (!block && among(n, kSpecialElements)) return std::string::npos;
        }
        return std::string::npos;
    }

    // Closes the elements from k up; formatting elements among those above
    // k wait to be opened again.
    void popFrom(std::size_t k) {
        if (among(std::string_view(stack_[k].name), kScopeMarkers)) {
            reopen_ = stack_[k].reopenBefore;  // a cell or table forgets them
        } else {
            for (std::size_t j = k + 1; j < stack_.size(); ++j)
                if (among(std::string_view(stack_[j].name), kFormattingElements)) ++reopen_;
        }
        stack_.resize(k);
    }

    void open(const std::string& name) {
        const std::string_view n = name;
        if (n == "li" || n == "dd" || n == "dt") {
            for (std::size_t k = stack_.size(); k-- > 0;) {
                const std::string_view o = stack_[k].name;
                if (o == n || (n != "li" && (o == "dd" || o == "dt"))) {
                    popFrom(k);
                    break;
                }
                if (among(o, kSpecialElements) && o != "div" && o != "p" && o != "address") break;
            }
        }
        if (among(n, kBlockElements) || n == "p" || n == "table" || n == "hr" || n == "pre") {
            if (const std::size_t k = reachable("p", true); k != std::string::npos) popFrom(k);
        }
        if (n == "a") {
            if (const std::size_t k = reachable("a", false); k != std::string::npos) {
                stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(k));
            } else if (reopen_ > 0) {
                --reopen_;
            }
        }
        if ((n == "td" || n == "th" || n == "tr") && !stack_.empty()) {
            for (std::size_t k = stack_.size(); k-- > 0;) {
                const std::string_view o = stack_[k].name;
                if (o == "table") break;
                if (o == "td" || o == "th" || (n == "tr" && o == "tr")) {
                    popFrom(k);
                    break;
                }
            }
        }
        stack_.push_back({name, reopen_});
    }

    void close(const std::string& name) {
        const bool block = among(std::string_view(name), kBlockElements) || name == "p";
        const std::size_t k = reachable(name, block);
        if (k != std::string::npos) {
            popFrom(k);
        } else if (reopen_ > 0 && among(std::string_view(name), kFormattingElements)) {
            --reopen_;
        }
    }

    std::vector<Open> stack_;
    std::size_t reopen_ = 0;
};

// The page with every start tag past the depth bound turned into text.
std::string boundNesting(std::string page) {
    const std::vector<std::size_t> tooDeep = NestingWalk().run(page);
    if (tooDeep.empty()) return page;
    std::string out;
    reserveText(out, page.size() + 3 * tooDeep.size());
    std::size_t copied = 0;
    for (const std::size_t at : tooDeep) {
        out.append(page, copied, at - copied);
        out += "&lt;";
        copied = at + 1;
    }
    out.append(page, copied, std::string::npos);
    return out;
}

// Word's own elements that the page still carries (sdt, lastRenderedPageBreak,
// tblPrEx, ...) show nothing and are not on the allow-list. Their tags go in
// a plain scan before the readings: the readings would delete them too, but
// then read the page once more to see that nothing joined. The scan only
// saves that reading; the readings still check what it leaves. It stops
// where its reading of the page could differ from the parser's: at a raw-text
// element it does not know the end of, or a tag that never ends; the tags
// inside an svg element it leaves to the readings.
std::string withoutUnlistedTags(std::string_view page) {
    const std::size_t body = page.find("<body");
    if (body == std::string_view::npos) return std::string(page);
    std::string out;
    reserveText(out, page.size());
    out.append(page.substr(0, body));
    std::size_t copied = body, i = body, mathDepth = 0, svgDepth = 0;
    while ((i = page.find('<', i)) != std::string_view::npos) {
        const std::size_t lt = i;
        const ScannedTag tag = scanTagAt(page, lt);
        if (tag.kind == ScannedTag::Stop) break;
        i = tag.next;
        if (tag.kind != ScannedTag::Tag) continue;
        const std::string& name = tag.name;
        const bool end = tag.end;
        const std::size_t gt = tag.gt;
        if (name == "plaintext") break;
        // A drawing's elements are left to the readings.
        if (name == "svg") {
            if (end) svgDepth -= svgDepth > 0 ? 1 : 0;
            else if (page[gt - 1] != '/') ++svgDepth;
            continue;
        }
        if (svgDepth > 0) continue;
        if (name == "math") {
            if (end) mathDepth -= mathDepth > 0 ? 1 : 0;
            else if (page[gt - 1] != '/') ++mathDepth;
        }
        if (among(std::string_view(name), kRawTextElements)) {
            if (end) continue;
            i = rawTextEnd(page, i, name);
            if (i == page.size()) break;
            continue;
        }
        // Inside math, a page element is left to the parser, which may end
        // the math element at it.
        const bool listed = name == "math" || among(std::string_view(name), kPageElements) ||
                            (mathDepth > 0 && among(std::string_view(name), kMathElements));
        if (listed || among(std::string_view(name), kActiveElements)) continue;
        out.append(page.substr(copied, lt - copied));
        guardOpening(out);
        copied = gt + 1;
    }
    out.append(page.substr(copied));
    return out;
}

// Readings that delete tags; after them, tags still to go lose only their
// "<" (which can join nothing), so that the readings come to an end. Should
// they not, the page is shown as text.
constexpr int kDeletingReadings = 8;
constexpr int kLastReading = 64;

}  // namespace

// The scans that run around the readings. They take out only what a reading
// would, and spare the readings work: the allow-list's tags, and tags past
// the depth bound.
std::string scanned(std::string text, bool allowList) {
    if (allowList) text = withoutUnlistedTags(text);
    return boundNesting(std::move(text));
}

std::string removeActiveContent(std::string_view page, bool allowList) {
    // A deletion can leave elements open that its tags closed, or let the
    // scan for unlisted tags read further, so the scans run again after
    // every reading: the page that comes out is one that neither they nor
    // a reading would change.
    std::string text = scanned(std::string(page), allowList);
    // The scans depend on the text alone: a text they left as it was, they
    // would leave so again.
    bool scansKeepText = text == page;
    for (int reading = 0;; ++reading) {
        if (reading == kLastReading) return replaceAll(text, "<", "&lt;");
        Reading r(text, allowList, reading >= kDeletingReadings);
        if (r.edits().empty() && scansKeepText) return text;
        scansKeepText = false;
        std::string next = scanned(r.edits().empty() ? text : applyPageEdits(text, r.edits()), allowList);
        if (next == text) return text;
        text = std::move(next);
    }
}

void removeActiveContent(ConversionContext& ctx) {
    ctx.workBytes += ctx.workingText.size();
    ctx.workingText = removeActiveContent(ctx.workingText, ctx.fullFidelity);
}

}  // namespace tavin
