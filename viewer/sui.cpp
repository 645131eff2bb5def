#include "viewer/sui.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCompleter>
#include <QDateTime>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QResizeEvent>
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineScript>

#include "core/errors.h"
#include "core/fileio.h"
#include "core/filehelpers.h"
#include "core/uStr.h"
#include "docx2html/docx2html.h"
#include "package/cache.h"
#include "package/docxInfo.h"
#include "package/fileKind.h"
#include "package/workfolder.h"
#include "viewer/HTMLView.h"
#include "viewer/about.h"
#include "viewer/association.h"
#include "viewer/dialogs.h"
#include "viewer/findbar.h"
#include "viewer/helpwindow.h"
#include "viewer/outline.h"
#include "viewer/pdfexport.h"
#include "viewer/savefile.h"
#include "viewer/timeline.h"

namespace tavin {

namespace {

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Whether two paths name the same existing file or folder.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

QString fromBytes(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A stored property as the status bar shows it: as text, on one line.
QString propertyText(const std::string& stored) {
    QString text = fromBytes(xmlText(stored));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// A W3CDTF time as the locale writes a date, in the local time zone; a
// text that is no such time is shown as it stands.
QString dateText(const std::string& stored) {
    const QString text = propertyText(stored).trimmed();
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid()) when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid()) return text;
    if (when.timeSpec() != Qt::LocalTime) when = when.toLocalTime();
    return QLocale().toString(when.date(), QLocale::ShortFormat);
}

// The page box of Show Page Margin in the middle of the view, as on the
// screen of a word processor; paper is left as it is.
constexpr const char* kCentredPage =
    "@media screen{body>div.page{margin-left:auto!important;margin-right:auto!important}}";

QLabel* statusPanel(QWidget* parent, const char* name, int width) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);  // a title such as "<b>" is text
    if (width > 0) label->setFixedWidth(width);
    return label;
}

}  // namespace

TForm1::TForm1(std::string startDocument, QWidget* parent)
    : QMainWindow(parent), startDocument_(std::move(startDocument)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Tavin 1.0"));
    setFont(QFont(QStringLiteral("Verdana"), 8));
    setWindowIcon(applicationIcon());
    resize(696, 480);
    move(232, 149);
    applicationFolder = QCoreApplication::applicationDirPath();
    ctx_ = std::make_unique<ConversionContext>();
    ctx_->fullFidelity = true;  // the Full Fidelity check mark starts checked

    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    wb1 = new THTMLView(client);
    wb1->setObjectName(QStringLiteral("wb1"));
    column->addWidget(wb1, 1);
    findBar = new TFindBar(wb1, client);
    column->addWidget(findBar);
    buildStatusBar();
    column->addWidget(pnlStatus);
    setCentralWidget(client);
    buildMenus();

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setNameFilter(QStringLiteral("*.docx"));
    // A path typed and accepted with Enter leaves the name's completion list
    // open over the page: it goes with the dialog.
    connect(OpenDialog1, &QDialog::finished, this, [this] {
        for (QCompleter* completer : OpenDialog1->findChildren<QCompleter*>()) {
            if (completer->popup()) completer->popup()->hide();
        }
    });
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);

    ctx_->showStep = [this](const std::string& name) { showStep(name); };
    qApp->installEventFilter(new TRightButtonFilter(this));
    setAcceptDrops(true);
    // Queued: the drop finishes before the document is opened.
    connect(wb1, &THTMLView::docxDropped, this, &TForm1::openDropped, Qt::QueuedConnection);
    connect(wb1, &QWebEngineView::loadFinished, this, &TForm1::pageLoaded);
    connect(wb1, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok && outline && outline->isVisible()) outline->refresh();
    });
    connect(wb1, &THTMLView::zoomChanged, this, &TForm1::showZoom);
    connect(wb1, &THTMLView::historyChanged, this, [this] {
        ViewBackItem->setEnabled(wb1->canGoBackInPage());
        ViewForwardItem->setEnabled(wb1->canGoForwardInPage());
    });
    wb1->setPageStyle(QString::fromLatin1(kCentredPage));
    showZoom(wb1->zoomFactor());

    pnlBusy = new QFrame(client);
    pnlBusy->setObjectName(QStringLiteral("pnlBusy"));
    pnlBusy->setAutoFillBackground(false);
    pnlBusy->setStyleSheet(QStringLiteral("#pnlBusy{background:rgba(255,255,255,170);}"
                                          "QLabel{background:transparent;color:#333;}"));
    auto* busyColumn = new QVBoxLayout(pnlBusy);
    busyColumn->addStretch(1);
    lblBusy = new QLabel(pnlBusy);
    lblBusy->setObjectName(QStringLiteral("lblBusy"));
    lblBusy->setAlignment(Qt::AlignCenter);
    lblBusy->setTextFormat(Qt::PlainText);
    busyColumn->addWidget(lblBusy);
    auto* spinner = new QProgressBar(pnlBusy);
    spinner->setObjectName(QStringLiteral("busyBar"));
    spinner->setRange(0, 0);  // moves without a known end
    spinner->setTextVisible(false);
    spinner->setFixedSize(220, 12);
    busyColumn->addWidget(spinner, 0, Qt::AlignHCenter);
    busyColumn->addStretch(1);
    pnlBusy->hide();
    gaugeTimer_ = new QTimer(this);
    gaugeTimer_->setSingleShot(true);
    connect(gaugeTimer_, &QTimer::timeout, this, [this] {
        if (busy_) Gauge1->show();
    });
    busyTimer_ = new QTimer(this);
    busyTimer_->setSingleShot(true);
    connect(busyTimer_, &QTimer::timeout, this, [this] {
        if (busy_) showBusy(lblBusy->text());
    });

    mark("window made");
    // With a document to open the engine starts on it at once: a start page
    // still loading would hold the document's page back for seconds.
    if (startDocument_.empty()) {
        wb1->LoadHTMLText(startPage());
    } else {
        // The engine makes its drawing surface now, before the window is
        // shown: made later, the window is made again, unmaximized.
        wb1->page()->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld);
    }
}

