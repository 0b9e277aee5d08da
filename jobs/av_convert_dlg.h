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

    // The file line: the file in work, `name` followed by `progress`. A name too
    // long for the line is shown shortened in its middle, so the file name
    // and the percentage stay in view; FileLine() gives the full text.
    void SetFileLine(const QString& name, const QString& progress);
    QString FileLine() const { return m_strFileLine; }
    // The count line: files done of all files.
    void SetCountLine(const QString& text);
    QString CountLine() const;
    // The file bar (the file in work) and the overall bar (all files), in
    // percent.
    void SetFileProgress(int percent);
    void SetOverallProgress(int percent);

    // True from DoModal until OnJobEnded() has ended the dialog.
    bool IsRunning() const { return isVisible(); }

    // The stop button (and Esc answered with yes): asks for the stop
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
    // The open-folder check box: takes effect for the running job at once.
    void OnOpenFolderCheck();
    void StoreOpenFolderCheck();

    QProgressBar* m_barFile = nullptr;
    QProgressBar* m_barOverall = nullptr;
    CLabel* m_labelFile = nullptr;
    CLabel* m_labelCount = nullptr;
    QLabel* m_staticFile = nullptr;
    QLabel* m_staticCount = nullptr;
    QCheckBox* m_checkOpenFolder = nullptr;
    QPushButton* m_btnStop = nullptr;
    // The full text of the file line; the label may show its path shortened.
    QString m_strFileLine;
};
