#include "main/chat/ChatScreen.h"

namespace Lorvex::Main {

void ChatScreen::AiWrite(bool) {
}

}  // namespace Lorvex::Main
