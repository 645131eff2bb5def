// Full Fidelity: how runs look, from their own properties and their
// character style's (the model's style sheet), with the theme's fonts and
// the font families' generic names.
#include "docx2html/fidelity/runs.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/uStr.h"
#include "docx2html/docxstyle.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/memo.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/fidelity/validpage.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// Whether a value is a colour as Word writes it: six hex digits.
bool isHexColour(std::string_view v) {
    return v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// Run properties as the model holds them.
struct NodeProps {
    pugi::xml_node rPr;
    std::string_view attr(const char* element, const char* name) const {
        return rPr.child(element).attribute(name).value();
    }
    bool has(const char* element) const { return static_cast<bool>(rPr.child(element)); }
    std::optional<bool> on(const char* element) const { return model::toggle(rPr.child(element)); }
};

// Run properties of the working text, which is not modelled: the text
// between a run's start tag and its "</w:rPr>", its tags indexed by name in
// one pass (the first of each name, as the steps read them).
class TextProps {
public:
    explicit TextProps(std::string_view rPr) : rPr_(rPr) {
        for (std::size_t lt = rPr.find('<'); lt != std::string_view::npos && count_ < tags_.size(); lt = rPr.find('<', lt + 1))
            if (!index(lt)) break;
    }
    std::string_view attr(const char* element, const char* name) const { return tagAttribute(find(element), name); }
    bool has(const char* element) const { return !find(element).empty(); }
    std::optional<bool> on(const char* element) const {
        const std::string_view t = find(element);
        if (t.empty()) return std::nullopt;
        return isOn(tagAttribute(t, "w:val"));
    }

private:
    static bool endsName(char c) { return c == ' ' || c == '>' || c == '/' || c == '\t' || c == '\r' || c == '\n'; }

    // Records the tag at lt; false when it has no end.
    bool index(std::size_t lt) {
        const std::size_t gt = rPr_.find('>', lt);
        if (gt == std::string_view::npos) return false;
        std::size_t n = lt + 1;
        while (n < rPr_.size() && !endsName(rPr_[n])) ++n;
        const std::string_view name = rPr_.substr(lt + 1, n - lt - 1);
        for (std::size_t i = 0; i < count_; ++i)
            if (tags_[i].first == name) return true;
        tags_[count_++] = {name, rPr_.substr(lt, gt + 1 - lt)};
        return true;
    }

    std::string_view find(const char* element) const {
        for (std::size_t i = 0; i < count_; ++i)
            if (tags_[i].first == element) return tags_[i].second;
        // Properties past the index are read as they stand.
        return count_ == tags_.size() ? childTag(rPr_, element) : std::string_view();
    }

    std::string_view rPr_;
    std::array<std::pair<std::string_view, std::string_view>, 32> tags_{};
    std::size_t count_ = 0;
};

// The rules of a run look, the same for both sources.
template <class Props>
void addFonts(const Props& p, const ThemeFonts& theme, RunLook& look) {
    if (!p.has("w:rFonts")) return;
    auto font = [&](std::optional<std::string>& field, const char* name, const char* themeName) {
        if (field) return;
        // A theme font the theme does not name gives way to the font named outright.
        std::string f = theme.font(p.attr("w:rFonts", themeName));
        if (f.empty()) f = std::string(p.attr("w:rFonts", name));
        if (!f.empty()) field = f;
    };
    font(look.latin, "w:ascii", "w:asciiTheme");
    if (!look.latin) font(look.latin, "w:hAnsi", "w:hAnsiTheme");
    font(look.eastAsian, "w:eastAsia", "w:eastAsiaTheme");
    font(look.complex, "w:cs", "w:cstheme");
}

// A size in half-points, as Word allows it.
void addSize(std::string_view value, std::optional<int>& field) {
    if (field) return;
    const int half = intValue(value, 0);
    if (half > 0 && half <= 3276) field = half;
}

template <class Props>
void addMeasures(const Props& p, RunLook& look) {
    addSize(p.attr("w:sz", "w:val"), look.halfPoints);
    addSize(p.attr("w:szCs", "w:val"), look.complexHalfPoints);
    if (!look.colour) {
        // "auto" is the automatic text colour, over any colour inherited.
        const std::string_view c = p.attr("w:color", "w:val");
        if (isHexColour(c) || c == "auto") look.colour = std::string(c);
    }
    if (!look.underline && p.has("w:u")) look.underline = p.attr("w:u", "w:val") != "none";
}

template <class Props>
void addToggles(const Props& p, RunLook& look) {
    const std::pair<std::optional<bool>*, const char*> toggles[] = {
        {&look.bold, "w:b"},         {&look.italic, "w:i"},   {&look.caps, "w:caps"},      {&look.vanish, "w:vanish"},
        {&look.smallCaps, "w:smallCaps"}, {&look.strike, "w:strike"}, {&look.dstrike, "w:dstrike"},
        {&look.complexBold, "w:bCs"}, {&look.complexItalic, "w:iCs"}, {&look.rtl, "w:rtl"}, {&look.cs, "w:cs"}};
    for (const auto& [field, name] : toggles)
        if (!*field) *field = p.on(name);
}

template <class Props>
void addLook(const Props& p, const ThemeFonts& theme, RunLook& look) {
    addFonts(p, theme, look);
    addMeasures(p, look);
    addToggles(p, look);
}

// A font name as a quoted CSS family name, without the characters that
// could end the name, the declaration or the markup around it.
std::string cssFamily(std::string_view font, char quote) {
    std::string out(1, quote);
    for (char c : font)
        if (c != '"' && c != '\'' && c != '\\' && c != '<' && c != '>' && c != ';' && c != '{' && c != '}' && c != '&')
            out.push_back(c);
    return out + quote;
}

// The Latin font, then the East Asian one (for the letters the Latin one
// lacks), then the generic family of the first.
std::string fontStackCss(const RunLook& look, const FontFamilies& families) {
    std::vector<std::string_view> stack;
    for (const std::optional<std::string>* f : {&look.latin, &look.eastAsian})
        if (*f && std::find(stack.begin(), stack.end(), **f) == stack.end()) stack.push_back(**f);
    if (stack.empty()) return {};
    std::string css = "font-family:";
    for (std::string_view f : stack) css += cssFamily(f, '\'') + ",";
    css += families.kind(stack.front());
    return css + ";";
}

std::string sizeCss(int halfPoints) {
    return "font-size:" + std::to_string(halfPoints / 2) + (halfPoints % 2 ? ".5" : "") + "pt;";
}

std::string decorationCss(const RunLook& look) {
    const bool dstrike = look.dstrike.value_or(false);
    std::string decoration;
    if (look.underline.value_or(false)) decoration += " underline";
    if (dstrike || look.strike.value_or(false)) decoration += " line-through";
    std::string css = decoration.empty() ? std::string() : "text-decoration:" + decoration.substr(1) + ";";
    if (dstrike) css += "text-decoration-style:double;";
    return css;
}

// "on" or "off" CSS of a toggle that is set.
std::string toggleCss(const std::optional<bool>& value, const char* on, const char* off) {
    if (!value) return {};
    return *value ? on : off;
}

// The CSS of the run properties the classic run steps do not read:
// strike-through, double strike-through, small capitals, character
// spacing and shading.
std::string directCss(const TextProps& p, const ConversionContext& ctx) {
    std::string css;
    if (p.on("w:dstrike").value_or(false)) css += "text-decoration:line-through;text-decoration-style:double;";
    else if (p.on("w:strike").value_or(false)) css += "text-decoration:line-through;";
    if (p.on("w:smallCaps").value_or(false)) css += "font-variant:small-caps;";
    if (const std::string_view spacing = p.attr("w:spacing", "w:val"); !spacing.empty()) {
        try {
            const std::string px = twipsToPx(ctx, spacing);
            if (px != "0") css += "letter-spacing:" + px + "px;";
        } catch (const Error&) {
            // A spacing that is no measure shows none.
        }
    }
    const std::string_view fill = shadingColour(p.attr("w:shd", "w:val"), p.attr("w:shd", "w:color"), p.attr("w:shd", "w:fill"));
    if (isHexColour(fill) && fill != "FFFFFF") css += "background-color:#" + std::string(fill) + ";";
    return css;
}

// Unsets in look what nearer sets.
void withoutSetIn(RunLook& look, const RunLook& nearer) {
    auto drop = [](auto& field, const auto& nearerField) {
        if (nearerField) field.reset();
    };
    drop(look.latin, nearer.latin);
    drop(look.eastAsian, nearer.eastAsian);
    drop(look.complex, nearer.complex);
    drop(look.halfPoints, nearer.halfPoints);
    drop(look.colour, nearer.colour);
    drop(look.bold, nearer.bold);
    drop(look.italic, nearer.italic);
    drop(look.underline, nearer.underline);
    drop(look.caps, nearer.caps);
    drop(look.smallCaps, nearer.smallCaps);
    drop(look.strike, nearer.strike);
    drop(look.dstrike, nearer.dstrike);
    drop(look.vanish, nearer.vanish);
    drop(look.complexHalfPoints, nearer.complexHalfPoints);
    drop(look.complexBold, nearer.complexBold);
    drop(look.complexItalic, nearer.complexItalic);
}

// holdsScript byte by byte.
bool holdsScriptByte(std::string_view text, bool eastAsian) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (eastAsian ? (c >= 0xE3 && c <= 0xED) || c == 0xEF || c == 0xF0 : (c >= 0xD6 && c <= 0xDD) || c == 0xE0)
            return true;
    }
    return false;
}

