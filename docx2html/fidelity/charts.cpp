// Draws a chart part as inline SVG from its cached values. Reading first
// (the part's series, axes, title and legend into a small model, every
// list capped), then drawing: the title and the legend take their room
// from the chart's box, the axes' labels theirs from what is left, and the
// plot fills the rest.
#include "docx2html/fidelity/charts.h"
#include "docx2html/fidelity/shapes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "docx2html/model/xml.h"

namespace tavin {

namespace {

constexpr std::size_t kMaxPoints = 1000;  // per series
constexpr std::size_t kMaxSeries = 50;    // in all
constexpr std::size_t kMaxPlots = 8;      // chart kinds in one plot area
constexpr double kHuge = 1e15;            // values beyond are clamped: sums and scales stay finite
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;
constexpr const char* kFont = "Calibri, Carlito, sans-serif";
constexpr const char* kTextColour = "#595959";
constexpr const char* kGridColour = "#d9d9d9";
constexpr const char* kAxisColour = "#bfbfbf";

// ---------------------------------------------------------------- writing

// A number for an attribute: at most two decimals, never an exponent.
void appendNumber(std::string& out, double v) {
    if (!std::isfinite(v)) v = 0;
    v = std::clamp(v, -1e9, 1e9);
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string_view s(buf, static_cast<std::size_t>(std::max(n, 0)));
    while (!s.empty() && s.back() == '0') s.remove_suffix(1);
    if (!s.empty() && s.back() == '.') s.remove_suffix(1);
    if (s == "-0" || s.empty()) s = "0";
    out += s;
}

// The length of the well-formed UTF-8 sequence at i, 0 for a bad byte.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    if (b < 0x80) len = 1;
    else if (b >= 0xC2 && b <= 0xDF) len = 2;
    else if (b >= 0xE0 && b <= 0xEF) len = 3;
    else if (b >= 0xF0 && b <= 0xF4) len = 4;
    if (len == 0 || i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return len;
}

// Document text as XML character data: markup characters escaped, control
// characters as spaces and bad UTF-8 as U+FFFD, so that the element stays
// well-formed whatever the part held.
void appendEscaped(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = utf8Length(s, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (len > 1) {
            out.append(s.substr(i, len));
            i += len;
            continue;
        }
        const char c = s[i++];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
}

std::size_t codePoints(std::string_view s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The width a text takes at a font size, roughly (an average glyph).
double textWidth(std::string_view s, double font) { return static_cast<double>(codePoints(s)) * font * 0.55; }

// The text cut, at a character's boundary, to what fits in width, with an
// ellipsis where it was cut.
std::string fitText(std::string_view s, double width, double font) {
    const double fits = std::floor(width / (font * 0.55) + 1e-6);
    if (fits < 1) return {};
    const auto most = static_cast<std::size_t>(std::min(fits, 1e6));
    if (codePoints(s) <= most) return std::string(s);
    std::size_t kept = 0;
    std::size_t i = 0;
    for (; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && kept++ == most - 1) break;
    return std::string(s.substr(0, i)) + "\xE2\x80\xA6";
}

class Svg {
public:
    std::string out;

    void attr(const char* name, double v) {
        out += ' ';
        out += name;
        out += "=\"";
        appendNumber(out, v);
        out += '"';
    }
    void attr(const char* name, std::string_view v) {
        out += ' ';
        out += name;
        out += "=\"";
        appendEscaped(out, v);
        out += '"';
    }
    void rect(double x, double y, double w, double h, std::string_view fill, const char* cls) {
        out += "<rect";
        if (cls) attr("class", cls);
        attr("x", x);
        attr("y", y);
        attr("width", std::max(w, 0.0));
        attr("height", std::max(h, 0.0));
        attr("fill", fill);
        out += "/>";
    }
    void line(double x1, double y1, double x2, double y2, std::string_view stroke, double width) {
        out += "<line";
        attr("x1", x1);
        attr("y1", y1);
        attr("x2", x2);
        attr("y2", y2);
        attr("stroke", stroke);
        attr("stroke-width", width);
        out += "/>";
    }
    void text(double x, double y, double size, const char* anchor, std::string_view content, bool bold = false) {
        if (content.empty()) return;
        out += "<text";
        attr("x", x);
        attr("y", y);
        attr("font-family", kFont);
        attr("font-size", size);
        if (bold) attr("font-weight", "bold");
        attr("text-anchor", anchor);
        attr("fill", kTextColour);
        out += '>';
        appendEscaped(out, content);
        out += "</text>";
    }
    void circle(double cx, double cy, double r, std::string_view fill) {
        out += "<circle class=\"marker\"";
        attr("cx", cx);
        attr("cy", cy);
        attr("r", r);
        attr("fill", fill);
        out += "/>";
    }
    void point(double x, double y) {
        appendNumber(out, x);
        out += ',';
        appendNumber(out, y);
        out += ' ';
    }
};

// ---------------------------------------------------------------- colours

std::string fillOf(pugi::xml_node spPr, const model::Theme& theme) {
    return shapes::drawingColour(spPr.child("a:solidFill"), theme);
}

std::string lineColourOf(pugi::xml_node spPr, const model::Theme& theme) {
    return shapes::drawingColour(spPr.child("a:ln").child("a:solidFill"), theme);
}

// The automatic colour of the series (or point) of that index: the
// theme's accents in turn, darker and lighter on later rounds.
std::string autoColour(std::size_t index, const model::Theme& theme) {
    static constexpr std::array<std::array<double, 2>, 5> kRounds{{{1, 0}, {0.6, 0}, {0.8, 0.2}, {0.8, 0}, {0.6, 0.4}}};
    const std::string accent = shapes::schemeColour("accent" + std::to_string(index % 6 + 1), theme);
    const auto& round = kRounds[(index / 6) % kRounds.size()];
    return shapes::withLuminance(accent, round[0], round[1]);
}

// ---------------------------------------------------------------- reading

enum class Kind { Bar, Line, Area, Pie, Doughnut, Scatter, Other };
enum class Grouping { Clustered, Stacked, Percent };

struct Series {
    std::string name;
    std::vector<std::string> cats;
    std::vector<double> vals;  // NaN where a point has no number
    std::vector<double> xs;    // scatter: the x values; empty for 1, 2, 3...
    std::string fill, stroke;
    std::vector<std::string> pointFills;  // c:dPt, by index; empty for the series' own
    std::size_t colourIndex = 0;
    bool line = true, markers = false, labels = false, percentLabels = false;
    std::string labelFormat, valueFormat;
};

struct Plot {
    Kind kind = Kind::Other;
    std::string element;
    bool horizontal = false, vary = false;
    Grouping grouping = Grouping::Clustered;
    double gap = 1.5, overlap = 0, hole = 0.5, firstAngle = 0;
    std::vector<Series> series;
};

struct Axis {
    bool present = false, deleted = false, gridlines = false, midCat = false;
    std::optional<double> min, max;
    std::string format, pos;
};

struct Chart {
    std::string title;
    std::vector<Plot> plots;
    Axis cat, val, x;  // x: a scatter plot's horizontal value axis
    char legend = 0;   // 'r', 'l', 't', 'b'; 0 for none
    std::string background = "#ffffff", border, plotFill;
};

std::string_view val(pugi::xml_node node, const char* child) { return node.child(child).attribute("val").value(); }

// An on/off element: off when absent, on when present without a value.
bool flag(pugi::xml_node node, const char* child, bool absent = false) {
    const pugi::xml_node n = node.child(child);
    if (!n) return absent;
    const pugi::xml_attribute v = n.attribute("val");
    const std::string_view s = v.value();
    return !v || s == "1" || s == "true";
}

std::optional<double> parseNumber(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '+')) s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc::result_out_of_range) return s.front() == '-' ? -kHuge : kHuge;
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return std::clamp(v, -kHuge, kHuge);
}

double numberOr(std::string_view s, double fallback, double lo, double hi) {
    return std::clamp(parseNumber(s).value_or(fallback), lo, hi);
}

struct Points {
    std::vector<std::string> text;
    std::vector<double> values;
    std::string format;
};

// The cache of a data source (c:cat, c:val, c:tx, c:xVal, c:yVal): a
// reference's cache or a literal.
pugi::xml_node cacheOf(pugi::xml_node source) {
    if (const pugi::xml_node r = source.child("c:numRef")) return r.child("c:numCache");
    if (const pugi::xml_node r = source.child("c:strRef")) return r.child("c:strCache");
    if (const pugi::xml_node r = source.child("c:multiLvlStrRef")) return r.child("c:multiLvlStrCache");
    if (const pugi::xml_node r = source.child("c:numLit")) return r;
    return source.child("c:strLit");
}

// The points of a source in index order, as many as its point count
// says (at most kMaxPoints); a multi-level source gives its first level.
Points readPoints(pugi::xml_node source) {
    Points p;
    pugi::xml_node cache = cacheOf(source);
    const std::optional<long> count = model::number(val(cache, "c:ptCount"));
    p.format = cache.child_value("c:formatCode");
    if (std::strcmp(cache.name(), "c:multiLvlStrCache") == 0) cache = cache.child("c:lvl");
    const std::size_t limit = count ? static_cast<std::size_t>(std::clamp<long>(*count, 0, long(kMaxPoints))) : kMaxPoints;
    for (pugi::xml_node pt = cache.child("c:pt"); pt; pt = pt.next_sibling("c:pt")) {
        const std::optional<long> idx = model::number(pt.attribute("idx").value());
        if (!idx || *idx < 0 || static_cast<std::size_t>(*idx) >= limit) continue;
        const auto i = static_cast<std::size_t>(*idx);
        if (p.text.size() <= i) {
            p.text.resize(i + 1);
            p.values.resize(i + 1, kNaN);
        }
        p.text[i] = pt.child_value("c:v");
        p.values[i] = parseNumber(p.text[i]).value_or(kNaN);
    }
    if (count) {
        p.text.resize(limit);
        p.values.resize(limit, kNaN);
    }
    return p;
}

std::string seriesName(pugi::xml_node tx) {
    if (const char* v = tx.child_value("c:v"); *v) return v;
    const Points p = readPoints(tx);
    return p.text.empty() ? std::string() : p.text.front();
}

void readLabels(Series& s, pugi::xml_node dLbls) {
    if (!dLbls || flag(dLbls, "c:delete")) return;
    s.labels = flag(dLbls, "c:showVal");
    s.percentLabels = flag(dLbls, "c:showPercent");
    s.labelFormat = dLbls.child("c:numFmt").attribute("formatCode").value();
}

void readPointFills(Series& s, pugi::xml_node ser, const model::Theme& theme) {
    for (pugi::xml_node dPt = ser.child("c:dPt"); dPt; dPt = dPt.next_sibling("c:dPt")) {
        const std::optional<long> idx = model::number(val(dPt, "c:idx"));
        if (!idx || *idx < 0 || static_cast<std::size_t>(*idx) >= kMaxPoints) continue;
        std::string fill = fillOf(dPt.child("c:spPr"), theme);
        if (fill.empty()) continue;
        const auto i = static_cast<std::size_t>(*idx);
        if (s.pointFills.size() <= i) s.pointFills.resize(i + 1);
        s.pointFills[i] = std::move(fill);
    }
}

// Markers: the series' own symbol, else the chart kind's default.
bool readMarkers(pugi::xml_node ser, pugi::xml_node plot, Kind kind) {
    if (const pugi::xml_node m = ser.child("c:marker")) return val(m, "c:symbol") != "none";
    if (kind == Kind::Scatter) {
        const std::string_view style = val(plot, "c:scatterStyle");
        return style != "line" && style != "smooth" && style != "none";
    }
    return kind == Kind::Line && flag(plot, "c:marker");
}

Series readSeries(pugi::xml_node ser, pugi::xml_node plotNode, const Plot& plot, std::size_t position, const model::Theme& theme) {
    Series s;
    s.name = seriesName(ser.child("c:tx"));
    Points cats = readPoints(ser.child(plot.kind == Kind::Scatter ? "c:xVal" : "c:cat"));
    Points vals = readPoints(ser.child(plot.kind == Kind::Scatter ? "c:yVal" : "c:val"));
    if (plot.kind == Kind::Scatter && std::any_of(cats.values.begin(), cats.values.end(), [](double v) { return !std::isnan(v); }))
        s.xs = std::move(cats.values);
    s.cats = std::move(cats.text);
    s.vals = std::move(vals.values);
    s.valueFormat = std::move(vals.format);
    const std::optional<long> idx = model::number(val(ser, "c:idx"));
    s.colourIndex = idx && *idx >= 0 ? static_cast<std::size_t>(std::min<long>(*idx, 1000000)) : position;
    const pugi::xml_node spPr = ser.child("c:spPr");
    const std::string automatic = autoColour(s.colourIndex, theme);
    s.fill = fillOf(spPr, theme);
    s.stroke = lineColourOf(spPr, theme);
    const bool lines = plot.kind == Kind::Line || plot.kind == Kind::Scatter;
    if (s.fill.empty()) s.fill = lines && !s.stroke.empty() ? s.stroke : automatic;
    if (s.stroke.empty()) s.stroke = lines ? s.fill : automatic;
    s.line = !spPr.child("a:ln").child("a:noFill") && val(plotNode, "c:scatterStyle") != "marker";
    s.markers = readMarkers(ser, plotNode, plot.kind);
    readLabels(s, ser.child("c:dLbls") ? ser.child("c:dLbls") : plotNode.child("c:dLbls"));
    readPointFills(s, ser, theme);
    return s;
}

Kind kindOf(std::string_view element) {
    if (element == "c:barChart" || element == "c:bar3DChart") return Kind::Bar;
    if (element == "c:lineChart" || element == "c:line3DChart") return Kind::Line;
    if (element == "c:areaChart" || element == "c:area3DChart") return Kind::Area;
    if (element == "c:pieChart" || element == "c:pie3DChart") return Kind::Pie;
    if (element == "c:doughnutChart") return Kind::Doughnut;
    if (element == "c:scatterChart") return Kind::Scatter;
    return Kind::Other;
}

bool isChartKind(std::string_view element) {
    return element.size() > 5 && element.substr(element.size() - 5) == "Chart" && element.substr(0, 2) == "c:";
}

Plot readPlot(pugi::xml_node node, std::size_t& seriesLeft, const model::Theme& theme) {
    Plot p;
    p.element = node.name();
    p.kind = kindOf(p.element);
    p.horizontal = val(node, "c:barDir") == "bar";
    const std::string_view grouping = val(node, "c:grouping");
    if (grouping == "stacked") p.grouping = Grouping::Stacked;
    else if (grouping == "percentStacked") p.grouping = Grouping::Percent;
    p.gap = numberOr(val(node, "c:gapWidth"), 150, 0, 500) / 100;
    p.overlap = numberOr(val(node, "c:overlap"), 0, -100, 100) / 100;
    p.hole = numberOr(val(node, "c:holeSize"), 50, 10, 90) / 100;
    p.firstAngle = numberOr(val(node, "c:firstSliceAng"), 0, 0, 360);
    p.vary = flag(node, "c:varyColors", p.kind == Kind::Pie || p.kind == Kind::Doughnut);
    for (pugi::xml_node ser = node.child("c:ser"); ser && seriesLeft > 0; ser = ser.next_sibling("c:ser"), --seriesLeft)
        p.series.push_back(readSeries(ser, node, p, p.series.size(), theme));
    return p;
}

Axis readAxis(pugi::xml_node node) {
    Axis a;
    if (!node) return a;
    a.present = true;
    a.deleted = flag(node, "c:delete");
    a.gridlines = static_cast<bool>(node.child("c:majorGridlines"));
    const pugi::xml_node scaling = node.child("c:scaling");
    a.min = parseNumber(val(scaling, "c:min"));
    a.max = parseNumber(val(scaling, "c:max"));
    if (a.min && a.max && *a.min >= *a.max) a.min = a.max = std::nullopt;
    a.format = node.child("c:numFmt").attribute("formatCode").value();
    a.pos = val(node, "c:axPos");
    a.midCat = val(node, "c:crossBetween") == "midCat";
    return a;
}

void readAxes(Chart& c, pugi::xml_node plotArea) {
    std::vector<pugi::xml_node> values;
    for (pugi::xml_node n : plotArea.children()) {
        const std::string_view name = n.name();
        if ((name == "c:catAx" || name == "c:dateAx") && !c.cat.present) c.cat = readAxis(n);
        else if (name == "c:valAx" && values.size() < 2) values.push_back(n);
    }
    const bool scatter = !c.plots.empty() && c.plots.front().kind == Kind::Scatter;
    if (scatter && values.size() == 2) {
        const std::string_view pos = val(values[0], "c:axPos");
        const bool firstIsX = pos == "b" || pos == "t";
        c.x = readAxis(values[firstIsX ? 0 : 1]);
        c.val = readAxis(values[firstIsX ? 1 : 0]);
    } else if (!values.empty()) {
        c.val = readAxis(values[0]);
    }
}

// The text of a title's rich text (paragraphs joined by spaces) or of its
// reference's cache.
std::string titleText(pugi::xml_node title) {
    const pugi::xml_node tx = title.child("c:tx");
    if (!tx.child("c:rich")) return seriesName(tx);
    std::string text;
    for (pugi::xml_node p = tx.child("c:rich").child("a:p"); p; p = p.next_sibling("a:p")) {
        if (!text.empty()) text += ' ';
        for (pugi::xml_node r : p.children())
            if (std::strcmp(r.name(), "a:r") == 0 || std::strcmp(r.name(), "a:fld") == 0) text += r.child_value("a:t");
    }
    return text;
}

std::size_t seriesCount(const Chart& c) {
    std::size_t n = 0;
    for (const Plot& p : c.plots) n += p.series.size();
    return n;
}

// The title: its own text; a title without one, or no title where the
// automatic one is kept, names the only series.
std::string readTitle(const Chart& c, pugi::xml_node chart) {
    const pugi::xml_node title = chart.child("c:title");
    if (title) {
        std::string text = titleText(title);
        if (!text.empty()) return text;
    }
    const bool single = seriesCount(c) == 1;
    if (single && (title || !flag(chart, "c:autoTitleDeleted"))) return c.plots.front().series.front().name;
    return title ? "Chart Title" : "";
}

Chart readChart(pugi::xml_node space, pugi::xml_node chart, const model::Theme& theme) {
    Chart c;
    const pugi::xml_node plotArea = chart.child("c:plotArea");
    std::size_t seriesLeft = kMaxSeries;
    for (pugi::xml_node n : plotArea.children())
        if (isChartKind(n.name()) && c.plots.size() < kMaxPlots) c.plots.push_back(readPlot(n, seriesLeft, theme));
    readAxes(c, plotArea);
    c.title = readTitle(c, chart);
    if (const pugi::xml_node legend = chart.child("c:legend")) {
        const std::string_view pos = val(legend, "c:legendPos");
        c.legend = pos == "l" || pos == "t" || pos == "b" ? pos.front() : 'r';
    }
    const pugi::xml_node spPr = space.child("c:spPr");
    if (spPr.child("a:noFill")) c.background.clear();
    else if (std::string fill = fillOf(spPr, theme); !fill.empty()) c.background = std::move(fill);
    c.border = lineColourOf(spPr, theme);
    c.plotFill = fillOf(plotArea.child("c:spPr"), theme);
    return c;
}

// ---------------------------------------------------------------- values

// A number in the manner of a number format: General, or a format of
// digit placeholders (0 and #), a thousands separator and a percent
// sign ("0", "0.0", "#,##0", "0%", "0.00%"); any other as General.
std::string generalNumber(double v) {
    if (!std::isfinite(v)) return {};
    const double a = std::fabs(v);
    const int digits = a < 1 ? 1 : static_cast<int>(std::floor(std::log10(a))) + 1;
    const int decimals = std::clamp(10 - digits, 0, 9);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

void groupThousands(std::string& s) {
    const std::size_t start = s.front() == '-' ? 1 : 0;
    std::size_t end = s.find('.');
    if (end == std::string::npos) end = s.size();
    for (std::size_t i = end; i > start + 3; i -= 3) s.insert(i - 3, 1, ',');
}

std::string formatNumber(double v, std::string_view code) {
    if (!std::isfinite(v)) return {};
    code = code.substr(0, code.find(';'));
    if (code.empty() || code.find_first_not_of("0#,.%") != std::string_view::npos || code.find_first_of("0#") == std::string_view::npos)
        return generalNumber(v);
    const std::size_t dot = code.find('.');
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : code.substr(dot + 1);
    const auto fixed = static_cast<int>(std::count(fraction.begin(), fraction.end(), '0'));
    const auto optional = static_cast<int>(std::count(fraction.begin(), fraction.end(), '#'));
    if (code.find('%') != std::string_view::npos) v *= 100;
    // Halves round away from zero, where printf would round them to even.
    const int shown = std::min(fixed + optional, 10);
    const double unit = std::pow(10.0, shown);
    if (std::fabs(v) * unit < kHuge) v = std::round(v * unit) / unit;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", shown, v);
    std::string s = buf;
    for (int trim = optional; trim > 0 && s.back() == '0'; --trim) s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s.find_first_not_of("-0.") == std::string::npos && s.front() == '-') s.erase(0, 1);
    if (code.substr(0, dot).find(',') != std::string_view::npos) groupThousands(s);
    if (code.find('%') != std::string_view::npos) s += '%';
    return s;
}

struct Scale {
    double min = 0, max = 1, step = 0.2;
    std::size_t ticks() const { return static_cast<std::size_t>(std::lround((max - min) / step)); }
};

// The data's range widened to zero as a chart does: always for bars and
// areas; for lines and points when the data lie far enough from zero.
void widenToZero(double& lo, double& hi, bool fromZero) {
    if (fromZero || (lo >= 0 && lo < hi * 5 / 6)) lo = std::min(lo, 0.0);
    if (fromZero || (hi <= 0 && hi > lo * 5 / 6)) hi = std::max(hi, 0.0);
}

// A scale of round steps (1, 2 or 5 times a power of ten) over the data,
// with some room above the highest value; the axis' own bounds where it
// gives them.
Scale niceScale(double lo, double hi, bool fromZero, const Axis& axis, double targetTicks) {
    if (!(lo <= hi)) lo = 0, hi = 1;
    widenToZero(lo, hi, fromZero);
    lo = axis.min.value_or(lo);
    hi = axis.max.value_or(hi);
    if (!(lo < hi)) {
        if (axis.max) lo = hi - 1;
        else hi = lo + (lo == 0 ? 1 : std::fabs(lo));
    }
    const double rough = (hi - lo) / std::clamp(targetTicks, 2.0, 10.0);
    const double magnitude = std::pow(10, std::floor(std::log10(rough)));
    const double f = rough / magnitude;
    Scale s;
    s.step = magnitude * (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10);
    s.min = axis.min ? lo : std::floor(lo / s.step) * s.step;
    s.max = axis.max ? hi : std::ceil(hi / s.step) * s.step;
    if (!axis.max && hi > 0 && hi + (hi - lo) * 0.05 > s.max) s.max += s.step;
    if (!(s.max > s.min) || !(s.step > 0) || (s.max - s.min) / s.step > 50) {
        s.min = lo, s.max = hi;
        s.step = (hi - lo) / 5;
    }
    return s;
}

// ---------------------------------------------------------------- drawing

struct Box {
    double x = 0, y = 0, w = 0, h = 0;
};

// Where categories and values fall in the plot: values along the vertical
// (columns, lines) or the horizontal (bars) axis, categories across it, the
// first at the left or at the bottom.
struct Frame {
    Box box;
    bool horizontal = false, midCat = false;
    Scale scale;
    std::size_t n = 1;

