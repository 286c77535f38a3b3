// Two PCs sharing one account through the fake backend. A PC is a data folder; a turn opens it as
// the program does at start (the application state and the cloud sync read its files), works and
// syncs, and closes it as the program does at exit, so every turn also shows what survives a
// restart. The folders must end up holding the same records and pictures, and nothing may be
// written outside them.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "App/Config/Config.h"
#include "domain/Records.h"
#include "domain/Settings.h"
#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "graphics/Images.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/services/AppStateTestSupport.h"
#include "tests/support/FakeSupabase.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

using Services::AppState;
using Services::CloudSync;

AppState& state() {
    return AppState::Instance();
}
CloudSync& cloud() {
    return CloudSync::Instance();
}

template <class Predicate>
bool PumpUntil(Predicate done) {
    return PumpDispatcherUntil(done, 30);
}

bool Idle() {
    return !cloud().syncing && !cloud().authBusy && !cloud().userUpdateBusy;
}

// A small picture that decodes, different for each colour.
std::string Picture(uint32_t argb) {
    const std::string png = Images::Encode(2, 2, std::vector<uint32_t>(4, argb), true, 0);
    EXPECT_FALSE(png.empty());
    return png;
}

// What a PC holds, read back from its files: every record's form as the cloud would carry it
// (picture paths cut to file names, since the folders differ) and a hash of every picture.
std::map<std::wstring, std::string> Snapshot(const std::wstring& folder) {
    Paths::SetDataDirForTesting(folder);
    std::map<std::wstring, std::string> held;
    for (const auto& character : Storage::LoadCharacters()) {
        held[L"character:" + character->id] = CloudSync::StripPhotoPaths(Character::ToJson(*character)).Dump(false);
        for (const auto& chat : *character->chats) {
            held[L"chat:" + character->id + L":" + chat->id] = Chat::ToJson(*chat).Dump(false);
        }
    }
    for (const auto& persona : Storage::LoadPersonas()) {
        held[L"persona:" + persona->id] = CloudSync::StripPhotoPaths(Persona::ToJson(*persona)).Dump(false);
    }
    for (const std::wstring& path : Files::ListFiles(Paths::ImagesDir(), L"*", false)) {
        held[L"image:" + Files::FileName(path)] = Text::Sha256Hex(Files::ReadBytes(path).value_or(""));
    }
    return held;
}

class TwoPcs : public ::testing::Test {
protected:
    void SetUp() override {
        // The pictures are encoded through the imaging component.
        comEntered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_TRUE(backend_.IsListening());
        savedUrl_ = Config::SupabaseUrl();
        savedKey_ = Config::SupabaseKey();
        Config::SetSupabaseForTesting(backend_.BaseUrl(), Text::ToWide(backend_.ApiKey()));
        backend_.AddUser("ana@example.com", "secreto1");
        pcA_ = MakeTempFolder(L"lorvex-pc-a");
        pcB_ = MakeTempFolder(L"lorvex-pc-b");
    }

    void TearDown() override {
        Close();
        Config::SetSupabaseForTesting(savedUrl_, savedKey_);
        Files::RemoveTree(pcA_);
        Files::RemoveTree(pcB_);
        if (comEntered_) {
            CoUninitialize();
        }
    }

    // Starts the PC as the program does: its files loaded, the sync timers armed.
    void Open(const std::wstring& folder) {
        Close();
        ASSERT_TRUE(Async::Startup());
        open_ = true;
        Paths::SetDataDirForTesting(folder);
        Settings::Instance() = Settings{};
        CloudSync::ResetForTesting();
        AppState::ResetForTesting();
        state().Initialize();
    }

    // Ends the PC's run as the program does at exit, after its work settled.
    void Close() {
        if (!open_) {
            return;
        }
        EXPECT_TRUE(PumpUntil(Idle));
        cloud().CloseState();
        AppState::ResetForTesting();
        CloudSync::ResetForTesting();
        Async::Shutdown();
        open_ = false;
    }

