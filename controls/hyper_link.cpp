#include "controls/hyper_link.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QString kOpenFailed = QStringLiteral("Unable to open hyperlink:\n\n");

bool OpenWithDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

void ShowWarning(QWidget* link, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, link ? link->window() : nullptr);
    box.exec();
}

}  // namespace

CHyperLink::CHyperLink(QWidget* parent) : CHyperLink(QString(), parent) {}

CHyperLink::CHyperLink(const QString& text, QWidget* parent)
    : QWidget(parent), m_strText(text), m_opener(OpenWithDesktop), m_reportError(ShowWarning) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    UpdateToolTip();
    FitWindowToText();
}

QString CHyperLink::text() const { return m_strText.isEmpty() ? m_strAddress : m_strText; }

void CHyperLink::setText(const QString& text) {
    if (text == m_strText) {
        return;
    }
    m_strText = text;
    UpdateToolTip();
    FitWindowToText();
    update();
}

QString CHyperLink::Address() const { return m_strAddress.isEmpty() ? m_strText : m_strAddress; }

void CHyperLink::SetAddress(const QString& address) {
    m_strAddress = address;
    UpdateToolTip();
    FitWindowToText();
    update();
}

void CHyperLink::SetUnderlineMode(int mode) {
    if (mode == m_nUnderlineMode) {
        return;
    }
    m_nUnderlineMode = mode;
    update();
}

void CHyperLink::SetColors(const QColor& link, const QColor& visited, const QColor& hot) {
    m_clrLink = link;
    m_clrOpened = visited;
    m_clrHot = hot;
    update();
}

QColor CHyperLink::CurrentColor() const {
    if (m_bHot) {
        return m_clrHot;
    }
    return m_bOpened ? m_clrOpened : m_clrLink;
}

bool CHyperLink::IsUnderlined() const {
    return m_nUnderlineMode == kUnderlineAlways || (m_nUnderlineMode == kUnderlineHover && m_bHot);
}

void CHyperLink::MarkOpened(bool opened) {
    m_bOpened = opened;
    update();
}

void CHyperLink::SetAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    FitWindowToText();
    update();
}

void CHyperLink::SetOpener(Opener opener) {
    m_opener = opener ? std::move(opener) : Opener(OpenWithDesktop);
}

void CHyperLink::SetErrorReporter(ErrorReporter reporter) {
    m_reportError = reporter ? std::move(reporter) : ErrorReporter(ShowWarning);
}

void CHyperLink::Open() {
    m_bHot = false;
    const QString address = Address().trimmed();
    // A full address is taken as written; a bare host name such as
    // "www.example.com" gets the scheme a browser would give it.
    QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && url.scheme().isEmpty()) {
        url = QUrl::fromUserInput(address);
    }
    QString reason;
    if (address.isEmpty()) {
        reason = QStringLiteral("The link has no address.");
    } else if (!url.isValid()) {
        reason = QStringLiteral("The address is not valid.");
    } else if (!m_opener(url)) {
        reason = QStringLiteral("No application could open the address.");
    }
    // Every click decides anew: a failure makes a visited link unvisited.
    MarkOpened(reason.isEmpty());
    emit opened(m_bOpened);
    if (!m_bOpened) {
        QApplication::beep();
        m_reportError(this, kOpenFailed + reason);
    }
}

QFont CHyperLink::DrawFont() const {
    QFont drawn = font();
    drawn.setUnderline(IsUnderlined());
    return drawn;
}

QSize CHyperLink::sizeHint() const {
    QFont lined = font();
    lined.setUnderline(true);
    const QFontMetrics metrics(lined);
    const QString shown = text();
    // Laid out, the line can be taller than the font: glyphs taken from a
    // fallback font (Chinese text, say) bring their own ascent and descent,
    // and the underline sits at the bottom of that taller line.
    const int lineHeight = metrics.size(Qt::TextSingleLine, shown).height();
    return QSize(metrics.horizontalAdvance(shown), qMax(lineHeight, metrics.height()));
}

void CHyperLink::FitWindowToText() {
    // Shrink or grow to the text, keeping the edge the alignment names.
    const QSize fit = sizeHint();
    QRect r = geometry();
    if (m_alignment & Qt::AlignHCenter) {
        r.setLeft(r.left() + (r.width() - fit.width()) / 2);
    } else if (m_alignment & Qt::AlignRight) {
        r.setLeft(r.right() + 1 - fit.width());
    }
    r.setWidth(fit.width());
    if (m_alignment & Qt::AlignVCenter) {
        r.setTop(r.top() + (r.height() - fit.height()) / 2);
    }
    r.setHeight(fit.height());
    setGeometry(r);
    updateGeometry();
}

void CHyperLink::UpdateToolTip() { setToolTip(Address()); }

void CHyperLink::paintEvent(QPaintEvent* /*event*/) {
    // No background of its own: the link sits on its parent's face.
    QPainter painter(this);
    painter.setFont(DrawFont());
    painter.setPen(CurrentColor());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

void CHyperLink::enterEvent(QEnterEvent* event) {
    m_bHot = true;
    update();
    QWidget::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
    m_bHot = false;
    update();
    QWidget::leaveEvent(event);
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bPressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_bPressed) {
        m_bPressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint())) {
            Open();
        }
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CHyperLink::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        FitWindowToText();
    }
    QWidget::changeEvent(event);
}