    double value(double v) const {
        const double t = std::clamp((v - scale.min) / (scale.max - scale.min), 0.0, 1.0);
        return horizontal ? box.x + t * box.w : box.y + box.h - t * box.h;
    }
    // c in category widths from the first category's start.
    double category(double c) const {
        const double t = c / static_cast<double>(n);
        return horizontal ? box.y + box.h - t * box.h : box.x + t * box.w;
    }
    // Where a line's or an area's point i stands: the middle of its
    // category, or (midCat) on the category lines.
    double pointAt(std::size_t i) const {
        if (!midCat || n < 2) return category(static_cast<double>(i) + 0.5);
        const double t = static_cast<double>(i) / static_cast<double>(n - 1);
        return horizontal ? box.y + box.h - t * box.h : box.x + t * box.w;
    }
    double length() const { return horizontal ? box.h : box.w; }
};

struct Span {
    double base = kNaN, top = kNaN;
};

// The base and the top of every point of every series of a plot: from
// zero, or stacked on the series before (bars stack positive and negative
// values apart), or as fractions of the category's total.
// Every category's total of magnitudes, for percent stacking.
std::vector<double> categoryTotals(const Plot& plot, std::size_t n) {
    std::vector<double> total(n, 0);
    for (const Series& s : plot.series)
        for (std::size_t i = 0; i < std::min(n, s.vals.size()); ++i)
            if (std::isfinite(s.vals[i])) total[i] += std::fabs(s.vals[i]);
    return total;
}

// A point stacked on the sums below it (up for positive values, down for
// negative bars); a bar without a value has none, a line or area point
// stands on the sum.
Span stackPoint(double v, bool bars, double& up, double& down) {
    const double add = std::isfinite(v) ? v : 0;
    double& acc = bars && add < 0 ? down : up;
    const Span s{acc, std::isfinite(v) || !bars ? acc + add : kNaN};
    acc += add;
    return s;
}

std::vector<std::vector<Span>> spans(const Plot& plot, std::size_t n) {
    std::vector<std::vector<Span>> out(plot.series.size(), std::vector<Span>(n));
    const std::vector<double> total = plot.grouping == Grouping::Percent ? categoryTotals(plot, n) : std::vector<double>();
    std::vector<double> up(n, 0), down(n, 0);
    const bool bars = plot.kind == Kind::Bar;
    for (std::size_t k = 0; k < plot.series.size(); ++k) {
        const std::vector<double>& vals = plot.series[k].vals;
        for (std::size_t i = 0; i < n; ++i) {
            double v = i < vals.size() ? vals[i] : kNaN;
            if (!total.empty()) v = total[i] > 0 ? v / total[i] : kNaN;
            out[k][i] = plot.grouping == Grouping::Clustered ? Span{0, v} : stackPoint(v, bars, up[i], down[i]);
        }
    }
    return out;
}

// The lowest and the highest value of the spans, widened to take v.
struct Range {
    double lo = kHuge * 100, hi = -kHuge * 100;
    void take(double v) {
        if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
    void take(const std::vector<std::vector<Span>>& spans) {
        for (const auto& series : spans)
            for (const Span& s : series) take(s.base), take(s.top);
    }
};

struct Entry {
    std::string name, colour;
    bool line = false;
};

class Drawer {
public:
    Drawer(const Chart& chart, const model::Theme& theme, double w, double h) : c_(chart), theme_(theme), w_(w), h_(h) {
        font_ = std::clamp(std::min(w, h * 1.65) / 40, 7.0, 16.0);
    }

