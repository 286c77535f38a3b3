#include "foundation/FileDialog.h"

#include <objbase.h>
#include <shobjidl.h>

#include "foundation/CoTaskMem.h"
#include "foundation/ComPtr.h"

namespace Lorvex::Files {
namespace {

// The shell's class and interface ids, defined here so the foundation needs no uuid library.
constexpr CLSID FileOpenDialogClass = {0xDC1C5A9C, 0xE88A, 0x4DDE, {0xA5, 0xA1, 0x60, 0xF8, 0x2A, 0x20, 0xAE, 0xF7}};
constexpr IID FileOpenDialogInterface = {0xD57C7288, 0xD4AD, 0x4768, {0xBE, 0x02, 0x9D, 0x96, 0x95, 0x32, 0xD9, 0x60}};
constexpr IID ShellItemInterface = {0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};

OpenFilePicker& Picker() {
    static OpenFilePicker picker;
    return picker;
}

}  // namespace

void SetOpenFilePickerForTesting(OpenFilePicker picker) {
    Picker() = std::move(picker);
}

std::wstring PickOpenFile(HWND owner, const std::wstring& title,
                          const std::vector<std::pair<std::wstring, std::wstring>>& filters,
                          const std::wstring& startFolder) {
    if (Picker()) {
        return Picker()(owner, title, filters, startFolder);
    }
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(FileOpenDialogClass, nullptr, CLSCTX_INPROC_SERVER, FileOpenDialogInterface,
                                dialog.PutVoid()))) {
        return {};
    }

    if (!filters.empty()) {
        std::vector<COMDLG_FILTERSPEC> specs;
        specs.reserve(filters.size());
        for (const auto& [name, patterns] : filters) {
            specs.push_back({name.c_str(), patterns.c_str()});
        }
        dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    }
    if (!title.empty()) {
        dialog->SetTitle(title.c_str());
    }
    if (!startFolder.empty()) {
        ComPtr<IShellItem> folder;
        if (SUCCEEDED(
                SHCreateItemFromParsingName(startFolder.c_str(), nullptr, ShellItemInterface, folder.PutVoid()))) {
            dialog->SetFolder(folder.Get());
        }
    }

    if (FAILED(dialog->Show(owner))) {
        return {};
    }
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.Put()))) {
        return {};
    }
    CoTaskMemPtr<wchar_t> path;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path.Get()) {
        return {};
    }
    return path.Get();
}

}  // namespace Lorvex::Files
