// Inside the list steps: the scans that stand in for patterns and lookups,
// with the plain forms they must agree with, for the steps and their tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docx2html/context.h"

namespace tavin::lists {

// A stretch of a text, 0-based.
struct Block {
    std::size_t offset;
    std::size_t length;
    bool operator==(const Block&) const = default;
};

// Where every match of the grouping pattern ((<li>.+?</li>\s*)+) has ended:
// past the white space after the last "</li>" (in any letter case), 0 when
// there is none.
std::size_t itemsEnd(std::string_view t, std::uint64_t& work);

// The matches of <([uo]l)>.+?</\1> (any letter case, "." matching line
// breaks), left to right, found in one scan.
std::vector<Block> listBlocks(std::string_view t, std::uint64_t& work);

// listTagFor(ctx, text) of each text in turn, answered as buildLists
// answers it: from the numbering part scanned once, lists of one numbering
// sharing their answer.
std::vector<std::string> listTagsFor(const ConversionContext& ctx, const std::vector<std::string>& texts);

// The plain forms: the patterns themselves, run on an engine set up as a
// context's (case-insensitive, "." matching line breaks).
std::vector<Block> listBlocksByPattern(TWSRegEx& rx, std::string_view t);
std::vector<Block> itemGroupsByPattern(TWSRegEx& rx, std::string_view t);

}  // namespace tavin::lists