// Whether text holds letters of East Asian scripts (CJK, kana, Hangul,
// full-width forms) or of complex ones (Hebrew, Arabic, Syriac, Indic), by
// the lead bytes of their UTF-8 sequences.
bool holdsScript(std::string_view text, bool eastAsian) {
    // Most text is ASCII or Latin: a block whose largest byte is below the
    // lead bytes of both kinds of script is passed whole.
    constexpr std::size_t kBlock = 64;
    std::size_t i = 0;
    for (; i + kBlock <= text.size(); i += kBlock) {
        unsigned char largest = 0;
        for (std::size_t k = 0; k < kBlock; ++k) largest = std::max(largest, static_cast<unsigned char>(text[i + k]));
        if (largest >= 0xD6 && holdsScriptByte(text.substr(i, kBlock), eastAsian)) return true;
    }
    return holdsScriptByte(text.substr(i), eastAsian);
}

// A run naming an East Asian font besides its own has it in its font stack
// when its text holds that script.
RunLook scriptFonts(const RunLook& direct, std::string_view text) {
    RunLook scripts;
    if (direct.latin && direct.eastAsian && direct.eastAsian != direct.latin && holdsScript(text, true)) {
        scripts.latin = direct.latin;
        scripts.eastAsian = direct.eastAsian;
    }
    return scripts;
}

