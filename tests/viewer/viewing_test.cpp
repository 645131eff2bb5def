// What the window does beyond its form's menus: dropping documents on it,
// Ctrl+O, reloading, zoom and finding text in the page.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "viewer/HTMLView.h"
#include "viewer/findbar.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

class ViewingTest : public ::testing::Test {
protected:
    IsolatedEnv env;
};

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

// Sends a drag of urls over target and, when drop is set, drops it.
// Returns whether the target took the drag.
bool dragOnto(QWidget* target, const QList<QUrl>& urls, bool drop) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    if (drop) {
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }
    return true;
}

// A wheel turn of one notch over the view's drawing surface.
void wheel(tavin::THTMLView* view, int notches, Qt::KeyboardModifiers modifiers) {
    QWidget* surface = view->focusProxy();
    const QPointF at(50, 50);
    QWheelEvent e(at, surface->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(surface, &e);
}

}  // namespace

TEST_F(ViewingTest, DroppingADocxOpensItAsFileOpenDoes) {
    const fs::path first = env.docs() / "dropped one.docx";
    const fs::path second = env.docs() / "second.DOCX";
    const fs::path text = env.docs() / "notes.txt";
    writeDocx(first, {.title = "Dropped on the view"});
    writeDocx(second, {.title = "Dropped on the status bar"});
    testutil::writeFile(text, "text");
    TestForm form;
    form.FormShow();
    form.show();

    // The window takes only local .docx files that exist.
    EXPECT_FALSE(dragOnto(form.pnlTitle, {QUrl::fromLocalFile(q(text))}, false));
    EXPECT_FALSE(dragOnto(form.pnlTitle, {QUrl("https://www.example.org/a.docx")}, false));
    EXPECT_FALSE(dragOnto(form.pnlTitle, {QUrl::fromLocalFile(q(env.docs() / "gone.docx"))}, false));

    LoadTracker tracker(form.wb1);
    ASSERT_TRUE(dragOnto(form.wb1, {QUrl::fromLocalFile(q(text)), QUrl::fromLocalFile(q(first))}, true));
    ASSERT_TRUE(waitFor([&] { return form.documentOpen(); }));
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_EQ(form.windowTitle(), "Tavin - " + q(first));
    EXPECT_EQ(form.pnlTitle->text(), " Title: Dropped on the view");
    EXPECT_EQ(form.recent.recentFiles[0], first.string());

    // Outside the view (the status bar hands the drop to the window).
    ASSERT_TRUE(dragOnto(form.pnlTitle, {QUrl::fromLocalFile(q(second))}, true));
    ASSERT_TRUE(waitFor([&] { return form.pnlTitle->text() == " Title: Dropped on the status bar"; }));
    EXPECT_EQ(form.recent.recentFiles[0], second.string());
    EXPECT_EQ(form.recent.recentFiles[1], first.string());
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
}

TEST_F(ViewingTest, CtrlOOpensAndF5ReloadsTheChangedFile) {
    const fs::path doc = env.docs() / "draft.docx";
    writeDocx(doc, {.title = "First", .picture = false});
    TestForm form;
    form.FormShow();
    ASSERT_TRUE(showActive(form));

    // Before any open, F5 does nothing.
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_FALSE(form.documentOpen());
    EXPECT_TRUE(fs::is_empty(env.cache()));
    EXPECT_TRUE(form.errors.isEmpty());

    LoadTracker tracker(form.wb1);
    form.openAnswers << q(doc);
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(form.openAnswers.isEmpty());  // the dialog was asked
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_EQ(form.pnlTitle->text(), " Title: First");
    EXPECT_EQ(form.recent.recentFiles[0], doc.string());

    // The file changes on disk; F5 extracts it afresh and shows it.
    writeDocx(doc, {.title = "Second version", .picture = false,
                    .paragraphs = "<w:p><w:r><w:t>Added later</w:t></w:r></w:p>"});
    const QUrl before = form.wb1->textPageUrl();
    form.wb1->focusProxy()->setFocus();
    QTest::keyClick(form.wb1->focusProxy(), Qt::Key_F5);
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_NE(form.wb1->textPageUrl(), before);
    EXPECT_EQ(form.pnlTitle->text(), " Title: Second version");
    EXPECT_NE(form.shownPage().find("Added later"), std::string::npos);
    EXPECT_EQ(form.windowTitle(), "Tavin - " + q(doc));
    EXPECT_EQ(form.recent.recentFiles[1], "");  // a reload is no new entry

    // A reload of a file that went away is reported; the page stays.
    fs::remove(doc);
    form.FileReloadItem->trigger();
    ASSERT_EQ(form.errors.size(), 1);
    EXPECT_TRUE(form.errors[0].contains("draft.docx"));
    EXPECT_NE(form.shownPage().find("Added later"), std::string::npos);
}

