#pragma once
// Pictures: decoding with WIC into premultiplied BGRA, Direct2D bitmaps shared by every window,
// the process-wide cache of decoded pictures by path, and re-encoding a picture into a smaller PNG
// or JPEG before it is stored or uploaded.
//
// EXIF orientation is not applied: a photo is shown and stored as its pixels lie in the file.

#include <windows.h>
#include <d2d1_1.h>
#include <wincodec.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/ComPtr.h"

// winuser.h maps LoadImage to LoadImageW; the picture cache's own LoadImage keeps its name.
#undef LoadImage

namespace Lorvex {

// A decoded picture as a bitmap on the device's resource context: B8G8R8A8 premultiplied at 96 DPI,
// so its size in DIPs is its size in pixels. UI thread only.
struct Image {
    ComPtr<ID2D1Bitmap1> bitmap;
    float width = 0;
    float height = 0;

    // Empty when the device has no resource context, a side is 0, the pixel count does not match or
    // the bitmap cannot be made.
    static std::shared_ptr<Image> Create(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels);
};

namespace Images {

// Nothing is decoded from a file or buffer larger than this, nor a picture whose pixel size
// SanePictureSize refuses: a damaged or hostile file is a failed load, never a huge allocation.
inline constexpr uint64_t MaxPictureBytes = 50ull * 1024 * 1024;
inline constexpr uint32_t MaxPictureSide = 16384;
inline constexpr uint64_t MaxPicturePixels = 1ull << 27;

// Longest side of a picture decoded for drawing, and of a picture re-encoded for storing.
inline constexpr uint32_t DrawDecodeLimit = 384;
inline constexpr uint32_t StoreDecodeLimit = 1600;

bool SanePictureSize(uint32_t width, uint32_t height);

// The picture at path, at most DrawDecodeLimit pixels on its longer side, from the process-wide
// cache; a failed load is cached too (as an empty pointer) and is not retried until
// ForgetFailedImages. UI thread only.
std::shared_ptr<Image> LoadImage(const std::wstring& path);

// Drops every cached failure, so those paths are read again on their next use. UI thread only.
void ForgetFailedImages();

// Drops the whole cache, after the device its bitmaps were made on was lost. UI thread only.
void ForgetAllImages();

struct Recompressed {
    std::string bytes;  // the encoded file
    bool png = false;   // PNG when true, JPEG when false
};

// The mode of Recompress.
namespace RecompressMode {
inline constexpr int ByContent = 0;  // PNG when any pixel is not fully opaque, else JPEG
inline constexpr int Jpeg = 1;
inline constexpr int Png = 2;
}  // namespace RecompressMode

// A single-frame picture decoded at most StoreDecodeLimit pixels on its longer side and encoded
// again in the format mode names (a RecompressMode: 0 by content, 1 JPEG, 2 PNG); quality is the
// JPEG quality 0..1. None when the bytes are no picture, have several frames, or encoding fails.
// Keeps no state and uses an imaging factory of its own, not the device's (the cloud sync
// re-encodes on a worker thread): safe on any thread whose COM is initialised, none on a thread
// without COM.
std::optional<Recompressed> Recompress(const std::string& bytes, int mode, float quality);

// True when the bytes are a picture whose first frame decodes whole. The pixels are read (at a
// small size), not only the header, so a file cut short fails too. Any thread whose COM is
// initialised, like Recompress.
bool DecodesAsPicture(const std::string& bytes);

// Stores the picture at sourcePath as basePath (the target without extension) plus ".png" or
// ".jpg" when re-encoding made it smaller, else as an unchanged copy under the source's own
// extension. Returns the written path, empty when the source cannot be read or nothing could be
// written.
std::wstring StoreImageFile(const std::wstring& sourcePath, const std::wstring& basePath);

// The steps the functions above are made of.
struct DecodedFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;  // premultiplied BGRA, row after row, no padding
};

// The first frame of the decoder, scaled down (Fant) so that its longer side is at most maxSide.
std::optional<DecodedFrame> DecodeFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, uint32_t maxSide);

// The first frame of the picture held in bytes, as DecodeFrame gives it; none when the bytes are
// no picture. Any thread whose COM is initialised, like Recompress.
std::optional<DecodedFrame> DecodeBytes(const std::string& bytes, uint32_t maxSide);

// The pixels encoded as a PNG (straight alpha) or JPEG (no alpha) file; empty on failure. Any thread
// whose COM is initialised, like Recompress.
std::string Encode(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels, bool png, float quality);

}  // namespace Images
}  // namespace Lorvex
