#include "core/uStr.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Candidate places for a needle: where three of its bytes (its first, its
// last and its least common one) sit at their offsets, compared as they are
// or with ASCII letters folded. Thirty-two or sixteen places are tested at
// once where the machine can; each candidate is then compared whole. A
// search for "</tc>" so passes over the many other "<" of a part without
// stopping at each.
struct Anchors {
    std::size_t off[3];
    char lower[3];  // the byte as it is, or its lower-case form when folding
    char upper[3];  // the same byte, or its upper-case form when folding
};

template <bool Folded>
bool matchesAt(const char* at, std::string_view search) {
    if constexpr (Folded) {
        return equalsFoldedAt(std::string_view(at, search.size()), 0, search);
    } else {
        return std::memcmp(at, search.data(), search.size()) == 0;
    }
}

#if defined(__SSE2__)
// The first match at or after p, testing sixteen places at a time, or npos;
// the text must hold at least sixteen places (last >= 15). The places left
// at the end are tested by one block that overlaps the one before it.
template <bool Folded>
std::size_t scanSse2(const char* base, std::string_view search, const Anchors& a, std::size_t p, std::size_t last) {
    const char* const at0 = base + a.off[0];
    const char* const at1 = base + a.off[1];
    const char* const at2 = base + a.off[2];
    const __m128i lo0 = _mm_set1_epi8(a.lower[0]), up0 = _mm_set1_epi8(a.upper[0]);
    const __m128i lo1 = _mm_set1_epi8(a.lower[1]), up1 = _mm_set1_epi8(a.upper[1]);
    const __m128i lo2 = _mm_set1_epi8(a.lower[2]), up2 = _mm_set1_epi8(a.upper[2]);
    const auto same = [](const char* at, __m128i lo, __m128i up) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i e = _mm_cmpeq_epi8(b, lo);
        if constexpr (Folded) return _mm_or_si128(e, _mm_cmpeq_epi8(b, up));
        return e;
    };
    // Loads reach base[q + off + 15], within the text while q + 15 <= last.
    for (;;) {
        std::size_t q = p;
        unsigned skip = 0;
        if (last - p < 15) {
            q = last - 15;
            skip = static_cast<unsigned>(p - q);  // places before p were tested already
        }
        const __m128i e = _mm_and_si128(_mm_and_si128(same(at0 + q, lo0, up0), same(at1 + q, lo1, up1)),
                                        same(at2 + q, lo2, up2));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(e)) & (0xFFFFu << skip);
        while (mask != 0) {
            const std::size_t at = q + static_cast<std::size_t>(__builtin_ctz(mask));
            if (matchesAt<Folded>(base + at, search)) return at;
            mask &= mask - 1;
        }
        if (q + 16 > last) return std::string_view::npos;
        p = q + 16;
    }
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define TAVIN_SCAN_AVX2 1
// As scanSse2, thirty-two places at a time while from + 31 <= last; gives
// the first match, or sets from to the first place left untested.
// Where the 32 bytes at at are lo (or up, when folding).
template <bool Folded>
__attribute__((target("avx2"), always_inline)) inline __m256i sameAvx2(const char* at, __m256i lo, __m256i up) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i e = _mm256_cmpeq_epi8(b, lo);
    if constexpr (Folded) return _mm256_or_si256(e, _mm256_cmpeq_epi8(b, up));
    return e;
}

