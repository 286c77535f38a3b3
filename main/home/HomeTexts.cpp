#include "main/home/HomeTexts.h"

#include <algorithm>
#include <cmath>

#include "foundation/Time.h"

namespace Lorvex::Main::Home {

std::wstring Greeting(int hour) {
    if (hour < 6) {
        return L"Buenas noches";
    }
    if (hour < 13) {
        return L"Buenos días";
    }
    if (hour < 20) {
        return L"Buenas tardes";
    }
    return L"Buenas noches";
}

std::wstring HeroTitle(int hour, const Persona* persona) {
    std::wstring title = Greeting(hour);
    if (persona) {
        title += L", " + persona->name;
    }
    return title;
}

std::wstring CardSubtitle(const Character& character) {
    std::wstring subtitle;
    const auto add = [&subtitle](const std::wstring& part) {
        if (part.empty()) {
            return;
        }
        if (!subtitle.empty()) {
            subtitle += L" · ";
        }
        subtitle += part;
    };
    add(character.age.empty() ? std::wstring() : character.age + L" años");
    add(character.gender);
    add(character.orientation);
    return subtitle;
}

std::vector<CardTag> CardTags(const Character& character, const std::vector<std::shared_ptr<Character>>& characters) {
    using UI::Material::Icon;
    std::vector<CardTag> tags;
    if (character.is_dual_mode) {
        std::wstring label = L"Dúo";
        if (character.dual_partner_id) {
            const auto partner = std::find_if(
                characters.begin(), characters.end(),
                [&character](const std::shared_ptr<Character>& c) { return c->id == *character.dual_partner_id; });
            if (partner != characters.end()) {
                label = L"Dúo con " + (*partner)->name;
            }
        }
        tags.push_back({label, TagTone::Accent, Icon::People});
    }
    tags.push_back(
        {character.speech_style.empty() ? L"Normal" : character.speech_style, TagTone::Secondary, Icon::MessageText});
    if (character.nsfw_allowed) {
        tags.push_back({L"+18", TagTone::Danger, Icon::Fire});
    }
    if (!character.known_characters.empty()) {
        tags.push_back(
            {std::to_wstring(character.known_characters.size()) + L" conocidos", TagTone::Tertiary, Icon::PersonGroup});
    }
    return tags;
}

CardPreview PreviewOf(const Character& character) {
    if (character.chats && !character.chats->empty() && character.chats->front()) {
        std::wstring line = Chat::LastMessagePreview(*character.chats->front());
        if (!line.empty()) {
            return {line, false};
        }
    }
    if (!character.scenario.empty()) {
        return {character.scenario, true};
    }
    return {L"Aún no habéis hablado. ¡Saluda!", true};
}

std::wstring CardFooter(size_t chatCount, const std::wstring& latestActivity) {
    std::wstring text = std::to_wstring(chatCount) + (chatCount == 1 ? L" chat" : L" chats");
    if (!latestActivity.empty()) {
        text += L" · " + Time::RelativeTime(latestActivity);
    }
    return text;
}

int64_t CountUp(size_t value, double seconds) {
    const double k = std::clamp(seconds / 0.9, 0.0, 1.0);
    return std::llround(static_cast<double>(value) * (1 - std::pow(1 - k, 3)));
}

}  // namespace Lorvex::Main::Home
