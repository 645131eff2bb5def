// The engine when PCRE2 runs out of memory while it is being made: the
// objects already made are freed. The test program's own definitions of
// PCRE2's create and free functions stand in for the library's, counting
// what is alive and failing on request; otherwise they pass every call on.
#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <dlfcn.h>
#include <pcre2.h>

#include "core/WSRegEx3.h"
#include "support/testutil.h"

namespace {

int failingMatchContexts = 0;
int liveMatchData = 0;
int liveMatchContexts = 0;

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

pcre2_match_data_8* pcre2_match_data_create_8(uint32_t pairs, pcre2_general_context_8* g) {
    static const auto create = real<pcre2_match_data_8* (*)(uint32_t, pcre2_general_context_8*)>("pcre2_match_data_create_8");
    pcre2_match_data_8* made = create(pairs, g);
    if (made) ++liveMatchData;
    return made;
}

void pcre2_match_data_free_8(pcre2_match_data_8* p) {
    static const auto release = real<void (*)(pcre2_match_data_8*)>("pcre2_match_data_free_8");
    if (p) --liveMatchData;
    release(p);
}

pcre2_match_context_8* pcre2_match_context_create_8(pcre2_general_context_8* g) {
    static const auto create = real<pcre2_match_context_8* (*)(pcre2_general_context_8*)>("pcre2_match_context_create_8");
    if (failingMatchContexts > 0) {
        --failingMatchContexts;
        return nullptr;
    }
    pcre2_match_context_8* made = create(g);
    if (made) ++liveMatchContexts;
    return made;
}

void pcre2_match_context_free_8(pcre2_match_context_8* p) {
    static const auto release = real<void (*)(pcre2_match_context_8*)>("pcre2_match_context_free_8");
    if (p) --liveMatchContexts;
    release(p);
}

}  // extern "C"

TEST(RegexAllocation, ASecondAllocationThatFailsFreesTheFirst) {
    const int data = liveMatchData, contexts = liveMatchContexts;
    failingMatchContexts = 1;
    EXPECT_EQ(testutil::errorOf([] { tavin::TWSRegEx rx; }), "Out of memory");
    EXPECT_EQ(failingMatchContexts, 0);
    EXPECT_EQ(liveMatchData, data);
    EXPECT_EQ(liveMatchContexts, contexts);

    // Made and destroyed whole, after matching with a compiled pattern.
    {
        tavin::TWSRegEx rx;
        EXPECT_EQ(liveMatchData, data + 1);
        rx.setPattern("a+");
        rx.setSubject("baa");
        EXPECT_TRUE(rx.Match());
    }
    EXPECT_EQ(liveMatchData, data);
    EXPECT_EQ(liveMatchContexts, contexts);
}