    std::string run() {
        const std::string label = c_.title.empty() ? "Chart" : c_.title;
        svg_.out += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\"";
        svg_.attr("width", w_);
        svg_.attr("height", h_);
        svg_.out += " viewBox=\"0 0 ";
        appendNumber(svg_.out, w_);
        svg_.out += ' ';
        appendNumber(svg_.out, h_);
        svg_.out += "\" role=\"img\"";
        svg_.attr("aria-label", label);
        svg_.out += "><title>";
        appendEscaped(svg_.out, label);
        svg_.out += "</title>";
        background();
        Box area{font_ * 0.6, font_ * 0.6, w_ - font_ * 1.2, h_ - font_ * 1.2};
        title(area);
        body(area);
        svg_.out += "</svg>";
        return std::move(svg_.out);
    }

private:
    void background() {
        if (c_.background.empty() && c_.border.empty()) return;
        svg_.out += "<rect class=\"chart-area\" x=\"0\" y=\"0\"";
        svg_.attr("width", w_);
        svg_.attr("height", h_);
        svg_.attr("fill", c_.background.empty() ? "none" : c_.background);
        if (!c_.border.empty()) svg_.attr("stroke", c_.border);
        svg_.out += "/>";
    }

    void title(Box& area) {
        if (c_.title.empty()) return;
        const double size = font_ * 1.3;
        svg_.text(w_ / 2, area.y + size, size, "middle", fitText(c_.title, area.w, size));
        area.y += size * 1.6;
        area.h -= size * 1.6;
    }

