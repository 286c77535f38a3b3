#include "main/dialogs/ContextMenu.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"
#include "main/overlays/Easing.h"
#include "main/overlays/OverlayInput.h"
#include "ui/Ids.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

constexpr uint64_t kMenuId = UI::MakeIdFromText("context-menu");
constexpr uint64_t kVisibleSalt = 0x3E10;
constexpr uint64_t kOutsideSalt = 0x3E11;

constexpr float kMargin = 8;  // between the menu and the window's edges
constexpr float kGap = 6;     // between the menu and its anchor
constexpr float kPadding = 6;
constexpr float kRowHeight = 40;
constexpr float kHintRowHeight = 52;
constexpr float kSeparatorHeight = 9;
constexpr float kRadius = 14;

float RowHeight(const ContextMenu::Item& item) {
    return item.hint.empty() ? kRowHeight : kHintRowHeight;
}

}  // namespace

void ContextMenu::Open(const Rect& anchorRect, std::vector<Item>&& newItems, bool right, bool above) {
    anchor = anchorRect;
    items = std::move(newItems);
    newItems.clear();
    ++generation;
    alignRight = right;
    preferAbove = above;
    openTime = -1.0;
    open = true;
}

Rect ContextMenu::Placement(const Rect& window, bool* above) const {
    float height = 2 * kPadding;
    for (const Item& item : items) {
        height += RowHeight(item) + (item.separator ? kSeparatorHeight : 0);
    }

    float left = alignRight ? anchor.x + anchor.w - kWidth : anchor.x;
    const float rightmost = window.x + window.w - kWidth - kMargin;
    if (left > rightmost) {
        left = rightmost;
    } else if (left < window.x + kMargin) {
        left = window.x + kMargin;
    }

    const float topmost = window.y + kMargin;
    const float upper = anchor.y - kGap - height;
    const float lower = anchor.y + anchor.h + kGap;
    const bool fitsBelow = lower + height <= window.y + window.h - kMargin;
    const bool opensAbove = upper >= topmost && (preferAbove || !fitsBelow);
    const float top =
        std::clamp(opensAbove ? upper : lower, topmost, std::max(topmost, window.y + window.h - height - kMargin));
    if (above) {
        *above = opensAbove;
    }
    return {std::round(left), std::round(top), kWidth, height};
}

void ContextMenu::Draw(UI::Ui& ui, const Rect& window) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    if (open && openTime < 0) {
        openTime = ui.time;
    }
    visible = ui.Approach(UI::SaltedId(kMenuId, kVisibleSalt), open ? 1.0f : 0.0f, open ? 0.2f : 0.12f, 0.0f);
    if (!IsVisible()) {
        shownMenu_.reset();
        return;
    }
    bool opensAbove = false;
    const Rect menu = Placement(window, &opensAbove);
    shownMenu_ = ui.ToWindow(menu);

    if (open && !ui.hitSuspended) {
        if (ClickedOutside(ui, UI::SaltedId(kMenuId, kOutsideSalt), window, menu, true) || TakeKey(ui, kEscapeKey)) {
            open = false;
        }
    }

    const float v = std::clamp(visible, 0.0f, 1.0f);
    const float opacity = open ? EaseOut(v) : v * v * v;
    graphics.PushLayer(opacity, nullptr);
    // It grows out of the corner nearest its anchor.
    ui.PushScale(0.94f + 0.06f * opacity, alignRight ? menu.x + menu.w : menu.x, opensAbove ? menu.y + menu.h : menu.y);
    ui.BlockHover(menu, true);

    UI::Material::Shadow(graphics, menu, kRadius, 12);
    graphics.FillRoundRect(menu, kRadius, palette.surfaceRaised);
    graphics.StrokeRoundRect({menu.x + 0.5f, menu.y + 0.5f, menu.w - 1, menu.h - 1}, kRadius - 0.5f,
                             palette.surfaceOverlay, 1);

    std::function<void()> chosen;
    float y = menu.y + kPadding;
    for (size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (item.separator) {
            graphics.FillRect({menu.x + 12, y + 4, menu.w - 24, 1}, palette.surfaceOverlay);
            y += kSeparatorHeight;
        }
        const Rect row = {menu.x + kPadding, y, menu.w - 2 * kPadding, RowHeight(item)};
        if (DrawItem(ui, item, i, row)) {
            chosen = item.action;
            open = false;
            break;
        }
        y += row.h;
    }

    ui.PopTransform();
    graphics.PopLayer();
    // Run last: the action may open the menu again, replacing the items drawn above.
    if (chosen) {
        chosen();
    }
}

bool ContextMenu::DrawItem(UI::Ui& ui, const Item& item, size_t index, const Rect& row) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    UI::Ui::ClipScope scope(ui);
    // One after the other, 25 ms apart; from the 17th on together.
    const double delay = static_cast<double>(std::min<size_t>(index, 16)) * 0.025;
    const float entered = Entrance(ui.time, openTime + delay, 0.22);
    if (entered < 1) {
        ui.redraw = true;
        graphics.PushLayer(entered, nullptr);
        scope.layerPushed = true;
        ui.PushTranslate(-(1 - entered) * 8, 0);
        scope.transformPushed = true;
    }

    // A fresh id for every opening, so no hover carries over from the previous menu.
    const uint64_t id = UI::NonZeroId(UI::Fnv1a64Word(kMenuId, generation * 1000 + index));
    const UI::Interaction interaction = ui.Interact(id, row, open && item.enabled);
    const float hover = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held).first;
    if (!item.enabled) {
        graphics.PushLayer(0.38f, nullptr);
    }
    const Color ink = item.danger ? palette.danger : palette.onBackground;
    graphics.FillRoundRect(row, 9, Kit::Faded(item.danger ? palette.danger : palette.primary, 0.12f * hover));
    const Rect icon = {row.x + 11 + 2 * hover, row.y + row.h / 2 - 9, 18, 18};
    if (item.selected) {
        UI::Material::DrawIcon(graphics, UI::Material::Icon::Check, icon, palette.primary);
    } else {
        UI::Material::DrawIcon(graphics, item.icon, icon, item.danger ? ink : Kit::Faded(ink, 0.75f));
    }
    TextStyle label = Kit::KitStyle(14, item.hint.empty() ? 400 : 500);
    label.valign = VerticalAlign::Center;
    label.ellipsis = true;
    const float textLeft = row.x + 42;
    if (item.hint.empty()) {
        graphics.DrawText(item.label, {textLeft, row.y, 198, row.h}, ink, label);
    } else {
        graphics.DrawText(item.label, {textLeft, row.y + 7, 198, 20}, ink, label);
        TextStyle hint = Kit::KitStyle(12, 400);
        hint.valign = VerticalAlign::Center;
        hint.ellipsis = true;
        graphics.DrawText(item.hint, {textLeft, row.y + 27, 198, 18}, palette.onBackgroundMuted, hint);
    }
    if (!item.enabled) {
        graphics.PopLayer();
    }
    return interaction.clicked;
}

}  // namespace Lorvex::Main
