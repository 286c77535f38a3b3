// Perform and its shapes: drives one exchange, hands its blocks to the sink and the progress
// callback on the calling thread, and turns every way it can end into the response record.

#include "foundation/net/Http.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <utility>

#include "foundation/Handle.h"
#include "foundation/net/HttpHeaders.h"
#include "foundation/net/WinHttpExchange.h"

namespace Lorvex::Http {

namespace {

constexpr size_t kErrorBodyBytes = 64 * 1024;
// How long the waiting thread sleeps between two looks at the cancel flag.
constexpr DWORD kCancelPollMs = 20;

// What the exchange needs, shared by the calling thread and, for a cancellable transfer, the helper
// thread: whichever lets go last destroys it, so a transfer left behind keeps its own copy of the
// request and its handles until its blocked call returns.
struct Job {
    explicit Job(const Request& r) : request(&r) {}

    // Before a helper thread may outlive the caller's request.
    void KeepOwnCopy() {
        copy = *request;
        request = &*copy;
    }

    // The next blocking step: the first one opens the exchange, every later one reads a block.
    void Step() {
        if (!opened) {
            opened = true;
            openOk = exchange.Open(*request);
            finished = !openOk;
            return;
        }
        block = exchange.Read();
        finished = block.outcome != WinHttpExchange::Outcome::Data;
    }

    const Request* request;
    std::optional<Request> copy;
    WinHttpExchange exchange;
    bool opened = false;
    bool openOk = false;
    bool finished = false;  // no step is left: the open failed, or the body ended or failed
    WinHttpExchange::Block block;

    // Helper thread hand-over: "go" asks for the next step, "done" reports it. The events order
    // every field above between the two threads; only the calling thread sets "abandoned".
    UniqueHandle go{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<bool> abandoned{false};
};

DWORD WINAPI HelperMain(void* parameter) {
    std::shared_ptr<Job> job(std::move(*static_cast<std::shared_ptr<Job>*>(parameter)));
    delete static_cast<std::shared_ptr<Job>*>(parameter);
    for (;;) {
        WaitForSingleObject(job->go.Get(), INFINITE);
        if (job->abandoned.load()) {
            return 0;
        }
        job->Step();
        SetEvent(job->done.Get());
        if (job->finished) {
            return 0;
        }
    }
}

// Runs the steps of a job: on this thread, or, when there is a cancel flag, on a helper thread
// that this thread waits for in short slices so that the flag ends the wait at once. Without a
// helper (none asked for, or it could not be started) a set flag is seen between blocks only.
class Runner {
public:
    Runner(std::shared_ptr<Job> job, const Async::Cancel* cancel) : job_(std::move(job)), cancel_(cancel) {
        if (cancel_ == nullptr || !job_->go.IsOpen() || !job_->done.IsOpen()) {
            return;
        }
        job_->KeepOwnCopy();
        auto* parameter = new std::shared_ptr<Job>(job_);
        HANDLE thread = CreateThread(nullptr, 0, HelperMain, parameter, 0, nullptr);
        if (thread == nullptr) {
            delete parameter;
            return;
        }
        CloseHandle(thread);
        threaded_ = true;
    }

    // Lets a helper still blocked in the platform finish on its own; it touches nothing of ours.
    ~Runner() {
        if (threaded_) {
            job_->abandoned.store(true);
            SetEvent(job_->go.Get());
        }
    }

    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Runs the next step; false when the cancel flag ended the wait first.
    bool Next() {
        if (Cancelled()) {
            return false;
        }
        if (!threaded_) {
            job_->Step();
            return true;
        }
        SetEvent(job_->go.Get());
        for (;;) {
            const DWORD waited = WaitForSingleObject(job_->done.Get(), kCancelPollMs);
            if (waited == WAIT_OBJECT_0) {
                return true;
            }
            if (Cancelled() || waited != WAIT_TIMEOUT) {
                return false;
            }
        }
    }

