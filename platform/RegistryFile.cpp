#include "platform/RegistryFile.h"

#include "platform/Files.h"
#include "resources/Strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace quillet {

namespace {

constexpr const char* Root = "HKEY_CURRENT_USER";

// REGEDIT4 escapes only \\ and \"; CR and LF are escaped too so a value never breaks a line.
std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void Hex(std::string& out, const std::string& prefix, const std::vector<uint8_t>& data) {
    static const char* digits = "0123456789abcdef";
    out += prefix;
    size_t column = prefix.size();
    for (size_t i = 0; i < data.size(); ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column > 74) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    out += '\n';
}

class TParser {
public:
    TParser(const std::string& text, const std::string& source) : FText(text), FSource(source) {}

    TMemoryRegistry::TKeys Run() {
        std::string line;
        bool header = false;
        TMemoryRegistry::TKey* key = nullptr;
        while (NextLine(line)) {
            const size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == ';') continue;
            line.erase(0, first);
            if (!header) {
                if (line != "REGEDIT4") Fail(SRegNoHeader);
                header = true;
                continue;
            }
            if (line[0] == '[') {
                key = &Section(line);
                continue;
            }
            if (!key) Fail(SRegValueOutsideKey);
            // A hex value may go on over lines that end with a backslash.
            while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
                line.pop_back();
                std::string more;
                if (!NextLine(more)) Fail(SRegBadHex);
                const size_t lead = more.find_first_not_of(" \t");
                line += lead == std::string::npos ? std::string() : more.substr(lead);
            }
            Value(*key, line);
        }
        // An empty file holds nothing yet; anything else must have had the header.
        if (!header && !FText.empty()) Fail(SRegNoHeader);
        return std::move(FKeys);
    }

private:
    bool NextLine(std::string& line) {
        if (FPos >= FText.size()) return false;
        size_t end = FText.find('\n', FPos);
        if (end == std::string::npos) end = FText.size();
        line = FText.substr(FPos, end - FPos);
        FPos = end + 1;
        ++FLine;
        if (FLine == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        return true;
    }

    [[noreturn]] void Fail(int detail) const {
        throw ERegistryError(FmtLoadStr(SRegFileSyntax, FSource, FLine, LoadStr(detail)));
    }

    TMemoryRegistry::TKey& Section(const std::string& line) {
        if (line.size() < 2 || line.back() != ']') Fail(SRegBadSection);
        std::string path = line.substr(1, line.size() - 2);
        const std::string root = TMemoryRegistry::Lower(path.substr(0, std::strlen(Root)));
        if (root != TMemoryRegistry::Lower(Root))
            Fail(path[0] == '-' ? SRegBadSection : SRegOtherRoot);
        path.erase(0, std::strlen(Root));
        if (!path.empty() && path[0] != '\\') Fail(SRegOtherRoot);
        try {
            path = TMemoryRegistry::NormalKey(path);
        } catch (const ERegistryError&) {
            Fail(SRegBadSection);
        }
        auto& k = FKeys[TMemoryRegistry::Lower(path)];
        if (k.Path.empty()) k.Path = path;
        return k;
    }

    // A quoted string from s[i] (at the opening quote); i ends after the closing quote.
    bool Quoted(const std::string& s, size_t& i, std::string& out) const {
        if (i >= s.size() || s[i] != '"') return false;
        for (++i; i < s.size(); ++i) {
            if (s[i] == '"') {
                ++i;
                return true;
            }
            if (s[i] == '\\') {
                if (++i >= s.size()) return false;
                const char c = s[i];
                out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
            } else {
                out += s[i];
            }
        }
        return false;
    }

    void Value(TMemoryRegistry::TKey& key, const std::string& line) {
        TMemoryRegistry::TValue v;
        size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!Quoted(line, i, v.Name)) {
            Fail(SRegBadValueLine);
        }
        if (i >= line.size() || line[i] != '=') Fail(SRegBadValueLine);
        const std::string data = line.substr(i + 1);
        if (!data.empty() && data[0] == '"') {
            size_t k = 0;
            if (!Quoted(data, k, v.Text) || k != data.size()) Fail(SRegBadString);
            v.Type = rtString;
        } else if (data.compare(0, 6, "dword:") == 0) {
            const std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                Fail(SRegBadDword);
            v.Type = rtDword;
            v.Dword = uint32_t(std::stoul(digits, nullptr, 16));
        } else if (data.compare(0, 4, "hex:") == 0) {
            v.Type = rtBinary;
            std::string item;
            std::stringstream list(data.substr(4));
            while (std::getline(list, item, ',')) {
                const size_t a = item.find_first_not_of(" \t");
                const size_t b = item.find_last_not_of(" \t");
                item = a == std::string::npos ? std::string() : item.substr(a, b - a + 1);
                if (item.empty() || item.size() > 2 ||
                    item.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                    Fail(SRegBadHex);
                v.Data.push_back(uint8_t(std::stoul(item, nullptr, 16)));
            }
            if (!data.empty() && data.back() == ',') Fail(SRegBadHex);
        } else {
            Fail(SRegBadValueLine);
        }
        key.Values[TMemoryRegistry::Lower(v.Name)] = std::move(v);
    }

    const std::string& FText;
    std::string FSource;
    size_t FPos = 0;
    int FLine = 0;
    TMemoryRegistry::TKeys FKeys;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

std::string FormatRegistryFile(const TMemoryRegistry::TKeys& keys) {
    std::string out = "REGEDIT4\n";
    for (const auto& [lower, key] : keys) {
        out += "\n[";
        out += Root;
        out += '\\';
        out += key.Path;
        out += "]\n";
        for (const auto& [name, v] : key.Values) {
            const std::string head = (v.Name.empty() ? std::string("@") : Quote(v.Name)) + "=";
            if (v.Type == rtString) {
                out += head + Quote(v.Text) + "\n";
            } else if (v.Type == rtDword) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%08x", v.Dword);
                out += head + "dword:" + buf + "\n";
            } else {
                Hex(out, head + "hex:", v.Data);
            }
        }
    }
    return out;
}

