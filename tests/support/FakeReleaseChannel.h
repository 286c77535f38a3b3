#pragma once
// A stand-in for the chat service's bot API inside the test program, as far as the release
// channel uses it: one FakeHttpServer on 127.0.0.1 that lists the channel's messages
// (GET /api/v10/channels/{id}/messages) and serves their attachments the way the service's CDN
// does, under signed links of the form /attachments/{channel}/{id}/{file name}?ex=..&is=..&hm=..&.
//
// Its answers are the service's own: the list is newest message first with snowflake ids and the
// message and attachment objects as the service sends them; a wrong or missing bot token gets 401
// {"message": "401: Unauthorized", "code": 0}; a user agent that is not the "DiscordBot (...)"
// form is turned away by the front proxy with 403 "error code: 1010"; another channel id gets 404
// {"message": "Unknown Channel", "code": 10003}; a channel the bot may not see 403 {"message":
// "Missing Access", "code": 50001}; a limit outside 1..100 400 "Invalid Form Body"; a rate limit
// 429 with {"message", "retry_after", "global"} and Retry-After. The messages are a person's, not
// the bot's own: without the message-content permission the service blanks content, embeds,
// attachments and components of every such message, and so does the fake.
//
// Attachment trouble (torn, stalled, throttled, expired links, wrong bytes, no Content-Length) is
// scripted with the attachment hook: it sees each attachment request and may answer in place of
// the fake.
//
// Any thread may call every member; the server's connection threads call in at the same time.
// Nothing throws: refusals are HTTP answers.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Testing {

// A bot token of the service's form: three base64url parts of 26, 6 and 38 characters.
inline constexpr const char* kFakeBotToken = "MTMwMDAwMDAwMDAwMDAwMDAwMQ.Gk3xQe.FakeReleaseChannelBotTokenForTests-001";
inline constexpr const char* kFakeChannelId = "1300000000000000042";

// One file attached to a message.
struct FakeFile {
    FakeFile() = default;
    FakeFile(std::string fileName, std::string bytes, std::optional<int64_t> announcedSize = std::nullopt)
        : fileName(std::move(fileName)), bytes(std::move(bytes)), announcedSize(announcedSize) {}

    std::string fileName;
    std::string bytes;
    // The "size" the message announces; the length of bytes when none.
    std::optional<int64_t> announcedSize;
};

struct FakeMessage {
    FakeMessage(std::string content, std::vector<FakeFile> files = {}, int64_t postedAtMs = 0)
        : content(std::move(content)), files(std::move(files)), postedAtMs(postedAtMs) {}

    std::string content;  // the message text exactly as posted
    std::vector<FakeFile> files;
    // When it was posted, in Unix milliseconds; 0 takes the fake's clock, which starts at
    // 2026-11-14 10:00 UTC and moves one minute per message, so later posts are newer.
    int64_t postedAtMs = 0;
};

// An attachment as the fake serves it, handed to the attachment hook.
struct FakeServedFile {
    std::string path;  // without the query, e.g. "/attachments/<channel>/<id>/Lorvex.001"
    std::string fileName;
    std::string bytes;
};

// Answers an attachment request in place of the fake; nullopt lets the fake answer.
using FakeAttachmentHook =
    std::function<std::optional<FakeReply>(const FakeServedFile& file, const RecordedRequest& request)>;

class FakeReleaseChannel {
public:
    FakeReleaseChannel();
    ~FakeReleaseChannel();
    FakeReleaseChannel(const FakeReleaseChannel&) = delete;
    FakeReleaseChannel& operator=(const FakeReleaseChannel&) = delete;

    // "http://127.0.0.1:PORT", the API address the program is pointed at.
    std::wstring BaseUrl() const;

    // The text of a release message: the version line, the notes, and "SHA-256: " with the hash
    // when one is given.
    static std::string ReleaseText(std::string_view versionLine, std::string_view notes = {},
                                   std::string_view sha256 = {});

    // Posts a message to the channel and returns its id.
    std::string Post(FakeMessage message);
    // The signed link of an attachment of a posted message, as the list gives it; empty when
    // there is none of that name.
    std::string AttachmentUrl(std::string_view fileName) const;

    // Whether the bot has the message-content permission (it has at first).
    void SetContentIntent(bool granted);
    // Whether the bot may see the channel (it may at first).
    void SetChannelVisible(bool visible);
    // The next message-list request gets a 429 asking to wait this long.
    void RateLimitNext(double retryAfterSeconds);
    // The next message-list request gets this answer instead.
    void AnswerNextList(FakeReply reply);

    // Serves these bytes at this path (no query) as the CDN would, besides the attachments.
    void ServeFile(std::string path, std::string bytes);
    // Replaces the hook that may answer attachment requests; an empty one removes it.
    void SetAttachmentHook(FakeAttachmentHook hook);

    std::vector<RecordedRequest> Requests() const;
    FakeHttpServer& Server();

private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<FakeHttpServer> server_;
};

}  // namespace Lorvex::Testing
