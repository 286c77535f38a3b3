#include "graphics/Device.h"

#include <d3d10.h>

namespace Lorvex {

namespace {

// CLSID_WICImagingFactory2 {317d06e8-5f24-433d-bdf7-79ce68d8abc2}.
constexpr CLSID kWicFactory2 = {0x317d06e8, 0x5f24, 0x433d, {0xbd, 0xf7, 0x79, 0xce, 0x68, 0xd8, 0xab, 0xc2}};

bool CreateD3DDevice(D3D_DRIVER_TYPE driver, UINT flags, Graphics::Device& device) {
    static const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1,
                                               D3D_FEATURE_LEVEL_10_0, D3D_FEATURE_LEVEL_9_3};
    device.d3dContext.Reset();
    device.d3dDevice.Reset();
    const HRESULT hr = D3D11CreateDevice(nullptr, driver, nullptr, flags, levels, 5, D3D11_SDK_VERSION,
                                         device.d3dDevice.Put(), nullptr, device.d3dContext.Put());
    if (SUCCEEDED(hr) && device.d3dDevice) {
        return true;
    }
    device.d3dContext.Reset();
    device.d3dDevice.Reset();
    return false;
}

// DirectComposition is loaded at run time: the library is optional for the device.
HRESULT CreateCompositionDevice(IDXGIDevice* dxgiDevice, IDCompositionDevice** result) {
    using Create = HRESULT(WINAPI*)(IDXGIDevice*, REFIID, void**);
    HMODULE module = LoadLibraryW(L"dcomp.dll");
    if (!module) {
        return E_NOTIMPL;
    }
    auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(module, "DCompositionCreateDevice")));
    if (!create) {
        return E_NOTIMPL;
    }
    return create(dxgiDevice, __uuidof(IDCompositionDevice), reinterpret_cast<void**>(result));
}

// The removal a test asked for: the call that shows it next, and whether it was shown.
struct Removal {
    std::optional<Graphics::Device::Call> armed;
    bool removed = false;
};

Removal& RemovalForTesting() {
    static Removal removal;
    return removal;
}

std::optional<DrawingQuirks>& QuirksForTesting() {
    static std::optional<DrawingQuirks> quirks;
    return quirks;
}

}  // namespace

Graphics::Device& Graphics::Device::Instance() {
    static Device device;
    return device;
}

Graphics::Device::~Device() {
    ReleaseMembers();
}

void Graphics::Device::Release() {
    Instance().ReleaseMembers();
}

void Graphics::Device::ReleaseDevice() {
    Device& device = Instance();
    device.compositionDevice.Reset();
    device.resourceContext.Reset();
    device.d2dDevice.Reset();
    device.dxgiFactory.Reset();
    device.dxgiDevice.Reset();
    device.d3dContext.Reset();
    device.d3dDevice.Reset();
    device.deviceLevel2 = device.contextLevel2 = false;
    device.quirks_.reset();
    RemovalForTesting().removed = false;
}

void Graphics::Device::ReleaseMembers() {
    compositionDevice.Reset();
    wicFactory.Reset();
    dwriteFactory.Reset();
    resourceContext.Reset();
    d2dDevice.Reset();
    d2dFactory.Reset();
    dxgiFactory.Reset();
    dxgiDevice.Reset();
    d3dContext.Reset();
    d3dDevice.Reset();
    factoryLevel3 = deviceLevel2 = contextLevel2 = false;
    quirks_.reset();
    RemovalForTesting().removed = false;
}

HRESULT Graphics::Device::RemovedReason() {
    if (RemovalForTesting().removed) {
        return DXGI_ERROR_DEVICE_REMOVED;
    }
    const Device& device = Instance();
    return device.d3dDevice ? device.d3dDevice->GetDeviceRemovedReason() : S_OK;
}

void Graphics::Device::RemoveForTesting(Call at) {
    RemovalForTesting().armed = at;
}

bool Graphics::Device::FailsAsRemoved(Call call) {
    Removal& removal = RemovalForTesting();
    if (!removal.removed && removal.armed == call) {
        removal.armed.reset();
        removal.removed = true;
    }
    return removal.removed;
}

HRESULT Graphics::Device::EndDraw(ID2D1DeviceContext* context) {
    // Drawing is ended on the context either way: it would stay in its drawing state otherwise.
    const HRESULT hr = context->EndDraw();
    return FailsAsRemoved(Call::EndDraw) ? static_cast<HRESULT>(D2DERR_RECREATE_TARGET) : hr;
}

const DrawingQuirks& Graphics::Device::Quirks() {
    if (QuirksForTesting()) {
        return *QuirksForTesting();
    }
    Device& device = Instance();
    if (!device.resourceContext) {
        static const DrawingQuirks none;
        return none;
    }
    if (!device.quirks_) {
        device.quirks_ = ProbeDrawingQuirks(device.d2dFactory.Get(), device.resourceContext.Get(),
                                            device.dwriteFactory.Get());
    }
    return *device.quirks_;
}

