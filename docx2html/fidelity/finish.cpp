// The assembled page: the markers the earlier steps left become their
// markup (headings as h1-h6 (headings.cpp), dir="rtl" on paragraphs and tables, the
// paragraphs' own CSS, spans of run looks, equations, sheets), and the
// head gets the rules these need and the document's defaults. Reads the
// page being built, the equations set aside, and the styles, theme and
// font table for the defaults.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "core/uStr.h"
#include "docx2html/fidelity/changes.h"
#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/drawings.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/equations.h"
#include "docx2html/fidelity/headings.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/pages.h"
#include "docx2html/fidelity/stories.h"
#include "docx2html/fidelity/validpage.h"
#include "docx2html/markup.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

const char* const kSheetRules = "div.page{break-after:page}\r\n";
const char* const kBreakRules = ".pagebreak{break-after:page}\r\n";
// On paper the columns of a part that ends with its sheet fill one by one.
const char* const kFilledColumnRules = "@media print{div.tvcolumns{column-fill:auto}}\r\n";
// The labels are the paragraphs' own, and so are their indents.
const char* const kListRules = "ol,ul{list-style-type:none;padding-left:0px;margin-left:0px}\r\n";

// Whether style holds declaration ("name:value;") already as the last
// declaration of its property.
bool declarationHeld(std::string_view declaration, std::string_view style) {
    const std::size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) return false;
    // The property's last declaration in style, at a declaration's start.
    const std::string_view property = declaration.substr(0, colon + 1);
    for (std::size_t at = style.rfind(property); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : style.rfind(property, at - 1)) {
        if (at != 0 && style[at - 1] != ';' && style[at - 1] != ' ') continue;
        return style.compare(at, declaration.size(), declaration) == 0 ||
               (declaration.back() == ';' && style.substr(at) == declaration.substr(0, declaration.size() - 1));
    }
    return false;
}

// The declarations of css ("name:value;" each) that style does not hold
// already.
std::string withoutDeclarationsHeld(std::string_view css, std::string_view style) {
    std::string out;
    for (std::size_t from = 0; from < css.size();) {
        std::size_t end = css.find(';', from);
        end = end == std::string_view::npos ? css.size() : end + 1;
        const std::string_view declaration = css.substr(from, end - from);
        from = end;
        if (!declarationHeld(declaration, style)) out += declaration;
    }
    return out;
}

// The style attribute of the paragraph start tag the markers after it
// style: its value when it has one, else the declarations the markers add,
// written as one attribute when the next paragraph starts.
struct ParagraphStyleAttribute {
    std::size_t tagEnd = std::string::npos;  // the ">" of the start tag
    std::size_t quote = std::string::npos;   // the closing quote of its style value
    std::string_view value;
    std::string added;
    std::string markers;  // all the markers' CSS for this paragraph

    void start(std::string_view t, std::size_t at, EditList& edits) {
        finish(edits);
        tagEnd = t.find('>', at);
        quote = std::string::npos;
        value = {};
        markers.clear();
        if (tagEnd == std::string::npos) return;
        const std::string_view tag = t.substr(at, tagEnd - at);
        const std::size_t style = tag.find(" style=\"");
        const std::size_t close = style == std::string_view::npos ? style : tag.find('"', style + 8);
        if (close == std::string_view::npos) return;
        value = tag.substr(style + 8, close - style - 8);
        quote = at + close;
    }
    // CSS for the paragraph: the last word in its style attribute, or one
    // of its own (one for all its markers).
    void add(const std::string& css, EditList& edits) {
        markers += css;
        if (quote == std::string::npos) {
            added += css;
            return;
        }
        const std::string kept = withoutDeclarationsHeld(css, value);
        if (!kept.empty()) edits.insert(quote, kept);
    }
    void finish(EditList& edits) {
        if (!added.empty() && tagEnd != std::string::npos) edits.insert(tagEnd, " style=\"" + added + "\"");
        added.clear();
    }
};

