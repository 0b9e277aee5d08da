#pragma once

#include <QDialog>
#include <QString>

class CLabel;
class CTarnwickDlg;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The modal progress dialog of a running job: the file in work and how far
// it is, how many files are done, a stop button, and a check box asking for
// the output folder to be opened when the job has succeeded.
//
// It knows nothing about the job itself: the main window's progress polling
// writes its lines and bars, and its own handlers only stop the job and end
// the dialog. User-interface thread only.
class CAVConvertDlg : public QDialog {
    Q_OBJECT

public:
    // `owner` is the main window that runs the job; it also becomes the
    // dialog's parent.
    explicit CAVConvertDlg(CTarnwickDlg* owner);

    // Reads the dialog's texts and the open-folder setting afresh, then runs
    // the dialog modally until a handler ends it.
    int DoModal();

    // Line 1018: the file in work, `name` followed by `progress`. A name too
    // long for the line is shown shortened in its middle, so the file name
    // and the percentage stay in view; FileLine() gives the full text.
    void SetFileLine(const QString& name, const QString& progress);
    QString FileLine() const { return m_strFileLine; }
    // Line 1019: files done of all files.
    void SetCountLine(const QString& text);
    QString CountLine() const;
    // Bar 1011 (the file in work) and bar 1012 (all files), in percent.
    void SetFileProgress(int percent);
    void SetOverallProgress(int percent);

    // True from DoModal until a handler has ended the dialog.
    bool IsRunning() const { return isVisible(); }

    // Stop button 1000: stops the job without storing the check box.
    void OnStop();
    // Close box, also called by the progress polling to end the dialog:
    // stores the check box in DIR/open, then stops like OnStop. Does nothing
    // when the dialog is not running.
    void OnClose();

    // Enter and Esc never end the dialog; only the handlers above do.
    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A stop question is open (Esc pressed again meanwhile asks nothing).
    bool m_bAsking = false;
    void CreateControls();
    void OnInitDialog();
    // Check box 1148: takes effect for the running job at once.
    void OnOpenFolderCheck();
    // The steps the stop button and the close box share.
    void StopAndEnd();

    QProgressBar* m_barFile = nullptr;       // 1011
    QProgressBar* m_barOverall = nullptr;    // 1012
    CLabel* m_labelFile = nullptr;           // 1018
    CLabel* m_labelCount = nullptr;          // 1019
    QLabel* m_staticFile = nullptr;          // 1158
    QLabel* m_staticCount = nullptr;         // 1159
    QCheckBox* m_checkOpenFolder = nullptr;  // 1148
    QPushButton* m_btnStop = nullptr;        // 1000
    // The main window that runs the job.
    CTarnwickDlg* m_pOwner = nullptr;
    // The full text of line 1018; the label may show its path shortened.
    QString m_strFileLine;
};
