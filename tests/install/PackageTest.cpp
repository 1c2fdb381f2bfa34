// The product as a user installs it: the Debian package made from this build tree (its files,
// owners, modes and control fields), the same files from `cmake --install`, and the desktop
// entry, icons and manual pages as a desktop and `man` read them. The install.make_package
// fixture makes the package and the install tree before these tests run.

#include "tests/support/Ci.h"
#include "tests/support/Files.h"
#include "tests/support/Program.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

// Skips where a checking tool is missing, but fails under CI, which installs it.
#define KELVOR_REQUIRE_TOOL(tool, package)                                                         \
    KELVOR_REQUIRE_PROGRAM(!QStandardPaths::findExecutable(tool).isEmpty(), tool, package)

namespace {

using Ran = testsupport::ProgramRun;

Ran RunProgram(const std::string& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return testsupport::RunProgram(program, args, {.environment = env});
}

std::vector<std::string> Programs() {
    return {"kelvor-monitor", "kelvor-station-sim", "kelvor-capture", "kelvor-feed"};
}

// Every file of the product, relative to the installation prefix; nothing else may be there.
std::set<std::string> ExpectedFiles() {
    std::set<std::string> files{
        "share/applications/kelvor-monitor.desktop",
        "share/icons/hicolor/scalable/apps/kelvor-monitor.svg",
        "share/icons/hicolor/48x48/apps/kelvor-monitor.png",
        "share/icons/hicolor/256x256/apps/kelvor-monitor.png",
    };
    for (const auto& program : Programs()) {
        files.insert("bin/" + program);
        files.insert("share/man/man1/" + program + ".1.gz");
    }
    return files;
}

std::string ExpectedMode(const std::string& file) {
    return file.starts_with("bin/") ? "755" : "644";
}

// Permission bits of a regular file or folder in octal; "not a file or folder" for anything
// else (a link, nothing).
std::string Mode(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
        return "not a file or folder";
    std::ostringstream octal;
    octal << std::oct << (st.st_mode & 07777);
    return octal.str();
}

struct Tree {
    std::set<std::string> files, folders; // relative, '/'-separated
};

Tree Walk(const fs::path& root) {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        (entry.is_directory() ? tree.folders : tree.files).insert(relative);
    }
    return tree;
}

// A folder that holds none of the files is left over from something that was not meant to be
// installed.
std::vector<std::string> EmptyFolders(const Tree& tree) {
    std::vector<std::string> empty;
    for (const auto& folder : tree.folders) {
        bool holds = false;
        for (const auto& file : tree.files)
            holds = holds || file.starts_with(folder + "/");
        if (!holds)
            empty.push_back(folder);
    }
    return empty;
}

std::string WithoutUsr(const std::string& path) {
    return path.starts_with("usr/") ? path.substr(4) : "outside usr/: " + path;
}

// The package and the install tree as the fixture left them, read once per test process.
struct Made {
    std::string error;
    fs::path deb, prefix;
    fs::path root; // the package extracted with dpkg-deb -x
    // dpkg-deb -c: path without "./" and trailing '/' -> "drwxr-xr-x root/root"
    std::map<std::string, std::string> listing;
    Tree packaged; // the listing, relative to usr/
    std::map<std::string, std::string> fields;
    QTemporaryDir scratch;
};

std::map<std::string, std::string> ControlFields(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::string last;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(" ") && !last.empty()) {
            fields[last] += "\n" + line.substr(1);
        } else if (const auto colon = line.find(": "); colon != std::string::npos) {
            last = line.substr(0, colon);
            fields[last] = line.substr(colon + 2);
        }
    }
    return fields;
}