    void body(Box& area) {
        if (c_.plots.empty()) return;
        const Plot& first = c_.plots.front();
        switch (first.kind) {
        case Kind::Pie:
        case Kind::Doughnut: legend(area, pieEntries(first)); pie(area, first); break;
        case Kind::Scatter: legend(area, seriesEntries()); scatter(area, first); break;
        case Kind::Other: grid(area, first); break;
        default: legend(area, seriesEntries()); cartesian(area); break;
        }
    }

    // ---- legend

    std::vector<Entry> seriesEntries() const {
        std::vector<Entry> out;
        for (const Plot& p : drawnPlots())
            for (const Series& s : p.series) {
                const bool line = p.kind == Kind::Line || p.kind == Kind::Scatter;
                out.push_back({s.name.empty() ? "Series " + std::to_string(out.size() + 1) : s.name, line ? s.stroke : s.fill, line});
            }
        return out;
    }

    std::vector<Entry> pieEntries(const Plot& p) const {
        if (p.series.empty()) return {};
        const Series& s = p.series.front();
        if (!p.vary && s.pointFills.empty()) return {{s.name, s.fill, false}};
        std::vector<Entry> out;
        const std::size_t n = std::min(std::max(s.cats.size(), s.vals.size()), kMaxSeries);
        for (std::size_t i = 0; i < n; ++i)
            out.push_back({i < s.cats.size() && !s.cats[i].empty() ? s.cats[i] : std::to_string(i + 1), pointFill(p, s, i), false});
        return out;
    }

