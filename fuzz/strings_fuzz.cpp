// The string utilities' searches and extractions with fuzzed texts and
// positions (near the text and anywhere in the 64-bit range), checked
// against plain reference loops that follow uStr.h.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "core/uStr.h"

using tavin::Pos;

namespace {

[[noreturn]] void fail() { std::abort(); }

Pos len(std::string_view s) { return static_cast<Pos>(s.size()); }

Pos position(FuzzedDataProvider& in, std::string_view text) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: return in.ConsumeIntegralInRange<Pos>(-2, len(text) + 2);
        case 1: return in.ConsumeIntegral<Pos>();
        case 2: return in.ConsumeBool() ? std::numeric_limits<Pos>::max() : std::numeric_limits<Pos>::min();
        default: return in.ConsumeIntegralInRange<Pos>(-1000, 1000);
    }
}

bool occursAt(std::string_view text, std::string_view search, Pos p, bool ignoreCase) {
    if (p < 1 || search.empty() || p - 1 + len(search) > len(text)) return false;
    for (std::size_t k = 0; k < search.size(); ++k) {
        const char a = text[static_cast<std::size_t>(p - 1) + k];
        const char b = search[k];
        if (ignoreCase ? tavin::lowerAscii(a) != tavin::lowerAscii(b) : a != b) return false;
    }
    return true;
}

Pos refFindFrom(std::string_view text, std::string_view search, Pos start, bool ignoreCase) {
    if (start < 0 || search.empty()) return 0;
    if (start == 0) start = 1;
    for (Pos p = start; p <= len(text) - len(search) + 1; ++p)
        if (occursAt(text, search, p, ignoreCase)) return p;
    return 0;
}

Pos refFindFirstOf(std::string_view text, std::string_view a, std::string_view b, std::string_view c, Pos start) {
    if (start < 1) start = 1;
    for (Pos p = start; p <= len(text); ++p)
        if (occursAt(text, a, p, false) || occursAt(text, b, p, false) || occursAt(text, c, p, false)) return p;
    return 0;
}

Pos refFindWithin(std::string_view text, std::string_view search, Pos start, Pos limit) {
    if (start < 1) start = 1;
    for (Pos p = start; p <= len(text); ++p) {
        if (p + len(search) > limit) break;  // it would not end before limit
        if (occursAt(text, search, p, false)) return p;
    }
    return 0;
}

Pos refFindBackward(std::string_view text, std::string_view search, Pos from) {
    if (from < 0) return 0;
    if (from == 0 || from > len(text)) from = len(text);
    for (Pos p = from; p >= 1; --p)
        if (occursAt(text, search, p, false)) return p;
    return 0;
}

std::string refSubText(std::string_view text, Pos start, Pos count) {
    if (text.empty() || start > len(text)) return {};
    if (start < 1) start = 1;
    if (count == 0) return std::string(text.substr(static_cast<std::size_t>(start - 1)));
    if (count < 0) return {};
    const Pos avail = len(text) - start + 1;
    return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count < avail ? count : avail)));
}

std::string refReplaceAll(std::string_view text, std::string_view search, std::string_view with, bool ignoreCase) {
    if (search.empty()) return std::string(text);
    std::string out;
    Pos p = 1;
    while (p <= len(text)) {
        if (occursAt(text, search, p, ignoreCase)) {
            out.append(with);
            p += len(search);
        } else {
            out += text[static_cast<std::size_t>(p - 1)];
            ++p;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string a = in.ConsumeRandomLengthString(16);
    const std::string b = in.ConsumeRandomLengthString(16);
    const std::string c = in.ConsumeRandomLengthString(16);
    const bool ignoreCase = in.ConsumeBool();
    const std::string text = in.ConsumeRandomLengthString(4096);
    // Integers come from the end of the input, so the text keeps its bytes.
    const Pos s1 = position(in, text);
    const Pos s2 = position(in, text);

    if (tavin::findFrom(text, a, s1, ignoreCase) != refFindFrom(text, a, s1, ignoreCase)) fail();
    if (tavin::findFirstOf(text, a, b, c, s1) != refFindFirstOf(text, a, b, c, s1)) fail();
    if (!a.empty() && tavin::findWithin(text, a, s1, s2) != refFindWithin(text, a, s1, s2)) fail();
    if (!a.empty() && tavin::findBackward(text, a, s1) != refFindBackward(text, a, s1)) fail();
    if (tavin::subText(text, s1, s2) != refSubText(text, s1, s2)) fail();
    if (tavin::tailFrom(text, s1) != refSubText(text, s1, 0)) fail();
    if (tavin::headText(text, s1) != (s1 <= 0 ? std::string() : refSubText(text, 1, s1))) fail();
    if (tavin::replaceAll(text, a, b, ignoreCase) != refReplaceAll(text, a, b, ignoreCase)) fail();

    // textBetween and textSpanFrom, by the searches they are made of.
    const Pos s = refFindFrom(text, a, 1, ignoreCase);
    std::string between;
    if (s != 0) {
        const Pos from = s + len(a);
        const Pos e = refFindFrom(text, b, from, ignoreCase);
        if (e > from) between = text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(e - from));
    }
    if (tavin::textBetween(text, a, b, ignoreCase) != between) fail();
    const Pos ss = refFindFrom(text, a, s1, false);
    std::string span;
    if (ss != 0) {
        const Pos e = refFindFrom(text, b, ss + len(a), false);
        if (e != 0) span = text.substr(static_cast<std::size_t>(ss - 1), static_cast<std::size_t>(e + len(b) - ss));
    }
    if (tavin::textSpanFrom(text, a, b, s1) != span) fail();

    const auto pieces = tavin::splitText(text, a);
    if (tavin::joinParts(pieces, a) != text) fail();
    if (!a.empty()) {
        std::size_t occurrences = 0;
        for (Pos p = refFindFrom(text, a, 1, false); p != 0; p = refFindFrom(text, a, p + len(a), false)) ++occurrences;
        if (pieces.size() != occurrences + 1) fail();
    }

    std::string buffer = b;
    Pos writePos = len(b) + 1;
    const Pos before = writePos;
    tavin::appendRange(buffer, writePos, text, s1, s2);
    buffer.resize(static_cast<std::size_t>(writePos - 1));
    std::string expected = b;
    const Pos first = s1 < 1 ? 1 : s1;
    const Pos last = s2 > len(text) ? len(text) : s2;
    if (last >= first) expected += text.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
    if (buffer != expected || writePos < before) fail();
    return 0;
}
