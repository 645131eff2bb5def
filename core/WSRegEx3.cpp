#include "core/WSRegEx3.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cctype>

namespace tavin {

namespace {

constexpr const char* kNoMatch = "REQUIRE: There must be a successful match first";
constexpr const char* kBadIndex = "REQUIRE: Index <= SubmatchCount";

// Limits far beyond anything a real document needs; reaching one is an error,
// never "no match".
constexpr uint32_t kMatchLimit = 4000000000u;
constexpr uint32_t kDepthLimit = 4000000000u;
constexpr uint32_t kHeapLimitKiB = 8u * 1024u * 1024u;  // 8 GiB
constexpr std::size_t kJitStackStart = 64 * 1024;
constexpr std::size_t kJitStackMax = 1024u * 1024u * 1024u;  // reserved lazily

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string pcreMessage(int code) {
    PCRE2_UCHAR buf[256];
    if (pcre2_get_error_message(code, buf, sizeof buf) < 0) return "pattern matching failed";
    return reinterpret_cast<const char*>(buf);
}

}  // namespace

void TWSRegEx::Free::operator()(pcre2_real_code_8* p) const { pcre2_code_free(p); }
void TWSRegEx::Free::operator()(pcre2_real_match_data_8* p) const { pcre2_match_data_free(p); }
void TWSRegEx::Free::operator()(pcre2_real_match_context_8* p) const { pcre2_match_context_free(p); }
void TWSRegEx::Free::operator()(pcre2_real_jit_stack_8* p) const { pcre2_jit_stack_free(p); }

// The owners free whatever was made when a later allocation fails.
TWSRegEx::TWSRegEx()
    : matchData_(pcre2_match_data_create(kMaxGroups, nullptr)), matchContext_(pcre2_match_context_create(nullptr)) {
    if (!matchData_ || !matchContext_) throw Error("Out of memory");
    pcre2_set_match_limit(matchContext_.get(), kMatchLimit);
    pcre2_set_depth_limit(matchContext_.get(), kDepthLimit);
    pcre2_set_heap_limit(matchContext_.get(), kHeapLimitKiB);
}

TWSRegEx::~TWSRegEx() = default;

void TWSRegEx::discardCompiled() {
    code_.reset();
    jit_ = false;
    count_ = 0;
}

void TWSRegEx::setOptions(TWSRegExOptions options) {
    if (options == options_) return;
    options_ = options;
    compileOptions_ = 0;
    if (options & preCaseLess) compileOptions_ |= PCRE2_CASELESS;
    if (options & preMultiLine) compileOptions_ |= PCRE2_MULTILINE;
    if (options & preSingleLine) compileOptions_ |= PCRE2_DOTALL;
    if (options & preExtended) compileOptions_ |= PCRE2_EXTENDED;
    if (options & preAnchored) compileOptions_ |= PCRE2_ANCHORED;
    if (options & preDollarEndOnly) compileOptions_ |= PCRE2_DOLLAR_ENDONLY;
    // preExtra (unknown escapes are errors) is always on in PCRE2.
    if (options & preUnGreedy) compileOptions_ |= PCRE2_UNGREEDY;
    discardCompiled();
}

void TWSRegEx::setMatchLimit(uint32_t limit) { pcre2_set_match_limit(matchContext_.get(), limit); }

void TWSRegEx::setPattern(std::string_view pattern) {
    if (pattern == pattern_) return;
    pattern_ = pattern;
    discardCompiled();
}

void TWSRegEx::setSubject(std::string subject) {
    subject_ = std::move(subject);
    searchStart_ = 1;
    searchStop_ = static_cast<Pos>(subject_.size());
    count_ = 0;
}

std::string TWSRegEx::takeSubject() {
    std::string out = std::move(subject_);
    setSubject(std::string());
    return out;
}

void TWSRegEx::Compile() {
    if (pattern_.empty()) throw Error("TWSRegEx.Compile() - Please specify a regular expression in RegEx first");
    discardCompiled();
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    code_.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(), compileOptions_,
                              &errorCode, &errorOffset, nullptr));
    if (!code_) throw Error(pattern_);
    jit_ = pcre2_jit_compile(code_.get(), PCRE2_JIT_COMPLETE) == 0;
    if (jit_ && !jitStack_) {
        jitStack_.reset(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
        if (jitStack_) pcre2_jit_stack_assign(matchContext_.get(), nullptr, jitStack_.get());
    }
}

