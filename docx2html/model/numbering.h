// The numbering part (word/numbering.xml) as the model holds it: abstract
// list definitions with their nine levels, and the numbers (w:num) that
// use them with their level and start overrides. Ids are matched whole:
// list 1 is never list 12.
#pragma once

#include <array>
#include <map>
#include <string>
#include <unordered_map>

#include "docx2html/model/xml.h"

namespace tavin::model {

// One level of a list definition.
struct ListLevel {
    int start = 0;
    std::string format = "decimal";  // numFmt: decimal, lowerLetter, upperRoman, bullet, none, ...
    std::string text;                // lvlText, with %1..%9 standing for the levels' numbers
    int restart = -1;                // lvlRestart: -1 the usual rule, 0 never, else after that level (1-based)
    bool legal = false;              // isLgl: every number in decimal
    std::string suffix = "tab";      // suff: tab, space or nothing
    std::string font;                // the label's font (rFonts ascii), for symbol bullets
};

struct AbstractList {
    std::array<ListLevel, 9> levels;
    std::string styleLink;  // numStyleLink: the numbering style whose list this one is
};

struct ListNumber {
    std::string abstractId;
    std::map<int, int> startOverride;
    std::map<int, ListLevel> levelOverride;
};

struct Numbering {
    std::unordered_map<std::string, AbstractList> abstracts;  // by abstractNumId
    std::unordered_map<long, ListNumber> numbers;              // by numId
};

// The first definition of an id wins.
Numbering readNumbering(const XmlPart& part, Report& report);

}  // namespace tavin::model