std::unique_ptr<Made> Load() {
    auto loaded = std::make_unique<Made>();
    Made& m = *loaded;
    const fs::path made = KELVOR_MADE;
    m.prefix = made / "prefix";
    std::vector<fs::path> debs;
    if (fs::is_directory(made / "deb"))
        for (const auto& entry : fs::directory_iterator(made / "deb"))
            if (entry.path().extension() == ".deb")
                debs.push_back(entry.path());
    if (debs.size() != 1 || !fs::is_directory(m.prefix)) {
        m.error = "expected one .deb in " + (made / "deb").string() + " and an install tree in " +
                  m.prefix.string() +
                  "; run the tests through ctest, whose install.make_package "
                  "makes them";
        return loaded;
    }
    m.deb = debs.front();

    const Ran list = RunProgram("dpkg-deb", {"-c", QString::fromStdString(m.deb)});
    if (list.status != 0) {
        m.error = "dpkg-deb -c failed: " + list.err;
        return loaded;
    }
    std::istringstream in(list.out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string mode, owner, size, date, time, path;
        fields >> mode >> owner >> size >> date >> time >> path;
        if (path.starts_with("./"))
            path.erase(0, 2);
        if (path.ends_with("/"))
            path.pop_back();
        if (path.empty() || path == ".")
            continue;
        m.listing[path] = mode + " " + owner;
        if (path == "usr")
            continue;
        (mode.starts_with("d") ? m.packaged.folders : m.packaged.files).insert(WithoutUsr(path));
    }

    const Ran fields = RunProgram("dpkg-deb", {"-f", QString::fromStdString(m.deb)});
    if (fields.status != 0) {
        m.error = "dpkg-deb -f failed: " + fields.err;
        return loaded;
    }
    m.fields = ControlFields(fields.out);

    m.root = fs::path(m.scratch.path().toStdString()) / "root";
    const Ran extract = RunProgram(
        "dpkg-deb", {"-x", QString::fromStdString(m.deb), QString::fromStdString(m.root)});
    if (extract.status != 0)
        m.error = "dpkg-deb -x failed: " + extract.err;
    return loaded;
}

const Made& TheMade() {
    static const std::unique_ptr<Made> made = Load();
    return *made;
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        KELVOR_REQUIRE_TOOL("dpkg-deb", "dpkg");
        ASSERT_TRUE(made.error.empty()) << made.error;
    }
    fs::path Installed(const std::string& file) const { return made.root / "usr" / file; }

    const Made& made = TheMade();
};

// --- The package -------------------------------------------------------------------------------

TEST_F(Package, HoldsTheProgramsDesktopEntryIconsAndManualPagesAndNothingElse) {
    EXPECT_EQ(made.packaged.files, ExpectedFiles());
    EXPECT_EQ(EmptyFolders(made.packaged), std::vector<std::string>{});
    for (const auto& [path, modeOwner] : made.listing)
        EXPECT_TRUE(modeOwner.ends_with(" root/root")) << path << ": " << modeOwner;
}

TEST_F(Package, ControlFieldsComeFromTheProjectAndTheLinkedLibraries) {
    auto field = [&](const std::string& name) {
        const auto it = made.fields.find(name);
        return it == made.fields.end() ? std::string() : it->second;
    };
    EXPECT_EQ(field("Package"), "kelvor-monitor");
    EXPECT_EQ(field("Version"), KELVOR_VERSION);
    const Ran arch = RunProgram("dpkg", {"--print-architecture"});
    ASSERT_EQ(arch.status, 0) << arch.err;
    EXPECT_EQ(field("Architecture") + "\n", arch.out);
    EXPECT_TRUE(std::regex_match(field("Maintainer"), std::regex(R"(.+ <[^ <>]+@[^ <>]+>)")))
        << field("Maintainer");
    EXPECT_FALSE(field("Section").empty());
    // A synopsis line, then a long description.
    const std::string description = field("Description");
    const auto newline = description.find('\n');
    ASSERT_NE(newline, std::string::npos) << description;
    EXPECT_GT(newline, 10u) << description;

    // dpkg-shlibdeps writes a lower version bound for each library it found in the programs; a
    // hand-written list would not know them.
    const std::string depends = field("Depends");
    for (const char* library : {"libqt6widgets6", "libqt6gui6", "libqt6core6",
                                "libqt6printsupport6", "libicu[0-9]+", "libc6", "libstdc\\+\\+6"})
        EXPECT_TRUE(std::regex_search(
            depends, std::regex(std::string("(^|, )") + library + " \\(>= [^)]+\\)(,|$)")))
            << library << " missing from Depends: " << depends;
}

