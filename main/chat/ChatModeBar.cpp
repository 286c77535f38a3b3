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
#include "services/state/AppState.h"

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
constexpr float kCompactChip = 34;  // a chip with the avatar alone

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

// How the duo's participant chips are shown. They give way to the speaker buttons, which must
// always fit: first to chips that show only the avatar (the name in the tooltip), then to none.
enum class ChipsForm { Full, Compact, None };

float FullChipWidth(Graphics& graphics, const std::wstring& name) {
    return std::ceil(graphics.MeasureText(name, LabelStyle(13, 500), 100000).width + 28) + 26;
}

std::vector<std::shared_ptr<Character>> DuoMembers() {
    const Services::AppState& state = Services::AppState::Instance();
    return {state.currentCharacter, state.dualPartner};
}

// The room the participant section takes in this form, up to where the next section starts.
float ParticipantsWidth(Graphics& graphics, ChipsForm form) {
    if (form == ChipsForm::None) {
        return 0;
    }
    float width = form == ChipsForm::Full ? kParticipantsLabel : 0.0f;
    for (const std::shared_ptr<Character>& member : DuoMembers()) {
        width += (form == ChipsForm::Full ? FullChipWidth(graphics, member->name) : kCompactChip) + kGap;
    }
    return width + kGap;
}

// The duo's participant chips from x; returns where the next section starts.
float DrawParticipants(UI::Ui& ui, const Rect& rect, float x, ChipsForm form) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const bool full = form == ChipsForm::Full;
    float chipX = x;
    if (full) {
        graphics.DrawText(L"Participan:", {x, rect.y, kParticipantsLabel, rect.h}, palette.onBackgroundMuted,
                          LabelStyle(12.5f, 400));
        chipX += kParticipantsLabel;
    }
    const TextStyle nameStyle = LabelStyle(13, 500);
    for (const std::shared_ptr<Character>& member : DuoMembers()) {
        const bool open = member == state.currentCharacter;
        std::vector<std::wstring>& ids = state.participantIds;
        const auto found = std::find(ids.begin(), ids.end(), member->id);
        const bool takesPart = found != ids.end();
        const float width = full ? FullChipWidth(graphics, member->name) : kCompactChip;
        const Rect chip = {chipX, rect.y, width, rect.h};
        const uint64_t chipId = KeyedId(ui, "dual-chip", member->id);
        if (Kit::ChoiceChip(ui, chipId, chip, L"", takesPart, open ? palette.accent : palette.secondary, true)) {
            if (takesPart) {
                ids.erase(found);
            } else {
                ids.push_back(member->id);
            }
            ChatScreen::StateChanged();
        }
        const float avatarX = full ? chipX + 5 : chipX + (width - 24) / 2;
        Kit::Avatar(ui, {avatarX, rect.y + rect.h / 2 - 12, 24, 24}, member->photoPath, member->name, 0, {});
        if (full) {
            graphics.DrawText(member->name, {chipX + 36, rect.y, width - 40, rect.h},
                              takesPart ? palette.onBackground : palette.onBackgroundMuted, nameStyle);
        } else {
            ui.Tooltip(chipId, member->name);
        }
        chipX += width + kGap;
    }
    return chipX + kGap;
}

std::vector<std::shared_ptr<Character>> Speakers() {
    const Services::AppState& state = Services::AppState::Instance();
    std::vector<std::shared_ptr<Character>> speakers = {state.currentCharacter};
    if (state.dualMode && state.dualPartner) {
        speakers.push_back(state.dualPartner);
    }
    return speakers;
}

// The speaker buttons side by side, whole, with their gaps.
float SpeakerButtonsWidth(UI::Ui& ui) {
    float width = 0;
    for (const std::shared_ptr<Character>& speaker : Speakers()) {
        width += Kit::ButtonWidth(ui, speaker->name, Kit::kButtonFontSize) + kGap;
    }
    return width - kGap;
}

// "Que responda:" and one button per character from x to the rect's end. Where they do not fit
// whole, the label goes first, then the buttons share the room (their names shortened).
void DrawSpeakers(UI::Ui& ui, const Rect& rect, float x) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    const std::vector<std::shared_ptr<Character>> speakers = Speakers();
    const float end = rect.x + rect.w;
    const float buttons = SpeakerButtonsWidth(ui);
    float buttonX = x;
    if (x + kSpeakersStart + buttons <= end) {
        ui.graphics->DrawText(L"Que responda:", {x, rect.y, kSpeakersLabel, rect.h}, palette.onBackgroundMuted,
                              LabelStyle(12.5f, 400));
        buttonX += kSpeakersStart;
    }
    const float gaps = kGap * static_cast<float>(speakers.size() - 1);
    const float share = std::max((end - buttonX - gaps) / static_cast<float>(speakers.size()), 0.0f);
    const bool shrink = buttonX + buttons > end;
    for (const std::shared_ptr<Character>& speaker : speakers) {
        const float whole = Kit::ButtonWidth(ui, speaker->name, Kit::kButtonFontSize);
        const float width = shrink ? std::min(whole, share) : whole;
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
        // The speakers' room, whole with their label, decides how much the chips may take.
        const float speakers = state.manualReplies ? kSpeakersStart + SpeakerButtonsWidth(ui) : 0.0f;
        const float room = rect.x + rect.w - next;
        ChipsForm form = ChipsForm::None;
        for (const ChipsForm candidate : {ChipsForm::Full, ChipsForm::Compact}) {
            if (ParticipantsWidth(*ui.graphics, candidate) + speakers <= room) {
                form = candidate;
                break;
            }
        }
        if (form != ChipsForm::None) {
            next = DrawParticipants(ui, rect, next, form);
        }
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
