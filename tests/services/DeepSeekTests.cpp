// The language-model client end to end against the in-process fake provider: what is sent, the
// streamed and whole answers, stopping, and every failure as its Spanish text.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "services/ai/DeepSeekService.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Services {
namespace {

using Testing::Event;
using Testing::FakeHttpServer;
using Testing::FakeReply;
using Testing::Framing;
using Testing::kDone;
using Testing::PointAt;
using Testing::WholeAnswer;

Character Kai() {
    Character kai;
    kai.id = L"kai";
    kai.name = L"Kai";
    kai.speech_style = L"Picante";
    KnownCharacter marco;
    marco.name = L"Marco";
    kai.known_characters = {marco};
    return kai;
}

Message Line(std::wstring role, std::wstring content) {
    Message message;
    message.role = std::move(role);
    message.content = std::move(content);
    return message;
}

std::string Show(const std::wstring& text) {
    return Text::ToUtf8(text);
}

struct Collected {
    std::vector<std::wstring> texts;
    ProgressCallback Callback() {
        return [this](const std::wstring& text) { texts.push_back(text); };
    }
};

const DeepSeekService kService;

AiReply AskKai(const std::vector<Message>& history, const AiOptions& options, const ProgressCallback& progress,
               const Async::Cancel& cancel = {}, const std::optional<std::wstring>& group = std::nullopt) {
    return kService.Ask(Kai(), history, std::nullopt, group, options, progress, cancel);
}

TEST(DeepSeekRequest, StreamedRequestAndItsProgress) {
    FakeHttpServer server(FakeReply::EventStream()
                              .Body(": keep-alive\n\n")
                              .Body(Event("Marco: Hola"))
                              .AwaitRelease()
                              .Body(Event(" \xE2\x80\x94 amigo"))
                              .AwaitRelease()
                              .Body(kDone));
    PointAt point(server);
    std::vector<std::wstring> seen;
    const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{0.8, 500, true}, [&](const std::wstring& text) {
        seen.push_back(text);
        server.Release();
    });

    EXPECT_EQ(Show(reply.text), "Hola, amigo");
    EXPECT_EQ(reply.speaker, L"Marco");
    EXPECT_EQ(reply.error, L"");
    EXPECT_FALSE(reply.cancelled);
    // Every report is the whole text so far, cleaned.
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Hola", L"Hola, amigo"}));

    ASSERT_EQ(server.Requests().size(), 1u);
    const Testing::RecordedRequest request = server.Requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/v1/chat/completions");
    EXPECT_EQ(request.Header("Authorization"), "Bearer " + Text::ToUtf8(Testing::kTestApiKey));
    EXPECT_EQ(request.Header("Accept"), "text/event-stream");
    EXPECT_EQ(request.Header("Content-Type"), "application/json");
    const std::vector<std::string> names = request.HeaderNames();
    const auto at = [&names](const std::string& name) { return std::find(names.begin(), names.end(), name); };
    EXPECT_LT(at("Authorization"), at("Accept"));
    EXPECT_LT(at("Accept"), at("Content-Type"));

    bool ok = false;
    const Json::Value body = Json::Value::Parse(request.body, &ok);
    ASSERT_TRUE(ok) << request.body;
    std::vector<std::string> keys;
    for (const auto& member : body.Members()) {
        keys.push_back(member.first);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"model", "messages", "max_tokens", "temperature", "top_p",
                                              "presence_penalty", "frequency_penalty", "stream"}));
    EXPECT_EQ(body.Find("model").AsString(), "deepseek-chat");
    EXPECT_EQ(body.Find("max_tokens").AsInt64(), 500);
    EXPECT_DOUBLE_EQ(body.Find("temperature").AsDouble(), 0.8);
    EXPECT_DOUBLE_EQ(body.Find("top_p").AsDouble(), 0.9);
    EXPECT_DOUBLE_EQ(body.Find("presence_penalty").AsDouble(), 0.5);
    EXPECT_DOUBLE_EQ(body.Find("frequency_penalty").AsDouble(), 0.5);
    EXPECT_EQ(body.Find("stream").kind, Json::Type::Bool);
    EXPECT_TRUE(body.Find("stream").AsBool());
    const Json::Array& messages = body.Find("messages").Items();
    ASSERT_EQ(messages.size(), 2u);
    const auto memberNames = [](const Json::Value& value) {
        std::vector<std::string> names;
        for (const auto& member : value.Members()) {
            names.push_back(member.first);
        }
        return names;
    };
    EXPECT_EQ(memberNames(messages[0]), (std::vector<std::string>{"role", "content"}));
    EXPECT_EQ(messages[0].Find("role").AsString(), "system");
    // The speech style's description comes from the table.
    EXPECT_NE(messages[0].Find("content").AsString().find(
                  "- Estilo de habla: Picante (Utiliza lenguaje sugerente y provocativo, con dobles sentidos.)\n"),
              std::string::npos);
    EXPECT_EQ(messages[1].Find("role").AsString(), "user");
    EXPECT_EQ(messages[1].Find("content").AsString(), "hola");
}