TEST_F(Package, InstallsEveryFileWithItsModeWhateverTheBuildersUmask) {
    // The fixture packs under umask 0002, which would leave folders and files group-writable if
    // their modes came from the umask.
    const Tree extracted = Walk(made.root);
    std::set<std::string> files;
    for (const auto& file : extracted.files)
        files.insert(WithoutUsr(file));
    EXPECT_EQ(files, ExpectedFiles());
    for (const auto& file : ExpectedFiles()) {
        EXPECT_EQ(Mode(Installed(file)), ExpectedMode(file)) << file;
        EXPECT_GT(fs::file_size(Installed(file)), 0u) << file;
    }
    for (const auto& folder : extracted.folders)
        EXPECT_EQ(Mode(made.root / folder), "755") << folder;
}

TEST_F(Package, ProgramsRunFromTheInstalledTree) {
    // The monitor ends at once without a display, but only after the loader has found every
    // library it links, which is what an installed copy can get wrong.
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.remove(name);
    const Ran monitor = RunProgram(Installed("bin/kelvor-monitor"), {}, noDisplay);
    EXPECT_EQ(monitor.status, 1) << monitor.err;
    EXPECT_NE(monitor.err.find("no display found"), std::string::npos) << monitor.err;

    for (const auto& program : Programs()) {
        if (program == "kelvor-monitor")
            continue;
        const Ran help = RunProgram(Installed("bin/" + program), {"--help"});
        EXPECT_EQ(help.status, 0) << program << ": " << help.err;
        EXPECT_NE(help.out.find(program), std::string::npos) << program << ": " << help.out;
    }
}

// --- Desktop entry and icons -------------------------------------------------------------------

TEST_F(Package, DesktopEntryIsValidAndNamesTheInstalledProgramAndIcon) {
    KELVOR_REQUIRE_TOOL("desktop-file-validate", "desktop-file-utils");
    const fs::path entry = Installed("share/applications/kelvor-monitor.desktop");
    const Ran validate = RunProgram("desktop-file-validate", {QString::fromStdString(entry)});
    EXPECT_EQ(validate.status, 0);
    // Warnings and hints leave the status at 0; we want none.
    EXPECT_EQ(validate.out + validate.err, "");

    std::map<std::string, std::string> keys;
    std::istringstream in(testsupport::ReadFile(entry));
    for (std::string line; std::getline(in, line);)
        if (const auto eq = line.find('='); eq != std::string::npos)
            keys[line.substr(0, eq)] = line.substr(eq + 1);
    const std::string exec = keys["Exec"].substr(0, keys["Exec"].find(' '));
    EXPECT_EQ(Mode(Installed("bin/" + exec)), "755") << "Exec=" << keys["Exec"];
    for (const char* folder : {"scalable/apps/", "48x48/apps/", "256x256/apps/"}) {
        const std::string extension = std::string(folder).starts_with("scalable") ? ".svg" : ".png";
        EXPECT_TRUE(fs::is_regular_file(
            Installed("share/icons/hicolor/" + std::string(folder) + keys["Icon"] + extension)))
            << "Icon=" << keys["Icon"] << " in " << folder;
    }
}

