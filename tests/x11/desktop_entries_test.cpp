// Desktop entries: directories, ids, parsing, matching running programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/x11/desktop/desktop_entries.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::x11;
using Dirs = std::vector<std::string>;

// A temporary data directory tree, removed afterwards.
class TempData {
public:
    TempData() {
        char pattern[] = "/tmp/desktop-entries-XXXXXX";
        root_ = ::mkdtemp(pattern);
    }
    ~TempData() { fs::remove_all(root_); }
    std::string base(const std::string& name) const { return root_ + "/" + name; }
    std::string dir(const std::string& name) const { return base(name) + "/applications"; }
    std::string write(const std::string& dataDir, const std::string& relative, const std::string& text) const {
        fs::path p = fs::path(dir(dataDir)) / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
        return p.string();
    }

private:
    std::string root_;
};

std::string app(const std::string& name, const std::string& exec, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}

TEST(DesktopEntries, ApplicationDirsFollowTheXdgVariables) {
    EXPECT_EQ(applicationDirs(nullptr, "/home/u", nullptr),
              (Dirs{"/home/u/.local/share/applications", "/usr/local/share/applications", "/usr/share/applications"}));
    EXPECT_EQ(applicationDirs("", "/home/u", ""), applicationDirs(nullptr, "/home/u", nullptr));
    // Relative and empty entries are ignored; repeats count once.
    EXPECT_EQ(applicationDirs("/d/home/", nullptr, "rel/dir::/opt/share:/d/home"),
              (Dirs{"/d/home/applications", "/opt/share/applications"}));
    EXPECT_EQ(applicationDirs("relative", nullptr, "/x"), (Dirs{"/x/applications"}));
}

TEST(DesktopEntries, IdsAndTheirRefusals) {
    EXPECT_EQ(desktopId("org.example.Editor.desktop"), "org.example.Editor");
    EXPECT_EQ(desktopId("kde/sub/konsole.desktop"), "kde-sub-konsole");
    EXPECT_EQ(desktopId("notes.txt"), "");
    EXPECT_EQ(desktopId(".desktop"), "");

    EXPECT_TRUE(validDesktopId("org.example.Editor"));
    EXPECT_TRUE(validDesktopId("kde-konsole"));
    for (std::string bad : {std::string(""), std::string("-g"), std::string("--help"), std::string("a/b"),
                            std::string("../x"), std::string(".hidden"), std::string("a\0b", 3)})
        EXPECT_FALSE(validDesktopId(bad)) << bad;
}

TEST(DesktopEntries, ExecProgramIsTheBasenameOfTheFirstWord) {
    EXPECT_EQ(execProgram("gedit %U"), "gedit");
    EXPECT_EQ(execProgram("/usr/bin/gedit --new-window"), "gedit");
    EXPECT_EQ(execProgram("\"/opt/My App/bin/my app\" %F"), "my app");
    EXPECT_EQ(execProgram("\"/opt/a\\\"b/prog\""), "prog");
    // \s is a space, and a space splits words unless it is quoted.
    EXPECT_EQ(execProgram("\"/opt/two\\swords\" %u"), "two words");
    EXPECT_EQ(execProgram("/opt/two\\swords %u"), "two");
    EXPECT_EQ(execProgram("env GDK_BACKEND=x11 LANG=C /usr/bin/tool --x"), "tool");
    EXPECT_EQ(execProgram("/usr/bin/env -u FOO tool"), "tool");
    EXPECT_EQ(execProgram(""), "");
    EXPECT_EQ(execProgram("   "), "");
}

TEST(DesktopEntries, ReadsOnlyTheMainGroupOfApplications) {
    TempData data;
    std::string path = data.write("a", "editor.desktop",
                                  "# comment\n[Desktop Entry]\nName[de]=Bearbeiter\nName = My\\sEditor \n"
                                  "Type=Application\nExec=/usr/bin/editor %U\nStartupWMClass=Editor-Main\n"
                                  "Terminal=false\n\n[Desktop Action new]\nName=New Window\nExec=other\n");
    auto entry = readDesktopEntry(path, "editor");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->id, "editor");
    EXPECT_EQ(entry->path, path);
    EXPECT_EQ(entry->name, "My Editor");
    EXPECT_EQ(entry->program, "editor");
    EXPECT_EQ(entry->startupWMClass, "Editor-Main");
    EXPECT_FALSE(entry->terminal);

    EXPECT_FALSE(readDesktopEntry(data.write("a", "link.desktop", "[Desktop Entry]\nType=Link\nName=L\n"), "link"));
    EXPECT_FALSE(readDesktopEntry(data.write("a", "gone.desktop", app("Gone", "gone", "Hidden=true\n")), "gone"));
    EXPECT_FALSE(readDesktopEntry(data.write("a", "nogroup.desktop", "Type=Application\nName=X\n"), "nogroup"));
    EXPECT_FALSE(readDesktopEntry(data.write("a", "other.desktop", "[Other]\nType=Application\n"), "other"));
    EXPECT_FALSE(readDesktopEntry(data.dir("a") + "/missing.desktop", "missing"));
}

