// Starting a round and bringing its result in on the UI thread: the confirmed changes leave the
// queue, pulled rows reach the application state, the merge after a sign-in and the cleaning of
// pictures nothing uses any more.

#include "services/sync/CloudSync.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "graphics/Images.h"

namespace Lorvex::Services {

namespace {

constexpr const wchar_t* kSessionExpired = L"La sesión de la nube ha caducado; vuelve a iniciar sesión en Ajustes";

// Another PC uploads a picture before the row that uses it, and that row may reach this PC only a
// pull or two later: a picture younger than this is never taken for an orphan.
constexpr int64_t kOrphanAgeSeconds = 24 * 3600;

// "YYYY-MM-DDTHH:MM:SS" in UTC, the given number of seconds before now: the form the bucket's
// "created_at" texts begin with, so the two compare as bytes.
std::string UtcTextSecondsAgo(int64_t seconds) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    ticks.QuadPart -= static_cast<uint64_t>(seconds) * 10000000ull;
    FILETIME then{};
    then.dwLowDateTime = ticks.LowPart;
    then.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(&then, &utc)) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    return text;
}

}  // namespace

void CloudSync::Start(bool full) {
    if (!SignedIn()) {
        return;
    }
    if (syncing) {
        again = true;
        againFull = againFull || full;
        return;
    }
    if (!full && WaitingChanges() == 0) {
        return;
    }
    Async::CancelTimer(flushTimer);
    flushTimer = 0;

    Job job;
    job.account = account;
    job.cursor = cursor;
    job.full = full;
    job.listStorage = full && !storageListed && imageNames != nullptr;
    job.items.reserve(pending.size());
    for (const auto& [key, item] : pending) {
        if (item.refusal.empty()) {
            job.items.push_back(item);
        }
    }
    // Pictures go up before the records that name them.
    std::stable_partition(job.items.begin(), job.items.end(),
                          [](const QueueItem& item) { return item.kind == L"image"; });
    if (locateRecords) {
        locateRecords(job.items);
    }
    job.synced = synced;
    if (full && pictureNames) {
        job.pictures = pictureNames();
    }

    syncing = true;
    if (onStatusChanged) {
        onStatusChanged();
    }
    if (roundStarted) {
        roundStarted(full);
    }
    const int32_t startedIn = generation;
    std::function<Result(const Job&)> worker = roundWorker ? roundWorker : std::function<Result(const Job&)>(RunRound);
    const bool started =
        Async::Run([job = std::move(job), worker = std::move(worker)] { return worker(job); },
                   [this, startedIn, full](Result result) { ApplyResult(std::move(result), startedIn, full); });
    if (!started) {
        // No worker, no result: the queue waits for the next request instead of a round that
        // never ends.
        syncing = false;
        if (onStatusChanged) {
            onStatusChanged();
        }
    }
}

void CloudSync::ApplyResult(Result result, int32_t roundGeneration, bool full) {
    if (roundGeneration != generation) {
        return;  // a sign-in or sign-out since the round began has reset the round state
    }
    syncing = false;

    if (result.accountChanged) {
        TakeRenewedSession(result.account, result.renewedFrom);
    }
    if (result.unauthorized) {
        // The queue stays as it is for the next sign-in of the same user.
        SignOutLocal();
        if (onNotice) {
            onNotice(kSessionExpired, true);
        }
        return;
    }

    ConfirmDone(result);
    for (const std::wstring& name : result.downloaded) {
        uploaded.insert(name);  // fetched from the cloud, so no upload of it is needed
    }
    SetAside(result.refused);
    offline = result.offline;
    lastError = offline ? std::wstring() : result.error;
    if (result.pulled) {
        Images::ForgetFailedImages();  // pictures this round downloaded are read when next drawn
    }
    bool startNow = false;
    if (result.error.empty()) {
        if (result.pulled) {
            // Rows first, so that the merge finds what the cloud holds already in `synced`, and
            // the orphan cleaning sees the records that use the pulled pictures.
            ApplyPulledRows(result.items, result.cursor);
            if (mergePending && full) {
                mergePending = false;
                if (onMergeNeeded) {
                    onMergeNeeded();
                }
                // The merge is no burst of edits to wait out: its upload starts at once.
                startNow = WaitingChanges() != 0;
            }
            if (result.listed) {
                CleanOrphanImages(result.images);
            }
        }
        lastSync = Time::NowIso();
    }
    SaveState();
    if (onStatusChanged) {
        onStatusChanged();
    }

    if (again) {
        const bool nextFull = againFull;
        again = false;
        againFull = false;
        if (nextFull) {
            Start(true);
        } else if (startNow) {
            Start(false);
        } else {
            ScheduleFlush();
        }
    } else if (startNow) {
        Start(false);
    } else if (WaitingChanges() != 0 && !full && result.error.empty()) {
        ScheduleFlush();
    }
}

void CloudSync::TakeRenewedSession(const Account& renewed, const std::string& renewedFrom) {
    // Refresh tokens are single-use: when something else renewed the session since this round
    // did (a profile update), the pair held now is the newer one and stays.
    if (account.refreshToken != renewedFrom) {
        return;
    }
    account.accessToken = renewed.accessToken;
    account.refreshToken = renewed.refreshToken;
    account.expiresAt = renewed.expiresAt;
    // A running profile update is about to set name and avatar itself.
    if (!userUpdateBusy) {
        DeleteReplacedAvatarFile(account.avatarFile, renewed.avatarFile);
        account.displayName = renewed.displayName;
        account.avatarFile = renewed.avatarFile;
    }
    SaveAccount();
}

