// tavin: the desktop viewer for .docx documents.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QLoggingCategory>

#include "core/signals.h"
#include "package/workfolder.h"
#include "version.h"
#include "viewer/HTMLView.h"
#include "viewer/about.h"
#include "viewer/closesignals.h"
#include "viewer/pdfexport.h"
#include "viewer/sui.h"
#include "viewer/sanitizer_hooks.h"
#include "viewer/thumbnail.h"
#include "viewer/timeline.h"

namespace {

const char* const kUsage =
    "Usage: tavin [FILE.docx...]\n"
    "       tavin --pdf [--no-fidelity | --final] OUT.pdf FILE.docx\n"
    "       tavin --thumbnail SIZE OUT.png FILE.docx\n"
    "       tavin --help | --version\n"
    "\n"
    "Shows Word documents (.docx) in windows, one window for each FILE.docx\n"
    "given (a file named like an option goes after \"--\").\n"
    "\n"
    "  --pdf OUT.pdf FILE.docx  convert FILE.docx and write it as OUT.pdf,\n"
    "                           without a window (no display needed)\n"
    "  --no-fidelity            with --pdf: the classic page only, without\n"
    "                           notes, headers, footers and comments\n"
    "  --final                  with --pdf: tracked changes accepted, the text\n"
    "                           without deletions and change marks\n"
    "  --thumbnail SIZE OUT.png FILE.docx\n"
    "                           write FILE.docx's first sheet as a PNG picture\n"
    "                           of at most SIZE pixels (1 to 2048), without a\n"
    "                           window; exit status as for --pdf\n"
    "  -h, --help               show this text\n"
    "  --version                show the version\n"
    "\n"
    "Exit status of --pdf: 0 when the PDF was written, 1 when the document\n"
    "could not be converted or the PDF not written (the message goes to\n"
    "standard error), 2 for wrong usage.\n";

bool is(const char* arg, const char* option) { return arg && std::strcmp(arg, option) == 0; }

int usageError(const char* message) {
    std::fprintf(stderr, "tavin: %s\n%s", message, kUsage);
    return 2;
}

int exportPdf(const std::string& docx, const QString& pdf, bool fidelity, bool showChanges) {
    // An interrupted export leaves no half-made folder in the cache.
    tavin::cleanUpOnSignals(tavin::removeUnfinishedWorkFolders);
    tavin::ExtractCallbacks callbacks;
    // A broken package may warn thousands of times: ten, then a count.
    constexpr int kShown = 10;
    int warnings = 0;
    callbacks.message = [&docx, &warnings](const std::string&, const std::string& text) {
        if (++warnings <= kShown) std::fprintf(stderr, "tavin: %s: warning: %s\n", docx.c_str(), text.c_str());
    };
    auto moreWarnings = [&] {
        if (warnings > kShown) std::fprintf(stderr, "tavin: %s: warning: and %d more\n", docx.c_str(), warnings - kShown);
    };
    try {
        tavin::exportDocxToPdf(docx, pdf, callbacks, fidelity, showChanges);
    } catch (const std::exception& e) {
        moreWarnings();
        std::fprintf(stderr, "tavin: %s: %s\n", docx.c_str(), e.what());
        return 1;
    }
    moreWarnings();
    return 0;
}

// tavin --thumbnail SIZE OUT.png FILE.docx, as file managers run it.
int exportThumbnail(int argc, char** argv) {
    if (argc != 5) return usageError("--thumbnail needs a size, an output file and a document");
    char* end = nullptr;
    const long size = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || size < 1 || size > tavin::kMaxThumbnailSize)
        return usageError("--thumbnail needs a size from 1 to 2048 pixels");
    tavin::cleanUpOnSignals(tavin::removeUnfinishedThumbnails);
    try {
        tavin::writeDocxThumbnail(argv[4], static_cast<int>(size), QFile::decodeName(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavin: %s: %s\n", argv[4], e.what());
        return 1;
    }
    return 0;
}

// Qt's own options, which QApplication takes out of the arguments; those
// in the first list take a value.
bool isQtOption(const char* arg, bool& takesValue) {
    static const char* const withValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                            "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-display",
                                            "-geometry", "-name", "-title", "-style", "-stylesheet",
                                            "-session", "-qmljsdebugger", "-visual"};
    static const char* const alone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    for (const char* o : withValue) {
        if (is(arg, o)) return takesValue = true;
    }
    for (const char* o : alone) {
        if (is(arg, o)) return !(takesValue = false);
    }
    return false;
}

// Whether Qt can find a display to show windows on; a WAYLAND_DISPLAY alone
// chooses the Wayland platform when it is installed.
bool haveDisplay(bool platformGiven) {
    if (platformGiven || qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) return true;
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if (wayland.isEmpty()) return false;
    // The compositor's socket: the name itself when absolute, else in the
    // runtime folder.
    const QByteArray socket = wayland.startsWith('/') ? wayland : qgetenv("XDG_RUNTIME_DIR") + '/' + wayland;
    struct stat st {};
    if (::stat(socket.constData(), &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
    qputenv("QT_QPA_PLATFORM", "wayland");
    return true;
}

// The engine's reports on graphics, sandbox and fonts say nothing to a
// reader; TAVIN_DEBUG lets them through.
void quietEngine() {
    if (qEnvironmentVariableIsSet("TAVIN_DEBUG")) return;
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false\n"
                                                    "qt.webenginecontext.*=false\n"
                                                    "qt.webengine.*.info=false\n"
                                                    "qt.qpa.gl=false\n"
                                                    "js.*=false"));
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--log-level")) {
        flags += flags.isEmpty() ? "" : " ";
        flags += "--log-level=3";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
}

}  // namespace