TEST(DesktopEntries, EarlierDirectoriesShadowLaterOnes) {
    TempData data;
    data.write("home", "org.example.Mine.desktop", app("Mine at home", "mine"));
    data.write("sys", "org.example.Mine.desktop", app("Mine system", "mine"));
    data.write("sys", "org.example.Deleted.desktop", app("Deleted", "deleted"));
    data.write("home", "org.example.Deleted.desktop", app("Deleted", "deleted", "Hidden=true\n"));
    data.write("sys", "kde/konsole.desktop", app("Konsole", "konsole"));
    data.write("sys", "readme.txt", "not an entry");
    data.write("sys", "-g.desktop", app("Dash", "dash"));  // a file no launcher may be handed
    Dirs dirs{data.dir("home"), data.dir("missing"), data.dir("sys")};

    auto entries = scanApplications(dirs);
    std::vector<std::string> ids;
    for (auto& e : entries) ids.push_back(e.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"-g", "kde-konsole", "org.example.Mine"}));

    auto mine = findApplication(dirs, "org.example.Mine");
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->name, "Mine at home");
    auto konsole = findApplication(dirs, "kde-konsole");
    ASSERT_TRUE(konsole);
    EXPECT_EQ(konsole->path, data.dir("sys") + "/kde/konsole.desktop");
    EXPECT_FALSE(findApplication(dirs, "org.example.Deleted"));
    EXPECT_FALSE(findApplication(dirs, "konsole"));
    EXPECT_FALSE(findApplication(dirs, "-g"));
}

TEST(DesktopEntries, MatchingARunningProgram) {
    std::vector<DesktopEntry> entries{
        {"org.example.Viewer", "", "Viewer", "", "viewer", false},
        {"org.example.Editor", "", "Editor", "editor-window", "editor", false},
        {"gimp", "", "GIMP", "", "gimp-2.10", false},
        {"python3.11", "", "Python", "", "python3.11", true},
    };
    // StartupWMClass first, against the class or the instance.
    const DesktopEntry* e = matchApplication(entries, "Editor-window", "editor-window", "python3.11");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->id, "org.example.Editor");
    // Then an id equal to the class, ignoring case.
    e = matchApplication(entries, "Gimp", "gimp", "gimp-2.10");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->id, "gimp");
    // Then the executable, by its basename.
    e = matchApplication(entries, "Unknown", "unknown", "viewer");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->id, "org.example.Viewer");
    // A terminal program never owns windows of its own: a script run by that
    // interpreter is not that entry.
    EXPECT_EQ(matchApplication(entries, "Ax_fixture.py", "ax_fixture.py", "python3.11"), nullptr);
    EXPECT_EQ(matchApplication(entries, "", "", ""), nullptr);
    // An empty StartupWMClass does not match an empty class.
    std::vector<DesktopEntry> blank{{"x", "", "X", "", "", false}};
    EXPECT_EQ(matchApplication(blank, "", "", ""), nullptr);
}

TEST(DesktopEntries, InstalledApplicationsSeeChangesOnDisk) {
    TempData data;
    std::string path = data.write("home", "org.example.Live.desktop", app("Live", "live"));
    ::setenv("XDG_DATA_HOME", data.base("home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", data.base("sys").c_str(), 1);

    auto names = [] {
        std::vector<std::string> out;
        for (auto& e : installedApplications(std::chrono::milliseconds(0))) out.push_back(e.id + "=" + e.name);
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"org.example.Live=Live"}));
    data.write("sys", "sub/added.desktop", app("Added", "added"));
    EXPECT_EQ(names(), (std::vector<std::string>{"org.example.Live=Live", "sub-added=Added"}));
    std::ofstream(path) << app("Live renamed", "live");
    EXPECT_EQ(names(), (std::vector<std::string>{"org.example.Live=Live renamed", "sub-added=Added"}));
    fs::remove(path);
    EXPECT_EQ(names(), (std::vector<std::string>{"sub-added=Added"}));
    // Within the recheck interval the last reading stands.
    installedApplications(std::chrono::hours(1));
    data.write("home", "later.desktop", app("Later", "later"));
    EXPECT_EQ(installedApplications(std::chrono::hours(1)).size(), 1u);
    EXPECT_EQ(names().size(), 2u);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
}

}  // namespace
