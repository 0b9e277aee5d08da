#pragma once

#include <QFont>
#include <QRect>

// Converts dialog-template coordinates to pixels. A dialog unit is a quarter
// of the dialog font's average character width horizontally and an eighth of
// its height vertically, so a window laid out in dialog units keeps its
// proportions whatever font and screen it gets.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& dialogFont);

    int X(int units) const;
    int Y(int units) const;
    // A template rectangle: left, top, width and height in dialog units.
    QRect Rect(int x, int y, int width, int height) const;

    int BaseWidth() const { return m_nBaseX; }
    int BaseHeight() const { return m_nBaseY; }

private:
    int m_nBaseX;  // average character width in pixels
    int m_nBaseY;  // character height in pixels
};
