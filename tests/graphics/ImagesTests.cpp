#include "graphics/Images.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Files.h"
#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/support/TestFiles.h"

using namespace Lorvex;
using namespace Lorvex::Testing;

namespace {

// The UI thread's apartment, entered once and never left: the device keeps COM objects for the
// life of the process.
void EnterApartment() {
    static const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)entered;
}

ComPtr<IWICImagingFactory> TestFactory() {
    EnterApartment();
    ComPtr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory.PutVoid());
    return factory;
}

// Straight (not premultiplied) BGRA as a 32-bit value: 0xAARRGGBB.
constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;  // straight BGRA
};

// A picture with some texture, so that no encoder shrinks it to almost nothing.
Picture MakePicture(uint32_t width, uint32_t height, const std::function<uint32_t(uint32_t, uint32_t)>& pixel = {}) {
    Picture picture{width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            picture.pixels[size_t(y) * width + x] =
                pixel ? pixel(x, y) : Argb(255, (x * 255) / width, (y * 255) / height, (x * 7 + y * 13) & 255);
        }
    }
    return picture;
}

std::string StreamContent(IStream* stream) {
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        return {};
    }
    std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

// Encodes the pictures as the frames of one file of the container format; GIF frames are stored
// as indexes into the fixed web palette.
std::string EncodeFile(const GUID& container, const std::vector<Picture>& frames) {
    const ComPtr<IWICImagingFactory> factory = TestFactory();
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    if (!factory || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put())) ||
        FAILED(factory->CreateEncoder(container, nullptr, encoder.Put())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))) {
        return {};
    }
    for (const Picture& picture : frames) {
        ComPtr<IWICBitmap> bitmap;
        ComPtr<IWICBitmapFrameEncode> frame;
        ComPtr<IPropertyBag2> options;
        if (FAILED(factory->CreateBitmapFromMemory(picture.width, picture.height, GUID_WICPixelFormat32bppBGRA,
                                                   picture.width * 4, UINT(picture.pixels.size() * 4),
                                                   (BYTE*)picture.pixels.data(), bitmap.Put())) ||
            FAILED(encoder->CreateNewFrame(frame.Put(), options.Put())) || FAILED(frame->Initialize(options.Get())) ||
            FAILED(frame->SetSize(picture.width, picture.height))) {
            return {};
        }
        WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
        ComPtr<IWICPalette> palette;
        if (container == GUID_ContainerFormatGif) {
            format = GUID_WICPixelFormat8bppIndexed;
            if (FAILED(factory->CreatePalette(palette.Put())) ||
                FAILED(palette->InitializePredefined(WICBitmapPaletteTypeFixedWebPalette, FALSE)) ||
                FAILED(frame->SetPalette(palette.Get()))) {
                return {};
            }
        }
        ComPtr<IWICFormatConverter> converter;
        if (FAILED(frame->SetPixelFormat(&format)) || FAILED(factory->CreateFormatConverter(converter.Put())) ||
            FAILED(converter->Initialize(bitmap.Get(), format, WICBitmapDitherTypeNone, palette.Get(), 0.0,
                                         palette ? WICBitmapPaletteTypeFixedWebPalette : WICBitmapPaletteTypeCustom)) ||
            FAILED(frame->WriteSource(converter.Get(), nullptr)) || FAILED(frame->Commit())) {
            return {};
        }
    }
    if (FAILED(encoder->Commit())) {
        return {};
    }
    return StreamContent(stream.Get());
}

std::string Png(const Picture& picture) {
    return EncodeFile(GUID_ContainerFormatPng, {picture});
}
std::string Jpeg(const Picture& picture) {
    return EncodeFile(GUID_ContainerFormatJpeg, {picture});
}

// What a file holds, read back independently of the code under test.
struct Inspected {
    GUID container{};
    UINT frames = 0;
    Picture first;  // straight BGRA
};

