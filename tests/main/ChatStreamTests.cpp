// A reply as the user watches it: sent from the composer with Enter, streamed piece by piece into
// the drawn list against the fake provider, saved once the provider ends it, and a reply whose
// connection closes before the provider's end marker kept as far as it came, with the error said.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "services/state/AppState.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

constexpr double kStep = 0.05;

bool RunUntil(FrameDriver& driver, const std::function<bool()>& done) {
    return driver.RunUntil(done, 20, kStep);
}

void SendFromTheComposer(FrameDriver& driver, const std::wstring& text) {
    Main::ChatScreen& screen = *driver.Window().chatScreen;
    const Rect content = driver.Window().contentRect;
    const float sidebar = std::min(0.3f * content.w, 300.0f);
    const float width = content.w - sidebar;
    const float height = screen.ComposerHeight(driver.Ui(), width);
    const Rect editor =
        Main::ChatScreen::LayOutComposer({content.x + sidebar, content.y + content.h - height, width, height}).editor;
    driver.Click(editor.x + editor.w / 2, editor.y + editor.h / 2);
    driver.Type(text);
    driver.Key(VK_RETURN);
}

std::vector<Message> StoredMessages(const Character& character, const Chat& chat) {
    std::vector<Message> out;
    const Json::Value json =
        Json::Value::Parse(Content(Files::JoinPath(character.folder, L"chats\\" + chat.id + L".json")));
    for (const Json::Value& item : json.Find("messages").Items()) {
        out.push_back(*Message::FromJson(item));
    }
    return out;
}

TEST(ChatStream, AReplyStreamsIntoTheListAndOneCutBeforeItsEndKeepsItsStartWithTheError) {
    FakeHttpServer server;
    PointAt provider(server);
    FrameDriver::Options options = WindowWithPersona(false, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    ana->initial_message = L"*Levanta la vista del libro* Hola.";
    options.characters.push_back(ana);
    FrameDriver driver(options);
    ASSERT_TRUE(driver.Opened());
    Services::AppState& state = FrameDriver::State();
    driver.Window().OpenCharacter(state.characters.front());
    driver.RunFor(1, kStep);
    Main::ChatScreen& screen = *driver.Window().chatScreen;
    ASSERT_TRUE(state.currentChat);
    const std::shared_ptr<Chat> chat = state.currentChat;
    ASSERT_EQ(chat->messages.size(), 1u);  // the greeting

    // The first piece arrives and waits there until the test lets the rest through.
    server.Enqueue(
        ProviderStream().Body(Event("Claro, ")).AwaitRelease().Body(Event("te espero aquí.")).Body(kFinished));
    SendFromTheComposer(driver, L"¿Me esperas?");
    ASSERT_EQ(chat->messages.size(), 3u);
    EXPECT_EQ(chat->messages[1]->content, L"¿Me esperas?");
    EXPECT_TRUE(screen.composerText.empty());
    const std::shared_ptr<Message> reply = chat->messages[2];
    ASSERT_TRUE(RunUntil(driver, [&] { return reply->content.rfind(L"Claro,", 0) == 0; }))
        << Text::ToUtf8(reply->content);
    EXPECT_TRUE(reply->is_typing);
    driver.Frame(kStep);
    EXPECT_EQ(screen.rowsDrawn, 3u);  // the streaming reply is drawn beside the others
    server.Release();
    ASSERT_TRUE(RunUntil(driver, [&] { return !reply->is_typing; }));
    EXPECT_EQ(reply->content, L"Claro, te espero aquí.");
    EXPECT_TRUE(reply->error.empty());
    std::vector<Message> stored = StoredMessages(*state.currentCharacter, *chat);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[2].content, L"Claro, te espero aquí.");

    // The connection closes after some text, before "[DONE]" and without a reason to finish.
    server.Enqueue(ProviderStream().Body(Event("Entonces vamos al")).AwaitRelease().Cut());
    SendFromTheComposer(driver, L"¿Vamos?");
    ASSERT_EQ(chat->messages.size(), 5u);
    const std::shared_ptr<Message> cut = chat->messages[4];
    ASSERT_TRUE(RunUntil(driver, [&] { return cut->content == L"Entonces vamos al"; }));
    server.Release();
    ASSERT_TRUE(RunUntil(driver, [&] { return !cut->is_typing; }));
    EXPECT_EQ(cut->content, L"Entonces vamos al");
    const std::vector<std::wstring> toasts = driver.Toasts();
    ASSERT_FALSE(toasts.empty());
    EXPECT_EQ(toasts.back().rfind(L"La respuesta quedó incompleta. ", 0), 0u) << toasts.back();
    stored = StoredMessages(*state.currentCharacter, *chat);
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(stored[4].content, L"Entonces vamos al");
}

}  // namespace
}  // namespace Lorvex::Testing
