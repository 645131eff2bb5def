// EMF, WMF and TIFF pictures on the Full Fidelity page: converted to SVG
// and PNG files beside them in the work folder, or a labelled box when they
// cannot be; known by their content, whatever their names.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <filesystem>

#include "docx2html/docx2html.h"
#include "docx2html/metafiles.h"
#include "docx2html/pictures.h"
#include "support/testutil.h"

using namespace tavin;

namespace {

std::string u16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string u32(std::uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }

// A WMF of a rectangle: the placeable header (when asked), the standard
// one, a window extent, the rectangle and the end record.
std::string wmf(bool placeable = true) {
    const std::string records = u32(5) + u16(0x020C) + u16(100) + u16(200) +               // SETWINDOWEXT
                                u32(7) + u16(0x041B) + u16(90) + u16(190) + u16(10) + u16(10) +  // RECTANGLE
                                u32(3) + u16(0);                                             // EOF
    const std::string header = u16(1) + u16(9) + u16(0x300) + u32((18 + static_cast<std::uint32_t>(records.size())) / 2) +
                               u16(0) + u32(7) + u16(0);
    if (!placeable) return header + records;
    std::string p = u32(0x9AC6CDD7u) + u16(0) + u16(0) + u16(0) + u16(200) + u16(100) + u16(1440) + u32(0);
    unsigned sum = 0;
    for (std::size_t i = 0; i < p.size(); i += 2) sum ^= static_cast<unsigned char>(p[i]) | static_cast<unsigned char>(p[i + 1]) << 8;
    return p + u16(sum) + header + records;
}

// An EMF of a rectangle: the header record, the rectangle, the end record.
std::string emf() {
    const std::string rect = u32(43) + u32(24) + u32(10) + u32(10) + u32(90) + u32(40);
    const std::string eof = u32(14) + u32(20) + u32(0) + u32(16) + u32(20);
    const std::uint32_t total = 88 + static_cast<std::uint32_t>(rect.size() + eof.size());
    const std::string header = u32(1) + u32(88) + u32(0) + u32(0) + u32(100) + u32(50) +      // bounds
                               u32(0) + u32(0) + u32(2646) + u32(1323) +                    // frame
                               " EMF" + u32(0x10000) + u32(total) + u32(3) + u16(1) + u16(0) +
                               u32(0) + u32(0) + u32(0) + u32(1024) + u32(768) + u32(320) + u32(240);
    return header + rect + eof;
}

// A grey TIFF of width x height pixels (0x40, 0x80, ...), uncompressed.
std::string tiff(std::uint32_t width = 2, std::uint32_t height = 2) {
    auto entry = [](unsigned tag, unsigned type, std::uint32_t value) {
        return u16(tag) + u16(type) + u32(1) + (type == 3 ? u16(value) + u16(0) : u32(value));
    };
    const std::uint32_t pixels = 8 + 2 + 9 * 12 + 4;
    std::string t = "II*" + std::string(1, '\0') + u32(8) + u16(9) + entry(256, 4, width) + entry(257, 4, height) +
                    entry(258, 3, 8) + entry(259, 3, 1) + entry(262, 3, 1) + entry(273, 4, pixels) + entry(277, 3, 1) +
                    entry(278, 4, height) + entry(279, 4, width * height) + u32(0);
    for (std::uint32_t i = 0; i < 4; ++i) t += static_cast<char>(0x40 * (i + 1) - 1);
    return t;
}

std::string pngBytes() { return std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, '\0'); }

struct Package {
    testutil::TempDir dir;
    std::string folder = dir.str() + "/";

    // The pictures, each named in a paragraph of its own by the names given
    // (a name twice: the picture shown twice).
    Package(const std::vector<std::pair<std::string, std::string>>& files, const std::vector<std::string>& shown) {
        testutil::writeFile(folder + "_rels/.rels",
                            "<Relationships><Relationship Id=\"r\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
                            "2006/relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>");
        std::string rels = "<Relationships>", body;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::string id = "rId" + std::to_string(i + 1);
            rels += "<Relationship Id=\"" + id + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                    "relationships/image\" Target=\"media/" + shown[i] + "\"/>";
            body += "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"476250\"/><a:graphic><a:graphicData>"
                    "<pic:pic><pic:blipFill><a:blip r:embed=\"" + id + "\"/></pic:blipFill></pic:pic></a:graphicData>"
                    "</a:graphic></wp:inline></w:drawing></w:r></w:p>";
        }
        testutil::writeFile(folder + "word/_rels/document.xml.rels", rels + "</Relationships>");
        testutil::writeFile(folder + "word/document.xml", "<w:document><w:body>" + body + "</w:body></w:document>");
        for (const auto& [name, bytes] : files) testutil::writeFile(folder + "word/media/" + name, bytes);
    }

    std::string convert(ConversionContext& ctx, bool fidelity = true) const {
        ConvertOptions options;
        options.fullFidelity = fidelity;
        convertPackage(ctx, folder, options);
        return ctx.workingText;
    }
    bool has(const std::string& name) const { return std::filesystem::exists(folder + "word/media/" + name); }
    std::string read(const std::string& name) const { return testutil::readFile(folder + "word/media/" + name); }
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The grey values of a PNG's pixels, or nothing when it does not decode.
std::vector<unsigned char> greys(const std::string& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
    image.format = PNG_FORMAT_GRAY;
    std::vector<unsigned char> out(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) return {};
    return out;
}

}  // namespace

