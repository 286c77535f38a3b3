// Requests and answers end to end against the fake server over plain HTTP on 127.0.0.1: what goes
// on the wire, what comes back into the response record, and every way a transfer fails.

#include <gtest/gtest.h>

#include <optional>

#include "foundation/net/Http.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Http {
namespace {

using Testing::FakeHttpServer;
using Testing::FakeReply;
using Testing::Framing;
using Testing::Stopwatch;

TEST(HttpExchange, SendsMethodAndTargetAsGiven) {
    struct Case {
        const wchar_t* method;
        const wchar_t* path;  // appended to the server's "http://127.0.0.1:PORT"
        const char* target;
    };
    const Case cases[] = {
        {L"GET", L"", "/"},
        {L"GET", L"/a/b?x=1&y=%20z", "/a/b?x=1&y=%20z"},
        {L"DELETE", L"/items/7", "/items/7"},
        {L"GET", L"/page#part", "/page"},
    };
    for (const Case& c : cases) {
        FakeHttpServer server(FakeReply().Body("ok"));
        Request request;
        request.method = c.method;
        request.url = server.Url(c.path);
        const Response response = Send(request);
        EXPECT_EQ(response.status, 200u) << c.path;
        EXPECT_EQ(response.error, L"") << c.path;
        EXPECT_EQ(response.body, "ok") << c.path;
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u) << c.path;
        EXPECT_EQ(requests[0].method, Testing::Narrow(c.method));
        EXPECT_EQ(requests[0].target, c.target);
        EXPECT_EQ(requests[0].Header("User-Agent"), "Lorvex/3.0.2");
    }
}

TEST(HttpExchange, PostSendsHeadersInOrderAndTheBodyUnchanged) {
    FakeHttpServer server(FakeReply(201, "Created").Body("{}"));
    Request request;
    request.method = L"POST";
    request.url = server.Url(L"/v1/things");
    request.headers = {{L"X-First", L"1"}, AuthorizationHeader(L"Bearer sk-abc"), {L"X-Last", L"\u00f1"}};
    request.contentType = L"application/json";
    request.body = std::string("{\"text\":\"a\\u0000b \xC3\xB1\"}\0tail", 27);
    const Response response = Send(request);
    EXPECT_EQ(response.status, 201u);
    EXPECT_EQ(response.error, L"");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const Testing::RecordedRequest& sent = requests[0];
    EXPECT_EQ(sent.body, request.body);
    EXPECT_EQ(sent.Header("Content-Length"), std::to_string(request.body.size()));
    EXPECT_EQ(sent.Header("Authorization"), "Bearer sk-abc");
    EXPECT_EQ(sent.Header("Content-Type"), "application/json");
    // Ours keep their order among whatever the platform adds; the content type comes after them.
    std::vector<std::string> ours;
    for (const std::string& name : sent.HeaderNames()) {
        if (name == "X-First" || name == "Authorization" || name == "X-Last" || name == "Content-Type") {
            ours.push_back(name);
        }
    }
    EXPECT_EQ(ours, (std::vector<std::string>{"X-First", "Authorization", "X-Last", "Content-Type"}));
}

TEST(HttpExchange, EmptyRequestSendsNoContentTypeAndNoBody) {
    FakeHttpServer server(FakeReply().Body("x"));
    Request request;
    request.url = server.Url(L"/");
    EXPECT_EQ(Send(request).status, 200u);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].Header("Content-Type").has_value());
    EXPECT_EQ(requests[0].body, "");
}

TEST(HttpExchange, ResponseHeadersAreLowerCasedAndTheLastRepeatWins) {
    FakeHttpServer server(FakeReply::Raw(
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Dup: one\r\nx-DUP: two\r\nContent-Length: 2\r\n"
        "Connection: close\r\n\r\nok"));
    const Response response = Get(server.Url(L"/"));
    EXPECT_EQ(response.status, 200u);
    EXPECT_EQ(response.body, "ok");
    EXPECT_EQ(response.headers.at(L"content-type"), L"text/plain");
    EXPECT_EQ(response.headers.at(L"x-dup"), L"two");
    EXPECT_EQ(response.headers.count(L"Content-Type"), 0u);
}