TEST(DeepSeekRequest, PlainRequestWhenNotStreamed) {
    // Asked to stream but without a callback, or with a callback but not asked to: both plain.
    const bool streamFlags[] = {true, false};
    for (const bool stream : streamFlags) {
        FakeHttpServer server(FakeReply::Json(200, WholeAnswer("Marco: Hola \xE2\x80\x94 amigo")));
        PointAt point(server);
        Collected progress;
        Message oldVersion = Line(L"assistant", L"versión anterior");
        oldVersion.regeneration_id = L"g";
        const std::vector<Message> history = {Line(L"user", L"hola"), oldVersion};
        const AiReply reply =
            AskKai(history, AiOptions{0.5, 300, stream}, stream ? ProgressCallback() : progress.Callback(), {}, L"g");

        EXPECT_EQ(Show(reply.text), "Hola, amigo");
        EXPECT_EQ(reply.speaker, L"Marco");
        EXPECT_EQ(reply.error, L"");
        EXPECT_TRUE(progress.texts.empty());
        ASSERT_EQ(server.Requests().size(), 1u);
        const Testing::RecordedRequest request = server.Requests()[0];
        EXPECT_EQ(request.Header("Accept"), "application/json");
        const Json::Value body = Json::Value::Parse(request.body);
        EXPECT_EQ(body.Find("stream").kind, Json::Type::Null);
        EXPECT_EQ(request.body.find("\"stream\""), std::string::npos);
        // The version being regenerated is not sent.
        EXPECT_EQ(body.Find("messages").Size(), 2u);
    }
}

TEST(DeepSeekErrors, ErrorTextOfEachStatus) {
    struct Case {
        std::string body;
        uint32_t status;
        Http::Failure failure;
        std::wstring expected;
    };
    const std::string longBody(400, 'x');
    const Case cases[] = {
        {"", 0, Http::Failure::None, L"No se pudo hablar con DeepSeek. Sin conexión con el servidor."},
        {"", 0, Http::Failure::Timeout, L"No se pudo hablar con DeepSeek. El servidor tardó demasiado en responder."},
        {"{\"error\":{\"message\":\"x\"}}", 401, Http::Failure::None,
         L"La clave de la API de DeepSeek no es válida. x"},
        {"{\"error\":{\"message\":\"Insufficient Balance\"}}", 402, Http::Failure::None,
         L"La cuenta de DeepSeek no tiene saldo. Insufficient Balance"},
        {"{\"error\":{\"message\":\"slow down\"}}", 429, Http::Failure::None,
         L"Demasiadas peticiones a DeepSeek, espera un momento. slow down"},
        {"", 500, Http::Failure::None, L"Error de DeepSeek (500): "},
        {"Bad gateway", 502, Http::Failure::None, L"Error de DeepSeek (502): Bad gateway"},
        {"{\"error\":{\"message\":\"\"},\"code\":1}", 503, Http::Failure::None,
         L"Error de DeepSeek (503): {\"error\":{\"message\":\"\"},\"code\":1}"},
        {"{\"error\":\"plain\"}", 400, Http::Failure::None, L"Error de DeepSeek (400): {\"error\":\"plain\"}"},
        {longBody, 404, Http::Failure::None, L"Error de DeepSeek (404): " + std::wstring(300, L'x')},
    };
    for (const Case& c : cases) {
        Http::Response response;
        response.status = c.status;
        response.body = c.body;
        response.failure = c.failure;
        EXPECT_EQ(Show(DeepSeekService::ErrorText(response)), Show(c.expected)) << c.status;
    }
    // The 300-byte cut may split a character: it shows as a replacement, never as a failure.
    Http::Response accented;
    accented.status = 500;
    accented.body = std::string(299, 'a') + "\xC3\xB1" + "zzz";
    const std::wstring cut = DeepSeekService::ErrorText(accented);
    const std::wstring prefix = L"Error de DeepSeek (500): " + std::wstring(299, L'a');
    EXPECT_EQ(cut.substr(0, prefix.size()), prefix);
    EXPECT_GT(cut.size(), prefix.size());
    EXPECT_EQ(cut.find(L'z'), std::wstring::npos);
}

