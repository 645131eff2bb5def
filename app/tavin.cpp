// tavin: the desktop viewer for .docx documents.
#include <string>

#include <QApplication>

#include "version.h"
#include "viewer/HTMLView.h"
#include "viewer/sui.h"

int main(int argc, char** argv) {
    // Custom URL schemes must be known before the application object exists.
    tavin::THTMLView::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(" Tavin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavin"));

    // QApplication has taken its own options out of argv; the first argument
    // left is the document, kept as the bytes it was given as.
    const std::string document = argc > 1 ? std::string(argv[1]) : std::string();
    tavin::TForm1 form(document);
    form.showMaximized();
    return app.exec();
}
