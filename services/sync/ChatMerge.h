#pragma once
// One chat out of two copies that changed apart, on this PC and on another, since they were last
// the same: every line of either copy is kept once, so nothing either side wrote is lost. A line
// is the same line on both sides when it has the same time stamp, role and speaker (no two lines
// of a chat share all three); of a line both sides changed, the later edit wins (an edited line
// over one never edited; without edit times, the side that changed the chat last). Lines only one
// side holds join in time order, the local lines keeping their order. The chat's own fields come
// from the side that changed it last. Pure: any thread, on copies it does not keep.

#include <memory>

#include "domain/Records.h"

namespace Lorvex::Services {

// remoteLater: the other PC changed the chat after this one did. The result keeps the local
// chat's id and stamp and shares the line objects of both copies.
std::shared_ptr<Chat> MergeChats(const Chat& local, const Chat& remote, bool remoteLater);

}  // namespace Lorvex::Services
