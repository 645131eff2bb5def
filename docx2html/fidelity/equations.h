// Equations: Office Math (OMML) as MathML.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// One m:oMath or m:oMathPara element as a MathML math element (display
// "block" for a paragraph of equations). Fractions, scripts, radicals, n-ary
// operators, delimiters, matrices, accents, bars, functions, limits, group
// characters, equation arrays and plain runs; the text stays as stored.
std::string ommlToMathml(std::string_view omml, bool display);

// Style rules that lay MathML out where the web view has no MathML of its
// own (they apply only where "display: math" is unknown).
const char* mathmlFallbackCss();

}  // namespace tavin
