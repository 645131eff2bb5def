// Tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "docx2html/context.h"

namespace tavin {

void convertTables(ConversionContext& ctx);
void tableAttrs(ConversionContext& ctx);
std::string tableWidth(const ConversionContext& ctx, std::string_view el);
std::string tableStyleAttrs(const ConversionContext& ctx, std::string_view t);
void resolveSpans(ConversionContext& ctx);
void cellStyles(ConversionContext& ctx);
std::string cellMargins(const ConversionContext& ctx, std::string_view m);
std::string cellMarginSide(const ConversionContext& ctx, std::string_view m, std::string_view side);
// With the pattern already set on ctx.sharedRegex.
void collectSplices(ConversionContext& ctx, int group, std::string_view prefix, std::string_view suffix);
void applySplices(ConversionContext& ctx);
std::string tagName(std::string_view el);

// For a walk of nextElement over one text from left to right: where each end
// tag it looked for was found, so repeated elements without an end tag are
// not each searched for to the end of the text. Once plain searches have
// read the text a few times over (many different elements without end
// tags), every end tag of the text is indexed by a hash of its name, and
// each further search is a lookup.
class EndTagMemo {
public:
    // work, when given, counts the bytes the searches and the index read.
    explicit EndTagMemo(std::uint64_t* work = nullptr) : work_(work) {}

    // The first occurrence of tag ("</" + name + ">", the name without ">")
    // at or after from (0-based), or npos.
    std::size_t find(std::string_view t, const std::string& tag, std::size_t from);

private:
    struct Hit {
        std::size_t from;
        std::size_t at;
    };
    void buildIndex(std::string_view t);
    std::uint64_t hashOf(std::string_view name) const;
    void addWork(std::size_t bytes) {
        if (work_) *work_ += bytes;
    }
    std::uint64_t* work_;
    std::unordered_map<std::string, Hit> hits_;
    std::size_t scanned_ = 0;
    bool indexed_ = false;
    std::uint64_t base_ = 0;
    // Starts of the "</...>" of each name, by name length and hash.
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> ends_;
};

// The next whole element at or after pos (1-based, updated); empty if none.
// work, when given, counts the bytes read outside the memo.
std::string nextElement(std::string_view t, Pos& pos, EndTagMemo* memo = nullptr, std::uint64_t* work = nullptr);

}  // namespace tavin
