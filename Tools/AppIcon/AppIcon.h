#pragma once
// The program's icon, App/Lorvex.ico (built into Lorvex.exe by App/Lorvex.rc): the mark of
// main/window/Mark.h in the colours of the dark theme, the program's default, drawn on the
// processor from the program's own rounded square, pictogram path and palette at each size Windows
// shows an icon at, with a margin of a sixteenth around the square. The file is checked in, so a
// build needs no drawing; app_tests fail when it no longer matches what these functions draw.
// Make it again after a change of the mark, its colours or the pictogram:
//   scripts/test.sh -R app_tests      (once: builds the tool and prepares the Wine prefix)
//   WINEPREFIX=$PWD/build/release/wine wine build/release/Tools/AppIcon/make_app_icon.exe App/Lorvex.ico
// Any thread whose COM is initialised (the largest size is encoded with WIC); failure shows as an
// empty result.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Lorvex::AppIcon {

// The sizes in the file, smallest first: the small and large icons at 100 % to 250 % and the
// larger views of Explorer.
inline constexpr std::array<uint32_t, 10> kSizes = {16, 20, 24, 32, 40, 48, 64, 96, 128, 256};

// The mark on a transparent square of side pixels: premultiplied 0xAARRGGBB, row after row.
std::vector<uint32_t> MarkPixels(uint32_t side);

// The icon file: one image of each of kSizes, 256 as a PNG and the rest as 32-bit bitmaps with
// alpha (the form every reader of icons knows); empty when the PNG cannot be encoded.
std::string IconFile();

}  // namespace Lorvex::AppIcon
