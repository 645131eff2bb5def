#include "viewer/HTMLView.h"

#include <array>
#include <cstring>
#include <functional>
#include <mutex>
#include <utility>

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QJsonArray>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWebEngineHistory>
#include <QJsonDocument>
#include <QMimeData>
#include <QUrlQuery>
#include <QWheelEvent>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include "viewer/timeline.h"

namespace tavin {

bool isLocalScheme(const QString& scheme) {
    return scheme.compare(QLatin1String("file"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String(THTMLView::kPageScheme), Qt::CaseInsensitive) == 0;
}

bool opensOnDesktop(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) return true;
    if (scheme != QLatin1String("mailto")) return false;
    // A mail client would attach the named local file to the message.
    const QUrlQuery query(url);
    for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
        const QString key = item.first.trimmed().toLower();
        if (key == QLatin1String("attach") || key == QLatin1String("attachment")) return false;
    }
    return true;
}

bool pathInside(const QString& path, const QString& folder) {
    if (folder.isEmpty() || !QDir::isAbsolutePath(path)) return false;
    auto inside = [](const QString& p, const QString& f) {
        QString root = QDir::cleanPath(f);
        if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
        return QDir::cleanPath(p).startsWith(root);
    };
    if (!inside(path, folder)) return false;
    // A link inside the folder may point anywhere.
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    return real.isEmpty() || (!realFolder.isEmpty() && inside(real, realFolder));
}

// What the pages of one view may load, shared by its page and its request
// filter (which the engine may call from a thread of its own).
struct TLocalAccess {
    mutable std::mutex lock;
    QString root;

    QString folder() const {
        std::lock_guard<std::mutex> hold(lock);
        return root;
    }
    bool mayLoad(const QUrl& url) const {
        if (url.scheme().compare(QLatin1String(THTMLView::kPageScheme), Qt::CaseInsensitive) == 0) return true;
        if (url == QUrl(QStringLiteral("about:blank"))) return true;
        if (!url.isLocalFile() || !url.host().isEmpty()) return false;
        return pathInside(url.toLocalFile(), folder());
    }
};

namespace {

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
    QUrl url() const { return QUrl(QString::fromLatin1("%1://view/page/%2").arg(THTMLView::kPageScheme).arg(serial_)); }

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

// Refuses every request but the view's own pages and the files of its local
// root, and every frame or plug-in object a page would embed.
class TRemoteBlocker : public QWebEngineUrlRequestInterceptor {
public:
    TRemoteBlocker(std::shared_ptr<TLocalAccess> access, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), access_(std::move(access)) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        using R = QWebEngineUrlRequestInfo;
        const R::ResourceType type = info.resourceType();
        const bool embedded = type == R::ResourceTypeSubFrame || type == R::ResourceTypeObject ||
                              type == R::ResourceTypePluginResource || type == R::ResourceTypeWorker ||
                              type == R::ResourceTypeSharedWorker || type == R::ResourceTypeServiceWorker;
        if (!embedded && access_->mayLoad(info.requestUrl())) return;
        info.block(true);
        if (onBlocked) onBlocked(info.requestUrl());
    }

    std::function<void(const QUrl&)> onBlocked;

private:
    std::shared_ptr<TLocalAccess> access_;
};

THTMLPage::THTMLPage(QWebEngineProfile* profile, std::shared_ptr<TLocalAccess> access, QObject* parent)
    : QWebEnginePage(profile, parent), access_(std::move(access)) {
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

void THTMLPage::expectLoad(const QUrl& url) { expected_ = url; }

bool THTMLPage::routeNavigation(const QUrl& url, NavigationType type, bool isMainFrame) {
    // A page never embeds another: frames, objects and the like stay empty.
    if (!isMainFrame) return false;
    const QUrl bare = url.adjusted(QUrl::RemoveFragment);
    if (type != NavigationTypeLinkClicked && type != NavigationTypeBackForward && expected_.isValid() &&
        bare == expected_.adjusted(QUrl::RemoveFragment)) {
        expected_.clear();
        return access_->mayLoad(url);
    }
    if (type == NavigationTypeLinkClicked) {
        if (url.hasFragment()) {
            // The base element points "#name" at the package folder; within
            // the page shown, a fragment link means its anchor.
            const bool samePage = bare == this->url().adjusted(QUrl::RemoveFragment);
            const bool folder = url.isLocalFile() && url.path().endsWith(QLatin1Char('/'));
            if (samePage || folder) {
                scrollToAnchor(url.fragment(QUrl::FullyDecoded));
                return false;
            }
        }
        if (opensOnDesktop(url)) QDesktopServices::openUrl(url);
        return false;
    }
    // The engine reloading the page shown stays on it; every other way of
    // leaving the page (refresh, redirect, history, form) is refused.
    return type == NavigationTypeReload && bare == this->url().adjusted(QUrl::RemoveFragment) &&
           access_->mayLoad(url);
}

void THTMLPage::scrollToAnchor(const QString& name) {
    // Runs in the application's own script world: the page's scripts stay off.
    const QString arg = QString::fromUtf8(QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact));
    runJavaScript(QStringLiteral("(function(n){var e=document.getElementById(n)||document.getElementsByName(n)[0];"
                                 "if(!e)return null;var p=[window.scrollX,window.scrollY];e.scrollIntoView();"
                                 "return p;})(%1[0]);")
                      .arg(arg),
                  QWebEngineScript::ApplicationWorld, [alive = alive_, this](const QVariant& result) {
                      const QVariantList from = result.toList();
                      if (*alive && from.size() == 2)
                          emit anchorFollowed(QPointF(from[0].toDouble(), from[1].toDouble()));
                  });
}

