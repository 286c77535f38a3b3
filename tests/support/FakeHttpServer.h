#pragma once
// An HTTP/1.1 server inside the test program: a Winsock listener on 127.0.0.1 with a port of the
// system's choosing, a thread that accepts and one more for each connection being served (kept to
// serve a later one). Each test scripts the
// answers: status and headers, the body in separate writes with pauses or test-controlled gates
// between them, the framing (length, chunked or until the connection closes), and an early or
// abortive close. Connections are served at the same time, as a real server serves them, so one
// that stalls holds up no other; replies still go out in the order the connections were accepted:
// the n-th connection that sends a request gets the n-th reply and is the n-th recorded request,
// and any connection after the last reply is closed without an answer, unless a handler is set:
// then a request that finds no scripted reply waiting is answered by the handler, so a stateful
// fake can serve any number of requests. The handler runs on the connection's thread, possibly
// beside another connection's call, and must not throw.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Lorvex::Testing {

// How the client learns where the body ends.
enum class Framing { ContentLength, Chunked, CloseDelimited };

class FakeReply {
public:
    explicit FakeReply(int status = 200, std::string reason = "OK");

    // A whole JSON body with its Content-Type and Content-Length.
    static FakeReply Json(int status, std::string body);
    // A server-sent-event stream that ends when the connection closes; add events with Body.
    static FakeReply EventStream(int status = 200);
    // Exactly these bytes (status line, headers, body), then the connection closes.
    static FakeReply Raw(std::string bytes);
    // Reads the request and never answers; the connection stays open until the server stops.
    static FakeReply Silent();
    // Reads the request and resets the connection (an abortive close) before sending anything.
    static FakeReply Drop();

    FakeReply& Header(std::string name, std::string value);
    FakeReply& Frame(Framing framing);
    // The Content-Length to announce instead of the sum of the pieces.
    FakeReply& AnnounceLength(uint64_t length);
    // One piece of body, sent in a write of its own (one chunk when chunked). Pieces written back
    // to back may reach the client as one block; an AwaitRelease between them keeps them apart.
    FakeReply& Body(std::string piece);
    FakeReply& Pause(int milliseconds);
    // Waits until the test calls Release with the same gate (each Release lets one AwaitRelease of
    // its gate through, of whichever connection takes it first). Replies that wait at once on
    // gates of their own are released in the order the test chooses.
    FakeReply& AwaitRelease(int gate = 0);
    // Sends nothing more and keeps the connection until the client closes it or the server stops.
    FakeReply& Stall();
    // Closes the connection now, leaving the body unfinished.
    FakeReply& Cut();
    // Resets the connection now (an abortive close).
    FakeReply& Reset();

private:
    friend class FakeHttpServer;
    struct Action {
        enum class Kind { Send, Pause, Await, Stall, Cut, Reset } kind;
        std::string bytes;
        int milliseconds = 0;  // a pause's length; an await's gate
    };

    int status_;
    std::string reason_;
    std::vector<std::pair<std::string, std::string>> headers_;
    Framing framing_ = Framing::ContentLength;
    std::optional<uint64_t> announced_;
    std::vector<Action> actions_;
    std::optional<std::string> raw_;
    bool silent_ = false;
    bool drop_ = false;
};

struct RecordedRequest {
    std::string raw;  // every byte as received: request line, headers, blank line, body
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    std::string body;

    // The value of the first header of that name, in any letter case.
    std::optional<std::string> Header(std::string_view name) const;
    // The names in the order they were sent.
    std::vector<std::string> HeaderNames() const;
};

// Answers a request that found no scripted reply.
using FakeHandler = std::function<FakeReply(const RecordedRequest& request)>;

class FakeHttpServer {
public:
    FakeHttpServer();
    explicit FakeHttpServer(FakeReply reply);
    // Stops every thread and closes every connection, interrupting a stalled reply.
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    bool IsListening() const;
    uint16_t Port() const;
    // "http://127.0.0.1:PORT" followed by the path.
    std::wstring Url(std::wstring_view path = L"/") const;

    void Enqueue(FakeReply reply);
    // Scripted replies still come first; an empty handler restores the close without an answer.
    void SetHandler(FakeHandler handler);
    void Release(int count = 1, int gate = 0);

    std::vector<RecordedRequest> Requests() const;
    // True once that many requests were recorded; false after the time limit.
    bool WaitForRequests(size_t count, int timeoutMilliseconds = 10000) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// A local port on which nothing listens, so connecting to it is refused.
uint16_t UnusedLocalPort();

// "data: " + payload + "\n\n".
std::string SseData(std::string_view payload);

}  // namespace Lorvex::Testing
