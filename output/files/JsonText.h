// Numbers and strings as JSON text, for --info and the sprite sheet's atlas.
#pragma once

#include <string>

namespace framelot {

// A finite number as JSON (and the --info table) writes it: whole numbers
// without a point, others to three decimals with trailing zeros dropped
// ("1.000" is "1", never "1."). Not finite: "0".
std::string JsonNumber(double v);

// `s` as a quoted JSON string: quotes, backslashes and control characters
// escaped; bytes that are not well-formed UTF-8 (a file name from another
// system) become \ufffd, so the result is always valid JSON.
std::string JsonString(const std::string& s);

}  // namespace framelot
