#include "main/chat/ChatScreen.h"

namespace Lorvex::Main {

void ChatScreen::DrawMessages(UI::Ui&, const Rect&) {
}

void ChatScreen::LayoutMessages(UI::Ui&, std::vector<MessageRow>& rows, float) {
    rows.clear();
}

}  // namespace Lorvex::Main
