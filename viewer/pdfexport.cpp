#include "viewer/pdfexport.h"

#include <charconv>
#include <memory>
#include <sys/stat.h>

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPointer>
#include <QPrinter>
#include <QWebEngineScript>

#include "core/errors.h"
#include "docx2html/context.h"
#include "viewer/HTMLView.h"
#include "viewer/sui.h"

namespace tavin {

namespace {

// On paper the page box of the page-margin option would be a page drawn on
// a page: the document's margins become the paper's and the box goes.
constexpr const char* kPrintStyle =
    "@media print{html,body{background:none !important;margin:0 !important}"
    "body>div.page{width:auto !important;min-height:0 !important;padding:0 !important;"
    "margin:0 !important;border:0 !important}}";

// Runs a local event loop until finish() has been called or the page's
// renderer has gone. begin(loop, finish) connects what ends the wait, with
// the loop as context, and starts the work. Returns what finish() said.
template <class Begin>
bool waitFor(THTMLView& view, Begin&& begin) {
    QEventLoop loop;
    bool done = false, ok = false;
    auto finish = [&](bool success) {
        if (done) return;
        done = true;
        ok = success;
        loop.quit();
    };
    QObject::connect(view.page(), &QWebEnginePage::renderProcessTerminated, &loop, [&] { finish(false); });
    begin(&loop, finish);
    if (!done) loop.exec();
    return ok;
}

// Adds the print style to the page shown (in the application's own script
// world: the page's scripts stay off) and waits until it is in.
void addPrintStyle(THTMLView& view) {
    const QString script =
        QStringLiteral("(function(){if(document.getElementById('tavin-print'))return;"
                       "var s=document.createElement('style');s.id='tavin-print';s.textContent='%1';"
                       "(document.head||document.documentElement).appendChild(s);})();")
            .arg(QLatin1String(kPrintStyle));
    QEventLoop loop;
    const QPointer<QEventLoop> waiting(&loop);
    auto done = std::make_shared<bool>(false);  // outlives the wait if the answer comes late
    QObject::connect(view.page(), &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    view.page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [done, waiting](const QVariant&) {
        *done = true;
        if (waiting) waiting->quit();
    });
    if (!*done) loop.exec();
}

int pixels(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

// The engine writes PDF files readable by their owner only; a file the user
// asked for gets the modes the user's umask gives new files.
void applyUmask(const QString& path) {
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) mask = static_cast<mode_t>(value);
                break;
            }
        }
    }
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
}

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

QPageLayout documentPageLayout(const ConversionContext& ctx) {
    // Pixels of 1/96 inch, as the conversion counts them; points are 1/72.
    constexpr double pt = 0.75;
    const int w = pixels(ctx.pageWidth), h = pixels(ctx.pageHeight);
    QSizeF paper = QPageSize(QPageSize::A4).size(QPageSize::Point);
    if (w > 0 && h > 0) paper = QSizeF(w * pt, h * pt);
    const bool landscape = paper.width() > paper.height();
    const QPageSize size(landscape ? paper.transposed() : paper, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    const QSizeF full = landscape ? size.size(QPageSize::Point).transposed() : size.size(QPageSize::Point);

    // Each pair of margins leaves at least half the paper to the text.
    auto margin = [](const std::string& text, double fallback) {
        return text.empty() ? fallback : pixels(text) * pt;
    };
    double top = margin(ctx.marginTop, 72), bottom = margin(ctx.marginBottom, 72);
    double left = margin(ctx.marginLeft, 72), right = margin(ctx.marginRight, 72);
    auto fit = [](double& a, double& b, double length) {
        const double room = length / 2;
        if (a + b > room) {
            const double scale = room / (a + b);
            a *= scale;
            b *= scale;
        }
    };
    fit(top, bottom, full.height());
    fit(left, right, full.width());
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(left, top, right, bottom), QPageLayout::Point);
}

void printViewToPdf(THTMLView& view, const QString& pdfPath, const QPageLayout& layout) {
    // The engine writes the file from a process of its own: it needs the
    // full path.
    const QString target = QFileInfo(pdfPath).absoluteFilePath();
    addPrintStyle(view);
    const bool ok = waitFor(view, [&](QEventLoop* loop, auto& finish) {
        QObject::connect(view.page(), &QWebEnginePage::pdfPrintingFinished, loop,
                         [&finish](const QString&, bool success) { finish(success); });
        view.page()->printToPdf(target, layout);
    });
    if (!ok) throw Error("Cannot write " + localPath(pdfPath));
    applyUmask(target);
}

void printView(THTMLView& view, QPrinter& printer) {
    addPrintStyle(view);
    const bool ok = waitFor(view, [&](QEventLoop* loop, auto& finish) {
        QObject::connect(&view, &QWebEngineView::printFinished, loop, [&finish](bool success) { finish(success); });
        view.print(&printer);
    });
    if (!ok) throw Error("Printing failed");
}

void exportDocxToPdf(const std::string& docxPath, const QString& pdfPath, const ExtractCallbacks& callbacks,
                     bool fullFidelity) {
    ConversionContext ctx;
    ctx.fullFidelity = fullFidelity;
    const std::string folder = openWorkFolder(docxPath, tempRoot(), callbacks);
    ctx.workFolder = folder;
    ctx.docTitle = titleFromPath(docxPath);
    loadParts(ctx);
    convert(ctx);
    const QByteArray page = TForm1::viewPage(folder, ctx.workingText, ctx.documentFolder);
    ctx.workingText.clear();

    THTMLView view;  // never shown
    view.setLocalRoot(QFile::decodeName(QByteArray::fromStdString(folder)));
    const bool loaded = waitFor(view, [&](QEventLoop* loop, auto& finish) {
        QObject::connect(&view, &QWebEngineView::loadFinished, loop, [&view, &finish](bool success) {
            if (view.url() == view.textPageUrl()) finish(success);
        });
        view.LoadHTMLText(page);
    });
    if (!loaded) throw Error("Cannot show the page of " + docxPath);
    printViewToPdf(view, pdfPath, documentPageLayout(ctx));
}

}  // namespace tavin
