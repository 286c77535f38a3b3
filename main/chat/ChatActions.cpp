#include "main/chat/ChatScreen.h"

namespace Lorvex::Main {

// The message actions are still to come; the bubbles already reserve their hover for them.
void ChatScreen::DrawMessageActions(UI::Ui&, const MessageRow&, const Rect&, float) {
}

}  // namespace Lorvex::Main
