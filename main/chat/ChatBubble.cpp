#include "main/chat/ChatScreen.h"

namespace Lorvex::Main {

void ChatScreen::DrawMessage(UI::Ui&, const MessageRow&, const Rect&) {
}

}  // namespace Lorvex::Main
