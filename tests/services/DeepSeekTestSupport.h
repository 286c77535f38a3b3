#pragma once
// Helpers for the tests that talk to the fake provider.

#include <string>
#include <utility>

#include "App/Config/Config.h"
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

// One server-sent event of the provider's stream: a completion chunk with this delta and reason
// to finish (null while the reply goes on).
inline std::string Chunk(Json::Value delta, Json::Value finishReason = Json::Value()) {
    Json::Value choice;
    choice["index"] = Json::Value(0);
    choice["delta"] = std::move(delta);
    choice["logprobs"] = Json::Value();
    choice["finish_reason"] = std::move(finishReason);
    Json::Value root;
    root["id"] = Json::Value("chatcmpl-test");
    root["object"] = Json::Value("chat.completion.chunk");
    root["created"] = Json::Value(1735689600);
    root["model"] = Json::Value("deepseek-chat");
    root["system_fingerprint"] = Json::Value("fp_test");
    root["choices"] = Json::Value(Json::Array{choice});
    return SseData(root.Dump(false));
}

// One event carrying a text delta (UTF-8).
inline std::string Event(const std::string& text) {
    Json::Value delta;
    delta["content"] = Json::Value(text);
    return Chunk(std::move(delta));
}

// The texts below are built by functions, never from one another: each test file that includes
// this header carries its own copy of their initialisation, and nothing orders one variable's
// copies against another's across files (a clang build read kDone before it was made).
inline std::string DoneEvent() {
    return "data: [DONE]\n\n";
}
inline std::string FinishChunk() {
    return Chunk(Json::Value(Json::Object{{"content", Json::Value("")}}), Json::Value("stop"));
}

inline const std::string kDone = DoneEvent();

// The last chunk of a whole answer: it says why the model stopped.
inline const std::string kFinishChunk = FinishChunk();

// What ends a complete streamed answer: the chunk that says why it stopped, then "[DONE]".
inline const std::string kFinished = FinishChunk() + DoneEvent();

// The start of a streamed answer as the provider sends it: a keep-alive comment while the request
// waits for the model, then a chunk that names the role with empty content. Add the text events
// with Body and end with kFinished (or leave it cut). The provider frames it chunked, but Wine's
// WinHTTP hands each chunk over only when the next one begins, so progress tests would stall:
// the stream ends with the connection unless a test asks for chunks.
inline FakeReply ProviderStream() {
    FakeReply reply(200, "OK");
    reply.Header("Content-Type", "text/event-stream; charset=utf-8")
        .Header("Cache-Control", "no-cache")
        .Frame(Framing::CloseDelimited)
        .Body(": keep-alive\n\n")
        .Body(Chunk(Json::Value(Json::Object{{"role", Json::Value("assistant")}, {"content", Json::Value("")}})));
    return reply;
}

// A whole chat-completions answer with this content.
inline std::string WholeAnswer(const std::string& content) {
    return "{\"id\":\"x\",\"choices\":[{\"index\":0,\"message\":{\"role\":\"assistant\",\"content\":" +
           Json::Value(content).Dump(false) + "}}]}";
}

}  // namespace Lorvex::Testing
