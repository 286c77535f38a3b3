#include "tests/support/FakeHttpServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace Lorvex::Testing {

namespace {

// Every wait of a server thread is cut into slices this long so that it notices a stop.
constexpr int kSliceMs = 10;
// The longest a reply waits for a gate or holds a stalled connection.
constexpr int kHoldLimitMs = 30000;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string TrimSpaces(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

class Socket {
public:
    explicit Socket(SOCKET s = INVALID_SOCKET) : s_(s) {}
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    SOCKET Get() const { return s_; }
    bool IsValid() const { return s_ != INVALID_SOCKET; }
    void Reset(SOCKET s) {
        Close();
        s_ = s;
    }
    void Close() {
        if (s_ != INVALID_SOCKET) {
            closesocket(s_);
            s_ = INVALID_SOCKET;
        }
    }

private:
    SOCKET s_;
};

void MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

// 1 when the socket is ready, 0 after the time-out, -1 on error.
int WaitReady(SOCKET s, bool forWrite, int milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int ready = forWrite ? select(0, nullptr, &set, nullptr, &limit) : select(0, &set, nullptr, nullptr, &limit);
    return ready == SOCKET_ERROR ? -1 : ready;
}

// True when the peer has closed (or reset) the connection; never consumes data.
bool PeerClosed(SOCKET s) {
    if (WaitReady(s, false, 0) <= 0) {
        return false;
    }
    char byte = 0;
    const int got = recv(s, &byte, 1, MSG_PEEK);
    return got == 0 || (got == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK);
}

RecordedRequest ParseRequest(std::string raw, size_t headEnd) {
    RecordedRequest request;
    const std::string head = raw.substr(0, headEnd);
    request.body = raw.substr(headEnd + 4);
    size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos) {
            end = head.size();
        }
        const std::string line = head.substr(start, end - start);
        start = end + 2;
        if (first) {
            first = false;
            const size_t space1 = line.find(' ');
            const size_t space2 = line.find(' ', space1 == std::string::npos ? line.size() : space1 + 1);
            request.method = line.substr(0, space1);
            if (space1 != std::string::npos) {
                request.target =
                    line.substr(space1 + 1, space2 == std::string::npos ? std::string::npos : space2 - space1 - 1);
            }
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        request.headers.emplace_back(line.substr(0, colon), TrimSpaces(std::string_view(line).substr(colon + 1)));
    }
    request.raw = std::move(raw);
    return request;
}

}  // namespace

// ---- FakeReply ----

FakeReply::FakeReply(int status, std::string reason) : status_(status), reason_(std::move(reason)) {
}

FakeReply FakeReply::Json(int status, std::string body) {
    FakeReply reply(status, status == 200 ? "OK" : "Status");
    reply.Header("Content-Type", "application/json");
    reply.Body(std::move(body));
    return reply;
}

FakeReply FakeReply::EventStream(int status) {
    FakeReply reply(status, status == 200 ? "OK" : "Status");
    reply.Header("Content-Type", "text/event-stream");
    reply.Header("Cache-Control", "no-cache");
    reply.Frame(Framing::CloseDelimited);
    return reply;
}

FakeReply FakeReply::Raw(std::string bytes) {
    FakeReply reply;
    reply.raw_ = std::move(bytes);
    return reply;
}

FakeReply FakeReply::Silent() {
    FakeReply reply;
    reply.silent_ = true;
    return reply;
}

FakeReply FakeReply::Drop() {
    FakeReply reply;
    reply.drop_ = true;
    return reply;
}

FakeReply& FakeReply::Header(std::string name, std::string value) {
    headers_.emplace_back(std::move(name), std::move(value));
    return *this;
}

FakeReply& FakeReply::Frame(Framing framing) {
    framing_ = framing;
    return *this;
}

FakeReply& FakeReply::AnnounceLength(uint64_t length) {
    announced_ = length;
    return *this;
}

FakeReply& FakeReply::Body(std::string piece) {
    actions_.push_back({Action::Kind::Send, std::move(piece), 0});
    return *this;
}

