// The output folder: browsing with its checks and messages, the remembered
// folder, the typed folder and the open-folder button.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "controls/control_button.h"
#include "tarnwick_dlg.h"
#include "window_fixture.h"

using windowtest::DesktopCapture;
using windowtest::DialogAnswers;
using windowtest::MessageCapture;
using windowtest::Q;
using windowtest::TempProgramFolder;

namespace fs = std::filesystem;

namespace {

const QString kInvalid = QStringLiteral("目录无效!请点击浏览按钮选择保存其他目录");
const QString kNotWritable = QStringLiteral("没有写权限，请保存到其他目录!");
constexpr char kTestFileName[] = "jlewhqlhqwenqfwk.mp4";

// A folder that exists but in which not even root may create a file, or an
// empty path when this system has none.
fs::path ReadOnlyFolder() {
    for (const char* candidate : {"/proc", "/sys"}) {
        std::error_code error;
        if (!fs::is_directory(candidate, error)) continue;
        const fs::path probe = fs::path(candidate) / "velmora-write-probe";
        std::ofstream out(probe);
        if (!out) return candidate;
        out.close();
        fs::remove(probe, error);
    }
    return {};
}

}  // namespace

class OutputFolderTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_folder = std::make_unique<TempProgramFolder>();
        m_folder->WriteStandardFiles("[PATH]\nname=/old/folder\n");
    }
    void cleanup() { m_folder.reset(); }

    void browseToAWritableFolder() {
        testmedia::TempDir chosen;
        MessageCapture messages;
        DialogAnswers answers;
        answers.folder = Q(chosen.path());
        CTarnwickDlg dlg;

        dlg.findChild<CControlButton*>("browseButton")->click();
        QCOMPARE(answers.folderAsked, 1);
        QCOMPARE(answers.lastTitle, QStringLiteral("Please select output folder:"));
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(dlg.OutputFolder(), Q(chosen.path()));
        QVERIFY(m_folder->ReadSettings().find("name=" + chosen.path().string()) !=
                std::string::npos);
        QVERIFY(fs::is_empty(chosen.path()));  // the write test left nothing behind

        // The remembered folder is what the next start shows.
        CTarnwickDlg next;
        QCOMPARE(next.OutputFolder(), Q(chosen.path()));
    }

    // A file of the write test's name belongs to the user: it is neither
    // opened for writing nor removed.
    void browseKeepsAUsersFileOfTheTestName() {
        testmedia::TempDir chosen;
        windowtest::TempProgramFolder::WriteFile(chosen / kTestFileName, "user data");
        MessageCapture messages;
        DialogAnswers answers;
        answers.folder = Q(chosen.path());
        CTarnwickDlg dlg;
        dlg.OnBrowseFolder();

        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(dlg.OutputFolder(), Q(chosen.path()));
        QFile kept(Q(chosen / kTestFileName));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("user data"));
        QCOMPARE(std::distance(fs::directory_iterator(chosen.path()), fs::directory_iterator()), 1);
    }

    void refusedFolders_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("messages");

        testmedia::TempDir* scratch = &m_scratch;
        windowtest::TempProgramFolder::WriteFile(scratch->path() / "plain.txt", "x");
        QTest::newRow("missing folder")
            << Q(scratch->path() / "gone") << QStringList{kInvalid, kNotWritable};
        QTest::newRow("path through a file")
            << Q(scratch->path() / "plain.txt" / "sub") << QStringList{kInvalid, kNotWritable};
        QTest::newRow("a file, not a folder")
            << Q(scratch->path() / "plain.txt") << QStringList{kInvalid, kNotWritable};
        const fs::path readOnly = ReadOnlyFolder();
        if (!readOnly.empty()) {
            QTest::newRow("read-only folder") << Q(readOnly) << QStringList{kNotWritable};
        } else {
            qWarning("no folder here refuses root's writes; the read-only case is skipped");
        }
    }

    void refusedFolders() {
        QFETCH(QString, folder);
        QFETCH(QStringList, messages);
        MessageCapture captured;
        DialogAnswers answers;
        answers.folder = folder;
        CTarnwickDlg dlg;
        const std::string settingsBefore = m_folder->ReadSettings();

        dlg.OnBrowseFolder();
        QCOMPARE(captured.texts, messages);
        QCOMPARE(dlg.OutputFolder(), QStringLiteral("/old/folder"));
        QCOMPARE(dlg.findChild<QComboBox*>("outputFolder")->count(), 0);
        QCOMPARE(m_folder->ReadSettings(), settingsBefore);
    }

    void cancelledBrowseChangesNothing() {
        MessageCapture messages;
        DialogAnswers answers;  // no folder: cancelled
        CTarnwickDlg dlg;
        const std::string settingsBefore = m_folder->ReadSettings();
        dlg.OnBrowseFolder();
        QCOMPARE(answers.folderAsked, 1);
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(dlg.OutputFolder(), QStringLiteral("/old/folder"));
        QCOMPARE(m_folder->ReadSettings(), settingsBefore);
    }

    // Browsed folders collect in the field's list, sorted; the same folder
    // twice is listed twice; the field shows the folder just chosen.
    void browsedFoldersAreListedSorted() {
        testmedia::TempDir root;
        for (const char* name : {"b", "A", "c"}) fs::create_directory(root / name);
        MessageCapture messages;
        DialogAnswers answers;
        CTarnwickDlg dlg;
        for (const char* name : {"b", "A", "c", "b"}) {
            answers.folder = Q(root / name);
            dlg.OnBrowseFolder();
            QCOMPARE(dlg.OutputFolder(), Q(root / name));
        }
        auto* field = dlg.findChild<QComboBox*>("outputFolder");
        QStringList listed;
        for (int i = 0; i < field->count(); ++i) listed << field->itemText(i);
        // Chosen twice, listed once.
        QCOMPARE(listed, (QStringList{Q(root / "A"), Q(root / "b"), Q(root / "c")}));
        QVERIFY(messages.texts.isEmpty());
    }

    // A typed folder is what the next job uses, but it is not remembered.
    void typedFolderIsUsedNotRemembered() {
        CTarnwickDlg dlg;
        const std::string settingsBefore = m_folder->ReadSettings();
        QLineEdit* edit = dlg.findChild<QComboBox*>("outputFolder")->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("/typed/here"));
        QCOMPARE(dlg.OutputFolder(), QStringLiteral("/typed/here"));
        QCOMPARE(dlg.m_strOutputFolder, QStringLiteral("/typed/here"));
        QCOMPARE(m_folder->ReadSettings(), settingsBefore);
    }

    void openFolderHandsOnlyFoldersToTheDesktop() {
        testmedia::TempDir shown;
        windowtest::TempProgramFolder::WriteFile(shown / "movie.mp4", "x");
        DesktopCapture desktop;
        MessageCapture messages;
        CTarnwickDlg dlg;
        QLineEdit* edit = dlg.findChild<QComboBox*>("outputFolder")->lineEdit();
        auto* openButton = dlg.findChild<CControlButton*>("openFolderButton");

        for (const QString& text : {QString(), Q(shown / "gone"), Q(shown / "movie.mp4")}) {
            edit->setText(text);
            openButton->click();
        }
        QVERIFY(desktop.urls.isEmpty());

        edit->setText(Q(shown.path()));
        openButton->click();
        QCOMPARE(desktop.urls, (QList<QUrl>{QUrl::fromLocalFile(Q(shown.path()))}));
        QVERIFY(messages.texts.isEmpty());
    }

private:
    std::unique_ptr<TempProgramFolder> m_folder;
    testmedia::TempDir m_scratch;
};

int RunOutputFolderTest(int argc, char** argv) {
    OutputFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "output_folder_test.moc"
