// Drawings as Word places them. Each drawing of a run (w:drawing, w:pict,
// or the mc:AlternateContent holding both forms) is parsed on its own and
// read as a placement (where it stands, its size, how text wraps around
// it) and pieces of markup: the shape's outline as SVG, its paint, and the
// WordprocessingML of its text box or picture, converted later by the
// body's own steps. Reads the drawing's XML, the model's theme and first
// section, and the part's relationships.
#include "docx2html/fidelity/drawings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/charts.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/shapes.h"
#include "docx2html/fidelity/stories.h"
#include "docx2html/model/model.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

using shapes::num;
using Piece = ConversionContext::DrawingPiece;

constexpr double kEmuPerPx = 9525;
// Boxes inside boxes deeper than this are left to the classic steps.
constexpr int kMaxNesting = 6;
// Shapes of one group, and groups inside groups.
constexpr int kMaxShapes = 2000;

// The markup of a drawing's box, of its outline behind its text, and of its
// text; styled in place (the clean-up turns styles into classes of its own).
constexpr std::string_view kBox = "box-sizing:border-box;z-index:0;line-height:normal;text-indent:0;";
constexpr std::string_view kGeometry = "<span style=\"position:absolute;left:0;top:0;z-index:-1\">";
constexpr std::string_view kText =
    "position:relative;box-sizing:border-box;display:flex;flex-direction:column;min-height:100%;";

double emuPx(pugi::xml_attribute a) {
    const double v = a.as_double() / kEmuPerPx;
    return std::isfinite(v) ? std::clamp(v, -20000.0, 20000.0) : 0.0;
}

// The page the drawings stand on, in CSS pixels: the first section's.
struct PageBox {
    double width = 816, height = 1056, left = 96, right = 96, top = 96, bottom = 96;
    // The header's distance from the paper's top: on paper, the paper's own
    // top margin (the sheet's padding holds the rest of its margin).
    double header = 48;
    double textWidth() const { return std::max(width - left - right, 1.0); }
    double textHeight() const { return std::max(height - top - bottom, 1.0); }
};

PageBox pageBoxOf(const model::DocumentModel& m) {
    PageBox p;
    if (m.sections.empty()) return p;
    const model::Section& s = m.sections.front();
    auto px = [](const std::optional<long>& twips, double fallback) {
        return twips && *twips >= 0 && *twips < 200000 ? static_cast<double>(*twips) / 15.0 : fallback;
    };
    p.width = px(s.pageWidth, p.width);
    p.height = px(s.pageHeight, p.height);
    p.left = px(s.margins.left, p.left);
    p.right = px(s.margins.right, p.right);
    p.top = px(s.margins.top, p.top);
    p.bottom = px(s.margins.bottom, p.bottom);
    p.header = std::min(px(s.margins.header, p.header), p.top);
    return p;
}

// Where a drawing stands and how the text goes around it.
struct Placement {
    bool floating = false;
    double x = 0, y = 0, w = 0, h = 0;  // pixels; x and y offsets from relH and relV
    std::string alignH, alignV;         // "" when placed by offset
    std::string relH = "column", relV = "paragraph";
    std::string wrap = "none";  // square, tight, through, topAndBottom, none
    bool behind = false;
    double distL = 0, distR = 0, distT = 0, distB = 0;
    double rotation = 0;  // degrees
    bool growsWithText = false;  // a text box whose shape fits its text
};

// The left edge of the drawing measured from the text column's.
double columnX(const Placement& p, const PageBox& page) {
    const double col = page.textWidth();
    const std::string& r = p.relH;
    const bool onPage = r == "page";
    const double areaLeft = onPage ? -page.left : r == "leftMargin" ? -page.left : r == "rightMargin" ? col : 0;
    const double areaWidth = onPage ? page.width : r == "leftMargin" ? page.left : r == "rightMargin" ? page.right : col;
    if (p.alignH == "center") return areaLeft + (areaWidth - p.w) / 2;
    if (p.alignH == "right" || p.alignH == "outside") return areaLeft + areaWidth - p.w;
    if (p.alignH == "left" || p.alignH == "inside") return areaLeft;
    return areaLeft + p.x;
}

// The top edge measured from the page's, for drawings placed on the page.
std::optional<double> pageY(const Placement& p, const PageBox& page) {
    const std::string& r = p.relV;
    if (r != "page" && r != "margin" && r != "topMargin" && r != "bottomMargin") return std::nullopt;
    const double areaTop = r == "page" || r == "topMargin" ? 0 : r == "bottomMargin" ? page.height - page.bottom : page.top;
    const double areaHeight = r == "page" ? page.height : r == "topMargin" ? page.top : r == "bottomMargin" ? page.bottom : page.textHeight();
    if (p.alignV == "center") return areaTop + (areaHeight - p.h) / 2;
    if (p.alignV == "bottom" || p.alignV == "outside") return areaTop + areaHeight - p.h;
    if (p.alignV == "top" || p.alignV == "inside") return areaTop;
    return areaTop + p.y;
}

std::string px(double v) { return num(v) + "px"; }

