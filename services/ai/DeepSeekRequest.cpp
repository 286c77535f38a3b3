// One chat-completions exchange with the provider, and the Spanish texts of its failures.

#include <utility>

#include "App/Config/Config.h"
#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "foundation/net/Http.h"
#include "services/ai/DeepSeekService.h"
#include "services/ai/SseStream.h"

namespace Lorvex::Services {

namespace {

constexpr uint32_t kTimeoutMs = 120000;
constexpr size_t kErrorDetailBytes = 300;
constexpr const wchar_t* kUnreadableAnswer = L"Respuesta de DeepSeek no válida.";

std::string RequestBody(const std::vector<DeepSeekService::ApiMessage>& messages, int maxTokens, double temperature,
                        bool stream) {
    Json::Value list = Json::Value::EmptyArray();
    for (const DeepSeekService::ApiMessage& message : messages) {
        Json::Value item;
        item["role"] = Json::Value(message.role);
        item["content"] = Json::Value(message.content);
        list.Push(std::move(item));
    }
    Json::Value body;
    body["model"] = Json::Value("deepseek-chat");
    body["messages"] = std::move(list);
    body["max_tokens"] = Json::Value(maxTokens);
    body["temperature"] = Json::Value(temperature);
    body["top_p"] = Json::Value(0.9);
    body["presence_penalty"] = Json::Value(0.5);
    body["frequency_penalty"] = Json::Value(0.5);
    if (stream) {
        body["stream"] = Json::Value(true);
    }
    return body.Dump(false);
}

// The text at choices[0].message.content of a whole answer; empty when any step is missing.
std::wstring WholeReplyText(const Json::Value& root) {
    const Json::Value& choices = root.Find("choices");
    if (choices.kind != Json::Type::Array || choices.Size() == 0) {
        return {};
    }
    const Json::Value& choice = choices.Items().front();
    if (choice.kind != Json::Type::Object) {
        return {};
    }
    const Json::Value& message = choice.Find("message");
    if (message.kind != Json::Type::Object) {
        return {};
    }
    return message.Find("content").AsWString();
}

// Whether the answer says it is a server-sent event stream (the media type, whatever follows it).
bool IsEventStream(const Http::Response& response) {
    const auto found = response.headers.find(L"content-type");
    if (found == response.headers.end()) {
        return false;
    }
    const std::wstring type = Text::ToLowerAscii(found->second);
    return type.rfind(L"text/event-stream", 0) == 0;
}

// A stream that ended without "[DONE]" after the answer had begun.
std::wstring CutStreamText(Http::Failure failure) {
    std::wstring text = L"La conexión con DeepSeek se cortó antes del final de la respuesta";
    if (failure == Http::Failure::Timeout) {
        text += L" (dejó de llegar texto)";
    }
    return text + L".";
}

}  // namespace

AiReply DeepSeekService::Request(const std::vector<ApiMessage>& messages, int maxTokens, double temperature,
                                 bool stream, const ProgressCallback& progress, const Async::Cancel& cancel) {
    const bool streamed = stream && static_cast<bool>(progress);

    Http::Request request;
    request.method = L"POST";
    request.url = Config::DeepSeekBaseUrl() + L"/v1/chat/completions";
    request.headers = {{L"Authorization", L"Bearer " + Config::DeepSeekApiKey()},
                       {L"Accept", streamed ? L"text/event-stream" : L"application/json"}};
    request.contentType = L"application/json";
    request.body = RequestBody(messages, maxTokens, temperature, streamed);
    request.timeout = kTimeoutMs;

    AiReply reply;
    if (streamed) {
        SseStream events(cancel, progress);
        bool answered = false;
        // The cancellable transfer, so that a stop ends the request at once even while the
        // server sends nothing, not only when the next block arrives.
        const Http::Response response = Http::Stream(
            request,
            [&events, &answered](const char* data, uint64_t size) {
                answered = true;
                return events.OnStreamChunk(data, size);
            },
            cancel);
        reply.text = Text::ToWide(events.Reply());
        reply.cancelled = cancel.IsSet();
        // After "[DONE]" the sink ends the transfer itself, which reads as a failed write: the
        // stream is complete whatever the status says. The finish reason comes in the last chunk
        // before "[DONE]": once it is in, the model had finished and only the marker was lost.
        if (reply.cancelled || events.Done() || events.Finished()) {
            return reply;
        }
        if (Http::IsSuccess(response.status) && !IsEventStream(response) && events.Reply().empty()) {
            // A page of a proxy or a portal answering in the provider's place: nothing was cut,
            // the answer was never one the reply could be read from.
            reply.error = kUnreadableAnswer;
        } else if (Http::IsSuccess(response.status) || (response.status == 0 && answered)) {
            // The provider always ends a stream with a finish reason and "[DONE]": without either
            // the reply was cut, by a connection that closed cleanly or broke, and what arrived is
            // only its start.
            reply.error = CutStreamText(response.failure);
        } else {
            reply.error = ErrorText(response);
        }
        return reply;
    }

    const Http::Response response = Http::Send(request);
    if (cancel.IsSet()) {
        reply.cancelled = true;
        return reply;
    }
    if (!Http::IsSuccess(response.status)) {
        reply.error = ErrorText(response);
        return reply;
    }
    bool ok = false;
    const Json::Value root = Json::Value::Parse(response.body, &ok);
    if (!ok) {
        reply.error = kUnreadableAnswer;
        return reply;
    }
    reply.text = WholeReplyText(root);
    return reply;
}

std::wstring DeepSeekService::ErrorText(const Http::Response& response) {
    if (response.status == 0) {
        return L"No se pudo hablar con DeepSeek. " + Http::ErrorSentence(response) + L".";
    }
    return ErrorText(response.body, response.status);
}

std::wstring DeepSeekService::ErrorText(const std::string& body, uint32_t status) {
    std::wstring detail = Json::Value::Parse(body).Find("error").Find("message").AsWString();
    if (detail.empty()) {
        detail = Text::ToWide(std::string_view(body).substr(0, kErrorDetailBytes));
    }
    switch (status) {
    case 401:
        return L"La clave de la API de DeepSeek no es válida. " + detail;
    case 402:
        return L"La cuenta de DeepSeek no tiene saldo. " + detail;
    case 429:
        return L"Demasiadas peticiones a DeepSeek, espera un momento. " + detail;
    default:
        return L"Error de DeepSeek (" + std::to_wstring(status) + L"): " + detail;
    }
}

}  // namespace Lorvex::Services
