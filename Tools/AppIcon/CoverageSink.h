#pragma once
// A geometry sink that draws on the processor: the program's path code (graphics/Geometry.h)
// writes its figures into it as into a Direct2D path, and it tells how much of each pixel they
// cover, antialiased, so that a picture can be made from the same shapes the window draws without
// a device. Curves are cut into straight pieces no longer than half a pixel, each pixel row is
// sampled on 16 lines, and along a line the coverage is exact. Every figure counts as closed, as
// Direct2D fills it. One thread at a time; nothing fails (figures after a fault in the
// path text are simply missing).

#include <d2d1_1.h>

#include <cstdint>
#include <vector>

namespace Lorvex::AppIcon {

class CoverageSink final : public ID2D1GeometrySink {
public:
    // Points are mapped to pixels as point * scale + (dx, dy).
    CoverageSink(float scale, float dx, float dy) : scale_(scale), dx_(dx), dy_(dy) {}

    // The share of each of width x height pixels (row after row) inside the figures, 0..1, by the
    // fill mode last set (alternate, as a new Direct2D path, until SetFillMode).
    std::vector<float> Coverage(uint32_t width, uint32_t height) const;

    // Not reference counted: the sink lives on its owner's stack.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    void STDMETHODCALLTYPE SetFillMode(D2D1_FILL_MODE mode) override { mode_ = mode; }
    void STDMETHODCALLTYPE SetSegmentFlags(D2D1_PATH_SEGMENT) override {}
    void STDMETHODCALLTYPE BeginFigure(D2D1_POINT_2F point, D2D1_FIGURE_BEGIN) override;
    void STDMETHODCALLTYPE AddLines(const D2D1_POINT_2F* points, UINT count) override;
    void STDMETHODCALLTYPE AddBeziers(const D2D1_BEZIER_SEGMENT* beziers, UINT count) override;
    void STDMETHODCALLTYPE EndFigure(D2D1_FIGURE_END) override;
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
    void STDMETHODCALLTYPE AddLine(D2D1_POINT_2F point) override;
    void STDMETHODCALLTYPE AddBezier(const D2D1_BEZIER_SEGMENT* bezier) override;
    void STDMETHODCALLTYPE AddQuadraticBezier(const D2D1_QUADRATIC_BEZIER_SEGMENT* bezier) override;
    void STDMETHODCALLTYPE AddQuadraticBeziers(const D2D1_QUADRATIC_BEZIER_SEGMENT* beziers, UINT count) override;
    void STDMETHODCALLTYPE AddArc(const D2D1_ARC_SEGMENT* arc) override;

private:
    struct Point {
        double x = 0;
        double y = 0;
    };
    struct Edge {
        Point from;
        Point to;
    };

    Point Pixel(D2D1_POINT_2F point) const;
    void LineTo(Point to);

    float scale_;
    float dx_;
    float dy_;
    D2D1_FILL_MODE mode_ = D2D1_FILL_MODE_ALTERNATE;
    bool open_ = false;
    Point start_;                   // of the open figure, in pixels
    Point current_;                 // in pixels
    D2D1_POINT_2F currentPoint_{};  // in the path's own units, where arcs begin
    std::vector<Edge> edges_;
};

}  // namespace Lorvex::AppIcon
