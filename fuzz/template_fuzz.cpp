// The pattern engine's template expansion on fuzzed subjects and templates,
// with fixed patterns that have named, numbered, optional and more than 99
// groups. The three ways of replacing every match (ReplaceAllMatches,
// ReplaceEach, and the Match / Replace / MatchNext walk) must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "core/WSRegEx3.h"

namespace {

std::string manyGroups() {
    std::string p;
    for (int i = 0; i < 110; ++i) p += "(.)?";
    return p + "(?<tail>z)?";
}

const std::string kPatterns[] = {
    R"re((?<open><)(?<name>[a-z]+)(?: (\w+)="([^"]*)")?(/)?(>)|(\d)(\d)(\d)(\d)(\d)(\d)?)re",
    "(a)?(b)?(c)?(d)?(e)?(f)?(g)?(h)?(i)?(j)?(k)?(?<last>l)",
    R"((?<word>\w+))",
    manyGroups(),
    R"((<[^<>]*[^\s<>])\s+/>)",
};

[[noreturn]] void fail() { std::abort(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string& pattern = kPatterns[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kPatterns) - 1)];
    const std::string templ = in.ConsumeRandomLengthString(256);
    const std::string subject = in.ConsumeRemainingBytesAsString();

    tavin::TWSRegEx rx;
    rx.setOptions(tavin::preCaseLess | tavin::preSingleLine);
    rx.setPattern(pattern);
    try {
        // The walk, with every group read on the way.
        rx.setSubject(subject);
        int rounds = 0;
        if (rx.Match()) {
            do {
                const int groups = rx.SubmatchCount();
                if (groups < 0 || groups >= tavin::TWSRegEx::kMaxGroups) fail();
                for (int n = -1; n <= groups + 1; ++n) {
                    const std::string g = rx.SubmatchText(n);
                    if (n >= 0 && n <= groups && !g.empty() &&
                        rx.Subject().compare(static_cast<std::size_t>(rx.SubmatchOffset(n) - 1), g.size(), g) != 0)
                        fail();
                }
                // Expanding the template alone, then replacing the match with it.
                rx.setReplacement(templ);
                const std::string expanded = rx.ExpandTemplate();
                const std::size_t before = rx.Subject().size();
                const auto length = static_cast<std::size_t>(rx.MatchedLength());
                if (rx.Replace(templ).size() != before - length + expanded.size()) fail();
            } while (++rounds < 1000 && rx.MatchNext());
        }
        const std::string walked = rx.Subject();
        const bool complete = rounds < 1000;

        const std::string each = rx.ReplaceEach(subject, [&](tavin::TWSRegEx&) { return templ; });
        if (complete && each != walked) fail();

        const std::string all = rx.ReplaceAllMatches(subject, templ);
        // Without "$" the template is inserted as it stands.
        if (templ.find('$') != std::string::npos && all != each) fail();
    } catch (const tavin::Error&) {
    }
    return 0;
}