bool TWSRegEx::exec(Pos startOffset) {
    if (!code_) Compile();
    uint32_t flags = 0;
    if (execFlags_ & efNotBol) flags |= PCRE2_NOTBOL;
    if (execFlags_ & efNotEol) flags |= PCRE2_NOTEOL;
    if (execFlags_ & efNotEmpty) flags |= PCRE2_NOTEMPTY;
    if (searchStop_ < searchStart_) {
        count_ = -1;
        return false;
    }
    const int rc = pcre2_match(code_.get(), reinterpret_cast<PCRE2_SPTR>(subject_.data()),
                               static_cast<PCRE2_SIZE>(searchStop_), static_cast<PCRE2_SIZE>(startOffset), flags,
                               matchData_.get(), matchContext_.get());
    if (rc == PCRE2_ERROR_NOMATCH) {
        addWork(static_cast<std::uint64_t>(std::max<Pos>(searchStop_ - startOffset, 0)));
        count_ = -1;
        return false;
    }
    if (rc < 0) {
        count_ = -1;
        throw Error("Pattern matching failed (" + pcreMessage(rc) + "): " + pattern_);
    }
    // rc == 0: more groups took part than the vector holds; the first 99 count.
    count_ = rc == 0 ? kMaxGroups : rc;
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(matchData_.get());
    for (int i = 0; i < 2 * count_; ++i) {
        vector_[i] = ov[i] == PCRE2_UNSET ? 0 : static_cast<Pos>(ov[i]) + 1;
    }
    addWork(static_cast<std::uint64_t>(std::max<Pos>(vector_[1] - 1 - startOffset, 0)));
    searchStart_ = vector_[1];
    if (vector_[1] == vector_[0]) ++searchStart_;
    if (OnMatch) OnMatch(*this);
    return true;
}

bool TWSRegEx::Match() { return exec(0); }

bool TWSRegEx::MatchNext() { return exec(searchStart_ - 1); }

void TWSRegEx::requireMatch() const {
    if (count_ <= 0) throw Error(kNoMatch);
}

std::string TWSRegEx::MatchedText() const {
    requireMatch();
    return subject_.substr(static_cast<std::size_t>(vector_[0] - 1), static_cast<std::size_t>(vector_[1] - vector_[0]));
}

Pos TWSRegEx::MatchedOffset() const {
    requireMatch();
    return vector_[0];
}

Pos TWSRegEx::MatchedLength() const {
    requireMatch();
    return vector_[1] - vector_[0];
}

std::string TWSRegEx::SubmatchText(int n) const {
    requireMatch();
    if (n < 0 || n > SubmatchCount()) return {};
    const Pos s = vector_[2 * n], e = vector_[2 * n + 1];
    if (s <= 0 || e <= s) return {};
    return subject_.substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(e - s));
}

Pos TWSRegEx::SubmatchOffset(int n) const {
    requireMatch();
    if (n < 0 || n > SubmatchCount()) throw Error(kBadIndex);
    return vector_[2 * n];
}

Pos TWSRegEx::SubmatchLength(int n) const {
    requireMatch();
    if (n < 0 || n > SubmatchCount()) throw Error(kBadIndex);
    return vector_[2 * n + 1] - vector_[2 * n];
}

int TWSRegEx::GroupNumber(std::string_view name) {
    if (!code_) Compile();
    const std::string n(name);
    return pcre2_substring_number_from_name(code_.get(), reinterpret_cast<PCRE2_SPTR>(n.c_str()));
}

void TWSRegEx::insertGroup(std::string& out, int n, char caseLetter) const {
    if (n > SubmatchCount()) return;
    std::string g = SubmatchText(n);
    if (g.empty()) return;
    switch (caseLetter) {
        case 'U':
            for (auto& c : g) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            break;
        case 'L':
        case 'I':
            for (auto& c : g) c = lowerAscii(c);
            break;
        case 'F':
            for (auto& c : g) c = lowerAscii(c);
            g[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(g[0])));
            break;
        default:
            break;
    }
    out += g;
}

// Reads a group reference at t[j]: one digit, or two when that number does
// not exceed SubmatchCount; with braces also "{digits}" and "{name}".
bool TWSRegEx::readGroupNumber(std::string_view t, std::size_t j, bool braces, int& number, std::size_t& after) {
    if (j >= t.size()) return false;
    if (isDigit(t[j])) {
        number = t[j] - '0';
        after = j + 1;
        if (j + 1 < t.size() && isDigit(t[j + 1])) {
            const int two = number * 10 + (t[j + 1] - '0');
            if (two <= SubmatchCount()) {
                number = two;
                after = j + 2;
            }
        }
        return true;
    }
    if (!braces || t[j] != '{' || j + 1 >= t.size()) return false;
    std::size_t k = j + 1;
    if (isDigit(t[k])) {
        long long v = 0;
        while (k < t.size() && isDigit(t[k])) {
            if (v < 1000000) v = v * 10 + (t[k] - '0');
            ++k;
        }
        if (k >= t.size() || t[k] != '}') return false;
        number = static_cast<int>(v);
        after = k + 1;
        return true;
    }
    if (!isNameStart(t[k])) return false;
    while (k < t.size() && isNameChar(t[k])) ++k;
    if (k >= t.size() || t[k] != '}') return false;
    const int g = GroupNumber(t.substr(j + 1, k - j - 1));
    if (g < 0) return false;
    number = g;
    after = k + 1;
    return true;
}

