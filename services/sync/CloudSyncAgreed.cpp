// What this PC last agreed with the cloud on, record by record: `synced` and the bases.

#include "services/sync/CloudSync.h"
#include "services/sync/CloudSyncRound.h"

namespace Lorvex::Services {

void CloudSync::Agree(const RemoteItem& row) {
    const std::wstring key = ItemKey(row);
    if (row.deleted) {
        synced[key] = "deleted";
        SyncBase::Remove(key);
        return;
    }
    const Json::Value form = CloudSyncRound::PulledForm(row);
    if (form.kind != Json::Type::Object) {
        return;
    }
    const SyncBase::RecordBase base = SyncBase::BaseOf(row.kind, form);
    synced[key] = base.hash;
    SyncBase::Save(key, account.userId, base);
}

void CloudSync::AgreeDeletedKeepingBase(const std::wstring& key) {
    synced[key] = "deleted";
}

std::optional<SyncBase::RecordBase> CloudSync::BaseFor(const std::wstring& key) const {
    // The base is written before `synced` reaches "cloud.json", so after a kill between the two it
    // is the newer, and true, of them.
    return SyncBase::Load(key, account.userId);
}

bool CloudSync::ChangedSinceAgreed(const std::wstring& key, const Json::Value& record) const {
    const auto known = synced.find(key);
    return known == synced.end() || known->second != ChangeHash(StripPhotoPaths(record));
}

void CloudSync::ForgetQueued(const std::wstring& key) {
    if (pending.erase(key) != 0) {
        SaveStateSoon();
    }
}

}  // namespace Lorvex::Services