    void SignIn() {
        std::wstring error = L"?";
        cloud().SignIn(L"ana@example.com", L"secreto1", [&](const std::wstring& text) { error = text; });
        ASSERT_TRUE(PumpUntil([] { return !cloud().authBusy; }));
        ASSERT_EQ(error, L"");
    }

    // The first sign-in on the PC and the sync that follows it, then the end of the run.
    void SignInAndSync(const std::wstring& folder) {
        Open(folder);
        SignIn();
        Sync();
        Close();
    }

    // A full round, then the uploads it left (a merge queues everything it finds): the PC holds
    // what the cloud holds and the cloud what the PC holds.
    void Sync() {
        ASSERT_TRUE(PumpUntil(Idle));
        cloud().Start(true);
        ASSERT_TRUE(PumpUntil(Idle));
        for (int round = 0; round < 5 && !cloud().pending.empty(); ++round) {
            cloud().Start(false);
            ASSERT_TRUE(PumpUntil(Idle));
        }
        EXPECT_TRUE(cloud().pending.empty());
        EXPECT_EQ(cloud().lastError, L"");
        EXPECT_FALSE(cloud().offline);
    }

    // A character with a photo and one chat, saved as the character form saves one.
    std::shared_ptr<Character> AddCharacter(const std::wstring& name, uint32_t colour) {
        auto character = Character::Create();
        character->name = name;
        character->initial_message = L"Hola, soy " + name;
        const std::wstring photo = Files::JoinPath(Paths::ImagesDir(), L"char_" + character->id + L".png");
        EXPECT_TRUE(Files::EnsureDir(Paths::ImagesDir()));
        EXPECT_TRUE(Files::WriteBytes(photo, Picture(colour)));
        character->photoPath = photo;
        state().characters.insert(state().characters.begin(), character);
        EXPECT_TRUE(state().SaveCharacter(character));
        return character;
    }

    std::shared_ptr<Character> Find(const std::wstring& name) {
        for (const auto& character : state().characters) {
            if (character->name == name) {
                return character;
            }
        }
        return nullptr;
    }

    // Both PCs signed in and in step, holding Ana and her first chat with its greeting.
    void BothPcsHoldAna() {
        Open(pcA_);
        AddCharacter(L"Ana", 0xFFCC2020);
        state().OpenCharacter(Find(L"Ana"));
        state().CloseChat();
        SignIn();
        Sync();
        Close();
        SignInAndSync(pcB_);
    }

    // Cuts the PC off the backend until Online.
    void Offline() { Config::SetSupabaseForTesting(L"http://127.0.0.1:9", Text::ToWide(backend_.ApiKey())); }
    void Online() { Config::SetSupabaseForTesting(backend_.BaseUrl(), Text::ToWide(backend_.ApiKey())); }

    // A line written by the user in the character's newest chat, nobody answering.
    void Write(const std::wstring& name, const std::wstring& text) {
        const auto character = Find(name);
        ASSERT_NE(character, nullptr);
        state().manualReplies = true;
        state().OpenCharacter(character);
        state().SendMessage(text);
        state().CloseChat();
    }

    // The texts of the newest chat of the character, on the PC open now.
    std::vector<std::wstring> Lines(const std::wstring& name) {
        std::vector<std::wstring> lines;
        const auto character = Find(name);
        if (character && !character->chats->empty()) {
            for (const auto& message : character->chats->front()->messages) {
                lines.push_back(message->content);
            }
        }
        return lines;
    }

    // The rows the cloud holds of that kind.
    std::vector<FakeRow> CloudRows(const std::string& kind) {
        std::vector<FakeRow> rows;
        for (const FakeRow& row : backend_.Rows(*backend_.UserId("ana@example.com"))) {
            if (row.kind == kind) {
                rows.push_back(row);
            }
        }
        return rows;
    }

    size_t PictureUploads() const {
        size_t count = 0;
        for (const RecordedRequest& request : backend_.Requests()) {
            count += request.method == "POST" && request.target.rfind("/storage/v1/object/velmorin-images/", 0) == 0;
        }
        return count;
    }

