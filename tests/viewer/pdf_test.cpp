// Printing, Export to PDF, and `tavin --pdf` on the command line.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "docx2html/context.h"
#include "package/workfolder.h"
#include "viewer/HTMLView.h"
#include "viewer/pdfexport.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

bool isPdf(const fs::path& file) {
    std::error_code ec;
    return fs::file_size(file, ec) > 1000 && testutil::readFile(file).rfind("%PDF-", 0) == 0;
}

// The modes a new file gets under this process's umask.
fs::perms newFileModes() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<fs::perms>(0666 & ~mask);
}


class PdfTest : public ::testing::Test {
protected:
    IsolatedEnv env;
};

}  // namespace

TEST_F(PdfTest, PrintAndExportWriteThePageShown) {
    const fs::path doc = env.docs() / "printed.docx";
    writeDocx(doc, {.paragraphs = "<w:p><w:r><w:t>Words on paper</w:t></w:r></w:p>"});
    const fs::path out = env.root() / "out";
    fs::create_directories(out);
    TestForm form;
    int printAsked = 0;
    form.printAnswer = [&](QPrinter* printer) {
        ++printAsked;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(q(out / "printed.pdf"));
        return true;
    };

    // Nothing to print or export before an open: no dialog is shown.
    form.exportAnswers << q(out / "early.pdf");
    form.FileExportPdfItemClick();
    form.FilePrintItemClick();
    EXPECT_EQ(form.exportAnswers.size(), 1);
    EXPECT_EQ(printAsked, 0);
    form.exportAnswers.clear();

    ASSERT_TRUE(openAndWait(form, doc.string()));
    form.exportAnswers << q(out / "exported.pdf");
    form.FileExportPdfItem->trigger();
    ASSERT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_FALSE(form.busy());
    ASSERT_TRUE(isPdf(out / "exported.pdf"));
    EXPECT_EQ(fs::status(out / "exported.pdf").permissions() & fs::perms::mask, newFileModes());
    {  // the text of the PDF, read back with pdftotext
        EXPECT_NE(pdfText(out / "exported.pdf").find("Words on paper"), std::string::npos);
    }

    ASSERT_TRUE(showActive(form));
    const QVariant shown = evaluate(form.wb1, QStringLiteral("document.body.innerHTML"));
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(printAsked, 1);
    ASSERT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_TRUE(isPdf(out / "printed.pdf"));
    // The papers of the print layout were the print's only.
    EXPECT_EQ(evaluate(form.wb1, QStringLiteral("document.body.innerHTML")), shown);

    // A cancelled print dialog prints nothing.
    form.printAnswer = [&](QPrinter*) { return ++printAsked, false; };
    fs::remove(out / "printed.pdf");
    form.FilePrintItemClick();
    EXPECT_EQ(printAsked, 2);
    EXPECT_FALSE(fs::exists(out / "printed.pdf"));

    // A PDF that cannot be written is reported, and the window goes on.
    form.exportAnswers << q(env.root() / "no-such-folder" / "x.pdf");
    form.FileExportPdfItemClick();
    ASSERT_EQ(form.errors.size(), 1);
    EXPECT_TRUE(form.errors[0].startsWith("Cannot write ")) << form.errors[0].toStdString();
    EXPECT_FALSE(form.busy());
}

TEST(DocumentPageLayout, IsTheDocumentsPaper) {
    tavin::ConversionContext ctx;
    // Nothing read: A4 with one-inch margins.
    QPageLayout layout = tavin::documentPageLayout(ctx);
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(layout.margins(QPageLayout::Point), QMarginsF(72, 72, 72, 72));

    // US Letter with 1.25 inch sides, in the conversion's pixels.
    ctx.pageWidth = "816";
    ctx.pageHeight = "1056";
    ctx.marginTop = ctx.marginBottom = "96";
    ctx.marginLeft = ctx.marginRight = "120";
    layout = tavin::documentPageLayout(ctx);
    EXPECT_EQ(layout.pageSize().id(), QPageSize::Letter);
    EXPECT_EQ(layout.orientation(), QPageLayout::Portrait);
    EXPECT_EQ(layout.margins(QPageLayout::Point), QMarginsF(90, 72, 90, 72));

    // Landscape A4; margins that would leave no room are cut down.
    ctx.pageWidth = "1123";
    ctx.pageHeight = "794";
    ctx.marginLeft = ctx.marginRight = "2000";
    layout = tavin::documentPageLayout(ctx);
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    const QMarginsF m = layout.margins(QPageLayout::Point);
    EXPECT_LE(m.left() + m.right(), layout.fullRect(QPageLayout::Point).width() / 2 + 0.01);
    EXPECT_TRUE(layout.isValid());
}

