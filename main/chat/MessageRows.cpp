#include "main/chat/MessageRows.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "domain/SpeakerPrefix.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "main/chat/ChatScreen.h"

namespace Lorvex::Main::ChatRows {

namespace {

constexpr size_t kDayKeyLength = 10;
constexpr float kGroupGap = 4;
constexpr float kGap = 14;
constexpr float kDaySeparator = 46;
constexpr float kNameLine = 22;
constexpr float kVersionLine = 36;
constexpr float kOlderButtonBand = 52;
constexpr float kContentPad = 16;
constexpr float kNewerButtonBand = 60;
constexpr float kContentBottom = 24;
constexpr float kMaxColumn = 900;
constexpr float kMinMargin = 24;
constexpr float kAvatarColumn = 48;
constexpr float kMaxBubble = 680;
constexpr float kJumpDistance = 160;
constexpr double kStagger = 0.035;
constexpr size_t kStaggerSteps = 10;
constexpr double kResetWindow = 0.15;

int32_t NewestWindowStart(size_t count) {
    return static_cast<int32_t>(count > static_cast<size_t>(kWindowSize) ? count - kWindowSize : 0);
}

}  // namespace

int32_t ClampWindowStart(int32_t windowStart, size_t count) {
    const int64_t last = count > 0 ? static_cast<int64_t>(count) - 1 : 0;
    if (windowStart < 0 || windowStart > last) {
        return NewestWindowStart(count);
    }
    return windowStart;
}

size_t WindowEnd(int32_t windowStart, size_t count) {
    return std::min(count, static_cast<size_t>(std::max(windowStart, 0)) + kWindowSize);
}

int32_t OlderPageCount(int32_t windowStart) {
    return std::clamp(windowStart, 0, kPageSize);
}

int32_t OlderPageStart(int32_t windowStart) {
    return std::max(windowStart - kPageSize, 0);
}

int32_t NewerPageStart(int32_t windowStart, size_t count) {
    return std::min(windowStart + kPageSize, NewestWindowStart(count));
}

std::wstring DayKey(const std::wstring& stamp) {
    return stamp.substr(0, kDayKeyLength);
}

bool StartsDay(const Message* previous, const std::wstring& dayKey) {
    return !previous || DayKey(previous->timestamp) != dayKey;
}

bool ContinuesGroup(const Message* previous, const Message& message, bool newDay) {
    return previous && !newDay && previous->role == message.role &&
           previous->character_name == message.character_name && previous->error.empty();
}

std::wstring TimeText(const std::wstring& stamp, bool showTimestamps) {
    if (!showTimestamps) {
        return L"";
    }
    const std::optional<SYSTEMTIME> time = Time::ParseIso(stamp);
    if (!time) {
        return L"";
    }
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u:%02u", static_cast<unsigned>(time->wHour), static_cast<unsigned>(time->wMinute));
    return text;
}

Speaker SpeakerOf(const Message& message, const Conversation& conversation) {
    Speaker speaker;
    const Character* character = conversation.character;
    if (message.role == L"user") {
        if (conversation.persona) {
            speaker.name = conversation.persona->name;
            speaker.photoPath = conversation.persona->photoPath;
        } else {
            speaker.name = L"Tú";
        }
        return speaker;
    }
    if (conversation.duoMode && message.character_name) {
        speaker.name = *message.character_name;
        if (character && message.character_id && *message.character_id == character->id) {
            speaker.photoPath = character->photoPath;
        } else {
            speaker.photoPath = conversation.partner ? conversation.partner->photoPath : std::nullopt;
            speaker.secondaryAccent = true;
        }
        return speaker;
    }
    speaker.secondaryAccent = true;
    if (message.character_name) {
        speaker.name = *message.character_name;
    } else if (character) {
        const std::optional<std::wstring> named = ParseSpeakerPrefix(*character, conversation.persona, message.content);
        speaker.name = named ? *named : character->name;
    }
    if (!character) {
        return speaker;
    }
    if (Text::EqualsNoCase(speaker.name, character->name)) {
        speaker.photoPath = character->photoPath;
        return speaker;
    }
    speaker.photoPath = ChatScreen::FindKnownPhoto(speaker.name, character->known_characters);
    if (!speaker.photoPath && conversation.persona) {
        speaker.photoPath = ChatScreen::FindKnownPhoto(speaker.name, conversation.persona->known_characters);
    }
    return speaker;
}

Column ColumnFor(const Rect& area) {
    const float margin = std::max((area.w - kMaxColumn) / 2, kMinMargin);
    Column column;
    column.x = area.x + margin;
    column.width = area.w - 2 * margin;
    column.maxBubble = std::min((column.width - kAvatarColumn) * 0.82f, kMaxBubble);
    return column;
}

TextStyle MessageTextStyle() {
    TextStyle style;
    style.size = 14.5f;
    style.weight = 400;
    style.lineHeight = 22;
    return style;
}

TextStyle ErrorTextStyle() {
    TextStyle style;
    style.size = 13.5f;
    style.weight = 400;
    return style;
}

float TextWrapWidth(float maxBubble) {
    return maxBubble - 32;
}

float ErrorWrapWidth(float maxBubble) {
    return TextWrapWidth(maxBubble) - 30;
}

BubbleSize ErrorBubble(float measuredWidth, float measuredHeight, float maxBubble) {
    BubbleSize size;
    size.width = std::min(std::max(measuredWidth + 62, 260.0f), maxBubble);
    size.textHeight = measuredHeight;
    // 22 of inner spacing and 44 for the row of buttons.
    size.height = size.textHeight + 66;
    return size;
}

BubbleSize TextBubble(float measuredWidth, float measuredHeight, float maxBubble) {
    BubbleSize size;
    size.width = std::min(std::max(std::ceil(measuredWidth) + 33, 56.0f), maxBubble);
    size.textHeight = std::ceil(measuredHeight);
    size.height = size.textHeight + 22;
    return size;
}

BubbleSize TypingBubble() {
    return {78, 44, 0};
}

float RowHeight(bool grouped, bool newDay, float bubbleHeight, int versionCount) {
    return (grouped ? kGroupGap : kGap) + (newDay ? kDaySeparator : 0) + (grouped ? 0 : kNameLine) + bubbleHeight +
           (versionCount >= 2 ? kVersionLine : 0);
}

float FirstRowTop(int32_t windowStart) {
    return (windowStart >= 1 ? kOlderButtonBand : 0) + kContentPad;
}

float ContentHeight(float rowsBottom, bool newerBelow) {
    return rowsBottom + (newerBelow ? kNewerButtonBand : 0) + kContentBottom;
}

bool AtBottom(float scrollOffset, float contentHeight, float viewportHeight) {
    return scrollOffset >= std::max(contentHeight - viewportHeight, 0.0f) - 2;
}

Follow AfterCountChange(Follow now, uint64_t lastCount, size_t count, bool newestIsUser) {
    if (count <= lastCount) {
        return now;
    }
    if (newestIsUser) {
        now.followLatest = true;
    }
    if (now.followLatest && now.windowStart >= 0 && static_cast<uint64_t>(now.windowStart) + kWindowSize >= lastCount) {
        now.windowStart = -1;
    }
    return now;
}

float JumpTarget(float scrollOffset, float contentHeight, float viewportHeight, bool newerBelow) {
    const float below = std::max(contentHeight - viewportHeight, 0.0f) - scrollOffset;
    return below > kJumpDistance || newerBelow ? 1.0f : 0.0f;
}

double EntranceTime(double now, double lastReset, size_t rowsAfter) {
    if (now < lastReset + kResetWindow) {
        return lastReset + static_cast<double>(std::min(rowsAfter, kStaggerSteps)) * kStagger;
    }
    return now;
}

namespace {

// The texts the switcher steps through: those the line keeps itself (two PCs changed it), else
// this run's regenerations; null for neither.
const std::vector<std::wstring>* VersionsOf(const VersionLists& versions, const Message& message) {
    if (!message.versions.empty()) {
        return &message.versions;
    }
    if (!message.regeneration_id) {
        return nullptr;
    }
    const auto found = versions.find(*message.regeneration_id);
    return found == versions.end() ? nullptr : &found->second;
}

}  // namespace

int VersionCount(const VersionLists& versions, const Message& message) {
    if (message.is_typing) {
        return 0;
    }
    const std::vector<std::wstring>* texts = VersionsOf(versions, message);
    return texts == nullptr ? 0 : static_cast<int>(texts->size());
}

int32_t ShownVersion(const Message& message, int count) {
    return std::clamp(message.regeneration_index.value_or(0), 0, std::max(count - 1, 0));
}

std::wstring VersionCounter(const Message& message, int count) {
    return std::to_wstring(ShownVersion(message, count) + 1) + L" / " + std::to_wstring(count);
}

bool StepVersion(const VersionLists& versions, Message& message, int delta) {
    const std::vector<std::wstring>* texts = VersionsOf(versions, message);
    if (texts == nullptr || texts->empty()) {
        return false;
    }
    const int count = static_cast<int>(texts->size());
    const int32_t next = ShownVersion(message, count) + delta;
    if (next < 0 || next >= count) {
        return false;
    }
    message.regeneration_index = next;
    message.content = (*texts)[static_cast<size_t>(next)];
    return true;
}

bool KeepVersion(VersionLists& versions, Message& message) {
    if (!message.regeneration_id && message.versions.empty()) {
        return false;
    }
    message.versions.clear();
    if (message.regeneration_id) {
        versions.erase(*message.regeneration_id);
    }
    message.regeneration_id.reset();
    message.regeneration_index.reset();
    return true;
}

const Measured* LayoutCache::Find(const Message& message, float maxBubble, bool dark) {
    const auto found = entries_.find(&message);
    if (found == entries_.end()) {
        return nullptr;
    }
    Entry& entry = found->second;
    if (entry.pending != message.is_typing || entry.maxBubble != maxBubble || entry.dark != dark ||
        entry.error != message.error || entry.content != message.content) {
        return nullptr;
    }
    entry.used = true;
    return &entry.measured;
}

const Measured& LayoutCache::Store(const Message& message, float maxBubble, bool dark, Measured measured) {
    Entry& entry = entries_[&message];
    entry.content = message.content;
    entry.error = message.error;
    entry.pending = message.is_typing;
    entry.maxBubble = maxBubble;
    entry.dark = dark;
    entry.used = true;
    entry.measured = std::move(measured);
    return entry.measured;
}

void LayoutCache::Prune() {
    std::erase_if(entries_, [](const auto& item) { return !item.second.used; });
    for (auto& [message, entry] : entries_) {
        entry.used = false;
    }
}

}  // namespace Lorvex::Main::ChatRows
