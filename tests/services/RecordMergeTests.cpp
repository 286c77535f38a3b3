// Three-way merges of chats, characters and personas against the form both PCs last agreed on.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "services/sync/RecordMerge.h"
#include "services/sync/SyncBase.h"

namespace Lorvex::Testing {
namespace {

using Services::FieldMerge;
using Services::MergeChats;
using Services::MergeFields;
namespace SyncBase = Services::SyncBase;

std::shared_ptr<Message> Line(const std::wstring& id, const std::wstring& text, const std::wstring& stamp) {
    auto line = std::make_shared<Message>();
    line->line_id = id;
    line->role = L"user";
    line->content = text;
    line->timestamp = stamp;
    return line;
}

// A chat of lines written "id=text@stamp"; a copy of each line, so sides never share objects.
Chat ChatOf(const std::vector<std::shared_ptr<Message>>& lines) {
    Chat chat;
    chat.id = L"c";
    chat.timestamp = L"2025-03-01T10:00:00.0000000+01:00";
    for (const auto& line : lines) {
        chat.messages.push_back(std::make_shared<Message>(*line));
    }
    return chat;
}

SyncBase::RecordBase BaseOf(const Chat& chat) {
    return SyncBase::BaseOf(L"chat", Chat::ToJson(chat));
}

// "id:text" of each line, in order; versions after a "|".
std::vector<std::wstring> Shown(const Chat& chat) {
    std::vector<std::wstring> shown;
    for (const auto& line : chat.messages) {
        std::wstring text = line->line_id + L":" + line->content;
        for (const std::wstring& version : line->versions) {
            text += L"|" + version;
        }
        shown.push_back(text);
    }
    return shown;
}

const std::wstring t1 = L"2025-03-01T10:00:01.0000000+01:00";
const std::wstring t2 = L"2025-03-01T10:00:02.0000000+01:00";
const std::wstring t3 = L"2025-03-01T10:00:03.0000000+01:00";
const std::wstring t4 = L"2025-03-01T10:00:04.0000000+01:00";

// One line of the agreed chat "a:uno", "b:dos" changed on each side; both merge directions give
// the same lines (but for which text of a line both changed is shown).
TEST(RecordMerge, EachCaseOfALineChangedAddedOrDeletedOnEitherSide) {
    const auto a = Line(L"a", L"uno", t1);
    const auto b = Line(L"b", L"dos", t2);
    const Chat base = ChatOf({a, b});
    auto edited = [](const std::shared_ptr<Message>& line, const std::wstring& text) {
        auto copy = std::make_shared<Message>(*line);
        copy->content = text;
        return copy;
    };
    struct Case {
        const char* what;
        std::vector<std::shared_ptr<Message>> local;
        std::vector<std::shared_ptr<Message>> remote;
        std::vector<std::wstring> expected;
    };
    const std::vector<Case> cases = {
        {"nothing changed", {a, b}, {a, b}, {L"a:uno", L"b:dos"}},
        {"changed here", {edited(a, L"UNO"), b}, {a, b}, {L"a:UNO", L"b:dos"}},
        {"changed there", {a, b}, {edited(a, L"UNO"), b}, {L"a:UNO", L"b:dos"}},
        {"changed alike on both", {edited(a, L"UNO"), b}, {edited(a, L"UNO"), b}, {L"a:UNO", L"b:dos"}},
        {"changed apart on both: both texts kept", {edited(a, L"uno A"), b}, {edited(a, L"uno B"), b},
         {L"a:uno A|uno A|uno B", L"b:dos"}},
        {"deleted here, unchanged there", {b}, {a, b}, {L"b:dos"}},
        {"deleted there, unchanged here", {a, b}, {b}, {L"b:dos"}},
        {"deleted here, changed there: the change stays", {b}, {edited(a, L"UNO"), b}, {L"a:UNO", L"b:dos"}},
        {"deleted there, changed here: the change stays", {edited(a, L"UNO"), b}, {b}, {L"a:UNO", L"b:dos"}},
        {"deleted on both", {b}, {b}, {L"b:dos"}},
        {"added here", {a, b, Line(L"x", L"tres", t3)}, {a, b}, {L"a:uno", L"b:dos", L"x:tres"}},
        {"added there while a line was deleted here: it does not come back", {a}, {a, b, Line(L"y", L"tres", t3)},
         {L"a:uno", L"y:tres"}},
        {"added on both at one place: by stamp", {a, b, Line(L"x", L"A1", t3), Line(L"z", L"A2", t4)},
         {a, b, Line(L"y", L"B1", t3), Line(L"w", L"B2", t4)},
         {L"a:uno", L"b:dos", L"x:A1", L"y:B1", L"w:B2", L"z:A2"}},
        {"added after a line deleted there", {a, b, Line(L"x", L"tres", t3)}, {a}, {L"a:uno", L"x:tres"}},
        // The other PC's clock behind: its new line is stamped before the line it followed.
        {"changed here, deleted there with a line added after it: the change stays first",
         {a, edited(b, L"DOS")}, {a, Line(L"y", L"tres", t1)}, {L"a:uno", L"b:DOS", L"y:tres"}},
        {"changed on each side and deleted on the other: the base's order",
         {edited(a, L"UNO")}, {edited(b, L"DOS")}, {L"a:UNO", L"b:DOS"}},
    };
    const SyncBase::RecordBase agreed = BaseOf(base);
    for (const Case& c : cases) {
        const Chat local = ChatOf(c.local);
        const Chat remote = ChatOf(c.remote);
        EXPECT_EQ(Shown(*MergeChats(&agreed, local, remote)), c.expected) << c.what;
        // From the other PC's side the same lines stand in the same order.
        std::vector<std::wstring> mirrored = Shown(*MergeChats(&agreed, remote, local));
        std::vector<std::wstring> expected = c.expected;
        for (std::wstring* text : {&mirrored.front(), &expected.front()}) {
            *text = text->substr(0, text->find(L'|') == std::wstring::npos ? text->size() : 2);
        }
        EXPECT_EQ(mirrored, expected) << c.what << " (merged on the other PC)";
    }
}

// A regeneration keeps the line's id: the new reply stands where the old one stood, before the
// lines another PC added after it. A cutting edit (an earlier message edited, the lines after it
// gone, a new reply) travels as deletions: the cut lines do not come back from the other copy.
TEST(RecordMerge, ARegeneratedReplyStaysInPlaceAndCutLinesStayCut) {
    const auto u = Line(L"u", L"pregunta", t1);
    const auto r = Line(L"r", L"respuesta", t2);
    const Chat base = ChatOf({u, r});
    const SyncBase::RecordBase agreed = BaseOf(base);

    auto regenerated = std::make_shared<Message>(*r);
    regenerated->content = L"otra respuesta";
    regenerated->timestamp = t4;
    const Chat here = ChatOf({u, regenerated});
    const Chat there = ChatOf({u, r, Line(L"b", L"de B", t3)});
    EXPECT_EQ(Shown(*MergeChats(&agreed, here, there)),
              (std::vector<std::wstring>{L"u:pregunta", L"r:otra respuesta", L"b:de B"}));

    auto edit = std::make_shared<Message>(*u);
    edit->content = L"pregunta corregida";
    const Chat cut = ChatOf({edit, Line(L"n", L"nueva respuesta", t4)});
    EXPECT_EQ(Shown(*MergeChats(&agreed, cut, base)),
              (std::vector<std::wstring>{L"u:pregunta corregida", L"n:nueva respuesta"}));
}

// Without a base (a first sign-in) nothing counts as deleted: every line of both copies is kept
// once, and a line both hold apart keeps both texts.
TEST(RecordMerge, WithoutABaseBothCopiesAreKeptWhole) {
    const auto a = Line(L"a", L"uno", t1);
    auto aThere = std::make_shared<Message>(*a);
    aThere->content = L"uno, allí";
    const Chat here = ChatOf({a, Line(L"x", L"solo aquí", t3)});
    const Chat there = ChatOf({aThere, Line(L"y", L"solo allí", t2)});
    EXPECT_EQ(Shown(*MergeChats(nullptr, here, there)),
              (std::vector<std::wstring>{L"a:uno|uno|uno, allí", L"y:solo allí", L"x:solo aquí"}));
}

TEST(RecordMerge, FieldsChangedOnOneSideMergeAndFieldsChangedOnBothKeepThisPcsValue) {
    Character agreed;
    agreed.id = L"ana";
    agreed.name = L"Ana";
    agreed.background = L"Historia";
    agreed.personality = L"Tranquila";
    agreed.traits = L"Alta";
    const SyncBase::RecordBase base = SyncBase::BaseOf(L"character", Character::ToJson(agreed));
    Character here = agreed;
    here.background = L"Historia de A";
    here.traits = L"Alta, de A";
    Character there = agreed;
    there.personality = L"Personalidad de B";
    there.traits = L"Alta, de B";

    const FieldMerge merge = MergeFields(&base, Character::ToJson(here), Character::ToJson(there));
    const std::shared_ptr<Character> merged = Character::FromJson(merge.merged);
    EXPECT_EQ(merged->background, L"Historia de A");
    EXPECT_EQ(merged->personality, L"Personalidad de B");
    EXPECT_EQ(merged->traits, L"Alta, de A");
    EXPECT_EQ(merged->name, L"Ana");
    EXPECT_EQ(merge.conflicts, std::vector<std::string>{"traits"});
    // Merged without a base, every difference is one both sides made.
    EXPECT_EQ(MergeFields(nullptr, Character::ToJson(here), Character::ToJson(there)).conflicts,
              (std::vector<std::string>{"traits", "personality", "background"}));
}

}  // namespace
}  // namespace Lorvex::Testing
