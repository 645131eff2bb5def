// The main window: its menus and status bar, opening documents, the options
// and the application-wide handling of right clicks.
#include <gtest/gtest.h>

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QLocale>
#include <QTimer>

#include "core/filehelpers.h"
#include "core/uStr.h"
#include "viewer/HTMLView.h"
#include "viewer/dialogs.h"
#include "package/zipwriter.h"
#include "support/testutil.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

class MainWindowTest : public ::testing::Test {
protected:
    IsolatedEnv env;
};

}  // namespace

TEST_F(MainWindowTest, OpeningADocumentShowsItsPageCaptionAndProperties) {
    const fs::path doc = env.docs() / "report one.docx";
    writeDocx(doc, {.title = "Quarterly <b>report</b> &lt;Q1&gt;", .creator = "R&amp;D &#233;quipe",
                    .created = "2010-04-20T12:15:00Z"});
    // The date as the locale writes one.
    const QLocale locale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct Restore {
        QLocale old;
        ~Restore() { QLocale::setDefault(old); }
    } restore{locale};
    TestForm form;
    form.resize(1000, 800);
    form.show();
    std::vector<int> gauge;
    form.Gauge1->setValue(50);
    QObject::connect(form.Gauge1, &QProgressBar::valueChanged, [&](int v) { gauge.push_back(v); });

    ASSERT_TRUE(openAndWait(form, doc.string())) << form.errors.join("\n").toStdString();
    EXPECT_TRUE(form.errors.isEmpty());
    EXPECT_EQ(form.windowTitle(), "Tavin - " + q(doc.string()));
    // Properties are text: markup shows as written, references decoded.
    EXPECT_EQ(form.pnlTitle->text(), " Title: Quarterly <b>report</b> <Q1>");
    EXPECT_EQ(form.pnlAuthor->text(), QString::fromUtf8(" Author: R&D \xc3\xa9quipe"));
    EXPECT_EQ(form.pnlDate->text(), " Date: 20.04.10");
    EXPECT_EQ(form.pnlSize->text(), " File Size: " + q(tavin::sizeText(tavin::fileSizeOf(doc.string()))));

    // Nine steps, then the gauge is hidden at 90.
    EXPECT_EQ(gauge, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_FALSE(form.Gauge1->isVisible());
    EXPECT_EQ(form.Gauge1->value(), 90);

    // Save As becomes enabled, still hidden.
    EXPECT_FALSE(form.FileSaveAsItem->isVisible());
    form.FileSaveAsItem->setVisible(true);
    EXPECT_TRUE(form.FileSaveAsItem->isEnabled());

    // The work folder lives in the cache; an open writes no page file.
    EXPECT_EQ(form.workFolder().rfind(env.cache().string(), 0), 0u);
    EXPECT_TRUE(fs::exists(form.workFolder() + "word/document.xml"));
    EXPECT_FALSE(fs::exists(form.workFolder() + "word/doc.html"));

    // The page is rendered: grey margins, and the picture found through the
    // base element (a red square of 120 x 120 pixels).
    EXPECT_TRUE(waitForColour(form.wb1, QColor(255, 0, 0), 120 * 100));
    const QImage shot = form.wb1->grab().toImage();
    EXPECT_GT(countColour(shot, QColor(128, 128, 128), 10), 1000);
    EXPECT_GT(countColour(shot, QColor(255, 255, 255), 10), 1000);
    EXPECT_EQ(form.shownPage().find("<base"), std::string::npos);
}

TEST_F(MainWindowTest, AFailedOpenReportsTheErrorAndKeepsTheWindowAsItWas) {
    const fs::path good = env.docs() / "good.docx";
    writeDocx(good, {.title = "Good"});
    const fs::path bad = env.docs() / "notes.docx";
    testutil::writeFile(bad, "This is a plain text file, not a package.\n");
    TestForm form;
    form.show();
    ASSERT_TRUE(openAndWait(form, good.string()));
    const QUrl shown = form.wb1->url();
    const std::string folder = form.workFolder();

    form.openAnswers << q(bad.string());
    form.FileOpenItemClick();
    EXPECT_EQ(form.errors, QStringList({"notes.docx is not a Word document (.docx)"}));
    EXPECT_EQ(form.windowTitle(), "Tavin - " + q(good.string()));
    EXPECT_EQ(form.pnlTitle->text(), " Title: Good");
    // The status bar shows the file size again, not a gauge stopped halfway.
    EXPECT_FALSE(form.Gauge1->isVisibleTo(&form));
    EXPECT_EQ(form.wb1->url(), shown);
    EXPECT_EQ(form.workFolder(), folder);
    EXPECT_FALSE(form.busy());

    // A missing file fails the same way, with a message naming it.
    form.openAnswers << q((env.docs() / "gone.docx").string());
    form.FileOpenItemClick();
    ASSERT_EQ(form.errors.size(), 2);
    EXPECT_TRUE(form.errors[1].contains("gone.docx"));

    // A package without its document part is refused in the same way.
    const fs::path empty = env.docs() / "parts.docx";
    ziptest::Archive a;
    a.entries.emplace_back();
    a.entries.back().name = "word/styles.xml";
    a.entries.back().data = "<w:styles/>";
    testutil::writeFile(empty, ziptest::build(a).bytes);
    form.openAnswers << q(empty.string());
    form.FileOpenItemClick();
    ASSERT_EQ(form.errors.size(), 3);
    EXPECT_EQ(form.errors[2], "This package holds no document part");
    EXPECT_EQ(form.wb1->url(), shown);
    EXPECT_EQ(form.workFolder(), folder);
    EXPECT_EQ(form.windowTitle(), "Tavin - " + q(good.string()));
    EXPECT_FALSE(form.Gauge1->isVisibleTo(&form));

    // The window still works: the next open succeeds.
    ASSERT_TRUE(openAndWait(form, good.string()));
    EXPECT_FALSE(form.Gauge1->isVisibleTo(&form));
}

TEST_F(MainWindowTest, ReopeningAChangedFileShowsTheNewContent) {
    const fs::path doc = env.docs() / "draft.docx";
    writeDocx(doc, {.title = "First"});
    TestForm form;
    ASSERT_TRUE(openAndWait(form, doc.string()));
    EXPECT_EQ(form.pnlTitle->text(), " Title: First");

    writeDocx(doc, {.title = "Second version"});
    ASSERT_TRUE(openAndWait(form, doc.string()));
    EXPECT_EQ(form.pnlTitle->text(), " Title: Second version");

    // Another file of the same name in another folder shows its own content.
    const fs::path other = env.docs() / "elsewhere" / "draft.docx";
    writeDocx(other, {.title = "Other folder"});
    ASSERT_TRUE(openAndWait(form, other.string()));
    EXPECT_EQ(form.pnlTitle->text(), " Title: Other folder");
}

TEST_F(MainWindowTest, APageNeverTakesItsSizeFromTheDocumentBefore) {
    const fs::path sized = env.docs() / "a4.docx";
    writeDocx(sized);
    // A document without page size and margins.
    const fs::path bare = env.docs() / "bare.docx";
    ziptest::Archive a;
    a.entries.emplace_back();
    a.entries.back().name = "word/document.xml";
    a.entries.back().data = "<w:document><w:body><w:p><w:r><w:t>bare</w:t></w:r></w:p></w:body></w:document>";
    testutil::writeFile(bare, ziptest::build(a).bytes);

    TestForm form;
    ASSERT_TRUE(openAndWait(form, sized.string()));
    // (Full Fidelity: lengths in pixels, empty values left out.)
    EXPECT_NE(form.shownPage().find(" div.page{width:794px;padding:96px 96px 96px 96px;"), std::string::npos);
    ASSERT_TRUE(openAndWait(form, bare.string()));
    EXPECT_NE(form.shownPage().find(" div.page{ background-color:white;"), std::string::npos);
    // Converting the open document again keeps its own (empty) values.
    form.ImposepageMargin1Click();
    form.ImposepageMargin1Click();
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_NE(form.shownPage().find(" div.page{ background-color:white;"), std::string::npos);
}

TEST_F(MainWindowTest, ThePageMarginOptionConvertsAgainIntoThePageFile) {
    const fs::path doc = env.docs() / "margins.docx";
    writeDocx(doc);
    TestForm form;
    form.resize(900, 700);
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    const QString caption = form.windowTitle();
    const QString title = form.pnlTitle->text(), size = form.pnlSize->text();
    const std::string htmlPath = form.workFolder() + "word/doc.html";
    EXPECT_NE(form.shownPage().find("div.page"), std::string::npos);

    LoadTracker tracker(form.wb1);
    std::vector<int> gauge;
    QObject::connect(form.Gauge1, &QProgressBar::valueChanged, [&](int v) { gauge.push_back(v); });
    form.ImposepageMargin1Click();
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_FALSE(form.chkPage->isChecked());
    ASSERT_TRUE(fs::exists(htmlPath));
    const std::string page = tavin::readTextFile(htmlPath);
    EXPECT_EQ(page.find("div.page"), std::string::npos);
    EXPECT_EQ(page.find("<base"), std::string::npos);
    EXPECT_EQ(page, form.shownPage());
    // Shown from memory, as an open is.
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_EQ(gauge, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_FALSE(form.Gauge1->isVisible());
    EXPECT_EQ(form.windowTitle(), caption);
    EXPECT_EQ(form.pnlTitle->text(), title);
    EXPECT_EQ(form.pnlSize->text(), size);
    // Without the page box there is no grey around the page, and the
    // picture still resolves from the page file's folder.
    EXPECT_TRUE(waitForColour(form.wb1, QColor(255, 0, 0), 120 * 100));
    EXPECT_TRUE(waitFor([&] { return countColour(form.wb1->grab().toImage(), QColor(128, 128, 128), 10) < 100; }));

    form.ImposepageMargin1Click();
    EXPECT_TRUE(form.chkPage->isChecked());
    EXPECT_NE(tavin::readTextFile(htmlPath).find("div.page"), std::string::npos);
}

TEST_F(MainWindowTest, ConvertBeforeAnyOpenDoesNothing) {
    TestForm form;
    form.Convert1Click();
    form.ImposepageMargin1Click();
    EXPECT_FALSE(form.chkPage->isChecked());
    EXPECT_TRUE(form.errors.isEmpty());
    EXPECT_FALSE(form.Gauge1->isVisibleTo(&form));
    EXPECT_TRUE(fs::is_empty(env.cache()));
    EXPECT_EQ(form.windowTitle(), " Tavin 1.0");
}

TEST_F(MainWindowTest, CommandsAreRefusedWhileAnOpenRuns) {
    const fs::path first = env.docs() / "first.docx";
    const fs::path second = env.docs() / "second.docx";
    writeDocx(first, {.title = "First"});
    writeDocx(second, {.title = "Second"});
    TestForm form;
    form.show();

    // The package reader lets events through while it extracts; whatever
    // they start must be refused.
    bool fired = false, busyThen = false;
    QTimer::singleShot(0, &form, [&] {
        fired = true;
        busyThen = form.busy();
        form.openAnswers << q(second.string());
        form.FileOpenItemClick();
        form.ImposepageMargin1Click();
    });
    ASSERT_TRUE(openAndWait(form, first.string()));
    ASSERT_TRUE(fired);
    EXPECT_TRUE(busyThen);
    EXPECT_EQ(form.openAnswers, QStringList({q(second.string())}));  // the dialog was never asked
    EXPECT_EQ(form.pnlTitle->text(), " Title: First");
    EXPECT_TRUE(form.chkPage->isChecked());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(fs::exists(form.workFolder() + "word/doc.html"));
}

TEST_F(MainWindowTest, TheStatusBarOptionShowsAndHidesTheBar) {
    TestForm form;
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.pnlStatus->isVisible(); }));
    // Size, title (taking the rest), author, date, help button.
    EXPECT_EQ(form.pnlStatus->height(), 17);
    EXPECT_LT(form.pnlSize->x(), form.pnlTitle->x());
    EXPECT_LT(form.pnlTitle->x(), form.pnlAuthor->x());
    EXPECT_LT(form.pnlAuthor->x(), form.pnlDate->x());
    EXPECT_LT(form.pnlDate->x(), form.pnlHelp->x());
    const int viewHeight = form.wb1->height();
    form.mStatusClick();
    EXPECT_FALSE(form.mStatus->isChecked());
    EXPECT_FALSE(form.pnlStatus->isVisible());
    EXPECT_TRUE(waitFor([&] { return form.wb1->height() > viewHeight; }));
    form.mStatusClick();
    EXPECT_TRUE(form.mStatus->isChecked());
    EXPECT_TRUE(form.pnlStatus->isVisible());
}