// The CSS that places the drawing's box; sheets says whether the page has
// sheets for drawings placed on the page to stand on.
std::string placementCss(const Placement& p, const PageBox& page, bool sheets) {
    std::string css;
    const double x = columnX(p, page);
    const double offsetY = p.relV == "paragraph" || p.relV == "line" ? p.y : 0;
    if (!p.floating) {
        css = "display:inline-block;vertical-align:bottom;position:relative;";
    } else if (p.wrap == "topAndBottom") {
        css = "display:block;position:relative;clear:both;margin:" + px(std::max(offsetY, 0.0) + p.distT) + " 0 " +
              px(p.distB) + " " + px(x) + ";";
    } else if (p.wrap != "none") {
        const bool right = x + p.w / 2 > page.textWidth() / 2;
        css = std::string("position:relative;float:") + (right ? "right" : "left") + ";margin:" + px(std::max(offsetY, 0.0) + p.distT) + " ";
        css += right ? px(page.textWidth() - x - p.w) + " " + px(p.distB) + " " + px(p.distL)
                     : px(p.distR) + " " + px(p.distB) + " " + px(x);
        css += ";";
    } else {
        css = "position:absolute;z-index:" + std::string(p.behind ? "-1" : "2") + ";";
        const std::optional<double> y = sheets ? pageY(p, page) : std::nullopt;
        const bool pageX = sheets && p.relH != "column" && p.relH != "character";
        css += pageX ? "left:" + px(page.left + x) + ";" : "margin-left:" + px(x) + ";";
        css += y ? "top:" + px(*y) + ";" : "margin-top:" + px(offsetY) + ";";
    }
    css += "width:" + px(p.w) + (p.growsWithText ? ";min-height:" : ";height:") + px(p.h) + ";";
    if (p.rotation != 0) css += "transform:rotate(" + num(p.rotation) + "deg);";
    return css;
}

// ---------------------------------------------------------------------------
// Reading placements

const char* wrapOf(pugi::xml_node anchor) {
    static constexpr std::pair<const char*, const char*> kWraps[] = {
        {"wp:wrapSquare", "square"}, {"wp:wrapTight", "tight"}, {"wp:wrapThrough", "through"}, {"wp:wrapTopAndBottom", "topAndBottom"}};
    for (const auto& [element, wrap] : kWraps)
        if (anchor.child(element)) return wrap;
    return "none";
}

pugi::xml_node descendant(pugi::xml_node node, const char* name) {
    return node.find_node([name](pugi::xml_node n) { return std::strcmp(n.name(), name) == 0; });
}

void readPosition(pugi::xml_node position, std::string& rel, std::string& align, double& offset) {
    if (!position) return;
    const std::string_view from = position.attribute("relativeFrom").value();
    if (!from.empty()) rel = from == "insideMargin" || from == "outsideMargin" ? "margin" : std::string(from);
    if (pugi::xml_node a = position.child("wp:align")) align = trimText(a.text().get());
    if (pugi::xml_node o = descendant(position, "wp:posOffset")) {
        const double v = std::atof(o.text().get()) / kEmuPerPx;
        offset = std::isfinite(v) ? std::clamp(v, -20000.0, 20000.0) : 0;
    }
}

// A position of an anchor, which may stand in an mc:AlternateContent of its
// own (a percentage in the Choice, an offset in the Fallback).
pugi::xml_node positionOf(pugi::xml_node frame, const char* name) {
    if (pugi::xml_node p = frame.child(name)) return p;
    for (pugi::xml_node alternate : frame.children("mc:AlternateContent"))
        if (pugi::xml_node p = alternate.child("mc:Fallback").child(name)) return p;
    return {};
}

Placement drawingPlacement(pugi::xml_node frame) {
    Placement p;
    p.floating = std::strcmp(frame.name(), "wp:anchor") == 0;
    pugi::xml_node extent = frame.child("wp:extent");
    p.w = std::max(emuPx(extent.attribute("cx")), 0.0);
    p.h = std::max(emuPx(extent.attribute("cy")), 0.0);
    if (!p.floating) return p;
    readPosition(positionOf(frame, "wp:positionH"), p.relH, p.alignH, p.x);
    readPosition(positionOf(frame, "wp:positionV"), p.relV, p.alignV, p.y);
    p.wrap = wrapOf(frame);
    p.behind = frame.attribute("behindDoc").as_bool();
    p.distL = emuPx(frame.attribute("distL"));
    p.distR = emuPx(frame.attribute("distR"));
    p.distT = emuPx(frame.attribute("distT"));
    p.distB = emuPx(frame.attribute("distB"));
    return p;
}

// The declarations of a VML style attribute by name.
std::unordered_map<std::string, std::string> vmlStyle(std::string_view style) {
    std::unordered_map<std::string, std::string> out;
    for (const std::string& decl : splitText(style, ";")) {
        const std::size_t colon = decl.find(':');
        if (colon == std::string::npos) continue;
        out[lowerCase(trimText(std::string_view(decl).substr(0, colon)))] = std::string(trimText(std::string_view(decl).substr(colon + 1)));
    }
    return out;
}

// A VML length in pixels (a plain number of pixels).
double vmlLength(const std::string& v) { return shapes::vmlPixels(v, 1, 0); }