TEST(HttpExchange, StatusOutsideSuccessIsACompleteExchange) {
    for (const int status : {301, 404, 429, 500}) {
        FakeHttpServer server(FakeReply::Json(status, "{\"error\":{\"message\":\"no\"}}"));
        Request request;
        request.url = server.Url(L"/x");
        request.followRedirects = false;
        const Response response = Send(request);
        EXPECT_EQ(response.status, static_cast<uint32_t>(status));
        EXPECT_FALSE(IsSuccess(response.status));
        EXPECT_EQ(response.error, L"") << status;
        EXPECT_EQ(response.body, "{\"error\":{\"message\":\"no\"}}") << status;
    }
}

TEST(HttpExchange, RedirectsAreFollowedUnlessForbidden) {
    {
        FakeHttpServer server(FakeReply(302, "Found").Header("Location", "/second"));
        server.Enqueue(FakeReply().Body("final"));
        Request request;
        request.url = server.Url(L"/first");
        const Response response = Send(request);
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.body, "final");
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].target, "/second");
    }
    {
        FakeHttpServer server(FakeReply(302, "Found").Header("Location", "/second"));
        server.Enqueue(FakeReply().Body("final"));
        Request request;
        request.url = server.Url(L"/first");
        request.followRedirects = false;
        const Response response = Send(request);
        EXPECT_EQ(response.status, 302u);
        EXPECT_EQ(response.error, L"");
        EXPECT_EQ(response.headers.at(L"location"), L"/second");
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}

TEST(HttpExchange, AnswersWithoutBodyAreNotShort) {
    // HEAD and 204 announce a length they never send.
    {
        FakeHttpServer server(FakeReply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n"));
        Request request;
        request.method = L"HEAD";
        request.url = server.Url(L"/");
        const Response response = Send(request);
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.error, L"");
    }
    {
        FakeHttpServer server(FakeReply::Raw("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"));
        const Response response = Get(server.Url(L"/"));
        EXPECT_EQ(response.status, 204u);
        EXPECT_EQ(response.error, L"");
    }
}

TEST(HttpFailure, UrlsThatCannotBeSplit) {
    for (const wchar_t* url : {L"", L"not a url", L"ftp://127.0.0.1/file", L"127.0.0.1/path"}) {
        const Response response = Get(url);
        EXPECT_EQ(response.status, 0u) << url;
        EXPECT_EQ(response.error, L"Invalid URL") << url;
    }
}

TEST(HttpFailure, RefusedConnectionFailsInTheRequest) {
    const uint16_t port = Testing::UnusedLocalPort();
    ASSERT_NE(port, 0);
    const Response response = Get(L"http://127.0.0.1:" + std::to_wstring(port) + L"/");
    EXPECT_EQ(response.status, 0u);
    EXPECT_EQ(response.error, L"Request failed (12029)");
}

TEST(HttpFailure, SilentServerTimesOutWaitingForTheAnswer) {
    FakeHttpServer server(FakeReply::Silent());
    Request request;
    request.url = server.Url(L"/");
    request.timeout = 300;
    const Stopwatch clock;
    const Response response = Send(request);
    EXPECT_LT(clock.Seconds(), 20.0);
    EXPECT_EQ(response.status, 0u);
    EXPECT_EQ(response.error.rfind(L"Request failed (", 0), 0u) << response.error;
}

TEST(HttpFailure, BodyThatStopsArrivingIsAFailedRead) {
    struct Case {
        const char* name;
        FakeReply reply;
    };
    Case cases[] = {
        {"stalled past the time-out", FakeReply().Header("X-Kind", "k").AnnounceLength(100).Body("first").Stall()},
        {"reset without a length",
         FakeReply().Frame(Framing::CloseDelimited).Header("X-Kind", "k").Body("first").Pause(30).Reset()},
    };
    for (Case& c : cases) {
        FakeHttpServer server(std::move(c.reply));
        Request request;
        request.url = server.Url(L"/");
        request.timeout = 300;
        const Stopwatch clock;
        const Response response = Send(request);
        EXPECT_LT(clock.Seconds(), 20.0) << c.name;
        EXPECT_EQ(response.status, 0u) << c.name;
        EXPECT_EQ(response.error.rfind(L"Read failed (", 0), 0u) << c.name << ": " << response.error;
        EXPECT_EQ(response.body, "first") << c.name;
        EXPECT_EQ(response.headers.at(L"x-kind"), L"k") << c.name;
    }
}

