#include "graphics/Geometry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "graphics/Device.h"

namespace Lorvex::Geometry {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The largest distance of a cubic Bézier quarter circle from the unit circle (with the usual
// control length 4/3 tan(angle / 4)); for smaller angles it shrinks with the sixth power.
constexpr double kQuarterError = 2.73e-4;
constexpr double kArcTolerance = 0.001;
constexpr int kMaxArcSegments = 64;

void AddCorner(ID2D1GeometrySink* sink, D2D1_POINT_2F from, D2D1_POINT_2F end, float radius) {
    AddArc(sink, from,
           D2D1::ArcSegment(end, D2D1::SizeF(radius, radius), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE, D2D1_ARC_SIZE_SMALL));
}

// The signed angle from (ux, uy) to (vx, vy).
double AngleBetween(double ux, double uy, double vx, double vy) {
    return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
}

// Hands each Bézier segment of the arc to emit, in order; at most kMaxArcSegments of them.
template <typename Emit>
void ForEachArcBezier(D2D1_POINT_2F from, const D2D1_ARC_SEGMENT& arc, Emit&& emit) {
    const D2D1_POINT_2F to = arc.point;
    if (from.x == to.x && from.y == to.y) {
        return;
    }
    double rx = std::fabs(arc.size.width);
    double ry = std::fabs(arc.size.height);
    if (!(rx > 0) || !(ry > 0)) {
        const D2D1_POINT_2F third = {from.x + (to.x - from.x) / 3, from.y + (to.y - from.y) / 3};
        const D2D1_POINT_2F twoThirds = {from.x + 2 * (to.x - from.x) / 3, from.y + 2 * (to.y - from.y) / 3};
        emit(D2D1_BEZIER_SEGMENT{third, twoThirds, to});
        return;
    }

    // The centre form of the arc, as SVG's notes on elliptical arcs derive it.
    const double phi = arc.rotationAngle * kPi / 180;
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    const double dx = (from.x - to.x) / 2.0;
    const double dy = (from.y - to.y) / 2.0;
    const double x1 = cosPhi * dx + sinPhi * dy;
    const double y1 = -sinPhi * dx + cosPhi * dy;
    const double reach = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (reach > 1) {
        rx *= std::sqrt(reach);
        ry *= std::sqrt(reach);
    }
    const double numerator = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double denominator = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double factor = denominator > 0 ? std::sqrt(std::max(0.0, numerator / denominator)) : 0;
    const bool large = arc.arcSize == D2D1_ARC_SIZE_LARGE;
    const bool clockwise = arc.sweepDirection == D2D1_SWEEP_DIRECTION_CLOCKWISE;
    if (large == clockwise) {
        factor = -factor;
    }
    const double cx1 = factor * rx * y1 / ry;
    const double cy1 = -factor * ry * x1 / rx;
    const double cx = cosPhi * cx1 - sinPhi * cy1 + (from.x + to.x) / 2.0;
    const double cy = sinPhi * cx1 + cosPhi * cy1 + (from.y + to.y) / 2.0;
    const double ux = (x1 - cx1) / rx;
    const double uy = (y1 - cy1) / ry;
    const double start = AngleBetween(1, 0, ux, uy);
    double sweep = AngleBetween(ux, uy, (-x1 - cx1) / rx, (-y1 - cy1) / ry);
    if (!clockwise && sweep > 0) {
        sweep -= 2 * kPi;
    } else if (clockwise && sweep < 0) {
        sweep += 2 * kPi;
    }
    if (!std::isfinite(sweep) || !std::isfinite(start)) {
        return;  // coordinates that are not numbers
    }

    // At most a quarter turn each, and as many more as keep the largest radius within tolerance.
    int count = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)));
    const double radius = std::max(rx, ry);
    while (count < kMaxArcSegments &&
           radius * kQuarterError * std::pow(std::fabs(sweep) / count / (kPi / 2), 6) > kArcTolerance) {
        ++count;
    }
    const double step = sweep / count;
    const double control = 4.0 / 3.0 * std::tan(step / 4);
    // A point (or control point) of the unit circle's arc, carried onto the ellipse.
    const auto place = [&](double x, double y) {
        return D2D1::Point2F(static_cast<float>(cx + cosPhi * rx * x - sinPhi * ry * y),
                             static_cast<float>(cy + sinPhi * rx * x + cosPhi * ry * y));
    };
    for (int i = 0; i < count; ++i) {
        const double a0 = start + step * i;
        const double a1 = a0 + step;
        const double c0 = std::cos(a0), s0 = std::sin(a0);
        const double c1 = std::cos(a1), s1 = std::sin(a1);
        D2D1_BEZIER_SEGMENT segment = {place(c0 - control * s0, s0 + control * c0),
                                       place(c1 + control * s1, s1 - control * c1), place(c1, s1)};
        if (i == count - 1) {
            segment.point3 = to;
        }
        emit(segment);
    }
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == ',';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool StartsNumber(char c) {
    return IsDigit(c) || c == '+' || c == '-' || c == '.';
}

