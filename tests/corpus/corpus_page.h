// A corpus document's page, converted as docx2html converts it.
#pragma once

#include <filesystem>
#include <string>

#include "docx2html/docx2html.h"
#include "package/workfolder.h"
#include "support/testutil.h"

namespace corpuspage {

// relative is a path under the corpus folder, or an absolute path of a
// .docx file or an extracted package folder. optimize false keeps the
// inline styles as the steps wrote them.
inline std::string pageOf(const std::string& relative, bool fidelity = false, bool optimize = true) {
    const std::filesystem::path doc = std::filesystem::path(relative).is_absolute() ? std::filesystem::path(relative)
                                                                                    : testutil::corpusDir() / relative;
    testutil::TempDir dir;
    std::string folder = dir.str() + "/";
    if (std::filesystem::is_directory(doc))
        folder = doc.string() + "/";
    else
        tavin::extractConversionParts(doc.string(), folder);
    tavin::ConversionContext ctx;
    tavin::ConvertOptions options;
    options.title = tavin::titleFromPath(doc.string());
    options.fullFidelity = fidelity;
    options.optimizeHtml = optimize;
    tavin::convertPackage(ctx, folder, options);
    return ctx.workingText;
}

}  // namespace corpuspage
