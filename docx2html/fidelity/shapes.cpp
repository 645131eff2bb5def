// Shapes as SVG: outlines of preset, custom and VML geometries, and the
// paint of DrawingML and VML shapes. Reads the shape's own XML (parsed by
// the caller) and the model's theme.
#include "docx2html/fidelity/shapes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/html.h"
#include "core/uStr.h"

namespace tavin::shapes {

namespace {

constexpr double kPi = 3.14159265358979323846;

double finite(double v) { return std::isfinite(v) ? std::clamp(v, -1e6, 1e6) : 0.0; }

// An SVG path written command by command.
class Path {
public:
    Path& m(double x, double y) { return add('M', x, y); }
    Path& l(double x, double y) { return add('L', x, y); }
    Path& z() {
        d_ += "Z";
        return *this;
    }
    Path& c(double x1, double y1, double x2, double y2, double x, double y) {
        d_ += "C" + num(x1) + "," + num(y1) + " " + num(x2) + "," + num(y2) + " " + num(x) + "," + num(y);
        return *this;
    }
    Path& q(double x1, double y1, double x, double y) {
        d_ += "Q" + num(x1) + "," + num(y1) + " " + num(x) + "," + num(y);
        return *this;
    }
    // An elliptic arc of radii rx, ry to (x, y).
    Path& a(double rx, double ry, bool large, bool sweep, double x, double y) {
        d_ += "A" + num(rx) + "," + num(ry) + " 0 " + (large ? "1 " : "0 ") + (sweep ? "1 " : "0 ") + num(x) + "," + num(y);
        return *this;
    }
    Path& polygon(std::initializer_list<std::pair<double, double>> points) {
        bool first = true;
        for (const auto& [x, y] : points) {
            if (first) m(x, y);
            else l(x, y);
            first = false;
        }
        return z();
    }
    std::string str() const { return d_; }

private:
    Path& add(char op, double x, double y) {
        d_ += op + num(x) + "," + num(y);
        return *this;
    }
    std::string d_;
};

// The adjust value name of a preset (a:gd name="adj1" fmla="val 25000"),
// as a fraction of 100000, or fallback.
double adjust(pugi::xml_node avLst, const char* name, double fallback) {
    for (pugi::xml_node gd : avLst.children("a:gd")) {
        if (std::string_view(gd.attribute("name").value()) != name) continue;
        const std::string_view f = gd.attribute("fmla").value();
        if (f.substr(0, 4) != "val ") break;
        const double v = std::atof(std::string(f.substr(4)).c_str()) / 100000.0;
        return std::isfinite(v) ? std::clamp(v, -10.0, 10.0) : fallback;
    }
    return fallback;
}

std::string ellipse(double w, double h) {
    return Path().m(0, h / 2).a(w / 2, h / 2, false, true, w, h / 2).a(w / 2, h / 2, false, true, 0, h / 2).z().str();
}

std::string roundRect(double w, double h, double r) {
    r = std::clamp(r, 0.0, std::min(w, h) / 2);
    return Path()
        .m(r, 0).l(w - r, 0).a(r, r, false, true, w, r).l(w, h - r).a(r, r, false, true, w - r, h)
        .l(r, h).a(r, r, false, true, 0, h - r).l(0, r).a(r, r, false, true, r, 0).z().str();
}

// A regular polygon of n corners inscribed in the box, the first at the top.
std::string regular(int n, double w, double h) {
    Path p;
    for (int i = 0; i < n; ++i) {
        const double t = -kPi / 2 + 2 * kPi * i / n;
        const double x = w / 2 + w / 2 * std::cos(t), y = h / 2 + h / 2 * std::sin(t);
        if (i == 0) p.m(x, y);
        else p.l(x, y);
    }
    return p.z().str();
}

std::string star(int n, double inner, double w, double h) {
    Path p;
    for (int i = 0; i < 2 * n; ++i) {
        const double t = -kPi / 2 + kPi * i / n, k = i % 2 == 0 ? 1.0 : inner;
        const double x = w / 2 + w / 2 * k * std::cos(t), y = h / 2 + h / 2 * k * std::sin(t);
        if (i == 0) p.m(x, y);
        else p.l(x, y);
    }
    return p.z().str();
}

// An arrow pointing right in a box of w by h, or left (mirrored).
std::string acrossArrow(pugi::xml_node av, double w, double h, bool left) {
    const double shaft = h * adjust(av, "adj1", 0.5), head = std::min(w, h * adjust(av, "adj2", 0.5));
    const double top = (h - shaft) / 2;
    auto x = [&](double v) { return left ? w - v : v; };
    return Path().polygon({{x(0), top}, {x(w - head), top}, {x(w - head), 0}, {x(w), h / 2}, {x(w - head), h},
                           {x(w - head), top + shaft}, {x(0), top + shaft}}).str();
}

// An arrow pointing down in a box of w by h, or up (mirrored).
std::string upDownArrow(pugi::xml_node av, double w, double h, bool up) {
    const double shaft = w * adjust(av, "adj1", 0.5), head = std::min(h, w * adjust(av, "adj2", 0.5));
    const double left = (w - shaft) / 2;
    auto y = [&](double v) { return up ? h - v : v; };
    return Path().polygon({{left, y(0)}, {left + shaft, y(0)}, {left + shaft, y(h - head)}, {w, y(h - head)}, {w / 2, y(h)},
                           {0, y(h - head)}, {left, y(h - head)}}).str();
}

// A callout: a rectangle (rounded by r) or an ellipse, and a wedge to the
// point its adjust values give, from the box's centre.
std::string callout(pugi::xml_node av, double w, double h, bool oval, double r) {
    const double px = w / 2 + w * adjust(av, "adj1", -0.20833), py = h / 2 + h * adjust(av, "adj2", 0.625);
    const std::string body = oval ? ellipse(w, h) : roundRect(w, h, r);
    const double bx = w / 2, by = h / 2, spread = std::min(w, h) / 8;
    const bool sideways = std::abs(px - bx) * h > std::abs(py - by) * w;
    Path wedge;
    if (sideways) wedge.polygon({{bx, by - spread}, {px, py}, {bx, by + spread}});
    else wedge.polygon({{bx - spread, by}, {px, py}, {bx + spread, by}});
    return body + wedge.str();
}

using Outline = std::function<std::string(pugi::xml_node, double, double)>;

struct Preset {
    std::string_view name;
    Outline outline;
};

std::string rect(pugi::xml_node, double w, double h) { return Path().polygon({{0, 0}, {w, 0}, {w, h}, {0, h}}).str(); }

const std::vector<Preset>& presets() {
    static const std::vector<Preset> table = {
        {"rect", rect},
        {"flowChartProcess", rect},
        {"roundRect", [](pugi::xml_node av, double w, double h) { return roundRect(w, h, std::min(w, h) * adjust(av, "adj", 0.16667)); }},
        {"flowChartAlternateProcess", [](pugi::xml_node, double w, double h) { return roundRect(w, h, std::min(w, h) / 6); }},
        {"flowChartTerminator", [](pugi::xml_node, double w, double h) { return roundRect(w, h, h / 2); }},
        {"ellipse", [](pugi::xml_node, double w, double h) { return ellipse(w, h); }},
        {"flowChartConnector", [](pugi::xml_node, double w, double h) { return ellipse(w, h); }},
        {"cloud", [](pugi::xml_node, double w, double h) { return ellipse(w, h); }},
        {"triangle", [](pugi::xml_node av, double w, double h) { return Path().polygon({{w * adjust(av, "adj", 0.5), 0}, {w, h}, {0, h}}).str(); }},
        {"rtTriangle", [](pugi::xml_node, double w, double h) { return Path().polygon({{0, 0}, {w, h}, {0, h}}).str(); }},
        {"diamond", [](pugi::xml_node, double w, double h) { return Path().polygon({{w / 2, 0}, {w, h / 2}, {w / 2, h}, {0, h / 2}}).str(); }},
        {"flowChartDecision", [](pugi::xml_node, double w, double h) { return Path().polygon({{w / 2, 0}, {w, h / 2}, {w / 2, h}, {0, h / 2}}).str(); }},
        {"parallelogram", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w, h * adjust(av, "adj", 0.25));
             return Path().polygon({{s, 0}, {w, 0}, {w - s, h}, {0, h}}).str(); }},
        {"trapezoid", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w / 2, h * adjust(av, "adj", 0.25));
             return Path().polygon({{s, 0}, {w - s, 0}, {w, h}, {0, h}}).str(); }},
        {"pentagon", [](pugi::xml_node, double w, double h) { return regular(5, w, h); }},
        {"hexagon", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w / 2, h * adjust(av, "adj", 0.25));
             return Path().polygon({{s, 0}, {w - s, 0}, {w, h / 2}, {w - s, h}, {s, h}, {0, h / 2}}).str(); }},
        {"octagon", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w, h) * adjust(av, "adj", 0.29289);
             return Path().polygon({{s, 0}, {w - s, 0}, {w, s}, {w, h - s}, {w - s, h}, {s, h}, {0, h - s}, {0, s}}).str(); }},
        {"star4", [](pugi::xml_node, double w, double h) { return star(4, 0.25, w, h); }},
        {"star5", [](pugi::xml_node, double w, double h) { return star(5, 0.382, w, h); }},
        {"star6", [](pugi::xml_node, double w, double h) { return star(6, 0.577, w, h); }},
        {"plus", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w, h) * adjust(av, "adj", 0.25);
             return Path().polygon({{s, 0}, {w - s, 0}, {w - s, s}, {w, s}, {w, h - s}, {w - s, h - s}, {w - s, h},
                                    {s, h}, {s, h - s}, {0, h - s}, {0, s}, {s, s}}).str(); }},
        {"rightArrow", [](pugi::xml_node av, double w, double h) { return acrossArrow(av, w, h, false); }},
        {"leftArrow", [](pugi::xml_node av, double w, double h) { return acrossArrow(av, w, h, true); }},
        {"downArrow", [](pugi::xml_node av, double w, double h) { return upDownArrow(av, w, h, false); }},
        {"upArrow", [](pugi::xml_node av, double w, double h) { return upDownArrow(av, w, h, true); }},
        {"leftRightArrow", [](pugi::xml_node av, double w, double h) {
             const double shaft = h * adjust(av, "adj1", 0.5), head = std::min(w / 2, h * adjust(av, "adj2", 0.5));
             const double top = (h - shaft) / 2;
             return Path().polygon({{0, h / 2}, {head, 0}, {head, top}, {w - head, top}, {w - head, 0}, {w, h / 2},
                                    {w - head, h}, {w - head, top + shaft}, {head, top + shaft}, {head, h}}).str(); }},
        {"chevron", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w, h * adjust(av, "adj", 0.5));
             return Path().polygon({{0, 0}, {w - s, 0}, {w, h / 2}, {w - s, h}, {0, h}, {s, h / 2}}).str(); }},
        {"homePlate", [](pugi::xml_node av, double w, double h) {
             const double s = std::min(w, h * adjust(av, "adj", 0.5));
             return Path().polygon({{0, 0}, {w - s, 0}, {w, h / 2}, {w - s, h}, {0, h}}).str(); }},
        {"wedgeRectCallout", [](pugi::xml_node av, double w, double h) { return callout(av, w, h, false, 0); }},
        {"wedgeRoundRectCallout", [](pugi::xml_node av, double w, double h) { return callout(av, w, h, false, std::min(w, h) / 6); }},
        {"wedgeEllipseCallout", [](pugi::xml_node av, double w, double h) { return callout(av, w, h, true, 0); }},
        {"cloudCallout", [](pugi::xml_node av, double w, double h) { return callout(av, w, h, true, 0); }},
        {"line", [](pugi::xml_node, double w, double h) { return Path().m(0, 0).l(w, h).str(); }},
        {"straightConnector1", [](pugi::xml_node, double w, double h) { return Path().m(0, 0).l(w, h).str(); }},
        {"bentConnector2", [](pugi::xml_node, double w, double h) { return Path().m(0, 0).l(w, 0).l(w, h).str(); }},
        {"bentConnector3", [](pugi::xml_node av, double w, double h) {
             const double x = w * adjust(av, "adj1", 0.5);
             return Path().m(0, 0).l(x, 0).l(x, h).l(w, h).str(); }},
        {"curvedConnector3", [](pugi::xml_node av, double w, double h) {
             const double x = w * adjust(av, "adj1", 0.5);
             return Path().m(0, 0).c(x, 0, x, h, w, h).str(); }},
    };
    return table;
}

