#pragma once
// The language-model provider of a simulated world: a fake server that answers every request in
// the provider's streaming form with the reply the world planned for it, each piece held back
// until the world releases it, so that one reply may stay open across several sync rounds.
// Replies are planned in the order their requests arrive; the world waits for each request
// before it plans the next. Any thread may call every member; the server's threads call the
// handler. A request with no reply planned gets an HTTP 500, which shows as a failed reply.

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Testing::Sim {

class Provider {
public:
    Provider();
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;

    bool IsListening() const;
    std::wstring BaseUrl() const;

    // The reply the next request gets: these pieces (UTF-8), one per release, then its end.
    // Returns the gate that holds them.
    int Plan(std::vector<std::string> pieces);
    // Takes back the last planned reply when no request came for it.
    void Unplan(int gate);
    // Lets `count` more pieces of the gate's reply go out.
    void Release(int gate, int count = 1);
    size_t Requests() const;
    bool WaitForRequests(size_t count) const;

private:
    struct Planned {
        int gate = 0;
        std::vector<std::string> pieces;
    };

    FakeReply Answer();

    mutable std::mutex mutex_;
    std::deque<Planned> planned_;
    int nextGate_ = 1;
    FakeHttpServer server_;
};

}  // namespace Lorvex::Testing::Sim
