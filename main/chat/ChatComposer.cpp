#include "main/chat/ChatScreen.h"

namespace Lorvex::Main {

float ChatScreen::ComposerHeight(UI::Ui&, float) {
    return 140.0f;
}

void ChatScreen::DrawComposer(UI::Ui&, const Rect&) {
}

void ChatScreen::Send() {
}

}  // namespace Lorvex::Main
