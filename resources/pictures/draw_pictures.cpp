// Draws the program's button pictures, the list header's check-box strip and
// the program icon, and writes them as PNG files into the folder given on the
// command line. The normal build does not run this; the PNGs it wrote are
// kept beside it and compiled in. Redraw with the `redraw_pictures` target.
//
// Shaped buttons are cut to every pixel that is not pure white, so each
// shaped picture is drawn on a transparent canvas and flattened afterwards:
// untouched pixels become pure white, touched ones are blended over the
// window's light blue (so anti-aliased edges match what surrounds the button
// on screen) and any touched pixel that came out pure white is nudged off
// white, so the shape has no holes.

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <cstdio>
#include <functional>

namespace {

// Material blue 100: the main window's background.
const QColor kWindowBlue(187, 222, 251);
const QColor kBlue50(227, 242, 253);
const QColor kBlue200(144, 202, 249);
const QColor kBlue400(66, 165, 245);
const QColor kBlue500(33, 150, 243);
const QColor kBlue600(30, 136, 229);
const QColor kBlue700(25, 118, 210);
const QColor kBlue800(21, 101, 192);
const QColor kBlue900(13, 71, 161);
const QColor kGreen500(76, 175, 80);
const QColor kGreen700(56, 142, 60);
const QColor kRed400(239, 83, 80);
const QColor kRed600(229, 57, 53);
const QColor kRed800(198, 40, 40);
const QColor kWhite(255, 255, 255);

const QString kCjkFamily = QStringLiteral("Noto Sans CJK SC");

// How many pixels a picture has per logical pixel: 1 for the plain
// drawings, 2 for the @2x ones of dense screens.
int g_scale = 1;

// A canvas of `width` x `height` logical pixels at the current scale.
QImage NewCanvas(int width, int height) {
    QImage image(width * g_scale, height * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void SetUpPainter(QPainter& painter) {
    painter.scale(g_scale, g_scale);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont CjkFont(int pixelSize, QFont::Weight weight) {
    QFont font(kCjkFamily);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Blends every touched pixel of `art` over `backdrop`; untouched pixels become
// `surround`. With `keepOffSurround`, a touched pixel never equals `surround`.
QImage Flatten(const QImage& art, QColor surround, QColor backdrop, bool keepOffSurround) {
    QImage out(art.size(), QImage::Format_RGB888);
    for (int y = 0; y < art.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(art.constScanLine(y));
        for (int x = 0; x < art.width(); ++x) {
            const QRgb p = src[x];
            const int a = qAlpha(p);
            QColor c;
            if (a == 0) {
                c = surround;
            } else {
                // Premultiplied source over an opaque backdrop.
                const int r = qRed(p) + (backdrop.red() * (255 - a) + 127) / 255;
                const int g = qGreen(p) + (backdrop.green() * (255 - a) + 127) / 255;
                const int b = qBlue(p) + (backdrop.blue() * (255 - a) + 127) / 255;
                c = QColor(qMin(r, 255), qMin(g, 255), qMin(b, 255));
                if (keepOffSurround && c == surround) {
                    c = QColor(qMax(surround.red() - 1, 0), qMax(surround.green() - 1, 0),
                               qMax(surround.blue() - 1, 0));
                }
            }
            out.setPixelColor(x, y, c);
        }
    }
    return out;
}

// A shaped button's outline is cut from its plain drawing; the denser
// drawing is only painted inside that outline, so what it leaves untouched
// takes the window's colour rather than the cut-away white.
QImage FlattenShaped(const QImage& art) {
    if (g_scale > 1) return Flatten(art, kWindowBlue, kWindowBlue, false);
    return Flatten(art, kWhite, kWindowBlue, true);
}

// A light card with a soft blue rim, the common face of the three tiles of
// the list's button column.
void DrawTile(QPainter& p, const QRectF& r) {
    QPainterPath path;
    path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0.0, QColor(248, 252, 255));
    fill.setColorAt(1.0, kBlue50);
    p.fillPath(path, fill);
    p.setPen(QPen(kBlue200, 1.0));
    p.drawPath(path);
}

// The three tiles of the list's button column are wider (and 178 taller)
// than the buttons that show them, and a button shows its picture from the
// top-left corner without scaling. Each tile is therefore drawn in the part
// a button of the column shows; the rest stays white and is cut away by the
// button's shape.
constexpr qreal kColumnTileWidth = 93;
constexpr qreal kAddTileHeight = 59;

// 178: drop zone with a green plus over "拖放文件到这里" (or its English).
QImage DrawAddFiles(const QString& caption) {
    QImage art = NewCanvas(100, 80);
    QPainter p(&art);
    SetUpPainter(p);
    const QRectF card(0, 0, kColumnTileWidth, kAddTileHeight);
    DrawTile(p, card);

    // Dashed inner outline: the place to drop files.
    QPen dash(kBlue400, 1.2, Qt::CustomDashLine, Qt::RoundCap);
    dash.setDashPattern({3.0, 2.5});
    p.setPen(dash);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(card.adjusted(3.5, 3.5, -3.5, -3.5), 7, 7);

    // Green disc with a white plus.
    const QPointF centre(card.center().x(), 22);
    const qreal radius = 12.5;
    QLinearGradient disc(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    disc.setColorAt(0.0, kGreen500);
    disc.setColorAt(1.0, kGreen700);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 28));
    p.drawEllipse(centre + QPointF(0, 1.2), radius, radius);
    p.setBrush(disc);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(kWhite, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-6, 0), centre + QPointF(6, 0));
    p.drawLine(centre + QPointF(0, -6), centre + QPointF(0, 6));

    p.setPen(kBlue900);
    const QRectF line(4, 37, card.width() - 8, 17);
    int pixels = 11;
    while (pixels > 8 &&
           QFontMetricsF(CjkFont(pixels, QFont::Medium)).horizontalAdvance(caption) > line.width())
        --pixels;
    p.setFont(CjkFont(pixels, QFont::Medium));
    p.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, caption);
    p.end();
    return FlattenShaped(art);
}

// 331: a red disc with a white cross.
QImage DrawDeleteFile() {
    QImage art = NewCanvas(100, 56);
    QPainter p(&art);
    SetUpPainter(p);
    DrawTile(p, QRectF(0, 0, kColumnTileWidth, 56));

    const QPointF centre(kColumnTileWidth / 2, 28);
    const qreal radius = 17;
    QLinearGradient disc(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    disc.setColorAt(0.0, kRed400);
    disc.setColorAt(1.0, kRed800);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 28));
    p.drawEllipse(centre + QPointF(0, 1.2), radius, radius);
    p.setBrush(disc);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(kWhite, 3.6, Qt::SolidLine, Qt::RoundCap));
    const qreal arm = 6.5;
    p.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
    p.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
    p.end();
    return FlattenShaped(art);
}

