// Equations: each m:oMathPara (a display equation) and each m:oMath outside
// one becomes MathML, set aside in ctx.mathMarkup until the page is
// assembled, with a marker in its place. Reads the equations of the
// document part, each parsed as XML on its own; their text stays as stored.
#include "docx2html/fidelity/equations.h"

#include <pugixml.hpp>
#include <unordered_map>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/xmlscan.h"

namespace tavin {

namespace {

using Node = pugi::xml_node;

// Deeper nesting than this is left out (a hostile part could nest without end).
constexpr int kMaxDepth = 200;

bool isProperty(std::string_view name) { return name.size() > 2 && name.substr(name.size() - 2) == "Pr"; }

// The m:val (or w:val) of a property child such as m:chr.
std::string value(Node n, const char* child) {
    const Node c = n.child(child);
    if (!c) return {};
    std::string_view v = c.attribute("m:val").value();
    if (v.empty()) v = c.attribute("w:val").value();
    return std::string(v);
}

bool has(Node n, const char* child) { return static_cast<bool>(n.child(child)); }

// A property child's character as stored, or fallback when there is none.
std::string character(Node pr, const char* child, const char* fallback) {
    return pr && has(pr, child) ? escapeStoredText(value(pr, child)) : std::string(fallback);
}

// Whether a hide property (m:degHide, m:subHide) is set.
bool hidden(Node pr, const char* child) {
    if (!pr || !has(pr, child)) return false;
    const std::string v = value(pr, child);
    return v != "0" && v != "off";
}

std::string convertNode(Node n, int depth);

std::string row(Node n, int depth) {
    if (!n) return "<mrow></mrow>";
    std::string inner;
    if (depth < kMaxDepth) {
        for (Node c = n.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element && !isProperty(c.name())) inner += convertNode(c, depth + 1);
    }
    return "<mrow>" + inner + "</mrow>";
}

std::string mo(const std::string& c) { return c.empty() ? std::string() : "<mo>" + c + "</mo>"; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The code point of the UTF-8 sequence at i, and its length.
std::uint32_t codePoint(const std::string& s, std::size_t i, std::size_t& length) {
    const auto b = static_cast<unsigned char>(s[i]);
    length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + length > s.size()) length = 1;
    if (length == 1) return b;
    std::uint32_t c = b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = c << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return c;
}

// Letters of any script are identifiers; signs, arrows and punctuation
// outside ASCII are operators.
bool isLetter(std::uint32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c == 0xD7 || c == 0xF7 || c == 0xB1 || c == 0xAC || c == 0xB7) return false;
    return (c >= 0xC0 && c < 0x2000) || (c >= 0x2100 && c < 0x2150) || (c >= 0x3000 && (c < 0xFF00 || c >= 0x1D400));
}

// The tokens of a run's text, each read from i and returning where the
// next one starts.
std::size_t referenceToken(const std::string& text, std::size_t i, std::string& out) {
    const std::size_t semi = text.find(';', i);
    const std::size_t end = semi == std::string::npos ? text.size() : semi + 1;
    out += "<mo>" + escapeStoredText(text.substr(i, end - i)) + "</mo>";
    return end;
}

std::size_t numberToken(const std::string& text, std::size_t i, std::string& out) {
    std::size_t j = i;
    while (j < text.size() && (isDigit(text[j]) || (text[j] == '.' && j + 1 < text.size() && isDigit(text[j + 1])))) ++j;
    out += "<mn>" + text.substr(i, j - i) + "</mn>";
    return j;
}

// One letter in italic, or a whole word upright when the run is plain.
std::size_t identifierToken(const std::string& text, std::size_t i, std::size_t length, bool plain, std::string& out) {
    std::size_t j = i + length;
    if (!plain) {
        out += "<mi>" + text.substr(i, j - i) + "</mi>";
        return j;
    }
    std::size_t next = 0;
    while (j < text.size() && isLetter(codePoint(text, j, next))) j += next;
    out += "<mi mathvariant=\"normal\">" + text.substr(i, j - i) + "</mi>";
    return j;
}

// A run's text as tokens: numbers, identifiers, operators (a character
// reference is one operator).
std::string runText(const std::string& text, bool plain) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        std::size_t length = 1;
        const std::uint32_t cp = codePoint(text, i, length);
        if (c == ' ') {
            ++i;
        } else if (c == '&') {
            i = referenceToken(text, i, out);
        } else if (isDigit(c)) {
            i = numberToken(text, i, out);
        } else if (isLetter(cp)) {
            i = identifierToken(text, i, length, plain, out);
        } else {
            out += "<mo>" + escapeStoredText(text.substr(i, length)) + "</mo>";
            i += length;
        }
    }
    return out;
}

