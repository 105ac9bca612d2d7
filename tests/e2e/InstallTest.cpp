#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>

#include "Command.h"
#include "ProgramOnX.h"
#include "XWindows.h"
#include "XvfbServer.h"
#include "window/qt/QtForm.h"

namespace fs = std::filesystem;

namespace {

const std::string appId = TONVELO_APP_ID;

// Where the installed files lie, relative to the prefix.
std::vector<std::string> expectedFiles()
{
    std::vector<std::string> files {
        "bin/tonvelo",
        "share/applications/" + appId + ".desktop",
        "share/metainfo/" + appId + ".metainfo.xml",
        "share/icons/hicolor/scalable/apps/" + appId + ".svg",
        "share/man/man1/tonvelo.1.gz",
    };
    std::istringstream sizes(TONVELO_ICON_SIZES);
    std::string size;
    while (std::getline(sizes, size, ','))
        files.push_back("share/icons/hicolor/" + size + "x" + size + "/apps/" + appId + ".png");
    return files;
}

std::map<std::string, std::string> desktopEntry(const fs::path& file)
{
    std::map<std::string, std::string> keys;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && line[0] != '#')
            keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

struct Metainfo {
    std::string id, launchable, projectLicense, newestRelease, contentRating, screenshot;
};

Metainfo readMetainfo(const fs::path& file)
{
    Metainfo info;
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly))
        return info;
    QXmlStreamReader xml(&f);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == u"content_rating")
            info.contentRating = xml.attributes().value("type").toString().toStdString();
        else if (name == u"release" && info.newestRelease.empty())
            info.newestRelease = xml.attributes().value("version").toString().toStdString();
        else if (name == u"id")
            info.id = xml.readElementText().toStdString();
        else if (name == u"launchable")
            info.launchable = xml.readElementText().toStdString();
        else if (name == u"project_license")
            info.projectLicense = xml.readElementText().toStdString();
        else if (name == u"image" && info.screenshot.empty())
            info.screenshot = xml.readElementText().toStdString();
    }
    return info;
}

} // namespace

// One install into a DESTDIR, one package, one extraction of it: the tests
// below read them.
class Installed : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string pattern = (fs::temp_directory_path() / "tonvelo-install-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        work_ = pattern;
        install_ = runCommand({ "cmake", "--install", TONVELO_BUILD_DIR, "--prefix", "/usr" },
            std::chrono::seconds(120), { "DESTDIR=" + (work_ / "destdir").string() });
        cpack_ = runCommand({ "cpack", "-G", "DEB", "-B", (work_ / "package").string(), "--config",
                                std::string(TONVELO_BUILD_DIR) + "/CPackConfig.cmake" },
            std::chrono::seconds(300));
        for (const auto& entry : fs::directory_iterator(work_ / "package"))
            if (entry.path().extension() == ".deb")
                deb_ = entry.path();
        if (!deb_.empty())
            extract_ = runCommand({ "dpkg", "-x", deb_.string(), (work_ / "root").string() });
    }

    static void TearDownTestSuite()
    {
        std::error_code ec;
        if (!work_.empty())
            fs::remove_all(work_, ec);
    }

    static fs::path installed(const std::string& file) { return work_ / "destdir/usr" / file; }

    static inline fs::path work_;
    static inline fs::path deb_;
    static inline CommandResult install_;
    static inline CommandResult cpack_;
    static inline CommandResult extract_;
};

TEST_F(Installed, EveryFileLandsInItsStandardPlace)
{
    ASSERT_EQ(install_.exitCode, 0) << install_.output;
    for (const auto& file : expectedFiles())
        EXPECT_TRUE(fs::is_regular_file(installed(file))) << file;
    std::istringstream sizes(TONVELO_ICON_SIZES);
    std::string size;
    while (std::getline(sizes, size, ',')) {
        const QImage icon(QString::fromStdString(
            installed("share/icons/hicolor/" + size + "x" + size + "/apps/" + appId + ".png").string()));
        EXPECT_EQ(icon.size(), QSize(std::stoi(size), std::stoi(size))) << size;
        EXPECT_TRUE(icon.hasAlphaChannel()) << size;
    }
}

TEST_F(Installed, DesktopEntryAndMetainfoValidateAndAgree)
{
    ASSERT_EQ(install_.exitCode, 0) << install_.output;
    const fs::path desktop = installed("share/applications/" + appId + ".desktop");
    const fs::path metainfo = installed("share/metainfo/" + appId + ".metainfo.xml");

    const auto validDesktop = runCommand({ "desktop-file-validate", desktop.string() });
    EXPECT_EQ(validDesktop.exitCode, 0);
    EXPECT_EQ(validDesktop.output, ""); // not even a hint
    const auto validMetainfo = runCommand({ "appstreamcli", "validate", "--no-net", metainfo.string() });
    EXPECT_EQ(validMetainfo.exitCode, 0) << validMetainfo.output;

    auto entry = desktopEntry(desktop);
    EXPECT_EQ(entry["Name"], "Tonvelo");
    EXPECT_EQ(entry["Exec"], "tonvelo");
    EXPECT_EQ(entry["Icon"], appId);
    EXPECT_EQ(entry["Categories"], "AudioVideo;Audio;Midi;");
    EXPECT_EQ(entry["Keywords"], "piano;keyboard;MIDI;");
    EXPECT_FALSE(entry["Comment"].empty());
    EXPECT_FALSE(entry["Comment[zh_CN]"].empty());
    EXPECT_EQ(entry["StartupWMClass"], "Tonvelo");

    const Metainfo info = readMetainfo(metainfo);
    EXPECT_EQ(info.id, appId);
    EXPECT_EQ(info.launchable, appId + ".desktop");
    EXPECT_EQ(info.projectLicense, "MIT");
    EXPECT_EQ(info.newestRelease, TONVELO_VERSION)
        << "the newest release in the metainfo is not this version";
    EXPECT_EQ(info.contentRating, "oars-1.1");
    EXPECT_FALSE(info.screenshot.empty());
}

