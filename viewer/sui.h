// The main window: menus, options, the status bar, and the opening and
// conversion of documents.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QMainWindow>
#include <QString>

#include "docx2html/context.h"
#include "package/docxInfo.h"
#include "viewer/pagememory.h"
#include "viewer/uRecentFile.h"

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QPrinter;
class QProgressBar;
class QTimer;
class QToolButton;

namespace tavin {

class TFindBar;
class TOutline;
class THTMLView;
class THelpWindow;
class TfrmAbout;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // startDocument: the first command-line argument, opened when the window
    // is first shown; empty for none.
    explicit TForm1(std::string startDocument = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Components, named as in the form.
    THTMLView* wb1 = nullptr;
    QWidget* pnlStatus = nullptr;
    QLabel* pnlSize = nullptr;
    QProgressBar* Gauge1 = nullptr;
    QLabel* pnlTitle = nullptr;
    QLabel* pnlAuthor = nullptr;
    QLabel* pnlDate = nullptr;
    QLabel* pnlZoom = nullptr;  // the zoom factor, "100%"
    QWidget* pnlHelp = nullptr;
    QToolButton* btnHelp = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;

    QMenu* FileMenu = nullptr;
    QAction* FileOpenItem = nullptr;
    QMenu* OpenRecent1 = nullptr;
    QAction* Convert1 = nullptr;
    QAction* FileSaveAsItem = nullptr;
    QAction* FileReloadItem = nullptr;
    QAction* N3 = nullptr;
    QAction* FilePrintItem = nullptr;
    QAction* FileExportPdfItem = nullptr;
    QAction* FileClearCacheItem = nullptr;
    QAction* N1 = nullptr;
    QAction* FileExitItem = nullptr;
    QAction* FileOpenKey = nullptr;  // Ctrl+O, beside F2; in no menu
    QMenu* Setting1 = nullptr;
    QAction* chkPage = nullptr;
    QAction* mStatus = nullptr;
    QAction* chkOpt = nullptr;
    QAction* chkFidelity = nullptr;
    QAction* chkChanges = nullptr;
    QAction* N2 = nullptr;
    QAction* Associatedocx1 = nullptr;
    QMenu* ViewMenu = nullptr;
    QAction* ViewZoomInItem = nullptr;
    QAction* ViewZoomOutItem = nullptr;
    QAction* ViewZoomResetItem = nullptr;  // Actual Size
    QAction* ViewBackItem = nullptr;     // back to where the last internal link was followed
    QAction* ViewForwardItem = nullptr;
    QAction* N4 = nullptr;
    QAction* ViewFindItem = nullptr;
    QAction* ViewOutlineItem = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* HelpItem = nullptr;
    QAction* mAbout = nullptr;
    QAction* Tessarinecom1 = nullptr;

    TFindBar* findBar = nullptr;
    TOutline* outline = nullptr;
    TfrmAbout* frmAbout = nullptr;  // created on first use
    THelpWindow* frmHelp = nullptr;  // created on first use
    // Laid over the view while a document opens or prints: the old page
    // dimmed, a busy bar and what is being done.
    QWidget* pnlBusy = nullptr;
    QLabel* lblBusy = nullptr;
    QTimer* busyTimer_ = nullptr;
    QTimer* gaugeTimer_ = nullptr;
    TRecentFiles recent;

    // The folder of the executable, without a trailing "/".
    QString applicationFolder;
    // The file name last chosen in the Save As dialog.
    QString savedPageName;

    // Builds the Open Recent submenu from rec.lst and opens the start
    // document; runs once, on the first show.
    void FormShow();

    // Menu commands. Each refuses to run while another command runs and
    // reports its failure in a message box.
    void FileOpenItemClick();
    void Convert1Click();
    void ImposepageMargin1Click();
    void OptimizeHTML1Click();
    void mStatusClick();
    void FileExitItemClick();
    void FileSaveAsItemClick();
    void Associatedocx1Click();
    void HelpItemClick();
    void mAboutClick();
    void btnHelpClick();
    void Tessarinecom1Click();
    void recentfileclick(int index);
    // Opens the document shown again from its file (F5).
    void FileReloadItemClick();
    void FilePrintItemClick();
    void FileExportPdfItemClick();
    void ViewFindItemClick();
    // Opens a .docx dropped on the window, as File > Open opens a chosen one.
    void openDropped(const QString& path);
    // Removes every work folder but the one of the document shown.
    void FileClearCacheItemClick();

    // The page shown before any document: how to open one.
    static QByteArray startPage();

    // Window size and place, the outline panel, zoom, the status bar, Full
    // Fidelity and Show Page Margin, from $XDG_CONFIG_HOME/tavin/tavin.conf;
    // false when no window geometry was stored.
    bool restoreSettings();
    void saveSettings() const;
    static QString settingsPath();

    // help.htm beside the program, or in the installed data folder.
    QString helpFilePath() const;

    // Begins extracting and converting the start document on a thread of
    // its own, with the options restored; FormShow then shows it.
    void startOpening();

    // Opens one .docx file end to end; raises on failure, leaving the
    // window as it was. The package is extracted and converted on a thread
    // of its own while the window goes on answering events.
    void openDocument(const std::string& path);
    // Advances the gauge by one step and repaints it at once.
    void showStep(const std::string& stepName);
    // The check marks as conversion options, for a page of the given title.
    ConvertOptions currentOptions(const std::string& title, bool freshPageValues) const;

    bool busy() const { return busy_; }
    // Whether a close was asked for while a command ran; the command is
    // then cancelled and the window closes after it.
    bool closing() const { return closing_; }
    bool documentOpen() const { return !ctx_->workFolder.empty(); }
    const std::string& workFolder() const { return ctx_->workFolder; }
    const TdocxInfo& docxInfo() const { return info_; }
    const ConversionContext& context() const { return *ctx_; }
    // The page last shown, without its base element, and its work folder.
    const std::string& shownPage() const { return shownPage_; }
    const std::string& shownFolder() const { return shownFolder_; }

    // The path of the document last opened, as it was given; empty before.
    const std::string& documentPath() const { return documentPath_; }

    // "<base href="..."> for a work folder: its word/ folder as a file: URL.
    static std::string baseElement(const std::string& workFolder, const std::string& documentFolder = "word/");
    // The bytes the view is given for a converted page: the page with the
    // base element before it, or right after its document type declaration.
    static QByteArray viewPage(const std::string& workFolder, const std::string& html,
                               const std::string& documentFolder = "word/");

protected:
    // The user's side of the dialogs; tests answer them instead.
    virtual void showError(const QString& text);
    virtual void showMessage(const QString& title, const QString& text);
    virtual QString runOpenDialog();
    virtual QString runSaveDialog();
    virtual bool askConfirm(const QString& question);
    // The print dialog on printer; true when the user chose to print.
    virtual bool runPrintDialog(QPrinter* printer);
    // The file to export a PDF to; empty when cancelled.
    virtual QString runExportDialog();

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Runs one command: refused while another runs, failures reported.
    // Returns whether it ran to the end.
    template <class F>
    bool runCommand(F&& command);

    // Runs work on a thread of its own while this thread goes on answering
    // events (the gauge moves, the busy panel paints, a close is noted), and
    // returns when it has ended, raising what it raised. work must not touch
    // widgets; conversion steps it runs in a context whose showStep is
    // stepFromThread move the gauge.
    void runOffThread(const std::function<void()>& work);
    std::function<void(const std::string&)> stepFromThread();
    struct OpenWork;
    void startOpenWork(OpenWork& work);
    // Waits, answering events, until the work has ended.
    void finishOpenWork(OpenWork& work);

private:
    void pageMarginTriggered(bool checked);
    void optimizeTriggered(bool checked);
    void fidelityTriggered(bool checked);
    void changesTriggered(bool checked);
    // An option's mark changed: false (and the mark put back) while a
    // command runs, else true, the document to be converted again.
    bool optionChanged(QAction* item, bool checked);
    void statusBarTriggered(bool checked);
    void buildMenus();
    void buildStatusBar();
    // Opens a path chosen by the user and lists it among the recent files.
    void openChosen(const QString& chosen);
    // Lists path among the recent files, in rec.lst at once.
    void rememberRecent(const std::string& path);
    // What follows a finished load of the view: focus, reading position.
    void pageLoaded(bool ok);
    // Shows or hides the busy panel over the view.
    // afterMs > 0: only when the command still runs then.
    void showBusy(const QString& what, int afterMs = 0);
    void hideBusy();
    // The gauge appears when a command still runs after a moment.
    void showGaugeSoon();
    void hideGauge();
    // Notes the reading position, to be taken again by the next page. The
    // page's own answer comes while the document is converted; until then
    // the view's figures stand in for it.
    void keepScrollPosition();
    // A reconversion of the document shown with the options now checked,
    // shown from memory and written into word/doc.html.
    void convertAgain();
    void showZoom(qreal factor);
    // The folder the Open dialog starts in: the shown document's.
    void prepareOpenDialog();
    // Shows the messages gathered during one extraction in one box.
    void showGathered(const std::string& title, const std::vector<std::string>& texts);

    std::string startDocument_;
    bool shown_ = false;
    bool busy_ = false;
    // Read by the thread of an open, which stops at its next step.
    std::atomic<bool> closing_{false};
    // The reading position to take again, as a share of the page's height;
    // negative for none.
    double keptScroll_ = -1;
    double keptScrollX_ = 0;
    int scrollQuery_ = 0;  // which keepScrollPosition an answer belongs to
    // False from the destructor on: the page's script answers arrive while
    // the window's children go, when it is no TForm1 any more.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool recentLoaded_ = false;
    // Replaced whole by each conversion that succeeds; a failed one leaves it.
    std::unique_ptr<ConversionContext> ctx_;
    std::unique_ptr<OpenWork> started_;  // the start document's, until FormShow takes it
    TdocxInfo info_;
    std::string shownPage_;
    std::string shownFolder_;
    std::string documentPath_;
    // What the page shown was made of, and the page shown before it when
    // that was made of the same folder with other options: F5 of an
    // unchanged file shows the one again, an option turned back the other.
    std::string shownIdentity_;
    ConvertOptions shownOptions_;
    TKeptPage previous_;
};

// One window for each document (one empty window for none), each deleted
// when closed, shown where the last window was left or else maximized.
std::vector<TForm1*> openStartWindows(const std::vector<std::string>& documents);

// Discards right-button presses and releases, and the context menus they
// would open, for every widget of the application.
class TRightButtonFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tavin