// The character data of a run's text elements.
std::string textOf(Node n) {
    std::string s;
    for (Node c = n.first_child(); c; c = c.next_sibling()) {
        const std::string_view name = c.name();
        if (c.type() != pugi::node_element || (name != "m:t" && name != "w:t")) continue;
        for (Node d = c.first_child(); d; d = d.next_sibling())
            if (d.type() == pugi::node_pcdata) s += d.value();
    }
    return s;
}

// ---------------------------------------------------------------------------
// One rule per kind of element

std::string run(Node n, int) {
    const Node pr = n.child("m:rPr");
    const bool plain = pr && (value(pr, "m:sty") == "p" || has(pr, "m:nor"));
    return runText(textOf(n), plain);
}

std::string fraction(Node n, int d) {
    const std::string type = value(n.child("m:fPr"), "m:type");
    if (type == "lin") return "<mrow>" + row(n.child("m:num"), d) + "<mo>/</mo>" + row(n.child("m:den"), d) + "</mrow>";
    const std::string attr = type == "noBar" ? " linethickness=\"0\"" : "";
    return "<mfrac" + attr + ">" + row(n.child("m:num"), d) + row(n.child("m:den"), d) + "</mfrac>";
}

// An element of MathML around the rows of the named children.
std::string around(const char* element, Node n, int d, std::initializer_list<const char*> children) {
    std::string out = "<" + std::string(element) + ">";
    for (const char* c : children) out += row(n.child(c), d);
    return out + "</" + element + ">";
}

std::string superscript(Node n, int d) { return around("msup", n, d, {"m:e", "m:sup"}); }
std::string subscript(Node n, int d) { return around("msub", n, d, {"m:e", "m:sub"}); }
std::string subSuperscript(Node n, int d) { return around("msubsup", n, d, {"m:e", "m:sub", "m:sup"}); }
std::string lowerLimit(Node n, int d) { return around("munder", n, d, {"m:e", "m:lim"}); }
std::string upperLimit(Node n, int d) { return around("mover", n, d, {"m:e", "m:lim"}); }

std::string prescripts(Node n, int d) {
    return "<mmultiscripts>" + row(n.child("m:e"), d) + "<mprescripts/>" + row(n.child("m:sub"), d) +
           row(n.child("m:sup"), d) + "</mmultiscripts>";
}

std::string radical(Node n, int d) {
    const Node deg = n.child("m:deg");
    const bool noDegree = hidden(n.child("m:radPr"), "m:degHide") || !deg || !deg.find_child([](Node c) {
                              return c.type() == pugi::node_element;
                          });
    if (noDegree) return "<msqrt>" + row(n.child("m:e"), d) + "</msqrt>";
    return "<mroot>" + row(n.child("m:e"), d) + row(deg, d) + "</mroot>";
}

// An operator with limits under and over it, or as scripts.
std::string withLimits(const std::string& op, const std::string& sub, const std::string& sup, bool noSub, bool noSup,
                       bool underOver) {
    if (noSub && noSup) return op;
    const char* both = underOver ? "munderover" : "msubsup";
    const char* over = underOver ? "mover" : "msup";
    const char* under = underOver ? "munder" : "msub";
    if (noSub) return "<" + std::string(over) + ">" + op + sup + "</" + over + ">";
    if (noSup) return "<" + std::string(under) + ">" + op + sub + "</" + under + ">";
    return "<" + std::string(both) + ">" + op + sub + sup + "</" + both + ">";
}

