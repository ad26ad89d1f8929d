#pragma once

#include "platform/PreferenceStore.h"

#include <map>
#include <string>
#include <tuple>

namespace kvt::testing {

class MemoryPreferences final : public platform::PreferenceStore {
public:
    std::string get(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& defaultValue) const override {
        auto it = values.find({application, section, key});
        return it == values.end() ? defaultValue : it->second;
    }
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override {
        values[{application, section, key}] = value;
        saves.push_back(key);
    }
    std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
    std::vector<std::string> saves; // keys in the order they were saved
};

} // namespace kvt::testing
