#include "graphics/TextCarets.h"

#include "graphics/TextStyle.h"

namespace Lorvex {

bool TextCarets::Build(IDWriteTextLayout* layout, int32_t align) {
    lines_.clear();
    if (!layout) {
        return false;
    }

    UINT32 lineCount = 0;
    layout->GetLineMetrics(nullptr, 0, &lineCount);
    if (lineCount == 0) {
        return false;
    }
    std::vector<DWRITE_LINE_METRICS> lineMetrics(lineCount);
    if (FAILED(layout->GetLineMetrics(lineMetrics.data(), lineCount, &lineCount))) {
        return false;
    }

    UINT32 clusterCount = 0;
    layout->GetClusterMetrics(nullptr, 0, &clusterCount);
    std::vector<DWRITE_CLUSTER_METRICS> clusterMetrics(clusterCount);
    if (clusterCount > 0 && FAILED(layout->GetClusterMetrics(clusterMetrics.data(), clusterCount, &clusterCount))) {
        return false;
    }

    const float maxWidth = layout->GetMaxWidth();
    size_t cluster = 0;
    uint32_t position = 0;
    uint32_t clusterPosition = 0;
    float top = 0;
    for (const auto& metrics : lineMetrics) {
        Line line;
        line.start = position;
        line.length = metrics.length;
        line.newline = metrics.newlineLength;
        line.top = top;
        line.height = metrics.height;
        float content = 0;
        const uint32_t end = position + metrics.length;
        const uint32_t visibleEnd = end - metrics.trailingWhitespaceLength;
        while (cluster < clusterMetrics.size() && clusterPosition < end) {
            const auto& source = clusterMetrics[cluster];
            line.clusters.push_back({clusterPosition, source.length, source.width});
            if (clusterPosition < visibleEnd) {
                content += source.width;
            }
            clusterPosition += source.length;
            ++cluster;
        }
        if (align == TextAlign::Center) {
            line.left = (maxWidth - content) / 2;
        }
        if (align == TextAlign::Trailing) {
            line.left = maxWidth - content;
        }
        top += metrics.height;
        position = end;
        lines_.push_back(std::move(line));
    }
    return true;
}

int64_t TextCarets::IndexAt(float x, float y) const {
    if (lines_.empty()) {
        return 0;
    }
    const Line* line = &lines_.back();
    for (const auto& candidate : lines_) {
        if (y < candidate.top + candidate.height) {
            line = &candidate;
            break;
        }
    }
    float left = line->left;
    const uint32_t end = line->start + line->length - line->newline;
    for (const auto& cluster : line->clusters) {
        if (cluster.position >= end) {
            break;
        }
        if (x < left + cluster.width / 2) {
            return cluster.position;
        }
        left += cluster.width;
    }
    return end;
}

bool TextCarets::CaretAt(uint32_t position, bool trailing, Caret* caret) const {
    for (const auto& line : lines_) {
        if (position >= line.start + line.length && &line != &lines_.back()) {
            continue;
        }
        float x = line.left;
        for (const auto& cluster : line.clusters) {
            if (cluster.position + cluster.length <= position) {
                x += cluster.width;
            } else {
                if (trailing && cluster.position <= position) {
                    x += cluster.width;
                }
                break;
            }
        }
        caret->x = x;
        caret->y = line.top;
        caret->height = line.height;
        return true;
    }
    return false;
}

bool TextCarets::Locate(IDWriteTextLayout* layout, int32_t align, uint32_t position, bool trailing, Caret* caret) {
    if (!layout) {
        return false;
    }
    FLOAT x = 0;
    FLOAT y = 0;
    DWRITE_HIT_TEST_METRICS metrics = {};
    if (SUCCEEDED(layout->HitTestTextPosition(position, trailing, &x, &y, &metrics))) {
        caret->x = x;
        caret->y = y;
        caret->height = metrics.height;
        return true;
    }
    // Hit testing missing (Wine: E_NOTIMPL).
    TextCarets carets;
    return carets.Build(layout, align) && carets.CaretAt(position, trailing, caret);
}

}  // namespace Lorvex
