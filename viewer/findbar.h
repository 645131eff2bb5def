// The find bar: searches the page shown for a text and counts its matches.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
class QWebEngineFindTextResult;

namespace tavin {

class THTMLView;

class TFindBar : public QWidget {
    Q_OBJECT
public:
    TFindBar(THTMLView* view, QWidget* parent);

    QLineEdit* edtFind;
    QToolButton* btnPrevious;
    QToolButton* btnNext;
    QLabel* lblMatches;  // "2 of 5", "No matches", or empty
    QToolButton* btnClose;

    // Shows the bar with its text selected and searches for it again.
    void openBar();
    // Hides the bar, clears the highlight and gives the view the focus.
    void closeBar();
    void findNext();
    void findPrevious();

    // The last result the page reported.
    int matchCount() const { return matches_; }
    int activeMatch() const { return active_; }

signals:
    // Each search the page has answered.
    void searched(int matches, int active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void find(bool backward);
    void showResult(const QWebEngineFindTextResult& result);

    THTMLView* view_;
    int matches_ = 0;
    int active_ = 0;
};

}  // namespace tavin
