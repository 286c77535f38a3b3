// The message list's arithmetic as tables: the window and its paging, days and groups, speakers,
// sizes, following the newest message, the entrance stagger, version steps and the cache of
// measured rows.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "main/chat/MessageRows.h"

namespace Lorvex::Main::ChatRows {
namespace {

TEST(MessageRows, TheWindowClampsToTheNewestSixtyAndPagesByTwentyFive) {
    struct Case {
        int32_t start;
        size_t count;
        int32_t clamped;
    };
    const Case cases[] = {
        {-1, 200, 140},  {-1, 10, 0}, {-1, 0, 0},    {0, 0, 0},   {5, 0, 0},    {199, 200, 199},
        {200, 200, 140}, {-7, 30, 0}, {50, 200, 50}, {60, 60, 0}, {59, 60, 59},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClampWindowStart(c.start, c.count), c.clamped) << c.start << " of " << c.count;
    }
    EXPECT_EQ(WindowEnd(140, 200), 200u);
    EXPECT_EQ(WindowEnd(15, 200), 75u);
    EXPECT_EQ(WindowEnd(0, 10), 10u);

    // Opening 200 messages shows 140..199; the older button walks up by 25, offering what is left.
    int32_t start = ClampWindowStart(-1, 200);
    std::vector<std::pair<int32_t, int32_t>> walk;  // (start, offered)
    while (start > 0) {
        walk.emplace_back(start, OlderPageCount(start));
        start = OlderPageStart(start);
    }
    const std::vector<std::pair<int32_t, int32_t>> expected = {{140, 25}, {115, 25}, {90, 25},
                                                               {65, 25},  {40, 25},  {15, 15}};
    EXPECT_EQ(walk, expected);
    EXPECT_EQ(start, 0);