// 214: a red brush sweeping, for "remove every file".
QImage DrawClearList() {
    QImage art = NewCanvas(100, 56);
    QPainter p(&art);
    SetUpPainter(p);
    DrawTile(p, QRectF(0, 0, kColumnTileWidth, 56));

    // The brush leans 35 degrees to the right; draw it upright around the
    // origin and let the transform place it.
    p.save();
    p.translate(kColumnTileWidth / 2 + 2, 30);
    p.rotate(35);

    // Handle.
    QPainterPath handle;
    handle.addRoundedRect(QRectF(-2.6, -24, 5.2, 22), 2.6, 2.6);
    QLinearGradient wood(-2.6, 0, 2.6, 0);
    wood.setColorAt(0.0, kRed600);
    wood.setColorAt(1.0, kRed800);
    p.setPen(Qt::NoPen);
    p.fillPath(handle, wood);

    // Ferrule binding the bristles.
    QPainterPath ferrule;
    ferrule.addRoundedRect(QRectF(-7, -4, 14, 6), 1.8, 1.8);
    p.fillPath(ferrule, kRed800);

    // Bristles fanning out.
    QPainterPath bristles;
    bristles.moveTo(-7, 2);
    bristles.lineTo(7, 2);
    bristles.cubicTo(9, 8, 11, 13, 12, 17);
    bristles.quadTo(0, 19.5, -12, 17);
    bristles.cubicTo(-11, 13, -9, 8, -7, 2);
    bristles.closeSubpath();
    QLinearGradient fan(0, 2, 0, 18);
    fan.setColorAt(0.0, kRed400);
    fan.setColorAt(1.0, kRed600);
    p.fillPath(bristles, fan);
    p.setPen(QPen(QColor(183, 28, 28, 150), 0.9, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {-6.0, -2.0, 2.0, 6.0}) {
        p.drawLine(QPointF(x * 0.7, 4), QPointF(x * 1.3, 16.5));
    }
    p.restore();

    // A few sparkles where the brush has swept.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue400);
    auto sparkle = [&p](QPointF c, qreal s) {
        QPainterPath star;
        star.moveTo(c.x(), c.y() - s);
        star.quadTo(c.x(), c.y(), c.x() + s, c.y());
        star.quadTo(c.x(), c.y(), c.x(), c.y() + s);
        star.quadTo(c.x(), c.y(), c.x() - s, c.y());
        star.quadTo(c.x(), c.y(), c.x(), c.y() - s);
        p.drawPath(star);
    };
    sparkle(QPointF(21, 38), 4.5);
    sparkle(QPointF(16, 27), 3.0);
    sparkle(QPointF(28, 48), 2.5);
    p.end();
    return FlattenShaped(art);
}

// 295: the round start button, "开始" (or its English). Not shaped: its
// corners take the window's colour.
QImage DrawStart(const QString& caption) {
    QImage art = NewCanvas(84, 84);
    QPainter p(&art);
    SetUpPainter(p);
    const QPointF centre(42, 41);
    const qreal radius = 38;

    // Soft shadow below.
    QRadialGradient shadow(centre + QPointF(0, 2.5), radius + 3);
    shadow.setColorAt(0.85, QColor(13, 71, 161, 70));
    shadow.setColorAt(1.0, QColor(13, 71, 161, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(centre + QPointF(0, 2.5), radius + 3, radius + 3);

    // Rim and face.
    QLinearGradient rim(0, centre.y() - radius, 0, centre.y() + radius);
    rim.setColorAt(0.0, QColor(232, 244, 255));
    rim.setColorAt(1.0, kBlue200);
    p.setBrush(rim);
    p.drawEllipse(centre, radius, radius);
    QLinearGradient face(0, centre.y() - radius, 0, centre.y() + radius);
    face.setColorAt(0.0, kBlue400);
    face.setColorAt(0.55, kBlue600);
    face.setColorAt(1.0, kBlue800);
    p.setBrush(face);
    p.drawEllipse(centre, radius - 3.5, radius - 3.5);

    // Gloss on the upper half.
    QPainterPath gloss;
    gloss.addEllipse(QRectF(centre.x() - 24, centre.y() - 31, 48, 30));
    QLinearGradient shine(0, centre.y() - 31, 0, centre.y() - 1);
    shine.setColorAt(0.0, QColor(255, 255, 255, 80));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillPath(gloss, shine);

    p.setFont(CjkFont(caption.size() > 2 ? 18 : 22, QFont::Bold));
    p.setPen(QColor(13, 71, 161, 110));
    p.drawText(QRectF(0, 1.2, 84, 82), Qt::AlignCenter, caption);
    p.setPen(kWhite);
    p.drawText(QRectF(0, 0, 84, 82), Qt::AlignCenter, caption);
    p.end();
    return Flatten(art, kWindowBlue, kWindowBlue, false);
}

// 335 and 268: pill-shaped buttons with a white caption.
QImage DrawPill(int width, int height, const QString& caption) {
    QImage art = NewCanvas(width, height);
    QPainter p(&art);
    SetUpPainter(p);
    const QRectF body(1, 1, width - 2, height - 3);
    const qreal round = body.height() / 2;

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(13, 71, 161, 60));
    p.drawRoundedRect(body.translated(0, 1.5), round, round);

    QLinearGradient fill(0, body.top(), 0, body.bottom());
    fill.setColorAt(0.0, kBlue500);
    fill.setColorAt(1.0, kBlue700);
    p.setBrush(fill);
    p.drawRoundedRect(body, round, round);

    // Thin light line along the top edge.
    QPainterPath inner;
    inner.addRoundedRect(body.adjusted(1, 1, -1, -1), round - 1, round - 1);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 45), 1.0));
    p.drawPath(inner);

    p.setFont(CjkFont(14, QFont::Medium));
    p.setPen(kWhite);
    p.drawText(body, Qt::AlignCenter, caption);
    p.end();
    return FlattenShaped(art);
}

