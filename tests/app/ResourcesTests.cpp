// The resources of the built Lorvex.exe, read as the system reads them from a file it does not
// run: the icon (every size, each image what Tools/AppIcon draws from the program's mark now, so a
// mark changed without making the icon file again fails here), the version information (the
// build's version) and the manifest (read by the system's own side-by-side reader, which refuses
// to start a program whose manifest it cannot read).

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <cstring>
#include <string>
#include <vector>

#include "App/Config/Config.h"
#include "App/Config/Resources.h"
#include "Tools/AppIcon/AppIcon.h"
#include "graphics/Images.h"
#include "tests/support/ProgramProcess.h"

namespace Lorvex {
namespace {

// The icon group's directory as resources hold it: entries name RT_ICON ids, not file offsets.
#pragma pack(push, 2)
struct GroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupEntry {
    BYTE width;  // 0 stands for 256
    BYTE height;
    BYTE colors;
    BYTE reserved;
    WORD planes;
    WORD bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// Lorvex.exe loaded as a data file: its resources, none of its code.
class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        path = Testing::ProgramPath(2);  // from tests\app
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
    }
    void TearDown() override {
        if (module) {
            FreeLibrary(module);
        }
    }

    // The resource's bytes; empty when there is none.
    std::string Resource(LPCWSTR type, LPCWSTR name) const {
        const HRSRC found = FindResourceW(module, name, type);
        const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found)) : std::string();
    }

    std::wstring path;
    HMODULE module = nullptr;
};

uint32_t Read32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof(value));
    return value;
}

// An icon image of side pixels as premultiplied 0xAARRGGBB, row after row: a PNG decoded by WIC,
// or the 32-bit bitmap form (straight alpha, bottom row first, the mask after it). Empty when the
// image is neither.
std::vector<uint32_t> IconPixels(const std::string& image, uint32_t side) {
    if (image.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
        const std::optional<Images::DecodedFrame> frame = Images::DecodeBytes(image, side);
        return frame && frame->width == side && frame->height == side ? frame->pixels : std::vector<uint32_t>();
    }
    const size_t colours = sizeof(BITMAPINFOHEADER);
    if (image.size() < colours + size_t(side) * side * 4 || Read32(image, 0) != colours || Read32(image, 4) != side ||
        Read32(image, 8) != side * 2 || Read32(image, 12) != (32u << 16 | 1u)) {
        return {};
    }
    std::vector<uint32_t> pixels(size_t(side) * side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const uint32_t straight = Read32(image, colours + (size_t(side - 1 - y) * side + x) * 4);
            const uint32_t alpha = straight >> 24;
            uint32_t pixel = alpha << 24;
            for (const int shift : {0, 8, 16}) {
                pixel |= ((((straight >> shift) & 0xFF) * alpha + 127) / 255) << shift;
            }
            pixels[size_t(y) * side + x] = pixel;
        }
    }
    return pixels;
}

// Pixels where a channel differs by more than the rounding of one alpha conversion each way.
size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    size_t differing = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int delta = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
            if (delta > 2 || delta < -2) {
                ++differing;
                break;
            }
        }
    }
    return differing + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

