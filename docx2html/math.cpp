#include "docx2html/math.h"

#include <memory>
#include <vector>

#include "core/html.h"
#include "core/uStr.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// A small element tree of the equation's markup.
struct Node {
    std::string name;      // with its prefix: "m:f", "m:t", "w:t"
    std::string_view tag;  // the start tag
    std::string text;      // character data directly inside
    std::vector<std::unique_ptr<Node>> children;

    const Node* child(std::string_view n) const {
        for (const auto& c : children)
            if (c->name == n) return c.get();
        return nullptr;
    }
    // The m:val (or w:val) of a property child such as m:chr.
    std::string value(std::string_view n) const {
        const Node* c = child(n);
        if (!c) return {};
        std::string_view v = tagAttribute(c->tag, "m:val");
        if (v.empty()) v = tagAttribute(c->tag, "w:val");
        return std::string(v);
    }
    bool has(std::string_view n) const { return child(n) != nullptr; }
};

std::unique_ptr<Node> parse(std::string_view t) {
    auto root = std::make_unique<Node>();
    std::vector<Node*> stack{root.get()};
    std::size_t i = 0;
    while (i < t.size()) {
        const std::size_t lt = t.find('<', i);
        if (lt != i) {
            stack.back()->text.append(t.substr(i, (lt == std::string_view::npos ? t.size() : lt) - i));
            if (lt == std::string_view::npos) break;
        }
        const std::size_t gt = t.find('>', lt);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = t.substr(lt, gt + 1 - lt);
        i = gt + 1;
        if (tag.size() < 3 || tag[1] == '?' || tag[1] == '!') continue;
        if (tag[1] == '/') {
            if (stack.size() > 1) stack.pop_back();
            continue;
        }
        std::size_t n = 1;
        while (n < tag.size() && tag[n] != ' ' && tag[n] != '/' && tag[n] != '>' && tag[n] != '\t' && tag[n] != '\r' &&
               tag[n] != '\n')
            ++n;
        auto node = std::make_unique<Node>();
        node->name = std::string(tag.substr(1, n - 1));
        node->tag = tag;
        Node* raw = node.get();
        stack.back()->children.push_back(std::move(node));
        if (tag[tag.size() - 2] != '/' && stack.size() < 200) stack.push_back(raw);
    }
    return root;
}

bool isProperty(const std::string& name) {
    return name.size() > 2 && name.compare(name.size() - 2, 2, "Pr") == 0;
}

std::string convertNode(const Node& n);

std::string row(const Node* n) {
    if (!n) return "<mrow></mrow>";
    std::string inner;
    for (const auto& c : n->children)
        if (!isProperty(c->name)) inner += convertNode(*c);
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

// A run's text as tokens: numbers, identifiers (one letter each in italic,
// or whole words when the run is plain), operators.
std::string runText(const std::string& text, bool plain) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ') {
            ++i;
            continue;
        }
        if (c == '&') {  // a character reference: one operator
            const std::size_t semi = text.find(';', i);
            const std::size_t end = semi == std::string::npos ? text.size() : semi + 1;
            out += "<mo>" + escapeStoredText(text.substr(i, end - i)) + "</mo>";
            i = end;
            continue;
        }
        std::size_t j = i;
        std::size_t length = 1;
        const std::uint32_t cp = codePoint(text, i, length);
        if (isDigit(c)) {
            while (j < text.size() && (isDigit(text[j]) || (text[j] == '.' && j + 1 < text.size() && isDigit(text[j + 1]))))
                ++j;
            out += "<mn>" + text.substr(i, j - i) + "</mn>";
        } else if (isLetter(cp)) {
            j = i + length;
            if (plain) {
                std::size_t next = 0;
                while (j < text.size() && isLetter(codePoint(text, j, next))) j += next;
                out += "<mi mathvariant=\"normal\">" + text.substr(i, j - i) + "</mi>";
            } else {
                out += "<mi>" + text.substr(i, j - i) + "</mi>";
            }
        } else {
            j = i + length;
            out += "<mo>" + escapeStoredText(text.substr(i, j - i)) + "</mo>";
        }
        i = j;
    }
    return out;
}

std::string textOf(const Node& n) {
    std::string s;
    for (const auto& c : n.children)
        if (c->name == "m:t" || c->name == "w:t") s += c->text;
    return s;
}