    void swatch(double x, double y, const Entry& e) {
        const double k = font_ * 0.7;
        if (e.line) svg_.line(x, y - k / 2, x + k * 1.6, y - k / 2, e.colour, std::max(1.0, font_ * 0.2));
        else svg_.rect(x, y - k, k, k, e.colour, nullptr);
    }

    void legend(Box& area, const std::vector<Entry>& entries) {
        if (c_.legend == 0 || entries.empty()) return;
        svg_.out += "<g class=\"legend\">";
        if (c_.legend == 'r' || c_.legend == 'l') sideLegend(area, entries);
        else rowLegend(area, entries);
        svg_.out += "</g>";
    }

    void sideLegend(Box& area, const std::vector<Entry>& entries) {
        const double rowH = font_ * 1.5, key = font_ * 1.6;
        double textW = 0;
        for (const Entry& e : entries) textW = std::max(textW, textWidth(e.name, font_));
        const double width = std::min(key + textW + font_, area.w * 0.35);
        const std::size_t rows = std::min(entries.size(), static_cast<std::size_t>(std::max(area.h / rowH, 0.0)));
        const double x = c_.legend == 'r' ? area.x + area.w - width + font_ * 0.5 : area.x;
        double y = area.y + (area.h - static_cast<double>(rows) * rowH) / 2 + font_;
        for (std::size_t i = 0; i < rows; ++i, y += rowH) {
            swatch(x, y, entries[i]);
            svg_.text(x + key + font_ * 0.3, y, font_, "start", fitText(entries[i].name, width - key - font_, font_));
        }
        area.w -= width + font_ * 0.5;
        if (c_.legend == 'l') area.x += width + font_ * 0.5;
    }

    // Entries in rows as wide as the plot, at most three rows.
    void rowLegend(Box& area, const std::vector<Entry>& entries) {
        const double rowH = font_ * 1.5, key = font_ * 1.6;
        std::vector<std::vector<std::string>> names(1);
        std::vector<std::vector<std::size_t>> rows(1);
        std::vector<double> widths(1, 0);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            std::string name = fitText(entries[i].name, area.w / 2, font_);
            const double w = key + textWidth(name, font_) + font_;
            if (widths.back() + w > area.w && !rows.back().empty()) {
                if (rows.size() == 3) break;
                rows.emplace_back();
                names.emplace_back();
                widths.push_back(0);
            }
            rows.back().push_back(i);
            names.back().push_back(std::move(name));
            widths.back() += w;
        }
        const double height = static_cast<double>(rows.size()) * rowH;
        double y = (c_.legend == 't' ? area.y : area.y + area.h - height) + font_;
        for (std::size_t r = 0; r < rows.size(); ++r, y += rowH) {
            double x = area.x + (area.w - widths[r]) / 2;
            for (std::size_t k = 0; k < rows[r].size(); ++k) {
                swatch(x, y, entries[rows[r][k]]);
                svg_.text(x + key, y, font_, "start", names[r][k]);
                x += key + textWidth(names[r][k], font_) + font_;
            }
        }
        if (c_.legend == 't') area.y += height;
        area.h -= height;
    }

    // ---- colours of points

    std::string pointFill(const Plot& p, const Series& s, std::size_t i) const {
        if (i < s.pointFills.size() && !s.pointFills[i].empty()) return s.pointFills[i];
        return p.vary && (p.kind == Kind::Pie || p.kind == Kind::Doughnut) ? autoColour(i, theme_) : s.fill;
    }

    // ---- bars, lines and areas

    // The plots drawn on shared axes: the first, and after it the other
    // columns, lines and areas when the first is one of those.
    std::vector<Plot> drawnPlots() const {
        std::vector<Plot> out;
        const Plot& first = c_.plots.front();
        out.push_back(first);
        const bool shares = (first.kind == Kind::Bar && !first.horizontal) || first.kind == Kind::Line || first.kind == Kind::Area;
        for (std::size_t i = 1; shares && i < c_.plots.size(); ++i) {
            const Plot& p = c_.plots[i];
            if ((p.kind == Kind::Bar && !p.horizontal) || p.kind == Kind::Line || p.kind == Kind::Area) out.push_back(p);
        }
        return out;
    }