    void ExpectConverged() {
        const auto a = Snapshot(pcA_);
        const auto b = Snapshot(pcB_);
        EXPECT_EQ(a, b);
    }

    FakeSupabase backend_;
    std::wstring pcA_;
    std::wstring pcB_;
    bool open_ = false;

private:
    bool comEntered_ = false;
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

TEST_F(TwoPcs, EditsDeletionsAndPicturesConvergeBothWays) {
    // Each PC starts with data of its own; the first sign-in merges both ways.
    Open(pcA_);
    AddCharacter(L"Ana", 0xFFCC2020);
    state().OpenCharacter(Find(L"Ana"));  // its first chat, with the greeting
    Close();
    Open(pcB_);
    AddCharacter(L"Bruno", 0xFF2020CC);
    Close();

    SignInAndSync(pcA_);
    Open(pcB_);
    SignIn();
    Sync();
    EXPECT_NE(Find(L"Ana"), nullptr);
    Close();
    Open(pcA_);
    Sync();
    EXPECT_NE(Find(L"Bruno"), nullptr);
    Close();
    ExpectConverged();

    // Edits and deletions on both sides.
    Open(pcB_);
    auto ana = Find(L"Ana");
    ASSERT_NE(ana, nullptr);
    ana->name = L"Ana María";
    state().SaveCharacter(ana);
    state().OpenCharacter(ana);
    ASSERT_NE(state().currentChat, nullptr);
    ASSERT_FALSE(state().currentChat->messages.empty());
    state().EditMessage(state().currentChat->messages.front(), L"Hola de nuevo");
    Sync();
    Close();
    Open(pcA_);
    state().DeleteCharacter(Find(L"Bruno"));
    Sync();
    EXPECT_NE(Find(L"Ana María"), nullptr);
    Close();
    Open(pcB_);
    Sync();
    EXPECT_EQ(Find(L"Bruno"), nullptr);
    Close();
    ExpectConverged();
}

TEST_F(TwoPcs, SigningOutOnOnePcLeavesTheOtherSignedIn) {
    SignInAndSync(pcA_);
    SignInAndSync(pcB_);

    Open(pcA_);
    Sync();  // the session renewed: a sign-out tells the server only with an access token
    const std::string token = cloud().account.refreshToken;
    cloud().SignOut();
    ASSERT_TRUE(PumpUntil([&] { return !backend_.RefreshTokenValid(token); }));
    Close();

    // The other PC's next start renews its session with its own refresh token.
    Open(pcB_);
    AddCharacter(L"Diana", 0xFF808020);
    Sync();
    EXPECT_TRUE(cloud().SignedIn());
    Close();
    const std::vector<FakeRow> rows = backend_.Rows(*backend_.UserId("ana@example.com"));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const FakeRow& row) {
        return row.kind == "character" && row.data.Find("name").AsString() == "Diana";
    }));
}

TEST_F(TwoPcs, ChangesMadeOfflineAreUploadedWhenTheConnectionReturns) {
    Open(pcA_);
    SignIn();
    Sync();
    AddCharacter(L"Clara", 0xFF20CC20);
    // The backend cannot be reached for a while.
    Config::SetSupabaseForTesting(L"http://127.0.0.1:9", Text::ToWide(backend_.ApiKey()));
    cloud().Start(false);
    ASSERT_TRUE(PumpUntil(Idle));
    EXPECT_TRUE(cloud().offline);
    EXPECT_EQ(cloud().StatusText(), L"Sin conexión · los cambios se subirán más tarde");
    EXPECT_FALSE(cloud().pending.empty());
    Close();  // the queue survives the restart

    Config::SetSupabaseForTesting(backend_.BaseUrl(), Text::ToWide(backend_.ApiKey()));
    Open(pcA_);
    Sync();
    Close();
    Open(pcB_);
    SignIn();
    Sync();
    EXPECT_NE(Find(L"Clara"), nullptr);
    Close();
    ExpectConverged();
}

