#pragma once
// Where the chat screen draws one message's bubble, for tests and pictures that point at a message
// the way a user would. Computed from the screen's own layout of its message window and its
// scroll offset, so the list should be at rest. Test thread only; none when the message is not in
// the laid-out window.

#include <algorithm>
#include <optional>
#include <vector>

#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/MessageRows.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {

// The bubble of the open chat's message at this index, in the window's DIPs.
inline std::optional<Rect> ChatBubbleAt(FrameDriver& driver, int index) {
    Main::ChatScreen& screen = *driver.Window().chatScreen;
    const Rect& content = driver.Window().contentRect;
    const float sidebar = std::min(0.3f * content.w, 300.0f);
    const Main::ChatRows::Column column =
        Main::ChatRows::ColumnFor({content.x + sidebar, content.y + 70, content.w - sidebar, screen.viewportHeight});
    std::vector<Main::ChatScreen::MessageRow> rows;
    screen.LayoutMessages(driver.Ui(), rows, column.maxBubble);
    float rowTop = content.y + 70 + Main::ChatRows::FirstRowTop(screen.windowStart) - screen.scrollOffset;
    for (const Main::ChatScreen::MessageRow& row : rows) {
        if (row.index == index) {
            const float bubbleTop = rowTop + (row.newDay ? 46.0f : 0.0f) + (row.grouped ? 4.0f : 36.0f);
            const float left = row.isUser ? column.x + column.width - 48 - row.bubbleWidth : column.x + 48;
            return Rect{left, bubbleTop, row.bubbleWidth, row.bubbleHeight};
        }
        rowTop += row.height;
    }
    return std::nullopt;
}

}  // namespace Lorvex::Testing