TEST_F(Package, IconsAreDrawnAtTheSizeTheirFolderNames) {
    for (const unsigned size : {48u, 256u}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::string png = testsupport::ReadFile(
            Installed("share/icons/hicolor/" + name + "/apps/kelvor-monitor.png"));
        ASSERT_GE(png.size(), 24u) << name;
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
        EXPECT_EQ(png.substr(12, 4), "IHDR") << name;
        auto be32 = [&](std::size_t at) {
            unsigned value = 0;
            for (std::size_t i = 0; i < 4; ++i)
                value = value << 8 | static_cast<unsigned char>(png[at + i]);
            return value;
        };
        EXPECT_EQ(be32(16), size) << name << " width";
        EXPECT_EQ(be32(20), size) << name << " height";
    }

    // The scalable icon: well-formed SVG on a square canvas.
    QXmlStreamReader svg(QByteArray::fromStdString(
        testsupport::ReadFile(Installed("share/icons/hicolor/scalable/apps/kelvor-monitor.svg"))));
    ASSERT_TRUE(svg.readNextStartElement()) << svg.errorString().toStdString();
    EXPECT_EQ(svg.name().toString().toStdString(), "svg");
    const QStringList box = svg.attributes().value("viewBox").toString().split(' ');
    ASSERT_EQ(box.size(), 4);
    EXPECT_EQ(box[2], box[3]) << "viewBox is not square";
    while (!svg.atEnd())
        svg.readNext();
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
}

// --- Manual pages -------------------------------------------------------------------------------

Ran RenderManualPage(const fs::path& page) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MANWIDTH", "200"); // few line breaks, so options stay whole
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("MANPAGER", "cat");
    return RunProgram("man", {"--warnings", "-l", "-E", "UTF-8", QString::fromStdString(page)},
                      env);
}

TEST_F(Package, ManualPagesRenderWithoutWarnings) {
    KELVOR_REQUIRE_TOOL("man", "man-db");
    for (const auto& program : Programs()) {
        const Ran page = RenderManualPage(Installed("share/man/man1/" + program + ".1.gz"));
        EXPECT_EQ(page.status, 0) << program;
        EXPECT_EQ(page.err, "") << program;
        EXPECT_NE(page.out.find(program + " - "), std::string::npos) << program << ": no NAME";
        EXPECT_NE(page.out.find(KELVOR_VERSION), std::string::npos) << program << ": no version";
    }
}

TEST_F(Package, ManualPagesDescribeEveryOptionTheProgramsAccept) {
    KELVOR_REQUIRE_TOOL("man", "man-db");
    const std::regex option("--[a-z][a-z0-9-]*[a-z0-9]");
    for (const auto& program : Programs()) {
        if (program == "kelvor-monitor")
            continue; // takes no arguments
        const Ran help = RunProgram(Installed("bin/" + program), {"--help"});
        ASSERT_EQ(help.status, 0) << program << ": " << help.err;
        const std::string page =
            RenderManualPage(Installed("share/man/man1/" + program + ".1.gz")).out;
        std::set<std::string> missing;
        for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end;
             ++it)
            if (page.find(it->str()) == std::string::npos)
                missing.insert(it->str());
        EXPECT_EQ(missing, std::set<std::string>{}) << program << "'s manual page lacks options";
    }
}

// --- cmake --install -------------------------------------------------------------------------

TEST_F(Package, CmakeInstallGivesTheSameFilesAndModes) {
    const Tree installed = Walk(made.prefix);
    EXPECT_EQ(installed.files, ExpectedFiles());
    EXPECT_EQ(EmptyFolders(installed), std::vector<std::string>{});
    for (const auto& file : ExpectedFiles()) {
        EXPECT_EQ(Mode(made.prefix / file), ExpectedMode(file)) << file;
        // Programs are stripped in the package only; everything else is the same bytes.
        if (!file.starts_with("bin/")) {
            EXPECT_EQ(testsupport::ReadFile(made.prefix / file),
                      testsupport::ReadFile(Installed(file)))
                << file;
        }
    }
    for (const auto& folder : installed.folders)
        EXPECT_EQ(Mode(made.prefix / folder), "755") << folder;
}

} // namespace