TMemoryRegistry::TKeys ParseRegistryFile(const std::string& text, const std::string& source) {
    return TParser(text, source).Run();
}

TFileRegistry::TFileRegistry(std::string path) : Writer(WriteAll), FPath(std::move(path)) {
    std::error_code ec;
    if (!std::filesystem::exists(FPath, ec)) return;
    if (std::filesystem::is_directory(FPath, ec))
        throw ERegistryError(FmtLoadStr(SRegFileRead, FPath, std::strerror(EISDIR)));
    // A pipe would hold the start for good, a device never end.
    if (!std::filesystem::is_regular_file(FPath, ec))
        throw ERegistryError(FmtLoadStr(SRegFileRead, FPath, LoadStr(SRegNotAFile)));
    std::ifstream in(FPath, std::ios::binary);
    if (!in.is_open()) throw ERegistryError(FmtLoadStr(SRegFileRead, FPath, std::strerror(errno)));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw ERegistryError(FmtLoadStr(SRegFileRead, FPath, std::strerror(errno)));
    SetKeys(ParseRegistryFile(text.str(), FPath));
}

void TFileRegistry::Save() {
    const std::filesystem::path target(FPath);
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    try {
        TReplacingFile file(FPath, FPath);
        const std::string text = FormatRegistryFile(Keys());
        errno = 0;
        if (!Writer(file.Handle(), text.data(), text.size()))
            throw EFileError(FPath, errno ? errno : EIO);
        file.Commit();
    } catch (const EFileError& e) {
        throw ERegistryError(
            FmtLoadStr(SRegFileWrite, FPath, std::strerror(e.Code() ? e.Code() : EIO)));
    }
}

void TFileRegistry::Changed(TKeys& before) {
    try {
        Save();
    } catch (...) {
        // The file kept the old state; so does memory.
        SetKeys(std::move(before));
        throw;
    }
}

std::string TFileRegistry::DefaultPath() {
    if (const char* env = std::getenv("QUILLET_REGISTRY"); env && *env) return env;
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        throw ERegistryError(LoadStr(SRegNoHome));
    return (base / "quillet" / "HKEY_CURRENT_USER.reg").string();
}

std::unique_ptr<IRegistry> MakeDefaultRegistry(std::string* notice) {
    if (const char* env = std::getenv("QUILLET_REGISTRY"); env && std::strcmp(env, ":memory:") == 0)
        return std::make_unique<TMemoryRegistry>();
    std::string path;
    try {
        path = TFileRegistry::DefaultPath();
        return std::make_unique<TFileRegistry>(path);
    } catch (const ERegistryError& e) {
        if (!notice) throw;
        // Nothing the user had is destroyed: the unreadable file moves aside under a free name
        // and the run starts afresh; when it cannot move, this run's settings stay in memory.
        std::error_code ec;
        // Only a file is moved: a folder or a device of that name is no damaged settings file.
        if (!path.empty() && std::filesystem::is_regular_file(path, ec)) {
            std::string aside = path + ".bad";
            for (int n = 1; n < 1000 && std::filesystem::symlink_status(aside, ec).type() !=
                                            std::filesystem::file_type::not_found;
                 ++n)
                aside = path + ".bad." + std::to_string(n);
            if (std::rename(path.c_str(), aside.c_str()) == 0) {
                *notice = FmtLoadStr(SRegSetAside, e.what(), aside);
                return std::make_unique<TFileRegistry>(path);
            }
        }
        *notice = FmtLoadStr(SRegKeptInMemory, e.what());
        return std::make_unique<TMemoryRegistry>();
    }
}

} // namespace quillet
