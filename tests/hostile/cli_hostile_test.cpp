// docx2html against its own caller: a FIFO for input, properties that
// would write to the terminal, and an interruption mid-conversion.
#include <csignal>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "package/zipwriter.h"
#include "support/testutil.h"

namespace fs = std::filesystem;

namespace {

const std::string kBin = TAVIN_BINARY_DIR "/docx2html";

ziptest::Entry part(const std::string& name, const std::string& data, std::uint16_t method = 8) {
    ziptest::Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

std::string package(const std::string& body, const std::string& core = "", std::size_t media = 0) {
    ziptest::Archive a;
    a.entries.push_back(part("word/document.xml", "<w:document><w:body>" + body + "</w:body></w:document>"));
    if (!core.empty()) a.entries.push_back(part("docProps/core.xml", core));
    for (std::size_t i = 0; i < media; ++i)
        a.entries.push_back(part("word/media/big" + std::to_string(i) + ".bin", std::string(4 << 20, 'x'), 0));
    return ziptest::build(a).bytes;
}

// Runs docx2html with a time limit; returns its exit status (124: killed
// by the limit), its output in out and its messages in err.
int run(const std::string& args, const fs::path& dir, std::string& out, std::string& err) {
    const std::string cmd = "TMPDIR='" + (dir / "tmp").string() + "' timeout 20 " + kBin + " " + args + " > '" +
                            (dir / "out.txt").string() + "' 2> '" + (dir / "err.txt").string() + "'";
    const int status = std::system(cmd.c_str());
    out = testutil::readFile(dir / "out.txt");
    err = testutil::readFile(dir / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(HostileCommandLine, AFifoIsRefusedAndPropertiesStayOnTheirLines) {
    testutil::TempDir dir;
    fs::create_directories(dir.path() / "tmp");
    std::string out, err;

    const fs::path fifo = dir.path() / "x.docx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(run("'" + fifo.string() + "'", dir.path(), out, err), 1);
    EXPECT_EQ(err, "docx2html: " + fifo.string() + ": Not a regular file\n");
    EXPECT_EQ(run("--info '" + fifo.string() + "'", dir.path(), out, err), 1);
    EXPECT_EQ(err, "docx2html: " + fifo.string() + ": Not a regular file\n");

    const fs::path doc = dir.path() / "props.docx";
    testutil::writeFile(doc, package("<w:p/>", "<cp:coreProperties><dc:title>T\x1b]0;owned\x07\nmodified: forged\r"
                                               "</dc:title><dc:creator>Ann\x7f</dc:creator>"
                                               // Decoded references are escaped as the bytes are.
                                               "<dc:subject>R&amp;D&#10;modified: forged&#x1B;</dc:subject>"
                                               "</cp:coreProperties>"));
    EXPECT_EQ(run("--info '" + doc.string() + "'", dir.path(), out, err), 0) << err;
    EXPECT_EQ(out,
              "title: T\\x1b]0;owned\\x07\\x0amodified: forged\\x0d\n"
              "subject: R&D\\x0amodified: forged\\x1b\n"
              "creator: Ann\\x7f\ndescription: \nkeywords: \ncreated: \nmodified: \nlastModifiedBy: \nrevision: \n");
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

// A signal during the extraction, which makes its folder again when it is
// missing, must still leave nothing behind.
TEST(HostileCommandLine, AnInterruptedConversionLeavesNoFolderBehind) {
    testutil::TempDir dir;
    const fs::path tmp = dir.path() / "tmp";
    fs::create_directories(tmp);
    std::string body;
    for (int i = 0; i < 20000; ++i) body += "<w:p><w:r><w:t>paragraph " + std::to_string(i) + "</w:t></w:r></w:p>";
    const fs::path doc = dir.path() / "big.docx";
    testutil::writeFile(doc, package(body, "", 10));

    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.c_str(), 1);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execl(kBin.c_str(), kBin.c_str(), doc.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Interrupted once its extraction folder exists.
        bool started = false;
        for (int i = 0; i < 20000 && !started; ++i) {
            started = !fs::is_empty(tmp);
            if (!started) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::kill(pid, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(started);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        std::string left;
        for (const auto& e : fs::recursive_directory_iterator(tmp)) left += e.path().string() + " ";
        EXPECT_EQ(left, "");
    }
}
