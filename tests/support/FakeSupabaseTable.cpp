// FakeSupabase's REST table, as PostgREST answers over the table of the set-up script: reads with
// select, order, limit, offset and column filters, inserts and upserts, all under the row-level
// security policies (a user sees and writes only rows whose user_id is their own; the anonymous
// role sees none and writes none).

#include <algorithm>

#include "tests/support/FakeSupabaseState.h"

namespace Lorvex::Testing {

namespace {

const std::vector<std::string> kColumns = {"user_id", "kind", "id", "parent_id", "data", "deleted", "updated_at"};

bool IsColumn(const std::string& name) {
    return std::find(kColumns.begin(), kColumns.end(), name) != kColumns.end();
}

FakeAnswer NoColumn(const std::string& name) {
    return RestError(400, "42703", "column " + std::string(kFakeTable) + "." + name + " does not exist");
}

FakeAnswer RlsRefusal(int status) {
    return RestError(status, "42501",
                     "new row violates row-level security policy for table \"" + std::string(kFakeTable) + "\"");
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::optional<int64_t> Count(const std::string& text) {
    if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(text);
}

Json::Value ColumnValue(const FakeRowRecord& row, const std::string& column) {
    if (column == "user_id") {
        return Json::Value(row.userId);
    }
    if (column == "kind") {
        return Json::Value(row.kind);
    }
    if (column == "id") {
        return Json::Value(row.id);
    }
    if (column == "parent_id") {
        return row.parentId ? Json::Value(*row.parentId) : Json::Value();
    }
    if (column == "deleted") {
        return Json::Value(row.deleted);
    }
    if (column == "updated_at") {
        return Json::Value(PgTime(row.updatedMicros));
    }
    return Json::Value();  // "data" is written as jsonb text by RowText
}

// A row as PostgREST writes it: the columns in the order asked for, jsonb in its own text form.
std::string RowText(const FakeRowRecord& row, const std::vector<std::string>& columns) {
    std::string text = "{";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            text += ",";
        }
        text += Json::Value(columns[i]).Dump(false);
        text += ":";
        text += columns[i] == "data" ? JsonbText(row.data) : ColumnValue(row, columns[i]).Dump(false);
    }
    return text + "}";
}

std::string RowsText(const std::vector<const FakeRowRecord*>& rows, const std::vector<std::string>& columns) {
    std::string text = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) {
            text += ", \n ";  // json_agg's separator
        }
        text += RowText(*rows[i], columns);
    }
    return text + "]";
}

