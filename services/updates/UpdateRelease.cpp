// Reading the release channel and turning its messages into ordered releases.

#include "services/updates/UpdateRelease.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "App/Config/Config.h"
#include "foundation/Text.h"
#include "foundation/net/Http.h"

namespace Lorvex::Services::Updates {
namespace {

// Milliseconds from the Unix epoch to the chat service's epoch (2015-01-01 00:00 UTC), the zero of
// the time stamp in the top 42 bits of every message id.
constexpr uint64_t kSnowflakeEpochMs = 1420070400000;

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && Text::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::wstring WithoutChar(std::wstring text, wchar_t c) {
    text.erase(std::remove(text.begin(), text.end(), c), text.end());
    return text;
}

// The hash of a line like "**SHA-256:** `ABC...`": nullopt when the line is no hash line, an empty
// text when it is one without a usable value.
std::optional<std::wstring> HashOfLine(const std::wstring& line) {
    const std::wstring test = WithoutChar(WithoutChar(Text::Trim(line), L'*'), L'`');
    if (!StartsWithNoCase(test, L"SHA-256:") && !StartsWithNoCase(test, L"SHA256:")) {
        return std::nullopt;
    }
    std::wstring value = Text::ToLower(Text::Trim(std::wstring_view(test).substr(test.find(L':') + 1)));
    return value.size() == 64 ? value : std::wstring();
}

void TrimBlankLines(std::vector<std::wstring>& lines) {
    const auto blank = [](const std::wstring& line) { return Text::Trim(line).empty(); };
    while (!lines.empty() && blank(lines.back())) {
        lines.pop_back();
    }
    const auto first = std::find_if_not(lines.begin(), lines.end(), blank);
    lines.erase(lines.begin(), first);
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text += L'\n';
        }
        text += lines[i];
    }
    return text;
}

int64_t DateOfId(const Json::Value& id) {
    const std::optional<uint64_t> snowflake = Text::TryParseUInt(id.AsWString());
    if (!snowflake) {
        return 0;
    }
    return static_cast<int64_t>(((*snowflake >> 22) + kSnowflakeEpochMs) / 1000);
}

bool EndsWithExe(const std::wstring& fileName) {
    return fileName.size() >= 4 && Text::EqualsNoCase(std::wstring_view(fileName).substr(fileName.size() - 4), L".exe");
}

std::vector<Part> PartsOf(const Json::Value& attachments) {
    if (attachments.kind != Json::Type::Array) {
        return {};
    }
    std::vector<std::pair<int32_t, Part>> numbered;
    std::vector<Part> whole;
    for (const Json::Value& attachment : attachments.Items()) {
        Part part{attachment.Find("filename").AsWString(), attachment.Find("url").AsWString(),
                  attachment.Find("size").AsInt64(0)};
        if (part.url.empty()) {
            continue;
        }
        const int32_t number = PartNumber(part.fileName);
        if (number >= 0) {
            numbered.emplace_back(number, std::move(part));
        } else if (EndsWithExe(part.fileName)) {
            whole.push_back(std::move(part));
        }
    }
    if (!numbered.empty()) {
        std::stable_sort(numbered.begin(), numbered.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        std::vector<Part> parts;
        for (auto& [number, part] : numbered) {
            parts.push_back(std::move(part));
        }
        return parts;
    }
    if (!whole.empty()) {
        return {std::move(whole.front())};
    }
    return {};
}

std::wstring StatusError(uint32_t status) {
    switch (status) {
    case 0:
        return L"Sin conexión con Discord";
    case 401:
        return L"El token del bot no es válido (App/Config)";
    case 403:
        return L"El bot no puede ver el canal de actualizaciones";
    case 404:
        return L"No existe el canal de actualizaciones (App/Config)";
    case 429:
        return L"Discord pide esperar un poco antes de volver a buscar";
    default:
        return L"Discord respondió con el error " + std::to_wstring(status);
    }
}

// Newest version first; of equal version numbers the newer message first. Equal numbers alone
// decide, not equal texts: "3.1" and "3.1.0" are one version, and a rule that compared texts
// could rank two messages of one of them apart from the other inconsistently.
bool NewerFirst(const Release& x, const Release& y) {
    if (VersionLess(y.version, x.version)) {
        return true;
    }
    if (VersionLess(x.version, y.version)) {
        return false;
    }
    return x.date > y.date;
}

// Keeps the newest message of each version text. Same texts may be parted by another text with
// the same numbers ("3.1", "3.1.0", "3.1"), so a version is matched against every kept release of
// its numbers, not only the one before.
void KeepNewestOfEachText(std::vector<Release>& releases) {
    std::vector<Release> kept;
    for (Release& release : releases) {
        const auto same =
            std::find_if(kept.begin(), kept.end(), [&](const Release& k) { return k.version == release.version; });
        if (same == kept.end()) {
            kept.push_back(std::move(release));
        }
    }
    releases = std::move(kept);
}

}  // namespace

