#include "av_convert_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "controls/label.h"
#include "jobs/window_grab.h"
#include "window_support/app_settings.h"
#include "window_support/dialog_units.h"
#include "window_support/interface_texts.h"
#include "window_support/message_box.h"

namespace {

// The dialog's size in dialog units.
constexpr int kWidth = 324;
constexpr int kHeight = 89;

QFont DialogFont() {
    QFont font(QStringLiteral("Microsoft Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// A text of the language file named by the settings, read now.
QString LanguageText(const std::filesystem::path& languageFile, const ProfileKey& key) {
    return QString::fromStdString(ReadProfileString(languageFile, key));
}

}  // namespace

CAVConvertDlg::CAVConvertDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("progressDialog"));
    CreateControls();
}

void CAVConvertDlg::CreateControls() {
    setFont(DialogFont());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    const DialogUnits du(font());
    setFixedSize(du.X(kWidth), du.Y(kHeight));

    // The template gives positions; the sizes of the static texts and lines
    // fill the room up to their neighbours.
    m_staticFile = new QLabel(this);
    m_staticFile->setObjectName(QStringLiteral("currentFileCaption"));
    m_staticFile->setGeometry(du.Rect(19, 5, 46, 9));

    m_labelFile = new CLabel(this);
    m_labelFile->setObjectName(QStringLiteral("currentFileLine"));
    m_labelFile->setGeometry(du.Rect(66, 5, 254, 9));

    m_barFile = new QProgressBar(this);
    m_barFile->setObjectName(QStringLiteral("fileBar"));
    m_barFile->setGeometry(du.Rect(20, 17, 282, 14));

    m_staticCount = new QLabel(this);
    m_staticCount->setObjectName(QStringLiteral("allFilesCaption"));
    m_staticCount->setGeometry(du.Rect(20, 36, 45, 9));

    m_labelCount = new CLabel(this);
    m_labelCount->setObjectName(QStringLiteral("allFilesLine"));
    m_labelCount->setGeometry(du.Rect(66, 36, 236, 9));

    m_barOverall = new QProgressBar(this);
    m_barOverall->setObjectName(QStringLiteral("overallBar"));
    m_barOverall->setGeometry(du.Rect(21, 47, 281, 14));

    for (QProgressBar* bar : {m_barFile, m_barOverall}) {
        bar->setRange(0, 100);
        bar->setTextVisible(false);
    }

    m_checkOpenFolder = new QCheckBox(this);
    m_checkOpenFolder->setObjectName(QStringLiteral("openFolderCheck"));
    m_checkOpenFolder->setGeometry(du.Rect(21, 66, 150, 10));

    m_btnStop = new QPushButton(this);
    m_btnStop->setObjectName(QStringLiteral("stopButton"));
    m_btnStop->setGeometry(du.Rect(253, 65, 50, 19));
    // Enter must not press it.
    m_btnStop->setAutoDefault(false);
    m_btnStop->setDefault(false);

    connect(m_btnStop, &QPushButton::clicked, this, &CAVConvertDlg::OnStop);
    connect(m_checkOpenFolder, &QCheckBox::clicked, this, &CAVConvertDlg::OnOpenFolderCheck);

    // Esc and Enter are caught before any control sees them.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void CAVConvertDlg::OnInitDialog() {
    // Read at every opening, so an edited language file or setting shows at
    // the next job.
    const QString languageFile = ReadSetting(kLanguageFile);
    const bool openFolder = IsOpenFolderOn(ReadSetting(kOpenFolder).toStdString());
    m_checkOpenFolder->setChecked(openFolder);
    m_stopRequested = false;
    m_btnStop->setEnabled(true);
    // The box decides from now on, so what it shows is what happens.
    emit openFolderChanged(openFolder);

    const std::filesystem::path texts = LanguageFilePath(languageFile);
    const QString stop = LanguageText(texts, lang::kStop);
    m_staticFile->setText(LanguageText(texts, lang::kCurrentFileLabel));
    m_staticCount->setText(LanguageText(texts, lang::kAllFilesLabel));
    m_btnStop->setText(stop);
    m_btnStop->setToolTip(stop);
    m_checkOpenFolder->setText(LanguageText(texts, lang::kOpenFolderWhenDone));
    setWindowTitle(LanguageText(texts, lang::kName));

    // A new job starts from empty lines and bars.
    SetFileLine(QString(), QString());
    SetCountLine(QString());
    SetFileProgress(0);
    SetOverallProgress(0);
    m_btnStop->setFocus();
}

int CAVConvertDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CAVConvertDlg::SetFileLine(const QString& name, const QString& progress) {
    m_strFileLine = name + progress;
    const QFontMetrics metrics(m_labelFile->font());
    const int room = m_labelFile->width() - metrics.horizontalAdvance(progress);
    QString shown = name;
    if (metrics.horizontalAdvance(name) > room) {
        shown = metrics.elidedText(name, Qt::ElideMiddle, std::max(room, 0));
    }
    m_labelFile->setText(shown + progress);
    if (!name.isEmpty()) GrabForReview(this, QStringLiteral("progress"));
}

void CAVConvertDlg::SetCountLine(const QString& text) { m_labelCount->setText(text); }

QString CAVConvertDlg::CountLine() const { return m_labelCount->text(); }

void CAVConvertDlg::SetFileProgress(int percent) { m_barFile->setValue(percent); }

void CAVConvertDlg::SetOverallProgress(int percent) { m_barOverall->setValue(percent); }

void CAVConvertDlg::OnStop() {
    if (!IsRunning() || m_stopRequested) return;
    m_stopRequested = true;
    // The job ends at the controller's next look at the worker; until then
    // the dialog stays, and there is nothing more to press.
    m_btnStop->setEnabled(false);
    emit stopRequested();
}

void CAVConvertDlg::OnClose() {
    if (!IsRunning() || m_stopRequested) return;
    StoreOpenFolderCheck();
    m_stopRequested = true;
    m_btnStop->setEnabled(false);
    emit closeRequested();
}

void CAVConvertDlg::OnJobEnded() {
    if (!IsRunning()) return;
    if (!m_stopRequested) StoreOpenFolderCheck();
    done(QDialog::Accepted);
}

void CAVConvertDlg::StoreOpenFolderCheck() {
    const std::string_view value = m_checkOpenFolder->isChecked() ? kOpenFolderOn : kOpenFolderOff;
    WriteSetting(kOpenFolder,
                 QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void CAVConvertDlg::OnOpenFolderCheck() { emit openFolderChanged(m_checkOpenFolder->isChecked()); }

void CAVConvertDlg::closeEvent(QCloseEvent* event) {
    OnClose();
    // The dialog goes with the end of the job, which OnJobEnded() reports.
    event->ignore();
}

bool CAVConvertDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Escape:
                // Esc never closes the dialog by itself; it offers to stop.
                if (IsRunning() && !m_bAsking && !m_stopRequested) {
                    m_bAsking = true;
                    const bool stop = AskYesNo(this, InterfaceText(lang::kStopJobQuestion));
                    m_bAsking = false;
                    if (stop) OnStop();
                }
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
