#pragma once

#include "platform/PreferenceStore.h"

#include <QString>

#include <map>
#include <memory>
#include <string>

class QSettings;

namespace kvt::platform::qt {

// Preferences as one INI file per application: <folder>/<application>/preferences.ini, one INI
// group per section. Values are text (Latin-1 bytes); every save is written through at once.
class QtPreferenceStore : public PreferenceStore {
public:
    // The per-user folder: $XDG_CONFIG_HOME, or ~/.config when that is unset or empty.
    QtPreferenceStore();
    // An explicit folder in place of the per-user one (tests, the demonstration profile).
    explicit QtPreferenceStore(const std::string& folder);
    ~QtPreferenceStore() override;

    std::string get(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& defaultValue) const override;
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;

    // Why the last save could not be written; empty after a good one.
    std::string lastError() const { return lastError_; }
    // The file that holds the application's preferences.
    std::string filePath(const std::string& application) const;

    static std::string defaultFolder();

private:
    QSettings& settingsFor(const std::string& application) const;

    QString folder_;
    mutable std::map<std::string, std::unique_ptr<QSettings>> files_;
    std::string lastError_;
};

} // namespace kvt::platform::qt
