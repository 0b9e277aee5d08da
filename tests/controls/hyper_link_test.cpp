#include "controls/hyper_link.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <vector>

#include "suites.h"

namespace {

const QString kAddress = QStringLiteral("https://example.org/help");
const QString kPrefix = QStringLiteral("Unable to open hyperlink:\n\n");
const QColor kFace(187, 222, 251);

// A link on a plain face whose opening and failure reports are recorded
// instead of reaching a browser or a message box.
struct LinkFixture {
    LinkFixture() {
        holder.setAutoFillBackground(true);
        QPalette pal = holder.palette();
        pal.setColor(QPalette::Window, kFace);
        holder.setPalette(pal);
        holder.resize(300, 60);
        link = new CHyperLink(QStringLiteral("How to use"), &holder);
        QFont font = link->font();
        font.setPixelSize(16);
        link->setFont(font);
        link->move(10, 10);
        link->SetAddress(kAddress);
        link->SetOpener([this](const QUrl& url) {
            opened.push_back(url);
            return openResult;
        });
        link->SetErrorReporter([this](QWidget*, const QString& text) { reports.push_back(text); });
    }
    void Click() { QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, link->height() / 2)); }
    void Enter() {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), link->mapToGlobal(QPointF(1, 1)));
        QCoreApplication::sendEvent(link, &enter);
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
    }
    // The longest horizontal run of pixels in the link's current colour:
    // about the text's width when underlined, much shorter otherwise.
    int LongestRun() const {
        const QImage shot = link->grab().toImage();
        const QColor ink = link->CurrentColor();
        int longest = 0;
        for (int y = 0; y < shot.height(); ++y) {
            int run = 0;
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                const bool inked = qAbs(c.red() - ink.red()) < 40 &&
                                   qAbs(c.green() - ink.green()) < 40 &&
                                   qAbs(c.blue() - ink.blue()) < 40;
                run = inked ? run + 1 : 0;
                longest = qMax(longest, run);
            }
        }
        return longest;
    }

    QWidget holder;
    CHyperLink* link;  // owned by holder
    bool openResult = true;
    std::vector<QUrl> opened;
    QStringList reports;
};

}  // namespace

class HyperLinkTest : public QObject {
    Q_OBJECT

private slots:
    void colours_data() {
        QTest::addColumn<bool>("hot");
        QTest::addColumn<bool>("visited");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("normal") << false << false << QColor(0, 0, 238);
        QTest::newRow("visited") << false << true << QColor(85, 26, 139);
        QTest::newRow("hot") << true << false << QColor(255, 0, 0);
        QTest::newRow("hot and visited") << true << true << QColor(255, 0, 0);
    }
    void colours() {
        QFETCH(bool, hot);
        QFETCH(bool, visited);
        QFETCH(QColor, colour);
        LinkFixture fixture;
        fixture.link->MarkOpened(visited);
        if (hot) {
            fixture.Enter();
        }
        QCOMPARE(fixture.link->CurrentColor(), colour);
        // The text is really drawn in that colour.
        QVERIFY(fixture.LongestRun() > 0);
    }