TEST_F(ViewingTest, ZoomHoldsAcrossOpensReloadsAndConvert) {
    const fs::path a = env.docs() / "a.docx";
    const fs::path b = env.docs() / "b.docx";
    writeDocx(a, {.title = "A"});
    writeDocx(b, {.title = "B"});
    TestForm form;
    form.resize(1000, 700);
    ASSERT_TRUE(showActive(form));
    ASSERT_TRUE(openAndWait(form, a.string()));
    tavin::THTMLView* view = form.wb1;
    // What the page's layout sees: CSS pixels across the view.
    auto cssWidth = [&] { return evaluate(view, "window.innerWidth").toDouble(); };
    const double plainWidth = cssWidth();
    ASSERT_GT(plainWidth, 500);

    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.1);
    QTest::keyClick(&form, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.25);
    QTest::keyClick(&form, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.1);
    QTest::keyClick(&form, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.0);

    // Ctrl+wheel zooms a step a notch; the wheel alone does not.
    wheel(view, 2, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.25);
    wheel(view, -1, Qt::NoModifier);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.25);
    EXPECT_TRUE(waitFor([&] { return std::abs(cssWidth() - plainWidth / 1.25) < 2; }));

    // The factor stays for the next document, a reload and the page-margin
    // option's page file, and the page is laid out at it.
    ASSERT_TRUE(openAndWait(form, b.string()));
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.25);
    EXPECT_TRUE(waitFor([&] { return std::abs(cssWidth() - plainWidth / 1.25) < 2; })) << cssWidth();
    LoadTracker tracker(view);
    form.FileReloadItemClick();
    ASSERT_TRUE(tracker.waitForUrl(view->textPageUrl()));
    form.ImposepageMargin1Click();
    ASSERT_TRUE(tracker.waitForUrl(view->textPageUrl()));
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.25);
    EXPECT_TRUE(waitFor([&] { return std::abs(cssWidth() - plainWidth / 1.25) < 2; })) << cssWidth();

    // The steps end at both ends.
    for (int i = 0; i < 30; ++i) view->zoomOut();
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 0.25);
    for (int i = 0; i < 30; ++i) view->zoomIn();
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 5.0);
}

TEST_F(ViewingTest, FindCountsMatchesStepsThroughThemAndEscapeCloses) {
    const fs::path doc = env.docs() / "find.docx";
    writeDocx(doc, {.picture = false,
                    .paragraphs = "<w:p><w:r><w:t>a needle here</w:t></w:r></w:p>"
                                  "<w:p><w:r><w:t>NEEDLE again, and needles</w:t></w:r></w:p>"});
    TestForm form;
    ASSERT_TRUE(showActive(form));
    ASSERT_TRUE(openAndWait(form, doc.string()));
    tavin::TFindBar* bar = form.findBar;
    EXPECT_FALSE(bar->isVisible());

    // Keys typed into the page reach the window's shortcuts.
    form.wb1->focusProxy()->setFocus();
    QTest::keyClick(form.wb1->focusProxy(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->edtFind->hasFocus());
    QTest::keyClicks(bar->edtFind, "needle");
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "1 of 3"; })) << bar->lblMatches->text().toStdString();

    QTest::keyClick(bar->edtFind, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "2 of 3"; }));
    bar->btnNext->click();
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "3 of 3"; }));
    bar->btnNext->click();  // round to the first
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "1 of 3"; }));
    QTest::keyClick(bar->edtFind, Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "3 of 3"; }));
    bar->btnPrevious->click();
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "2 of 3"; }));
    EXPECT_EQ(bar->matchCount(), 3);
    EXPECT_EQ(bar->activeMatch(), 2);

    bar->edtFind->setText("haystack");
    ASSERT_TRUE(waitFor([&] { return bar->lblMatches->text() == "No matches"; }));
    bar->edtFind->setText("needle");
    ASSERT_TRUE(waitFor([&] { return bar->matchCount() == 3; }));

    QTest::keyClick(bar->edtFind, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(bar->lblMatches->text().isEmpty());

    // Opened again, it searches for its text at once.
    form.ViewFindItem->trigger();
    ASSERT_TRUE(waitFor([&] { return bar->matchCount() == 3; }));
    EXPECT_TRUE(bar->edtFind->hasSelectedText());
}
