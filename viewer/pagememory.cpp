#include "viewer/pagememory.h"

#include <sys/stat.h>

#include <exception>

#include "core/fileio.h"
#include "package/workfolder.h"

namespace tavin {

std::string extractionIdentity(const std::string& workFolder) {
    struct stat folder {};
    if (workFolder.empty() || ::lstat(workFolder.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return {};
    const std::string recordPath = workFolder + (workFolder.back() == '/' ? "" : "/") + kSourceRecordName;
    struct stat record {};
    if (::lstat(recordPath.c_str(), &record) != 0 || !S_ISREG(record.st_mode)) return {};
    std::string text;
    try {
        text = readFileInFolder(workFolder, kSourceRecordName);
    } catch (const std::exception&) {
        return {};
    }
    if (text.empty()) return {};
    return std::to_string(static_cast<unsigned long long>(folder.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(folder.st_ino)) + " " +
           std::to_string(static_cast<long long>(record.st_mtim.tv_sec)) + "." +
           std::to_string(static_cast<long long>(record.st_mtim.tv_nsec)) + " " + text;
}

bool samePageOptions(const ConvertOptions& a, const ConvertOptions& b) {
    // Every option is named here, so that one added to ConvertOptions does
    // not compile until it is compared too. freshPageValues does not count:
    // a conversion of the same folder finds the same page size and margins
    // in it again.
    const auto& [title, margin, optimize, fidelity, changes, fresh] = a;
    static_cast<void>(fresh);
    return title == b.title && margin == b.showPageMargin && optimize == b.optimizeHtml && fidelity == b.fullFidelity &&
           changes == b.showChanges;
}

std::unique_ptr<ConversionContext> keptContext(const ConversionContext& ctx) {
    auto kept = std::make_unique<ConversionContext>();
    kept->workFolder = ctx.workFolder;
    kept->documentPath = ctx.documentPath;
    kept->documentFolder = ctx.documentFolder;
    kept->docTitle = ctx.docTitle;
    kept->twipsPerPx = ctx.twipsPerPx;
    kept->showPageMargin = ctx.showPageMargin;
    kept->optimizeHtml = ctx.optimizeHtml;
    kept->pageMarginFlag = ctx.pageMarginFlag;
    kept->optimizeFlag = ctx.optimizeFlag;
    kept->fullFidelity = ctx.fullFidelity;
    kept->showChanges = ctx.showChanges;
    kept->listLabels = ctx.listLabels;
    kept->sheetMargins = ctx.sheetMargins;
    kept->pageWidth = ctx.pageWidth;
    kept->pageHeight = ctx.pageHeight;
    kept->marginTop = ctx.marginTop;
    kept->marginRight = ctx.marginRight;
    kept->marginBottom = ctx.marginBottom;
    kept->marginLeft = ctx.marginLeft;
    kept->charset = ctx.charset;
    return kept;
}

}  // namespace tavin
