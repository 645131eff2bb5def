// What a page may load and where it may go: only its own folder's files, no
// frames or objects, no navigation the view did not start, and links to the
// desktop only for the web and plain mail.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QProcess>
#include <QTest>
#include <QWebEngineFindTextResult>

#include "viewer/HTMLView.h"
#include "viewer/sui.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }
QByteArray fileUrl(const fs::path& p) { return QUrl::fromLocalFile(q(p)).toEncoded(); }

class DesktopCatcher : public QObject {
    Q_OBJECT
public:
    DesktopCatcher() {
        for (const char* s : kSchemes) QDesktopServices::setUrlHandler(s, this, "open");
    }
    ~DesktopCatcher() override {
        for (const char* s : kSchemes) QDesktopServices::unsetUrlHandler(s);
    }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }

private:
    static constexpr const char* kSchemes[] = {"http", "https", "mailto", "ftp", "file", "smb"};
};

// Matches of text in the page shown, its frames included; -1 when the
// search gave no answer.
int matches(tavin::THTMLView& view, const QString& text) {
    int found = -1;
    view.page()->findText(text, {}, [&](const QWebEngineFindTextResult& r) { found = r.numberOfMatches(); });
    waitFor([&] { return found >= 0; }, 10000);
    view.page()->findText(QString());
    return found;
}

// A folder tree as an attacker would want it: a work folder, and beside it
// a secret the page must never reach, directly or through a link.
struct Planted {
    explicit Planted(const fs::path& root) : work(root / "work"), secret(root / "secret.html") {
        testutil::writeFile(secret, "<html><body><p>SECRETWORD inside</p></body></html>");
        testutil::writeFile(root / "outside.png", pngBytes(QColor(255, 0, 0), 40, 40));
        testutil::writeFile(work / "word" / "media" / "in.png", pngBytes(QColor(0, 160, 0), 40, 40));
        fs::create_symlink(root / "outside.png", work / "word" / "media" / "link.png");
        fs::create_symlink(secret, work / "word" / "inner.html");
    }
    fs::path work, secret;
};

}  // namespace

TEST(ViewPolicy, APageShowsOnlyFilesOfItsOwnFolderAndEmbedsNoOtherPage) {
    IsolatedEnv env;
    const Planted planted(env.root());
    tavin::THTMLView view;
    view.resize(900, 900);
    view.show();
    QList<QUrl> refused;
    QObject::connect(&view, &tavin::THTMLView::remoteRequestBlocked, [&](const QUrl& u) { refused << u; });
    view.setLocalRoot(q(planted.work));

    const QByteArray secret = fileUrl(planted.secret);
    const QByteArray page = QByteArray::fromStdString(tavin::TForm1::baseElement(planted.work.string() + "/")) +
                            "<html><head><meta http-equiv=\"refresh\" content=\"0;url=" + secret +
                            "\"></head><body style=\"margin:0\"><p>VISIBLEWORD</p>"
                            "<img src=\"media/in.png\" width=\"150\" height=\"150\">"
                            "<img src=\"../../outside.png\" width=\"150\" height=\"150\">"
                            "<img src=\"media/link.png\" width=\"150\" height=\"150\">"
                            "<img src=\"media/%2e%2e/%2e%2e/%2e%2e/outside.png\" width=\"150\" height=\"150\">"
                            "<iframe src=\"" + secret + "\" width=\"400\" height=\"100\"></iframe>"
                            "<iframe src=\"inner.html\" width=\"400\" height=\"100\"></iframe>"
                            "<object data=\"" + secret + "\" type=\"text/html\" width=\"400\" height=\"100\"></object>"
                            "<embed src=\"" + secret + "\" type=\"text/html\" width=\"400\" height=\"100\">"
                            "</body></html>";
    LoadTracker tracker(&view);
    view.LoadHTMLText(page);
    ASSERT_TRUE(tracker.waitForUrl(view.textPageUrl()));
    const QUrl shown = view.url();

    // The picture inside the folder shows; the ones outside it, by path or
    // by link, do not.
    EXPECT_TRUE(waitForColour(&view, QColor(0, 160, 0), 140 * 140));
    waitFor([] { return false; }, 1500);
    EXPECT_EQ(countColour(view.grab().toImage(), QColor(255, 0, 0)), 0);
    EXPECT_TRUE(refused.contains(QUrl::fromEncoded(fileUrl(env.root() / "outside.png"))));

    // No frame or object shows the secret, and the refresh never happened.
    EXPECT_EQ(matches(view, "VISIBLEWORD"), 1);
    EXPECT_EQ(matches(view, "SECRETWORD"), 0);
    EXPECT_EQ(view.url(), shown);
}

