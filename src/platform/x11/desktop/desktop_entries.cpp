#include "platform/x11/desktop/desktop_entries.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

namespace platform::x11 {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSuffix = ".desktop";

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The escapes of a string value: \s \n \t \r \\. Anything else is kept as is.
std::string unescapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out.push_back(value[i]);
            continue;
        }
        switch (char c = value[++i]) {
        case 's': out.push_back(' '); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case '\\': out.push_back('\\'); break;
        default: out.push_back('\\'); out.push_back(c); break;
        }
    }
    return out;
}

// Exec's command line split into words: blanks separate them, double quotes
// group them, and inside quotes a backslash escapes the next character.
std::vector<std::string> execWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size()) {
                word.push_back(line[++i]);
            } else if (c == '"') {
                quoted = false;
            } else {
                word.push_back(c);
            }
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The .desktop files below a directory as (relative path, full path), in a
// fixed order so that colliding ids resolve the same way every time.
std::vector<std::pair<std::string, std::string>> desktopFiles(const std::string& dir) {
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() != kSuffix || !it->is_regular_file(ec)) continue;
        // The iterator's paths all begin with `dir` and a separator.
        std::string full = p.string();
        files.emplace_back(full.substr(std::min(full.size(), dir.size() + 1)), full);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::vector<std::string> applicationDirs(const char* dataHome, const char* home, const char* dataDirs) {
    std::vector<std::string> dirs;
    auto add = [&](std::string_view base) {
        if (base.empty() || base.front() != '/') return;
        std::string dir(base);
        if (dir.back() != '/') dir.push_back('/');
        dir += "applications";
        if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(std::move(dir));
    };
    if (dataHome && *dataHome)
        add(dataHome);
    else if (home && *home)
        add(std::string(home) + "/.local/share");
    std::string_view list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    while (!list.empty()) {
        auto colon = list.find(':');
        add(list.substr(0, colon));
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return dirs;
}

std::vector<std::string> applicationDirs() {
    return applicationDirs(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"), std::getenv("XDG_DATA_DIRS"));
}

std::string baseName(std::string_view path) {
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string desktopId(std::string_view relativePath) {
    if (relativePath.size() <= kSuffix.size() || !relativePath.ends_with(kSuffix)) return "";
    std::string id(relativePath.substr(0, relativePath.size() - kSuffix.size()));
    std::replace(id.begin(), id.end(), '/', '-');
    return id;
}

bool validDesktopId(std::string_view id) {
    return !id.empty() && id.front() != '-' && id.front() != '.' &&
           id.find('\0') == std::string_view::npos && id.find('/') == std::string_view::npos;
}

std::string execProgram(std::string_view exec) {
    std::vector<std::string> words = execWords(unescapeValue(exec));
    std::size_t i = 0;
    if (i < words.size() && baseName(words[i]) == "env") {
        ++i;
        while (i < words.size() && (words[i].find('=') != std::string::npos || words[i].starts_with('-')))
            i += words[i] == "-u" || words[i] == "--unset" ? 2 : 1;  // these take the name as the next word
    }
    return i < words.size() ? baseName(words[i]) : "";
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path, std::string id) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    DesktopEntry entry;
    entry.id = std::move(id);
    entry.path = path;
    bool inGroup = false, sawGroup = false, application = false, hidden = false;
    std::string line;
    while (std::getline(in, line)) {
        std::string_view l = trim(line);
        if (l.empty() || l.front() == '#') continue;
        if (l.front() == '[') {
            if (inGroup) break;  // only the main group counts
            inGroup = l == "[Desktop Entry]";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        auto eq = l.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = trim(l.substr(0, eq)), value = trim(l.substr(eq + 1));
        if (key == "Type")
            application = value == "Application";
        else if (key == "Name")
            entry.name = unescapeValue(value);
        else if (key == "StartupWMClass")
            entry.startupWMClass = unescapeValue(value);
        else if (key == "Exec")
            entry.program = execProgram(value);
        else if (key == "Terminal")
            entry.terminal = value == "true";
        else if (key == "Hidden")
            hidden = value == "true";
    }
    if (!sawGroup || !application || hidden) return std::nullopt;
    return entry;
}

std::vector<DesktopEntry> scanApplications(const std::vector<std::string>& dirs) {
    std::vector<DesktopEntry> entries;
    std::set<std::string> seen;
    for (const std::string& dir : dirs) {
        for (auto& [relative, full] : desktopFiles(dir)) {
            std::string id = desktopId(relative);
            if (id.empty() || !seen.insert(id).second) continue;
            if (auto entry = readDesktopEntry(full, std::move(id))) entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::optional<DesktopEntry> findApplication(const std::vector<std::string>& dirs, std::string_view id) {
    if (!validDesktopId(id)) return std::nullopt;
    for (DesktopEntry& entry : scanApplications(dirs))
        if (entry.id == id) return std::move(entry);
    return std::nullopt;
}

const DesktopEntry* matchApplication(const std::vector<DesktopEntry>& entries, std::string_view wmClass,
                                     std::string_view wmInstance, std::string_view executable) {
    auto either = [&](auto&& same) {
        return (!wmClass.empty() && same(wmClass)) || (!wmInstance.empty() && same(wmInstance));
    };
    for (const DesktopEntry& e : entries)
        if (!e.startupWMClass.empty() && either([&](std::string_view s) { return s == e.startupWMClass; }))
            return &e;
    for (const DesktopEntry& e : entries)
        if (either([&](std::string_view s) { return equalsIgnoringCase(s, e.id); })) return &e;
    if (!executable.empty())
        for (const DesktopEntry& e : entries)
            if (!e.terminal && e.program == executable) return &e;
    return nullptr;
}

const std::vector<DesktopEntry>& installedApplications(std::chrono::milliseconds recheckAfter) {
    // What the directories looked like when they were last read: every
    // directory and file with its modification time and size.
    using Stamp = std::tuple<std::string, std::int64_t, std::int64_t>;
    static std::vector<Stamp> stamps;
    static std::vector<DesktopEntry> entries;
    static std::vector<std::string> lastDirs;
    static std::chrono::steady_clock::time_point checked;
    static bool scanned = false;

    std::vector<std::string> dirs = applicationDirs();
    auto time = std::chrono::steady_clock::now();
    if (scanned && dirs == lastDirs && time - checked < recheckAfter) return entries;
    checked = time;
    lastDirs = dirs;
    std::vector<Stamp> seen;
    for (const std::string& dir : dirs) {
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0) continue;
        seen.emplace_back(dir, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, st.st_size);
        std::error_code ec;
        fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            if (::stat(it->path().c_str(), &st) != 0) continue;
            seen.emplace_back(it->path().string(), st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                              st.st_size);
        }
    }
    std::sort(seen.begin(), seen.end());
    if (!scanned || seen != stamps) {
        entries = scanApplications(dirs);
        stamps = std::move(seen);
        scanned = true;
    }
    return entries;
}

}  // namespace platform::x11
