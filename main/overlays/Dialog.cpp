#include "main/overlays/Dialog.h"

#include <algorithm>
#include <cmath>

namespace Lorvex::Main {
namespace {

uint32_t dialogCounter = 0;

}  // namespace

uint64_t Dialog::SeedFor(uint32_t counter) {
    uint64_t hash = 0xD1A1;
    const uint64_t wide = counter;
    for (int i = 0; i < 8; ++i) {
        hash ^= (wide >> (8 * i)) & 0xFF;
        hash *= 0x100000001B3ULL;
    }
    return hash ? hash : 1;
}

float Dialog::Width(const Rect& window) const {
    return std::min(window.w - 48, panelWidth_);
}

void Dialog::Open() {
    if (seed == 0) {
        seed = SeedFor(dialogCounter++);
    }
    open = true;
    openTime = -1.0;
}

void Dialog::Close() {
    open = false;
    OnClosed();
}

uint64_t Dialog::LabelId(const std::wstring& label) const {
    uint64_t hash = seed;
    for (const wchar_t unit : label) {
        hash ^= static_cast<uint16_t>(unit);
        hash *= 0x100000001B3ULL;
    }
    return hash ? hash : 1;
}

// Stand-ins until the shared drawing routine lands.
Dialog::Geometry Dialog::Layout(const Rect& window, float panelWidth, float contentHeight, bool scrollable) {
    return {};
}

void Dialog::Draw(UI::Ui& ui, const Rect& window) {
}

bool Dialog::FooterButton(UI::Ui& ui, float& x, const Rect& footer, const std::wstring& label, UI::Material::Icon icon,
                          const Color& color, bool filled, bool enabled) {
    return false;
}

}  // namespace Lorvex::Main
