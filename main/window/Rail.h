#pragma once
// The navigation rail down the window's left side: Inicio, Chat, Crear and Usuarios with a
// sliding indicator under the row of the current screen, a spinner on the chat row while replies
// are written, the button that opens the data folder and the version. A click on the highlighted
// row does nothing; the chat row is disabled until a character is open.
// UI thread only; nothing fails (a data folder that cannot be made or opened is left as it is).

#include <cstdint>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class MainWindow;

namespace Rail {

enum Row : int32_t { kHomeRow = 0, kChatRow = 1, kCreateRow = 2, kUsersRow = 3, kRowCount = 4 };

// The row that lights up while the screen is shown: both persona screens light Usuarios.
int32_t HighlightedRow(int32_t screen);

// Draws the rail in rail (window coordinates) and acts on it.
void Draw(UI::Ui& ui, MainWindow& window, const Rect& rail);

}  // namespace Rail
}  // namespace Lorvex::Main