// Whether a run is read in its complex script: marked right to left or
// complex, or holding letters of those scripts.
bool isComplexRun(const RunLook& direct, const RunLook& styled, std::string_view text) {
    return direct.rtl.value_or(styled.rtl.value_or(false)) || direct.cs.value_or(styled.cs.value_or(false)) ||
           holdsScript(text, false);
}

// Whether a run holds runs (a text box in a drawing): it is left as it is.
bool holdsRuns(const Element& r) {
    return r.content.find("<w:r>") != std::string_view::npos || r.content.find("<w:r ") != std::string_view::npos;
}

// The style of the paragraph that each run stands in, for runs met in
// order: the last paragraph start before the run, read once.
class ParagraphStyleCursor {
public:
    explicit ParagraphStyleCursor(std::string_view t) : t_(t) {}

    const std::string& at(std::size_t pos) {
        if (!started_) {
            pending_ = nextStart(0);
            started_ = true;
        }
        // Only the last paragraph passed is read: the run stands in it.
        std::size_t last = std::string_view::npos;
        while (pending_ != std::string_view::npos && pending_ <= pos) {
            last = pending_;
            pending_ = nextStart(pending_ + 4);
        }
        if (last != std::string_view::npos) style_ = styleOf(last);
        return style_;
    }

private:
    std::size_t nextStart(std::size_t from) const {
        for (std::size_t p = findText(t_, "<w:p", from); p != std::string_view::npos; p = findText(t_, "<w:p", p + 1))
            if (p + 4 < t_.size() && (t_[p + 4] == '>' || t_[p + 4] == ' ')) return p;
        return std::string_view::npos;
    }
    std::string styleOf(std::size_t p) {
        const std::size_t gt = t_.find('>', p);
        if (gt == std::string_view::npos || t_.compare(gt + 1, 7, "<w:pPr>") != 0) return {};
        // The end found last is reused while it lies ahead: the text is read once.
        if (propertiesEnd_ == std::string_view::npos) return {};
        if (propertiesEnd_ < gt) propertiesEnd_ = t_.find("</w:pPr>", gt);
        if (propertiesEnd_ == std::string_view::npos) return {};
        const std::string_view pPr = t_.substr(gt + 1, propertiesEnd_ - gt - 1);
        return std::string(tagAttribute(childTag(pPr, "w:pStyle"), "w:val"));
    }

