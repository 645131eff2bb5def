// The embedded view: pages from memory of any size, base elements on odd
// folder names, no scripts, no network, and where links go.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>

#include "viewer/HTMLView.h"
#include "viewer/sui.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

class HTMLViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(800, 600);
        view.show();
    }
    // Loads a page given as bytes and waits until it is shown.
    bool load(const QByteArray& page) {
        LoadTracker tracker(&view);
        view.LoadHTMLText(page);
        return tracker.waitForUrl(view.textPageUrl());
    }

    IsolatedEnv env;
    tavin::THTMLView view;
};

}  // namespace

// Receives what the desktop would open in its browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(HTMLViewTest, APageLargerThanTwoMegabytesIsShownWhole) {
    QByteArray page = "<html><body style=\"margin:0\">";
    const QByteArray para = "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor.</p>\n";
    while (page.size() < 3 * 1024 * 1024) page += para;
    page += "<div id=\"last\" style=\"background:#0000ff;width:400px;height:400px\"></div></body></html>";
    ASSERT_TRUE(load(page));

    // The element at the very end exists: scrolling to it shows it.
    view.htmlPage()->scrollToAnchor("last");
    EXPECT_TRUE(waitForColour(&view, QColor(0, 0, 255), 300 * 300));
    EXPECT_GT(view.page()->scrollPosition().y(), 100000);
}

TEST_F(HTMLViewTest, ABaseElementOnAnOddFolderNameFindsThePictures) {
    // Blanks, "#", "%", a quote and "<" in the folder path.
    const fs::path folder = env.root() / "a b#c%20d\"e<f" / "work";
    testutil::writeFile(folder / "word" / "media" / "pic.png", pngBytes(QColor(0, 160, 0), 30, 30));
    const std::string base = tavin::TForm1::baseElement(folder.string() + "/");
    EXPECT_EQ(base.find('"', 12), base.size() - 2);  // nothing ends the attribute early
    EXPECT_EQ(base.find('<', 1), std::string::npos);
    EXPECT_EQ(base.find(' '), 5u);

    const QByteArray page = QByteArray::fromStdString(base) +
                            "<html><body><img src=\"media/pic.png\" width=\"200\" height=\"200\"></body></html>";
    view.setLocalRoot(QString::fromStdString(folder.string()));
    ASSERT_TRUE(load(page));
    EXPECT_TRUE(waitForColour(&view, QColor(0, 160, 0), 190 * 190));
}

TEST_F(HTMLViewTest, PagesRunNoScriptsAndLoadNothingRemote) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QByteArray remote = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
    const QByteArray page = "<html><head><title>static</title><link rel=\"stylesheet\" href=\"" + remote +
                            "/style.css\"></head><body><script>document.title='script ran';</script>"
                            "<img src=\"" + remote + "/pic.png\"><iframe src=\"" + remote +
                            "/frame.html\"></iframe><p>text</p></body></html>";
    ASSERT_TRUE(load(page));
    EXPECT_EQ(view.title(), "static");
    // The picture and the frame hold the load back until they are settled,
    // so a request that got through would have connected by now.
    QCoreApplication::processEvents();
    EXPECT_FALSE(server.hasPendingConnections());
}

