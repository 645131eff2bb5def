// Files of the user's state: modes from the umask, private new folders, and
// links written through only to the user's own files.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "viewer/savefile.h"
#include "support/testutil.h"

namespace fs = std::filesystem;

namespace {

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct Umask {
    mode_t old;
    explicit Umask(mode_t m) : old(::umask(m)) {}
    ~Umask() { ::umask(old); }
};

}  // namespace

TEST(StateFile, ModesFollowTheUmaskAndNewFoldersArePrivate) {
    testutil::TempDir dir;
    const fs::path list = dir.path() / "config" / "tavin" / "rec.lst";
    {
        Umask mask(027);
        tavin::writeFileAtomically(list.string(), "one\r\n");
        EXPECT_EQ(modeOf(list), 0640u);
    }
    EXPECT_EQ(modeOf(dir.path() / "config"), 0700u);
    EXPECT_EQ(modeOf(dir.path() / "config" / "tavin"), 0700u);
    {
        Umask mask(002);
        tavin::writeFileAtomically(list.string(), "two\r\n");
        EXPECT_EQ(modeOf(list), 0664u);
    }
    EXPECT_EQ(testutil::readFile(list), "two\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(list.parent_path()), fs::directory_iterator()), 1);
}

TEST(StateFile, ALinkIsWrittenThroughOnlyToTheUsersOwnFile) {
    testutil::TempDir dir;
    const fs::path dotfiles = dir.path() / "dotfiles";
    testutil::writeFile(dotfiles / "mimeapps.list", "[Default Applications]\n");
    const fs::path link = dir.path() / "config" / "mimeapps.list";
    fs::create_directories(link.parent_path());
    fs::create_symlink(dotfiles / "mimeapps.list", link);
    tavin::writeFileAtomically(link.string(), "new\n");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testutil::readFile(dotfiles / "mimeapps.list"), "new\n");

    // Another user's file behind the link stays as it is.
    fs::path foreign = "/etc/passwd";
    if (::geteuid() == 0) {
        foreign = dir.path() / "theirs" / "mimeapps.list";
        testutil::writeFile(foreign, "theirs\n");
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }
    const std::string before = testutil::readFile(foreign);
    fs::remove(link);
    fs::create_symlink(foreign, link);
    EXPECT_EQ(testutil::errorOf([&] { tavin::writeFileAtomically(link.string(), "attack\n"); }),
              "Cannot write " + link.string() + ": it is a link to a file that is not the user's own");
    EXPECT_EQ(testutil::readFile(foreign), before);
    EXPECT_TRUE(fs::is_symlink(link));
}