std::optional<Inspected> Inspect(const std::string& bytes) {
    const ComPtr<IWICImagingFactory> factory = TestFactory();
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    Inspected result;
    if (!factory || FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory((BYTE*)bytes.data(), DWORD(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.Put())) ||
        FAILED(decoder->GetContainerFormat(&result.container)) || FAILED(decoder->GetFrameCount(&result.frames)) ||
        FAILED(decoder->GetFrame(0, frame.Put())) ||
        FAILED(frame->GetSize(&result.first.width, &result.first.height)) ||
        FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return std::nullopt;
    }
    result.first.pixels.resize(size_t(result.first.width) * result.first.height);
    if (FAILED(converter->CopyPixels(nullptr, result.first.width * 4, UINT(result.first.pixels.size() * 4),
                                     (BYTE*)result.first.pixels.data()))) {
        return std::nullopt;
    }
    return result;
}

bool AllOpaque(const Picture& picture) {
    for (uint32_t pixel : picture.pixels) {
        if ((pixel >> 24) != 255) {
            return false;
        }
    }
    return true;
}

// A valid picture followed by zero bytes up to the given total size: decoders ignore the tail.
std::string PaddedTo(std::string picture, uint64_t size) {
    picture.resize(static_cast<size_t>(size), '\0');
    return picture;
}

const std::vector<Picture> TwoFrames = {
    MakePicture(24, 16), MakePicture(24, 16, [](uint32_t x, uint32_t) { return Argb(255, 0, x * 10, 255); })};

class ImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnterApartment();
        ASSERT_TRUE(TestFactory()) << "no imaging factory";
    }
};

// ---------------------------------------------------------------------------------------------
// Recompress and Encode

using ImagesRecompress = ImagesTest;

TEST_F(ImagesRecompress, ChoosesTheFormatByModeAndContent) {
    struct Case {
        const char* name;
        int alphaOfOnePixel;  // -1: every pixel opaque
        int mode;
        bool png;
    };
    const Case cases[] = {
        {"opaque, by content", -1, Images::RecompressMode::ByContent, false},
        {"one pixel nearly opaque, by content", 254, Images::RecompressMode::ByContent, true},
        {"one pixel fully transparent, by content", 0, Images::RecompressMode::ByContent, true},
        {"translucent, forced JPEG", 128, Images::RecompressMode::Jpeg, false},
        {"opaque, forced PNG", -1, Images::RecompressMode::Png, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture = MakePicture(64, 48);
        if (c.alphaOfOnePixel >= 0) {
            picture.pixels[64 * 20 + 30] = Argb(c.alphaOfOnePixel, 200, 40, 40);
        }
        const auto result = Images::Recompress(Png(picture), c.mode, 0.85f);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->png, c.png);
        const auto written = Inspect(result->bytes);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->container, c.png ? GUID_ContainerFormatPng : GUID_ContainerFormatJpeg);
        EXPECT_EQ(written->first.width, 64u);
        EXPECT_EQ(written->first.height, 48u);
        if (!c.png) {
            EXPECT_TRUE(AllOpaque(written->first));
        }
    }
}

TEST_F(ImagesRecompress, ScalesTheLongerSideDownTo1600) {
    struct Case {
        uint32_t width, height, expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {3200, 2400, 1600, 1200},  // landscape
        {1200, 3200, 600, 1600},   // portrait
        {4000, 1, 1600, 1},        // a side that would round to 0 stays 1
        {1600, 900, 1600, 900},    // at the limit: untouched
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const auto result =
            Images::Recompress(Jpeg(MakePicture(c.width, c.height)), Images::RecompressMode::ByContent, 0.85f);
        ASSERT_TRUE(result);
        const auto written = Inspect(result->bytes);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->first.width, c.expectedWidth);
        EXPECT_EQ(written->first.height, c.expectedHeight);
    }
}

