// Serialised session renewal shared by the sync rounds and the profile updates.

#include <deque>
#include <mutex>
#include <utility>

#include "services/sync/Supabase.h"

namespace Lorvex::Services::Supabase {

namespace {

// Only the last few renewals matter: a second worker asks with the same token within moments.
constexpr size_t kRecentRenewals = 4;

std::mutex renewalLock;
std::deque<std::pair<std::string, AuthResult>> recentRenewals;

}  // namespace

AuthResult RenewSession(const std::string& refreshToken) {
    const std::lock_guard<std::mutex> hold(renewalLock);
    for (const auto& [used, renewed] : recentRenewals) {
        if (used == refreshToken) {
            return renewed;
        }
    }
    AuthResult result = Refresh(refreshToken);
    if (result.ok) {
        recentRenewals.emplace_back(refreshToken, result);
        if (recentRenewals.size() > kRecentRenewals) {
            recentRenewals.pop_front();
        }
    }
    return result;
}

}  // namespace Lorvex::Services::Supabase
