// TWSRegEx: a stateful regular-expression engine on PCRE2.
//
// It compiles Pattern on demand (once per pattern or option change, with
// PCRE2's JIT where available), runs matches over Subject, gives access to the
// whole match and its groups in 1-based positions, expands replacement
// templates and replaces one or all matches. One instance is not thread-safe;
// every conversion owns its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/uStr.h"

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;
struct pcre2_real_match_context_8;
struct pcre2_real_jit_stack_8;

namespace tavin {

// Compile options (a set: combine with |).
enum TWSRegExOption : unsigned {
    preCaseLess = 0x0001,
    preMultiLine = 0x0002,
    preSingleLine = 0x0004,
    preExtended = 0x0008,
    preAnchored = 0x0010,
    preDollarEndOnly = 0x0020,
    preExtra = 0x0040,
    preUnGreedy = 0x0200,
};
using TWSRegExOptions = unsigned;

// Match-time flags (a set: combine with |).
enum TWSRegExExecFlag : unsigned {
    efNotBol = 0x0080,
    efNotEol = 0x0100,
    efNotEmpty = 0x0400,
};
using TWSRegExExecFlags = unsigned;

class TWSRegEx {
public:
    // Room for the whole match and 99 groups.
    static constexpr int kMaxGroups = 100;

    TWSRegEx();
    ~TWSRegEx();
    TWSRegEx(const TWSRegEx&) = delete;
    TWSRegEx& operator=(const TWSRegEx&) = delete;

    TWSRegExOptions Options() const { return options_; }
    void setOptions(TWSRegExOptions options);

    const std::string& Pattern() const { return pattern_; }
    void setPattern(std::string_view pattern);

    const std::string& Replacement() const { return replacement_; }
    void setReplacement(std::string_view replacement) { replacement_ = replacement; }

    TWSRegExExecFlags ExecFlags() const { return execFlags_; }
    void setExecFlags(TWSRegExExecFlags flags) { execFlags_ = flags; }

    const std::string& Subject() const { return subject_; }
    void setSubject(std::string subject);
    // Hands the subject over to the caller, leaving it empty.
    std::string takeSubject();

    Pos SearchStart() const { return searchStart_; }
    Pos SearchStop() const { return searchStop_; }

    // The match limit (how much work one match attempt may do); the default
    // is far beyond what any real document needs.
    void setMatchLimit(uint32_t limit);

    // Where to count the subject bytes each search reads (from its start
    // offset to the end of its match, or to the search stop when nothing
    // matches) and each splice moves; nullptr counts nothing. The count is
    // deterministic: it depends on the texts and patterns alone.
    void countWorkIn(std::uint64_t* counter) { work_ = counter; }

    void Compile();
    bool Match();
    bool MatchNext();
    bool HasMatch() const { return count_ > 0; }

    std::string MatchedText() const;
    Pos MatchedOffset() const;
    Pos MatchedLength() const;
    int SubmatchCount() const { return count_ - 1; }
    std::string SubmatchText(int n) const;
    Pos SubmatchOffset(int n) const;
    Pos SubmatchLength(int n) const;
    int GroupNumber(std::string_view name);

    std::string ExpandTemplate();
    const std::string& Replace(std::string_view templ);
    const std::string& ReplaceAllMatches(std::string text, std::string_view templ);
    std::vector<std::string> AllMatches(std::string text);

    // The walk "Match; while matched: Replace(templateFor(*this)); MatchNext"
    // over text, done in one rebuild instead of one splice per match. The
    // callback reads the current match and returns the template for it. The
    // result equals the walk's for patterns without lookbehind (the program's
    // patterns have none). Subject becomes the result, which is returned.
    const std::string& ReplaceEach(std::string text,
                                   const std::function<std::string(TWSRegEx&)>& templateFor);

    std::function<void(TWSRegEx&)> OnMatch;
    std::function<void(TWSRegEx&, std::string&)> OnReplace;

private:
    void discardCompiled();
    bool exec(Pos startOffset);
    void requireMatch() const;
    void insertGroup(std::string& out, int n, char caseLetter) const;
    bool readGroupNumber(std::string_view t, std::size_t j, bool braces, int& number, std::size_t& after);

    TWSRegExOptions options_ = 0;
    uint32_t compileOptions_ = 0;
    std::string pattern_;
    std::string replacement_;
    TWSRegExExecFlags execFlags_ = efNotEmpty;
    std::string subject_;
    Pos searchStart_ = 1;
    Pos searchStop_ = 0;
    int count_ = 0;
    Pos vector_[2 * kMaxGroups] = {};

    void addWork(std::uint64_t bytes) {
        if (work_) *work_ += bytes;
    }

    // Owners of the PCRE2 objects, each freed by its own free function; in
    // this order so that the compiled code goes first.
    struct Free {
        void operator()(pcre2_real_code_8* p) const;
        void operator()(pcre2_real_match_data_8* p) const;
        void operator()(pcre2_real_match_context_8* p) const;
        void operator()(pcre2_real_jit_stack_8* p) const;
    };
    std::unique_ptr<pcre2_real_match_data_8, Free> matchData_;
    std::unique_ptr<pcre2_real_match_context_8, Free> matchContext_;
    std::unique_ptr<pcre2_real_jit_stack_8, Free> jitStack_;
    std::unique_ptr<pcre2_real_code_8, Free> code_;
    bool jit_ = false;
    std::uint64_t* work_ = nullptr;
};

// Replace every match of pattern in text by template, on the given engine.
void regexReplace(TWSRegEx& engine, std::string& text, std::string_view pattern, std::string_view templ);
void regexDelete(TWSRegEx& engine, std::string& text, std::string_view pattern);

}  // namespace tavin