    std::string_view t_;
    bool started_ = false;
    std::size_t pending_ = std::string_view::npos, propertiesEnd_ = 0;
    std::string style_;
};

// What becomes of one run: left out, in capitals, and the CSS of its span.
struct RunPlan {
    bool hidden = false, caps = false;
    std::string css;
    bool changes() const { return hidden || caps || !css.empty(); }
};

// Capitals outside tags and character references: ASCII and Latin-1 small
// letters. The state runs on from one stretch of a run to the next.
struct Capitals {
    bool inTag = false, inReference = false;

    void append(std::string& out, std::string_view s) {
        for (std::size_t i = 0; i < s.size(); ++i) i += appendAt(out, s, i);
    }

private:
    // Appends the character at i; the count of further bytes it took.
    std::size_t appendAt(std::string& out, std::string_view s, std::size_t i) {
        const char c = s[i];
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag && c == '&') inReference = true;
        else if (inReference && c == ';') inReference = false;
        else if (!inTag && !inReference) return appendLetter(out, s, i);
        out.push_back(c);
        return 0;
    }
    static std::size_t appendLetter(std::string& out, std::string_view s, std::size_t i) {
        const char c = s[i];
        if (c >= 'a' && c <= 'z') {
            out.push_back(static_cast<char>(c - 32));
            return 0;
        }
        const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
        if (c == '\xC3' && next >= 0xA0 && next <= 0xBE && next != 0xB7) {
            out.push_back(c);
            out.push_back(static_cast<char>(next - 0x20));
            return 1;
        }
        out.push_back(c);
        return 0;
    }
};

// The walk over the runs of the working text, with the theme fonts and
// shading written in the same rebuild (edits).
class RunWalk {
public:
    RunWalk(ConversionContext& ctx, const model::DocumentModel& model, const std::vector<TagEdit>& edits)
        : ctx_(ctx), model_(model), looks_(model), t_(ctx.workingText), edits_(edits), paragraphs_(t_) {}

    // Whether the text changes; out is then the new text.
    bool run(std::string& out) {
        const bool properties = anyRunProperty();
        if (edits_.empty() && !properties) return false;
        out.reserve(t_.size() + t_.size() / 16);
        std::size_t copied = 0, next = 0;
        bool changed = !edits_.empty();
        for (const Element& r : properties ? elements(t_, "w:r") : std::vector<Element>()) {
            if (holdsRuns(r)) continue;
            const std::string_view rPr = propertiesOf(r);
            if (rPr.empty() && !holdsScript(r.content, false)) continue;
            const RunPlan& plan = planFor(r, rPr);
            if (!plan.changes()) continue;
            changed = true;
            next = copyEdited(out, t_, copied, r.begin, edits_, next);
            std::string whole;
            next = copyEdited(whole, t_, r.begin, r.end, edits_, next);
            copied = r.end;
            if (!plan.hidden) write(out, whole, plan);
        }
        if (changed) copyEdited(out, t_, copied, t_.size(), edits_, next);
        return changed;
    }

private:
    bool anyRunProperty() const {
        for (const char* p : {"<w:vanish", "<w:caps", "<w:strike", "<w:dstrike", "<w:smallCaps", "<w:spacing w:val", "<w:shd",
                              "<w:rStyle", "<w:rFonts", "<w:rtl", "<w:cs", "<w:szCs", "<w:color w:val=\"auto\"",
                              "<w:b w:val=", "<w:i w:val="})
            if (findText(t_, p) != std::string_view::npos) return true;
        return holdsScript(t_, false);
    }

