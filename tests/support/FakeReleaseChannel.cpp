// The fake release channel: the message list with the bot API's checks and refusals, and the
// attachments under signed CDN links.

#include "tests/support/FakeReleaseChannel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "foundation/Text.h"
#include "foundation/json/Value.h"

namespace Lorvex::Testing {

namespace {

constexpr int64_t kSnowflakeEpochMs = 1420070400000;
constexpr int64_t kFirstPostMs = 1794650400000;  // 2026-11-14 10:00 UTC
// The releases are posted by a person: the service keeps the text of an app's own messages even
// without the content permission, so a channel the bot wrote itself would hide the problem.
constexpr const char* kPosterUserId = "1300000000000000007";
constexpr int64_t kLinkLifetimeSeconds = 24 * 3600;

struct StoredFile {
    std::string id;
    FakeFile file;
    std::string path;  // the link's path, without the query
    std::string url;   // the whole signed link
};

struct StoredMessage {
    std::string id;
    uint64_t snowflake = 0;
    std::string content;
    int64_t postedAtMs = 0;
    std::vector<StoredFile> files;
};

// Timestamp, worker 1, process 0 and a running increment, as the service builds its ids.
uint64_t Snowflake(int64_t unixMs, uint64_t increment) {
    return (static_cast<uint64_t>(unixMs - kSnowflakeEpochMs) << 22) | (uint64_t{1} << 17) | (increment & 0xFFF);
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string IsoTime(int64_t unixMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(unixMs)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> clock(time - day);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d000+00:00", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

FakeReply JsonError(int status, const char* message, int code) {
    Json::Value body;
    body["message"] = message;
    body["code"] = code;
    return FakeReply::Json(status, body.Dump(false));
}

FakeReply PlainText(int status, std::string text) {
    FakeReply reply(status, status == 404 ? "Not Found" : "Forbidden");
    reply.Header("Content-Type", "text/plain; charset=UTF-8");
    reply.Body(std::move(text));
    return reply;
}

std::pair<std::string, std::string> SplitTarget(const std::string& target) {
    const size_t question = target.find('?');
    if (question == std::string::npos) {
        return {target, {}};
    }
    return {target.substr(0, question), target.substr(question + 1)};
}

std::optional<std::string> QueryValue(const std::string& query, std::string_view name) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) {
            end = query.size();
        }
        const std::string_view pair = std::string_view(query).substr(start, end - start);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
            return std::string(pair.substr(name.size() + 1));
        }
        start = end + 1;
    }
    return std::nullopt;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           Text::EqualsAsciiNoCase(Text::ToWide(text.substr(text.size() - suffix.size())), Text::ToWide(suffix));
}

}  // namespace

struct FakeReleaseChannel::State {
    mutable std::mutex mutex;
    std::string baseUrl;
    std::vector<StoredMessage> messages;  // in posting order
    int64_t clockMs = kFirstPostMs - 60000;
    uint64_t counter = 0;
    bool contentIntent = true;
    bool channelVisible = true;
    std::deque<FakeReply> listAnswers;
    std::map<std::string, std::string> servedFiles;  // path -> bytes
    FakeAttachmentHook hook;

    Json::Value MessageJson(const StoredMessage& message) const {
        Json::Value author;
        author["id"] = kPosterUserId;
        author["username"] = "lorvex.dev";
        author["avatar"] = Json::Value();
        author["discriminator"] = "0";
        author["public_flags"] = 0;
        author["flags"] = 0;
        author["global_name"] = "Lorvex";

        Json::Value attachments = Json::Value::EmptyArray();
        if (contentIntent) {
            for (const StoredFile& stored : message.files) {
                Json::Value attachment;
                attachment["id"] = stored.id;
                attachment["filename"] = stored.file.fileName;
                attachment["size"] = stored.file.announcedSize.value_or(static_cast<int64_t>(stored.file.bytes.size()));
                attachment["url"] = stored.url;
                attachment["proxy_url"] = baseUrl + "/proxy" + stored.url.substr(baseUrl.size());
                if (EndsWithNoCase(stored.file.fileName, ".exe")) {
                    attachment["content_type"] = "application/x-msdos-program";
                }
                attachments.Push(std::move(attachment));
            }
        }

        Json::Value json;
        json["type"] = 0;
        json["content"] = contentIntent ? message.content : std::string();
        json["mentions"] = Json::Value::EmptyArray();
        json["mention_roles"] = Json::Value::EmptyArray();
        json["attachments"] = std::move(attachments);
        json["embeds"] = Json::Value::EmptyArray();
        json["timestamp"] = IsoTime(message.postedAtMs);
        json["edited_timestamp"] = Json::Value();
        json["flags"] = 0;
        json["components"] = Json::Value::EmptyArray();
        json["id"] = message.id;
        json["channel_id"] = kFakeChannelId;
        json["author"] = std::move(author);
        json["pinned"] = false;
        json["mention_everyone"] = false;
        json["tts"] = false;
        return json;
    }