FakeReply& FakeReply::Pause(int milliseconds) {
    actions_.push_back({Action::Kind::Pause, {}, milliseconds});
    return *this;
}

FakeReply& FakeReply::AwaitRelease(int gate) {
    actions_.push_back({Action::Kind::Await, {}, gate});
    return *this;
}

FakeReply& FakeReply::Stall() {
    actions_.push_back({Action::Kind::Stall, {}, 0});
    return *this;
}

FakeReply& FakeReply::Cut() {
    actions_.push_back({Action::Kind::Cut, {}, 0});
    return *this;
}

FakeReply& FakeReply::Reset() {
    actions_.push_back({Action::Kind::Reset, {}, 0});
    return *this;
}

// ---- RecordedRequest ----

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
    const std::string wanted = Lower(name);
    for (const auto& [key, value] : headers) {
        if (Lower(key) == wanted) {
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> RecordedRequest::HeaderNames() const {
    std::vector<std::string> names;
    for (const auto& header : headers) {
        names.push_back(header.first);
    }
    return names;
}

// ---- FakeHttpServer ----

struct FakeHttpServer::State {
    bool winsock = false;
    Socket listener;
    uint16_t port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::deque<FakeReply> replies;
    FakeHandler handler;
    std::vector<RecordedRequest> requests;
    std::map<int, int> released;  // releases not yet taken, by gate
    bool stopping = false;
    // The ticket of the connection whose turn it is to take a reply; tickets go out as connections
    // are accepted.
    uint64_t turn = 0;

    // The accepting thread and the threads that serve connections. A serving thread waits for the
    // next connection once it is done with one: under Wine a thread costs more to start than a
    // whole exchange. Only the accepting thread touches `servers` and `accepted`.
    std::thread thread;
    std::vector<std::thread> servers;
    uint64_t accepted = 0;
    std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::deque<std::pair<SOCKET, uint64_t>> queued;  // accepted connections no thread has taken yet
    size_t idleServers = 0;                          // serving threads waiting for a connection
    bool serversStopping = false;

    bool Stopping() {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }

    // Waits up to the given time; true when the server is stopping.
    bool SleepFor(int milliseconds) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping; });
    }

    bool SendAll(SOCKET s, std::string_view bytes) {
        while (!bytes.empty()) {
            const int sent = send(s, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20)), 0);
            if (sent > 0) {
                bytes.remove_prefix(static_cast<size_t>(sent));
                continue;
            }
            if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
                if (Stopping() || WaitReady(s, true, kSliceMs) < 0) {
                    return false;
                }
                continue;
            }
            return false;
        }
        return true;
    }

    // Reads the head and, by its Content-Length, the body; none when the client went away first.
    std::optional<RecordedRequest> ReadRequest(SOCKET s) {
        std::string raw;
        size_t headEnd = std::string::npos;
        size_t wanted = 0;
        char buffer[16384];
        for (;;) {
            if (headEnd != std::string::npos && raw.size() >= wanted) {
                return ParseRequest(std::move(raw), headEnd);
            }
            if (Stopping()) {
                return std::nullopt;
            }
            const int ready = WaitReady(s, false, kSliceMs);
            if (ready < 0) {
                return std::nullopt;
            }
            if (ready == 0) {
                continue;
            }
            const int got = recv(s, buffer, sizeof(buffer), 0);
            if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
                continue;
            }
            if (got <= 0) {
                return std::nullopt;
            }
            raw.append(buffer, static_cast<size_t>(got));
            if (headEnd == std::string::npos && (headEnd = raw.find("\r\n\r\n")) != std::string::npos) {
                const RecordedRequest head = ParseRequest(raw.substr(0, headEnd + 4), headEnd);
                size_t length = 0;
                if (const auto value = head.Header("Content-Length")) {
                    length = static_cast<size_t>(std::strtoull(value->c_str(), nullptr, 10));
                }
                wanted = headEnd + 4 + length;
            }
        }
    }

    // Waits until the client closes, the server stops or, with a gate, the test releases it; true
    // only for the release. A client that never gives up meets the connection's close after a
    // while, so its test fails instead of hanging.
    bool Hold(SOCKET s, std::optional<int> gate) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHoldLimitMs);
        while (std::chrono::steady_clock::now() < limit) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait_for(lock, std::chrono::milliseconds(kSliceMs),
                                 [this, gate] { return stopping || (gate && released[*gate] > 0); });
                if (stopping) {
                    return false;
                }
                if (gate && released[*gate] > 0) {
                    --released[*gate];
                    return true;
                }
            }
            if (PeerClosed(s)) {
                return false;
            }
        }
        return false;
    }

    std::string Head(const FakeReply& reply) {
        std::string head = "HTTP/1.1 " + std::to_string(reply.status_) + " " + reply.reason_ + "\r\n";
        bool connection = false;
        for (const auto& [name, value] : reply.headers_) {
            head += name + ": " + value + "\r\n";
            connection = connection || Lower(name) == "connection";
        }
        if (reply.framing_ == Framing::ContentLength) {
            uint64_t length = 0;
            for (const auto& action : reply.actions_) {
                if (action.kind == FakeReply::Action::Kind::Send) {
                    length += action.bytes.size();
                }
            }
            head += "Content-Length: " + std::to_string(reply.announced_.value_or(length)) + "\r\n";
        } else if (reply.framing_ == Framing::Chunked) {
            head += "Transfer-Encoding: chunked\r\n";
        }
        if (!connection) {
            head += "Connection: close\r\n";
        }
        return head + "\r\n";
    }

    static void ResetConnection(Socket& connection) {
        linger abortive{1, 0};
        setsockopt(connection.Get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof(abortive));
        connection.Close();
    }

    // Plays the reply; a Reset or a Drop leaves the connection closed already.
    void Play(Socket& connection, const FakeReply& reply) {
        const SOCKET s = connection.Get();
        if (reply.silent_) {
            Hold(s, std::nullopt);
            return;
        }
        if (reply.drop_) {
            ResetConnection(connection);
            return;
        }
        if (reply.raw_) {
            SendAll(s, *reply.raw_);
            return;
        }
        if (!SendAll(s, Head(reply))) {
            return;
        }
        const bool chunked = reply.framing_ == Framing::Chunked;
        for (const auto& action : reply.actions_) {
            switch (action.kind) {
            case FakeReply::Action::Kind::Send: {
                if (chunked) {
                    if (action.bytes.empty()) {
                        break;  // an empty chunk would end the body
                    }
                    char size[32];
                    std::snprintf(size, sizeof(size), "%zx\r\n", action.bytes.size());
                    if (!SendAll(s, size + action.bytes + "\r\n")) {
                        return;
                    }
                } else if (!SendAll(s, action.bytes)) {
                    return;
                }
                break;
            }
            case FakeReply::Action::Kind::Pause:
                if (SleepFor(action.milliseconds)) {
                    return;
                }
                break;
            case FakeReply::Action::Kind::Await:
                if (!Hold(s, action.milliseconds)) {
                    return;
                }
                break;
            case FakeReply::Action::Kind::Stall:
                Hold(s, std::nullopt);
                return;
            case FakeReply::Action::Kind::Cut:
                return;
            case FakeReply::Action::Kind::Reset:
                ResetConnection(connection);
                return;
            }
        }
        if (chunked) {
            SendAll(s, "0\r\n\r\n");
        }
    }

    // Runs on the connection's own thread. The reply is taken in accept order, not in the order the
    // requests happen to be complete, so the n-th connection still gets the n-th reply; one that
    // sends no request takes none but still passes the turn on. The handler is called after the
    // turn has passed on, so a slow answer holds up no later connection.
    void Serve(SOCKET handle, uint64_t ticket) {
        Socket connection(handle);
        MakeNonBlocking(connection.Get());
        std::optional<RecordedRequest> request = ReadRequest(connection.Get());
        std::optional<FakeReply> reply;
        FakeHandler answer;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this, ticket] { return stopping || turn == ticket; });
            if (stopping) {
                return;
            }
            ++turn;
            if (request) {
                requests.push_back(*request);
                if (!replies.empty()) {
                    reply = std::move(replies.front());
                    replies.pop_front();
                } else {
                    answer = handler;
                }
            }
        }
        changed.notify_all();
        if (!reply && answer) {
            reply = answer(*request);
        }
        if (reply) {
            Play(connection, *reply);
        }
        if (connection.IsValid()) {
            shutdown(connection.Get(), SD_SEND);
        }
    }

    // A serving thread: one connection after another until the server stops.
    void ServeQueued() {
        for (;;) {
            std::pair<SOCKET, uint64_t> next;
            {
                std::unique_lock<std::mutex> lock(queueMutex);
                ++idleServers;
                queueChanged.wait(lock, [this] { return serversStopping || !queued.empty(); });
                --idleServers;
                if (queued.empty()) {
                    return;
                }
                next = queued.front();
                queued.pop_front();
            }
            Serve(next.first, next.second);
        }
    }

    // Hands the connection to an idle serving thread, or to a new one when every one is busy, as a
    // real server serves connections at the same time: a stalled reply, or a client that keeps its
    // socket open long after giving up, holds up no later connection.
    void Dispatch(SOCKET connection, uint64_t ticket) {
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            queued.emplace_back(connection, ticket);
            if (queued.size() > idleServers) {
                servers.emplace_back([this] { ServeQueued(); });
            }
        }
        queueChanged.notify_one();
    }

    // Accepts until the server stops.
    void Main() {
        while (!Stopping()) {
            if (WaitReady(listener.Get(), false, kSliceMs) <= 0) {
                continue;
            }
            const SOCKET connection = accept(listener.Get(), nullptr, nullptr);
            if (connection == INVALID_SOCKET) {
                continue;
            }
            Dispatch(connection, accepted++);
        }
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            serversStopping = true;
        }
        queueChanged.notify_all();
        for (std::thread& server : servers) {
            server.join();
        }
        servers.clear();
        for (const auto& [connection, ticket] : queued) {
            closesocket(connection);
        }
        queued.clear();
    }
};

