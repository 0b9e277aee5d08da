#include "controls/label.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// The text as drawn: a Windows line break is one line break.
QString DrawnText(const QString& text) {
    QString drawn = text;
    drawn.replace(kLineBreak, QStringLiteral("\n"));
    return drawn;
}

}  // namespace

CLabel::CLabel(QWidget* parent) : CLabel(QString(), parent) {}

CLabel::CLabel(const QString& text, QWidget* parent) : QWidget(parent), m_strText(text) {
    // The text colour is taken once; the face colour follows the palette.
    m_clrText = palette().color(QPalette::WindowText);
    m_clrFace = palette().color(QPalette::Button);
    // Every paint covers the whole label, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLabel::setText(const QString& text) {
    if (text == m_strText) {
        return;
    }
    m_strText = text;
    update();
}

void CLabel::SetLabelStyle(unsigned style) {
    if (style == m_nStyle) {
        return;
    }
    m_nStyle = style;
    update();
}

int CLabel::TextFlags(unsigned style, const QString& text) {
    if (style & kCenterImage) {
        // Centred both ways on one line, unless the text has line breaks:
        // then centred across and starting at the top.
        if (text.contains(kLineBreak)) {
            return Qt::AlignHCenter | Qt::AlignTop;
        }
        return Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    }
    int flags = 0;
    switch (style & kTypeMask) {
        case kCenter:
            flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
            break;
        case kRight:
            flags = Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap;
            break;
        case kLeftNoWordWrap:
            flags = Qt::AlignLeft | Qt::AlignTop;
            break;
        default:
            flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
            break;
    }
    if (text.contains(QLatin1Char('\t'))) {
        flags |= Qt::TextExpandTabs;
    }
    return flags;
}

QSize CLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize text = metrics.size(0, DrawnText(m_strText));
    return QSize(text.width(), qMax(text.height(), metrics.height()));
}

void CLabel::paintEvent(QPaintEvent* /*event*/) {
    // Qt composes the widget off screen and shows it in one copy; the whole
    // label is painted, face first, so a changing text never flickers.
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, m_clrFace);
    if (m_strText.isEmpty()) {
        return;
    }
    painter.setClipRect(area);
    painter.setPen(m_clrText);
    painter.setFont(font());
    painter.drawText(area, TextFlags(m_nStyle, m_strText), DrawnText(m_strText));
}

void CLabel::changeEvent(QEvent* event) {
    // A new system palette brings a new face colour; the text colour stays.
    if (event->type() == QEvent::PaletteChange) {
        const QColor face = palette().color(QPalette::Button);
        if (face != m_clrFace) {
            m_clrFace = face;
            update();
        }
    }
    QWidget::changeEvent(event);
}
