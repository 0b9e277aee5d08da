#pragma once

#include <QColor>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

// A web link: its text in a link colour (normal, visited, or hot while the
// mouse is over it), underlined always, never or only while hot, with a hand
// cursor and a tooltip showing the address. A click opens the address; the
// link turns to its visited colour when that worked, back to the normal colour
// when it failed, and a failure is explained in a message box.
//
// The widget keeps the size of its text: it shrinks or grows to fit whenever
// the text, address or font change, keeping its left edge, its right edge
// (Qt::AlignRight) or its centre (Qt::AlignHCenter).
class CHyperLink : public QWidget {
    Q_OBJECT

public:
    enum UnderlineMode { kUnderlineHover = -1, kUnderlineNever = 0, kUnderlineAlways = 1 };

    // Opens an address; returns whether that worked.
    using Opener = std::function<bool(const QUrl& url)>;
    // Shows a failure message (`text`) to the user on behalf of `link`.
    using ErrorReporter = std::function<void(QWidget* link, const QString& text)>;

    explicit CHyperLink(QWidget* parent = nullptr);
    explicit CHyperLink(const QString& text, QWidget* parent = nullptr);

    // The text shown; an empty text shows the address instead.
    QString text() const;
    void setText(const QString& text);

    // The address opened; an empty address uses the text instead.
    QString Address() const;
    void SetAddress(const QString& address);

    int UnderlineModeValue() const { return m_nUnderlineMode; }
    void SetUnderlineMode(int mode);

    void SetColors(const QColor& link, const QColor& visited, const QColor& hot);
    QColor LinkColor() const { return m_clrLink; }
    QColor VisitedColor() const { return m_clrOpened; }
    QColor HotColor() const { return m_clrHot; }
    // The colour the text is drawn in now.
    QColor CurrentColor() const;
    bool IsUnderlined() const;

    bool IsHot() const { return m_bHot; }
    bool IsOpened() const { return m_bOpened; }
    void MarkOpened(bool opened);

    void SetAlignment(Qt::Alignment alignment);

    // Replace how addresses are opened and failures shown (tests, or a
    // program that wants its own). Defaults: QDesktopServices::openUrl and a
    // warning box with an OK button titled with the application name.
    void SetOpener(Opener opener);
    void SetErrorReporter(ErrorReporter reporter);

    // Opens the address as a click does.
    void Open();

    QSize sizeHint() const override;

signals:
    // After each attempt to open the address.
    void opened(bool success);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont DrawFont() const;
    void FitWindowToText();
    void UpdateToolTip();

    QColor m_clrLink{0, 0, 238};
    QColor m_clrOpened{85, 26, 139};
    QColor m_clrHot{255, 0, 0};
    bool m_bHot = false;
    bool m_bOpened = false;
    bool m_bPressed = false;
    int m_nUnderlineMode = kUnderlineHover;
    QString m_strText;
    QString m_strAddress;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    Opener m_opener;
    ErrorReporter m_reportError;
};
