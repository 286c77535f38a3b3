// The one handle owner: each open handle closed exactly once however its owner lets go, and the
// values a kind calls "none" never closed.

#include "foundation/Handle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <utility>
#include <vector>

namespace Lorvex {
namespace {

std::vector<int> g_closed;

// 0 and -1 mean "none", as null and INVALID_HANDLE_VALUE do for kernel handles.
struct CountingTraits {
    using Type = int;
    static bool IsNone(int handle) { return handle == 0 || handle == -1; }
    static void Close(int handle) { g_closed.push_back(handle); }
};
using CountingHandle = BasicHandle<CountingTraits>;

TEST(Handle, ClosesEachOpenHandleOnceWhicheverWayItsOwnerLetsGo) {
    g_closed.clear();
    {
        CountingHandle first(1);
        const CountingHandle none(-1);
        CountingHandle second(2);
        second.Reset(3);                          // closes 2
        CountingHandle moved(std::move(second));  // takes 3; second holds none
        first = std::move(moved);                 // closes 1, takes 3
        EXPECT_FALSE(second);
        EXPECT_FALSE(moved);
        EXPECT_FALSE(none.IsOpen());
        EXPECT_EQ(first.Get(), 3);
        EXPECT_EQ(g_closed, (std::vector<int>{2, 1}));
    }
    EXPECT_EQ(g_closed, (std::vector<int>{2, 1, 3}));
}

TEST(Handle, AKernelHandleIsClosedByItsOwnerAndNullOrInvalidIsNone) {
    EXPECT_FALSE(UniqueHandle(nullptr).IsOpen());
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).IsOpen());

    const HANDLE raw = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        const UniqueHandle event(raw);
        EXPECT_TRUE(event);
        DWORD flags = 0;
        EXPECT_TRUE(GetHandleInformation(raw, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

}  // namespace
}  // namespace Lorvex
