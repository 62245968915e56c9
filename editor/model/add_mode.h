// Names for the items that Add mode creates at Root level: forms get form
// files "FRM<n>.FRM", lights "Lht<n>", cameras "Cam<n>", each from a
// counter of its own that lives as long as the application.
#pragma once

#include <functional>
#include <string>

namespace brevoxa {

class NameCounter {
 public:
  // The number goes up before each try and wraps from kLast to 1.
  static constexpr int kLast = 99999;

  // The first name prefix + number + suffix, counting on from the last
  // one given, that taken() refuses; empty when every number is taken.
  std::string Next(const std::string& prefix, const std::string& suffix,
                   const std::function<bool(const std::string&)>& taken);
  int GetLast() const { return number_; }
  void SetLast(int number) { number_ = number; }

 private:
  int number_ = 0;
};

struct AddModeCounters {
  NameCounter forms;
  NameCounter lights;
  NameCounter cameras;
};

// The application's counters; tests give each document counters of their own.
AddModeCounters& ApplicationAddModeCounters();

// A new form's name: its file name in lower case up to the first ".".
std::string FormNameFromFileName(const std::string& fileName);

}  // namespace brevoxa
