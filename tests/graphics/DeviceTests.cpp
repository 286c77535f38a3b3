// The process-wide device and the font table.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/GfxOffscreen.h"

namespace Lorvex {
namespace {

using Device = Graphics::Device;
using Fonts = Graphics::Fonts;

TEST(GfxDevice, ASecondInitializeKeepsEveryObject) {
    ASSERT_TRUE(Testing::GraphicsReady());
    Device& device = Device::Instance();
    ID2D1Device* d2d = device.d2dDevice.Get();
    ID2D1DeviceContext* resources = device.resourceContext.Get();
    EXPECT_NE(device.d3dDevice.Get(), nullptr);
    EXPECT_NE(device.dxgiFactory.Get(), nullptr);
    EXPECT_NE(device.d2dFactory.Get(), nullptr);
    EXPECT_NE(resources, nullptr);
    EXPECT_NE(device.dwriteFactory.Get(), nullptr);
    EXPECT_NE(device.wicFactory.Get(), nullptr);
    ASSERT_TRUE(Device::Initialize());
    EXPECT_EQ(device.d2dDevice.Get(), d2d);
    EXPECT_EQ(device.resourceContext.Get(), resources);
}

// A probe whose drawing fails (its device removed meanwhile) has no answer: nothing is replaced,
// and the next device is probed anew.
TEST(GfxDevice, AProbeThatCannotDrawReplacesNothingAndTheNextDeviceIsProbedAgain) {
    ASSERT_TRUE(Testing::GraphicsReady());
    const DrawingQuirks probed = Device::Quirks();
    Device::RemoveForTesting(Device::Call::EndDraw);
    Device::ReleaseDevice();
    ASSERT_TRUE(Device::Initialize());
    DrawingQuirks unanswered;
    unanswered.symbolsLackFallback = probed.symbolsLackFallback;  // asked of the fonts, not drawn
    EXPECT_EQ(Device::Quirks(), unanswered);
    EXPECT_EQ(Device::RemovedReason(), DXGI_ERROR_DEVICE_REMOVED);

    Device::ReleaseDevice();
    ASSERT_TRUE(Device::Initialize());
    EXPECT_EQ(Device::RemovedReason(), S_OK);
    EXPECT_EQ(Device::Quirks(), probed);
    if (Testing::RunningUnderWine()) {
        // Its read-backs contradict the documented composition: a probe not made again would keep
        // the answer of the failed one.
        EXPECT_TRUE(probed.linearStopsPremultiplied && probed.layersIgnoreOpacity && probed.shadowUnavailable);
    }
    // The pictures of the old device, as a rebuild drops them.
    Images::ForgetAllImages();
}

TEST(GfxFonts, TheFirstInstalledFamilyWinsElseTheFirstListed) {
    ASSERT_TRUE(Testing::GraphicsReady());
    // The test prefix and every Windows carry Tahoma.
    EXPECT_EQ(Fonts::FirstInstalledFamily({L"Lorvex Missing Sans", L"Tahoma", L"Lorvex Missing Mono"}), L"Tahoma");
    EXPECT_EQ(Fonts::FirstInstalledFamily({L"Lorvex Missing Sans", L"Lorvex Missing Mono"}), L"Lorvex Missing Sans");
    EXPECT_EQ(Fonts::FirstInstalledFamily({}), L"");

    // Every slot holds a name from its own list once the table is filled.
    for (const auto slot : {Graphics::FontSlot::Ui, Graphics::FontSlot::Icons, Graphics::FontSlot::Mono,
                            Graphics::FontSlot::MonoFallback}) {
        const auto& preferences = Fonts::Preferences(slot);
        EXPECT_NE(std::find(preferences.begin(), preferences.end(), Fonts::Family(slot)), preferences.end());
    }
    // A slot number outside the table reads as the UI family.
    EXPECT_EQ(Fonts::Family(7), Fonts::Family(Graphics::FontSlot::Ui));
}

}  // namespace
}  // namespace Lorvex