TEST_F(Installed, PackageHoldsTheFilesDeclaresWhatTheProgramNeedsAndPassesLintian)
{
    ASSERT_FALSE(deb_.empty()) << cpack_.output;
    const auto arch = runCommand({ "dpkg", "--print-architecture" });
    EXPECT_EQ(deb_.filename().string(),
        "tonvelo_" TONVELO_VERSION "_" + arch.output.substr(0, arch.output.find('\n')) + ".deb");

    const auto listing = runCommand({ "dpkg-deb", "-c", deb_.string() });
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    for (const auto& file : expectedFiles())
        EXPECT_NE(listing.output.find(" ./usr/" + file + "\n"), std::string::npos) << file;
    EXPECT_EQ(listing.output.find("/include/"), std::string::npos) << "headers in the package";

    const auto depends = runCommand({ "dpkg-deb", "-f", deb_.string(), "Depends" });
    ASSERT_EQ(depends.exitCode, 0);
    // Written by hand (loaded at run time) and computed from the binary's libraries.
    for (const char* needed : { "fluid-soundfont-gm", "fonts-arphic-ukai", "fonts-arphic-uming",
             "fonts-liberation2", "qt6-qpa-plugins", "qt6-wayland", "hicolor-icon-theme", "libqt6widgets6",
             "libfluidsynth3", "librtmidi" })
        EXPECT_NE(depends.output.find(needed), std::string::npos)
            << needed << " missing from: " << depends.output;

    // Every dependency names a real package: one of each group of alternatives is installed here.
    std::istringstream groups(depends.output);
    std::string group;
    while (std::getline(groups, group, ',')) {
        bool found = false;
        std::istringstream alternatives(group);
        std::string alternative;
        while (!found && std::getline(alternatives, alternative, '|')) {
            std::istringstream words(alternative);
            std::string name;
            words >> name;
            found = runCommand({ "dpkg-query", "-W", name }).exitCode == 0;
        }
        EXPECT_TRUE(found) << "no package here for: " << group;
    }

    const auto lint
        = runCommand({ "lintian", "--fail-on", "error,warning", deb_.string() }, std::chrono::seconds(300));
    EXPECT_EQ(lint.exitCode, 0) << lint.output;
}

// The README's commands run on the user's desktop. On a machine with nothing yet,
// apt fails to install a desktop's sound packages with a list that conflicts with them.
TEST(SetUp, TheRunListHoldsNoTestToolAndNeitherListDisplacesADesktopsSound)
{
    const fs::path empty = fs::temp_directory_path() / ("tonvelo-status-" + std::to_string(getpid()));
    std::ofstream(empty).flush();
    for (const std::string list : { "run", "test" }) {
        const auto packages
            = runCommand({ TONVELO_SOURCE_DIR "/scripts/install-deps.sh", "--list", list }).output;
        for (const char* tool : { "xvfb", "sway", "jackd2", "libgtest-dev", "lintian" })
            EXPECT_EQ(
                ("\n" + packages).find("\n" + std::string(tool) + "\n") == std::string::npos, list == "run")
                << list << " " << tool;
        std::vector<std::string> install { "apt-get", "-s", "-o", "Dir::State::status=" + empty.string(),
            "install", "--no-remove", "--no-install-recommends", "pipewire-audio", "pipewire-alsa",
            "pipewire-pulse", "wireplumber" };
        std::istringstream names(packages);
        for (std::string p; names >> p;)
            install.push_back(p);
        const auto simulated = runCommand(install, std::chrono::seconds(240));
        EXPECT_EQ(simulated.exitCode, 0) << list << ": " << simulated.output;
        EXPECT_EQ(simulated.output.find("\nRemv "), std::string::npos) << list;
    }
    fs::remove(empty);
}

TEST_F(Installed, ProgramFromThePackageStartsWithItsIconAndName)
{
    ASSERT_EQ(extract_.exitCode, 0) << cpack_.output << extract_.output;
    const fs::path root = work_ / "root";
    XvfbServer x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    // Its icon comes from the extracted tree; the theme's index from the system.
    ProgramOnX program((root / "usr/bin/tonvelo").string(), x.display(),
        { "XDG_DATA_DIRS=" + (root / "usr/share").string() + ":/usr/share" });
    const unsigned long window = program.waitForMainWindow(std::chrono::seconds(60));
    ASSERT_NE(window, 0ul) << program.process().output();
    EXPECT_EQ(xwindows::geometry(x.display(), window).width(), toPixels(controls::client).width());
    EXPECT_EQ(xwindows::windowClass(x.display(), window), "tonvelo.Tonvelo");
    EXPECT_GE(xwindows::largestIconSize(x.display(), window), 256);
    EXPECT_TRUE(program.process().running());
}
