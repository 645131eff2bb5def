// Save As, the .docx association, the help page and the About box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "core/uStr.h"
#include "viewer/HTMLView.h"
#include "viewer/helpwindow.h"
#include "viewer/about.h"
#include "viewer/association.h"
#include "viewer/viewer_support.h"

namespace fs = std::filesystem;
using namespace viewertest;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    IsolatedEnv env;
};

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

}  // namespace

TEST_F(CommandsTest, SaveAsWritesThePageAndItsPictures) {
    const fs::path doc = env.docs() / "pictures.docx";
    writeDocx(doc);
    const fs::path out = env.root() / "out";
    fs::create_directories(out);
    TestForm form;

    // Nothing to save before an open: the dialog is not even shown.
    form.saveAnswers << q(out / "early.htm");
    form.FileSaveAsItemClick();
    EXPECT_EQ(form.saveAnswers.size(), 1);
    form.saveAnswers.clear();

    ASSERT_TRUE(openAndWait(form, doc.string()));
    form.saveAnswers << q(out / "page.htm");
    form.FileSaveAsItem->trigger();  // hidden, yet enabled
    ASSERT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_EQ(form.savedPageName, q(out / "page.htm"));
    const std::string page = testutil::readFile(out / "page.htm");
    EXPECT_EQ(page, form.shownPage());
    EXPECT_EQ(page.find("<base"), std::string::npos);
    EXPECT_NE(page.find("src=\"media/image1.png\""), std::string::npos);
    EXPECT_EQ(testutil::readFile(form.workFolder() + "word/doc.html"), page);
    EXPECT_EQ(testutil::readFile(out / "media" / "image1.png"), pngBytes(QColor(255, 0, 0), 40, 40));

    // A second save into the same folder replaces what is there.
    testutil::writeFile(out / "page.htm", "stale");
    testutil::writeFile(out / "media" / "image1.png", "stale");
    form.saveAnswers << q(out / "page.htm");
    form.FileSaveAsItemClick();
    EXPECT_EQ(testutil::readFile(out / "page.htm"), page);
    EXPECT_EQ(testutil::readFile(out / "media" / "image1.png"), pngBytes(QColor(255, 0, 0), 40, 40));

    // Saving onto the work folder's own page keeps page and pictures whole.
    form.saveAnswers << QString::fromStdString(form.workFolder() + "word/doc.html");
    form.FileSaveAsItemClick();
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_EQ(testutil::readFile(form.workFolder() + "word/doc.html"), page);
    EXPECT_EQ(testutil::readFile(form.workFolder() + "word/media/image1.png"), pngBytes(QColor(255, 0, 0), 40, 40));

    // After the page-margin option, the page saved is the one shown.
    form.ImposepageMargin1Click();
    form.saveAnswers << q(out / "bare.htm");
    form.FileSaveAsItemClick();
    EXPECT_EQ(testutil::readFile(out / "bare.htm").find("div.page"), std::string::npos);
}

TEST_F(CommandsTest, SaveAsOfADocumentWithoutPicturesMakesNoMediaFolder) {
    const fs::path doc = env.docs() / "plain.docx";
    writeDocx(doc, {.picture = false});
    TestForm form;
    ASSERT_TRUE(openAndWait(form, doc.string()));
    const fs::path out = env.root() / "plain-out";
    fs::create_directories(out);
    form.saveAnswers << q(out / "plain.htm");
    form.FileSaveAsItemClick();
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_TRUE(fs::exists(out / "plain.htm"));
    EXPECT_FALSE(fs::exists(out / "media"));

    // A folder that cannot be written to is reported.
    form.saveAnswers << q(env.root() / "no-such-folder" / "x.htm");
    form.FileSaveAsItemClick();
    ASSERT_EQ(form.errors.size(), 1);
    EXPECT_TRUE(form.errors[0].contains("x.htm"));
}

namespace {

// Runs the association with PATH set to one folder, then puts PATH back.
void associateWithPath(TestForm& form, const fs::path& pathFolder) {
    const QByteArray saved = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(pathFolder.string()));
    form.Associatedocx1Click();
    qputenv("PATH", saved);
}

}  // namespace

