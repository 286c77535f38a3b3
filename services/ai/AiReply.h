#pragma once
// What a language-model request gives back, and the options a reply is asked with.

#include <cstdint>
#include <functional>
#include <string>

namespace Lorvex::Services {

struct AiReply {
    std::wstring text;       // cleaned by the asking operation
    std::wstring error;      // Spanish, empty on success
    bool cancelled = false;  // the cancel flag was set when the request ended
    std::wstring speaker;    // name in front of a leading "Name:" of the uncleaned reply (Ask only)
};

struct AiOptions {
    double temperature = 0.7;
    int32_t maxTokens = 1000;
    bool stream = true;
};

// Receives the whole reply so far (not only the new part), on the worker thread.
using ProgressCallback = std::function<void(const std::wstring& text)>;

}  // namespace Lorvex::Services