TEST(ViewPolicy, OnlyTheViewsOwnLoadsLeaveThePage) {
    IsolatedEnv env;
    const Planted planted(env.root());
    tavin::THTMLView view;
    view.resize(600, 400);
    view.show();
    DesktopCatcher desktop;

    // A file page first, then a page from memory: going back is refused.
    testutil::writeFile(planted.work / "word" / "doc.html", "<html><body>first</body></html>");
    LoadTracker tracker(&view);
    view.Navigate(q(planted.work / "word" / "doc.html"));
    ASSERT_TRUE(tracker.waitForUrl(QUrl::fromLocalFile(q(planted.work / "word" / "doc.html"))));
    EXPECT_EQ(view.localRoot(), q(planted.work / "word"));
    view.setLocalRoot(q(planted.work));
    view.LoadHTMLText("<html><body><p>second</p></body></html>");
    ASSERT_TRUE(tracker.waitForUrl(view.textPageUrl()));
    const QUrl shown = view.url();
    view.back();
    view.page()->triggerAction(QWebEnginePage::Back);
    waitFor([] { return false; }, 1000);
    EXPECT_EQ(view.url(), shown);

    using N = QWebEnginePage;
    tavin::THTMLPage* p = view.htmlPage();
    const QUrl inside = QUrl::fromLocalFile(q(planted.work / "word" / "doc.html"));
    const QUrl secret = QUrl::fromLocalFile(q(planted.secret));
    for (auto type : {N::NavigationTypeLinkClicked, N::NavigationTypeTyped, N::NavigationTypeRedirect,
                      N::NavigationTypeBackForward, N::NavigationTypeFormSubmitted, N::NavigationTypeOther}) {
        SCOPED_TRACE(int(type));
        EXPECT_FALSE(p->routeNavigation(secret, type, true));
        EXPECT_FALSE(p->routeNavigation(inside, type, true));
        EXPECT_FALSE(p->routeNavigation(shown, type, false));  // a frame, even of the page itself
        EXPECT_FALSE(p->routeNavigation(QUrl("tavin-page:page/1"), type, true));
    }
    EXPECT_TRUE(p->routeNavigation(shown, N::NavigationTypeReload, true));
    EXPECT_FALSE(p->routeNavigation(secret, N::NavigationTypeReload, true));
    // The view's own load is let through once, and only inside the root.
    p->expectLoad(inside);
    EXPECT_TRUE(p->routeNavigation(inside, N::NavigationTypeTyped, true));
    EXPECT_FALSE(p->routeNavigation(inside, N::NavigationTypeTyped, true));
    p->expectLoad(secret);
    EXPECT_FALSE(p->routeNavigation(secret, N::NavigationTypeTyped, true));
    EXPECT_TRUE(desktop.urls.isEmpty());

    // The help page may be anywhere: showing it makes its folder the root.
    const fs::path help = env.root() / "share" / "help.htm";
    testutil::writeFile(help, "<html><body>help</body></html>");
    view.Navigate(q(help));
    ASSERT_TRUE(tracker.waitForUrl(QUrl::fromLocalFile(q(help))));
    EXPECT_EQ(view.localRoot(), q(help.parent_path()));
    EXPECT_FALSE(view.mayLoad(QUrl::fromLocalFile(q(planted.work / "word" / "media" / "in.png"))));
}

