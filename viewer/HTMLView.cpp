#include "viewer/HTMLView.h"

#include <utility>

#include <QBuffer>
#include <QDesktopServices>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
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

}  // namespace

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
        if (!isLocalScheme(info.requestUrl().scheme())) info.block(true);
    }
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

}  // namespace tavin
