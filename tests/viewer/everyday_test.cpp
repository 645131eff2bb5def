// The viewer as people use it: keys reach the page, no history, help and
// print, several windows, settings, the cache, and messages that say what a
// file is.
#include <csignal>
#include <ctime>
#include <set>
#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QToolButton>
#include <QTest>
#include <QTimer>
#include <QWebEngineHistory>

#include "docx2html/context.h"
#include "package/cache.h"
#include "package/workfolder.h"
#include "viewer/HTMLView.h"
#include "viewer/association.h"
#include "viewer/closesignals.h"
#include "viewer/helpwindow.h"
#include "viewer/outline.h"
#include "viewer/pdfexport.h"
#include "viewer/uRecentFile.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

constexpr const char* kSourceRecord = tavin::kSourceRecordName;

class EverydayTest : public ::testing::Test {
protected:
    IsolatedEnv env;
};

// Body XML of n numbered paragraphs, enough to scroll through.
std::string longBody(int n) {
    std::string body;
    for (int i = 0; i < n; ++i) body += "<w:p><w:r><w:t>Line " + std::to_string(i) + " of the long text</w:t></w:r></w:p>";
    return body;
}

bool pageHasFocus(tavin::TForm1& form) {
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == form.wb1 || form.wb1->isAncestorOf(focus));
}

double scrollY(QWebEngineView* view) { return evaluate(view, "window.scrollY").toDouble(); }


}  // namespace

TEST_F(EverydayTest, TheKeysGoToThePageAndBackReturnsWhereALinkLeft) {
    const fs::path doc = env.docs() / "keys.docx";
    writeDocx(doc, {.paragraphs = longBody(300) + "<w:p><w:bookmarkStart w:id=\"0\" w:name=\"far\"/>"
                                                  "<w:r><w:t>Far down</w:t></w:r><w:bookmarkEnd w:id=\"0\"/></w:p>" +
                                  longBody(100)});
    TestForm form;
    ASSERT_TRUE(showActive(form));
    // The status bar's button never takes the keys.
    EXPECT_EQ(form.btnHelp->focusPolicy(), Qt::NoFocus);
    ASSERT_TRUE(openAndWait(form, doc.string()));
    EXPECT_TRUE(waitFor([&] { return pageHasFocus(form); })) << QApplication::focusWidget();
    const QUrl shown = form.wb1->url();

    // Keys scroll at once.
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, Qt::Key_PageDown);
    ASSERT_TRUE(waitFor([&] { return scrollY(form.wb1) > 0; }, 10000));
    const double start = scrollY(form.wb1);
    EXPECT_FALSE(form.ViewBackItem->isEnabled());

    // A link inside the page keeps where it left; each way back returns
    // there and each way forward goes again, on the same page.
    const QString folder = QUrl::fromLocalFile(q(fs::path(form.workFolder()) / "word")).toString() + "/";
    auto follow = [&] {
        form.wb1->htmlPage()->routeNavigation(QUrl(folder + "#far"), QWebEnginePage::NavigationTypeLinkClicked, true);
    };
    auto near = [&](double y) { return waitFor([&] { return std::abs(scrollY(form.wb1) - y) < 2; }, 10000); };
    follow();
    ASSERT_TRUE(waitFor([&] { return scrollY(form.wb1) > start + 1000 && form.ViewBackItem->isEnabled(); }));
    const double far = scrollY(form.wb1);
    auto mouse = [&](Qt::MouseButton b) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), b, b, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), b, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    };
    const std::vector<std::pair<const char*, std::function<void()>>> moves = {
        {"Alt+Left", [&] { QTest::keyClick(target, Qt::Key_Left, Qt::AltModifier); }},
        {"Alt+Right", [&] { QTest::keyClick(target, Qt::Key_Right, Qt::AltModifier); }},
        {"back button", [&] { mouse(Qt::BackButton); }},
        {"forward button", [&] { mouse(Qt::ForwardButton); }},
        {"Back key", [&] { QTest::keyClick(target, Qt::Key_Back); }},
        {"engine's Forward", [&] { form.wb1->forward(); }},
        {"View > Back", [&] { form.ViewBackItem->trigger(); }},
    };
    for (std::size_t i = 0; i < moves.size(); ++i) {
        moves[i].second();
        EXPECT_TRUE(near(i % 2 == 0 ? start : far)) << moves[i].first << ": " << scrollY(form.wb1);
    }
    EXPECT_FALSE(form.ViewBackItem->isEnabled());
    EXPECT_TRUE(form.ViewForwardItem->isEnabled());
    // Nothing more to go back to: the page stays where it is, and the
    // engine's own history holds nothing.
    form.wb1->back();
    QTest::keyClick(target, Qt::Key_Left, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_TRUE(near(start));
    EXPECT_EQ(form.wb1->url(), shown);
    EXPECT_FALSE(form.wb1->history()->canGoBack());
    EXPECT_NE(evaluate(form.wb1, "document.body.innerText.indexOf('Line 299')").toInt(), -1);

    // Reload and re-conversion give the keys to the page again; a new page
    // starts with no positions.
    form.btnHelp->setFocusPolicy(Qt::StrongFocus);
    form.btnHelp->setFocus();
    LoadTracker tracker(form.wb1);
    form.FileReloadItemClick();
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_TRUE(waitFor([&] { return pageHasFocus(form); }));
    EXPECT_FALSE(form.ViewForwardItem->isEnabled());
    form.btnHelp->setFocus();
    const QUrl before = form.wb1->url();
    form.chkPage->trigger();
    EXPECT_TRUE(waitFor([&] { return form.wb1->url() != before && pageHasFocus(form); }));
}

