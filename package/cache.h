// Keeping the cache of work folders small: folders of documents long
// unopened or gone are removed.
#pragma once

#include <string>

namespace tavin {

// Notes that the work folder (ending in "/") was opened now: its time is
// what pruneCache measures age by.
void markWorkFolderOpened(const std::string& folder);

// Removes from root (ending in "/") every work folder, one holding our
// record, whose document no longer exists or which was last opened more
// than maxAgeDays ago; with maxAgeDays < 0, every work folder. The folder
// named keep (a work folder's name, no slash) stays, whatever its age.
// Anything without our record is left alone. Returns how many were removed.
int pruneCache(const std::string& root, const std::string& keep, int maxAgeDays = 30);

}  // namespace tavin