TEST_F(MainWindowTest, FullFidelityIsCheckedAtStartAndConvertsAgainWhenToggled) {
    TestForm form;
    const QList<QAction*> options = form.Setting1->actions();
    const auto status = std::find(options.begin(), options.end(), form.mStatus);
    ASSERT_NE(status, options.end());
    ASSERT_NE(status + 1, options.end());
    EXPECT_EQ(*(status + 1), form.chkFidelity);
    EXPECT_EQ(form.chkFidelity->text(), "&Full Fidelity");
    EXPECT_TRUE(form.chkFidelity->isCheckable());
    EXPECT_TRUE(form.chkFidelity->isChecked());
    EXPECT_TRUE(form.context().fullFidelity);

    const fs::path doc = env.docs() / "fidelity.docx";
    writeDocx(doc);
    ASSERT_TRUE(openAndWait(form, doc.string()));
    const std::string htmlPath = form.workFolder() + "word/doc.html";
    EXPECT_FALSE(fs::exists(htmlPath));
    form.chkFidelity->trigger();
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_FALSE(form.chkFidelity->isChecked());
    EXPECT_FALSE(form.context().fullFidelity);
    EXPECT_TRUE(fs::exists(htmlPath));  // converted again, as Show Page Margin does
    form.chkFidelity->trigger();
    EXPECT_TRUE(form.context().fullFidelity);
}

