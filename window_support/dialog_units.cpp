#include "dialog_units.h"

#include <QFontMetrics>
#include <algorithm>

namespace {

// units * base / divisor, rounded to the nearest pixel.
int Scale(int units, int base, int divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& dialogFont) {
    const QFontMetrics metrics(dialogFont);
    // The average width of the 52 Latin letters, rounded, as Windows measures
    // a dialog font; the font's own average width is narrower and would make
    // the window too small for its pictures.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = std::max(1, (letters / 26 + 1) / 2);
    m_nBaseY = std::max(1, metrics.height());
}

int DialogUnits::X(int units) const { return Scale(units, m_nBaseX, 4); }

int DialogUnits::Y(int units) const { return Scale(units, m_nBaseY, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    // Convert the edges, not the size, so neighbouring rectangles that touch
    // in dialog units still touch in pixels.
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}