    void cartesian(Box area);
    void plot(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp);
    Box plotBox(const Box& area, const std::vector<std::string>& leftLabels, bool bottomLabels, double share) const;
    void barLabel(const Frame& f, const Series& s, std::size_t i, const Box& bar, bool stacked, bool outward);
    void polylines(const Frame& f, const Series& s, const std::vector<Span>& sp);
    void ring(double cx, double cy, double r0, double r1, const Plot& p, const Series& s);
    void scatterSeries(const Frame& fx, const Frame& fy, const Series& s);
    void valueAxis(const Frame& f, const std::vector<std::string>& labels, bool gridlines);
    void categoryAxis(const Frame& f, const std::vector<std::string>& cats);
    void bars(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp);
    void lines(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp);
    void areas(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp);
    void label(double x, double y, double v, const Series& s, const char* anchor = "middle");
    void pie(Box area, const Plot& p);
    void slice(double cx, double cy, double r0, double r1, double a0, double a1, const std::string& fill);
    void scatter(Box area, const Plot& p);
    void grid(Box area, const Plot& p);

    const Chart& c_;
    const model::Theme& theme_;
    double w_, h_, font_ = 11;
    Svg svg_;
};

std::vector<std::string> tickLabels(const Scale& s, std::string_view format) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i <= s.ticks(); ++i) out.push_back(formatNumber(s.min + static_cast<double>(i) * s.step, format));
    return out;
}

std::vector<std::string> categoryLabels(const std::vector<Plot>& plots, std::size_t n) {
    for (const Plot& p : plots)
        for (const Series& s : p.series)
            if (!s.cats.empty()) {
                std::vector<std::string> out = s.cats;
                out.resize(n);
                return out;
            }
    std::vector<std::string> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(std::to_string(i + 1));
    return out;
}

std::string axisFormat(const Axis& axis, const std::vector<Plot>& plots) {
    const bool general = axis.format.empty() || axis.format == "General";
    for (const Plot& p : plots) {
        if (general && p.grouping == Grouping::Percent) return "0%";
        if (general && !p.series.empty() && !p.series.front().valueFormat.empty()) return p.series.front().valueFormat;
    }
    return axis.format;
}

void Drawer::cartesian(Box area) {
    const std::vector<Plot> plots = drawnPlots();
    std::size_t n = 0;
    bool fromZero = false, anyBars = false;
    for (const Plot& p : plots) {
        fromZero = fromZero || p.kind != Kind::Line;
        anyBars = anyBars || p.kind == Kind::Bar;
        for (const Series& s : p.series) n = std::max({n, s.vals.size(), s.cats.size()});
    }
    std::vector<std::vector<std::vector<Span>>> all;
    Range range;
    for (const Plot& p : plots) {
        all.push_back(spans(p, n));
        range.take(all.back());
    }
    Frame f;
    f.horizontal = plots.front().kind == Kind::Bar && plots.front().horizontal;
    f.midCat = c_.val.midCat && !anyBars;
    f.n = std::max<std::size_t>(n, 1);
    // Labels across the axis need more room than labels above each other.
    const double span = f.horizontal ? area.w / (font_ * 5) : area.h / (font_ * 3);
    f.scale = niceScale(range.lo, range.hi, fromZero, c_.val, span);
    const bool showVal = c_.val.present && !c_.val.deleted, showCat = !c_.cat.deleted;
    const std::vector<std::string> labels = showVal ? tickLabels(f.scale, axisFormat(c_.val, plots)) : std::vector<std::string>();
    const std::vector<std::string> cats = showCat ? categoryLabels(plots, f.n) : std::vector<std::string>();
    f.box = plotBox(area, f.horizontal ? cats : labels, f.horizontal ? !labels.empty() : !cats.empty(), f.horizontal ? 0.3 : 1);
    if (!c_.plotFill.empty()) svg_.rect(f.box.x, f.box.y, f.box.w, f.box.h, c_.plotFill, "plot-area");
    valueAxis(f, labels, c_.val.gridlines);
    // Areas behind bars, lines in front of both.
    for (const Kind kind : {Kind::Area, Kind::Bar, Kind::Line}) {
        if (kind == Kind::Line) categoryAxis(f, cats);
        for (std::size_t k = 0; k < plots.size(); ++k)
            if (plots[k].kind == kind) plot(f, plots[k], all[k]);
    }
}

void Drawer::plot(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp) {
    if (p.kind == Kind::Area) areas(f, p, sp);
    else if (p.kind == Kind::Bar) bars(f, p, sp);
    else lines(f, p, sp);
}

// The plot's box in the area: room at the left for the labels of the
// vertical axis (at most a share of the width), at the bottom for a row
// of labels.
Box Drawer::plotBox(const Box& area, const std::vector<std::string>& leftLabels, bool bottomLabels, double share) const {
    double left = 0;
    for (const std::string& l : leftLabels) left = std::max(left, textWidth(l, font_) + font_ * 0.6);
    left = std::min(left, area.w * share);
    const double bottom = bottomLabels ? font_ * 1.6 : 0;
    return {area.x + left, area.y + font_ * 0.5, std::max(area.w - left - font_ * 0.5, 1.0), std::max(area.h - bottom - font_ * 0.5, 1.0)};
}

void Drawer::valueAxis(const Frame& f, const std::vector<std::string>& labels, bool gridlines) {
    const std::size_t ticks = f.scale.ticks();
    for (std::size_t i = 0; i <= ticks; ++i) {
        const double at = f.value(f.scale.min + static_cast<double>(i) * f.scale.step);
        if (gridlines && f.horizontal) svg_.line(at, f.box.y, at, f.box.y + f.box.h, kGridColour, 1);
        else if (gridlines) svg_.line(f.box.x, at, f.box.x + f.box.w, at, kGridColour, 1);
        if (i >= labels.size()) continue;
        if (f.horizontal) svg_.text(at, f.box.y + f.box.h + font_ * 1.2, font_, "middle", labels[i]);
        else svg_.text(f.box.x - font_ * 0.4, at + font_ * 0.35, font_, "end", labels[i]);
    }
}

void Drawer::categoryAxis(const Frame& f, const std::vector<std::string>& cats) {
    if (c_.cat.deleted) return;
    // The axis line where the values cross zero.
    const double zero = f.value(std::clamp(0.0, f.scale.min, f.scale.max));
    if (f.horizontal) svg_.line(zero, f.box.y, zero, f.box.y + f.box.h, kAxisColour, 1);
    else svg_.line(f.box.x, zero, f.box.x + f.box.w, zero, kAxisColour, 1);
    if (cats.empty()) return;
    double widest = 0;
    for (const std::string& c : cats) widest = std::max(widest, f.horizontal ? font_ * 1.2 : textWidth(c, font_) + font_ * 0.5);
    // Every label, or every second, third... where they would overlap.
    const double band = f.length() / static_cast<double>(f.n);
    const auto every = static_cast<std::size_t>(std::clamp(std::ceil(widest / band), 1.0, double(kMaxPoints)));
    const double room = f.horizontal ? f.box.x - font_ * 1.2 : band * static_cast<double>(every);
    for (std::size_t i = 0; i < cats.size(); i += every) {
        const double at = f.pointAt(i);
        const std::string text = fitText(cats[i], room, font_);
        if (f.horizontal) svg_.text(f.box.x - font_ * 0.4, at + font_ * 0.35, font_, "end", text);
        else svg_.text(at, f.box.y + f.box.h + font_ * 1.2, font_, "middle", text);
    }
}

