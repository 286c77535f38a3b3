// The rules of the home screen that need no window: the greeting by the hour, the counters, the
// search, both orders, the grid's columns and the rows it skips, and the texts of a card.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Time.h"
#include "main/home/HomeLayout.h"
#include "main/home/HomeList.h"
#include "main/home/HomeTexts.h"

namespace Lorvex::Main::Home {
namespace {

std::shared_ptr<Character> Named(const std::wstring& name) {
    auto character = std::make_shared<Character>();
    character->id = L"id-" + name;
    character->name = name;
    return character;
}

std::shared_ptr<Chat> ChatAt(const std::wstring& stamp, size_t messages, const std::wstring& messageStamp = L"") {
    auto chat = std::make_shared<Chat>();
    chat->timestamp = stamp;
    for (size_t i = 0; i < messages; ++i) {
        auto message = std::make_shared<Message>();
        message->role = L"assistant";
        message->content = L"Hola " + std::to_wstring(i);
        message->timestamp = messageStamp.empty() ? stamp : messageStamp;
        chat->messages.push_back(message);
    }
    return chat;
}

std::vector<std::wstring> Names(const CharacterList& list) {
    std::vector<std::wstring> names;
    for (const auto& character : list) {
        names.push_back(character->name);
    }
    return names;
}

TEST(HomeRules, GreetingFollowsTheLocalHour) {
    const struct {
        int hour;
        const wchar_t* greeting;
    } cases[] = {
        {0, L"Buenas noches"},  {5, L"Buenas noches"},  {6, L"Buenos días"},    {12, L"Buenos días"},
        {13, L"Buenas tardes"}, {19, L"Buenas tardes"}, {20, L"Buenas noches"}, {23, L"Buenas noches"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Greeting(c.hour), c.greeting) << c.hour;
    }
    Persona lucia;
    lucia.name = L"Lucía";
    EXPECT_EQ(HeroTitle(9, &lucia), L"Buenos días, Lucía");
    EXPECT_EQ(HeroTitle(21, nullptr), L"Buenas noches");
}

TEST(HomeRules, CountsADuosSharedChatsOnce) {
    auto ana = Named(L"Ana");
    ana->chats->push_back(ChatAt(L"2025-03-01T10:00:00", 3));
    ana->chats->push_back(ChatAt(L"2025-03-02T10:00:00", 1));
    auto bruno = Named(L"Bruno");
    auto carla = Named(L"Carla");
    bruno->chats->push_back(ChatAt(L"2025-03-03T10:00:00", 2));
    carla->chats = bruno->chats;  // a duo: one list for both
    auto dora = Named(L"Dora");   // no chats yet

    const RecordCounts counts = CountRecords({ana, bruno, carla, dora});
    EXPECT_EQ(counts.characters, 4u);
    EXPECT_EQ(counts.chats, 3u);
    EXPECT_EQ(counts.messages, 6u);
    const RecordCounts none = CountRecords({});
    EXPECT_EQ(none.chats, 0u);
}

TEST(HomeRules, SearchTrimsTheQueryNotTheNamesAndFoldsOnlyLetterCase) {
    const CharacterList all = {Named(L"Ana María"), Named(L"Juana"), Named(L"Lucía"), Named(L"Bruno")};
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> found;
    } cases[] = {
        {L"", {L"Ana María", L"Juana", L"Lucía", L"Bruno"}},
        {L" \t\u00A0", {L"Ana María", L"Juana", L"Lucía", L"Bruno"}},
        {L"  an ", {L"Ana María", L"Juana"}},
        {L"ANA", {L"Ana María", L"Juana"}},
        {L"a m", {L"Ana María"}},  // the blank is part of the name
        {L"ju ana", {}},           // a blank the name does not have
        {L"lucia", {}},            // accents are not folded
        {L"ía", {L"Ana María", L"Lucía"}},
        {L"zz", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Names(FilterByName(all, SearchQuery(c.text))), c.found) << c.text;
    }
}

TEST(HomeRules, OrdersAlphabeticallyOrByLatestActivityKeepingTiesInListOrder) {
    auto old = Named(L"bruno");
    old->chats->push_back(ChatAt(L"2025-01-05T10:00:00", 2));
    auto recent = Named(L"Carla");
    // Its chat is older than the other's, but its last message is the newest activity of all.
    recent->chats->push_back(ChatAt(L"2025-01-01T10:00:00", 1, L"2025-03-01T09:00:00"));
    auto fresh = Named(L"Ana");  // new, no chats
    auto twin = Named(L"ana");   // equal to it but for letter case
    const CharacterList stored = {fresh, old, recent, twin};

    CharacterList byName = stored;
    SortForDisplay(byName, true);
    EXPECT_EQ(Names(byName), (std::vector<std::wstring>{L"Ana", L"ana", L"bruno", L"Carla"}));

    CharacterList byActivity = stored;
    SortForDisplay(byActivity, false);
    // Characters without chats come last, in their stored order.
    EXPECT_EQ(Names(byActivity), (std::vector<std::wstring>{L"Carla", L"bruno", L"Ana", L"ana"}));

    CharacterList reversed = {twin, recent, old, fresh};
    SortForDisplay(reversed, true);
    EXPECT_EQ(Names(reversed), (std::vector<std::wstring>{L"ana", L"Ana", L"bruno", L"Carla"}));
}

// The shown list and the counters are made again when the records, the query or the order
// change, and only then: a name changed without a new revision still shows the old order.
TEST(HomeRules, TheShownListAndCountersAreKeptUntilWhatTheyShowChanges) {
    auto ana = Named(L"Ana");
    auto bea = Named(L"Bea");
    bea->chats->push_back(ChatAt(L"2025-03-01T10:00:00", 2));
    CharacterList characters = {ana, bea};
    ShownCharacters shown;
    EXPECT_EQ(Names(shown.List(characters, 1, L"", true)), (std::vector<std::wstring>{L"Ana", L"Bea"}));
    EXPECT_EQ(shown.Counts(characters, 1).messages, 2u);

    ana->name = L"Zoe";
    bea->chats->front()->messages.clear();
    EXPECT_EQ(Names(shown.List(characters, 1, L"", true)), (std::vector<std::wstring>{L"Zoe", L"Bea"}));
    EXPECT_EQ(shown.Counts(characters, 1).messages, 2u);

    EXPECT_EQ(Names(shown.List(characters, 2, L"", true)), (std::vector<std::wstring>{L"Bea", L"Zoe"}));
    EXPECT_EQ(shown.Counts(characters, 2).messages, 0u);
    EXPECT_EQ(Names(shown.List(characters, 2, L"zo", true)), (std::vector<std::wstring>{L"Zoe"}));
    EXPECT_EQ(Names(shown.List(characters, 2, L"", false)), (std::vector<std::wstring>{L"Bea", L"Zoe"}));
    // Another list of characters, at the same revision.
    const CharacterList fewer = {ana};
    EXPECT_EQ(Names(shown.List(fewer, 2, L"", false)), (std::vector<std::wstring>{L"Zoe"}));
    EXPECT_EQ(shown.Counts(fewer, 2).characters, 1u);
}

TEST(HomeRules, GridTakesAsManyColumnsAsFitAndSharesTheWidth) {
    const struct {
        float width;
        size_t columns;
        float cardWidth;
    } cases[] = {
        {120, 1, 120},  // narrower than a card: one column the whole width
        {617, 1, 617},  // one DIP short of two
        {618, 2, 300},  // two cards of 300 and a gap
        {1178, 3, (1178 - 2 * 18) / 3.0f},
        {1900, 6, (1900 - 5 * 18) / 6.0f},
    };
    for (const auto& c : cases) {
        const CardGrid grid = GridFor(10, 20, c.width);
        EXPECT_EQ(grid.columns, c.columns) << c.width;
        EXPECT_FLOAT_EQ(grid.cardWidth, c.cardWidth) << c.width;
    }
    const CardGrid grid = GridFor(10, 20, 618);
    const Rect fifth = CardRect(grid, 4);  // third row, first column
    EXPECT_FLOAT_EQ(fifth.x, 10);
    EXPECT_FLOAT_EQ(fifth.y, 20 + 2 * 232);
    EXPECT_FLOAT_EQ(fifth.h, 214);
    EXPECT_FLOAT_EQ(CardRect(grid, 5).x, 10 + 318);
    EXPECT_FLOAT_EQ(GridHeight(grid, 5), 3 * 232);
}

TEST(HomeRules, OnlyTheRowsNearTheVisibleBandAreVisited) {
    const CardGrid grid = GridFor(0, 100, 1178);  // 3 columns, rows at 100, 332, 564, ...
    // The band 100..700 shows rows 0 to 2 whole or in part; row 3 starts at 796, beyond the margin.
    CardSpan span = CardsShown(grid, 3000, 100, 700);
    EXPECT_EQ(span.first, 0u);
    EXPECT_EQ(span.end, 9u);
    // Far down a long list the span is as short; a row that ends less than 40 DIPs above the band
    // still counts.
    span = CardsShown(grid, 3000, 100 + 232 * 500 + 250, 100 + 232 * 500 + 850);
    EXPECT_EQ(span.first, 500u * 3);
    EXPECT_EQ(span.end, 504u * 3);
    // Past the end of a short list, or a list cut short in its last row.
    span = CardsShown(grid, 7, 2000, 2600);
    EXPECT_EQ(span.first, span.end);
    span = CardsShown(grid, 7, 0, 2000);
    EXPECT_EQ(span.first, 0u);
    EXPECT_EQ(span.end, 7u);
}

TEST(HomeRules, CardSubtitleJoinsTheGivenParts) {
    const struct {
        const wchar_t* age;
        const wchar_t* gender;
        const wchar_t* orientation;
        const wchar_t* subtitle;
    } cases[] = {
        {L"27", L"Mujer", L"Bisexual", L"27 años · Mujer · Bisexual"},
        {L"", L"Mujer", L"Heterosexual", L"Mujer · Heterosexual"},
        {L"40", L"", L"", L"40 años"},
        {L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        Character character;
        character.age = c.age;
        character.gender = c.gender;
        character.orientation = c.orientation;
        EXPECT_EQ(CardSubtitle(character), c.subtitle);
    }
}

TEST(HomeRules, CardTagsNameTheDuoTheStyleAdultContentAndKnownPeople) {
    auto bruno = Named(L"Bruno");
    auto ana = Named(L"Ana");
    ana->is_dual_mode = true;
    ana->dual_partner_id = bruno->id;
    ana->speech_style = L"";
    ana->nsfw_allowed = true;
    ana->known_characters.resize(1);

    std::vector<CardTag> tags = CardTags(*ana, {ana, bruno});
    ASSERT_EQ(tags.size(), 4u);
    EXPECT_EQ(tags[0].label, L"Dúo con Bruno");
    EXPECT_EQ(tags[1].label, L"Normal");
    EXPECT_EQ(tags[2].label, L"+18");
    EXPECT_EQ(tags[3].label, L"1 conocidos");
    EXPECT_EQ(tags[3].tone, TagTone::Tertiary);

    // A partner that is not among the characters leaves the bare duo tag.
    tags = CardTags(*ana, {ana});
    EXPECT_EQ(tags[0].label, L"Dúo");
    ana->is_dual_mode = false;
    ana->nsfw_allowed = false;
    ana->known_characters.clear();
    ana->speech_style = L"Poetico";
    tags = CardTags(*ana, {ana});
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].label, L"Poetico");
}

