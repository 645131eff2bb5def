// The recent-files list: its order rules, rec.lst, and the submenu.
#include <set>

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "core/uStr.h"
#include "viewer/HTMLView.h"
#include "viewer/uRecentFile.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;
using tavin::RecentList;

namespace {

class RecentTest : public ::testing::Test {
protected:
    fs::path listFile() const { return env.config() / "tavin" / "rec.lst"; }
    std::string doc(const std::string& name, const std::string& title = "T") {
        const fs::path p = env.docs() / name;
        writeDocx(p, {.title = title, .picture = false});
        return p.string();
    }
    IsolatedEnv env;
};

RecentList listOf(std::initializer_list<std::string> entries) {
    RecentList list;
    std::size_t i = 0;
    for (const auto& e : entries) list[i++] = e;
    return list;
}

int crlfCount(const std::string& text) {
    int n = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

}  // namespace

TEST_F(RecentTest, FileOpenPutsDocumentsOnTopAndSwapsOnesAlreadyListed) {
    const std::string p = doc("p.docx"), q = doc("q.docx"), r = doc("r.docx");
    TestForm form;
    form.FormShow();
    for (const auto& d : {p, q, r}) ASSERT_TRUE(openAndWait(form, d));
    EXPECT_EQ(form.recent.recentFiles, listOf({r, q, p}));

    // P swaps with the top entry; Q between them stays.
    ASSERT_TRUE(openAndWait(form, p));
    EXPECT_EQ(form.recent.recentFiles, listOf({p, q, r}));
    ASSERT_TRUE(openAndWait(form, q));
    EXPECT_EQ(form.recent.recentFiles, listOf({q, p, r}));

    // The submenu shows the list, empty slots hidden.
    const QList<QAction*> items = form.OpenRecent1->actions();
    ASSERT_EQ(items.size(), 8);
    EXPECT_EQ(items[0]->text().toStdString(), q);
    EXPECT_EQ(items[2]->text().toStdString(), r);
    EXPECT_TRUE(items[2]->isVisible());
    EXPECT_FALSE(items[3]->isVisible());

    // A failed open and a cancelled dialog leave the list alone.
    form.openAnswers << QString::fromStdString((env.docs() / "gone.docx").string());
    form.FileOpenItemClick();
    form.FileOpenItemClick();
    EXPECT_EQ(form.recent.recentFiles, listOf({q, p, r}));

    // Opening from the submenu does not reorder; a missing file is reported
    // in three lines and stays listed.
    LoadTracker tracker(form.wb1);
    items[2]->trigger();
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_EQ(form.windowTitle().toStdString(), "Tavin - " + r);
    EXPECT_EQ(form.recent.recentFiles, listOf({q, p, r}));
    fs::remove(p);
    items[1]->trigger();
    EXPECT_EQ(form.messages,
              QStringList({"Tavin|File not found.\nMaybe it was moved or renamed,\nplease check."}));
    EXPECT_EQ(form.recent.recentFiles, listOf({q, p, r}));
    EXPECT_EQ(form.windowTitle().toStdString(), "Tavin - " + r);
}

TEST_F(RecentTest, TheListKeepsEightPathsExactlyAsOpened) {
    QMenu menu;
    tavin::TRecentFiles recent;
    recent.loadRecentMenu(&menu, listFile().string(), [](int) {});
    EXPECT_EQ(recent.recentFiles, RecentList{});
    for (QAction* a : menu.actions()) EXPECT_FALSE(a->isVisible());

    for (int i = 1; i <= 9; ++i) recent.addRecentFile("/d/" + std::to_string(i) + ".docx");
    EXPECT_EQ(recent.recentFiles, listOf({"/d/9.docx", "/d/8.docx", "/d/7.docx", "/d/6.docx", "/d/5.docx",
                                          "/d/4.docx", "/d/3.docx", "/d/2.docx"}));
    for (QAction* a : menu.actions()) EXPECT_TRUE(a->isVisible());

    // Letter case makes a different path.
    recent.addRecentFile("/d/9.DOCX");
    EXPECT_EQ(recent.recentFiles[0], "/d/9.DOCX");
    EXPECT_EQ(recent.recentFiles[1], "/d/9.docx");

    // A path with a line break cannot be kept one a line: not added.
    recent.addRecentFile("/d/two\nlines.docx");
    recent.addRecentFile("/d/cr\r.docx");
    EXPECT_EQ(recent.recentFiles[0], "/d/9.DOCX");

    // "&" shows as itself in the menu.
    recent.addRecentFile("/d/R&D & more.docx");
    EXPECT_EQ(menu.actions()[0]->text(), "/d/R&&D && more.docx");
}

TEST_F(RecentTest, RecListLinesFillTheEightSlots) {
    EXPECT_EQ(tavin::parseRecentList("a\r\nb"), listOf({"a", "b"}));
    EXPECT_EQ(tavin::parseRecentList("a\nb\n"), listOf({"a", "b"}));
    EXPECT_EQ(tavin::parseRecentList(" \r\n\t\r\n"), RecentList{});
    EXPECT_EQ(tavin::parseRecentList("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10"),
              listOf({"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(tavin::formatRecentList(listOf({"a", "", "c"})), "a\r\n\r\nc\r\n\r\n\r\n\r\n\r\n");

    // Read through the submenu: missing lines are hidden, empty items.
    testutil::writeFile(listFile(), "/x/one.docx\r\n\r\n/x/three.docx");
    QMenu menu;
    tavin::TRecentFiles recent;
    recent.loadRecentMenu(&menu, listFile().string(), [](int) {});
    EXPECT_EQ(recent.recentFiles, listOf({"/x/one.docx", "", "/x/three.docx"}));
    const QList<QAction*> items = menu.actions();
    EXPECT_TRUE(items[0]->isVisible());
    EXPECT_FALSE(items[1]->isVisible());
    EXPECT_TRUE(items[2]->isVisible());
    EXPECT_FALSE(items[7]->isVisible());

    // Re-opening an entry across the gap swaps it to the top.
    recent.addRecentFile("/x/three.docx");
    EXPECT_EQ(recent.recentFiles, listOf({"/x/three.docx", "", "/x/one.docx"}));
    EXPECT_EQ(items[2]->text(), "/x/one.docx");
}

TEST_F(RecentTest, ClosingWritesEightLinesWithSevenLineBreaks) {
    // HOME alone, as on a fresh account: ~/.config/tavin/rec.lst.
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME"), savedHome = qgetenv("HOME");
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(env.root().string()));
    const fs::path file = env.root() / ".config" / "tavin" / "rec.lst";
    EXPECT_EQ(tavin::recentListPath(), file.string());
    {
        TestForm form;
        form.show();
        form.activateWindow();
        ASSERT_TRUE(waitFor([&] { return form.isActiveWindow(); }));
        form.FormShow();
        QTest::keyClick(&form, Qt::Key_F12);
        EXPECT_TRUE(waitFor([&] { return !form.isVisible(); }));
    }
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(testutil::readFile(file), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");

    // A list of more lines is written back as eight, and no temporary file
    // stays behind.
    testutil::writeFile(file, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n");
    const std::string p = doc("p.docx");
    {
        TestForm form;
        form.FormShow();
        ASSERT_TRUE(openAndWait(form, p));
        form.close();
    }
    const std::string text = testutil::readFile(file);
    EXPECT_EQ(crlfCount(text), 7);
    EXPECT_EQ(text, p + "\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7");
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(file.parent_path())) names.insert(e.path().filename().string());
    EXPECT_EQ(names, std::set<std::string>({"rec.lst", "rec.lst.lock", "tavin.conf"}));

    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("HOME", savedHome);
}

TEST_F(RecentTest, AListThatCannotBeWrittenIsReportedAndTheWindowStillCloses) {
    testutil::writeFile(env.config() / "tavin", "a file where the folder should be");
    TestForm form;
    form.show();
    form.FormShow();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(form.errors.size(), 1);
    EXPECT_TRUE(form.errors[0].contains("rec.lst")) << form.errors[0].toStdString();
}

TEST_F(RecentTest, AWindowClosedBeforeItReadTheListLeavesItAlone) {
    testutil::writeFile(listFile(), "/kept/one.docx");
    {
        TestForm form;
        form.close();
    }
    EXPECT_EQ(testutil::readFile(listFile()), "/kept/one.docx");
}

TEST_F(RecentTest, APathWithAnAmpersandOpensAsShown) {
    const std::string amp = doc("R&D notes.docx", "Ampersand");
    const std::string start = doc("start.docx", "Start");
    TestForm form(start);
    form.FormShow();
    ASSERT_TRUE(waitFor([&] { return form.documentOpen(); }));
    // Opened from the command line: listed as File > Open lists it.
    EXPECT_EQ(form.recent.recentFiles[0], start);

    ASSERT_TRUE(openAndWait(form, amp));
    QAction* item = form.OpenRecent1->actions()[0];
    EXPECT_EQ(item->text().toStdString(), tavin::replaceAll(amp, "&", "&&"));
    ASSERT_TRUE(openAndWait(form, start));

    LoadTracker tracker(form.wb1);
    form.OpenRecent1->actions()[1]->trigger();
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_TRUE(form.messages.isEmpty());
    EXPECT_EQ(form.pnlTitle->text(), " Title: Ampersand");
}
