#include <windows.h>

#include <unordered_map>

#include "graphics/BitmapPixels.h"
#include "graphics/Device.h"
#include "graphics/Images.h"

namespace Lorvex {

std::shared_ptr<Image> Image::Create(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels) {
    ID2D1DeviceContext* context = Graphics::Device::Instance().resourceContext.Get();
    if (!context || width == 0 || height == 0 || !Images::SanePictureSize(width, height) ||
        pixels.size() != uint64_t(width) * height) {
        return nullptr;
    }
    auto image = std::make_shared<Image>();
    image->bitmap = MakeBitmapFromPixels(context, width, height, pixels, 96.0f);
    if (!image->bitmap) {
        return nullptr;
    }
    image->width = static_cast<float>(width);
    image->height = static_cast<float>(height);
    return image;
}

namespace Images {
namespace {

// Key: the path, "|" and the decode limit. A failed load is kept as an empty pointer.
std::unordered_map<std::wstring, std::shared_ptr<Image>>& Cache() {
    static std::unordered_map<std::wstring, std::shared_ptr<Image>> cache;
    return cache;
}

bool SmallEnoughToDecode(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) <= MaxPictureBytes;
}

std::shared_ptr<Image> Decode(const std::wstring& path) {
    IWICImagingFactory* factory = Graphics::Device::Instance().wicFactory.Get();
    if (!factory || !SmallEnoughToDecode(path)) {
        return nullptr;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                  decoder.Put()))) {
        return nullptr;
    }
    const std::optional<DecodedFrame> frame = DecodeFrame(factory, decoder.Get(), DrawDecodeLimit);
    return frame ? Image::Create(frame->width, frame->height, frame->pixels) : nullptr;
}

}  // namespace

std::shared_ptr<Image> LoadImage(const std::wstring& path) {
    const std::wstring key = path + L"|" + std::to_wstring(DrawDecodeLimit);
    auto& cache = Cache();
    if (const auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    return cache.emplace(key, Decode(path)).first->second;
}

void ForgetFailedImages() {
    std::erase_if(Cache(), [](const auto& entry) { return !entry.second; });
}

void ForgetAllImages() {
    Cache().clear();
}

}  // namespace Images
}  // namespace Lorvex
