// Start-up, layout and the window-level events of the main window.

#include "tarnwick_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "app_settings.h"
#include "controls/check_list_ctrl.h"
#include "controls/colorref.h"
#include "controls/control_button.h"
#include "controls/hyper_link.h"
#include "desktop_opener.h"
#include "dialog_units.h"
#include "engine/av_converter.h"
#include "interface_texts.h"
#include "jobs/av_convert_dlg.h"
#include "jobs/job_controller.h"
#include "mainwindow/interface_language.h"
#include "message_box.h"
#include "resources/pictures.h"

namespace {

// Template of the window, in dialog units.
constexpr int kWindowWidth = 362;
constexpr int kWindowHeight = 205;

// Colours as 0x00BBGGRR.
constexpr std::uint32_t kBackgroundColor = 0x00FBDEBB;
constexpr std::uint32_t kListBackgroundColor = 0x00E9FAF1;

// File-list column widths in pixels; the profile column is there for the
// job code but not shown.
constexpr int kColumnWidths[CTarnwickDlg::kColumnCount] = {155, 60, 90, 75, 70, 65, 40, 0};

QFont DialogFont() {
    // The template's font where it is installed, otherwise the system's
    // sans-serif at the same size; Chinese texts fall back to a CJK font.
    QFont font(QStringLiteral("MS Shell Dlg"), 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont LinkFont() {
    QFont font(QStringLiteral("Microsoft Sans Serif"), 10);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// How long the file probed last stays open for a job to take it: enough to
// check the rows and press start after an add.
constexpr int kKeepProbedInputMs = 60 * 1000;

// The smallest size the help link's font is shrunk to when its text is too
// long for the room above the buttons.
constexpr double kSmallestLinkPointSize = 7.0;

}  // namespace

CTarnwickDlg::CTarnwickDlg(QWidget* parent) : QDialog(parent) {
    CreateControls();
    OnInitDialog();
    // Delete must reach the file list from whatever control has the focus,
    // the folder field included, so it is caught before any widget sees it.
    qApp->installEventFilter(this);
}

CTarnwickDlg::~CTarnwickDlg() {
    // The list and its model outlive this part of the object: the rows they
    // remove while they are destroyed must not reach the slots here.
    disconnect(m_fileList->model(), nullptr, this, nullptr);
    disconnect(m_fileList, nullptr, this, nullptr);
}

void CTarnwickDlg::CreateControls() {
    setFont(DialogFont());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);

    const DialogUnits du(font());
    // The designed size is the default and the smallest; larger, the list
    // grows and the buttons keep their places against the right and bottom
    // edges (see resizeEvent).
    m_designedSize = QSize(du.X(kWindowWidth), du.Y(kWindowHeight));
    setMinimumSize(m_designedSize);
    resize(m_designedSize);

    m_releaseProbedInput = new QTimer(this);
    m_releaseProbedInput->setObjectName(QStringLiteral("releaseProbedInput"));
    m_releaseProbedInput->setSingleShot(true);
    m_releaseProbedInput->setInterval(kKeepProbedInputMs);
    connect(m_releaseProbedInput, &QTimer::timeout, this, [] {
        if (g_pEngine) g_pEngine->ReleaseProbedInput();
    });

    m_jobs = new velmora::JobController(this);
    connect(m_jobs, &velmora::JobController::rowFinished, this, &CTarnwickDlg::OnRowFinished);

    m_fileList = new CCheckListCtrl(this);
    m_fileList->setObjectName(QStringLiteral("fileList"));
    m_fileList->setGeometry(du.Rect(6, 0, 289, 146));
    // A long path keeps its start and its file name.
    m_fileList->setTextElideMode(Qt::ElideMiddle);

    const auto makeButton = [this](const char* name, QRect rect) {
        auto* button = new CControlButton(this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(rect);
        // Reached with Tab and pressed with Space or Enter, like any button.
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    };
    m_btnAdd = makeButton("addButton", du.Rect(302, 20, 54, 32));
    m_btnDelete = makeButton("deleteButton", du.Rect(302, 53, 54, 33));
    m_btnClear = makeButton("clearButton", du.Rect(302, 86, 54, 31));
    m_btnStart = makeButton("startButton", du.Rect(306, 144, 50, 54));
    m_btnBrowse = makeButton("browseButton", du.Rect(210, 161, 36, 17));
    m_btnOpenFolder = makeButton("openFolderButton", du.Rect(246, 161, 57, 17));

    m_linkHelp = new CHyperLink(this);
    m_linkHelp->setObjectName(QStringLiteral("helpLink"));
    m_linkHelp->setFont(LinkFont());
    m_linkHelp->setGeometry(du.Rect(307, 3, 49, 8));  // refitted to its text later

    m_labelOutputFolder = new QLabel(this);
    m_labelOutputFolder->setObjectName(QStringLiteral("outputFolderLabel"));
    m_labelOutputFolder->setGeometry(du.Rect(6, 167, 31, 10));

    m_comboOutputFolder = new QComboBox(this);
    m_comboOutputFolder->setObjectName(QStringLiteral("outputFolder"));
    m_comboOutputFolder->setEditable(true);
    // Typing and Enter change only the text; the list collects the folders
    // chosen with the browse button.
    m_comboOutputFolder->setInsertPolicy(QComboBox::NoInsert);
    m_comboOutputFolder->setGeometry(du.Rect(39, 165, 169, 12));

    // Under the output folder: how many files the list holds and what the
    // last job did.
    m_labelSummary = new QLabel(this);
    m_labelSummary->setObjectName(QStringLiteral("summaryLine"));
    m_labelSummary->setGeometry(du.Rect(6, 184, 296, 9));
    m_labelSummary->setTextFormat(Qt::PlainText);
    // Files dropped on the field are added to the list like anywhere else.
    m_comboOutputFolder->lineEdit()->setAcceptDrops(false);

    // Reading order: the list, its buttons, the output folder, then start.
    setTabOrder(m_fileList, m_btnAdd);
    setTabOrder(m_btnAdd, m_btnDelete);
    setTabOrder(m_btnDelete, m_btnClear);
    setTabOrder(m_btnClear, m_comboOutputFolder);
    setTabOrder(m_comboOutputFolder, m_btnBrowse);
    setTabOrder(m_btnBrowse, m_btnOpenFolder);
    setTabOrder(m_btnOpenFolder, m_btnStart);

    // Shortcuts: Ctrl+O adds files, Ctrl+Enter starts, F1 opens the help.
    const auto shortcut = [this](const QKeySequence& keys, auto slot) {
        auto* key = new QShortcut(keys, this);
        connect(key, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Open, &CTarnwickDlg::OnAddFiles);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), &CTarnwickDlg::OnSoundRemoval);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), &CTarnwickDlg::OnSoundRemoval);
    shortcut(QKeySequence::HelpContents, [this] { m_linkHelp->Open(); });