std::string vmlRelative(const std::string& v, bool vertical) {
    if (v == "page") return "page";
    if (v == "margin") return "margin";
    if (v == "left-margin-area") return "leftMargin";
    if (v == "right-margin-area") return "rightMargin";
    if (v == "top-margin-area") return "topMargin";
    if (v == "bottom-margin-area") return "bottomMargin";
    if (v == "char") return "character";
    if (v == "line") return "line";
    return vertical ? "paragraph" : "column";
}

std::string value(const std::unordered_map<std::string, std::string>& m, const char* name) {
    const auto f = m.find(name);
    return f == m.end() ? std::string() : f->second;
}

Placement vmlPlacement(pugi::xml_node shape) {
    const auto style = vmlStyle(shape.attribute("style").value());
    Placement p;
    p.w = std::max(vmlLength(value(style, "width")), 0.0);
    p.h = std::max(vmlLength(value(style, "height")), 0.0);
    p.floating = value(style, "position") == "absolute";
    p.rotation = std::atof(value(style, "rotation").c_str());
    if (!std::isfinite(p.rotation)) p.rotation = 0;
    if (!p.floating) return p;
    p.x = vmlLength(value(style, "margin-left")) + vmlLength(value(style, "left"));
    p.y = vmlLength(value(style, "margin-top")) + vmlLength(value(style, "top"));
    const std::string h = value(style, "mso-position-horizontal"), v = value(style, "mso-position-vertical");
    if (h != "absolute") p.alignH = h;
    if (v != "absolute") p.alignV = v;
    p.relH = vmlRelative(value(style, "mso-position-horizontal-relative"), false);
    p.relV = vmlRelative(value(style, "mso-position-vertical-relative"), true);
    const std::string wrap = shape.child("w10:wrap").attribute("type").value();
    p.wrap = wrap.empty() ? "none" : wrap == "topAndBottom" ? wrap : (wrap == "square" || wrap == "tight" || wrap == "through") ? wrap : "none";
    p.behind = std::atof(value(style, "z-index").c_str()) < 0;
    return p;
}

// ---------------------------------------------------------------------------
// Pieces

// A drawing that floats or holds text stands before its paragraph (whose
// markup cannot hold blocks); one that runs in the text is made of inline
// elements only.
ConversionContext::PlacedDrawing settled(ConversionContext::PlacedDrawing d, bool floating) {
    d.lifted = floating || std::any_of(d.pieces.begin(), d.pieces.end(), [](const Piece& p) { return !p.xml.empty(); });
    if (d.lifted) return d;
    for (Piece& p : d.pieces) p.markup = replaceAll(replaceAll(p.markup, "<div ", "<span "), "</div>", "</span>");
    return d;
}

// A paragraph showing the picture of relationship id at w by h pixels, as
// the picture step reads one.
std::string pictureParagraph(std::string_view id, double w, double h) {
    return "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"" + std::to_string(std::lround(std::max(w, 0.0) * kEmuPerPx)) +
           "\" cy=\"" + std::to_string(std::lround(std::max(h, 0.0) * kEmuPerPx)) + "\"/><a:blip r:embed=\"" +
           escapeHtml(id) + "\"/></wp:inline></w:drawing></w:r></w:p>";
}

// The markers earlier steps left in a drawing's text begin with a byte no
// XML name holds; while the drawing is parsed they begin with a character
// names may hold (U+F900), and get their byte back when its text boxes are
// written out. A drawing that holds that character itself is not read.
constexpr std::string_view kMarkerByte = "\x1F", kMarkerStandIn = "\xEF\xA4\x80";

std::string parseableMarkers(std::string_view xml) {
    if (xml.find(kMarkerStandIn) != std::string_view::npos) return {};
    return replaceAll(xml, kMarkerByte, kMarkerStandIn);
}

// The WordprocessingML inside a text box (its w:txbxContent's children).
std::string boxContent(pugi::xml_node txbxContent) {
    struct Writer : pugi::xml_writer {
        std::string out;
        void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
    } writer;
    for (pugi::xml_node c : txbxContent.children()) c.print(writer, "", pugi::format_raw);
    return replaceAll(writer.out, kMarkerStandIn, kMarkerByte);
}

class DrawingReader {
public:
    DrawingReader(ConversionContext& ctx, const std::string& rels, int nesting)
        : ctx_(ctx), rels_(rels), page_(pageBoxOf(*ctx.model)), nesting_(nesting) {}

