// Making Tavin the user's default opener of .docx files: a desktop entry in
// the user's applications folder and the default in mimeapps.list.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

inline constexpr const char* kDocxMimeType = "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
inline constexpr const char* kDesktopFileName = "tavin.desktop";

// $XDG_DATA_HOME/applications/tavin.desktop, or under ~/.local/share.
std::string userDesktopEntryPath();
// $XDG_CONFIG_HOME/mimeapps.list, or ~/.config/mimeapps.list.
std::string userMimeAppsPath();

// The desktop entry that starts executable with the document's path.
std::string desktopEntryText(const std::string& executable);

// One argument in an Exec field: as it is where it holds no reserved
// character ("%" doubled), else quoted with the escapes that desktop entries
// require.
std::string desktopExecArgument(std::string_view argument);

// mimeapps.list text with desktopId as the default for mimeType, every
// other line kept.
std::string withDefaultApplication(std::string_view mimeAppsText, std::string_view mimeType,
                                   std::string_view desktopId);

// Writes the desktop entry and makes it the default for .docx: through
// xdg-mime when it is on the PATH, else by editing mimeapps.list. Raises
// with a message on any failure.
void associateDocx(const std::string& executable);

}  // namespace tavin
