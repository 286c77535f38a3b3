// The text forms FakeSupabase's services share: answers and error bodies, URL decoding, the three
// services' time formats and jsonb's normalised JSON.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cctype>
#include <cstdio>

#include "tests/support/FakeSupabaseState.h"

namespace Lorvex::Testing {

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Civil {
    int64_t year;
    int month, day, hour, minute, second;
    int64_t micros;
};

Civil CivilFromMicros(int64_t micros) {
    int64_t seconds = micros / kMicrosPerSecond;
    int64_t fraction = micros % kMicrosPerSecond;
    if (fraction < 0) {
        fraction += kMicrosPerSecond;
        --seconds;
    }
    int64_t days = seconds / kSecondsPerDay;
    int64_t ofDay = seconds % kSecondsPerDay;
    if (ofDay < 0) {
        ofDay += kSecondsPerDay;
        --days;
    }
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    Civil civil{};
    civil.day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    civil.month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    civil.year = yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0);
    civil.hour = static_cast<int>(ofDay / 3600);
    civil.minute = static_cast<int>(ofDay / 60 % 60);
    civil.second = static_cast<int>(ofDay % 60);
    civil.micros = fraction;
    return civil;
}

std::string DateAndTime(const Civil& civil) {
    char text[40];
    std::snprintf(text, sizeof(text), "%04lld-%02d-%02dT%02d:%02d:%02d", static_cast<long long>(civil.year),
                  civil.month, civil.day, civil.hour, civil.minute, civil.second);
    return text;
}

// ".512345" with its trailing zeros dropped; empty for a whole second.
std::string TrimmedFraction(int64_t micros) {
    if (micros == 0) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof(text), ".%06lld", static_cast<long long>(micros));
    std::string fraction = text;
    while (fraction.back() == '0') {
        fraction.pop_back();
    }
    return fraction;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly count digits at pos.
std::optional<int> Digits(std::string_view text, size_t& pos, size_t count) {
    if (pos + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    pos += count;
    return value;
}

bool Expect(std::string_view text, size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

int DaysInMonth(int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The byte of two hexadecimal digits; none when they are not.
std::optional<char> HexByte(std::string_view digits) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.size() != 2 || error != std::errc() || end != digits.data() + 2) {
        return std::nullopt;
    }
    return static_cast<char>(value);
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 413:
        return "Request Entity Too Large";
    case 415:
        return "Unsupported Media Type";
    case 422:
        return "Unprocessable Entity";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

}  // namespace

std::string GatewayPage(int status) {
    const std::string line = std::to_string(status) + " " + Reason(status);
    return "<html>\r\n<head><title>" + line + "</title></head>\r\n<body>\r\n<center><h1>" + line +
           "</h1></center>\r\n<hr><center>cloudflare</center>\r\n</body>\r\n</html>\r\n";
}

FakeAnswer& FakeAnswer::Header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
}

FakeReply ToReply(const FakeAnswer& answer) {
    FakeReply reply(answer.status, Reason(answer.status));
    for (const auto& [name, value] : answer.headers) {
        reply.Header(name, value);
    }
    if (!answer.body.empty()) {
        reply.Body(answer.body);
    }
    return reply;
}

FakeAnswer JsonAnswer(int status, const Json::Value& body) {
    FakeAnswer answer;
    answer.status = status;
    answer.Header("Content-Type", "application/json");
    answer.body = body.Dump(false);
    return answer;
}

FakeAnswer TextAnswer(int status, std::string contentType, std::string body) {
    FakeAnswer answer;
    answer.status = status;
    answer.Header("Content-Type", std::move(contentType));
    answer.body = std::move(body);
    return answer;
}

FakeAnswer AuthError(int status, const std::string& code, const std::string& message) {
    Json::Value body;
    body["code"] = Json::Value(status);
    body["error_code"] = Json::Value(code);
    body["msg"] = Json::Value(message);
    return JsonAnswer(status, body);
}

FakeAnswer RestError(int status, const std::string& code, const std::string& message, const std::string& details,
                     const std::string& hint) {
    Json::Value body;
    body["code"] = Json::Value(code);
    body["details"] = details.empty() ? Json::Value() : Json::Value(details);
    body["hint"] = hint.empty() ? Json::Value() : Json::Value(hint);
    body["message"] = Json::Value(message);
    FakeAnswer answer = JsonAnswer(status, body);
    answer.headers.front().second = "application/json; charset=utf-8";
    return answer;
}

FakeAnswer StorageError(const std::string& statusCode, const std::string& error, const std::string& message) {
    Json::Value body;
    body["statusCode"] = Json::Value(statusCode);
    body["error"] = Json::Value(error);
    body["message"] = Json::Value(message);
    return JsonAnswer(400, body);
}

