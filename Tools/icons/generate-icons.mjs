// Writes ui/IconPaths.cpp, the path text of every built-in icon, from the Material Design Icons
// package @mdi/js (Pictogrammers, Apache License 2.0). The build needs no npm: the written table
// is checked in, and this is run again only to change or add an icon.
//
//   npm install --no-save --no-package-lock --prefix build/mdi @mdi/js@7.4.47
//   node Tools/icons/generate-icons.mjs build/mdi/node_modules/@mdi/js
//
// The first argument is the installed package's folder; an optional second one is the output
// file (ui/IconPaths.cpp of this tree by default). The order of ICONS must be the order of the
// Icon enumeration in ui/Icons.h: the script compares the two and stops on any difference.

import { readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

// Enumerator of ui/Icons.h, then the mdi export that draws what its name says.
const ICONS = [
    ["Person", "mdiAccount"],
    ["PersonCircle", "mdiAccountCircle"],
    ["PersonEdit", "mdiAccountEdit"],
    ["PersonGroup", "mdiAccountGroup"],
    ["PersonHeart", "mdiAccountHeart"],
    ["People", "mdiAccountMultiple"],
    ["PersonAdd", "mdiAccountPlus"],
    ["AlertCircle", "mdiAlertCircle"],
    ["Warning", "mdiAlert"],
    ["ArrowDown", "mdiArrowDown"],
    ["ArrowLeft", "mdiArrowLeft"],
    ["ArrowRight", "mdiArrowRight"],
    ["MagicWand", "mdiAutoFix"],
    ["BookOpen", "mdiBookOpen"],
    ["Brain", "mdiBrain"],
    ["Block", "mdiBlockHelper"],
    ["Chat", "mdiChat"],
    ["ChatOutline", "mdiChatOutline"],
    ["ChatAdd", "mdiChatPlus"],
    ["ChatTyping", "mdiChatProcessing"],
    ["Check", "mdiCheck"],
    ["CheckboxBlank", "mdiCheckboxBlankOutline"],
    ["CheckboxChecked", "mdiCheckboxMarked"],
    ["CheckCircle", "mdiCheckCircle"],
    ["ChevronDown", "mdiChevronDown"],
    ["ChevronLeft", "mdiChevronLeft"],
    ["ChevronRight", "mdiChevronRight"],
    ["ChevronUp", "mdiChevronUp"],
    ["Close", "mdiClose"],
    ["Cloud", "mdiCloud"],
    ["CloudAlert", "mdiCloudAlert"],
    ["CloudCheck", "mdiCloudCheck"],
    ["CloudOff", "mdiCloudOff"],
    ["CloudOutline", "mdiCloudOutline"],
    ["CloudSync", "mdiCloudSync"],
    ["Settings", "mdiCog"],
    ["Copy", "mdiContentCopy"],
    ["Save", "mdiContentSave"],
    ["Sparkles", "mdiCreation"],
    ["Delete", "mdiDelete"],
    ["DeleteSweep", "mdiDeleteSweep"],
    ["DotsHorizontal", "mdiDotsHorizontal"],
    ["DotsVertical", "mdiDotsVertical"],
    ["Download", "mdiDownload"],
    ["TheaterMasks", "mdiDramaMasks"],
    ["Email", "mdiEmail"],
    ["Eye", "mdiEye"],
    ["EyeOff", "mdiEyeOff"],
    ["Fire", "mdiFire"],
    ["FolderOpen", "mdiFolderOpen"],
    ["Forum", "mdiForum"],
    ["Hand", "mdiHandBackRight"],
    ["Heart", "mdiHeart"],
    ["History", "mdiHistory"],
    ["Home", "mdiHome"],
    ["ImageAdd", "mdiImagePlus"],
    ["InfoCircle", "mdiInformation"],
    ["InfoOutline", "mdiInformationOutline"],
    ["Lightbulb", "mdiLightbulb"],
    ["Lock", "mdiLock"],
    ["Login", "mdiLogin"],
    ["Logout", "mdiLogout"],
    ["Search", "mdiMagnify"],
    ["MapMarker", "mdiMapMarker"],
    ["CaretDown", "mdiMenuDown"],
    ["MessageForward", "mdiMessageArrowRight"],
    ["Message", "mdiMessage"],
    ["MessageText", "mdiMessageText"],
    ["Minus", "mdiMinus"],
    ["Palette", "mdiPalette"],
    ["Pause", "mdiPause"],
    ["Pencil", "mdiPencil"],
    ["PencilOutline", "mdiPencilOutline"],
    ["Play", "mdiPlay"],
    ["Plus", "mdiPlus"],
    ["PlusCircle", "mdiPlusCircle"],
    ["Refresh", "mdiRefresh"],
    ["Restore", "mdiRestore"],
    ["Robot", "mdiRobot"],
    ["Rocket", "mdiRocket"],
    ["Send", "mdiSend"],
    ["SparklesAlt", "mdiCreation"],
    ["Star", "mdiStar"],
    ["Stop", "mdiStop"],
    ["Swap", "mdiSwapHorizontal"],
    ["TextBoxEdit", "mdiTextBoxEdit"],
    ["Translate", "mdiTranslate"],
    ["Tune", "mdiTune"],
    ["Update", "mdiUpdate"],
    ["Moon", "mdiWeatherNight"],
    ["Sun", "mdiWeatherSunny"],
    ["WindowMaximize", "mdiWindowMaximize"],
    ["WindowMinimize", "mdiWindowMinimize"],
    ["WindowRestore", "mdiWindowRestore"],
];

// Icons whose exact text other code and the tests rely on. mdi 7.4.47 gives these very texts;
// should a later release redraw one, the text here is kept and the difference reported.
const PINNED = {
    Check: "M21,7L9,19L3.5,13.5L4.91,12.09L9,16.17L19.59,5.59L21,7Z",
    ChevronDown: "M7.41,8.58L12,13.17L16.59,8.58L18,10L12,16L6,10L7.41,8.58Z",
    Close:
        "M19,6.41L17.59,5L12,10.59L6.41,5L5,6.41L10.59,12L5,17.59L6.41,19L12,13.41L17.59,19L19,17.59L13.41,12L19,6.41Z",
    Plus: "M19,13H13V19H11V13H5V11H11V5H13V11H19V13Z",
    Send: "M2,21L23,12L2,3V10L17,12L2,14V21Z",
    Stop: "M18,18H6V6H18V18Z",
    WindowMinimize: "M20,14H4V10H20",
    WindowMaximize: "M4,4H20V20H4V4M6,8V18H18V8H6Z",
};

// The path reader of graphics/Geometry.cpp knows these commands; any other letter would end a
// shape early. A double quote or backslash would break the C++ literal.
const ALLOWED = /^[MLHVCSQTAZmlhvcsqtaz0-9.,+\-eE ]+$/;

function fail(message) {
    console.error(`generate-icons: ${message}`);
    process.exit(1);
}

const root = resolve(dirname(fileURLToPath(import.meta.url)), "..", "..");
const [packageDir, outputArg] = process.argv.slice(2);
if (!packageDir) {
    fail("usage: node Tools/icons/generate-icons.mjs <folder of @mdi/js> [output file]");
}
const output = outputArg ? resolve(outputArg) : join(root, "ui", "IconPaths.cpp");

const packageJson = JSON.parse(readFileSync(join(packageDir, "package.json"), "utf8"));
if (packageJson.name !== "@mdi/js") {
    fail(`${packageDir} holds ${packageJson.name}, not @mdi/js`);
}
const mdi = createRequire(import.meta.url)(resolve(packageDir, "commonjs", "mdi.js"));

const header = readFileSync(join(root, "ui", "Icons.h"), "utf8");
const enumBody = /enum class Icon : int32_t \{([^}]*)\}/.exec(header);
if (!enumBody) {
    fail("no Icon enumeration found in ui/Icons.h");
}
const enumerators = enumBody[1]
    .split(",")
    .map((item) => item.trim())
    .filter((item) => item.length > 0);
