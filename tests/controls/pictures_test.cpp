#include "resources/pictures.h"

#include <QTest>
#include <queue>
#include <vector>

#include "controls/control_button.h"
#include "suites.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kMagenta = qRgb(255, 0, 255);

// Pure white pixels that cannot be reached from the border through other
// pure white pixels: holes the button's shape would get inside the picture.
int EnclosedWhitePixels(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    auto white = [&](int x, int y) { return (image.pixel(x, y) | 0xFF000000) == kWhite; };
    std::vector<char> reached(static_cast<size_t>(w * h), 0);
    std::queue<QPoint> todo;
    auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h || reached[y * w + x] || !white(x, y)) {
            return;
        }
        reached[y * w + x] = 1;
        todo.push(QPoint(x, y));
    };
    for (int x = 0; x < w; ++x) {
        visit(x, 0);
        visit(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        visit(0, y);
        visit(w - 1, y);
    }
    while (!todo.empty()) {
        const QPoint p = todo.front();
        todo.pop();
        visit(p.x() + 1, p.y());
        visit(p.x() - 1, p.y());
        visit(p.x(), p.y() + 1);
        visit(p.x(), p.y() - 1);
    }
    int enclosed = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            enclosed += white(x, y) && !reached[y * w + x];
        }
    }
    return enclosed;
}

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void sizes_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        QTest::newRow("178 add files") << 178 << QSize(100, 80);
        QTest::newRow("331 delete file") << 331 << QSize(100, 56);
        QTest::newRow("214 clear list") << 214 << QSize(100, 56);
        QTest::newRow("295 start") << 295 << QSize(84, 84);
        QTest::newRow("335 browse") << 335 << QSize(65, 35);
        QTest::newRow("268 open folder") << 268 << QSize(96, 35);
        QTest::newRow("292 check-box strip") << 292 << QSize(48, 16);
    }
    void sizes() {
        QFETCH(int, id);
        QFETCH(QSize, size);
        const QPixmap picture = LoadPicture(id);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), size);
    }

    void unknownNumberGivesNothing() {
        QVERIFY(LoadPicture(1).isNull());
        QVERIFY(LoadPicture(-5).isNull());
    }

    void programIcon() {
        const QIcon icon = LoadProgramIcon();
        QVERIFY(!icon.isNull());
        QVERIFY(!LoadPicture(266).isNull());
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    }

    // The shaped buttons: white around the shape, a shape without holes.
    // The tiles of the list's button column are drawn in the part of the
    // picture their buttons show (about 94 by 60 pixels): wider pictures
    // would lose their right edge, and 178 its text, in the window.
    void shapedPicturesHaveNoHoles_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("shown");  // the shape fills this from the top-left
        QTest::newRow("178") << 178 << QSize(93, 59);
        QTest::newRow("331") << 331 << QSize(93, 56);
        QTest::newRow("214") << 214 << QSize(93, 56);
        QTest::newRow("335") << 335 << QSize(65, 35);
        QTest::newRow("268") << 268 << QSize(96, 35);
    }
    void shapedPicturesHaveNoHoles() {
        QFETCH(int, id);
        QFETCH(QSize, shown);
        const QImage picture = LoadPicture(id).toImage();
        QCOMPARE(EnclosedWhitePixels(picture), 0);
        // The corners are cut, the middle is part of the button.
        const std::optional<QRegion> shape = MakeBitmapRegion(picture);
        QVERIFY(shape.has_value());
        QVERIFY(!shape->contains(QPoint(0, 0)));
        QVERIFY(shape->contains(QPoint(picture.width() / 2, picture.height() / 2)));
        // The shape fills the part of the picture that is shown, no more.
        const QRect bounds = shape->boundingRect();
        QVERIFY(bounds.left() <= 2 && bounds.top() <= 2);
        QVERIFY(bounds.width() >= shown.width() - 4 && bounds.width() <= shown.width());
        QVERIFY(bounds.height() >= shown.height() - 4 && bounds.height() <= shown.height());
    }

    void checkBoxStrip() {
        const QImage strip = LoadPicture(292).toImage().convertToFormat(QImage::Format_RGB32);
        auto magentaPixels = [&](int index) {
            int count = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = index * 16; x < index * 16 + 16; ++x) {
                    count += (strip.pixel(x, y) | 0xFF000000) == kMagenta;
                }
            }
            return count;
        };
        QCOMPARE(magentaPixels(0), 256);  // image 0 is empty
        QVERIFY(magentaPixels(1) < 200);  // an empty box
        QVERIFY(magentaPixels(2) < 200);  // a ticked box
        QVERIFY(strip.copy(16, 0, 16, 16) != strip.copy(32, 0, 16, 16));
    }
};

int RunPicturesTests(int argc, char** argv) {
    PicturesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "pictures_test.moc"
