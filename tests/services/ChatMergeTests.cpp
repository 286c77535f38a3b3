// Two copies of one chat that changed apart, merged: what becomes of a line added, edited or
// deleted on one side, or edited on both, and of the chat's own fields.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "services/sync/ChatMerge.h"

namespace Lorvex::Services {
namespace {

std::shared_ptr<Message> Line(const std::wstring& role, const std::wstring& content, int minute,
                              const std::optional<std::wstring>& editedAt = std::nullopt) {
    auto message = std::make_shared<Message>();
    message->role = role;
    message->content = content;
    message->timestamp =
        L"2025-03-01T10:" + std::wstring(minute < 10 ? L"0" : L"") + std::to_wstring(minute) + L":00.0000000+01:00";
    message->edited_at = editedAt;
    return message;
}

// The chat both PCs held when they last agreed: a greeting and two lines.
Chat Base() {
    Chat chat;
    chat.id = L"h1";
    chat.timestamp = L"2025-03-01T10:00:00.0000000+01:00";
    chat.messages = {Line(L"assistant", L"Hola", 0), Line(L"user", L"¿Qué tal?", 1), Line(L"assistant", L"Bien", 2)};
    chat.memory = L"base";
    return chat;
}

// Another PC's copy holds its own objects, as a copy read from the cloud does.
Chat Copy(const Chat& chat) {
    Chat copy = chat;
    for (std::shared_ptr<Message>& message : copy.messages) {
        message = std::make_shared<Message>(*message);
    }
    return copy;
}

std::vector<std::wstring> Texts(const Chat& chat) {
    std::vector<std::wstring> texts;
    for (const auto& message : chat.messages) {
        texts.push_back(message->content);
    }
    return texts;
}

TEST(ChatMerge, EveryCaseOfOneLineAndTheChatsOwnFields) {
    struct Case {
        const char* what;
        std::function<void(Chat& local, Chat& remote)> change;
        bool remoteLater;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {"added on each side: both kept, in time order",
         [](Chat& local, Chat& remote) {
             local.messages.push_back(Line(L"user", L"Desde aquí", 5));
             remote.messages.push_back(Line(L"user", L"Desde allí", 4));
         },
         false,
         {L"Hola", L"¿Qué tal?", L"Bien", L"Desde allí", L"Desde aquí"}},
        {"added on the other side only: taken in",
         [](Chat&, Chat& remote) { remote.messages.push_back(Line(L"user", L"Desde allí", 4)); },
         true,
         {L"Hola", L"¿Qué tal?", L"Bien", L"Desde allí"}},
        {"edited on one side: the edit wins, whichever side changed the chat last",
         [](Chat& local, Chat& remote) {
             remote.messages[1]->content = L"¿Qué tal estás?";
             remote.messages[1]->edited_at = L"2025-03-01T11:00:00.0000000+01:00";
             local.messages.push_back(Line(L"user", L"Más tarde", 9));
         },
         false,
         {L"Hola", L"¿Qué tal estás?", L"Bien", L"Más tarde"}},
        {"edited on both sides: the later edit wins",
         [](Chat& local, Chat& remote) {
             local.messages[2]->content = L"Bien, gracias";
             local.messages[2]->edited_at = L"2025-03-01T12:00:00.0000000+01:00";
             remote.messages[2]->content = L"Muy bien";
             remote.messages[2]->edited_at = L"2025-03-01T11:30:00.0000000+01:00";
         },
         true,
         {L"Hola", L"¿Qué tal?", L"Bien, gracias"}},
        {"edited on both, the times in other zones: compared as times",
         [](Chat& local, Chat& remote) {
             local.messages[2]->content = L"Bien, gracias";
             local.messages[2]->edited_at = L"2025-03-01T12:00:00.0000000+01:00";  // 11:00 UTC
             remote.messages[2]->content = L"Muy bien";
             remote.messages[2]->edited_at = L"2025-03-01T06:30:00.0000000-05:00";  // 11:30 UTC
         },
         false,
         {L"Hola", L"¿Qué tal?", L"Muy bien"}},
        {"deleted on one side while the other changed the chat: it comes back (nothing is lost)",
         [](Chat& local, Chat& remote) {
             local.messages.erase(local.messages.begin() + 1);
             remote.messages.push_back(Line(L"user", L"Desde allí", 4));
         },
         false,
         {L"Hola", L"¿Qué tal?", L"Bien", L"Desde allí"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Chat local = Copy(Base());
        Chat remote = Copy(Base());
        c.change(local, remote);
        const std::shared_ptr<Chat> merged = MergeChats(local, remote, c.remoteLater);
        EXPECT_EQ(Texts(*merged), c.expected);
        EXPECT_EQ(merged->id, L"h1");
    }
}

TEST(ChatMerge, TheChatsFieldsComeFromTheSideThatChangedItLastAndLocalLinesKeepTheirObjects) {
    Chat local = Copy(Base());
    Chat remote = Copy(Base());
    local.memory = L"aquí";
    remote.memory = L"allí";
    remote.persona_id = L"p2";
    // Neither side edited the line through the editor: the side that changed the chat last.
    remote.messages[0]->content = L"¡Hola!";

    const std::shared_ptr<Chat> remoteLast = MergeChats(local, remote, true);
    EXPECT_EQ(remoteLast->memory, L"allí");
    EXPECT_EQ(remoteLast->persona_id, std::optional<std::wstring>(L"p2"));
    EXPECT_EQ(remoteLast->messages[0]->content, L"¡Hola!");

    const std::shared_ptr<Chat> localLast = MergeChats(local, remote, false);
    EXPECT_EQ(localLast->memory, L"aquí");
    EXPECT_FALSE(localLast->persona_id.has_value());
    EXPECT_EQ(localLast->messages[0], local.messages[0]);  // the open chat's lines stay the same objects
    EXPECT_EQ(localLast->messages[1], local.messages[1]);
}

}  // namespace
}  // namespace Lorvex::Services
