#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "soundfiles/VesFileType.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace apptest {

namespace {

// One QApplication for every test, on the offscreen platform.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "vesperon-test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

std::optional<OpenChoice> ScriptedDialogs::openFiles(QWidget*, const std::string&)
{
    if (openAnswers.empty())
        return std::nullopt;
    auto a = openAnswers.front();
    openAnswers.pop_front();
    return a;
}

std::optional<SaveChoice> ScriptedDialogs::saveFile(QWidget*, const std::string& initialPath, int documentType)
{
    saveQuestions.emplace_back(initialPath, documentType);
    if (saveAnswers.empty())
        return std::nullopt;
    auto a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
}

bool ScriptedDialogs::compressedSaveParms(QWidget*, int& level, int& before, int& after)
{
    ++compressedAsked;
    if (cancelCompressed)
        return false;
    level = compressedLevel;
    before = compressedBefore;
    after = compressedAfter;
    return true;
}

void processEvents()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // Without a running event loop, objects let go with deleteLater
        // (closed frames, documents) go only when asked.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

AppTest::AppTest()
{
    configHome = dir.file("config");
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", dir.file("no-machine-config").c_str(), 1);
}

AppTest::~AppTest()
{
    m_app.reset();
    processEvents();
}

void AppTest::start(const std::vector<std::string>& files)
{
    static int argc = 1;
    static char name[] = "vesperon-test";
    static char* argv[] = {name, nullptr};
    m_app.reset();
    processEvents();
    m_app = std::make_unique<CVesSoundApp>(argc, argv);
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    m_app->setDialogs(std::move(dialogs));
    QStringList args{QStringLiteral("vesperon")};
    for (const std::string& f : files)
        args << QString::fromStdString(f);
    ASSERT_TRUE(m_app->startUp(args));
    processEvents();
}

void AppTest::quit()
{
    m_app->mainFrame()->close();
    processEvents();
}

CVesAnaView* AppTest::activeView()
{
    return m_app->activeView();
}

CAppDocument* AppTest::activeDocument()
{
    return m_app->activeDocument();
}

void writeToneWave(const std::string& path, std::uint32_t rate, double seconds, double hz, double amplitude, int bits)
{
    const auto frames = static_cast<std::int64_t>(seconds * rate);
    vestest::Bytes data;
    for (std::int64_t i = 0; i < frames; ++i) {
        const double v = hz > 0 ? amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate) : 0.0;
        if (bits == 8) {
            data.push_back(static_cast<std::uint8_t>(std::lround(128 + 127 * v)));
        } else {
            const auto s = static_cast<std::int16_t>(std::lround(32767 * v));
            data.push_back(static_cast<std::uint8_t>(s & 0xFF));
            data.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
        }
    }
    vestest::ByteWriter w;
    w.chunk("fmt ", vestest::pcmFormat(1, rate, static_cast<std::uint16_t>(bits))).chunk("data", data);
    vestest::writeFile(path, vestest::riffWave(w.data()));
}

bool AppTest::saveOwnCloseAndReopen(const std::string& path)
{
    dialogs().saveAnswers.push_back(SaveChoice{path, kTypeVesperonWave});
    if (!app().runCommand(cmd::FileSaveAs) || !app().runCommand(cmd::FileClose))
        return false;
    processEvents();
    dialogs().openAnswers.push_back(OpenChoice{{path}, 0});
    if (!app().runCommand(cmd::FileOpen))
        return false;
    processEvents();
    return true;
}

std::optional<QString> pdfText(const std::string& pdf)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

void whenModal(std::function<void(QWidget*)> answer)
{
    QTimer::singleShot(0, [answer] {
        if (QWidget* w = QApplication::activeModalWidget())
            answer(w);
    });
}

}  // namespace apptest
