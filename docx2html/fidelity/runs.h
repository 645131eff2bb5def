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
    std::optional<std::string> colour;  // six hex digits
    std::optional<bool> bold, italic, underline, caps, smallCaps, strike, dstrike;
    std::optional<bool> vanish;  // hidden text: left out, never CSS
};

// Sets in look what the run properties rPr say and look does not say yet:
// a nearer source read first wins.
void addRunLook(pugi::xml_node rPr, const ThemeFonts& theme, RunLook& look);

// The CSS of what look says. Fonts become one stack (Latin, East Asian,
// complex script, then the generic family), names in single quotes so
// that the declarations fit a style attribute.
std::string runLookCss(const RunLook& look, const FontFamilies& families);

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

// On the raw document text, in one rebuild: theme fonts and shading
// written where the steps read them (resolveThemeFonts, normalizeShading);
// runs marked hidden (vanish) left out; runs in capitals (caps) with their
// letters written in capitals; strike-through, double strike-through, small
// capitals, character spacing and shading a span around the run's text, and
// so the properties of the run's character style that the run does not set
// itself.
void prepareRuns(ConversionContext& ctx);

}  // namespace tavin