QByteArray TForm1::startPage() {
    return QByteArrayLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Tavin</title><style>"
        "html,body{height:100%;margin:0}body{display:flex;align-items:center;justify-content:center;"
        "font:15px sans-serif;color:#555;background:#f4f4f4}div{text-align:center;line-height:1.8}"
        "b{color:#222}kbd{border:1px solid #aaa;border-radius:3px;padding:0 4px;background:#fff}"
        "</style></head><body><div><b>No document open</b><br>"
        "Press <kbd>F2</kbd> or <kbd>Ctrl+O</kbd> to open a Word document (.docx),<br>"
        "choose one under File &gt; Open Recent, or drop a .docx file here.</div></body></html>");
}



void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setParent(this);
        return a;
    };

    FileMenu = bar->addMenu(QStringLiteral("&File  "));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    FileOpenItem = item(FileMenu, "FileOpenItem", QStringLiteral("&Open..."));
    FileOpenItem->setShortcut(Qt::Key_F2);
    // Ctrl+O, which FileOpenKey answers, is shown beside F2.
    FileOpenItem->setText(FileOpenItem->text() + QLatin1Char('\t') +
                          QKeySequence(Qt::Key_F2).toString(QKeySequence::NativeText) + QStringLiteral(", ") +
                          QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText));
    FileOpenItem->setStatusTip(QStringLiteral("Open an existing file"));
    OpenRecent1 = FileMenu->addMenu(QStringLiteral("Open Recent"));
    OpenRecent1->setObjectName(QStringLiteral("OpenRecent1"));
    OpenRecent1->setEnabled(false);  // until it lists a document
    Convert1 = item(FileMenu, "Convert1", QStringLiteral("Convert"));
    Convert1->setVisible(false);
    FileSaveAsItem = item(FileMenu, "FileSaveAsItem", QStringLiteral("Save &As..."));
    FileSaveAsItem->setStatusTip(QStringLiteral("Save current file under a new name"));
    FileSaveAsItem->setVisible(false);
    FileSaveAsItem->setEnabled(false);
    FileReloadItem = item(FileMenu, "FileReloadItem", QStringLiteral("&Reload"));
    FileReloadItem->setShortcut(Qt::Key_F5);
    FileReloadItem->setStatusTip(QStringLiteral("Open the current file again"));
    FileReloadItem->setEnabled(false);
    N3 = FileMenu->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    FilePrintItem = item(FileMenu, "FilePrintItem", QStringLiteral("&Print..."));
    FilePrintItem->setShortcut(QKeySequence::Print);
    FilePrintItem->setStatusTip(QStringLiteral("Print the page shown"));
    FilePrintItem->setEnabled(false);
    FileExportPdfItem = item(FileMenu, "FileExportPdfItem", QStringLiteral("&Export to PDF..."));
    FileExportPdfItem->setStatusTip(QStringLiteral("Save the page shown as a PDF file"));
    FileExportPdfItem->setEnabled(false);
    FileClearCacheItem = item(FileMenu, "FileClearCacheItem", QStringLiteral("C&lear Cache"));
    FileClearCacheItem->setStatusTip(QStringLiteral("Remove the extracted copies of documents not shown"));
    N1 = FileMenu->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    FileExitItem = item(FileMenu, "FileExitItem", QStringLiteral("E&xit"));
    FileExitItem->setShortcuts({QKeySequence(Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::Key_Q),
                                QKeySequence(Qt::CTRL | Qt::Key_W)});
    FileExitItem->setStatusTip(QStringLiteral("Exit this application"));

    Setting1 = bar->addMenu(QStringLiteral("&Option"));
    Setting1->setObjectName(QStringLiteral("Setting1"));
    chkPage = item(Setting1, "chkPage", QStringLiteral("Show Page &Margin"));
    chkPage->setCheckable(true);
    chkPage->setChecked(true);
    mStatus = item(Setting1, "mStatus", QStringLiteral("Show Status Bar"));
    mStatus->setCheckable(true);
    mStatus->setChecked(true);
    chkFidelity = item(Setting1, "chkFidelity", QStringLiteral("&Full Fidelity"));
    chkFidelity->setCheckable(true);
    chkFidelity->setChecked(true);
    chkFidelity->setStatusTip(QStringLiteral("Show notes, headers, footers and comments as Word does"));
    chkChanges = item(Setting1, "chkChanges", QStringLiteral("Show &Changes"));
    chkChanges->setCheckable(true);
    chkChanges->setChecked(true);
    chkChanges->setStatusTip(QStringLiteral("Mark tracked changes as Word does; unchecked, show the text with every change accepted"));
    chkOpt = item(Setting1, "chkOpt", QStringLiteral("&Optimize HTML"));
    chkOpt->setCheckable(true);
    chkOpt->setChecked(true);
    chkOpt->setVisible(false);
    N2 = Setting1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Associatedocx1 = item(Setting1, "Associatedocx1", QStringLiteral("&Associate *.docx"));

    ViewMenu = bar->addMenu(QStringLiteral("&View"));
    ViewMenu->setObjectName(QStringLiteral("ViewMenu"));
    ViewZoomInItem = item(ViewMenu, "ViewZoomInItem", QStringLiteral("Zoom &In"));
    ViewZoomInItem->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    ViewZoomOutItem = item(ViewMenu, "ViewZoomOutItem", QStringLiteral("Zoom &Out"));
    ViewZoomOutItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    ViewZoomResetItem = item(ViewMenu, "ViewZoomResetItem", QStringLiteral("&Actual Size"));
    ViewZoomResetItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    ViewMenu->addSeparator();
    // Alt+Left and Alt+Right, the mouse's and the keyboard's own back and
    // forward keys reach the view, which answers them itself.
    ViewBackItem = item(ViewMenu, "ViewBackItem", QStringLiteral("&Back\tAlt+Left"));
    ViewBackItem->setStatusTip(QStringLiteral("Back to where the last link inside the document was followed"));
    ViewBackItem->setEnabled(false);
    ViewForwardItem = item(ViewMenu, "ViewForwardItem", QStringLiteral("&Forward\tAlt+Right"));
    ViewForwardItem->setEnabled(false);
    N4 = ViewMenu->addSeparator();
    N4->setObjectName(QStringLiteral("N4"));
    ViewFindItem = item(ViewMenu, "ViewFindItem", QStringLiteral("&Find..."));
    ViewFindItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    // The headings of the page, in a panel beside it.
    outline = new TOutline(wb1, this);
    outline->hide();
    addDockWidget(Qt::LeftDockWidgetArea, outline);
    ViewOutlineItem = outline->toggleViewAction();
    ViewOutlineItem->setObjectName(QStringLiteral("ViewOutlineItem"));
    ViewOutlineItem->setText(QStringLiteral("&Outline"));
    ViewOutlineItem->setShortcut(Qt::Key_F9);
    ViewOutlineItem->setStatusTip(QStringLiteral("Show the headings of the document beside it"));
    ViewMenu->addAction(ViewOutlineItem);

    HelpMenu = bar->addMenu(QStringLiteral("&Help  "));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    HelpItem = item(HelpMenu, "HelpItem", QStringLiteral("Help "));
    HelpItem->setShortcut(Qt::Key_F1);
    mAbout = item(HelpMenu, "mAbout", QStringLiteral("&About..."));
    mAbout->setStatusTip(QStringLiteral("Show program information"));
    Tessarinecom1 = item(HelpMenu, "Tessarinecom1", QString::fromLatin1(kMakerAddress));

    // Ctrl+O opens too; F2 stays the item's own key.
    FileOpenKey = new QAction(this);
    FileOpenKey->setObjectName(QStringLiteral("FileOpenKey"));
    FileOpenKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addAction(FileOpenKey);

    connect(FileOpenItem, &QAction::triggered, this, &TForm1::FileOpenItemClick);
    connect(Convert1, &QAction::triggered, this, &TForm1::Convert1Click);
    connect(FileExitItem, &QAction::triggered, this, &TForm1::FileExitItemClick);
    connect(chkPage, &QAction::triggered, this, &TForm1::pageMarginTriggered);
    connect(chkOpt, &QAction::triggered, this, &TForm1::optimizeTriggered);
    connect(chkFidelity, &QAction::triggered, this, &TForm1::fidelityTriggered);
    connect(chkChanges, &QAction::triggered, this, &TForm1::changesTriggered);
    connect(mStatus, &QAction::triggered, this, &TForm1::statusBarTriggered);
    connect(FileSaveAsItem, &QAction::triggered, this, &TForm1::FileSaveAsItemClick);
    connect(Associatedocx1, &QAction::triggered, this, &TForm1::Associatedocx1Click);
    connect(HelpItem, &QAction::triggered, this, &TForm1::HelpItemClick);
    connect(mAbout, &QAction::triggered, this, &TForm1::mAboutClick);
    connect(Tessarinecom1, &QAction::triggered, this, &TForm1::Tessarinecom1Click);
    connect(FileOpenKey, &QAction::triggered, this, &TForm1::FileOpenItemClick);
    connect(FileReloadItem, &QAction::triggered, this, &TForm1::FileReloadItemClick);
    connect(FilePrintItem, &QAction::triggered, this, &TForm1::FilePrintItemClick);
    connect(FileExportPdfItem, &QAction::triggered, this, &TForm1::FileExportPdfItemClick);
    connect(FileClearCacheItem, &QAction::triggered, this, &TForm1::FileClearCacheItemClick);
    connect(ViewZoomInItem, &QAction::triggered, wb1, &THTMLView::zoomIn);
    connect(ViewZoomOutItem, &QAction::triggered, wb1, &THTMLView::zoomOut);
    connect(ViewZoomResetItem, &QAction::triggered, wb1, &THTMLView::resetZoom);
    connect(ViewBackItem, &QAction::triggered, wb1, &THTMLView::goBackInPage);
    connect(ViewForwardItem, &QAction::triggered, wb1, &THTMLView::goForwardInPage);
    connect(ViewFindItem, &QAction::triggered, this, &TForm1::ViewFindItemClick);
}

