#include "controls/label.h"

#include <QTest>

#include "suites.h"
#include "test_support.h"

namespace {

const QColor kFace(230, 230, 220);
const QColor kInk(20, 20, 120);

// A label with known colours: its palette is set before the label takes its
// text colour.
struct LabelFixture {
    explicit LabelFixture(QSize size) {
        QPalette pal = holder.palette();
        pal.setColor(QPalette::Button, kFace);
        pal.setColor(QPalette::WindowText, kInk);
        holder.setPalette(pal);
        holder.resize(size);
        label = new CLabel(&holder);
        label->setGeometry(0, 0, size.width(), size.height());
        QFont font = label->font();
        font.setPixelSize(14);
        label->setFont(font);
    }
    QImage Shot() const { return label->grab().toImage(); }

    QWidget holder;
    CLabel* label;  // owned by holder
};

}  // namespace

class LabelTest : public QObject {
    Q_OBJECT

private slots:
    void flagChoice_data() {
        QTest::addColumn<unsigned>("style");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");

        const int top = Qt::AlignTop;
        QTest::newRow("left") << unsigned{CLabel::kLeft} << "a b"
                              << int(Qt::AlignLeft | top | Qt::TextWordWrap);
        QTest::newRow("centre") << unsigned{CLabel::kCenter} << "a b"
                                << int(Qt::AlignHCenter | top | Qt::TextWordWrap);
        QTest::newRow("right") << unsigned{CLabel::kRight} << "a b"
                               << int(Qt::AlignRight | top | Qt::TextWordWrap);
        QTest::newRow("left, no wrap")
            << unsigned{CLabel::kLeftNoWordWrap} << "a b" << int(Qt::AlignLeft | top);
        QTest::newRow("other type wraps left")
            << 0x0Bu << "a b" << int(Qt::AlignLeft | top | Qt::TextWordWrap);
        QTest::newRow("tab expands")
            << unsigned{CLabel::kRight} << "a\tb"
            << int(Qt::AlignRight | top | Qt::TextWordWrap | Qt::TextExpandTabs);
        QTest::newRow("centre image, one line")
            << unsigned{CLabel::kCenterImage} << "a b"
            << int(Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine);
        QTest::newRow("centre image wins over right")
            << unsigned{CLabel::kCenterImage | CLabel::kRight} << "a b"
            << int(Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine);
        QTest::newRow("centre image, tab not expanded")
            << unsigned{CLabel::kCenterImage} << "a\tb"
            << int(Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine);
        QTest::newRow("centre image, line break")
            << unsigned{CLabel::kCenterImage} << "a\r\nb" << int(Qt::AlignHCenter | top);
    }
    void flagChoice() {
        QFETCH(unsigned, style);
        QFETCH(QString, text);
        QFETCH(int, flags);
        QCOMPARE(CLabel::TextFlags(style, text), flags);
    }

    void emptyTextPaintsOnlyTheFace() {
        LabelFixture fixture({120, 30});
        QCOMPARE(fixture.label->TextColor(), kInk);
        const QImage shot = fixture.Shot();
        QVERIFY(testsupport::InkBounds(shot, kFace, 0).isNull());
        QCOMPARE(shot.pixelColor(60, 15), kFace);
    }

    void centredOneLine() {
        LabelFixture fixture({200, 60});
        fixture.label->SetLabelStyle(CLabel::kCenterImage);
        fixture.label->setText(QStringLiteral("Centred"));
        const QRect ink = testsupport::InkBounds(fixture.Shot(), kFace);
        QVERIFY(!ink.isNull());
        QVERIFY2(qAbs(ink.center().x() - 100) <= 3, qPrintable(QString::number(ink.center().x())));
        QVERIFY2(qAbs(ink.center().y() - 30) <= 4, qPrintable(QString::number(ink.center().y())));
    }

    void centredWithLineBreakStartsAtTop() {
        LabelFixture fixture({200, 100});
        fixture.label->SetLabelStyle(CLabel::kCenterImage);
        fixture.label->setText(QStringLiteral("First\r\nSecond"));
        const QRect ink = testsupport::InkBounds(fixture.Shot(), kFace);
        QVERIFY(!ink.isNull());
        QVERIFY2(ink.top() < 8, qPrintable(QString::number(ink.top())));
        QVERIFY2(qAbs(ink.center().x() - 100) <= 3, qPrintable(QString::number(ink.center().x())));
        // Two lines, not one.
        QVERIFY(ink.height() > 24);
    }

    void longTextWrapsAndIsCut() {
        LabelFixture fixture({90, 40});
        const QString words = QStringLiteral("one two three four five six seven eight nine");
        fixture.label->setText(words);
        const QRect ink = testsupport::InkBounds(fixture.Shot(), kFace);
        // Wrapped onto more than one line and cut off at the label's bottom.
        QVERIFY(ink.height() > 20);
        QVERIFY(ink.bottom() <= 39);

        fixture.label->SetLabelStyle(CLabel::kLeftNoWordWrap);
        const QRect oneLine = testsupport::InkBounds(fixture.Shot(), kFace);
        QVERIFY(oneLine.height() < 20);
        QCOMPARE(oneLine.right(), 89);  // runs off the right edge
    }

    void faceFollowsThePaletteTextColourStays() {
        LabelFixture fixture({100, 30});
        QPalette changed = fixture.holder.palette();
        changed.setColor(QPalette::Button, QColor(10, 120, 10));
        changed.setColor(QPalette::WindowText, QColor(250, 0, 0));
        fixture.holder.setPalette(changed);
        QCOMPARE(fixture.label->FaceColor(), QColor(10, 120, 10));
        QCOMPARE(fixture.label->TextColor(), kInk);
        QCOMPARE(fixture.Shot().pixelColor(50, 15), QColor(10, 120, 10));
    }

    void sameTextDoesNotRepaint() {
        LabelFixture fixture({100, 30});
        fixture.holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.holder));
        fixture.label->setText(QStringLiteral("42%"));
        QCoreApplication::processEvents();
        // Polls often set the same text; that must not cost a paint.
        int paints = 0;
        struct Counter : QObject {
            int* count;
            explicit Counter(int* c) : count(c) {}
            bool eventFilter(QObject*, QEvent* event) override {
                *count += event->type() == QEvent::Paint;
                return false;
            }
        } counter(&paints);
        fixture.label->installEventFilter(&counter);
        fixture.label->setText(QStringLiteral("42%"));
        QCoreApplication::processEvents();
        QCOMPARE(paints, 0);
        fixture.label->setText(QStringLiteral("43%"));
        QTRY_VERIFY(paints > 0);
        fixture.label->removeEventFilter(&counter);
    }
};

int RunLabelTests(int argc, char** argv) {
    LabelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "label_test.moc"
