#include "services/ai/ReplyCleaning.h"

#include <cwctype>
#include <utility>

#include "foundation/Text.h"
#include "services/ai/DeepSeekService.h"

namespace Lorvex::Services {

namespace {

const std::vector<std::wstring>& SelfPhrases() {
    static const std::vector<std::wstring> phrases = {L"soy una ia", L"como ia", L"inteligencia artificial"};
    return phrases;
}

const std::vector<std::wstring>& RoleplayPhrases() {
    static const std::vector<std::wstring> phrases = {L"en este roleplay", L"en este escenario"};
    return phrases;
}

bool IsDash(wchar_t c) {
    return c == L'\u2013' || c == L'\u2014' || c == L'\u2015';
}

bool IsClosing(wchar_t c) {
    return std::wstring_view(L".,;:!?\u2026)\u00BB\"'").find(c) != std::wstring_view::npos;
}

bool IsOpening(wchar_t c) {
    return std::wstring_view(L"(\u00AB\u00BF\u00A1\"'").find(c) != std::wstring_view::npos;
}

bool IsPause(wchar_t c) {
    return std::wstring_view(L".,;:!?\u2026*").find(c) != std::wstring_view::npos;
}

bool IsBlankOrTab(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool IsWordChar(wchar_t c) {
    return std::iswalnum(static_cast<wint_t>(c)) != 0 || c == L'_';
}

// Every run of white space (line breaks included) as one blank.
std::wstring FoldSpaces(std::wstring_view text) {
    std::wstring folded;
    folded.reserve(text.size());
    bool inRun = false;
    for (const wchar_t c : text) {
        if (std::iswspace(static_cast<wint_t>(c)) != 0) {
            if (!inRun) {
                folded.push_back(L' ');
            }
            inRun = true;
            continue;
        }
        inRun = false;
        folded.push_back(c);
    }
    return folded;
}

}  // namespace

std::wstring RemoveDashes(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (!IsDash(text[i])) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        while (!out.empty() && IsBlankOrTab(out.back())) {
            out.pop_back();
        }
        ++i;
        while (i < text.size() && (IsBlankOrTab(text[i]) || IsDash(text[i]))) {
            ++i;
        }
        // At a line's start or end the dash only opened or closed a line: nothing replaces it.
        if (out.empty() || out.back() == L'\n' || i == text.size() || text[i] == L'\n' || text[i] == L'\r') {
            continue;
        }
        if (IsClosing(text[i]) || IsOpening(out.back())) {
            continue;
        }
        if (IsPause(out.back())) {
            out.push_back(L' ');
        } else {
            out += L", ";
        }
    }
    return out;
}

std::wstring RemovePhrases(std::wstring_view text, const std::vector<std::wstring>& phrases) {
    const std::wstring lower = Text::ToLower(text);
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (i > 0 && IsWordChar(text[i - 1])) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        size_t matchedEnd = 0;
        for (const std::wstring& phrase : phrases) {
            if (phrase.empty() || lower.compare(i, phrase.size(), phrase) != 0) {
                continue;
            }
            const size_t end = i + phrase.size();
            if (end == text.size() || !IsWordChar(text[end])) {
                matchedEnd = end;
                break;
            }
        }
        if (matchedEnd != 0) {
            i = matchedEnd;
            continue;
        }
        out.push_back(text[i]);
        ++i;
    }
    return out;
}

std::optional<size_t> FindNamePrefix(std::wstring_view text) {
    const size_t colon = text.find(L':');
    if (colon == std::wstring_view::npos) {
        return std::nullopt;
    }
    // "Son las 10:30" and "https://..." are text, not a speaker.
    if (colon + 1 < text.size()) {
        const wchar_t next = text[colon + 1];
        if ((next >= L'0' && next <= L'9') || next == L'/') {
            return std::nullopt;
        }
    }
    int blanks = 0;
    for (size_t i = 0; i < colon; ++i) {
        const wchar_t c = text[i];
        if (c == L'\n' || c == L'*') {
            return std::nullopt;
        }
        if (c == L' ' && ++blanks >= 3) {
            return std::nullopt;
        }
    }
    return colon;
}

std::wstring PrefixSpeaker(std::wstring_view text) {
    const std::wstring trimmed = Text::Trim(text);
    const std::optional<size_t> colon = FindNamePrefix(trimmed);
    if (!colon) {
        return {};
    }
    return Text::Trim(std::wstring_view(trimmed).substr(0, *colon));
}

std::wstring RemoveEchoAsides(std::wstring_view text, wchar_t open, wchar_t close, std::wstring_view name,
                              std::wstring_view verb) {
    const std::wstring lower = Text::ToLower(text);
    const std::wstring lowerName = Text::ToLower(name);
    const std::wstring lowerVerb = Text::ToLower(verb);
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != open || i + 1 == text.size()) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        const size_t closing = text.find(close, i + 1);
        if (closing == std::wstring_view::npos) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        const std::wstring_view inner = std::wstring_view(lower).substr(i + 1, closing - i - 1);
        bool echo = false;
        const size_t nameAt = inner.size() >= lowerName.size() ? inner.find(lowerName) : std::wstring_view::npos;
        if (nameAt != std::wstring_view::npos) {
            const size_t verbAt = inner.find(lowerVerb, nameAt + lowerName.size());
            if (verbAt != std::wstring_view::npos) {
                const size_t afterVerb = verbAt + lowerVerb.size();
                echo = afterVerb < inner.size() && inner.find(L':', afterVerb) != std::wstring_view::npos;
            }
        }
        if (echo) {
            i = closing + 1;
            continue;
        }
        out.push_back(text[i]);
        ++i;
    }
    return out;
}

ProgressCallback CleanedProgress(ProgressCallback progress) {
    if (!progress) {
        return {};
    }
    return [progress = std::move(progress)](const std::wstring& text) { progress(DeepSeekService::CleanReply(text)); };
}

void FailWhenEmpty(AiReply& reply) {
    if (!reply.cancelled && reply.error.empty() && Text::Trim(reply.text).empty()) {
        reply.error = L"DeepSeek no devolvió ninguna respuesta.";
    }
}

std::wstring DeepSeekService::CleanReply(const std::wstring& text) {
    std::wstring cleaned = RemoveDashes(text);
    cleaned = RemovePhrases(cleaned, SelfPhrases());
    cleaned = RemovePhrases(cleaned, RoleplayPhrases());
    // The prefix is looked for where PrefixSpeaker looks, after leading white space, so a reply
    // never keeps the "Name:" under which it is attributed.
    cleaned = Text::Trim(cleaned);
    if (const std::optional<size_t> colon = FindNamePrefix(cleaned)) {
        size_t start = *colon + 1;
        while (start < cleaned.size() && Text::IsSpace(cleaned[start])) {
            ++start;
        }
        cleaned.erase(0, start);
    }
    return Text::Trim(cleaned);
}

std::wstring DeepSeekService::CleanDualReply(const std::optional<Character>& partner, const std::wstring& text) {
    if (!partner) {
        return CleanReply(text);
    }
    // Echoes go before the prefix step: a reply opening with "[Leo respondio: ...]" would
    // otherwise lose "[Leo respondio:" as a speaker prefix and keep the partner's line.
    std::wstring cleaned = RemoveEchoAsides(text, L'(', L')', partner->name, L"dijo");
    cleaned = RemoveEchoAsides(cleaned, L'[', L']', partner->name, L"respondio");
    return Text::Trim(FoldSpaces(CleanReply(cleaned)));
}

}  // namespace Lorvex::Services