void TForm1::buildStatusBar() {
    pnlStatus = new QWidget(this);
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    pnlStatus->setFixedHeight(17);
    pnlStatus->setFont(QFont(QStringLiteral("Tahoma"), 8));
    auto* row = new QHBoxLayout(pnlStatus);
    row->setContentsMargins(0, 1, 0, 0);  // the strip along the top
    row->setSpacing(0);

    row->addSpacing(3);
    pnlSize = statusPanel(pnlStatus, "pnlSize", 120);
    Gauge1 = new QProgressBar(pnlSize);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setTextVisible(true);
    Gauge1->setAlignment(Qt::AlignCenter);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar{background:white;color:gray;border:1px solid black;}"
                                         "QProgressBar::chunk{background:black;}"));
    auto* gaugeBox = new QHBoxLayout(pnlSize);
    gaugeBox->setContentsMargins(0, 0, 0, 0);
    gaugeBox->addWidget(Gauge1);
    Gauge1->hide();
    row->addWidget(pnlSize);

    row->addSpacing(2);
    pnlTitle = statusPanel(pnlStatus, "pnlTitle", 0);
    pnlTitle->setContentsMargins(3, 0, 0, 0);
    pnlTitle->setMinimumWidth(1);
    row->addWidget(pnlTitle, 1);
    row->addSpacing(2);
    pnlAuthor = statusPanel(pnlStatus, "pnlAuthor", 155);
    row->addWidget(pnlAuthor);
    row->addSpacing(2);
    pnlDate = statusPanel(pnlStatus, "pnlDate", 178);
    row->addWidget(pnlDate);
    row->addSpacing(2);
    pnlZoom = statusPanel(pnlStatus, "pnlZoom", 44);
    pnlZoom->setToolTip(QStringLiteral("Zoom (Ctrl+0: actual size)"));
    row->addWidget(pnlZoom);
    row->addSpacing(2);

    auto* helpPanel = new QFrame(pnlStatus);
    helpPanel->setObjectName(QStringLiteral("pnlHelp"));
    helpPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    helpPanel->setFixedWidth(20);
    pnlHelp = helpPanel;
    btnHelp = new QToolButton(helpPanel);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setAutoRaise(true);
    btnHelp->setFocusPolicy(Qt::NoFocus);  // the keys belong to the page
    btnHelp->setFixedSize(22, 22);
    btnHelp->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
    btnHelp->setIconSize(QSize(14, 14));
    btnHelp->move(-1, -3);  // centred on the 20 x 16 panel
    connect(btnHelp, &QToolButton::clicked, this, &TForm1::btnHelpClick);
    row->addWidget(helpPanel);
}

