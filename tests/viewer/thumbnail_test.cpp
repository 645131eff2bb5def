// tavin --thumbnail, as a file manager's thumbnailer entry runs it.
#include <gtest/gtest.h>

#include <QImage>

#include "package/workfolder.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

std::string shadedParagraph(const char* fill, const char* text) {
    return std::string("<w:p><w:pPr><w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"") + fill +
           "\"/></w:pPr><w:r><w:rPr><w:sz w:val=\"96\"/></w:rPr><w:t>" + text + "</w:t></w:r></w:p>";
}

}  // namespace

// The first sheet only, in its own colours, within the size asked for.
TEST(Thumbnail, IsTheFirstSheetWithinTheSize) {
    IsolatedEnv env;
    const fs::path doc = env.docs() / "sheets.docx";
    writeDocx(doc, {.picture = false,
                    .paragraphs = shadedParagraph("FF0000", "First sheet") + shadedParagraph("FF0000", "still red") +
                                  "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p>" +
                                  shadedParagraph("0000FF", "Second sheet")});
    const QStringList headless = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    const fs::path png = env.root() / "thumb.png";
    ProcessResult r = runTavin({"--thumbnail", "200", q(png), q(doc)}, headless);
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage image(q(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.height(), 200);
    EXPECT_LE(image.width(), 200);
    EXPECT_GT(countColour(image, QColor(255, 0, 0)), 200);
    EXPECT_EQ(countColour(image, QColor(0, 0, 255)), 0);
    EXPECT_EQ(countColour(image, QColor(128, 128, 128), 10), 0) << "the grey around the sheet is not the sheet";
    EXPECT_GT(countColour(image, QColor(255, 255, 255), 10), image.width() * image.height() / 3);
    // Previews of whole folders stay out of the viewer's cache.
    EXPECT_FALSE(fs::exists(env.cache() / tavin::workFolderKey(doc.string())));

    const struct {
        QStringList args;
        int status;
        const char* message;
    } failures[] = {
        {{"--thumbnail", "0", q(png), q(doc)}, 2, "--thumbnail needs a size from 1 to 2048 pixels"},
        {{"--thumbnail", "200", q(png)}, 2, "--thumbnail needs a size, an output file and a document"},
        {{"--thumbnail", "64", q(env.root() / "no" / "t.png"), q(doc)}, 1, ": Cannot write "},
        {{"--thumbnail", "64", q(png), q(env.root() / "thumb.png")}, 1, "thumb.png is not a Word document (.docx)"},
    };
    for (const auto& f : failures) {
        r = runTavin(f.args, headless);
        EXPECT_EQ(r.status, f.status) << f.args.join(' ').toStdString();
        EXPECT_NE(r.err.find(f.message), std::string::npos) << r.err;
    }
}