std::string nary(Node n, int d) {
    const Node pr = n.child("m:naryPr");
    const std::string chr = character(pr, "m:chr", "\xE2\x88\xAB");  // the integral sign
    const bool integral = chr == "\xE2\x88\xAB" || chr == "\xE2\x88\xAC" || chr == "\xE2\x88\xAD" || chr == "\xE2\x88\xAE";
    std::string loc = value(pr, "m:limLoc");
    if (loc.empty()) loc = integral ? "subSup" : "undOvr";
    const bool noSub = pr && has(pr, "m:subHide") && value(pr, "m:subHide") != "0";
    const bool noSup = pr && has(pr, "m:supHide") && value(pr, "m:supHide") != "0";
    const std::string base = withLimits("<mo>" + chr + "</mo>", row(n.child("m:sub"), d), row(n.child("m:sup"), d),
                                        noSub, noSup, loc == "undOvr");
    return "<mrow>" + base + row(n.child("m:e"), d) + "</mrow>";
}

std::string delimiter(Node n, int d) {
    const Node pr = n.child("m:dPr");
    const std::string sep = character(pr, "m:sepChr", "|");
    std::string inner;
    bool first = true;
    for (Node c = n.child("m:e"); c; c = c.next_sibling("m:e")) {
        if (!first) inner += mo(sep);
        inner += row(c, d);
        first = false;
    }
    return "<mrow>" + mo(character(pr, "m:begChr", "(")) + inner + mo(character(pr, "m:endChr", ")")) + "</mrow>";
}

std::string matrix(Node n, int d) {
    std::string rows;
    for (Node r = n.child("m:mr"); r; r = r.next_sibling("m:mr")) {
        rows += "<mtr>";
        for (Node e = r.child("m:e"); e; e = e.next_sibling("m:e")) rows += "<mtd>" + row(e, d) + "</mtd>";
        rows += "</mtr>";
    }
    return "<mtable>" + rows + "</mtable>";
}

std::string equationArray(Node n, int d) {
    std::string rows;
    for (Node e = n.child("m:e"); e; e = e.next_sibling("m:e")) rows += "<mtr><mtd>" + row(e, d) + "</mtd></mtr>";
    return "<mtable>" + rows + "</mtable>";
}

std::string accent(Node n, int d) {
    const std::string chr = character(n.child("m:accPr"), "m:chr", "\xCC\x82");  // combining circumflex
    return "<mover accent=\"true\">" + row(n.child("m:e"), d) + "<mo>" + chr + "</mo></mover>";
}

std::string bar(Node n, int d) {
    if (value(n.child("m:barPr"), "m:pos") == "top")
        return "<mover accent=\"true\">" + row(n.child("m:e"), d) + "<mo>\xC2\xAF</mo></mover>";
    return "<munder>" + row(n.child("m:e"), d) + "<mo>_</mo></munder>";
}

std::string groupCharacter(Node n, int d) {
    const Node pr = n.child("m:groupChrPr");
    const std::string chr = character(pr, "m:chr", "\xE2\x8F\x9F");  // bottom curly bracket
    const char* element = value(pr, "m:pos") == "top" ? "mover" : "munder";
    return "<" + std::string(element) + ">" + row(n.child("m:e"), d) + "<mo>" + chr + "</mo></" + element + ">";
}

std::string function(Node n, int d) {
    return "<mrow>" + row(n.child("m:fName"), d) + "<mo>&#x2061;</mo>" + row(n.child("m:e"), d) + "</mrow>";
}

std::string nothing(Node, int) { return {}; }

using Rule = std::string (*)(Node, int);

const std::unordered_map<std::string_view, Rule>& rules() {
    static const std::unordered_map<std::string_view, Rule> kRules{
        {"m:r", run},           {"m:f", fraction},           {"m:sSup", superscript},  {"m:sSub", subscript},
        {"m:sSubSup", subSuperscript}, {"m:sPre", prescripts}, {"m:rad", radical},     {"m:nary", nary},
        {"m:d", delimiter},     {"m:m", matrix},             {"m:eqArr", equationArray}, {"m:acc", accent},
        {"m:bar", bar},         {"m:groupChr", groupCharacter}, {"m:limLow", lowerLimit}, {"m:limUpp", upperLimit},
        {"m:func", function},   {"m:t", nothing},            {"w:t", nothing},
    };
    return kRules;
}

