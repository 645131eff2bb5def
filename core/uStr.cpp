#include "core/uStr.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/fileio.h"

namespace tavin {

namespace {

Pos len(std::string_view s) { return static_cast<Pos>(s.size()); }

// Does search occur at 0-based offset i of text, folding ASCII case?
bool equalsFoldedAt(std::string_view text, std::size_t i, std::string_view search) {
    for (std::size_t k = 0; k < search.size(); ++k) {
        if (lowerAscii(text[i + k]) != lowerAscii(search[k])) return false;
    }
    return true;
}

// 0-based offset of the first folded occurrence at or after from, or npos.
std::size_t findFolded(std::string_view text, std::string_view search, std::size_t from) {
    if (search.size() > text.size()) return std::string_view::npos;
    const char lo = lowerAscii(search[0]);
    const char up = (lo >= 'a' && lo <= 'z') ? static_cast<char>(lo - 32) : lo;
    const std::size_t last = text.size() - search.size();
    for (std::size_t i = from; i <= last; ++i) {
        const char c = text[i];
        if ((c == lo || c == up) && equalsFoldedAt(text, i, search)) return i;
    }
    return std::string_view::npos;
}

// How often a byte turns up in markup and text: 3 letters, digits and the
// bytes of every tag, 2 other punctuation, 1 upper-case letters and the rest.
int byteCommonness(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return 3;
    if (c == ' ' || c == '<' || c == '>' || c == '"' || c == '=' || c == '/') return 3;
    if (c >= 'A' && c <= 'Z') return 1;
    if (c == ':' || c == '-' || c == '.' || c == ';' || c == '#' || c == '_' || c == ',') return 2;
    return static_cast<unsigned char>(c) < 0x20 ? 2 : 1;
}

std::size_t findRaw(std::string_view text, std::string_view search, std::size_t from, bool ignoreCase) {
    if (ignoreCase) return findFolded(text, search, from);
    if (search.size() < 2 || from > text.size() || search.size() > text.size() - from) return text.find(search, from);
    // Look for the needle's least common byte (in markup: an upper-case
    // letter of a camel-case name before anything else), then compare.
    std::size_t key = 0;
    int best = 4;
    for (std::size_t k = 0; k < search.size() && best > 1; ++k) {
        const int r = byteCommonness(search[k]);
        if (r < best) {
            best = r;
            key = k;
        }
    }
    if (key == 0) return text.find(search, from);
    const char* const base = text.data();
    const char* p = base + from + key;
    const char* const last = base + text.size() - (search.size() - key);  // last place of the key byte
    const char kb = search[key];
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, kb, static_cast<std::size_t>(last - p) + 1));
        if (p == nullptr) return std::string_view::npos;
        const char* start = p - key;
        if (start[0] == search[0] && std::memcmp(start, search.data(), search.size()) == 0)
            return static_cast<std::size_t>(start - base);
        ++p;
    }
    return std::string_view::npos;
}

}  // namespace

std::string subText(std::string_view text, Pos start, Pos count) {
    if (text.empty() || start > len(text)) return {};
    if (start < 1) start = 1;
    if (count == 0) count = len(text) - start + 1;
    if (count <= 0) return {};
    const Pos avail = len(text) - start + 1;
    return std::string(text.substr(static_cast<std::size_t>(start - 1),
                                   static_cast<std::size_t>(count < avail ? count : avail)));
}

std::string tailFrom(std::string_view text, Pos start) {
    if (start < 1) start = 1;
    if (start > len(text)) return {};
    return std::string(text.substr(static_cast<std::size_t>(start - 1)));
}

std::string headText(std::string_view text, Pos count) {
    if (count <= 0) return {};
    return std::string(text.substr(0, static_cast<std::size_t>(count)));
}

std::string replaceAll(std::string_view text, std::string_view search,
                       std::string_view replacement, bool ignoreCase) {
    if (search.empty() || text.empty()) return std::string(text);
    std::string out;
    std::size_t copied = 0;
    std::size_t hit = findRaw(text, search, 0, ignoreCase);
    if (hit == std::string_view::npos) return std::string(text);
    out.reserve(text.size() + (replacement.size() > search.size() ? text.size() / 4 : 0));
    while (hit != std::string_view::npos) {
        out.append(text.substr(copied, hit - copied));
        out.append(replacement);
        copied = hit + search.size();
        hit = findRaw(text, search, copied, ignoreCase);
    }
    out.append(text.substr(copied));
    return out;
}

Pos findFrom(std::string_view text, std::string_view search, Pos start, bool ignoreCase) {
    if (start > len(text) || search.empty() || start < 0) return 0;
    if (start == 0) start = 1;
    const std::size_t hit = findRaw(text, search, static_cast<std::size_t>(start - 1), ignoreCase);
    return hit == std::string_view::npos ? 0 : static_cast<Pos>(hit) + 1;
}

