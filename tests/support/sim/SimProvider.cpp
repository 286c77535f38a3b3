#include "tests/support/sim/SimProvider.h"

#include <utility>

#include "tests/services/DeepSeekTestSupport.h"

namespace Lorvex::Testing::Sim {

Provider::Provider() {
    server_.SetHandler([this](const RecordedRequest&) { return Answer(); });
}

bool Provider::IsListening() const {
    return server_.IsListening();
}

std::wstring Provider::BaseUrl() const {
    return server_.Url(L"");
}

int Provider::Plan(std::vector<std::string> pieces) {
    std::lock_guard lock(mutex_);
    const int gate = nextGate_++;
    planned_.push_back({gate, std::move(pieces)});
    return gate;
}

void Provider::Unplan(int gate) {
    std::lock_guard lock(mutex_);
    if (!planned_.empty() && planned_.back().gate == gate) {
        planned_.pop_back();
    }
}

void Provider::Release(int gate, int count) {
    if (count > 0) {
        server_.Release(count, gate);
    }
}

size_t Provider::Requests() const {
    return server_.Requests().size();
}

bool Provider::WaitForRequests(size_t count) const {
    return server_.WaitForRequests(count, 30000);
}

FakeReply Provider::Answer() {
    Planned next;
    {
        std::lock_guard lock(mutex_);
        if (planned_.empty()) {
            return FakeReply::Json(500, "{\"error\":{\"message\":\"no reply planned\"}}");
        }
        next = std::move(planned_.front());
        planned_.pop_front();
    }
    FakeReply reply = ProviderStream();
    for (const std::string& piece : next.pieces) {
        reply.AwaitRelease(next.gate).Body(Event(piece));
    }
    reply.Body(kFinished);
    return reply;
}

}  // namespace Lorvex::Testing::Sim
