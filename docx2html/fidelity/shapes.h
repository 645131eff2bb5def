// Shapes drawn as SVG: the outline of a DrawingML preset or custom
// geometry, or of a VML shape, and its paint (fill, line, arrow heads),
// read from the shape's properties and the theme. Sizes are CSS pixels.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "docx2html/model/theme.h"

namespace tavin::shapes {

// How a shape is painted. Colours are "#rrggbb" or "none".
struct Paint {
    std::string fill = "none";
    double fillOpacity = 1;
    // A linear gradient's stops ("offset colour" pairs as SVG stop
    // elements) and angle in degrees; no stops for a plain fill.
    std::string gradientStops;
    double gradientAngle = 0;
    std::string stroke = "none";
    double strokeWidth = 0;
    std::string dash;  // an SVG dash array, "" for a solid line
    bool headArrow = false, tailArrow = false;
};

// An outline in SVG path syntax, in a box of w by h pixels: a preset
// geometry (a:prstGeom prst) with its adjust values (a:avLst), or a
// rectangle for a preset it does not know.
std::string presetPath(std::string_view preset, pugi::xml_node avLst, double w, double h);
// Whether a preset is a line (drawn without fill).
bool isLinePreset(std::string_view preset);
// The outline of a custom geometry (a:custGeom's a:pathLst) scaled to w by h.
std::string customPath(pugi::xml_node custGeom, double w, double h);
// The outline of a VML path ("m0,0l21600,0...e") in a coordinate space of
// coordW by coordH, scaled to w by h.
std::string vmlPath(std::string_view path, double coordW, double coordH, double w, double h);

// The paint of a DrawingML shape: its properties (wps:spPr, pic:spPr ...),
// else the theme colours its style (wps:style) refers to.
Paint drawingPaint(pugi::xml_node spPr, pugi::xml_node style, const model::Theme& theme);
// The paint of a VML shape (fillcolor, filled, strokecolor, strokeweight,
// stroked, and its v:fill and v:stroke children).
Paint vmlPaint(pugi::xml_node shape);
// A DrawingML colour (the first colour element among node's children:
// a:srgbClr, a:schemeClr, a:prstClr, a:sysClr with their modifiers) as
// "#rrggbb", or "" for none; opacity gets its alpha.
std::string drawingColour(pugi::xml_node node, const model::Theme& theme, double* opacity = nullptr);
// A colour of the theme's scheme ("accent1", "tx1" ...; Office's own where
// the theme has none) as "#rrggbb", or "".
std::string schemeColour(std::string_view name, const model::Theme& theme);
// A colour ("#rrggbb" or six hex digits) with its HSL luminance scaled by
// mod and moved by off, as "#rrggbb"; "" for no colour.
std::string withLuminance(std::string_view colour, double mod, double off);
// A VML length ("12pt", "1in", "3px", "2mm", "1cm") in pixels; a plain
// number counts perPlainUnit pixels; fallback for no length.
double vmlPixels(std::string_view v, double perPlainUnit, double fallback);
// A VML colour ("#f00", "#4f81bd [3204]", "red") as "#rrggbb", or "".
std::string vmlColour(std::string_view value);

// An svg element of w by h pixels drawing the outline with the paint,
// mirrored as asked; id names its gradient and arrow heads on the page.
std::string svgShape(const std::string& path, const Paint& paint, double w, double h, bool flipH, bool flipV,
                     const std::string& id);
// An svg element of w by h pixels whose text fills it (a watermark's
// "DRAFT"), in the font family and paint given.
std::string svgText(std::string_view text, std::string_view family, const Paint& paint, double w, double h);

// A number as SVG and CSS write it: at most two decimals, never an
// exponent or "nan".
std::string num(double v);

}  // namespace tavin::shapes
