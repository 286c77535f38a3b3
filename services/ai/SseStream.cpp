#include "services/ai/SseStream.h"

#include <string_view>

#include "foundation/Text.h"
#include "foundation/json/Value.h"

namespace Lorvex::Services {

SseStream::SseStream(const Async::Cancel& cancel, const ProgressCallback& progress)
    : cancel_(cancel), progress_(progress) {
}

bool SseStream::OnStreamChunk(const char* data, uint64_t size) {
    if (cancel_.IsSet()) {
        return false;
    }
    buffer_.append(data, static_cast<size_t>(size));
    if (done_) {
        return false;
    }
    bool added = false;
    size_t start = 0;
    while (!done_) {
        const size_t lineFeed = buffer_.find('\n', start);
        if (lineFeed == std::string::npos) {
            break;
        }
        std::string_view line(buffer_.data() + start, lineFeed - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        added = ReadLine(line) || added;
        start = lineFeed + 1;
    }
    // Consumed lines go at once, so only an unfinished line waits for the next block.
    buffer_.erase(0, start);
    if (added && progress_) {
        progress_(Text::ToWide(reply_));
    }
    return !done_;
}

bool SseStream::ReadLine(std::string_view line) {
    constexpr std::string_view kData = "data:";
    // Comments (": keep-alive"), other event fields and blank lines carry no text.
    if (line.size() <= 4 || line.substr(0, kData.size()) != kData) {
        return false;
    }
    std::string_view payload = line.substr(kData.size());
    while (!payload.empty() && payload.front() == ' ') {
        payload.remove_prefix(1);
    }
    if (payload == "[DONE]") {
        done_ = true;
        return false;
    }
    bool ok = false;
    const Json::Value root = Json::Value::Parse(payload, &ok);
    if (!ok) {
        return false;
    }
    const Json::Value& choices = root.Find("choices");
    if (choices.kind != Json::Type::Array || choices.Size() == 0) {
        return false;
    }
    const Json::Value& choice = choices.Items().front();
    if (choice.kind != Json::Type::Object) {
        return false;
    }
    // null while the reply goes on; the closing chunk names the reason ("stop", "length", ...).
    const Json::Value& reason = choice.Find("finish_reason");
    if (reason.kind == Json::Type::String && !reason.text.empty()) {
        finished_ = true;
    }
    const Json::Value& delta = choice.Find("delta");
    if (delta.kind != Json::Type::Object) {
        return false;
    }
    const Json::Value& content = delta.Find("content");
    if (content.kind != Json::Type::String || content.text.empty()) {
        return false;
    }
    reply_ += content.text;
    return true;
}

}  // namespace Lorvex::Services
