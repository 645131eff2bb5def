// Helpers of the viewer tests: isolated folders, fixture documents, waiting
// on the web view, and a main window whose dialogs the test answers.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QColor>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include "package/zipwriter.h"
#include "support/testutil.h"
#include "viewer/sui.h"

class QPrinter;
class QWebEngineView;

namespace viewertest {

// HOME and the XDG folders of the whole test process.
void setProcessHome(const std::string& home);

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and TAVIN_CACHE_DIR at fresh
// folders for one test, and puts the previous values back afterwards.
class IsolatedEnv {
public:
    IsolatedEnv();
    ~IsolatedEnv();
    IsolatedEnv(const IsolatedEnv&) = delete;
    IsolatedEnv& operator=(const IsolatedEnv&) = delete;

    std::filesystem::path root() const { return dir_.path(); }
    std::filesystem::path config() const { return dir_.path() / "config"; }
    std::filesystem::path data() const { return dir_.path() / "data"; }
    std::filesystem::path cache() const { return dir_.path() / "cache"; }
    std::filesystem::path docs() const { return dir_.path() / "docs"; }

private:
    testutil::TempDir dir_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

// Runs the event loop until cond holds or the time is up.
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 30000);

// Records every finished load of a view.
class LoadTracker {
public:
    explicit LoadTracker(QWebEngineView* view);
    // Waits for a successful load of url (compared without fragment).
    bool waitForUrl(const QUrl& url, int timeoutMs = 30000);
    std::vector<std::pair<QUrl, bool>> loads;

private:
    QWebEngineView* view_;
    QObject context_;  // the connection ends with the tracker
};

// A .docx package made in the test.
struct DocxFixture {
    std::string title = "Fixture title";
    std::string creator = "Fixture author";
    std::string created = "2010-04-20T08:15:00Z";
    bool picture = true;     // word/media/image1.png, drawn red, shown in the body
    std::string paragraphs = {};  // extra body XML after the first paragraph
    std::string relationships = {};  // extra Relationship elements
    std::vector<std::pair<std::string, std::string>> parts = {};  // extra parts: name, text
    QColor pictureColour = QColor(255, 0, 0);
    std::vector<ziptest::Entry> extraEntries = {};  // further package entries
};
std::string docxBytes(const DocxFixture& fixture);
void writeDocx(const std::filesystem::path& file, const DocxFixture& fixture = {});
std::string pngBytes(const QColor& colour, int width, int height);

// Pixels of image within tolerance of colour in each channel.
int countColour(const QImage& image, const QColor& colour, int tolerance = 40);

// Waits until the view's rendering shows at least minPixels of colour.
bool waitForColour(QWidget* view, const QColor& colour, int minPixels, int timeoutMs = 30000);

class TestForm : public tavin::TForm1 {
public:
    using TForm1::TForm1;

    QStringList errors;
    QStringList messages;  // "title|text"
    QStringList openAnswers;  // what the open dialog returns, in turn
    QStringList saveAnswers;  // what the save dialog returns, in turn
    QStringList questions;    // what confirm asked
    bool confirmAnswer = false;
    QStringList exportAnswers;  // what the Export to PDF dialog returns, in turn
    // The print dialog: sets up the printer and answers; none cancels.
    std::function<bool(QPrinter*)> printAnswer;

protected:
    void showError(const QString& text) override { errors << text; }
    void showMessage(const QString& title, const QString& text) override { messages << title + "|" + text; }
    QString runOpenDialog() override { return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst(); }
    QString runSaveDialog() override { return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst(); }
    bool askConfirm(const QString& question) override {
        questions << question;
        return confirmAnswer;
    }
    bool runPrintDialog(QPrinter* printer) override { return printAnswer && printAnswer(printer); }
    QString runExportDialog() override { return exportAnswers.isEmpty() ? QString() : exportAnswers.takeFirst(); }
};

// Opens a document through File, Open and waits until the page is shown.
bool openAndWait(TestForm& form, const std::string& path);

// The built tavin run as a process: its exit status (-1 when it did not end
// normally within two minutes; it is then killed) and its output.
struct ProcessResult {
    int status = -1;
    std::string out, err;
};
// env entries NAME=VALUE are set, bare NAMEs removed.
ProcessResult runTavin(const QStringList& args, const QStringList& env = {});

// Shows the window and waits until it is the active one, so that its
// shortcuts answer keys.
bool showActive(QWidget& window);

// The result of a script run in the application's own world of the page
// shown (the page's own scripts stay off); invalid when it gave none.
QVariant evaluate(QWebEngineView* view, const QString& script);

// The text of a PDF file as pdftotext reads it, with blanks between words;
// empty when pdftotext is not installed.
std::string pdfText(const std::filesystem::path& pdf);
bool havePdfToText();
// What a poppler tool (pdfinfo, pdftotext...) writes for args.
std::string popplerOutput(const QString& tool, const QStringList& args);

}  // namespace viewertest
