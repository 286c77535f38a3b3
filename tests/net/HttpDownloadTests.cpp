// Download into a part file and the move over the target: a failed download never leaves a part
// file behind nor touches an existing target.

#include <gtest/gtest.h>

#include "foundation/Files.h"
#include "foundation/net/Http.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Http {
namespace {

using Testing::FakeHttpServer;
using Testing::FakeReply;

TEST(HttpDownload, WritesThroughAPartFileIntoANewFolder) {
    const std::wstring root = Testing::MakeTempFolder(L"http-download");
    const std::wstring target = Files::JoinPath(root, L"a\\b\\Lorvex.001");
    FakeHttpServer server(FakeReply().Body("part one").AwaitRelease().Body(", part two"));
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    std::wstring error = L"untouched";
    const bool ok = Download(server.Url(L"/file"), target,
                             [&](uint64_t received, uint64_t total) {
                                 calls.emplace_back(received, total);
                                 // The bytes so far are in the part file, not in the target.
                                 EXPECT_TRUE(Testing::Exists(target + L".part"));
                                 EXPECT_FALSE(Testing::Exists(target));
                                 server.Release();
                                 return true;
                             },
                             &error, {{L"Authorization", L"Bot t"}});
    EXPECT_TRUE(ok);
    EXPECT_EQ(error, L"untouched");
    EXPECT_EQ(Testing::Content(target), "part one, part two");
    EXPECT_FALSE(Testing::Exists(target + L".part"));
    EXPECT_EQ(calls, (std::vector<std::pair<uint64_t, uint64_t>>{{8, 18}, {18, 18}}));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].Header("Authorization"), "Bot t");
    Files::RemoveTree(root);
}

TEST(HttpDownload, ReplacesAnExistingTarget) {
    const std::wstring root = Testing::MakeTempFolder(L"http-download");
    const std::wstring target = Files::JoinPath(root, L"Lorvex.exe");
    ASSERT_TRUE(Files::WriteBytes(target, std::string("old program")));
    FakeHttpServer server(FakeReply().Body("new program"));
    EXPECT_TRUE(Download(server.Url(L"/"), target, {}));
    EXPECT_EQ(Testing::Content(target), "new program");
    Files::RemoveTree(root);
}

TEST(HttpDownload, FailuresLeaveNoPartFileAndTheTargetAsItWas) {
    struct Case {
        const char* name;
        std::optional<FakeReply> reply;  // none: nothing listens
        bool stopAtFirstBlock;
        std::wstring error;
    };
    Case cases[] = {
        {"not found", FakeReply::Json(404, "{}"), false, L"El servidor no encontró lo pedido (error 404)"},
        {"cut short", FakeReply().AnnounceLength(100).Body("0123456789").Cut(), false,
         L"La conexión se cortó antes de recibir toda la respuesta"},
        {"stopped", FakeReply().Body("0123456789").AwaitRelease().Body("more"), true, L"Se canceló la transferencia"},
        {"refused", std::nullopt, false, L"Sin conexión con el servidor"},
    };
    for (Case& c : cases) {
        const std::wstring root = Testing::MakeTempFolder(L"http-download");
        const std::wstring target = Files::JoinPath(root, L"Lorvex.exe");
        ASSERT_TRUE(Files::WriteBytes(target, std::string("old program")));
        std::optional<FakeHttpServer> server;
        std::wstring url = L"http://127.0.0.1:" + std::to_wstring(Testing::UnusedLocalPort()) + L"/";
        if (c.reply) {
            server.emplace(std::move(*c.reply));
            url = server->Url(L"/");
        }
        std::wstring error;
        const bool ok = Download(
            url, target, [&](uint64_t, uint64_t) { return !c.stopAtFirstBlock; }, &error);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_FALSE(Testing::Exists(target + L".part")) << c.name;
        EXPECT_EQ(Testing::Content(target), "old program") << c.name;
        server.reset();
        Files::RemoveTree(root);
    }
}

TEST(HttpDownload, AFinalMoveThatFailsIsAFailureAndRemovesThePartFile) {
    // The whole answer arrived, but it cannot take the target's place: another program holds the
    // target open, or a folder stands where the file should go.
    for (const bool targetIsFolder : {false, true}) {
        SCOPED_TRACE(targetIsFolder ? "a folder in the way" : "the target held open");
        const std::wstring root = Testing::MakeTempFolder(L"http-download");
        const std::wstring target = Files::JoinPath(root, L"Lorvex.exe");
        const std::wstring kept = targetIsFolder ? Files::JoinPath(target, L"inside.txt") : target;
        ASSERT_TRUE(Files::WriteBytes(kept, std::string("old program")));
        FakeHttpServer server(FakeReply().Body("new program"));
        std::wstring error;
        {
            Testing::HeldFile held(kept, GENERIC_READ, FILE_SHARE_READ);
            ASSERT_TRUE(held.IsOpen());
            EXPECT_FALSE(Download(server.Url(L"/"), target, {}, &error));
        }
        EXPECT_EQ(error, L"No se pudo guardar la descarga");
        EXPECT_FALSE(Testing::Exists(target + L".part"));
        EXPECT_EQ(Testing::Content(kept), "old program");
        EXPECT_EQ(server.Requests().size(), 1u);
        Files::RemoveTree(root);
    }
}

TEST(HttpDownload, PartFileThatCannotBeCreated) {
    const std::wstring root = Testing::MakeTempFolder(L"http-download");
    // The target's folder is a file, so nothing can be created inside it.
    const std::wstring blocker = Files::JoinPath(root, L"blocker");
    ASSERT_TRUE(Files::WriteBytes(blocker, std::string("x")));
    const std::wstring target = Files::JoinPath(blocker, L"Lorvex.exe");
    FakeHttpServer server(FakeReply().Body("data"));
    std::wstring error;
    EXPECT_FALSE(Download(server.Url(L"/"), target, {}, &error));
    EXPECT_EQ(error, L"No se pudo crear el archivo de la descarga");
    EXPECT_TRUE(server.Requests().empty());
    Files::RemoveTree(root);
}

}  // namespace
}  // namespace Lorvex::Http