TEST(Metafiles, ConvertedBesideTheOriginalOrShownAsALabelledBox) {
    std::string truncated = emf();
    truncated.resize(100);
    std::string hugeRecord = wmf();
    hugeRecord.replace(22 + 12, 4, u32(0x7FFFFFFF));
    struct Case {
        const char* what;
        std::string name, bytes;
        std::string src;    // the img's src then, or "" for a box
        std::string label;  // the box's label
    } cases[] = {
        {"an EMF", "a.emf", emf(), "media/a.emf.svg", ""},
        {"a WMF", "b.wmf", wmf(), "media/b.wmf.svg", ""},
        {"a WMF without its placeable header", "c.wmf", wmf(false), "media/c.wmf.svg", ""},
        {"an object's preview holding a WMF", "d.bin", wmf(), "media/d.bin.svg", ""},
        {"an object's preview holding an EMF", "e.bin", emf(), "media/e.bin.svg", ""},
        {"a TIFF", "f.tif", tiff(), "media/f.tif.png", ""},
        {"a preview holding a PNG stays as it is", "g.bin", pngBytes(), "media/g.bin", ""},
        {"a PNG named .emf stays as it is", "h.emf", pngBytes(), "media/h.emf", ""},
        {"garbage named .emf", "i.emf", "not a picture at all, only words", "", "EMF picture"},
        {"a truncated EMF", "j.emf", truncated, "", "EMF picture"},
        {"an empty WMF", "k.wmf", "", "", "WMF picture"},
        {"a WMF declaring a record larger than itself", "l.wmf", hugeRecord, "", "WMF picture"},
        {"a TIFF of ten billion pixels", "m.tiff", tiff(100000, 100000), "", "TIF picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Package package({{c.name, c.bytes}}, {c.name});
        ConversionContext ctx;
        const std::string page = package.convert(ctx);
        if (c.src.empty()) {
            EXPECT_TRUE(contains(page, "<span class=picture")) << page;
            EXPECT_TRUE(contains(page, ">" + c.label + "</span>")) << page;
            EXPECT_FALSE(package.has(c.name + ".svg") || package.has(c.name + ".png"));
            EXPECT_TRUE(ctx.convertedPictures.empty());
            continue;
        }
        EXPECT_TRUE(contains(page, "<img src=\"" + c.src + "\"")) << page;
        const std::string written = c.src.substr(6);
        ASSERT_TRUE(package.has(written));
        if (written == c.name) continue;
        EXPECT_EQ(ctx.convertedPictures, std::vector<std::string>{c.src});
        const std::string bytes = package.read(written);
        if (contains(written, ".png")) {
            EXPECT_EQ(greys(bytes), (std::vector<unsigned char>{0x3F, 0x7F, 0xBF, 0xFF}));
        } else {
            EXPECT_TRUE(plausibleSvg(bytes));
            EXPECT_TRUE(contains(bytes, "xmlns=\"http://www.w3.org/2000/svg\"")) << bytes.substr(0, 400);
        }
    }
}

TEST(Metafiles, EachPictureOnceAndOnlyOnTheFullFidelityPage) {
    const Package package({{"a.emf", emf()}, {"a.emf.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>"}},
                          {"a.emf", "a.emf", "a.emf.svg"});
    // The classic page: no picture converted, none written.
    ConversionContext classic;
    const std::string classicPage = package.convert(classic, false);
    EXPECT_TRUE(contains(classicPage, "<img src=\"media/a.emf\""));
    EXPECT_FALSE(package.has("a.emf-1.svg"));
    // The document's own a.emf.svg is left as it is; the converted picture
    // takes the next name, once for both places that show it.
    ConversionContext ctx;
    std::string page = package.convert(ctx);
    EXPECT_EQ(ctx.convertedPictures, std::vector<std::string>{"media/a.emf-1.svg"});
    std::size_t shown = 0;
    for (std::size_t at = page.find("src=\"media/a.emf-1.svg\""); at != std::string::npos; at = page.find("src=\"media/a.emf-1.svg\"", at + 1))
        ++shown;
    EXPECT_EQ(shown, 2u);
    EXPECT_EQ(package.read("a.emf.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>");
    // Converted again in the same folder: the file written before serves.
    ConversionContext again;
    EXPECT_EQ(package.convert(again), page);
    EXPECT_FALSE(package.has("a.emf-2.svg"));
    // Only the converted SVG is written into the page as a data: address.
    const std::vector<PictureFile> pictures =
        pagePictures(package.folder, ctx.documentFolder, page, true, ctx.convertedPictures);
    const std::string embedded = embedPictures(page, pictures);
    EXPECT_TRUE(contains(embedded, "data:image/svg+xml;base64,"));
    EXPECT_TRUE(contains(embedded, "src=\"media/a.emf.svg\"")) << embedded;
}

TEST(Metafiles, WithoutAWorkFolderTheLabelledBoxStays) {
    ConversionContext ctx;
    ctx.fullFidelity = true;
    PartTexts texts;
    texts.document = "<w:document><w:body><w:p><w:r><w:drawing><wp:inline><a:blip r:embed=\"rId1\"/></wp:inline>"
                     "</w:drawing></w:r></w:p></w:body></w:document>";
    texts.relationships = "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/image\" Target=\"media/a.wmf\"/>"
                          "</Relationships>";
    loadPartsFromText(ctx, std::move(texts));
    convert(ctx);
    EXPECT_TRUE(contains(ctx.workingText, ">WMF picture</span>")) << ctx.workingText;
}

TEST(Metafiles, AHeaderOnEverySheetShowsTheConvertedPicture) {
    // Before, only the first sheet's header got its picture's box: the
    // others, placed after, showed a broken picture.
    const Package package({{"a.emf", emf()}}, {});
    const std::string drawing = "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"476250\"/><a:blip r:embed=\"rI\"/>"
                                "</wp:inline></w:drawing></w:r></w:p>";
    testutil::writeFile(package.folder + "word/_rels/document.xml.rels",
                        "<Relationships><Relationship Id=\"rH\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/header\" Target=\"header1.xml\"/></Relationships>");
    testutil::writeFile(package.folder + "word/_rels/header1.xml.rels",
                        "<Relationships><Relationship Id=\"rI\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/image\" Target=\"media/a.emf\"/></Relationships>");
    testutil::writeFile(package.folder + "word/header1.xml", "<w:hdr>" + drawing + "</w:hdr>");
    testutil::writeFile(package.folder + "word/document.xml",
                        "<w:document><w:body><w:p><w:r><w:t>one</w:t></w:r></w:p><w:p><w:r><w:br w:type=\"page\"/></w:r></w:p>"
                        "<w:p><w:r><w:t>two</w:t></w:r></w:p><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rH\"/>"
                        "<w:pgSz w:w=\"12240\" w:h=\"15840\"/></w:sectPr></w:body></w:document>");
    ConversionContext ctx;
    const std::string page = package.convert(ctx);
    EXPECT_FALSE(contains(page, "src=\"media/a.emf\"")) << page;
    EXPECT_FALSE(contains(page, "class=picture")) << page;
    EXPECT_TRUE(contains(page, "src=\"media/a.emf.svg\"")) << page;
    EXPECT_EQ(ctx.convertedPictures, std::vector<std::string>{"media/a.emf.svg"});
}

TEST(Metafiles, AFloatingPictureShowsTheConvertedPicture) {
    // A picture in a drawing's box is placed with the drawing, after the
    // page's own pictures were converted.
    const Package package({{"a.emf", emf()}}, {});
    testutil::writeFile(package.folder + "word/_rels/document.xml.rels",
                        "<Relationships><Relationship Id=\"rI\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/image\" Target=\"media/a.emf\"/></Relationships>");
    testutil::writeFile(package.folder + "word/document.xml",
                        "<w:document><w:body><w:p><w:r><w:drawing><wp:anchor><wp:extent cx=\"952500\" cy=\"476250\"/>"
                        "<wp:wrapSquare/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rI\"/>"
                        "</pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>"
                        "</w:body></w:document>");
    ConversionContext ctx;
    const std::string page = package.convert(ctx);
    EXPECT_TRUE(contains(page, "float:left")) << page;
    EXPECT_TRUE(contains(page, "src=\"media/a.emf.svg\"")) << page;
    EXPECT_FALSE(contains(page, "class=picture")) << page;
}