    // Caller holds the mutex.
    FakeReply ListMessages(const RecordedRequest& request, const std::string& channel, const std::string& query) {
        const std::string agent = request.Header("User-Agent").value_or("");
        if (agent.rfind("DiscordBot (", 0) != 0) {
            return PlainText(403, "error code: 1010");
        }
        if (request.Header("Authorization").value_or("") != std::string("Bot ") + kFakeBotToken) {
            return JsonError(401, "401: Unauthorized", 0);
        }
        if (channel != kFakeChannelId) {
            return JsonError(404, "Unknown Channel", 10003);
        }
        if (!channelVisible) {
            return JsonError(403, "Missing Access", 50001);
        }
        int64_t limit = 50;
        if (const std::optional<std::string> text = QueryValue(query, "limit")) {
            limit = Text::TryParseInt(Text::ToWide(*text)).value_or(0);
            if (limit < 1 || limit > 100) {
                return JsonError(400, "Invalid Form Body", 50035);
            }
        }
        std::vector<const StoredMessage*> newestFirst;
        for (const StoredMessage& message : messages) {
            newestFirst.push_back(&message);
        }
        std::sort(newestFirst.begin(), newestFirst.end(),
                  [](const StoredMessage* x, const StoredMessage* y) { return x->snowflake > y->snowflake; });
        Json::Value list = Json::Value::EmptyArray();
        for (size_t i = 0; i < newestFirst.size() && static_cast<int64_t>(i) < limit; ++i) {
            list.Push(MessageJson(*newestFirst[i]));
        }
        return FakeReply::Json(200, list.Dump(false));
    }

    FakeReply Respond(const RecordedRequest& request) {
        const auto [path, query] = SplitTarget(request.target);
        std::unique_lock lock(mutex);
        const std::string prefix = "/api/v10/channels/";
        const std::string suffix = "/messages";
        if (path.rfind(prefix, 0) == 0 && path.size() > prefix.size() + suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
            if (!listAnswers.empty()) {
                FakeReply reply = std::move(listAnswers.front());
                listAnswers.pop_front();
                return reply;
            }
            return ListMessages(request, path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()),
                                query);
        }
        if (path.rfind("/api/", 0) == 0) {
            return JsonError(404, "404: Not Found", 0);
        }
        std::optional<FakeServedFile> served;
        for (const StoredMessage& message : messages) {
            for (const StoredFile& stored : message.files) {
                if (stored.path == path) {
                    served = FakeServedFile{path, stored.file.fileName, stored.file.bytes};
                }
            }
        }
        if (!served) {
            if (const auto file = servedFiles.find(path); file != servedFiles.end()) {
                served = FakeServedFile{path, path.substr(path.rfind('/') + 1), file->second};
            }
        }
        if (!served) {
            return PlainText(404, "404: Not Found");
        }
        const FakeAttachmentHook currentHook = hook;
        lock.unlock();
        if (currentHook) {
            if (std::optional<FakeReply> reply = currentHook(*served, request)) {
                return std::move(*reply);
            }
        }
        FakeReply reply(200, "OK");
        reply.Header("Content-Type", "application/octet-stream");
        reply.Body(served->bytes);
        return reply;
    }
};