TEST_F(EverydayTest, TheReadingPositionSurvivesReloadAndTheMarginOption) {
    const fs::path doc = env.docs() / "long.docx";
    writeDocx(doc, {.picture = false, .paragraphs = longBody(600)});
    TestForm form;
    form.resize(800, 600);
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    evaluate(form.wb1, "window.scrollTo(0, document.documentElement.scrollHeight / 2); 1");
    ASSERT_TRUE(waitFor([&] { return form.wb1->page()->scrollPosition().y() > 1000; }));
    const double before = scrollY(form.wb1);

    LoadTracker tracker(form.wb1);
    form.FileReloadItemClick();
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_TRUE(waitFor([&] { return std::abs(scrollY(form.wb1) - before) < before * 0.1; }, 10000))
        << scrollY(form.wb1) << " against " << before;

    // Another margin lays the page out anew: the same share of it.
    ASSERT_TRUE(waitFor([&] { return form.wb1->page()->scrollPosition().y() > 1000; }));
    const QUrl reloaded = form.wb1->url();
    form.chkPage->trigger();
    EXPECT_TRUE(waitFor([&] { return form.wb1->url() != reloaded && scrollY(form.wb1) > before * 0.5; }, 10000))
        << scrollY(form.wb1);
}

TEST_F(EverydayTest, APageShownAgainIsTheOneAConversionGivesNow) {
    const fs::path doc = env.docs() / "again.docx";
    auto write = [&](const char* text) {
        writeDocx(doc, {.picture = false, .paragraphs = std::string("<w:p><w:r><w:t>") + text + "</w:t></w:r></w:p>"});
    };
    write("First text");
    TestForm form;
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    LoadTracker tracker(form.wb1);
    // Every command loads the page anew, kept or converted.
    auto after = [&](const std::function<void()>& command) {
        const QUrl before = form.wb1->textPageUrl();
        command();
        EXPECT_NE(form.wb1->textPageUrl(), before);
        EXPECT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
        return form.shownPage();
    };
    auto reload = [&] { form.FileReloadItemClick(); };
    auto toggle = [&] { form.chkFidelity->trigger(); };
    const std::string full = form.shownPage();
    // Laid out as a browser lays out docx2html's page, in standards mode.
    EXPECT_EQ(evaluate(form.wb1, "document.compatMode").toString(), "CSS1Compat");
    EXPECT_EQ(after(reload), full);
    const std::string classic = after(toggle);
    EXPECT_NE(classic, full);
    // An option turned back shows its page with its options, which F5 keeps.
    EXPECT_EQ(after(toggle), full);
    EXPECT_TRUE(form.context().fullFidelity);
    EXPECT_EQ(after(reload), full);
    EXPECT_EQ(evaluate(form.wb1, "document.compatMode").toString(), "CSS1Compat");
    EXPECT_EQ(after(toggle), classic);
    EXPECT_FALSE(form.context().fullFidelity);

    // A changed file is converted, and so is the page of an option turned
    // back after it.
    write("Second text");
    EXPECT_NE(after(reload).find("Second text"), std::string::npos);
    const std::string changed = after(toggle);
    EXPECT_NE(changed.find("Second text"), std::string::npos);
    EXPECT_TRUE(form.context().fullFidelity);
    // A work folder removed meanwhile is extracted and converted again.
    fs::remove_all(form.workFolder());
    EXPECT_EQ(after(reload), changed);
    EXPECT_TRUE(fs::exists(fs::path(form.workFolder()) / kSourceRecord));
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
}

