#include "main/chat/ChatScreen.h"

namespace Lorvex::Main {

void ChatScreen::DrawModeBar(UI::Ui&, const Rect&) {
}

}  // namespace Lorvex::Main
