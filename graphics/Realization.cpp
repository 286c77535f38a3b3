// The surface's geometry realisations: asked of the cache on each fill or stroke, made through
// ID2D1DeviceContext1 (or a test's creator), given up for good where the platform has none.

#include "graphics/D2DExtra.h"
#include "graphics/Graphics.h"

namespace Lorvex {

D2DExtra::ID2D1GeometryRealization* Graphics::GeometryRealization(ID2D1Geometry* geometry, float width,
                                                                  bool roundCaps) {
    if (!geometry || !context_) {
        return nullptr;
    }
    if (realizationsUnavailable_ && !customRealizationCreator_) {
        return nullptr;
    }
    D2D1_MATRIX_3X2_F transform;
    context_->GetTransform(&transform);
    return realizations_.Get(geometry, width, roundCaps, transform, dpi_, frameNumber_, realizationCreator_);
}

ComPtr<RealizationCache::Realization> Graphics::CreateRealization(ID2D1Geometry* geometry, float tolerance, float width,
                                                                  bool roundCaps) {
    ComPtr<RealizationCache::Realization> realization;
    if (!context1_) {
        realizationsUnavailable_ = true;
        return realization;
    }
    const HRESULT hr =
        width > 0 ? context1_->CreateStrokedGeometryRealization(
                        geometry, tolerance, width, roundCaps ? roundStroke_.Get() : nullptr, realization.Put())
                  : context1_->CreateFilledGeometryRealization(geometry, tolerance, realization.Put());
    // A platform without realisations (Wine: E_NOTIMPL) is not asked again by this surface.
    if (hr == E_NOTIMPL) {
        realizationsUnavailable_ = true;
    }
    if (FAILED(hr)) {
        realization.Reset();
    }
    return realization;
}

void Graphics::SetRealizationCreator(RealizationCache::Creator creator) {
    realizations_.Clear();
    customRealizationCreator_ = static_cast<bool>(creator);
    if (creator) {
        realizationCreator_ = std::move(creator);
    } else {
        realizationCreator_ = [this](ID2D1Geometry* geometry, float tolerance, float width, bool roundCaps) {
            return CreateRealization(geometry, tolerance, width, roundCaps);
        };
    }
}

}  // namespace Lorvex