std::string TWSRegEx::ExpandTemplate() {
    const std::string_view t = replacement_;
    const std::size_t n = t.size();
    std::string out;
    out.reserve(n + 64);
    std::size_t i = 0;
    // The last character is never examined as the start of a sequence.
    while (n > 0 && i < n - 1) {
        const char c = t[i];
        const char d = t[i + 1];
        if (c == '\\' && (d == '$' || d == '\\')) {
            out += d;
            i += 2;
        } else if (c == '\\' && (d == 'g' || d == 'G')) {
            if (i + 3 < n && t[i + 2] == '<' && isNameStart(t[i + 3])) {
                std::size_t k = i + 3;
                while (k < n && isNameChar(t[k])) ++k;
                if (k < n && t[k] == '>') {
                    const int g = GroupNumber(t.substr(i + 3, k - i - 3));
                    if (g >= 1) insertGroup(out, g, 0);
                    i = k + 1;
                } else {
                    out.append(t.substr(i, k - i));
                    i = k;
                }
            } else {
                out.append(t.substr(i, 2));
                i += 2;
            }
        } else if (c == '\\') {
            std::size_t j = i + 1;
            char caseLetter = 0;
            const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(d)));
            if (u == 'F' || u == 'I' || u == 'L' || u == 'U') {
                caseLetter = u;
                ++j;
            }
            int number = 0;
            std::size_t after = 0;
            if (readGroupNumber(t, j, false, number, after)) {
                insertGroup(out, number, caseLetter);
                i = after;
            } else {
                out += '\\';
                i += 1;
            }
        } else if (c == '$') {
            if (d == '$') {
                out += '$';
                i += 2;
                continue;
            }
            int number = 0;
            std::size_t after = 0;
            if (readGroupNumber(t, i + 1, true, number, after)) {
                insertGroup(out, number, 0);
                i = after;
            } else {
                out += '$';
                i += 1;
            }
        } else {
            out += c;
            i += 1;
        }
    }
    if (i < n) out.append(t.substr(i));
    return out;
}

const std::string& TWSRegEx::Replace(std::string_view templ) {
    requireMatch();
    replacement_ = templ;
    std::string r = ExpandTemplate();
    if (OnReplace) OnReplace(*this, r);
    const Pos offset = vector_[0];
    const Pos length = vector_[1] - vector_[0];
    // A splice moves everything after the match.
    addWork(r.size() + subject_.size() - static_cast<std::size_t>(offset - 1));
    subject_.replace(static_cast<std::size_t>(offset - 1), static_cast<std::size_t>(length), r);
    const Pos delta = static_cast<Pos>(r.size()) - length;
    searchStart_ += delta;
    searchStop_ += delta;
    count_ = 0;
    return subject_;
}

const std::string& TWSRegEx::ReplaceAllMatches(std::string text, std::string_view templ) {
    setSubject(std::move(text));
    replacement_ = templ;
    if (!Match()) return subject_;
    const bool expand = templ.find('$') != std::string_view::npos;
    std::string out;
    reserveText(out, subject_.size());
    std::size_t copied = 0;
    do {
        const std::size_t s = static_cast<std::size_t>(vector_[0] - 1);
        const std::size_t e = static_cast<std::size_t>(vector_[1] - 1);
        out.append(subject_, copied, s - copied);
        if (expand) {
            out += ExpandTemplate();
        } else {
            out.append(templ);
        }
        copied = e;
    } while (MatchNext());
    out.append(subject_, copied, std::string::npos);
    setSubject(std::move(out));
    return subject_;
}

std::vector<std::string> TWSRegEx::AllMatches(std::string text) {
    setSubject(std::move(text));
    std::vector<std::string> list;
    if (Match()) {
        do {
            list.push_back(MatchedText());
        } while (MatchNext());
    }
    return list;
}

const std::string& TWSRegEx::ReplaceEach(std::string text,
                                         const std::function<std::string(TWSRegEx&)>& templateFor) {
    setSubject(std::move(text));
    if (!Match()) return subject_;
    std::string out;
    reserveText(out, subject_.size() + subject_.size() / 8);
    std::size_t copied = 0;
    Pos delta = 0;
    do {
        const std::size_t s = static_cast<std::size_t>(vector_[0] - 1);
        const std::size_t e = static_cast<std::size_t>(vector_[1] - 1);
        replacement_ = templateFor(*this);
        std::string r = ExpandTemplate();
        if (OnReplace) OnReplace(*this, r);
        out.append(subject_, copied, s - copied);
        out += r;
        delta += static_cast<Pos>(r.size()) - static_cast<Pos>(e - s);
        copied = e;
        count_ = 0;
    } while (MatchNext());
    out.append(subject_, copied, std::string::npos);
    const Pos resume = searchStart_ + delta;
    setSubject(std::move(out));
    searchStart_ = resume;
    count_ = -1;
    return subject_;
}

void regexReplace(TWSRegEx& engine, std::string& text, std::string_view pattern, std::string_view templ) {
    engine.setPattern(pattern);
    engine.ReplaceAllMatches(std::move(text), templ);
    text = engine.takeSubject();
}

void regexDelete(TWSRegEx& engine, std::string& text, std::string_view pattern) {
    regexReplace(engine, text, pattern, "");
}

}  // namespace tavin
