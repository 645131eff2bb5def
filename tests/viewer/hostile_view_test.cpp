// A document written to attack its reader: markup that reaches the page as
// scripts, event handlers, javascript: links and remote addresses. The view
// must run none of it and connect nowhere.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEngineSettings>

#include "viewer/HTMLView.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

// Catches whatever would go to the desktop's browser, while it lives.
class BrowserCatcher : public QObject {
    Q_OBJECT
public:
    BrowserCatcher() {
        for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~BrowserCatcher() override {
        for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }

private:
    static constexpr const char* kSchemes[] = {"http", "https", "javascript"};
};

}  // namespace

TEST(HostileView, ADocumentRunsNoScriptAndReachesNoServer) {
    IsolatedEnv env;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            ++connections;
            s->close();
        }
    });
    const std::string remote = "http://127.0.0.1:" + std::to_string(server.serverPort());
    BrowserCatcher browser;

    // The converter copies elements it does not know, and relationship
    // targets, into the page as they are.
    const std::string ran = "document.title='script ran';";
    const std::string body =
        "<w:p><script>" + ran + "fetch('" + remote + "/fetch');</script><w:r><w:t>first</w:t></w:r></w:p>"
        "<w:p><img src=\"missing.png\" onerror=\"document.title='handler ran'\"/><w:r><w:t>second</w:t></w:r></w:p>"
        "<w:p><w:hyperlink r:id=\"rId10\"><w:r><w:t>CLICK THIS JAVASCRIPT LINK</w:t></w:r></w:hyperlink></w:p>"
        "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"952500\"/><a:graphic><a:graphicData>"
        "<pic:pic><pic:blipFill><a:blip r:embed=\"rId11\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
        "</wp:inline></w:drawing></w:r></w:p>"
        "<w:p><link rel=\"preconnect\" href=\"" + remote + "\"/><link rel=\"stylesheet\" href=\"" + remote +
        "/style.css\"/><iframe src=\"" + remote + "/frame.html\"></iframe>"
        "<meta http-equiv=\"refresh\" content=\"0;url=" + remote + "/refresh\"/>"
        "<w:r><w:t>third</w:t></w:r></w:p>";
    const std::string rels =
        "<Relationship Id=\"rId10\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "hyperlink\" Target=\"javascript:document.title='link ran'\" TargetMode=\"External\"/>"
        "<Relationship Id=\"rId11\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "image\" Target=\"" + remote + "/remote.png\" TargetMode=\"External\"/>";
    const fs::path doc = env.docs() / "hostile.docx";
    writeDocx(doc, {.picture = false, .paragraphs = body, .relationships = rels});

    TestForm form;
    form.resize(900, 700);
    ASSERT_TRUE(showActive(form));
    QList<QUrl> blocked;
    QObject::connect(form.wb1, &tavin::THTMLView::remoteRequestBlocked, [&](const QUrl& u) { blocked << u; });
    ASSERT_TRUE(openAndWait(form, doc.string())) << form.errors.join("\n").toStdString();
    const QUrl page = form.wb1->url();

    // The converter left out what could run or load: the remote picture too.
    const std::string& shown = form.shownPage();
    EXPECT_EQ(shown.find("<script"), std::string::npos);
    EXPECT_EQ(shown.find("onerror="), std::string::npos);
    EXPECT_EQ(shown.find("javascript:"), std::string::npos);
    EXPECT_EQ(shown.find("<iframe"), std::string::npos);
    EXPECT_EQ(shown.find("http-equiv=\"refresh\""), std::string::npos);
    EXPECT_EQ(shown.find("=\"" + remote), std::string::npos);

    // A real click on what was the javascript: link.
    const QVariantList at = evaluate(form.wb1,
                                     "var a=Array.from(document.querySelectorAll('a')).find("
                                     "e=>e.textContent.includes('CLICK'));var r=a.getBoundingClientRect();"
                                     "[r.left+r.width/2,r.top+r.height/2]")
                                .toList();
    ASSERT_EQ(at.size(), 2);
    QTest::mouseClick(form.wb1->focusProxy(), Qt::LeftButton, {}, QPoint(at[0].toInt(), at[1].toInt()));

    // Nothing ran, nothing connected, nothing went to the browser, and the
    // view stayed on the page (the refresh never happened).
    waitFor([] { return false; }, 1500);
    EXPECT_EQ(form.wb1->title().toStdString(), "hostile");
    EXPECT_EQ(evaluate(form.wb1, "document.title").toString().toStdString(), "hostile");
    EXPECT_EQ(form.wb1->url(), page);
    EXPECT_EQ(connections, 0);
    EXPECT_TRUE(browser.urls.isEmpty()) << browser.urls.value(0).toString().toStdString();

    // The page's settings refuse remote addresses to local pages; behind
    // them the view refuses every request that is not local. With the first
    // barrier down, the second holds alone.
    // A remote picture given to the view as it stands must be refused there.
    form.wb1->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // (Without the page's policy, which would refuse it first.)
    std::string withPicture = shown;
    const std::size_t policy = withPicture.find("<meta http-equiv=\"Content-Security-Policy\"");
    if (policy != std::string::npos) withPicture.erase(policy, withPicture.find('>', policy) + 1 - policy);
    withPicture.insert(withPicture.rfind("</body>"), "<img src=\"" + remote + "/remote.png\">");
    form.wb1->LoadHTMLText(QByteArray::fromStdString(withPicture));
    const QUrl picture(QString::fromStdString(remote + "/remote.png"));
    EXPECT_TRUE(waitFor([&] { return blocked.contains(picture); }));
    waitFor([] { return false; }, 1500);
    EXPECT_EQ(connections, 0);
    EXPECT_EQ(form.wb1->title().toStdString(), "hostile");
}

#include "hostile_view_test.moc"