void Drawer::label(double x, double y, double v, const Series& s, const char* anchor) {
    svg_.text(x, y, font_ * 0.9, anchor, formatNumber(v, s.labelFormat.empty() ? s.valueFormat : s.labelFormat));
}

void Drawer::bars(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp) {
    const bool stacked = p.grouping != Grouping::Clustered;
    const double count = stacked ? 1 : static_cast<double>(p.series.size());
    const double overlap = stacked ? 1 : p.overlap;
    const double width = 1 / (count - (count - 1) * overlap + p.gap);
    for (std::size_t k = 0; k < p.series.size(); ++k) {
        const Series& s = p.series[k];
        const double offset = p.gap * width / 2 + (stacked ? 0 : static_cast<double>(k) * width * (1 - overlap));
        for (std::size_t i = 0; i < sp[k].size(); ++i) {
            const Span& v = sp[k][i];
            if (!std::isfinite(v.top)) continue;
            const double c0 = f.category(static_cast<double>(i) + offset), c1 = f.category(static_cast<double>(i) + offset + width);
            const double v0 = f.value(v.base), v1 = f.value(v.top);
            Box bar{std::min(c0, c1), std::min(v0, v1), std::fabs(c1 - c0), std::fabs(v1 - v0)};
            if (f.horizontal) bar = {bar.y, bar.x, bar.h, bar.w};
            svg_.rect(bar.x, bar.y, bar.w, bar.h, pointFill(p, s, i), "bar");
            if (s.labels) barLabel(f, s, i, bar, stacked, v.top >= v.base);
        }
    }
}

// A bar's value: inside a stacked bar, beyond the end of any other.
void Drawer::barLabel(const Frame& f, const Series& s, std::size_t i, const Box& bar, bool stacked, bool outward) {
    const double raw = i < s.vals.size() ? s.vals[i] : kNaN;
    const double midX = bar.x + bar.w / 2, midY = bar.y + bar.h / 2 + font_ * 0.35;
    if (stacked) label(midX, midY, raw, s);
    else if (f.horizontal && outward) label(bar.x + bar.w + font_ * 0.3, midY, raw, s, "start");
    else if (f.horizontal) label(bar.x - font_ * 0.3, midY, raw, s, "end");
    else label(midX, outward ? bar.y - font_ * 0.3 : bar.y + bar.h + font_, raw, s);
}

// A polyline for every run of points with values: a point without one
// leaves a gap.
void Drawer::polylines(const Frame& f, const Series& s, const std::vector<Span>& sp) {
    const double stroke = std::max(1.0, font_ * 0.22);
    bool open = false;
    for (std::size_t i = 0; i <= sp.size(); ++i) {
        const bool has = i < sp.size() && std::isfinite(sp[i].top);
        if (has && !open) {
            svg_.out += "<polyline class=\"line\" fill=\"none\"";
            svg_.attr("stroke", s.stroke);
            svg_.attr("stroke-width", stroke);
            svg_.out += " stroke-linejoin=\"round\" points=\"";
        }
        if (has) svg_.point(f.pointAt(i), f.value(sp[i].top));
        if (!has && open) svg_.out += "\"/>";
        open = has;
    }
}

void Drawer::lines(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp) {
    for (std::size_t k = 0; k < p.series.size(); ++k) {
        const Series& s = p.series[k];
        if (s.line) polylines(f, s, sp[k]);
        for (std::size_t i = 0; i < sp[k].size(); ++i) {
            if (!std::isfinite(sp[k][i].top)) continue;
            const double x = f.pointAt(i), y = f.value(sp[k][i].top);
            if (s.markers) svg_.circle(x, y, font_ * 0.3, s.stroke);
            if (s.labels) label(x, y - font_ * 0.5, s.vals[i], s);
        }
    }
}

void Drawer::areas(const Frame& f, const Plot& p, const std::vector<std::vector<Span>>& sp) {
    for (std::size_t k = 0; k < p.series.size(); ++k) {
        const std::vector<Span>& points = sp[k];
        if (points.empty()) continue;
        svg_.out += "<polygon class=\"area\"";
        svg_.attr("fill", p.series[k].fill);
        svg_.out += " points=\"";
        auto top = [](const Span& s) { return std::isfinite(s.top) ? s.top : 0.0; };
        auto base = [](const Span& s) { return std::isfinite(s.base) ? s.base : 0.0; };
        for (std::size_t i = 0; i < points.size(); ++i) svg_.point(f.pointAt(i), f.value(top(points[i])));
        for (std::size_t i = points.size(); i-- > 0;) svg_.point(f.pointAt(i), f.value(base(points[i])));
        svg_.out += "\"/>";
    }
}

// ---- pies and doughnuts

// A slice of a ring from radius r0 (0 for a pie) to r1, between angles a0
// and a1 (radians clockwise from twelve o'clock); a whole ring as two
// circles of opposite turns, so that its hole stays empty.
void Drawer::slice(double cx, double cy, double r0, double r1, double a0, double a1, const std::string& fill) {
    auto at = [&](double r, double a) { return std::pair{cx + r * std::sin(a), cy - r * std::cos(a)}; };
    std::string& o = svg_.out;
    auto move = [&](char cmd, std::pair<double, double> p) {
        o += cmd;
        appendNumber(o, p.first);
        o += ' ';
        appendNumber(o, p.second);
    };
    auto arc = [&](double r, bool large, bool clockwise, std::pair<double, double> p) {
        o += 'A';
        appendNumber(o, r);
        o += ' ';
        appendNumber(o, r);
        o += large ? " 0 1 " : " 0 0 ";
        o += clockwise ? "1 " : "0 ";
        appendNumber(o, p.first);
        o += ' ';
        appendNumber(o, p.second);
    };
    o += "<path class=\"slice\"";
    svg_.attr("fill", fill);
    o += " stroke=\"#ffffff\" stroke-width=\"1\" d=\"";
    const bool whole = a1 - a0 >= 2 * kPi - 1e-6;
    const bool large = a1 - a0 > kPi;
    if (whole) {
        move('M', at(r1, 0));
        arc(r1, true, true, at(r1, kPi));
        arc(r1, true, true, at(r1, 0));
        o += 'Z';
        if (r0 > 0) {
            move('M', at(r0, 0));
            arc(r0, true, false, at(r0, kPi));
            arc(r0, true, false, at(r0, 0));
            o += 'Z';
        }
    } else {
        move('M', r0 > 0 ? at(r0, a0) : std::pair{cx, cy});
        move('L', at(r1, a0));
        arc(r1, large, true, at(r1, a1));
        move('L', r0 > 0 ? at(r0, a1) : std::pair{cx, cy});
        if (r0 > 0) arc(r0, large, false, at(r0, a0));
        o += 'Z';
    }
    o += "\"/>";
}

