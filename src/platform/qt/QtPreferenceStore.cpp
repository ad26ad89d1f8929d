#include "platform/qt/QtPreferenceStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>

namespace kvt::platform::qt {

namespace {

QString keyPath(const std::string& section, const std::string& key) {
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key);
}

// The application name becomes a folder name: keep it one path component.
QString folderName(const std::string& application) {
    QString name = QString::fromLatin1(application);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name;
}

} // namespace

std::string QtPreferenceStore::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return QFile::encodeName(base).toStdString();
}

QtPreferenceStore::QtPreferenceStore() : QtPreferenceStore(defaultFolder()) {}

QtPreferenceStore::QtPreferenceStore(const std::string& folder)
    : folder_(QFile::decodeName(QByteArray::fromStdString(folder))) {}

QtPreferenceStore::~QtPreferenceStore() = default;

std::string QtPreferenceStore::filePath(const std::string& application) const {
    const QString path =
        folder_ + QLatin1Char('/') + folderName(application) + QStringLiteral("/preferences.ini");
    return QFile::encodeName(path).toStdString();
}

QSettings& QtPreferenceStore::settingsFor(const std::string& application) const {
    auto found = files_.find(application);
    if (found == files_.end()) {
        auto settings = std::make_unique<QSettings>(
            QFile::decodeName(QByteArray::fromStdString(filePath(application))),
            QSettings::IniFormat);
        found = files_.emplace(application, std::move(settings)).first;
    }
    return *found->second;
}

std::string QtPreferenceStore::get(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) const {
    const QVariant value = settingsFor(application).value(keyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with unquoted commas ("9600,n,8,1") reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toLatin1().toStdString();
    return value.toString().toLatin1().toStdString();
}

void QtPreferenceStore::save(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) {
    QSettings& settings = settingsFor(application);
    settings.setValue(keyPath(section, key), QString::fromLatin1(value));
    settings.sync();
    if (settings.status() == QSettings::NoError)
        lastError_.clear();
    else
        lastError_ = "Cannot write the preferences file " + filePath(application);
}

} // namespace kvt::platform::qt