// One pass over the text; every step consumes at least one character or stops the reading.
class PathReader {
public:
    PathReader(std::string_view text, ID2D1GeometrySink* sink) : text_(text), sink_(sink) {}

    void Run() {
        char command = 0;
        for (;;) {
            SkipSeparators();
            if (pos_ >= text_.size()) {
                break;
            }
            const char c = text_[pos_];
            if (IsLetter(c)) {
                command = c;
                ++pos_;
            } else if (StartsNumber(c)) {
                // A bare parameter set repeats the previous command; after a move it is a line.
                // Nothing repeats a close, which takes no parameters.
                if (command == 0 || command == 'Z' || command == 'z') {
                    break;
                }
                if (command == 'M') {
                    command = 'L';
                }
                if (command == 'm') {
                    command = 'l';
                }
            } else {
                break;
            }
            if (!Execute(command)) {
                break;
            }
        }
        if (figureOpen_) {
            sink_->EndFigure(D2D1_FIGURE_END_OPEN);
        }
    }

private:
    void SkipSeparators() {
        while (pos_ < text_.size() && IsSeparator(text_[pos_])) {
            ++pos_;
        }
    }

    bool ReadNumber(float* value) {
        SkipSeparators();
        if (pos_ >= text_.size() || !StartsNumber(text_[pos_])) {
            return false;
        }
        size_t i = pos_;
        bool negative = false;
        if (text_[i] == '+' || text_[i] == '-') {
            negative = text_[i++] == '-';
        }
        const size_t digitsStart = i;
        size_t digits = 0;
        while (i < text_.size() && IsDigit(text_[i])) {
            ++i, ++digits;
        }
        if (i < text_.size() && text_[i] == '.') {
            ++i;
            while (i < text_.size() && IsDigit(text_[i])) {
                ++i, ++digits;
            }
        }
        if (digits == 0) {
            return false;
        }
        if (i < text_.size() && (text_[i] == 'e' || text_[i] == 'E')) {
            size_t j = i + 1;
            if (j < text_.size() && (text_[j] == '+' || text_[j] == '-')) {
                ++j;
            }
            if (j < text_.size() && IsDigit(text_[j])) {
                while (j < text_.size() && IsDigit(text_[j])) {
                    ++j;
                }
                i = j;
            }
        }
        double parsed = 0;
        const auto result = std::from_chars(text_.data() + digitsStart, text_.data() + i, parsed);
        if (result.ec != std::errc() && result.ec != std::errc::result_out_of_range) {
            return false;
        }
        pos_ = i;
        *value = static_cast<float>(negative ? -parsed : parsed);
        return true;
    }

    bool ReadFlag(bool* flag) {
        SkipSeparators();
        if (pos_ < text_.size() && (text_[pos_] == '0' || text_[pos_] == '1')) {
            *flag = text_[pos_++] == '1';
            return true;
        }
        float value = 0;
        if (!ReadNumber(&value)) {
            return false;
        }
        *flag = value != 0;
        return true;
    }

    bool ReadNumbers(float* values, int count) {
        for (int i = 0; i < count; ++i) {
            if (!ReadNumber(&values[i])) {
                return false;
            }
        }
        return true;
    }

    void EnsureFigure() {
        if (figureOpen_) {
            return;
        }
        sink_->BeginFigure(current_, D2D1_FIGURE_BEGIN_FILLED);
        start_ = current_;
        figureOpen_ = true;
    }

    D2D1_POINT_2F Point(float x, float y, bool relative) const {
        return relative ? D2D1::Point2F(current_.x + x, current_.y + y) : D2D1::Point2F(x, y);
    }

