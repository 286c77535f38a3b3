#include "graphics/D2DExtra.h"

#include <algorithm>
#include <cmath>

namespace Lorvex::D2DExtra {

namespace {

FARPROC D2DExport(const char* name) {
    static HMODULE module = LoadLibraryW(L"d2d1.dll");
    return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace

bool ConfigureShadow(ID2D1Effect* effect, ID2D1Bitmap1* source, const D2D1_VECTOR_4F& color, float deviation) {
    constexpr UINT32 blur = 0;    // D2D1_SHADOW_PROP_BLUR_STANDARD_DEVIATION
    constexpr UINT32 colour = 1;  // D2D1_SHADOW_PROP_COLOR
    effect->SetInput(0, source, TRUE);
    return SUCCEEDED(effect->SetValue(colour, D2D1_PROPERTY_TYPE_VECTOR4, reinterpret_cast<const BYTE*>(&color),
                                      sizeof(color))) &&
           SUCCEEDED(effect->SetValue(blur, D2D1_PROPERTY_TYPE_FLOAT, reinterpret_cast<const BYTE*>(&deviation),
                                      sizeof(deviation)));
}

float ComputeMaximumScaleFactor(const D2D1_MATRIX_3X2_F& matrix) {
    using Compute = FLOAT(WINAPI*)(const D2D1_MATRIX_3X2_F*);
    static const auto compute =
        reinterpret_cast<Compute>(reinterpret_cast<void*>(D2DExport("D2D1ComputeMaximumScaleFactor")));
    if (compute) {
        return compute(&matrix);
    }
    // The largest singular value of the linear part: the longest a unit vector can become.
    const double a = matrix._11, b = matrix._12, c = matrix._21, d = matrix._22;
    const double sum = a * a + b * b + c * c + d * d;
    const double det = a * d - b * c;
    const double root = std::sqrt(std::max(0.0, sum * sum / 4 - det * det));
    return static_cast<float>(std::sqrt(sum / 2 + root));
}

D2D1_MATRIX_3X2_F MakeRotateMatrix(float angle, D2D1_POINT_2F center) {
    using Make = void(WINAPI*)(FLOAT, D2D1_POINT_2F, D2D1_MATRIX_3X2_F*);
    static const auto make = reinterpret_cast<Make>(reinterpret_cast<void*>(D2DExport("D2D1MakeRotateMatrix")));
    D2D1_MATRIX_3X2_F matrix;
    if (make) {
        make(angle, center, &matrix);
        return matrix;
    }
    const double radians = angle * 3.14159265358979323846 / 180.0;
    const auto cosine = static_cast<float>(std::cos(radians));
    const auto sine = static_cast<float>(std::sin(radians));
    matrix._11 = cosine;
    matrix._12 = sine;
    matrix._21 = -sine;
    matrix._22 = cosine;
    matrix._31 = center.x - center.x * cosine + center.y * sine;
    matrix._32 = center.y - center.x * sine - center.y * cosine;
    return matrix;
}

}  // namespace Lorvex::D2DExtra