std::optional<std::string> Incoming::Query(std::string_view name) const {
    for (const auto& [key, value] : query) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::string UrlDecode(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const std::optional<char> escaped = c == '%' ? HexByte(text.substr(i + 1, 2)) : std::nullopt;
        if (escaped) {
            decoded.push_back(*escaped);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            decoded.push_back(' ');
        } else {
            decoded.push_back(c);
        }
    }
    return decoded;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsUuid(std::string_view text) {
    if (text.size() != 36) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string PgTime(int64_t micros) {
    const Civil civil = CivilFromMicros(micros);
    return DateAndTime(civil) + TrimmedFraction(civil.micros) + "+00:00";
}

std::string GoTime(int64_t micros) {
    const Civil civil = CivilFromMicros(micros);
    return DateAndTime(civil) + TrimmedFraction(civil.micros) + "Z";
}

std::string IsoMillis(int64_t micros) {
    const Civil civil = CivilFromMicros(micros);
    char fraction[8];
    std::snprintf(fraction, sizeof(fraction), ".%03d", static_cast<int>(civil.micros / 1000));
    return DateAndTime(civil) + fraction + "Z";
}

std::optional<int64_t> ParsePgTime(std::string_view text) {
    size_t pos = 0;
    const auto year = Digits(text, pos, 4);
    if (!year || !Expect(text, pos, '-')) {
        return std::nullopt;
    }
    const auto month = Digits(text, pos, 2);
    if (!month || *month < 1 || *month > 12 || !Expect(text, pos, '-')) {
        return std::nullopt;
    }
    const auto day = Digits(text, pos, 2);
    if (!day || *day < 1 || *day > DaysInMonth(*year, *month)) {
        return std::nullopt;
    }
    int64_t seconds = DaysFromCivil(*year, *month, *day) * kSecondsPerDay;
    int64_t micros = 0;
    if (pos < text.size()) {
        if (!Expect(text, pos, 'T') && !Expect(text, pos, ' ')) {
            return std::nullopt;
        }
        const auto hour = Digits(text, pos, 2);
        if (!hour || *hour > 23 || !Expect(text, pos, ':')) {
            return std::nullopt;
        }
        const auto minute = Digits(text, pos, 2);
        if (!minute || *minute > 59 || !Expect(text, pos, ':')) {
            return std::nullopt;
        }
        const auto second = Digits(text, pos, 2);
        if (!second || *second > 59) {
            return std::nullopt;
        }
        seconds += *hour * 3600 + *minute * 60 + *second;
        if (Expect(text, pos, '.')) {
            int64_t scale = 100000;
            const size_t first = pos;
            while (pos < text.size() && IsDigit(text[pos])) {
                micros += (text[pos] - '0') * scale;
                scale /= 10;
                ++pos;
            }
            if (pos == first) {
                return std::nullopt;
            }
        }
        if (Expect(text, pos, 'Z')) {
            // UTC
        } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            const int sign = text[pos] == '+' ? 1 : -1;
            ++pos;
            const auto offsetHours = Digits(text, pos, 2);
            if (!offsetHours || *offsetHours > 15) {
                return std::nullopt;
            }
            int offsetMinutes = 0;
            if (pos < text.size()) {
                Expect(text, pos, ':');
                const auto minutes = Digits(text, pos, 2);
                if (!minutes || *minutes > 59) {
                    return std::nullopt;
                }
                offsetMinutes = *minutes;
            }
            seconds -= sign * (*offsetHours * 3600 + offsetMinutes * 60);
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return seconds * kMicrosPerSecond + micros;
}

Json::Value Jsonb(const Json::Value& value) {
    if (value.kind == Json::Type::Array) {
        Json::Array items;
        for (const Json::Value& item : value.Items()) {
            items.push_back(Jsonb(item));
        }
        return Json::Value(std::move(items));
    }
    if (value.kind == Json::Type::Object) {
        Json::Object members;
        for (const auto& [key, member] : value.Members()) {
            auto same = std::find_if(members.begin(), members.end(), [&](const auto& m) { return m.first == key; });
            if (same != members.end()) {
                same->second = Jsonb(member);
            } else {
                members.emplace_back(key, Jsonb(member));
            }
        }
        std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
            return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
        });
        return Json::Value(std::move(members));
    }
    Json::Value scalar;
    scalar.kind = value.kind;
    scalar.boolean = value.boolean;
    scalar.number = value.number;
    scalar.text = value.text;
    return scalar;
}

std::string JsonbText(const Json::Value& value) {
    std::string text;
    if (value.kind == Json::Type::Array) {
        text = "[";
        for (size_t i = 0; i < value.Items().size(); ++i) {
            text += (i ? ", " : "") + JsonbText(value.Items()[i]);
        }
        return text + "]";
    }
    if (value.kind == Json::Type::Object) {
        text = "{";
        bool first = true;
        for (const auto& [key, member] : value.Members()) {
            text += (first ? "" : ", ") + Json::Value(key).Dump(false) + ": " + JsonbText(member);
            first = false;
        }
        return text + "}";
    }
    return value.Dump(false);
}

}  // namespace Lorvex::Testing
