#include "viewer/HTMLView.h"

#include <array>
#include <functional>
#include <utility>

#include <QBuffer>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QWheelEvent>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace tavin {

bool isLocalScheme(const QString& scheme) {
    static const QStringList local = {"file", THTMLView::kPageScheme, "about", "data", "blob", "qrc"};
    return local.contains(scheme, Qt::CaseInsensitive);
}

namespace {

bool opensInBrowser(const QString& scheme) {
    static const QStringList web = {"http", "https", "ftp", "mailto"};
    return web.contains(scheme, Qt::CaseInsensitive);
}

constexpr std::array<qreal, 17> kZoomSteps = {0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                              1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0, 5.0};

}  // namespace

QString droppedDocx(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (path.endsWith(QStringLiteral(".docx"), Qt::CaseInsensitive) && QFileInfo(path).isFile()) return path;
    }
    return {};
}

// Serves the last page given to LoadHTMLText. Each page gets an address of
// its own, so a new page is a new document and never a reload of the old.
class TPageSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    QUrl setPage(const QByteArray& page) {
        page_ = page;
        ++serial_;
        return url();
    }
    QUrl url() const { return QUrl(QString::fromLatin1("%1:page/%2").arg(THTMLView::kPageScheme).arg(serial_)); }

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        if (serial_ == 0 || job->requestUrl().adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) != url()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(job);
        buffer->setData(page_);  // shares the bytes, no copy
        buffer->open(QIODevice::ReadOnly);
        job->reply("text/html", buffer);
    }

private:
    QByteArray page_;
    quint64 serial_ = 0;
};

// Refuses every request for a resource that is not local.
class TRemoteBlocker : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (isLocalScheme(info.requestUrl().scheme())) return;
        info.block(true);
        if (onBlocked) onBlocked(info.requestUrl());
    }

    std::function<void(const QUrl&)> onBlocked;
};

THTMLPage::THTMLPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
}

bool THTMLPage::routeNavigation(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!isMainFrame) return isLocalScheme(url.scheme());
    const bool clicked = type == NavigationTypeLinkClicked;
    if (clicked && url.hasFragment()) {
        // The base element points "#name" at the package folder; within the
        // page shown, a fragment link means its anchor.
        const bool samePage = url.adjusted(QUrl::RemoveFragment) == this->url().adjusted(QUrl::RemoveFragment);
        const bool folder = url.isLocalFile() && url.path().endsWith(QLatin1Char('/'));
        if (samePage || folder) {
            scrollToAnchor(url.fragment(QUrl::FullyDecoded));
            return false;
        }
    }
    if (!isLocalScheme(url.scheme())) {
        if (clicked && opensInBrowser(url.scheme())) QDesktopServices::openUrl(url);
        return false;
    }
    return true;
}

void THTMLPage::scrollToAnchor(const QString& name) {
    // Runs in the application's own script world: the page's scripts stay off.
    const QString arg = QString::fromUtf8(QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact));
    runJavaScript(QStringLiteral("(function(n){var e=document.getElementById(n)||document.getElementsByName(n)[0];"
                                 "if(e)e.scrollIntoView();})(%1[0]);")
                      .arg(arg),
                  QWebEngineScript::ApplicationWorld);
}

bool THTMLPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    return routeNavigation(url, type, isMainFrame);
}

QWebEnginePage* THTMLPage::createWindow(WebWindowType) { return nullptr; }
void THTMLPage::javaScriptAlert(const QUrl&, const QString&) {}
bool THTMLPage::javaScriptConfirm(const QUrl&, const QString&) { return false; }
bool THTMLPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) { return false; }
void THTMLPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) {}

void THTMLView::registerScheme() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    QWebEngineUrlScheme scheme(kPageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Local access lets a page served from memory show file: pictures.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

THTMLView::THTMLView(QWidget* parent)
    : QWebEngineView(parent),
      profile_(new QWebEngineProfile(this)),  // off the record: nothing kept on disk
      pages_(new TPageSchemeHandler(this)),
      blocker_(new TRemoteBlocker(this)),
      page_(nullptr) {
    profile_->installUrlSchemeHandler(kPageScheme, pages_);
    blocker_->onBlocked = [this](const QUrl& url) {
        // Posted: the engine may ask from a thread of its own.
        QMetaObject::invokeMethod(this, [this, url] { emit remoteRequestBlocked(url); }, Qt::QueuedConnection);
    };
    profile_->setUrlRequestInterceptor(blocker_);
    page_ = new THTMLPage(profile_, this);
    setPage(page_);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(page_, &QWebEnginePage::loadFinished, this, [this] {
        if (!blankLoading_) return;
        blankLoading_ = false;
        if (deferred_.isValid()) startLoad(std::exchange(deferred_, QUrl()));
    });
}

void THTMLView::startLoad(const QUrl& url) {
    // A load started while the browser commits about:blank is dropped by it,
    // so such a load waits for the blank page to finish.
    if (blankLoading_) {
        deferred_ = url;
        return;
    }
    blankLoading_ = url == QUrl(QStringLiteral("about:blank"));
    page_->load(url);
}

THTMLView::~THTMLView() {
    // The page must go before the profile it uses.
    delete page_;
    page_ = nullptr;
}

void THTMLView::LoadHTMLText(const QByteArray& text) { startLoad(pages_->setPage(text)); }

void THTMLView::Navigate(const QString& urlOrPath) {
    QUrl url(urlOrPath);
    if (urlOrPath.startsWith(QLatin1Char('/')) || url.scheme().isEmpty()) {
        url = QUrl::fromLocalFile(QFileInfo(urlOrPath).absoluteFilePath());
    }
    if (opensInBrowser(url.scheme())) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (!isLocalScheme(url.scheme())) return;
    startLoad(url);
}

QUrl THTMLView::textPageUrl() const { return pages_->url(); }

qreal THTMLView::nextZoom(qreal factor, int direction) {
    constexpr qreal slack = 0.001;
    if (direction > 0) {
        for (qreal step : kZoomSteps) {
            if (step > factor + slack) return step;
        }
        return kZoomSteps.back();
    }
    for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it) {
        if (*it < factor - slack) return *it;
    }
    return kZoomSteps.front();
}

// The page keeps its zoom factor and applies it again to every page it
// loads, so the factor set here holds across documents.
void THTMLView::zoomIn() { setZoomFactor(nextZoom(zoomFactor(), 1)); }
void THTMLView::zoomOut() { setZoomFactor(nextZoom(zoomFactor(), -1)); }
void THTMLView::resetZoom() { setZoomFactor(1.0); }

bool THTMLView::event(QEvent* event) {
    // The engine draws into child widgets that it makes as pages need them;
    // Ctrl+wheel is caught on each before the engine sees it.
    if (event->type() == QEvent::ChildPolished) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType()) child->installEventFilter(this);
    }
    return QWebEngineView::event(event);
}

bool THTMLView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // Fine-grained wheels send small steps: one zoom step for each
            // notch's worth of them.
            wheelZoom_ += wheel->angleDelta().y();
            for (; wheelZoom_ >= 120; wheelZoom_ -= 120) zoomIn();
            for (; wheelZoom_ <= -120; wheelZoom_ += 120) zoomOut();
            return true;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}

void THTMLView::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedDocx(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QWebEngineView::dragEnterEvent(event);
}

void THTMLView::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedDocx(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QWebEngineView::dragMoveEvent(event);
}

void THTMLView::dropEvent(QDropEvent* event) {
    const QString path = droppedDocx(event->mimeData());
    if (path.isEmpty()) {
        QWebEngineView::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    emit docxDropped(path);
}

}  // namespace tavin
