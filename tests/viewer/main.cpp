// The viewer tests run in one QApplication on the offscreen platform, with
// every folder the viewer writes to pointed at a temporary folder.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QApplication>

#include "support/testutil.h"
#include "viewer/HTMLView.h"
#include "viewer/viewer_support.h"
#include "viewer/sanitizer_hooks.h"

namespace {

void setDefault(const char* name, const char* value) {
    if (!qEnvironmentVariableIsSet(name)) qputenv(name, value);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setDefault("QT_QPA_PLATFORM", "offscreen");
    // Chromium's sandbox cannot run as root, which is how CI runs.
    setDefault("QTWEBENGINE_DISABLE_SANDBOX", "1");
    setDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    setDefault("QT_LOGGING_RULES", "qt.webenginecontext.debug=false");

    // HOME must be in place before the web engine starts; each test points
    // the XDG folders at folders of its own.
    testutil::TempDir home;
    viewertest::setProcessHome(home.str());

    tavin::THTMLView::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavin"));
    return RUN_ALL_TESTS();
}
