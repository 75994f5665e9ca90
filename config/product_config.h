// ProductConfig.xml, found beside the launcher or one folder up, parsed once
// per process; and the user's language from the registry.
#pragma once

#include <string>
#include <vector>

#include <tinyxml2.h>

struct ProductConfig {
    std::wstring shortcut_cn;
    std::wstring shortcut_en;
    std::wstring shortcut_new_cn;
    std::wstring shortcut_new_en;
    std::wstring ProgName;
    std::wstring Protocol;
    std::wstring Pipe;
};

using Args = std::vector<std::wstring>;

class ProductConfigFile {
public:
    static ProductConfigFile& Instance();

    // Fills the record and appends the extra arguments; false only when the
    // document holds no element at all.
    bool ReadConfig(ProductConfig& config, Args& args);

    // Appends the ANSI text of the first root child named exactly `name`.
    bool GetElementText(const std::string& name, std::string& output);

    bool config_loaded = false;
    bool lang_cn = true;

    ProductConfigFile(const ProductConfigFile&) = delete;
    ProductConfigFile& operator=(const ProductConfigFile&) = delete;

private:
    ProductConfigFile();
    bool LoadDocument();
    void ReadLanguage();

    tinyxml2::XMLDocument document;
};
