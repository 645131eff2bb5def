// floorview: the least a Qt WebEngine program does to show a page, to
// compare the viewer with: one maximized window holding one web view that
// loads PAGE.html from its file. What it takes to the first painted screen
// is the floor of any web view on the machine.
//
// Usage: floorview PAGE.html [RELOADS]
//
// With RELOADS, once the page has loaded it is loaded again RELOADS times,
// one after the other, and each load's time from the request to the end of
// the load is printed ("reload MS"), as the viewer's timeline prints its
// own; then the program ends.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: floorview PAGE.html [RELOADS]\n", stderr);
        return 2;
    }
    // As the viewer: the sandbox cannot start for root.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QUrl page = QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    int reloads = argc > 2 ? std::atoi(argv[2]) : 0;
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("Floor - ") + page.fileName());
    QElapsedTimer clock;
    bool first = true;
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&](bool) {
        if (!first) std::printf("reload %lld\n", static_cast<long long>(clock.elapsed()));
        std::fflush(stdout);
        first = false;
        if (reloads-- <= 0) {
            if (argc > 2) app.quit();
            return;
        }
        // A moment between loads, as between two key presses.
        QTimer::singleShot(300, &view, [&] {
            clock.start();
            view.load(page);
        });
    });
    view.load(page);
    view.showMaximized();
    return app.exec();
}
