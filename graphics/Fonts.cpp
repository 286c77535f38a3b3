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
