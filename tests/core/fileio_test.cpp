// The shared file layer: owned descriptors and folder streams, whole and
// atomic writes, folder paths, XDG base folders and error texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/filehelpers.h"
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

TEST(FileLayer, RegularFilesAreTheOnlyOnesFollowingLinks) {
    testutil::TempDir dir;
    const std::string file = dir.str() + "/a.xml";
    testutil::writeFile(file, "x");
    fs::create_symlink(file, dir.path() / "link.xml");
    fs::create_symlink(dir.path() / "gone.xml", dir.path() / "dangling.xml");
    ASSERT_EQ(::mkfifo((dir.str() + "/fifo").c_str(), 0600), 0);
    EXPECT_TRUE(isRegularFile(file));
    EXPECT_TRUE(isRegularFile(dir.str() + "/link.xml"));
    EXPECT_FALSE(isRegularFile(dir.str() + "/dangling.xml"));
    EXPECT_FALSE(isRegularFile(dir.str() + "/fifo"));
    EXPECT_FALSE(isRegularFile(dir.str()));
    EXPECT_FALSE(isRegularFile(""));
}

TEST(FileLayer, FolderStreamsUseADescriptorOfTheirOwn) {
    testutil::TempDir dir;
    testutil::writeFile(dir.path() / "one", "1");
    const int before = testutil::openDescriptors();
    {
        UniqueFd folder(::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(folder);
        std::vector<std::string> names;
        {
            const UniqueDir stream = folderStreamOf(folder.get());
            ASSERT_TRUE(stream);
            while (const dirent* e = ::readdir(stream.get())) names.emplace_back(e->d_name);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{".", "..", "one"}));
        // The folder's own descriptor outlives the stream.
        struct stat st {};
        EXPECT_EQ(::fstatat(folder.get(), "one", &st, 0), 0);

        // A file or no descriptor at all gives no stream and holds nothing.
        UniqueFd file(::open((dir.str() + "/one").c_str(), O_RDONLY | O_CLOEXEC));
        EXPECT_FALSE(folderStreamOf(file.get()));
        EXPECT_FALSE(folderStreamOf(-1));
        UniqueDir moved(::opendir(dir.str().c_str()));
        UniqueDir taken = std::move(moved);
        EXPECT_FALSE(moved);
        EXPECT_TRUE(taken);
    }
    EXPECT_EQ(testutil::openDescriptors(), before);
}

namespace {

bool deviceIsFull(const char* path) {
    const UniqueFd fd(::open(path, O_WRONLY | O_CLOEXEC));
    return fd && ::write(fd.get(), "x", 1) < 0 && errno == ENOSPC;
}

}  // namespace

// Every failure reports its cause and gives back what it opened.
TEST(FileHelpers, FailuresReportTheirCauseAndLeaveNoDescriptorOpen) {
    testutil::TempDir dir;
    const std::string source = dir.str() + "/source.bin";
    testutil::writeFile(source, std::string(200000, 's'));
    const int before = testutil::openDescriptors();

    // copyFileTo: a source missing, a destination that cannot be made, a
    // read failing after both are open, a write failing on a full device.
    EXPECT_EQ(testutil::errorOf([&] { copyFileTo(dir.str() + "/none", dir.str() + "/out"); }),
              "Cannot open " + dir.str() + "/none: " + std::strerror(ENOENT));
    EXPECT_EQ(testutil::errorOf([&] { copyFileTo(source, dir.str() + "/missing/out"); }),
              "Cannot create " + dir.str() + "/missing/out: " + std::strerror(ENOENT));
    EXPECT_EQ(testutil::errorOf([&] { copyFileTo(dir.str(), dir.str() + "/out"); }),
              "Cannot copy " + dir.str() + " to " + dir.str() + "/out: " + std::strerror(EISDIR));
    if (deviceIsFull("/dev/full")) {  // some sandboxes give a /dev/full that takes every write
        EXPECT_EQ(testutil::errorOf([&] { copyFileTo(source, "/dev/full"); }),
                  "Cannot copy " + source + " to /dev/full: " + std::strerror(ENOSPC));
    }
    copyFileTo(source, dir.str() + "/copy.bin");
    EXPECT_EQ(readTextFile(dir.str() + "/copy.bin"), std::string(200000, 's'));

    // writeFileNoFollow: no link followed, nothing but a regular file taken.
    const std::string fifo = dir.str() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(testutil::errorOf([&] { writeFileNoFollow(fifo, "x"); }),
              "Cannot create file " + fifo + ": " + std::strerror(ENXIO));  // no reader: never waits for one
    {
        const UniqueFd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(reader);
        EXPECT_EQ(testutil::errorOf([&] { writeFileNoFollow(fifo, "x"); }),
                  "Cannot create file " + fifo + ": Not a regular file");
    }
    EXPECT_EQ(testutil::errorOf([&] { writeFileNoFollow("/dev/null", "x"); }),
              "Cannot create file /dev/null: Not a regular file");
    fs::create_symlink(source, dir.path() / "link");
    EXPECT_EQ(testutil::errorOf([&] { writeFileNoFollow(dir.str() + "/link", "x"); }),
              "Cannot create file " + dir.str() + "/link: " + std::strerror(ELOOP));
    EXPECT_EQ(readTextFile(source), std::string(200000, 's'));
    writeFileNoFollow(dir.str() + "/copy.bin", "short");
    EXPECT_EQ(readTextFile(dir.str() + "/copy.bin"), "short");

    EXPECT_TRUE(listFolder(dir.str() + "/none").empty());
    EXPECT_EQ(listFolder(dir.str()).size(), 7u);
    EXPECT_EQ(testutil::openDescriptors(), before);
}
