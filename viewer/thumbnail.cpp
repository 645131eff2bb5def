// Thumbnails: the first sheet of the page, as the view draws it.
#include "viewer/thumbnail.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <mutex>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QTimer>
#include <QVariant>
#include <QWebEngineScript>

#include "core/errors.h"
#include "core/fileio.h"
#include "docx2html/context.h"
#include "package/fileKind.h"
#include "viewer/HTMLView.h"
#include "viewer/pdfexport.h"
#include "viewer/sui.h"

namespace tavin {

namespace {

// Every wait on the engine, and the whole rendering, ends within this.
constexpr int kRenderMs = 60000;
// The view is never larger than a sheet of 4000 pixels (about 1 m) a side.
constexpr int kLargestView = 4000;

// Runs the event loop until done() holds, checked every 50 ms; false when
// the time ran out or the renderer went.
bool waitUntil(THTMLView& view, const QElapsedTimer& clock, const std::function<bool()>& done) {
    bool gone = false;
    QEventLoop loop;
    QObject::connect(view.page(), &QWebEnginePage::renderProcessTerminated, &loop, [&] {
        gone = true;
        loop.quit();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > kRenderMs) loop.quit();
    });
    tick.start(50);
    if (!done()) loop.exec();
    return !gone && done();
}

// The first sheet's box in the view (the page box, or the whole body when
// the page has none), measured in the application's own script world: the
// page's scripts stay off.
QRect firstSheet(THTMLView& view, const QElapsedTimer& clock) {
    const QString script = QStringLiteral(
        "(function(){var e=document.querySelector('body>div.page')||document.body;"
        "var r=e.getBoundingClientRect();return [r.left,r.top,r.width,r.height];})()");
    QVariantList box;
    bool answered = false;
    auto alive = std::make_shared<bool>(true);
    view.page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&, alive](const QVariant& v) {
        if (!*alive) return;
        box = v.toList();
        answered = true;
    });
    const bool ok = waitUntil(view, clock, [&] { return answered; });
    *alive = false;
    if (!ok || box.size() != 4) throw Error(kNotRendered);
    return QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble()).toAlignedRect();
}

// The extraction of the thumbnail being made, removed when it is done or
// the program is interrupted.
std::mutex scratchMutex;
std::string scratchFolder;

class Scratch {
public:
    Scratch() {
        std::string templ = withSlash(QDir::tempPath().toStdString()) + "tavin-thumbnail.XXXXXX";
        std::lock_guard<std::mutex> lock(scratchMutex);
        if (!::mkdtemp(templ.data())) throw Error("Cannot create a temporary folder: " + errnoMessage(errno));
        scratchFolder = withSlash(templ);
        path_ = scratchFolder;
    }
    ~Scratch() { removeUnfinishedThumbnails(); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int pixelsOf(const std::string& text, int fallback) {
    bool ok = false;
    const int value = QString::fromStdString(text).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

}  // namespace

void removeUnfinishedThumbnails() {
    std::lock_guard<std::mutex> lock(scratchMutex);
    if (scratchFolder.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(scratchFolder, ec);
    scratchFolder.clear();
}

void writeDocxThumbnail(const std::string& docxPath, int size, const QString& pngPath,
                        const ExtractCallbacks& callbacks) {
    if (size < 1 || size > kMaxThumbnailSize)
        throw Error("The thumbnail size must be from 1 to " + std::to_string(kMaxThumbnailSize) + " pixels");
    struct stat st {};
    if (::stat(docxPath.c_str(), &st) != 0) throw Error(errnoMessage(errno));
    if (!S_ISREG(st.st_mode)) throw Error("Not a regular file");
    if (const std::string wrong = notDocxMessage(docxPath); !wrong.empty()) throw Error(wrong);
    // A file manager asks for the thumbnails of whole folders: they go
    // through a private extraction, not into the viewer's cache.
    const Scratch scratch;
    const std::string folder = scratch.path() + "package/";
    extractConversionParts(docxPath, folder, callbacks);
    ConversionContext ctx;
    ConvertOptions options;
    options.title = titleFromPath(docxPath);
    options.fullFidelity = true;
    options.showPageMargin = true;
    convertPackage(ctx, folder, options);
    const QByteArray page = TForm1::viewPage(folder, ctx.workingText, ctx.documentFolder);
    ctx.workingText.clear();

    // A view as large as the first sheet with the body's margins around it
    // (letter paper where the document names none).
    const int sheetWidth = pixelsOf(ctx.pageWidth, 816) + pixelsOf(ctx.marginLeft, 96) + pixelsOf(ctx.marginRight, 96);
    const int sheetHeight = pixelsOf(ctx.pageHeight, 1056) + pixelsOf(ctx.marginTop, 96) + pixelsOf(ctx.marginBottom, 96);
    const int width = std::min(sheetWidth + 40, kLargestView);
    const int height = std::min(sheetHeight + 60, kLargestView);

    QElapsedTimer clock;
    clock.start();
    THTMLView view;  // never on screen: the platform is offscreen
    view.setLocalRoot(QFile::decodeName(QByteArray::fromStdString(folder)));
    view.resize(width, height);
    view.show();
    bool loaded = false, finished = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&](bool success) {
        if (view.url() != view.textPageUrl()) return;
        finished = true;
        loaded = success;
    });
    view.LoadHTMLText(page);
    if (!waitUntil(view, clock, [&] { return finished; }) || !loaded) throw Error(kNotRendered);
    const QRect sheet = firstSheet(view, clock).intersected(QRect(0, 0, width, height));
    if (sheet.isEmpty()) throw Error(kNotRendered);

    // The engine paints a while after it has loaded, and not all at once:
    // the picture counts once the grey around the page box and the box over
    // it are both there and two grabs in a row are the same.
    QImage shot, previous;
    const QPoint inside = sheet.topLeft() + QPoint(std::min(3, sheet.width() - 1), std::min(3, sheet.height() - 1));
    const bool painted = waitUntil(view, clock, [&] {
        previous = shot;
        shot = view.grab().toImage();
        if (shot.isNull() || !shot.rect().contains(inside) || shot.width() < 2 || shot.height() < 2) return false;
        const QColor corner = shot.pixelColor(1, 1);
        if (corner == QColor(Qt::white) || corner.alpha() != 255 || shot.pixelColor(inside) == corner) return false;
        return shot == previous;
    });
    if (!painted) throw Error(kNotRendered);
    const QImage thumbnail =
        shot.copy(sheet).scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);

    QSaveFile out(pngPath);
    if (!out.open(QIODevice::WriteOnly) || !thumbnail.save(&out, "PNG") || !out.commit())
        throw Error("Cannot write " + QFile::encodeName(pngPath).toStdString());
}

}  // namespace tavin
