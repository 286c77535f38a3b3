#pragma once
// The process-wide Direct3D, DXGI, Direct2D, DirectWrite, imaging and composition objects from
// which every surface, text format, picture and geometry is made, and the table of font
// families chosen at start-up. UI thread only. Including this also brings every platform header
// whose types graphics/Graphics.h only forward-declares.

#include <d2d1_1.h>
#include <d3d11.h>
#include <dcomp.h>
#include <dwrite_3.h>
#include <dxgi1_2.h>
#include <wincodec.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/ComPtr.h"
#include "graphics/D2DExtra.h"
#include "graphics/DrawingQuirks.h"
#include "graphics/Graphics.h"

namespace Lorvex {

class Graphics::Device {
public:
    // The one device, empty until Initialize.
    static Device& Instance();

    // Creates the device; true when it exists afterwards. Returns at once once it exists.
    static bool Initialize();
    // Releases every member in reverse order of creation.
    static void Release();
    // After the device was removed or reset: releases the Direct3D, DXGI, Direct2D device and
    // composition objects and keeps the factories, so that geometries, stroke styles and text
    // formats made before stay usable with the device that Initialize makes next.
    static void ReleaseDevice();

    // Why the Direct3D device stopped working (GetDeviceRemovedReason: DXGI_ERROR_DEVICE_REMOVED,
    // _RESET, ...); S_OK while it works or while there is none. Windows removes a device when its
    // driver is updated or reset or the adapter goes away; every later call on it then fails, and
    // only a new device draws again.
    static HRESULT RemovedReason();
    // The calls in which a removal shows first: resizing a swap chain's buffers, making a
    // surface's targets (the swap chain, its back buffer, the target bitmap), ending a drawing on
    // a context of the device, presenting.
    enum class Call { ResizeBuffers, Targets, EndDraw, Present };
    // Tests only: the next such call fails as it does on a removed device, and from then on every
    // one of them fails and RemovedReason says removed, until the device is released. A release
    // that comes before that call leaves it armed for the next device.
    static void RemoveForTesting(Call at);
    // Whether the call must fail as on a removed device (only ever after RemoveForTesting).
    static bool FailsAsRemoved(Call call);
    // Ends the drawing of a context made on the device: its EndDraw, or D2DERR_RECREATE_TARGET, as
    // a removed device answers, once the test seam removed it.
    static HRESULT EndDraw(ID2D1DeviceContext* context);

    // A path geometry filled by the filler with the given fill mode; null on failure.
    static ComPtr<ID2D1PathGeometry> MakePathGeometry(const std::function<void(ID2D1GeometrySink*)>& filler,
                                                      D2D1_FILL_MODE fillMode);

    // What this device's Direct2D and DirectWrite get wrong (graphics/DrawingQuirks.h), found by
    // read-backs on the resource context at the first call after Initialize and kept until the
    // device is released; nothing is set while the device does not exist.
    static const DrawingQuirks& Quirks();
    // Tests only: the answer Quirks gives instead of the read-backs (surfaces read it when they
    // are initialised); nullopt goes back to the read-backs.
    static void SetQuirksForTesting(std::optional<DrawingQuirks> quirks);

    ~Device();

    // Members in order of creation.
    ComPtr<ID3D11Device> d3dDevice;
    ComPtr<ID3D11DeviceContext> d3dContext;  // returned with the device; not used further
    ComPtr<IDXGIDevice1> dxgiDevice;
    ComPtr<IDXGIFactory2> dxgiFactory;
    ComPtr<ID2D1Factory1> d2dFactory;            // answers ID2D1Factory3 where the platform has it
    ComPtr<ID2D1Device> d2dDevice;               // answers ID2D1Device2 where the platform has it
    ComPtr<ID2D1DeviceContext> resourceContext;  // never bound to a window; shared bitmaps and effects
    ComPtr<IDWriteFactory3> dwriteFactory;
    ComPtr<IWICImagingFactory> wicFactory;
    ComPtr<IDCompositionDevice> compositionDevice;  // may stay empty

    // Which level the Direct2D objects reached (1.1 when false).
    bool factoryLevel3 = false;
    bool deviceLevel2 = false;
    bool contextLevel2 = false;

private:
    std::optional<DrawingQuirks> quirks_;

    Device() = default;
    void ReleaseMembers();
    // A device context made on the Direct2D device; the level-2 interface when the device has it.
    friend class Graphics;
    ComPtr<ID2D1DeviceContext> CreateContext(bool* level2) const;
};

class Graphics::Fonts {
public:
    // Fills the four slots; called once by start-up after Device::Initialize succeeded.
    static void Initialize();
    // The first family of a non-empty list that the system font collection contains; the first
    // name of the list when none is installed.
    static std::wstring FirstInstalledFamily(const std::vector<std::wstring>& families);
    // The family chosen for the slot; empty until Initialize.
    static const std::wstring& Family(FontSlot slot);
    static const std::wstring& Family(int32_t slot);
    static const std::vector<std::wstring>& Preferences(FontSlot slot);
    // Where the system's font fallback leaves symbols without a font (DrawingQuirks): a fallback
    // that maps arrows, punctuation and the common symbol blocks to the first installed family of
    // SymbolFamilies that has "→", followed by the system's own mappings where the platform can
    // append them. Built on the first call; null where no such family is installed.
    static IDWriteFontFallback* SymbolFallback();
    static const std::vector<std::wstring>& SymbolFamilies();
};

}  // namespace Lorvex