Pos findFirstOf(std::string_view text, std::string_view first, std::string_view second,
                std::string_view third, Pos start) {
    if (start > len(text)) return 0;
    if (start < 1) start = 1;
    const std::string_view keys[3] = {first, second, third};
    bool lead[256] = {};
    for (const auto& k : keys) {
        if (!k.empty()) lead[static_cast<unsigned char>(k[0])] = true;
    }
    const char* base = text.data();
    for (std::size_t i = static_cast<std::size_t>(start - 1); i < text.size(); ++i) {
        if (!lead[static_cast<unsigned char>(base[i])]) continue;
        for (const auto& k : keys) {
            if (!k.empty() && k.size() <= text.size() - i && std::memcmp(base + i, k.data(), k.size()) == 0) {
                return static_cast<Pos>(i) + 1;
            }
        }
    }
    return 0;
}

Pos findWithin(std::string_view text, std::string_view search, Pos start, Pos limit) {
    // An occurrence needs a start of at least 1 and must end before limit.
    if (search.empty() || limit <= len(search)) return 0;
    if (start < 1) start = 1;
    Pos lastCandidate = limit - len(search);
    if (lastCandidate > len(text) - len(search) + 1) lastCandidate = len(text) - len(search) + 1;
    if (lastCandidate < start) return 0;
    // Only the window [start, lastCandidate + len(search) - 1] is searched.
    const std::string_view window = text.substr(0, static_cast<std::size_t>(lastCandidate + len(search) - 1));
    const std::size_t hit = window.find(search, static_cast<std::size_t>(start - 1));
    return hit == std::string_view::npos ? 0 : static_cast<Pos>(hit) + 1;
}

Pos findBackward(std::string_view text, std::string_view search, Pos from) {
    if (search.empty() || from < 0) return 0;
    if (from == 0 || from > len(text)) from = len(text);
    if (from == 0) return 0;
    const std::size_t hit = text.rfind(search, static_cast<std::size_t>(from - 1));
    return hit == std::string_view::npos ? 0 : static_cast<Pos>(hit) + 1;
}

std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, bool ignoreCase) {
    const Pos s = findFrom(text, startMarker, 1, ignoreCase);
    if (s == 0) return {};
    const Pos a = s + len(startMarker);
    const Pos e = findFrom(text, endMarker, a, ignoreCase);
    if (e == 0 || e <= a) return {};
    return std::string(text.substr(static_cast<std::size_t>(a - 1), static_cast<std::size_t>(e - a)));
}

std::string textSpanFrom(std::string_view text, std::string_view startMarker,
                         std::string_view endMarker, Pos start) {
    const Pos s = findFrom(text, startMarker, start, false);
    if (s == 0) return {};
    const Pos e = findFrom(text, endMarker, s + len(startMarker), false);
    if (e == 0) return {};
    return std::string(text.substr(static_cast<std::size_t>(s - 1),
                                   static_cast<std::size_t>(e + len(endMarker) - s)));
}

std::string textSpan(std::string_view text, std::string_view startMarker, std::string_view endMarker) {
    return textSpanFrom(text, startMarker, endMarker, 1);
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    std::size_t p = 0;
    std::size_t hit = text.find(separator);
    while (hit != std::string_view::npos) {
        pieces.emplace_back(text.substr(p, hit - p));
        p = hit + separator.size();
        hit = text.find(separator, p);
    }
    pieces.emplace_back(text.substr(p));
    return pieces;
}

std::string joinParts(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    std::size_t total = 0;
    for (const auto& p : parts) total += p.size() + separator.size();
    reserveText(out, total);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out.append(separator);
        out.append(parts[i]);
    }
    return out;
}

std::string joinList(const std::vector<std::string>& list, std::string_view separator) {
    return joinParts(list, separator);
}

void appendRange(std::string& buffer, Pos& writePos, std::string_view source, Pos first, Pos last) {
    if (first < 1) first = 1;
    if (last > len(source)) last = len(source);
    if (last < first) return;
    if (writePos < 1) writePos = 1;
    const Pos n = last - first + 1;
    if (len(buffer) < writePos - 1 + n) buffer.resize(static_cast<std::size_t>(writePos - 1 + n + 1024));
    std::memcpy(buffer.data() + writePos - 1, source.data() + first - 1, static_cast<std::size_t>(n));
    writePos += n;
}

