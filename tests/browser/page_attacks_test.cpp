// Crafted packages against the pages docx2html writes: what a page may
// never do (run script, contact a server, show a file of the reader's
// disk, hide the rest of itself), what docx2html may never write or read
// through a link, and the work a label or a reference may cost. The page
// cases are opened in headless Chromium too, beside a loopback listener.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <regex>
#include <thread>

#include "package/zipwriter.h"
#include "support/testutil.h"

namespace fs = std::filesystem;

namespace {

const std::string kBin = TAVIN_BINARY_DIR "/docx2html";
const std::string kNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
// What script in a page would set, and what every page must still show.
const std::string kRan = "7007";
const std::string kRuns = "document.documentElement.lang=" + kRan;

std::string para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

struct Doc {
    std::string body;
    std::string rels;  // Relationship elements of the document part
    std::map<std::string, std::string> parts;
};

std::string packageOf(const Doc& d) {
    ziptest::Archive a;
    auto add = [&](const std::string& name, const std::string& data) {
        ziptest::Entry e;
        e.name = name;
        e.data = data;
        a.entries.push_back(e);
    };
    add("[Content_Types].xml", "<Types/>");
    add("word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document " + kNs + "><w:body>" + d.body +
                                 para("the end") + "</w:body></w:document>");
    add("word/_rels/document.xml.rels", "<Relationships>" + d.rels + "</Relationships>");
    for (const auto& [name, data] : d.parts) add(name, data);
    return ziptest::build(a).bytes;
}

std::string rel(const std::string& id, const std::string& type, const std::string& target, bool external = false) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRel + type + "\" Target=\"" + target + "\"" +
           (external ? " TargetMode=\"External\"" : "") + "/>";
}

std::string picture(const std::string& id) {
    return "<w:p><w:r><w:drawing><wp:inline><a:blip r:embed=\"" + id + "\"/></wp:inline></w:drawing></w:r></w:p>";
}

// Runs docx2html; its exit status, and its messages in err.
int run(const std::string& args, std::string& err) {
    testutil::TempDir tmp;
    const fs::path errFile = tmp.path() / "err";
    const int status = std::system(("timeout 60 " + kBin + " " + args + " 2> '" + errFile.string() + "'").c_str());
    err = testutil::readFile(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The page of a document, classic or with Full Fidelity.
std::string pageOf(const Doc& d, bool fidelity, const fs::path& dir, const std::string& name = "page") {
    const fs::path docx = dir / (name + ".docx");
    testutil::writeFile(docx, packageOf(d));
    const fs::path html = dir / (name + (fidelity ? "-ff" : "") + ".html");
    std::string err;
    EXPECT_EQ(run(std::string(fidelity ? "" : "--no-fidelity ") + "-o '" + html.string() + "' '" + docx.string() + "'", err),
              0)
        << err;
    return testutil::readFile(html);
}

// A listener on a loopback port that counts the connections made to it.
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_, 16) != 0) return;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0) continue;
                const int c = ::accept(fd_, nullptr, nullptr);
                if (c < 0) continue;
                ++connections_;
                ::close(c);
            }
        });
    }
    ~Listener() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// One attack on the page: a document, and what its page must not hold.
struct Attack {
    const char* name;
    Doc doc;
    std::vector<std::string> never;
};

