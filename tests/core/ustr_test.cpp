#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "core/sha256.h"
#include "core/uStr.h"
#include "support/testutil.h"

using namespace tavin;

TEST(StrExtract, FollowsTheExtractionRule) {
    EXPECT_EQ(subText("abcdef", 3, 0), "cdef");
    EXPECT_EQ(subText("abcdef", 3, 2), "cd");
    EXPECT_EQ(subText("abc", 5, 1), "");
    EXPECT_EQ(subText("abc", 0, 2), "ab");   // start below 1 is 1, count kept
    EXPECT_EQ(subText("abc", -4, 2), "ab");
    EXPECT_EQ(subText("abc", 2, 99), "bc");
    EXPECT_EQ(subText("abc", 2, -1), "");
    EXPECT_EQ(subText("", 1, 1), "");
    EXPECT_EQ(headText("abc", -1), "");
    EXPECT_EQ(headText("abc", 5), "abc");
    EXPECT_EQ(tailFrom("abc", 0), "abc");
    EXPECT_EQ(tailFrom("abc", 3), "c");
    EXPECT_EQ(tailFrom("abc", 4), "");
}

TEST(StrReplaceAll, NonOverlappingLeftToRightWithoutRescan) {
    EXPECT_EQ(replaceAll("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceAll("x", "x", "xx"), "xx");
    EXPECT_EQ(replaceAll("", "x", "y"), "");
    EXPECT_EQ(replaceAll("abc", "", "y"), "abc");
    EXPECT_EQ(replaceAll("a-b-c", "-", ""), "abc");
}

TEST(StrReplaceAll, IgnoreCaseFoldsAsciiOnlyAndKeepsCase) {
    EXPECT_EQ(replaceAll("AbAB", "ab", "-", true), "--");
    EXPECT_EQ(replaceAll("AbAB", "ab", "-", false), "AbAB");
    EXPECT_EQ(replaceAll("XaBy", "ab", "-", true), "X-y");
    // Bytes of 128 and above are compared exactly.
    EXPECT_EQ(replaceAll("\xC3\x84x", "\xC3\xA4", "-", true), "\xC3\x84x");
}

TEST(StrFind, ForwardSearchEdges) {
    EXPECT_EQ(findFrom("abcabc", "bc", 3), 5);
    EXPECT_EQ(findFrom("abcabc", "bc", 7), 0);
    EXPECT_EQ(findFrom("abcabc", "bc", 0), 2);
    EXPECT_EQ(findFrom("abcabc", "bc", -1), 0);
    EXPECT_EQ(findFrom("abc", "cd", 1), 0);
    EXPECT_EQ(findFrom("abc", "", 1), 0);
    EXPECT_EQ(findFrom("xABc", "ab", 1, true), 2);
    EXPECT_EQ(findFirstOf("x</table<p>", "<p>", "<table", "</table", 1), 2);
    EXPECT_EQ(findFirstOf("x<table<p>", "<p>", "<table", "</table", 3), 8);
    EXPECT_EQ(findFirstOf("abc", "<p>", "<table", "</table", 9), 0);
    EXPECT_EQ(findWithin("abcd", "cd", 1, 5), 3);
    EXPECT_EQ(findWithin("abcd", "cd", 1, 4), 0);
    EXPECT_EQ(findWithin("abcd", "cd", 0, 99), 3);
    EXPECT_EQ(findWithin("abcd", "ab", 2, 99), 0);
}

// Positions anywhere in the 64-bit range give the plain results, without
// overflowing on the way (found by fuzzing: findWithin with the smallest
// limit, subText "up to the end" from the smallest start).
// The block-wise search against a byte-by-byte one, on seeded random texts
// of tag pieces (so that candidates sharing the needle's ends abound, and
// matches fall at every offset of a block and across its end).
TEST(StrFind, AgreesWithThePlainScanOnRandomTexts) {
    const std::vector<std::string> pieces = {"<", ">", "</", "t", "c", "T", "r", "Pr", " ", "=\"", "\"", "x"};
    const std::vector<std::string> needles = {"<t>", "</tc>", "<tc ", "<rPr>", "r>", "=\"", "<tR", "\"x\"", "<T",
                                              "c>c>c>c>c>c>c>c>c>c>c>c>c>c>c>c>c>"};
    auto plain = [](const std::string& t, const std::string& n, std::size_t from, bool fold) -> Pos {
        for (std::size_t i = from; i + n.size() <= t.size(); ++i) {
            std::size_t k = 0;
            while (k < n.size() && (fold ? lowerAscii(t[i + k]) == lowerAscii(n[k]) : t[i + k] == n[k])) ++k;
            if (k == n.size()) return static_cast<Pos>(i) + 1;
        }
        return 0;
    };
    std::mt19937 rng(34);
    for (int c = 0; c < 4000; ++c) {
        std::string t;
        for (std::size_t n = rng() % 120; n > 0; --n) t += pieces[rng() % pieces.size()];
        const std::string& needle = needles[rng() % needles.size()];
        const bool fold = rng() % 3 == 0;
        // Written over the text, or rebuilt when the replacement is longer.
        const std::string replacement = needles[rng() % needles.size()].substr(0, rng() % 6);
        std::string inPlace = t;
        replaceAllInPlace(inPlace, needle, replacement, fold);
        ASSERT_EQ(inPlace, replaceAll(t, needle, replacement, fold)) << t << " / " << needle << " by " << replacement;
        // Three keys at once, one of them perhaps empty or a single byte.
        const std::string keys[3] = {needles[rng() % needles.size()], needle.substr(0, rng() % 3),
                                     needles[rng() % needles.size()]};
        for (std::size_t from = 0; from <= t.size(); from += 1 + rng() % 40) {
            ASSERT_EQ(findFrom(t, needle, static_cast<Pos>(from) + 1, fold), plain(t, needle, from, fold))
                << t << " / " << needle << " from " << from + 1 << (fold ? " folded" : "");
            Pos first = 0;
            for (const std::string& k : keys) {
                const Pos at = k.empty() ? 0 : plain(t, k, from, false);
                if (at != 0 && (first == 0 || at < first)) first = at;
            }
            ASSERT_EQ(findFirstOf(t, keys[0], keys[1], keys[2], static_cast<Pos>(from) + 1), first)
                << t << " / " << keys[0] << " " << keys[1] << " " << keys[2] << " from " << from + 1;
        }
    }
}

TEST(StrFind, ExtremePositions) {
    constexpr Pos kMin = std::numeric_limits<Pos>::min();
    constexpr Pos kMax = std::numeric_limits<Pos>::max();
    EXPECT_EQ(findWithin("abcd", "cd", 1, kMin), 0);
    EXPECT_EQ(findWithin("abcd", "cd", kMin, kMax), 3);
    EXPECT_EQ(findWithin("abcd", "cd", kMax, kMax), 0);
    EXPECT_EQ(findWithin("abcd", "ab", 1, 2), 0);
    EXPECT_EQ(findWithin("abcd", "ab", 1, 3), 1);
    EXPECT_EQ(subText("abc", kMin, 0), "abc");
    EXPECT_EQ(subText("abc", kMin, kMax), "abc");
    EXPECT_EQ(subText("abc", kMax, 0), "");
    EXPECT_EQ(subText("abc", 2, kMin), "");
    EXPECT_EQ(findFrom("abc", "b", kMin), 0);
    EXPECT_EQ(findFrom("abc", "b", kMax), 0);
    EXPECT_EQ(findFirstOf("abc", "b", "", "", kMin), 2);
    EXPECT_EQ(findBackward("abc", "b", kMax), 2);
    EXPECT_EQ(findBackward("abc", "b", kMin), 0);
    EXPECT_EQ(tailFrom("abc", kMin), "abc");
    EXPECT_EQ(headText("abc", kMax), "abc");
}

TEST(StrFind, BackwardSearchEdges) {
    EXPECT_EQ(findBackward("a.b.c", ".", 0), 4);
    EXPECT_EQ(findBackward("a.b.c", ".", 3), 2);
    EXPECT_EQ(findBackward("a.b.c", ".", 1), 0);
    EXPECT_EQ(findBackward("a.b.c", ".", -1), 0);
    EXPECT_EQ(findBackward("a.b.c", "", 0), 0);
    // The occurrence may extend beyond from, not beyond the text.
    EXPECT_EQ(findBackward("xxab", "ab", 3), 3);
    EXPECT_EQ(findBackward("", "a", 0), 0);
}

TEST(StrMarkers, BetweenAndSpan) {
    EXPECT_EQ(textBetween("x<a>y</a>", "<a>", "</a>"), "y");
    EXPECT_EQ(textBetween("<a></a>", "<a>", "</a>"), "");
    EXPECT_EQ(textBetween("<a>y", "<a>", "</a>"), "");
    EXPECT_EQ(textBetween("<A>y</a>", "<a>", "</A>", true), "y");
    EXPECT_EQ(textSpan("..<b x/>..", "<b", "/>"), "<b x/>");
    EXPECT_EQ(textSpan("..<b x..", "<b", "/>"), "");
    EXPECT_EQ(textSpanFrom("<b 1/><b 2/>", "<b", "/>", 2), "<b 2/>");
}

TEST(StrSplitJoin, PiecesAndSeparators) {
    EXPECT_EQ(splitText("a<tc>b<tc>", "<tc>"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(splitText("", "<tc>"), (std::vector<std::string>{""}));
    EXPECT_EQ(splitText("<tc>a", "<tc>"), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(joinParts({}, ","), "");
    EXPECT_EQ(joinParts({"a"}, ","), "a");
    EXPECT_EQ(joinParts({"a", "", "b"}, ","), "a,,b");
    EXPECT_EQ(joinList({"x", "y"}, ""), "xy");
}

TEST(StrAppendRange, GrowsAndKeepsWritePosition) {
    std::string buf(2, '\0');
    Pos w = 1;
    appendRange(buf, w, "hello", 2, 4);
    appendRange(buf, w, "hello", 5, 4);  // last < first: nothing
    appendRange(buf, w, "!", 1, 1);
    EXPECT_EQ(w, 5);
    buf.resize(static_cast<std::size_t>(w - 1));
    EXPECT_EQ(buf, "ell!");
}

TEST(StrInteger, StrictDecimalWithinThirtyTwoBits) {
    EXPECT_EQ(strToInt("0"), 0);
    EXPECT_EQ(strToInt("-720"), -720);
    EXPECT_EQ(strToInt("+12"), 12);
    EXPECT_EQ(strToInt("2147483647"), 2147483647);
    EXPECT_EQ(strToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " 1", "1 ", "1.5", "8pt", "-", "2147483648", "99999999999999999999", "0x10"}) {
        try {
            strToInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Error& e) {
            std::string expected = "'";
            expected.append(bad).append("' is not a valid integer value");
            EXPECT_EQ(std::string(e.what()), expected);
        }
    }
}

TEST(StrRounding, HalvesGoToEven) {
    EXPECT_EQ(roundDiv(25, 50), 0);
    EXPECT_EQ(roundDiv(75, 50), 2);
    EXPECT_EQ(roundDiv(125, 50), 2);
    EXPECT_EQ(roundDiv(-75, 50), -2);
    EXPECT_EQ(roundDiv(4762, 9525), 0);
    EXPECT_EQ(roundDiv(4763, 9525), 1);
}

TEST(StrFiles, RoundTripMissingAndUnreadable) {
    testutil::TempDir dir;
    const std::string path = dir.str() + "/bytes.bin";
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    writeTextFile(path, all);
    EXPECT_EQ(readTextFile(path), all);
    writeTextFile(path, "");
    EXPECT_EQ(readTextFile(path), "");
    EXPECT_EQ(readTextFile(dir.str() + "/missing.xml"), "");
    EXPECT_EQ(readTextFile(dir.str() + "/bytes.bin/below-a-file"), "");
    // A folder where a file is expected cannot be read: an error naming it.
    try {
        readTextFile(dir.str());
        ADD_FAILURE() << "a folder was read as text";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(dir.str()), std::string::npos);
    }
    EXPECT_THROW(writeTextFile(dir.str() + "/no/such/folder/x.html", "x"), Error);
}

TEST(StrFiles, UnreadableFileIsAnErrorNotText) {
    testutil::TempDir dir;
    // Unreadable for everyone, root included: a link that names itself, and
    // a folder where a part should be.
    const std::string loop = dir.str() + "/loop.xml";
    ASSERT_EQ(symlink("loop.xml", loop.c_str()), 0);
    EXPECT_THROW(readTextFile(loop), Error);
    std::filesystem::create_directory(dir.str() + "/folder.xml");
    EXPECT_THROW(readTextFile(dir.str() + "/folder.xml"), Error);
    // Without read permission, where permissions bind (they do not bind root).
    const std::string path = dir.str() + "/locked.xml";
    writeTextFile(path, "<x/>");
    chmod(path.c_str(), 0);
    if (geteuid() != 0) {
        EXPECT_THROW(readTextFile(path), Error);
    }
}

TEST(Sha256, KnownDigests) {
    // FIPS 180-4 examples, and lengths around the padding boundaries.
    EXPECT_EQ(tavin::sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(tavin::sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(tavin::sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(tavin::sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(tavin::sha256Hex(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(tavin::sha256Hex(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}