TEST_F(ProgramResources, TheIconHoldsEverySizeDrawnFromTheMarkAsItIsNow) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(LORVEX_ICON_RESOURCE));
    ASSERT_GE(group.size(), sizeof(GroupHeader));
    GroupHeader header;
    std::memcpy(&header, group.data(), sizeof(header));
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(group.size(), sizeof(GroupHeader) + header.count * sizeof(GroupEntry));

    std::vector<uint32_t> sizes;
    for (WORD i = 0; i < header.count; ++i) {
        GroupEntry entry;
        std::memcpy(&entry, group.data() + sizeof(GroupHeader) + i * sizeof(GroupEntry), sizeof(entry));
        const uint32_t side = entry.width == 0 ? 256 : entry.width;
        sizes.push_back(side);
        EXPECT_EQ(entry.height, entry.width);
        EXPECT_EQ(entry.bits, 32);
        const std::string image = Resource(RT_ICON, MAKEINTRESOURCEW(entry.id));
        ASSERT_EQ(image.size(), entry.bytes) << side;

        // The system makes an icon of it, as the taskbar and Explorer would.
        const HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<char*>(image.data())),
                                                    static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                                    static_cast<int>(side), static_cast<int>(side), 0);
        EXPECT_NE(icon, nullptr) << side;
        if (icon) {
            DestroyIcon(icon);
        }
        // 256 pixels as a PNG, as Windows expects of that size; the rest as bitmaps.
        EXPECT_EQ(image.compare(0, 4, "\x89PNG") == 0, side == 256) << side;
        const std::vector<uint32_t> pixels = IconPixels(image, side);
        ASSERT_EQ(pixels.size(), size_t(side) * side) << side << ": neither a PNG nor a 32-bit bitmap";
        EXPECT_EQ(Differing(pixels, AppIcon::MarkPixels(side)), 0u)
            << side << " px: App/Lorvex.ico is not what the mark draws now; make it again (Tools/AppIcon/AppIcon.h)";
    }
    EXPECT_EQ(sizes, std::vector<uint32_t>(AppIcon::kSizes.begin(), AppIcon::kSizes.end()));
    CoUninitialize();

    // The window loads the icon by its id at the system's sizes: each comes from its own image.
    for (const int side : {16, 20, 24, 32, 48, 256}) {
        const auto icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(LORVEX_ICON_RESOURCE), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << side;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << side;
        BITMAP colours = {};
        GetObjectW(info.hbmColor, sizeof(colours), &colours);
        EXPECT_EQ(colours.bmWidth, side);
        EXPECT_EQ(colours.bmBitsPixel, 32) << side;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(AppIcon, DrawsTheMarkInsideAClearMargin) {
    // At 256 pixels: a margin of 16, the square from the accent on the left to the secondary
    // colour on the right, and the white speech bubble (its body above the dots at the middle).
    const std::vector<uint32_t> mark = AppIcon::MarkPixels(256);
    ASSERT_EQ(mark.size(), 256u * 256);
    const auto at = [&](int x, int y) { return mark[size_t(y) * 256 + x]; };
    const auto red = [](uint32_t pixel) { return (pixel >> 16) & 0xFF; };
    const auto blue = [](uint32_t pixel) { return pixel & 0xFF; };
    for (const int edge : {0, 15, 240, 255}) {
        EXPECT_EQ(at(edge, 128) >> 24, 0u) << edge;
        EXPECT_EQ(at(128, edge) >> 24, 0u) << edge;
    }
    EXPECT_EQ(at(0, 0) >> 24, 0u);
    EXPECT_EQ(at(20, 20) >> 24, 0u) << "the corner is rounded";
    EXPECT_EQ(at(20, 128) >> 24, 255u);
    EXPECT_EQ(at(235, 128) >> 24, 255u);
    EXPECT_GT(red(at(20, 128)), blue(at(20, 128)) + 60);
    EXPECT_GT(blue(at(235, 128)), red(at(235, 128)) + 60);
    EXPECT_EQ(at(128, 97), 0xFFFFFFFFu);
}

TEST_F(ProgramResources, TheVersionInformationCarriesTheBuildsVersion) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(LORVEX_VERSION_MINOR, LORVEX_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, LORVEX_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // Spanish, in UTF-16, and the texts Explorer's details show.
    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0C0A);
    EXPECT_EQ(translation[1], 1200);
    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\0C0A04B0\\") + name;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars) || !value) {
            return std::wstring(L"(none)");
        }
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"FileVersion"), std::wstring(Config::kVersion));
    EXPECT_EQ(text(L"ProductVersion"), std::wstring(Config::kVersion));
    EXPECT_EQ(text(L"ProductName"), L"Lorvex");
    EXPECT_EQ(text(L"FileDescription"), L"Lorvex");
    EXPECT_EQ(text(L"OriginalFilename"), L"Lorvex.exe");
}

TEST_F(ProgramResources, TheSystemReadsTheManifestWithItsSettings) {
    ASSERT_FALSE(Resource(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID).empty());
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    const HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the manifest does not read: error " << GetLastError();

    const auto setting = [&](const wchar_t* name) {
        wchar_t value[64] = {};
        SIZE_T written = 0;
        const wchar_t* space = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
        return QueryActCtxSettingsW(0, context, space, name, value, 64, &written) ? std::wstring(value)
                                                                                  : std::wstring(L"(none)");
    };
    EXPECT_EQ(setting(L"dpiAwareness"), L"PerMonitorV2");
    EXPECT_EQ(setting(L"longPathAware"), L"true");

    // Windows 10 and 11's id among the systems it names. Newer systems lay each entry out with one
    // more field, so the id is looked for rather than read at a place.
    std::vector<char> compatibility(4096);
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, compatibility.data(),
                             compatibility.size(), &written));
    const GUID windows10 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    bool named = false;
    for (size_t at = 0; at + sizeof(GUID) <= written && !named; ++at) {
        named = std::memcmp(compatibility.data() + at, &windows10, sizeof(GUID)) == 0;
    }
    EXPECT_TRUE(named);

    // Inside the program's context the common controls come from the side-by-side store's
    // version 6 (Wine's reports itself as 5 all the same, so the file is what tells).
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    const HMODULE controls = LoadLibraryW(L"comctl32.dll");
    DeactivateActCtx(0, cookie);
    ASSERT_NE(controls, nullptr);
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(controls, loaded, MAX_PATH);
    FreeLibrary(controls);
    std::wstring file(loaded);
    std::transform(file.begin(), file.end(), file.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    EXPECT_NE(file.find(L"\\winsxs\\"), std::wstring::npos) << file;
    EXPECT_NE(file.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos) << file;
    ReleaseActCtx(context);
}

}  // namespace
}  // namespace Lorvex