FakeReleaseChannel::FakeReleaseChannel()
    : state_(std::make_shared<State>()), server_(std::make_unique<FakeHttpServer>()) {
    state_->baseUrl = Text::ToUtf8(server_->Url(L""));
    server_->SetHandler([state = state_](const RecordedRequest& request) { return state->Respond(request); });
}

FakeReleaseChannel::~FakeReleaseChannel() = default;

std::wstring FakeReleaseChannel::BaseUrl() const {
    return server_->Url(L"");
}

std::string FakeReleaseChannel::ReleaseText(std::string_view versionLine, std::string_view notes,
                                            std::string_view sha256) {
    std::string text(versionLine);
    if (!notes.empty()) {
        text += "\n";
        text += notes;
    }
    if (!sha256.empty()) {
        text += "\nSHA-256: ";
        text += sha256;
    }
    return text;
}

std::string FakeReleaseChannel::Post(FakeMessage message) {
    std::lock_guard lock(state_->mutex);
    State& state = *state_;
    state.clockMs = message.postedAtMs != 0 ? message.postedAtMs : state.clockMs + 60000;
    StoredMessage stored;
    stored.snowflake = Snowflake(state.clockMs, state.counter++);
    stored.id = std::to_string(stored.snowflake);
    stored.content = std::move(message.content);
    stored.postedAtMs = state.clockMs;
    const int64_t issued = state.clockMs / 1000;
    for (FakeFile& file : message.files) {
        StoredFile attachment;
        attachment.id = std::to_string(Snowflake(state.clockMs, state.counter++));
        attachment.path = "/attachments/" + std::string(kFakeChannelId) + "/" + attachment.id + "/" + file.fileName;
        const std::string expires = Hex(static_cast<uint64_t>(issued + kLinkLifetimeSeconds));
        const std::string signature = Text::Sha256Hex(attachment.path + expires);
        attachment.url = state.baseUrl + attachment.path + "?ex=" + expires +
                         "&is=" + Hex(static_cast<uint64_t>(issued)) + "&hm=" + signature + "&";
        attachment.file = std::move(file);
        stored.files.push_back(std::move(attachment));
    }
    state.messages.push_back(std::move(stored));
    return state.messages.back().id;
}

std::string FakeReleaseChannel::AttachmentUrl(std::string_view fileName) const {
    std::lock_guard lock(state_->mutex);
    for (const StoredMessage& message : state_->messages) {
        for (const StoredFile& stored : message.files) {
            if (stored.file.fileName == fileName) {
                return stored.url;
            }
        }
    }
    return {};
}

void FakeReleaseChannel::SetContentIntent(bool granted) {
    std::lock_guard lock(state_->mutex);
    state_->contentIntent = granted;
}

void FakeReleaseChannel::SetChannelVisible(bool visible) {
    std::lock_guard lock(state_->mutex);
    state_->channelVisible = visible;
}

void FakeReleaseChannel::RateLimitNext(double retryAfterSeconds) {
    Json::Value body;
    body["message"] = "You are being rate limited.";
    body["retry_after"] = retryAfterSeconds;
    body["global"] = false;
    FakeReply reply = FakeReply::Json(429, body.Dump(false));
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.0f", retryAfterSeconds < 1 ? 1.0 : retryAfterSeconds + 0.499);
    reply.Header("Retry-After", seconds);
    reply.Header("X-RateLimit-Scope", "user");
    AnswerNextList(std::move(reply));
}

void FakeReleaseChannel::AnswerNextList(FakeReply reply) {
    std::lock_guard lock(state_->mutex);
    state_->listAnswers.push_back(std::move(reply));
}

void FakeReleaseChannel::ServeFile(std::string path, std::string bytes) {
    std::lock_guard lock(state_->mutex);
    state_->servedFiles[std::move(path)] = std::move(bytes);
}

void FakeReleaseChannel::SetAttachmentHook(FakeAttachmentHook hook) {
    std::lock_guard lock(state_->mutex);
    state_->hook = std::move(hook);
}

std::vector<RecordedRequest> FakeReleaseChannel::Requests() const {
    return server_->Requests();
}

FakeHttpServer& FakeReleaseChannel::Server() {
    return *server_;
}

}  // namespace Lorvex::Testing