TEST(DeepSeekErrors, FailedStatusesStreamedAndWhole) {
    struct Case {
        int status;
        std::string body;
        std::wstring expected;
    };
    const Case cases[] = {
        {401, "{\"error\":{\"message\":\"Authentication Fails\"}}",
         L"La clave de la API de DeepSeek no es válida. Authentication Fails"},
        {402, "{\"error\":{\"message\":\"Insufficient Balance\"}}",
         L"La cuenta de DeepSeek no tiene saldo. Insufficient Balance"},
        {429, "{\"error\":{\"message\":\"Rate limit\"}}",
         L"Demasiadas peticiones a DeepSeek, espera un momento. Rate limit"},
        {500, "", L"Error de DeepSeek (500): "},
    };
    for (const Case& c : cases) {
        for (const bool streamed : {true, false}) {
            FakeHttpServer server(streamed ? FakeReply::EventStream(c.status).Body(c.body)
                                           : FakeReply::Json(c.status, c.body));
            PointAt point(server);
            Collected progress;
            const AiReply reply =
                AskKai({Line(L"user", L"hola")}, AiOptions{}, streamed ? progress.Callback() : ProgressCallback());
            EXPECT_EQ(Show(reply.error), Show(c.expected)) << c.status << (streamed ? " streamed" : " whole");
            EXPECT_EQ(reply.text, L"");
            EXPECT_FALSE(reply.cancelled);
        }
    }
}

TEST(DeepSeekErrors, RefusedConnection) {
    PointAt point(L"http://127.0.0.1:" + std::to_wstring(Testing::UnusedLocalPort()));
    Collected progress;
    for (const bool streamed : {true, false}) {
        const AiReply reply =
            AskKai({Line(L"user", L"hola")}, AiOptions{}, streamed ? progress.Callback() : ProgressCallback());
        EXPECT_EQ(Show(reply.error), "No se pudo hablar con DeepSeek. Sin conexión con el servidor.");
        EXPECT_EQ(reply.text, L"");
    }
}

TEST(DeepSeekErrors, AnswersWithoutAUsableReply) {
    struct Case {
        const char* what;
        FakeReply reply;
        bool streamed;
        std::wstring error;
    };
    const std::wstring none = L"DeepSeek no devolvió ninguna respuesta.";
    const std::wstring cut = L"La conexión con DeepSeek se cortó antes del final de la respuesta.";
    Case cases[] = {
        {"body not JSON", FakeReply::Json(200, "<html>hola</html>"), false, L"Respuesta de DeepSeek no válida."},
        {"no choices", FakeReply::Json(200, "{\"choices\":[]}"), false, none},
        {"content null", FakeReply::Json(200, "{\"choices\":[{\"message\":{\"content\":null}}]}"), false, none},
        {"message not an object", FakeReply::Json(200, "{\"choices\":[{\"message\":\"hola\"}]}"), false, none},
        {"root an array", FakeReply::Json(200, "[1]"), false, none},
        {"only blanks", FakeReply::Json(200, WholeAnswer(" \n ")), false, none},
        {"nothing left after cleaning", FakeReply::Json(200, WholeAnswer("Marco:")), false, none},
        {"stream with [DONE] only", FakeReply::EventStream().Body(": ping\n\n").Body(kDone), true, none},
        {"stream closed before any text", FakeReply::EventStream().Body(": ping\n\n").Cut(), true, cut},
        // A portal's or a proxy's page in the provider's place: nothing was cut, it is no answer.
        {"streamed, a page instead of events",
         FakeReply(200, "OK").Header("Content-Type", "text/html; charset=utf-8").Body("<html>Acceso</html>"), true,
         L"Respuesta de DeepSeek no válida."},
        {"streamed, a page with no type", FakeReply(200, "OK").Body("<html>Acceso</html>"), true,
         L"Respuesta de DeepSeek no válida."},
    };
    for (Case& c : cases) {
        FakeHttpServer server(std::move(c.reply));
        PointAt point(server);
        Collected progress;
        const AiReply reply =
            AskKai({Line(L"user", L"hola")}, AiOptions{}, c.streamed ? progress.Callback() : ProgressCallback());
        EXPECT_EQ(Show(reply.error), Show(c.error)) << c.what;
        EXPECT_EQ(reply.text, L"") << c.what;
        EXPECT_FALSE(reply.cancelled) << c.what;
    }
}

