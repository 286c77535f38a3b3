#pragma once
// Forward declarations of the window handle and the Direct2D, DirectWrite, DXGI and
// DirectComposition types that graphics headers name only by pointer or reference, so that a
// widget including them is not handed the platform headers (a hundred thousand lines and more).
// A file that calls into one of these types includes its platform header itself (graphics/Device.h
// brings them all). Declarations only: no thread rules, nothing fails.
//
// Each declaration matches the platform's own: the interfaces are structs, the value types are
// typedefs of the D2D_ structs, HWND is a pointer to struct HWND__ (STRICT, the default) and
// HRESULT a long.

struct HWND__;
typedef HWND__* HWND;
// winnt.h: typedef LONG HRESULT, LONG being long.
typedef long HRESULT;

struct D2D_MATRIX_3X2_F;
typedef D2D_MATRIX_3X2_F D2D1_MATRIX_3X2_F;
struct D2D_POINT_2F;
typedef D2D_POINT_2F D2D1_POINT_2F;

struct ID2D1Bitmap1;
struct ID2D1Brush;
struct ID2D1DeviceContext;
struct ID2D1Effect;
struct ID2D1Factory1;
struct ID2D1Geometry;
struct ID2D1PathGeometry;
struct ID2D1LinearGradientBrush;
struct ID2D1RadialGradientBrush;
struct ID2D1SolidColorBrush;
struct ID2D1StrokeStyle;
struct IDCompositionTarget;
struct IDCompositionVisual;
struct IDWriteFactory;
struct IDWriteTextFormat;
struct IDWriteTextLayout;
struct IDXGISwapChain1;

// graphics/D2DExtra.h
namespace Lorvex::D2DExtra {
struct ID2D1DeviceContext1;
struct ID2D1GeometryRealization;
}  // namespace Lorvex::D2DExtra