TEST_F(EverydayTest, StartScreenBusyPanelAndMenus) {
    TestForm form;
    form.show();
    // Before any document: how to open one.
    EXPECT_TRUE(waitFor([&] {
        return evaluate(form.wb1, "document.body ? document.body.innerText : ''").toString().contains("Ctrl+O");
    }));
    const QString start = evaluate(form.wb1, "document.body.innerText").toString();
    EXPECT_TRUE(start.contains("F2") && start.contains("drop")) << start.toStdString();

    // Ctrl+O shown beside F2, the closing keys, and an empty Open Recent
    // greyed until it lists something.
    EXPECT_TRUE(form.FileOpenItem->text().endsWith("\tF2, Ctrl+O")) << form.FileOpenItem->text().toStdString();
    EXPECT_EQ(form.FileOpenKey->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    const QList<QKeySequence> exits = form.FileExitItem->shortcuts();
    EXPECT_TRUE(exits.contains(QKeySequence(Qt::Key_F12)));
    EXPECT_TRUE(exits.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    EXPECT_TRUE(exits.contains(QKeySequence(Qt::CTRL | Qt::Key_W)));
    form.FormShow();
    EXPECT_FALSE(form.OpenRecent1->isEnabled());

    // While a document opens the busy panel names it (shown over the old
    // page once the open takes a moment), and it is gone once the page is.
    const fs::path doc = env.docs() / "busy.docx";
    writeDocx(doc);
    bool seen = false;
    QTimer::singleShot(0, &form, [&] { seen = form.busy() && form.lblBusy->text().contains("busy.docx"); });
    ASSERT_TRUE(openAndWait(form, doc.string()));
    EXPECT_TRUE(seen);
    EXPECT_TRUE(waitFor([&] { return !form.pnlBusy->isVisible(); }));
    EXPECT_TRUE(form.OpenRecent1->isEnabled());
    EXPECT_FALSE(form.windowIcon().isNull());
}

TEST_F(EverydayTest, CtrlQAndCtrlWCloseTheWindow) {
    for (Qt::Key key : {Qt::Key_Q, Qt::Key_W}) {
        TestForm form;
        ASSERT_TRUE(showActive(form));
        QTest::keyClick(&form, key, Qt::ControlModifier);
        EXPECT_FALSE(form.isVisible()) << key;
    }
}

TEST_F(EverydayTest, PrintingSendsTheDocumentsOwnPdf) {
    ASSERT_TRUE(havePdfToText()) << "pdftotext is not installed (scripts/install-deps installs poppler-utils)";
    const fs::path doc = env.docs() / "printed.docx";
    std::string body;
    for (int i = 0; i < 120; ++i) {
        body += "<w:p><w:r><w:t>Printed paragraph " + std::to_string(i) +
                " with a line long enough to reach the right edge of the paper and go on past it</w:t></w:r></w:p>";
    }
    writeDocx(doc, {.paragraphs = body});
    TestForm form;
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    const fs::path pdf = env.root() / "printed.pdf";
    bool busyShown = false;
    form.printAnswer = [&](QPrinter* printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(q(pdf));
        QTimer::singleShot(0, &form, [&] { busyShown = form.pnlBusy->isVisible(); });
        return true;
    };
    form.FilePrintItemClick();
    ASSERT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_TRUE(busyShown);
    // Text stays text, the lines are whole, and the file is small.
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("Printed paragraph 0 "), std::string::npos);
    EXPECT_NE(text.find("Printed paragraph 119 "), std::string::npos);
    EXPECT_NE(text.find("go on past it"), std::string::npos) << text.substr(0, 400);
    EXPECT_LT(fs::file_size(pdf), 400u * 1024) << fs::file_size(pdf);
}

TEST_F(EverydayTest, TwoWindowsKeepEachOthersRecentEntries) {
    const fs::path a = env.docs() / "a.docx";
    const fs::path b = env.docs() / "b.docx";
    writeDocx(a);
    writeDocx(b);
    const fs::path list = env.config() / "tavin" / "rec.lst";
    {
        TestForm one, two;
        one.show();
        two.show();
        one.FormShow();
        two.FormShow();
        ASSERT_TRUE(openAndWait(one, a.string()));
        // Written at once, not only at the close.
        EXPECT_EQ(tavin::parseRecentList(testutil::readFile(list))[0], a.string());
        ASSERT_TRUE(openAndWait(two, b.string()));
        two.close();
        one.close();  // the last to close keeps the other's entry
    }
    const tavin::RecentList stored = tavin::parseRecentList(testutil::readFile(list));
    const std::set<std::string> top{stored[0], stored[1]};
    EXPECT_EQ(top, std::set<std::string>({a.string(), b.string()}));
}

TEST_F(EverydayTest, TerminationAndHangUpCloseTheWindowsAsF12Does) {
    tavin::closeWindowsOnSignals();
    const fs::path doc = env.docs() / "signalled.docx";
    writeDocx(doc);
    for (int sig : {SIGTERM, SIGHUP}) {
        auto* form = new TestForm;
        form->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TestForm> alive(form);
        form->show();
        form->FormShow();
        form->resize(640 + sig, 500);
        ASSERT_TRUE(openAndWait(*form, doc.string()));
        ::raise(sig);
        EXPECT_TRUE(waitFor([&] { return alive.isNull(); }, 10000)) << sig;
        QSettings settings(tavin::TForm1::settingsPath(), QSettings::IniFormat);
        EXPECT_TRUE(settings.contains("window/geometry"));
    }
    EXPECT_EQ(tavin::parseRecentList(testutil::readFile(env.config() / "tavin" / "rec.lst"))[0], doc.string());
}

TEST_F(EverydayTest, OneWindowForEachDocumentOnTheCommandLine) {
    const fs::path a = env.docs() / "first.docx";
    const fs::path b = env.docs() / "second.docx";
    writeDocx(a, {.title = "First"});
    writeDocx(b, {.title = "Second"});
    std::vector<QPointer<tavin::TForm1>> windows;
    for (tavin::TForm1* w : tavin::openStartWindows({a.string(), b.string()})) windows.emplace_back(w);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_TRUE(waitFor([&] { return windows[0]->documentOpen() && windows[1]->documentOpen(); }));
    EXPECT_EQ(windows[0]->pnlTitle->text(), " Title: First");
    EXPECT_EQ(windows[1]->pnlTitle->text(), " Title: Second");
    for (auto& w : windows) w->close();
    EXPECT_TRUE(waitFor([&] { return windows[0].isNull() && windows[1].isNull(); }));
}

TEST_F(EverydayTest, SettingsAreRestoredAndTheirFolderIsPrivate) {
    const fs::path config = env.root() / "fresh-config";  // made by the viewer
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
    {
        TestForm form;
        form.show();
        form.FormShow();
        form.resize(777, 555);
        form.wb1->zoomIn();
        EXPECT_EQ(form.pnlZoom->text(), "110%");
        form.mStatus->trigger();
        form.chkChanges->trigger();  // before Full Fidelity, which it needs
        form.chkFidelity->trigger();
        form.chkPage->trigger();
        form.ViewOutlineItem->trigger();
        form.close();
    }
    struct stat st {};
    ASSERT_EQ(::stat((config / "tavin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(fs::exists(config / "tavin" / "tavin.conf"));
    TestForm again;
    EXPECT_TRUE(again.restoreSettings());
    again.show();
    EXPECT_EQ(again.size(), QSize(777, 555));
    EXPECT_DOUBLE_EQ(again.wb1->zoomFactor(), 1.1);
    EXPECT_EQ(again.pnlZoom->text(), "110%");
    EXPECT_FALSE(again.mStatus->isChecked());
    EXPECT_FALSE(again.pnlStatus->isVisible());
    EXPECT_FALSE(again.chkFidelity->isChecked());
    EXPECT_FALSE(again.chkPage->isChecked());
    EXPECT_FALSE(again.context().fullFidelity);
    EXPECT_FALSE(again.context().showPageMargin);
    EXPECT_FALSE(again.chkChanges->isChecked());
    EXPECT_FALSE(again.chkChanges->isEnabled());
    EXPECT_FALSE(again.context().showChanges);
    EXPECT_TRUE(again.outline->isVisible());
    // Ctrl+0, View > Actual Size.
    again.ViewZoomResetItem->trigger();
    EXPECT_EQ(again.pnlZoom->text(), "100%");
    EXPECT_EQ(again.ViewZoomResetItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_EQ(again.ViewZoomResetItem->text(), "&Actual Size");

    // The recent list makes its folder private too.
    tavin::TRecentFiles recent;
    recent.addRecentFile("/a.docx");
    recent.storeRecentList((env.root() / "other" / "tavin" / "rec.lst").string());
    for (const char* folder : {"other", "other/tavin"}) {
        ASSERT_EQ(::stat((env.root() / folder).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
}

TEST_F(EverydayTest, TheCacheIsPrunedByAgeAndVanishedSource) {
    const std::string root = tavin::tempRoot();
    auto open = [&](const char* name) {
        const fs::path doc = env.docs() / name;
        writeDocx(doc);
        return std::make_pair(doc, tavin::openWorkFolder(doc.string(), root));
    };
    const auto [old, oldFolder] = open("old.docx");
    const auto [gone, goneFolder] = open("gone.docx");
    const auto [fresh, freshFolder] = open("fresh.docx");
    const auto [start, startFolder] = open("start.docx");
    const fs::path foreign = fs::path(root) / "not-ours";
    fs::create_directories(foreign);
    const std::time_t monthAgo = std::time(nullptr) - 40 * 24 * 3600;
    const struct utimbuf times {monthAgo, monthAgo};
    ASSERT_EQ(::utime(oldFolder.c_str(), &times), 0);
    ASSERT_EQ(::utime(startFolder.c_str(), &times), 0);
    fs::remove(gone);

    // At start, with start.docx the document being opened.
    {
        TestForm form(start.string());
        form.show();
        ASSERT_TRUE(waitFor([&] { return form.documentOpen(); }));
        EXPECT_FALSE(fs::exists(oldFolder));
        EXPECT_FALSE(fs::exists(goneFolder));
        EXPECT_TRUE(fs::exists(freshFolder));
        EXPECT_TRUE(fs::exists(startFolder));
        EXPECT_TRUE(fs::exists(foreign));  // not a work folder of ours

        // Clear Cache keeps only the folder shown.
        LoadTracker tracker(form.wb1);
        ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
        form.FileClearCacheItem->trigger();
        EXPECT_FALSE(fs::exists(freshFolder));
        EXPECT_TRUE(fs::exists(startFolder));
        EXPECT_TRUE(fs::exists(foreign));
    }
    EXPECT_EQ(tavin::pruneCache(root, "", -1), 1);
    EXPECT_FALSE(fs::exists(startFolder));
}

TEST_F(EverydayTest, MessagesSayWhatTheFileIs) {
    const fs::path empty = env.docs() / "empty.docx";
    testutil::writeFile(empty, "");
    const fs::path text = env.docs() / "text.docx";
    testutil::writeFile(text, "Just some words.\n");
    std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    ole.resize(1024, '\0');
    auto utf16 = [](const std::string& s) {
        std::string out;
        for (char c : s) out += std::string(1, c) + '\0';
        return out;
    };
    const fs::path encrypted = env.docs() / "secret.docx";
    testutil::writeFile(encrypted, ole + utf16("EncryptedInfo") + utf16("EncryptedPackage"));
    const fs::path legacy = env.docs() / "old.doc";
    testutil::writeFile(legacy, ole + utf16("WordDocument"));
    ziptest::Archive odt;
    ziptest::Entry mime;
    mime.name = "mimetype";
    mime.data = "application/vnd.oasis.opendocument.text";
    mime.method = 0;
    odt.entries.push_back(mime);
    const fs::path open = env.docs() / "letter.odt";
    testutil::writeFile(open, ziptest::build(odt).bytes);

    TestForm form;
    form.show();
    for (const fs::path& p : {empty, text, encrypted, legacy, open}) {
        form.openAnswers << q(p);
        form.FileOpenItemClick();
    }
    EXPECT_EQ(form.errors, QStringList({"empty.docx is empty", "text.docx is not a Word document (.docx)",
                                        "secret.docx is encrypted (password-protected); Tavin cannot open it",
                                        "old.doc is a Word 97-2003 document (.doc), not .docx",
                                        "letter.odt is an OpenDocument file, not .docx"}));
    EXPECT_FALSE(form.documentOpen());

    // docx2html says the same.
    QProcess p;
    p.start(QStringLiteral(TAVIN_BINARY_DIR "/docx2html"), {q(legacy), "-o", "-"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(p.readAllStandardError().toStdString(),
              "docx2html: " + legacy.string() + ": old.doc is a Word 97-2003 document (.doc), not .docx\n");
}

TEST_F(EverydayTest, TheDesktopEntryStartsUnderASimpleLauncher) {
    // A launcher without a desktop environment reads the line with the
    // shell's read: the first word is the program.
    auto firstWord = [](const std::string& entry) {
        const std::size_t at = entry.find("\nExec=") + 6;
        const std::string exec = entry.substr(at, entry.find('\n', at) - at);
        QProcess sh;
        sh.start("sh", {"-c", "printf '%s\\n' \"$1\" | { read first rest; printf '%s' \"$first\"; }", "sh",
                        QString::fromStdString(exec)});
        sh.waitForFinished();
        return sh.readAllStandardOutput().toStdString();
    };
    EXPECT_EQ(firstWord(tavin::desktopEntryText("/usr/bin/tavin")), "/usr/bin/tavin");
    EXPECT_EQ(firstWord(tavin::desktopEntryText("/home/ann/tavin-1.0/build/tavin")),
              "/home/ann/tavin-1.0/build/tavin");
    EXPECT_NE(tavin::desktopEntryText("/opt/100%/tavin").find("\nExec=/opt/100%%/tavin %f\n"), std::string::npos);
    // A path that needs quoting is quoted as desktop entries say.
    EXPECT_NE(tavin::desktopEntryText("/opt/my tools/tavin").find("\nExec=\"/opt/my tools/tavin\" %f\n"),
              std::string::npos);
    const std::string installed = testutil::readFile(fs::path(TAVIN_SOURCE_DIR) / "data" / "tavin.desktop.in");
    EXPECT_NE(installed.find("\nExec=@TAVIN_INSTALLED_EXE@ %f\n"), std::string::npos);
}

TEST_F(EverydayTest, TheCommandLineRefusesWhatItCannotDo) {
    // An unknown option: the usage, status 2, before any window.
    ProcessResult r = runTavin({"--bogus"}, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("tavin: unknown option --bogus\nUsage: tavin", 0), 0u) << r.err;
    // No display at all.
    r = runTavin({"some.docx"}, {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavin: no display; use tavin --pdf or docx2html\n");
    // A Wayland display named but not there is no display either.
    r = runTavin({"some.docx"}, {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY=wayland-none",
                                 "XDG_RUNTIME_DIR=" + q(env.root())});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tavin: no display; use tavin --pdf or docx2html\n");
    // The engine's diagnostics stay quiet.
    const fs::path doc = env.docs() / "quiet.docx";
    writeDocx(doc);
    r = runTavin({"--pdf", q(env.root() / "quiet.pdf"), q(doc)}, {});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("webengine"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("GL"), std::string::npos) << r.err;
    // The final text of the classic page, which marks no changes.
    r = runTavin({"--pdf", "--final", "--no-fidelity", q(env.root() / "quiet.pdf"), q(doc)}, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("tavin: --final and --no-fidelity cannot be combined\n"), std::string::npos) << r.err;
}

// What is left of hostile documents and a reader's patience.

TEST_F(EverydayTest, PaperOfABillionTwipsIsCutTo5Metres) {
    tavin::ConversionContext ctx;
    ctx.pageWidth = "66666666";  // pixels: 10^9 twips
    ctx.pageHeight = "1056";
    std::string note;
    const QPageLayout layout = tavin::documentPageLayout(ctx, &note);
    const QSizeF size = layout.fullRect(QPageLayout::Millimeter).size();
    EXPECT_LE(std::max(size.width(), size.height()), 5001);
    EXPECT_FALSE(note.empty());
    note.clear();
    ctx.pageWidth = "816";
    tavin::documentPageLayout(ctx, &note);
    EXPECT_TRUE(note.empty());

    // End to end: the PDF is written, with a warning.
    const fs::path doc = env.docs() / "huge.docx";
    writeDocx(doc, {.paragraphs = "<w:p><w:r><w:t>Huge paper</w:t></w:r></w:p><w:sectPr><w:pgSz w:w=\"1000000000\" "
                                  "w:h=\"1000000000\"/></w:sectPr>"});
    const ProcessResult r = runTavin({"--pdf", q(env.root() / "huge.pdf"), q(doc)}, {});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(env.root() / "huge.pdf"));
}

TEST_F(EverydayTest, AWaitOnTheEngineEndsWithAnError) {
    const fs::path doc = env.docs() / "slow.docx";
    writeDocx(doc);
    TestForm form;
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    tavin::setRenderTimeout(1);
    form.exportAnswers << q(env.root() / "slow.pdf");
    form.FileExportPdfItemClick();
    tavin::setRenderTimeout(120000);
    EXPECT_EQ(form.errors, QStringList({"The page could not be rendered"}));
    EXPECT_FALSE(form.busy());
    QTest::qWait(300);  // a late answer finds no one waiting
}

TEST_F(EverydayTest, ThousandsOfBadEntriesMakeOneMessage) {
    std::vector<ziptest::Entry> bad;
    for (int i = 0; i < 5000; ++i) {
        ziptest::Entry e;
        e.name = "word/media/x" + std::to_string(i) + ".bin";
        e.data = "data";
        e.method = 3;  // a method the reader does not decode
        bad.push_back(e);
    }
    const fs::path doc = env.docs() / "many.docx";
    writeDocx(doc, {.extraEntries = bad});
    TestForm form;
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    ASSERT_EQ(form.messages.size(), 1);
    const QString box = form.messages[0];
    EXPECT_EQ(box.count('\n'), 10) << box.toStdString();
    EXPECT_TRUE(box.endsWith("and 4990 more")) << box.toStdString();

    // tavin --pdf (extracting afresh, in a cache of its own): ten warnings
    // and the count of the others.
    const ProcessResult r =
        runTavin({"--pdf", q(env.root() / "many.pdf"), q(doc)}, {"TAVIN_CACHE_DIR=" + q(env.root() / "cli-cache")});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string prefix = "tavin: " + doc.string() + ": warning: ";
    std::size_t lines = 0;
    for (std::size_t at = r.err.find(prefix); at != std::string::npos; at = r.err.find(prefix, at + 1)) ++lines;
    EXPECT_EQ(lines, 11u) << r.err.substr(0, 2000);
    EXPECT_NE(r.err.find(prefix + "and 4990 more\n"), std::string::npos);
}

TEST_F(EverydayTest, ClosingDuringAnOpenCancelsIt) {
    const fs::path doc = env.docs() / "closed.docx";
    writeDocx(doc);
    TestForm form;
    form.show();
    bool closedWhileBusy = false;
    QTimer::singleShot(0, &form, [&] {
        closedWhileBusy = form.busy();
        form.close();
    });
    form.openAnswers << q(doc);
    form.FileOpenItemClick();
    EXPECT_TRUE(closedWhileBusy);
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_TRUE(waitFor([&] { return !form.isVisible(); }));
    EXPECT_FALSE(form.busy());
    EXPECT_FALSE(form.documentOpen());
    // Nothing half-made stays in the cache (the extraction may have ended
    // before the close was seen: then its folder is whole).
    for (const auto& e : fs::directory_iterator(tavin::tempRoot())) {
        if (e.path().filename().string()[0] == '.' || !fs::exists(e.path() / kSourceRecord)) ADD_FAILURE() << e.path();
    }
}

TEST_F(EverydayTest, TwoExportsOfSameNamedDocumentsAtOnce) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "pdftoppm is not installed";
    const fs::path red = env.docs() / "red" / "report.docx";
    const fs::path blue = env.docs() / "blue" / "report.docx";
    fs::create_directories(red.parent_path());
    fs::create_directories(blue.parent_path());
    writeDocx(red, {.pictureColour = QColor(255, 0, 0)});
    writeDocx(blue, {.pictureColour = QColor(0, 0, 255)});
    auto start = [&](const fs::path& doc, const fs::path& pdf) {
        auto* p = new QProcess;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("TAVIN_CACHE_DIR", q(env.cache()));
        p->setProcessEnvironment(e);
        p->start(QStringLiteral(TAVIN_BINARY_DIR "/tavin"), {"--pdf", q(pdf), q(doc)});
        return p;
    };
    auto colours = [](const fs::path& pdf) {
        QProcess p;
        p.start("pdftoppm", {"-png", "-r", "30", "-f", "1", "-l", "1", "-singlefile", q(pdf),
                             q(pdf.parent_path() / pdf.stem())});
        p.waitForFinished(60000);
        const QImage page(q(pdf.parent_path() / (pdf.stem().string() + ".png")));
        return std::make_pair(countColour(page, QColor(255, 0, 0)), countColour(page, QColor(0, 0, 255)));
    };
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const fs::path redPdf = env.root() / ("red" + std::to_string(round) + ".pdf");
        const fs::path bluePdf = env.root() / ("blue" + std::to_string(round) + ".pdf");
        std::unique_ptr<QProcess> a(start(red, redPdf)), b(start(blue, bluePdf));
        ASSERT_TRUE(a->waitForFinished(120000) && b->waitForFinished(120000));
        ASSERT_EQ(a->exitCode(), 0) << a->readAllStandardError().toStdString();
        ASSERT_EQ(b->exitCode(), 0) << b->readAllStandardError().toStdString();
        const auto [redInRed, blueInRed] = colours(redPdf);
        const auto [redInBlue, blueInBlue] = colours(bluePdf);
        EXPECT_GT(redInRed, 0);
        EXPECT_EQ(blueInRed, 0);
        EXPECT_GT(blueInBlue, 0);
        EXPECT_EQ(redInBlue, 0);
    }
}