    m_fileList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_fileList, &QWidget::customContextMenuRequested, this,
            &CTarnwickDlg::OnListMenuRequested);
    connect(m_fileList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        OnRowDoubleClicked(m_fileList->indexOfTopLevelItem(item));
    });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_fileList->model(), signal, this, &CTarnwickDlg::UpdateSummaryLine);
    connect(m_fileList->model(), &QAbstractItemModel::modelReset, this,
            &CTarnwickDlg::UpdateSummaryLine);

    connect(m_btnAdd, &QAbstractButton::clicked, this, &CTarnwickDlg::OnAddFiles);
    connect(m_btnDelete, &QAbstractButton::clicked, this, &CTarnwickDlg::OnDeleteFile);
    connect(m_btnClear, &QAbstractButton::clicked, this, &CTarnwickDlg::OnClearList);
    connect(m_btnStart, &QAbstractButton::clicked, this, &CTarnwickDlg::OnSoundRemoval);
    connect(m_btnBrowse, &QAbstractButton::clicked, this, &CTarnwickDlg::OnBrowseFolder);
    connect(m_btnOpenFolder, &QAbstractButton::clicked, this, &CTarnwickDlg::OnOpenFolder);
}

void CTarnwickDlg::OnInitDialog() {
    setWindowIcon(LoadProgramIcon());

    SetLanguageFileName(ReadSetting(kLanguageFile));
    QString startFolder = ReadSetting(kOutputFolder);
    // First start: the user's Videos folder when it can take the copies, else
    // the home folder. Remembered only once chosen with Browse.
    if (startFolder.isEmpty()) startFolder = DefaultOutputFolder();

    // The window, its static texts and the buttons' surroundings are light
    // blue; edit fields keep the system colours.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, ColorFromColorRef(kBackgroundColor));
    setPalette(windowPalette);
    setAutoFillBackground(true);
    m_comboOutputFolder->setPalette(QApplication::palette(m_comboOutputFolder));

    m_bOpenFolder = IsOpenFolderOn(ReadSetting(kOpenFolder).toStdString());

    m_fileList->setColumnCount(kColumnCount);
    for (int column = 0; column < kColumnCount; ++column) {
        m_fileList->setColumnWidth(column, kColumnWidths[column]);
    }
    m_fileList->InitCheckHeader();

    LoadInterfaceTexts();

    struct ButtonPicture {
        CControlButton* button;
        int picture;
    };
    for (const ButtonPicture& entry : {ButtonPicture{m_btnAdd, picture::kAddFiles},
                                       ButtonPicture{m_btnDelete, picture::kDeleteFile},
                                       ButtonPicture{m_btnClear, picture::kClearList},
                                       ButtonPicture{m_btnBrowse, picture::kBrowse},
                                       ButtonPicture{m_btnOpenFolder, picture::kOpenFolder}}) {
        entry.button->SetRegionFromBitmap(entry.picture, true);
        entry.button->SetBitmaps(entry.picture, entry.picture, entry.picture, entry.picture);
    }
    // The start button keeps its rectangle.
    m_btnStart->setEnabled(true);
    m_btnStart->SetBitmaps(picture::kStart, picture::kStart, picture::kStart, picture::kStart);
    m_btnStart->update();

    m_fileList->SetBkColor(ColorFromColorRef(kListBackgroundColor));

    FitControlsToContent();

    m_strOutputFolder = startFolder;
    UpdateData(false);
    RestoreWindowLayout();
}

