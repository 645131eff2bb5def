// Inside the table steps: the table-style lookup the steps use, with the
// plain form it must agree with, for the steps and their tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "docx2html/context.h"
#include "docx2html/docxstyle.h"
#include "docx2html/tables.h"

namespace tavin::tables {

// The rows of the text, as "<tr>.+?</tr>" finds them (letters in either
// case, one character at least between the tags), each as a view of it.
std::vector<std::string_view> tableRows(std::string_view t);

// The attributes of each named table style in turn, answered as tableAttrs
// answers them: from the styles part indexed once, each name worked out once.
std::vector<std::string> tableStyleAttrsFor(const ConversionContext& ctx, const std::vector<std::string>& names);

// The plain form: the style's text found from the start of the part.
inline std::string tableStyleAttrsByScan(const ConversionContext& ctx, const std::string& name) {
    return tableStyleAttrs(ctx, styleXml(ctx, name));
}

}  // namespace tavin::tables
