// The order of the Full Fidelity steps on the raw document text; the steps
// themselves are in docx2html/fidelity/, one file per kind of thing shown.
#include "docx2html/fidelity.h"

#include "core/uStr.h"
#include "docx2html/fidelity/changes.h"
#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/drawings.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/fidelity/tables.h"

namespace tavin {

void removeMarkerBytes(std::string& text) {
    if (text.find('\x1F') != std::string::npos) std::erase(text, '\x1F');
}

void prepareFidelity(ConversionContext& ctx) {
    ctx.mathMarkup.clear();
    removeMarkerBytes(ctx.workingText);
    // Where Word last broke the page when it saved: nothing to show, and
    // left in it would reach the page for its check to take out.
    if (findText(ctx.workingText, "<w:lastRenderedPageBreak/>") != std::string::npos)
        replaceAllInPlace(ctx.workingText, "<w:lastRenderedPageBreak/>", "");
    trackedChanges(ctx);
    directToggles(ctx);
    prepareRuns(ctx);
    applyTableStyleFormats(ctx);
    // Cells centred vertically: the table step writes the value as CSS,
    // where the word is "middle".
    if (findText(ctx.workingText, "<w:vAlign w:val=\"center\"/>") != std::string::npos)
        ctx.workingText = replaceAll(ctx.workingText, "<w:vAlign w:val=\"center\"/>", "<w:vAlign w:val=\"middle\"/>");
    drawingsAsDrawn(ctx);
    vmlPicturesToDrawings(ctx);
    formsInTheirState(ctx);
    symbolsToText(ctx);
    equationsToMathml(ctx);
}

}  // namespace tavin