// 292: three 16x16 images on magenta: nothing, an empty box, a ticked box.
QImage DrawCheckStrip() {
    QImage art = NewCanvas(48, 16);
    QPainter p(&art);
    SetUpPainter(p);
    for (int index : {1, 2}) {
        const QRectF box(index * 16 + 2, 2, 12, 12);
        const bool ticked = index == 2;
        p.setPen(QPen(ticked ? kBlue700 : QColor(117, 117, 117), 1.0));
        p.setBrush(ticked ? kBlue600 : kWhite);
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 2.2, 2.2);
        if (ticked) {
            QPainterPath tick;
            tick.moveTo(box.left() + 2.8, box.top() + 6.2);
            tick.lineTo(box.left() + 5.0, box.top() + 8.6);
            tick.lineTo(box.left() + 9.4, box.top() + 3.6);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(kWhite, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(tick);
        }
    }
    p.end();
    // Edges blend over a light header face; magenta stays the key colour.
    return Flatten(art, QColor(255, 0, 255), QColor(246, 246, 246), true);
}

// 266: the program icon, a blue tile with a film frame and a muted speaker.
QImage DrawIcon(int size) {
    QImage art = NewCanvas(size, size);
    QPainter p(&art);
    SetUpPainter(p);
    p.scale(size / 64.0, size / 64.0);
    const bool tiny = size <= 16;

    QPainterPath tile;
    tile.addRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
    QLinearGradient fill(0, 2, 0, 62);
    fill.setColorAt(0.0, kBlue400);
    fill.setColorAt(1.0, kBlue800);
    p.fillPath(tile, fill);

    if (!tiny) {
        // Film frame with sprocket holes.
        QPainterPath frame;
        frame.addRoundedRect(QRectF(11, 13, 42, 27), 4, 4);
        p.fillPath(frame, QColor(255, 255, 255, 235));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue700);
        for (int i = 0; i < 5; ++i) {
            p.drawRoundedRect(QRectF(14 + i * 8, 15.5, 4, 3), 1, 1);
            p.drawRoundedRect(QRectF(14 + i * 8, 34.5, 4, 3), 1, 1);
        }
        QPainterPath play;
        play.moveTo(28, 21);
        play.lineTo(37, 26.5);
        play.lineTo(28, 32);
        play.closeSubpath();
        p.fillPath(play, kBlue700);
    }

    // Speaker with a slash: no sound.
    const QPointF at = tiny ? QPointF(10, 14) : QPointF(18, 42);
    const qreal k = tiny ? 2.2 : 1.0;
    p.save();
    p.translate(at);
    p.scale(k, k);
    QPainterPath speaker;
    speaker.moveTo(0, 5);
    speaker.lineTo(5, 5);
    speaker.lineTo(11, 0);
    speaker.lineTo(11, 16);
    speaker.lineTo(5, 11);
    speaker.lineTo(0, 11);
    speaker.closeSubpath();
    p.fillPath(speaker, kWhite);
    p.setPen(QPen(QColor(255, 224, 178), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 3), QPointF(25, 13));
    p.drawLine(QPointF(25, 3), QPointF(15, 13));
    p.restore();
    p.end();

    QImage out = art.convertToFormat(QImage::Format_ARGB32);
    return out;
}

