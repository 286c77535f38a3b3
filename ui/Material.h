#pragma once
// The material widgets drawn once per frame with the window's Ui: the text field with its floating
// label and notched outline or underline, the switch and the slider, plus the pure geometry they
// are built from (paddings, the outline's gap behind a floated label, the switch's thumb travel,
// the slider's value under the pointer) so it can be checked without a surface.
// UI thread only. Nothing fails: without a device nothing is drawn, and the widgets still answer
// input and keep their animation state in the Ui.

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Types.h"
#include "ui/TextFieldStyle.h"
#include "ui/Ui.h"

namespace Lorvex::UI::Material {

// Salts of the per-id animation amounts.
inline constexpr uint64_t kFloatingLabelSalt = 0x41A7;
inline constexpr uint64_t kFocusUnderlineSalt = 0x0F0C;
inline constexpr uint64_t kSwitchSalt = 0x5A1D;

// What a text field looks like and how it edits. The application's kit fills one from its own
// field options.
struct TextFieldOptions {
    float fontSize = 14;
    int32_t alignment = 0;  // 1 centres a single line
    std::wstring tooltip;
    bool outlined = true;  // notched outline; else a filled field with an underline
    // A left padding below 0 makes all four automatic.
    float paddingLeft = 14;
    float paddingTop = 14;
    float paddingRight = 12;
    float paddingBottom = 12;
    Color background;  // filled behind the field when its alpha is above 0
    // Corner radius of that background; below 0 it follows the outline (4 outlined, square filled).
    float backgroundRadius = -1;
    std::wstring label;
    bool multiLine = false;
    int32_t font = 0;  // Graphics::FontSlot
    Color textColor;   // replaces the theme's text colour when its alpha is above 0
    bool noDecoration = false;
    bool password = false;  // honoured only on a single line
};

struct Paddings {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
};

// The options' paddings, or the automatic ones: 16, 16, 12, 16 outlined, 0, 4, 0, 4 filled.
Paddings FieldPaddings(const TextFieldOptions& options);

// The stretch of the outline's top edge left open behind a floated label; empty when start >= end.
struct Notch {
    float start = 0;
    float end = 0;
};

// The gap for a label whose left edge is at labelX, labelWidth wide, floated by amount (0 resting,
// 1 on the outline): 4 DIPs of air on each side once the label has started to move.
Notch LabelNotch(float labelX, float labelWidth, float amount);

// The corner radius the field's background is filled with.
float BackgroundRadius(const TextFieldOptions& options);

// The regions the outline is stroked in, each clipped on its own, so that the notch stays open:
// below the top edge, then the top strip left and right of the notch. Regions without width are
// left out; without a notch the one region is the whole outline's surroundings.
std::vector<Rect> OutlineRegions(const Rect& rect, Notch notch);

// The editor style of a text field: theme colours, the paddings (top and bottom less 1 for the
// editor's border), no background or border of its own since the decoration draws them.
TextFieldStyle MakeTextFieldStyle(const TextFieldOptions& options);

// Edits text in place and draws the field with its label and decoration; true when the text was
// edited this frame. A disabled field is drawn faded, keeps the hover from what lies beneath and
// is never focused.
bool TextField(Ui& ui, uint64_t id, const Rect& rect, std::wstring& text, const TextFieldOptions& options,
               bool enabled = true);

// Draws the label (floated onto the outline, or a placeholder in a filled field) and returns the
// outline's gap for it.
Notch FloatingLabel(Ui& ui, uint64_t id, const Rect& rect, const TextFieldOptions& options, bool hasText, bool focused);

// The outline with its notch, or the filled field's bottom line and growing focus underline.
void TextFieldDecoration(Ui& ui, uint64_t id, const Rect& rect, const TextFieldOptions& options, bool hovered,
                         bool focused, bool enabled, Notch notch);

// How far the thumb has gone from off (0) to on (1) for the position amount o, overshooting its
// end a little before it settles.
float SwitchTravel(float amount, bool on);

// A 52 x 32 switch centred in rect; true when it was clicked this frame (the caller flips on).
bool Switch(Ui& ui, uint64_t id, const Rect& rect, bool on, bool enabled = true);

// The value under the pointer at window x for a slider in rect (local coordinates) under the Ui's
// transform; min when max <= min.
float SliderValueAt(const Ui& ui, const Rect& rect, float pointerX, float min, float max);

// A horizontal slider over [min, max]; while the thumb is held value follows the pointer. True
// in frames where the value really changed; dragging, when given, receives whether it is held.
bool Slider(Ui& ui, uint64_t id, const Rect& rect, float& value, float min, float max, const Color& colour,
            bool* dragging = nullptr);

// Colour helpers of the widgets: channel-wise interpolation, and the colour with its alpha scaled.
Color MixColor(const Color& from, const Color& to, float t);
Color ScaleAlpha(Color color, float factor);

}  // namespace Lorvex::UI::Material
