// The application object the drawing needs, made once for every test.
#include "render/HeadlessGui.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_app = makeHeadlessGuiApplication(); }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QGuiApplication> m_app;
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
