#include "viewer/outline.h"

#include <QHeaderView>
#include <QPointer>
#include <QTreeWidget>
#include <QWebEngineScript>

#include "viewer/HTMLView.h"

namespace tavin {

namespace {

// The page's headings in order: their level and text. The view runs no
// page scripts; these run in the application's own world.
const char* const kReadHeadings =
    "Array.from(document.querySelectorAll('h1,h2,h3,h4,h5,h6')).map(function(h){"
    "return [parseInt(h.tagName.substring(1)), h.textContent.replace(/\\s+/g,' ').trim()];})";

}  // namespace

TOutline::TOutline(THTMLView* view, QWidget* parent)
    : QDockWidget(QStringLiteral("Outline"), parent), view_(view), tree_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("Outline"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setFocusPolicy(Qt::StrongFocus);
    setWidget(tree_);
    connect(tree_, &QTreeWidget::itemActivated, this, &TOutline::headingClicked);
    connect(tree_, &QTreeWidget::itemClicked, this, &TOutline::headingClicked);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (shown) refresh();
    });
}

void TOutline::refresh() {
    QPointer<TOutline> self(this);
    view_->page()->runJavaScript(QString::fromLatin1(kReadHeadings), QWebEngineScript::ApplicationWorld,
                                 [self](const QVariant& result) {
                                     if (!self) return;
                                     self->tree_->clear();
                                     // Each heading goes under the last one of a higher level.
                                     std::vector<std::pair<int, QTreeWidgetItem*>> parents;
                                     int index = 0;
                                     for (const QVariant& h : result.toList()) {
                                         const QVariantList pair = h.toList();
                                         if (pair.size() != 2) continue;
                                         const int level = pair[0].toInt();
                                         while (!parents.empty() && parents.back().first >= level) parents.pop_back();
                                         auto* item = parents.empty() ? new QTreeWidgetItem(self->tree_)
                                                                      : new QTreeWidgetItem(parents.back().second);
                                         const QString text = pair[1].toString();
                                         item->setText(0, text.isEmpty() ? QStringLiteral("(untitled)") : text);
                                         item->setData(0, Qt::UserRole, index++);
                                         parents.emplace_back(level, item);
                                     }
                                     self->tree_->expandAll();
                                     emit self->refreshed(index);
                                 });
}

void TOutline::headingClicked(QTreeWidgetItem* item) {
    if (!item) return;
    const int index = item->data(0, Qt::UserRole).toInt();
    view_->page()->runJavaScript(
        QStringLiteral("(function(i){var h=document.querySelectorAll('h1,h2,h3,h4,h5,h6')[i];"
                       "if(h)h.scrollIntoView();})(%1);")
            .arg(index),
        QWebEngineScript::ApplicationWorld);
}

}  // namespace tavin