    bool Cancelled() const { return cancel_ != nullptr && cancel_->IsSet(); }

private:
    std::shared_ptr<Job> job_;
    const Async::Cancel* cancel_;
    bool threaded_ = false;
};

std::wstring IncompleteText(uint64_t received, uint64_t total) {
    return L"Incomplete body (" + std::to_wstring(received) + L" of " + std::to_wstring(total) + L" bytes)";
}

Response Transfer(const Request& request, const Progress& progress, const Sink& sink, const Async::Cancel* cancel) {
    Response response;
    const auto job = std::make_shared<Job>(request);
    Runner runner(job, cancel);
    auto fail = [&response](std::wstring error, Failure failure) {
        response.status = 0;
        response.error = std::move(error);
        response.failure = failure;
        return response;
    };

    if (!runner.Next()) {
        return fail(L"Cancelled", Failure::Cancelled);
    }
    WinHttpExchange& exchange = job->exchange;
    if (!job->openOk) {
        return fail(exchange.error, exchange.failure);
    }
    response.status = exchange.status;
    response.headers = exchange.headers;

    const uint64_t total = ContentLength(response.headers);
    uint64_t received = 0;
    for (;;) {
        if (!runner.Next()) {
            return fail(L"Cancelled", Failure::Cancelled);
        }
        const WinHttpExchange::Block& block = job->block;
        if (block.outcome == WinHttpExchange::Outcome::Failed) {
            return fail(exchange.error, exchange.failure);
        }
        if (block.outcome == WinHttpExchange::Outcome::End) {
            break;
        }
        if (runner.Cancelled()) {
            return fail(L"Cancelled", Failure::Cancelled);
        }
        // An empty sink would throw when called; its bytes simply go nowhere.
        if (sink && !sink(block.data, block.size)) {
            return fail(L"Write failed", Failure::WriteFailed);
        }
        received += block.size;
        if (progress && !progress(received, total)) {
            return fail(L"Cancelled", Failure::Cancelled);
        }
    }
    // The platform reports a connection closed before the announced length as a clean end.
    if (IsBodyShort(request.method, response.status, response.headers, received)) {
        return fail(IncompleteText(received, total), Failure::Cut);
    }
    return response;
}

Response StreamTransfer(const Request& request, const Sink& sink, const Async::Cancel* cancel) {
    std::string start;
    const Sink keepStart = [&start, &sink](const char* data, uint64_t size) {
        if (start.size() < kErrorBodyBytes) {
            start.append(data, static_cast<size_t>(size));
        }
        // As in Transfer: an empty sink would throw when called.
        return !sink || sink(data, size);
    };
    Response response = Transfer(request, {}, keepStart, cancel);
    if (!IsSuccess(response.status)) {
        response.body = std::move(start);
    }
    return response;
}

}  // namespace

bool IsSuccess(uint32_t status) {
    return status >= 200 && status <= 299;
}

Response Perform(const Request& request, const Progress& progress, const Sink& sink) {
    return Transfer(request, progress, sink, nullptr);
}

Response Perform(const Request& request, const Progress& progress, const Sink& sink, const Async::Cancel& cancel) {
    return Transfer(request, progress, sink, &cancel);
}

Response Send(const Request& request, const Progress& progress) {
    std::string body;
    Response response = Transfer(
        request, progress,
        [&body](const char* data, uint64_t size) {
            body.append(data, static_cast<size_t>(size));
            return true;
        },
        nullptr);
    response.body = std::move(body);
    return response;
}

Response Get(const std::wstring& url, const Headers& headers) {
    Request request;
    request.method = L"GET";
    request.url = url;
    request.headers = headers;
    request.timeout = 20000;
    return Send(request);
}

Response Stream(const Request& request, const Sink& sink) {
    return StreamTransfer(request, sink, nullptr);
}

Response Stream(const Request& request, const Sink& sink, const Async::Cancel& cancel) {
    return StreamTransfer(request, sink, &cancel);
}

std::pair<std::wstring, std::wstring> AuthorizationHeader(std::wstring value) {
    return {L"Authorization", std::move(value)};
}

}  // namespace Lorvex::Http