TEST_F(PdfTest, TheCommandLineConvertsToPdfWithoutAWindow) {
    const fs::path doc = env.docs() / "cli.docx";
    writeDocx(doc, {.paragraphs = "<w:p><w:r><w:t>Converted without a window</w:t></w:r>"
                                  "<w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>",
                    .relationships = "<Relationship Id=\"rFn\" Type=\"http://schemas.openxmlformats.org/"
                                     "officeDocument/2006/relationships/footnotes\" Target=\"footnotes.xml\"/>",
                    .parts = {{"word/footnotes.xml",
                               "<w:footnotes xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                               "<w:footnote w:id=\"1\"><w:p><w:r><w:t>A printed footnote</w:t></w:r></w:p>"
                               "</w:footnote></w:footnotes>"}}});
    const fs::path pdf = env.root() / "cli out.pdf";

    // No platform named and no display: --pdf needs neither.
    const QStringList headless = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)}, headless);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(isPdf(pdf)) << r.err;
    {  // the text of the PDF, read back with pdftotext
        EXPECT_NE(pdfText(pdf).find("Converted without a window"), std::string::npos);
        EXPECT_NE(pdfText(pdf).find("A printed footnote"), std::string::npos);
    }
    // It went through the viewer's cache, as an open does.
    EXPECT_TRUE(fs::exists(env.cache() / tavin::workFolderKey(doc.string()) / "word" / "document.xml"));

    // A document that is not a package: status 1, the window's message.
    const fs::path bad = env.docs() / "bad.docx";
    testutil::writeFile(bad, "plain text");
    const fs::path badPdf = env.root() / "bad.pdf";
    r = runTavin({"--pdf", q(badPdf), q(bad)}, headless);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tavin: " + bad.string() + ": bad.docx is not a Word document (.docx)\n"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(badPdf));
    // A PDF that cannot be written.
    r = runTavin({"--pdf", q(env.root() / "missing" / "x.pdf"), q(doc)}, headless);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(": Cannot write "), std::string::npos) << r.err;
    // The classic page only.
    r = runTavin({"--pdf", "--no-fidelity", q(pdf), q(doc)}, headless);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isPdf(pdf));
    {  // the text of the PDF, read back with pdftotext
        EXPECT_EQ(pdfText(pdf).find("A printed footnote"), std::string::npos);
    }
    // Wrong usage.
    r = runTavin({"--pdf", q(pdf)}, headless);
    EXPECT_EQ(r.status, 2);
    r = runTavin({"--pdf", "--no-fidelity", q(pdf)}, headless);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: tavin"), std::string::npos);

    // --help and --version answer without starting Qt (a platform that
    // cannot start would abort otherwise).
    const QStringList broken = {"QT_QPA_PLATFORM=xcb", "DISPLAY", "WAYLAND_DISPLAY"};
    r = runTavin({"--help"}, broken);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("tavin --pdf [--no-fidelity | --final] OUT.pdf FILE.docx"), std::string::npos) << r.out;
    r = runTavin({"--version"}, broken);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(QRegularExpression("^tavin \\d+\\.\\d+\\.\\d+\\n$").match(QString::fromStdString(r.out)).hasMatch())
        << r.out;
}