std::string convertNode(const Node& n) {
    const std::string& k = n.name;
    if (k == "m:r") {
        const Node* pr = n.child("m:rPr");
        const bool plain = pr && (pr->value("m:sty") == "p" || pr->has("m:nor"));
        return runText(textOf(n), plain);
    }
    if (k == "m:f") {
        const Node* pr = n.child("m:fPr");
        const std::string type = pr ? pr->value("m:type") : std::string();
        if (type == "lin") return "<mrow>" + row(n.child("m:num")) + "<mo>/</mo>" + row(n.child("m:den")) + "</mrow>";
        const std::string attr = type == "noBar" ? " linethickness=\"0\"" : "";
        return "<mfrac" + attr + ">" + row(n.child("m:num")) + row(n.child("m:den")) + "</mfrac>";
    }
    if (k == "m:sSup") return "<msup>" + row(n.child("m:e")) + row(n.child("m:sup")) + "</msup>";
    if (k == "m:sSub") return "<msub>" + row(n.child("m:e")) + row(n.child("m:sub")) + "</msub>";
    if (k == "m:sSubSup")
        return "<msubsup>" + row(n.child("m:e")) + row(n.child("m:sub")) + row(n.child("m:sup")) + "</msubsup>";
    if (k == "m:sPre")
        return "<mmultiscripts>" + row(n.child("m:e")) + "<mprescripts/>" + row(n.child("m:sub")) +
               row(n.child("m:sup")) + "</mmultiscripts>";
    if (k == "m:rad") {
        const Node* pr = n.child("m:radPr");
        const Node* deg = n.child("m:deg");
        const bool hidden = (pr && pr->has("m:degHide") && pr->value("m:degHide") != "0" && pr->value("m:degHide") != "off") ||
                            !deg || deg->children.empty();
        if (hidden) return "<msqrt>" + row(n.child("m:e")) + "</msqrt>";
        return "<mroot>" + row(n.child("m:e")) + row(deg) + "</mroot>";
    }
    if (k == "m:nary") {
        const Node* pr = n.child("m:naryPr");
        std::string chr = pr && pr->has("m:chr") ? escapeStoredText(pr->value("m:chr")) : "\xE2\x88\xAB";  // the integral sign
        const bool integral = chr == "\xE2\x88\xAB" || chr == "\xE2\x88\xAC" || chr == "\xE2\x88\xAD" || chr == "\xE2\x88\xAE";
        std::string loc = pr ? pr->value("m:limLoc") : std::string();
        if (loc.empty()) loc = integral ? "subSup" : "undOvr";
        const bool noSub = pr && pr->has("m:subHide") && pr->value("m:subHide") != "0";
        const bool noSup = pr && pr->has("m:supHide") && pr->value("m:supHide") != "0";
        const std::string op = "<mo>" + chr + "</mo>";
        const std::string sub = row(n.child("m:sub")), sup = row(n.child("m:sup"));
        std::string base;
        if (noSub && noSup) base = op;
        else if (loc == "undOvr")
            base = noSub ? "<mover>" + op + sup + "</mover>"
                         : noSup ? "<munder>" + op + sub + "</munder>" : "<munderover>" + op + sub + sup + "</munderover>";
        else
            base = noSub ? "<msup>" + op + sup + "</msup>"
                         : noSup ? "<msub>" + op + sub + "</msub>" : "<msubsup>" + op + sub + sup + "</msubsup>";
        return "<mrow>" + base + row(n.child("m:e")) + "</mrow>";
    }
    if (k == "m:d") {
        const Node* pr = n.child("m:dPr");
        const std::string beg = pr && pr->has("m:begChr") ? escapeStoredText(pr->value("m:begChr")) : "(";
        const std::string end = pr && pr->has("m:endChr") ? escapeStoredText(pr->value("m:endChr")) : ")";
        const std::string sep = pr && pr->has("m:sepChr") ? escapeStoredText(pr->value("m:sepChr")) : "|";
        std::string inner;
        bool first = true;
        for (const auto& c : n.children) {
            if (c->name != "m:e") continue;
            if (!first) inner += mo(sep);
            inner += row(c.get());
            first = false;
        }
        return "<mrow>" + mo(beg) + inner + mo(end) + "</mrow>";
    }
    if (k == "m:m" || k == "m:eqArr") {
        std::string rows;
        for (const auto& r : n.children) {
            if (k == "m:eqArr") {
                if (r->name == "m:e") rows += "<mtr><mtd>" + row(r.get()) + "</mtd></mtr>";
                continue;
            }
            if (r->name != "m:mr") continue;
            rows += "<mtr>";
            for (const auto& e : r->children)
                if (e->name == "m:e") rows += "<mtd>" + row(e.get()) + "</mtd>";
            rows += "</mtr>";
        }
        return "<mtable>" + rows + "</mtable>";
    }
    if (k == "m:acc") {
        const Node* pr = n.child("m:accPr");
        const std::string chr = pr && pr->has("m:chr") ? escapeStoredText(pr->value("m:chr")) : "\xCC\x82";  // combining circumflex
        return "<mover accent=\"true\">" + row(n.child("m:e")) + "<mo>" + chr + "</mo></mover>";
    }
    if (k == "m:bar") {
        const Node* pr = n.child("m:barPr");
        if (pr && pr->value("m:pos") == "top")
            return "<mover accent=\"true\">" + row(n.child("m:e")) + "<mo>\xC2\xAF</mo></mover>";
        return "<munder>" + row(n.child("m:e")) + "<mo>_</mo></munder>";
    }
    if (k == "m:groupChr") {
        const Node* pr = n.child("m:groupChrPr");
        const std::string chr = pr && pr->has("m:chr") ? escapeStoredText(pr->value("m:chr")) : "\xE2\x8F\x9F";  // bottom curly bracket
        if (pr && pr->value("m:pos") == "top") return "<mover>" + row(n.child("m:e")) + "<mo>" + chr + "</mo></mover>";
        return "<munder>" + row(n.child("m:e")) + "<mo>" + chr + "</mo></munder>";
    }
    if (k == "m:limLow") return "<munder>" + row(n.child("m:e")) + row(n.child("m:lim")) + "</munder>";
    if (k == "m:limUpp") return "<mover>" + row(n.child("m:e")) + row(n.child("m:lim")) + "</mover>";
    if (k == "m:func") return "<mrow>" + row(n.child("m:fName")) + "<mo>&#x2061;</mo>" + row(n.child("m:e")) + "</mrow>";
    if (isProperty(k) || k == "m:t" || k == "w:t") return {};
    return row(&n);  // m:e, m:box, m:borderBox, m:phant and the rest: their content
}

}  // namespace

std::string ommlToMathml(std::string_view omml, bool display) {
    const std::unique_ptr<Node> root = parse(omml);
    std::string out;
    const char* open = display ? "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\">"
                               : "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">";
    for (const auto& top : root->children) {
        if (top->name == "m:oMathPara") {
            for (const auto& m : top->children)
                if (m->name == "m:oMath") out += open + row(m.get()) + "</math>";
        } else if (top->name == "m:oMath") {
            out += open + row(top.get()) + "</math>";
        }
    }
    return out;
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