    // The drawing of a holder's XML, or nothing to leave it to the classic steps.
    std::optional<ConversionContext::PlacedDrawing> read(pugi::xml_node holder) {
        const std::string_view name = holder.name();
        if (name == "mc:AlternateContent") {
            for (pugi::xml_node c : holder.children("mc:Choice"))
                for (pugi::xml_node d : c.children())
                    if (auto r = read(d)) return r;
            for (pugi::xml_node d : holder.child("mc:Fallback").children())
                if (auto r = read(d)) return r;
            return std::nullopt;
        }
        if (name == "w:drawing") return drawing(holder);
        if (name == "w:pict") return pict(holder);
        return std::nullopt;
    }

private:
    std::optional<ConversionContext::PlacedDrawing> drawing(pugi::xml_node d) {
        pugi::xml_node frame = d.child("wp:anchor");
        if (!frame) frame = d.child("wp:inline");
        pugi::xml_node data = frame.child("a:graphic").child("a:graphicData");
        if (!frame || !data) return std::nullopt;
        Placement place = drawingPlacement(frame);
        pugi::xml_node wsp = data.child("wps:wsp"), group = data.child("wpg:wgp");
        if (!group) group = data.child("wpc:wpc");
        pugi::xml_node pic = data.child("pic:pic");
        if (pic && !place.floating) return std::nullopt;  // the picture step shows it
        if (pugi::xml_node relIds = data.child("dgm:relIds")) return smartArt(relIds, place);
        if (pugi::xml_node chart = data.child("c:chart")) return chartDrawing(chart, place);
        if (!wsp && !group && !pic) return std::nullopt;
        const pugi::xml_node xfrm = (wsp ? wsp.child("wps:spPr") : group ? group.child("wpg:grpSpPr") : pic.child("pic:spPr")).child("a:xfrm");
        place.growsWithText = static_cast<bool>(wsp.child("wps:bodyPr").child("a:spAutoFit"));
        place.rotation = std::fmod(xfrm.attribute("rot").as_double() / 60000.0, 360.0);
        if (!std::isfinite(place.rotation)) place.rotation = 0;
        ConversionContext::PlacedDrawing out;
        out.pieces.push_back({boxStart(place), {}});
        if (wsp) shape(wsp, place.w, place.h, out.pieces);
        else if (group) groupShapes(group, place.w, place.h, out.pieces, 0);
        else picture(pic, place.w, place.h, out.pieces);
        out.pieces.push_back({"</div>", {}});
        return settled(std::move(out), place.floating);
    }

    // A chart drawn from its part's cached values.
    std::optional<ConversionContext::PlacedDrawing> chartDrawing(pugi::xml_node chart, const Placement& place) {
        const std::string svg = chartSvg(partOf(chart.attribute("r:id").value()), ctx_.model->themeScheme, place.w, place.h);
        if (svg.empty()) return std::nullopt;
        ConversionContext::PlacedDrawing out;
        out.pieces.push_back({boxStart(place) + svg + "</div>", {}});
        return settled(std::move(out), place.floating);
    }

    // A SmartArt diagram as the shapes of its drawing part, which the
    // diagram's data part names.
    std::optional<ConversionContext::PlacedDrawing> smartArt(pugi::xml_node relIds, const Placement& place) {
        const std::string data = partOf(relIds.attribute("r:dm").value());
        if (data.empty()) return std::nullopt;
        model::XmlPart dataPart, drawingPart;
        dataPart.parse("diagram data", data, ctx_.model->report);
        const std::string_view drawingId = descendant(dataPart.root(), "dsp:dataModelExt").attribute("relId").value();
        drawingPart.parse("diagram drawing", partOf(drawingId), ctx_.model->report);
        pugi::xml_node tree = drawingPart.root().child("dsp:spTree");
        if (!tree) return std::nullopt;
        ConversionContext::PlacedDrawing out;
        out.lifted = true;
        out.pieces.push_back({boxStart(place), {}});
        for (pugi::xml_node sp : tree.children("dsp:sp")) {
            if (++shapes_ > kMaxShapes) break;
            pugi::xml_node spPr = sp.child("dsp:spPr"), xfrm = spPr.child("a:xfrm");
            const double x = emuPx(xfrm.child("a:off").attribute("x")), y = emuPx(xfrm.child("a:off").attribute("y"));
            const double w = emuPx(xfrm.child("a:ext").attribute("cx")), h = emuPx(xfrm.child("a:ext").attribute("cy"));
            std::string css = "position:absolute;left:" + px(x) + ";top:" + px(y) + ";width:" + px(w) + ";height:" + px(h) + ";";
            const double rot = std::fmod(xfrm.attribute("rot").as_double() / 60000.0, 360.0);
            if (std::isfinite(rot) && rot != 0) css += "transform:rotate(" + num(rot) + "deg);";
            out.pieces.push_back({"<div style=\"" + std::string(kBox) + css + "\">", {}});
            const std::string preset = spPr.child("a:prstGeom").attribute("prst").value();
            shapes::Paint paint = shapes::drawingPaint(spPr, sp.child("dsp:style"), ctx_.model->themeScheme);
            if (shapes::isLinePreset(preset)) paint.fill = "none";
            const std::string path = spPr.child("a:custGeom") ? shapes::customPath(spPr.child("a:custGeom"), w, h)
                                                                : shapes::presetPath(preset, spPr.child("a:prstGeom").child("a:avLst"), w, h);
            geometry(path, paint, w, h, xfrm.attribute("flipH").as_bool(), xfrm.attribute("flipV").as_bool(), out.pieces);
            diagramText(sp, out.pieces);
            out.pieces.push_back({"</div>", {}});
        }
        out.pieces.push_back({"</div>", {}});
        return out;
    }

