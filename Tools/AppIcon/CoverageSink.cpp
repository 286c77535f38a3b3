#include "Tools/AppIcon/CoverageSink.h"

#include <algorithm>
#include <cmath>

#include "graphics/Geometry.h"

namespace Lorvex::AppIcon {
namespace {

constexpr int kLinesPerRow = 16;
// Curve pieces as long as this, at most, along the curve's control polygon.
constexpr double kPieceLength = 0.5;
constexpr int kMostPieces = 1024;

// Adds weight times the share of each pixel of the row that [from, to) covers.
void AddSpan(std::vector<double>& row, double from, double to, double weight) {
    const double width = static_cast<double>(row.size() - 1);
    from = std::max(from, 0.0);
    to = std::min(to, width);
    if (to <= from) {
        return;
    }
    const auto first = static_cast<size_t>(from);
    const auto last = static_cast<size_t>(to);
    if (first == last) {
        row[first] += (to - from) * weight;
        return;
    }
    row[first] += (static_cast<double>(first + 1) - from) * weight;
    for (size_t i = first + 1; i < last; ++i) {
        row[i] += weight;
    }
    row[last] += (to - static_cast<double>(last)) * weight;  // the spare last entry takes a span ending at the edge
}

}  // namespace

HRESULT STDMETHODCALLTYPE CoverageSink::QueryInterface(REFIID, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
}

CoverageSink::Point CoverageSink::Pixel(D2D1_POINT_2F point) const {
    return {static_cast<double>(point.x) * scale_ + dx_, static_cast<double>(point.y) * scale_ + dy_};
}

void CoverageSink::LineTo(Point to) {
    if (to.y != current_.y) {
        edges_.push_back({current_, to});
    }
    current_ = to;
}

void STDMETHODCALLTYPE CoverageSink::BeginFigure(D2D1_POINT_2F point, D2D1_FIGURE_BEGIN) {
    if (open_) {
        EndFigure(D2D1_FIGURE_END_CLOSED);
    }
    open_ = true;
    start_ = current_ = Pixel(point);
    currentPoint_ = point;
}

void STDMETHODCALLTYPE CoverageSink::EndFigure(D2D1_FIGURE_END) {
    if (open_) {
        LineTo(start_);
        open_ = false;
    }
}

void STDMETHODCALLTYPE CoverageSink::AddLine(D2D1_POINT_2F point) {
    LineTo(Pixel(point));
    currentPoint_ = point;
}

void STDMETHODCALLTYPE CoverageSink::AddLines(const D2D1_POINT_2F* points, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        AddLine(points[i]);
    }
}

void STDMETHODCALLTYPE CoverageSink::AddBezier(const D2D1_BEZIER_SEGMENT* bezier) {
    const Point p0 = current_;
    const Point p1 = Pixel(bezier->point1);
    const Point p2 = Pixel(bezier->point2);
    const Point p3 = Pixel(bezier->point3);
    const double polygon = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                           std::hypot(p3.x - p2.x, p3.y - p2.y);
    const int pieces = std::clamp(static_cast<int>(std::ceil(polygon / kPieceLength)), 1, kMostPieces);
    for (int i = 1; i < pieces; ++i) {
        const double t = static_cast<double>(i) / pieces;
        const double u = 1 - t;
        const double a = u * u * u;
        const double b = 3 * u * u * t;
        const double c = 3 * u * t * t;
        const double d = t * t * t;
        LineTo({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    // The end exactly where the path says, so the next segment starts there.
    LineTo(p3);
    currentPoint_ = bezier->point3;
}

void STDMETHODCALLTYPE CoverageSink::AddBeziers(const D2D1_BEZIER_SEGMENT* beziers, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        AddBezier(&beziers[i]);
    }
}

void STDMETHODCALLTYPE CoverageSink::AddQuadraticBezier(const D2D1_QUADRATIC_BEZIER_SEGMENT* bezier) {
    // The same curve as a cubic: each inner control point two thirds of the way to the quadratic's.
    const D2D1_POINT_2F from = currentPoint_;
    const D2D1_POINT_2F control = bezier->point1;
    const D2D1_POINT_2F to = bezier->point2;
    const D2D1_BEZIER_SEGMENT cubic = {
        D2D1::Point2F(from.x + 2.0f / 3 * (control.x - from.x), from.y + 2.0f / 3 * (control.y - from.y)),
        D2D1::Point2F(to.x + 2.0f / 3 * (control.x - to.x), to.y + 2.0f / 3 * (control.y - to.y)), to};
    AddBezier(&cubic);
}

void STDMETHODCALLTYPE CoverageSink::AddQuadraticBeziers(const D2D1_QUADRATIC_BEZIER_SEGMENT* beziers, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        AddQuadraticBezier(&beziers[i]);
    }
}

void STDMETHODCALLTYPE CoverageSink::AddArc(const D2D1_ARC_SEGMENT* arc) {
    for (const D2D1_BEZIER_SEGMENT& bezier : Geometry::ArcBeziers(currentPoint_, *arc)) {
        AddBezier(&bezier);
    }
}

std::vector<float> CoverageSink::Coverage(uint32_t width, uint32_t height) const {
    std::vector<Edge> edges = edges_;
    if (open_ && current_.y != start_.y) {
        edges.push_back({current_, start_});
    }
    struct Crossing {
        double x;
        int winding;
    };
    std::vector<Crossing> crossings;
    std::vector<double> row(static_cast<size_t>(width) + 1);
    std::vector<float> coverage(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0.0);
        for (int line = 0; line < kLinesPerRow; ++line) {
            const double at = y + (line + 0.5) / kLinesPerRow;
            crossings.clear();
            for (const Edge& edge : edges) {
                const bool down = edge.from.y <= at && at < edge.to.y;
                const bool up = edge.to.y <= at && at < edge.from.y;
                if (down || up) {
                    const double x =
                        edge.from.x + (at - edge.from.y) * (edge.to.x - edge.from.x) / (edge.to.y - edge.from.y);
                    crossings.push_back({x, down ? 1 : -1});
                }
            }
            std::sort(crossings.begin(), crossings.end(),
                      [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].winding;
                const bool inside = mode_ == D2D1_FILL_MODE_WINDING ? winding != 0 : i % 2 == 0;
                if (inside) {
                    AddSpan(row, crossings[i].x, crossings[i + 1].x, 1.0 / kLinesPerRow);
                }
            }
        }
        for (uint32_t x = 0; x < width; ++x) {
            coverage[static_cast<size_t>(y) * width + x] = static_cast<float>(std::clamp(row[x], 0.0, 1.0));
        }
    }
    return coverage;
}

}  // namespace Lorvex::AppIcon
