#pragma once
// Build-time settings: the running version and where the outside services are and how to sign in
// to them. Addresses and keys come from CMake cache variables (LORVEX_DEEPSEEK_URL,
// LORVEX_DEEPSEEK_KEY, LORVEX_SUPABASE_URL, LORVEX_SUPABASE_KEY, LORVEX_DISCORD_API_URL,
// LORVEX_DISCORD_BOT_TOKEN, LORVEX_DISCORD_CHANNEL_ID, LORVEX_WEB_SITE) so that no secret lives in the sources;
// a build without them has empty keys.

#include <string>
#include <string_view>

#include "App/Config/Resources.h"

namespace Lorvex::Config {

// The running version (App/Config/Resources.h); every HTTPS request names it in its user agent.
inline constexpr std::wstring_view kVersion = L"" LORVEX_VERSION_TEXT;

// Language-model provider: base URL without a trailing slash, and the API key.
const std::wstring& DeepSeekBaseUrl();
const std::wstring& DeepSeekApiKey();

// Cloud backend: base URL without a trailing slash, and the project's publishable key.
const std::wstring& SupabaseUrl();
const std::wstring& SupabaseKey();

// Release channel: the chat service's API address, the bot token and the channel id. Updates are
// off when the token or the channel id is empty.
const std::wstring& DiscordApiUrl();
const std::wstring& DiscordBotToken();
const std::wstring& DiscordChannelId();

// The product's web site (a domain such as "example.org"), as the change log names it.
const std::wstring& WebSite();

// Test seam: points the language-model client at another server (e.g. "http://127.0.0.1:PORT")
// with another key. Not for the program itself, and not while another thread reads them.
void SetDeepSeekForTesting(std::wstring baseUrl, std::wstring apiKey);

// Test seam: points the cloud backend's clients at another server with another publishable key,
// under the same conditions.
void SetSupabaseForTesting(std::wstring baseUrl, std::wstring publishableKey);

// Test seam: points the release channel at another server, with another bot token and channel id
// (empty ones turn updates off), under the same conditions.
void SetDiscordForTesting(std::wstring apiUrl, std::wstring botToken, std::wstring channelId);

}  // namespace Lorvex::Config
