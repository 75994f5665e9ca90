#include "config/product_config.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "common/module_path.h"
#include "common/win_handle.h"
#include "config/config_rules.h"
#include "config/text_convert.h"

namespace {

const wchar_t kConfigName[] = L"ProductConfig.xml";

std::wstring CutAtLastBackslash(const std::wstring& path) {
    const std::size_t pos = path.rfind(L'\\');
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

ProductConfigFile& ProductConfigFile::Instance() {
    static ProductConfigFile instance;
    return instance;
}

ProductConfigFile::ProductConfigFile() {
    if (LoadDocument()) {
        config_loaded = true;
    }
    ReadLanguage();
}

bool ProductConfigFile::LoadDocument() {
    // Wide and whole: the folder may lie deeper than MAX_PATH and hold
    // characters outside the ANSI code page.
    const std::wstring module = quenda::ModulePath();
    if (module.empty() || module.find(L'\\') == std::wstring::npos) return false;  // nothing shown

    const std::wstring folder = CutAtLastBackslash(module);
    std::wstring candidate = folder + L"\\" + kConfigName;
    if (::GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            // A folder without a parent keeps the first candidate; its load
            // then fails and is reported like any other.
            if (folder.find(L'\\') != std::wstring::npos) candidate = CutAtLastBackslash(folder) + L"\\" + kConfigName;
        }
    }

    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(candidate.c_str(), L"rb"));
    const tinyxml2::XMLError loaded =
        file ? document.LoadFile(file.get()) : tinyxml2::XML_ERROR_FILE_NOT_FOUND;
    if (loaded != tinyxml2::XML_SUCCESS) {
        // Always Chinese: the language is known only after this.
        ::MessageBoxW(nullptr, L"启动器加载配置文件失败", L"错误", MB_OKCANCEL);
        return false;
    }
    return true;
}

void ProductConfigFile::ReadLanguage() {
    std::string prog_name;
    GetElementText("ProgName", prog_name);
    const std::string base_name = config_rules::DropExtension(prog_name);

    std::wstring wide_base;
    Cp936ToWide(base_name.c_str(), wide_base);
    const std::wstring key_path = config_rules::LanguageKeyPath(wide_base);

    quenda::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return;

    // One byte more than the read may fill, so the text always ends in a NUL.
    char value[261] = {};
    DWORD size = 260;
    if (::RegQueryValueExA(key.get(), "", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS) {
        return;
    }
    switch (config_rules::LanguageFromValue(value)) {
        case config_rules::Language::Chinese: lang_cn = true; break;
        case config_rules::Language::English: lang_cn = false; break;
        case config_rules::Language::Unchanged: break;
    }
}

bool ProductConfigFile::GetElementText(const std::string& name, std::string& output) {
    if (!config_loaded) return false;
    const tinyxml2::XMLElement* root = document.FirstChildElement();
    if (!root) return false;
    const tinyxml2::XMLElement* element = root->FirstChildElement(name.c_str());
    if (!element) return false;
    std::string text;
    if (Utf8ToAnsi(element->GetText(), text)) output += text;
    return !output.empty();
}

bool ProductConfigFile::ReadConfig(ProductConfig& config, Args& args) {
    const tinyxml2::XMLElement* root = document.FirstChildElement();
    if (!root) return false;

    if (const tinyxml2::XMLElement* list = root->FirstChildElement("Args")) {
        for (const tinyxml2::XMLElement* item = list->FirstChildElement("Item"); item;
             item = item->NextSiblingElement("Item")) {
            std::wstring value;
            if (Utf8ToWide(item->Attribute("Name"), value)) args.push_back(value);
        }
    }

    struct Field {
        const char* name;
        std::wstring ProductConfig::*member;
    };
    static const Field kFields[] = {
        {"ProgName", &ProductConfig::ProgName},
        {"Protocol", &ProductConfig::Protocol},
        {"Pipe", &ProductConfig::Pipe},
        {"shortcut_cn", &ProductConfig::shortcut_cn},
        {"shortcut_en", &ProductConfig::shortcut_en},
        {"shortcut_new_cn", &ProductConfig::shortcut_new_cn},
        {"shortcut_new_en", &ProductConfig::shortcut_new_en},
    };
    for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element;
         element = element->NextSiblingElement()) {
        std::wstring value;
        if (!Utf8ToWide(element->GetText(), value)) continue;  // an empty element never clears a value
        for (const Field& field : kFields) {
            if (config_rules::EqualsAsciiNoCase(element->Name(), field.name)) {
                config.*field.member = value;
                break;
            }
        }
    }
    return true;
}