TEST_F(MainWindowTest, NoteLinksScrollToTheNoteAndBack) {
    TestForm form;
    form.resize(800, 600);
    form.show();
    std::string spacer;
    for (int k = 0; k < 150; ++k) spacer += "<w:p><w:r><w:t>filler</w:t></w:r></w:p>";
    const fs::path doc = env.docs() / "notes.docx";
    writeDocx(doc, {.picture = false,
                    .paragraphs = "<w:p><w:r><w:t>Noted</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>" +
                                  spacer,
                    .relationships = "<Relationship Id=\"rFn\" Type=\"http://schemas.openxmlformats.org/"
                                     "officeDocument/2006/relationships/footnotes\" Target=\"footnotes.xml\"/>",
                    .parts = {{"word/footnotes.xml",
                               "<w:footnotes xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                               "<w:footnote w:id=\"1\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t>The note</w:t></w:r>"
                               "</w:p></w:footnote></w:footnotes>"}}});
    ASSERT_TRUE(openAndWait(form, doc.string())) << form.errors.join("\n").toStdString();
    tavin::THTMLPage* page = form.wb1->htmlPage();
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(form.workFolder() + "word/"));
    using N = QWebEnginePage;
    // The reference's link goes down to the note, the note's number back up.
    EXPECT_FALSE(page->routeNavigation(folder.toString() + "#fn1", N::NavigationTypeLinkClicked, true));
    ASSERT_TRUE(waitFor([&] { return page->scrollPosition().y() > 1500; }));
    EXPECT_FALSE(page->routeNavigation(folder.toString() + "#fnref1", N::NavigationTypeLinkClicked, true));
    ASSERT_TRUE(waitFor([&] { return page->scrollPosition().y() < 500; }));
    EXPECT_EQ(evaluate(form.wb1, "document.getElementsByName('fn1')[0].parentNode.textContent").toString().toStdString(),
              "1The note");
}