TEST(HomeRules, PreviewFallsBackToTheScenarioThenToAnInvitation) {
    Character character;
    EXPECT_EQ(PreviewOf(character).text, L"Aún no habéis hablado. ¡Saluda!");
    EXPECT_TRUE(PreviewOf(character).italic);
    character.scenario = L"Una cafetería en Madrid.";
    EXPECT_EQ(PreviewOf(character).text, L"Una cafetería en Madrid.");
    EXPECT_TRUE(PreviewOf(character).italic);
    // A chat whose only line is still being written has nothing to show yet.
    auto chat = ChatAt(L"2025-03-01T10:00:00", 1);
    chat->messages[0]->is_typing = true;
    character.chats->push_back(chat);
    EXPECT_EQ(PreviewOf(character).text, L"Una cafetería en Madrid.");
    chat->messages[0]->is_typing = false;
    EXPECT_EQ(PreviewOf(character).text, L"Hola 0");
    EXPECT_FALSE(PreviewOf(character).italic);
}

TEST(HomeRules, FooterCountsChatsAndSaysHowRecentTheLatestWas) {
    Time::LocalNow now;
    now.time.wYear = 2025;
    now.time.wMonth = 3;
    now.time.wDay = 7;
    now.time.wHour = 18;
    Time::SetLocalTimeForTesting([now] { return now; });
    EXPECT_EQ(CardFooter(0, L""), L"0 chats");
    EXPECT_EQ(CardFooter(1, L"2025-03-07T17:55:00"), L"1 chat · hace 5 min");
    EXPECT_EQ(CardFooter(2, L"2025-03-06T10:00:00"), L"2 chats · ayer");
    Time::SetLocalTimeForTesting(nullptr);
}

TEST(HomeRules, CountersCountUpOverNineTenthsOfASecond) {
    EXPECT_EQ(CountUp(120, -0.5), 0);
    EXPECT_EQ(CountUp(120, 0), 0);
    EXPECT_EQ(CountUp(120, 0.9), 120);
    EXPECT_EQ(CountUp(120, 5), 120);
    // Halfway in time the eased curve has done 7/8: 105 of 120; 1 * 7/8 rounds up to 1.
    EXPECT_EQ(CountUp(120, 0.45), 105);
    EXPECT_EQ(CountUp(1, 0.45), 1);
    EXPECT_EQ(CountUp(3, 0.3), 2);  // 3 * (1 - (2/3)^3) = 2.11
}

}  // namespace
}  // namespace Lorvex::Main::Home