FakeHttpServer::FakeHttpServer() : state_(std::make_shared<State>()) {
    WSADATA data;
    state_->winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!state_->winsock) {
        return;
    }
    Socket& listener = state_->listener;
    listener.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener.IsValid()) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof(address);
    if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener.Get(), SOMAXCONN) != 0 ||
        getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        listener.Close();
        return;
    }
    state_->port = ntohs(address.sin_port);
    state_->thread = std::thread([state = state_.get()] { state->Main(); });
}

FakeHttpServer::FakeHttpServer(FakeReply reply) : FakeHttpServer() {
    Enqueue(std::move(reply));
}

FakeHttpServer::~FakeHttpServer() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
    state_->listener.Close();
    if (state_->winsock) {
        WSACleanup();
    }
}

bool FakeHttpServer::IsListening() const {
    return state_->port != 0;
}

uint16_t FakeHttpServer::Port() const {
    return state_->port;
}

std::wstring FakeHttpServer::Url(std::wstring_view path) const {
    return L"http://127.0.0.1:" + std::to_wstring(state_->port) + std::wstring(path);
}

void FakeHttpServer::Enqueue(FakeReply reply) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->replies.push_back(std::move(reply));
}

void FakeHttpServer::SetHandler(FakeHandler handler) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->handler = std::move(handler);
}

void FakeHttpServer::Release(int count, int gate) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->released[gate] += count;
    }
    state_->changed.notify_all();
}

std::vector<RecordedRequest> FakeHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->requests;
}

bool FakeHttpServer::WaitForRequests(size_t count, int timeoutMilliseconds) const {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                                    [this, count] { return state_->requests.size() >= count; });
}

uint16_t UnusedLocalPort() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return 0;
    }
    uint16_t port = 0;
    {
        Socket probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof(address);
        if (probe.IsValid() && bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port = ntohs(address.sin_port);
        }
    }
    WSACleanup();
    return port;
}

std::string SseData(std::string_view payload) {
    return "data: " + std::string(payload) + "\n\n";
}

}  // namespace Lorvex::Testing
