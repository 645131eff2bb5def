#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docx2html/fidelity/edits.h"

namespace {

struct Edit {
    std::size_t at, length;
    std::string text;
};

struct Case {
    const char* name;
    std::vector<Edit> edits;
    std::string expected;
};

}  // namespace

// The rules every Full Fidelity step relies on, over "abcdefgh".
TEST(EditList, OneRebuildByTheRulesOfOverlapAndOrder) {
    const std::vector<Case> cases = {
        {"none", {}, "abcdefgh"},
        {"in any order", {{6, 1, "G"}, {0, 1, "A"}, {3, 2, ""}}, "AbcfGh"},
        {"insertions before a replacement at one offset", {{2, 2, "[CD]"}, {2, 0, "<"}, {2, 0, "+"}}, "ab<+[CD]efgh"},
        {"the first of two that overlap", {{1, 4, "X"}, {3, 2, "Y"}, {5, 0, "|"}}, "aX|fgh"},
        {"at one offset, the one added first", {{4, 2, "1"}, {4, 3, "2"}}, "abcd1gh"},
        {"grown and shrunk", {{0, 8, "a whole new text"}}, "a whole new text"},
        {"past the end", {{8, 0, "!"}, {7, 5, "H"}, {20, 3, "?"}}, "abcdefgH!?"},
    };
    for (const Case& c : cases) {
        tavin::EditList list;
        for (const Edit& e : c.edits) list.replace(e.at, e.length, e.text);
        std::string text = "abcdefgh";
        list.applyTo(text);
        EXPECT_EQ(text, c.expected) << c.name;
        EXPECT_TRUE(list.empty()) << c.name;
        // The list starts over empty: a second use sees none of the first.
        list.insert(0, ">");
        EXPECT_EQ(list.apply("x"), ">x") << c.name;
    }
}
