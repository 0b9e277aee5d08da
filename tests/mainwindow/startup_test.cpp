// Start-up of the main window: settings, language texts, layout, keys and
// closing.

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyper_link.h"
#include "dialog_units.h"
#include "interface_texts.h"
#include "tarnwick_dlg.h"
#include "window_fixture.h"

using windowtest::DesktopCapture;
using windowtest::MessageCapture;
using windowtest::TempProgramFolder;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init() { g_pEngine.reset(); }

    void textsFromTheLanguageFile() {
        TempProgramFolder folder;
        folder.WriteStandardFiles("[PATH]\nname=/srv/videos/out\n");
        MessageCapture messages;
        CTarnwickDlg dlg;

        QCOMPARE(dlg.windowTitle(), QStringLiteral("Velmora 2.1"));
        const QStringList titles = HeaderTitles(dlg);
        QCOMPARE(titles, (QStringList{"Source file", "Format", "Length", "Size", "视频质量",
                                      "Frame rate", "Status", "profile"}));
        auto* link = dlg.findChild<CHyperLink*>("helpLink");
        QVERIFY(link);
        QCOMPARE(link->text(), QStringLiteral("使用帮助"));
        QCOMPARE(link->Address(), QStringLiteral("https://example.org/velmora/help"));
        QVERIFY(link->IsUnderlined());

        QCOMPARE(Button(dlg, "addButton")->toolTip(), QStringLiteral("Add video files"));
        QCOMPARE(Button(dlg, "deleteButton")->toolTip(),
                 QStringLiteral("Delete the selected file"));
        QCOMPARE(Button(dlg, "startButton")->toolTip(), QStringLiteral("Remove the sound"));
        QCOMPARE(Button(dlg, "clearButton")->toolTip(), QStringLiteral("删除所有文件"));
        QCOMPARE(dlg.FileList().toolTip(), QStringLiteral("拖放文件到这里"));
        QCOMPARE(dlg.findChild<QLabel*>("outputFolderLabel")->text(), QStringLiteral("输出目录"));

        QCOMPARE(dlg.OutputFolder(), QStringLiteral("/srv/videos/out"));
        QCOMPARE(InterfaceText(lang::kStatusDone), QStringLiteral("Done"));
        QCOMPARE(LanguageFileName(), QStringLiteral("test.ini"));
        QVERIFY(messages.texts.isEmpty());
        QVERIFY(!g_pEngine);
    }

    // A first start (no output folder remembered) offers the Videos folder
    // when it exists, else the home folder; a remembered folder wins.
    void firstStartOutputFolder_data() {
        QTest::addColumn<bool>("videosExists");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("expected");  // "videos", "home" or the remembered one
        QTest::newRow("Videos folder") << true << QString() << "videos";
        QTest::newRow("no Videos folder") << false << QString() << "home";
        QTest::newRow("remembered folder") << true << "/srv/out"
                                           << "/srv/out";
    }

    void firstStartOutputFolder() {
        QFETCH(bool, videosExists);
        QFETCH(QString, remembered);
        QFETCH(QString, expected);
        testmedia::TempDir home;
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QByteArray::fromStdString(home.path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home.path() / ".config").string()));
        if (videosExists) std::filesystem::create_directory(home.path() / "Videos");

        TempProgramFolder folder;
        folder.WriteStandardFiles(remembered.isEmpty()
                                      ? std::string()
                                      : "[PATH]\nname=" + remembered.toStdString() + "\n");
        MessageCapture messages;
        QString shown;
        {
            CTarnwickDlg dlg;
            shown = dlg.OutputFolder();
        }
        qputenv("HOME", oldHome);
        if (oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig);

        const QString home_ = QString::fromStdString(home.path().string());
        if (expected == QLatin1String("videos")) expected = home_ + QStringLiteral("/Videos");
        if (expected == QLatin1String("home")) expected = home_;
        QCOMPARE(shown, expected);
        // Nothing is remembered until the user chooses.
        QVERIFY(folder.ReadSettings().find("Videos") == std::string::npos);
    }

    void missingFilesGiveEmptyTexts_data() {
        QTest::addColumn<QString>("settings");
        QTest::newRow("no setting.ini") << QString();
        QTest::newRow("no language file") << QStringLiteral("[LANGUAGE]\nfile=gone.ini\n");
        QTest::newRow("no language key") << QStringLiteral("[PATH]\nname=\n");
    }

    void missingFilesGiveEmptyTexts() {
        QFETCH(QString, settings);
        TempProgramFolder folder;
        folder.WriteLanguage("test.ini", windowtest::kLanguageText);  // present, never named
        if (!settings.isNull()) folder.WriteSettings(settings.toStdString());
        MessageCapture messages;
        CTarnwickDlg dlg;

        QCOMPARE(dlg.windowTitle(), QStringLiteral(" "));
        QCOMPARE(HeaderTitles(dlg), (QStringList{"", "", "", "", "视频质量", "", "", "profile"}));
        QCOMPARE(dlg.findChild<CHyperLink*>("helpLink")->text(), QString());
        QCOMPARE(dlg.OutputFolder(), CTarnwickDlg::DefaultOutputFolder());
        QVERIFY(dlg.m_bOpenFolder);
        QVERIFY(messages.texts.isEmpty());
    }

    void openFolderSetting_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("open");
        QTest::newRow("missing") << QString() << true;
        QTest::newRow("1") << QStringLiteral("[DIR]\nopen=1\n") << true;
        QTest::newRow("0") << QStringLiteral("[DIR]\nopen=0\n") << false;
        QTest::newRow("yes") << QStringLiteral("[DIR]\nopen=yes\n") << false;
        QTest::newRow("empty") << QStringLiteral("[DIR]\nopen=\n") << false;
        QTest::newRow("other case") << QStringLiteral("[dir]\nOPEN=1\n") << true;
    }

    void openFolderSetting() {
        QFETCH(QString, settings);
        QFETCH(bool, open);
        TempProgramFolder folder;
        folder.WriteSettings(settings.toStdString());
        CTarnwickDlg dlg;
        QCOMPARE(dlg.m_bOpenFolder, open);
    }

    void layoutFollowsTheTemplate_data() {
        QTest::addColumn<QString>("linkText");
        QTest::newRow("short link") << QStringLiteral("使用帮助");
        QTest::newRow("long link") << QStringLiteral("How to use Velmora");
        QTest::newRow("very long link")
            << QStringLiteral("How to use Velmora, the program that removes the sound");
    }

    // Larger than designed, the list takes the room, the buttons keep their
    // places against the right and bottom edges, nothing overlaps, and the
    // size and the column widths come back at the next start.
    void resizedWindowIsRemembered() {
        TempProgramFolder folder;
        folder.WriteStandardFiles();
        QSize designed;
        QRect start;
        {
            CTarnwickDlg dlg;
            designed = dlg.size();
            start = Button(dlg, "startButton")->geometry();
            const QRect list = dlg.FileList().geometry();
            dlg.show();
            dlg.resize(1200, 800);
            QTRY_COMPARE(dlg.size(), QSize(1200, 800));
            const int dx = 1200 - designed.width(), dy = 800 - designed.height();
            QCOMPARE(dlg.FileList().geometry(), list.adjusted(0, 0, dx, dy));
            QCOMPARE(Button(dlg, "startButton")->geometry(), start.translated(dx, dy));
            QList<QWidget*> controls{&dlg.FileList(), dlg.findChild<QComboBox*>("outputFolder")};
            for (const char* name : {"addButton", "deleteButton", "clearButton", "startButton",
                                     "browseButton", "openFolderButton"})
                controls << Button(dlg, name);
            for (qsizetype i = 0; i < controls.size(); ++i)
                for (qsizetype j = i + 1; j < controls.size(); ++j)
                    QVERIFY(!controls[i]->geometry().intersects(controls[j]->geometry()));
            dlg.FileList().setColumnWidth(0, 500);
            dlg.close();
        }
        CTarnwickDlg again;
        QCOMPARE(again.size(), QSize(1200, 800));
        QCOMPARE(again.FileList().columnWidth(0), 500);
        QCOMPARE(again.minimumSize(), designed);
    }

    // The window keeps the template's proportions in the dialog font, and
    // no two controls overlap, whatever the length of the link's text.
    void layoutFollowsTheTemplate() {
        QFETCH(QString, linkText);
        TempProgramFolder folder;
        folder.WriteStandardFiles();
        folder.WriteLanguage("test.ini", QString::fromUtf8(windowtest::kLanguageText)
                                             .replace("zysybrj=使用帮助", "zysybrj=" + linkText)
                                             .toStdString());
        CTarnwickDlg dlg;
        QCOMPARE(dlg.findChild<CHyperLink*>("helpLink")->text(), linkText);
        const DialogUnits du(dlg.font());
        QCOMPARE(dlg.size(), QSize(du.X(362), du.Y(205)));
        QCOMPARE(dlg.FileList().geometry(), du.Rect(6, 0, 289, 146));
        QCOMPARE(Button(dlg, "startButton")->geometry(), du.Rect(306, 144, 50, 54));

        QList<QWidget*> controls{&dlg.FileList(), dlg.findChild<QComboBox*>("outputFolder"),
                                 dlg.findChild<QLabel*>("outputFolderLabel"),
                                 dlg.findChild<CHyperLink*>("helpLink")};
        for (const char* name : {"addButton", "deleteButton", "clearButton", "startButton",
                                 "browseButton", "openFolderButton"}) {
            controls << Button(dlg, name);
        }
        for (qsizetype i = 0; i < controls.size(); ++i) {
            QVERIFY2(dlg.rect().contains(controls[i]->geometry()),
                     qPrintable(controls[i]->objectName()));
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
            }
        }
        const int widths[] = {155, 60, 90, 75, 70, 65, 40, 0};
        for (int column = 0; column < 8; ++column) {
            QCOMPARE(dlg.FileList().header()->sectionSize(column), widths[column]);
        }
        QVERIFY(dlg.FileList().CheckHeader() && dlg.FileList().IsHeaderReady());
        QVERIFY(Button(dlg, "addButton")->IsShaped());
        QVERIFY(!Button(dlg, "startButton")->IsShaped());
        QVERIFY(dlg.acceptDrops());
    }

    // Files dropped on any control reach the window: no control takes the
    // drop for itself.
    void dropsReachTheWindowFromEveryControl() {
        TempProgramFolder folder;
        folder.WriteStandardFiles();
        CTarnwickDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QList<QWidget*> controls = dlg.findChildren<QWidget*>();
        QVERIFY(controls.size() > 10);
        for (QWidget* control : controls) {
            if (!control->isVisible() || control->window() != &dlg) continue;
            const QPoint centre = control->mapTo(&dlg, control->rect().center());
            QWidget* target = dlg.childAt(centre);
            while (target != nullptr && !target->acceptDrops()) target = target->parentWidget();
            QVERIFY2(target == &dlg || target == nullptr,
                     qPrintable(QStringLiteral("%1 takes drops")
                                    .arg(target ? target->metaObject()->className() : "?")));
        }
    }

    void enterAndEscapeKeepTheWindowOpen() {
        TempProgramFolder folder;
        CTarnwickDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(&dlg, key);
            QTest::keyClick(dlg.findChild<QComboBox*>("outputFolder")->lineEdit(), key);
            QVERIFY(dlg.isVisible());
        }
        QVERIFY(dlg.close());
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void closingWithoutFilesLeavesTheEngineUnmade() {
        TempProgramFolder folder;
        CTarnwickDlg dlg;
        dlg.show();
        QVERIFY(dlg.close());
        QVERIFY(!g_pEngine);
    }

    void closingReleasesTheEngine() {
        TempProgramFolder folder;
        CTarnwickDlg dlg;
        dlg.show();
        g_pEngine = std::make_unique<CAVConverter>();
        QVERIFY(dlg.close());
        QVERIFY(!g_pEngine);
    }

    // The help link opens its address through the program's desktop hook.
    void helpLinkUsesTheDesktop() {
        TempProgramFolder folder;
        folder.WriteStandardFiles();
        DesktopCapture desktop;
        CTarnwickDlg dlg;
        dlg.findChild<CHyperLink*>("helpLink")->Open();
        QCOMPARE(desktop.urls, (QList<QUrl>{QUrl("https://example.org/velmora/help")}));
    }

    // The real box: OK only, titled with the application name. A timer
    // presses OK, so nothing waits for a person.
    void messageBoxIsOkOnlyWithTheApplicationName() {
        QString title;
        QString text;
        QStringList buttons;
        QTimer presser;
        presser.setInterval(10);
        connect(&presser, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            presser.stop();
            title = box->windowTitle();
            text = box->text();
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            box->accept();
        });
        presser.start();
        ShowMessageBox(nullptr, QStringLiteral("没有写权限，请保存到其他目录!"));
        QCOMPARE(title, QCoreApplication::applicationName());
        QCOMPARE(text, QStringLiteral("没有写权限，请保存到其他目录!"));
        QCOMPARE(buttons.size(), 1);
    }

private:
    static QStringList HeaderTitles(CTarnwickDlg& dlg) {
        QStringList titles;
        QTreeWidgetItem* header = dlg.FileList().headerItem();
        for (int column = 0; column < dlg.FileList().columnCount(); ++column) {
            titles << header->text(column);
        }
        return titles;
    }

    static CControlButton* Button(CTarnwickDlg& dlg, const char* name) {
        auto* button = dlg.findChild<CControlButton*>(name);
        if (button == nullptr) qFatal("no button %s", name);
        return button;
    }
};

int RunStartupTest(int argc, char** argv) {
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_test.moc"