std::string convertNode(Node n, int depth) {
    const std::string_view name = n.name();
    const auto rule = rules().find(name);
    if (rule != rules().end()) return rule->second(n, depth);
    if (isProperty(name)) return {};
    return row(n, depth);  // m:e, m:box, m:borderBox, m:phant and the rest: their content
}

}  // namespace

std::string ommlToMathml(std::string_view omml, bool display) {
    pugi::xml_document doc;
    // As stored: no references decoded, no line ends or blanks changed.
    doc.load_buffer(omml.data(), omml.size(), pugi::parse_ws_pcdata | pugi::parse_cdata);
    const std::string open = display ? "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\">"
                                     : "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">";
    std::string out;
    for (Node top = doc.first_child(); top; top = top.next_sibling()) {
        const std::string_view name = top.name();
        if (name == "m:oMathPara") {
            for (Node m = top.child("m:oMath"); m; m = m.next_sibling("m:oMath")) out += open + row(m, 0) + "</math>";
        } else if (name == "m:oMath") {
            out += open + row(top, 0) + "</math>";
        }
    }
    return out;
}

void equationsToMathml(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    if (findText(t, "<m:oMath") == std::string_view::npos) return;
    EditList edits;
    auto replace = [&](const Element& e, bool display) {
        edits.replace(e.begin, e.end - e.begin, marker::math(ctx.mathMarkup.size()));
        ctx.mathMarkup.push_back(ommlToMathml(t.substr(e.begin, e.end - e.begin), display));
    };
    // A paragraph of equations is one display equation; the inline ones
    // are those outside such paragraphs (both lists are in text order).
    const std::vector<Element> paragraphs = elements(t, "m:oMathPara");
    for (const Element& e : paragraphs) replace(e, true);
    std::size_t k = 0;
    for (const Element& e : elements(t, "m:oMath")) {
        while (k < paragraphs.size() && paragraphs[k].end <= e.begin) ++k;
        if (k < paragraphs.size() && paragraphs[k].begin <= e.begin) continue;
        replace(e, false);
    }
    ctx.workingText = edits.apply(t);
}

const char* mathmlFallbackCss() {
    return "@supports not (display:math){"
           "math{display:inline-block;font-style:normal;white-space:nowrap}"
           "math[display=block]{display:block;text-align:center;margin:.3em 0}"
           "mi{font-style:italic}mi[mathvariant=normal]{font-style:normal}mo{padding:0 .1em}"
           "mfrac{display:inline-flex;flex-direction:column;vertical-align:middle;text-align:center}"
           "mfrac>*:first-child{border-bottom:1px solid;padding:0 .2em}"
           "msup>*:nth-child(2),msubsup>*:nth-child(3){vertical-align:super;font-size:.75em}"
           "msub>*:nth-child(2),msubsup>*:nth-child(2){vertical-align:sub;font-size:.75em}"
           "msqrt,mroot{display:inline-block;border-top:1px solid;margin-left:.7em;position:relative}"
           "msqrt::before,mroot::before{content:\"\\221A\";position:absolute;left:-.7em}"
           "mroot>*:nth-child(2){position:absolute;left:-1em;top:-.5em;font-size:.6em}"
           "munder,mover,munderover{display:inline-flex;flex-direction:column;vertical-align:middle;text-align:center}"
           "mover{flex-direction:column-reverse}"
           "munder>*:nth-child(2),mover>*:nth-child(2),munderover>*:nth-child(n+2){font-size:.75em}"
           "munderover>*:nth-child(1){order:2}munderover>*:nth-child(2){order:3}munderover>*:nth-child(3){order:1}"
           "mtable{display:inline-table;vertical-align:middle}mtr{display:table-row}mtd{display:table-cell;padding:0 .3em}"
           "}\r\n";
}

}  // namespace tavin