// ---------------------------------------------------------------------------
// Custom geometry

class CustomPath {
public:
    CustomPath(double sx, double sy) : sx_(sx), sy_(sy) {}

    void command(pugi::xml_node c) {
        const std::string_view name = c.name();
        std::vector<std::pair<double, double>> pts;
        for (pugi::xml_node pt : c.children("a:pt"))
            pts.emplace_back(pt.attribute("x").as_double() * sx_, pt.attribute("y").as_double() * sy_);
        if (name == "a:moveTo" && !pts.empty()) p_.m(at(pts[0]).first, pts[0].second);
        else if (name == "a:lnTo" && !pts.empty()) p_.l(at(pts[0]).first, pts[0].second);
        else if (name == "a:cubicBezTo" && pts.size() >= 3) p_.c(pts[0].first, pts[0].second, pts[1].first, pts[1].second, at(pts[2]).first, pts[2].second);
        else if (name == "a:quadBezTo" && pts.size() >= 2) p_.q(pts[0].first, pts[0].second, at(pts[1]).first, pts[1].second);
        else if (name == "a:arcTo") arc(c);
        else if (name == "a:close") p_.z();
    }
    std::string str() const { return p_.str(); }

private:
    const std::pair<double, double>& at(const std::pair<double, double>& p) {
        cur_ = p;
        return p;
    }
    // An arc of radii wR, hR from the current point, starting at the
    // angle stAng and sweeping swAng (60000ths of a degree).
    void arc(pugi::xml_node c) {
        const double rx = c.attribute("wR").as_double() * sx_, ry = c.attribute("hR").as_double() * sy_;
        const double st = c.attribute("stAng").as_double() / 60000.0 * kPi / 180;
        const double sw = std::clamp(c.attribute("swAng").as_double() / 60000.0, -359.9, 359.9) * kPi / 180;
        const double cx = cur_.first - rx * std::cos(st), cy = cur_.second - ry * std::sin(st);
        const double x = cx + rx * std::cos(st + sw), y = cy + ry * std::sin(st + sw);
        p_.a(rx, ry, std::abs(sw) > kPi, sw > 0, x, y);
        cur_ = {x, y};
    }
    double sx_, sy_;
    std::pair<double, double> cur_{0, 0};
    Path p_;
};

