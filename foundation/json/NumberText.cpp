#include "foundation/json/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace Lorvex::Json::Detail {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// from_chars leaves the result untouched when the magnitude is out of range, where strtod gives
// infinity or zero. The decimal exponent of the first significant digit tells which of the two
// applies; [first, last) is the part from_chars consumed, without its sign.
double OutOfRangeValue(const char* first, const char* last, bool negative) {
    constexpr int64_t clamp = 1000000;
    const char* p = first;
    int64_t intDigits = 0;
    int64_t leadInt = -1;
    int64_t fracDigits = 0;
    int64_t leadFrac = -1;
    for (; p < last && IsDigit(*p); ++p) {
        if (leadInt < 0 && *p != '0') {
            leadInt = intDigits;
        }
        if (intDigits < clamp) {
            ++intDigits;
        }
    }
    if (p < last && *p == '.') {
        ++p;
        for (; p < last && IsDigit(*p); ++p) {
            if (leadInt < 0 && leadFrac < 0 && *p != '0') {
                leadFrac = fracDigits;
            }
            if (fracDigits < clamp) {
                ++fracDigits;
            }
        }
    }
    int64_t exponent = 0;
    if (p < last && (*p == 'e' || *p == 'E')) {
        ++p;
        bool minus = false;
        if (p < last && (*p == '+' || *p == '-')) {
            minus = *p == '-';
            ++p;
        }
        for (; p < last && IsDigit(*p); ++p) {
            if (exponent < clamp) {
                exponent = exponent * 10 + (*p - '0');
            }
        }
        if (minus) {
            exponent = -exponent;
        }
    }
    int64_t lead = leadInt >= 0 ? intDigits - 1 - leadInt : -(leadFrac + 1);
    double magnitude = lead + exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

}  // namespace

const char* ReadNumber(const char* first, const char* last, double& out) {
    const char* subject = first;
    bool negative = false;
    if (subject < last && *subject == '+') {
        ++subject;
        // strtod takes one sign only; from_chars would accept the minus of "+-1".
        if (subject < last && (*subject == '-' || *subject == '+')) {
            return first;
        }
    } else if (subject < last && *subject == '-') {
        negative = true;
    }
    double value = 0.0;
    auto [end, error] = std::from_chars(subject, last, value);
    if (error == std::errc::result_out_of_range) {
        const char* digits = negative ? subject + 1 : subject;
        out = OutOfRangeValue(digits, end, negative);
        return end;
    }
    if (error != std::errc()) {
        return first;
    }
    out = value;
    return end;
}

void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[64];
    std::to_chars_result result;
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
        out.append(buffer, result.ptr);
        return;
    }
    // As few significant digits as read back to the same value (0.7, not 0.69999999999999996),
    // laid out in the plain or exponent form that printf's %g picks for that many digits. The
    // digits come from the shortest form alone: printing again with that precision rounds the
    // exact value, and beside a power of two, whose lower neighbour is nearer than its upper one,
    // that may give a text that reads back one step lower (2^-24 as 5.960464477539062e-08).
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const char* const first = buffer;
    const char* const end = result.ptr;
    const char* const lead = *first == '-' ? first + 1 : first;
    const char* const mark = std::find(lead, end, 'e');
    // "d.ddd" or a lone "d" before the exponent; [rest, mark) are the digits after the first.
    const char* const rest = std::min(lead + 2, mark);
    const int digits = 1 + static_cast<int>(mark - rest);
    int exponent = 0;
    std::from_chars(mark + (mark[1] == '+' ? 2 : 1), end, exponent);
    if (exponent < -4 || exponent >= digits) {
        // The shortest form is already %g's: at least two exponent digits, with their sign.
        out.append(first, end);
        return;
    }
    out.append(first, lead);
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out.push_back(*lead);
        out.append(rest, mark);
        return;
    }
    out.push_back(*lead);
    out.append(rest, rest + exponent);
    if (rest + exponent < mark) {
        out.push_back('.');
        out.append(rest + exponent, mark);
    }
}

std::string NumberLabel(double value) {
    // The longest fixed form of a double is 309 integer digits, a sign, a point and six decimals.
    char buffer[400];
    std::to_chars_result result;
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    }
    return std::string(buffer, result.ptr);
}

}  // namespace Lorvex::Json::Detail
