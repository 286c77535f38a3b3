// The realisation and glow caches on their own, with creators the tests count and fake, and the
// colour packing and gradient keys the surface's caches rest on.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "graphics/CacheKeys.h"
#include "graphics/GlowCache.h"
#include "graphics/RealizationCache.h"
#include "tests/support/GfxOffscreen.h"

namespace Lorvex {
namespace {

// A realisation that only counts how many of its kind are alive.
class FakeRealization : public D2DExtra::ID2D1GeometryRealization {
public:
    static int alive;
    FakeRealization() { ++alive; }
    virtual ~FakeRealization() { --alive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override { *factory = nullptr; }

private:
    ULONG references_ = 1;
};
int FakeRealization::alive = 0;

ComPtr<RealizationCache::Realization> MakeFake() {
    ComPtr<RealizationCache::Realization> realization;
    realization.Attach(new FakeRealization());
    return realization;
}

// A geometry from a factory of its own: the realisation cache needs no device.
ComPtr<ID2D1Geometry> MakeGeometry() {
    static ComPtr<ID2D1Factory> factory = [] {
        ComPtr<ID2D1Factory> made;
        D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr, made.PutVoid());
        return made;
    }();
    ComPtr<ID2D1RectangleGeometry> rectangle;
    factory->CreateRectangleGeometry(D2D1::RectF(0, 0, 10, 10), rectangle.Put());
    return rectangle.Query<ID2D1Geometry>(__uuidof(ID2D1Geometry));
}

struct CountingCreator {
    int calls = 0;
    float lastTolerance = 0;
    bool fail = false;
    RealizationCache::Creator Get() {
        return [this](ID2D1Geometry*, float tolerance, float, bool) -> ComPtr<RealizationCache::Realization> {
            ++calls;
            lastTolerance = tolerance;
            return fail ? ComPtr<RealizationCache::Realization>() : MakeFake();
        };
    }
};

const D2D1_MATRIX_3X2_F kIdentity = D2D1::Matrix3x2F::Identity();

TEST(GfxRealizationCache, TheThirdUseAtOneZoomCreatesAndLaterUsesReuse) {
    RealizationCache cache;
    CountingCreator creator;
    auto geometry = MakeGeometry();
    ASSERT_TRUE(geometry);
    EXPECT_EQ(cache.Get(geometry.Get(), 0, false, kIdentity, 96, 1, creator.Get()), nullptr);
    EXPECT_EQ(cache.Get(geometry.Get(), 0, false, kIdentity, 96, 2, creator.Get()), nullptr);
    EXPECT_EQ(creator.calls, 0);
    auto* made = cache.Get(geometry.Get(), 0, false, kIdentity, 96, 3, creator.Get());
    EXPECT_NE(made, nullptr);
    EXPECT_EQ(cache.Get(geometry.Get(), 0, false, kIdentity, 96, 4, creator.Get()), made);
    EXPECT_EQ(creator.calls, 1);
    EXPECT_NEAR(creator.lastTolerance, 0.25f / 1.0905f, 1e-6);

    // A stroke, another width, round caps and another zoom level are each their own entry; a
    // scale within the same quarter octave is not.
    cache.Get(geometry.Get(), 2, false, kIdentity, 96, 5, creator.Get());
    cache.Get(geometry.Get(), 2, true, kIdentity, 96, 5, creator.Get());
    cache.Get(geometry.Get(), 0, false, D2D1::Matrix3x2F::Scale(2, 2), 96, 5, creator.Get());
    cache.Get(geometry.Get(), 0, false, D2D1::Matrix3x2F::Scale(1.05f, 1.05f), 96, 5, creator.Get());
    EXPECT_EQ(cache.Size(), 4u);
}

TEST(GfxRealizationCache, ScaleZeroOrAWidthThatIsNotANumberIsDrawnDirectlyWithoutAnEntry) {
    RealizationCache cache;
    CountingCreator creator;
    auto geometry = MakeGeometry();
    for (int use = 0; use < 4; ++use) {
        EXPECT_EQ(cache.Get(geometry.Get(), 0, false, D2D1::Matrix3x2F::Scale(0, 3), 96, 1, creator.Get()), nullptr);
        // Not a number would break the ordering of the keys.
        EXPECT_EQ(cache.Get(geometry.Get(), NAN, false, kIdentity, 96, 1, creator.Get()), nullptr);
    }
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(creator.calls, 0);
}

TEST(GfxRealizationCache, ToleranceFollowsZoomAndDpiAndAFailureIsRetried) {
    RealizationCache cache;
    CountingCreator creator;
    creator.fail = true;
    auto geometry = MakeGeometry();
    const auto doubled = D2D1::Matrix3x2F::Scale(2, 2);
    for (int use = 0; use < 3; ++use) {
        cache.Get(geometry.Get(), 0, false, doubled, 192, 1, creator.Get());
    }
    EXPECT_EQ(creator.calls, 1);
    // Zoom 2 (level 4) at 192 DPI: a fourfold scale.
    EXPECT_NEAR(creator.lastTolerance, 0.25f / (1.0905f * 4), 1e-6);
    creator.fail = false;
    EXPECT_NE(cache.Get(geometry.Get(), 0, false, doubled, 192, 2, creator.Get()), nullptr);
    EXPECT_EQ(creator.calls, 2);
}

TEST(GfxRealizationCache, EvictionKeepsRealisationsLongerAndReleasesThem) {
    FakeRealization::alive = 0;
    {
        RealizationCache cache;
        CountingCreator creator;
        auto used = MakeGeometry();
        auto once = MakeGeometry();
        for (int use = 0; use < 3; ++use) {
            cache.Get(used.Get(), 0, false, kIdentity, 96, 10, creator.Get());
        }
        cache.Get(once.Get(), 0, false, kIdentity, 96, 10, creator.Get());
        ASSERT_EQ(FakeRealization::alive, 1);

        cache.Evict(12);
        EXPECT_EQ(cache.Size(), 2u);
        cache.Evict(13);  // more than 2 frames without a realisation
        EXPECT_EQ(cache.Size(), 1u);
        cache.Evict(610);
        EXPECT_EQ(cache.Size(), 1u);
        cache.Evict(611);  // more than 600 frames with one
        EXPECT_EQ(cache.Size(), 0u);
        EXPECT_EQ(FakeRealization::alive, 0);
    }
}

TEST(GfxRealizationCache, EntriesKeepTheirGeometryAlive) {
    RealizationCache cache;
    CountingCreator creator;
    ID2D1Geometry* raw = nullptr;
    {
        auto geometry = MakeGeometry();
        raw = geometry.Get();
        cache.Get(raw, 0, false, kIdentity, 96, 1, creator.Get());
    }
    // The caller's reference is gone; the entry's keeps the key's pointer valid.
    raw->AddRef();
    EXPECT_EQ(raw->Release(), 1u);
    cache.Clear();
}

TEST(GfxGlowCache, SizeLimitsAndThePixelSizeGivenToTheMaker) {
    GlowCache cache;
    int calls = 0;
    uint32_t lastWidth = 0;
    uint32_t lastHeight = 0;
    const GlowCache::SourceMaker maker = [&](uint32_t width, uint32_t height) {
        ++calls;
        lastWidth = width;
        lastHeight = height;
        return ComPtr<ID2D1Bitmap1>();
    };
    cache.Source(L"a", 10.2f, 6, 2, 96, 1, maker);
    EXPECT_EQ(lastWidth, 15u);  // ceil(10.2 + 4)
    EXPECT_EQ(lastHeight, 10u);
    cache.Source(L"b", 10.2f, 6, 2, 144, 1, maker);
    EXPECT_EQ(lastWidth, 22u);  // ceil(14.2 * 1.5)

    calls = 0;
    cache.Source(L"wide", 8191 - 4, 10, 2, 96, 1, maker);
    EXPECT_EQ(calls, 1);
    cache.Source(L"too wide", 8192 - 4, 10, 2, 96, 1, maker);
    cache.Source(L"too tall at this dpi", 10, 4096 - 4, 2, 192, 1, maker);
    cache.Source(L"empty", 0, 10, 0, 96, 1, maker);
    EXPECT_EQ(calls, 1);
    // Failed sizes are remembered, so they are not tried every frame.
    EXPECT_EQ(cache.Source(L"too wide", 8192 - 4, 10, 2, 96, 2, maker), nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(GfxGlowCache, AFullCacheDropsWhatTheCurrentFrameDidNotUse) {
    GlowCache cache;
    const GlowCache::SourceMaker none = [](uint32_t, uint32_t) { return ComPtr<ID2D1Bitmap1>(); };
    for (int i = 0; i < 384; ++i) {
        cache.Source(L"k" + std::to_wstring(i), 10, 10, 2, 96, 1, none);
    }
    EXPECT_EQ(cache.Size(), 384u);
    cache.Source(L"k1", 10, 10, 2, 96, 2, none);
    cache.Source(L"k2", 10, 10, 2, 96, 2, none);
    cache.Source(L"new", 10, 10, 2, 96, 2, none);
    EXPECT_EQ(cache.Size(), 3u);

    cache.Evict(602);
    EXPECT_EQ(cache.Size(), 3u);
    cache.Evict(603);
    EXPECT_EQ(cache.Size(), 0u);
}

TEST(GfxGlowCache, AHitReturnsTheEntryWithItsBitmap) {
    ASSERT_TRUE(Testing::GraphicsReady());
    ID2D1DeviceContext* resources = Graphics::Device::Instance().resourceContext.Get();
    GlowCache cache;
    int calls = 0;
    const GlowCache::SourceMaker maker = [&](uint32_t width, uint32_t height) {
        ++calls;
        ComPtr<ID2D1Bitmap1> bitmap;
        const auto properties = D2D1::BitmapProperties1(
            D2D1_BITMAP_OPTIONS_TARGET, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
        resources->CreateBitmap(D2D1::SizeU(width, height), nullptr, 0, &properties, bitmap.Put());
        return bitmap;
    };
    GlowCache::Entry* first = cache.Source(L"card", 100, 50, 14, 96, 1, maker);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->pad, 14);
    EXPECT_FALSE(first->prepared);
    EXPECT_EQ(cache.Source(L"card", 100, 50, 14, 96, 7, maker), first);
    EXPECT_EQ(first->lastUse, 7u);
    EXPECT_EQ(calls, 1);
}

TEST(GfxColor, ToArgbClampsAndRoundsEachChannel) {
    const struct {
        Color color;
        uint32_t argb;
    } cases[] = {
        {{1, 0, 0, 1}, 0xFFFF0000},
        {{0, 0, 0, 0}, 0x00000000},
        {{0.5f, 0.25f, 1, 0.5f}, 0x808040FF},
        {{2, -1, 0, 1.5f}, 0xFFFF0000},
        {{0.001f, 0.002f, 0.998f, 1}, 0xFF0001FE},
        {{NAN, 0, 0, 1}, 0xFF000000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.color.ToArgb(), c.argb) << c.color.r << " " << c.color.g << " " << c.color.b << " " << c.color.a;
    }
}

TEST(GfxKeys, GradientStopsShareAKeyOnlyWhenTheyAgreeToAThousandth) {
    using Stops = std::vector<Graphics::GradientStop>;
    const Color red = {1, 0, 0, 1};
    const Color blue = {0, 0, 1, 1};
    const Stops base = {{0, red}, {0.5f, blue}};
    EXPECT_EQ(CacheKeys::Gradient(base), CacheKeys::Gradient(Stops{{0, red}, {0.5004f, blue}}));
    EXPECT_NE(CacheKeys::Gradient(base), CacheKeys::Gradient(Stops{{0, red}, {0.5006f, blue}}));
    EXPECT_NE(CacheKeys::Gradient(base), CacheKeys::Gradient(Stops{{0, blue}, {0.5f, red}}));
    EXPECT_NE(CacheKeys::Gradient(base), CacheKeys::Gradient(Stops{{0, red}}));
    // Colours that pack to the same ARGB are the same stop.
    EXPECT_EQ(CacheKeys::Gradient(base), CacheKeys::Gradient(Stops{{0, {1, 0, 0.001f, 1}}, {0.5f, blue}}));
}

TEST(GfxKeys, LineHeightsShareATextFormatKeyByTruncatedTenths) {
    TextStyle a;
    a.lineHeight = 20.01f;
    TextStyle b = a;
    b.lineHeight = 20.04f;
    EXPECT_EQ(CacheKeys::TextFormat(a), CacheKeys::TextFormat(b));
    b.lineHeight = 20.1f;
    EXPECT_NE(CacheKeys::TextFormat(a), CacheKeys::TextFormat(b));
    // Any line height of 0 or less, or not finite, means natural spacing and spills into no other
    // field.
    TextStyle natural;
    for (const float odd : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()}) {
        TextStyle style;
        style.lineHeight = odd;
        EXPECT_FALSE(CacheKeys::HasFixedLineHeight(style)) << odd;
        EXPECT_EQ(CacheKeys::TextFormat(style), CacheKeys::TextFormat(natural)) << odd;
    }
    TextStyle negative;
    negative.lineHeight = -3;
    EXPECT_EQ(CacheKeys::TextFormat(natural), CacheKeys::TextFormat(negative));
    negative.weight = 700;
    EXPECT_EQ(CacheKeys::TextFormat(negative) >> 12 & 0xFFF, 700u);
}

}  // namespace
}  // namespace Lorvex
