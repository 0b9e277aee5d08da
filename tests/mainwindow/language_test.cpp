// The window in each shipped language: every text, the pictures with words
// and Qt's own dialogs follow the language file.

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QTest>
#include <QTreeWidget>

#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "interface_texts.h"
#include "resources/pictures.h"
#include "tarnwick_dlg.h"
#include "window_fixture.h"

using windowtest::MessageCapture;
using windowtest::TempProgramFolder;

namespace {

bool HasChinese(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x2E80 && c.unicode() < 0xFF00) return true;
    return false;
}

// Every text the window shows or tells a screen reader, with where it was.
QStringList VisibleTexts(CTarnwickDlg& dlg) {
    QStringList texts{QStringLiteral("title: ") + dlg.windowTitle()};
    for (QWidget* widget : dlg.findChildren<QWidget*>()) {
        const QString name = widget->objectName() + QStringLiteral(": ");
        texts << name + widget->toolTip() << name + widget->accessibleName();
        if (auto* label = qobject_cast<QLabel*>(widget)) texts << name + label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts << name + button->text();
    }
    QTreeWidgetItem* header = dlg.FileList().headerItem();
    for (int column = 0; column < header->columnCount(); ++column)
        texts << QStringLiteral("column: ") + header->text(column);
    return texts;
}

QImage PictureOf(CTarnwickDlg& dlg, const char* button) {
    return dlg.findChild<CControlButton*>(button)->NormalPicture().toImage();
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT

    // A program folder with the shipped language file `name` chosen.
    static void UseShipped(const TempProgramFolder& folder, const char* name) {
        QFile shipped(QStringLiteral(VELMORA_BIN_DIR "/languages/") + QLatin1String(name));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        folder.WriteLanguage(name, shipped.readAll().toStdString());
        folder.WriteSettings(std::string("[LANGUAGE]\nfile=") + name + "\n");
    }

private slots:
    void cleanup() { g_pEngine.reset(); }

    void englishShowsNoChinese() {
        TempProgramFolder folder;
        UseShipped(folder, "english.ini");
        MessageCapture messages;
        CTarnwickDlg dlg;
        for (const QString& text : VisibleTexts(dlg)) QVERIFY2(!HasChinese(text), qPrintable(text));
        QCOMPARE(dlg.findChild<QLabel*>("outputFolderLabel")->text(), QStringLiteral("Save to"));
        QCOMPARE(InterfaceText(lang::kJobNothingChecked),
                 QStringLiteral("Please check the files to process first."));
    }

    // The pictures with words are the English drawings in English and the
    // Chinese ones in Chinese; the others are the same in both.
    void picturesFollowTheLanguage() {
        QImage english[3], chinese[3];
        const char* buttons[3] = {"addButton", "browseButton", "deleteButton"};
        for (auto [name, images] : {std::pair{"english.ini", english}, {"chinese.ini", chinese}}) {
            TempProgramFolder folder;
            UseShipped(folder, name);
            MessageCapture messages;
            CTarnwickDlg dlg;
            for (int i = 0; i < 3; ++i) images[i] = PictureOf(dlg, buttons[i]);
        }
        QVERIFY(english[0] != chinese[0]);
        QVERIFY(english[1] != chinese[1]);
        QCOMPARE(english[2], chinese[2]);
        SetPictureLanguage(PictureLanguage::kChinese);
        QCOMPARE(chinese[0], LoadPicture(picture::kAddFiles).toImage());
    }

    // Qt's own buttons and dialogs speak the window's language.
    void qtDialogsFollowTheLanguage() {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_zh_CN.qm")))
            QSKIP("Qt's translations are not installed");
        for (auto [name, cancel] : {std::pair{"chinese.ini", "取消"}, {"english.ini", "Cancel"}}) {
            TempProgramFolder folder;
            UseShipped(folder, name);
            MessageCapture messages;
            CTarnwickDlg dlg;
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                     QString::fromUtf8(cancel));
        }
    }

    // A language file from before the newer keys shows the window's original
    // Chinese texts where it has none.
    void olderFilesKeepTheDesignedTexts() {
        TempProgramFolder folder;
        folder.WriteStandardFiles();
        MessageCapture messages;
        CTarnwickDlg dlg;
        QCOMPARE(dlg.findChild<QLabel*>("outputFolderLabel")->text(), QStringLiteral("输出目录"));
        QCOMPARE(InterfaceText(lang::kJobNothingChecked), QStringLiteral("请先选中文件!"));
        QCOMPARE(PictureOf(dlg, "addButton"), (SetPictureLanguage(PictureLanguage::kChinese),
                                               LoadPicture(picture::kAddFiles).toImage()));
    }
};

int RunLanguageTest(int argc, char** argv) {
    LanguageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "language_test.moc"