template <class F>
bool TForm1::runCommand(F&& command) {
    if (busy_) {
        QApplication::beep();
        return false;
    }
    busy_ = true;
    bool ok = false;
    try {
        command();
        ok = true;
    } catch (const Cancelled&) {
        // The window is closing: nothing to report.
        hideGauge();
    } catch (const std::exception& e) {
        busy_ = false;
        // Whatever step failed, the status bar shows the file size again.
        hideGauge();
        hideBusy();
        if (!closing_) showError(QString::fromUtf8(e.what()));
    }
    busy_ = false;
    if (closing_) {
        hideBusy();
        QTimer::singleShot(0, this, &QWidget::close);
        return false;
    }
    return ok;
}

void TForm1::runOffThread(const std::function<void()>& work) {
    std::exception_ptr failure;
    bool done = false;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued behind the steps the work posted: they are shown first.
        QMetaObject::invokeMethod(
            this,
            [&] {
                done = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    while (!done) loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

std::function<void(const std::string&)> TForm1::stepFromThread() {
    return [this](const std::string& name) {
        QMetaObject::invokeMethod(this, [this, name] { showStep(name); }, Qt::QueuedConnection);
    };
}

void TForm1::showGathered(const std::string& title, const std::vector<std::string>& texts) {
    if (texts.empty()) return;
    constexpr std::size_t kShown = 10;
    QString text;
    for (std::size_t i = 0; i < texts.size() && i < kShown; ++i) {
        if (i) text += QLatin1Char('\n');
        text += fromBytes(texts[i]);
    }
    if (texts.size() > kShown) text += QStringLiteral("\nand %1 more").arg(texts.size() - kShown);
    showMessage(title.empty() ? QCoreApplication::applicationName() : fromBytes(title), text);
}

void TForm1::showError(const QString& text) {
    QMessageBox::critical(this, QCoreApplication::applicationName(), text);
}

void TForm1::showMessage(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box.exec();
}

QString TForm1::runOpenDialog() {
    if (OpenDialog1->exec() != QDialog::Accepted) return {};
    return OpenDialog1->selectedFiles().value(0);
}

QString TForm1::runSaveDialog() {
    if (SaveDialog1->exec() != QDialog::Accepted) return {};
    return SaveDialog1->selectedFiles().value(0);
}

bool TForm1::askConfirm(const QString& question) { return confirm(question, this); }

bool TForm1::runPrintDialog(QPrinter* printer) {
    QPrintDialog dialog(printer, this);
    return dialog.exec() == QDialog::Accepted;
}

QString TForm1::runExportDialog() {
    QFileDialog dialog(this, QStringLiteral("Export to PDF"));
    dialog.setObjectName(QStringLiteral("ExportDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (!documentPath_.empty()) {
        dialog.setDirectory(QFileInfo(fromPath(documentPath_)).absolutePath());
        dialog.selectFile(fromBytes(ctx_->docTitle) + QStringLiteral(".pdf"));
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (pnlBusy) pnlBusy->setGeometry(wb1->geometry());
}

void TForm1::showBusy(const QString& what, int afterMs) {
    lblBusy->setText(what);
    if (afterMs > 0) {
        // Laid over the web view, the panel slows its drawing: a quick
        // command never shows it.
        busyTimer_->start(afterMs);
        return;
    }
    pnlBusy->setGeometry(wb1->geometry());
    pnlBusy->raise();
    pnlBusy->show();
}

void TForm1::showGaugeSoon() {
    // Each change of the status bar makes the window draw the web view
    // again: a quick command moves the gauge unseen.
    gaugeTimer_->start(300);
}

void TForm1::hideGauge() {
    gaugeTimer_->stop();
    Gauge1->hide();
}

void TForm1::hideBusy() {
    busyTimer_->stop();
    pnlBusy->hide();
}

void TForm1::keepScrollPosition() {
    // The view's own figures follow the page's frames and may lag behind the
    // last scroll: the page's answer, asked at once, replaces them.
    const QSizeF size = wb1->page()->contentsSize();
    const QPointF at = wb1->page()->scrollPosition();
    keptScroll_ = size.height() > 0 ? at.y() / size.height() : 0;
    keptScrollX_ = at.x();
    const int query = ++scrollQuery_;
    wb1->page()->runJavaScript(
        QStringLiteral("(function(){var h=document.documentElement.scrollHeight;"
                       "return [window.scrollX, h>0?window.scrollY/h:0];})()"),
        QWebEngineScript::ApplicationWorld, [alive = alive_, this, query](const QVariant& v) {
            // Too late when the window goes, the next page has loaded or
            // another query began.
            if (!*alive || query != scrollQuery_ || keptScroll_ < 0) return;
            const QVariantList values = v.toList();
            if (values.size() != 2) return;
            keptScrollX_ = values[0].toDouble();
            keptScroll_ = values[1].toDouble();
        });
}

void TForm1::pageLoaded(bool ok) {
    mark(ok ? "page loaded" : "page load failed");
    ++scrollQuery_;  // an answer still on its way is for the page gone
    hideBusy();
    if (ok && keptScroll_ > 0) {
        // Laid out anew (another margin, a changed file): the same share
        // of the page's height.
        wb1->page()->runJavaScript(
            QStringLiteral("window.scrollTo(%1,%2*document.documentElement.scrollHeight);")
                .arg(keptScrollX_)
                .arg(keptScroll_, 0, 'g', 12),
            QWebEngineScript::ApplicationWorld);
    }
    keptScroll_ = -1;
    // Keys scroll the page at once, without a click into it first.
    wb1->setFocus(Qt::OtherFocusReason);
}

QString TForm1::settingsPath() {
    return QFile::decodeName(QByteArray::fromStdString(xdgFolder("XDG_CONFIG_HOME", ".config/") + "tavin/tavin.conf"));
}

bool TForm1::restoreSettings() {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    const qreal zoom = settings.value(QStringLiteral("view/zoom"), 1.0).toReal();
    if (zoom >= 0.25 && zoom <= 5.0) wb1->setZoom(zoom);
    const bool status = settings.value(QStringLiteral("view/statusBar"), true).toBool();
    if (mStatus->isChecked() != status) mStatus->trigger();
    // The options as the user left them; no document is shown yet, so
    // nothing converts.
    const bool margin = settings.value(QStringLiteral("options/pageMargin"), true).toBool();
    chkPage->setChecked(margin);
    ctx_->showPageMargin = ctx_->pageMarginFlag = margin;
    const bool fidelity = settings.value(QStringLiteral("options/fullFidelity"), true).toBool();
    chkFidelity->setChecked(fidelity);
    ctx_->fullFidelity = fidelity;
    const bool changes = settings.value(QStringLiteral("options/showChanges"), true).toBool();
    chkChanges->setChecked(changes);
    chkChanges->setEnabled(fidelity);
    ctx_->showChanges = changes;
    // The outline panel: where it is docked and whether it is shown.
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    const QByteArray geometry = settings.value(QStringLiteral("window/geometry")).toByteArray();
    return !geometry.isEmpty() && restoreGeometry(geometry);
}

void TForm1::saveSettings() const {
    // A missing settings folder is made private, as the cache is.
    try {
        makePrivateFolders(QFileInfo(settingsPath()).absolutePath().toStdString());
    } catch (const std::exception&) {
        return;  // QSettings would fail the same way; nothing to report at close
    }
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("window/state"), saveState());
    settings.setValue(QStringLiteral("view/zoom"), wb1->zoomFactor());
    settings.setValue(QStringLiteral("view/statusBar"), mStatus->isChecked());
    settings.setValue(QStringLiteral("options/pageMargin"), chkPage->isChecked());
    settings.setValue(QStringLiteral("options/fullFidelity"), chkFidelity->isChecked());
    settings.setValue(QStringLiteral("options/showChanges"), chkChanges->isChecked());
    settings.sync();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) QTimer::singleShot(0, this, &TForm1::FormShow);
}

void TForm1::FormShow() {
    if (shown_) return;
    shown_ = true;
    mark("window shown");
    try {
        recent.loadRecentMenu(OpenRecent1, recentListPath(), [this](int index) { recentfileclick(index); });
        recentLoaded_ = true;
    } catch (const std::exception& e) {
        // The list stays empty, and rec.lst is left alone at close.
        showError(QString::fromUtf8(e.what()));
    }
    // Copies of documents gone or unopened for a month go; the start
    // document's own stays.
    const std::string keep = startDocument_.empty() ? std::string() : workFolderKey(startDocument_);
    if (!startDocument_.empty()) {
        // Listed as a document opened with File > Open is, by its full path.
        std::error_code ec;
        const std::filesystem::path full = std::filesystem::absolute(startDocument_, ec);
        if (runCommand([this] { openDocument(startDocument_); })) rememberRecent(ec ? startDocument_ : full.string());
    }
    // While the page loads.
    if (!closing_) runCommand([&] { runOffThread([&] { pruneCache(tempRoot(), keep); }); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (busy_) {
        // The command stops at its next step and the window closes then.
        closing_ = true;
        cancelRenderWaits();
        event->ignore();
        return;
    }
    // Only a list that was read is written back, so a window closed before
    // it was shown never empties rec.lst; what other windows listed since
    // stays in it.
    if (recentLoaded_) {
        try {
            recent.storeRecentList(recentListPath());
        } catch (const std::exception& e) {
            if (!closing_) showError(QString::fromUtf8(e.what()));
        }
    }
    if (shown_) saveSettings();
    if (frmHelp) frmHelp->close();
    event->accept();
}

ConvertOptions TForm1::currentOptions(const std::string& title, bool freshPageValues) const {
    ConvertOptions options;
    options.title = title;
    options.showPageMargin = ctx_->showPageMargin;
    options.optimizeHtml = ctx_->optimizeHtml;
    options.fullFidelity = ctx_->fullFidelity;
    options.showChanges = ctx_->showChanges;
    options.freshPageValues = freshPageValues;
    return options;
}

void TForm1::showStep(const std::string&) {
    // Drawn with the window's next frame, not at once: each drawing of the
    // window composes the web view again, and the step that posted this
    // waits for none of it.
    Gauge1->setUpdatesEnabled(false);
    Gauge1->setValue(std::min(Gauge1->maximum(), Gauge1->value() + 10));
    Gauge1->setUpdatesEnabled(true);
}

std::string TForm1::baseElement(const std::string& workFolder, const std::string& documentFolder) {
    return "<base href=\"" + QUrl::fromLocalFile(fromPath(workFolder + documentFolder)).toEncoded().toStdString() +
           "\">";
}

QByteArray TForm1::viewPage(const std::string& workFolder, const std::string& html, const std::string& documentFolder) {
    const std::string base = baseElement(workFolder, documentFolder);
    const auto size = static_cast<qsizetype>(html.size());
    const qsizetype head = leadingDoctype(html.data(), size);
    QByteArray page;
    page.reserve(static_cast<qsizetype>(base.size()) + size);
    page.append(html.data(), head);
    page.append(base.data(), static_cast<qsizetype>(base.size()));
    page.append(html.data() + head, size - head);
    return page;
}

// One open's work off the window's thread: the file checked, its work
// folder extracted (or reused), its properties read and its page converted.
struct TForm1::OpenWork {
    std::string path;
    ConvertOptions options;
    std::unique_ptr<ConversionContext> ctx = std::make_unique<ConversionContext>();
    std::string folder;
    TdocxInfo info;
    TdocxMoreInfo more;
    std::int64_t size = 0;
    // A broken package may hold thousands of bad entries: one box for all.
    std::string messageTitle;
    std::vector<std::string> messages;
    std::exception_ptr failure;
    // The identity of the page shown when it was made with these options:
    // a folder found still to be that extraction is not converted again.
    std::string shownIdentity;
    std::string identity;  // of the folder, before the conversion read it
    bool reused = false;
    std::thread thread;
    bool done = false;
    QEventLoop* waiting = nullptr;
};

void TForm1::startOpenWork(OpenWork& work) {
    work.ctx->showStep = stepFromThread();
    work.thread = std::thread([this, &work] {
        try {
            ExtractCallbacks callbacks;
            callbacks.processMessages = [this] {
                if (closing_) throw Cancelled();
            };
            callbacks.message = [&work](const std::string& title, const std::string& text) {
                if (work.messages.empty()) work.messageTitle = title;
                work.messages.push_back(text);
            };
            const std::string& path = work.path;
            if (isRegularFile(path)) {
                const std::string wrong = notDocxMessage(path);
                if (!wrong.empty()) throw Error(wrong);
            }
            work.folder = openWorkFolder(path, tempRoot(), callbacks);
            mark("extracted");
            markWorkFolderOpened(work.folder);
            work.info = readCoreProperties(work.folder);
            work.more = readMoreProperties(work.folder);
            work.identity = extractionIdentity(work.folder);
            if (!work.shownIdentity.empty() && work.identity == work.shownIdentity) {
                // The conversion would give the page shown, byte for byte.
                work.reused = true;
                mark("page kept");
            } else {
                work.ctx->step("Loading XML");
                if (closing_) throw Cancelled();
                convertPackage(*work.ctx, work.folder, work.options);
                mark("converted");
            }
            work.ctx->step("Writing tmp file");
            work.size = fileSizeOf(path);
        } catch (...) {
            work.failure = std::current_exception();
        }
        // Queued behind the steps it posted: they are shown first.
        QMetaObject::invokeMethod(
            this,
            [&work] {
                work.done = true;
                if (work.waiting) work.waiting->quit();
            },
            Qt::QueuedConnection);
    });
}

void TForm1::finishOpenWork(OpenWork& work) {
    QEventLoop loop;
    work.waiting = &loop;
    while (!work.done) loop.exec();
    work.waiting = nullptr;
    work.thread.join();
}

TForm1::~TForm1() {
    *alive_ = false;
    if (started_) {
        // Begun for a window closed before it was shown: it stops at its
        // next step.
        closing_ = true;
        started_->thread.join();
    }
}

void TForm1::startOpening() {
    if (startDocument_.empty() || started_) return;
    started_ = std::make_unique<OpenWork>();
    started_->path = startDocument_;
    started_->options = currentOptions(titleFromPath(startDocument_), true);
    startOpenWork(*started_);
}

void TForm1::openDocument(const std::string& path) {
    mark("open started");
    Gauge1->setValue(0);
    showGaugeSoon();
    showStep("Loading document");
    showBusy(QStringLiteral("Opening ") + QFileInfo(fromPath(path)).fileName() + QStringLiteral("..."), 400);

    // A page never takes its size or margins from the document before it.
    const ConvertOptions options = currentOptions(titleFromPath(path), true);
    std::unique_ptr<OpenWork> work;
    if (started_ && started_->path == path && started_->options.fullFidelity == options.fullFidelity &&
        started_->options.showChanges == options.showChanges && started_->options.showPageMargin == options.showPageMargin) {
        work = std::move(started_);  // begun when the window was made
    } else {
        work = std::make_unique<OpenWork>();
        work->path = path;
        work->options = options;
        if (documentOpen() && samePageOptions(shownOptions_, options)) work->shownIdentity = shownIdentity_;
        startOpenWork(*work);
    }
    finishOpenWork(*work);
    if (work->failure) {
        if (!closing_) showGathered(work->messageTitle, work->messages);
        std::rethrow_exception(work->failure);
    }
    // A close asked for meanwhile: the window goes without showing it.
    if (closing_) throw Cancelled();
    showGathered(work->messageTitle, work->messages);
    setWindowTitle(QStringLiteral("Tavin - ") + fromPath(path));

    if (documentPath_ != path) keptScroll_ = -1;  // another document starts at its top
    if (!work->reused) {
        work->ctx->showStep = [this](const std::string& name) { showStep(name); };
        ctx_ = std::move(work->ctx);
        shownPage_ = std::move(ctx_->workingText);
        ctx_->workingText.clear();
        shownIdentity_ = std::move(work->identity);
        shownOptions_ = options;
        previous_.clear();
    }
    info_ = std::move(work->info);
    const std::string& folder = work->folder;
    const TdocxMoreInfo& more = work->more;
    wb1->setLocalRoot(fromPath(folder));
    // A page kept is loaded again all the same: the view reads its
    // pictures afresh and lays it out anew.
    wb1->LoadHTMLText(viewPage(folder, shownPage_, ctx_->documentFolder));
    mark("page load started");
    // The old page stays until the new one is drawn; over the loading view
    // the panel would slow the engine's every frame.
    hideBusy();
    shownFolder_ = folder;

    FileSaveAsItem->setEnabled(true);
    documentPath_ = path;
    FileReloadItem->setEnabled(true);
    FilePrintItem->setEnabled(true);
    FileExportPdfItem->setEnabled(true);
    hideGauge();
    pnlTitle->setText(QStringLiteral(" Title: ") + propertyText(info_.title));
    pnlAuthor->setText(QStringLiteral(" Author: ") + propertyText(info_.creator));
    pnlDate->setText(QStringLiteral(" Date: ") + dateText(info_.created));
    pnlSize->setText(QStringLiteral(" File Size: ") + QString::fromStdString(sizeText(work->size)));
    pnlTitle->setToolTip(propertyText(info_.title));
    QStringList details{QStringLiteral("Created: ") + propertyText(info_.created)};
    if (!info_.modified.empty()) details << QStringLiteral("Modified: ") + propertyText(info_.modified);
    if (!more.subject.empty()) details << QStringLiteral("Subject: ") + propertyText(more.subject);
    if (!more.pages.empty()) details << QStringLiteral("Pages: ") + propertyText(more.pages);
    if (!more.words.empty()) details << QStringLiteral("Words: ") + propertyText(more.words);
    pnlDate->setToolTip(details.join(QLatin1Char('\n')));
}

void TForm1::prepareOpenDialog() {
    if (!documentPath_.empty()) OpenDialog1->setDirectory(QFileInfo(fromPath(documentPath_)).absolutePath());
}

void TForm1::FileOpenItemClick() {
    if (busy_) return;
    prepareOpenDialog();
    openChosen(runOpenDialog());
}

void TForm1::openChosen(const QString& chosen) {
    if (busy_ || chosen.isEmpty()) return;
    const std::string path = toPath(chosen);
    if (runCommand([&] { openDocument(path); })) rememberRecent(path);
}

void TForm1::rememberRecent(const std::string& path) {
    recent.addRecentFile(path);
    if (!recentLoaded_) return;  // the list on disk was never read: left alone
    try {
        recent.storeRecentList(recentListPath());
    } catch (const std::exception&) {
        // Kept in memory; the close tries again.
    }
}

void TForm1::openDropped(const QString& path) { openChosen(path); }

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedDocx(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedDocx(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = droppedDocx(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, path] { openDropped(path); });
}

void TForm1::FileReloadItemClick() {
    if (busy_ || documentPath_.empty()) return;
    mark("reload asked");
    const std::string path = documentPath_;  // openDocument sets it again
    keepScrollPosition();
    runCommand([&] { openDocument(path); });
}

void TForm1::FilePrintItemClick() {
    if (busy_ || documentPath_.empty()) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(fromBytes(ctx_->docTitle));
    std::string note;
    printer.setPageLayout(documentPageLayout(*ctx_, &note));
    if (!note.empty()) showMessage(QCoreApplication::applicationName(), fromBytes(note));
    if (!runPrintDialog(&printer)) return;
    runCommand([&] {
        showBusy(QStringLiteral("Printing..."));
        printView(*wb1, printer);
        hideBusy();
    });
}

void TForm1::FileExportPdfItemClick() {
    if (busy_ || documentPath_.empty()) return;
    const QString chosen = runExportDialog();
    if (chosen.isEmpty()) return;
    runCommand([&] {
        std::string note;
        const QPageLayout layout = documentPageLayout(*ctx_, &note);
        if (!note.empty()) showMessage(QCoreApplication::applicationName(), fromBytes(note));
        showBusy(QStringLiteral("Writing the PDF..."));
        printViewToPdf(*wb1, chosen, layout, sectionPageLayouts(*ctx_));
        hideBusy();
    });
}

void TForm1::FileClearCacheItemClick() {
    if (busy_) return;
    const std::string keep =
        shownFolder_.empty() ? std::string() : std::filesystem::path(shownFolder_).parent_path().filename().string();
    pruneCache(tempRoot(), keep, -1);
}

void TForm1::ViewFindItemClick() { findBar->openBar(); }

void TForm1::Convert1Click() {
    if (!documentOpen()) return;  // nothing to convert yet
    runCommand([this] { convertAgain(); });
}

void TForm1::convertAgain() {
    showGaugeSoon();
    Gauge1->setValue(0);
    showStep("Loading");
    showStep("Converting");
    keepScrollPosition();
    const std::string folder = ctx_->workFolder;
    const ConvertOptions options = currentOptions(ctx_->docTitle, false);
    const std::string identity = extractionIdentity(folder);
    TKeptPage next;
    if (previous_.matches(identity, options)) {
        // An option turned back: the page it made of this folder before.
        runOffThread([&] { writeFileNoFollow(folder + "word/doc.html", previous_.html); });
        next = std::move(previous_);
        next.ctx->showPageMargin = options.showPageMargin;
        next.ctx->optimizeHtml = options.optimizeHtml;
        next.ctx->fullFidelity = options.fullFidelity;
        next.ctx->showChanges = options.showChanges;
        mark("page kept");
    } else {
        next.ctx = std::make_unique<ConversionContext>();
        next.ctx->showStep = stepFromThread();
        // The same document again: its page values stay.
        next.ctx->pageWidth = ctx_->pageWidth;
        next.ctx->pageHeight = ctx_->pageHeight;
        next.ctx->marginTop = ctx_->marginTop;
        next.ctx->marginRight = ctx_->marginRight;
        next.ctx->marginBottom = ctx_->marginBottom;
        next.ctx->marginLeft = ctx_->marginLeft;
        next.ctx->charset = ctx_->charset;
        runOffThread([&] {
            convertPackage(*next.ctx, folder, options);
            mark("converted");
            next.ctx->step("Writing tmp File");
            writeFileNoFollow(folder + "word/doc.html", next.ctx->workingText);
        });
        next.html = std::move(next.ctx->workingText);
        next.ctx->workingText.clear();
        next.identity = identity;
        next.options = options;
    }
    showStep("Loading HTML");
    next.ctx->showStep = [this](const std::string& name) { showStep(name); };
    // The page shown goes back to being kept, for the options it was made
    // with.
    previous_ = TKeptPage{std::move(shownIdentity_), shownOptions_, keptContext(*ctx_), std::move(shownPage_)};
    ctx_ = std::move(next.ctx);
    shownPage_ = std::move(next.html);
    shownIdentity_ = std::move(next.identity);
    shownOptions_ = next.options;
    // Shown from memory, as an open shows it: the view stays with its pages
    // and the engine goes on with the renderer it has.
    wb1->LoadHTMLText(viewPage(folder, shownPage_, ctx_->documentFolder));
    mark("page load started");
    shownFolder_ = folder;
    hideGauge();
}

void TForm1::ImposepageMargin1Click() { chkPage->trigger(); }
void TForm1::OptimizeHTML1Click() { chkOpt->trigger(); }
void TForm1::mStatusClick() { mStatus->trigger(); }

bool TForm1::optionChanged(QAction* item, bool checked) {
    if (busy_) {
        item->setChecked(!checked);  // refused: the mark stays as it was
        return false;
    }
    mark("options changed");
    return true;
}

void TForm1::pageMarginTriggered(bool checked) {
    if (!optionChanged(chkPage, checked)) return;
    ctx_->showPageMargin = checked;
    ctx_->pageMarginFlag = checked;
    Convert1->trigger();
}

void TForm1::fidelityTriggered(bool checked) {
    if (!optionChanged(chkFidelity, checked)) return;
    ctx_->fullFidelity = checked;
    chkChanges->setEnabled(checked);
    Convert1->trigger();
}

void TForm1::changesTriggered(bool checked) {
    if (!optionChanged(chkChanges, checked)) return;
    ctx_->showChanges = checked;
    Convert1->trigger();
}

void TForm1::optimizeTriggered(bool checked) {
    if (busy_) {
        chkOpt->setChecked(!checked);
        return;
    }
    ctx_->optimizeHtml = checked;
    ctx_->optimizeFlag = checked;
}

void TForm1::statusBarTriggered(bool checked) { pnlStatus->setVisible(checked); }

void TForm1::showZoom(qreal factor) { pnlZoom->setText(QStringLiteral("%1%").arg(qRound(factor * 100))); }

void TForm1::FileExitItemClick() { close(); }

void TForm1::recentfileclick(int index) {
    if (busy_ || index < 0 || index >= kRecentCount) return;
    const std::string path = recent.recentFiles[static_cast<std::size_t>(index)];
    if (path.empty()) return;
    if (!isRegularFile(path)) {
        showMessage(QCoreApplication::applicationName(),
                    QStringLiteral("File not found.\nMaybe it was moved or renamed,\nplease check."));
        return;
    }
    runCommand([&] { openDocument(path); });
}

void TForm1::FileSaveAsItemClick() {
    if (busy_ || shownFolder_.empty()) return;  // enabled by the first open
    const QString chosen = runSaveDialog();
    if (chosen.isEmpty()) return;
    savedPageName = chosen;
    runCommand([&] {
        // The page last shown, as the Convert command writes it: without the
        // base element, so that it finds its pictures in the media folder.
        const std::string htmlPath = shownFolder_ + "word/doc.html";
        writeFileNoFollow(htmlPath, shownPage_);
        const std::string target = toPath(chosen);
        std::string folder = std::filesystem::path(target).parent_path().string();
        if (folder.empty()) folder = ".";
        // Made through the chosen folder's descriptor: a link planted at
        // the page's or a picture's name is refused, never written through.
        if (!std::filesystem::is_directory(folder)) throw Error("Cannot create " + target + ": " + errnoMessage(ENOENT));
        const OutputFolder out(folder);
        if (!sameFile(htmlPath, target)) out.writeFile(std::filesystem::path(target).filename().string(), shownPage_);
        const std::string media = shownFolder_ + "word/media/";
        // Copying the pictures onto themselves would empty them.
        if (!sameFile(media, folder + "/media/")) out.copyFolder(media, "media");
    });
}

void TForm1::Associatedocx1Click() {
    if (busy_) return;
    if (!askConfirm(QStringLiteral("Set Tavin as default viewer for .docx files?"))) return;
    runCommand([this] { associateDocx(toPath(applicationFolder + QStringLiteral("/tavin"))); });
}

QString TForm1::helpFilePath() const {
    const QStringList candidates = {applicationFolder + QStringLiteral("/help.htm"),
                                    applicationFolder + QStringLiteral("/../share/tavin/help.htm")};
    for (const QString& c : candidates) {
        if (isRegularFile(toPath(c))) return QFileInfo(c).absoluteFilePath();
    }
    return candidates.front();
}

void TForm1::HelpItemClick() {
    if (busy_) return;
    // Its own window: the document stays shown, and print and export stay
    // with it.
    if (!frmHelp) frmHelp = new THelpWindow(this);
    frmHelp->showHelp(helpFilePath());
}

void TForm1::mAboutClick() {
    if (busy_) return;
    if (!frmAbout) frmAbout = new TfrmAbout(this);
    frmAbout->exec();
}

void TForm1::btnHelpClick() { mAbout->trigger(); }

void TForm1::Tessarinecom1Click() { wb1->Navigate(QString::fromLatin1(kMakerUrl)); }

std::vector<TForm1*> openStartWindows(const std::vector<std::string>& documents) {
    std::vector<TForm1*> windows;
    const std::vector<std::string> none{std::string()};
    for (const std::string& document : documents.empty() ? none : documents) {
        auto* form = new TForm1(document);
        form->setAttribute(Qt::WA_DeleteOnClose);
        const bool placed = form->restoreSettings();
        // The document is extracted and converted while the window appears.
        form->startOpening();
        if (placed) {
            form->show();
        } else {
            form->showMaximized();
        }
        windows.push_back(form);
    }
    return windows;
}

bool TRightButtonFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
        break;
    case QEvent::ContextMenu:
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tavin