void reserveText(std::string& text, std::size_t n) {
    if (n <= text.capacity()) return;
    text.reserve(n);
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    if (n < 2 * kHuge) return;
    // The buffer is fresh and untouched past its present contents.
    const auto start = reinterpret_cast<std::uintptr_t>(text.data()) + text.size();
    const auto from = (start + kHuge - 1) & ~(kHuge - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(text.data()) + n) & ~(kHuge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

std::string readTextFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        throw Error("Cannot read file " + path + ": " + errnoMessage(errno));
    }
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) throw Error("Cannot read file " + path + ": " + errnoMessage(errno));
    const int fd = file.get();
    std::string out;
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (!S_ISREG(st.st_mode)) {
        err = EISDIR;
    } else {
        out.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < out.size()) {
            const ssize_t r = ::read(fd, out.data() + got, out.size() - got);
            if (r < 0) {
                if (errno == EINTR) continue;
                err = errno;
                break;
            }
            if (r == 0) break;  // the file shrank while we read it
            got += static_cast<std::size_t>(r);
        }
        out.resize(got);
    }
    if (err != 0) throw Error("Cannot read file " + path + ": " + errnoMessage(err));
    return out;
}

void writeTextFile(const std::string& path, std::string_view text) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd) throw Error("Cannot create file " + path + ": " + errnoMessage(errno));
    int err = writeAll(fd.get(), text);
    // A failed close can report a failed write.
    if (const int closed = fd.close(); closed != 0 && err == 0) err = closed;
    if (err != 0) throw Error("Cannot write file " + path + ": " + errnoMessage(err));
}

namespace {

Error integerError(std::string_view text) { return Error("'" + std::string(text) + "' is not a valid integer value"); }

// An optional sign at i, read past; whether it is a minus.
bool readSign(std::string_view text, std::size_t& i) {
    if (i >= text.size() || (text[i] != '+' && text[i] != '-')) return false;
    return text[i++] == '-';
}

}  // namespace

int strToInt(std::string_view text) {
    auto fail = [&]() -> int { throw integerError(text); };
    std::size_t i = 0;
    const bool negative = readSign(text, i);
    if (i == text.size()) return fail();
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return fail();
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return fail();
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return fail();
    return static_cast<int>(value);
}

namespace {

// Rounds num / den (den > 0) to the nearest integer, halves to even.
__int128 roundRatio(__int128 num, __int128 den) {
    const bool negative = num < 0;
    if (negative) num = -num;
    __int128 q = num / den;
    const __int128 r2 = (num % den) * 2;
    if (r2 > den || (r2 == den && (q & 1) != 0)) ++q;
    return negative ? -q : q;
}

}  // namespace

int measureToInt(std::string_view text, int unitsPerPoint) {
    auto fail = [&]() -> int { throw integerError(text); };
    std::size_t i = 0;
    const bool negative = readSign(text, i);
    // The digits as one integer mantissa with a count of fraction digits;
    // trailing zeros of the fraction carry no value and are not counted.
    __int128 mantissa = 0;
    int scale = 0, digits = 0, pendingZeros = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        ++digits;
        if (point && c == '0') {
            ++pendingZeros;
            continue;
        }
        for (; pendingZeros > 0; --pendingZeros, ++scale) mantissa *= 10;
        mantissa = mantissa * 10 + (c - '0');
        if (point) ++scale;
        if (mantissa > static_cast<__int128>(1) << 80 || scale > 18) return fail();
    }
    if (digits == 0) return fail();
    const std::string_view unit = text.substr(i);
    if (unit.empty() && !point) return strToInt(text);
    // The measure in the field's unit is mantissa * num / (den * 10^scale).
    __int128 num = 1, den = 1;
    if (unit.empty()) {
    } else if (unit == "pt") {
        num = unitsPerPoint;
    } else if (unit == "pc" || unit == "pi") {
        num = 12 * unitsPerPoint;
    } else if (unit == "in") {
        num = 72 * unitsPerPoint;
    } else if (unit == "cm") {
        num = 7200 * unitsPerPoint;
        den = 254;
    } else if (unit == "mm") {
        num = 720 * unitsPerPoint;
        den = 254;
    } else {
        return fail();
    }
    for (int k = 0; k < scale; ++k) den *= 10;
    __int128 value = roundRatio(mantissa * num, den);
    if (negative) value = -value;
    if (value > 2147483647 || value < -2147483647 - 1) return fail();
    return static_cast<int>(value);
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

long long roundDiv(long long num, double den) {
    // nearbyint rounds in the default mode: to nearest, halves to even.
    return static_cast<long long>(std::nearbyint(static_cast<double>(num) / den));
}

std::string_view trimText(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
    return text.substr(b, e - b);
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = lowerAscii(c);
    return out;
}

}  // namespace tavin