std::vector<Attack> attacks(const std::string& remote) {
    const std::string img = "<img src=x onerror=" + kRuns + ">";
    const std::string notes = "<w:footnotes " + kNs + "><w:footnote w:id=\"1\"><w:p><w:r><w:t>note</w:t></w:r>"
                              "<!-- <img title=\"--><img src=x onerror=" + kRuns + ">\"></w:p></w:footnote></w:footnotes>";
    return {
        {"a comment hides a handler from a tag reader",
         {"<w:p><!-- <img title=\"-->" + img + "\"></w:p>", "", {}},
         {"onerror"}},
        {"raw-text elements", {"<w:p><xmp><img title=\"</xmp>" + img + "\"></xmp><noembed>" + img +
                                   "</noembed><noframes>x</noframes><w:title>" + img + "</w:title></w:p>", "", {}},
         {"onerror", "<xmp", "<noembed", "<title>" + std::string("<img")}},
        {"deleted tags join into a comment or a script",
         {"<w:p><!<w:proofErr w:type=\"x\"/>--<script>x</script><scr<script></script>ipt>" + kRuns + "</script></w:p>",
          "", {}},
         {"<script>x", "<!--"}},
        {"a note holds the comment trick",
         {para("ref") + "<w:p><w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>", rel("rF", "footnotes", "footnotes.xml"),
          {{"word/footnotes.xml", notes}}},
         {"onerror"}},
        {"a run colour closes the style element",
         {"<w:p><w:r><w:rPr><w:color w:val=\"red</style><script>" + kRuns + "</script><body\"/></w:rPr><w:t>c</w:t>"
          "</w:r></w:p>", "", {}},
         {"<script"}},
        {"a font name ends the rules and loads a picture",
         {"<w:p><w:r><w:rPr><w:rFonts w:ascii=\"Arial--></style><body\"/></w:rPr><w:t>f</w:t></w:r>"
          "<w:r><w:rPr><w:shd w:fill=\"x;background:url(" + remote + "/css)\"/></w:rPr><w:t>g</w:t></w:r></w:p>",
          "", {}},
         {remote}},
        {"pictures and backgrounds from a server",
         {"<w:p><img src=\"" + remote + "/raw\"/><img src=\"media/a.png\" srcset=\"" + remote + "/set 2x\"/>"
          "<w:tbl background=\"" + remote + "/table\"><w:tr><w:tc><td background=\"" + remote + "/td\">c</td></w:tc></w:tr></w:tbl>"
          "<span style=\"background:image-set('" + remote + "/is' 1x)\">i</span>"
          "<span style=\"background:-webkit-image-set('" + remote + "/wis' 1x)\">w</span>"
          "<span style=\"font-family:'/*';background:url(" + remote + "/comment)\">u</span></w:p>" +
              picture("rExt") + picture("rHttp"),
          rel("rExt", "image", remote + "/external.png", true) + rel("rHttp", "image", remote + "/http.png"), {}},
         {remote}},
        {"pictures from the reader's disk",
         {picture("rUp") + picture("rRoot") + picture("rFile") + "<w:p><img src=\"../../x.png\"/><img src=\"%2e%2e/x.png\"/>"
          "<img src=\"\\\\host\\x.png\"/></w:p>",
          rel("rUp", "image", "../../../home/u/x.png") + rel("rRoot", "image", "/home/u/x.png") +
              rel("rFile", "image", "file:///etc/passwd"),
          {}},
         {"home/u", "passwd", "../", "%2e%2e", "host"}},
        {"values written raw: a list label, an author, an equation, a link target",
         {"<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r>"
          "</w:p><w:p><w:r><w:t>word</w:t></w:r><w:r><w:commentReference w:id=\"1\"/></w:r></w:p>"
          "<w:p><m:oMath><m:r><m:t><!--</m:t></m:r></m:oMath></w:p>"
          "<w:p><w:hyperlink r:id=\"rL\"><w:r><w:t>link</w:t></w:r></w:hyperlink></w:p>",
          rel("rN", "numbering", "numbering.xml") + rel("rC", "comments", "comments.xml") +
              rel("rL", "hyperlink", "http://a/$1$$\\\\b", true),
          {{"word/numbering.xml", "<w:numbering " + kNs + "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\">"
                                  "<w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"<!--%1\"/></w:lvl></w:abstractNum>"
                                  "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>"},
           {"word/comments.xml", "<w:comments " + kNs + "><w:comment w:id=\"1\" w:author=\"<!--\" w:date=\"<!--\">" +
                                     para("c") + "</w:comment></w:comments>"}}},
         {"<!--"}},
        {"a document writes the fidelity markers itself",
         {"<w:p><w:tvH w:val=\"1\"/><w:r><w:t>forged</w:t></w:r><w:tvCss w:val=\"color:red\"/></w:p>", "", {}},
         {"<h1", "{color:red"}},
    };
}

void expectSafe(const Attack& a, const std::string& page, bool fidelity) {
    SCOPED_TRACE(std::string(a.name) + (fidelity ? " (Full Fidelity)" : " (classic)"));
    ASSERT_FALSE(page.empty());
    for (const std::string& bad : a.never) EXPECT_EQ(page.find(bad), std::string::npos) << bad << "\n" << page;
    EXPECT_FALSE(std::regex_search(page, std::regex("<[a-z][^>]*\\son[a-z]+=", std::regex::icase))) << page;
    EXPECT_NE(page.find("the end"), std::string::npos) << "the rest of the page is hidden";
}

// Whether a headless Chromium is here to open pages with.
std::string chromium() {
    for (const char* c : {"chromium", "chromium-browser"}) {
        if (std::system(("command -v " + std::string(c) + " > /dev/null 2>&1").c_str()) == 0) return c;
    }
    return {};
}

}  // namespace

TEST(PageAttacks, EveryPageIsInert) {
    testutil::TempDir dir;
    Listener listener;
    const std::vector<Attack> all = attacks(listener.url());
    std::vector<fs::path> pages;
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (const bool fidelity : {false, true}) {
            const std::string page = pageOf(all[i].doc, fidelity, dir.path(), "attack" + std::to_string(i));
            expectSafe(all[i], page, fidelity);
            pages.push_back(dir.path() / ("attack" + std::to_string(i) + (fidelity ? "-ff" : "") + ".html"));
        }
    }
    const std::string browser = chromium();
    if (browser.empty()) GTEST_SKIP() << "chromium is not installed: the pages were not opened in a browser";
    for (const fs::path& page : pages) {
        SCOPED_TRACE(page.filename().string());
        const fs::path dom = dir.path() / "dom.html";
        const std::string cmd = "HOME='" + dir.str() + "' timeout 60 " + browser +
                                " --headless --no-sandbox --disable-gpu --no-first-run --virtual-time-budget=2000"
                                " --dump-dom 'file://" + page.string() + "' > '" + dom.string() + "' 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const std::string shown = testutil::readFile(dom);
        EXPECT_NE(shown.find("the end"), std::string::npos);
        EXPECT_EQ(shown.find("lang=\"" + kRan + "\""), std::string::npos) << "script ran";
    }
    EXPECT_EQ(listener.connections(), 0) << "a page contacted a server";
}

