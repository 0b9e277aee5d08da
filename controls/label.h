#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A text line that paints itself in one pass: background in the system's
// button-face colour, text in the system's window-text colour (taken once,
// when the label is made) and the widget's font. Changing the text repaints
// only the label, without erasing first, so a text that changes on every
// progress poll does not flicker.
class CLabel : public QWidget {
    Q_OBJECT

public:
    // Layout styles, with the values of the classic static-text styles.
    enum Style : unsigned {
        kLeft = 0x0000,            // left aligned, wraps at word boundaries
        kCenter = 0x0001,          // centred, wraps
        kRight = 0x0002,           // right aligned, wraps
        kLeftNoWordWrap = 0x000C,  // left aligned, no wrapping
        kCenterImage = 0x0200,     // centred both ways on one line
        kTypeMask = 0x001F,
    };

    explicit CLabel(QWidget* parent = nullptr);
    explicit CLabel(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_strText; }
    void setText(const QString& text);

    unsigned LabelStyle() const { return m_nStyle; }
    void SetLabelStyle(unsigned style);

    QColor TextColor() const { return m_clrText; }
    QColor FaceColor() const { return m_clrFace; }

    // The QPainter::drawText flags used for `text` under `style`.
    static int TextFlags(unsigned style, const QString& text);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_strText;
    unsigned m_nStyle = kLeft;
    QColor m_clrText;  // fixed when the label is made
    QColor m_clrFace;  // follows the system palette
};
