// Full Fidelity: numbers as list labels and note marks write them, in every
// number format a document names (numFmt), and numbers in words in the
// document's language.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// n (0 or more) in a number format: 4 in lowerRoman is "iv", 3 in
// decimalEnclosedCircle "③", 7 in chineseCounting "七", 2 in ordinalText
// "Second" (English) or "Deuxième" (French). language is a language tag
// ("fr-FR"); the ordinals and the number words follow it, English when it
// is empty or unknown. The text is UTF-8 and holds no markup characters;
// "bullet" and "none" write nothing, an unknown format writes decimal, and
// a format that has no writing for n (letters of an alphabet past its
// range, words past the millions) writes decimal too.
std::string formatNumber(int n, std::string_view format, std::string_view language = {});

// The primary language of a language tag, in lower case: "fr-FR" -> "fr".
std::string primaryLanguage(std::string_view tag);

}  // namespace tavin
