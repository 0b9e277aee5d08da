#include "controls/control_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "resources/pictures.h"
#include "suites.h"
#include "test_support.h"

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBackdrop(250, 200, 0);  // the parent's face around the button
const QColor kNormal(200, 0, 0);
const QColor kHover(0, 160, 0);
const QColor kPressed(0, 0, 200);

QImage Filled(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A square ring: `size` pixels wide, a border of `border` coloured pixels
// around a white hole.
QImage Ring(int size, int border) {
    QImage image = Filled(size, size, QColor(40, 90, 200));
    QPainter painter(&image);
    painter.fillRect(border, border, size - 2 * border, size - 2 * border, kWhite);
    return image;
}

// The reference answer, built pixel by pixel without MakeBitmapRegion's runs.
QRegion PixelRegion(const QImage& image) {
    QRegion region;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != kWhite) {
                region += QRect(x, y, 1, 1);
            }
        }
    }
    return region;
}

// Regions hold the same pixels (however they are cut into rectangles).
bool SamePixels(const QRegion& a, const QRegion& b) { return a.xored(b).isEmpty(); }

void SendEnter(QWidget* widget) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(widget, &enter);
}

void SendLeave(QWidget* widget) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

// A button on a plainly coloured parent, so that what the button leaves
// undrawn is easy to tell apart.
struct ButtonOnParent {
    ButtonOnParent() {
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, kBackdrop);
        parent.setPalette(pal);
        parent.resize(60, 60);
        button = new CControlButton(&parent);
        button->setGeometry(0, 0, 30, 30);
    }
    QImage Shot() { return parent.grab(QRect(0, 0, 30, 30)).toImage(); }

    QWidget parent;
    CControlButton* button;  // owned by parent
};

}  // namespace

class ControlButtonTest : public QObject {
    Q_OBJECT

private slots:
    void regionOfPicture_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QRegion>("expected");
        QTest::addColumn<int>("runs");  // one rectangle per horizontal run