    // The text through a run's own properties; empty when the run has none.
    static std::string_view propertiesOf(const Element& r) {
        const std::size_t open = r.content.find("<w:rPr>");
        if (open == std::string_view::npos) return {};
        const std::size_t close = r.content.find("</w:rPr>", open + 7);
        if (close == std::string_view::npos || close == open + 7) return {};
        return r.content.substr(0, r.content.find("</w:rPr>"));
    }

    // The complex-script look of a paragraph style (or the default one)
    // through its chain, and the defaults.
    const RunLook& paragraphLook(const std::string& id) {
        auto it = paragraphLooks_.find(id);
        if (it != paragraphLooks_.end()) return it->second;
        RunLook look = looks_.look(id.empty() ? looks_.defaultParagraphStyle() : id, true);
        addRunLook(model_.styleSheet.defaultRunProperties, model_.themeScheme.fonts, look);
        return paragraphLooks_.emplace(id, std::move(look)).first->second;
    }

    // The CSS of a complex-script run: its own, its character style's, its
    // paragraph style's and the defaults' complex-script properties.
    std::string complexCss(const Element& r, RunLook look, const RunLook& styled) {
        addComplexLook(styled, look);
        addComplexLook(paragraphLook(paragraphs_.at(r.begin)), look);
        return complexLookCss(look, model_.fontFamilies);
    }

    const RunLook& styleLook(const std::string& id) {
        auto it = styleLooks_.find(id);
        if (it == styleLooks_.end()) it = styleLooks_.emplace(id, looks_.look(id, false)).first;
        return it->second;
    }

    // planOf, which depends on the run's properties, the scripts of its
    // text and its paragraph's style alone: each distinct one planned once.
    const RunPlan& planFor(const Element& r, std::string_view rPr) {
        const std::string& paragraph = paragraphs_.at(r.begin);
        std::string key;
        key.reserve(rPr.size() + paragraph.size() + 8);
        key += holdsScript(r.content, false) ? '1' : '0';
        key += holdsScript(r.content, true) ? '1' : '0';
        key += std::to_string(paragraph.size());
        key += ':';
        key += paragraph;
        key += rPr;
        return plans_.get(key, [&] { return planOf(r, TextProps{rPr}); });
    }

    RunPlan planOf(const Element& r, const TextProps& props) {
        RunLook direct;
        addLook(props, model_.themeScheme.fonts, direct);
        const std::string rStyle(props.attr("w:rStyle", "w:val"));
        RunLook styled = rStyle.empty() ? RunLook() : styleLook(rStyle);
        const bool complex = isComplexRun(direct, styled, r.content);
        const RunLook complexStyled = styled;
        RunPlan plan;
        plan.hidden = direct.vanish ? *direct.vanish : styled.vanish.value_or(false);
        plan.caps = direct.caps ? *direct.caps : styled.caps.value_or(false);
        if (plan.hidden) return plan;
        // The span holds what only the style says; capitals are written as such.
        withoutSetIn(styled, direct);
        styled.caps.reset();
        const FontFamilies& families = model_.fontFamilies;
        plan.css = directCss(props, ctx_) + runLookCss(styled, families) + runLookCss(scriptFonts(direct, r.content), families);
        // A run's own "off" beats a bold or italic paragraph (a heading
        // whose runs say w:b w:val="0").
        if (direct.bold == false) plan.css += "font-weight:normal;";
        if (direct.italic == false) plan.css += "font-style:normal;";
        if (complex) plan.css += complexCss(r, direct, complexStyled);
        return plan;
    }

