#pragma once
// The few Direct2D 1.2/1.3 declarations that the MinGW headers lack, written from Microsoft's
// public documentation: geometry realisations on ID2D1DeviceContext1 and the identifiers of the
// level-3 interfaces. Only the methods called here are declared; the order of the virtual methods
// matches the documented interfaces, since calls go through their vtables.

#include <d2d1_1.h>

namespace Lorvex::D2DExtra {

// {a16907d7-bc02-4801-99e8-8cf7f485f774}; has no methods of its own.
struct ID2D1GeometryRealization : public ID2D1Resource {};

// {d37f57e4-6908-459f-a199-e72f24f79987}: ID2D1DeviceContext plus three methods.
struct ID2D1DeviceContext1 : public ID2D1DeviceContext {
    virtual HRESULT STDMETHODCALLTYPE CreateFilledGeometryRealization(ID2D1Geometry* geometry,
                                                                      FLOAT flatteningTolerance,
                                                                      ID2D1GeometryRealization** realization) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateStrokedGeometryRealization(ID2D1Geometry* geometry,
                                                                       FLOAT flatteningTolerance, FLOAT strokeWidth,
                                                                       ID2D1StrokeStyle* strokeStyle,
                                                                       ID2D1GeometryRealization** realization) = 0;
    virtual void STDMETHODCALLTYPE DrawGeometryRealization(ID2D1GeometryRealization* realization,
                                                           ID2D1Brush* brush) = 0;
};

inline constexpr IID IID_GeometryRealization = {
    0xa16907d7, 0xbc02, 0x4801, {0x99, 0xe8, 0x8c, 0xf7, 0xf4, 0x85, 0xf7, 0x74}};
inline constexpr IID IID_DeviceContext1 = {
    0xd37f57e4, 0x6908, 0x459f, {0xa1, 0x99, 0xe7, 0x2f, 0x24, 0xf7, 0x99, 0x87}};
// Level 3: asked for first; Wine 8 lacks the device and the context, so nothing is ever called
// through their own slots, only through the Direct2D 1.1 interfaces they extend.
inline constexpr IID IID_Factory3 = {0x0869759f, 0x4f00, 0x413f, {0xb0, 0x3e, 0x2b, 0xda, 0x45, 0x40, 0x4d, 0x0f}};
inline constexpr IID IID_Device2 = {0xa44472e1, 0x8dfb, 0x4e60, {0x84, 0x92, 0x6e, 0x28, 0x61, 0xc9, 0xca, 0x8b}};
inline constexpr IID IID_DeviceContext2 = {
    0x394ea6a3, 0x0c34, 0x4321, {0x95, 0x0b, 0x6c, 0xa2, 0x0f, 0x0b, 0xe6, 0xc7}};

// CLSID_D2D1Shadow {c67ea361-1863-4e69-89db-695d3e9a5b6b}, named here so that no GUID library is
// linked.
inline constexpr CLSID CLSID_Shadow = {0xc67ea361, 0x1863, 0x4e69, {0x89, 0xdb, 0x69, 0x5d, 0x3e, 0x9a, 0x5b, 0x6b}};

// Sets a shadow effect's input, colour (straight RGBA) and blur standard deviation (DIPs); false
// when the effect does not take them (Wine's has no properties), in which case it must not be
// drawn. The input stays set: a null input crashes some implementations.
bool ConfigureShadow(ID2D1Effect* effect, ID2D1Bitmap1* source, const D2D1_VECTOR_4F& color, float deviation);

// D2D1ComputeMaximumScaleFactor, imported by name; for the uniform scales used here it equals the
// scale, which is what is returned where the export is missing (Wine 8).
float ComputeMaximumScaleFactor(const D2D1_MATRIX_3X2_F& matrix);

// D2D1MakeRotateMatrix, imported by name (angle in degrees, clockwise on screen).
D2D1_MATRIX_3X2_F MakeRotateMatrix(float angle, D2D1_POINT_2F center);

}  // namespace Lorvex::D2DExtra
