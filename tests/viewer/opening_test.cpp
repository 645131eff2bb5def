// Opening a document without stopping the window, and what a new user
// meets on the way: the recent list, the Open dialog, the page box, help.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>

#include "viewer/HTMLView.h"
#include "viewer/helpwindow.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

// The longest the window's thread may go without answering: a tenth of a
// second, where a conversion on it takes several. Under AddressSanitizer
// the window's own work (building the page's bytes, the web engine's
// messages) is several times slower, so the bound is too.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kLongestStall = 400;
#else
constexpr qint64 kLongestStall = 100;
#endif

class OpeningTest : public ::testing::Test {
protected:
    IsolatedEnv env;
};

// The longest the window's thread went without answering a timer that asks
// every 10 ms, while run ran and until its page had loaded.
qint64 longestStall(TestForm& form, const std::function<void()>& run) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    LoadTracker tracker(form.wb1);
    clock.start();
    tick.start();
    run();
    EXPECT_TRUE(tracker.waitForUrl(form.wb1->textPageUrl())) << form.errors.join("\n").toStdString();
    return std::max(longest, clock.elapsed() - last);
}

}  // namespace

// Not a speed check: the window must answer while a document is extracted
// and converted, whatever the machine's speed.
TEST_F(OpeningTest, TheWindowNeverStopsWhileADocumentOpensReloadsOrConvertsAgain) {
    const std::vector<fs::path> documents = {fs::path(TAVIN_BINARY_DIR) / "sample.docx",
                                             fs::path(TAVIN_CORPUS_DIR) / "poi" / "stress004.docx"};
    for (const fs::path& doc : documents) {
        SCOPED_TRACE(doc.string());
        if (!fs::exists(doc)) continue;  // the corpus is not on every machine
        TestForm form;
        form.show();
        ASSERT_TRUE(waitFor([&] { return form.wb1->isVisible(); }));
        QWebEngineProfile* profile = form.wb1->page()->profile();
        QWebEnginePage* page = form.wb1->page();
        EXPECT_LT(longestStall(form, [&] { form.openAnswers << q(doc); form.FileOpenItemClick(); }), kLongestStall);
        const std::string folder = form.workFolder();
        struct stat before {};
        ASSERT_EQ(::stat((folder + "word").c_str(), &before), 0);

        // F5 and the options convert again from the same folder, in the
        // same view, page and profile.
        EXPECT_LT(longestStall(form, [&] { form.FileReloadItemClick(); }), kLongestStall);
        EXPECT_LT(longestStall(form, [&] { form.chkFidelity->trigger(); }), kLongestStall);
        EXPECT_LT(longestStall(form, [&] { form.chkPage->trigger(); }), kLongestStall);
        EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
        EXPECT_EQ(form.workFolder(), folder);
        struct stat after {};
        ASSERT_EQ(::stat((folder + "word").c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);  // not extracted again
        EXPECT_EQ(form.wb1->page(), page);
        EXPECT_EQ(form.wb1->page()->profile(), profile);
    }
}

TEST_F(OpeningTest, WhatANewUserMeets) {
    const fs::path doc = env.docs() / "first" / "letter.docx";
    fs::create_directories(doc.parent_path());
    writeDocx(doc, {.title = "Letter"});

    // A document named on the command line is listed in Open Recent.
    TestForm form(doc.string());
    form.resize(1200, 700);
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.documentOpen(); }));
    EXPECT_TRUE(form.OpenRecent1->isEnabled());
    EXPECT_EQ(form.recent.recentFiles[0], doc.string());
    EXPECT_TRUE(form.recent.items[0]->isVisible());

    // The Open dialog starts in the shown document's folder.
    form.openAnswers << QString();  // cancelled
    form.FileOpenItemClick();
    EXPECT_EQ(form.OpenDialog1->directory().absolutePath(), q(doc.parent_path()));

    // The page box stands in the middle of the view.
    LoadTracker tracker(form.wb1);
    ASSERT_TRUE(form.wb1->url() == form.wb1->textPageUrl() || tracker.waitForUrl(form.wb1->textPageUrl()));
    const QVariantList sides = evaluate(form.wb1,
                                        "(function(){var r=document.querySelector('div.page').getBoundingClientRect();"
                                        "return [r.left, document.documentElement.clientWidth-r.right];})()")
                                   .toList();
    ASSERT_EQ(sides.size(), 2);
    EXPECT_GT(sides[0].toDouble(), 50);
    EXPECT_NEAR(sides[0].toDouble(), sides[1].toDouble(), 2);

    // Help: a window of its own that may be resized, closed by Esc and by
    // Ctrl+W.
    form.applicationFolder = TAVIN_BINARY_DIR;
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        form.HelpItemClick();
        ASSERT_NE(form.frmHelp, nullptr);
        tavin::THelpWindow* help = form.frmHelp;
        ASSERT_TRUE(QTest::qWaitForWindowActive(help));
        EXPECT_LE(help->minimumWidth(), 320);
        EXPECT_EQ(help->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        help->resize(500, 400);
        EXPECT_EQ(help->size(), QSize(500, 400));
        // To its focus, or to the window while the page has not taken it yet.
        QWidget* focus = QApplication::focusWidget();
        QTest::keySequence(focus && focus->window() == help ? focus : help, key);
        EXPECT_TRUE(waitFor([&] { return !help->isVisible(); }, 5000)) << key.toString().toStdString();
        EXPECT_TRUE(form.isVisible());
    }
}

TEST_F(OpeningTest, TheOpenDialogsCompletionListGoesWithIt) {
    const fs::path doc = env.docs() / "typed.docx";
    writeDocx(doc);
    tavin::TForm1 form;
    form.show();
    QFileDialog* dialog = form.OpenDialog1;
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(q(env.docs()));
    dialog->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    QCompleter* completer = name->completer();
    ASSERT_NE(completer, nullptr);
    name->setFocus();
    QTest::keyClicks(name, "typ");
    ASSERT_TRUE(waitFor([&] { return completer->popup()->isVisible(); }, 5000));
    name->setText(q(doc));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !dialog->isVisible() && !completer->popup()->isVisible(); }, 5000));
}
