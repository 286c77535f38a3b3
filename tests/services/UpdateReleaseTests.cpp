// Releases as the channel publishes them: version texts read and compared as numbers, a message's
// version line, notes, hash and parts, and the channel read against the fake bot API with its
// refusals, its blanked texts without the content permission, and the order of the list.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "foundation/net/Http.h"
#include "services/updates/UpdateRelease.h"
#include "tests/support/FakeReleaseChannel.h"

namespace Lorvex::Services::Updates {
namespace {

using Testing::FakeFile;
using Testing::FakeMessage;
using Testing::FakeReleaseChannel;

const std::wstring kHashUpper = L"9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
const std::wstring kHash = L"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

TEST(UpdateRelease, VersionTextsReadAsAtLeastThreeNumbers) {
    struct Case {
        const wchar_t* text;
        std::vector<int32_t> numbers;
    };
    const Case cases[] = {
        {L"", {0, 0, 0}},      {L"3", {3, 0, 0}},
        {L"3..1", {3, 0, 1}},  {L"3.0.3.1.2", {3, 0, 3, 1, 2}},
        {L" 3 .1", {3, 1, 0}}, {L"+3.-2", {3, -2, 0}},
        {L"3a.1", {0, 1, 0}},  {L"4294967299.1", {0, 1, 0}},  // beyond 32 bits: not read as 3 after wrapping
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseVersion(c.text), c.numbers) << c.text;
    }
}

TEST(UpdateRelease, VersionsCompareNumberByNumber) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool older;
    };
    const Case cases[] = {
        {L"3.0.1", L"3.0.2", true},      {L"3.0.9", L"3.0.10", true},
        {L"2.9.9", L"3.0.0", true},      {L"3.0", L"3.0.1", true},
        {L"3.0.2", L"3.0.2", false},     {L"3.0", L"3.0.0", false},
        {L"3.0.0", L"3.0", false},       {L"3.0.10", L"3.0.9", false},
        {L"4", L"3.9.9", false},         {L"3.0.99", L"3.1", true},
        {L"3.0.3", L"3.0.3.0.1", true},  {L"3.0.3.1.2", L"3.0.3.1.10", true},
        {L"3.0.3.0.0", L"3.0.3", false}, {L"3.-1", L"3.0", true},
        {L"3.x.1", L"3.0.2", true},      {L"3.0.4294967299", L"3.0.1", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionLess(c.a, c.b), c.older) << c.a << L" < " << c.b;
    }
}

TEST(UpdateRelease, VersionLineGivesTheVersionOrNothing) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"## Lorvex v3.0.3 — notas", L"3.0.3"},
        {L"Lorvex 3.0.3", L"3.0.3"},
        {L"## v3.0.3", L"3.0.3"},
        {L"> **3.0.3**", L"3.0.3"},
        {L"VELMORIN 3.0.3", L"3.0.3"},
        {L"lorvexV3.0.3", L"3.0.3"},
        {L"**3.1**", L"3.1"},
        {L"3.0.3.", L"3.0.3"},
        {L"3.0.3 (beta 2)", L"3.0.3"},
        {L"3.0.3.1.2", L"3.0.3.1.2"},
        {L"_`\t3.0.3`_", L"3.0.3"},
        {L"Lorvex Velmorin 3.0.3", L""},  // only one name is cut
        {L"vv3.0.3", L""},
        {L"v4", L""},
        {L"3", L""},
        {L".3", L""},
        {L"beta", L""},
        {L"Versión 3.0.3", L""},
        {L"Lorvex", L""},
        {L"", L""},
    };
    for (const auto& [line, version] : cases) {
        EXPECT_EQ(CleanVersion(line), version) << line;
    }
    EXPECT_EQ(StripMarks(L"#*_`> \t3 # x"), L"3 # x");
}

TEST(UpdateRelease, PartNumberReadsOnlyDigitsAfterTheFirstDot) {
    const std::pair<const wchar_t*, int32_t> cases[] = {
        {L"Lorvex.001", 1},
        {L"Lorvex.010", 10},
        {L"Lorvex.0", 0},
        {L"Lorvex.exe", -1},
        {L"Lorvex.exe.001", -1},
        {L"Lorvex.", -1},
        {L"Lorvex", -1},
        {L"", -1},
        {L".7", 7},
        {L"Lorvex.1a", -1},
        {L"Lorvex.99999999999", -1},
    };
    for (const auto& [name, number] : cases) {
        EXPECT_EQ(PartNumber(name), number) << name;
    }
}

Json::Value Message(const std::wstring& content, const std::string& attachmentsJson = "[]",
                    const std::string& id = "1300000000000000000") {
    bool ok = false;
    Json::Value message = Json::Value::Parse("{\"id\": \"" + id + "\", \"attachments\": " + attachmentsJson + "}", &ok);
    EXPECT_TRUE(ok);
    message["content"] = content;
    return message;
}

