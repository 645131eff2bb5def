// Full Fidelity: numbers in words and ordinal numbers in English, French,
// German, Spanish, Italian, Portuguese, Dutch, Russian and Polish, as the
// cardinalText, ordinalText and ordinal number formats write them.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// n in words, in lower case: 21 is "twenty-one", in French "vingt et un".
// Numbers words are known for (below a million; ordinals in Spanish,
// Portuguese, Russian and Polish below a thousand) else in digits.
std::string cardinalWords(int n, std::string_view language);
std::string ordinalWords(int n, std::string_view language);

// An ordinal in digits: "2nd", "2e", "2.", "2º", "2-й".
std::string ordinalDigits(int n, std::string_view language);

// Text with its first letter in upper case (Latin and Cyrillic letters).
std::string capitalised(std::string text);

}  // namespace tavin