void CTarnwickDlg::LoadInterfaceTexts() {
    ::LoadInterfaceTexts(LanguageFilePath(LanguageFileName()));
    UseInterfaceLanguage(InterfaceText(lang::kLocale));

    m_linkHelp->setText(InterfaceText(lang::kHelpLinkText));
    m_linkHelp->SetAddress(InterfaceText(lang::kUrl));
    m_linkHelp->SetUnderlineMode(CHyperLink::kUnderlineAlways);
    m_linkHelp->SetOpener([](const QUrl& url) { return OpenWithDesktop(url); });
    m_linkHelp->SetErrorReporter([](QWidget* link, const QString& text) {
        ShowMessageBox(link, text, QMessageBox::Warning);
    });
    PlaceHelpLink();

    m_fileList->setHeaderLabels({
        InterfaceText(lang::kColumnFile),
        InterfaceText(lang::kColumnFormat),
        InterfaceText(lang::kColumnDuration),
        InterfaceText(lang::kColumnFrameSize),
        InterfaceText(lang::kColumnBitRate),
        InterfaceText(lang::kColumnFrameRate),
        InterfaceText(lang::kColumnStatus),
        InterfaceText(lang::kColumnProfile),
    });

    m_btnAdd->setToolTip(InterfaceText(lang::kAddFilesHint));
    m_btnDelete->setToolTip(InterfaceText(lang::kDeleteFileHint));
    m_btnStart->setToolTip(InterfaceText(lang::kStartHint));
    m_btnClear->setToolTip(InterfaceText(lang::kClearListHint));
    m_btnBrowse->setToolTip(InterfaceText(lang::kBrowseHint));
    m_btnOpenFolder->setToolTip(InterfaceText(lang::kOpenFolderHint));
    m_fileList->setToolTip(InterfaceText(lang::kFileListHint));
    m_labelOutputFolder->setText(InterfaceText(lang::kOutputFolderLabel));
    UpdateSummaryLine();
    // What a screen reader says for the picture buttons, which have no text.
    m_btnAdd->setAccessibleName(InterfaceText(lang::kAddFilesHint));
    m_btnDelete->setAccessibleName(InterfaceText(lang::kDeleteFileHint));
    m_btnClear->setAccessibleName(InterfaceText(lang::kClearListHint));
    m_btnStart->setAccessibleName(InterfaceText(lang::kStartHint));
    m_btnBrowse->setAccessibleName(InterfaceText(lang::kBrowseHint));
    m_btnOpenFolder->setAccessibleName(InterfaceText(lang::kOpenFolderHint));
    m_fileList->setAccessibleName(InterfaceText(lang::kColumnFile));
    m_comboOutputFolder->setAccessibleName(InterfaceText(lang::kOutputFolderLabel));

    setWindowTitle(InterfaceText(lang::kName) + QLatin1Char(' ') + InterfaceText(lang::kVersion));
}