TEST(UpdateRelease, OnlyTheFirstNonBlankLineNamesTheVersion) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\n \t\n\u00a0Lorvex 3.0.3\nnotas", L"3.0.3"},
        {L"\r\n**3.1**\r\n", L"3.1"},
        {L"Novedades\n3.0.3", nullptr},  // later lines are never version lines
        {L"", nullptr},
        {L" \n\n", nullptr},
    };
    for (const auto& [content, version] : cases) {
        const std::optional<Release> release = ParseRelease(Message(content));
        ASSERT_EQ(release.has_value(), version != nullptr) << content;
        if (release) {
            EXPECT_EQ(release->version, version) << content;
        }
    }
    EXPECT_FALSE(ParseRelease(Json::Value::Parse("{\"id\": \"1\"}")).has_value());
}

TEST(UpdateRelease, HashLinesGiveTheLowerCasedHashAndNeverReachTheNotes) {
    struct Case {
        std::wstring lines;
        std::wstring sha256;
    };
    const Case cases[] = {
        {L"**SHA-256:** `" + kHashUpper + L"`", kHash},
        {L"  sha256:" + kHash + L"  ", kHash},
        {L"`SHA-256: " + kHashUpper + L"`", kHash},
        {L"SHA256: abc", L""},
        {L"SHA-256:", L""},
        {L"SHA-256: " + kHash + L"0", L""},                                       // 65 characters
        {L"SHA-256: " + kHash + L"\nSHA256: abc", kHash},                         // a later unusable line leaves it
        {L"SHA-256: " + std::wstring(64, L'a') + L"\nSHA-256: " + kHash, kHash},  // a later usable one replaces it
    };
    for (const Case& c : cases) {
        const std::optional<Release> release = ParseRelease(Message(L"3.0.3\nNota\n" + c.lines + L"\nÚltima"));
        ASSERT_TRUE(release.has_value()) << c.lines;
        EXPECT_EQ(release->sha256, c.sha256) << c.lines;
        EXPECT_EQ(release->notes, L"Nota\nÚltima") << c.lines;
    }
    // A hash line that only looks like one stays in the notes.
    EXPECT_EQ(ParseRelease(Message(L"3.0.3\nLa SHA-256: va abajo"))->notes, L"La SHA-256: va abajo");
}

TEST(UpdateRelease, NotesKeepTheirLinesAndLoseOnlyBlankOnesAtTheEnds) {
    const std::optional<Release> release =
        ParseRelease(Message(L"Lorvex 3.0.3\r\n\r\n \t\r\n## Novedades\r\n- **Nuevo**: modo  `oscuro` \r\n\r\n\r\n"
                             L"  _sangría_\r\nSHA-256: " +
                             kHash + L"\r\n\u00a0\r\n"));
    ASSERT_TRUE(release.has_value());
    EXPECT_EQ(release->notes, L"## Novedades\n- **Nuevo**: modo  `oscuro` \n\n\n  _sangría_");
    EXPECT_EQ(release->sha256, kHash);
    EXPECT_EQ(ParseRelease(Message(L"3.0.3"))->notes, L"");
}

TEST(UpdateRelease, AttachmentsBecomePartsInJoiningOrder) {
    const std::string exe = R"({"filename": "Lorvex.exe", "url": "https://cdn/e", "size": 900})";
    const std::string setup = R"({"filename": "Setup.EXE", "url": "https://cdn/s", "size": 800})";
    const std::string one = R"({"filename": "Lorvex.001", "url": "https://cdn/1", "size": 300})";
    const std::string two = R"({"filename": "Lorvex.002", "url": "https://cdn/2", "size": "200"})";
    const std::string ten = R"({"filename": "Lorvex.010", "url": "https://cdn/10"})";
    const std::string noUrl = R"({"filename": "Lorvex.000", "size": 5})";
    const std::string image = R"({"filename": "captura.png", "url": "https://cdn/p", "size": 5})";
    struct Case {
        std::string attachments;
        std::vector<std::wstring> names;
    };
    const Case cases[] = {
        {"[" + two + "," + one + "," + exe + "]", {L"Lorvex.001", L"Lorvex.002"}},
        {"[" + ten + "," + two + "," + one + "]", {L"Lorvex.001", L"Lorvex.002", L"Lorvex.010"}},
        {"[" + image + "," + exe + "," + setup + "]", {L"Lorvex.exe"}},
        {"[" + setup + "," + exe + "]", {L"Setup.EXE"}},
        {"[" + noUrl + "," + image + "]", {}},
        {"[]", {}},
        {"{\"0\": " + exe + "}", {}},  // not an array
    };
    for (const Case& c : cases) {
        const std::optional<Release> release = ParseRelease(Message(L"3.0.3", c.attachments));
        ASSERT_TRUE(release.has_value()) << c.attachments;  // no usable file is still a release
        std::vector<std::wstring> names;
        for (const Part& part : release->parts) {
            names.push_back(part.fileName);
        }
        EXPECT_EQ(names, c.names) << c.attachments;
    }
    const std::optional<Release> parts = ParseRelease(Message(L"3.0.3", "[" + ten + "," + two + "," + one + "]"));
    ASSERT_EQ(parts->parts.size(), 3u);
    EXPECT_EQ(parts->parts[0].url, L"https://cdn/1");
    EXPECT_EQ(parts->parts[0].size, 300);
    EXPECT_EQ(parts->parts[1].size, 200);
    EXPECT_EQ(parts->parts[2].size, 0);
}