    // The text of a diagram shape (DrawingML paragraphs) as markup.
    void diagramText(pugi::xml_node sp, std::vector<Piece>& pieces) {
        pugi::xml_node body = sp.child("dsp:txBody");
        std::string html;
        const std::string colour = shapes::drawingColour(sp.child("dsp:style").child("a:fontRef"), ctx_.model->themeScheme);
        for (pugi::xml_node p : body.children("a:p")) {
            const std::string_view align = p.child("a:pPr").attribute("algn").value();
            html += std::string("<p style=\"margin:0;text-align:") + (align == "ctr" ? "center" : align == "r" ? "right" : "left") + "\">";
            for (pugi::xml_node r : p.children("a:r")) {
                pugi::xml_node rPr = r.child("a:rPr");
                std::string css;
                if (rPr.attribute("sz")) css += "font-size:" + num(rPr.attribute("sz").as_double() / 100) + "pt;";
                if (rPr.attribute("b").as_bool()) css += "font-weight:bold;";
                if (rPr.attribute("i").as_bool()) css += "font-style:italic;";
                const std::string c = shapes::drawingColour(rPr.child("a:solidFill"), ctx_.model->themeScheme);
                if (!c.empty()) css += "color:" + c + ";";
                html += "<span style=\"" + css + "\">" + escapeHtml(r.child("a:t").text().get()) + "</span>";
            }
            html += "</p>";
        }
        if (html.empty()) return;
        pugi::xml_node bodyPr = body.child("a:bodyPr");
        std::string css = "padding:" + px(emuPx(bodyPr.attribute("tIns"))) + " " + px(emuPx(bodyPr.attribute("rIns"))) + " " +
                          px(emuPx(bodyPr.attribute("bIns"))) + " " + px(emuPx(bodyPr.attribute("lIns"))) + ";";
        const std::string_view anchor = bodyPr.attribute("anchor").value();
        if (anchor == "ctr") css += "justify-content:center;";
        if (anchor == "b") css += "justify-content:flex-end;";
        if (!colour.empty()) css += "color:" + colour + ";";
        pieces.push_back({"<div style=\"" + std::string(kText) + css + "\">" + html + "</div>", {}});
    }

    // The text of the part a relationship of the drawing's part names, or "".
    std::string partOf(std::string_view id) const {
        if (id.empty() || ctx_.workFolder.empty()) return {};
        const std::string name = resolvePartName(ctx_.documentFolder, relationshipTargetById(rels_, id));
        return name.empty() ? name : readPart(ctx_.workFolder, name);
    }

    // The start tag of a drawing's box. One placed on the page says so: in
    // print the sheets' top margins belong to the paper.
    std::string boxStart(const Placement& place) const {
        const bool onPage = place.floating && place.wrap == "none" && ctx_.showPageMargin && pageY(place, page_);
        return std::string("<div") + (onPage ? " class=tvonpage" : "") + " style=\"" + std::string(kBox) +
               placementCss(place, page_, ctx_.showPageMargin) + "\">";
    }

    void picture(pugi::xml_node pic, double w, double h, std::vector<Piece>& pieces) {
        const std::string_view id = pic.child("pic:blipFill").child("a:blip").attribute("r:embed").value();
        pictureBox(id, w, h, pieces);
    }

    static void pictureBox(std::string_view id, double w, double h, std::vector<Piece>& pieces) {
        if (id.empty()) return;
        pieces.push_back({"<div class=\"tvpicture\">", pictureParagraph(id, w, h)});
        pieces.push_back({"</div>", {}});
    }

    std::string nextId() { return "tvd" + std::to_string(ctx_.drawings.size()) + "x" + std::to_string(ids_++); }

    // A DrawingML shape of w by h: its outline, then its text box.
    void shape(pugi::xml_node wsp, double w, double h, std::vector<Piece>& pieces) {
        pugi::xml_node spPr = wsp.child("wps:spPr"), style = wsp.child("wps:style");
        pugi::xml_node xfrm = spPr.child("a:xfrm");
        const std::string preset = spPr.child("a:prstGeom").attribute("prst").value();
        std::string path = spPr.child("a:custGeom") ? shapes::customPath(spPr.child("a:custGeom"), w, h)
                                                    : shapes::presetPath(preset.empty() ? "rect" : preset,
                                                                         spPr.child("a:prstGeom").child("a:avLst"), w, h);
        shapes::Paint paint = shapes::drawingPaint(spPr, style, ctx_.model->themeScheme);
        if (shapes::isLinePreset(preset)) paint.fill = "none";
        geometry(path, paint, w, h, xfrm.attribute("flipH").as_bool(), xfrm.attribute("flipV").as_bool(), pieces);
        pugi::xml_node content = wsp.child("wps:txbx").child("w:txbxContent");
        if (!content) return;
        pugi::xml_node body = wsp.child("wps:bodyPr");
        auto inset = [&](const char* name, double fallback) {
            return body.attribute(name) ? emuPx(body.attribute(name)) : fallback;
        };
        std::string css = "padding:" + px(inset("tIns", 4.8)) + " " + px(inset("rIns", 9.6)) + " " + px(inset("bIns", 4.8)) + " " + px(inset("lIns", 9.6)) + ";";
        const std::string_view anchor = body.attribute("anchor").value();
        if (anchor == "ctr") css += "justify-content:center;";
        if (anchor == "b") css += "justify-content:flex-end;";
        const std::string colour = shapes::drawingColour(style.child("a:fontRef"), ctx_.model->themeScheme);
        if (!colour.empty()) css += "color:" + colour + ";";
        textBox(content, css, pieces);
    }