    D2D1_POINT_2F MirroredControl() const {
        if (!lastWasCurve_) {
            return current_;
        }
        return D2D1::Point2F(2 * current_.x - lastControl_.x, 2 * current_.y - lastControl_.y);
    }

    void LineTo(D2D1_POINT_2F point) {
        EnsureFigure();
        sink_->AddLine(point);
        current_ = point;
        lastWasCurve_ = false;
    }

    bool Execute(char command) {
        const bool relative = command >= 'a' && command <= 'z';
        float v[7];
        switch (command) {
        case 'F':
        case 'f':
            return ReadNumber(&v[0]);
        case 'M':
        case 'm': {
            if (!ReadNumbers(v, 2)) {
                return false;
            }
            const D2D1_POINT_2F point = Point(v[0], v[1], relative);
            if (figureOpen_) {
                sink_->EndFigure(D2D1_FIGURE_END_OPEN);
            }
            sink_->BeginFigure(point, D2D1_FIGURE_BEGIN_FILLED);
            figureOpen_ = true;
            current_ = start_ = point;
            lastWasCurve_ = false;
            return true;
        }
        case 'L':
        case 'l':
            if (!ReadNumbers(v, 2)) {
                return false;
            }
            LineTo(Point(v[0], v[1], relative));
            return true;
        case 'H':
        case 'h':
            if (!ReadNumbers(v, 1)) {
                return false;
            }
            LineTo(D2D1::Point2F(relative ? current_.x + v[0] : v[0], current_.y));
            return true;
        case 'V':
        case 'v':
            if (!ReadNumbers(v, 1)) {
                return false;
            }
            LineTo(D2D1::Point2F(current_.x, relative ? current_.y + v[0] : v[0]));
            return true;
        case 'C':
        case 'c': {
            if (!ReadNumbers(v, 6)) {
                return false;
            }
            const auto c1 = Point(v[0], v[1], relative);
            const auto c2 = Point(v[2], v[3], relative);
            const auto end = Point(v[4], v[5], relative);
            EnsureFigure();
            sink_->AddBezier(D2D1::BezierSegment(c1, c2, end));
            Curve(c2, end);
            return true;
        }
        case 'S':
        case 's': {
            if (!ReadNumbers(v, 4)) {
                return false;
            }
            const auto c1 = MirroredControl();
            const auto c2 = Point(v[0], v[1], relative);
            const auto end = Point(v[2], v[3], relative);
            EnsureFigure();
            sink_->AddBezier(D2D1::BezierSegment(c1, c2, end));
            Curve(c2, end);
            return true;
        }
        case 'Q':
        case 'q': {
            if (!ReadNumbers(v, 4)) {
                return false;
            }
            const auto control = Point(v[0], v[1], relative);
            const auto end = Point(v[2], v[3], relative);
            EnsureFigure();
            sink_->AddQuadraticBezier(D2D1::QuadraticBezierSegment(control, end));
            Curve(control, end);
            return true;
        }
        case 'T':
        case 't': {
            if (!ReadNumbers(v, 2)) {
                return false;
            }
            const auto control = MirroredControl();
            const auto end = Point(v[0], v[1], relative);
            EnsureFigure();
            sink_->AddQuadraticBezier(D2D1::QuadraticBezierSegment(control, end));
            Curve(control, end);
            return true;
        }
        case 'A':
        case 'a': {
            bool large = false;
            bool sweep = false;
            if (!ReadNumbers(v, 3) || !ReadFlag(&large) || !ReadFlag(&sweep) || !ReadNumbers(v + 3, 2)) {
                return false;
            }
            const auto end = Point(v[3], v[4], relative);
            EnsureFigure();
            AddArc(sink_, current_,
                   D2D1::ArcSegment(end, D2D1::SizeF(std::fabs(v[0]), std::fabs(v[1])), v[2],
                                    sweep ? D2D1_SWEEP_DIRECTION_CLOCKWISE : D2D1_SWEEP_DIRECTION_COUNTER_CLOCKWISE,
                                    large ? D2D1_ARC_SIZE_LARGE : D2D1_ARC_SIZE_SMALL));
            current_ = end;
            lastWasCurve_ = false;
            return true;
        }
        case 'Z':
        case 'z':
            if (figureOpen_) {
                sink_->EndFigure(D2D1_FIGURE_END_CLOSED);
                figureOpen_ = false;
            }
            current_ = start_;
            return true;
        default:
            return false;
        }
    }

