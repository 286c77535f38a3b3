#pragma once
// The sync's memory: for each record, the form this PC last agreed with the cloud (the form it
// uploaded and saw confirmed, or the row it pulled and applied). Two copies alone cannot tell
// "deleted here" from "added there", nor which side changed a field; against this base they can.
// Kept compact: a chat keeps each line's identity and a fingerprint of what it holds, in order,
// and a fingerprint of each of its other members; a character or persona keeps its whole upload
// form (small), so a record deleted here can come back when another PC changed it meanwhile.
// One file per record in the data folder's "sync-base" folder, written through a temporary file;
// older versions never read it. Pure helpers: any thread. Load, Save, Remove and Clear touch the
// files and may run on the UI thread or a round's worker (never both for one record at a time:
// the worker writes the bases of what it uploads, the UI thread those of what it applies, and
// rounds do not overlap). Failure shows as an absent base, which the merges take as "nothing
// agreed yet" (a union: nothing is dropped).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/json/Value.h"

namespace Lorvex::Services::SyncBase {

struct Fingerprint {
    std::string name;  // a member's key, or a line's id (UTF-8)
    uint64_t print = 0;
};

struct RecordBase {
    std::string hash;                 // change hash of the whole upload form, as `synced` holds it
    std::vector<Fingerprint> fields;  // each member but a chat's "messages", in the form's order
    std::vector<Fingerprint> lines;   // a chat's lines in order: line id and fingerprint
    Json::Value form;                 // a character's or persona's whole upload form; null for a chat

    const uint64_t* Field(std::string_view name) const;
    const uint64_t* Line(std::string_view id) const;
};

// Fingerprint of a JSON value: FNV-1a of its compact text.
uint64_t PrintOf(const Json::Value& value);
// The base of an upload form (picture paths already cut to file names) of this kind.
RecordBase BaseOf(const std::wstring& kind, const Json::Value& form);

std::optional<RecordBase> Load(const std::wstring& key, const std::wstring& userId);
// False when the file could not be written; the previous base is then removed, never left to
// stand for a newer agreement.
bool Save(const std::wstring& key, const std::wstring& userId, const RecordBase& base);
void Remove(const std::wstring& key);
// Forgets every base: the sync state of another user is gone.
void Clear();

}  // namespace Lorvex::Services::SyncBase
