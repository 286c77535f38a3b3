#include "App/Config/Config.h"

#include <utility>

// The build passes each setting as a narrow string literal; a build without them gets these.
#ifndef LORVEX_DEEPSEEK_URL
#define LORVEX_DEEPSEEK_URL "https://api.deepseek.com"
#endif
#ifndef LORVEX_DEEPSEEK_KEY
#define LORVEX_DEEPSEEK_KEY ""
#endif
#ifndef LORVEX_SUPABASE_URL
#define LORVEX_SUPABASE_URL ""
#endif
#ifndef LORVEX_SUPABASE_KEY
#define LORVEX_SUPABASE_KEY ""
#endif
#ifndef LORVEX_DISCORD_API_URL
#define LORVEX_DISCORD_API_URL "https://discord.com"
#endif
#ifndef LORVEX_DISCORD_BOT_TOKEN
#define LORVEX_DISCORD_BOT_TOKEN ""
#endif
#ifndef LORVEX_DISCORD_CHANNEL_ID
#define LORVEX_DISCORD_CHANNEL_ID ""
#endif
#ifndef LORVEX_WEB_SITE
#define LORVEX_WEB_SITE "lorvex.app"
#endif

// Concatenating with an empty wide literal makes the whole literal wide; the values are ASCII.
#define LORVEX_WIDE(text) L"" text

namespace Lorvex::Config {

namespace {

// The numbered part of the version text at index (0 major, 1 minor, 2 patch); -1 when the text
// has no such part or a part holds anything but digits.
constexpr int VersionPart(std::wstring_view text, int index) {
    int part = 0;
    int value = 0;
    bool digits = false;
    for (const wchar_t c : text) {
        if (c == L'.') {
            if (part == index) {
                return digits ? value : -1;
            }
            ++part;
            value = 0;
            digits = false;
        } else if (c >= L'0' && c <= L'9') {
            value = value * 10 + (c - L'0');
            digits = true;
        } else {
            return -1;
        }
    }
    return part == index && digits ? value : -1;
}

// The version information's numbers and the text the program names itself by are written apart
// (the resource compiler cannot build one from the other): they must not drift.
static_assert(VersionPart(kVersion, 0) == LORVEX_VERSION_MAJOR && VersionPart(kVersion, 1) == LORVEX_VERSION_MINOR &&
                  VersionPart(kVersion, 2) == LORVEX_VERSION_PATCH && VersionPart(kVersion, 3) == -1,
              "LORVEX_VERSION_TEXT must spell LORVEX_VERSION_MAJOR.MINOR.PATCH");

std::wstring& DeepSeekBaseUrlValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_DEEPSEEK_URL);
    return value;
}

std::wstring& DeepSeekApiKeyValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_DEEPSEEK_KEY);
    return value;
}

std::wstring& SupabaseUrlValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_SUPABASE_URL);
    return value;
}

std::wstring& SupabaseKeyValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_SUPABASE_KEY);
    return value;
}

std::wstring& DiscordApiUrlValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_DISCORD_API_URL);
    return value;
}

std::wstring& DiscordBotTokenValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_DISCORD_BOT_TOKEN);
    return value;
}

std::wstring& DiscordChannelIdValue() {
    static std::wstring value = LORVEX_WIDE(LORVEX_DISCORD_CHANNEL_ID);
    return value;
}

}  // namespace

const std::wstring& DeepSeekBaseUrl() {
    return DeepSeekBaseUrlValue();
}

const std::wstring& DeepSeekApiKey() {
    return DeepSeekApiKeyValue();
}

const std::wstring& SupabaseUrl() {
    return SupabaseUrlValue();
}

const std::wstring& SupabaseKey() {
    return SupabaseKeyValue();
}

const std::wstring& DiscordApiUrl() {
    return DiscordApiUrlValue();
}

const std::wstring& DiscordBotToken() {
    return DiscordBotTokenValue();
}

const std::wstring& DiscordChannelId() {
    return DiscordChannelIdValue();
}

const std::wstring& WebSite() {
    static const std::wstring value = LORVEX_WIDE(LORVEX_WEB_SITE);
    return value;
}

void SetDeepSeekForTesting(std::wstring baseUrl, std::wstring apiKey) {
    DeepSeekBaseUrlValue() = std::move(baseUrl);
    DeepSeekApiKeyValue() = std::move(apiKey);
}

void SetSupabaseForTesting(std::wstring baseUrl, std::wstring publishableKey) {
    SupabaseUrlValue() = std::move(baseUrl);
    SupabaseKeyValue() = std::move(publishableKey);
}

void SetDiscordForTesting(std::wstring apiUrl, std::wstring botToken, std::wstring channelId) {
    DiscordApiUrlValue() = std::move(apiUrl);
    DiscordBotTokenValue() = std::move(botToken);
    DiscordChannelIdValue() = std::move(channelId);
}

}  // namespace Lorvex::Config
