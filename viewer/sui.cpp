#include "viewer/sui.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <sys/stat.h>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/filehelpers.h"
#include "core/uStr.h"
#include "docx2html/docx2html.h"
#include "package/workfolder.h"
#include "viewer/HTMLView.h"
#include "viewer/about.h"
#include "viewer/association.h"
#include "viewer/dialogs.h"
#include "viewer/findbar.h"
#include "viewer/pdfexport.h"

namespace tavin {

namespace {

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Whether two paths name the same existing file or folder.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

QString fromBytes(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

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
    resize(696, 480);
    move(232, 149);
    applicationFolder = QCoreApplication::applicationDirPath();
    ctx_.fullFidelity = true;  // the Full Fidelity check mark starts checked

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
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);

    ctx_.showStep = [this](const std::string& name) { showStep(name); };
    qApp->installEventFilter(new TRightButtonFilter(this));
    setAcceptDrops(true);
    // Queued: the drop finishes before the document is opened.
    connect(wb1, &THTMLView::docxDropped, this, &TForm1::openDropped, Qt::QueuedConnection);
    wb1->Navigate(QStringLiteral("about:blank"));
}

TForm1::~TForm1() = default;

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
    FileOpenItem->setStatusTip(QStringLiteral("Open an existing file"));
    OpenRecent1 = FileMenu->addMenu(QStringLiteral("Open Recent"));
    OpenRecent1->setObjectName(QStringLiteral("OpenRecent1"));
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
    N1 = FileMenu->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    FileExitItem = item(FileMenu, "FileExitItem", QStringLiteral("E&xit"));
    FileExitItem->setShortcut(Qt::Key_F12);
    FileExitItem->setStatusTip(QStringLiteral("Exit this application"));

    Setting1 = bar->addMenu(QStringLiteral("&Option"));
    Setting1->setObjectName(QStringLiteral("Setting1"));
    chkPage = item(Setting1, "chkPage", QStringLiteral("Show Page &Margin"));
    chkPage->setCheckable(true);
    chkPage->setChecked(true);
    mStatus = item(Setting1, "mStatus", QStringLiteral("Show Status Bar"));
    mStatus->setCheckable(true);
    mStatus->setChecked(true);
    chkFidelity = item(Setting1, "chkFidelity", QStringLiteral("Full Fidelity"));
    chkFidelity->setCheckable(true);
    chkFidelity->setChecked(true);
    chkFidelity->setStatusTip(QStringLiteral("Show notes, headers, footers and comments as Word does"));
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
    ViewZoomResetItem = item(ViewMenu, "ViewZoomResetItem", QStringLiteral("&Reset Zoom"));
    ViewZoomResetItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    N4 = ViewMenu->addSeparator();
    N4->setObjectName(QStringLiteral("N4"));
    ViewFindItem = item(ViewMenu, "ViewFindItem", QStringLiteral("&Find..."));
    ViewFindItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

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
    connect(ViewZoomInItem, &QAction::triggered, wb1, &THTMLView::zoomIn);
    connect(ViewZoomOutItem, &QAction::triggered, wb1, &THTMLView::zoomOut);
    connect(ViewZoomResetItem, &QAction::triggered, wb1, &THTMLView::resetZoom);
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

    auto* helpPanel = new QFrame(pnlStatus);
    helpPanel->setObjectName(QStringLiteral("pnlHelp"));
    helpPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    helpPanel->setFixedWidth(20);
    pnlHelp = helpPanel;
    btnHelp = new QToolButton(helpPanel);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setAutoRaise(true);
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
    try {
        command();
    } catch (const std::exception& e) {
        busy_ = false;
        showError(QString::fromUtf8(e.what()));
        return false;
    }
    busy_ = false;
    return true;
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
        dialog.selectFile(fromBytes(ctx_.docTitle) + QStringLiteral(".pdf"));
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) QTimer::singleShot(0, this, &TForm1::FormShow);
}

