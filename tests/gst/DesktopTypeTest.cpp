// The desktop's type database and file(1) name both forms, also without
// their extensions, from the files the build installs.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/gst/GstTestSupport.h"

namespace zarn::test {
namespace {

// What `command` prints on standard output; empty when it fails.
std::string output(const std::string& command) {
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return pclose(pipe) == 0 ? out : "";
}

bool have(const char* program) { return std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0; }

TEST(DesktopType, TheMimeDatabaseNamesBothFormsWithoutTheirNames) {
    if (!have("update-mime-database") || !have("gio")) GTEST_SKIP() << "no shared-mime-info or gio";
    const std::string root = tempPath("mime/");
    ASSERT_EQ(std::system(("rm -rf '" + root + "' && mkdir -p '" + root + "mime/packages' && cp '" ZARN_DATA_DIR
                           "/zarn-mime.xml' '" + root + "mime/packages/zarn.xml' && update-mime-database '" + root +
                           "mime' >/dev/null 2>&1")
                              .c_str()),
              0);
    const std::string ogg = writeFile("ogg-zarn-without-extension", oggZarn(44100, 2));
    const std::string bare = writeFile("bare-zarn-without-extension", bareStream(44100));
    const std::string named = writeFile("named.zarn", bareStream(44100));
    const auto type = [&](const std::string& path) {
        return output("XDG_DATA_DIRS='" + root + "':/usr/share gio info -a standard::content-type '" + path +
                      "' | sed -n 's/^ *standard::content-type: //p'");
    };
    EXPECT_EQ(type(ogg), "audio/x-zarn+ogg\n");
    EXPECT_EQ(type(bare), "audio/x-zarn\n");
    EXPECT_EQ(type(named), "audio/x-zarn\n");
}

TEST(DesktopType, FileNamesBothFormsWithTheirChannelsAndRate) {
    if (!have("file")) GTEST_SKIP() << "no file(1)";
    const std::string magic = ZARN_DATA_DIR "/zarn.magic";
    const std::string stereo = writeFile("stereo.oza", oggZarn(4410, 2, {}, 48000));
    const std::string six = writeFile("six.oza", oggZarn(4410, 6));
    const std::string bare = writeFile("bare.zarn", bareStream(4410));
    EXPECT_EQ(output("file -b -m '" + magic + "' '" + stereo + "'"),
              "Ogg data, Zarn audio, version 1.1, stereo, 48000 Hz originally\n");
    EXPECT_EQ(output("file -b -m '" + magic + "' '" + six + "'"),
              "Ogg data, Zarn audio, version 1.1, 6 channels, 44100 Hz originally\n");
    EXPECT_EQ(output("file -b -m '" + magic + "' '" + bare + "'"), "Zarn audio, bare stream (mono, 16 bit, 44100 Hz)\n");
    EXPECT_EQ(output("file -b --mime-type -m '" + magic + "' '" + stereo + "'"), "audio/x-zarn+ogg\n");
}

TEST(GstInspect, ShowsThePluginCleanWithItsElementsAndTypeFinders) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an instrumented plugin loads only into an instrumented program";
#endif
    if (!have("gst-inspect-1.0")) GTEST_SKIP() << "no gst-inspect-1.0";
    const std::string environment = "GST_PLUGIN_PATH='" ZARN_GST_PLUGIN_DIR "' GST_REGISTRY='" +
                                    tempPath("inspect-registry.bin") + "' ";
    const std::string said = output(environment + "gst-inspect-1.0 zarn 2>&1");
    for (const char* feature : {"zarnoggdec", "zarnparse", "zarndec", "zarnenc", "zarn_ogg_typefind", "zarn_typefind"})
        EXPECT_NE(said.find(feature), std::string::npos) << feature << " in:\n" << said;
    EXPECT_EQ(said.find("CRITICAL"), std::string::npos) << said;
    EXPECT_EQ(said.find("WARNING"), std::string::npos) << said;
    for (const char* element : {"zarnoggdec", "zarnparse", "zarndec", "zarnenc"}) {
        const std::string details = output(environment + "gst-inspect-1.0 " + element + " 2>&1");
        EXPECT_NE(details.find("Factory Details"), std::string::npos) << element;
        EXPECT_EQ(details.find("CRITICAL"), std::string::npos) << details;
    }
}

TEST(GstInstall, ThePluginAndTheTypesGoIntoThePrefix) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an instrumented plugin loads only into an instrumented program";
#endif
    if (!have("gst-inspect-1.0")) GTEST_SKIP() << "no gst-inspect-1.0";
    const std::string prefix = tempPath("prefix");
    ASSERT_EQ(std::system(("rm -rf '" + prefix + "' && '" ZARN_CMAKE_COMMAND "' --install '" ZARN_BUILD_DIR
                           "' --prefix '" + prefix + "' >/dev/null")
                              .c_str()),
              0);
    const std::string lib = prefix + "/" ZARN_INSTALL_LIBDIR, data = prefix + "/" ZARN_INSTALL_DATADIR;
    for (const std::string& file : {lib + "/gstreamer-1.0/libgstzarn.so", data + "/mime/packages/zarn.xml",
                                    data + "/misc/zarn.magic"})
        EXPECT_EQ(std::system(("test -f '" + file + "'").c_str()), 0) << file;
    // The installed plugin finds the installed library as a player would
    // with the prefix's libraries on its path.
    const std::string said = output("LD_LIBRARY_PATH='" + lib + "' GST_PLUGIN_SYSTEM_PATH='" + lib +
                                    "/gstreamer-1.0' GST_REGISTRY='" + tempPath("installed-registry.bin") +
                                    "' gst-inspect-1.0 zarn 2>&1");
    EXPECT_NE(said.find("zarnoggdec"), std::string::npos) << said;
    EXPECT_NE(said.find(lib + "/gstreamer-1.0/libgstzarn.so"), std::string::npos) << said;
}

}  // namespace
}  // namespace zarn::test
