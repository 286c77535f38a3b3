// Frame cost of the drawing surface: an off-screen 1920x1080 surface draws a frame of 200
// rounded cards with a glow, an outline and two texts each, 20 of them with a round picture,
// 300 times. Prints the first (cold) frame and the mean and 99th percentile of the rest.
// Each frame is read back (one pixel), so the time includes the rasterising, not only queuing.
// Under Wine and llvmpipe the figures are relative: for comparing our own changes.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "bench/OffscreenFrames.h"
#include "graphics/Graphics.h"
#include "graphics/Images.h"

namespace {

using Lorvex::Color;
using Lorvex::Graphics;
using Lorvex::Image;
using Lorvex::Rect;
using Lorvex::TextStyle;

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr int Cards = 200;
constexpr int Pictures = 20;
constexpr int Frames = 300;

// Pictures made in memory: a 256x256 gradient of its own hue each.
std::vector<std::shared_ptr<Image>> MakePictures() {
    std::vector<std::shared_ptr<Image>> pictures;
    for (int i = 0; i < Pictures; ++i) {
        std::vector<uint32_t> pixels(256 * 256);
        for (uint32_t y = 0; y < 256; ++y) {
            for (uint32_t x = 0; x < 256; ++x) {
                const uint32_t r = (x + i * 40) & 0xFF;
                const uint32_t g = (y + i * 15) & 0xFF;
                const uint32_t b = ((x ^ y) + i * 70) & 0xFF;
                pixels[y * 256 + x] = 0xFF000000 | (r << 16) | (g << 8) | b;
            }
        }
        if (auto picture = Image::Create(256, 256, pixels)) {
            pictures.push_back(picture);
        }
    }
    return pictures;
}

void DrawFrame(Graphics& g, const std::vector<std::shared_ptr<Image>>& pictures, int frame) {
    g.Context()->Clear(D2D1::ColorF(0.08f, 0.08f, 0.1f, 1));
    TextStyle title;
    title.size = 15;
    title.weight = 600;
    title.wrap = false;
    title.ellipsis = true;
    TextStyle subtitle = title;
    subtitle.size = 12;
    subtitle.weight = 400;

    const int columns = 10;
    const float cardWidth = 180;
    const float cardHeight = 46;
    for (int i = 0; i < Cards; ++i) {
        const Rect card = {8 + (i % columns) * 191.0f, 6 + (i / columns) * 53.5f, cardWidth, cardHeight};
        g.GlowRound(card, 12, {0, 0, 0, 0.5f}, 10, 1);
        g.FillRoundRect(card, 12, {0.16f, 0.16f, 0.2f, 1});
        g.StrokeRoundRect(card, 12, {1, 1, 1, 0.08f}, 1);
        float textLeft = card.x + 12;
        if (i < static_cast<int>(pictures.size())) {
            g.DrawImage(pictures[i], {card.x + 8, card.y + 7, 32, 32}, 16, 1);
            textLeft = card.x + 48;
        }
        const std::wstring name = L"Personaje " + std::to_wstring(i + 1);
        g.DrawText(name, {textLeft, card.y + 6, card.x + cardWidth - 8 - textLeft, 20}, {1, 1, 1, 1}, title);
        g.DrawText(L"Última conversación hace unos minutos, en la taberna del puerto",
                   {textLeft, card.y + 26, card.x + cardWidth - 8 - textLeft, 16}, {0.7f, 0.7f, 0.75f, 1}, subtitle);
    }
    // Something that changes every frame, as a typing indicator would.
    g.FillEllipse(Width - 20.0f, Height - 20.0f, 6 + (frame % 4), 6 + (frame % 4), {0.4f, 0.6f, 1, 1});
}

}  // namespace

int main() {
    Lorvex::Bench::OffscreenFrames surface;
    if (!surface.Open(Width, Height)) {
        return 1;
    }
    Graphics& g = surface.graphics;
    const auto pictures = MakePictures();

    std::vector<double> milliseconds;
    milliseconds.reserve(Frames);
    for (int frame = 0; frame < Frames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        g.BeginFrame();
        DrawFrame(g, pictures, frame);
        if (FAILED(g.Context()->EndDraw())) {
            std::printf("drawing failed in frame %d\n", frame);
            return 1;
        }
        g.EndFrame();
        surface.Sync();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        milliseconds.push_back(std::chrono::duration<double, std::milli>(elapsed).count());
    }

    const double first = milliseconds.front();
    std::vector<double> warm(milliseconds.begin() + 1, milliseconds.end());
    const double mean = std::accumulate(warm.begin(), warm.end(), 0.0) / warm.size();
    std::sort(warm.begin(), warm.end());
    const double p99 = warm[std::min(warm.size() - 1, static_cast<size_t>(warm.size() * 0.99))];
    std::printf("draw_bench: %d cards (%zu pictures) at %dx%d, %d frames\n", Cards, pictures.size(), Width, Height,
                Frames);
    std::printf("  first frame %.2f ms; then mean %.2f ms, p99 %.2f ms\n", first, mean, p99);
    const auto counts = g.Counts();
    std::printf("  caches: %zu layouts, %zu formats, %zu glows, %zu realisations\n", counts.textLayouts,
                counts.textFormats, counts.glows, counts.realizations);
    return 0;
}
