#pragma once
// The chat screen: conversation list, messages and composer. For now a stand-in that shows its title. UI thread only.

#include "main/Screen.h"

namespace Lorvex::Main {

class ChatScreen : public Screen {
public:
    explicit ChatScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;
};

}  // namespace Lorvex::Main
