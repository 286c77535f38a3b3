#include "main/chat/ChatScreen.h"

#include "main/StandIn.h"

namespace Lorvex::Main {

void ChatScreen::Draw(UI::Ui& ui, const Rect& content) {
    DrawStandIn(ui, content, Title());
}

void ChatScreen::OnShow() {
    shownAt = -1.0;
}

std::wstring ChatScreen::Title() {
    return L"Chat";
}

}  // namespace Lorvex::Main
