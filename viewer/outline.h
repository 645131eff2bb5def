// The outline panel: the headings of the page shown, as a tree a click
// moves through.
#pragma once

#include <QDockWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace tavin {

class THTMLView;

class TOutline : public QDockWidget {
    Q_OBJECT
public:
    TOutline(THTMLView* view, QWidget* parent);

    // Reads the headings of the page the view shows (when the panel is shown).
    void refresh();
    QTreeWidget* tree() const { return tree_; }

signals:
    // The headings were read (for tests and the status of the panel).
    void refreshed(int headings);

private:
    void headingClicked(QTreeWidgetItem* item);
    THTMLView* view_;
    QTreeWidget* tree_;
};

}  // namespace tavin
