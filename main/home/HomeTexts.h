#pragma once
// The words of the home screen and its cards: the greeting by the hour, a card's subtitle, its
// tags, the preview of its latest chat and its footer line, and the counters' count-up. Pure
// functions of the records and the times given (the footer reads the local clock through
// Time::RelativeTime, which tests replace). Any thread for records no other thread changes;
// nothing fails.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "ui/Icons.h"

namespace Lorvex::Main::Home {

// "Buenas noches" before 6, "Buenos días" before 13, "Buenas tardes" before 20, then "Buenas
// noches" again.
std::wstring Greeting(int hour);
// The greeting, followed by ", " and the persona's name when there is a persona.
std::wstring HeroTitle(int hour, const Persona* persona);

// The non-empty parts among age + " años", gender and orientation, joined by " · ".
std::wstring CardSubtitle(const Character& character);

// Which palette colour a tag is drawn in.
enum class TagTone : int32_t { Accent, Secondary, Danger, Tertiary };
struct CardTag {
    std::wstring label;
    TagTone tone = TagTone::Accent;
    UI::Material::Icon icon = UI::Material::Icon::Person;
};
// The card's tags in their order: the duo (with the partner's name when it is among characters),
// the speech style, adult content, the people it knows.
std::vector<CardTag> CardTags(const Character& character, const std::vector<std::shared_ptr<Character>>& characters);

// The latest chat's last line; else the scenario, else an invitation to greet, both italic.
struct CardPreview {
    std::wstring text;
    bool italic = false;
};
CardPreview PreviewOf(const Character& character);

// "1 chat", "0 chats", "3 chats", followed by " · " and how long ago latestActivity was, when
// there was any.
std::wstring CardFooter(size_t chatCount, const std::wstring& latestActivity);

// The counter's value shown seconds after it started counting up over 0.9 s (easing out), rounded
// to the nearest whole number.
int64_t CountUp(size_t value, double seconds);

}  // namespace Lorvex::Main::Home
