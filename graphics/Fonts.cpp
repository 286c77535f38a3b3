#include "graphics/Device.h"

#include <array>

namespace Lorvex {

namespace {

std::array<std::wstring, 4>& Table() {
    static std::array<std::wstring, 4> table;
    return table;
}

}  // namespace

const std::vector<std::wstring>& Graphics::Fonts::Preferences(FontSlot slot) {
    static const std::vector<std::wstring> lists[4] = {
        {L"Segoe UI", L"Tahoma"},
        {L"Segoe MDL2 Assets", L"Segoe Fluent Icons"},
        {L"Cascadia Code", L"Consolas", L"Courier New"},
        {L"Consolas", L"Courier New"},
    };
    const auto index = static_cast<size_t>(slot);
    return lists[index < 4 ? index : 0];
}

std::wstring Graphics::Fonts::FirstInstalledFamily(const std::vector<std::wstring>& families) {
    if (families.empty()) {
        return {};
    }
    // Called through the base interface: IDWriteFactory3 hides this overload.
    IDWriteFactory* factory = Device::Instance().dwriteFactory.Get();
    if (factory) {
        for (const auto& family : families) {
            ComPtr<IDWriteFontCollection> collection;
            if (FAILED(factory->GetSystemFontCollection(collection.Put(), FALSE)) || !collection) {
                continue;
            }
            UINT32 index = 0;
            BOOL exists = FALSE;
            if (SUCCEEDED(collection->FindFamilyName(family.c_str(), &index, &exists)) && exists) {
                return family;
            }
        }
    }
    return families.front();
}

const std::vector<std::wstring>& Graphics::Fonts::SymbolFamilies() {
    static const std::vector<std::wstring> families = {L"Segoe UI Symbol", L"DejaVu Sans", L"Noto Sans Symbols2",
                                                       L"Noto Sans Symbols", L"FreeSerif"};
    return families;
}

IDWriteFontFallback* Graphics::Fonts::SymbolFallback() {
    static const ComPtr<IDWriteFontFallback> fallback = [] {
        ComPtr<IDWriteFontFallback> made;
        IDWriteFactory3* factory = Device::Instance().dwriteFactory.Get();
        ComPtr<IDWriteFontCollection> collection;
        ComPtr<IDWriteFontFallbackBuilder> builder;
        // GetSystemFontCollection through the base interface: IDWriteFactory3 hides this overload.
        if (!factory ||
            FAILED(static_cast<IDWriteFactory*>(factory)->GetSystemFontCollection(collection.Put(), FALSE)) ||
            !collection || FAILED(factory->CreateFontFallbackBuilder(builder.Put())) || !builder) {
            return made;
        }
        std::wstring family;
        for (const std::wstring& candidate : SymbolFamilies()) {
            UINT32 index = 0;
            BOOL exists = FALSE;
            ComPtr<IDWriteFontFamily> found;
            ComPtr<IDWriteFont> font;
            BOOL has = FALSE;
            if (SUCCEEDED(collection->FindFamilyName(candidate.c_str(), &index, &exists)) && exists &&
                SUCCEEDED(collection->GetFontFamily(index, found.Put())) &&
                SUCCEEDED(found->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                                      DWRITE_FONT_STYLE_NORMAL, font.Put())) &&
                SUCCEEDED(font->HasCharacter(0x2192, &has)) && has) {
                family = candidate;
                break;
            }
        }
        if (family.empty()) {
            return made;
        }
        // General punctuation to the miscellaneous symbols and arrows, and the supplemental
        // punctuation: only characters the chosen font of a text lacks ever reach a fallback.
        const DWRITE_UNICODE_RANGE ranges[] = {{0x2000, 0x2BFF}, {0x2E00, 0x2E7F}};
        const wchar_t* names[] = {family.c_str()};
        if (FAILED(builder->AddMapping(ranges, 2, names, 1, nullptr, nullptr, nullptr, 1.0f))) {
            return made;
        }
        // The system's own mappings after ours (Wine 8 cannot append them: its texts then fall
        // back only through ours).
        ComPtr<IDWriteFontFallback> system;
        if (SUCCEEDED(factory->GetSystemFontFallback(system.Put())) && system) {
            builder->AddMappings(system.Get());
        }
        if (FAILED(builder->CreateFontFallback(made.Put()))) {
            made.Reset();
        }
        return made;
    }();
    return fallback.Get();
}

void Graphics::Fonts::Initialize() {
    for (int slot = 0; slot < 4; ++slot) {
        Table()[slot] = FirstInstalledFamily(Preferences(static_cast<FontSlot>(slot)));
    }
}

const std::wstring& Graphics::Fonts::Family(FontSlot slot) {
    return Family(static_cast<int32_t>(slot));
}

const std::wstring& Graphics::Fonts::Family(int32_t slot) {
    // An out-of-range slot reads as the UI family rather than past the table.
    return Table()[slot >= 0 && slot < 4 ? slot : 0];
}

}  // namespace Lorvex
