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
