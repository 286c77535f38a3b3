// What a failed backend answer means: the user's sentence for it, and whether a renewal failed
// because the session itself is over.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Text.h"
#include "services/sync/Supabase.h"

namespace Lorvex::Services::Supabase {

namespace {

// The machine-readable code and the human message of an error body. The authentication API puts
// them in "error_code" and "msg" (older versions: "error" and "error_description"), the table API
// in "code" and "message"; the authentication API's own "code" is the HTTP status as a number,
// which is why only a string counts. Storage answers {"statusCode", "error", "message"}, its code
// in "error" ("InvalidKey"), and newer versions add "code" too.
struct ErrorFields {
    std::string code;
    std::wstring message;
    std::string storageStatus;  // storage's real status, as text; empty for the other services
};

ErrorFields ReadErrorFields(const Json::Value& reply) {
    ErrorFields fields;
    fields.code = reply.Find("error_code").AsString();
    if (fields.code.empty()) {
        fields.code = reply.Find("code").AsString();
    }
    fields.storageStatus = reply.Find("statusCode").AsString();
    if (fields.code.empty() && !fields.storageStatus.empty()) {
        fields.code = reply.Find("error").AsString();
    }
    for (const char* key : {"msg", "error_description", "message", "error"}) {
        const std::string& text = reply.Find(key).AsString();
        if (!text.empty()) {
            fields.message = Text::ToWide(text);
            break;
        }
    }
    return fields;
}

bool Contains(const std::wstring& text, std::wstring_view part) {
    return text.find(part) != std::wstring::npos;
}

const wchar_t* const kTooLarge = L"La imagen es demasiado grande para la nube";
const wchar_t* const kUnsupportedType = L"La nube no admite ese tipo de archivo";

}  // namespace

std::wstring ErrorText(const Http::Response& response) {
    if (response.status == 0) {
        return Http::ErrorSentence(response);
    }
    const ErrorFields fields = ReadErrorFields(Json::Value::Parse(response.body));
    const std::string& code = fields.code;
    const std::wstring lower = Text::ToLower(fields.message);

    if (code == "invalid_credentials" || Contains(lower, L"invalid login credentials")) {
        return L"Email o contraseña incorrectos";
    }
    if (code == "email_not_confirmed" || Contains(lower, L"email not confirmed")) {
        return L"Confirma tu email antes de entrar (revisa tu correo, también el spam)";
    }
    if (code == "user_already_exists" || code == "email_exists" || Contains(lower, L"already registered")) {
        return L"Ya existe una cuenta con ese email";
    }
    // Ahead of the weak-password wording: the backend says "New password should be different from
    // the old password", which that wording would otherwise claim.
    if (code == "same_password") {
        return L"La nueva contraseña es igual a la actual";
    }
    if (code == "weak_password" || Contains(lower, L"password should be")) {
        return L"La contraseña es demasiado débil (mínimo 6 caracteres)";
    }
    // The authentication API also refuses a password longer than 72 bytes, or an empty one, as
    // "validation_failed": telling that user the e-mail is wrong would send them looking in the
    // wrong field, so those keep the server's own words.
    const bool aboutPassword = code == "validation_failed" && Contains(lower, L"password");
    if (code == "email_address_invalid" || (code == "validation_failed" && !aboutPassword) ||
        Contains(lower, L"invalid format")) {
        return L"El email no es válido";
    }
    if (code == "reauthentication_needed") {
        return L"Por seguridad, cierra sesión y vuelve a entrar antes de cambiar la contraseña";
    }
    if (code.find("rate_limit") != std::string::npos || response.status == 429) {
        return L"Demasiados intentos; espera un momento";
    }
    if (code == "signup_disabled") {
        return L"El registro de cuentas está desactivado";
    }
    // Storage says a missing bucket with HTTP 400, the status only in the body.
    if (response.status == 404 || code == "PGRST205" || code == "42P01" || code == "NoSuchBucket" ||
        Contains(lower, L"bucket not found")) {
        return L"La base de datos aún no está preparada (ejecuta Tools\\SupabaseSetup)";
    }
    if (code == "InvalidKey") {
        return L"La nube no admite ese nombre de archivo (solo letras sin tilde, números y signos sencillos)";
    }
    if (code == "22P05") {
        return L"El texto contiene un carácter nulo, que la nube no admite";
    }
    if (fields.storageStatus == "413" || code == "EntityTooLarge") {
        return kTooLarge;
    }
    if (fields.storageStatus == "415" || code == "InvalidMimeType") {
        return kUnsupportedType;
    }
    // Storage says its real status inside an HTTP 400.
    uint32_t status = response.status;
    if (const std::optional<uint64_t> inner = Text::TryParseUInt(Text::ToWide(fields.storageStatus));
        inner && *inner >= 400 && *inner <= 599) {
        status = static_cast<uint32_t>(*inner);
    }
    // The server's own words, in English, only as the detail of a sentence the user can read.
    const std::wstring sentence = Http::StatusSentence(status);
    return fields.message.empty() ? sentence : sentence + L": " + fields.message;
}

std::wstring StorageErrorText(const Http::Response& response) {
    // Said by a gateway in front of storage, whose own page tells nothing more.
    if (response.status == 413) {
        return kTooLarge;
    }
    if (response.status == 415) {
        return kUnsupportedType;
    }
    return ErrorText(response);
}

bool TokenRefused(const Http::Response& response) {
    if (response.status == 401) {
        return true;
    }
    if (response.status != 400 && response.status != 403) {
        return false;
    }
    const Json::Value reply = Json::Value::Parse(response.body);
    const ErrorFields fields = ReadErrorFields(reply);
    if (response.status == 403 && (fields.code == "bad_jwt" || fields.code == "session_not_found")) {
        return true;
    }
    // Storage answers with HTTP 400 and the real status in the body ("403" now, "400" in older
    // versions); a refusal there is about the token only in the JWT check's words, not in those of
    // a storage policy.
    const std::string statusCode = reply.Find("statusCode").AsString();
    if (statusCode != "400" && statusCode != "401" && statusCode != "403") {
        return false;
    }
    const std::wstring message = Text::ToLower(fields.message);
    return Contains(message, L"jwt") || Contains(message, L"\"exp\" claim") || Contains(message, L"signature");
}

bool RefreshRefused(uint32_t status, const std::string& body) {
    // A rate limit or a server fault says nothing about the token; the token endpoint refuses a
    // token with a 400.
    if (status < 400 || status > 499 || status == 429) {
        return false;
    }
    const Json::Value reply = Json::Value::Parse(body);
    const ErrorFields fields = ReadErrorFields(reply);
    for (const char* refusal : {"refresh_token_not_found", "refresh_token_already_used", "session_not_found",
                                "session_expired", "user_banned"}) {
        if (fields.code == refusal) {
            return true;
        }
    }
    // Older versions answer in the OAuth form, and every refusal's message starts the same way. A
    // gateway that rejects the project key ("Invalid API key", 401) matches neither.
    return reply.Find("error").AsString() == "invalid_grant" ||
           Contains(Text::ToLower(fields.message), L"invalid refresh token");
}

}  // namespace Lorvex::Services::Supabase
