// The console and recording interfaces, the process-wide current one, and
// the dialog field ranges with their messages.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "ui/console_ui.h"
#include "ui/field_range.h"
#include "ui/recording_ui.h"
#include "ui/user_interface.h"

namespace brevoxa {
namespace {

TEST(UiAnswers, AnswerWithinAdaptsToTheButtonSet) {
  EXPECT_EQ(AnswerWithin(Buttons::okCancel, Answer::yes), Answer::ok);
  EXPECT_EQ(AnswerWithin(Buttons::okCancel, Answer::no), Answer::cancel);
  EXPECT_EQ(AnswerWithin(Buttons::yesNo, Answer::cancel), Answer::no);
  EXPECT_EQ(AnswerWithin(Buttons::yesNoCancel, Answer::cancel), Answer::cancel);
  EXPECT_EQ(AnswerWithin(Buttons::ok, Answer::no), Answer::ok);
}

TEST(ConsoleUi, PrintsMessagesAndStatus) {
  std::ostringstream out;
  ConsoleUi ui(out);
  ui.Message("Unexpected file format.");
  ui.Status("Selected all");
  {
    WaitCursor wait(ui);
  }
  EXPECT_EQ(out.str(), "brevoxa: Unexpected file format.\nbrevoxa: [status] Selected all\n");

  std::ostringstream quiet;
  ConsoleUi silent(quiet, {.showStatus = false});
  silent.Status("Redrawing all views");
  EXPECT_EQ(quiet.str(), "");
}

TEST(ConsoleUi, FixedPolicies) {
  std::ostringstream out;
  ConsoleUi yes(out, {.policy = AnswerPolicy::affirmative});
  EXPECT_EQ(yes.Ask("Proceed?", Buttons::yesNo), Answer::yes);
  EXPECT_EQ(yes.Ask("Proceed?", Buttons::okCancel), Answer::ok);
  EXPECT_NE(out.str().find("Proceed? [y/n] yes\n"), std::string::npos) << out.str();

  ConsoleUi no(out, {.policy = AnswerPolicy::negative});
  EXPECT_EQ(no.Ask("Proceed?", Buttons::yesNoCancel), Answer::no);
  EXPECT_EQ(no.Ask("Proceed?", Buttons::okCancel), Answer::cancel);
  EXPECT_EQ(no.Ask("Done.", Buttons::ok), Answer::ok);
}

TEST(ConsoleUi, AskWithoutTerminalTakesTheAffirmative) {
  std::ostringstream out;
  std::istringstream in("n\n");
  ConsoleUi ui(out, {.policy = AnswerPolicy::ask, .input = &in, .interactive = false});
  EXPECT_EQ(ui.Ask("Delete the master?", Buttons::yesNo), Answer::yes);
  EXPECT_EQ(ui.Ask("Continue?", Buttons::okCancel), Answer::ok);
  // The input was never touched.
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ(rest, "n");
  EXPECT_NE(out.str().find("Delete the master? [y/n] yes"), std::string::npos);
}

TEST(ConsoleUi, AskReadsFromInteractiveInput) {
  std::ostringstream out;
  std::istringstream in("N\n  maybe \nyes\nc\ny\n");
  ConsoleUi ui(out, {.policy = AnswerPolicy::ask, .input = &in, .interactive = true});
  EXPECT_EQ(ui.Ask("First?", Buttons::yesNo), Answer::no);
  // "maybe" is refused and asked again; "yes" answers.
  EXPECT_EQ(ui.Ask("Second?", Buttons::yesNo), Answer::yes);
  EXPECT_NE(out.str().find("Please answer [y/n]"), std::string::npos);
  EXPECT_EQ(ui.Ask("Third?", Buttons::yesNoCancel), Answer::cancel);
  EXPECT_EQ(ui.Ask("Fourth?", Buttons::okCancel), Answer::ok);
  // Input exhausted: the cautious button.
  EXPECT_EQ(ui.Ask("Save changes?", Buttons::yesNoCancel), Answer::cancel);
  EXPECT_EQ(ui.Ask("Proceed?", Buttons::yesNo), Answer::no);
}

TEST(RecordingUi, ScriptedAnswersThenDefault) {
  RecordingUi ui(Answer::no);
  ui.QueueAnswer(Answer::yes);
  ui.QueueAnswer(Answer::cancel);
  EXPECT_EQ(ui.PendingAnswers(), 2u);
  EXPECT_EQ(ui.Ask("a?", Buttons::yesNo), Answer::yes);
  EXPECT_EQ(ui.Ask("b?", Buttons::yesNoCancel), Answer::cancel);
  EXPECT_EQ(ui.Ask("c?", Buttons::yesNo), Answer::no);
  // The default adapts to a set that does not offer it.
  EXPECT_EQ(ui.Ask("d?", Buttons::okCancel), Answer::cancel);
  ui.SetDefaultAnswer(Answer::yes);
  EXPECT_EQ(ui.Ask("e?", Buttons::okCancel), Answer::ok);

  const auto questions = ui.Questions();
  ASSERT_EQ(questions.size(), 5u);
  EXPECT_EQ(questions[1].text, "b?");
  EXPECT_EQ(questions[1].buttons, Buttons::yesNoCancel);
  EXPECT_EQ(questions[1].answer, Answer::cancel);
  EXPECT_EQ(questions[3].answer, Answer::cancel);
}

TEST(RecordingUi, CallsFromManyThreads) {
  RecordingUi ui;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&ui] {
      for (int i = 0; i < 500; ++i) {
        WaitCursor wait(ui);
        ui.Status("row");
        ui.Ask("go on?", Buttons::yesNo);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ui.StatusTexts().size(), 2000u);
  EXPECT_EQ(ui.Questions().size(), 2000u);
  EXPECT_EQ(ui.WaitCursorDepth(), 0);
  EXPECT_LE(ui.MaxWaitCursorDepth(), 4);
}

TEST(CurrentUserInterface, ScopedInstallAndRestore) {
  IUserInterface& original = CurrentUserInterface();
  RecordingUi outer;
  {
    ScopedUserInterface installOuter(outer);
    EXPECT_EQ(&CurrentUserInterface(), &outer);
    RecordingUi inner;
    {
      ScopedUserInterface installInner(inner);
      CurrentUserInterface().Message("deep");
    }
    EXPECT_EQ(&CurrentUserInterface(), &outer);
    EXPECT_EQ(inner.Messages(), std::vector<std::string>{"deep"});
    EXPECT_TRUE(outer.Messages().empty());
  }
  EXPECT_EQ(&CurrentUserInterface(), &original);

  // Null restores the default.
  RecordingUi ui;
  EXPECT_EQ(SetCurrentUserInterface(&ui), &original);
  EXPECT_EQ(SetCurrentUserInterface(nullptr), &ui);
  EXPECT_EQ(&CurrentUserInterface(), &original);
  // The default answers without waiting for input.
  EXPECT_EQ(original.Ask("Proceed?", Buttons::yesNo), Answer::yes);
}

// --- Dialog field ranges ---

TEST(FieldRange, AcceptsItsBoundsAndNamesThemWhenRefusing) {
  NumberRange width{0.1, 30000, false};
  EXPECT_FALSE(width.Check(0.1));
  EXPECT_FALSE(width.Check(30000));
  EXPECT_EQ(width.Check(0.05), "Please enter a number between 0.1 and 30000.");
  EXPECT_EQ(width.Check(1e9), "Please enter a number between 0.1 and 30000.");

  NumberRange divisions{3, 1000, true};
  EXPECT_FALSE(divisions.Check(3));
  EXPECT_EQ(divisions.Check(2), "Please enter an integer between 3 and 1000.");
  EXPECT_EQ(divisions.Check(4.5), "Please enter an integer between 3 and 1000.");
}

TEST(FieldRange, NotANumberIsNeverInRange) {
  EXPECT_TRUE(NumberRange({0, 1, false}).Check(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(FormatBound(-0.25), "-0.25");
  EXPECT_EQ(FormatBound(1e-5), "1e-05");
}

}  // namespace
}  // namespace brevoxa
