#pragma once
// Small helpers shared by the HTTP client tests.

#include <chrono>
#include <string>

#include "foundation/Text.h"

namespace Lorvex::Testing {

// Seconds since construction, for generous upper bounds only.
class Stopwatch {
public:
    double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

inline std::string Narrow(const std::wstring& text) {
    return Text::ToUtf8(text);
}

inline std::wstring Wide(const std::string& text) {
    return Text::ToWide(text);
}

}  // namespace Lorvex::Testing
