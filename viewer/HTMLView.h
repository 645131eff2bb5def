// The embedded HTML view: a web view that shows converted pages from memory
// or from files, runs no scripts of its own pages and loads nothing from the
// network.
#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QTimer>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

class QMimeData;
class QWebEngineProfile;

namespace tavin {

class TPageSchemeHandler;
class TRemoteBlocker;
struct TLocalAccess;

// The page of THTMLView. It shows no dialogs and decides where a navigation
// goes: the view's own loads into the view, "#name" links to the anchor of
// the page shown, clicked http, https and mailto links to the desktop, and
// nothing else anywhere: no sub-frame, no step through the engine's
// history, no redirect, no link to a local file. Back and Forward move
// through the positions links inside the page left (see THTMLView).
class THTMLPage : public QWebEnginePage {
    Q_OBJECT
public:
    THTMLPage(QWebEngineProfile* profile, std::shared_ptr<TLocalAccess> access, QObject* parent);

    // What acceptNavigationRequest decides, callable from outside.
    bool routeNavigation(const QUrl& url, NavigationType type, bool isMainFrame);

    // The next main-frame navigation to url is the view's own.
    void expectLoad(const QUrl& url);

    // Scrolls the page shown to the element with this id or name; when
    // there is one, anchorFollowed tells where the page was before.
    void scrollToAnchor(const QString& name);

    // Back and Forward go through the page's own positions (backRequested,
    // forwardRequested), never to another page; every other action as the
    // engine has it.
    void triggerAction(WebAction action, bool checked = false) override;

signals:
    void anchorFollowed(const QPointF& from);
    void backRequested();
    void forwardRequested();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;

private:
    std::shared_ptr<TLocalAccess> access_;
    QUrl expected_;
    // False from the destructor on: script answers still on their way
    // arrive while the base page goes, when this is no THTMLPage any more.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

public:
    ~THTMLPage() override { *alive_ = false; }
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
    // handed over unchanged, after the view's style sheet when one is set;
    // the page's own declarations decide the character set, and its base
    // element where relative references point.
    void LoadHTMLText(const QByteArray& text);
    // A style sheet given to every page of LoadHTMLText, ahead of its own.
    void setPageStyle(const QString& css);

    // Goes to a local file path, a file: URL or about:blank in the view; an
    // http, https or mailto address opens on the desktop instead, anything
    // else is ignored. A file outside the local root makes its folder the
    // local root.
    void Navigate(const QString& urlOrPath);

    // The folder whose files the pages shown may load (pictures of a work
    // folder, the help page's folder); file: requests anywhere else are
    // refused. Empty: no file at all.
    void setLocalRoot(const QString& folder);
    QString localRoot() const;
    // Whether the view would let a page load url.
    bool mayLoad(const QUrl& url) const;

    THTMLPage* htmlPage() const { return page_; }
    // The address under which the last LoadHTMLText page is served.
    QUrl textPageUrl() const;

    // Zoom in steps; the factor stays with the view for every page it shows.
    // Ctrl+wheel over the view zooms too.
    void zoomIn();
    void zoomOut();
    void resetZoom();
    // Sets the factor and tells zoomChanged.
    void setZoom(qreal factor);
    // The zoom step after factor, one step up (direction > 0) or down.
    static qreal nextZoom(qreal factor, int direction);

    // In-page history: following a link inside the page shown keeps the
    // position it left; Back returns there (Alt+Left, the mouse's and the
    // keyboard's back keys), Forward goes again. A new page starts empty.
    void goBackInPage();
    void goForwardInPage();
    bool canGoBackInPage() const { return !back_.empty(); }
    bool canGoForwardInPage() const { return !forward_.empty(); }

signals:
    void zoomChanged(qreal factor);
    // The in-page history changed.
    void historyChanged();
    // A local .docx file was dropped on the view.
    void docxDropped(const QString& path);
    // A request of a page was refused (remote, outside the local root, a
    // sub-frame or an object).
    void remoteRequestBlocked(const QUrl& url);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void startLoad(const QUrl& url);
    // Scrolls to at and puts where the page was onto stack.
    void moveInPage(const QPointF& at, std::vector<QPointF>& stack);

    std::shared_ptr<TLocalAccess> access_;
    QWebEngineProfile* profile_;
    TPageSchemeHandler* pages_;
    TRemoteBlocker* blocker_;
    THTMLPage* page_;
    // While one of the view's loads is under way, the next is held back
    // until it has finished.
    void releaseLoad();
    bool loading_ = false;
    QTimer loadGuard_;
    QUrl deferred_;
    int wheelZoom_ = 0;  // Ctrl+wheel angle not yet turned into zoom steps
    QByteArray pageStyle_;
    bool painted_ = false;  // since the last load began, for the timeline
    std::vector<QPointF> back_, forward_;
};

// The length of the document type declaration a page opens with
// ("<!DOCTYPE html>"), 0 when it opens with anything else. What the view
// adds to a page goes after it: anything before it would have the engine
// lay the page out in quirks mode.
qsizetype leadingDoctype(const char* text, qsizetype size);

// True for the schemes the view may load from: local files and its own
// pages.
bool isLocalScheme(const QString& scheme);

// Whether a clicked link may go to the desktop's browser or mail client:
// http, https, and mailto without an attach or attachment field.
bool opensOnDesktop(const QUrl& url);

// Whether path lies inside folder (both absolute), read without following
// ".." out of it and, where the file exists, after resolving links.
bool pathInside(const QString& path, const QString& folder);

// The first local .docx file among dragged data, or an empty string.
QString droppedDocx(const QMimeData* data);

}  // namespace tavin
