#pragma once
// Helpers for the tests that talk to the fake provider.

#include <string>

#include "App/Config.h"
#include "foundation/json/Value.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Testing {

inline const std::wstring kTestApiKey = L"sk-0123456789abcdef0123456789abcdef";

// Points the language-model client at a test server for one test, then back.
class PointAt {
public:
    explicit PointAt(const std::wstring& baseUrl)
        : savedUrl_(Config::DeepSeekBaseUrl()), savedKey_(Config::DeepSeekApiKey()) {
        Config::SetDeepSeekForTesting(baseUrl, kTestApiKey);
    }
    explicit PointAt(const FakeHttpServer& server) : PointAt(server.Url(L"")) {}
    ~PointAt() { Config::SetDeepSeekForTesting(savedUrl_, savedKey_); }
    PointAt(const PointAt&) = delete;
    PointAt& operator=(const PointAt&) = delete;

private:
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

// One server-sent event carrying a text delta (UTF-8).
inline std::string Event(const std::string& text) {
    Json::Value delta;
    delta["content"] = Json::Value(text);
    Json::Value choice;
    choice["delta"] = delta;
    Json::Value root;
    root["choices"] = Json::Value(Json::Array{choice});
    return SseData(root.Dump(false));
}

inline const std::string kDone = "data: [DONE]\n\n";

// A whole chat-completions answer with this content.
inline std::string WholeAnswer(const std::string& content) {
    return "{\"id\":\"x\",\"choices\":[{\"index\":0,\"message\":{\"role\":\"assistant\",\"content\":" +
           Json::Value(content).Dump(false) + "}}]}";
}

}  // namespace Lorvex::Testing