// ---------------------------------------------------------------------------
// Colours

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb parseHex(std::string_view hex) {
    Rgb c;
    if (hex.size() != 6) return c;
    auto byte = [&](std::size_t i) { return static_cast<double>(std::strtol(std::string(hex.substr(i, 2)).c_str(), nullptr, 16)); };
    return {byte(0), byte(2), byte(4)};
}

std::string hexOf(const Rgb& c) {
    char buf[8];
    auto v = [](double x) { return static_cast<int>(std::lround(std::clamp(finite(x), 0.0, 255.0))); };
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", v(c.r), v(c.g), v(c.b));
    return buf;
}

bool isHexColour(std::string_view v) {
    return v.size() == 6 && std::all_of(v.begin(), v.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// Luminance changes are made in HSL, as the format defines them.
Rgb withLuminance(const Rgb& c, double mod, double off) {
    const double r = c.r / 255, g = c.g / 255, b = c.b / 255;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    double h = 0, s = 0, l = (mx + mn) / 2;
    const double d = mx - mn;
    if (d > 1e-9) {
        s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
        if (mx == r) h = (g - b) / d + (g < b ? 6 : 0);
        else if (mx == g) h = (b - r) / d + 2;
        else h = (r - g) / d + 4;
        h /= 6;
    }
    l = std::clamp(l * mod + off, 0.0, 1.0);
    auto hue = [](double p, double q, double t) {
        if (t < 0) t += 1;
        if (t > 1) t -= 1;
        if (t < 1.0 / 6) return p + (q - p) * 6 * t;
        if (t < 0.5) return q;
        if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
        return p;
    };
    if (s < 1e-9) return {l * 255, l * 255, l * 255};
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
    return {hue(p, q, h + 1.0 / 3) * 255, hue(p, q, h) * 255, hue(p, q, h - 1.0 / 3) * 255};
}

Rgb modified(Rgb c, pugi::xml_node colour, double* opacity) {
    double lumMod = 1, lumOff = 0;
    for (pugi::xml_node m : colour.children()) {
        const std::string_view n = m.name();
        const double v = m.attribute("val").as_double() / 100000.0;
        if (n == "a:lumMod") lumMod = v;
        else if (n == "a:lumOff") lumOff = v;
        else if (n == "a:shade") c = {c.r * v, c.g * v, c.b * v};
        else if (n == "a:tint") c = {255 - (255 - c.r) * v, 255 - (255 - c.g) * v, 255 - (255 - c.b) * v};
        else if (n == "a:alpha" && opacity) *opacity = std::clamp(v, 0.0, 1.0);
    }
    if (lumMod != 1 || lumOff != 0) c = withLuminance(c, lumMod, lumOff);
    return c;
}

struct NamedColour {
    std::string_view name, hex;
};
constexpr std::array<NamedColour, 20> kNamed = {{
    {"black", "000000"}, {"white", "FFFFFF"}, {"red", "FF0000"},    {"green", "008000"}, {"lime", "00FF00"},
    {"blue", "0000FF"},  {"yellow", "FFFF00"}, {"cyan", "00FFFF"},  {"aqua", "00FFFF"},  {"magenta", "FF00FF"},
    {"fuchsia", "FF00FF"}, {"gray", "808080"}, {"grey", "808080"},  {"silver", "C0C0C0"}, {"maroon", "800000"},
    {"navy", "000080"},  {"olive", "808000"}, {"purple", "800080"}, {"teal", "008080"},  {"orange", "FFA500"},
}};

std::string namedHex(std::string_view name) {
    const std::string lower = lowerCase(name);
    for (const NamedColour& n : kNamed)
        if (n.name == lower) return std::string(n.hex);
    return {};
}

// A colour of the theme by name, else of Office's default theme.
std::string schemeHex(std::string_view name, const model::Theme& theme) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kMapped = {
        {{"tx1", "dk1"}, {"bg1", "lt1"}, {"tx2", "dk2"}, {"bg2", "lt2"}}};
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kDefaults = {
        {{"dk1", "000000"}, {"lt1", "FFFFFF"}, {"dk2", "44546A"}, {"lt2", "E7E6E6"}, {"accent1", "4472C4"},
         {"accent2", "ED7D31"}, {"accent3", "A5A5A5"}, {"accent4", "FFC000"}, {"accent5", "5B9BD5"}, {"accent6", "70AD47"}}};
    for (const auto& [from, to] : kMapped)
        if (name == from) name = to;
    std::string hex(theme.colour(name));
    for (const auto& [known, fallback] : kDefaults)
        if (hex.empty() && name == known) hex = fallback;
    return hex;
}

// The hex digits of one colour element of DrawingML, or "".
std::string baseHex(pugi::xml_node c, const model::Theme& theme) {
    const std::string_view n = c.name();
    if (n == "a:srgbClr") return c.attribute("val").value();
    if (n == "a:schemeClr") return schemeHex(c.attribute("val").value(), theme);
    if (n == "a:prstClr") return namedHex(c.attribute("val").value());
    if (n == "a:sysClr") {
        const std::string_view last = c.attribute("lastClr").value();
        if (!last.empty()) return std::string(last);
        return std::string_view(c.attribute("val").value()) == "window" ? "FFFFFF" : "000000";
    }
    if (n == "a:scrgbClr")
        return hexOf({c.attribute("r").as_double() / 100000 * 255, c.attribute("g").as_double() / 100000 * 255,
                      c.attribute("b").as_double() / 100000 * 255}).substr(1);
    return {};
}

// A VML fraction: "0.5", ".5", "50%" or fixed point "32768f".
double vmlFraction(std::string_view v, double fallback) {
    if (v.empty()) return fallback;
    const std::string s(v);
    double x = std::atof(s.c_str());
    if (s.back() == 'f') x /= 65536.0;
    else if (s.back() == '%') x /= 100.0;
    return std::isfinite(x) ? std::clamp(x, 0.0, 1.0) : fallback;
}

bool vmlOff(std::string_view v) { return v == "f" || v == "false" || v == "0"; }

std::string dashArray(std::string_view kind, double width) {
    const double u = std::max(width, 1.0);
    if (kind == "dash" || kind == "sysDash" || kind == "shortdash") return num(3 * u) + " " + num(u);
    if (kind == "dot" || kind == "sysDot" || kind == "shortdot") return num(u) + " " + num(u);
    if (kind == "lgDash" || kind == "longdash") return num(8 * u) + " " + num(3 * u);
    if (kind == "dashDot" || kind == "sysDashDot" || kind == "dashdot") return num(4 * u) + " " + num(u) + " " + num(u) + " " + num(u);
    return {};
}

bool arrowEnd(pugi::xml_node end) {
    const std::string_view t = end.attribute("type").value();
    return end && !t.empty() && t != "none";
}

void readFill(Paint& p, pugi::xml_node spPr, pugi::xml_node style, const model::Theme& theme) {
    if (spPr.child("a:noFill")) return;
    if (pugi::xml_node solid = spPr.child("a:solidFill")) {
        p.fill = drawingColour(solid, theme, &p.fillOpacity);
        if (p.fill.empty()) p.fill = "none";
        return;
    }
    if (pugi::xml_node grad = spPr.child("a:gradFill")) {
        for (pugi::xml_node gs : grad.child("a:gsLst").children("a:gs")) {
            const std::string c = drawingColour(gs, theme);
            if (c.empty()) continue;
            p.gradientStops += "<stop offset=\"" + num(std::clamp(gs.attribute("pos").as_double() / 100000, 0.0, 1.0)) +
                               "\" stop-color=\"" + c + "\"/>";
            if (p.fill == "none") p.fill = c;
        }
        p.gradientAngle = finite(grad.child("a:lin").attribute("ang").as_double() / 60000.0);
        return;
    }
    if (pugi::xml_node patt = spPr.child("a:pattFill")) {
        p.fill = drawingColour(patt.child("a:fgClr"), theme);
        if (p.fill.empty()) p.fill = "none";
        return;
    }
    if (spPr.child("a:blipFill")) return;
    pugi::xml_node ref = style.child("a:fillRef");
    if (ref && ref.attribute("idx").as_int() > 0) {
        p.fill = drawingColour(ref, theme, &p.fillOpacity);
        if (p.fill.empty()) p.fill = "none";
    }
}

void readLine(Paint& p, pugi::xml_node spPr, pugi::xml_node style, const model::Theme& theme) {
    pugi::xml_node ln = spPr.child("a:ln");
    if (ln.child("a:noFill")) return;
    std::string colour;
    if (pugi::xml_node solid = ln.child("a:solidFill")) colour = drawingColour(solid, theme);
    else if (pugi::xml_node grad = ln.child("a:gradFill")) colour = drawingColour(grad.child("a:gsLst").child("a:gs"), theme);
    pugi::xml_node ref = style.child("a:lnRef");
    if (colour.empty() && ref && ref.attribute("idx").as_int() > 0) colour = drawingColour(ref, theme);
    if (colour.empty()) return;
    p.stroke = colour;
    const double emu = ln.attribute("w") ? ln.attribute("w").as_double() : 9525.0;
    p.strokeWidth = std::clamp(finite(emu / 9525.0), 0.5, 100.0);
    p.dash = dashArray(ln.child("a:prstDash").attribute("val").value(), p.strokeWidth);
    p.headArrow = arrowEnd(ln.child("a:headEnd"));
    p.tailArrow = arrowEnd(ln.child("a:tailEnd"));
}

std::string paintAttributes(const Paint& p, const std::string& id) {
    std::string a = " fill=\"" + (p.gradientStops.empty() ? p.fill : "url(#" + id + "g)") + "\"";
    if (p.fillOpacity < 1) a += " fill-opacity=\"" + num(p.fillOpacity) + "\"";
    a += " stroke=\"" + p.stroke + "\"";
    if (p.stroke != "none") {
        a += " stroke-width=\"" + num(p.strokeWidth) + "\" stroke-linejoin=\"round\"";
        if (!p.dash.empty()) a += " stroke-dasharray=\"" + p.dash + "\"";
        if (p.headArrow) a += " marker-start=\"url(#" + id + "a)\"";
        if (p.tailArrow) a += " marker-end=\"url(#" + id + "a)\"";
    }
    return a;
}

std::string definitions(const Paint& p, const std::string& id) {
    std::string defs;
    if (!p.gradientStops.empty()) {
        const double t = p.gradientAngle * kPi / 180;
        const double dx = std::cos(t) / 2, dy = std::sin(t) / 2;
        defs += "<linearGradient id=\"" + id + "g\" x1=\"" + num(0.5 - dx) + "\" y1=\"" + num(0.5 - dy) + "\" x2=\"" +
                num(0.5 + dx) + "\" y2=\"" + num(0.5 + dy) + "\">" + p.gradientStops + "</linearGradient>";
    }
    if (p.stroke != "none" && (p.headArrow || p.tailArrow))
        defs += "<marker id=\"" + id + "a\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"4\" markerHeight=\"4\""
                " orient=\"auto-start-reverse\"><path d=\"M0,0L10,5L0,10Z\" fill=\"" + p.stroke + "\"/></marker>";
    return defs.empty() ? defs : "<defs>" + defs + "</defs>";
}

std::string svgOpen(double w, double h) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(std::max(w, 1.0)) + "\" height=\"" +
           num(std::max(h, 1.0)) + "\" viewBox=\"0 0 " + num(std::max(w, 1.0)) + " " + num(std::max(h, 1.0)) +
           "\" overflow=\"visible\">";
}

