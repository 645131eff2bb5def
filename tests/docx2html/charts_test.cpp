// Charts drawn as SVG from a chart part's cached values: crafted parts in,
// the drawing's elements out, read back with pugixml.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "docx2html/fidelity/charts.h"
#include "support/testutil.h"

using namespace tavin;

namespace {

const std::string kSpace =
    "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><c:chart>";

std::string pts(const std::vector<std::string>& v, bool numbers) {
    std::string s = numbers ? "<c:numRef><c:numCache>" : "<c:strRef><c:strCache>";
    s += "<c:ptCount val=\"" + std::to_string(v.size()) + "\"/>";
    for (std::size_t i = 0; i < v.size(); ++i) s += "<c:pt idx=\"" + std::to_string(i) + "\"><c:v>" + v[i] + "</c:v></c:pt>";
    return s + (numbers ? "</c:numCache></c:numRef>" : "</c:strCache></c:strRef>");
}

std::string ser(const std::string& name, const std::vector<std::string>& vals, const std::string& extra = "") {
    return "<c:ser><c:tx><c:v>" + name + "</c:v></c:tx>" + extra + "<c:cat>" + pts({"A", "B", "C", "D", "E"}, false).substr(0) + "</c:cat><c:val>" +
           pts(vals, true) + "</c:val></c:ser>";
}

std::string chart(const std::string& plot, const std::string& axes = "<c:catAx/><c:valAx/>", const std::string& after = "") {
    return kSpace + "<c:autoTitleDeleted val=\"1\"/><c:plotArea>" + plot + axes + "</c:plotArea>" + after + "</c:chart></c:chartSpace>";
}

struct Drawn {
    std::string svg;
    pugi::xml_document doc;
    std::vector<pugi::xml_node> all(const char* xpath) const {
        std::vector<pugi::xml_node> out;
        for (const pugi::xpath_node& n : doc.select_nodes(xpath)) out.push_back(n.node());
        return out;
    }
    double num(pugi::xml_node n, const char* a) const { return n.attribute(a).as_double(); }
    bool shows(const std::string& text) const {
        for (pugi::xml_node t : all("//text"))
            if (text == t.child_value()) return true;
        return false;
    }
};

void draw(Drawn& d, const std::string& xml, const model::Theme& theme = {}, double w = 480, double h = 290) {
    d.svg = chartSvg(xml, theme, w, h);
    ASSERT_TRUE(d.doc.load_string(d.svg.c_str())) << d.svg;
    EXPECT_EQ(d.svg.find("nan"), std::string::npos) << d.svg;
    EXPECT_EQ(d.svg.find("inf"), std::string::npos) << d.svg;
    EXPECT_EQ(d.svg.find("e+"), std::string::npos) << d.svg;
}

struct Case {
    const char* what;
    std::string xml;
    std::function<void(const Drawn&)> check;
};

std::vector<Case> cases() {
    const std::string cols = "<c:barChart><c:barDir val=\"col\"/><c:grouping val=\"%\"/>" + ser("S1", {"1", "2", "3"}) +
                             ser("S2", {"4", "5", "6"}) + "</c:barChart>";
    auto grouped = [&](const std::string& g) { std::string s = cols; return s.replace(s.find('%'), 1, g); };
    return {
        {"clustered columns: a bar per value, of the series' colours, heights in proportion", chart(grouped("clustered")),
         [](const Drawn& d) {
             const auto bars = d.all("//rect[@class='bar']");
             ASSERT_EQ(bars.size(), 6u);
             std::set<std::string> fills;
             const double unit = d.num(bars[0], "height");
             for (std::size_t i = 0; i < 6; ++i) {
                 fills.insert(bars[i].attribute("fill").value());
                 EXPECT_NEAR(d.num(bars[i], "height"), unit * double(i + 1), 0.05) << i;
             }
             EXPECT_EQ(fills, (std::set<std::string>{"#4472c4", "#ed7d31"}));
         }},
        {"stacked columns: the second series stands on the first", chart(grouped("stacked")),
         [](const Drawn& d) {
             const auto bars = d.all("//rect[@class='bar']");
             ASSERT_EQ(bars.size(), 6u);
             EXPECT_NEAR(d.num(bars[3], "y") + d.num(bars[3], "height"), d.num(bars[0], "y"), 0.05);
             EXPECT_NEAR(d.num(bars[0], "x"), d.num(bars[3], "x"), 0.05);
         }},
        {"percent stacked: every category as tall as the plot, the axis in percent", chart(grouped("percentStacked")),
         [](const Drawn& d) {
             const auto bars = d.all("//rect[@class='bar']");
             ASSERT_EQ(bars.size(), 6u);
             EXPECT_NEAR(d.num(bars[0], "height") + d.num(bars[3], "height"), d.num(bars[2], "height") + d.num(bars[5], "height"), 0.05);
             EXPECT_TRUE(d.shows("100%"));
         }},
        {"a negative value's bar hangs below the zero line",
         chart("<c:barChart><c:barDir val=\"col\"/>" + ser("S", {"5", "-5"}) + "</c:barChart>"),
         [](const Drawn& d) {
             const auto bars = d.all("//rect[@class='bar']");
             ASSERT_EQ(bars.size(), 2u);
             EXPECT_NEAR(d.num(bars[0], "y") + d.num(bars[0], "height"), d.num(bars[1], "y"), 0.05);
             const auto zero = d.all("//line[@stroke='#bfbfbf']");
             ASSERT_EQ(zero.size(), 1u);
             EXPECT_NEAR(d.num(zero[0], "y1"), d.num(bars[1], "y"), 0.05);
         }},
        {"horizontal bars: the first category at the bottom, lengths along x",
         chart("<c:barChart><c:barDir val=\"bar\"/>" + ser("S", {"1", "2"}) + "</c:barChart>"),
         [](const Drawn& d) {
             const auto bars = d.all("//rect[@class='bar']");
             ASSERT_EQ(bars.size(), 2u);
             EXPECT_GT(d.num(bars[0], "y"), d.num(bars[1], "y"));
             EXPECT_NEAR(d.num(bars[1], "width"), 2 * d.num(bars[0], "width"), 0.05);
         }},
        {"axis labels in the axis' percent format", chart("<c:barChart>" + ser("S", {"0.1", "0.3"}) + "</c:barChart>",
                                                         "<c:catAx/><c:valAx><c:numFmt formatCode=\"0%\"/></c:valAx>"),
         [](const Drawn& d) { EXPECT_TRUE(d.shows("10%")) << d.svg; }},
        {"a pie of 25 and 75: two slices, a legend of its categories",
         chart("<c:pieChart><c:varyColors val=\"1\"/>" + ser("P", {"25", "75"}) + "</c:pieChart>", "", "<c:legend><c:legendPos val=\"b\"/></c:legend>"),
         [](const Drawn& d) {
             const auto slices = d.all("//path[@class='slice']");
             ASSERT_EQ(slices.size(), 2u);
             EXPECT_STRNE(slices[0].attribute("fill").value(), slices[1].attribute("fill").value());
             EXPECT_TRUE(d.shows("A"));
             EXPECT_TRUE(d.shows("B"));
         }},
        {"a doughnut's only value: a whole ring", chart("<c:doughnutChart>" + ser("P", {"3"}) + "</c:doughnutChart>", ""),
         [](const Drawn& d) { EXPECT_EQ(d.all("//path[@class='slice']").size(), 1u); }},
        {"lines with markers, a gap where a value is missing",
         chart("<c:lineChart><c:marker val=\"1\"/>" + ser("L", {"1", "x", "3", "4"}) + "</c:lineChart>"),
         [](const Drawn& d) {
             EXPECT_EQ(d.all("//polyline[@class='line']").size(), 2u);
             EXPECT_EQ(d.all("//circle[@class='marker']").size(), 3u);
         }},
        {"a kind not drawn: the title and the values as text",
         kSpace + "<c:title><c:tx><c:rich><a:p><a:r><a:t>Rad &lt;&amp;&gt;</a:t></a:r></a:p></c:rich></c:tx></c:title><c:plotArea><c:radarChart>" +
             ser("R", {"7", "8"}) + "</c:radarChart></c:plotArea></c:chart></c:chartSpace>",
         [](const Drawn& d) {
             EXPECT_TRUE(d.shows("Rad <&>"));
             EXPECT_NE(d.svg.find("aria-label=\"Rad &lt;&amp;&gt;\""), std::string::npos);
             EXPECT_TRUE(d.shows("R") && d.shows("A") && d.shows("7") && d.shows("8"));
         }},
        {"series colours: the series' own, theme accents with luminance, point overrides",
         chart("<c:barChart>" + ser("S", {"1", "2"}, "<c:spPr><a:solidFill><a:schemeClr val=\"accent2\"><a:lumMod val=\"50000\"/></a:schemeClr></a:solidFill></c:spPr><c:dPt><c:idx val=\"1\"/><c:spPr><a:solidFill><a:srgbClr val=\"00FF00\"/></a:solidFill></c:spPr></c:dPt>") +
               ser("T", {"1"}) + "</c:barChart>"),
         [](const Drawn& d) {
             const auto bars = d.all("//rect[@class='bar']");
             ASSERT_EQ(bars.size(), 3u);
             EXPECT_STREQ(bars[0].attribute("fill").value(), "#091a2b");  // accent2 at half luminance
             EXPECT_STREQ(bars[1].attribute("fill").value(), "#00ff00");
             EXPECT_STREQ(bars[2].attribute("fill").value(), "#123456");  // the theme's accent2
         }},
        {"hostile values and counts: drawn capped, without a bad number",
         chart("<c:barChart><c:grouping val=\"stacked\"/>" + ser("H", {"NaN", "inf", "1e308", "-1e308", "", "0"}) +
               "<c:ser><c:val><c:numLit><c:ptCount val=\"999999999\"/><c:pt idx=\"-1\"><c:v>1</c:v></c:pt><c:pt idx=\"5000\"><c:v>1</c:v></c:pt></c:numLit></c:val></c:ser></c:barChart>",
               "<c:catAx/><c:valAx><c:scaling><c:min val=\"5\"/><c:max val=\"5\"/></c:scaling></c:valAx>"),
         [](const Drawn& d) { EXPECT_LE(d.all("//rect[@class='bar']").size(), 6u); }},
        {"all zero, no categories, a legend: an axis from 0 to 1",
         chart("<c:areaChart><c:ser><c:val>" + pts({"0", "0"}, true) + "</c:val></c:ser></c:areaChart>", "<c:catAx/><c:valAx/>",
               "<c:legend/>"),
         [](const Drawn& d) {
             EXPECT_TRUE(d.shows("0") && d.shows("1") && d.shows("Series 1"));
             EXPECT_EQ(d.all("//polygon[@class='area']").size(), 1u);
         }},
    };
}

TEST(Charts, DrawsCraftedCharts) {
    model::Theme theme;
    theme.colours = {{"accent2", "123456"}};
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        Drawn d;
        draw(d, c.xml, std::string(c.what).find("series colours") == 0 ? theme : model::Theme{});
        if (!HasFatalFailure()) c.check(d);
    }
}

