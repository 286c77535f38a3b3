// The body as it arrives: blocks handed to the sink, progress after each, stopping through either
// callback or through a cancel flag, and Stream's copy of an error body.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/net/Http.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Http {
namespace {

using Testing::FakeHttpServer;
using Testing::FakeReply;
using Testing::Framing;
using Testing::Stopwatch;

using Calls = std::vector<std::pair<uint64_t, uint64_t>>;

Request GetOf(const FakeHttpServer& server) {
    Request request;
    request.url = server.Url(L"/stream");
    return request;
}

// The server holds each next piece until the sink has seen the previous one, so every piece
// arrives as a block of its own.
TEST(HttpProgress, EachBlockReachesTheSinkThenProgress) {
    for (const Framing framing : {Framing::CloseDelimited, Framing::ContentLength}) {
        FakeHttpServer server(
            FakeReply().Frame(framing).Body("abc").AwaitRelease().Body("defgh").AwaitRelease().Body("i"));
        std::vector<std::string> blocks;
        Calls calls;
        const Response response = Perform(
            GetOf(server),
            [&](uint64_t received, uint64_t total) {
                calls.emplace_back(received, total);
                return true;
            },
            [&](const char* data, uint64_t size) {
                blocks.emplace_back(data, static_cast<size_t>(size));
                server.Release();
                return true;
            });
        const uint64_t total = framing == Framing::ContentLength ? 9 : 0;
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.error, L"");
        EXPECT_EQ(response.body, "");  // Perform leaves the body to the sink
        EXPECT_EQ(blocks, (std::vector<std::string>{"abc", "defgh", "i"}));
        EXPECT_EQ(calls, (Calls{{3, total}, {8, total}, {9, total}}));
    }
}

TEST(HttpProgress, ChunkedBodyArrivesWhole) {
    FakeHttpServer server(
        FakeReply().Frame(Framing::Chunked).Body("data: one\n").Pause(5).Body("\r").Body("\ndata: [DONE]\n\n"));
    const Response response = Send(GetOf(server));
    EXPECT_EQ(response.status, 200u);
    EXPECT_EQ(response.error, L"");
    EXPECT_EQ(response.body, "data: one\n\r\ndata: [DONE]\n\n");
    EXPECT_EQ(response.headers.at(L"transfer-encoding"), L"chunked");
}

TEST(HttpProgress, LargeBodyComesInBlocksOfAtMost64KiB) {
    std::string body(300000, '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>('a' + i % 26);
    }
    FakeHttpServer server(FakeReply().Body(body));
    std::string received;
    size_t largest = 0;
    uint64_t lastReceived = 0;
    uint64_t lastTotal = 0;
    const Response response = Perform(
        GetOf(server),
        [&](uint64_t count, uint64_t total) {
            lastReceived = count;
            lastTotal = total;
            return true;
        },
        [&](const char* data, uint64_t size) {
            largest = std::max<size_t>(largest, static_cast<size_t>(size));
            received.append(data, static_cast<size_t>(size));
            return true;
        });
    EXPECT_EQ(response.status, 200u);
    EXPECT_EQ(response.error, L"");
    EXPECT_TRUE(received == body);
    EXPECT_LE(largest, 65536u);
    EXPECT_EQ(lastReceived, body.size());
    EXPECT_EQ(lastTotal, body.size());
}

TEST(HttpProgress, CallbacksThatSayStopEndTheTransfer) {
    // The progress callback: "Cancelled"; Send keeps what arrived.
    {
        FakeHttpServer server(FakeReply().Header("X-Kind", "p").Body("abc").AwaitRelease().Body("def"));
        int calls = 0;
        const Response response = Send(GetOf(server), [&](uint64_t, uint64_t) {
            ++calls;
            return false;
        });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(response.status, 0u);
        EXPECT_EQ(response.error, L"Cancelled");
        EXPECT_EQ(response.body, "abc");
        EXPECT_EQ(response.headers.at(L"x-kind"), L"p");
    }
    // The sink: "Write failed", and progress is not called for the refused block.
    {
        FakeHttpServer server(FakeReply().Header("X-Kind", "s").Body("abc").AwaitRelease().Body("def"));
        int sinkCalls = 0;
        int progressCalls = 0;
        const Response response = Perform(
            GetOf(server),
            [&](uint64_t, uint64_t) {
                ++progressCalls;
                return true;
            },
            [&](const char*, uint64_t) {
                ++sinkCalls;
                return false;
            });
        EXPECT_EQ(sinkCalls, 1);
        EXPECT_EQ(progressCalls, 0);
        EXPECT_EQ(response.status, 0u);
        EXPECT_EQ(response.error, L"Write failed");
        EXPECT_EQ(response.headers.at(L"x-kind"), L"s");
    }
}

