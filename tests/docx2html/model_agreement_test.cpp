// The model against the text readers it replaced (kept here while both
// exist): seeded random parts over small alphabets of ids, values and
// properties (so that ids collide, chains loop, values are bad), through
// both; theme fonts, generic families, style run looks and list labels must
// agree.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/docx2html.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/lists.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/model/model.h"
#include "docx2html/symbols.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

using namespace tavin;

namespace {

// ---------------------------------------------------------------------------
// The text readers as they were

namespace old {

std::string typeface(std::string_view block, std::string_view name) {
    return std::string(tagAttribute(childTag(block, name), "typeface"));
}

ThemeFonts readThemeFonts(std::string_view theme) {
    ThemeFonts f;
    const std::vector<Element> major = elements(theme, "a:majorFont");
    const std::vector<Element> minor = elements(theme, "a:minorFont");
    if (!major.empty()) {
        f.majorLatin = typeface(major[0].content, "a:latin");
        f.majorEastAsia = typeface(major[0].content, "a:ea");
        f.majorComplex = typeface(major[0].content, "a:cs");
    }
    if (!minor.empty()) {
        f.minorLatin = typeface(minor[0].content, "a:latin");
        f.minorEastAsia = typeface(minor[0].content, "a:ea");
        f.minorComplex = typeface(minor[0].content, "a:cs");
    }
    return f;
}

std::string familyGeneric(std::string_view family) {
    if (family == "roman") return "serif";
    if (family == "swiss") return "sans-serif";
    if (family == "modern") return "monospace";
    if (family == "script") return "cursive";
    if (family == "decorative") return "fantasy";
    return {};
}

std::unordered_map<std::string, std::string> families(std::string_view fontTable, std::string_view theme) {
    std::unordered_map<std::string, std::string> generic;
    for (const char* name : {"a:latin", "a:ea", "a:cs"})
        for (const Element& e : elements(theme, name)) {
            const std::string_view face = tagAttribute(e.tag, "typeface");
            const std::string g = model::panoseGeneric(tagAttribute(e.tag, "panose"));
            if (!face.empty() && !g.empty()) generic.emplace(lowerCase(face), g);
        }
    for (const Element& f : elements(fontTable, "font")) {
        const std::string_view face = tagAttribute(f.tag, "name");
        std::string g = model::panoseGeneric(childValue(f.content, "panose1"));
        if (g.empty()) g = familyGeneric(childValue(f.content, "family"));
        if (!face.empty() && !g.empty()) generic[lowerCase(face)] = g;
    }
    return generic;
}

void addRunLook(std::string_view rPr, const ThemeFonts& theme, RunLook& look) {
    if (rPr.empty()) return;
    auto tag = [&](const char* name) { return childTag(rPr, name); };
    auto flag = [&](std::optional<bool>& field, const char* name) {
        if (field) return;
        const std::string_view t = tag(name);
        if (!t.empty()) field = isOn(tagAttribute(t, "val"));
    };
    const std::string_view fonts = tag("rFonts");
    auto font = [&](std::optional<std::string>& field, const char* name, const char* themeName) {
        if (field || fonts.empty()) return;
        std::string f(tagAttribute(fonts, themeName));
        f = f.empty() ? std::string(tagAttribute(fonts, name)) : theme.font(f);
        if (!f.empty()) field = f;
    };
    font(look.latin, "ascii", "asciiTheme");
    if (!look.latin) font(look.latin, "hAnsi", "hAnsiTheme");
    font(look.eastAsian, "eastAsia", "eastAsiaTheme");
    font(look.complex, "cs", "cstheme");
    if (!look.halfPoints) {
        const int half = intValue(tagAttribute(tag("sz"), "val"), 0);
        if (half > 0 && half <= 3276) look.halfPoints = half;
    }
    if (!look.colour) {
        const std::string_view c = tagAttribute(tag("color"), "val");
        if (c.size() == 6 && c.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos) look.colour = std::string(c);
    }
    flag(look.bold, "b");
    flag(look.italic, "i");
    flag(look.caps, "caps");
    flag(look.vanish, "vanish");
    flag(look.smallCaps, "smallCaps");
    flag(look.strike, "strike");
    flag(look.dstrike, "dstrike");
    if (!look.underline) {
        const std::string_view t = tag("u");
        if (!t.empty()) look.underline = tagAttribute(t, "val") != "none";
    }
}

RunLook styleLook(std::string_view styles, const ThemeFonts& theme, const std::string& id, bool withDefault) {
    struct Style {
        std::string basedOn;
        std::string_view rPr;
    };
    std::unordered_map<std::string, Style> all;
    std::string defaultId;
    for (const Element& s : elements(styles, "style")) {
        const std::string sid(tagAttribute(s.tag, "styleId"));
        const std::vector<Element> r = elements(s.content, "rPr");
        all.emplace(sid, Style{std::string(childValue(s.content, "basedOn")), r.empty() ? std::string_view() : r[0].content});
        if (defaultId.empty() && tagAttribute(s.tag, "type") == "paragraph" && !tagAttribute(s.tag, "default").empty() &&
            isOn(tagAttribute(s.tag, "default")))
            defaultId = sid;
    }
    RunLook look;
    std::string at = id;
    for (int steps = 0; !at.empty() && steps < 32; ++steps) {
        if (!withDefault && at == defaultId) break;
        const auto it = all.find(at);
        if (it == all.end()) break;
        addRunLook(it->second.rPr, theme, look);
        at = it->second.basedOn;
    }
    return look;
}

}  // namespace old

// The list reader as it was.
ListLevel oldReadLevel(std::string_view block) {
    ListLevel l;
    l.start = intValue(childValue(block, "start"), 0);
    if (const std::string_view f = childValue(block, "numFmt"); !f.empty()) l.format = std::string(f);
    l.text = std::string(childValue(block, "lvlText"));
    if (const std::string_view r = childValue(block, "lvlRestart"); !r.empty()) l.restart = intValue(r, -1);
    l.legal = hasChild(block, "isLgl") && isOn(childValue(block, "isLgl"));
    if (const std::string_view s = childValue(block, "suff"); !s.empty()) l.suffix = std::string(s);
    l.font = std::string(tagAttribute(childTag(block, "rFonts"), "ascii"));
    return l;
}

std::string oldLabelText(std::string label) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if ((static_cast<unsigned char>(label[i]) & 0xC0) == 0x80) continue;  // inside a character
        if (++characters > kLongestLabel) {
            label.resize(i);
            break;
        }
    }
    return escapeStoredText(label);
}