TEST(UpdateRelease, DateComesFromTheMessageId) {
    const std::pair<std::string, int64_t> cases[] = {
        {"1300000000000000000", 1730014552},
        {"1571102392320131072", 1794650400},  // 2026-11-14 10:00 UTC
        {"0", 1420070400},
        {"13000000000000000x", 0},
        {"", 0},
    };
    for (const auto& [id, date] : cases) {
        EXPECT_EQ(ParseRelease(Message(L"3.0.3", "[]", id))->date, date) << id;
    }
}

// The release channel pointed at the fake bot API for one test, and pointed back afterwards.
class ReleaseChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedUrl_ = Config::DiscordApiUrl();
        savedToken_ = Config::DiscordBotToken();
        savedChannel_ = Config::DiscordChannelId();
        Use(channel_.BaseUrl(), Testing::kFakeBotToken, Testing::kFakeChannelId);
    }
    void TearDown() override { Config::SetDiscordForTesting(savedUrl_, savedToken_, savedChannel_); }

    static void Use(const std::wstring& url, const std::string& token, const std::string& channelId) {
        Config::SetDiscordForTesting(url, Text::ToWide(token), Text::ToWide(channelId));
    }

    std::vector<std::wstring> Versions(const Fetched& fetched) {
        std::vector<std::wstring> versions;
        for (const Release& release : fetched.releases) {
            versions.push_back(release.version);
        }
        return versions;
    }

    FakeReleaseChannel channel_;
    std::wstring savedUrl_;
    std::wstring savedToken_;
    std::wstring savedChannel_;
};

TEST_F(ReleaseChannelTest, ReadsTheNewestHundredMessagesAsTheBot) {
    channel_.Post({FakeReleaseChannel::ReleaseText("## Lorvex v3.0.3", "- Arreglos", Text::ToUtf8(kHashUpper)),
                   {FakeFile("Lorvex.002", "BBBB"), FakeFile("Lorvex.001", "MZAA")}});

    const Fetched fetched = FetchReleases();

    ASSERT_EQ(channel_.Requests().size(), 1u);
    const Testing::RecordedRequest request = channel_.Requests()[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, std::string("/api/v10/channels/") + Testing::kFakeChannelId + "/messages?limit=100");
    EXPECT_EQ(request.Header("Authorization"), std::string("Bot ") + Testing::kFakeBotToken);
    EXPECT_EQ(request.Header("User-Agent"), "DiscordBot (Lorvex, 3.0.2)");
    EXPECT_EQ(fetched.error, L"");
    ASSERT_EQ(fetched.releases.size(), 1u);
    const Release& release = fetched.releases[0];
    EXPECT_EQ(release.version, L"3.0.3");
    EXPECT_EQ(release.notes, L"- Arreglos");
    EXPECT_EQ(release.sha256, kHash);
    EXPECT_EQ(release.date, 1794650400);
    ASSERT_EQ(release.parts.size(), 2u);
    EXPECT_EQ(release.parts[0].fileName, L"Lorvex.001");
    EXPECT_EQ(release.parts[0].size, 4);
    // The parts' links are the ones the attachments are served under.
    EXPECT_EQ(Http::Get(release.parts[0].url).body, "MZAA");
    EXPECT_EQ(Http::Get(release.parts[1].url).body, "BBBB");
}

