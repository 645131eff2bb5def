// Full Fidelity: how runs look. The run properties the classic steps do not
// read (fonts through the theme and the font stack, strike-through, small
// capitals, spacing, shading), those a run's character style gives, hidden
// runs left out and capitals written as such. Reads the style sheet, the
// theme fonts and the font families of the model.
#pragma once

#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>

#include "docx2html/context.h"
#include "docx2html/model/model.h"

namespace tavin {

using ThemeFonts = model::ThemeFonts;
using FontFamilies = model::FontFamilies;

// What a run looks like as far as some run properties say; unset where
// they say nothing.
struct RunLook {
    std::optional<std::string> latin, eastAsian, complex;  // fonts
    std::optional<int> halfPoints;
    std::optional<std::string> colour;  // six hex digits, or "auto" (the automatic text colour)
    std::optional<bool> bold, italic, underline, caps, smallCaps, strike, dstrike;
    std::optional<bool> vanish;  // hidden text: left out, never CSS
    // What complex-script and right-to-left text takes instead: its size
    // (szCs), weight (bCs) and slant (iCs); its font is complex.
    std::optional<int> complexHalfPoints;
    std::optional<bool> complexBold, complexItalic;
    std::optional<bool> rtl, cs;  // the run reads right to left, or in its complex script
};

// Sets in look what the run properties rPr say and look does not say yet:
// a nearer source read first wins.
void addRunLook(pugi::xml_node rPr, const ThemeFonts& theme, RunLook& look);

// The CSS of what look says. Fonts become one stack (Latin, East Asian,
// then the generic family), names in single quotes so that the
// declarations fit a style attribute; the complex-script font is never
// one for Latin text.
std::string runLookCss(const RunLook& look, const FontFamilies& families);

// The CSS of complex-script text of that look: its complex font (then the
// generic family), size, weight and slant, which are never those of Latin
// text (no bCs: not bold, however bold the Latin text is).
std::string complexLookCss(const RunLook& look, const FontFamilies& families);

// The run properties of the styles through their chains of base styles,
// nearest first. Holds a reference to the model, which must outlive it.
class StyleRunLooks {
public:
    explicit StyleRunLooks(const model::DocumentModel& model) : model_(model) {}
    // The look style id gives; with withDefault false, the default
    // paragraph style adds nothing (the page's base rule holds it).
    RunLook look(const std::string& id, bool withDefault) const;
    const std::string& defaultParagraphStyle() const { return model_.styleSheet.defaultParagraphStyle; }

private:
    const model::DocumentModel& model_;
};

// Sets in look the complex-script properties of from that look does not set.
void addComplexLook(const RunLook& from, RunLook& look);

// On the raw document text, in one rebuild: theme fonts and shading
// written where the steps read them (resolveThemeFonts, normalizeShading);
// runs marked hidden (vanish) left out; runs in capitals (caps) with their
// letters written in capitals; strike-through, double strike-through, small
// capitals, character spacing and shading a span around the run's text, and
// so the properties of the run's character style that the run does not set
// itself; runs of complex-script or right-to-left text a span with their
// complex-script font, size, weight and slant (the run's own, its
// character style's, its paragraph style's, the defaults').
void prepareRuns(ConversionContext& ctx);

}  // namespace tavin
