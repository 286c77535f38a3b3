#pragma once
// The arithmetic of the chat's message list, kept apart from drawing so it can be checked as
// tables: which messages the window of 60 holds and how its two buttons page it by 25, where days
// change and rows group, who speaks a message and in which colour, the time text, bubble and row
// heights from measured text sizes, the list's follow-latest rules and the entrance stagger, the
// version switcher's steps, and the cache that keeps a row's measured layout until its text,
// width or theme change, so a frame's work depends on the window and not on the chat's length.
// Plain functions over records and numbers: any thread for records no other thread changes (the
// UI thread for the live ones). Nothing fails; out-of-range inputs are clamped.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "domain/Records.h"
#include "graphics/TextStyle.h"
#include "graphics/Types.h"
#include "main/kit/RichText.h"

namespace Lorvex::Main::ChatRows {

inline constexpr int32_t kWindowSize = 60;  // messages the list shows at most
inline constexpr int32_t kPageSize = 25;    // messages one paging button moves the window by

// ---- The window and its paging ----

// The window's first message: a start outside 0 .. max(count - 1, 0) (-1 among them) becomes
// the start of the newest window, max(count - 60, 0).
int32_t ClampWindowStart(int32_t windowStart, size_t count);
// One past the window's last message.
size_t WindowEnd(int32_t windowStart, size_t count);
// "Cargar N mensajes anteriores": how many it offers, and where the window starts after it.
int32_t OlderPageCount(int32_t windowStart);
int32_t OlderPageStart(int32_t windowStart);
// "Cargar mensajes más recientes": where the window starts after it (never past the newest window).
int32_t NewerPageStart(int32_t windowStart, size_t count);

// ---- Days, groups, times ----

// The first 10 characters of the stamp (all of it when shorter): the day a message belongs to.
std::wstring DayKey(const std::wstring& stamp);
// A separator stands above the message when there is no previous message or it has another day.
bool StartsDay(const Message* previous, const std::wstring& dayKey);
// The message continues the previous one's group: same day, same role, the same speaker name
// (or neither has one), and the previous one did not fail.
bool ContinuesGroup(const Message* previous, const Message& message, bool newDay);
// "HH:MM" of the stamp; empty when hidden or when the stamp does not parse.
std::wstring TimeText(const std::wstring& stamp, bool showTimestamps);

// ---- Speakers ----

// What the list knows of the open conversation; the pointers may be null.
struct Conversation {
    const Character* character = nullptr;
    const Persona* persona = nullptr;
    bool duoMode = false;
    const Character* partner = nullptr;
};

struct Speaker {
    std::wstring name;
    std::optional<std::wstring> photoPath;
    bool secondaryAccent = false;  // the secondary accent's colour, else the accent's
};

// The user's persona ("Tú" without one); in a duo the named character (the partner unless its
// id is the open character's); otherwise the named speaker, or the one the text starts with, or
// the character, with the photo of the character or of a known person of that name.
Speaker SpeakerOf(const Message& message, const Conversation& conversation);

// ---- Sizes (DIP) ----

// The list's column for an area: margins of at least 24 keep it at most 900 wide, and bubbles
// leave room for the avatar column and stay within 680.
struct Column {
    float x = 0;
    float width = 0;
    float maxBubble = 0;
};
Column ColumnFor(const Rect& area);

// A message's text (14.5 px, lines 22 apart) and a failed reply's error text (13.5 px), wrapped.
TextStyle MessageTextStyle();
TextStyle ErrorTextStyle();
// Where a message's text wraps for a maximum bubble width, and an error text.
float TextWrapWidth(float maxBubble);
float ErrorWrapWidth(float maxBubble);

struct BubbleSize {
    float width = 0;
    float height = 0;
    float textHeight = 0;
};
// From the measured size of the error text: at least 260 wide (when the maximum allows), with
// room for the buttons below.
BubbleSize ErrorBubble(float measuredWidth, float measuredHeight, float maxBubble);
// From the measured size of the message text.
BubbleSize TextBubble(float measuredWidth, float measuredHeight, float maxBubble);
// The typing dots of a reply with no text yet.
BubbleSize TypingBubble();

// The full height of a row: gap, day separator, name line, bubble and version switcher.
float RowHeight(bool grouped, bool newDay, float bubbleHeight, int versionCount);
// Where the first row starts in the scrolled content: below the older-messages button when the
// window does not start at the first message.
float FirstRowTop(int32_t windowStart);
// The content's height when the rows end at rowsBottom, with room for the newer-messages button.
float ContentHeight(float rowsBottom, bool newerBelow);

// ---- Following the newest message ----

// The list stood at its bottom in the previous frame (within 2 DIP).
bool AtBottom(float scrollOffset, float contentHeight, float viewportHeight);

// The window and the following flag after the chat grew or shrank to count: a message of the
// user's own brings the list back; a list that follows returns to the newest window when its
// window reached the previous end.
struct Follow {
    int32_t windowStart = -1;
    bool followLatest = true;
};
Follow AfterCountChange(Follow now, uint64_t lastCount, size_t count, bool newestIsUser);

// 1 when the jump button should show: the list is more than 160 DIP above its bottom, or newer
// messages lie past the window.
float JumpTarget(float scrollOffset, float contentHeight, float viewportHeight, bool newerBelow);

// When a row starts to enter: right after a reset the rows enter from the newest upward, 0.035 s
// apart (at most 10 steps); later rows enter at once.
double EntranceTime(double now, double lastReset, size_t rowsAfter);

// ---- Versions ----

using VersionLists = std::map<std::wstring, std::vector<std::wstring>>;

// The versions the switcher offers: the texts the line keeps itself (two PCs changed it apart),
// else its group's list of this run; 0 while it is pending or has neither.
int VersionCount(const VersionLists& versions, const Message& message);
// The version shown, 0-based, kept inside the list (an index from another run may point past it).
int32_t ShownVersion(const Message& message, int count);
// "2 / 3".
std::wstring VersionCounter(const Message& message, int count);
// Shows the version delta steps away from the shown one (content and index); false, changing
// nothing, when the group's list is gone or the step leaves it.
bool StepVersion(const VersionLists& versions, Message& message, int delta);
// Keeps the shown version as the only one: the lists go, and the message leaves its group.
// False when the message has no group and keeps no texts of its own.
bool KeepVersion(VersionLists& versions, Message& message);

// ---- The measured layouts of the window's rows ----

// What measuring a row gave, reused while nothing it depends on changes.
struct Measured {
    Kit::RichText text{std::wstring(), Color{}, Color{}};
    BubbleSize size;
};

class LayoutCache {
public:
    // The row measured for this message (by identity) with the same text, error, pending state,
    // maximum bubble width and theme; null otherwise. Marks it used.
    const Measured* Find(const Message& message, float maxBubble, bool dark);
    // Remembers a measurement, marked used.
    const Measured& Store(const Message& message, float maxBubble, bool dark, Measured measured);
    // Forgets every entry not found or stored since the previous call, so the cache holds the
    // window's rows only.
    void Prune();
    size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        std::wstring content;
        std::wstring error;
        bool pending = false;
        float maxBubble = 0;
        bool dark = false;
        bool used = false;
        Measured measured;
    };
    std::unordered_map<const Message*, Entry> entries_;
};

}  // namespace Lorvex::Main::ChatRows
