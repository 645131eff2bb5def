// The theme part (word/theme/theme1.xml) as the model holds it: the fonts
// of its font scheme, which styles and runs name by reference
// ("minorHAnsi"), the colours of its colour scheme, and the panose number
// of every typeface it names.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "docx2html/model/xml.h"

namespace tavin::model {

// The fonts of the theme's font scheme (a:majorFont, a:minorFont).
struct ThemeFonts {
    std::string majorLatin, majorEastAsia, majorComplex;
    std::string minorLatin, minorEastAsia, minorComplex;
    // The fonts of each script (a:font script="Arab"), major and minor.
    std::vector<std::pair<std::string, std::string>> majorScripts, minorScripts;
    // The font a theme reference names ("majorHAnsi", "minorBidi", ...), or empty.
    std::string font(std::string_view reference) const;
    // Where the scheme leaves its complex-script or East Asian font empty,
    // takes the font of the script that the theme's languages (settings'
    // w:themeFontLang: "ar-SA", "ja-JP") are written in, as Word does.
    void useLanguages(std::string_view complexLanguage, std::string_view eastAsianLanguage);
};

// The script, as the theme's script fonts name it ("Arab", "Jpan"), that a
// language tag ("ar-SA", "ja-JP") is written in; empty for the languages
// written in Latin, Greek or Cyrillic, and for tags it does not know.
std::string_view scriptOfLanguage(std::string_view language);

struct Theme {
    ThemeFonts fonts;
    // The colour scheme by name ("accent1", "dk1", ...): six hex digits.
    std::vector<std::pair<std::string, std::string>> colours;
    // Every latin, ea and cs typeface with its panose number, latin first.
    std::vector<std::pair<std::string, std::string>> panose;
    // A colour of the scheme, or empty.
    std::string_view colour(std::string_view name) const;
};

Theme readTheme(const XmlPart& theme, Report& report);

}  // namespace tavin::model
