#pragma once

#include <QHeaderView>
#include <QPixmap>
#include <array>

// The header of a check-box list. Once given its images, section 0 shows a
// check-all box (image 1: not all rows checked, image 2: all rows checked)
// before its title; a click on section 0 flips the box and asks the list to
// check or uncheck every row. Clicks on other sections do nothing.
class CCheckHeadCtrl : public QHeaderView {
    Q_OBJECT

public:
    enum Image { kImageNone = 0, kImageUnchecked = 1, kImageChecked = 2 };

    explicit CCheckHeadCtrl(QWidget* parent = nullptr);

    // Cuts `strip` (three 16x16 images side by side, magenta transparent)
    // into the header's images.
    void SetImageStrip(const QPixmap& strip);

    // The image shown in section 0 (kImageNone until the list sets one).
    int CheckImage() const { return m_nCheckImage; }
    void SetCheckImage(int image);

    // The rectangle of the box inside section 0, in viewport coordinates.
    QRect CheckBoxRect() const;

signals:
    // Section 0 was clicked and its box flipped: `checked` is the new state
    // all rows should take.
    void checkAllClicked(bool checked);

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    void OnSectionClicked(int logicalIndex);

    std::array<QPixmap, 3> m_images;
    int m_nCheckImage = kImageNone;
};