// -1, 0 or 1 as a is before, beside or after b in that column (nulls last, as PostgreSQL sorts
// them ascending).
int CompareColumn(const FakeRowRecord& a, const FakeRowRecord& b, const std::string& column) {
    if (column == "updated_at") {
        return a.updatedMicros < b.updatedMicros ? -1 : a.updatedMicros > b.updatedMicros ? 1 : 0;
    }
    if (column == "deleted") {
        return a.deleted == b.deleted ? 0 : a.deleted ? 1 : -1;
    }
    if (column == "parent_id" && (!a.parentId || !b.parentId)) {
        return a.parentId.has_value() == b.parentId.has_value() ? 0 : a.parentId ? -1 : 1;
    }
    if (column == "data") {
        const std::string x = JsonbText(a.data);
        const std::string y = JsonbText(b.data);
        return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
    }
    const std::string x = ColumnValue(a, column).AsString();
    const std::string y = ColumnValue(b, column).AsString();
    return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

struct Filter {
    std::string column;
    std::string op;
    std::string value;
    std::optional<int64_t> time;  // the value read as a timestamp, for updated_at
};

// A filter, or an "or"/"and" of filters and further trees, as PostgREST's logic trees nest them.
struct Condition {
    enum class Kind { Leaf, Any, All } kind = Kind::Leaf;
    Filter filter;
    std::vector<Condition> children;
};

// A column filter "op.value" checked as PostgREST checks it; an error answer when it is refused.
std::optional<FakeAnswer> MakeFilter(const std::string& name, const std::string& op, const std::string& value,
                                     const std::string& whole, Filter& out) {
    if (!IsColumn(name)) {
        return NoColumn(name);
    }
    out = Filter{name, op, value, {}};
    static const std::vector<std::string> kOps = {"eq", "neq", "gt", "gte", "lt", "lte"};
    if (std::find(kOps.begin(), kOps.end(), op) == kOps.end()) {
        return RestError(400, "PGRST100", "\"failed to parse filter (" + whole + ")\" (line 1, column 1)");
    }
    if (name == "updated_at") {
        out.time = ParsePgTime(value);
        if (!out.time) {
            return RestError(400, "22007", "invalid input syntax for type timestamp with time zone: \"" + value + "\"");
        }
    } else if (name == "user_id" && !IsUuid(value)) {
        return RestError(400, "22P02", "invalid input syntax for type uuid: \"" + value + "\"");
    } else if (name == "deleted" && value != "true" && value != "false") {
        return RestError(400, "22P02", "invalid input syntax for type boolean: \"" + value + "\"");
    }
    return std::nullopt;
}

// Reads PostgREST's logic tree "(item,item,...)", where an item is "or(...)", "and(...)" or
// "column.op.value"; a value is double-quoted (with backslash escapes) or runs to the next ","
// or ")".
class LogicParser {
public:
    explicit LogicParser(const std::string& text) : text_(text) {}

    std::optional<FakeAnswer> Tree(Condition& out) {
        if (!Take('(')) {
            return Refused();
        }
        for (;;) {
            Condition child;
            if (auto refusal = Item(child)) {
                return refusal;
            }
            out.children.push_back(std::move(child));
            if (Take(')')) {
                return std::nullopt;
            }
            if (!Take(',')) {
                return Refused();
            }
        }
    }

    bool AtEnd() const { return at_ == text_.size(); }
    FakeAnswer Refused() const {
        return RestError(
            400, "PGRST100",
            "\"failed to parse logic tree (" + text_ + ")\" (line 1, column " + std::to_string(at_ + 1) + ")");
    }

private:
    std::optional<FakeAnswer> Item(Condition& out) {
        for (const char* word : {"or", "and"}) {
            const std::string open = std::string(word) + "(";
            if (text_.compare(at_, open.size(), open) == 0) {
                at_ += open.size() - 1;
                out.kind = std::string(word) == "or" ? Condition::Kind::Any : Condition::Kind::All;
                return Tree(out);
            }
        }
        const size_t start = at_;
        const std::string column = Until('.');
        if (!Take('.')) {
            return Refused();
        }
        const std::string op = Until('.');
        if (!Take('.')) {
            return Refused();
        }
        std::string value;
        if (Take('"')) {
            for (;;) {
                if (AtEnd()) {
                    return Refused();
                }
                char c = text_[at_++];
                if (c == '"') {
                    break;
                }
                if (c == '\\' && !AtEnd()) {
                    c = text_[at_++];
                }
                value += c;
            }
        } else {
            while (!AtEnd() && text_[at_] != ',' && text_[at_] != ')') {
                value += text_[at_++];
            }
        }
        return MakeFilter(column, op, value, text_.substr(start, at_ - start), out.filter);
    }

    std::string Until(char stop) {
        const size_t start = at_;
        while (!AtEnd() && text_[at_] != stop && text_[at_] != ',' && text_[at_] != '(' && text_[at_] != ')') {
            ++at_;
        }
        return text_.substr(start, at_ - start);
    }

    bool Take(char c) {
        if (!AtEnd() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    const std::string& text_;
    size_t at_ = 0;
};

bool Matches(const FakeRowRecord& row, const Filter& filter) {
    int order = 0;
    if (filter.column == "updated_at") {
        order = row.updatedMicros < *filter.time ? -1 : row.updatedMicros > *filter.time ? 1 : 0;
    } else if (filter.column == "deleted") {
        order = row.deleted == (filter.value == "true") ? 0 : row.deleted ? 1 : -1;
    } else if (filter.column == "parent_id" && !row.parentId) {
        return false;  // null compares to nothing
    } else {
        const std::string text = ColumnValue(row, filter.column).AsString();
        order = text < filter.value ? -1 : text > filter.value ? 1 : 0;
    }
    if (filter.op == "eq") {
        return order == 0;
    }
    if (filter.op == "neq") {
        return order != 0;
    }
    if (filter.op == "gt") {
        return order > 0;
    }
    if (filter.op == "gte") {
        return order >= 0;
    }
    if (filter.op == "lt") {
        return order < 0;
    }
    return order <= 0;  // lte
}

// True when a string anywhere in the value, a member name included, holds a NUL character.
bool HoldsNul(const Json::Value& value) {
    switch (value.kind) {
    case Json::Type::String:
        return value.text.find('\0') != std::string::npos;
    case Json::Type::Array:
        return std::any_of(value.Items().begin(), value.Items().end(), HoldsNul);
    case Json::Type::Object:
        return std::any_of(value.Members().begin(), value.Members().end(), [](const auto& member) {
            return member.first.find('\0') != std::string::npos || HoldsNul(member.second);
        });
    default:
        return false;
    }
}

bool Holds(const FakeRowRecord& row, const Condition& condition) {
    const auto holds = [&row](const Condition& child) { return Holds(row, child); };
    switch (condition.kind) {
    case Condition::Kind::Leaf:
        return Matches(row, condition.filter);
    case Condition::Kind::Any:
        return std::any_of(condition.children.begin(), condition.children.end(), holds);
    case Condition::Kind::All:
        break;
    }
    return std::all_of(condition.children.begin(), condition.children.end(), holds);
}

}  // namespace

FakeAnswer FakeSupabase::State::HandleRest(const Incoming& request) {
    const std::string table = request.path.substr(std::string("/rest/v1/").size());
    if (tableDropped || table != kFakeTable) {
        return RestError(404, "PGRST205", "Could not find the table 'public." + table + "' in the schema cache");
    }
    const Caller caller = Identify(request.raw);
    if (caller.kind == Caller::Kind::Expired || caller.kind == Caller::Kind::Unknown) {
        const std::string message =
            caller.kind == Caller::Kind::Expired ? "JWT expired" : "JWSError JWSInvalidSignature";
        FakeAnswer answer = RestError(401, "PGRST301", message);
        answer.Header("WWW-Authenticate", "Bearer error=\"invalid_token\", error_description=\"" + message + "\"");
        return answer;
    }
    const bool signedIn = caller.kind == Caller::Kind::User;
    const std::string& method = request.raw.method;

    if (method == "GET") {
        std::vector<std::string> columns = kColumns;
        std::vector<std::pair<std::string, bool>> order;  // column, descending
        std::optional<int64_t> limit;
        int64_t offset = 0;
        std::vector<Condition> filters;  // all must hold
        for (const auto& [name, value] : request.query) {
            if (name == "select") {
                if (value != "*") {
                    columns = Split(value, ',');
                    for (const std::string& column : columns) {
                        if (!IsColumn(column)) {
                            return NoColumn(column);
                        }
                    }
                }
            } else if (name == "order") {
                for (const std::string& term : Split(value, ',')) {
                    const std::vector<std::string> parts = Split(term, '.');
                    if (!IsColumn(parts[0])) {
                        return NoColumn(parts[0]);
                    }
                    const std::string direction = parts.size() > 1 ? parts[1] : "asc";
                    if ((direction != "asc" && direction != "desc") || parts.size() > 2) {
                        return RestError(400, "PGRST100",
                                         "\"failed to parse order (" + value + ")\" (line 1, column 1)",
                                         "unexpected \"" + direction + "\" expecting \"asc\" or \"desc\"");
                    }
                    order.emplace_back(parts[0], direction == "desc");
                }
            } else if (name == "limit" || name == "offset") {
                const std::optional<int64_t> number = Count(value);
                if (!number) {
                    return RestError(400, "PGRST100", "\"failed to parse " + name + " parameter (" + value + ")\"");
                }
                if (name == "limit") {
                    limit = number;
                } else {
                    offset = *number;
                }
            } else if (name == "or" || name == "and") {
                Condition tree;
                tree.kind = name == "or" ? Condition::Kind::Any : Condition::Kind::All;
                LogicParser parser(value);
                if (auto refusal = parser.Tree(tree)) {
                    return *refusal;
                }
                if (!parser.AtEnd()) {
                    return parser.Refused();
                }
                filters.push_back(std::move(tree));
            } else {
                const size_t dot = value.find('.');
                Condition leaf;
                if (auto refusal =
                        MakeFilter(name, dot == std::string::npos ? std::string() : value.substr(0, dot),
                                   dot == std::string::npos ? "" : value.substr(dot + 1), value, leaf.filter)) {
                    return *refusal;
                }
                filters.push_back(std::move(leaf));
            }
        }
        std::vector<const FakeRowRecord*> visible;
        for (const auto& [key, row] : rows) {
            const bool allowed = signedIn && row.userId == caller.userId;
            if (allowed &&
                std::all_of(filters.begin(), filters.end(), [&](const Condition& c) { return Holds(row, c); })) {
                visible.push_back(&row);
            }
        }
        std::sort(visible.begin(), visible.end(),
                  [](const FakeRowRecord* a, const FakeRowRecord* b) { return a->sequence < b->sequence; });
        std::stable_sort(visible.begin(), visible.end(), [&](const FakeRowRecord* a, const FakeRowRecord* b) {
            for (const auto& [column, descending] : order) {
                const int c = CompareColumn(*a, *b, column);
                if (c != 0) {
                    return descending ? c > 0 : c < 0;
                }
            }
            return false;
        });
        const size_t first = std::min(visible.size(), static_cast<size_t>(offset));
        const size_t count = std::min(visible.size() - first, limit ? static_cast<size_t>(*limit) : visible.size());
        const std::vector<const FakeRowRecord*> page(visible.begin() + first, visible.begin() + first + count);
        FakeAnswer answer = TextAnswer(200, "application/json; charset=utf-8", RowsText(page, columns));
        answer.Header("Content-Range",
                      count == 0 ? "*/*" : std::to_string(first) + "-" + std::to_string(first + count - 1) + "/*");
        return answer;
    }

    if (method == "DELETE") {
        return RestError(403, "42501", "permission denied for table " + std::string(kFakeTable));  // not granted
    }
    if (method != "POST") {
        return RestError(405, "PGRST117", "Unsupported HTTP method: " + method);
    }

    // Insert or upsert.
    std::string resolution;
    std::string returning = "minimal";
    if (const auto prefer = request.raw.Header("Prefer")) {
        for (std::string item : Split(*prefer, ',')) {
            item.erase(0, item.find_first_not_of(' '));
            if (StartsWith(item, "resolution=")) {
                resolution = item.substr(11);
            } else if (StartsWith(item, "return=")) {
                returning = item.substr(7);
            }
        }
    }
    if (const auto conflict = request.Query("on_conflict")) {
        std::vector<std::string> target = Split(*conflict, ',');
        std::sort(target.begin(), target.end());
        if (target != std::vector<std::string>{"id", "kind", "user_id"}) {
            // Callers tell this refusal by its code; the words only say what went wrong.
            return RestError(400, "42P10", "no unique or exclusion constraint matches the ON CONFLICT columns");
        }
    }
    bool parsed = false;
    Json::Value body = Json::Value::Parse(request.raw.body, &parsed);
    if (!parsed) {
        return RestError(400, "PGRST102", "Empty or invalid json");
    }
    if (body.kind == Json::Type::Object) {
        body = Json::Value(Json::Array{body});
    }
    if (body.kind != Json::Type::Array) {
        return RestError(400, "PGRST102", "All object keys must match");
    }
    std::vector<std::string> keys;
    for (size_t i = 0; i < body.Items().size(); ++i) {
        const Json::Value& item = body.Items()[i];
        if (item.kind != Json::Type::Object) {
            return RestError(400, "PGRST102", "All object keys must match");
        }
        std::vector<std::string> itemKeys;
        for (const auto& member : item.Members()) {
            itemKeys.push_back(member.first);
        }
        std::sort(itemKeys.begin(), itemKeys.end());
        itemKeys.erase(std::unique(itemKeys.begin(), itemKeys.end()), itemKeys.end());
        if (i == 0) {
            keys = itemKeys;
        } else if (itemKeys != keys) {
            return RestError(400, "PGRST102", "All object keys must match");
        }
    }
    for (const std::string& key : keys) {
        if (!IsColumn(key)) {
            return RestError(400, "PGRST204",
                             "Could not find the '" + key + "' column of '" + kFakeTable + "' in the schema cache");
        }
    }
    // The body becomes text and jsonb values, neither of which can hold a NUL character.
    if (std::any_of(body.Items().begin(), body.Items().end(), HoldsNul)) {
        return RestError(400, "22P05", "unsupported Unicode escape sequence", "\\u0000 cannot be converted to text.");
    }
    if (!signedIn) {
        return RlsRefusal(401);
    }

    // Every row is checked before any is written: one statement, all or nothing, one stamp.
    const int64_t stamp = NextWriteMicros();
    std::vector<FakeRowRecord> written;
    std::map<RowKey, size_t> seen;
    const auto has = [&](const std::string& key) { return std::binary_search(keys.begin(), keys.end(), key); };
    for (const Json::Value& item : body.Items()) {
        FakeRowRecord row;
        const auto text = [&](const char* column, std::string& out) -> std::optional<FakeAnswer> {
            const Json::Value& value = item.Find(column);
            if (value.kind == Json::Type::Null) {
                return RestError(400, "23502",
                                 "null value in column \"" + std::string(column) + "\" of relation \"" + kFakeTable +
                                     "\" violates not-null constraint");
            }
            if (value.kind == Json::Type::Object || value.kind == Json::Type::Array) {
                return RestError(400, "22P02", "invalid input syntax for type text");
            }
            out = value.kind == Json::Type::String ? value.text : value.Dump(false);
            return std::nullopt;
        };
        row.userId = caller.userId;  // the column's default, auth.uid()
        if (has("user_id")) {
            if (auto refusal = text("user_id", row.userId)) {
                return *refusal;
            }
            if (!IsUuid(row.userId)) {
                return RestError(400, "22P02", "invalid input syntax for type uuid: \"" + row.userId + "\"");
            }
        }
        if (auto refusal = text("kind", row.kind)) {
            return *refusal;
        }
        if (auto refusal = text("id", row.id)) {
            return *refusal;
        }
        const Json::Value& parent = item.Find("parent_id");
        if (parent.kind != Json::Type::Null) {
            row.parentId = parent.kind == Json::Type::String ? parent.text : parent.Dump(false);
        }
        row.data = Jsonb(item.Find("data"));
        if (has("deleted")) {
            const Json::Value& deleted = item.Find("deleted");
            if (deleted.kind == Json::Type::Null) {
                return RestError(400, "23502",
                                 "null value in column \"deleted\" of relation \"" + std::string(kFakeTable) +
                                     "\" violates not-null constraint");
            }
            if (deleted.kind == Json::Type::Bool) {
                row.deleted = deleted.boolean;
            } else if (deleted.kind == Json::Type::String && (deleted.text == "true" || deleted.text == "false")) {
                row.deleted = deleted.text == "true";
            } else {
                return RestError(400, "22P02", "invalid input syntax for type boolean: " + deleted.Dump(false));
            }
        }
        if (row.userId != caller.userId) {
            return RlsRefusal(403);
        }
        if (rowCheck && !rowCheck(FakeRow{row.userId, row.kind, row.id, row.parentId, Jsonb(row.data), row.deleted,
                                          std::string()})) {
            return RestError(400, "23514",
                             "new row for relation \"" + std::string(kFakeTable) + "\" violates check constraint \"" +
                                 rowCheckName + "\"",
                             "Failing row contains (" + row.userId + ", " + row.kind + ", " + row.id + ").");
        }
        row.updatedMicros = stamp;
        const RowKey key{row.userId, row.kind, row.id};
        const std::string keyText = "(" + row.userId + ", " + row.kind + ", " + row.id + ")";
        const bool stored = rows.count(key) > 0;
        if (seen.count(key) > 0) {
            if (resolution == "merge-duplicates") {
                return RestError(400, "21000", "ON CONFLICT DO UPDATE command cannot affect row a second time", {},
                                 "Ensure that no rows proposed for insertion within the same command have "
                                 "duplicate constrained values.");
            }
            if (resolution != "ignore-duplicates") {
                return RestError(
                    409, "23505",
                    "duplicate key value violates unique constraint \"" + std::string(kFakeTable) + "_pkey\"",
                    "Key (user_id, kind, id)=" + keyText + " already exists.");
            }
            continue;
        }
        seen[key] = written.size();
        if (stored && resolution.empty()) {
            return RestError(409, "23505",
                             "duplicate key value violates unique constraint \"" + std::string(kFakeTable) + "_pkey\"",
                             "Key (user_id, kind, id)=" + keyText + " already exists.");
        }
        if (stored && resolution == "ignore-duplicates") {
            continue;
        }
        if (stored) {
            // merge-duplicates updates only the columns sent; the rest keep what the row held.
            const FakeRowRecord& old = rows.at(key);
            if (!has("parent_id")) {
                row.parentId = old.parentId;
            }
            if (!has("data")) {
                row.data = Jsonb(old.data);
            }
            if (!has("deleted")) {
                row.deleted = old.deleted;
            }
        }
        written.push_back(std::move(row));
    }
    for (const FakeRowRecord& row : written) {
        WriteRow(row);
    }
    FakeAnswer answer;
    answer.status = 201;
    if (!resolution.empty()) {
        answer.Header("Preference-Applied", "resolution=" + resolution);
    }
    answer.Header("Content-Range", "*/*");
    if (returning == "representation") {
        std::vector<const FakeRowRecord*> stored;
        for (const FakeRowRecord& row : written) {
            stored.push_back(&rows.at(RowKey{row.userId, row.kind, row.id}));
        }
        answer.Header("Content-Type", "application/json; charset=utf-8");
        answer.body = RowsText(stored, kColumns);
    }
    return answer;
}

}  // namespace Lorvex::Testing