bool Save(const QImage& image, const QDir& dir, const QString& name) {
    QString file = name;
    if (g_scale > 1) file += QStringLiteral("@%1x").arg(g_scale);
    const QString path = dir.filePath(file + QStringLiteral(".png"));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

// The words drawn into the pictures, per picture language.
struct Captions {
    QString suffix;  // of the file names: "178" + suffix + ".png"
    QString addFiles;
    QString openFolder;
    QString start;
    QString browse;
};

const Captions kChinese{QString(), QStringLiteral("拖放文件到这里"), QStringLiteral("打开目录"),
                        QStringLiteral("开始"), QStringLiteral("浏览")};
const Captions kEnglish{QStringLiteral("_en"), QStringLiteral("Drop files here"),
                        QStringLiteral("Open folder"), QStringLiteral("Start"),
                        QStringLiteral("Browse")};

bool SaveAll(const QDir& dir) {
    bool ok = true;
    for (const Captions& words : {kChinese, kEnglish}) {
        ok &= Save(DrawAddFiles(words.addFiles), dir, QStringLiteral("178") + words.suffix);
        ok &= Save(DrawPill(96, 35, words.openFolder), dir, QStringLiteral("268") + words.suffix);
        ok &= Save(DrawStart(words.start), dir, QStringLiteral("295") + words.suffix);
        ok &= Save(DrawPill(65, 35, words.browse), dir, QStringLiteral("335") + words.suffix);
    }
    ok &= Save(DrawClearList(), dir, QStringLiteral("214"));
    ok &= Save(DrawDeleteFile(), dir, QStringLiteral("331"));
    ok &= Save(DrawCheckStrip(), dir, QStringLiteral("292"));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (int scale : {1, 2}) {
        g_scale = scale;
        ok &= SaveAll(dir);
    }
    // The icon is drawn at each of its sizes instead.
    g_scale = 1;
    ok &= Save(DrawIcon(256), dir, QStringLiteral("266"));
    ok &= Save(DrawIcon(32), dir, QStringLiteral("266_32"));
    ok &= Save(DrawIcon(16), dir, QStringLiteral("266_16"));
    return ok ? 0 : 1;
}