TEST(HttpFailure, BodyShorterThanItsLengthIsAFailure) {
    FakeHttpServer server(FakeReply().Header("X-Kind", "short").AnnounceLength(10).Body("hello").Cut());
    const Response response = Get(server.Url(L"/"));
    EXPECT_EQ(response.status, 0u);
    EXPECT_EQ(response.error, L"Incomplete body (5 of 10 bytes)");
    EXPECT_EQ(response.body, "hello");
    EXPECT_EQ(response.headers.at(L"x-kind"), L"short");
}

// Every way an exchange can fail that a user may meet, met for real, and the one Spanish sentence
// each gives. A secure request to a plain server stands for a failed secure channel; a name under
// ".invalid" never resolves.
TEST(HttpFailure, EachKindOfFailureHasItsSpanishSentence) {
    struct Case {
        const char* name;
        std::optional<FakeReply> reply;  // none: nothing listens
        const wchar_t* scheme;
        Failure failure;
        const wchar_t* sentence;
    };
    Case cases[] = {
        {"time-out", FakeReply::Silent(), L"http", Failure::Timeout, L"El servidor tardó demasiado en responder"},
        {"stalled body", FakeReply().AnnounceLength(100).Body("first").Stall(), L"http", Failure::Timeout,
         L"El servidor tardó demasiado en responder"},
        {"cut body", FakeReply().AnnounceLength(10).Body("hello").Cut(), L"http", Failure::Cut,
         L"La conexión se cortó antes de recibir toda la respuesta"},
        {"refused connection", std::nullopt, L"http", Failure::NoConnection, L"Sin conexión con el servidor"},
        {"secure channel", FakeReply().Body("plain"), L"https", Failure::Secure,
         L"No se pudo establecer una conexión segura con el servidor"},
        {"status", FakeReply::Json(503, "{}"), L"http", Failure::None, L"El servidor tuvo un fallo (error 503)"},
    };
    for (Case& c : cases) {
        std::optional<FakeHttpServer> server;
        uint16_t port = Testing::UnusedLocalPort();
        if (c.reply) {
            server.emplace(std::move(*c.reply));
            port = server->Port();
        }
        Request request;
        request.url = std::wstring(c.scheme) + L"://127.0.0.1:" + std::to_wstring(port) + L"/";
        request.timeout = 500;
        const Response response = Send(request);
        EXPECT_EQ(response.failure, c.failure) << c.name << ": " << Testing::Narrow(response.error);
        EXPECT_EQ(ErrorSentence(response), c.sentence) << c.name;
    }

    Request unknown;
    unknown.url = L"http://lorvex-no-such-host.invalid/";
    unknown.timeout = 5000;
    const Response unresolved = Send(unknown);
    EXPECT_EQ(unresolved.failure, Failure::NameNotResolved) << Testing::Narrow(unresolved.error);
    EXPECT_EQ(ErrorSentence(unresolved), L"No se encontró el servidor; revisa la conexión a internet");

    // Statuses by what they mean, each with its number.
    const std::pair<uint32_t, const wchar_t*> statuses[] = {
        {400, L"El servidor rechazó la petición (error 400)"},
        {401, L"El servidor no permitió el acceso (error 401)"},
        {404, L"El servidor no encontró lo pedido (error 404)"},
        {413, L"Lo enviado es demasiado grande para el servidor (error 413)"},
        {429, L"El servidor pide esperar un momento (error 429)"},
        {504, L"El servidor tardó demasiado en responder (error 504)"},
        {302, L"Respuesta inesperada del servidor (error 302)"},
    };
    for (const auto& [status, sentence] : statuses) {
        EXPECT_EQ(StatusSentence(status), sentence) << status;
    }
}

}  // namespace
}  // namespace Lorvex::Http
