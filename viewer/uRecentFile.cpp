#include "viewer/uRecentFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QMenu>

#include "core/errors.h"
#include "core/fileio.h"
#include "core/uStr.h"
#include "viewer/savefile.h"

namespace tavin {

std::string recentListPath() {
    return xdgFolder("XDG_CONFIG_HOME", ".config/") + "tavin/rec.lst";
}

RecentList parseRecentList(std::string_view text) {
    RecentList list;
    if (trimText(text).empty()) return list;
    std::size_t pos = 0;
    for (int i = 0; i < kRecentCount && pos < text.size(); ++i) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        list[static_cast<std::size_t>(i)] = std::string(line);
        pos = end + 1;
    }
    return list;
}

std::string formatRecentList(const RecentList& list) {
    std::string text = list[0];
    for (int i = 1; i < kRecentCount; ++i) text += "\r\n" + list[static_cast<std::size_t>(i)];
    return text;
}

QString recentCaption(const std::string& path) {
    QString caption = QFile::decodeName(QByteArray::fromStdString(path));
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));
    return caption;
}

void TRecentFiles::showItem(int index) {
    QAction* item = items[static_cast<std::size_t>(index)];
    const std::string& path = recentFiles[static_cast<std::size_t>(index)];
    item->setText(recentCaption(path));
}

void TRecentFiles::showAll() {
    bool any = false;
    for (int i = 0; i < kRecentCount; ++i) {
        if (!items[static_cast<std::size_t>(i)]) continue;
        showItem(i);
        const bool used = !recentFiles[static_cast<std::size_t>(i)].empty();
        items[static_cast<std::size_t>(i)]->setVisible(used);
        any = any || used;
    }
    if (menu_) menu_->setEnabled(any);
}

void TRecentFiles::loadRecentMenu(QMenu* parent, const std::string& path, const std::function<void(int)>& onClick) {
    for (int i = 0; i < kRecentCount; ++i) {
        auto* item = new QAction(parent);
        item->setObjectName(QStringLiteral("recent%1").arg(i));
        item->setVisible(false);
        QObject::connect(item, &QAction::triggered, parent, [onClick, i] { onClick(i); });
        parent->addAction(item);
        items[static_cast<std::size_t>(i)] = item;
    }
    menu_ = parent;
    parent->setEnabled(false);
    recentFiles = parseRecentList(readTextFile(path));
    showAll();
}

void TRecentFiles::addRecentFile(const std::string& path) {
    if (path.empty() || path.find_first_of("\r\n") != std::string::npos) return;
    added_.push_back(path);
    if (menu_) menu_->setEnabled(true);
    for (int k = 0; k < kRecentCount; ++k) {
        if (recentFiles[static_cast<std::size_t>(k)] != path) continue;
        // Found: it swaps places with the top entry; nothing else moves.
        recentFiles[static_cast<std::size_t>(k)] = recentFiles[0];
        recentFiles[0] = path;
        if (items[0]) {
            // Visibility follows the captions, also where rec.lst had gaps.
            for (int i : {0, k}) {
                showItem(i);
                items[static_cast<std::size_t>(i)]->setVisible(!recentFiles[static_cast<std::size_t>(i)].empty());
            }
        }
        return;
    }
    for (int n = kRecentCount - 1; n >= 1; --n) {
        recentFiles[static_cast<std::size_t>(n)] = recentFiles[static_cast<std::size_t>(n - 1)];
        if (items[static_cast<std::size_t>(n)]) {
            showItem(n);
            if (!recentFiles[static_cast<std::size_t>(n)].empty()) items[static_cast<std::size_t>(n)]->setVisible(true);
        }
    }
    recentFiles[0] = path;
    if (items[0]) {
        showItem(0);
        items[0]->setVisible(true);
    }
}

void TRecentFiles::saveRecentList(const std::string& path) const {
    writeFileAtomically(path, formatRecentList(recentFiles));
}

void TRecentFiles::storeRecentList(const std::string& path) {
    // A missing config folder is made private to the user.
    makePrivateFolders(std::filesystem::path(path).parent_path().string());
    const std::string lockPath = path + ".lock";
    // Closing the descriptor releases the lock.
    const UniqueFd lockFile(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lockFile) throw Error("Cannot write " + lockPath + ": " + errnoMessage(errno));
    const int lock = lockFile.get();
    while (::flock(lock, LOCK_EX) != 0) {
        if (errno != EINTR) throw Error("Cannot lock " + lockPath + ": " + errnoMessage(errno));
    }
    // The list as the other windows left it, with this window's additions
    // made to it in their order.
    TRecentFiles merged;
    std::error_code exists;
    if (std::filesystem::exists(path, exists)) merged.recentFiles = parseRecentList(readTextFile(path));
    for (const std::string& p : added_) merged.addRecentFile(p);
    writeFileAtomically(path, formatRecentList(merged.recentFiles));
    recentFiles = merged.recentFiles;
    added_.clear();
    showAll();
}

}  // namespace tavin
