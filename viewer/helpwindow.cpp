#include "viewer/helpwindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "viewer/HTMLView.h"

namespace tavin {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Tavin Help"));
    // A size that suits the screen; the user may make it any other.
    QSize size(760, 720);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size);
    setMinimumSize(240, 160);
    // Esc and Ctrl+W close it, wherever its focus is: the web view would
    // take Esc for itself.
    qApp->installEventFilter(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    view = new THTMLView(this);
    view->setObjectName(QStringLiteral("wbHelp"));
    column->addWidget(view);
    // Keys scroll the help page once it is there.
    connect(view, &QWebEngineView::loadFinished, this, [this] {
        if (isActiveWindow()) view->setFocus();
    });
    connect(view, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        if (!title.isEmpty() && !title.startsWith(QLatin1String("file:"))) setWindowTitle(title);
    });
}

bool THelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool closes = key->key() == Qt::Key_Escape ||
                            (key->key() == Qt::Key_W && key->modifiers() == Qt::ControlModifier);
        if (closes && widget && widget->window() == this && isVisible()) {
            // Taken here: the document's window has Ctrl+W too.
            if (event->type() == QEvent::KeyPress) close();
            event->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
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