    void Curve(D2D1_POINT_2F control, D2D1_POINT_2F end) {
        lastControl_ = control;
        current_ = end;
        lastWasCurve_ = true;
    }

    std::string_view text_;
    ID2D1GeometrySink* sink_;
    size_t pos_ = 0;
    D2D1_POINT_2F current_ = {0, 0};
    D2D1_POINT_2F start_ = {0, 0};
    D2D1_POINT_2F lastControl_ = {0, 0};
    bool figureOpen_ = false;
    bool lastWasCurve_ = false;
};

}  // namespace

std::vector<D2D1_BEZIER_SEGMENT> ArcBeziers(D2D1_POINT_2F from, const D2D1_ARC_SEGMENT& arc) {
    std::vector<D2D1_BEZIER_SEGMENT> segments;
    ForEachArcBezier(from, arc, [&](const D2D1_BEZIER_SEGMENT& segment) { segments.push_back(segment); });
    return segments;
}

void AddArc(ID2D1GeometrySink* sink, D2D1_POINT_2F from, const D2D1_ARC_SEGMENT& arc) {
    // On the stack: rounded rects are built anew every frame.
    std::array<D2D1_BEZIER_SEGMENT, kMaxArcSegments> segments;
    UINT32 count = 0;
    ForEachArcBezier(from, arc, [&](const D2D1_BEZIER_SEGMENT& segment) { segments[count++] = segment; });
    if (sink && count > 0) {
        sink->AddBeziers(segments.data(), count);
    }
}

void AddRoundedRect(ID2D1GeometrySink* sink, const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                    float bottomLeft) {
    if (!sink) {
        return;
    }
    const float l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    sink->BeginFigure(D2D1::Point2F(l + topLeft, t), D2D1_FIGURE_BEGIN_FILLED);
    sink->AddLine(D2D1::Point2F(r - topRight, t));
    if (topRight > 0) {
        AddCorner(sink, D2D1::Point2F(r - topRight, t), D2D1::Point2F(r, t + topRight), topRight);
    }
    sink->AddLine(D2D1::Point2F(r, b - bottomRight));
    if (bottomRight > 0) {
        AddCorner(sink, D2D1::Point2F(r, b - bottomRight), D2D1::Point2F(r - bottomRight, b), bottomRight);
    }
    sink->AddLine(D2D1::Point2F(l + bottomLeft, b));
    if (bottomLeft > 0) {
        AddCorner(sink, D2D1::Point2F(l + bottomLeft, b), D2D1::Point2F(l, b - bottomLeft), bottomLeft);
    }
    sink->AddLine(D2D1::Point2F(l, t + topLeft));
    if (topLeft > 0) {
        AddCorner(sink, D2D1::Point2F(l, t + topLeft), D2D1::Point2F(l + topLeft, t), topLeft);
    }
    sink->EndFigure(D2D1_FIGURE_END_CLOSED);
}

ComPtr<ID2D1PathGeometry> RoundedRect(const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                                      float bottomLeft) {
    return Graphics::Device::MakePathGeometry(
        [&](ID2D1GeometrySink* sink) { AddRoundedRect(sink, rect, topLeft, topRight, bottomRight, bottomLeft); },
        D2D1_FILL_MODE_WINDING);
}

D2D1_FILL_MODE PathDataFillMode(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsSeparator(text[i]) && text[i] != ',') {
        ++i;
    }
    const bool winding = i + 1 < text.size() && (text[i] == 'F' || text[i] == 'f') && text[i + 1] == '1';
    return winding ? D2D1_FILL_MODE_WINDING : D2D1_FILL_MODE_ALTERNATE;
}

void ReadPathData(std::string_view text, ID2D1GeometrySink* sink) {
    if (sink) {
        PathReader(text, sink).Run();
    }
}

ComPtr<ID2D1PathGeometry> FromPathData(std::string_view text) {
    return Graphics::Device::MakePathGeometry([text](ID2D1GeometrySink* sink) { ReadPathData(text, sink); },
                                              PathDataFillMode(text));
}

}  // namespace Lorvex::Geometry