namespace {

class Probe : public QWidget {
public:
    int presses = 0, releases = 0, doubleClicks = 0, contextMenus = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void mouseReleaseEvent(QMouseEvent*) override { ++releases; }
    void mouseDoubleClickEvent(QMouseEvent*) override { ++doubleClicks; }
    void contextMenuEvent(QContextMenuEvent*) override { ++contextMenus; }
};

void send(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
    QMouseEvent e(type, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST_F(MainWindowTest, RightButtonPressesAndReleasesAreDiscardedEverywhere) {
    Probe probe;  // any widget of the application, not only the window's
    probe.resize(50, 50);
    {
        TestForm form;
        send(&probe, QEvent::MouseButtonPress, Qt::RightButton);
        send(&probe, QEvent::MouseButtonRelease, Qt::RightButton);
        QContextMenuEvent byMouse(QContextMenuEvent::Mouse, QPoint(5, 5), probe.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&probe, &byMouse);
        EXPECT_EQ(probe.presses, 0);
        EXPECT_EQ(probe.releases, 0);
        EXPECT_EQ(probe.contextMenus, 0);

        send(&probe, QEvent::MouseButtonPress, Qt::LeftButton);
        send(&probe, QEvent::MouseButtonRelease, Qt::LeftButton);
        send(&probe, QEvent::MouseButtonDblClick, Qt::RightButton);
        QContextMenuEvent byKey(QContextMenuEvent::Keyboard, QPoint(5, 5), probe.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&probe, &byKey);
        EXPECT_EQ(probe.presses, 1);
        EXPECT_EQ(probe.releases, 1);
        EXPECT_EQ(probe.doubleClicks, 1);
        EXPECT_EQ(probe.contextMenus, 1);
        EXPECT_EQ(form.wb1->contextMenuPolicy(), Qt::NoContextMenu);
    }
    // The filter goes with the window.
    send(&probe, QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_EQ(probe.presses, 2);
}

TEST_F(MainWindowTest, TheCommandLineDocumentOpensOnFirstShow) {
    const fs::path doc = env.docs() / "start.docx";
    writeDocx(doc, {.title = "From the command line"});
    TestForm form(doc.string());
    LoadTracker tracker(form.wb1);
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.documentOpen(); }));
    ASSERT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl()));
    EXPECT_EQ(form.windowTitle(), "Tavin - " + q(doc.string()));
    EXPECT_EQ(form.pnlTitle->text(), " Title: From the command line");

    // A start document that fails is reported; the window stays usable.
    TestForm broken((env.docs() / "missing.docx").string());
    broken.FormShow();
    EXPECT_EQ(broken.errors.size(), 1);
    EXPECT_EQ(broken.windowTitle(), " Tavin 1.0");
}

namespace {

// Answers the next modal message box with the given button (or closes it
// with Escape when button is NoButton) and notes what it showed.
struct BoxAnswer {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

void answerNextBox(BoxAnswer& seen, QMessageBox::StandardButton button) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        timer->stop();
        timer->deleteLater();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        if (button == QMessageBox::NoButton) {
            box->reject();
        } else {
            box->button(button)->click();
        }
    });
    timer->start();
}

}  // namespace

TEST(Confirm, IsTrueOnlyForYes) {
    BoxAnswer seen;
    answerNextBox(seen, QMessageBox::Yes);
    EXPECT_TRUE(tavin::confirm("Go on?"));
    EXPECT_EQ(seen.title, "Confirm");
    EXPECT_EQ(seen.text, "Go on?");
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    BoxAnswer no;
    answerNextBox(no, QMessageBox::No);
    EXPECT_FALSE(tavin::confirm("Go on?"));
    BoxAnswer closed;
    answerNextBox(closed, QMessageBox::NoButton);
    EXPECT_FALSE(tavin::confirm("Go on?"));
    EXPECT_EQ(closed.title, "Confirm");
}
