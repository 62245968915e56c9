// The console and recording interfaces, the process-wide current one, and
// the dialog field ranges with their messages.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include "ui/console_ui.h"
#include "ui/field_range.h"
#include "ui/recording_ui.h"
#include "ui/user_interface.h"

namespace brevoxa {
namespace {

TEST(ConsoleUi, PrintsMessagesAndStatusAndAnswersByPolicy) {
  std::ostringstream out;
  ConsoleUi ui(out, {.policy = AnswerPolicy::affirmative});
  ui.Message("Unexpected file format.");
  ui.Status("Selected all");
  EXPECT_EQ(ui.Ask("Proceed?", Buttons::okCancel), Answer::ok);
  EXPECT_EQ(out.str(), "brevoxa: Unexpected file format.\nbrevoxa: [status] Selected all\nbrevoxa: Proceed? [ok/cancel] ok\n");

  std::ostringstream quiet;
  ConsoleUi no(quiet, {.policy = AnswerPolicy::negative, .showStatus = false});
  no.Status("Redrawing all views");
  EXPECT_EQ(quiet.str().find("Redrawing"), std::string::npos);
  EXPECT_EQ(no.Ask("Proceed?", Buttons::yesNoCancel), Answer::no);
  EXPECT_EQ(no.Ask("Proceed?", Buttons::okCancel), Answer::cancel);
  EXPECT_EQ(no.Ask("Done.", Buttons::ok), Answer::ok);
}

TEST(ConsoleUi, AskReadsOnlyInteractiveInputAndRepeatsRefusedAnswers) {
  std::ostringstream out;
  std::istringstream untouched("n\n");
  ConsoleUi batch(out, {.policy = AnswerPolicy::ask, .input = &untouched, .interactive = false});
  EXPECT_EQ(batch.Ask("Delete the master?", Buttons::yesNo), Answer::yes);
  EXPECT_EQ(untouched.tellg(), 0);

  std::istringstream in("N\n  maybe \nyes\nc\ny\n");
  ConsoleUi ui(out, {.policy = AnswerPolicy::ask, .input = &in, .interactive = true});
  EXPECT_EQ(ui.Ask("First?", Buttons::yesNo), Answer::no);
  EXPECT_EQ(ui.Ask("Second?", Buttons::yesNo), Answer::yes);
  EXPECT_NE(out.str().find("Please answer [y/n]"), std::string::npos);
  EXPECT_EQ(ui.Ask("Third?", Buttons::yesNoCancel), Answer::cancel);
  EXPECT_EQ(ui.Ask("Fourth?", Buttons::okCancel), Answer::ok);
  // Input exhausted: the cautious button.
  EXPECT_EQ(ui.Ask("Save changes?", Buttons::yesNoCancel), Answer::cancel);
  EXPECT_EQ(ui.Ask("Proceed?", Buttons::yesNo), Answer::no);
}

TEST(RecordingUi, ScriptedAnswersThenTheDefaultAdaptedToTheButtons) {
  RecordingUi ui(Answer::no);
  ui.QueueAnswer(Answer::yes);
  EXPECT_EQ(ui.Ask("a?", Buttons::yesNo), Answer::yes);
  EXPECT_EQ(ui.Ask("b?", Buttons::yesNo), Answer::no);
  EXPECT_EQ(ui.Ask("c?", Buttons::okCancel), Answer::cancel);
  ASSERT_EQ(ui.Questions().size(), 3u);
  EXPECT_EQ(ui.Questions()[2].answer, Answer::cancel);
}

TEST(RecordingUi, CallsFromManyThreads) {
  RecordingUi ui;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&ui] {
      for (int i = 0; i < 500; ++i) {
        WaitCursor wait(ui);
        ui.Status("row");
        ui.Ask("go on?", Buttons::yesNo);
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ui.StatusTexts().size(), 2000u);
  EXPECT_EQ(ui.Questions().size(), 2000u);
  EXPECT_EQ(ui.WaitCursorDepth(), 0);
}

TEST(CurrentUserInterface, ScopedInstallNestsAndRestores) {
  IUserInterface& original = CurrentUserInterface();
  RecordingUi outer, inner;
  {
    ScopedUserInterface installOuter(outer);
    {
      ScopedUserInterface installInner(inner);
      CurrentUserInterface().Message("deep");
    }
    EXPECT_EQ(&CurrentUserInterface(), &outer);
  }
  EXPECT_EQ(&CurrentUserInterface(), &original);
  EXPECT_EQ(inner.Messages(), std::vector<std::string>{"deep"});
  EXPECT_EQ(SetCurrentUserInterface(&outer), &original);
  EXPECT_EQ(SetCurrentUserInterface(nullptr), &outer);  // null restores the default
  EXPECT_EQ(&CurrentUserInterface(), &original);
  EXPECT_EQ(original.Ask("Proceed?", Buttons::yesNo), Answer::yes);
}

TEST(FieldRange, AcceptsItsBoundsAndNamesThemWhenRefusing) {
  const NumberRange width{0.1, 30000, false}, divisions{3, 1000, true};
  EXPECT_FALSE(width.Check(0.1) || width.Check(30000) || divisions.Check(3));
  EXPECT_EQ(width.Check(0.05), "Please enter a number between 0.1 and 30000.");
  EXPECT_EQ(width.Check(std::numeric_limits<double>::quiet_NaN()), width.Check(0.05));
  EXPECT_EQ(divisions.Check(4.5), "Please enter an integer between 3 and 1000.");
  EXPECT_EQ(FormatBound(1e-5), "1e-05");
}

}  // namespace
}  // namespace brevoxa
