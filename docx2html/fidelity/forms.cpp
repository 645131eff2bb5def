// Form fields and content controls in their state. A legacy form field keeps
// its state in the properties of its field (w:ffData) and shows no result
// of its own: a check box shows as ☐ or ☒, a drop-down as its chosen
// entry, a text field without a result as its default text, written just
// before the field's begin mark, where the field's instruction step keeps
// it. A content-control check box (w14:checkbox) shows ☐ or ☒ as its
// checked value says, whatever symbol its content holds; the other content
// controls (drop-down lists, combo boxes, dates, plain text) show their
// content, which is the text Word shows. Reads each field's ffData and each
// content control's sdtPr, parsed as XML with the document's namespaces.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/model/model.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

constexpr std::string_view kChecked = "\xE2\x98\x92";    // ☒
constexpr std::string_view kUnchecked = "\xE2\x98\x90";  // ☐

// The first start tag of the text (the root element's), which declares the
// namespaces its elements use; empty when there is none.
std::string_view rootTag(std::string_view t) {
    for (std::size_t lt = t.find('<'); lt != std::string_view::npos; lt = t.find('<', lt + 1)) {
        if (lt + 1 < t.size() && (t[lt + 1] == '?' || t[lt + 1] == '!')) continue;
        const std::size_t gt = t.find('>', lt);
        return gt == std::string_view::npos || t[gt - 1] == '/' ? std::string_view() : t.substr(lt, gt + 1 - lt);
    }
    return {};
}

// One element of the document part parsed on its own, inside a copy of the
// root element so that its prefixes mean what they mean in the document.
class Fragment {
public:
    Fragment(std::string_view root, std::string_view element, model::Report& report) {
        const std::size_t nameEnd = root.find_first_of(" \t\r\n>");
        const std::string rootName(root.substr(1, nameEnd - 1));
        part_.parse("form field", std::string(root) + std::string(element) + "</" + rootName + ">", report);
    }
    pugi::xml_node element() const { return part_.root().first_child(); }

private:
    model::XmlPart part_;
};

bool on(std::string_view v) { return v.empty() || v == "1" || v == "true" || v == "on"; }

std::string_view checkBoxMark(pugi::xml_node box) {
    std::optional<bool> state = model::toggle(box.child("w:checked"));
    if (!state) state = model::toggle(box.child("w:default"));
    return state.value_or(false) ? kChecked : kUnchecked;
}

// The chosen entry of a drop-down: its result, else its default, else the
// first.
std::string dropDownText(pugi::xml_node list) {
    std::string_view chosen = model::childVal(list, "w:result");
    if (chosen.empty()) chosen = model::childVal(list, "w:default");
    long index = model::number(chosen).value_or(0);
    for (pugi::xml_node entry : list.children("w:listEntry"))
        if (index-- == 0) return entry.attribute("w:val").value();
    return {};
}

// Whether the field whose begin mark ends at `from` has a result: a
// separate mark before its end mark.
bool hasResult(std::string_view t, std::size_t from) {
    const std::size_t separate = findText(t, "w:fldCharType=\"separate\"", from);
    const std::size_t end = findText(t, "w:fldCharType=\"end\"", from);
    return separate != std::string_view::npos && separate < end;
}

// What a legacy form field shows of its state; empty for none.
std::string fieldState(pugi::xml_node ffData, std::string_view t, std::size_t after) {
    if (pugi::xml_node box = ffData.child("w:checkBox")) return std::string(checkBoxMark(box));
    if (pugi::xml_node list = ffData.child("w:ddList")) return dropDownText(list);
    if (pugi::xml_node input = ffData.child("w:textInput"); input && !hasResult(t, after))
        return std::string(model::childVal(input, "w:default"));
    return {};
}

void legacyFields(std::string_view t, std::string_view root, model::Report& report, EditList& edits) {
    for (const Element& e : elements(t, "w:ffData")) {
        const Fragment f(root, t.substr(e.begin, e.end - e.begin), report);
        const std::string state = fieldState(f.element(), t, e.end);
        const std::size_t mark = t.rfind("<w:fldChar", e.begin);
        if (state.empty() || mark == std::string_view::npos) continue;
        edits.insert(mark, "<w:t>" + escapeHtml(state) + "</w:t>");
    }
}

// A content-control check box: the first text or symbol of its content
// becomes its mark, the others go.
void checkBoxContent(std::string_view t, std::size_t from, std::string_view mark, EditList& edits) {
    const std::size_t open = findText(t, "<w:sdtContent>", from);
    const std::size_t close = findText(t, "</w:sdtContent>", from);
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return;
    const std::string_view content = t.substr(open, close - open);
    std::vector<Element> shown = elements(content, "w:t");
    for (const Element& s : elements(content, "w:sym")) shown.push_back(s);
    std::size_t first = std::string_view::npos;
    for (const Element& s : shown) first = std::min(first, s.begin);
    for (const Element& s : shown) {
        std::string text = s.begin == first ? "<w:t>" + std::string(mark) + "</w:t>" : std::string();
        edits.replace(open + s.begin, s.end - s.begin, std::move(text));
    }
}

void contentControls(std::string_view t, std::string_view root, model::Report& report, EditList& edits) {
    for (const Element& e : elements(t, "w:sdtPr")) {
        if (e.content.find("checkbox") == std::string_view::npos) continue;
        const Fragment f(root, t.substr(e.begin, e.end - e.begin), report);
        const pugi::xml_node box = f.element().child("w14:checkbox");
        if (!box) continue;
        const bool checked = on(box.child("w14:checked").attribute("w14:val").value()) && box.child("w14:checked");
        checkBoxContent(t, e.end, checked ? kChecked : kUnchecked, edits);
    }
}

}  // namespace

void formsInTheirState(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    const bool legacy = findText(t, "<w:ffData") != std::string_view::npos;
    const bool controls = findText(t, "checkbox") != std::string_view::npos;
    if (!legacy && !controls) return;
    const std::string_view root = rootTag(t);
    if (root.empty()) return;
    EditList edits;
    if (legacy) legacyFields(t, root, ctx.model->report, edits);
    if (controls) contentControls(t, root, ctx.model->report, edits);
    edits.applyTo(ctx.workingText);
}

}  // namespace tavin
