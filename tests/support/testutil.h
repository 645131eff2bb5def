#pragma once
#include <filesystem>
#include <functional>
#include <string>

namespace testutil {

// A fresh empty folder under the system temp folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& p, const std::string& bytes);
std::string readFile(const std::filesystem::path& p);

// The message of the tavin::Error that f raises; empty when it raises none.
std::string errorOf(const std::function<void()>& f);

// How many descriptors the process holds open now.
int openDescriptors();

// The public test documents, or an empty path when they are not present.
std::filesystem::path corpusDir();

}  // namespace testutil