// Both PCs offline, a line in the same chat on each, then A, B and A sync: neither line is lost,
// on either PC or in the cloud, and both stand in the order they were written.
TEST_F(TwoPcs, LinesWrittenOfflineInOneChatOnBothPcsAreAllKept) {
    BothPcsHoldAna();

    Offline();
    Open(pcA_);
    Write(L"Ana", L"Escrito en A");
    Close();
    Open(pcB_);
    Write(L"Ana", L"Escrito en B");
    Close();
    Online();

    for (const std::wstring& pc : {pcA_, pcB_, pcA_}) {
        Open(pc);
        Sync();
        Close();
    }
    Open(pcA_);
    EXPECT_EQ(Lines(L"Ana"), (std::vector<std::wstring>{L"Hola, soy Ana", L"Escrito en A", L"Escrito en B"}));
    Close();
    ExpectConverged();
    const std::vector<FakeRow> chats = CloudRows("chat");
    ASSERT_EQ(chats.size(), 1u);
    std::vector<std::string> inCloud;
    for (const Json::Value& message : chats[0].data.Find("messages").Items()) {
        inCloud.push_back(message.Find("content").AsString());
    }
    EXPECT_EQ(inCloud, (std::vector<std::string>{"Hola, soy Ana", "Escrito en A", "Escrito en B"}));
}

// A deletes a character while B, offline, writes in its chat: the line survives, the character
// comes back on both PCs and in the cloud, and no chat stands under a deleted character.
TEST_F(TwoPcs, ADeletionPulledOverAPendingLineKeepsTheLineAndItsCharacter) {
    BothPcsHoldAna();

    Offline();
    Open(pcB_);
    Write(L"Ana", L"Sigo aquí");
    Close();
    Online();
    Open(pcA_);
    state().DeleteCharacter(Find(L"Ana"));
    Sync();
    Close();
    ASSERT_TRUE(CloudRows("character").at(0).deleted);

    Open(pcB_);
    Sync();
    EXPECT_NE(Find(L"Ana"), nullptr);
    EXPECT_EQ(Lines(L"Ana"), (std::vector<std::wstring>{L"Hola, soy Ana", L"Sigo aquí"}));
    Close();
    EXPECT_FALSE(CloudRows("character").at(0).deleted);
    const std::vector<FakeRow> chats = CloudRows("chat");
    ASSERT_EQ(chats.size(), 1u);
    EXPECT_FALSE(chats[0].deleted);

    Open(pcA_);
    Sync();
    EXPECT_EQ(Lines(L"Ana"), (std::vector<std::wstring>{L"Hola, soy Ana", L"Sigo aquí"}));
    Close();
    ExpectConverged();
}

// Edits of one character on both PCs offline: the later edit wins whole, whichever PC uploads it
// first.
// Both PCs change one field apart. No clock decides: the PC that syncs later merges, keeps its own
// value and keeps the other in a conflict copy beside the character, and the first PC takes the
// merge.
TEST_F(TwoPcs, AFieldChangedOnBothPcsKeepsTheLaterSyncsValueAndTheOtherInAConflictCopy) {
    BothPcsHoldAna();

    Offline();
    Open(pcA_);
    Find(L"Ana")->traits = L"Editado en A";
    state().SaveCharacter(Find(L"Ana"));
    Close();
    Open(pcB_);
    Find(L"Ana")->traits = L"Editado en B";
    Find(L"Ana")->background = L"Historia de B";
    state().SaveCharacter(Find(L"Ana"));
    Close();
    Online();

    std::wstring copies;
    for (const std::wstring& pc : {pcB_, pcA_, pcB_}) {
        Open(pc);
        Sync();
        Close();
    }
    Open(pcA_);
    EXPECT_EQ(Find(L"Ana")->traits, L"Editado en A");
    EXPECT_EQ(Find(L"Ana")->background, L"Historia de B");  // changed on one side only
    for (const std::wstring& file : Files::ListFiles(Find(L"Ana")->folder, L"*.conflict", false)) {
        copies += Files::ReadText(file).value_or(L"");
    }
    Close();
    EXPECT_NE(copies.find(L"Editado en B"), std::wstring::npos);
    ExpectConverged();
}

