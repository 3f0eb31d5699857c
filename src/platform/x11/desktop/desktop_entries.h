// Desktop entries (the .desktop files of the XDG data directories): how the
// Linux backend names a running application, gives it an identifier and
// finds what to launch for an identifier. Pure file work, no X.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::x11 {

struct DesktopEntry {
    std::string id;              // "org.example.Editor" for .../applications/org.example.Editor.desktop
    std::string path;            // the file
    std::string name;            // Name= (the untranslated one)
    std::string startupWMClass;  // StartupWMClass=
    std::string program;         // basename of Exec='s program ("" when none)
    bool terminal = false;       // Terminal=true: runs inside a terminal emulator
};

// The applications/ directories, most important first: $XDG_DATA_HOME
// (default ~/.local/share), then each of $XDG_DATA_DIRS (default
// /usr/local/share:/usr/share). Null or empty variables take their defaults;
// relative entries are ignored, as the XDG rules say.
std::vector<std::string> applicationDirs(const char* dataHome, const char* home, const char* dataDirs);
// The same, from this process's environment.
std::vector<std::string> applicationDirs();

// The desktop-file id of a file below an applications/ directory: the
// relative path without ".desktop", directories joined by '-'
// ("kde/konsole.desktop" is "kde-konsole"). Empty when the path is not a
// .desktop file.
std::string desktopId(std::string_view relativePath);

// True for an identifier that can name a desktop file and be handed to a
// launcher: not empty, no NUL or '/', not starting with '-' or '.'.
bool validDesktopId(std::string_view id);

// The last part of a path: what follows its last '/', or all of it.
std::string baseName(std::string_view path);

// The program of an Exec= value: its first word (with the quoting of
// desktop entries undone), skipping an "env VAR=value..." prefix; only the
// basename. Empty when there is none.
std::string execProgram(std::string_view exec);

// Reads a file's [Desktop Entry] group. None when it cannot be read, has no
// such group, is not Type=Application, or says Hidden=true (a deleted entry).
std::optional<DesktopEntry> readDesktopEntry(const std::string& path, std::string id);

// Every application entry of the directories, first directory winning for
// an id (a hidden or unreadable file still shadows the same id further down).
std::vector<DesktopEntry> scanApplications(const std::vector<std::string>& dirs);

// The entry of an id, from a fresh look at the directories.
std::optional<DesktopEntry> findApplication(const std::vector<std::string>& dirs, std::string_view id);

// The entry describing a running program: StartupWMClass equal to the
// window's class or instance, else an id equal to either (ignoring ASCII
// case), else an Exec program equal to the process's executable basename
// (entries that run inside a terminal never own windows, so they are not
// matched by program). Null when none fits.
const DesktopEntry* matchApplication(const std::vector<DesktopEntry>& entries, std::string_view wmClass,
                                     std::string_view wmInstance, std::string_view executable);

// scanApplications over applicationDirs(), kept while no file or directory
// under them changed. Checking means a stat of every file, so it is done at
// most once per `recheckAfter`: one request asks for the same application
// once per window.
inline constexpr std::chrono::milliseconds kApplicationsRecheck{250};
const std::vector<DesktopEntry>& installedApplications(std::chrono::milliseconds recheckAfter = kApplicationsRecheck);

}  // namespace platform::x11
