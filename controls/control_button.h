#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <optional>

// Builds the region of the pixels of `image` that are not transparent, one
// rectangle per horizontal run. A pixel is transparent when each of its red,
// green and blue channels lies in [key, key + tolerance] (capped at 255).
// Returns nothing for a null image; an image without opaque pixels gives an
// empty region.
std::optional<QRegion> MakeBitmapRegion(const QImage& image, QColor key = QColor(255, 255, 255),
                                        QColor tolerance = QColor(0, 0, 0));

// A push button whose face is a picture: a normal image, a mouse-over image
// and a pressed image painted over the base one. Its outline can follow a
// shape picture, in which case only the non-white pixels of that picture are
// drawn and clickable. A click is the ordinary clicked() signal.
class CControlButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CControlButton(QWidget* parent = nullptr);
    ~CControlButton() override;

    // Loads the state images from the program's pictures. Note the order: the
    // mouse-over image comes first; the fourth id is accepted but no state
    // draws it. Returns whether the mouse-over image (the last one loaded)
    // could be loaded. An id that cannot be loaded leaves that image empty.
    bool SetBitmaps(int hoverId, int normalId, int pressedId, int unusedId);

    // The same with pictures already in memory (tests, or callers with their
    // own images). Returns whether `hover` is non-null.
    bool SetPixmaps(const QPixmap& hover, const QPixmap& normal, const QPixmap& pressed);

    // Cuts the button to the non-white pixels of picture `id` when `apply` is
    // true. A picture that cannot be loaded leaves (or returns) the button to
    // its full rectangle.
    void SetRegionFromBitmap(int id, bool apply);
    void SetRegionFromImage(const QImage& shape, bool apply);

    bool IsMouseOver() const { return m_bMouseOver; }
    // The picture shown while the mouse is elsewhere.
    const QPixmap& NormalPicture() const { return m_bmpNormal; }
    bool IsShaped() const { return m_bShaped; }
    // The region the button is cut to, in widget coordinates; nothing when
    // the button keeps its rectangle.
    const std::optional<QRegion>& ShapeRegion() const { return m_shape; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void ApplyShape();

    bool m_bMouseOver = false;
    QPixmap m_bmpNormal;
    QPixmap m_bmpDown;
    QPixmap m_bmpHover;
    bool m_bShaped = false;
    std::optional<QRegion> m_shape;  // set while a shape is applied
};