// The decoder hands out premultiplied pixels; PNG stores straight alpha, so a translucent colour
// must come back as it went in, not darkened by its alpha.
TEST_F(ImagesRecompress, TranslucentColoursSurviveAsTheyWere) {
    const uint32_t translucent = Argb(128, 200, 100, 50);
    const auto result = Images::Recompress(Png(MakePicture(8, 8, [&](uint32_t, uint32_t) { return translucent; })),
                                           Images::RecompressMode::Png, 0.85f);
    ASSERT_TRUE(result);
    const auto written = Inspect(result->bytes);
    ASSERT_TRUE(written);
    const uint32_t pixel = written->first.pixels[9];
    for (int shift : {24, 16, 8, 0}) {
        EXPECT_NEAR(int((pixel >> shift) & 255), int((translucent >> shift) & 255), 2) << "channel at bit " << shift;
    }
}

TEST_F(ImagesRecompress, GivesNothingForWhatItCannotOrMustNotReencode) {
    const std::string png = Png(MakePicture(40, 30));
    struct Case {
        const char* name;
        std::string bytes;
        bool result;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"not a picture", "just some text, no picture at all", false},
        {"cut-off PNG", png.substr(0, png.size() / 2), false},
        {"two frames", EncodeFile(GUID_ContainerFormatGif, TwoFrames), false},
        {"one GIF frame", EncodeFile(GUID_ContainerFormatGif, {TwoFrames[0]}), true},
        {"file at the size limit", PaddedTo(png, Images::MaxPictureBytes), true},
        {"file above the size limit", PaddedTo(png, Images::MaxPictureBytes + 1), false},
        {"side at the limit", Png(MakePicture(Images::MaxPictureSide, 1)), true},
        {"side above the limit", Png(MakePicture(Images::MaxPictureSide + 1, 1)), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Images::Recompress(c.bytes, Images::RecompressMode::ByContent, 0.85f).has_value(), c.result);
    }
}

// The cloud sync re-encodes on a worker thread of the multithreaded apartment.
TEST_F(ImagesRecompress, WorksOnAWorkerThreadWithCom) {
    const std::string png = Png(MakePicture(32, 32));
    bool withCom = false;
    bool withoutCom = true;
    std::thread([&] {
        withoutCom = Images::Recompress(png, Images::RecompressMode::ByContent, 0.85f).has_value();
        const HRESULT entered = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        withCom = Images::Recompress(png, Images::RecompressMode::ByContent, 0.85f).has_value();
        if (SUCCEEDED(entered)) {
            CoUninitialize();
        }
    }).join();
    EXPECT_TRUE(withCom);
    EXPECT_FALSE(withoutCom) << "a thread without COM gets nothing rather than a crash";
}

TEST(ImagesGuard, PixelSizeLimits) {
    struct Case {
        uint32_t width, height;
        bool sane;
    };
    const Case cases[] = {
        {1, 1, true},
        {0, 10, false},
        {10, 0, false},
        {Images::MaxPictureSide, 1, true},
        {Images::MaxPictureSide + 1, 1, false},
        {1, Images::MaxPictureSide + 1, false},
        {Images::MaxPictureSide, uint32_t(Images::MaxPicturePixels / Images::MaxPictureSide), true},
        {Images::MaxPictureSide, uint32_t(Images::MaxPicturePixels / Images::MaxPictureSide) + 1, false},
        {0xFFFFFFFFu, 0xFFFFFFFFu, false},  // the product would overflow 32 bits
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Images::SanePictureSize(c.width, c.height), c.sane) << c.width << "x" << c.height;
    }
}

TEST_F(ImagesRecompress, EncodeRefusesPixelsThatDoNotMatchTheSize) {
    const std::vector<uint32_t> nine(9, Argb(255, 1, 2, 3));
    EXPECT_TRUE(Images::Encode(0, 9, nine, true, 0.85f).empty());
    EXPECT_TRUE(Images::Encode(4, 4, nine, true, 0.85f).empty());  // would read past the pixels
    EXPECT_TRUE(Images::Encode(2, 2, nine, false, 0.85f).empty());
    const auto written = Inspect(Images::Encode(3, 3, nine, false, 0.85f));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->container, GUID_ContainerFormatJpeg);
}

