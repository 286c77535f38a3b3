#include "main/chat/ChatScreen.h"

#include "main/MainWindow.h"
#include "main/StandIn.h"
#include "services/AppState.h"

namespace Lorvex::Main {

void ChatScreen::Draw(UI::Ui& ui, const Rect& content) {
    if (!Services::AppState::Instance().currentCharacter) {
        owner->Navigate(kHomeScreen);
        return;
    }
    DrawStandIn(ui, content, Title());
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

}  // namespace Lorvex::Main
