// The surface's geometry realisations: asked of the cache on each fill or stroke, made through
// ID2D1DeviceContext1 (or a test's creator), given up for good where the platform has none.

#include <type_traits>

#include "graphics/D2DExtra.h"
#include "graphics/Graphics.h"
#include "graphics/GraphicsState.h"

namespace Lorvex {

// The header spells the creator's type out so that it needs no cache header.
static_assert(std::is_same_v<Graphics::RealizationCreator, RealizationCache::Creator>);

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
    return state_->realizations.Get(geometry, width, roundCaps, transform, dpi_, frameNumber_, realizationCreator_);
}

ComPtr<D2DExtra::ID2D1GeometryRealization> Graphics::CreateRealization(ID2D1Geometry* geometry, float tolerance,
                                                                       float width, bool roundCaps) {
    ComPtr<D2DExtra::ID2D1GeometryRealization> realization;
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

void Graphics::SetRealizationCreator(RealizationCreator creator) {
    state_->realizations.Clear();
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