        QTest::newRow("all white: empty") << Filled(6, 4, kWhite) << QRegion() << 0;
        QTest::newRow("no white: full rectangle")
            << Filled(7, 5, QColor(10, 20, 30)) << QRegion(0, 0, 7, 5) << 5;
        QTest::newRow("near white is opaque")
            << Filled(3, 3, QColor(255, 255, 254)) << QRegion(0, 0, 3, 3) << 3;
        QTest::newRow("ring") << Ring(9, 2) << QRegion(0, 0, 9, 9).subtracted(QRegion(2, 2, 5, 5))
                              << 14;
        QImage oneDot = Filled(5, 3, kWhite);
        oneDot.setPixelColor(4, 2, Qt::black);
        QTest::newRow("single pixel at the far corner") << oneDot << QRegion(4, 2, 1, 1) << 1;
        // Transparency of the picture file plays no part, only its colour.
        QImage clearWhite(4, 4, QImage::Format_ARGB32);
        clearWhite.fill(QColor(255, 255, 255, 0));
        clearWhite.setPixelColor(0, 0, QColor(0, 0, 0, 0));
        QTest::newRow("alpha ignored") << clearWhite << QRegion(0, 0, 1, 1) << 1;
    }
    void regionOfPicture() {
        QFETCH(QImage, image);
        QFETCH(QRegion, expected);
        QFETCH(int, runs);
        const std::optional<QRegion> region = MakeBitmapRegion(image);
        QVERIFY(region.has_value());
        QVERIFY(SamePixels(*region, expected));
        QCOMPARE(region->rectCount(), runs);
    }

    void regionOfNullPictureIsNone() { QVERIFY(!MakeBitmapRegion(QImage()).has_value()); }

    void regionKeyAndTolerance_data() {
        QTest::addColumn<QColor>("pixel");
        QTest::addColumn<QColor>("key");
        QTest::addColumn<QColor>("tolerance");
        QTest::addColumn<bool>("cut");

        QTest::newRow("inside the range")
            << QColor(252, 201, 10) << QColor(250, 200, 10) << QColor(5, 1, 0) << true;
        QTest::newRow("top of the range")
            << QColor(255, 201, 10) << QColor(250, 200, 10) << QColor(5, 1, 0) << true;
        QTest::newRow("one channel above")
            << QColor(252, 202, 10) << QColor(250, 200, 10) << QColor(5, 1, 0) << false;
        QTest::newRow("below the key")
            << QColor(249, 200, 10) << QColor(250, 200, 10) << QColor(5, 1, 0) << false;
        QTest::newRow("range capped at 255")
            << QColor(255, 255, 255) << QColor(250, 250, 250) << QColor(200, 200, 200) << true;
    }
    void regionKeyAndTolerance() {
        QFETCH(QColor, pixel);
        QFETCH(QColor, key);
        QFETCH(QColor, tolerance);
        QFETCH(bool, cut);
        const std::optional<QRegion> region = MakeBitmapRegion(Filled(2, 2, pixel), key, tolerance);
        QVERIFY(region.has_value());
        QCOMPARE(region->isEmpty(), cut);
    }

    void regionOfManyRuns() {
        // A checkerboard of 80 x 60 has 40 runs per row, 2400 in all.
        QImage board = Filled(80, 60, kWhite);
        for (int y = 0; y < board.height(); ++y) {
            for (int x = (y % 2); x < board.width(); x += 2) {
                board.setPixelColor(x, y, QColor(0, 0, 0));
            }
        }
        const std::optional<QRegion> region = MakeBitmapRegion(board);
        QVERIFY(region.has_value());
        QVERIFY(SamePixels(*region, PixelRegion(board)));
        QCOMPARE(region->rectCount(), 2400);
    }

    void paintsNormalHoverAndPressed() {
        ButtonOnParent fixture;
        CControlButton* button = fixture.button;
        // The pressed picture is smaller, so what lies under it stays visible.
        QVERIFY(button->SetPixmaps(testsupport::Solid({20, 20}, kHover),
                                   testsupport::Solid({20, 20}, kNormal),
                                   testsupport::Solid({10, 10}, kPressed)));

        QImage shot = fixture.Shot();
        QCOMPARE(shot.pixelColor(5, 5), kNormal);
        // Beyond the picture the button draws nothing.
        QCOMPARE(shot.pixelColor(25, 25), kBackdrop);

        SendEnter(button);
        QVERIFY(button->IsMouseOver());
        QCOMPARE(fixture.Shot().pixelColor(5, 5), kHover);

        button->setDown(true);
        shot = fixture.Shot();
        QCOMPARE(shot.pixelColor(5, 5), kPressed);
        QCOMPARE(shot.pixelColor(15, 15), kHover);

        button->setDown(false);
        SendLeave(button);
        QVERIFY(!button->IsMouseOver());
        QCOMPARE(fixture.Shot().pixelColor(5, 5), kNormal);
    }

    void pressedOverNormalWithoutHover() {
        ButtonOnParent fixture;
        fixture.button->SetPixmaps(testsupport::Solid({20, 20}, kHover),
                                   testsupport::Solid({20, 20}, kNormal),
                                   testsupport::Solid({10, 10}, kPressed));
        fixture.button->setDown(true);
        const QImage shot = fixture.Shot();
        QCOMPARE(shot.pixelColor(5, 5), kPressed);
        QCOMPARE(shot.pixelColor(15, 15), kNormal);
    }

    void largerPictureIsCropped() {
        ButtonOnParent fixture;
        QPixmap big = testsupport::Solid({50, 50}, kNormal);
        {
            QPainter painter(&big);
            painter.fillRect(29, 29, 21, 21, kPressed);
        }
        fixture.button->SetPixmaps(big, big, QPixmap());
        const QImage shot = fixture.Shot();
        QCOMPARE(shot.pixelColor(0, 0), kNormal);
        QCOMPARE(shot.pixelColor(28, 28), kNormal);
        QCOMPARE(shot.pixelColor(29, 29), kPressed);
    }

    void setBitmapsTakesHoverFirst() {
        ButtonOnParent fixture;
        // 331 is the delete picture, 214 the clear picture: different faces.
        QVERIFY(fixture.button->SetBitmaps(331, 214, 214, 0));
        const QImage normal = LoadPicture(214).toImage().copy(0, 0, 30, 30);
        const QImage hover = LoadPicture(331).toImage().copy(0, 0, 30, 30);
        QCOMPARE(fixture.Shot().convertToFormat(QImage::Format_RGB32),
                 normal.convertToFormat(QImage::Format_RGB32));
        SendEnter(fixture.button);
        QCOMPARE(fixture.Shot().convertToFormat(QImage::Format_RGB32),
                 hover.convertToFormat(QImage::Format_RGB32));
    }

    void missingPictureLeavesImageEmpty() {
        ButtonOnParent fixture;
        QVERIFY(!fixture.button->SetBitmaps(99999, 99999, 99999, 99999));
        QCOMPARE(fixture.Shot().pixelColor(5, 5), kBackdrop);
    }

    void clickOnlyWhereTheShapeIs() {
        ButtonOnParent fixture;
        CControlButton* button = fixture.button;
        button->SetPixmaps(testsupport::Solid({30, 30}, kHover),
                           testsupport::Solid({30, 30}, kNormal), QPixmap());
        button->SetRegionFromImage(Ring(30, 6), true);
        QVERIFY(button->IsShaped());
        QVERIFY(
            SamePixels(button->mask(), QRegion(0, 0, 30, 30).subtracted(QRegion(6, 6, 18, 18))));

        fixture.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.parent));
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(clicked.count(), 0);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(2, 15));
        QCOMPARE(clicked.count(), 1);

        // The hole shows the parent.
        const QImage shot = fixture.Shot();
        QCOMPARE(shot.pixelColor(15, 15), kBackdrop);
        QCOMPARE(shot.pixelColor(2, 2), kNormal);
    }

    void allWhiteShapeHidesTheButton() {
        ButtonOnParent fixture;
        CControlButton* button = fixture.button;
        button->SetPixmaps(testsupport::Solid({30, 30}, kHover),
                           testsupport::Solid({30, 30}, kNormal), QPixmap());
        button->SetRegionFromImage(Filled(30, 30, kWhite), true);
        fixture.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.parent));

        QCOMPARE(fixture.Shot().pixelColor(15, 15), kBackdrop);
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(clicked.count(), 0);
    }

    void shapeNotAppliedOrMissing_data() {
        QTest::addColumn<QImage>("shape");
        QTest::addColumn<bool>("apply");
        QTest::addColumn<bool>("shaped");

        QTest::newRow("not applied") << Ring(30, 6) << false << false;
        QTest::newRow("no picture") << QImage() << true << true;
    }
    void shapeNotAppliedOrMissing() {
        QFETCH(QImage, shape);
        QFETCH(bool, apply);
        QFETCH(bool, shaped);
        ButtonOnParent fixture;
        CControlButton* button = fixture.button;
        button->SetPixmaps(testsupport::Solid({30, 30}, kHover),
                           testsupport::Solid({30, 30}, kNormal), QPixmap());
        // A shape applied earlier must go away when the new one is missing.
        button->SetRegionFromImage(Ring(30, 6), true);
        button->SetRegionFromImage(shape, apply);
        QCOMPARE(button->IsShaped(), shaped);
        if (apply) {
            QVERIFY(button->mask().isEmpty());
            QVERIFY(!button->ShapeRegion().has_value());
        }
        fixture.parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.parent));
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(clicked.count(), apply ? 1 : 0);
    }
};

int RunControlButtonTests(int argc, char** argv) {
    ControlButtonTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "control_button_test.moc"
