#pragma once
// The built-in pictograms: vector shapes in a 24 x 24 box, filled in one colour and scaled to fit
// a rectangle. Each shape is made into a path geometry once per Direct2D factory (the geometries
// belong to the factory and serve every window; a device rebuilt after a loss has a new factory
// and gets new geometries). UI thread only. A value outside the enumeration, a geometry the
// factory could not make, or drawing before the device exists, draws nothing.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/Graphics.h"

namespace Lorvex::UI::Material {

// Screens name icons by these values: the order is fixed.
enum class Icon : int32_t {
    Person,
    PersonCircle,
    PersonEdit,
    PersonGroup,
    PersonHeart,
    People,
    PersonAdd,
    AlertCircle,
    Warning,
    ArrowDown,
    ArrowLeft,
    ArrowRight,
    MagicWand,
    BookOpen,
    Brain,
    Block,
    Chat,
    ChatOutline,
    ChatAdd,
    ChatTyping,
    Check,
    CheckboxBlank,
    CheckboxChecked,
    CheckCircle,
    ChevronDown,
    ChevronLeft,
    ChevronRight,
    ChevronUp,
    Close,
    Cloud,
    CloudAlert,
    CloudCheck,
    CloudOff,
    CloudOutline,
    CloudSync,
    Settings,
    Copy,
    Save,
    Sparkles,
    Delete,
    DeleteSweep,
    DotsHorizontal,
    DotsVertical,
    Download,
    TheaterMasks,
    Email,
    Eye,
    EyeOff,
    Fire,
    FolderOpen,
    Forum,
    Hand,
    Heart,
    History,
    Home,
    ImageAdd,
    InfoCircle,
    InfoOutline,
    Lightbulb,
    Lock,
    Login,
    Logout,
    Search,
    MapMarker,
    CaretDown,
    MessageForward,
    Message,
    MessageText,
    Minus,
    Palette,
    Pause,
    Pencil,
    PencilOutline,
    Play,
    Plus,
    PlusCircle,
    Refresh,
    Restore,
    Robot,
    Rocket,
    Send,
    SparklesAlt,
    Star,
    Stop,
    Swap,
    TextBoxEdit,
    Translate,
    Tune,
    Update,
    Moon,
    Sun,
    WindowMaximize,
    WindowMinimize,
    WindowRestore,
};

inline constexpr int32_t kIconCount = 94;

// The icon's path text (24 x 24 box, origin top left), in static storage; empty for a value
// outside the enumeration.
std::string_view PathData(Icon icon);

// The icon's geometry, made on first use and kept while the device's factory lasts; the cache
// owns it. Null outside the enumeration, without a device, or when the factory failed (which is
// not retried with the same factory).
ID2D1PathGeometry* IconGeometry(Icon icon);

// How many geometries the cache has made so far, for tests of the cache.
size_t IconGeometriesMade();

// Fills the icon in the colour, as large as fits the rect with its aspect kept, centred.
// Nothing for an empty rect or an icon without a geometry.
void DrawIcon(Graphics& graphics, Icon icon, const Rect& rect, const Color& color);

}  // namespace Lorvex::UI::Material
