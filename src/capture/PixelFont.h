#pragma once

#include <cstdint>

#include <QPoint>
#include <QString>

// A 5 x 7 pixel font (digits, capital letters, a few signs) drawn straight into one 8-bit plane, so
// pictures can carry text without a font system (and without a GUI application).
class PixelFont {
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    // Horizontal distance between letters, in font pixels.
    static constexpr int kAdvance = 6;

    // Draws `text` (lower-case letters drawn as capitals, unknown characters as blanks) with its top left
    // at `origin`, each font pixel a `scale` x `scale` square of `value`. Clipped to the plane.
    static void draw(uint8_t *plane, int stride, int width, int height, QPoint origin, int scale,
                     const QString &text, uint8_t value);
    static int textWidth(const QString &text, int scale) { return int(text.size()) * kAdvance * scale; }
};