    // The run (whole, its fonts and shading written) with a span around its
    // content, marked until the page is assembled, and its letters in capitals.
    static void write(std::string& out, std::string_view whole, const RunPlan& plan) {
        const std::size_t rPrEnd = whole.find("</w:rPr>");
        const std::size_t from = rPrEnd == std::string_view::npos ? whole.find('>') + 1 : rPrEnd + 8;
        const std::size_t to = whole.size() - 6;  // "</w:r>"
        const std::string_view pieces[] = {whole.substr(0, from), whole.substr(from, to - from), whole.substr(to)};
        const std::string marks[] = {"<w:\x1FtvSpan w:css=\"" + plan.css + "\"/>", "<w:\x1FtvSpanEnd/>"};
        Capitals capitals;
        for (std::size_t i = 0; i < 3; ++i) {
            if (i > 0 && !plan.css.empty()) out += marks[i - 1];
            if (plan.caps) capitals.append(out, pieces[i]);
            else out.append(pieces[i]);
        }
    }

    ConversionContext& ctx_;
    const model::DocumentModel& model_;
    StyleRunLooks looks_;
    std::string_view t_;
    const std::vector<TagEdit>& edits_;
    std::unordered_map<std::string, RunLook> styleLooks_, paragraphLooks_;
    ParagraphStyleCursor paragraphs_;
    BoundedMemo<std::string, RunPlan> plans_;
};

}  // namespace

void addRunLook(pugi::xml_node rPr, const ThemeFonts& theme, RunLook& look) {
    if (rPr) addLook(NodeProps{rPr}, theme, look);
}

std::string runLookCss(const RunLook& look, const FontFamilies& families) {
    std::string css = fontStackCss(look, families);
    if (look.halfPoints) css += sizeCss(*look.halfPoints);
    if (look.colour) css += "color:" + (*look.colour == "auto" ? std::string(kAutoTextColour) : "#" + *look.colour) + ";";
    css += toggleCss(look.bold, "font-weight:bold;", "font-weight:normal;");
    css += toggleCss(look.italic, "font-style:italic;", "font-style:normal;");
    css += decorationCss(look);
    css += toggleCss(look.caps, "text-transform:uppercase;", "text-transform:none;");
    if (look.smallCaps.value_or(false)) css += "font-variant:small-caps;";
    return css;
}

std::string complexLookCss(const RunLook& look, const FontFamilies& families) {
    std::string css;
    if (look.complex) css += "font-family:" + cssFamily(*look.complex, '\'') + "," + std::string(families.kind(*look.complex)) + ";";
    if (look.complexHalfPoints) css += sizeCss(*look.complexHalfPoints);
    css += look.complexBold.value_or(false) ? "font-weight:bold;" : "font-weight:normal;";
    css += look.complexItalic.value_or(false) ? "font-style:italic;" : "font-style:normal;";
    return css;
}

void addComplexLook(const RunLook& from, RunLook& look) {
    if (!look.complex) look.complex = from.complex;
    if (!look.complexHalfPoints) look.complexHalfPoints = from.complexHalfPoints;
    if (!look.complexBold) look.complexBold = from.complexBold;
    if (!look.complexItalic) look.complexItalic = from.complexItalic;
}

RunLook StyleRunLooks::look(const std::string& id, bool withDefault) const {
    RunLook look;
    const std::string& standard = model_.styleSheet.defaultParagraphStyle;
    for (const model::Style* s : model_.styleSheet.chain(id)) {
        if (!withDefault && s->id == standard) break;
        addRunLook(s->rPr, model_.themeScheme.fonts, look);
    }
    return look;
}

void prepareRuns(ConversionContext& ctx) {
    if (!ctx.model) return;
    const std::vector<TagEdit> edits = fontAndShadingEdits(ctx.workingText, &ctx.model->themeScheme.fonts, true, "w:");
    std::string out;
    if (RunWalk(ctx, *ctx.model, edits).run(out)) ctx.workingText = std::move(out);
}

}  // namespace tavin