class OldListDefinitions {
public:
    OldListDefinitions(std::string_view numbering, std::string_view styles);
    std::string nextLabel(int numId, int ilvl);
    std::string suffix(int numId, int ilvl) const;

private:
    struct Abstract {
        std::array<ListLevel, 9> levels;
        std::string styleLink;  // numStyleLink
    };
    struct Number {
        std::string abstractId;
        std::map<int, int> startOverride;
        std::map<int, ListLevel> levelOverride;
    };
    struct Counters {
        std::array<int, 9> value{};
        std::array<bool, 9> started{};
    };
    const Abstract* abstractOf(const Number& n) const;
    const ListLevel* level(int numId, int ilvl, const Abstract** abs = nullptr) const;

    std::unordered_map<std::string, Abstract> abstracts_;
    std::unordered_map<int, Number> numbers_;
    std::unordered_map<std::string, int> styleNumbers_;  // paragraph style id -> numId, for numStyleLink
    std::unordered_map<const Abstract*, Counters> counters_;  // per abstract definition
    std::unordered_map<int, bool> seen_;                  // numbers already used once
};

OldListDefinitions::OldListDefinitions(std::string_view numbering, std::string_view styles) {
    for (const Element& a : elements(numbering, "abstractNum")) {
        Abstract def;
        for (const Element& l : elements(a.content, "lvl")) {
            const int i = intValue(tagAttribute(l.tag, "ilvl"), -1);
            if (i >= 0 && i < 9) def.levels[static_cast<std::size_t>(i)] = oldReadLevel(l.content);
        }
        def.styleLink = std::string(childValue(a.content, "numStyleLink"));
        abstracts_.emplace(std::string(tagAttribute(a.tag, "abstractNumId")), std::move(def));
    }
    for (const Element& n : elements(numbering, "num")) {
        Number num;
        num.abstractId = std::string(childValue(n.content, "abstractNumId"));
        for (const Element& o : elements(n.content, "lvlOverride")) {
            const int i = intValue(tagAttribute(o.tag, "ilvl"), -1);
            if (i < 0 || i >= 9) continue;
            if (const std::string_view s = childValue(o.content, "startOverride"); !s.empty())
                num.startOverride[i] = intValue(s, 0);
            const std::vector<Element> lv = elements(o.content, "lvl");
            if (!lv.empty()) num.levelOverride[i] = oldReadLevel(lv.front().content);
        }
        numbers_.emplace(intValue(tagAttribute(n.tag, "numId"), -1), std::move(num));
    }
    // Numbering styles name the list a numStyleLink stands for.
    for (const Element& s : elements(styles, "style")) {
        const std::string_view numId = childValue(s.content, "numId");
        if (!numId.empty()) styleNumbers_.emplace(std::string(tagAttribute(s.tag, "styleId")), intValue(numId, -1));
    }
}

