// The recent-files list: eight documents under File > Open Recent, kept in
// rec.lst in the user's config folder.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QString;

namespace tavin {

inline constexpr int kRecentCount = 8;
using RecentList = std::array<std::string, kRecentCount>;

// $XDG_CONFIG_HOME/tavin/rec.lst, or ~/.config/tavin/rec.lst.
std::string recentListPath();

// The eight slots of a rec.lst text: one line each, a line ending in LF or
// CR LF; missing lines are empty slots, lines past the eighth are ignored.
// A text that is blank after trimming gives eight empty slots.
RecentList parseRecentList(std::string_view text);

// Eight lines joined by CR LF, no line break after the last.
std::string formatRecentList(const RecentList& list);

// A path as a menu caption: "&" doubled so that it shows as it is.
QString recentCaption(const std::string& path);

class TRecentFiles {
public:
    RecentList recentFiles;
    std::array<QAction*, kRecentCount> items{};

    // Creates the eight items under parent, each calling onClick with its
    // index, and fills them from the file at path. The items exist even
    // when the file cannot be read; then the error is raised.
    void loadRecentMenu(QMenu* parent, const std::string& path, const std::function<void(int)>& onClick);

    // Puts path at the top. A path already listed swaps places with the top
    // entry; a new one pushes the others down and the eighth out. A path
    // holding a line break is not added: rec.lst keeps one path a line.
    void addRecentFile(const std::string& path);

    // Writes the list to path through a temporary file renamed into place,
    // creating the folder when needed. Raises on failure.
    void saveRecentList(const std::string& path) const;

    // Brings the paths added since the last store into the list at path as
    // it is now (other windows may have changed it), under a lock on
    // path + ".lock", writes it at once, and takes the result as this
    // list. Raises on failure; the additions are then kept for the next
    // store.
    void storeRecentList(const std::string& path);

private:
    void showItem(int index);
    // Items shown for the slots in use; the menu greyed when none is.
    void showAll();

    QMenu* menu_ = nullptr;
    std::vector<std::string> added_;  // since the last store, oldest first
};

}  // namespace tavin
