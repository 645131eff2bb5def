// The outline panel: the page's headings as a tree that scrolls the page.
#include <gtest/gtest.h>

#include <QAction>
#include <QTreeWidget>
#include <QWebEngineScript>

#include "viewer/HTMLView.h"
#include "viewer/outline.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

std::string heading(const std::string& text, int level) {
    return "<w:p><w:pPr><w:outlineLvl w:val=\"" + std::to_string(level) + "\"/></w:pPr><w:r><w:t>" + text +
           "</w:t></w:r></w:p>";
}

double scrollY(tavin::THTMLView* view) { return view->page()->scrollPosition().y(); }

}  // namespace

TEST(Outline, F9ShowsTheHeadingsAndAClickScrollsToOne) {
    IsolatedEnv env;
    std::string body = heading("Introduction", 0) + heading("Scope", 1);
    for (int i = 0; i < 80; ++i) body += "<w:p><w:r><w:t>filler " + std::to_string(i) + "</w:t></w:r></w:p>";
    body += heading("Results", 0) + heading("Tables", 1) + heading("Deep", 2);
    const fs::path doc = env.docs() / "outline.docx";
    writeDocx(doc, {.picture = false, .paragraphs = body});

    TestForm form;
    form.resize(900, 600);
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string())) << form.errors.join("\n").toStdString();
    EXPECT_EQ(form.ViewOutlineItem->text(), "&Outline");
    EXPECT_EQ(form.ViewOutlineItem->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_FALSE(form.outline->isVisible());

    int read = -1;
    QObject::connect(form.outline, &tavin::TOutline::refreshed, [&](int n) { read = n; });
    form.ViewOutlineItem->trigger();
    ASSERT_TRUE(waitFor([&] { return read >= 0; }));
    // The fixture's own title paragraph is no heading; ours nest by level.
    EXPECT_EQ(read, 5);
    QTreeWidget* tree = form.outline->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Introduction");
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Scope");
    QTreeWidgetItem* results = tree->topLevelItem(1);
    EXPECT_EQ(results->text(0), "Results");
    ASSERT_EQ(results->childCount(), 1);
    EXPECT_EQ(results->child(0)->child(0)->text(0), "Deep");

    // A click on a heading far down scrolls the page to it, and back up.
    EXPECT_EQ(scrollY(form.wb1), 0);
    emit tree->itemClicked(results, 0);
    EXPECT_TRUE(waitFor([&] { return scrollY(form.wb1) > 300; }));
    emit tree->itemClicked(tree->topLevelItem(0), 0);
    EXPECT_TRUE(waitFor([&] { return scrollY(form.wb1) < 300; }));

    // Another document fills the open panel with its own headings.
    read = -1;
    writeDocx(doc, {.picture = false, .paragraphs = heading("Only", 0)});
    ASSERT_TRUE(openAndWait(form, doc.string()));
    ASSERT_TRUE(waitFor([&] { return read >= 0; }));
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Only");
    form.ViewOutlineItem->trigger();
    EXPECT_FALSE(form.outline->isVisible());
}