// A VML path read command by command, each with the numbers after it
// (m, l, c and x; r, v and t relative to the current point).
class VmlPath {
public:
    VmlPath(double sx, double sy) : sx_(sx), sy_(sy) {}
    void command(std::string_view op) {
        flush();
        op_ = std::string(op);
    }
    void value(double v) { values_.push_back(finite(v)); }
    std::string finish() {
        flush();
        return p_.str();
    }

private:
    void flush() {
        if (op_ == "m" || op_ == "l" || op_ == "r" || op_ == "t") points();
        else if (op_ == "c" || op_ == "v") curves();
        else if (op_ == "x") p_.z();
        values_.clear();
    }
    void points() {
        const bool relative = op_ == "r" || op_ == "t";
        for (std::size_t i = 0; i + 1 < values_.size(); i += 2) {
            x_ = relative ? x_ + values_[i] : values_[i];
            y_ = relative ? y_ + values_[i + 1] : values_[i + 1];
            if (op_ == "m" || op_ == "t") p_.m(x_ * sx_, y_ * sy_);
            else p_.l(x_ * sx_, y_ * sy_);
        }
    }
    void curves() {
        for (std::size_t i = 0; i + 5 < values_.size(); i += 6) {
            const double bx = op_ == "v" ? x_ : 0, by = op_ == "v" ? y_ : 0;
            const double* v = &values_[i];
            p_.c((bx + v[0]) * sx_, (by + v[1]) * sy_, (bx + v[2]) * sx_, (by + v[3]) * sy_, (bx + v[4]) * sx_,
                 (by + v[5]) * sy_);
            x_ = bx + v[4];
            y_ = by + v[5];
        }
    }
    double sx_, sy_, x_ = 0, y_ = 0;
    std::string op_;
    std::vector<double> values_;
    Path p_;
};

}  // namespace