TEST(PageAttacks, PicturesResolveInsideThePackage) {
    testutil::TempDir dir;
    const Doc d{picture("rAbs") + picture("rRel"),
                rel("rAbs", "image", "/word/media/a.png") + rel("rRel", "image", "./media/b.png"),
                {{"word/media/a.png", "png"}, {"word/media/b.png", "png"}}};
    for (const bool fidelity : {false, true}) {
        const std::string page = pageOf(d, fidelity, dir.path());
        EXPECT_NE(page.find("<img src=\"media/a.png\""), std::string::npos) << page;
        EXPECT_NE(page.find("<img src=\"media/b.png\""), std::string::npos) << page;
    }
}

TEST(PageAttacks, NothingIsWrittenOrReadThroughALink) {
    testutil::TempDir dir;
    const fs::path victim = dir.path() / "bashrc";
    testutil::writeFile(victim, "mine");
    const fs::path docx = dir.path() / "doc.docx";
    testutil::writeFile(docx, packageOf({picture("rP"), rel("rP", "image", "media/image1.png"),
                                         {{"word/media/image1.png", "picture"}}}));
    std::string err;
    // A link planted at the picture's name, at the media folder, at the page.
    const fs::path shared = dir.path() / "shared";
    fs::create_directories(shared / "media");
    fs::create_symlink(victim, shared / "media" / "image1.png");
    EXPECT_EQ(run("-o '" + (shared / "page.html").string() + "' '" + docx.string() + "'", err), 1);
    EXPECT_NE(err.find("Will not write through a link: " + (shared / "media" / "image1.png").string()), std::string::npos)
        << err;
    fs::remove_all(shared / "media");
    fs::create_directory_symlink(dir.path(), shared / "media");
    EXPECT_EQ(run("-o '" + (shared / "page.html").string() + "' '" + docx.string() + "'", err), 1);
    EXPECT_NE(err.find("Will not write through a link: " + (shared / "media").string()), std::string::npos) << err;
    fs::remove(shared / "media");
    fs::remove(shared / "page.html");
    fs::create_symlink(victim, shared / "page.html");
    EXPECT_EQ(run("-o '" + (shared / "page.html").string() + "' '" + docx.string() + "'", err), 1);
    EXPECT_NE(err.find("Will not write through a link: " + (shared / "page.html").string()), std::string::npos) << err;
    EXPECT_EQ(testutil::readFile(victim), "mine");
    fs::remove(shared / "page.html");
    // An ordinary run writes both, and again over its own files.
    for (int i = 0; i < 2; ++i) EXPECT_EQ(run("-o '" + (shared / "page.html").string() + "' '" + docx.string() + "'", err), 0) << err;
    EXPECT_EQ(testutil::readFile(shared / "media" / "image1.png"), "picture");
    // Under -d, a link planted at the document's own folder.
    fs::create_directory_symlink(dir.path() / "elsewhere", shared / "doc");
    EXPECT_EQ(run("-d '" + shared.string() + "' '" + docx.string() + "'", err), 1);
    EXPECT_NE(err.find("Will not write through a link: " + (shared / "doc").string()), std::string::npos) << err;

    // A package folder whose document part is a link reads as one without.
    const fs::path folder = dir.path() / "pkg";
    fs::create_directories(folder / "word");
    testutil::writeFile(victim, "secret of the reader");
    fs::create_symlink(victim, folder / "word" / "document.xml");
    EXPECT_EQ(run("-o '" + (dir.path() / "p.html").string() + "' '" + folder.string() + "'", err), 1);
    EXPECT_NE(err.find("This package holds no document part"), std::string::npos) << err;
}

TEST(PageAttacks, LabelsAndCountersStayBounded) {
    testutil::TempDir dir;
    std::string levelText;
    for (int i = 0; i < 20; ++i) levelText += "%1";
    const std::string item = "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
                             "<w:r><w:t>item</w:t></w:r></w:p>";
    Doc d{item + item + item, rel("rN", "numbering", "numbering.xml"),
          {{"word/numbering.xml",
            "<w:numbering " + kNs + "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"2147483647\"/>"
            "<w:numFmt w:val=\"upperLetter\"/><w:lvlText w:val=\"" + levelText + "\"/></w:lvl></w:abstractNum>"
            "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>"}}};
    const std::string page = pageOf(d, true, dir.path());
    EXPECT_LT(page.size(), 20000u);
    EXPECT_NE(page.find(std::string(64, 'G') + "&#160;"), std::string::npos);  // at the largest number, cut at 64
}