void Graphics::Device::SetQuirksForTesting(std::optional<DrawingQuirks> quirks) {
    QuirksForTesting() = quirks;
}

bool Graphics::Device::Initialize() {
    Device& device = Instance();
    if (device.d2dDevice) {
        return true;
    }

    // Only BGRA, which Direct2D needs: an adapter without video decoding (a virtual machine, some
    // remote sessions) refuses a device asked for video support, which would drop to WARP.
    if (!CreateD3DDevice(D3D_DRIVER_TYPE_HARDWARE, D3D11_CREATE_DEVICE_BGRA_SUPPORT, device) &&
        !CreateD3DDevice(D3D_DRIVER_TYPE_WARP, D3D11_CREATE_DEVICE_BGRA_SUPPORT, device)) {
        return false;
    }

    if (auto multithread = device.d3dDevice.Query<ID3D10Multithread>(__uuidof(ID3D10Multithread))) {
        multithread->SetMultithreadProtected(TRUE);
    }

    device.dxgiDevice = device.d3dDevice.Query<IDXGIDevice1>(__uuidof(IDXGIDevice1));
    if (!device.dxgiDevice) {
        return false;
    }
    device.dxgiDevice->SetMaximumFrameLatency(1);

    {
        ComPtr<IDXGIAdapter> adapter;
        if (FAILED(device.dxgiDevice->GetAdapter(adapter.Put())) || !adapter) {
            return false;
        }
        device.dxgiFactory.Reset();
        if (FAILED(adapter->GetParent(__uuidof(IDXGIFactory2), device.dxgiFactory.PutVoid())) || !device.dxgiFactory) {
            return false;
        }
    }

    // A factory kept from a lost device is used again: what it made stays drawable.
    if (!device.d2dFactory) {
        D2D1_FACTORY_OPTIONS options = {D2D1_DEBUG_LEVEL_NONE};
        device.factoryLevel3 = SUCCEEDED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, D2DExtra::IID_Factory3,
                                                           &options, device.d2dFactory.PutVoid())) &&
                               device.d2dFactory;
        if (!device.factoryLevel3 &&
            (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory1), &options,
                                      device.d2dFactory.PutVoid())) ||
             !device.d2dFactory)) {
            return false;
        }
    }

    // ID2D1Factory3::CreateDevice makes the same object as the 1.1 call; its level-2 interface is
    // asked for afterwards so that a platform without it keeps working.
    if (FAILED(device.d2dFactory->CreateDevice(device.dxgiDevice.Get(), device.d2dDevice.Put())) || !device.d2dDevice) {
        device.d2dDevice.Reset();
        return false;
    }
    if (auto level2 = device.d2dDevice.Query<ID2D1Device>(D2DExtra::IID_Device2)) {
        device.d2dDevice = level2;
        device.deviceLevel2 = true;
    }

    device.resourceContext = device.CreateContext(&device.contextLevel2);
    if (!device.resourceContext) {
        device.d2dDevice.Reset();
        return false;
    }

    if ((!device.dwriteFactory &&
         FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory3),
                                    reinterpret_cast<IUnknown**>(device.dwriteFactory.Put())))) ||
        !device.dwriteFactory) {
        device.d2dDevice.Reset();
        return false;
    }

    if ((!device.wicFactory && FAILED(CoCreateInstance(kWicFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                                       __uuidof(IWICImagingFactory), device.wicFactory.PutVoid()))) ||
        !device.wicFactory) {
        device.d2dDevice.Reset();
        return false;
    }

    device.compositionDevice.Reset();
    CreateCompositionDevice(device.dxgiDevice.Get(), device.compositionDevice.Put());
    return true;
}

ComPtr<ID2D1DeviceContext> Graphics::Device::CreateContext(bool* level2) const {
    if (level2) {
        *level2 = false;
    }
    ComPtr<ID2D1DeviceContext> context;
    if (!d2dDevice || FAILED(d2dDevice->CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE, context.Put()))) {
        return {};
    }
    if (auto newer = context.Query<ID2D1DeviceContext>(D2DExtra::IID_DeviceContext2)) {
        if (level2) {
            *level2 = true;
        }
        return newer;
    }
    return context;
}

ComPtr<ID2D1PathGeometry> Graphics::Device::MakePathGeometry(const std::function<void(ID2D1GeometrySink*)>& filler,
                                                             D2D1_FILL_MODE fillMode) {
    Device& device = Instance();
    if (!device.d2dFactory) {
        return {};
    }
    ComPtr<ID2D1PathGeometry> geometry;
    if (FAILED(device.d2dFactory->CreatePathGeometry(geometry.Put())) || !geometry) {
        return {};
    }
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(geometry->Open(sink.Put())) || !sink) {
        return {};
    }
    sink->SetFillMode(fillMode);
    if (filler) {
        filler(sink.Get());
    }
    sink->Close();
    return geometry;
}

}  // namespace Lorvex