template <bool Folded>
__attribute__((target("avx2"))) std::size_t scanAvx2(const char* base, std::string_view search, const Anchors& a,
                                                     std::size_t& from, std::size_t last) {
    // Locals, so that nothing is read again from memory in the loop.
    const char* const at0 = base + a.off[0];
    const char* const at1 = base + a.off[1];
    const char* const at2 = base + a.off[2];
    const __m256i lo0 = _mm256_set1_epi8(a.lower[0]), up0 = _mm256_set1_epi8(a.upper[0]);
    const __m256i lo1 = _mm256_set1_epi8(a.lower[1]), up1 = _mm256_set1_epi8(a.upper[1]);
    const __m256i lo2 = _mm256_set1_epi8(a.lower[2]), up2 = _mm256_set1_epi8(a.upper[2]);
    std::size_t p = from;
    for (; p <= last && last - p >= 31; p += 32) {
        const __m256i e = _mm256_and_si256(_mm256_and_si256(sameAvx2<Folded>(at0 + p, lo0, up0),
                                                             sameAvx2<Folded>(at1 + p, lo1, up1)),
                                           sameAvx2<Folded>(at2 + p, lo2, up2));
        auto mask = static_cast<unsigned>(_mm256_movemask_epi8(e));
        while (mask != 0) {
            const std::size_t at = p + static_cast<std::size_t>(__builtin_ctz(mask));
            if (matchesAt<Folded>(base + at, search)) return at;
            mask &= mask - 1;
        }
    }
    from = p;
    return std::string_view::npos;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// The first occurrence at or after from, which must leave room for one.
template <bool Folded>
std::size_t findAnchored(std::string_view text, std::string_view search, std::size_t from, const Anchors& a) {
    const char* const base = text.data();
    const std::size_t last = text.size() - search.size();  // last place a match can start
    std::size_t p = from;
#if defined(TAVIN_SCAN_AVX2)
    if (last - p >= 31 && hasAvx2()) {
        const std::size_t hit = scanAvx2<Folded>(base, search, a, p, last);
        if (hit != std::string_view::npos || p > last) return hit;
    }
#endif
#if defined(__SSE2__)
    if (last >= 15) return scanSse2<Folded>(base, search, a, p, last);
#endif
    for (; p <= last; ++p) {
        bool candidate = true;
        for (int k = 0; k < 3 && candidate; ++k) {
            const char c = base[p + a.off[k]];
            candidate = c == a.lower[k] || c == a.upper[k];
        }
        if (candidate && matchesAt<Folded>(base + p, search)) return p;
    }
    return std::string_view::npos;
}

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::size_t findRaw(std::string_view text, std::string_view search, std::size_t from, bool ignoreCase) {
    if (search.size() < 2 || from > text.size() || search.size() > text.size() - from) {
        return ignoreCase ? findFolded(text, search, from) : text.find(search, from);
    }
    // The needle's least common byte between its ends (in markup: an
    // upper-case letter of a camel-case name before anything else), or its
    // middle one.
    const std::size_t lastByte = search.size() - 1;
    std::size_t key = search.size() / 2;
    int best = 4;
    for (std::size_t k = 1; k < lastByte && best > 1; ++k) {
        const int r = byteCommonness(ignoreCase ? lowerAscii(search[k]) : search[k]);
        if (r < best) {
            best = r;
            key = k;
        }
    }
    Anchors a{{0, key, lastByte}, {}, {}};
    for (int k = 0; k < 3; ++k) {
        const char c = search[a.off[k]];
        a.lower[k] = ignoreCase ? lowerAscii(c) : c;
        a.upper[k] = ignoreCase ? upperAscii(c) : c;
    }
    return ignoreCase ? findAnchored<true>(text, search, from, a) : findAnchored<false>(text, search, from, a);
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

void replaceAllInPlace(std::string& text, std::string_view search, std::string_view replacement, bool ignoreCase) {
    if (search.empty() || text.empty()) return;
    std::size_t hit = findRaw(text, search, 0, ignoreCase);
    if (hit == std::string_view::npos) return;
    if (replacement.size() > search.size()) {
        text = replaceAll(text, search, replacement, ignoreCase);
        return;
    }
    // Left to right, what is written never passes what is still to be read.
    char* const base = text.data();
    std::size_t write = hit;
    std::size_t copied = hit;
    while (hit != std::string_view::npos) {
        if (hit > copied) std::memmove(base + write, base + copied, hit - copied);
        write += hit - copied;
        if (!replacement.empty()) std::memcpy(base + write, replacement.data(), replacement.size());
        write += replacement.size();
        copied = hit + search.size();
        hit = findRaw(text, search, copied, ignoreCase);
    }
    if (text.size() > copied) std::memmove(base + write, base + copied, text.size() - copied);
    text.resize(write + (text.size() - copied));
}

Pos findFrom(std::string_view text, std::string_view search, Pos start, bool ignoreCase) {
    if (start > len(text) || search.empty() || start < 0) return 0;
    if (start == 0) start = 1;
    const std::size_t hit = findRaw(text, search, static_cast<std::size_t>(start - 1), ignoreCase);
    return hit == std::string_view::npos ? 0 : static_cast<Pos>(hit) + 1;
}

std::size_t findText(std::string_view text, std::string_view search, std::size_t from) {
    if (search.size() < 2 || from > text.size() || search.size() > text.size() - from) return text.find(search, from);
    return findRaw(text, search, from, false);
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
    std::size_t i = static_cast<std::size_t>(start - 1);
    const auto matchAt = [&](std::size_t at) {
        for (const auto& k : keys) {
            if (!k.empty() && k.size() <= text.size() - at && std::memcmp(base + at, k.data(), k.size()) == 0) return true;
        }
        return false;
    };
#if defined(__SSE2__)
    // Sixteen places at a time: those where a key's first two bytes stand
    // (its only byte, for a key of one), while the second loads stay inside.
    bool any = false;
    __m128i lead0[3], lead1[3];
    bool single[3];
    for (int k = 0; k < 3; ++k) {
        any = any || !keys[k].empty();
        lead0[k] = _mm_set1_epi8(keys[k].empty() ? '\0' : keys[k][0]);
        lead1[k] = _mm_set1_epi8(keys[k].size() < 2 ? '\0' : keys[k][1]);
        single[k] = keys[k].size() == 1;
    }
    for (; any && i + 17 <= text.size(); i += 16) {
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + 1));
        __m128i hit = _mm_setzero_si128();
        for (int k = 0; k < 3; ++k) {
            if (keys[k].empty()) continue;
            const __m128i e = _mm_cmpeq_epi8(b0, lead0[k]);
            hit = _mm_or_si128(hit, single[k] ? e : _mm_and_si128(e, _mm_cmpeq_epi8(b1, lead1[k])));
        }
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0; mask &= mask - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (matchAt(at)) return static_cast<Pos>(at) + 1;
        }
    }
#endif
    for (; i < text.size(); ++i) {
        if (lead[static_cast<unsigned char>(base[i])] && matchAt(i)) return static_cast<Pos>(i) + 1;
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
