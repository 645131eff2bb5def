#include "viewer/viewer_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "package/zipwriter.h"
#include "viewer/HTMLView.h"

namespace fs = std::filesystem;

namespace viewertest {

void setProcessHome(const std::string& home) {
    qputenv("HOME", QByteArray::fromStdString(home));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home + "/.config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home + "/.local/share"));
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(home + "/.cache"));
    qputenv("TAVIN_CACHE_DIR", QByteArray::fromStdString(home + "/cache"));
}

IsolatedEnv::IsolatedEnv() {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "TAVIN_CACHE_DIR"}) {
        saved_.emplace_back(name, qgetenv(name));
    }
    for (const auto& p : {config(), data(), cache(), docs()}) fs::create_directories(p);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config().string()));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data().string()));
    qputenv("TAVIN_CACHE_DIR", QByteArray::fromStdString(cache().string()));
}

IsolatedEnv::~IsolatedEnv() {
    for (const auto& [name, value] : saved_) qputenv(name, value);
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

LoadTracker::LoadTracker(QWebEngineView* view) : view_(view) {
    QObject::connect(view, &QWebEngineView::loadFinished, &context_,
                     [this](bool ok) { loads.emplace_back(view_->url(), ok); });
}

bool LoadTracker::waitForUrl(const QUrl& url, int timeoutMs) {
    const QUrl want = url.adjusted(QUrl::RemoveFragment);
    const bool ok = waitFor(
        [&] {
            for (const auto& [u, loaded] : loads) {
                if (loaded && u.adjusted(QUrl::RemoveFragment) == want) return true;
            }
            return false;
        },
        timeoutMs);
    if (!ok) {
        std::fprintf(stderr, "waited for %s; loads:", qPrintable(want.toString()));
        for (const auto& [u, good] : loads) std::fprintf(stderr, " %s(%d)", qPrintable(u.toString()), good);
        std::fprintf(stderr, "\n");
    }
    return ok;
}

std::string pngBytes(const QColor& colour, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string docxBytes(const DocxFixture& fixture) {
    const std::string ns =
        "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
        "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
    std::string body = "<w:p><w:r><w:t>Fixture document text</w:t></w:r></w:p>";
    if (fixture.picture) {
        body +=
            "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"1143000\" cy=\"1143000\"/><a:graphic><a:graphicData>"
            "<pic:pic><pic:blipFill><a:blip r:embed=\"rId3\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
            "</wp:inline></w:drawing></w:r></w:p>";
    }
    body += fixture.paragraphs;
    const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document " + ns +
                                 "><w:body>" + body +
                                 "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
                                 "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr></w:body></w:document>";
    const std::string rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
        "Target=\"media/image1.png\"/>" +
        fixture.relationships + "</Relationships>";
    const std::string core =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<cp:coreProperties "
        "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><dc:title>" +
        fixture.title + "</dc:title><dc:creator>" + fixture.creator +
        "</dc:creator><dcterms:created xsi:type=\"dcterms:W3CDTF\">" + fixture.created +
        "</dcterms:created></cp:coreProperties>";
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";

    ziptest::Archive archive;
    auto add = [&](const std::string& name, const std::string& data) {
        ziptest::Entry e;
        e.name = name;
        e.data = data;
        archive.entries.push_back(e);
    };
    add("[Content_Types].xml", types);
    add("docProps/core.xml", core);
    add("word/document.xml", document);
    add("word/_rels/document.xml.rels", rels);
    if (fixture.picture) add("word/media/image1.png", pngBytes(fixture.pictureColour, 40, 40));
    for (const auto& [name, text] : fixture.parts) add(name, text);
    for (const ziptest::Entry& e : fixture.extraEntries) archive.entries.push_back(e);
    return ziptest::build(archive).bytes;
}

void writeDocx(const fs::path& file, const DocxFixture& fixture) { testutil::writeFile(file, docxBytes(fixture)); }

int countColour(const QImage& image, const QColor& colour, int tolerance) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (std::abs(qRed(line[x]) - colour.red()) <= tolerance &&
                std::abs(qGreen(line[x]) - colour.green()) <= tolerance &&
                std::abs(qBlue(line[x]) - colour.blue()) <= tolerance) {
                ++n;
            }
        }
    }
    return n;
}

bool waitForColour(QWidget* view, const QColor& colour, int minPixels, int timeoutMs) {
    return waitFor([&] { return countColour(view->grab().toImage(), colour) >= minPixels; }, timeoutMs);
}

bool openAndWait(TestForm& form, const std::string& path) {
    LoadTracker tracker(form.wb1);
    form.openAnswers << QFile::decodeName(QByteArray::fromStdString(path));
    const int errorsBefore = static_cast<int>(form.errors.size());
    form.FileOpenItemClick();
    if (form.errors.size() != errorsBefore) return false;
    return tracker.waitForUrl(form.wb1->textPageUrl());
}

bool showActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

QVariant evaluate(QWebEngineView* view, const QString& script) {
    // The answer may come after the wait has given up.
    auto answer = std::make_shared<std::pair<bool, QVariant>>();
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [answer](const QVariant& v) { *answer = {true, v}; });
    if (!waitFor([&] { return answer->first; })) return {};
    return answer->second;
}

bool havePdfToText() { return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(); }

std::string pdfText(const fs::path& pdf) {
    // scripts/install-deps installs it: a missing one fails the check, it
    // never drops it.
    if (!havePdfToText()) {
        ADD_FAILURE() << "pdftotext is not installed (scripts/install-deps installs poppler-utils)";
        return {};
    }
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf.string()), QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).simplified().toStdString();
}

std::string popplerOutput(const QString& tool, const QStringList& args) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        ADD_FAILURE() << tool.toStdString() << " is not installed (scripts/install-deps installs poppler-utils)";
        return {};
    }
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).toStdString();
}

ProcessResult runTavin(const QStringList& args, const QStringList& env) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : env) {
        const qsizetype eq = entry.indexOf('=');
        if (eq < 0) {
            e.remove(entry);
        } else {
            e.insert(entry.left(eq), entry.mid(eq + 1));
        }
    }
    p.setProcessEnvironment(e);
    p.start(QStringLiteral(TAVIN_BINARY_DIR "/tavin"), args);
    ProcessResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

}  // namespace viewertest
