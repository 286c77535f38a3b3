#include "main/WindowRules.h"

#include <algorithm>
#include <cmath>

#include "main/Screen.h"

namespace Lorvex::Main {
namespace {

constexpr float kTooltipPadding = 8;
constexpr float kTooltipGapBelow = 20;
constexpr float kTooltipGapAbove = 4;

}  // namespace

std::optional<ToastNote> ReplyFinishedToast(const std::wstring& errorText, int32_t currentScreen) {
    if (!errorText.empty()) {
        return ToastNote{errorText, Kit::ToastKind::Error};
    }
    if (currentScreen == kChatScreen) {
        return std::nullopt;
    }
    return ToastNote{L"Nueva respuesta en el chat", Kit::ToastKind::Info};
}

int32_t WindowPixels(int32_t dips, float dpi) {
    return static_cast<int32_t>(static_cast<double>(dips) * dpi / 96.0);
}

int32_t WindowDips(int32_t pixels, float dpi) {
    if (dpi <= 0) {
        return pixels;
    }
    // Opening truncates, so the pixel size lies less than one pixel (less than one DIP from 100 %
    // up) below the stored size; the small allowance absorbs the division's rounding error.
    return static_cast<int32_t>(std::ceil(static_cast<double>(pixels) * 96.0 / dpi - 1e-3));
}

Rect TooltipBox(float textWidth, float textHeight, float x, float y, float surfaceWidth, float surfaceHeight) {
    const float w = std::ceil(textWidth) + 2 * kTooltipPadding;
    const float h = std::ceil(textHeight) + 2 * kTooltipPadding;
    const float left = std::max(0.0f, std::min(x - w / 2, surfaceWidth - w));
    float top = y + kTooltipGapBelow;
    if (top + h > surfaceHeight) {
        top = y - h - kTooltipGapAbove;
    }
    return {std::round(left), std::round(top), w, h};
}

}  // namespace Lorvex::Main
