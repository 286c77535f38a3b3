#pragma once
// What the application-state tests share: a fresh data folder, dispatcher and singletons per
// test, a signed-in cloud stand-in, record builders, a fake language-model provider and a pump
// that runs the dispatcher as the main loop would until the reply jobs are done.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "domain/Records.h"
#include "domain/Settings.h"
#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/AgreedWithCloud.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {

// One "data:" event of a streamed chat completion carrying the text.
inline std::string Delta(const std::string& text) {
    return Event(text);
}

// A whole streamed answer as the provider sends it: one event per piece, then its end.
inline FakeReply StreamedReply(const std::vector<std::string>& pieces) {
    FakeReply reply = ProviderStream();
    for (const std::string& piece : pieces) {
        reply.Body(Delta(piece));
    }
    reply.Body(kFinished);
    return reply;
}

// Runs the dispatcher as the main loop would until done() holds or a deadline passes.
template <class Predicate>
bool PumpDispatcherUntil(Predicate done, int seconds = 15) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        WaitForSingleObject(Async::WakeEvent(), 20);
        Async::Pump();
    }
    return true;
}

class AppStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Async::Startup());
        data_ = MakeTempFolder(L"lorvex-appstate");
        Paths::SetDataDirForTesting(data_);
        Settings::Instance() = Settings{};
        Services::CloudSync::ResetForTesting();
        Services::AppState::ResetForTesting();
        Config::SetDeepSeekForTesting(server_.Url(L""), L"sk-0123456789abcdef0123456789abcdef");
        state().OnChanged = [this] { ++changes_; };
        state().OnReplyFinished = [this](const std::shared_ptr<Message>& message, const std::wstring& error) {
            finished_.emplace_back(message, error);
        };
    }

    void TearDown() override {
        // A job still running would end in the next test's state.
        for (auto& running : state().runningReplies) {
            running.cancel.Set();
        }
        EXPECT_TRUE(PumpUntilIdle());
        Services::AppState::ResetForTesting();
        Services::CloudSync::ResetForTesting();
        Async::Shutdown();
        Files::RemoveTree(data_);
    }

    static Services::AppState& state() { return Services::AppState::Instance(); }
    static Services::CloudSync& cloud() { return Services::CloudSync::Instance(); }

    static void AgreeOnEverything() { AgreeWithCloudOnEverything(); }

    // The stand-in signed in, its state belonging to the same user.
    static void SignIn() {
        cloud().account.refreshToken = "refresh";
        cloud().account.userId = L"user-1";
        cloud().stateUserId = L"user-1";
    }

    // Queue keys in the order they entered the queue, deletions marked with a leading '-'.
    static std::vector<std::wstring> QueueOrder() {
        std::vector<const Services::CloudSync::QueueItem*> items;
        for (const auto& [key, item] : cloud().pending) {
            items.push_back(&item);
        }
        std::sort(items.begin(), items.end(), [](auto* a, auto* b) { return a->seq < b->seq; });
        std::vector<std::wstring> keys;
        for (const auto* item : items) {
            keys.push_back((item->deleted ? L"-" : L"") + Services::CloudSync::ItemKey(item->kind, item->id));
        }
        return keys;
    }

    template <class Predicate>
    static bool PumpUntil(Predicate done, int seconds = 15) {
        return PumpDispatcherUntil(done, seconds);
    }

    static bool PumpUntilIdle() {
        return PumpUntil([] { return state().runningReplies.empty(); });
    }

    // A character named `name`, saved to disk and put first in the list, as the form does.
    static std::shared_ptr<Character> AddCharacter(const std::wstring& name, const std::wstring& greeting = L"") {
        auto character = Character::Create();
        character->name = name;
        character->initial_message = greeting;
        state().characters.insert(state().characters.begin(), character);
        Storage::SaveCharacter(*character);
        return character;
    }

    // A duo made through the state, as the character form makes one: "Uno" greets, "Dos" not.
    static std::pair<std::shared_ptr<Character>, std::shared_ptr<Character>> MakeDuo(
        const std::wstring& greeting = L"Hola") {
        auto first = Character::Create();
        first->name = L"Uno";
        first->initial_message = greeting;
        auto second = Character::Create();
        second->name = L"Dos";
        state().CreateDuo(first, second);
        return {first, second};
    }

    static std::shared_ptr<Persona> AddPersona(const std::wstring& id, const std::wstring& name) {
        auto persona = std::make_shared<Persona>();
        persona->id = id;
        persona->name = name;
        state().personas.push_back(persona);
        Storage::SavePersona(*persona);
        return persona;
    }

    static std::shared_ptr<Message> Line(const std::wstring& role, const std::wstring& content) {
        return Message::Create(role, content);
    }

    // The messages of the chat's file in the character's folder, as "role:content".
    static std::vector<std::wstring> FileLines(const Character& character, const Chat& chat) {
        std::vector<std::wstring> lines;
        Json::Value root;
        if (!Storage::ReadJsonFile(ChatFile(character, chat), root)) {
            lines.push_back(L"<no file>");
            return lines;
        }
        for (const Json::Value& message : root.Find("messages").Items()) {
            lines.push_back(message.Find("role").AsWString() + L":" + message.Find("content").AsWString());
        }
        return lines;
    }

    static std::vector<std::wstring> Lines(const Chat& chat) {
        std::vector<std::wstring> lines;
        for (const auto& message : chat.messages) {
            lines.push_back(message->role + L":" + message->content);
        }
        return lines;
    }

    static std::wstring ChatFile(const Character& character, const Chat& chat) {
        return Files::JoinPath(Files::JoinPath(character.folder, L"chats"), chat.id + L".json");
    }

    // The "messages" of the n-th request the fake provider received, as "role:content".
    std::vector<std::wstring> RequestLines(size_t n) const {
        std::vector<std::wstring> lines;
        const auto requests = server_.Requests();
        if (n >= requests.size()) {
            return lines;
        }
        const Json::Value root = Json::Value::Parse(requests[n].body);
        for (const Json::Value& message : root.Find("messages").Items()) {
            lines.push_back(message.Find("role").AsWString() + L":" + message.Find("content").AsWString());
        }
        return lines;
    }

    std::wstring Data(const std::wstring& relative) const { return Files::JoinPath(data_, relative); }
    static std::wstring Images(const std::wstring& name) { return Files::JoinPath(Paths::ImagesDir(), name); }

    static void Put(const std::wstring& path, const std::string& bytes = "picture") {
        ASSERT_TRUE(Files::WriteBytes(path, bytes));
    }

    std::wstring data_;
    FakeHttpServer server_;
    int changes_ = 0;
    std::vector<std::pair<std::shared_ptr<Message>, std::wstring>> finished_;
};

}  // namespace Lorvex::Testing
