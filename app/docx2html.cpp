// docx2html: converts .docx documents (or extracted package folders) to HTML.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <mutex>
#include <shared_mutex>
#include <chrono>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/allocator.h"
#include "core/fileio.h"
#include "core/filehelpers.h"
#include "core/signals.h"
#include "docx2html/docx2html.h"
#include "docx2html/pagetext.h"
#include "docx2html/pictures.h"
#include "package/docxInfo.h"
#include "package/fileKind.h"
#include "package/workfolder.h"
#include "version.h"

namespace fs = std::filesystem;
using tavin::Error;
using tavin::errnoMessage;
using tavin::withSlash;
using tavin::writeAll;

namespace {

const char* kUsage =
    "Usage: docx2html [OPTIONS] FILE.docx [-o OUT.html]\n"
    "       docx2html [OPTIONS] -d DIR FILE...\n"
    "       docx2html --info FILE...\n"
    "Converts Word documents (.docx files, or folders holding an extracted\n"
    "package) to HTML pages.\n"
    "\n"
    "An input named - is read from standard input. A folder without\n"
    "[Content_Types].xml is searched for .docx files, which go into -d DIR.\n"
    "\n"
    "  -o OUT.html        write the page to OUT.html (default: standard output;\n"
    "                     -o - is standard output too)\n"
    "  -d DIR             convert each FILE into DIR/NAME/NAME.html\n"
    "  --no-media         do not copy the pictures beside the page\n"
    "  --no-page-margin   no page box around the body\n"
    "  --no-optimize      keep inline styles, skip the clean-up pass\n"
    "  --no-fidelity      the classic page only: no notes, headers, footers,\n"
    "                     comments or other Full Fidelity additions\n"
    "  --final            tracked changes accepted: the text without deletions\n"
    "                     and change marks (default: changes marked)\n"
    "  --text             write the page's visible text instead of its HTML\n"
    "                     (NAME.txt under -d)\n"
    "  --embed-media      write the pictures into the page as data: addresses\n"
    "  --info             print the document properties instead of converting\n"
    "  -j N               convert N documents at a time (default: number of cores)\n"
    "  -q                 no progress display\n"
    "  -h, --help         show this text\n"
    "  --version          show the version\n"
    "  --                 every argument after it is an input\n"
    "\n"
    "With -o or -d the pictures of each document are copied into a folder\n"
    "'media' beside its page. Exit status: 0 when every document converted,\n"
    "1 when any failed, 2 for wrong usage.\n";

struct Options {
    std::vector<std::string> inputs;
    std::string output;
    std::string outDir;
    bool media = true;
    bool pageMargin = true;
    bool fidelity = true;
    bool finalText = false;
    bool optimizeHtml = true;
    bool info = false;
    bool text = false;
    bool embedMedia = false;
    bool quiet = false;
    unsigned jobs = 0;
    // The private copy of standard input when an input is "-", or why it
    // could not be made.
    std::string stdinCopy;
    std::string stdinError;
};

// An input named "-" is standard input, whatever its place.
constexpr const char* kStdinName = "-";

struct Job {
    std::string input;
    std::string name;  // output name under -d
    std::uintmax_t size = 0;
};

std::mutex ioMutex;

void report(const std::string& input, const std::string& message) {
    std::lock_guard<std::mutex> lock(ioMutex);
    std::cerr << "docx2html: " << input << ": " << message << "\n";
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The document's name: its file or folder name without ".docx".
std::string baseName(const std::string& input) {
    fs::path p = fs::path(input).lexically_normal();
    std::string name = p.filename().string();
    if (name.empty()) name = p.parent_path().filename().string();
    return name;
}

std::string outputName(const std::string& input) {
    std::string name = baseName(input);
    if (name.size() > 5 && tavin::lowerCase(name.substr(name.size() - 5)) == ".docx") name.resize(name.size() - 5);
    if (name.empty() || name == "." || name == "..") name = "_";
    return name;
}

// The scratch folders in use, removed too when the program is interrupted.
std::mutex scratchMutex;
std::set<std::string> scratchFolders;

// Extraction makes its destination folder again when it is missing, so a
// folder removed while a package was being extracted into it could come
// back before the program ends. Extractions hold this lock shared; the
// clean-up on interruption takes it alone, after the running extractions
// and before any new one.
std::shared_mutex extractionLock;
std::atomic<bool> interrupted{false};

// Runs on interruption, while other threads may still read or write into
// them: tried again until each is gone. The locks stay taken, so that no
// folder is made or filled again before the program ends.
void removeScratchFolders() {
    interrupted = true;
    extractionLock.lock();
    scratchMutex.lock();
    for (const auto& folder : scratchFolders) {
        std::error_code ec;
        for (int attempt = 0; attempt < 100 && fs::exists(folder, ec); ++attempt) fs::remove_all(folder, ec);
    }
    scratchFolders.clear();
}

// A private extraction folder, removed when the conversion is done.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ = withSlash(tmp && *tmp ? tmp : "/tmp") + "docx2html.XXXXXX";
        std::lock_guard<std::mutex> lock(scratchMutex);
        if (!::mkdtemp(templ.data())) throw Error("Cannot create a temporary folder: " + errnoMessage(errno));
        path_ = withSlash(templ);
        scratchFolders.insert(path_);
    }
    ~ScratchFolder() {
        std::lock_guard<std::mutex> lock(scratchMutex);
        std::error_code ec;
        fs::remove_all(path_, ec);
        scratchFolders.erase(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The package folder of an input: the input itself for a folder, else a
// fresh extraction into scratch.
std::string packageFolder(const std::string& input, std::unique_ptr<ScratchFolder>& scratch, const std::string& name) {
    if (isFolder(input)) return withSlash(input);
    struct stat st {};
    if (::stat(input.c_str(), &st) != 0) throw Error(errnoMessage(errno));
    // A FIFO or device would hold the open for ever.
    if (!S_ISREG(st.st_mode)) throw Error("Not a regular file");
    const std::string wrong = tavin::fileKindMessage(tavin::fileKindOf(input), name);
    if (!wrong.empty()) throw Error(wrong);
    scratch = std::make_unique<ScratchFolder>();
    tavin::ExtractCallbacks callbacks;
    callbacks.message = [&input](const std::string&, const std::string& text) { report(input, "warning: " + text); };
    {
        std::shared_lock<std::shared_mutex> extracting(extractionLock);
        if (interrupted) {
            // The clean-up waits for this lock; the program only waits for
            // its end.
            extracting.unlock();
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        tavin::extractConversionParts(input, scratch->path(), callbacks);
    }
    return scratch->path();
}

// An input as messages about its kind name it.
std::string shownName(const std::string& input) {
    return input == kStdinName ? std::string("standard input") : fs::path(input).filename().string();
}

// The file or folder an input is read from: standard input is read from its
// private copy.
std::string sourceOf(const Options& opt, const std::string& input) {
    if (input != kStdinName) return input;
    if (!opt.stdinError.empty()) throw Error(opt.stdinError);
    return opt.stdinCopy;
}

// Copies standard input into DIR/stdin.docx (a new file, private to the
// user) and returns its path.
std::string copyStdin(const std::string& dir) {
    const std::string path = dir + "stdin.docx";
    tavin::UniqueFd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out) throw Error("Cannot create a temporary file: " + errnoMessage(errno));
    std::vector<char> buffer(1 << 16);
    std::string failure;
    std::uintmax_t total = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failure = "cannot read standard input: " + errnoMessage(errno);
            break;
        }
        if (n == 0) break;
        total += static_cast<std::uintmax_t>(n);
        if (const int err = writeAll(out.get(), std::string_view(buffer.data(), static_cast<std::size_t>(n))); err != 0) {
            failure = "cannot copy standard input: " + errnoMessage(err);
            break;
        }
    }
    if (const int closed = out.close(); closed != 0 && failure.empty())
        failure = "cannot copy standard input: " + errnoMessage(closed);
    if (!failure.empty()) throw Error(failure);
    // An empty pipe (a download that failed, say) holds no document.
    if (total == 0) throw Error("standard input is empty");
    return path;
}

// A value on one line of its own: control bytes (line breaks, escape
// sequences, DEL) written as \xNN.
std::string oneLine(const std::string& value) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f) {
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

void writeInfo(const Options& opt, const std::string& input, bool header) {
    std::unique_ptr<ScratchFolder> scratch;
    const std::string folder = packageFolder(sourceOf(opt, input), scratch, shownName(input));
    const tavin::TdocxInfo i = tavin::readCoreProperties(folder);
    const tavin::TdocxMoreInfo more = tavin::readMoreProperties(folder);
    // As text: "&lt;" in a title is "<".
    auto value = [](const std::string& stored) { return oneLine(tavin::xmlText(stored)); };
    std::lock_guard<std::mutex> lock(ioMutex);
    if (header) std::cout << "file: " << oneLine(input) << "\n";
    std::cout << "title: " << value(i.title) << "\n"
              << "subject: " << value(more.subject) << "\n"
              << "creator: " << value(i.creator) << "\n"
              << "description: " << value(more.description) << "\n"
              << "keywords: " << value(i.keywords) << "\n"
              << "created: " << value(i.created) << "\n"
              << "modified: " << value(i.modified) << "\n"
              << "lastModifiedBy: " << value(i.lastModifiedBy) << "\n"
              << "revision: " << value(more.revision) << "\n";
    // Counts only where the package states them.
    if (!more.pages.empty()) std::cout << "pages: " << value(more.pages) << "\n";
    if (!more.words.empty()) std::cout << "words: " << value(more.words) << "\n";
    if (header) std::cout << "\n";
}

// The page as the options want it written: its text (--text), or the page
// with its pictures inside (--embed-media). A page for standard output
// without them tells that its pictures are not written.
void finishPage(const Options& opt, const std::string& input, const std::string& folder,
                tavin::ConversionContext& ctx, bool toStdout) {
    if (opt.text) {
        ctx.workingText = tavin::pageText(ctx.workingText, ctx.listLabels);
        return;
    }
    if (!opt.embedMedia && !toStdout) return;
    const std::vector<tavin::PictureFile> pictures =
        tavin::pagePictures(folder, ctx.documentFolder, ctx.workingText, opt.embedMedia, ctx.convertedPictures);
    if (opt.embedMedia) {
        ctx.workingText = tavin::embedPictures(ctx.workingText, pictures);
    } else if (!pictures.empty()) {
        report(input, "warning: " + std::to_string(pictures.size()) + (pictures.size() == 1 ? " picture is" : " pictures are") +
                          " not written to standard output (use -o, -d or --embed-media)");
    }
}

// Converts one document. pagePath empty: the page goes to standard output.
void convertOne(const Options& opt, const std::string& input, const std::string& pagePath, bool ownFolder = false) {
    std::unique_ptr<ScratchFolder> scratch;
    const std::string folder = packageFolder(sourceOf(opt, input), scratch, shownName(input));
    tavin::ConversionContext ctx;
    tavin::ConvertOptions options;
    // A document from standard input has no name to give the page.
    options.title = input == kStdinName ? std::string() : tavin::titleFromPath(input);
    options.showPageMargin = opt.pageMargin;
    options.fullFidelity = opt.fidelity;
    options.showChanges = !opt.finalText;
    options.optimizeHtml = opt.optimizeHtml;
    tavin::convertPackage(ctx, folder, options);
    finishPage(opt, input, folder, ctx, pagePath.empty());
    if (pagePath.empty()) {
        std::lock_guard<std::mutex> lock(ioMutex);
        std::fwrite(ctx.workingText.data(), 1, ctx.workingText.size(), stdout);
        if (std::fflush(stdout) != 0) throw Error("cannot write to standard output");
        return;
    }
    // The page and its pictures are made through the output folder's
    // descriptor: a link planted at their names is refused, never written
    // through.
    // Under -d the document's own folder (DIR/NAME) is made the same way.
    const fs::path page(pagePath);
    const fs::path parent = page.has_parent_path() ? page.parent_path() : fs::path(".");
    const fs::path base = ownFolder && parent.has_parent_path() ? parent.parent_path() : parent;
    fs::create_directories(base);
    const tavin::OutputFolder out = ownFolder && parent.has_parent_path()
                                        ? tavin::OutputFolder(base.string()).subfolder(parent.filename().string())
                                        : tavin::OutputFolder(parent.string());
    out.writeFile(page.filename().string(), ctx.workingText);
    if (opt.media) out.copyFolder(folder + ctx.documentFolder + "media/", "media");
}

// Wrong usage is told in one line; --help has the rest.
int usageError(const std::string& message) {
    std::cerr << "docx2html: " << message << "; see --help\n";
    return 2;
}

// The .docx files under folder, found without following links into other
// folders, in path order; Word's lock files ("~$NAME.docx") left out.
std::vector<std::string> documentsUnder(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= 5 || tavin::lowerCase(name.substr(name.size() - 5)) != ".docx" || name.rfind("~$", 0) == 0)
            continue;
        std::error_code kind;
        if (it->symlink_status(kind).type() == fs::file_type::regular) found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool holdsRegularFile(const std::string& folder, const char* name) {
    return tavin::isRegularFile(withSlash(folder) + name);
}

// Folders of documents: a folder without [Content_Types].xml stands for the
// .docx files under it. One that holds none is still read as a package when
// it has a document part or package relationships; anything else is told
// and left out (failed set). false: wrong usage, exitCode set.
bool expandFolders(Options& opt, bool& failed, int& exitCode) {
    std::vector<std::string> inputs;
    bool expanded = false;
    for (const std::string& input : opt.inputs) {
        if (input == kStdinName || !isFolder(input) || holdsRegularFile(input, "[Content_Types].xml")) {
            inputs.push_back(input);
            continue;
        }
        std::vector<std::string> documents = documentsUnder(input);
        if (!documents.empty()) {
            expanded = true;
            inputs.insert(inputs.end(), documents.begin(), documents.end());
        } else if (holdsRegularFile(input, "word/document.xml") || holdsRegularFile(input, "_rels/.rels")) {
            inputs.push_back(input);
        } else {
            report(input, "neither an extracted package (no [Content_Types].xml) nor a folder holding .docx files");
            failed = true;
        }
    }
    opt.inputs = std::move(inputs);
    if (expanded && !opt.info && opt.outDir.empty()) {
        exitCode = usageError("a folder of documents needs -d DIR");
        return false;
    }
    return true;
}

bool parse(int argc, char** argv, Options& opt, int& exitCode) {
    if (argc < 2) {
        std::cerr << kUsage;
        exitCode = 2;
        return false;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            exitCode = 0;
            return false;
        } else if (arg == "--version") {
            std::cout << "docx2html (Tavin) " << TAVIN_VERSION << "\n";
            exitCode = 0;
            return false;
        } else if (arg == "-o") {
            const char* v = value();
            if (!v) return exitCode = usageError("-o needs a file name"), false;
            opt.output = v;
        } else if (arg == "-d") {
            const char* v = value();
            if (!v) return exitCode = usageError("-d needs a folder"), false;
            opt.outDir = v;
        } else if (arg == "-j") {
            const char* v = value();
            char* end = nullptr;
            const long n = v ? std::strtol(v, &end, 10) : 0;
            if (!v || *end != '\0' || n < 1 || n > 256) return exitCode = usageError("-j needs a number from 1 to 256"), false;
            opt.jobs = static_cast<unsigned>(n);
        } else if (arg == "--no-media") {
            opt.media = false;
        } else if (arg == "--no-page-margin") {
            opt.pageMargin = false;
        } else if (arg == "--no-fidelity") {
            opt.fidelity = false;
        } else if (arg == "--final") {
            opt.finalText = true;
        } else if (arg == "--no-optimize") {
            opt.optimizeHtml = false;
        } else if (arg == "--info") {
            opt.info = true;
        } else if (arg == "--text") {
            opt.text = true;
            opt.media = false;
        } else if (arg == "--embed-media") {
            opt.embedMedia = true;
            opt.media = false;
        } else if (arg == "-q") {
            opt.quiet = true;
        } else if (arg == "--") {
            for (++i; i < argc; ++i) opt.inputs.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return exitCode = usageError("unknown option " + arg), false;
        } else {
            opt.inputs.push_back(arg);
        }
    }
    if (opt.inputs.empty()) return exitCode = usageError("no input given"), false;
    if (std::count(opt.inputs.begin(), opt.inputs.end(), kStdinName) > 1) {
        return exitCode = usageError("standard input (-) can be read only once"), false;
    }
    if (!opt.output.empty() && !opt.outDir.empty()) return exitCode = usageError("-o and -d cannot be combined"), false;
    if (opt.finalText && !opt.fidelity) return exitCode = usageError("--final and --no-fidelity cannot be combined"), false;
    if (!opt.info && opt.outDir.empty() && opt.inputs.size() > 1) {
        return exitCode = usageError("several inputs need -d DIR"), false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    tavin::keepLargeBuffers();
    Options opt;
    int exitCode = 0;
    if (!parse(argc, argv, opt, exitCode)) return exitCode;
    bool notDocuments = false;
    if (!expandFolders(opt, notDocuments, exitCode)) return exitCode;
    if (opt.inputs.empty()) return 1;
    tavin::cleanUpOnSignals(removeScratchFolders);

    // Standard input is copied before any work starts; the copy goes when
    // main returns, whatever happened.
    std::unique_ptr<ScratchFolder> stdinFolder;
    if (std::find(opt.inputs.begin(), opt.inputs.end(), kStdinName) != opt.inputs.end()) {
        if (::isatty(STDIN_FILENO)) {
            opt.stdinError = "standard input is a terminal, not a document";
        } else {
            try {
                stdinFolder = std::make_unique<ScratchFolder>();
                opt.stdinCopy = copyStdin(stdinFolder->path());
            } catch (const std::exception& e) {
                opt.stdinError = e.what();
            }
        }
    }

    if (opt.info) {
        int status = 0;
        for (const auto& input : opt.inputs) {
            try {
                writeInfo(opt, input, opt.inputs.size() > 1);
            } catch (const std::exception& e) {
                report(input, e.what());
                status = 1;
            }
        }
        return notDocuments ? 1 : status;
    }

    if (opt.outDir.empty()) {
        try {
            convertOne(opt, opt.inputs[0], opt.output == "-" ? std::string() : opt.output);
        } catch (const std::exception& e) {
            report(opt.inputs[0], e.what());
            return 1;
        }
        return notDocuments ? 1 : 0;
    }

    // Many documents: names in input order, work largest first.
    std::vector<Job> jobs;
    std::set<std::string> taken;
    for (const auto& input : opt.inputs) {
        Job job;
        job.input = input;
        const std::string base = input == kStdinName ? std::string("stdin") : outputName(input);
        job.name = base;
        for (int n = 2; taken.count(job.name); ++n) job.name = base + "-" + std::to_string(n);
        taken.insert(job.name);
        std::error_code ec;
        const std::string source = input == kStdinName ? opt.stdinCopy : input;
        job.size = isFolder(source) ? fs::file_size(withSlash(source) + "word/document.xml", ec) : fs::file_size(source, ec);
        if (ec) job.size = 0;
        jobs.push_back(job);
    }
    std::vector<std::size_t> order(jobs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return jobs[a].size > jobs[b].size; });

    unsigned workers = opt.jobs ? opt.jobs : std::max(1u, std::thread::hardware_concurrency());
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, jobs.size()));
    const bool progress = !opt.quiet && jobs.size() > 1 && ::isatty(STDERR_FILENO);
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> failed{false};
    const std::string outDir = withSlash(opt.outDir);

    auto work = [&] {
        for (;;) {
            const std::size_t k = next++;
            if (k >= order.size()) return;
            const Job& job = jobs[order[k]];
            try {
                convertOne(opt, job.input, outDir + job.name + "/" + job.name + (opt.text ? ".txt" : ".html"), true);
            } catch (const std::exception& e) {
                failed = true;
                if (progress) {
                    std::lock_guard<std::mutex> lock(ioMutex);
                    std::cerr << "\r\033[K";
                }
                report(job.input, e.what());
            }
            const std::size_t d = ++done;
            if (progress) {
                std::lock_guard<std::mutex> lock(ioMutex);
                std::cerr << "\r\033[K[" << d << "/" << jobs.size() << "] " << job.name << std::flush;
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned w = 1; w < workers; ++w) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
    if (progress) std::cerr << "\r\033[K" << std::flush;
    return failed || notDocuments ? 1 : 0;
}
