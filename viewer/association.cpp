#include "viewer/association.h"

#include <cstdlib>
#include <vector>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "core/errors.h"
#include "core/fileio.h"
#include "core/uStr.h"
#include "viewer/savefile.h"

namespace tavin {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Adds a line after the last non-blank line of the section being written.
void appendToSection(std::vector<std::string>& lines, const std::string& line) {
    auto at = lines.end();
    while (at != lines.begin() && trimmed(*(at - 1)).empty()) --at;
    lines.insert(at, line);
}

}  // namespace

std::string userDesktopEntryPath() {
    return xdgFolder("XDG_DATA_HOME", ".local/share/") + "applications/" + kDesktopFileName;
}

std::string userMimeAppsPath() { return xdgFolder("XDG_CONFIG_HOME", ".config/") + "mimeapps.list"; }

std::string desktopExecArgument(std::string_view argument) {
    // Without reserved characters the argument goes in as it is: simple
    // launchers (xdg-open without a desktop environment) split the line on
    // blanks and take quotes literally.
    constexpr std::string_view kReserved(" \t\n\"'\\><~|&;$*?#()`\r");
    if (!argument.empty() && argument.find_first_of(kReserved) == std::string_view::npos) {
        std::string value;
        for (char c : argument) value += c == '%' ? std::string("%%") : std::string(1, c);
        return value;
    }
    // Inside double quotes, '"', '`', '$' and '\' take a backslash; the
    // value as a whole then doubles every backslash, and "%" is written "%%".
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        if (c == '\\') {
            value += "\\\\";
        } else if (c == '%') {
            value += "%%";
        } else {
            value += c;
        }
    }
    return value;
}

std::string desktopEntryText(const std::string& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tavin\n"
           "GenericName=Document Viewer\n"
           "Comment=View Word documents (.docx)\n"
           "Exec=" + desktopExecArgument(executable) + " %f\n"
           "Icon=tavin\n"
           "Terminal=false\n"
           "Categories=Office;Viewer;\n"
           "MimeType=" + std::string(kDocxMimeType) + ";\n";
}

std::string withDefaultApplication(std::string_view text, std::string_view mimeType, std::string_view desktopId) {
    const std::string entry = std::string(mimeType) + "=" + std::string(desktopId) + ";";
    const std::vector<std::string> lines = text.empty() ? std::vector<std::string>{} : splitText(text, "\n");
    std::vector<std::string> out;
    bool inDefaults = false, sectionFound = false, written = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string_view t = trimmed(line);
        if (!t.empty() && t.front() == '[') {
            if (inDefaults && !written) {
                appendToSection(out, entry);
                written = true;
            }
            inDefaults = t == "[Default Applications]";
            sectionFound = sectionFound || inDefaults;
        } else if (inDefaults) {
            const std::size_t eq = t.find('=');
            if (eq != std::string_view::npos && trimmed(t.substr(0, eq)) == mimeType) {
                if (!written) out.push_back(entry);
                written = true;
                continue;
            }
        }
        // A trailing empty piece is the final line break, restored below.
        if (i + 1 == lines.size() && line.empty()) break;
        out.push_back(line);
    }
    if (inDefaults && !written) {
        appendToSection(out, entry);
        written = true;
    }
    if (!sectionFound) {
        if (!out.empty() && !trimmed(out.back()).empty()) out.emplace_back();
        out.emplace_back("[Default Applications]");
        out.push_back(entry);
    }
    return joinList(out, "\n") + "\n";
}

void associateDocx(const std::string& executable) {
    writeFileAtomically(userDesktopEntryPath(), desktopEntryText(executable));

    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!xdgMime.isEmpty()) {
        QProcess process;
        process.start(xdgMime, {QStringLiteral("default"), QString::fromLatin1(kDesktopFileName),
                                QString::fromLatin1(kDocxMimeType)});
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished(1000);
            throw Error("xdg-mime did not finish: " + process.errorString().toStdString());
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            const std::string detail = process.readAllStandardError().trimmed().toStdString();
            throw Error("xdg-mime could not set the default application" +
                        (detail.empty() ? std::string(".") : ": " + detail));
        }
        return;
    }
    const std::string list = userMimeAppsPath();
    writeFileAtomically(list, withDefaultApplication(readTextFile(list), kDocxMimeType, kDesktopFileName));
}

}  // namespace tavin