int main(int argc, char** argv) {
    tavin::startTimeline();
    const char* first = argc > 1 ? argv[1] : nullptr;
    // Neither needs a display, so both are answered before Qt starts.
    if (is(first, "--help") || is(first, "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (is(first, "--version")) {
        std::printf("tavin %s\n", TAVIN_VERSION);
        return 0;
    }
    // Neither a PDF nor a thumbnail needs a window.
    const bool pdf = is(first, "--pdf") || is(first, "--thumbnail");
    bool platformGiven = false;
    if (!pdf) {
        // Documents, Qt's own options, or "--" before documents named like
        // options; anything else is a mistake, told before Qt starts.
        for (int i = 1; i < argc; ++i) {
            if (is(argv[i], "--")) break;
            if (argv[i][0] != '-' || argv[i][1] == '\0') continue;
            bool takesValue = false;
            if (!isQtOption(argv[i], takesValue)) {
                return usageError((std::string("unknown option ") + argv[i]).c_str());
            }
            if (is(argv[i], "-platform")) platformGiven = true;
            if (takesValue) ++i;
        }
        if (!haveDisplay(platformGiven)) {
            std::fputs("tavin: no display; use tavin --pdf or docx2html\n", stderr);
            return 1;
        }
    }
    // PDF export shows no window: it runs without a display unless told
    // otherwise.
    if (pdf && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    quietEngine();

    // The web engine's sandbox refuses to start for root (containers, CI);
    // there the engine runs without it rather than not at all. The pages
    // Tavin shows run no scripts and load nothing from the network.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }

    // Custom URL schemes must be known before the application object exists,
    // and the web engine wants shared GL contexts from the start.
    tavin::THTMLView::registerScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Qt would keep compiled shaders in a cache folder open to every user
    // (~/.cache/qtshadercache-*); Tavin's own folders are private.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    // WM_CLASS "tavin", "Tavin".
    QApplication app(argc, argv);
    tavin::mark("application made");
    QApplication::setApplicationName(QStringLiteral("Tavin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavin"));

    // QApplication has taken its own options out of argv; the arguments left
    // are kept as the bytes they were given as.
    if (argc > 1 && is(argv[1], "--pdf")) {
        bool fidelity = true, showChanges = true;
        int at = 2;
        for (; at < argc && (is(argv[at], "--no-fidelity") || is(argv[at], "--final")); ++at)
            (is(argv[at], "--final") ? showChanges : fidelity) = false;
        if (argc != at + 2) return usageError("--pdf needs an output file and a document");
        if (!fidelity && !showChanges) return usageError("--final and --no-fidelity cannot be combined");
        return exportPdf(argv[at + 1], QFile::decodeName(argv[at]), fidelity, showChanges);
    }
    if (argc > 1 && is(argv[1], "--thumbnail")) return exportThumbnail(argc, argv);
    QApplication::setWindowIcon(tavin::applicationIcon());
    tavin::closeWindowsOnSignals();

    std::vector<std::string> documents;
    bool afterDashes = false;
    for (int i = 1; i < argc; ++i) {
        if (!afterDashes && is(argv[i], "--")) {
            afterDashes = true;
            continue;
        }
        documents.emplace_back(argv[i]);
    }
    tavin::openStartWindows(documents);
    tavin::mark("windows made");
    return app.exec();
}
