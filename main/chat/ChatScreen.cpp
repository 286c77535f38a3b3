#include "main/chat/ChatScreen.h"

#include <algorithm>
#include <cwctype>

#include "main/MainWindow.h"
#include "services/state/AppState.h"

namespace Lorvex::Main {

namespace {

constexpr float kTopBarHeight = 70.0f;
constexpr float kActionBarHeight = 38.0f;
constexpr float kUserActionBarWidth = 138.0f;
constexpr float kDuoReplyActionBarWidth = 170.0f;
constexpr float kReplyActionBarWidth = 202.0f;
constexpr float kWideBubble = 600.0f;

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

ChatScreen::ChatScreen(MainWindow* owner) : Screen(owner) {
}

ChatScreen::~ChatScreen() = default;

void ChatScreen::Draw(UI::Ui& ui, const Rect& content) {
    Services::AppState& state = Services::AppState::Instance();
    if (!state.currentCharacter) {
        owner->Navigate(kHomeScreen);
        return;
    }
    if (state.currentChat != shownChat) {
        ResetForChat();
    }
    if (lastResetTime < 0.0 || lastResetTime > ui.time + 1.0) {
        lastResetTime = ui.time;
    }
    if (!state.currentChat) {
        // The new chat (its greeting first) becomes the open one; the next frame resets the view.
        state.NewChat();
    }

    const float sidebarWidth = std::min(0.3f * content.w, 300.0f);
    const float columnX = content.x + sidebarWidth;
    const float columnWidth = content.w - sidebarWidth;
    const float composerHeight = ComposerHeight(ui, columnWidth);
    DrawSidebar(ui, {content.x, content.y, sidebarWidth, content.h});
    // The top bar and the composer are drawn over the ends of the list, so rows slide under them.
    DrawMessages(ui, {columnX, content.y + kTopBarHeight, columnWidth, content.h - kTopBarHeight - composerHeight});
    DrawTopBar(ui, {columnX, content.y, columnWidth, kTopBarHeight});
    DrawComposer(ui, {columnX, content.y + content.h - composerHeight, columnWidth, composerHeight});
}

void ChatScreen::OnShow() {
    shownAt = owner->ui.time;
    if (!Services::AppState::Instance().currentCharacter) {
        owner->Navigate(kHomeScreen);
    }
}

std::wstring ChatScreen::Title() {
    const Services::AppState& state = Services::AppState::Instance();
    if (!state.currentCharacter) {
        return L"Chat";
    }
    if (state.dualMode && state.dualPartner) {
        return state.currentCharacter->name + L" y " + state.dualPartner->name;
    }
    return L"Chat con " + state.currentCharacter->name;
}

void ChatScreen::ResetForChat() {
    windowStart = -1;
    followLatest = true;
    snapToBottom = true;
    lastResetTime = owner->ui.time;
    appearTimes.clear();
    shownChat = Services::AppState::Instance().currentChat;
}

Rect ChatScreen::ActionBarRect(float surfaceWidth, bool isUser, bool duoMode, const Rect& bubble) {
    const float width = isUser ? kUserActionBarWidth : (duoMode ? kDuoReplyActionBarWidth : kReplyActionBarWidth);
    if (isUser) {
        if (bubble.x - 8.0f - width >= 0.0f && bubble.w < kWideBubble) {
            return {bubble.x - 8.0f - width, bubble.y + 2.0f, width, kActionBarHeight};
        }
        return {bubble.x + 8.0f, bubble.y - 32.0f, width, kActionBarHeight};
    }
    if (surfaceWidth - 40.0f > bubble.x + bubble.w + 8.0f + width && bubble.w < kWideBubble) {
        return {bubble.x + bubble.w + 8.0f, bubble.y + 2.0f, width, kActionBarHeight};
    }
    return {bubble.x + bubble.w - width - 8.0f, bubble.y - 32.0f, width, kActionBarHeight};
}

std::optional<std::wstring> ChatScreen::FindKnownPhoto(const std::wstring& speakerName,
                                                       const std::vector<KnownCharacter>& known) {
    for (const KnownCharacter& person : known) {
        const bool byBubbleName = !person.bubble_name.empty() && SameIgnoringCase(person.bubble_name, speakerName);
        if (byBubbleName || SameIgnoringCase(person.name, speakerName)) {
            return person.photoPath;
        }
    }
    return std::nullopt;
}

}  // namespace Lorvex::Main