void CTarnwickDlg::FitControlsToContent() {
    // Dialog units follow the font, the pictures do not: where the font
    // makes a button smaller than its picture, the button grows to show all
    // of it (rounded ends, borders), and a neighbour to its right moves on.
    // The upper tiles of the column end where the next one begins.
    for (CControlButton* button : {m_btnClear, m_btnBrowse, m_btnOpenFolder}) {
        const QRect drawn = button->ShapeRegion() ? button->ShapeRegion()->boundingRect()
                                                  : QRect(QPoint(), button->sizeHint());
        button->resize(std::max(button->width(), drawn.right() + 1),
                       std::max(button->height(), drawn.bottom() + 1));
    }
    if (m_btnBrowse->geometry().right() >= m_btnOpenFolder->x())
        m_btnOpenFolder->move(m_btnBrowse->geometry().right() + 1, m_btnOpenFolder->y());

    // The label before the folder field takes the room its text needs; the
    // field starts after it.
    const QRect label = m_labelOutputFolder->geometry();
    const int needed = m_labelOutputFolder->sizeHint().width();
    if (needed > label.width()) {
        const int grow = needed - label.width();
        m_labelOutputFolder->resize(needed, label.height());
        const QRect field = m_comboOutputFolder->geometry();
        m_comboOutputFolder->setGeometry(field.adjusted(grow, 0, 0, 0));
    }
}

void CTarnwickDlg::PlaceHelpLink() {
    // The link is centred over the button column, between the list and the
    // window's edge. Language files carry texts of any length: one that does
    // not fit at 10 points gets a smaller font, and one that does not fit
    // even then is cut at the column's edges rather than cover the list.
    const DialogUnits du(font());
    const int left = du.X(298) + std::max(0, width() - m_designedSize.width());
    const QRect column(left, du.Y(3), width() - du.X(2) - left, du.Y(8));
    QFont linkFont = LinkFont();
    linkFont.setUnderline(true);
    while (linkFont.pointSizeF() > kSmallestLinkPointSize &&
           QFontMetrics(linkFont).horizontalAdvance(m_linkHelp->text()) > column.width()) {
        linkFont.setPointSizeF(linkFont.pointSizeF() - 0.5);
    }
    linkFont.setUnderline(false);
    m_linkHelp->setFont(linkFont);
    m_linkHelp->setGeometry(column);
    m_linkHelp->SetAlignment(Qt::AlignHCenter);
    if (m_linkHelp->width() > column.width()) {
        m_linkHelp->setGeometry(column.left(), m_linkHelp->y(), column.width(),
                                m_linkHelp->height());
    }
}

namespace {

QString Numbers(const QList<int>& values) {
    QStringList texts;
    for (int value : values) texts << QString::number(value);
    return texts.join(QLatin1Char(','));
}

QList<int> NumbersOf(const QString& text) {
    QList<int> values;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        if (!ok || value < 0 || value > 100000) return {};
        values << value;
    }
    return values;
}

}  // namespace

