// The reply-mode strip above the composer's input: Auto or Manual, who takes part in a duo, and in
// manual mode one button per character that makes it reply now. It keeps nothing of its own; the
// mode and the participants are the application state's.

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <d2d1.h>

#include "graphics/Graphics.h"
#include "main/chat/ChatScreen.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/KitColor.h"
#include "services/AppState.h"

namespace Lorvex::Main {

namespace {

using UI::Material::Icon;

constexpr float kSwitchWidth = 180;
constexpr float kSegmentWidth = 90;
constexpr float kThumbWidth = 87;
constexpr float kThumbRate = 16;
constexpr float kAfterSwitch = 196;
constexpr float kParticipantsLabel = 80;
constexpr float kSpeakersLabel = 100;
constexpr float kSpeakersStart = 98;
constexpr float kGap = 8;

TextStyle CentredStyle(float size, int32_t weight) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    return style;
}

TextStyle LabelStyle(float size, int32_t weight) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.valign = VerticalAlign::Center;
    return style;
}

// The record-bound id: the literal's hash continued over the UTF-16 units of the key.
uint64_t KeyedId(UI::Ui& ui, std::string_view literal, const std::wstring& key) {
    return UI::NonZeroId(UI::Fnv1a64(ui.MakeIdFromText(literal), std::wstring_view(key)));
}

void DrawModeSwitch(UI::Ui& ui, const Rect& rect) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const bool manual = state.manualReplies;
    const float h = rect.h;

    graphics.FillRoundRect({rect.x, rect.y, kSwitchWidth, h}, h / 2, Kit::Faded(palette.surfaceContainer, 0.8f));
    const float a = ui.Smooth(ui.MakeIdFromText("mode-thumb"), manual ? 1.0f : 0.0f, kThumbRate);
    const Rect thumb = {rect.x + 3 + a * kThumbWidth, rect.y + 3, kThumbWidth, h - 6};
    const Color from = manual ? palette.secondary : palette.accent;
    const Color to = manual ? palette.secondaryDark : Kit::Mix(palette.accent, palette.secondary, 0.3f);
    graphics.FillLinearGradient(thumb, (h - 6) / 2, {{0, from}, {1, to}}, {0, 0}, {1, 0});

    struct Segment {
        const wchar_t* label;
        const wchar_t* tooltip;
    };
    static constexpr Segment kSegments[] = {
        {L"Auto", L"Los personajes responden solos a cada mensaje"},
        {L"Manual", L"Tú decides cuándo y quién responde"},
    };
    for (int index = 0; index < 2; ++index) {
        const Rect segment = {rect.x + index * kSegmentWidth, rect.y, kSegmentWidth, h};
        const uint64_t id = ui.MakeId("mode-seg", static_cast<uint64_t>(index));
        const UI::Interaction interaction = ui.Interact(id, segment, true, true);
        const bool selected = (index == 1) == manual;
        const Color ink =
            selected ? Color{1, 1, 1, 1} : Kit::Faded(palette.onBackground, interaction.hovered ? 0.9f : 0.6f);
        graphics.DrawText(kSegments[index].label, segment, ink, CentredStyle(13, 600));
        ui.Tooltip(id, kSegments[index].tooltip);
        if (interaction.clicked && !selected) {
            state.manualReplies = index == 1;
            ChatScreen::StateChanged();
        }
    }
}

// The duo's participant chips from x; returns where the next section starts.
float DrawParticipants(UI::Ui& ui, const Rect& rect, float x) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    graphics.DrawText(L"Participan:", {x, rect.y, kParticipantsLabel, rect.h}, palette.onBackgroundMuted,
                      LabelStyle(12.5f, 400));
    const TextStyle nameStyle = LabelStyle(13, 500);
    float chipX = x + kParticipantsLabel;
    const std::shared_ptr<Character> members[] = {state.currentCharacter, state.dualPartner};
    for (const std::shared_ptr<Character>& member : members) {
        const bool open = member == state.currentCharacter;
        std::vector<std::wstring>& ids = state.participantIds;
        const auto found = std::find(ids.begin(), ids.end(), member->id);
        const bool takesPart = found != ids.end();
        const float width = std::ceil(graphics.MeasureText(member->name, nameStyle, 100000).width + 28) + 26;
        const Rect chip = {chipX, rect.y, width, rect.h};
        if (Kit::ChoiceChip(ui, KeyedId(ui, "dual-chip", member->id), chip, L"", takesPart,
                            open ? palette.accent : palette.secondary, true)) {
            if (takesPart) {
                ids.erase(found);
            } else {
                ids.push_back(member->id);
            }
            ChatScreen::StateChanged();
        }
        Kit::Avatar(ui, {chipX + 5, rect.y + rect.h / 2 - 12, 24, 24}, member->photoPath, member->name, 0, {});
        graphics.DrawText(member->name, {chipX + 36, rect.y, width - 40, rect.h},
                          takesPart ? palette.onBackground : palette.onBackgroundMuted, nameStyle);
        chipX += width + kGap;
    }
    return chipX + kGap;
}

// "Que responda:" and one button per character from x, as many as fit whole before the rect's end.
void DrawSpeakers(UI::Ui& ui, const Rect& rect, float x) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    ui.graphics->DrawText(L"Que responda:", {x, rect.y, kSpeakersLabel, rect.h}, palette.onBackgroundMuted,
                          LabelStyle(12.5f, 400));
    std::vector<std::shared_ptr<Character>> speakers = {state.currentCharacter};
    if (state.dualMode && state.dualPartner) {
        speakers.push_back(state.dualPartner);
    }
    float buttonX = x + kSpeakersStart;
    for (const std::shared_ptr<Character>& speaker : speakers) {
        const float width = Kit::ButtonWidth(ui, speaker->name, Kit::kButtonFontSize);
        if (buttonX + width > rect.x + rect.w) {
            break;
        }
        const Color color = speaker == state.currentCharacter ? palette.accent : palette.secondary;
        // The speaker replies whether or not its chip is on: the chips choose who answers by itself.
        if (Kit::Button(ui, KeyedId(ui, "manual-reply", speaker->name), {buttonX, rect.y, width, rect.h}, Icon::Message,
                        speaker->name, color, false, true)) {
            state.ReplyNow(speaker);
        }
        buttonX += width + kGap;
    }
}

}  // namespace

void ChatScreen::DrawModeBar(UI::Ui& ui, const Rect& rect) {
    const Services::AppState& state = Services::AppState::Instance();
    if (!state.currentCharacter) {
        return;
    }
    DrawModeSwitch(ui, rect);
    float next = rect.x + kAfterSwitch;
    if (state.dualMode && state.dualPartner) {
        next = DrawParticipants(ui, rect, next);
    }
    if (state.manualReplies) {
        DrawSpeakers(ui, rect, next);
    }
}

void ChatScreen::StateChanged() {
    Services::AppState& state = Services::AppState::Instance();
    ++state.revision;
    if (state.OnChanged) {
        state.OnChanged();
    }
}

}  // namespace Lorvex::Main