TEST_F(ReleaseChannelTest, EveryRefusalEndsAsItsOwnErrorWithNoReleases) {
    channel_.Post({"3.0.3", {FakeFile("Lorvex.exe", "MZ")}});
    const std::string otherToken = "MTMwMDAwMDAwMDAwMDAwMDAwMQ.Gk3xQe.SomeoneElsesBotTokenForTheTests-00001";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::wstring error;
    };
    const Case cases[] = {
        {"wrong token", [&] { Use(channel_.BaseUrl(), otherToken, Testing::kFakeChannelId); },
         L"El token del bot no es válido (App/Config)"},
        {"unknown channel", [&] { Use(channel_.BaseUrl(), Testing::kFakeBotToken, "1300000000000000043"); },
         L"No existe el canal de actualizaciones (App/Config)"},
        {"hidden channel", [&] { channel_.SetChannelVisible(false); },
         L"El bot no puede ver el canal de actualizaciones"},
        {"rate limited", [&] { channel_.RateLimitNext(2.5); },
         L"Discord pide esperar un poco antes de volver a buscar"},
        {"server error",
         [&] {
             channel_.AnswerNextList(Testing::FakeReply::Json(500, R"({"message": "500: Internal Server Error"})"));
         },
         L"Discord respondió con el error 500"},
        {"bad gateway", [&] { channel_.AnswerNextList(Testing::FakeReply(502, "Bad Gateway").Body("<html>")); },
         L"Discord respondió con el error 502"},
        {"no connection",
         [&] {
             Use(L"http://127.0.0.1:" + std::to_wstring(Testing::UnusedLocalPort()), Testing::kFakeBotToken,
                 Testing::kFakeChannelId);
         },
         L"Sin conexión con Discord"},
        {"torn answer", [&] { channel_.AnswerNextList(Testing::FakeReply(200).AnnounceLength(100).Body("[{").Cut()); },
         L"Sin conexión con Discord"},
    };
    for (const Case& c : cases) {
        Use(channel_.BaseUrl(), Testing::kFakeBotToken, Testing::kFakeChannelId);
        channel_.SetChannelVisible(true);
        c.arrange();
        const Fetched fetched = FetchReleases();
        EXPECT_EQ(fetched.error, c.error) << c.name;
        EXPECT_TRUE(fetched.releases.empty()) << c.name;
    }
}

TEST_F(ReleaseChannelTest, ATextlessChannelAsksForTheContentPermission) {
    const std::wstring intent =
        L"El bot no puede leer el texto de los mensajes: activa \"Message Content Intent\" en el portal de Discord";
    // An empty channel, and one of chat without versions, are read and hold nothing.
    EXPECT_EQ(FetchReleases().error, L"");
    channel_.Post({"Hola a todos", {FakeFile("captura.png", "PNG")}});
    Fetched fetched = FetchReleases();
    EXPECT_EQ(fetched.error, L"");
    EXPECT_TRUE(fetched.releases.empty());

    // Without the permission the service blanks text and attachments alike.
    channel_.Post(
        {FakeReleaseChannel::ReleaseText("3.0.3", "Notas", Text::ToUtf8(kHash)), {FakeFile("Lorvex.exe", "MZ")}});
    channel_.SetContentIntent(false);
    fetched = FetchReleases();
    EXPECT_EQ(fetched.error, intent);
    EXPECT_TRUE(fetched.releases.empty());

    // A body that is no message list is read as an empty channel.
    channel_.SetContentIntent(true);
    channel_.AnswerNextList(Testing::FakeReply::Json(200, R"({"messages": []})"));
    fetched = FetchReleases();
    EXPECT_EQ(fetched.error, L"");
    EXPECT_TRUE(fetched.releases.empty());
    EXPECT_EQ(Versions(FetchReleases()), std::vector<std::wstring>{L"3.0.3"});
}

TEST_F(ReleaseChannelTest, NewestVersionFirstAndOfEachTextTheNewestMessage) {
    // Posted oldest first; "3.1" and "3.1.0" are one version under two texts.
    channel_.Post({"3.1\nprimera 3.1"});
    channel_.Post({"3.0.3\n3.0.3 vieja"});
    channel_.Post({"3.1.0\nla 3.1.0"});
    channel_.Post({"Lorvex 3.0.10"});
    channel_.Post({"3.0.3\n3.0.3 nueva"});
    channel_.Post({"3.1\nsegunda 3.1"});
    channel_.Post({"3.0.2"});
    channel_.Post({"Hola, sin versión"});

    const Fetched fetched = FetchReleases();

    EXPECT_EQ(fetched.error, L"");
    EXPECT_EQ(Versions(fetched), (std::vector<std::wstring>{L"3.1", L"3.1.0", L"3.0.10", L"3.0.3", L"3.0.2"}));
    ASSERT_EQ(fetched.releases.size(), 5u);
    EXPECT_EQ(fetched.releases[0].notes, L"segunda 3.1");
    EXPECT_EQ(fetched.releases[3].notes, L"3.0.3 nueva");
    for (size_t i = 1; i < fetched.releases.size(); ++i) {
        EXPECT_FALSE(VersionLess(fetched.releases[i - 1].version, fetched.releases[i].version)) << i;
    }
}

}  // namespace
}  // namespace Lorvex::Services::Updates
