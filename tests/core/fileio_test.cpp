// The shared file layer: whole and atomic writes, folder paths, XDG base
// folders and error texts.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/fileio.h"
#include "core/uStr.h"
#include "support/testutil.h"

namespace fs = std::filesystem;
using namespace tavin;

namespace {

// Sets an environment variable for one test and puts the old value back.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~EnvVar() {
        if (had_) ::setenv(name_, old_.c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace

TEST(FileLayer, WithSlash) {
    EXPECT_EQ(withSlash("/a/b"), "/a/b/");
    EXPECT_EQ(withSlash("/a/b/"), "/a/b/");
    EXPECT_EQ(withSlash(""), "/");
}

TEST(FileLayer, ErrnoMessagesOnAnyThread) {
    EXPECT_EQ(errnoMessage(ENOENT), std::strerror(ENOENT));
    std::vector<std::string> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = errnoMessage(i % 2 ? EACCES : ENOSPC); });
    }
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], std::strerror(i % 2 ? EACCES : ENOSPC));
    EXPECT_FALSE(errnoMessage(123456).empty());
}

TEST(FileLayer, WriteAllAndUniqueFd) {
    testutil::TempDir dir;
    const std::string path = dir.str() + "/all.bin";
    const std::string bytes(3 << 20, 'x');
    {
        UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd);
        EXPECT_EQ(writeAll(fd.get(), bytes), 0);
        EXPECT_EQ(fd.close(), 0);
        EXPECT_FALSE(fd);
    }
    EXPECT_EQ(readTextFile(path), bytes);
    // A descriptor that takes no writes reports why.
    UniqueFd readOnly(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(writeAll(readOnly.get(), "x"), EBADF);
    EXPECT_EQ(writeAll(-1, "x"), EBADF);
    EXPECT_EQ(writeAll(-1, ""), 0);
}

TEST(FileLayer, AtomicWriteReplacesWholeAndLeavesNothingBeside) {
    testutil::TempDir dir;
    const std::string path = dir.str() + "/state.lst";
    EXPECT_EQ(writeAtomically(path, "first"), 0);
    EXPECT_EQ(writeAtomically(path, "second"), 0);
    EXPECT_EQ(readTextFile(path), "second");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"state.lst"});
    // In a folder that is not there: the error, and no file.
    EXPECT_EQ(writeAtomically(dir.str() + "/missing/state.lst", "x"), ENOENT);
    // Onto a folder: the rename fails and the temporary file goes again.
    fs::create_directory(dir.path() / "taken");
    EXPECT_NE(writeAtomically(dir.str() + "/taken", "x"), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(FileLayer, XdgFoldersTakeOnlyAbsolutePaths) {
    EnvVar home("HOME", "/home/u");
    {
        EnvVar xdg("XDG_CACHE_HOME", "/var/cache/u");
        EXPECT_EQ(xdgFolder("XDG_CACHE_HOME", ".cache/"), "/var/cache/u/");
    }
    for (const char* ignored : {"relative/cache", "", "./cache"}) {
        EnvVar xdg("XDG_CACHE_HOME", ignored);
        EXPECT_EQ(xdgFolder("XDG_CACHE_HOME", ".cache/"), "/home/u/.cache/") << ignored;
    }
    EnvVar unset("XDG_CACHE_HOME", nullptr);
    EXPECT_EQ(xdgFolder("XDG_CACHE_HOME", ".cache/"), "/home/u/.cache/");
    EnvVar noHome("HOME", "");
    EXPECT_EQ(xdgFolder("XDG_CACHE_HOME", ".cache/"), "/tmp/.cache/");
}
