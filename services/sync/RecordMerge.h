#pragma once
// Three-way merges of a record that changed both here and on another PC since the form both last
// agreed on (the base, services/sync/SyncBase.h). No decision compares the two PCs' clocks: what
// each side changed is what differs from the base.
// Chats, line by line by line id: changed on one side -> that side; changed on both -> both texts
// kept as versions of the line (the user picks); deleted on one side and unchanged on the other ->
// deleted; deleted on one side and changed on the other -> the change stays; added on either side ->
// kept once. Each side's lines keep their order; lines both sides added at one place are ordered by
// stamp, then line id, so the result does not depend on which side merges. The chat's other
// members go member by member as below.
// Characters and personas, member by member on their upload forms: changed on one side -> that
// side; changed on both to different values -> this PC's (it syncs later), and the other value is
// reported so it can be kept in a conflict copy.
// Without a base (a first sign-in, an older sync state) nothing counts as deleted: a union.
// Pure: any thread, on copies it does not keep.

#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/json/Value.h"
#include "services/sync/SyncBase.h"

namespace Lorvex::Services {

// The result keeps the local chat's id and shares line objects of both copies where a line is
// taken whole. Lines the local copy holds that are not settled (a reply being written, a failed
// one) count as changed here and keep their place.
std::shared_ptr<Chat> MergeChats(const SyncBase::RecordBase* base, const Chat& local, const Chat& remote);

struct FieldMerge {
    Json::Value merged;                  // the upload form that holds both sides' changes
    std::vector<std::string> conflicts;  // members both sides changed to different values
};
// local and remote are upload forms (objects) of one character or persona.
FieldMerge MergeFields(const SyncBase::RecordBase* base, const Json::Value& local, const Json::Value& remote);

}  // namespace Lorvex::Services