    // The newer button walks back down and stops at the newest window.
    std::vector<int32_t> down;
    for (start = 0; start < 140; start = NewerPageStart(start, 200)) {
        down.push_back(start);
    }
    EXPECT_EQ(down, (std::vector<int32_t>{0, 25, 50, 75, 100, 125}));
    EXPECT_EQ(NewerPageStart(125, 200), 140);
    EXPECT_EQ(NewerPageStart(0, 40), 0);  // a short chat has one window
}

std::shared_ptr<Message> Line(const std::wstring& role, const std::wstring& stamp,
                              std::optional<std::wstring> name = std::nullopt, const std::wstring& error = L"") {
    auto message = std::make_shared<Message>();
    message->role = role;
    message->timestamp = stamp;
    message->character_name = std::move(name);
    message->error = error;
    return message;
}

TEST(MessageRows, DaysChangeOnTheStampsDateAndGroupsNeedTheSameSpeakerOnTheSameDay) {
    const std::wstring monday = L"2025-03-03T10:00:00.0000000+01:00";
    const std::wstring mondayLater = L"2025-03-03T23:59:00.0000000+01:00";
    const std::wstring tuesday = L"2025-03-04T00:01:00.0000000+01:00";
    EXPECT_EQ(DayKey(monday), L"2025-03-03");
    EXPECT_EQ(DayKey(L"2025-03"), L"2025-03");

    struct Case {
        const char* what;
        std::shared_ptr<Message> previous;
        std::shared_ptr<Message> message;
        bool newDay;
        bool grouped;
    };
    const Case cases[] = {
        {"first message", nullptr, Line(L"assistant", monday), true, false},
        {"same speaker, same day", Line(L"assistant", monday), Line(L"assistant", mondayLater), false, true},
        {"same speaker, next day", Line(L"assistant", mondayLater), Line(L"assistant", tuesday), true, false},
        {"other role", Line(L"user", monday), Line(L"assistant", monday), false, false},
        {"two users", Line(L"user", monday), Line(L"user", monday), false, true},
        {"same name", Line(L"assistant", monday, L"Lola"), Line(L"assistant", monday, L"Lola"), false, true},
        {"other name", Line(L"assistant", monday, L"Lola"), Line(L"assistant", monday, L"Kai"), false, false},
        {"name and none", Line(L"assistant", monday, L"Lola"), Line(L"assistant", monday), false, false},
        {"case counts", Line(L"assistant", monday, L"lola"), Line(L"assistant", monday, L"Lola"), false, false},
        {"after a failure", Line(L"assistant", monday, std::nullopt, L"Sin conexión"), Line(L"assistant", monday),
         false, false},
        {"unstamped pair", Line(L"assistant", L""), Line(L"assistant", L""), false, true},
    };
    for (const Case& c : cases) {
        const bool newDay = StartsDay(c.previous.get(), DayKey(c.message->timestamp));
        EXPECT_EQ(newDay, c.newDay) << c.what;
        EXPECT_EQ(ContinuesGroup(c.previous.get(), *c.message, newDay), c.grouped) << c.what;
    }

    EXPECT_EQ(TimeText(L"2025-03-03T09:05:00.0000000+01:00", true), L"09:05");
    EXPECT_EQ(TimeText(L"2025-03-03T09:05:00.0000000+01:00", false), L"");
    EXPECT_EQ(TimeText(L"ayer", true), L"");
}

TEST(MessageRows, SpeakersTakeTheirNamePhotoAndColourFromTheConversation) {
    Character ana;
    ana.id = L"ana";
    ana.name = L"Ana";
    ana.photoPath = L"ana.png";
    KnownCharacter marta;
    marta.name = L"Marta";
    marta.photoPath = L"marta.png";
    KnownCharacter noPhoto;
    noPhoto.name = L"Leo";
    ana.known_characters = {marta, noPhoto};
    Character kai;
    kai.id = L"kai";
    kai.name = L"Kai";
    kai.photoPath = L"kai.png";
    Persona lucia;
    lucia.name = L"Lucía";
    lucia.photoPath = L"lucia.png";
    KnownCharacter leo;  // a Leo with a photo, after Ana's Leo without one
    leo.name = L"Leo";
    leo.photoPath = L"leo.png";
    KnownCharacter tomas;
    tomas.name = L"Tomás";
    tomas.photoPath = L"tomas.png";
    lucia.known_characters = {leo, tomas};

    const Conversation single{&ana, &lucia, false, nullptr};
    const Conversation duo{&ana, &lucia, true, &kai};
    const Conversation noPersona{&ana, nullptr, false, nullptr};

    const auto said = [](const std::wstring& role, const std::wstring& content,
                         std::optional<std::wstring> name = std::nullopt,
                         std::optional<std::wstring> id = std::nullopt) {
        Message message;
        message.role = role;
        message.content = content;
        message.character_name = std::move(name);
        message.character_id = std::move(id);
        return message;
    };
    struct Case {
        const char* what;
        Message message;
        const Conversation* conversation;
        std::wstring name;
        std::optional<std::wstring> photo;
        bool secondary;
    };
    const Case cases[] = {
        {"the user", said(L"user", L"Hola"), &single, L"Lucía", L"lucia.png", false},
        {"the user without persona", said(L"user", L"Hola"), &noPersona, L"Tú", std::nullopt, false},
        {"the character", said(L"assistant", L"Hola"), &single, L"Ana", L"ana.png", true},
        {"a known person by prefix", said(L"assistant", L"Marta: ¡Hola!"), &single, L"Marta", L"marta.png", true},
        {"a stored speaker name", said(L"assistant", L"...", L"marta"), &single, L"marta", L"marta.png", true},
        {"the character in other case", said(L"assistant", L"...", L"ANA"), &single, L"ANA", L"ana.png", true},
        {"no photo among the character's people: the persona's are asked", said(L"assistant", L"...", L"Leo"), &single,
         L"Leo", L"leo.png", true},
        {"no photo anywhere", said(L"assistant", L"...", L"Leo"), &noPersona, L"Leo", std::nullopt, true},
        {"the persona's known person", said(L"assistant", L"...", L"Tomás"), &single, L"Tomás", L"tomas.png", true},
        {"a stranger", said(L"assistant", L"...", L"Nadie"), &single, L"Nadie", std::nullopt, true},
        {"the duo's own character", said(L"assistant", L"...", L"Ana", L"ana"), &duo, L"Ana", L"ana.png", false},
        {"the duo's partner", said(L"assistant", L"...", L"Kai", L"kai"), &duo, L"Kai", L"kai.png", true},
        {"a duo line without id", said(L"assistant", L"...", L"Ana"), &duo, L"Ana", L"kai.png", true},
    };
    for (const Case& c : cases) {
        const Speaker speaker = SpeakerOf(c.message, *c.conversation);
        EXPECT_EQ(speaker.name, c.name) << c.what;
        EXPECT_EQ(speaker.photoPath, c.photo) << c.what;
        EXPECT_EQ(speaker.secondaryAccent, c.secondary) << c.what;
    }
}

TEST(MessageRows, SizesFollowTheColumnTheMeasuredTextAndTheRowParts) {
    const Column wide = ColumnFor({100, 0, 1000, 500});
    EXPECT_FLOAT_EQ(wide.x, 150);
    EXPECT_FLOAT_EQ(wide.width, 900);
    EXPECT_FLOAT_EQ(wide.maxBubble, 680);
    const Column narrow = ColumnFor({0, 0, 600, 500});
    EXPECT_FLOAT_EQ(narrow.x, 24);
    EXPECT_FLOAT_EQ(narrow.width, 552);
    EXPECT_FLOAT_EQ(narrow.maxBubble, (552 - 48) * 0.82f);
    EXPECT_FLOAT_EQ(TextWrapWidth(500), 468);
    EXPECT_FLOAT_EQ(ErrorWrapWidth(500), 438);

    struct Case {
        const char* what;
        BubbleSize size;
        float width, height, textHeight;
    };
    const Case cases[] = {
        {"short text", TextBubble(10.2f, 21.5f, 500), 56, 44, 22},
        {"text", TextBubble(200.2f, 43.1f, 500), 234, 66, 44},
        {"text at the limit", TextBubble(480, 66, 500), 500, 88, 66},
        {"short error", ErrorBubble(50, 18, 500), 260, 84, 18},
        {"long error", ErrorBubble(300, 36, 500), 362, 102, 36},
        {"error in a narrow list", ErrorBubble(50, 18, 200), 200, 84, 18},
        {"typing", TypingBubble(), 78, 44, 0},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(c.size.width, c.width) << c.what;
        EXPECT_FLOAT_EQ(c.size.height, c.height) << c.what;
        EXPECT_FLOAT_EQ(c.size.textHeight, c.textHeight) << c.what;
    }

    EXPECT_FLOAT_EQ(RowHeight(false, false, 44, 0), 14 + 22 + 44);
    EXPECT_FLOAT_EQ(RowHeight(true, false, 44, 0), 4 + 44);
    EXPECT_FLOAT_EQ(RowHeight(false, true, 44, 3), 14 + 46 + 22 + 44 + 36);
    EXPECT_FLOAT_EQ(RowHeight(true, false, 44, 1), 4 + 44);  // one version shows no switcher
    EXPECT_FLOAT_EQ(FirstRowTop(0), 16);
    EXPECT_FLOAT_EQ(FirstRowTop(1), 68);
    EXPECT_FLOAT_EQ(ContentHeight(500, false), 524);
    EXPECT_FLOAT_EQ(ContentHeight(500, true), 584);
}

TEST(MessageRows, TheListFollowsTheNewestMessageUntilTheUserReadsOlderOnes) {
    EXPECT_TRUE(AtBottom(600, 1000, 400));
    EXPECT_TRUE(AtBottom(598, 1000, 400));
    EXPECT_FALSE(AtBottom(597, 1000, 400));
    EXPECT_TRUE(AtBottom(0, 300, 400));  // content that fits is at its bottom

    struct Case {
        const char* what;
        Follow before;
        uint64_t lastCount;
        size_t count;
        bool newestIsUser;
        Follow after;
    };
    const Case cases[] = {
        {"a reply while reading older lines", {-1, false}, 200, 201, false, {-1, false}},
        {"a reply while following", {-1, true}, 200, 201, false, {-1, true}},
        {"a reply to a following older window that reached the end", {140, true}, 200, 201, false, {-1, true}},
        {"a reply to a following window short of the end", {100, true}, 200, 201, false, {100, true}},
        {"a reply to an older window not followed", {140, false}, 200, 201, false, {140, false}},
        {"the user's own message far up (sending moves the window itself)", {25, false}, 100, 101, true, {25, true}},
        {"the user's own message from the last window", {40, false}, 100, 101, true, {-1, true}},
        {"a deletion changes nothing", {40, false}, 100, 99, true, {40, false}},
    };
    for (const Case& c : cases) {
        const Follow after = AfterCountChange(c.before, c.lastCount, c.count, c.newestIsUser);
        EXPECT_EQ(after.windowStart, c.after.windowStart) << c.what;
        EXPECT_EQ(after.followLatest, c.after.followLatest) << c.what;
    }

    EXPECT_EQ(JumpTarget(600, 1000, 400, false), 0);
    EXPECT_EQ(JumpTarget(440, 1000, 400, false), 0);  // 160 away: not yet
    EXPECT_EQ(JumpTarget(439, 1000, 400, false), 1);
    EXPECT_EQ(JumpTarget(600, 1000, 400, true), 1);  // newer messages wait past the window
}

TEST(MessageRows, RowsEnterStaggeredFromTheNewestRightAfterAResetAndAtOnceLater) {
    struct Case {
        double now;
        size_t rowsAfter;
        double start;
    };
    const Case cases[] = {
        {50.0, 0, 50.0},   {50.0, 1, 50.035}, {50.1, 4, 50.14},
        {50.0, 10, 50.35}, {50.0, 59, 50.35}, {50.2, 3, 50.2},  // the reset's moment is over
        {80.0, 2, 80.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(EntranceTime(c.now, 50.0, c.rowsAfter), c.start) << c.now << " " << c.rowsAfter;
    }
}

TEST(MessageRows, VersionsStepInsideTheirListAndKeepingOneDropsTheGroup) {
    VersionLists versions = {{L"g", {L"uno", L"dos", L"tres"}}, {L"pair", {L"a", L"b"}}};
    Message message;
    message.role = L"assistant";
    message.content = L"dos";
    message.regeneration_id = L"g";
    message.regeneration_index = 1;
    EXPECT_EQ(VersionCount(versions, message), 3);
    EXPECT_EQ(VersionCounter(message, 3), L"2 / 3");

    EXPECT_TRUE(StepVersion(versions, message, 1));
    EXPECT_EQ(message.content, L"tres");
    EXPECT_EQ(message.regeneration_index, 2);
    EXPECT_FALSE(StepVersion(versions, message, 1));  // already the last
    EXPECT_EQ(message.content, L"tres");
    EXPECT_TRUE(StepVersion(versions, message, -1));
    EXPECT_TRUE(StepVersion(versions, message, -1));
    EXPECT_EQ(message.content, L"uno");
    EXPECT_EQ(message.regeneration_index, 0);
    EXPECT_FALSE(StepVersion(versions, message, -1));  // already the first

    // An index from an earlier run may point past a shorter list: the counter never shows more
    // than the count, and stepping starts from what is shown.
    Message stale = message;
    stale.regeneration_id = L"pair";
    stale.regeneration_index = 2;
    EXPECT_EQ(VersionCounter(stale, 2), L"2 / 2");
    EXPECT_FALSE(StepVersion(versions, stale, 1));
    EXPECT_TRUE(StepVersion(versions, stale, -1));
    EXPECT_EQ(stale.content, L"a");
    EXPECT_EQ(stale.regeneration_index, 0);
    stale.regeneration_index.reset();
    EXPECT_EQ(VersionCounter(stale, 2), L"1 / 2");

    // Pending replies and groups whose list is gone (a restart) show no switcher and do not step.
    Message pending = message;
    pending.is_typing = true;
    EXPECT_EQ(VersionCount(versions, pending), 0);
    Message orphan = message;
    orphan.regeneration_id = L"gone";
    EXPECT_EQ(VersionCount(versions, orphan), 0);
    EXPECT_FALSE(StepVersion(versions, orphan, -1));

    EXPECT_TRUE(KeepVersion(versions, message));
    EXPECT_EQ(versions.count(L"g"), 0u);
    EXPECT_EQ(versions.count(L"pair"), 1u);
    EXPECT_FALSE(message.regeneration_id);
    EXPECT_FALSE(message.regeneration_index);
    EXPECT_EQ(message.content, L"uno");
    EXPECT_FALSE(KeepVersion(versions, message));
}

TEST(MessageRows, AMeasuredRowIsReusedUntilItsTextWidthOrThemeChangesAndPrunedOnceUnused) {
    LayoutCache cache;
    Message a;
    a.content = L"Hola";
    Message b;
    b.content = L"Adiós";
    Measured measured;
    measured.size = {100, 44, 22};
    cache.Store(a, 500, true, measured);
    cache.Store(b, 500, true, measured);
    ASSERT_NE(cache.Find(a, 500, true), nullptr);
    EXPECT_FLOAT_EQ(cache.Find(a, 500, true)->size.width, 100);
    EXPECT_EQ(cache.Find(a, 400, true), nullptr);   // another width
    EXPECT_EQ(cache.Find(a, 500, false), nullptr);  // another theme

    Message same = a;  // equal text, another record
    EXPECT_EQ(cache.Find(same, 500, true), nullptr);

    const auto changed = [&](auto change) {
        Message copy = a;
        LayoutCache one;
        one.Store(copy, 500, true, measured);
        change(copy);
        return one.Find(copy, 500, true) == nullptr;
    };
    EXPECT_TRUE(changed([](Message& m) { m.content += L"!"; }));
    EXPECT_TRUE(changed([](Message& m) { m.error = L"Sin conexión"; }));
    EXPECT_TRUE(changed([](Message& m) { m.is_typing = true; }));
    EXPECT_FALSE(changed([](Message& m) { m.timestamp = L"2025"; }));

    // A frame asks for the window's rows, then prunes: what it did not ask for goes.
    cache.Prune();
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_NE(cache.Find(b, 500, true), nullptr);
    cache.Prune();
    EXPECT_EQ(cache.Size(), 1u);
    EXPECT_EQ(cache.Find(a, 500, true), nullptr);
    cache.Prune();
    EXPECT_EQ(cache.Size(), 0u);
}

}  // namespace
}  // namespace Lorvex::Main::ChatRows