// ---------------------------------------------------------------------------------------------
// StoreImageFile

class ImagesStore : public ImagesTest {
protected:
    void SetUp() override {
        ImagesTest::SetUp();
        folder = MakeTempFolder(L"images-store");
        base = Files::JoinPath(folder, L"stored");
    }
    void TearDown() override { Files::RemoveTree(folder); }

    std::wstring Source(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = Files::JoinPath(folder, name);
        EXPECT_TRUE(Files::WriteBytes(path, bytes));
        return path;
    }

    std::wstring folder;
    std::wstring base;
};

TEST_F(ImagesStore, LargeOpaquePhotoBecomesA1600PixelJpeg) {
    const std::string source = Jpeg(MakePicture(3200, 2400));
    const std::wstring written = Images::StoreImageFile(Source(L"photo.jpeg", source), base);
    EXPECT_EQ(written, base + L".jpg");
    const auto stored = Inspect(Content(written));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->container, GUID_ContainerFormatJpeg);
    EXPECT_EQ(stored->first.width, 1600u);
    EXPECT_EQ(stored->first.height, 1200u);
    EXPECT_FALSE(Exists(base + L".jpeg"));
}

TEST_F(ImagesStore, LargeTranslucentPictureBecomesAPng) {
    // Noise: PNG size follows the pixel count, so the scaled-down picture is the smaller file.
    const Picture picture = MakePicture(2000, 500, [](uint32_t x, uint32_t y) {
        const uint32_t noise = (x * 2654435761u) ^ (y * 2246822519u);
        return Argb(100 + (noise >> 25), (noise >> 16) & 255, (noise >> 8) & 255, noise & 255);
    });
    const std::wstring written = Images::StoreImageFile(Source(L"sticker.png", Png(picture)), base);
    EXPECT_EQ(written, base + L".png");
    const auto stored = Inspect(Content(written));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->container, GUID_ContainerFormatPng);
    EXPECT_EQ(stored->first.width, 1600u);
    EXPECT_EQ(stored->first.height, 400u);
}