const names = ICONS.map(([name]) => name);
if (enumerators.join(",") !== names.join(",")) {
    const at = enumerators.findIndex((name, i) => name !== names[i]);
    fail(`ui/Icons.h and this script disagree at value ${at}: ${enumerators[at]} / ${names[at]}`);
}

const lines = [];
for (const [index, [name, mdiName]] of ICONS.entries()) {
    let path = mdi[mdiName];
    if (typeof path !== "string" || path.length === 0) {
        fail(`@mdi/js ${packageJson.version} has no ${mdiName} (for ${name})`);
    }
    if (name in PINNED && PINNED[name] !== path) {
        console.warn(`generate-icons: ${mdiName} differs from the pinned ${name}; the pinned text is kept`);
        path = PINNED[name];
    }
    if (!ALLOWED.test(path) || !/^M/.test(path)) {
        fail(`${mdiName} (for ${name}) has a character the path reader does not take`);
    }
    const source = mdiName.replace(/^mdi/, "").replace(/(?<=.)([A-Z])/g, "-$1").toLowerCase();
    lines.push(`    // ${index} ${name}: ${source}`);
    lines.push(`    "${path}",`);
}

const version = packageJson.version;
const text = `// Generated by Tools/icons/generate-icons.mjs from @mdi/js ${version} (Material Design Icons by
// Pictogrammers, Apache License 2.0: see ui/ICONS-LICENSE.txt). Do not edit; to regenerate:
//   npm install --no-save --no-package-lock --prefix build/mdi @mdi/js@${version}
//   node Tools/icons/generate-icons.mjs build/mdi/node_modules/@mdi/js

#include "ui/IconPaths.h"

namespace Lorvex::UI::Material {

// clang-format off
const std::array<std::string_view, kIconCount> kIconPaths = {
${lines.join("\n")}
};
// clang-format on

}  // namespace Lorvex::UI::Material
`;

writeFileSync(output, text);
console.log(`generate-icons: ${ICONS.length} icons from @mdi/js ${packageJson.version} written to ${output}`);