TEST_F(CommandsTest, AssociationAskedNoWritesNothing) {
    TestForm form;
    form.confirmAnswer = false;
    associateWithPath(form, env.root() / "bin");
    ASSERT_EQ(form.questions.size(), 1);
    EXPECT_TRUE(form.questions[0].startsWith("Set Tavin as default"));
    EXPECT_TRUE(fs::is_empty(env.data()));
    EXPECT_TRUE(fs::is_empty(env.config()));
    EXPECT_TRUE(form.errors.isEmpty());
}

TEST_F(CommandsTest, AssociationYesInstallsTheEntryAndTheDefault) {
    const fs::path bin = env.root() / "bin";  // no xdg-mime here
    fs::create_directories(bin);
    testutil::writeFile(env.config() / "mimeapps.list",
                        "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
                        "image/png=viewer.desktop;\n" +
                            std::string(tavin::kDocxMimeType) + "=other.desktop;\n");
    TestForm form;
    form.applicationFolder = "/opt/my tools";
    form.confirmAnswer = true;
    associateWithPath(form, bin);
    ASSERT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();

    const std::string entry = testutil::readFile(env.data() / "applications" / "tavin.desktop");
    EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=\"/opt/my tools/tavin\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=" + std::string(tavin::kDocxMimeType) + ";\n"), std::string::npos);
    EXPECT_EQ(testutil::readFile(env.config() / "mimeapps.list"),
              "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
              "image/png=viewer.desktop;\n" +
                  std::string(tavin::kDocxMimeType) + "=tavin.desktop;\n");
    // Written through temporary files: nothing else is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(env.data() / "applications"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(env.config()), fs::directory_iterator()), 1);
}

TEST_F(CommandsTest, AssociationUsesXdgMimeWhereItIsAndReportsItsFailure) {
    const fs::path bin = env.root() / "bin";
    const fs::path argsFile = env.root() / "xdg-mime-args";
    testutil::writeFile(bin / "xdg-mime", "#!/bin/sh\necho \"$@\" > '" + argsFile.string() + "'\nexit ${XDG_STUB_EXIT:-0}\n");
    fs::permissions(bin / "xdg-mime", fs::perms::owner_all);
    TestForm form;
    form.confirmAnswer = true;
    associateWithPath(form, bin);
    EXPECT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    EXPECT_EQ(testutil::readFile(argsFile), "default tavin.desktop " + std::string(tavin::kDocxMimeType) + "\n");
    EXPECT_TRUE(fs::exists(env.data() / "applications" / "tavin.desktop"));
    EXPECT_FALSE(fs::exists(env.config() / "mimeapps.list"));

    qputenv("XDG_STUB_EXIT", "3");
    associateWithPath(form, bin);
    qunsetenv("XDG_STUB_EXIT");
    ASSERT_EQ(form.errors.size(), 1);
    EXPECT_TRUE(form.errors[0].contains("xdg-mime"));
}

TEST(AssociationText, DefaultsAndExecQuoting) {
    const std::string mime = tavin::kDocxMimeType;
    EXPECT_EQ(tavin::withDefaultApplication("", mime, "tavin.desktop"),
              "[Default Applications]\n" + mime + "=tavin.desktop;\n");
    EXPECT_EQ(tavin::withDefaultApplication("[Default Applications]\n" + mime + " = old.desktop;\n[Other]\nk=v\n",
                                            mime, "tavin.desktop"),
              "[Default Applications]\n" + mime + "=tavin.desktop;\n[Other]\nk=v\n");
    EXPECT_EQ(tavin::withDefaultApplication("[Default Applications]\nimage/png=v.desktop;\n\n[Other]\n", mime,
                                            "tavin.desktop"),
              "[Default Applications]\nimage/png=v.desktop;\n" + mime + "=tavin.desktop;\n\n[Other]\n");

    EXPECT_EQ(tavin::desktopExecArgument("/a b/\"q\"/$x/`c`/100%/back\\slash"),
              "\"/a b/\\\\\"q\\\\\"/\\\\$x/\\\\`c\\\\`/100%%/back\\\\\\\\slash\"");
}

