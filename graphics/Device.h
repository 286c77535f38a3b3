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
#include <string>
#include <vector>

#include "foundation/ComPtr.h"
#include "graphics/D2DExtra.h"
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

    // A path geometry filled by the filler with the given fill mode; null on failure.
    static ComPtr<ID2D1PathGeometry> MakePathGeometry(const std::function<void(ID2D1GeometrySink*)>& filler,
                                                      D2D1_FILL_MODE fillMode);

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
};

}  // namespace Lorvex
