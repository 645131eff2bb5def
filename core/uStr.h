// Byte-string primitives of the conversion engine.
//
// Texts are byte strings; nothing is decoded. Positions are 1-based and 0
// stands for "not found". Out-of-range arguments never fail: they give the
// empty text or 0 as described per function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/errors.h"

namespace tavin {

using Pos = std::ptrdiff_t;

// Extraction rule: empty result for an empty text, a start past the end or a
// count <= 0; a start below 1 is taken as 1 (the count is not reduced); a
// count running past the end stops at the end. A count of 0 in subText means
// "up to the end".
std::string subText(std::string_view text, Pos start, Pos count);
std::string tailFrom(std::string_view text, Pos start);
std::string headText(std::string_view text, Pos count);

// Every non-overlapping occurrence, left to right; the replacement is never
// rescanned. ignoreCase folds ASCII letters only.
std::string replaceAll(std::string_view text, std::string_view search,
                       std::string_view replacement, bool ignoreCase = false);

// text = replaceAll(text, search, replacement, ignoreCase): a text without
// the search stays as it is, and a replacement no longer than the search
// is written over the text itself, so no second buffer is filled.
void replaceAllInPlace(std::string& text, std::string_view search, std::string_view replacement,
                       bool ignoreCase = false);

// First occurrence beginning at or after start (0 behaves as 1, negative
// gives 0); the occurrence must lie wholly inside the text.
Pos findFrom(std::string_view text, std::string_view search, Pos start, bool ignoreCase = false);

// What text.find(search, from) gives (npos for none), found by the same
// block-wise scan as findFrom: for needles such as "<tc" that a byte-wise
// search would stop for at every "<".
std::size_t findText(std::string_view text, std::string_view search, std::size_t from = 0);

// First position at or after start where any of the three texts begins.
Pos findFirstOf(std::string_view text, std::string_view first, std::string_view second,
                std::string_view third, Pos start);

// First occurrence beginning at or after start and ending before limit.
Pos findWithin(std::string_view text, std::string_view search, Pos start, Pos limit);

// Last occurrence beginning at or before from (0 = end of text).
Pos findBackward(std::string_view text, std::string_view search, Pos from);

// Text strictly between the first startMarker and the next endMarker after it.
std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, bool ignoreCase = false);

// First stretch from startMarker through the following endMarker, inclusive.
std::string textSpan(std::string_view text, std::string_view startMarker, std::string_view endMarker);
std::string textSpanFrom(std::string_view text, std::string_view startMarker,
                         std::string_view endMarker, Pos start);

// n occurrences give n + 1 pieces; an empty text gives one empty piece.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);
std::string joinParts(const std::vector<std::string>& parts, std::string_view separator);
std::string joinList(const std::vector<std::string>& list, std::string_view separator);

// Appends source[first..last] (1-based, inclusive) at writePos of buffer,
// whose length serves as capacity; the caller cuts the buffer to
// writePos - 1 at the end.
void appendRange(std::string& buffer, Pos& writePos, std::string_view source, Pos first, Pos last);

// Reserves room for n bytes in text. Room for a large text is asked of the
// system in huge pages where it gives them on request: a pass that writes a
// whole document into fresh memory would otherwise take a page fault for
// every 4 KiB it writes.
void reserveText(std::string& text, std::size_t n);

// Whole-file input and output, byte for byte. A missing file reads as the
// empty text; a file that exists but cannot be read raises an Error naming it.
std::string readTextFile(const std::string& path);
void writeTextFile(const std::string& path, std::string_view text);

// Decimal digits with an optional sign, within 32 bits. Anything else raises
// "'<text>' is not a valid integer value".
int strToInt(std::string_view text);

// A measure in a field whose own unit is 1/unitsPerPoint of a point (twips
// 20, half-points 2, eighths 8, EMU 12700): an integer as strToInt reads it,
// a decimal fraction in the field's own unit ("9360.0"), or a universal
// measure with a unit (pt, in, cm, mm, pc, pi: "6pt", "0.5in"), rounded to
// the nearest unit, halves to even. Anything else, or a result outside 32
// bits, raises the integer error with the text as read.
int measureToInt(std::string_view text, int unitsPerPoint);
inline constexpr int kTwipsPerPoint = 20;
inline constexpr int kHalfPointsPerPoint = 2;
inline constexpr int kEighthsPerPoint = 8;
inline constexpr int kEmuPerPoint = 12700;

// Nearest integer of num / den with halves to the even neighbour.
long long roundDiv(long long num, double den);

// Blanks and control characters (bytes up to 0x20) removed at both ends.
std::string_view trimText(std::string_view text);

// Appends the UTF-8 bytes of code point c; surrogates and values past
// U+10FFFF as U+FFFD.
void appendUtf8(std::string& out, std::uint32_t c);

// ASCII-only case folding.
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string lowerCase(std::string_view text);

}  // namespace tavin
