// Parts are read by namespace, whatever prefixes a document writes.
#include <gtest/gtest.h>

#include "docx2html/model/xml.h"

using namespace tavin::model;

namespace {

constexpr const char* kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// The names of every element and attribute of a part, in document order.
std::string names(const std::string& text, Report& report) {
    XmlPart part;
    part.parse("p.xml", text, report);
    std::string out;
    struct Walk : pugi::xml_tree_walker {
        std::string* out;
        bool for_each(pugi::xml_node& n) override {
            if (n.type() != pugi::node_element) return true;
            *out += n.name();
            for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
                if (std::string_view(a.name()).substr(0, 5) != "xmlns") *out += std::string(" @") + a.name();
            *out += ";";
            return true;
        }
    } walk;
    walk.out = &out;
    part.root().parent().traverse(walk);
    return out;
}

}  // namespace

TEST(XmlPart, NamesAreReadUnderTheirNamespacesPrefix) {
    const std::string w = std::string("=\"") + kW + "\"";
    const struct {
        std::string text, expected;
    } cases[] = {
        // Any prefix, or the default namespace, reads as "w:".
        {"<ns0:p xmlns:ns0" + w + "><ns0:r ns0:val=\"1\" val=\"2\"/></ns0:p>", "w:p;w:r @w:val @val;"},
        {"<p xmlns" + w + "><r/></p>", "w:p;w:r;"},
        // The strict schema's namespace is the same vocabulary.
        {"<x:p xmlns:x=\"http://purl.oclc.org/ooxml/wordprocessingml/main\"/>", "w:p;"},
        // A "w:" bound to another namespace matches none of ours; a
        // redeclaration holds inside its element only; xmlns="" undoes a default.
        {"<w:p xmlns:w=\"urn:other\"><w:r xmlns:w" + w + "/><w:t/></w:p>", "?w:p;w:r;?w:t;"},
        {"<p xmlns" + w + "><q xmlns=\"\"/><r/></p>", "w:p;q;w:r;"},
        // Our own prefixes at the root, one bound elsewhere further in.
        {"<?xml version=\"1.0\"?><w:p xmlns:w" + w + "><w:r xmlns:w=\"urn:other\"><w:t/></w:r><w:t/></w:p>",
         "w:p;?w:r;?w:t;w:t;"},
        {"<!-- c --><w:p xmlns:w" + w + "><w:r w:val=\"1\"/></w:p>", "w:p;w:r @w:val;"},
        // An undeclared prefix is read as written.
        {"<w:p><w:r/></w:p>", "w:p;w:r;"},
    };
    for (const auto& c : cases) {
        Report report;
        EXPECT_EQ(names(c.text, report), c.expected) << c.text;
        EXPECT_TRUE(report.skipped.empty()) << c.text;
    }
}

TEST(XmlPart, APartCutShortKeepsWhatWasRead) {
    Report report;
    XmlPart part;
    part.parse("word/styles.xml", std::string("<w:styles xmlns:w=\"") + kW + "\"><w:style w:styleId=\"A\"/><w:style", report);
    EXPECT_FALSE(part.complete());
    EXPECT_STREQ(part.root().child("w:style").attribute("w:styleId").value(), "A");
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].rfind("word/styles.xml: ", 0), 0u);
}