TEST(HttpStream, KeepsTheBodyOnlyForAnError) {
    const std::string events = Testing::SseData("{\"a\":1}") + Testing::SseData("[DONE]");
    {
        FakeHttpServer server(FakeReply::EventStream().Body(events));
        std::string seen;
        const Response response = Stream(GetOf(server), [&](const char* data, uint64_t size) {
            seen.append(data, static_cast<size_t>(size));
            return true;
        });
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.body, "");
        EXPECT_EQ(seen, events);
    }
    {
        const std::string error = "{\"error\":{\"message\":\"Authentication Fails\"}}";
        FakeHttpServer server(FakeReply::Json(401, error));
        std::string seen;
        const Response response = Stream(GetOf(server), [&](const char* data, uint64_t size) {
            seen.append(data, static_cast<size_t>(size));
            return true;
        });
        EXPECT_EQ(response.status, 401u);
        EXPECT_EQ(response.error, L"");
        EXPECT_EQ(response.body, error);
        EXPECT_EQ(seen, error);
    }
}

TEST(HttpStream, KeepsOnlyTheStartOfALargeErrorBody) {
    const std::string error(200000, 'e');
    FakeHttpServer server(FakeReply(500, "Internal Server Error").Body(error));
    uint64_t seen = 0;
    const Response response = Stream(GetOf(server), [&](const char*, uint64_t size) {
        seen += size;
        return true;
    });
    EXPECT_EQ(response.status, 500u);
    EXPECT_EQ(seen, error.size());
    EXPECT_GE(response.body.size(), 65536u);
    EXPECT_LE(response.body.size(), 2u * 65536u);
    EXPECT_EQ(response.body, error.substr(0, response.body.size()));
}

// An empty sink is a caller's mistake: the bytes go nowhere, and nothing throws.
TEST(HttpStream, EmptySinkDropsTheBytes) {
    {
        FakeHttpServer server(FakeReply().Body("abc"));
        const Response response = Perform(GetOf(server), {}, Sink{});
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.error, L"");
    }
    for (const bool cancellable : {false, true}) {
        FakeHttpServer server(FakeReply::Json(500, "{\"error\":{\"message\":\"no\"}}"));
        const Async::Cancel cancel;
        const Response response = cancellable ? Stream(GetOf(server), Sink{}, cancel) : Stream(GetOf(server), Sink{});
        EXPECT_EQ(response.status, 500u) << cancellable;
        EXPECT_EQ(response.error, L"") << cancellable;
        EXPECT_EQ(response.body, "{\"error\":{\"message\":\"no\"}}") << cancellable;
    }
}

// A server that sends one event and then nothing: the flag, set while the transfer waits for more,
// must end it long before the time-out, and the sink must not be called again.
TEST(HttpCancel, CancelEndsAStalledStreamPromptly) {
    FakeHttpServer server(FakeReply::EventStream().Header("X-Kind", "c").Body(Testing::SseData("{}")).Stall());
    Request request = GetOf(server);
    request.timeout = 60000;
    Async::Cancel cancel;
    std::promise<void> firstBlock;
    std::thread canceller([&] {
        firstBlock.get_future().wait();
        // Long enough for the transfer to be blocked in its next read.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.Set();
    });
    int blocks = 0;
    const Stopwatch clock;
    const Response response = Stream(
        request,
        [&](const char*, uint64_t) {
            if (++blocks == 1) {
                firstBlock.set_value();
            }
            return true;
        },
        cancel);
    canceller.join();
    EXPECT_LT(clock.Seconds(), 10.0);
    EXPECT_EQ(blocks, 1);
    EXPECT_EQ(response.status, 0u);
    EXPECT_EQ(response.error, L"Cancelled");
    EXPECT_EQ(response.headers.at(L"x-kind"), L"c");

    // The transfer left behind does not hold up the next one, not even to the same server, whose
    // stalled connection it still keeps open.
    FakeHttpServer next(FakeReply().Body("fine"));
    EXPECT_EQ(Get(next.Url(L"/")).body, "fine");
    server.Enqueue(FakeReply().Body("again"));
    EXPECT_EQ(Get(server.Url(L"/again")).body, "again");
}

TEST(HttpCancel, CancelEndsTheWaitForASilentServer) {
    FakeHttpServer server(FakeReply::Silent());
    Request request = GetOf(server);
    request.timeout = 60000;
    Async::Cancel cancel;
    std::thread canceller([&] {
        server.WaitForRequests(1);
        cancel.Set();
    });
    int blocks = 0;
    const Stopwatch clock;
    const Response response = Perform(
        request, {},
        [&](const char*, uint64_t) {
            ++blocks;
            return true;
        },
        cancel);
    canceller.join();
    EXPECT_LT(clock.Seconds(), 10.0);
    EXPECT_EQ(blocks, 0);
    EXPECT_EQ(response.status, 0u);
    EXPECT_EQ(response.error, L"Cancelled");
}

TEST(HttpCancel, UnsetFlagChangesNothing) {
    FakeHttpServer server(FakeReply::EventStream().Body("data: 1\n\n").AwaitRelease().Body("data: 2\n\n"));
    Async::Cancel cancel;
    std::string seen;
    const Response response = Stream(
        GetOf(server),
        [&](const char* data, uint64_t size) {
            seen.append(data, static_cast<size_t>(size));
            server.Release();
            return true;
        },
        cancel);
    EXPECT_EQ(response.status, 200u);
    EXPECT_EQ(response.error, L"");
    EXPECT_EQ(seen, "data: 1\n\ndata: 2\n\n");
}

}  // namespace
}  // namespace Lorvex::Http
