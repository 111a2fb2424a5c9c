// The error component alone: routine stack, message parameters, switches and
// the per-thread last message.
#include <gtest/gtest.h>

#include <thread>

#include "KelmTestSupport.h"

using kelm_test::ErrorCapture;

namespace {

class KelmErr : public ErrorCapture {};

TEST_F(KelmErr, MessageNamesTheRoutineOnTopAndFillsItsParameters) {
  kelm_e1psh("outer(const int)");
  kelm_e1psh("inner(const double)");
  kelm_e1stl(1, "fp");
  kelm_e1stl(2, "(0,1)");
  kelm_ermes(KELM_TERMINAL, 200110);
  kelm_e1pop("inner(const double)");
  EXPECT_EQ(kelm_e1lev(), 1);
  kelm_e1pop("outer(const int)");
  EXPECT_EQ(kelm_e1lev(), 0);

  const auto e = onlyError();
  EXPECT_EQ(e.code, 200110);
  EXPECT_EQ(e.severity, KELM_TERMINAL);
  EXPECT_EQ(e.routine, "inner(const double)");
  EXPECT_EQ(e.message, "fp must lie in the range (0,1).");
  // The parameter block is used up by the message.
  EXPECT_EQ(kelm_error_param_ptr()->l[0][0], '\0');
  EXPECT_EQ(kelm_n1rty(0), KELM_TERMINAL);
  EXPECT_EQ(kelm_n1rcd(0), 200110);
}

TEST_F(KelmErr, IntegerRealAndMissingTextParameters) {
  kelm_error_param_ptr()->i[0] = 7;
  kelm_error_param_ptr()->i[1] = 4;
  kelm_ermes(KELM_TERMINAL, 200233);
  kelm_e1str(1, 2.5);
  kelm_ermes(KELM_TERMINAL, 200114);
  kelm_ermes(KELM_TERMINAL, 200117);  // no name given
  kelm_ermes(KELM_TERMINAL, 1234567);
  ASSERT_EQ(errors().size(), 4u);
  EXPECT_EQ(errors()[0].message, "The signal (7 samples) is shorter than the filter (4 coefficients).");
  EXPECT_EQ(errors()[1].message, "The sum of any two arguments must not be below 2.5.");
  EXPECT_EQ(errors()[2].message, "The argument must not be empty.");
  EXPECT_EQ(errors()[3].message, "Unknown error code.");
}

TEST_F(KelmErr, OverlongTextParameterIsCut) {
  const std::string longName(200, 'x');
  kelm_e1stl(1, longName.c_str());
  kelm_ermes(KELM_TERMINAL, 200117);
  EXPECT_EQ(onlyError().text(0), std::string(kKelmErrorTextLength - 1, 'x'));
}

TEST_F(KelmErr, PrintSwitchPerSeverity) {
  kelm_erset(KELM_WARNING, 0, -1);
  kelm_ermes(KELM_WARNING, 200244);
  EXPECT_TRUE(errors().empty());
  // Not printed, but still the last message.
  EXPECT_EQ(kelm_n1rty(0), KELM_WARNING);
  EXPECT_EQ(kelm_n1rcd(0), 200244);
  kelm_ermes(KELM_TERMINAL, 200105);
  EXPECT_EQ(onlyError().code, 200105);
  EXPECT_EQ(kelm_erprint(KELM_WARNING), 0);
  EXPECT_EQ(kelm_erprint(KELM_TERMINAL), 1);
}

TEST_F(KelmErr, StopSwitchCallsTheStopHandler) {
  static int stops = 0;
  stops = 0;
  kelm_set_stop_handler([](const KelmErrorRecord& r) { stops += r.code; });
  kelm_erset(KELM_FATAL, -1, 1);
  kelm_ermes(KELM_TERMINAL, 200105);
  EXPECT_EQ(stops, 0);
  kelm_ermes(KELM_FATAL, 200212);
  EXPECT_EQ(stops, 200212);
  kelm_erset(KELM_FATAL, -1, 0);
  kelm_set_stop_handler(nullptr);
  EXPECT_EQ(kelm_erstop(KELM_FATAL), 0);
}

TEST_F(KelmErr, EnteringAnOutermostRoutineClearsTheLastMessage) {
  kelm_e1psh("a()");
  kelm_ermes(KELM_TERMINAL, 200105);
  kelm_e1psh("b()");  // nested: the message stays
  EXPECT_EQ(kelm_n1rcd(0), 200105);
  kelm_e1pop("b()");
  kelm_e1pop("a()");
  EXPECT_EQ(kelm_n1rcd(0), 200105);  // readable after the call
  kelm_e1psh("c()");
  EXPECT_EQ(kelm_n1rcd(0), 0);
  EXPECT_EQ(kelm_n1rty(0), 0);
  EXPECT_EQ(kelm_error_last(), nullptr);
  kelm_e1pop("c()");
}

TEST_F(KelmErr, UnbalancedPopUnwindsToTheMatchingRoutine) {
  kelm_e1psh("a()");
  kelm_e1psh("b()");
  kelm_e1psh("c()");
  kelm_e1pop("a()");
  EXPECT_EQ(kelm_e1lev(), 0);
  kelm_e1pop("a()");  // nothing left: no effect
  EXPECT_EQ(kelm_e1lev(), 0);
}

TEST_F(KelmErr, ThreadsKeepTheirOwnLastMessageAndStack) {
  kelm_e1psh("main()");
  kelm_ermes(KELM_TERMINAL, 200105);
  int otherCode = -1, otherLevel = -1, otherAfter = -1;
  std::thread t([&] {
    otherCode = kelm_n1rcd(0);
    otherLevel = kelm_e1lev();
    kelm_e1psh("worker()");
    kelm_ermes(KELM_TERMINAL, 200253);
    kelm_e1pop("worker()");
    otherAfter = kelm_n1rcd(0);
  });
  t.join();
  EXPECT_EQ(otherCode, 0);
  EXPECT_EQ(otherLevel, 0);
  EXPECT_EQ(otherAfter, 200253);
  EXPECT_EQ(kelm_n1rcd(0), 200105);
  EXPECT_EQ(kelm_e1lev(), 1);
  kelm_e1pop("main()");
}

TEST(KelmErrTexts, EveryCodeOfTheLibraryHasAText) {
  for (int code : {8019,   200100, 200101, 200102, 200103, 200104, 200105, 200106, 200107, 200108, 200109,
                   200110, 200111, 200112, 200113, 200114, 200115, 200116, 200117, 200118, 200119, 200120,
                   200212, 200213, 200214, 200215, 200216, 200217, 200218, 200219, 200220, 200223, 200224,
                   200225, 200226, 200227, 200228, 200229, 200230, 200231, 200232, 200233, 200234, 200235,
                   200236, 200239, 200240, 200241, 200242, 200243, 200244, 200246, 200247, 200248, 200249,
                   200250, 200251, 200252, 200253, 200254, 200255, 200256, 200257, 200258, 200259}) {
    EXPECT_NE(kelm_error_template(code), nullptr) << code;
  }
  EXPECT_EQ(kelm_error_template(200245), nullptr);
  EXPECT_STREQ(kelm_severity_name(KELM_WARNING), "WARNING");
}

}  // namespace