    void textBox(pugi::xml_node content, const std::string& css, std::vector<Piece>& pieces) {
        std::string xml = boxContent(content);
        if (nesting_ < kMaxNesting) xml = nestedDrawings(xml);
        pieces.push_back({"<div style=\"" + std::string(kText) + css + "\">", std::move(xml)});
        pieces.push_back({"</div>", {}});
    }

    void geometry(const std::string& path, const shapes::Paint& paint, double w, double h, bool flipH, bool flipV,
                  std::vector<Piece>& pieces) {
        if (path.empty() || (paint.fill == "none" && paint.stroke == "none")) return;
        pieces.push_back({std::string(kGeometry) + shapes::svgShape(path, paint, w, h, flipH, flipV, nextId()) + "</span>", {}});
    }

    // The shapes of a group (or drawing canvas) of w by h, each placed in
    // the group's own coordinates.
    void groupShapes(pugi::xml_node group, double w, double h, std::vector<Piece>& pieces, int depth) {
        pugi::xml_node xfrm = group.child("wpg:grpSpPr").child("a:xfrm");
        const double chX = emuPx(xfrm.child("a:chOff").attribute("x")), chY = emuPx(xfrm.child("a:chOff").attribute("y"));
        const double chW = emuPx(xfrm.child("a:chExt").attribute("cx")), chH = emuPx(xfrm.child("a:chExt").attribute("cy"));
        const double sx = chW > 0 ? w / chW : 1, sy = chH > 0 ? h / chH : 1;
        for (pugi::xml_node c : group.children()) {
            const std::string_view n = c.name();
            const bool known = n == "wps:wsp" || n == "pic:pic" || n == "wpg:grpSp";
            if (!known || ++shapes_ > kMaxShapes) continue;
            pugi::xml_node cx = (n == "wps:wsp" ? c.child("wps:spPr") : n == "pic:pic" ? c.child("pic:spPr") : c.child("wpg:grpSpPr")).child("a:xfrm");
            const double x = (emuPx(cx.child("a:off").attribute("x")) - chX) * sx, y = (emuPx(cx.child("a:off").attribute("y")) - chY) * sy;
            const double cw = emuPx(cx.child("a:ext").attribute("cx")) * sx, ch = emuPx(cx.child("a:ext").attribute("cy")) * sy;
            const double rot = std::fmod(cx.attribute("rot").as_double() / 60000.0, 360.0);
            std::string css = "position:absolute;left:" + px(x) + ";top:" + px(y) + ";width:" + px(cw) + ";height:" + px(ch) + ";";
            if (std::isfinite(rot) && rot != 0) css += "transform:rotate(" + num(rot) + "deg);";
            pieces.push_back({"<div style=\"" + std::string(kBox) + css + "\">", {}});
            if (n == "wps:wsp") shape(c, cw, ch, pieces);
            else if (n == "pic:pic") picture(c, cw, ch, pieces);
            else if (depth < kMaxNesting) groupShapes(c, cw, ch, pieces, depth + 1);
            pieces.push_back({"</div>", {}});
        }
    }

    // ------------------------------------------------------------------
    // VML

    std::optional<ConversionContext::PlacedDrawing> pict(pugi::xml_node pict) {
        std::unordered_map<std::string, pugi::xml_node> types;
        for (pugi::xml_node t : pict.children("v:shapetype")) types["#" + std::string(t.attribute("id").value())] = t;
        for (pugi::xml_node s : pict.children()) {
            const std::string_view n = s.name();
            if (n.substr(0, 2) != "v:" || n == "v:shapetype") continue;
            if (std::string_view(s.attribute("o:hr").value()) == "t") return horizontalRule(s);
            Placement place = vmlPlacement(s);
            place.growsWithText = vmlStyle(s.child("v:textbox").attribute("style").value())["mso-fit-shape-to-text"] == "t";
            const bool textBoxed = static_cast<bool>(s.child("v:textbox").child("w:txbxContent"));
            // An inline picture is the picture step's.
            if (!place.floating && !textBoxed && (s.child("v:imagedata") || n == "v:image")) return std::nullopt;
            if (place.w <= 0 && place.h <= 0 && n != "v:line") return std::nullopt;
            ConversionContext::PlacedDrawing out;
            out.pieces.push_back({boxStart(place), {}});
            vmlShape(s, types, place.w, place.h, out.pieces, 0);
            out.pieces.push_back({"</div>", {}});
            return settled(std::move(out), place.floating);
        }
        return std::nullopt;
    }

    // A horizontal line (o:hr) across its share of the text column.
    static ConversionContext::PlacedDrawing horizontalRule(pugi::xml_node s) {
        const double h = std::max(vmlLength(value(vmlStyle(s.attribute("style").value()), "height")), 1.0);
        const double share = std::atof(s.attribute("o:hrpct").value()) / 10;
        const std::string_view align = s.attribute("o:hralign").value();
        std::string colour = shapes::vmlColour(s.attribute("fillcolor").value());
        std::string css = "height:" + px(h) + ";background-color:" + (colour.empty() ? "#a0a0a0" : colour) + ";width:" +
                          (share > 0 && share < 100 ? num(share) : "100") + "%;";
        css += align == "right" ? "margin-left:auto;" : align == "left" ? "" : "margin-left:auto;margin-right:auto;";
        ConversionContext::PlacedDrawing out;
        out.lifted = true;
        out.pieces.push_back({"<div style=\"" + css + "\"></div>", {}});
        return out;
    }

