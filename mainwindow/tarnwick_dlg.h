#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class CAVConvertDlg;
class CCheckListCtrl;
class CControlButton;
class CHyperLink;
class QComboBox;
class QLabel;
class QMenu;
class QPoint;
class QProgressDialog;
class QTimer;

// The main window: the file list with its add, delete and clear buttons, the
// output-folder row, the help link and the round start button.
//
// Everything here runs on the user-interface thread. The window reaches the
// media engine through g_pEngine, creates it for the first file it adds and
// releases it when it closes.
class CTarnwickDlg : public QDialog {
    Q_OBJECT

public:
    explicit CTarnwickDlg(QWidget* parent = nullptr);
    ~CTarnwickDlg() override;

    // ---- For the job code ------------------------------------------------

    // The file list. Column 0 holds each file's path, column 2 its duration
    // as time text (empty when unknown), column 6 its status word.
    CCheckListCtrl& FileList() { return *m_fileList; }

    // Exchanges m_strOutputFolder with the output-folder field: true reads
    // the field's text, false shows m_strOutputFolder in it.
    void UpdateData(bool saveAndValidate);
    // The folder the next job writes to: what the field shows right now.
    QString OutputFolder();

    // File-list columns.
    enum Column {
        kColPath = 0,
        kColExtension = 1,
        kColDuration = 2,
        kColSize = 3,
        kColBitRate = 4,
        kColFrameRate = 5,
        kColStatus = 6,
        kColProfile = 7,
        kColumnCount = 8,
    };

    QString m_strOutputFolder;
    // Open the output folder after a successful job (DIR/open of the settings).
    bool m_bOpenFolder = true;
    // Rows of the running job and how many of them are done.
    std::vector<int> m_checkedRows;
    int m_nDoneCount = 0;

    // ---- The running job (jobs/) -------------------------------------------

    // The progress dialog, made with the first job; a child of this window.
    CAVConvertDlg* m_progressDlg = nullptr;
    // Raises the engine's stop request for the running job.
    void StopJob();
    // Waits until the job's worker has ended, after a stop request.
    void WaitForJobEnd();
    // Ends the progress polling.
    void KillProgressTimer();

    // ---- Operations --------------------------------------------------------

    // Appends a checked row for `path` from the results of the probe that has
    // just accepted it (g_pEngine->m_lastProbe).
    void AppendFileRow(const QString& path);
    // Removes the first selected row and selects its successor.
    void DeleteSelectedRow();

    // The menu of `row` (open its copy, show it in its folder, remove, copy
    // the paths of the selected rows); shown by a right click.
    std::unique_ptr<QMenu> MakeRowMenu(int row);
    // The copy a finished row made, while it still exists; else empty.
    QString OutputOfRow(int row) const;
    // A double-click on a finished row opens its copy.
    void OnRowDoubleClicked(int row);
    // The line under the list: the number of rows, then what the last job
    // did (m_strJobSummary).
    void UpdateSummaryLine();
    QString m_strJobSummary;
    // Runs from the start of a job, for its summary.
    QElapsedTimer m_jobClock;

    // Probes `paths` one after the other and appends each accepted file; a
    // refused file is skipped, and one message at the end names every refused
    // file and why. Used by the add dialog
    // (with `repairSeparators`) and by drops. Returns the number of rows added.
    int AddFiles(const QStringList& paths, bool repairSeparators);
    // True while an add is in progress.
    bool IsAdding() const { return m_nAddDepth > 0; }

    // The path with each pair of doubled separators made single, left to
    // right; a path starting with two separators (a network path) is kept.
    static QString RepairDoubledSeparators(const QString& path);
    // The part after the last separator, both "/" and "\" counting.
    static QString FileNameOf(const QString& path);
    // Proves that a file can be created in `folder`, creating and deleting a
    // test file of its own; a user's file is never opened nor removed.
    static bool IsWritableFolder(const QString& folder);
    // The output folder of a first start: the user's Videos folder when it
    // exists and can be written, else the home folder.
    static QString DefaultOutputFolder();

public slots:
    void OnAddFiles();
    void OnDropFiles(const QStringList& paths);
    void OnDeleteFile();
    void OnClearList();
    void OnBrowseFolder();
    void OnOpenFolder();
    // The start button: removes the sound from every checked file.
    void OnSoundRemoval();
    // The progress polling of a running job.
    void OnTimer();

    // Enter and Esc never close the window.
    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's size and the list's column widths, kept in setting.ini
    // when the user changed them, and set again at the next start.
    void SaveWindowLayout();
    void RestoreWindowLayout();
    QSize m_designedSize;
    QHash<QWidget*, QRect> m_designedGeometry;

    void OnInitDialog();
    void CreateControls();
    void LoadInterfaceTexts();
    void PlaceHelpLink();
    void FitControlsToContent();
    void OnClose();
    void OnListMenuRequested(const QPoint& at);

    // Creates the engine if needed and probes `path`; returns the line that
    // says why the file cannot be used, or nothing when it can.
    QString ProbeFile(const QString& path);
    // The filter of the add dialog in Qt's form.
    static QString AddDialogFilter();
    // Inserts `folder` into the output field's list, keeping it sorted.
    void AddFolderToList(const QString& folder);

    CCheckListCtrl* m_fileList = nullptr;
    CControlButton* m_btnAdd = nullptr;
    CControlButton* m_btnDelete = nullptr;
    CControlButton* m_btnClear = nullptr;
    CControlButton* m_btnStart = nullptr;
    CControlButton* m_btnBrowse = nullptr;
    CControlButton* m_btnOpenFolder = nullptr;
    QComboBox* m_comboOutputFolder = nullptr;
    QLabel* m_labelOutputFolder = nullptr;
    QLabel* m_labelSummary = nullptr;
    CHyperLink* m_linkHelp = nullptr;

    // Adds in progress (an add can start another through the event pump).
    int m_nAddDepth = 0;
    // A close arrived during an add: the add ends, then the window closes.
    bool m_bCloseRequested = false;

    // Polls the running job; made with the first job.
    QTimer* m_progressTimer = nullptr;
    // The engine keeps the file probed last open and analysed, so that a
    // job started on it soon after reads and analyses it once. Kept open
    // longer it would only hold memory, and on some systems keep the user
    // from moving or deleting the file: this timer closes it.
    QTimer* m_releaseProbedInput = nullptr;
};