// Each section prints on its own paper, and a table wider than the text
// column runs into the margin instead of shrinking the print.
TEST_F(PdfTest, SectionsPrintOnTheirPaperAtTheirSize) {
    const fs::path doc = env.docs() / "sections.docx";
    const std::string wide = "<w:tbl><w:tblPr><w:tblW w:w=\"13000\" w:type=\"dxa\"/></w:tblPr><w:tblGrid>"
                             "<w:gridCol w:w=\"13000\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"13000\" "
                             "w:type=\"dxa\"/></w:tcPr><w:p><w:r><w:t>Wide</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    writeDocx(doc, {.picture = false,
                    .paragraphs = wide + "<w:p><w:pPr><w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>"
                                  "</w:pPr><w:r><w:rPr><w:sz w:val=\"24\"/></w:rPr><w:t>Portrait</w:t></w:r></w:p>"
                                  "<w:p><w:pPr><w:sectPr><w:pgSz w:w=\"16838\" w:h=\"11906\" "
                                  "w:orient=\"landscape\"/></w:sectPr></w:pPr><w:r><w:rPr><w:sz w:val=\"24\"/>"
                                  "</w:rPr><w:t>Landscape</w:t></w:r></w:p>"
                                  "<w:p><w:pPr><w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:pPr>"
                                  "<w:r><w:rPr><w:sz w:val=\"24\"/></w:rPr><w:t>Again</w:t></w:r></w:p>"});
    const fs::path pdf = env.root() / "sections.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string info = popplerOutput("pdfinfo", {"-f", "1", "-l", "4", QString::fromStdString(pdf.string())});
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    1 size:  594.96 x 841.92 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    2 size:  840.96 x 594.96 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    3 size:  594.96 x 841.92 pts (A4)"), std::string::npos) << info;
    // 12 pt text keeps its size on each paper, the landscape one too (the
    // papers are printed apart and joined in order): a word's box is over
    // 10 pt high.
    for (const auto& [page, text] : {std::pair{"1", "Portrait"}, std::pair{"2", "Landscape"}, std::pair{"3", "Again"}}) {
        const std::string boxes =
            popplerOutput("pdftotext", {"-bbox", "-f", page, "-l", page, QString::fromStdString(pdf.string()), "-"});
        const QRegularExpressionMatch word =
            QRegularExpression(QStringLiteral(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">%1<)re").arg(text))
                .match(QString::fromStdString(boxes));
        ASSERT_TRUE(word.hasMatch()) << page << boxes;
        EXPECT_GT(word.captured(2).toDouble() - word.captured(1).toDouble(), 10.0) << page << boxes;
    }
}