// Data labels in the number format they name; one not understood as General.
TEST(Charts, DataLabelsInTheirNumberFormat) {
    const std::vector<std::pair<std::string, std::string>> formats{
        {"General", "1234.5"}, {"0", "1235"}, {"0.0", "1234.5"}, {"0.00", "1234.50"}, {"#,##0", "1,235"},
        {"#,##0.00", "1,234.50"}, {"0%", "123450%"}, {"0.0%", "123450.0%"}, {"[Red]0.0", "1234.5"}};
    for (const auto& [code, shown] : formats) {
        Drawn d;
        draw(d, chart("<c:barChart>" + ser("S", {"1234.5"}, "<c:dLbls><c:numFmt formatCode=\"" + code + "\"/><c:showVal val=\"1\"/></c:dLbls>") + "</c:barChart>"));
        EXPECT_TRUE(d.shows(shown)) << code << "\n" << d.svg;
    }
}

TEST(Charts, SizeTitleAndUnreadableParts) {
    Drawn d;
    draw(d, kSpace + "<c:plotArea><c:pieChart>" + ser("Only", {"1", "2"}) + "</c:pieChart></c:plotArea></c:chart></c:chartSpace>", {}, -5, 0);
    EXPECT_EQ(d.svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"480\" height=\"288\" viewBox=\"0 0 480 288\" role=\"img\" aria-label=\"Only\">", 0), 0u);
    for (const char* bad : {"", "<c:chartSpace", "<w:document/>", "<c:chartSpace xmlns:c=\"urn:other\"><c:chart/></c:chartSpace>"})
        EXPECT_EQ(chartSvg(bad, {}, 480, 290), "") << bad;
}

// The charts of the corpus's documents: well-formed drawings of their bars.
TEST(Charts, CorpusCharts) {
    const std::filesystem::path dir = testutil::corpusDir();
    if (dir.empty() || !std::filesystem::is_directory(dir / "poi")) GTEST_SKIP() << "no corpus";
    const std::vector<std::pair<std::string, std::size_t>> documents{
        {"poi/poi-examples_src_main_java_org_apache_poi_examples_xwpf_usermodel_bar-chart-template.docx", 4},
        {"poi/61745.docx", 12},
        {"python-docx/shp-inline-shape-access.docx", 12}};
    for (const auto& [name, bars] : documents) {
        SCOPED_TRACE(name);
        testutil::TempDir tmp;
        const std::string cmd = "unzip -q -o '" + (dir / name).string() + "' word/charts/chart1.xml -d '" + tmp.str() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Drawn d;
        draw(d, testutil::readFile(tmp.path() / "word/charts/chart1.xml"));
        EXPECT_EQ(d.all("//rect[@class='bar']").size(), bars);
    }
}

}  // namespace