const OldListDefinitions::Abstract* OldListDefinitions::abstractOf(const Number& n) const {
    auto a = abstracts_.find(n.abstractId);
    if (a == abstracts_.end()) return nullptr;
    if (!a->second.styleLink.empty()) {
        const auto s = styleNumbers_.find(a->second.styleLink);
        const auto linked = s == styleNumbers_.end() ? numbers_.end() : numbers_.find(s->second);
        if (linked != numbers_.end()) {
            const auto b = abstracts_.find(linked->second.abstractId);
            if (b != abstracts_.end() && b->second.styleLink.empty()) return &b->second;
        }
    }
    return &a->second;
}

const ListLevel* OldListDefinitions::level(int numId, int ilvl, const Abstract** abs) const {
    const auto n = numbers_.find(numId);
    if (n == numbers_.end() || ilvl < 0 || ilvl > 8) return nullptr;
    const Abstract* a = abstractOf(n->second);
    if (!a) return nullptr;
    if (abs) *abs = a;
    const auto o = n->second.levelOverride.find(ilvl);
    return o != n->second.levelOverride.end() ? &o->second : &a->levels[static_cast<std::size_t>(ilvl)];
}

std::string OldListDefinitions::suffix(int numId, int ilvl) const {
    const ListLevel* l = level(numId, ilvl);
    return l ? l->suffix : std::string("nothing");
}

std::string OldListDefinitions::nextLabel(int numId, int ilvl) {
    const Abstract* abs = nullptr;
    const ListLevel* here = level(numId, ilvl, &abs);
    if (numId == 0 || !here) return {};
    const Number& num = numbers_.at(numId);
    // The abstract definition's counters; the first paragraph of a number
    // with start overrides restarts those levels.
    Counters& c = counters_[abs];
    if (!seen_[numId]) {
        seen_[numId] = true;
        for (const auto& [i, start] : num.startOverride) {
            c.value[static_cast<std::size_t>(i)] = std::clamp(start, 0, kLargestListNumber) - 1;
            c.started[static_cast<std::size_t>(i)] = true;
        }
    }
    const auto i = static_cast<std::size_t>(ilvl);
    if (c.started[i]) {
        c.value[i] = nextListNumber(c.value[i]);
    } else {
        c.value[i] = std::clamp(here->start, 0, kLargestListNumber);
        c.started[i] = true;
    }
    for (int k = ilvl + 1; k < 9; ++k) {
        const ListLevel* lower = level(numId, k);
        const int after = lower && lower->restart >= 0 ? lower->restart : k;
        if (after != 0 && ilvl < after) c.started[static_cast<std::size_t>(k)] = false;
    }

    if (here->format == "bullet") return oldLabelText(symbolText(here->text, here->font, true));
    std::string label;
    const std::string& t = here->text;
    for (std::size_t p = 0; p < t.size() && label.size() <= 4 * kLongestLabel; ++p) {
        if (t[p] == '%' && p + 1 < t.size() && t[p + 1] >= '1' && t[p + 1] <= '9') {
            const int k = t[p + 1] - '1';
            const ListLevel* shown = level(numId, k);
            if (shown && k <= ilvl) {
                const auto ks = static_cast<std::size_t>(k);
                const int value = c.started[ks] ? c.value[ks] : shown->start;
                label += formatListNumber(value, here->legal ? "decimal" : shown->format);
            }
            ++p;
            continue;
        }
        label.push_back(t[p]);
    }
    return oldLabelText(symbolText(label, here->font, false));
}



// ---------------------------------------------------------------------------
// Random parts