    std::string vmlOutline(pugi::xml_node s, const std::unordered_map<std::string, pugi::xml_node>& types, double w, double h) {
        const std::string_view n = s.name();
        if (n == "v:oval") return shapes::presetPath("ellipse", {}, w, h);
        if (n == "v:roundrect") return shapes::presetPath("roundRect", {}, w, h);
        if (n == "v:line") return "M0,0L" + num(w) + "," + num(h);
        std::string_view path = s.attribute("path").value();
        pugi::xml_node type;
        if (const auto t = types.find(s.attribute("type").value()); t != types.end()) type = t->second;
        if (path.empty()) path = type.attribute("path").value();
        const std::string_view coords = s.attribute("coordsize") ? s.attribute("coordsize").value() : type.attribute("coordsize").value();
        if (n == "v:shape" && !path.empty() && path.find('@') == std::string_view::npos) {
            const std::string c(coords.empty() ? "21600,21600" : coords);
            const double cw = std::atof(c.c_str()), chh = c.find(',') == std::string::npos ? cw : std::atof(c.c_str() + c.find(',') + 1);
            return shapes::vmlPath(path, cw, chh, w, h);
        }
        return shapes::presetPath("rect", {}, w, h);
    }

    void vmlShape(pugi::xml_node s, const std::unordered_map<std::string, pugi::xml_node>& types, double w, double h,
                  std::vector<Piece>& pieces, int depth) {
        if (std::string_view(s.name()) == "v:group") return vmlGroup(s, types, w, h, pieces, depth);
        if (pugi::xml_node image = s.child("v:imagedata")) {
            std::string_view id = image.attribute("r:id").value();
            if (id.empty()) id = image.attribute("r:embed").value();
            pictureBox(id, w, h, pieces);
            return;
        }
        const shapes::Paint paint = shapes::vmlPaint(s);
        if (pugi::xml_node text = s.child("v:textpath")) {
            const auto style = vmlStyle(text.attribute("style").value());
            std::string family = value(style, "font-family");
            family.erase(std::remove(family.begin(), family.end(), '"'), family.end());
            pieces.push_back({std::string(kGeometry) + shapes::svgText(text.attribute("string").value(), family, paint, w, h) + "</span>", {}});
            return;
        }
        shapes::Paint shown = paint;
        if (std::string_view(s.name()) == "v:line") shown.fill = "none";
        geometry(vmlOutline(s, types, w, h), shown, w, h, false, false, pieces);
        if (pugi::xml_node content = s.child("v:textbox").child("w:txbxContent")) textBox(content, "padding:4.8px 9.6px;", pieces);
    }

    void vmlGroup(pugi::xml_node g, const std::unordered_map<std::string, pugi::xml_node>& types, double w, double h,
                  std::vector<Piece>& pieces, int depth) {
        const std::string size = g.attribute("coordsize").value(), origin = g.attribute("coordorigin").value();
        const double cw = size.empty() ? 1000 : std::atof(size.c_str());
        const double ch = size.find(',') == std::string::npos ? cw : std::atof(size.c_str() + size.find(',') + 1);
        const double ox = std::atof(origin.c_str()), oy = origin.find(',') == std::string::npos ? 0 : std::atof(origin.c_str() + origin.find(',') + 1);
        const double sx = cw > 0 && std::isfinite(cw) ? w / cw : 1, sy = ch > 0 && std::isfinite(ch) ? h / ch : 1;
        for (pugi::xml_node c : g.children()) {
            const std::string_view n = c.name();
            if (n.substr(0, 2) != "v:" || n == "v:shapetype" || ++shapes_ > kMaxShapes) continue;
            const auto style = vmlStyle(c.attribute("style").value());
            const double x = (std::atof(value(style, "left").c_str()) - ox) * sx, y = (std::atof(value(style, "top").c_str()) - oy) * sy;
            const double cw2 = std::atof(value(style, "width").c_str()) * sx, ch2 = std::atof(value(style, "height").c_str()) * sy;
            if (!std::isfinite(x + y + cw2 + ch2)) continue;
            pieces.push_back({"<div style=\"" + std::string(kBox) + "position:absolute;left:" + px(x) + ";top:" + px(y) + ";width:" + px(cw2) +
                                  ";height:" + px(ch2) + ";\">", {}});
            if (n != "v:group" || depth < kMaxNesting) vmlShape(c, types, cw2, ch2, pieces, depth + 1);
            pieces.push_back({"</div>", {}});
        }
    }

    // The drawings of a text box's own text, as markers.
    std::string nestedDrawings(const std::string& xml);

    ConversionContext& ctx_;
    const std::string& rels_;
    PageBox page_;
    int nesting_;
    int ids_ = 0, shapes_ = 0;
};

// ---------------------------------------------------------------------------
// Finding the drawings of a text