bool startsWith(std::string_view s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// Tabs to a centre or right stop: the space grows to fill the line (the
// paragraph and the inline elements around the tab lay out as flex rows),
// drawn with the stop's leader.
constexpr std::string_view kTabElement = " <b class=tab></b>";
constexpr std::string_view kFlexRow = "display:flex;align-items:baseline;";
constexpr std::string_view kFlexItemRow = "display:flex;flex:1 1 auto;min-width:0;align-items:baseline;";
const char* const kTabRules =
    "b.tvfill{flex:1 1 0;width:0;min-width:0;margin:0 4px;overflow:hidden;white-space:nowrap;font-weight:normal}\r\n"
    "b.tvdot::after{content:\"................................................................................"
    "........................................................................................................\"}\r\n"
    "b.tvhyphen::after{content:\"--------------------------------------------------------------------------------"
    "--------------------------------------------------------------------------------------------------------\"}\r\n"
    "b.tvmiddleDot::after{content:\"\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7"
    "\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\\B7\"}\r\n"
    "b.tvunderscore,b.tvheavy{border-bottom:1px solid;height:0.9em}\r\n"
    "a[href^=\"#_Toc\"],a[href^=\"#_Toc\"] *{color:inherit;text-decoration:none}\r\n";

// Raised and lowered text at the size Word draws it (about two thirds, the
// superscript size of common faces), and note marks in the text's colour
// like Word's, still links to their notes.
constexpr std::string_view kScriptRules =
    "sup,sub{font-size:.65em}\r\na[href^=\"#fn\"]{color:inherit;text-decoration:none}\r\n";

// The leaders a tab stop may have, as their class names; "" for none.
std::string_view leaderClass(std::string_view leader) {
    for (std::string_view known : {"dot", "hyphen", "underscore", "heavy", "middleDot"})
        if (leader == known) return known;
    return {};
}

// The inline elements inside a paragraph, which become flex rows when a
// tab inside them fills.
bool inlineElement(std::string_view name) {
    for (std::string_view n : {"span", "a", "b", "i", "u", "s", "font", "strong", "em", "strike"})
        if (name == n) return true;
    return false;
}

// The name of the tag whose name starts at at, up to the blank, ">" or "/"
// that ends it (empty when nothing ends it).
std::string_view tagNameAt(std::string_view t, std::size_t at) {
    const std::size_t end = t.find_first_of(" >/", at);
    return end == std::string_view::npos ? std::string_view() : t.substr(at, end - at);
}

// One walk over the tags of the page's body: the nesting of blocks (for
// page breaks), the last paragraph and table start tags (for the markers
// inside them).
class PageFinisher {
public:
    // The page of ctx, or (fragment) a header or footer placed by the
    // sheets, whose markers but the page fields become markup here.
    // A fragment that is a drawing shows only the drawings before it
    // (drawingsBefore), those inside it.
    PageFinisher(ConversionContext& ctx, std::string_view text, bool fragment = false,
                 std::size_t drawingsBefore = std::string::npos)
        : ctx_(ctx), t_(text), paragraphEnd_(t_, "</p>"), sheets_(ctx.pageMarginFlag), fragment_(fragment),
          drawingsBefore_(drawingsBefore) {}

    void run() {
        walk();
        sheets_.finish(edits_);
        placeNotes();
        placeSheets();
        endParagraphTabs();
        pStyle_.finish(edits_);
        addRules();
        ctx_.workingText = edits_.apply(t_);
    }

    std::string finishedFragment() {
        walk();
        endParagraphTabs();
        pStyle_.finish(edits_);
        return edits_.apply(t_);
    }

private:
    void walk() {
        body_ = fragment_ ? std::string::npos : t_.find("<body");
        const std::size_t bodyEnd = body_ == std::string::npos ? std::string::npos : t_.find('>', body_);
        for (std::size_t lt = t_.find('<', bodyEnd == std::string::npos ? 0 : bodyEnd); lt != std::string::npos;
             lt = t_.find('<', lt + 1)) {
            if (t_.compare(lt, marker::kStart.size(), marker::kStart) != 0) {
                tag(lt);
                continue;
            }
            const std::size_t gt = t_.find('>', lt);
            if (gt == std::string::npos) break;
            markerAt(lt, t_.substr(lt, gt + 1 - lt));
            lt = gt;
        }
    }

    // A start or end tag of the page.
    void tag(std::size_t lt) {
        const bool close = t_.compare(lt + 1, 1, "/") == 0;
        const std::string_view name = tagNameAt(t_, lt + (close ? 2 : 1));
        listTag(name, close);
        if (name == "p" || name == "table") blockTag(lt, name, close);
        if (inlineElement(name)) {
            if (!close) inlines_.push_back({lt, 0, {}, false, false, true});
            else closeInline(false);
        }
        tableTag(lt, name, close);
        if (!close) sheets_.startTag(name == "div");
        if (!close && t_.compare(lt, 12, "<a href=\"#fn") == 0 && t_.compare(lt, 15, "<a href=\"#fnref") != 0) {
            const std::size_t quote = t_.find('"', lt + 12);
            if (quote != std::string::npos) noteSheet_.try_emplace(std::string(t_.substr(lt + 12, quote - lt - 12)), sheets_.starts().size());
        }
    }

    // Footnotes at the foot of the sheet of their first reference, before
    // its footer; those of the last sheet, or of no sheet, stay in the notes
    // section at its end (itself gone when nothing is left in it).
    void placeNotes() {
        const auto& starts = sheets_.starts();
        if (notes_.empty()) return;
        std::vector<std::string> ofSheet(starts.size());
        bool allMoved = true;
        for (std::size_t k = 0; k < notes_.size(); ++k) {
            const auto [at, size, id] = notes_[k];
            const auto sheet = noteSheet_.find(id);
            const bool moved = ctx_.pageMarginFlag && k + 1 < notes_.size() && sheet != noteSheet_.end() && sheet->second < starts.size();
            allMoved = allMoved && (moved || k + 1 == notes_.size());
            if (!moved) {
                edits_.erase(at, size);
                continue;
            }
            const std::size_t end = std::get<0>(notes_[k + 1]);
            PageFinisher fragment(ctx_, t_.substr(at + size, end - at - size), true);
            ofSheet[sheet->second] += fragment.finishedFragment();
            tabs_ = tabs_ || fragment.tabs_;
            edits_.erase(at, end - at);
        }
        for (std::size_t s = 0; s < ofSheet.size(); ++s)
            if (!ofSheet[s].empty()) edits_.insert(starts[s].at, "<div class=footnotes><hr>" + ofSheet[s] + "</div>");
        // The section emptied: from its start tag to its end tag after the
        // last note's marker.
        const std::size_t section = t_.rfind("<div class=footnotes>", std::get<0>(notes_.front()));
        const std::size_t last = std::get<0>(notes_.back()) + std::get<1>(notes_.back());
        if (allMoved && section != std::string::npos && t_.compare(last, 6, "</div>") == 0) edits_.erase(section, last + 6 - section);
    }

    // The tables open, innermost last: of one that shows some sides of its
    // borders only, those between its rows and its columns, and the row and
    // cell reached.
    struct OpenTable {
        std::string rows, columns;  // "" when its cells take none
        bool rtl = false;
        int row = -1, column = -1;
    };

    void listTag(std::string_view name, bool close) {
        if (name != "ol" && name != "ul") return;
        if (!close) lists_.push_back(name == "ol" ? "ol" : "ul");
        else if (!lists_.empty()) lists_.pop_back();
    }

    // A paragraph or table starts or ends.
    void blockTag(std::size_t lt, std::string_view name, bool close) {
        depth_ = std::max(depth_ + (close ? -1 : 1), 0);
        if (name == "table") {
            if (!close) table_ = lt;
            return;
        }
        endParagraphTabs();
        inParagraph_ = !close;
        if (close) return;
        paragraph_ = lt;
        pStyle_.start(t_, lt, edits_);
    }

    void tableTag(std::size_t lt, std::string_view name, bool close) {
        if (name == "table") {
            if (!close) tables_.emplace_back();
            else if (!tables_.empty()) tables_.pop_back();
            return;
        }
        if (close || tables_.empty()) return;
        OpenTable& t = tables_.back();
        if (name == "tr") {
            ++t.row;
            t.column = -1;
        } else if (name == "td" || name == "th") {
            ++t.column;
            if (!t.rows.empty()) cellSides(lt, t);
        }
    }

    // A cell's borders towards the row before and the cell before: those of
    // its table; a cell's own come after and win.
    void cellSides(std::size_t lt, const OpenTable& t) {
        std::string css;
        if (t.row > 0) css += "border-top:" + t.rows + ";";
        if (t.column > 0) css += std::string(t.rtl ? "border-right:" : "border-left:") + t.columns + ";";
        if (!css.empty()) edits_.insert(lt + 3, " style=\"" + css + "\"");
    }

    // A table that shows some sides only: its own sides, and its cells
    // from here on (its first cell takes none).
    void tableSides(std::string_view tag) {
        if (table_ == std::string::npos || tables_.empty()) return;
        OpenTable& t = tables_.back();
        t.rows = tagAttribute(tag, "rows");
        t.columns = tagAttribute(tag, "columns");
        t.rtl = tagAttribute(tag, "rtl") == "1";
        if (const std::size_t gt = t_.find('>', table_); gt != std::string::npos)
            edits_.insert(gt, " border=0 style=\"" + std::string(tagAttribute(tag, "val")) + "\"");
    }

    // Each sheet: where it starts, with the footer of the sheet before and
    // its own header; the last sheet's footer before the body ends; the
    // page fields of the header and footer placed with the page. Each
    // section's part of a sheet stands in a division of its columns.
    void placeSheets() {
        const auto& starts = sheets_.starts();
        const std::vector<SheetPlace> places = sheetPlaces();
        const bool boxes = ctx_.pageMarginFlag;
        ColumnParts columns{ctx_.model->sections, edits_};
        auto part = sectionParts_.begin();
        auto partsBefore = [&](std::size_t at) {
            for (; part != sectionParts_.end() && part->at < at; ++part) {
                edits_.replace(part->at, part->size, columns.end(true));
                columns.start(part->at + part->size, part->section);
            }
        };
        for (std::size_t i = 0; i < starts.size(); ++i) {
            partsBefore(starts[i].at);
            std::string markup = sheets_.markup(starts[i].section);
            if (boxes) {
                markup = story(places[i], false) + markup + story(places[i + 1], true);
                markup = withPageFields(std::move(markup), places[i + 1], places[i]);
            }
            if (!sectionParts_.empty()) {
                markup = columns.end(false) + markup;
                columns.start(starts[i].at + starts[i].size, starts[i].section);
            }
            edits_.replace(starts[i].at, starts[i].size, markup);
        }
        partsBefore(std::string::npos);
        const std::size_t bodyEnd = t_.rfind("</body>");
        if (bodyEnd != std::string::npos) {
            const std::string footer = boxes ? story(places.back(), false) : std::string();
            const std::string end = columns.end(false) + (footer.empty() ? footer : withPageFields(footer, places.back(), places.back()));
            if (!end.empty()) edits_.insert(bodyEnd, end);
            if (boxes) edits_.insert(bodyEnd, laterStories(places));
        }
        for (const Field& f : fields_)
            edits_.replace(f.at, f.size, pageFieldValue(f.name, f.shown, places[std::min(f.sheet, places.size() - 1)]));
        filledColumns_ = columns.any;
    }

    // Of each sheet, its number, section and the count of its section's sheets.
    std::vector<SheetPlace> sheetPlaces() const {
        const auto& starts = sheets_.starts();
        std::vector<SheetPlace> places(starts.size() + 1);
        std::vector<int> perSection;
        const int storedPages = storedPageCount(ctx_);
        const std::vector<model::Section>& sections = ctx_.model->sections;
        for (std::size_t i = 0; i < places.size(); ++i) {
            SheetPlace& p = places[i];
            p.sheets = static_cast<int>(places.size());
            p.storedPages = storedPages;
            p.section = i == 0 ? 0 : starts[i - 1].section;
            p.firstOfSection = i == 0 || places[i - 1].section != p.section;
            // Page numbers count on, or start again where a section says.
            const model::Section* own = p.section < sections.size() ? &sections[p.section] : nullptr;
            p.number = i == 0 ? 1 : places[i - 1].number + 1;
            if (own && p.firstOfSection && own->pageNumberStart) p.number = static_cast<int>(*own->pageNumberStart);
            if (own) p.format = own->pageNumberFormat;
            if (perSection.size() <= p.section) perSection.resize(p.section + 1, 0);
            ++perSection[p.section];
        }
        for (SheetPlace& p : places) p.sectionSheets = perSection[p.section];
        return places;
    }

    // The divisions of columns: one open at a time, from where a section's
    // part of a sheet starts to where the next section's part or sheet
    // starts; written when it ends, as Word balances the columns of a part
    // that the next section continues, and fills the others one by one.
    struct ColumnParts {
        const std::vector<model::Section>& sections;
        EditList& edits;
        std::size_t at = std::string::npos, section = 0;
        bool any = false;

        void start(std::size_t where, std::size_t index) {
            at = where;
            section = index;
        }
        // The end tag of the part open, if it has columns.
        std::string end(bool balanced) {
            const std::size_t where = std::exchange(at, std::string::npos);
            if (where == std::string::npos || section >= sections.size()) return {};
            const std::string division = columnsStart(sections[section], balanced);
            if (division.empty()) return {};
            edits.insert(where, division);
            any = any || !balanced;
            return "</div>";
        }
    };

    // The headers and footers of the later pages of each section's sheets
    // (odd, and even where the settings ask), for a print layout that breaks
    // a sheet over several papers: hidden, each in a div of classes "tvsN
    // tvodd" (or "tveven") for section N, and "tvsN tvstartK" where section
    // N numbers its pages from K.
    std::string laterStories(const std::vector<SheetPlace>& places) {
        std::set<std::size_t> sections;
        for (const SheetPlace& p : places) sections.insert(p.section);
        std::string out;
        for (const std::size_t section : sections) out += laterStoriesOf(section, places.front());
        laterStories_ = laterStories_ || !out.empty();
        return out.empty() ? out : "<div class=\"tvlater\">" + out + "</div>";
    }

    std::string laterStoriesOf(std::size_t section, SheetPlace later) {
        const model::Section* own = section < ctx_.model->sections.size() ? &ctx_.model->sections[section] : nullptr;
        const std::string name = "tvs" + std::to_string(section);
        std::string out;
        if (own && own->pageNumberStart) out += "<div class=\"" + name + " tvstart" + std::to_string(*own->pageNumberStart) + "\"></div>";
        later.section = section;
        later.firstOfSection = false;
        later.format = own ? own->pageNumberFormat : std::string();
        for (const int number : {1, 2}) {
            if (number == 2 && !ctx_.model->settings.evenAndOddHeaders) break;
            later.number = number;
            const std::string markup = story(later, true) + story(later, false);
            if (!markup.empty())
                out += "<div class=\"" + name + (number == 2 ? " tveven" : " tvodd") + "\">" + withPageFields(markup, later, later) + "</div>";
        }
        return out;
    }

    // A sheet's header or footer with its markers made markup, each story
    // once.
    std::string story(const SheetPlace& place, bool header) {
        const std::string html = sheetHeaderOrFooter(ctx_, place, header);
        if (html.empty()) return html;
        auto [done, added] = finishedStories_.try_emplace(html);
        if (added) {
            PageFinisher fragment(ctx_, html, true);
            done->second = fragment.finishedFragment();
            tabs_ = tabs_ || fragment.tabs_;
        }
        return done->second;
    }

    // The page fields of markup: those before the sheet start (the
    // footer of the sheet before) of before, the others of after.
    static std::string withPageFields(std::string markup, const SheetPlace& after, const SheetPlace& before) {
        const std::size_t start = markup.find("<div class");
        std::string out;
        std::size_t copied = 0;
        for (std::size_t at = markup.find(marker::kFieldStart); at != std::string::npos;
             at = markup.find(marker::kFieldStart, at + 1)) {
            const std::size_t gt = markup.find('>', at);
            if (gt == std::string::npos) break;
            out.append(markup, copied, at - copied);
            const std::string_view tag = std::string_view(markup).substr(at, gt + 1 - at);
            out += pageFieldValue(tagAttribute(tag, "val"), tagAttribute(tag, "shown"),
                                  start != std::string::npos && at < start ? before : after);
            copied = gt + 1;
        }
        out.append(markup, copied);
        return out;
    }

    // An inline element of the paragraph: a start tag at `at`, or a span
    // marker of size bytes there with its CSS; whether a filling tab lies
    // inside it, and whether it is still open.
    struct Inline {
        std::size_t at, size;
        std::string css;
        bool marker, row, open;
    };

    // The last open element of the kind an end tag closes.
    void closeInline(bool marker) {
        for (auto e = inlines_.rbegin(); e != inlines_.rend(); ++e) {
            if (!e->open) continue;
            if (e->marker == marker) e->open = false;
            return;
        }
    }

    // The element's CSS once its paragraph is read: a row around a filling
    // tab; in a paragraph of rows, the others let their text join the row
    // they are in (so that words, spaces and joined letters of several runs
    // stay one piece of text).
    void commit(const Inline& e) {
        const std::string_view css = e.row ? kFlexItemRow : rowParagraph_ ? "display:contents;" : "";
        if (e.marker) {
            edits_.replace(e.at, e.size, "<span style=\"" + e.css + std::string(css) + "\">");
            return;
        }
        if (css.empty() || fills_.count(e.at) != 0) return;
        const std::size_t gt = t_.find('>', e.at);
        if (gt == std::string::npos) return;
        const std::string_view tag = t_.substr(e.at, gt - e.at);
        const std::size_t style = tag.find(" style=\"");
        if (style != std::string_view::npos) edits_.insert(e.at + style + 8, std::string(css));
        else edits_.insert(tag.back() == '/' ? gt - 1 : gt, " style=\"" + std::string(css) + "\"");
    }

    // A tab that fills: the paragraph and every inline element around it
    // become rows.
    void fillingTab(std::size_t lt, std::string_view tag) {
        edits_.erase(lt, tag.size());
        const std::size_t after = lt + tag.size();
        if (t_.compare(after, kTabElement.size(), kTabElement) != 0) return;
        const std::string_view leader = leaderClass(tagAttribute(tag, "leader"));
        edits_.replace(after, kTabElement.size(),
                       "<b class=\"tab tvfill" + (leader.empty() ? std::string() : " tv" + std::string(leader)) + "\"></b>");
        fills_.insert(after + 1);  // its own b element takes no CSS
        for (Inline& e : inlines_) e.row = e.row || e.open;
        if (!rowParagraph_) pStyle_.add(std::string(kFlexRow), edits_);
        rowParagraph_ = true;
        tabs_ = true;
    }

    void endParagraphTabs() {
        if (barAt_ != std::string::npos) edits_.insert(barAt_, changeBar(std::string(pStyle_.value) + pStyle_.markers));
        barAt_ = std::string::npos;
        for (const Inline& e : inlines_) commit(e);
        inlines_.clear();
        fills_.clear();
        rowParagraph_ = false;
    }

    void markerAt(std::size_t lt, std::string_view tag) {
        if (startsWith(tag, marker::kPageStart)) return pageMarker(lt, tag);
        if (startsWith(tag, marker::kSectionStart)) return sectionPart(lt, tag);
        if (tag == marker::kColumnBreak) return edits_.replace(lt, tag.size(), "<span style=\"display:block;break-before:column\"></span>");
        if (startsWith(tag, "<\x1FtvSpan ")) {
            inlines_.push_back({lt, tag.size(), std::string(tagAttribute(tag, "css")), true, false, true});
            return;
        }
        if (tag == marker::kSpanEnd) {
            closeInline(true);
            return edits_.replace(lt, tag.size(), "</span>");
        }
        if (startsWith(tag, "<\x1FtvTab ")) return fillingTab(lt, tag);
        if (startsWith(tag, marker::kFieldStart)) {
            if (fragment_) return;
            fields_.push_back({lt, tag.size(), std::string(tagAttribute(tag, "val")), std::string(tagAttribute(tag, "shown")),
                               sheets_.starts().size()});
            return;
        }
        if (startsWith(tag, "<\x1FtvMath")) return equation(lt, tag);
        if (startsWith(tag, marker::kDrawingStart)) return drawing(lt, tag);
        if (startsWith(tag, marker::kChangeStart)) return change(lt, tag);
        if (startsWith(tag, marker::kNoteStart)) {
            if (fragment_) return edits_.erase(lt, tag.size());
            return notes_.emplace_back(lt, tag.size(), std::string(tagAttribute(tag, "val"))), void();
        }
        if (paragraph_ != std::string::npos) paragraphMarker(tag);
        if (tag == marker::kRtlTable && table_ != std::string::npos) edits_.insert(table_ + 6, " dir=\"rtl\"");
        if (startsWith(tag, marker::kTableSidesStart)) tableSides(tag);
        if (startsWith(tag, marker::kTableCssStart) && table_ != std::string::npos)
            edits_.insert(table_ + 6, " style=\"" + std::string(tagAttribute(tag, "val")) + "\"");
        // No border: the last word in the table's attributes (validatePage
        // keeps one of each name, the last).
        if (tag == marker::kPlainTable && table_ != std::string::npos)
            if (const std::size_t gt = t_.find('>', table_); gt != std::string::npos)
                edits_.insert(gt, " border=0 style=\"border:none\"");
        edits_.erase(lt, tag.size());
    }

    // Where a sheet may start: between top-level blocks only.
    void pageMarker(std::size_t lt, std::string_view tag) {
        const int section = std::max(intValue(tagAttribute(tag, "val"), 0), 0);
        if (depth_ == 0) splitLists(lt, tag.size());
        sheets_.pageMarker(lt, tag.size(), depth_, static_cast<std::size_t>(section), edits_);
    }

    // Where a section's part of a sheet starts: between top-level blocks only.
    void sectionPart(std::size_t lt, std::string_view tag) {
        const int section = intValue(tagAttribute(tag, "val"), -1);
        if (depth_ == 0 && section >= 0 && !fragment_) {
            splitLists(lt, tag.size());
            sectionParts_.push_back({lt, tag.size(), static_cast<std::size_t>(section)});
        } else {
            edits_.erase(lt, tag.size());
        }
    }

    // A sheet or a section's part may start between the items of lists
    // (or after lists the page never ends): the lists open there end
    // before it and go on after it, so its division never stands in one.
    void splitLists(std::size_t at, std::size_t size) {
        if (lists_.empty()) return;
        std::string ends, starts;
        for (auto it = lists_.rbegin(); it != lists_.rend(); ++it) ends += "</" + std::string(*it) + ">";
        for (const std::string_view list : lists_) starts += "<" + std::string(list) + ">";
        edits_.insert(at, std::move(ends));
        edits_.insert(at + size, std::move(starts));
    }

    // A marker for the paragraph it stands in.
    void paragraphMarker(std::string_view tag) {
        if (startsWith(tag, "<\x1FtvH")) {
            heading(tag);
        } else if (tag == marker::kRtl) {
            edits_.insert(paragraph_ + 2, " dir=\"rtl\"");
        } else if (startsWith(tag, "<\x1FtvCss ")) {
            pStyle_.add(std::string(tagAttribute(tag, "val")), edits_);
        }
    }

    void heading(std::string_view tag) {
        const std::size_t end = paragraphEnd_.atOrAfter(static_cast<std::size_t>(tag.data() - t_.data()) + tag.size() - 1);
        if (end != std::string::npos && headings::apply(tag, paragraph_, end, edits_)) headings_ = true;
    }

    void equation(std::size_t lt, std::string_view tag) {
        const int i = intValue(tagAttribute(tag, "val"), -1);
        const bool known = i >= 0 && static_cast<std::size_t>(i) < ctx_.mathMarkup.size();
        edits_.replace(lt, tag.size(), known ? ctx_.mathMarkup[static_cast<std::size_t>(i)] : std::string());
        sheets_.content();
    }

    // A drawing in its place; one that floats or holds text stands before
    // its paragraph, whose markup cannot hold blocks. Each is finished once.
    void drawing(std::size_t lt, std::string_view tag) {
        const int i = intValue(tagAttribute(tag, "val"), -1);
        const std::size_t index = static_cast<std::size_t>(i);
        if (i < 0 || index >= ctx_.drawings.size() || index >= drawingsBefore_) return edits_.erase(lt, tag.size());
        auto [done, added] = finishedDrawings_.try_emplace(index);
        if (added) {
            PageFinisher fragment(ctx_, ctx_.drawings[index].html, true, index);
            done->second = fragment.finishedFragment();
            tabs_ = tabs_ || fragment.tabs_;
        }
        sheets_.content();
        if (ctx_.drawings[index].lifted && inParagraph_) {
            edits_.insert(paragraph_, done->second);
            return edits_.erase(lt, tag.size());
        }
        edits_.replace(lt, tag.size(), done->second);
    }

    // A tracked change: its ins or del element (just before the marker)
    // takes its author's class and says who made it and when; its
    // paragraph gets the bar in the margin, once.
    void change(std::size_t lt, std::string_view tag) {
        edits_.erase(lt, tag.size());
        const int i = intValue(tagAttribute(tag, "val"), -1);
        const std::size_t open = lt == 0 || t_[lt - 1] != '>' ? std::string::npos : t_.rfind('<', lt - 1);
        if (i < 0 || open == std::string::npos) return;
        const std::string_view element = t_.substr(open, lt - open);
        if (element != "<ins>" && element != "<del>") return;
        edits_.insert(open + 4, changeAttributes(ctx_, static_cast<std::size_t>(i)));
        if (!inParagraph_ || barParagraph_ == paragraph_) return;
        barParagraph_ = paragraph_;
        const std::size_t gt = t_.find('>', paragraph_);
        if (gt == std::string::npos) return;
        pStyle_.add("position:relative;", edits_);
        barAt_ = gt + 1;  // once the paragraph's own CSS is known
    }

    // The rules the fidelity markup needs, in a style element of their own
    // after the page's (whose rules the clean-up rewrites); none when the
    // page needs none. Headings first read like paragraphs; the document's
    // defaults then apply to both.
    void addRules() {
        std::string rules;
        if (headings_) rules += headings::rules();
        rules += documentDefaultRules(*ctx_.model);
        rules += kScriptRules;
        rules += standInFaces(t_, rules);
        if (sheets_.any()) rules += ctx_.pageMarginFlag ? kSheetRules : kBreakRules;
        if (ctx_.pageMarginFlag) {
            const std::string sheets = sheetRules(ctx_.model->sections, sheets_.laterSections(), ctx_.model->background);
            ctx_.sheetMargins = !sheets.empty();
            rules += sheets;
        }
        if (ctx_.listLabels) rules += kListRules;
        if (tabs_) rules += kTabRules;
        if (filledColumns_) rules += kFilledColumnRules;
        if (!ctx_.drawings.empty()) rules += drawingRules(ctx_);
        if (!ctx_.mathMarkup.empty()) rules += mathmlFallbackCss();
        if (!ctx_.trackedChanges.empty()) rules += changeRules(ctx_);
        if (laterStories_) rules += "div.tvlater{display:none}\r\n";
        const std::size_t head = t_.find("</head>");
        if (!rules.empty() && head != std::string::npos) edits_.insert(head, "<style>\r\n" + rules + "</style>");
    }

    ConversionContext& ctx_;
    const std::string_view t_;
    NextOccurrence paragraphEnd_;
    Sheets sheets_;
    EditList edits_;
    ParagraphStyleAttribute pStyle_;
    std::size_t body_ = std::string::npos;
    std::size_t paragraph_ = std::string::npos, table_ = std::string::npos;
    int depth_ = 0;  // open paragraphs and tables
    std::vector<std::string_view> lists_;  // open ol and ul elements, outermost first
    bool headings_ = false;
    std::vector<Inline> inlines_;
    // The page fields of the page: where, which, and on which sheet.
    struct Field {
        std::size_t at, size;
        std::string name, shown;
        std::size_t sheet;
    };
    std::vector<Field> fields_;
    // Where each section's part of a sheet starts, in order.
    struct SectionPart {
        std::size_t at, size, section;
    };
    std::vector<SectionPart> sectionParts_;
    std::vector<OpenTable> tables_;
    bool fragment_ = false;
    std::size_t drawingsBefore_ = std::string::npos;
    bool inParagraph_ = false;
    std::unordered_map<std::size_t, std::string> finishedDrawings_;
    std::unordered_map<std::string, std::string> finishedStories_;
    std::set<std::size_t> fills_;  // where the b elements of filling tabs start
    bool rowParagraph_ = false, tabs_ = false, filledColumns_ = false, laterStories_ = false;
    std::size_t barParagraph_ = std::string::npos, barAt_ = std::string::npos;
    // The footnotes of the notes section (marker place and size, anchor
    // id), and the sheet of each note's first reference.
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> notes_;
    std::unordered_map<std::string, std::size_t> noteSheet_;
};

}  // namespace

void finishFidelity(ConversionContext& ctx) {
    pictureStandIns(ctx);
    PageFinisher(ctx, ctx.workingText).run();
    validatePage(ctx);
}

}  // namespace tavin