class Parts {
public:
    explicit Parts(unsigned seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    std::string pick(const std::vector<std::string>& from) { return from[below(from.size())]; }
    bool chance() { return below(2) == 0; }
    // An attribute with a random value, or nothing.
    std::string attr(const std::string& name, const std::vector<std::string>& values) {
        return chance() ? " " + name + "=\"" + pick(values) + "\"" : "";
    }

    // complete: every font of both schemes named, as Word writes themes.
    std::string theme(bool complete = false) {
        std::string t = "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements>"
                        "<a:fontScheme>";
        for (const char* scheme : {"a:majorFont", "a:minorFont"}) {
            if (!complete && !chance()) continue;
            t += std::string("<") + scheme + ">";
            for (const char* kind : {"a:latin", "a:ea", "a:cs"})
                if (complete) t += std::string("<") + kind + " typeface=\"" + pick({"Cambria", "Calibri", "SimSun"}) + "\"/>";
                else if (chance()) t += std::string("<") + kind + attr("typeface", kFaces) + attr("panose", kPanose) + "/>";
            t += std::string("</") + scheme + ">";
        }
        return t + "</a:fontScheme></a:themeElements></a:theme>";
    }

    std::string fontTable() {
        std::string t = "<w:fonts " + kW + ">";
        for (std::size_t n = below(5); n > 0; --n)
            t += "<w:font" + attr("w:name", kFaces) + ">" + (chance() ? "<w:panose1" + attr("w:val", kPanose) + "/>" : "") +
                 (chance() ? "<w:family" + attr("w:val", {"roman", "swiss", "modern", "script", "decorative", "auto"}) + "/>" : "") +
                 "</w:font>";
        return t + "</w:fonts>";
    }

    std::string runProperties() {
        std::string r = "<w:rPr>";
        if (chance())
            r += "<w:rFonts" + attr("w:asciiTheme", kThemeRefs) + attr("w:ascii", kFaces) + attr("w:hAnsiTheme", kThemeRefs) +
                 attr("w:hAnsi", kFaces) + attr("w:eastAsia", kFaces) + attr("w:cs", kFaces) + "/>";
        for (const char* t : {"w:b", "w:i", "w:caps", "w:vanish", "w:smallCaps", "w:strike", "w:dstrike"})
            if (below(3) == 0) r += std::string("<") + t + attr("w:val", kToggles) + "/>";
        if (chance()) r += "<w:sz" + attr("w:val", {"24", "0", "3277", "x", "21"}) + "/>";
        if (chance()) r += "<w:color" + attr("w:val", {"FF0000", "auto", "12345", "00ff00"}) + "/>";
        if (chance()) r += "<w:u" + attr("w:val", {"single", "none", ""}) + "/>";
        return r + "</w:rPr>";
    }

    std::string styles() {
        std::string t = "<w:styles " + kW + ">";
        if (chance()) t += "<w:docDefaults><w:rPrDefault>" + runProperties() + "</w:rPrDefault></w:docDefaults>";
        for (std::size_t n = below(8); n > 0; --n) {
            t += "<w:style" + attr("w:type", {"paragraph", "character", "table", "numbering"}) + attr("w:default", kToggles) +
                 attr("w:styleId", kIds) + ">";
            if (chance()) t += "<w:basedOn" + attr("w:val", kIds) + "/>";
            if (chance()) t += "<w:pPr><w:numPr><w:numId" + attr("w:val", kNumIds) + "/></w:numPr></w:pPr>";
            if (chance()) t += runProperties();
            t += "</w:style>";
        }
        return t + "</w:styles>";
    }

    std::string level(const std::string& ilvl) {
        return "<w:lvl w:ilvl=\"" + ilvl + "\">" + (chance() ? "<w:start" + attr("w:val", {"0", "1", "5", "x", "-2"}) + "/>" : "") +
               (chance() ? "<w:numFmt" + attr("w:val", {"decimal", "lowerRoman", "upperLetter", "bullet", "none", "ordinal"}) + "/>" : "") +
               "<w:lvlText" + attr("w:val", {"%1.", "%1.%2", "(%3)", "%2%1", "\xEF\x82\xB7", "x"}) + "/>" +
               (chance() ? "<w:lvlRestart" + attr("w:val", {"0", "1", "x"}) + "/>" : "") +
               (below(4) == 0 ? "<w:isLgl" + attr("w:val", kToggles) + "/>" : "") +
               (chance() ? "<w:suff" + attr("w:val", {"tab", "space", "nothing"}) + "/>" : "") + "</w:lvl>";
    }

    std::string numbering() {
        std::string t = "<w:numbering " + kW + ">";
        for (std::size_t n = below(4); n > 0; --n) {
            t += "<w:abstractNum w:abstractNumId=\"" + pick({"0", "1", "2", "12"}) + "\">";
            for (std::size_t l = below(5); l > 0; --l) t += level(pick({"0", "1", "2", "9", "x"}));
            if (below(3) == 0) t += "<w:numStyleLink" + attr("w:val", kIds) + "/>";
            t += "</w:abstractNum>";
        }
        for (std::size_t n = below(5); n > 0; --n) {
            t += "<w:num w:numId=\"" + pick(kNumIds) + "\"><w:abstractNumId w:val=\"" + pick({"0", "1", "2", "12", "7"}) + "\"/>";
            if (chance())
                t += "<w:lvlOverride w:ilvl=\"" + pick({"0", "1", "2"}) + "\">" +
                     (chance() ? "<w:startOverride" + attr("w:val", {"3", "0", "x"}) + "/>" : "") +
                     (below(3) == 0 ? level("0") : "") + "</w:lvlOverride>";
            t += "</w:num>";
        }
        return t + "</w:numbering>";
    }

    const std::vector<std::string> kIds{"A", "B", "C", "Normal", ""};
    const std::vector<std::string> kNumIds{"1", "2", "12", "0", "x"};
    const std::vector<std::string> kFaces{"Calibri", "Arial", "", "Times New Roman", "MS Mincho"};

private:
    const std::string kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
    const std::vector<std::string> kPanose{"020F0502020204030204", "02070309020205020404", "03000000000000000000", "zz", ""};
    const std::vector<std::string> kThemeRefs{"minorHAnsi", "majorHAnsi", "minorEastAsia", "majorBidi"};
    const std::vector<std::string> kToggles{"", "0", "1", "true", "false", "on", "off", "x"};
    std::mt19937 rng_;
};

std::string lookText(const RunLook& l) {
    auto s = [](const std::optional<std::string>& v) { return v ? *v : std::string("-"); };
    auto b = [](const std::optional<bool>& v) { return v ? (*v ? "1" : "0") : "-"; };
    return s(l.latin) + "|" + s(l.eastAsian) + "|" + s(l.complex) + "|" + (l.halfPoints ? std::to_string(*l.halfPoints) : "-") +
           "|" + s(l.colour) + "|" + b(l.bold) + b(l.italic) + b(l.underline) + b(l.caps) + b(l.smallCaps) + b(l.strike) +
           b(l.dstrike) + b(l.vanish);
}

std::string fontsText(const ThemeFonts& f) {
    return f.majorLatin + "|" + f.majorEastAsia + "|" + f.majorComplex + "|" + f.minorLatin + "|" + f.minorEastAsia + "|" +
           f.minorComplex;
}

constexpr unsigned kCases = 2000;

}  // namespace

