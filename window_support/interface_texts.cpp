#include "interface_texts.h"

#include <QHash>

namespace {

// Section and key in upper case, as one lookup key: names in the language
// file match without regard to case.
QString LookupKey(std::string_view section, std::string_view key) {
    return (QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) +
            QLatin1Char('/') + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())))
        .toUpper();
}

// Filled on the user-interface thread at start-up, read there afterwards.
struct Texts {
    QHash<QString, QString> byKey;
    QString languageFile;
};

Texts& TheTexts() {
    static Texts texts;
    return texts;
}

}  // namespace

void LoadInterfaceTexts(const std::filesystem::path& languageFile) {
    QHash<QString, QString> texts;
    for (const ProfileKey& key : lang::kMainWindowTexts) {
        texts.insert(LookupKey(key.section, key.key),
                     QString::fromStdString(ReadProfileString(languageFile, key)));
    }
    TheTexts().byKey = std::move(texts);
}

QString InterfaceText(const ProfileKey& key) {
    return TheTexts().byKey.value(LookupKey(key.section, key.key));
}

QString LanguageFileName() { return TheTexts().languageFile; }

void SetLanguageFileName(const QString& name) { TheTexts().languageFile = name; }