// Whatever re-encoding cannot improve is stored byte for byte under its own extension.
TEST_F(ImagesStore, KeepsTheSourceWhenReencodingDoesNotMakeItSmaller) {
    struct Case {
        const wchar_t* name;
        std::string bytes;
        const wchar_t* extension;
    };
    const Case cases[] = {
        {L"tiny.png", Png(MakePicture(4, 4, [](uint32_t, uint32_t) { return Argb(255, 10, 20, 30); })), L".png"},
        {L"anim.gif", EncodeFile(GUID_ContainerFormatGif, TwoFrames), L".gif"},
        {L"notes.txt", "not a picture", L".txt"},
        {L"noextension", Png(MakePicture(4, 4)), L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        ASSERT_FALSE(c.bytes.empty());
        const std::wstring written = Images::StoreImageFile(Source(c.name, c.bytes), base);
        EXPECT_EQ(written, base + c.extension);
        EXPECT_EQ(Content(written), c.bytes);
        Files::RemoveFile(written);
    }
}

// Too large to decode, so it is never re-encoded, even though a JPEG of it would be far smaller.
TEST_F(ImagesStore, FileAboveTheSizeLimitIsCopiedUnchanged) {
    const std::string source = PaddedTo(Jpeg(MakePicture(640, 480)), Images::MaxPictureBytes + 1);
    const std::wstring written = Images::StoreImageFile(Source(L"huge.jpg", source), base);
    EXPECT_EQ(written, base + L".jpg");
    EXPECT_TRUE(Content(written) == source);
}

TEST_F(ImagesStore, NothingReadableOrWritableGivesEmptyText) {
    EXPECT_EQ(Images::StoreImageFile(Files::JoinPath(folder, L"missing.png"), base), L"");
    EXPECT_EQ(Images::StoreImageFile(folder, base), L"");  // a folder is no picture file

    // The target's parent is a file, so neither the re-encoded nor the plain copy can be written.
    const std::wstring blocker = Source(L"blocker", "x");
    const std::wstring source = Source(L"photo.jpg", Jpeg(MakePicture(2400, 1800)));
    EXPECT_EQ(Images::StoreImageFile(source, Files::JoinPath(blocker, L"stored")), L"");
    EXPECT_EQ(Content(blocker), "x");
}

// ---------------------------------------------------------------------------------------------
// The picture cache and Image::Create: these need the device's resource context.

class ImagesCache : public ImagesStore {
protected:
    void SetUp() override {
        ImagesStore::SetUp();
        ASSERT_TRUE(GraphicsReady()) << "the device needs a display (Xvfb)";
    }
};

TEST_F(ImagesCache, DecodesOncePerPathAtMost384PixelsWide) {
    const std::wstring path = Source(L"wide.png", Png(MakePicture(800, 400)));
    const auto image = Images::LoadImage(path);
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->bitmap);
    EXPECT_EQ(image->width, 384.0f);
    EXPECT_EQ(image->height, 192.0f);
    const D2D1_SIZE_U pixels = image->bitmap->GetPixelSize();
    EXPECT_EQ(pixels.width, 384u);
    EXPECT_EQ(pixels.height, 192u);

    // Served from the cache from now on, even once the file is gone.
    Files::RemoveFile(path);
    EXPECT_EQ(Images::LoadImage(path), image);
}

TEST_F(ImagesCache, FailedLoadIsKeptUntilFailuresAreForgotten) {
    const std::wstring broken = Source(L"late.png", "not yet a picture");
    const std::wstring good = Source(L"good.png", Png(MakePicture(20, 10)));
    const auto kept = Images::LoadImage(good);
    ASSERT_TRUE(kept);
    EXPECT_FALSE(Images::LoadImage(broken));

    ASSERT_TRUE(Files::WriteBytes(broken, Png(MakePicture(20, 10))));
    EXPECT_FALSE(Images::LoadImage(broken)) << "a failure is not retried on its own";

    Images::ForgetFailedImages();
    const auto loaded = Images::LoadImage(broken);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->width, 20.0f);
    EXPECT_EQ(Images::LoadImage(good), kept) << "successful entries stay";
}

TEST_F(ImagesCache, FileAboveTheSizeLimitIsAFailedLoad) {
    const std::wstring path = Source(L"padded.png", PaddedTo(Png(MakePicture(20, 10)), Images::MaxPictureBytes + 1));
    EXPECT_FALSE(Images::LoadImage(path));
}

TEST_F(ImagesCache, CreateNeedsPixelsMatchingASaneSize) {
    const std::vector<uint32_t> six(6, 0xFF102030u);
    EXPECT_FALSE(Image::Create(0, 6, six));
    EXPECT_FALSE(Image::Create(4, 4, six));
    const auto image = Image::Create(3, 2, six);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 3.0f);
    EXPECT_EQ(image->height, 2.0f);
}

// ---------------------------------------------------------------------------------------------
// DrawImage

// Premultiplied opaque colours for Image::Create.
constexpr uint32_t GreenPixel = 0xFF00FF00u;
constexpr uint32_t RedPixel = 0xFFFF0000u;
constexpr uint32_t BluePixel = 0xFF0000FFu;

// A portrait picture in three equal bands: green on top, red in the middle, blue at the bottom.
std::shared_ptr<Image> Bands() {
    std::vector<uint32_t> pixels(30 * 90);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const size_t row = i / 30;
        pixels[i] = row < 30 ? GreenPixel : row < 60 ? RedPixel : BluePixel;
    }
    return Image::Create(30, 90, pixels);
}