void TForm1::FormShow() {
    if (shown_) return;
    shown_ = true;
    try {
        recent.loadRecentMenu(OpenRecent1, recentListPath(), [this](int index) { recentfileclick(index); });
        recentLoaded_ = true;
    } catch (const std::exception& e) {
        // The list stays empty, and rec.lst is left alone at close.
        showError(QString::fromUtf8(e.what()));
    }
    if (!startDocument_.empty()) runCommand([this] { openDocument(startDocument_); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    // Only a list that was read is written back, so a window closed before
    // it was shown never empties rec.lst.
    if (recentLoaded_) {
        try {
            recent.saveRecentList(recentListPath());
        } catch (const std::exception& e) {
            showError(QString::fromUtf8(e.what()));
        }
    }
    event->accept();
}

void TForm1::showStep(const std::string&) {
    Gauge1->setValue(std::min(Gauge1->maximum(), Gauge1->value() + 10));
    Gauge1->repaint();
}

std::string TForm1::baseElement(const std::string& workFolder, const std::string& documentFolder) {
    return "<base href=\"" + QUrl::fromLocalFile(fromPath(workFolder + documentFolder)).toEncoded().toStdString() +
           "\">";
}

QByteArray TForm1::viewPage(const std::string& workFolder, const std::string& html, const std::string& documentFolder) {
    const std::string base = baseElement(workFolder, documentFolder);
    QByteArray page;
    page.reserve(static_cast<qsizetype>(base.size() + html.size()));
    page.append(base.data(), static_cast<qsizetype>(base.size()));
    page.append(html.data(), static_cast<qsizetype>(html.size()));
    return page;
}

void TForm1::openDocument(const std::string& path) {
    Gauge1->setValue(0);
    Gauge1->show();
    showStep("Loading document");

    ExtractCallbacks callbacks;
    callbacks.processMessages = [] { QCoreApplication::processEvents(); };
    callbacks.message = [this](const std::string& title, const std::string& text) {
        showMessage(fromBytes(title), fromBytes(text));
    };
    const std::string folder = openWorkFolder(path, tempRoot(), callbacks);
    ctx_.workFolder = folder;
    ctx_.docTitle = titleFromPath(path);
    // A page never takes its size or margins from the document before it.
    resetPageValues(ctx_);
    info_ = readCoreProperties(folder);
    setWindowTitle(QStringLiteral("Tavin - ") + fromPath(path));

    showStep("Loading XML");
    loadParts(ctx_);
    convert(ctx_);
    showStep("Writing tmp file");

    wb1->setLocalRoot(fromPath(folder));
    wb1->LoadHTMLText(viewPage(folder, ctx_.workingText, ctx_.documentFolder));
    shownPage_ = std::move(ctx_.workingText);
    shownFolder_ = folder;
    ctx_.workingText.clear();

    FileSaveAsItem->setEnabled(true);
    documentPath_ = path;
    FileReloadItem->setEnabled(true);
    FilePrintItem->setEnabled(true);
    FileExportPdfItem->setEnabled(true);
    Gauge1->hide();
    pnlTitle->setText(QStringLiteral(" Title: ") + fromBytes(info_.title));
    pnlAuthor->setText(QStringLiteral(" Author: ") + fromBytes(info_.creator));
    pnlDate->setText(QStringLiteral(" Date: ") + fromBytes(info_.created));
    pnlSize->setText(QStringLiteral(" File Size: ") + QString::fromStdString(sizeText(fileSizeOf(path))));
}

void TForm1::FileOpenItemClick() {
    if (busy_) return;
    openChosen(runOpenDialog());
}

void TForm1::openChosen(const QString& chosen) {
    if (busy_ || chosen.isEmpty()) return;
    const std::string path = toPath(chosen);
    if (runCommand([&] { openDocument(path); })) recent.addRecentFile(path);
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
    const std::string path = documentPath_;  // openDocument sets it again
    runCommand([&] { openDocument(path); });
}

void TForm1::FilePrintItemClick() {
    if (busy_ || documentPath_.empty()) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(fromBytes(ctx_.docTitle));
    printer.setPageLayout(documentPageLayout(ctx_));
    if (!runPrintDialog(&printer)) return;
    runCommand([&] { printView(*wb1, printer); });
}

void TForm1::FileExportPdfItemClick() {
    if (busy_ || documentPath_.empty()) return;
    const QString chosen = runExportDialog();
    if (chosen.isEmpty()) return;
    runCommand([&] { printViewToPdf(*wb1, chosen, documentPageLayout(ctx_)); });
}

void TForm1::ViewFindItemClick() { findBar->openBar(); }

void TForm1::Convert1Click() {
    if (!documentOpen()) return;  // nothing to convert yet
    runCommand([this] {
        Gauge1->show();
        Gauge1->setValue(0);
        showStep("Loading");
        loadParts(ctx_);
        showStep("Converting");
        convert(ctx_);
        showStep("Writing tmp File");
        const std::string htmlPath = ctx_.workFolder + "word/doc.html";
        writeFileNoFollow(htmlPath, ctx_.workingText);
        shownPage_ = std::move(ctx_.workingText);
        shownFolder_ = ctx_.workFolder;
        ctx_.workingText.clear();
        showStep("Loading HTML");
        wb1->Navigate(fromPath(htmlPath));
        Gauge1->hide();
    });
}

void TForm1::ImposepageMargin1Click() { chkPage->trigger(); }
void TForm1::OptimizeHTML1Click() { chkOpt->trigger(); }
void TForm1::mStatusClick() { mStatus->trigger(); }

void TForm1::pageMarginTriggered(bool checked) {
    if (busy_) {
        chkPage->setChecked(!checked);  // refused: the mark stays as it was
        return;
    }
    ctx_.showPageMargin = checked;
    ctx_.pageMarginFlag = checked;
    Convert1->trigger();
}

void TForm1::fidelityTriggered(bool checked) {
    if (busy_) {
        chkFidelity->setChecked(!checked);
        return;
    }
    ctx_.fullFidelity = checked;
    Convert1->trigger();
}

void TForm1::optimizeTriggered(bool checked) {
    if (busy_) {
        chkOpt->setChecked(!checked);
        return;
    }
    ctx_.optimizeHtml = checked;
    ctx_.optimizeFlag = checked;
}

void TForm1::statusBarTriggered(bool checked) { pnlStatus->setVisible(checked); }

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
        if (!sameFile(htmlPath, target)) copyFileTo(htmlPath, target);
        std::string folder = std::filesystem::path(target).parent_path().string();
        if (folder.empty()) folder = ".";
        const std::string media = shownFolder_ + "word/media/";
        const std::string targetMedia = folder + "/media/";
        // Copying the pictures onto themselves would empty them.
        if (!sameFile(media, targetMedia)) copyFolderFiles(media, targetMedia);
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
    wb1->Navigate(helpFilePath());
}

void TForm1::mAboutClick() {
    if (busy_) return;
    if (!frmAbout) frmAbout = new TfrmAbout(this);
    frmAbout->exec();
}

void TForm1::btnHelpClick() { mAbout->trigger(); }

void TForm1::Tessarinecom1Click() { wb1->Navigate(QString::fromLatin1(kMakerUrl)); }

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