std::string num(double v) {
    v = finite(v);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

bool isLinePreset(std::string_view preset) {
    return preset == "line" || preset.find("Connector") != std::string_view::npos || preset == "arc";
}

std::string presetPath(std::string_view preset, pugi::xml_node avLst, double w, double h) {
    for (const Preset& p : presets())
        if (p.name == preset) return p.outline(avLst, w, h);
    return rect(avLst, w, h);
}

std::string customPath(pugi::xml_node custGeom, double w, double h) {
    std::string d;
    for (pugi::xml_node path : custGeom.child("a:pathLst").children("a:path")) {
        const double pw = path.attribute("w").as_double(), ph = path.attribute("h").as_double();
        CustomPath p(pw > 0 ? w / pw : 1, ph > 0 ? h / ph : 1);
        for (pugi::xml_node c : path.children()) p.command(c);
        d += p.str();
    }
    return d;
}

std::string vmlPath(std::string_view path, double coordW, double coordH, double w, double h) {
    VmlPath p(coordW > 0 ? w / coordW : 1, coordH > 0 ? h / coordH : 1);
    std::size_t i = 0;
    // A value left empty ("m,l" is m0,0 l...) is a zero: a comma right
    // after a command or a comma, or a command right after a comma.
    char last = ' ';
    while (i < path.size()) {
        const char c = path[i];
        std::size_t e = i + 1;
        if (std::isalpha(static_cast<unsigned char>(c))) {
            if (last == ',') p.value(0);
            // Commands of two letters ("nf", "qx", "at" ...) or of one.
            static constexpr std::string_view kTwo = " nf ns ae al at ar wa wr qx qy qb ha hb hc hd he hf hg hh hi ";
            const std::string pair = " " + std::string(path.substr(i, 2)) + " ";
            if (i + 1 < path.size() && kTwo.find(pair) != std::string_view::npos) ++e;
            p.command(path.substr(i, e - i));
            last = 'a';
        } else if (c == '-' || c == '.' || std::isdigit(static_cast<unsigned char>(c))) {
            while (e < path.size() && (std::isdigit(static_cast<unsigned char>(path[e])) || path[e] == '.')) ++e;
            p.value(std::atof(std::string(path.substr(i, e - i)).c_str()));
            last = '0';
        } else if (c == ',') {
            if (last == 'a' || last == ',') p.value(0);
            last = ',';
        }
        i = e;
    }
    return p.finish();
}

std::string drawingColour(pugi::xml_node node, const model::Theme& theme, double* opacity) {
    for (pugi::xml_node c : node.children()) {
        const std::string hex = baseHex(c, theme);
        if (isHexColour(hex)) return hexOf(modified(parseHex(hex), c, opacity));
    }
    return {};
}

std::string schemeColour(std::string_view name, const model::Theme& theme) {
    const std::string hex = schemeHex(name, theme);
    return isHexColour(hex) ? hexOf(parseHex(hex)) : std::string();
}

std::string withLuminance(std::string_view colour, double mod, double off) {
    if (!colour.empty() && colour.front() == '#') colour.remove_prefix(1);
    if (!isHexColour(colour)) return {};
    const Rgb c = parseHex(colour);
    return hexOf(mod == 1 && off == 0 ? c : withLuminance(c, mod, off));
}

double vmlPixels(std::string_view v, double perPlainUnit, double fallback) {
    const std::string s(v);
    double x = std::atof(s.c_str());
    if (s.empty() || !std::isfinite(x)) return fallback;
    auto has = [&](const char* unit) { return s.find(unit) != std::string::npos; };
    x *= has("px") ? 1 : has("pt") ? 96.0 / 72 : has("in") ? 96 : has("mm") ? 96 / 25.4 : has("cm") ? 96 / 2.54 : perPlainUnit;
    return std::clamp(x, -20000.0, 20000.0);
}

std::string vmlColour(std::string_view value) {
    std::string_view v = trimText(value);
    v = v.substr(0, v.find(' '));
    if (v.empty()) return {};
    if (v.front() != '#') {
        const std::string hex = namedHex(v);
        return hex.empty() ? hex : hexOf(parseHex(hex));
    }
    v.remove_prefix(1);
    if (v.size() == 3) return hexOf(parseHex(std::string{v[0], v[0], v[1], v[1], v[2], v[2]}));
    return isHexColour(v) ? hexOf(parseHex(v)) : std::string();
}

Paint drawingPaint(pugi::xml_node spPr, pugi::xml_node style, const model::Theme& theme) {
    Paint p;
    readFill(p, spPr, style, theme);
    readLine(p, spPr, style, theme);
    return p;
}

Paint vmlPaint(pugi::xml_node shape) {
    Paint p;
    pugi::xml_node fill = shape.child("v:fill"), stroke = shape.child("v:stroke");
    const bool filled = !vmlOff(shape.attribute("filled").value()) && !vmlOff(fill.attribute("on").value());
    if (filled) {
        std::string c = vmlColour(fill.attribute("color").value());
        if (c.empty()) c = vmlColour(shape.attribute("fillcolor").value());
        p.fill = c.empty() ? "#ffffff" : c;
        p.fillOpacity = vmlFraction(fill.attribute("opacity").value(), 1);
        const std::string second = vmlColour(fill.attribute("color2").value());
        if (std::string_view(fill.attribute("type").value()).find("gradient") != std::string_view::npos && !second.empty()) {
            p.gradientStops = "<stop offset=\"0\" stop-color=\"" + p.fill + "\"/><stop offset=\"1\" stop-color=\"" + second + "\"/>";
            p.gradientAngle = 90;
        }
    }
    if (!vmlOff(shape.attribute("stroked").value()) && !vmlOff(stroke.attribute("on").value())) {
        std::string c = vmlColour(stroke.attribute("color").value());
        if (c.empty()) c = vmlColour(shape.attribute("strokecolor").value());
        p.stroke = c.empty() ? "#000000" : c;
        std::string_view weight = stroke.attribute("weight").value();
        if (weight.empty()) weight = shape.attribute("strokeweight").value();
        p.strokeWidth = std::clamp(vmlPixels(weight, 96.0 / 72, 1), 0.5, 100.0);  // plain numbers are points
        p.dash = dashArray(stroke.attribute("dashstyle").value(), p.strokeWidth);
        const std::string_view start = stroke.attribute("startarrow").value(), end = stroke.attribute("endarrow").value();
        p.headArrow = !start.empty() && start != "none";
        p.tailArrow = !end.empty() && end != "none";
    }
    return p;
}

std::string svgShape(const std::string& path, const Paint& paint, double w, double h, bool flipH, bool flipV,
                     const std::string& id) {
    std::string svg = svgOpen(w, h) + definitions(paint, id);
    std::string transform;
    if (flipH || flipV)
        transform = " transform=\"translate(" + num(flipH ? w : 0) + "," + num(flipV ? h : 0) + ") scale(" +
                    (flipH ? "-1" : "1") + "," + (flipV ? "-1" : "1") + ")\"";
    svg += "<path d=\"" + path + "\"" + paintAttributes(paint, id) + transform + "/>";
    return svg + "</svg>";
}

std::string svgText(std::string_view text, std::string_view family, const Paint& paint, double w, double h) {
    std::string svg = svgOpen(w, h);
    svg += "<text x=\"" + num(w / 2) + "\" y=\"" + num(h / 2) + "\" text-anchor=\"middle\" dominant-baseline=\"central\"";
    svg += " font-size=\"" + num(h * 0.8) + "\" textLength=\"" + num(w) + "\" lengthAdjust=\"spacingAndGlyphs\"";
    if (!family.empty()) svg += " font-family=\"" + escapeHtml(family) + "\"";
    svg += " fill=\"" + (paint.fill == "none" ? std::string("#c0c0c0") : paint.fill) + "\"";
    if (paint.fillOpacity < 1) svg += " fill-opacity=\"" + num(paint.fillOpacity) + "\"";
    if (paint.stroke != "none") svg += " stroke=\"" + paint.stroke + "\" stroke-width=\"" + num(std::min(paint.strokeWidth, 1.0)) + "\"";
    return svg + ">" + escapeHtml(text) + "</text></svg>";
}

}  // namespace tavin::shapes
