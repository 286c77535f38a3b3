#pragma once
// Number text shared by the parser, the writer and the accessors. Independent of the C locale:
// the decimal separator is always the point.

#include <string>

namespace Lorvex::Json::Detail {

// Reads the longest prefix of [first, last) that the C library's strtod would read as a decimal
// number (optional sign, digits with an optional point, optional exponent; also inf and nan).
// Magnitudes beyond a double give infinity, below the smallest give zero. Returns the end of
// what was read, or first when nothing could be read.
const char* ReadNumber(const char* first, const char* last, double& out);

// The writer's form: whole numbers below 1e15 as integers, others with the fewest significant
// digits that read back to the same value (plain or with an exponent as printf's %g has it),
// "null" for infinities and NaN so the text stays JSON.
void AppendNumber(std::string& out, double value);

// Whole numbers below 1e15 as integers, others with six decimals ("0.700000").
std::string NumberLabel(double value);

}  // namespace Lorvex::Json::Detail