bool THTMLPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    return routeNavigation(url, type, isMainFrame);
}

QWebEnginePage* THTMLPage::createWindow(WebWindowType) { return nullptr; }

void THTMLPage::triggerAction(WebAction action, bool checked) {
    if (action == Back) {
        emit backRequested();
    } else if (action == Forward) {
        emit forwardRequested();
    } else {
        QWebEnginePage::triggerAction(action, checked);
    }
}
void THTMLPage::javaScriptAlert(const QUrl&, const QString&) {}
bool THTMLPage::javaScriptConfirm(const QUrl&, const QString&) { return false; }
bool THTMLPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) { return false; }
void THTMLPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) {}

void THTMLView::registerScheme() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    QWebEngineUrlScheme scheme(kPageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Local access lets a page served from memory show file: pictures.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

THTMLView::THTMLView(QWidget* parent)
    : QWebEngineView(parent),
      access_(std::make_shared<TLocalAccess>()),
      profile_(new QWebEngineProfile(this)),  // off the record: nothing kept on disk
      pages_(new TPageSchemeHandler(this)),
      blocker_(new TRemoteBlocker(access_, this)),
      page_(nullptr) {
    profile_->installUrlSchemeHandler(kPageScheme, pages_);
    blocker_->onBlocked = [this](const QUrl& url) {
        // Posted: the engine may ask from a thread of its own.
        QMetaObject::invokeMethod(this, [this, url] { emit remoteRequestBlocked(url); }, Qt::QueuedConnection);
    };
    profile_->setUrlRequestInterceptor(blocker_);
    page_ = new THTMLPage(profile_, access_, this);
    setPage(page_);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(page_, &THTMLPage::anchorFollowed, this, [this](const QPointF& from) {
        back_.push_back(from);
        forward_.clear();
        emit historyChanged();
    });
    connect(page_, &THTMLPage::backRequested, this, &THTMLView::goBackInPage);
    connect(page_, &THTMLPage::forwardRequested, this, &THTMLView::goForwardInPage);
    connect(page_, &QWebEnginePage::loadFinished, this, [this] {
        // The engine keeps no history: there is no page to go back to.
        page_->history()->clear();
        releaseLoad();
    });
    // A load that never tells its end holds the next one back no longer.
    loadGuard_.setSingleShot(true);
    connect(&loadGuard_, &QTimer::timeout, this, &THTMLView::releaseLoad);
}

void THTMLView::releaseLoad() {
    loadGuard_.stop();
    if (!loading_) return;
    loading_ = false;
    if (deferred_.isValid()) startLoad(std::exchange(deferred_, QUrl()));
}

void THTMLView::startLoad(const QUrl& url) {
    // A load started while the engine commits the one before (about:blank,
    // or a page shown a moment ago) may be dropped by it: it waits for that
    // one to finish, and only the last of those waiting is made.
    if (loading_) {
        deferred_ = url;
        return;
    }
    loading_ = true;
    loadGuard_.start(3000);
    painted_ = false;
    if (!back_.empty() || !forward_.empty()) {
        back_.clear();
        forward_.clear();
        emit historyChanged();
    }
    page_->expectLoad(url);
    page_->load(url);
}

void THTMLView::goBackInPage() {
    if (back_.empty()) return;
    const QPointF to = back_.back();
    back_.pop_back();
    moveInPage(to, forward_);
}

void THTMLView::goForwardInPage() {
    if (forward_.empty()) return;
    const QPointF to = forward_.back();
    forward_.pop_back();
    moveInPage(to, back_);
}

void THTMLView::moveInPage(const QPointF& at, std::vector<QPointF>& stack) {
    emit historyChanged();
    QPointer<THTMLView> self(this);
    const bool forward = &stack == &forward_;
    page_->runJavaScript(QStringLiteral("(function(x,y){var p=[window.scrollX,window.scrollY];"
                                        "window.scrollTo(x,y);return p;})(%1,%2)")
                             .arg(at.x(), 0, 'f', 1)
                             .arg(at.y(), 0, 'f', 1),
                         QWebEngineScript::ApplicationWorld, [self, forward](const QVariant& result) {
                             const QVariantList from = result.toList();
                             if (!self || from.size() != 2) return;
                             (forward ? self->forward_ : self->back_)
                                 .emplace_back(from[0].toDouble(), from[1].toDouble());
                             emit self->historyChanged();
                         });
}

THTMLView::~THTMLView() {
    // The page must go before the profile it uses.
    delete page_;
    page_ = nullptr;
}

qsizetype leadingDoctype(const char* text, qsizetype size) {
    static constexpr char kOpen[] = "<!doctype";
    constexpr qsizetype n = sizeof kOpen - 1;
    if (size < n || qstrnicmp(text, kOpen, n) != 0) return 0;
    const void* end = std::memchr(text + n, '>', static_cast<std::size_t>(size - n));
    return end ? static_cast<const char*>(end) - text + 1 : 0;
}

void THTMLView::LoadHTMLText(const QByteArray& text) {
    if (pageStyle_.isEmpty()) {
        startLoad(pages_->setPage(text));
        return;
    }
    const qsizetype head = leadingDoctype(text.constData(), text.size());
    QByteArray page;
    page.reserve(text.size() + pageStyle_.size());
    page.append(text.constData(), head);
    page.append(pageStyle_);
    page.append(text.constData() + head, text.size() - head);
    startLoad(pages_->setPage(page));
}

void THTMLView::setPageStyle(const QString& css) {
    pageStyle_ = css.isEmpty() ? QByteArray() : "<style>" + css.toUtf8() + "</style>";
}

void THTMLView::Navigate(const QString& urlOrPath) {
    QUrl url(urlOrPath);
    if (urlOrPath.startsWith(QLatin1Char('/')) || url.scheme().isEmpty()) {
        url = QUrl::fromLocalFile(QFileInfo(urlOrPath).absoluteFilePath());
    }
    if (opensOnDesktop(url)) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (url.isLocalFile()) {
        const QString path = QDir::cleanPath(url.toLocalFile());
        if (!pathInside(path, localRoot())) setLocalRoot(QFileInfo(path).absolutePath());
    } else if (url != QUrl(QStringLiteral("about:blank"))) {
        return;
    }
    startLoad(url);
}

void THTMLView::setLocalRoot(const QString& folder) {
    std::lock_guard<std::mutex> hold(access_->lock);
    access_->root = folder.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

QString THTMLView::localRoot() const { return access_->folder(); }

bool THTMLView::mayLoad(const QUrl& url) const { return access_->mayLoad(url); }

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
void THTMLView::zoomIn() { setZoom(nextZoom(zoomFactor(), 1)); }
void THTMLView::zoomOut() { setZoom(nextZoom(zoomFactor(), -1)); }
void THTMLView::resetZoom() { setZoom(1.0); }

void THTMLView::setZoom(qreal factor) {
    setZoomFactor(factor);
    emit zoomChanged(zoomFactor());
}

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
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        mark("view painted");
    }
    // Back and forward (mouse buttons, Alt+arrows, the keyboard's own keys)
    // move through the page's own positions; the engine never sees them, so
    // it never leaves the page shown for the one before it.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const Qt::MouseButton b = static_cast<QMouseEvent*>(event)->button();
        if (b != Qt::BackButton && b != Qt::ForwardButton) break;
        if (event->type() == QEvent::MouseButtonPress) b == Qt::BackButton ? goBackInPage() : goForwardInPage();
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool alt = key->modifiers() & Qt::AltModifier;
        const bool back = key->key() == Qt::Key_Back || (alt && key->key() == Qt::Key_Left);
        const bool forward = key->key() == Qt::Key_Forward || (alt && key->key() == Qt::Key_Right);
        if (!back && !forward) break;
        if (event->type() == QEvent::KeyPress) back ? goBackInPage() : goForwardInPage();
        return true;
    }
    default:
        break;
    }
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