TEST_F(HTMLViewTest, WebLinksGoToTheDesktopBrowserAndAnchorLinksScroll) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");

    const fs::path folder = env.root() / "doc";
    const std::string base = tavin::TForm1::baseElement(folder.string() + "/");
    QByteArray page = QByteArray::fromStdString(base) +
                      "<html><body style=\"margin:0\"><p><a href=\"https://www.example.org/x\" "
                      "style=\"font-size:60px;display:block\">web link</a></p>"
                      "<a href=\"#far\" style=\"font-size:60px;display:block\">anchor link</a>"
                      "<div style=\"height:5000px\"></div><a name=\"far\">far away</a>"
                      "<div style=\"height:2000px\"></div></body></html>";
    ASSERT_TRUE(load(page));
    const QUrl shown = view.url();
    tavin::THTMLPage* p = view.htmlPage();

    // A real click on the web link.
    ASSERT_NE(view.focusProxy(), nullptr);
    QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, QPoint(40, 30));
    ASSERT_TRUE(waitFor([&] { return !catcher.urls.isEmpty(); }));
    EXPECT_EQ(catcher.urls, QList<QUrl>({QUrl("https://www.example.org/x")}));
    EXPECT_EQ(view.url(), shown);

    // A real click on "#far": the base element makes it the folder's
    // address; the view scrolls to the anchor instead.
    QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, QPoint(40, 100));
    ASSERT_TRUE(waitFor([&] { return p->scrollPosition().y() > 4000; }));
    EXPECT_EQ(view.url(), shown);

    // The decisions behind it.
    using N = QWebEnginePage;
    const QUrl folderUrl = QUrl::fromLocalFile(QString::fromStdString(folder.string() + "/word/"));
    EXPECT_FALSE(p->routeNavigation(QUrl("mailto:someone@example.org"), N::NavigationTypeLinkClicked, true));
    EXPECT_EQ(catcher.urls.size(), 2);
    EXPECT_FALSE(p->routeNavigation(QUrl("javascript:alert(1)"), N::NavigationTypeLinkClicked, true));
    EXPECT_FALSE(p->routeNavigation(QUrl("https://www.example.org/"), N::NavigationTypeRedirect, true));
    EXPECT_FALSE(p->routeNavigation(QUrl("http://127.0.0.1/"), N::NavigationTypeOther, false));
    EXPECT_EQ(catcher.urls.size(), 2);  // only clicks open the browser
    // Only the view's own loads leave the page shown.
    EXPECT_FALSE(p->routeNavigation(QUrl::fromLocalFile("/tmp/page.html"), N::NavigationTypeLinkClicked, true));
    EXPECT_FALSE(p->routeNavigation(QUrl("about:blank"), N::NavigationTypeTyped, true));
    EXPECT_FALSE(p->routeNavigation(folderUrl.toString() + "#far", N::NavigationTypeLinkClicked, true));

    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");
}

TEST_F(HTMLViewTest, NavigateShowsLocalFilesAndSendsWebAddressesToTheBrowser) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    const fs::path file = env.root() / "page one.html";
    testutil::writeFile(file, "<html><head><title>from a file</title></head><body>x</body></html>");

    LoadTracker tracker(&view);
    view.Navigate(QString::fromStdString(file.string()));
    ASSERT_TRUE(tracker.waitForUrl(QUrl::fromLocalFile(QString::fromStdString(file.string()))));
    EXPECT_EQ(view.title(), "from a file");

    view.Navigate("https://www.example.org/home");
    EXPECT_EQ(catcher.urls, QList<QUrl>({QUrl("https://www.example.org/home")}));
    EXPECT_EQ(view.url(), QUrl::fromLocalFile(QString::fromStdString(file.string())));

    // An empty page is a page too.
    ASSERT_TRUE(load(QByteArray()));
    EXPECT_EQ(view.url(), view.textPageUrl());
    QDesktopServices::unsetUrlHandler("https");
}

TEST(HTMLViewRace, APageGivenWhileTheBlankPageLoadsIsShown) {
    // The window points the view at about:blank when it is created, and a
    // command-line document may arrive at any moment of that load.
    testutil::TempDir dir;
    testutil::writeFile(dir.path() / "other.html", "<html><body>file</body></html>");
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        tavin::THTMLView view;
        LoadTracker tracker(&view);
        view.Navigate("about:blank");
        for (int k = 0; k < i * 3; ++k) QCoreApplication::processEvents();
        view.LoadHTMLText("<html><body>first</body></html>");
        ASSERT_TRUE(tracker.waitForUrl(view.textPageUrl()));
        view.Navigate(QString::fromStdString((dir.path() / "other.html").string()));
        QCoreApplication::processEvents();
        view.LoadHTMLText("<html><body>second</body></html>");
        ASSERT_TRUE(tracker.waitForUrl(view.textPageUrl()));
    }
}

#include "htmlview_test.moc"
