#include "viewer/findbar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QWebEngineFindTextResult>

#include "viewer/HTMLView.h"

namespace tavin {

TFindBar::TFindBar(THTMLView* view, QWidget* parent) : QWidget(parent), view_(view) {
    setObjectName(QStringLiteral("findBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);

    row->addWidget(new QLabel(QStringLiteral("Find:"), this));
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setClearButtonEnabled(true);
    edtFind->setMaximumWidth(260);
    edtFind->installEventFilter(this);
    row->addWidget(edtFind);

    auto button = [this, row](const char* name, const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    btnPrevious = button("btnPrevious", QStringLiteral("Previous"), QStringLiteral("Previous match (Shift+Enter)"));
    btnNext = button("btnNext", QStringLiteral("Next"), QStringLiteral("Next match (Enter)"));
    lblMatches = new QLabel(this);
    lblMatches->setObjectName(QStringLiteral("lblMatches"));
    lblMatches->setTextFormat(Qt::PlainText);
    row->addWidget(lblMatches);
    row->addStretch(1);
    btnClose = button("btnClose", QString(), QStringLiteral("Close (Esc)"));
    btnClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));

    connect(edtFind, &QLineEdit::textChanged, this, [this] { find(false); });
    connect(btnNext, &QToolButton::clicked, this, &TFindBar::findNext);
    connect(btnPrevious, &QToolButton::clicked, this, &TFindBar::findPrevious);
    connect(btnClose, &QToolButton::clicked, this, &TFindBar::closeBar);
    connect(view_->page(), &QWebEnginePage::findTextFinished, this, &TFindBar::showResult);
    // A new page drops the highlight: search it again while the bar is open.
    connect(view_, &QWebEngineView::loadFinished, this, [this] {
        if (isVisible()) find(false);
    });
    hide();
}

void TFindBar::openBar() {
    show();
    edtFind->setFocus(Qt::ShortcutFocusReason);
    edtFind->selectAll();
    find(false);
}

void TFindBar::closeBar() {
    hide();
    view_->findText(QString());  // clears the highlight
    matches_ = active_ = 0;
    lblMatches->clear();
    view_->setFocus(Qt::OtherFocusReason);
}

void TFindBar::findNext() { find(false); }
void TFindBar::findPrevious() { find(true); }

void TFindBar::find(bool backward) {
    const QString text = edtFind->text();
    if (text.isEmpty()) {
        view_->findText(QString());
        matches_ = active_ = 0;
        lblMatches->clear();
        return;
    }
    // The same text again moves to the next (or previous) match.
    view_->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void TFindBar::showResult(const QWebEngineFindTextResult& result) {
    if (edtFind->text().isEmpty()) return;  // the answer to a clearing search
    matches_ = result.numberOfMatches();
    active_ = result.activeMatch();
    lblMatches->setText(matches_ == 0 ? QStringLiteral("No matches")
                                      : QStringLiteral("%1 of %2").arg(active_).arg(matches_));
    emit searched(matches_, active_);
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtFind && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            closeBar();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        closeBar();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tavin