// A picture an older version kept under its picked name (here with an "ñ"), which the bucket
// refuses: it goes up under a plain name, the character follows it, and the other PC gets it,
// without uploading again the picture it just fetched.
TEST_F(TwoPcs, APictureNameTheBucketRefusesGoesUpUnderAPlainNameAndReachesTheOtherPc) {
    Open(pcA_);
    const auto ana = AddCharacter(L"Ana", 0xFFCC2020);
    const std::wstring old = Files::JoinPath(Paths::ImagesDir(), L"niña.png");
    ASSERT_TRUE(Files::Move(*ana->photoPath, old, false));
    ana->photoPath = old;
    ASSERT_TRUE(state().SaveCharacter(ana));
    Close();

    SignInAndSync(pcA_);
    Open(pcA_);
    const std::wstring renamed = Files::FileName(Find(L"Ana")->photoPath.value_or(L""));
    EXPECT_TRUE(CloudSync::IsStorageSafeName(renamed)) << Text::ToUtf8(renamed);
    EXPECT_NE(renamed, L"niña.png");
    EXPECT_TRUE(Files::IsFile(Files::JoinPath(Paths::ImagesDir(), renamed)));
    EXPECT_FALSE(Files::IsFile(old));
    EXPECT_TRUE(cloud().SetAsideReasons().empty());
    Close();
    EXPECT_EQ(backend_.Objects().size(), 1u);

    const size_t uploads = PictureUploads();
    SignInAndSync(pcB_);
    Open(pcB_);
    ASSERT_NE(Find(L"Ana"), nullptr);
    EXPECT_EQ(Files::FileName(Find(L"Ana")->photoPath.value_or(L"")), renamed);
    EXPECT_TRUE(Files::IsFile(Files::JoinPath(Paths::ImagesDir(), renamed)));
    Close();
    EXPECT_EQ(PictureUploads(), uploads);
    ExpectConverged();
}

// The first sign-in of a folder of 100 characters never holds the window: every turn of the
// dispatcher stays short (the benchmark measures the figure itself, with full-sized chats).
TEST_F(TwoPcs, AFirstSignInOfAHundredCharactersKeepsEveryDispatcherTurnShort) {
    Paths::SetDataDirForTesting(pcA_);
    for (int n = 0; n < 100; ++n) {
        auto character = Character::Create();
        character->name = L"Personaje " + std::to_wstring(n);
        character->background = std::wstring(400, L'h');
        for (int c = 0; c < 5; ++c) {
            auto chat = Chat::Create();
            for (int m = 0; m < 80; ++m) {
                chat->messages.push_back(
                    Message::Create(m % 2 ? L"assistant" : L"user",
                                    L"Una línea de prueba con algo de texto, la número " + std::to_wstring(m)));
            }
            character->chats->push_back(chat);
        }
        ASSERT_TRUE(Storage::SaveCharacter(*character));
    }
    Open(pcA_);
    double longest = 0;
    const auto turns = [&](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            WaitForSingleObject(Async::WakeEvent(), 20);
            const auto start = std::chrono::steady_clock::now();
            Async::Pump();
            longest =
                std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return true;
    };
    cloud().SignIn(L"ana@example.com", L"secreto1", nullptr);
    ASSERT_TRUE(turns([] { return !cloud().authBusy; }));
    ASSERT_TRUE(turns([] { return Idle() && !cloud().mergePending && cloud().pending.empty(); }));
    EXPECT_EQ(CloudRows("chat").size(), 500u);
    // Held whole turns of 0.2 s and more before the merge left the UI thread; a few ms now.
    EXPECT_LT(longest, 0.1) << "the longest turn took " << longest << " s";
}

}  // namespace
}  // namespace Lorvex::Testing