void CTarnwickDlg::SaveWindowLayout() {
    const QSize size = isMaximized() ? normalGeometry().size() : this->size();
    QList<int> widths;
    for (int column = 0; column < kColumnCount; ++column) widths << m_fileList->columnWidth(column);
    const QList<int> designed(std::begin(kColumnWidths), std::end(kColumnWidths));
    // Only what the user changed is written: the designed layout needs no key.
    if (size != m_designedSize || !ReadSetting(kWindowSize).isEmpty())
        WriteSetting(kWindowSize, Numbers({size.width(), size.height()}));
    if (widths != designed || !ReadSetting(kListColumnWidths).isEmpty())
        WriteSetting(kListColumnWidths, Numbers(widths));
}

void CTarnwickDlg::RestoreWindowLayout() {
    const QList<int> size = NumbersOf(ReadSetting(kWindowSize));
    if (size.size() == 2) resize(QSize(size[0], size[1]).expandedTo(m_designedSize));
    const QList<int> widths = NumbersOf(ReadSetting(kListColumnWidths));
    if (widths.size() == kColumnCount)
        for (int column = 0; column + 1 < kColumnCount; ++column)
            m_fileList->setColumnWidth(column, widths[column]);
}

void CTarnwickDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_designedGeometry.isEmpty()) {
        // The controls' places at the designed size, taken once.
        for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            m_designedGeometry.insert(child, child->geometry());
    }
    const int dx = std::max(0, width() - m_designedSize.width());
    const int dy = std::max(0, height() - m_designedSize.height());
    const auto place = [&](QWidget* widget, int moveX, int moveY, int growX, int growY) {
        const QRect at = m_designedGeometry.value(widget);
        if (at.isNull()) return;
        widget->setGeometry(at.translated(moveX, moveY).adjusted(0, 0, growX, growY));
    };
    place(m_fileList, 0, 0, dx, dy);
    for (QWidget* right : {static_cast<QWidget*>(m_btnAdd), static_cast<QWidget*>(m_btnDelete),
                           static_cast<QWidget*>(m_btnClear)})
        place(right, dx, 0, 0, 0);
    place(m_btnStart, dx, dy, 0, 0);
    place(m_labelOutputFolder, 0, dy, 0, 0);
    place(m_labelSummary, 0, dy, dx, 0);
    place(m_comboOutputFolder, 0, dy, dx, 0);
    place(m_btnBrowse, dx, dy, 0, 0);
    place(m_btnOpenFolder, dx, dy, 0, 0);
    PlaceHelpLink();
}

void CTarnwickDlg::closeEvent(QCloseEvent* event) {
    if (IsAdding()) {
        // The add loop still holds the engine; it ends at its next file and
        // closes the window then.
        m_bCloseRequested = true;
        event->ignore();
        return;
    }
    // A running job is stopped first, as its dialog's close box would, and
    // its end reported once its worker has ended: the engine goes next.
    if (m_progressDlg != nullptr) m_progressDlg->OnClose();
    m_jobs->FinishNow();
    SaveWindowLayout();
    OnClose();
    event->accept();
}

void CTarnwickDlg::OnClose() {
    // Releasing the engine stops and joins its worker first.
    g_pEngine.reset();
    UpdateData(true);
    QDialog::done(QDialog::Accepted);
}

void CTarnwickDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

bool CTarnwickDlg::eventFilter(QObject* watched, QEvent* event) {
    // Delete removes rows, except in a field where it deletes text.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        !qobject_cast<QLineEdit*>(watched) && watched != m_comboOutputFolder) {
        DeleteSelectedRow();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CTarnwickDlg::mousePressEvent(QMouseEvent* event) {
    // A press on the background (or on a static text, which passes it on)
    // moves the window, as dragging its caption would.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr &&
        windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

namespace {

QStringList LocalFilesOf(const QMimeData* mime) {
    QStringList files;
    if (mime == nullptr) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) files << QDir::toNativeSeparators(url.toLocalFile());
    }
    return files;
}

}  // namespace

void CTarnwickDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFilesOf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CTarnwickDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFilesOf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CTarnwickDlg::dropEvent(QDropEvent* event) {
    const QStringList files = LocalFilesOf(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // Probing can take a while; let the drag source finish first.
    QMetaObject::invokeMethod(
        this, [this, files] { OnDropFiles(files); }, Qt::QueuedConnection);
}