// The provider ends every complete stream with a finish reason and "[DONE]": a stream that stops
// without both, however its framing lets it end, is a cut reply. The text that arrived stays, with
// the failure. A finish reason that came without the marker after it still ends a whole answer.
TEST(DeepSeekStream, AStreamEndingWithoutDoneKeepsWhatArrivedAndReportsTheCut) {
    using Testing::ProviderStream;
    struct Case {
        const char* what;
        FakeReply reply;
        bool complete;
    };
    Case cases[] = {
        {"complete", ProviderStream().Body(Event("Hola")).Body(Testing::kFinished), true},
        {"complete in chunks", ProviderStream().Frame(Framing::Chunked).Body(Event("Hola")).Body(Testing::kFinished),
         true},
        {"closed after an event", ProviderStream().Body(Event("Hola")).Cut(), false},
        {"closed inside an event", ProviderStream().Body(Event("Hola")).Body("data: {\"choi").Cut(), false},
        {"chunks ended cleanly before the end", ProviderStream().Frame(Framing::Chunked).Body(Event("Hola")), false},
        {"closed inside a chunk", ProviderStream().Frame(Framing::Chunked).Body(Event("Hola")).Cut(), false},
        {"announced length reached", ProviderStream().Frame(Framing::ContentLength).Body(Event("Hola")), false},
        {"closed after the finish reason", ProviderStream().Body(Event("Hola")).Body(Testing::kFinishChunk).Cut(),
         true},
        {"reset after the finish reason",
         ProviderStream().Body(Event("Hola")).Body(Testing::kFinishChunk).Pause(30).Reset(), true},
        {"chunks ended cleanly after the finish reason",
         ProviderStream().Frame(Framing::Chunked).Body(Event("Hola")).Body(Testing::kFinishChunk), true},
    };
    for (Case& c : cases) {
        FakeHttpServer server(std::move(c.reply));
        PointAt point(server);
        Collected progress;
        const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{}, progress.Callback());
        EXPECT_EQ(reply.text, L"Hola") << c.what;
        if (c.complete) {
            EXPECT_EQ(reply.error, L"") << c.what;
        } else {
            EXPECT_EQ(reply.error.rfind(L"La conexión con DeepSeek se cortó antes del final de la respuesta", 0), 0u)
                << c.what << ": " << Show(reply.error);
        }
        EXPECT_FALSE(reply.cancelled) << c.what;
    }
}

// A connection that breaks mid-stream is a failure, yet the text that arrived stays with it.
TEST(DeepSeekStream, ABrokenStreamKeepsWhatArrivedAndReportsTheFailure) {
    FakeHttpServer server(
        FakeReply::EventStream().Body(Event("Marco: Hola")).AwaitRelease().Body("data: {\"choi").Pause(30).Reset());
    PointAt point(server);
    const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{}, [&](const std::wstring&) { server.Release(); });
    EXPECT_EQ(reply.text, L"Hola");
    EXPECT_EQ(reply.speaker, L"Marco");
    // Wine's transfer reports the reset that follows the partial line now as a failed read, now
    // (on a loaded machine) as the end of the stream; the user reads that the answer was cut
    // either way, in Spanish only.
    EXPECT_EQ(Show(reply.error), "La conexión con DeepSeek se cortó antes del final de la respuesta.");
    EXPECT_FALSE(reply.cancelled);
}

TEST(DeepSeekStream, ChunkedStreamArrivesWhole) {
    FakeHttpServer server(FakeReply::EventStream()
                              .Frame(Framing::Chunked)
                              .Body(Event("Uno"))
                              .Body(Event(" dos") + Event(" tres"))
                              .Body("data: [DO")
                              .Body("NE]\r\n\r\n"));
    PointAt point(server);
    Collected progress;
    const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{}, progress.Callback());
    EXPECT_EQ(reply.text, L"Uno dos tres");
    EXPECT_EQ(reply.error, L"");
    ASSERT_FALSE(progress.texts.empty());
    EXPECT_EQ(progress.texts.back(), L"Uno dos tres");
}

// The reader ends the transfer at [DONE] itself; the server keeping the connection open after it
// must not turn a complete reply into a failure.
TEST(DeepSeekStream, DoneEndsTheReplyWhileTheServerStaysOpen) {
    FakeHttpServer server(FakeReply::EventStream().Body(Event("Completo") + kDone + Event(" de más")).Stall());
    PointAt point(server);
    Collected progress;
    const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{}, progress.Callback());
    EXPECT_EQ(reply.text, L"Completo");
    EXPECT_EQ(reply.error, L"");
    EXPECT_FALSE(reply.cancelled);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A stop while the server sends nothing ends the request at once. The bound only tells "ended by
