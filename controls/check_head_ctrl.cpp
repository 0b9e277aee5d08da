#include "controls/check_head_ctrl.h"

#include <QImage>
#include <QStyle>
#include <QStyleOptionHeader>

namespace {

constexpr int kImageSize = 16;
const QRgb kMaskColor = qRgb(255, 0, 255);

// One image of the strip with its magenta pixels made transparent. A strip
// drawn for a high-density screen holds each image at that density.
QPixmap CutImage(const QImage& strip, int index) {
    const qreal density = strip.devicePixelRatio();
    const int side = qRound(kImageSize * density);
    QImage image = strip.copy(index * side, 0, side, side).convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(density);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((row[x] & 0x00FFFFFF) == (kMaskColor & 0x00FFFFFF)) {
                row[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

CCheckHeadCtrl::CCheckHeadCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    // Columns keep the widths they are given; a zero-width column stays hidden.
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(this, &QHeaderView::sectionClicked, this, &CCheckHeadCtrl::OnSectionClicked);
}

void CCheckHeadCtrl::SetImageStrip(const QPixmap& strip) {
    const QImage image = strip.toImage();
    for (int i = 0; i < static_cast<int>(m_images.size()); ++i) {
        m_images[i] = image.isNull() ? QPixmap() : CutImage(image, i);
    }
    updateSection(0);
}

void CCheckHeadCtrl::SetCheckImage(int image) {
    if (image < kImageNone || image > kImageChecked || image == m_nCheckImage) {
        return;
    }
    m_nCheckImage = image;
    updateSection(0);
}

QRect CCheckHeadCtrl::CheckBoxRect() const {
    if (m_nCheckImage == kImageNone || count() == 0) {
        return {};
    }
    // The style puts the section's icon after the header margin, centred
    // vertically.
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const int x = sectionViewportPosition(0) + margin;
    return QRect(x, (height() - kImageSize) / 2, kImageSize, kImageSize);
}

void CCheckHeadCtrl::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    if (logicalIndex == 0 && m_nCheckImage != kImageNone) {
        option->icon = QIcon(m_images[static_cast<size_t>(m_nCheckImage)]);
        option->iconAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
}

QSize CCheckHeadCtrl::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (logicalIndex == 0 && m_nCheckImage != kImageNone) {
        const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
        size.rwidth() += kImageSize + margin;
        size.setHeight(qMax(size.height(), kImageSize + 2 * margin));
    }
    return size;
}

void CCheckHeadCtrl::OnSectionClicked(int logicalIndex) {
    // Only the check-all box of column 0 reacts, and only once the list has
    // given the header its box.
    if (logicalIndex != 0 || m_nCheckImage == kImageNone) {
        return;
    }
    const int next = m_nCheckImage == kImageUnchecked ? kImageChecked : kImageUnchecked;
    SetCheckImage(next);
    emit checkAllClicked(next == kImageChecked);
}