TEST(ModelAgreement, ThemeFontsAndGenericFamilies) {
    for (unsigned seed = 0; seed < kCases; ++seed) {
        Parts gen(seed);
        PartTexts parts;
        parts.theme = gen.theme();
        parts.fontTable = gen.fontTable();
        model::DocumentModel m;
        model::readParts(m, parts);
        ASSERT_EQ(fontsText(m.themeScheme.fonts), fontsText(old::readThemeFonts(parts.theme))) << parts.theme;
        const auto families = old::families(removePrefixInTags(parts.fontTable), parts.theme);
        for (const std::string& face : gen.kFaces) {
            const auto it = families.find(lowerCase(face));
            ASSERT_EQ(m.fontFamilies.generic(face), it == families.end() ? "" : it->second)
                << face << "\n" << parts.fontTable << "\n" << parts.theme;
        }
    }
}

TEST(ModelAgreement, StyleRunLooks) {
    for (unsigned seed = 0; seed < kCases; ++seed) {
        Parts gen(seed);
        PartTexts parts;
        parts.theme = gen.theme(true);
        parts.styles = gen.styles();
        model::DocumentModel m;
        model::readParts(m, parts);
        // The text reader read the styles part as loadPartsFromText left it.
        std::string styles = removePrefixInTags(parts.styles);
        const ThemeFonts theme = old::readThemeFonts(parts.theme);
        resolveFontsAndShading(styles, &theme, true, "");
        const StyleRunLooks looks(m);
        for (const std::string& id : gen.kIds)
            for (bool withDefault : {false, true})
                ASSERT_EQ(lookText(looks.look(id, withDefault)), lookText(old::styleLook(styles, theme, id, withDefault)))
                    << id << " " << withDefault << "\n" << parts.styles << "\n" << parts.theme;
    }
}

TEST(ModelAgreement, ListLabels) {
    for (unsigned seed = 0; seed < kCases; ++seed) {
        Parts gen(seed);
        PartTexts parts;
        parts.styles = gen.styles();
        parts.numbering = gen.numbering();
        model::DocumentModel m;
        model::readParts(m, parts);
        ListDefinitions now(m);
        OldListDefinitions before(removePrefixInTags(parts.numbering), removePrefixInTags(parts.styles));
        for (int k = 0; k < 12; ++k) {
            const int numId = static_cast<int>(gen.below(14)), ilvl = static_cast<int>(gen.below(4));
            ASSERT_EQ(now.suffix(numId, ilvl), before.suffix(numId, ilvl)) << parts.numbering;
            ASSERT_EQ(now.nextLabel(numId, ilvl), before.nextLabel(numId, ilvl))
                << numId << " " << ilvl << "\n" << parts.numbering << "\n" << parts.styles;
        }
    }
}
