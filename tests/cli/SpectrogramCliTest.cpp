// vesperon-cli spectrogram run as a user would: picture types by extension
// at the size asked, options and the user's default settings reaching the
// plot, a folder of pictures for several files, and the exit status and
// message for unreadable files and wrong options. Skipped when the tool was
// built without the drawing library.
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

using vestest::TempDir;

namespace {

using CliRun = vestest::CliRun;

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

std::string text(const std::string& path)
{
    const auto b = vestest::readFile(path);
    return {b.begin(), b.end()};
}

std::uint32_t bigEndian32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

class SpectrogramCli : public ::testing::Test {
protected:
    TempDir dir;
    std::string demo;

    void SetUp() override
    {
        const CliRun help = cli("spectrogram --help", dir);
        if (help.status != 0 || help.out.find("Usage: vesperon-cli spectrogram") == std::string::npos)
            GTEST_SKIP() << "vesperon-cli was built without the spectrogram command";
        demo = dir.file("demo.wav");
        ASSERT_TRUE(writeDemoRecording(demo));
    }
};

TEST_F(SpectrogramCli, WritesEachPictureTypeByItsExtension)
{
    const std::string size = " --width 500 --height 300 --duration 200ms ";
    ASSERT_EQ(cli("spectrogram" + size + q(demo) + " -o " + q(dir.file("a.png")), dir).status, 0);
    const std::string png = text(dir.file("a.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(bigEndian32(png, 16), 500u);
    EXPECT_EQ(bigEndian32(png, 20), 300u);

    ASSERT_EQ(cli("spectrogram" + size + "--output=" + q(dir.file("a.JPG")) + " " + q(demo), dir).status, 0);
    EXPECT_EQ(text(dir.file("a.JPG")).substr(0, 3), "\xFF\xD8\xFF");

    ASSERT_EQ(cli("spectrogram" + size + q(demo) + " -o " + q(dir.file("a.svg")), dir).status, 0);
    const std::string svg = text(dir.file("a.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("viewBox=\"0 0 500 300\""), std::string::npos);

    ASSERT_EQ(cli("spectrogram" + size + q(demo) + " -o " + q(dir.file("a.pdf")), dir).status, 0);
    EXPECT_EQ(text(dir.file("a.pdf")).substr(0, 7), "%PDF-1.");
}

TEST_F(SpectrogramCli, OptionsAndDefaultSettingsReachThePlot)
{
    auto titles = [&](const std::string& options) {
        const std::string out = dir.file("t.svg");
        const CliRun r = cli("spectrogram " + options + " " + q(demo) + " -o " + q(out), dir);
        EXPECT_EQ(r.status, 0) << options << ": " << r.err;
        return text(out);
    };
    // The default analysis settings: automatic FFT size and overlap, Hanning.
    EXPECT_NE(titles("").find("Hanning window</text>"), std::string::npos);
    const std::string set =
        titles("--fft 256 --overlap 50 --window hamming --start 1 --duration 500ms --fmin 20kHz --fmax 100k");
    EXPECT_NE(set.find("Spectrogram, FFT size 256, Hamming window, 50% overlap"), std::string::npos);
    EXPECT_NE(set.find(">1500 ms<"), std::string::npos) << "the last time label";
    EXPECT_NE(set.find(">80 kHz<"), std::string::npos) << "labels every 40 kHz from 20 to 100 kHz";
    EXPECT_EQ(set.find(">120 kHz<"), std::string::npos);
    EXPECT_NE(titles("--panes zc").find("Zero Crossing Analysis"), std::string::npos);
    const std::string comb = titles("--panes comb");
    EXPECT_NE(comb.find("Amplitude"), std::string::npos);
    EXPECT_NE(comb.find("Spectrogram, FFT size"), std::string::npos);

    // The user's default analysis settings decide what no option says.
    std::filesystem::create_directories(dir.file("config/vesperon"));
    const std::string conf = "[Settings\\DefData\\Analys]\nFftWindow=1\n";
    vestest::writeFile(dir.file("config/vesperon/vesperon.conf"), vestest::Bytes(conf.begin(), conf.end()));
    EXPECT_NE(titles("").find("Parzen window"), std::string::npos);
}

TEST_F(SpectrogramCli, UnreadableInputExitsWithTheSystemsMessage)
{
    const std::string missing = dir.file("missing.wav");
    const CliRun r = cli("spectrogram " + q(missing) + " -o " + q(dir.file("m.png")), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to open file " + missing + "!"), std::string::npos) << r.err;
    EXPECT_FALSE(vestest::fileExists(dir.file("m.png")));
}

TEST_F(SpectrogramCli, SeveralInputsGetOnePictureEachInTheFolder)
{
    std::filesystem::create_directories(dir.file("other"));
    const std::string second = dir.file("other/demo.wav");
    ASSERT_TRUE(writeDemoRecording(second));
    const std::string missing = dir.file("missing.wav");
    const std::string out = dir.file("pictures");
    const CliRun r = cli("spectrogram --format svg --duration 100ms " + q(demo) + " " + q(missing) + " " + q(second) +
                             " -o " + q(out),
                         dir);
    EXPECT_EQ(r.status, 1) << "one file could not be read";
    EXPECT_NE(r.err.find("Unable to open file"), std::string::npos) << r.err;
    EXPECT_TRUE(vestest::fileExists(out + "/demo.svg"));
    EXPECT_TRUE(vestest::fileExists(out + "/demo-2.svg")) << "a second file of the same name";
    EXPECT_FALSE(vestest::fileExists(out + "/missing.svg"));
}

TEST_F(SpectrogramCli, WrongOptionsExitWithStatus2)
{
    const std::string in = q(demo), out = " -o " + q(dir.file("x.png"));
    for (const std::string& args : {"--panes both " + in + out, "--fft 1000 " + in + out, "--overlap 100 " + in + out,
                                    "--fmin 50k --fmax 20k " + in + out, "--duration 0 " + in + out,
                                    "--window blackmann " + in + out, in + " -o " + q(dir.file("x.emf")), in}) {
        const CliRun r = cli("spectrogram " + args, dir);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_FALSE(vestest::fileExists(dir.file("x.png"))) << args;
    }
}

}  // namespace