bool nameEndsAt(std::string_view t, std::size_t at) {
    return at < t.size() && (t[at] == '>' || t[at] == '/' || t[at] == ' ' || t[at] == '\t' || t[at] == '\r' || t[at] == '\n');
}

// The end of the element whose start tag opens at lt (the byte after its
// end tag), or npos when it never ends.
std::size_t elementEnd(std::string_view t, std::size_t lt, std::string_view name) {
    std::size_t gt = t.find('>', lt);
    if (gt == std::string_view::npos) return gt;
    if (t[gt - 1] == '/') return gt + 1;
    const std::string open = "<" + std::string(name), close = "</" + std::string(name) + ">";
    int depth = 1;
    for (std::size_t at = t.find('<', gt); at != std::string_view::npos; at = t.find('<', at + 1)) {
        if (t.compare(at, close.size(), close) == 0) {
            if (--depth == 0) return at + close.size();
        } else if (t.compare(at, open.size(), open) == 0 && nameEndsAt(t, at + open.size())) {
            const std::size_t e = t.find('>', at);
            if (e == std::string_view::npos) return e;
            if (t[e - 1] != '/') ++depth;
        }
    }
    return std::string_view::npos;
}

// The next drawing holder at or after from: its start and name.
std::pair<std::size_t, std::string_view> nextHolder(std::string_view t, std::size_t from) {
    for (std::size_t at = t.find('<', from); at != std::string_view::npos; at = t.find('<', at + 1)) {
        // A quick look first: "<m", or "<w:" and then "d" or "p".
        if (at + 3 >= t.size()) break;
        const char* h = t.data() + at + 1;
        if (h[0] != 'm' && (h[0] != 'w' || h[1] != ':' || (h[2] != 'd' && h[2] != 'p'))) continue;
        for (std::string_view name : {"mc:AlternateContent", "w:drawing", "w:pict"})
            if (t.compare(at + 1, name.size(), name) == 0 && nameEndsAt(t, at + 1 + name.size())) return {at, name};
    }
    return {std::string_view::npos, {}};
}

// The drawings of text, each replaced by its marker, as edits.
EditList drawingEdits(ConversionContext& ctx, std::string_view text, const std::string& rels, int nesting) {
    EditList edits;
    if (!ctx.model) return edits;
    for (auto [at, name] = nextHolder(text, 0); at != std::string_view::npos; std::tie(at, name) = nextHolder(text, at + 1)) {
        const std::size_t end = elementEnd(text, at, name);
        if (end == std::string_view::npos) break;
        pugi::xml_document doc;
        const std::string xml = parseableMarkers(text.substr(at, end - at));
        if (xml.empty() || !doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata)) {
            at = end - 1;
            continue;
        }
        DrawingReader reader(ctx, rels, nesting);
        std::optional<ConversionContext::PlacedDrawing> d = reader.read(doc.document_element());
        if (d) {
            d->rels = rels;
            edits.replace(at, end - at, marker::drawing(ctx.drawings.size()));
            ctx.drawings.push_back(std::move(*d));
        }
        at = end - 1;
    }
    return edits;
}

std::string processed(ConversionContext& ctx, std::string_view text, const std::string& rels, int nesting) {
    EditList edits = drawingEdits(ctx, text, rels, nesting);
    return edits.empty() ? std::string(text) : edits.apply(text);
}

std::string DrawingReader::nestedDrawings(const std::string& xml) { return processed(ctx_, xml, rels_, nesting_ + 1); }

}  // namespace

std::string drawingsAsDrawn(ConversionContext& ctx, std::string_view text, const std::string& rels) {
    return processed(ctx, text, rels, 0);
}

void drawingsAsDrawn(ConversionContext& ctx) {
    if (findText(ctx.workingText, "<w:drawing") == std::string::npos && findText(ctx.workingText, "<w:pict") == std::string::npos) return;
    // The edits are made before the text is replaced: one copy of it at a time.
    EditList edits = drawingEdits(ctx, ctx.workingText, ctx.relsText, 0);
    edits.applyTo(ctx.workingText);
}

void convertDrawingContents(ConversionContext& ctx) {
    for (ConversionContext::PlacedDrawing& d : ctx.drawings) {
        d.html.clear();
        for (const Piece& p : d.pieces) {
            d.html += p.markup;
            if (p.xml.empty()) continue;
            // Its own inline pictures as the body's (vmlPicturesToDrawings).
            std::string xml = p.xml;
            std::swap(ctx.workingText, xml);
            vmlPicturesToDrawings(ctx);
            std::swap(ctx.workingText, xml);
            normalizeEmptyTags(ctx, xml);
            d.html += convertStory(ctx, removePrefixInTags(xml), d.rels);
        }
    }
}

std::string drawingRules(const ConversionContext& ctx) {
    const PageBox page = ctx.model ? pageBoxOf(*ctx.model) : PageBox();
    return ".tvpicture p{margin:0;line-height:0}\r\n"
           "@media print{.tvonpage{margin-top:-" + px(ctx.sheetMargins ? page.header : page.top) + "}}\r\n"
           "body>div.page{position:relative;z-index:0}\r\n";
}

}  // namespace tavin
