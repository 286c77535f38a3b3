// Widget ids: FNV-1a 64 against published vectors, the UTF-16 and number forms, salts, the rule
// that no id is 0, and id scopes that leave unscoped ids alone.

#include <gtest/gtest.h>

#include <string>

#include "tests/ui/UiHarness.h"
#include "ui/Ids.h"

namespace Lorvex::UI {
namespace {

// Ids of literals are compile-time constants.
static_assert(MakeIdFromText("send-btn") != 0);

TEST(UiIds, Fnv1a64MatchesPublishedVectors) {
    struct Case {
        const char* text;
        uint64_t hash;
    };
    const Case cases[] = {
        {"", 0xcbf29ce484222325ull},
        {"a", 0xaf63dc4c8601ec8cull},
        {"foobar", 0x85944171f73967e8ull},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fnv1a64(kFnvOffsetBasis, c.text), c.hash) << c.text;
        EXPECT_EQ(MakeIdFromText(c.text), c.hash) << c.text;
        // ASCII in UTF-16 hashes as its bytes do: one step per unit.
        const std::wstring wide(c.text, c.text + std::char_traits<char>::length(c.text));
        EXPECT_EQ(Fnv1a64(kFnvOffsetBasis, wide), c.hash) << c.text;
    }
}

TEST(UiIds, Utf16UnitsAreOneStepEachAndHashesChain) {
    // The whole unit is XORed in, not its two bytes, and not its UTF-8 form.
    EXPECT_EQ(Fnv1a64(kFnvOffsetBasis, std::wstring_view(L"\u4E2D")), (kFnvOffsetBasis ^ 0x4E2D) * kFnvPrime);
    EXPECT_NE(Fnv1a64(kFnvOffsetBasis, std::wstring_view(L"\u4E2D")), Fnv1a64(kFnvOffsetBasis, "\xE4\xB8\xAD"));

    // Hashing in pieces is hashing the whole: a seed continues a hash.
    EXPECT_EQ(Fnv1a64(Fnv1a64(kFnvOffsetBasis, "card"), std::wstring_view(L"c1")),
              Fnv1a64(kFnvOffsetBasis, std::wstring_view(L"cardc1")));

    // A number goes in as its eight bytes, least significant first.
    EXPECT_EQ(MakeId("rail", 0x0102), Fnv1a64(kFnvOffsetBasis, std::string_view("rail\x02\x01\0\0\0\0\0\0", 12)));
    EXPECT_NE(MakeId("rail", 1), MakeId("rail", 2));
    EXPECT_EQ(Fnv1a64Word(0xD1A1, 7), Fnv1a64(0xD1A1, std::string_view("\x07\0\0\0\0\0\0\0", 8)));

    // A salt seeds the hash of the id's bytes; different salts give different sub-ids.
    const uint64_t id = MakeIdFromText("chat-input");
    EXPECT_EQ(SaltedId(id, 0x7B), Fnv1a64Word(0x7B, id));
    EXPECT_NE(SaltedId(id, 0x40E1), SaltedId(id, 0x40E2));
}

TEST(UiIds, NoIdIsZero) {
    // One step from seed b over byte b gives (b ^ b) * prime = 0.
    EXPECT_EQ(Fnv1a64('a', "a"), 0u);
    EXPECT_EQ(MakeIdFromText("a", 'a'), 1u);
    // The text's zero becomes 1 before the number is hashed on.
    EXPECT_EQ(MakeId("a", 5, 'a'), Fnv1a64Word(1, 5));
    EXPECT_EQ(SaltedId(0, 0), 1u);
    EXPECT_EQ(NonZeroId(0), 1u);
    EXPECT_EQ(NonZeroId(42), 42u);
}

TEST(UiIds, ScopesSeedOnlyTheIdsMadeInsideThem) {
    Testing::UiHarness h;
    Ui& ui = h.ui;
    const uint64_t plain = MakeIdFromText("send-btn");
    EXPECT_EQ(ui.MakeIdFromText("send-btn"), plain);
    EXPECT_EQ(ui.MakeId("rail", 3), MakeId("rail", 3));

    const uint64_t dialogSeed = 0x1234567890ABCDEFull;
    const uint64_t innerSeed = 0xFEDCBA0987654321ull;
    {
        Ui::IdScope dialog(ui, dialogSeed);
        EXPECT_EQ(ui.IdSeed(), dialogSeed);
        EXPECT_EQ(ui.MakeIdFromText("send-btn"), Fnv1a64(dialogSeed, "send-btn"));
        EXPECT_EQ(ui.MakeId("row", 2), Fnv1a64Word(Fnv1a64(dialogSeed, "row"), 2));
        ui.PushId(innerSeed);
        EXPECT_EQ(ui.MakeIdFromText("send-btn"), Fnv1a64(innerSeed, "send-btn"));
        ui.PopId();
        EXPECT_EQ(ui.MakeIdFromText("send-btn"), Fnv1a64(dialogSeed, "send-btn"));
        // A zero hash inside a scope still becomes 1.
        ui.PushId('a');
        EXPECT_EQ(ui.MakeIdFromText("a"), 1u);
        ui.PopId();
    }
    EXPECT_EQ(ui.MakeIdFromText("send-btn"), plain);
    ui.PopId();  // nothing open: no effect
    EXPECT_EQ(ui.IdSeed(), kFnvOffsetBasis);

    // A scope left open by a frame's drawing does not leak into the next frame.
    h.Frame([&] { ui.PushId(dialogSeed); });
    h.Frame([&] { EXPECT_EQ(ui.MakeIdFromText("send-btn"), plain); });
}

}  // namespace
}  // namespace Lorvex::UI
