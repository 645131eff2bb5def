#include "viewer/helpwindow.h"

#include <QFileInfo>
#include <QVBoxLayout>

#include "viewer/HTMLView.h"

namespace tavin {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Tavin Help"));
    resize(640, 600);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    view = new THTMLView(this);
    view->setObjectName(QStringLiteral("wbHelp"));
    column->addWidget(view);
    connect(view, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        if (!title.isEmpty() && !title.startsWith(QLatin1String("file:"))) setWindowTitle(title);
    });
}

void THelpWindow::showHelp(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (view->url().adjusted(QUrl::RemoveFragment) != url) view->Navigate(path);
    show();
    raise();
    activateWindow();
    view->setFocus();
}

}  // namespace tavin
