#include <windows.h>
#include <objidl.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "graphics/Images.h"

namespace Lorvex::Images {
namespace {

// Looked up by name at run time: older shlwapi versions export it by ordinal only, so nothing
// links against it.
using MemStreamFn = IStream*(WINAPI*)(const BYTE*, UINT);

MemStreamFn MemStreamCreator() {
    static const MemStreamFn creator = [] {
        HMODULE shlwapi = LoadLibraryW(L"shlwapi.dll");  // kept for the life of the process
        return shlwapi ? reinterpret_cast<MemStreamFn>(
                             reinterpret_cast<void*>(GetProcAddress(shlwapi, "SHCreateMemStream")))
                       : nullptr;
    }();
    return creator;
}

ComPtr<IStream> MemoryStream(const std::string& bytes) {
    ComPtr<IStream> stream;
    const MemStreamFn create = MemStreamCreator();
    if (create && bytes.size() <= MaxPictureBytes) {
        stream.Attach(create(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
    }
    return stream;
}

// Made for each call on the caller's thread, so that no worker ever shares the device's.
ComPtr<IWICImagingFactory> OwnFactory() {
    ComPtr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory.PutVoid());
    return factory;
}

bool AnyNotOpaque(const std::vector<uint32_t>& pixels) {
    return std::any_of(pixels.begin(), pixels.end(), [](uint32_t pixel) { return (pixel >> 24) < 255; });
}

// The encoded stream's bytes; the stream owns its global memory.
std::string StreamBytes(IStream* stream) {
    HGLOBAL global = nullptr;
    STATSTG stat{};
    if (FAILED(GetHGlobalFromStream(stream, &global)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        return {};
    }
    const uint64_t size = stat.cbSize.QuadPart;
    if (size == 0 || size > GlobalSize(global)) {
        return {};
    }
    const void* data = GlobalLock(global);
    if (!data) {
        return {};
    }
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(size));
    GlobalUnlock(global);
    return bytes;
}

std::string EncodeWith(IWICImagingFactory* factory, uint32_t width, uint32_t height,
                       const std::vector<uint32_t>& pixels, bool png, float quality) {
    if (!factory || width == 0 || height == 0 || !SanePictureSize(width, height) ||
        pixels.size() != uint64_t(width) * height) {
        return {};
    }
    const UINT stride = width * 4;
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(factory->CreateBitmapFromMemory(
            width, height, GUID_WICPixelFormat32bppPBGRA, stride, static_cast<UINT>(pixels.size() * 4),
            reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels.data())), bitmap.Put()))) {
        return {};
    }
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) {
        return {};
    }

    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(
            factory->CreateEncoder(png ? GUID_ContainerFormatPng : GUID_ContainerFormatJpeg, nullptr, encoder.Put())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))) {
        return {};
    }
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(encoder->CreateNewFrame(frame.Put(), options.Put()))) {
        return {};
    }
    if (!png && options) {
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = std::isnan(quality) ? 0.85f : std::clamp(quality, 0.0f, 1.0f);
        if (FAILED(options->Write(1, &option, &value))) {
            return {};
        }
    }
    if (FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(width, height))) {
        return {};
    }

    // The encoder may answer with the nearest format it supports: convert to whatever it took.
    WICPixelFormatGUID format = png ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format))) {
        return {};
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(bitmap.Get(), format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(frame->WriteSource(converter.Get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
        return {};
    }
    return StreamBytes(stream.Get());
}

}  // namespace

bool SanePictureSize(uint32_t width, uint32_t height) {
    return width > 0 && height > 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           uint64_t(width) * height <= MaxPicturePixels;
}

std::optional<DecodedFrame> DecodeFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, uint32_t maxSide) {
    if (!factory || !decoder || maxSide == 0) {
        return std::nullopt;
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(frame->GetSize(&width, &height)) ||
        !SanePictureSize(width, height)) {
        return std::nullopt;
    }
    ComPtr<IWICBitmapSource> source(frame.Get());
    const UINT longer = std::max(width, height);
    if (maxSide < longer) {
        const double factor = double(maxSide) / double(longer);
        width = std::max<UINT>(1, static_cast<UINT>(width * factor));
        height = std::max<UINT>(1, static_cast<UINT>(height * factor));
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(scaler.Put())) ||
            FAILED(scaler->Initialize(frame.Get(), width, height, WICBitmapInterpolationModeFant))) {
            return std::nullopt;
        }
        source = ComPtr<IWICBitmapSource>(scaler.Get());
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return std::nullopt;
    }
    DecodedFrame decoded;
    decoded.width = width;
    decoded.height = height;
    decoded.pixels.resize(size_t(width) * height);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(decoded.pixels.size() * 4),
                                     reinterpret_cast<BYTE*>(decoded.pixels.data())))) {
        return std::nullopt;
    }
    return decoded;
}

std::string Encode(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels, bool png, float quality) {
    const ComPtr<IWICImagingFactory> factory = OwnFactory();
    return EncodeWith(factory.Get(), width, height, pixels, png, quality);
}

std::optional<Recompressed> Recompress(const std::string& bytes, int mode, float quality) {
    if (bytes.empty() || bytes.size() > MaxPictureBytes) {
        return std::nullopt;
    }
    const ComPtr<IWICImagingFactory> factory = OwnFactory();
    if (!factory) {
        return std::nullopt;
    }

    const ComPtr<IStream> stream = MemoryStream(bytes);
    ComPtr<IWICBitmapDecoder> decoder;
    UINT frames = 0;
    if (!stream ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.Put())) ||
        FAILED(decoder->GetFrameCount(&frames)) || frames != 1) {
        return std::nullopt;
    }
    const std::optional<DecodedFrame> frame = DecodeFrame(factory.Get(), decoder.Get(), StoreDecodeLimit);
    if (!frame) {
        return std::nullopt;
    }

    Recompressed result;
    result.png = mode == RecompressMode::Png || (mode == RecompressMode::ByContent && AnyNotOpaque(frame->pixels));
    result.bytes = EncodeWith(factory.Get(), frame->width, frame->height, frame->pixels, result.png, quality);
    if (result.bytes.empty()) {
        return std::nullopt;
    }
    return result;
}

std::optional<DecodedFrame> DecodeBytes(const std::string& bytes, uint32_t maxSide) {
    if (bytes.empty() || bytes.size() > MaxPictureBytes) {
        return std::nullopt;
    }
    const ComPtr<IWICImagingFactory> factory = OwnFactory();
    const ComPtr<IStream> stream = MemoryStream(bytes);
    ComPtr<IWICBitmapDecoder> decoder;
    if (!factory || !stream ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.Put()))) {
        return std::nullopt;
    }
    return DecodeFrame(factory.Get(), decoder.Get(), maxSide);
}

bool DecodesAsPicture(const std::string& bytes) {
    // Scaling still reads every row of the source; a small target keeps the copy cheap.
    constexpr uint32_t kProbeSide = 16;
    return DecodeBytes(bytes, kProbeSide).has_value();
}

}  // namespace Lorvex::Images
