// The help page in a window of its own, beside the document's window.
#pragma once

#include <QString>
#include <QWidget>

namespace tavin {

class THTMLView;

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows the help page at path and brings the window to the front.
    void showHelp(const QString& path);

    THTMLView* view = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tavin