void CloudSync::DeleteReplacedAvatarFile(const std::wstring& old, const std::wstring& current) {
    if (!old.empty() && !Text::EqualsNoCase(old, current) && IsSafePictureName(old)) {
        Files::RemoveFile(Files::JoinPath(Paths::ImagesDir(), old));
    }
}

void CloudSync::ConfirmDone(const Result& result) {
    const std::vector<int64_t>& done = result.done;
    const std::map<int64_t, std::string>& sent = result.sent;
    // A record changed again during the round carries a newer seq and stays queued.
    std::unordered_map<int64_t, std::wstring> keyOfSeq;
    for (const auto& [key, item] : pending) {
        keyOfSeq.emplace(item.seq, key);
    }
    for (int64_t seq : done) {
        const auto match = keyOfSeq.find(seq);
        if (match == keyOfSeq.end()) {
            continue;
        }
        const auto entry = pending.find(match->second);
        keyOfSeq.erase(match);
        if (entry == pending.end()) {
            continue;
        }
        const QueueItem& item = entry->second;
        if (item.kind != L"image") {
            const auto actual = sent.find(seq);
            if (actual == sent.end()) {
                synced[entry->first] = item.deleted ? std::string("deleted") : item.hash;
            } else if (!actual->second.empty()) {
                synced[entry->first] = actual->second;
            }
        } else if (item.deleted) {
            uploaded.erase(item.id);
        } else {
            uploaded.insert(item.id);
        }
        pending.erase(entry);
    }
    for (const auto& [key, hash] : result.agreed) {
        synced[key] = hash;
    }
}

void CloudSync::SetAside(const std::vector<Refusal>& refused) {
    for (const Refusal& refusal : refused) {
        // An item changed during the round carries a newer seq: its new form is tried next.
        const auto entry = std::find_if(pending.begin(), pending.end(),
                                        [&](const auto& queued) { return queued.second.seq == refusal.seq; });
        if (entry != pending.end()) {
            entry->second.refusal = refusal.error;
        }
    }
}

std::vector<std::wstring> CloudSync::SetAsideReasons() const {
    std::vector<std::wstring> reasons;
    for (const auto& [key, item] : pending) {
        if (item.refusal.empty()) {
            continue;
        }
        std::wstring what = L"Un cambio";
        if (item.kind == L"image") {
            what = L"La imagen «" + item.id + L"»";
        } else if (item.kind == L"character") {
            what = L"Un personaje";
        } else if (item.kind == L"chat") {
            what = L"Un chat";
        } else if (item.kind == L"persona") {
            what = L"Una persona";
        }
        reasons.push_back(what + L": " + item.refusal);
    }
    return reasons;
}

void CloudSync::ApplyPulledRows(const std::vector<RemoteItem>& rows, const std::string& pulledTo) {
    // The round left out the rows this PC agreed on already: every row here changed in the cloud
    // since, and the application state merges it with what it holds now, changes made during the
    // round included.
    const std::vector<RemoteItem>& toApply = rows;
    std::vector<std::wstring> left;
    if (!toApply.empty() && onPulled) {
        left = onPulled(toApply);
    }
    if (pulledTo.empty()) {
        return;
    }

    // Rows the application state left for later must come again: the cursor stops at the oldest
    // of them (the pull reads from the cursor inclusive), never past it.
    std::string next = pulledTo;
    if (!left.empty()) {
        const std::set<std::wstring> leftKeys(left.begin(), left.end());
        for (const RemoteItem& row : toApply) {
            if (leftKeys.count(ItemKey(row)) == 0) {
                continue;
            }
            if (row.updatedAt.empty()) {
                return;  // no stamp to stop at: the cursor stays where it was
            }
            if (next.empty() || StampBefore(row.updatedAt, next)) {
                next = row.updatedAt;
            }
        }
    }
    if (!next.empty()) {
        cursor = next;
    }
}

void CloudSync::CleanOrphanImages(const std::vector<ImageRow>& rows) {
    storageListed = true;
    if (!imageNames) {
        return;
    }
    std::set<std::wstring> inUse = imageNames();
    if (!account.avatarFile.empty()) {
        inUse.insert(Text::ToLower(account.avatarFile));
    }
    const std::string cutoff = UtcTextSecondsAgo(kOrphanAgeSeconds);
    if (cutoff.empty()) {
        return;
    }
    for (const ImageRow& row : rows) {
        if (row.name.empty() || inUse.count(Text::ToLower(row.name)) != 0) {
            continue;
        }
        // Compared on the date and time alone; a shorter text that begins the other sorts first.
        if (row.createdAt.empty() || !(row.createdAt.substr(0, cutoff.size()) < cutoff)) {
            continue;
        }
        const auto waiting = pending.find(ItemKey(L"image", row.name));
        if (waiting != pending.end() && !waiting->second.deleted) {
            continue;  // the local file is about to go up under this name
        }
        uploaded.insert(row.name);
        OnImageDeleted(row.name);
    }
}

}  // namespace Lorvex::Services
