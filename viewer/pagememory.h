// Pages the window made of the document it shows, kept so that showing one
// of them again costs no conversion: F5 of a file that has not changed, and
// an option turned back to what it was. The conversion gives the same bytes
// for the same extraction and options, so a kept page is shown only while
// its work folder is still the extraction it was made from.
#pragma once

#include <memory>
#include <string>

#include "docx2html/context.h"

namespace tavin {

// Which extraction a work folder holds: its source record (what file it
// was extracted from, as that file was then), the record's own time and
// the folder's device and inode, which a fresh extraction changes even for
// the same file. Empty when the folder or its record cannot be read; an
// empty identity matches nothing.
std::string extractionIdentity(const std::string& workFolder);

// Whether two conversions of one folder give the same page.
bool samePageOptions(const ConvertOptions& a, const ConvertOptions& b);

// What the window reads of a finished conversion (its folders, title,
// options, page size and margins), without the parts and the document
// model it holds.
std::unique_ptr<ConversionContext> keptContext(const ConversionContext& ctx);

// A page made of a work folder, with what it was made of.
struct TKeptPage {
    std::string identity;  // extractionIdentity of its folder before the conversion read it
    ConvertOptions options;
    std::unique_ptr<ConversionContext> ctx;
    std::string html;

    bool matches(const std::string& folderIdentity, const ConvertOptions& wanted) const {
        return ctx && !identity.empty() && identity == folderIdentity && samePageOptions(options, wanted);
    }
    void clear() { *this = TKeptPage{}; }
};

}  // namespace tavin