    void underlineModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("hovering");
        QTest::addColumn<bool>("after");
        QTest::addColumn<QString>("text");
        const QString latin = QStringLiteral("How to use");
        const QString chinese = QStringLiteral("如何使用");
        QTest::newRow("while hot")
            << int(CHyperLink::kUnderlineHover) << false << true << false << latin;
        QTest::newRow("never") << int(CHyperLink::kUnderlineNever) << false << false << false
                               << latin;
        QTest::newRow("always") << int(CHyperLink::kUnderlineAlways) << true << true << true
                                << latin;
        // Chinese glyphs come from a fallback font with a taller line; the
        // underline must still fit inside the link.
        QTest::newRow("always, Chinese text")
            << int(CHyperLink::kUnderlineAlways) << true << true << true << chinese;
        QTest::newRow("while hot, Chinese text")
            << int(CHyperLink::kUnderlineHover) << false << true << false << chinese;
    }
    void underlineModes() {
        QFETCH(int, mode);
        QFETCH(bool, before);
        QFETCH(bool, hovering);
        QFETCH(bool, after);
        QFETCH(QString, text);
        LinkFixture fixture;
        fixture.link->setText(text);
        fixture.link->SetUnderlineMode(mode);
        const int textWidth = fixture.link->width();
        auto drawnUnderlined = [&] { return fixture.LongestRun() > textWidth * 3 / 4; };

        QCOMPARE(fixture.link->IsUnderlined(), before);
        QCOMPARE(drawnUnderlined(), before);
        fixture.Enter();
        QCOMPARE(fixture.link->IsUnderlined(), hovering);
        QCOMPARE(drawnUnderlined(), hovering);
        fixture.Leave();
        QCOMPARE(fixture.link->IsUnderlined(), after);
        QCOMPARE(drawnUnderlined(), after);
    }

    void handCursorAndTooltip() {
        LinkFixture fixture;
        QCOMPARE(fixture.link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(fixture.link->toolTip(), kAddress);
    }

    void clickResults() {
        // Each click sets the visited state from its own result.
        LinkFixture fixture;
        fixture.holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.holder));
        QSignalSpy opened(fixture.link, &CHyperLink::opened);

        fixture.Click();
        QCOMPARE(fixture.opened.size(), size_t{1});
        QCOMPARE(fixture.opened.back(), QUrl(kAddress));
        QVERIFY(fixture.link->IsOpened());
        QVERIFY(!fixture.link->IsHot());
        QCOMPARE(fixture.link->CurrentColor(), fixture.link->VisitedColor());
        QVERIFY(fixture.reports.isEmpty());

        fixture.openResult = false;
        fixture.Click();
        QCOMPARE(fixture.opened.size(), size_t{2});
        QVERIFY(!fixture.link->IsOpened());
        QCOMPARE(fixture.link->CurrentColor(), fixture.link->LinkColor());
        QCOMPARE(fixture.reports.size(), 1);
        QCOMPARE(fixture.reports.at(0),
                 kPrefix + QStringLiteral("No application could open the address."));

        fixture.openResult = true;
        fixture.Click();
        QVERIFY(fixture.link->IsOpened());
        QCOMPARE(opened.count(), 3);
        QCOMPARE(opened.at(1).at(0).toBool(), false);
    }

    void unusableAddressIsReportedWithoutOpening_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no text, no address") << ""
                                             << ""
                                             << "The link has no address.";
        QTest::newRow("blank address") << ""
                                       << "   "
                                       << "The link has no address.";
        QTest::newRow("not an address") << ""
                                        << "http://[::1"
                                        << "The address is not valid.";
    }
    void unusableAddressIsReportedWithoutOpening() {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(QString, reason);
        LinkFixture fixture;
        fixture.link->setText(text);
        fixture.link->SetAddress(address);
        fixture.link->MarkOpened(true);
        fixture.link->Open();
        QVERIFY(fixture.opened.empty());
        QVERIFY(!fixture.link->IsOpened());
        QCOMPARE(fixture.reports, QStringList{kPrefix + reason});
    }

    void textAndAddressStandInForEachOther() {
        LinkFixture fixture;
        fixture.link->setText(QString());
        QCOMPARE(fixture.link->text(), kAddress);

        fixture.link->setText(QStringLiteral("www.example.com"));
        fixture.link->SetAddress(QString());
        QCOMPARE(fixture.link->Address(), QStringLiteral("www.example.com"));
        QCOMPARE(fixture.link->toolTip(), QStringLiteral("www.example.com"));
        fixture.link->Open();
        QCOMPARE(fixture.opened.size(), size_t{1});
        QCOMPARE(fixture.opened.back(), QUrl(QStringLiteral("http://www.example.com")));
    }

    void fitsItsText() {
        LinkFixture fixture;
        const QFontMetrics metrics(fixture.link->font());
        QCOMPARE(fixture.link->width(), metrics.horizontalAdvance(QStringLiteral("How to use")));
        QCOMPARE(fixture.link->pos(), QPoint(10, 10));

        // A link without text shows its address and grows with it.
        fixture.link->setText(QString());
        const QString longer = QStringLiteral("https://example.org/a/much/longer/address");
        fixture.link->SetAddress(longer);
        QCOMPARE(fixture.link->width(), metrics.horizontalAdvance(longer));
        QCOMPARE(fixture.link->toolTip(), longer);

        // Right-aligned links keep their right edge.
        fixture.link->SetAlignment(Qt::AlignRight);
        const int right = fixture.link->geometry().right();
        fixture.link->SetAddress(QStringLiteral("https://a.b"));
        QCOMPARE(fixture.link->geometry().right(), right);
    }

    void defaultReportIsAnOkBox() {
        // The real message box, closed by the test as soon as it appears.
        LinkFixture fixture;
        fixture.link->SetErrorReporter(nullptr);
        fixture.openResult = false;
        QString title, text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer closer;
        closer.setInterval(20);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            icon = box->icon();
            box->accept();
        });
        closer.start();
        fixture.link->Open();
        closer.stop();
        QCOMPARE(title, QCoreApplication::applicationName());
        QCOMPARE(text, kPrefix + QStringLiteral("No application could open the address."));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(icon, QMessageBox::Warning);
    }
};

int RunHyperLinkTests(int argc, char** argv) {
    HyperLinkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "hyper_link_test.moc"