TEST_F(CommandsTest, HelpShowsTheHelpPageInItsOwnWindow) {
    const fs::path doc = env.docs() / "helped.docx";
    writeDocx(doc, {.paragraphs = "<w:p><w:r><w:t>The document itself</w:t></w:r></w:p>"});
    TestForm form;
    form.applicationFolder = TAVIN_BINARY_DIR;
    form.show();
    ASSERT_TRUE(openAndWait(form, doc.string()));
    const QUrl shown = form.wb1->url();
    form.HelpItemClick();
    ASSERT_NE(form.frmHelp, nullptr);
    tavin::THelpWindow* help = form.frmHelp;
    LoadTracker tracker(help->view);
    const QUrl helpUrl = QUrl::fromLocalFile(QStringLiteral(TAVIN_BINARY_DIR "/help.htm"));
    ASSERT_TRUE(help->view->url() == helpUrl || tracker.waitForUrl(helpUrl));
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_TRUE(waitFor([&] { return help->view->title() == "Tavin Help"; }));
    // The document stays in its window; a second F1 reuses the help window.
    EXPECT_EQ(form.wb1->url(), shown);
    form.HelpItemClick();
    EXPECT_EQ(form.frmHelp, help);
    EXPECT_EQ(evaluate(form.wb1, "document.body.innerText.indexOf('The document itself') >= 0").toBool(), true);

    // Export writes the document, never the help page.
    const fs::path pdf = env.root() / "helped.pdf";
    form.exportAnswers << QString::fromStdString(pdf.string());
    form.FileExportPdfItemClick();
    ASSERT_TRUE(form.errors.isEmpty()) << form.errors.join("\n").toStdString();
    {  // the text of the PDF, read back with pdftotext
        const std::string text = pdfText(pdf);
        EXPECT_NE(text.find("The document itself"), std::string::npos) << text;
        EXPECT_EQ(text.find("Tavin Help"), std::string::npos);
    }

    // Installed: PREFIX/bin/tavin finds PREFIX/share/tavin/help.htm.
    const fs::path prefix = env.root() / "prefix";
    fs::create_directories(prefix / "bin");
    testutil::writeFile(prefix / "share" / "tavin" / "help.htm",
                        "<html><head><title>Installed help</title></head></html>");
    form.applicationFolder = q(prefix / "bin");
    form.HelpItemClick();
    ASSERT_TRUE(tracker.waitForUrl(QUrl::fromLocalFile(q(prefix / "share" / "tavin" / "help.htm"))));
    EXPECT_TRUE(waitFor([&] { return help->windowTitle() == "Installed help"; }));

    // Closing the document's window closes its help.
    form.close();
    EXPECT_FALSE(help->isVisible());
}

namespace {

// Closes the next modal dialog once it shows, noting which it was.
void closeNextModal(QList<QWidget*>& seen) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        timer->stop();
        timer->deleteLater();
        seen << modal;
        qobject_cast<QDialog*>(modal)->reject();
    });
    timer->start();
}

}  // namespace

class HomePageCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(CommandsTest, TheAboutBoxIsOneInstanceShownModally) {
    TestForm form;
    form.show();
    QList<QWidget*> seen;
    closeNextModal(seen);
    form.mAbout->trigger();
    closeNextModal(seen);
    form.btnHelp->click();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], form.frmAbout);
    EXPECT_EQ(form.findChildren<tavin::TfrmAbout*>().size(), 1);

    tavin::TfrmAbout* about = form.frmAbout;
    const QStringList memo1 = about->Memo1->toPlainText().split('\n');
    ASSERT_EQ(memo1.size(), 7);
    EXPECT_EQ(memo1[0], QString(20, '#'));
    EXPECT_EQ(memo1[6], QString(20, '#') + " ");
    const QString block = memo1.mid(1, 5).join('\n');
    for (const char* part : {"Tavin", "1.0", "Tessarine", tavin::kMakerAddress}) EXPECT_TRUE(block.contains(part)) << part;
    EXPECT_EQ(about->Memo2->toPlainText().split('\n').size(), 3);

    const QImage banner = about->Image1->pixmap().toImage();
    EXPECT_EQ(banner.size(), QSize(297, 80));
    EXPECT_GT(countColour(banner, Qt::white, 10), 200);  // the drawn page and name

    HomePageCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    form.Tessarinecom1->trigger();
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.urls, QList<QUrl>({QUrl(tavin::kMakerUrl)}));
}

#include "commands_test.moc"
