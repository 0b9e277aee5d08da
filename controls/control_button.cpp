#include "controls/control_button.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <vector>

#include "resources/pictures.h"

std::optional<QRegion> MakeBitmapRegion(const QImage& image, QColor key, QColor tolerance) {
    if (image.isNull()) {
        return std::nullopt;
    }
    // Alpha plays no part: only the colour decides.
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const int lowR = key.red(), lowG = key.green(), lowB = key.blue();
    const int highR = std::min(lowR + tolerance.red(), 255);
    const int highG = std::min(lowG + tolerance.green(), 255);
    const int highB = std::min(lowB + tolerance.blue(), 255);
    auto transparent = [&](QRgb p) {
        const int r = qRed(p), g = qGreen(p), b = qBlue(p);
        return r >= lowR && r <= highR && g >= lowG && g <= highG && b >= lowB && b <= highB;
    };

    // One rectangle per run of opaque pixels, row by row from the top and
    // left to right within a row: exactly the banded order QRegion expects,
    // so the whole set becomes a region in one step.
    std::vector<QRect> runs;
    const int width = pixels.width();
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        int x = 0;
        while (x < width) {
            while (x < width && transparent(row[x])) {
                ++x;
            }
            const int start = x;
            while (x < width && !transparent(row[x])) {
                ++x;
            }
            if (x > start) {
                runs.emplace_back(start, y, x - start, 1);
            }
        }
    }
    QRegion region;
    if (!runs.empty()) {
        region.setRects(runs.data(), static_cast<int>(runs.size()));
    }
    return region;
}

CControlButton::CControlButton(QWidget* parent) : QAbstractButton(parent) {}

CControlButton::~CControlButton() = default;

bool CControlButton::SetBitmaps(int hoverId, int normalId, int pressedId, int /*unusedId*/) {
    return SetPixmaps(LoadPicture(hoverId), LoadPicture(normalId), LoadPicture(pressedId));
}

bool CControlButton::SetPixmaps(const QPixmap& hover, const QPixmap& normal,
                                const QPixmap& pressed) {
    m_bmpNormal = normal;
    m_bmpDown = pressed;
    m_bmpHover = hover;
    updateGeometry();
    update();
    return !m_bmpHover.isNull();
}

void CControlButton::SetRegionFromBitmap(int id, bool apply) {
    SetRegionFromImage(LoadPictureOutline(id), apply);
}

void CControlButton::SetRegionFromImage(const QImage& shape, bool apply) {
    m_bShaped = apply;
    if (!apply) {
        return;
    }
    m_shape = MakeBitmapRegion(shape);
    ApplyShape();
}

void CControlButton::ApplyShape() {
    // An empty shape leaves nothing of the button: nothing is drawn and
    // clicks fall through to whatever lies below. QWidget cannot hold an
    // empty mask (it means "no mask"), so that case is handled here.
    const bool vanished = m_shape && m_shape->isEmpty();
    setAttribute(Qt::WA_TransparentForMouseEvents, vanished);
    if (m_shape && !vanished) {
        setMask(*m_shape);
    } else {
        clearMask();
    }
    update();
}

QSize CControlButton::sizeHint() const {
    const QPixmap& face = m_bmpNormal.isNull() ? m_bmpHover : m_bmpNormal;
    return face.isNull() ? QSize(16, 16) : face.deviceIndependentSize().toSize();
}

void CControlButton::paintEvent(QPaintEvent* /*event*/) {
    if (m_shape && m_shape->isEmpty()) {
        return;
    }
    // Each picture is copied 1:1 from its top-left corner; where it does not
    // reach, the parent's background shows.
    QPainter painter(this);
    // Between densities (1.25, 1.5) the denser picture is scaled down
    // smoothly rather than sampled.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(0, 0, m_bMouseOver ? m_bmpHover : m_bmpNormal);
    if (isDown()) {
        painter.drawPixmap(0, 0, m_bmpDown);
    }
    // The keyboard's place, once the keyboard has moved the focus: a dotted
    // frame inside the picture.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        QPen pen(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void CControlButton::keyPressEvent(QKeyEvent* event) {
    // Enter presses a focused button too, as Space does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        animateClick();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CControlButton::enterEvent(QEnterEvent* event) {
    m_bMouseOver = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CControlButton::leaveEvent(QEvent* event) {
    m_bMouseOver = false;
    update();
    QAbstractButton::leaveEvent(event);
}

bool CControlButton::hitButton(const QPoint& pos) const {
    if (m_shape) {
        return m_shape->contains(pos);
    }
    return QAbstractButton::hitButton(pos);
}