std::vector<int32_t> ParseVersion(const std::wstring& text) {
    std::vector<int32_t> numbers;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find(L'.', start);
        const std::wstring_view segment =
            std::wstring_view(text).substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
        const std::optional<int64_t> value = Text::TryParseInt(segment);
        // A number beyond 32 bits is no version number a release carries; it reads as 0 like
        // any other segment that is no number.
        const bool fits =
            value && *value >= std::numeric_limits<int32_t>::min() && *value <= std::numeric_limits<int32_t>::max();
        numbers.push_back(fits ? static_cast<int32_t>(*value) : 0);
        if (dot == std::wstring::npos) {
            break;
        }
        start = dot + 1;
    }
    while (numbers.size() < 3) {
        numbers.push_back(0);
    }
    return numbers;
}

bool VersionLess(const std::wstring& a, const std::wstring& b) {
    const std::vector<int32_t> left = ParseVersion(a);
    const std::vector<int32_t> right = ParseVersion(b);
    const size_t count = std::max(left.size(), right.size());
    for (size_t i = 0; i < count; ++i) {
        const int32_t x = i < left.size() ? left[i] : 0;
        const int32_t y = i < right.size() ? right[i] : 0;
        if (x != y) {
            return x < y;
        }
    }
    return false;
}

std::wstring StripMarks(std::wstring line) {
    const size_t first = line.find_first_not_of(L"#*_`> \t");
    line.erase(0, first == std::wstring::npos ? line.size() : first);
    return line;
}

std::wstring CleanVersion(std::wstring line) {
    line = StripMarks(std::move(line));
    if (StartsWithNoCase(line, L"Lorvex")) {
        line = StripMarks(line.substr(6));
    } else if (StartsWithNoCase(line, L"Velmorin")) {
        line = StripMarks(line.substr(8));
    }
    if (!line.empty() && (line.front() == L'v' || line.front() == L'V')) {
        line.erase(0, 1);
    }
    const size_t end = line.find_first_not_of(L"0123456789.");
    line.erase(end == std::wstring::npos ? line.size() : end);
    while (!line.empty() && line.back() == L'.') {
        line.pop_back();
    }
    if (line.empty() || line.front() == L'.' || line.find(L'.') == std::wstring::npos) {
        return {};
    }
    return line;
}

int32_t PartNumber(const std::wstring& fileName) {
    const size_t dot = fileName.find(L'.');
    if (dot == std::wstring::npos || dot + 1 == fileName.size()) {
        return -1;
    }
    int64_t number = 0;
    for (size_t i = dot + 1; i < fileName.size(); ++i) {
        const wchar_t c = fileName[i];
        if (c < L'0' || c > L'9') {
            return -1;
        }
        // More digits than a part number ever has: no part rather than a wrapped number.
        number = number * 10 + (c - L'0');
        if (number > std::numeric_limits<int32_t>::max()) {
            return -1;
        }
    }
    return static_cast<int32_t>(number);
}

std::vector<std::pair<std::wstring, std::wstring>> BotHeaders() {
    return {{L"Authorization", L"Bot " + Config::DiscordBotToken()},
            {L"User-Agent", L"DiscordBot (Lorvex, " + std::wstring(Config::kVersion) + L")"}};
}

std::optional<Release> ParseRelease(const Json::Value& message) {
    const std::vector<std::wstring> lines = Text::SplitLines(message.Find("content").AsWString());
    const auto versionLine =
        std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) { return !Text::Trim(line).empty(); });
    if (versionLine == lines.end()) {
        return std::nullopt;
    }
    Release release;
    release.version = CleanVersion(Text::Trim(*versionLine));
    if (release.version.empty()) {
        return std::nullopt;
    }
    std::vector<std::wstring> notes;
    for (auto line = versionLine + 1; line != lines.end(); ++line) {
        if (std::optional<std::wstring> hash = HashOfLine(*line)) {
            if (!hash->empty()) {
                release.sha256 = std::move(*hash);
            }
        } else {
            notes.push_back(*line);
        }
    }
    TrimBlankLines(notes);
    release.notes = JoinLines(notes);
    release.date = DateOfId(message.Find("id"));
    release.parts = PartsOf(message.Find("attachments"));
    return release;
}

Fetched FetchReleases() {
    const std::wstring url =
        Config::DiscordApiUrl() + L"/api/v10/channels/" + Config::DiscordChannelId() + L"/messages?limit=100";
    const Http::Response response = Http::Get(url, BotHeaders());
    Fetched fetched;
    if (!Http::IsSuccess(response.status)) {
        fetched.error = StatusError(response.status);
        return fetched;
    }
    const Json::Value messages = Json::Value::Parse(response.body);
    if (messages.kind != Json::Type::Array) {
        return fetched;
    }
    bool anyContent = false;
    for (const Json::Value& message : messages.Items()) {
        const Json::Value& content = message.Find("content");
        anyContent = anyContent || (content.kind == Json::Type::String && !content.text.empty());
        if (std::optional<Release> release = ParseRelease(message)) {
            fetched.releases.push_back(std::move(*release));
        }
    }
    // Without the message-content permission the service blanks the text of every message, and
    // with it the attachments: a channel that has messages but no text anywhere is read blind.
    if (fetched.releases.empty() && messages.Size() > 0 && !anyContent) {
        fetched.error =
            L"El bot no puede leer el texto de los mensajes: activa \"Message Content Intent\" en el "
            L"portal de Discord";
        return fetched;
    }
    std::stable_sort(fetched.releases.begin(), fetched.releases.end(), NewerFirst);
    KeepNewestOfEachText(fetched.releases);
    return fetched;
}

}  // namespace Lorvex::Services::Updates
