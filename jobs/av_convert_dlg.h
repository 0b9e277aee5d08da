#pragma once

#include <QDialog>
#include <QString>

class CLabel;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The modal progress dialog of a running job: the file in work and how far
// it is, how many files are done, a stop button, and a check box asking for
// the output folder to be opened when the job has succeeded.
//
// It knows nothing about the job itself: the job controller's signals write
// its lines and bars and end it, and its own handlers only ask for the stop.
// The owner connects the two. User-interface thread only.
class CAVConvertDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAVConvertDlg(QWidget* parent);

    // Reads the dialog's texts and the open-folder setting afresh, then runs
    // the dialog modally until OnJobEnded() ends it.
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

    // True from DoModal until OnJobEnded() has ended the dialog.
    bool IsRunning() const { return isVisible(); }

    // Stop button 1000 (and Esc answered with yes): asks for the stop
    // without storing the check box. Once a stop is asked for, the dialog
    // waits for the end of the job and asks nothing more.
    void OnStop();
    // Close box, also used by the main window when it closes: stores the
    // check box in DIR/open, then asks for the stop like OnStop.
    void OnClose();
    // The job has ended, by itself or by a stop: ends the dialog. A job that
    // ended without the stop button stores the check box, as the close box
    // does. Does nothing when the dialog is not running.
    void OnJobEnded();

    // Enter and Esc never end the dialog; only the handlers above do.
    void accept() override {}
    void reject() override {}

signals:
    void stopRequested();
    void closeRequested();
    // At each opening, with the stored setting, and at each click.
    void openFolderChanged(bool open);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A stop question is open (Esc pressed again meanwhile asks nothing).
    bool m_bAsking = false;
    // A stop was asked for by the stop button, Esc or the close box.
    bool m_stopRequested = false;
    void CreateControls();
    void OnInitDialog();
    // Check box 1148: takes effect for the running job at once.
    void OnOpenFolderCheck();
    void StoreOpenFolderCheck();

    QProgressBar* m_barFile = nullptr;       // 1011
    QProgressBar* m_barOverall = nullptr;    // 1012
    CLabel* m_labelFile = nullptr;           // 1018
    CLabel* m_labelCount = nullptr;          // 1019
    QLabel* m_staticFile = nullptr;          // 1158
    QLabel* m_staticCount = nullptr;         // 1159
    QCheckBox* m_checkOpenFolder = nullptr;  // 1148
    QPushButton* m_btnStop = nullptr;        // 1000
    // The full text of line 1018; the label may show its path shortened.
    QString m_strFileLine;
};