void Drawer::pie(Box area, const Plot& p) {
    const double r = std::max(std::min(area.w, area.h) / 2 - font_ * 0.3, 1.0);
    const double cx = area.x + area.w / 2, cy = area.y + area.h / 2;
    const bool doughnut = p.kind == Kind::Doughnut;
    // A pie draws its first series; a doughnut every series as a ring, the
    // first innermost.
    const std::size_t rings = doughnut ? p.series.size() : std::min<std::size_t>(p.series.size(), 1);
    const double inner = doughnut ? r * p.hole : 0;
    const double thickness = rings > 0 ? (r - inner) / static_cast<double>(rings) : 0;
    for (std::size_t k = 0; k < rings; ++k) {
        const double r0 = doughnut ? inner + static_cast<double>(k) * thickness : 0;
        ring(cx, cy, r0, doughnut ? r0 + thickness : r, p, p.series[k]);
    }
}

// A series' slices between radius r0 and r1, its positive values' shares
// of the circle from the first slice's angle, clockwise.
void Drawer::ring(double cx, double cy, double r0, double r1, const Plot& p, const Series& s) {
    double total = 0;
    for (double v : s.vals)
        if (std::isfinite(v) && v > 0) total += v;
    if (!(total > 0)) return;
    double a = p.firstAngle * kPi / 180;
    for (std::size_t i = 0; i < s.vals.size(); ++i) {
        const double v = s.vals[i];
        if (!std::isfinite(v) || v <= 0) continue;
        const double sweep = v / total * 2 * kPi;
        slice(cx, cy, r0, r1, a, a + sweep, pointFill(p, s, i));
        if (s.labels || s.percentLabels) {
            const double mid = a + sweep / 2, rl = r0 > 0 ? (r0 + r1) / 2 : r1 * 0.65;
            const std::string text = s.percentLabels ? formatNumber(v / total, "0%") : formatNumber(v, s.labelFormat.empty() ? s.valueFormat : s.labelFormat);
            svg_.text(cx + rl * std::sin(mid), cy - rl * std::cos(mid) + font_ * 0.35, font_ * 0.9, "middle", text);
        }
        a += sweep;
    }
}

// ---- scatter plots

// A scatter series' x value of point i: its own, or its number.
double xAt(const Series& s, std::size_t i) {
    if (s.xs.empty()) return static_cast<double>(i + 1);
    return i < s.xs.size() ? s.xs[i] : kNaN;
}

void Drawer::scatter(Box area, const Plot& p) {
    Range xs, ys;
    for (const Series& s : p.series)
        for (std::size_t i = 0; i < s.vals.size(); ++i)
            if (std::isfinite(s.vals[i]) && std::isfinite(xAt(s, i))) xs.take(xAt(s, i)), ys.take(s.vals[i]);
    Frame fy, fx;
    fy.scale = niceScale(ys.lo, ys.hi, false, c_.val, area.h / (font_ * 3));
    fx.scale = niceScale(xs.lo, xs.hi, false, c_.x, area.w / (font_ * 5));
    fx.horizontal = true;
    const std::vector<std::string> ylabels = c_.val.deleted ? std::vector<std::string>() : tickLabels(fy.scale, axisFormat(c_.val, c_.plots));
    const std::vector<std::string> xlabels = c_.x.deleted ? std::vector<std::string>() : tickLabels(fx.scale, c_.x.format);
    fy.box = fx.box = plotBox(area, ylabels, !xlabels.empty(), 0.3);
    valueAxis(fx, xlabels, c_.x.gridlines);
    valueAxis(fy, ylabels, c_.val.gridlines);
    const double zero = fy.value(std::clamp(0.0, fy.scale.min, fy.scale.max));
    svg_.line(fx.box.x, zero, fx.box.x + fx.box.w, zero, kAxisColour, 1);
    for (const Series& s : p.series) scatterSeries(fx, fy, s);
}

void Drawer::scatterSeries(const Frame& fx, const Frame& fy, const Series& s) {
    std::string points;
    for (std::size_t i = 0; i < s.vals.size(); ++i) {
        if (!std::isfinite(s.vals[i]) || !std::isfinite(xAt(s, i))) continue;
        const double x = fx.value(xAt(s, i)), y = fy.value(s.vals[i]);
        if (s.line) {
            appendNumber(points, x);
            points += ',';
            appendNumber(points, y);
            points += ' ';
        }
        if (s.markers) svg_.circle(x, y, font_ * 0.3, s.stroke);
        if (s.labels) label(x, y - font_ * 0.5, s.vals[i], s);
    }
    if (points.empty()) return;
    svg_.out += "<polyline class=\"line\" fill=\"none\"";
    svg_.attr("stroke", s.stroke);
    svg_.attr("stroke-width", std::max(1.0, font_ * 0.22));
    svg_.out += " points=\"" + points + "\"/>";
}

// ---- kinds not drawn: their values as a grid of text

void Drawer::grid(Box area, const Plot& p) {
    std::size_t n = 0;
    for (const Series& s : p.series) n = std::max({n, s.cats.size(), s.vals.size()});
    const double rowH = font_ * 1.5;
    const std::size_t fitsCols = static_cast<std::size_t>(std::max(area.w / (font_ * 5), 1.0));
    const std::size_t cols = std::min(n + 1, fitsCols);
    const std::size_t rows = std::min(p.series.size() + 1, static_cast<std::size_t>(std::max(area.h / rowH, 0.0)));
    const double cellW = area.w / static_cast<double>(std::max<std::size_t>(cols, 1));
    const std::vector<std::string> cats = categoryLabels({p}, n);
    svg_.out += "<g class=\"values\">";
    for (std::size_t r = 0; r < rows; ++r) {
        const double y = area.y + static_cast<double>(r) * rowH + font_;
        for (std::size_t col = 0; col < cols; ++col) {
            std::string text;
            const bool cut = col + 1 == cols && cols < n + 1;
            if (cut) text = "\xE2\x80\xA6";
            else if (r == 0) text = col == 0 ? "" : cats[col - 1];
            else if (col == 0) text = p.series[r - 1].name;
            else if (col - 1 < p.series[r - 1].vals.size()) text = formatNumber(p.series[r - 1].vals[col - 1], p.series[r - 1].valueFormat);
            svg_.text(area.x + static_cast<double>(col) * cellW, y, font_, "start", fitText(text, cellW - font_ * 0.5, font_), r == 0 || col == 0);
        }
    }
    svg_.out += "</g>";
}

}  // namespace

std::string chartSvg(std::string_view chartPartXml, const model::Theme& theme, double widthPx, double heightPx) {
    model::XmlPart part;
    model::Report report;
    part.parse("chart", std::string(chartPartXml), report);
    const pugi::xml_node root = part.root();
    const pugi::xml_node chart = root.child("c:chart");
    if (std::strcmp(root.name(), "c:chartSpace") != 0 || !chart) return {};
    if (!(widthPx > 0 && heightPx > 0 && std::isfinite(widthPx) && std::isfinite(heightPx))) {
        widthPx = 480;
        heightPx = 288;
    }
    widthPx = std::min(widthPx, 20000.0);
    heightPx = std::min(heightPx, 20000.0);
    const Chart c = readChart(root, chart, theme);
    return Drawer(c, theme, widthPx, heightPx).run();
}

}  // namespace tavin
