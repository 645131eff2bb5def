// The embedded HTML view: a web view that shows converted pages from memory
// or from files, runs no scripts of its own pages and loads nothing from the
// network.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

class QMimeData;
class QWebEngineProfile;

namespace tavin {

class TPageSchemeHandler;
class TRemoteBlocker;

// The page of THTMLView. It shows no dialogs and decides where a navigation
// goes: web addresses to the desktop's browser, "#name" links to the anchor
// of the page shown, everything local into the view.
class THTMLPage : public QWebEnginePage {
    Q_OBJECT
public:
    THTMLPage(QWebEngineProfile* profile, QObject* parent);

    // What acceptNavigationRequest decides, callable from outside.
    bool routeNavigation(const QUrl& url, NavigationType type, bool isMainFrame);

    // Scrolls the page shown to the element with this id or name.
    void scrollToAnchor(const QString& name);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
};

class THTMLView : public QWebEngineView {
    Q_OBJECT
public:
    // The scheme under which pages given as bytes are served. Registered by
    // registerScheme, which must run before the QApplication is created.
    static constexpr const char* kPageScheme = "tavin-page";
    static void registerScheme();

    explicit THTMLView(QWidget* parent = nullptr);
    ~THTMLView() override;

    // Shows a complete HTML page given as bytes, of any size. The bytes are
    // handed over unchanged; the page's own declarations decide the
    // character set, and its base element where relative references point.
    void LoadHTMLText(const QByteArray& text);

    // Goes to a local file path, a file:, about: or other local URL in the
    // view; a web address opens in the desktop's browser instead.
    void Navigate(const QString& urlOrPath);

    THTMLPage* htmlPage() const { return page_; }
    // The address under which the last LoadHTMLText page is served.
    QUrl textPageUrl() const;

    // Zoom in steps; the factor stays with the view for every page it shows.
    // Ctrl+wheel over the view zooms too.
    void zoomIn();
    void zoomOut();
    void resetZoom();
    // The zoom step after factor, one step up (direction > 0) or down.
    static qreal nextZoom(qreal factor, int direction);

signals:
    // A local .docx file was dropped on the view.
    void docxDropped(const QString& path);
    // A request for a resource that is not local was refused.
    void remoteRequestBlocked(const QUrl& url);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void startLoad(const QUrl& url);

    QWebEngineProfile* profile_;
    TPageSchemeHandler* pages_;
    TRemoteBlocker* blocker_;
    THTMLPage* page_;
    // While about:blank loads, a new load is held back until it has finished.
    bool blankLoading_ = false;
    QUrl deferred_;
    int wheelZoom_ = 0;  // Ctrl+wheel angle not yet turned into zoom steps
};

// True for the schemes the view may load from: local files, its own pages
// and the browser's built-in documents.
bool isLocalScheme(const QString& scheme);

// The first local .docx file among dragged data, or an empty string.
QString droppedDocx(const QMimeData* data);

}  // namespace tavin
