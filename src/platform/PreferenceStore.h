#pragma once

#include <string>

namespace kvt::platform {

class PreferenceStore {
public:
    virtual ~PreferenceStore() = default;
    virtual std::string get(const std::string& application, const std::string& section,
                            const std::string& key, const std::string& defaultValue) const = 0;
    virtual void save(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) = 0;
};

} // namespace kvt::platform
