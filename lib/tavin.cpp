// libtavin's C++ entry points: a conversion as docx2html runs it, with its
// outputs gathered into one result.
#include "tavin/tavin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>

#include "core/errors.h"
#include "core/fileio.h"
#include "docx2html/docx2html.h"
#include "docx2html/pagetext.h"
#include "docx2html/pictures.h"
#include "package/docxInfo.h"
#include "package/fileKind.h"
#include "package/workfolder.h"

namespace tavin {

namespace {

// A private folder under $TMPDIR, removed with everything in it when the
// conversion is done.
class Scratch {
public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ = withSlash(tmp && *tmp ? tmp : "/tmp") + "libtavin.XXXXXX";
        if (!::mkdtemp(templ.data())) throw Error("Cannot create a temporary folder: " + errnoMessage(errno));
        path_ = withSlash(templ);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Extracts the document file at path (shown in messages as name) into a
// folder of scratch and returns it.
std::string extractInto(const Scratch& scratch, const std::string& path, const std::string& name,
                        std::vector<std::string>& messages) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw Error(errnoMessage(errno));
    if (!S_ISREG(st.st_mode)) throw Error("Not a regular file");
    const std::string wrong = fileKindMessage(fileKindOf(path), name);
    if (!wrong.empty()) throw Error(wrong);
    const std::string folder = scratch.path() + "package/";
    ExtractCallbacks callbacks;
    callbacks.message = [&messages](const std::string&, const std::string& text) { messages.push_back(text); };
    extractConversionParts(path, folder, callbacks);
    return folder;
}

void convertInto(ConversionResult& result, const std::string& folder, const std::string& defaultTitle,
                 const PageOptions& options) {
    ConversionContext ctx;
    ConvertOptions convert;
    convert.title = options.hasTitle ? options.title : defaultTitle;
    convert.showPageMargin = options.pageMargin;
    convert.optimizeHtml = options.optimize;
    convert.fullFidelity = options.fidelity;
    convertPackage(ctx, folder, convert);

    const TdocxInfo info = readCoreProperties(folder);
    result.properties = {info.title, info.creator, info.lastModifiedBy, info.keywords,
                         info.keywords2, info.created, info.modified};
    result.text = pageText(ctx.workingText, ctx.listLabels);
    std::vector<PictureFile> pictures = pagePictures(folder, ctx.documentFolder, ctx.workingText, true, ctx.convertedPictures);
    result.html = options.embedMedia ? embedPictures(ctx.workingText, pictures) : std::move(ctx.workingText);
    for (PictureFile& p : pictures) result.pictures.push_back({std::move(p.name), std::move(p.bytes), std::move(p.type)});
    result.ok = true;
}

// Runs a conversion, turning every failure into the result's error.
template <class Work>
ConversionResult guarded(Work&& work) {
    ConversionResult result;
    try {
        work(result);
    } catch (const std::bad_alloc&) {
        result = ConversionResult();
        result.error = "Out of memory";
    } catch (const std::exception& e) {
        std::vector<std::string> messages = std::move(result.messages);
        result = ConversionResult();
        result.messages = std::move(messages);
        result.error = e.what();
    }
    return result;
}

}  // namespace

ConversionResult convertFile(const std::string& path, const PageOptions& options) {
    if (isFolder(path)) return convertFolder(path, options);
    return guarded([&](ConversionResult& result) {
        Scratch scratch;
        const std::string folder =
            extractInto(scratch, path, std::filesystem::path(path).filename().string(), result.messages);
        convertInto(result, folder, titleFromPath(path), options);
    });
}

ConversionResult convertFolder(const std::string& folder, const PageOptions& options) {
    return guarded([&](ConversionResult& result) {
        if (!isFolder(folder)) throw Error("Not a folder");
        convertInto(result, withSlash(folder), titleFromPath(folder), options);
    });
}

ConversionResult convertBytes(std::string_view bytes, const PageOptions& options) {
    return guarded([&](ConversionResult& result) {
        if (bytes.empty()) throw Error("The document is empty");
        Scratch scratch;
        const std::string path = scratch.path() + "document.docx";
        {
            UniqueFd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!out) throw Error("Cannot create a temporary file: " + errnoMessage(errno));
            if (const int err = writeAll(out.get(), bytes); err != 0)
                throw Error("Cannot write a temporary file: " + errnoMessage(err));
            if (const int err = out.close(); err != 0) throw Error("Cannot write a temporary file: " + errnoMessage(err));
        }
        // Bytes have no name to give the page, as standard input for docx2html.
        convertInto(result, extractInto(scratch, path, "The document", result.messages), std::string(), options);
    });
}

const char* libraryVersion() { return TAVIN_LIBRARY_VERSION; }

}  // namespace tavin