class ImagesDraw : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(surface.Ready()) << "the device needs a display (Xvfb)";
        picture = Bands();
        ASSERT_TRUE(picture);
    }
    Offscreen surface{100, 100};
    std::shared_ptr<Image> picture;
};

// Cover fit: the picture fills the box edge to edge and is centred, so only its middle band shows
// in a square box.
TEST_F(ImagesDraw, PortraitPictureFillsASquareBoxCutAtTopAndBottom) {
    surface.Begin();
    surface.graphics.DrawImage(picture, {20, 20, 60, 60}, 0, 1);
    ASSERT_TRUE(surface.End());
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    const int inside[][2] = {{50, 50}, {50, 25}, {50, 75}, {22, 50}, {77, 50}, {25, 25}, {75, 75}};
    for (const auto& point : inside) {
        EXPECT_EQ(surface.At(pixels, point[0], point[1]), RedPixel) << point[0] << "," << point[1];
    }
    EXPECT_EQ(surface.At(pixels, 50, 10), 0xFFFFFFFFu) << "the overflow above the box is cut";
    EXPECT_EQ(surface.At(pixels, 50, 90), 0xFFFFFFFFu) << "the overflow below the box is cut";
}

TEST_F(ImagesDraw, DrawsNothingWithoutPictureOrArea) {
    surface.Begin();
    surface.graphics.DrawImage(nullptr, {0, 0, 100, 100}, 0, 1);
    surface.graphics.DrawImage(std::make_shared<Image>(), {0, 0, 100, 100}, 0, 1);
    surface.graphics.DrawImage(picture, {0, 0, 0, 100}, 0, 1);
    surface.graphics.DrawImage(picture, {0, 0, 100, -5}, 0, 1);
    ASSERT_TRUE(surface.End());
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(surface.At(pixels, 50, 50), 0xFFFFFFFFu);
}

TEST_F(ImagesDraw, HugeRadiusClipsToACircleAndOpacityApplies) {
    // The platform's own masked layer: a platform where it cuts nothing gets the picture as a
    // brush instead.
    ComPtr<ID2D1RectangleGeometry> left;
    Graphics::Device::Instance().d2dFactory->CreateRectangleGeometry(D2D1::RectF(0, 0, 50, 100), left.Put());
    ASSERT_TRUE(left);
    surface.Begin();
    ID2D1DeviceContext* context = surface.graphics.Context();
    ComPtr<ID2D1SolidColorBrush> red;
    context->CreateSolidColorBrush(D2D1::ColorF(1, 0, 0, 1), red.Put());
    context->PushLayer(D2D1::LayerParameters1(D2D1::InfiniteRect(), left.Get()), nullptr);
    context->FillRectangle(D2D1::RectF(0, 0, 100, 100), red.Get());
    context->PopLayer();
    ASSERT_TRUE(surface.End());
    const auto raw = surface.Pixels();
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(surface.graphics.Quirks().layersIgnoreMasks, raw[50 * 100 + 75] == RedPixel);

    surface.Begin();
    surface.graphics.DrawImage(picture, {10, 10, 40, 40}, 1000, 1);
    surface.graphics.DrawImage(picture, {60, 10, 30, 30}, 0, 0.5f);
    ASSERT_TRUE(surface.End());
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(surface.At(pixels, 30, 30), RedPixel) << "centre of the circle";
    EXPECT_EQ(surface.At(pixels, 12, 12), 0xFFFFFFFFu) << "corner outside a circle of radius 20";
    EXPECT_EQ(surface.At(pixels, 30, 11), RedPixel) << "top of the circle";
    const uint32_t half = surface.At(pixels, 75, 25);
    EXPECT_NEAR(Red(half), 255, 2);
    EXPECT_NEAR(Green(half), 128, 3) << "red at half opacity over white";
}

}  // namespace