// A sheet longer than the paper prints on several papers, each with its
// header at the top, its footer at the paper's foot and its own number in
// its section's numbering.
TEST_F(PdfTest, ALongSheetPrintsEachPaperWithItsHeaderFooterAndNumber) {
    if (!havePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
    const fs::path doc = env.docs() / "long.docx";
    std::string body;
    for (int i = 0; i < 150; ++i) body += "<w:p><w:r><w:t>Line " + std::to_string(i) + " of the long text</w:t></w:r></w:p>";
    const std::string ns = " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
    const std::string type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    writeDocx(doc, {.picture = false,
                    .paragraphs = body + "<w:p><w:pPr><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rH\"/>"
                                         "<w:headerReference w:type=\"even\" r:id=\"rE\"/>"
                                         "<w:footerReference w:type=\"default\" r:id=\"rF\"/><w:pgSz w:w=\"11906\" "
                                         "w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" "
                                         "w:left=\"1440\"/><w:pgNumType w:start=\"4\" w:fmt=\"lowerRoman\"/></w:sectPr>"
                                         "</w:pPr></w:p>",
                    .relationships = "<Relationship Id=\"rH\" Type=\"" + type + "header\" Target=\"header1.xml\"/>"
                                     "<Relationship Id=\"rF\" Type=\"" + type + "footer\" Target=\"footer1.xml\"/>"
                                     "<Relationship Id=\"rE\" Type=\"" + type + "header\" Target=\"header2.xml\"/>"
                                     "<Relationship Id=\"rS\" Type=\"" + type + "settings\" Target=\"settings.xml\"/>",
                    .parts = {{"word/header1.xml", "<w:hdr" + ns + "><w:p><w:r><w:t>Running head</w:t></w:r></w:p></w:hdr>"},
                              {"word/header2.xml", "<w:hdr" + ns + "><w:p><w:r><w:t>Even head</w:t></w:r></w:p></w:hdr>"},
                              {"word/settings.xml", "<w:settings" + ns + "><w:evenAndOddHeaders/></w:settings>"},
                              {"word/footer1.xml", "<w:ftr" + ns + "><w:p><w:r><w:t xml:space=\"preserve\">Folio </w:t></w:r>"
                                                   "<w:fldSimple w:instr=\" PAGE \"><w:r><w:t>1</w:t></w:r></w:fldSimple>"
                                                   "</w:p></w:ftr>"}}});
    const fs::path pdf = env.root() / "long.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string info = popplerOutput("pdfinfo", {QString::fromStdString(pdf.string())});
    const QRegularExpressionMatch pages = QRegularExpression(R"(Pages:\s+(\d+))").match(QString::fromStdString(info));
    ASSERT_TRUE(pages.hasMatch()) << info;
    const int n = pages.captured(1).toInt();
    EXPECT_GE(n, 3) << info;
    // Numbered from iv, as the section says: papers of even numbers have
    // the even header and no footer (the section has no even one), the
    // others the default ones.
    const char* const roman[] = {"iv", "v", "vi", "vii", "viii", "ix", "x", "xi"};
    for (int k = 1; k <= n && k <= 8; ++k) {
        const QString page = QString::number(k);
        const std::string boxes = popplerOutput(
            "pdftotext", {"-bbox", "-f", page, "-l", page, QString::fromStdString(pdf.string()), "-"});
        const bool even = k % 2 == 1;
        EXPECT_NE(boxes.find(even ? ">Even<" : ">Running<"), std::string::npos) << "paper " << k;
        // The header in the top margin, half an inch from the paper's top
        // (the distance Word takes when the section says none); the text
        // from the margin down.
        const QString text = QString::fromStdString(boxes);
        const QRegularExpressionMatch head = QRegularExpression(R"re(yMin="([\d.]+)"[^>]*>(Running|Even)<)re").match(text);
        const QRegularExpressionMatch line = QRegularExpression(R"re(yMin="([\d.]+)"[^>]*>Line<)re").match(text);
        ASSERT_TRUE(head.hasMatch() && line.hasMatch()) << boxes;
        EXPECT_NEAR(head.captured(1).toDouble(), 36.0, 2.0) << "paper " << k;
        EXPECT_GE(line.captured(1).toDouble(), 71.0) << "paper " << k;
        if (even) {
            EXPECT_EQ(boxes.find(">Folio<"), std::string::npos) << "paper " << k;
            continue;
        }
        // The number in the foot margin, below every line of text (A4 is
        // 842 pt high, its margin 72 pt).
        const QRegularExpressionMatch folio =
            QRegularExpression(R"re(yMin="([\d.]+)"[^>]*>Folio</word>\s*<word[^>]*>(\w+)<)re").match(QString::fromStdString(boxes));
        ASSERT_TRUE(folio.hasMatch()) << boxes;
        EXPECT_EQ(folio.captured(2).toStdString(), roman[k - 1]);
        EXPECT_GT(folio.captured(1).toDouble(), 770.0) << "paper " << k;
    }
}

// A table longer than the paper starts on the paper of the text before it
// and goes on row by row on the next ones.
TEST_F(PdfTest, ALongTableStartsBelowTheTextBeforeIt) {
    if (!havePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
    const fs::path doc = env.docs() / "table.docx";
    std::string rows;
    for (int i = 0; i < 90; ++i) rows += "<w:tr><w:tc><w:p><w:r><w:t>Row " + std::to_string(i) + "</w:t></w:r></w:p></w:tc></w:tr>";
    const std::string ns = " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
    writeDocx(doc, {.picture = false,
                    .paragraphs = "<w:p><w:r><w:t>Contents</w:t></w:r></w:p><w:tbl>" + rows +
                                  "</w:tbl><w:p><w:pPr><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rH\"/>"
                                  "<w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:pPr></w:p>",
                    .relationships = "<Relationship Id=\"rH\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                                     "relationships/header\" Target=\"header1.xml\"/>",
                    .parts = {{"word/header1.xml", "<w:hdr" + ns + "><w:p><w:r><w:t>Head</w:t></w:r></w:p></w:hdr>"}}});
    const fs::path pdf = env.root() / "table.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = popplerOutput("pdftotext", {"-f", "1", "-l", "1", q(pdf), "-"});
    EXPECT_NE(first.find("Contents"), std::string::npos) << first;
    EXPECT_NE(first.find("Row 0\n"), std::string::npos) << first;
    EXPECT_NE(popplerOutput("pdftotext", {q(pdf), "-"}).find("Row 89"), std::string::npos);
}

// A shape placed on the page prints where its offsets put it, and a
// chart's bars inside its frame, each in its colour.
TEST_F(PdfTest, ShapesAndChartsPrintInPlaceInTheirColour) {
    const fs::path doc = env.docs() / "shape.docx";
    const std::string inch = "914400";
    writeDocx(doc, {.picture = false,
                    .paragraphs = "<w:p><w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"page\">"
                                  "<wp:posOffset>" + inch + "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\">"
                                  "<wp:posOffset>2743200</wp:posOffset></wp:positionV><wp:extent cx=\"" + inch + "\" cy=\"" +
                                  inch + "\"/><wp:wrapNone/><a:graphic><a:graphicData><wps:wsp><wps:spPr>"
                                  "<a:prstGeom prst=\"rect\"/><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill>"
                                  "<a:ln><a:noFill/></a:ln></wps:spPr></wps:wsp></a:graphicData></a:graphic></wp:anchor>"
                                  "</w:drawing></w:r><w:r><w:t>Shaped</w:t></w:r></w:p>"});
    const fs::path pdf = env.root() / "shape.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;
    // At 72 pixels an inch: the square from (72, 216) to (144, 288).
    const fs::path png = env.root() / "shape";
    popplerOutput("pdftoppm", {"-r", "72", "-f", "1", "-l", "1", "-singlefile", "-png", q(pdf), q(png)});
    const QImage page(q(png) + ".png");
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.pixelColor(108, 252), QColor(0, 0, 255));
    for (const QPoint outside : {QPoint(60, 252), QPoint(156, 252), QPoint(108, 204), QPoint(108, 300)})
        EXPECT_NE(page.pixelColor(outside), QColor(0, 0, 255)) << outside.x() << "," << outside.y();
    EXPECT_NEAR(countColour(page, QColor(0, 0, 255), 10), 72 * 72, 300);

    // A chart's bars in their series' colour, inside the chart's frame.
    const std::string chart =
        "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" xmlns:a=\"http://schemas."
        "openxmlformats.org/drawingml/2006/main\"><c:chart><c:plotArea><c:barChart><c:barDir val=\"col\"/><c:ser>"
        "<c:spPr><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill></c:spPr><c:val><c:numLit><c:ptCount val=\"2\"/>"
        "<c:pt idx=\"0\"><c:v>4</c:v></c:pt><c:pt idx=\"1\"><c:v>8</c:v></c:pt></c:numLit></c:val></c:ser>"
        "</c:barChart></c:plotArea></c:chart></c:chartSpace>";
    writeDocx(doc, {.picture = false,
                    .paragraphs = "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"2743200\" cy=\"1828800\"/><a:graphic>"
                                  "<a:graphicData><c:chart r:id=\"rChart\"/></a:graphicData></a:graphic></wp:inline>"
                                  "</w:drawing></w:r></w:p>",
                    .relationships = "<Relationship Id=\"rChart\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
                                     "2006/relationships/chart\" Target=\"charts/chart1.xml\"/>",
                    .parts = {{"word/charts/chart1.xml", chart}}});
    ASSERT_EQ(runTavin({"--pdf", q(pdf), q(doc)}).status, 0);
    popplerOutput("pdftoppm", {"-r", "72", "-f", "1", "-l", "1", "-singlefile", "-png", q(pdf), q(png)});
    const QImage charted(q(png) + ".png");
    ASSERT_FALSE(charted.isNull());
    const int red = countColour(charted, QColor(255, 0, 0), 10);
    EXPECT_GT(red, 1000);                  // two bars, the taller up to most of the frame's height
    EXPECT_LT(red, 3 * 72 * 2 * 72 / 2);  // within its 3 by 2 inch frame
}

TEST_F(PdfTest, TheTablesOfAPublicDocumentReachThePdf) {
    const fs::path corpus = testutil::corpusDir();
    if (corpus.empty() || !fs::exists(corpus / "pandoc" / "tables.docx")) GTEST_SKIP() << "no public test documents";
    ASSERT_TRUE(havePdfToText()) << "pdftotext is not installed (scripts/install-deps installs poppler-utils)";
    const fs::path doc = corpus / "pandoc" / "tables.docx";
    const fs::path pdf = env.root() / "tables.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;

    // Every word of every table cell, as the package holds them.
    const fs::path parts = env.root() / "parts";
    tavin::extractPackage(doc.string(), parts.string() + "/");
    const std::string xml = testutil::readFile(parts / "word" / "document.xml");
    QStringList words;
    const QRegularExpression table("<w:tbl>.*?</w:tbl>", QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression text("<w:t(?: [^>]*)?>([^<]*)</w:t>");
    for (auto t = table.globalMatch(QString::fromStdString(xml)); t.hasNext();) {
        const QString tableXml = t.next().captured(0);
        for (auto m = text.globalMatch(tableXml); m.hasNext();) {
            words << m.next().captured(1).split(' ', Qt::SkipEmptyParts);
        }
    }
    ASSERT_GT(words.size(), 20);
    const QString shown = QString::fromStdString(pdfText(pdf));
    for (const QString& w : words) EXPECT_TRUE(shown.contains(w)) << w.toStdString();
}

// Fonts a Linux desktop lacks print in the stand-ins of their kind that
// scripts/install-deps installs, never in the browser's default serif face.
TEST_F(PdfTest, FontsWithoutTheirOwnFacePrintInStandInsOfTheirKind) {
    const fs::path doc = env.docs() / "fonts.docx";
    std::string paragraphs;
    for (const char* font : {"Verdana", "Consolas", "Tahoma"})
        paragraphs += std::string("<w:p><w:r><w:rPr><w:rFonts w:ascii=\"") + font + "\" w:hAnsi=\"" + font +
                      "\"/></w:rPr><w:t>" + font + " words</w:t></w:r></w:p>";
    writeDocx(doc, {.paragraphs = paragraphs});
    const fs::path pdf = env.root() / "fonts.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(pdfText(pdf).find("Consolas words"), std::string::npos);
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {q(pdf)});
    ASSERT_TRUE(fonts.waitForFinished(60000)) << "pdffonts (poppler-utils) did not run";
    const std::string list = fonts.readAllStandardOutput().toStdString();
    for (const char* face : {"+DejaVuSans ", "+DejaVuSansMono ", "+DejaVuSansCondensed "})
        EXPECT_NE(list.find(face), std::string::npos) << face << "\n" << list;
    EXPECT_EQ(list.find("DejaVuSerif"), std::string::npos) << list;
}

// Two columns after a one-column title: the text after a column break
// prints at the top of the second column, on the first column's first line.
TEST_F(PdfTest, SectionColumnsPrintSideBySide) {
    const fs::path doc = env.docs() / "columns.docx";
    const auto para = [](const std::string& text, const std::string& pPr = "") {
        return "<w:p><w:pPr>" + pPr + "</w:pPr><w:r><w:t>" + text + "</w:t></w:r></w:p>";
    };
    const std::string page = "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
                             "w:bottom=\"1440\" w:left=\"1440\"/>";
    writeDocx(doc, {.picture = false,
                    .paragraphs = para("Title", "<w:sectPr>" + page + "</w:sectPr>") + para("Leftside") +
                                  "<w:p><w:r><w:br w:type=\"column\"/><w:t>Rightside</w:t></w:r></w:p>" +
                                  para("End", "<w:sectPr><w:type w:val=\"continuous\"/>" + page +
                                                  "<w:cols w:num=\"2\" w:space=\"720\"/></w:sectPr>")});
    const fs::path pdf = env.root() / "columns.pdf";
    const ProcessResult r = runTavin({"--pdf", q(pdf), q(doc)});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = popplerOutput("pdftotext", {"-layout", "-f", "1", "-l", "1", q(pdf), "-"});
    EXPECT_TRUE(QRegularExpression("Leftside +Rightside").match(QString::fromStdString(text)).hasMatch()) << text;
    EXPECT_FALSE(QRegularExpression("Title +\\S").match(QString::fromStdString(text)).hasMatch()) << text;
}
