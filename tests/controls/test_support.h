#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>

// Small helpers shared by the control tests.
namespace testsupport {

inline QPixmap Solid(QSize size, QColor color) {
    QPixmap pixmap(size);
    pixmap.fill(color);
    return pixmap;
}

// The smallest rectangle holding every pixel of `image` inside `area` that
// differs from `background` by more than `slack` in some channel.
inline QRect InkBounds(const QImage& image, QColor background, int slack = 40) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - background.red()) > slack ||
                qAbs(c.green() - background.green()) > slack ||
                qAbs(c.blue() - background.blue()) > slack) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

}  // namespace testsupport