// the stop" from "ended when the stalled server gave up" (30 s).
TEST(DeepSeekStop, BeforeTheFirstEvent) {
    FakeHttpServer server(FakeReply::EventStream().Stall());
    PointAt point(server);
    Async::Cancel cancel;
    std::thread stopper([&] {
        server.WaitForRequests(1);
        cancel.Set();
    });
    Collected progress;
    const auto start = std::chrono::steady_clock::now();
    const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{}, progress.Callback(), cancel);
    stopper.join();
    EXPECT_LT(SecondsSince(start), 15.0);
    EXPECT_TRUE(reply.cancelled);
    EXPECT_EQ(reply.text, L"");
    EXPECT_EQ(reply.error, L"");  // a stop is no failure, also without text
    EXPECT_TRUE(progress.texts.empty());
}

TEST(DeepSeekStop, AfterTheFirstEventKeepsTheTextSoFar) {
    FakeHttpServer server(FakeReply::EventStream().Body(Event("Marco: Hola")).Stall());
    PointAt point(server);
    Async::Cancel cancel;
    std::promise<void> firstText;
    std::thread stopper([&] {
        firstText.get_future().wait();
        cancel.Set();
    });
    std::vector<std::wstring> seen;
    const auto start = std::chrono::steady_clock::now();
    const AiReply reply = AskKai(
        {Line(L"user", L"hola")}, AiOptions{},
        [&](const std::wstring& text) {
            if (seen.empty()) {
                firstText.set_value();
            }
            seen.push_back(text);
        },
        cancel);
    stopper.join();
    EXPECT_LT(SecondsSince(start), 15.0);
    EXPECT_TRUE(reply.cancelled);
    EXPECT_EQ(reply.text, L"Hola");
    EXPECT_EQ(reply.speaker, L"Marco");
    EXPECT_EQ(reply.error, L"");
    EXPECT_EQ(seen, std::vector<std::wstring>{L"Hola"});
}

TEST(DeepSeekStop, AWholeRequestRunsToItsEndAndDropsTheAnswer) {
    FakeHttpServer server(FakeReply::Json(200, WholeAnswer("Hola")));
    PointAt point(server);
    Async::Cancel cancel;
    cancel.Set();
    const AiReply reply = AskKai({Line(L"user", L"hola")}, AiOptions{0.7, 100, false}, {}, cancel);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(reply.cancelled);
    EXPECT_EQ(reply.text, L"");
    EXPECT_EQ(reply.error, L"");
}

TEST(DeepSeekDual, PartnerLinesGoAsReportsAndComeBackCleaned) {
    FakeHttpServer server(FakeReply::EventStream()
                              .Body(Event("[Leo respondio: yo tambi\xC3\xA9n] Vale,\n\n"))
                              .AwaitRelease()
                              .Body(Event("vamos \xE2\x80\x94 ya"))
                              .AwaitRelease()
                              .Body(kDone));
    PointAt point(server);
    Character ana;
    ana.id = L"ana";
    ana.name = L"Ana";
    Character leo;
    leo.id = L"leo";
    leo.name = L"Leo";
    leo.personality = L"Bromista";
    Message leoLine = Line(L"assistant", L"Soy Leo");
    leoLine.character_id = L"leo";
    leoLine.character_name = L"Leo";
    leoLine.regeneration_id = L"g";
    std::vector<std::wstring> seen;
    const AiReply reply = kService.AskDual(ana, leo, {Line(L"user", L"Hola"), leoLine}, std::nullopt, AiOptions{},
                                           [&](const std::wstring& text) {
                                               seen.push_back(text);
                                               server.Release();
                                           },
                                           {});
    EXPECT_EQ(Show(reply.text), "Vale, vamos, ya");
    EXPECT_EQ(reply.speaker, L"");
    EXPECT_EQ(reply.error, L"");
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Vale,", L"Vale, vamos, ya"}));

    ASSERT_EQ(server.Requests().size(), 1u);
    const Json::Value body = Json::Value::Parse(server.Requests()[0].body);
    const Json::Array& messages = body.Find("messages").Items();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].Find("content").AsString().find("Tu identidad: Eres Ana"), std::string::npos);
    EXPECT_EQ(messages[2].Find("role").AsString(), "user");
    EXPECT_EQ(messages[2].Find("content").AsString(), "[Leo respondio: Soy Leo]");
}

}  // namespace
}  // namespace Lorvex::Services
