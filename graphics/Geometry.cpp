#include "graphics/Geometry.h"

#include <charconv>
#include <cmath>
#include <string>

#include "graphics/Device.h"

namespace Lorvex::Geometry {

namespace {

void AddCorner(ID2D1GeometrySink* sink, D2D1_POINT_2F end, float radius) {
    sink->AddArc(
        D2D1::ArcSegment(end, D2D1::SizeF(radius, radius), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE, D2D1_ARC_SIZE_SMALL));
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
            sink_->AddArc(
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

void AddRoundedRect(ID2D1GeometrySink* sink, const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                    float bottomLeft) {
    if (!sink) {
        return;
    }
    const float l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    sink->BeginFigure(D2D1::Point2F(l + topLeft, t), D2D1_FIGURE_BEGIN_FILLED);
    sink->AddLine(D2D1::Point2F(r - topRight, t));
    if (topRight > 0) {
        AddCorner(sink, D2D1::Point2F(r, t + topRight), topRight);
    }
    sink->AddLine(D2D1::Point2F(r, b - bottomRight));
    if (bottomRight > 0) {
        AddCorner(sink, D2D1::Point2F(r - bottomRight, b), bottomRight);
    }
    sink->AddLine(D2D1::Point2F(l + bottomLeft, b));
    if (bottomLeft > 0) {
        AddCorner(sink, D2D1::Point2F(l, b - bottomLeft), bottomLeft);
    }
    sink->AddLine(D2D1::Point2F(l, t + topLeft));
    if (topLeft > 0) {
        AddCorner(sink, D2D1::Point2F(l + topLeft, t), topLeft);
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