TEST(ViewPolicy, LinksReachTheDesktopOnlyForTheWebAndPlainMail) {
    EXPECT_TRUE(tavin::opensOnDesktop(QUrl("http://example.org/")));
    EXPECT_TRUE(tavin::opensOnDesktop(QUrl("HTTPS://example.org/a?b=c")));
    EXPECT_TRUE(tavin::opensOnDesktop(QUrl("mailto:a@example.org?subject=Hi&body=attach%20me")));
    EXPECT_FALSE(tavin::opensOnDesktop(QUrl("mailto:a@example.org?attach=/home/u/.ssh/id_rsa")));
    EXPECT_FALSE(tavin::opensOnDesktop(QUrl("mailto:a@example.org?subject=x&Attachment=%2Fetc%2Fshadow")));
    EXPECT_FALSE(tavin::opensOnDesktop(QUrl("mailto:a@example.org?%61ttach=/etc/passwd")));
    for (const char* other : {"ftp://example.org/x", "file:///etc/passwd", "javascript:alert(1)", "data:text/html,x",
                              "smb://host/share", "tavin-page:page/1", "about:blank", "vbscript:x"}) {
        EXPECT_FALSE(tavin::opensOnDesktop(QUrl(other))) << other;
    }

    // Clicked, each goes where it may, or nowhere.
    DesktopCatcher desktop;
    tavin::THTMLView view;
    using N = QWebEnginePage;
    for (const char* link : {"https://example.org/ok", "mailto:a@example.org?attach=/etc/passwd",
                             "ftp://example.org/file", "smb://host/share", "file:///etc/passwd"}) {
        EXPECT_FALSE(view.htmlPage()->routeNavigation(QUrl(link), N::NavigationTypeLinkClicked, true)) << link;
    }
    view.Navigate("mailto:a@example.org?attachment=/etc/passwd");
    view.Navigate("ftp://example.org/file");
    view.Navigate("mailto:a@example.org");
    EXPECT_EQ(desktop.urls, QList<QUrl>({QUrl("https://example.org/ok"), QUrl("mailto:a@example.org")}));
}

TEST(ViewPolicy, PathInsideReadsPathsAsTheFileSystemDoes) {
    testutil::TempDir dir;
    const fs::path work = dir.path() / "work";
    fs::create_directories(work / "word");
    fs::create_directories(dir.path() / "work2");
    testutil::writeFile(dir.path() / "work2" / "x", "x");
    fs::create_symlink(dir.path() / "work2", work / "word" / "away");
    const QString root = q(work);
    EXPECT_TRUE(tavin::pathInside(q(work / "word" / "missing.png"), root));
    EXPECT_TRUE(tavin::pathInside(q(work) + "/word/./media/../x", root));
    EXPECT_FALSE(tavin::pathInside(q(work) + "/word/../../work2/x", root));
    EXPECT_FALSE(tavin::pathInside(q(dir.path() / "work2" / "x"), root));  // a name that only starts alike
    EXPECT_FALSE(tavin::pathInside(q(work / "word" / "away" / "x"), root));  // through a link
    EXPECT_FALSE(tavin::pathInside(root, root));
    EXPECT_FALSE(tavin::pathInside("word/x", root));
    EXPECT_FALSE(tavin::pathInside(q(work / "word" / "x"), QString()));
}

TEST(ViewPolicy, AHostileDocumentShowsNoLocalFileInTheWindowOrThePdf) {
    IsolatedEnv env;
    const fs::path secret = env.root() / "secret.txt";
    testutil::writeFile(secret, "SECRETWORD from a file");
    const std::string url = fileUrl(secret).toStdString();
    const std::string body = "<w:p><w:r><w:t>VISIBLEWORD</w:t></w:r></w:p>"
                             "<w:p><iframe src=\"" + url + "\" width=\"400\" height=\"100\"></iframe>"
                             "<object data=\"" + url + "\" width=\"400\" height=\"100\"></object>"
                             "<embed src=\"" + url + "\" width=\"400\" height=\"100\"/>"
                             "<meta http-equiv=\"refresh\" content=\"0;url=" + url + "\"/></w:p>";
    const fs::path doc = env.docs() / "frames.docx";
    writeDocx(doc, {.picture = false, .paragraphs = body});

    TestForm form;
    form.resize(900, 700);
    ASSERT_TRUE(showActive(form));
    ASSERT_TRUE(openAndWait(form, doc.string())) << form.errors.join("\n").toStdString();
    const QUrl page = form.wb1->url();
    waitFor([] { return false; }, 1500);
    EXPECT_EQ(form.wb1->url(), page);
    EXPECT_EQ(matches(*form.wb1, "VISIBLEWORD"), 1);
    EXPECT_EQ(matches(*form.wb1, "SECRETWORD"), 0);

    ASSERT_TRUE(havePdfToText()) << "pdftotext is not installed (scripts/install-deps installs poppler-utils)";
    const fs::path pdf = env.root() / "frames.pdf";
    QProcess p;
    p.start(QStringLiteral(TAVIN_BINARY_DIR "/tavin"), {QStringLiteral("--pdf"), q(pdf), q(doc)});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("VISIBLEWORD"), std::string::npos);
    EXPECT_EQ(text.find("SECRETWORD"), std::string::npos);
}

#include "view_policy_test.moc"
