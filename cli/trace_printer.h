// TracePrinter: shows what a loading archive reads as an indented tree, one
// line per field, object, back-reference and group:
//   name = value
//   name #5 ICamera {  ...  }
//   name -> #5 ICamera        (null: name -> null)
//   name [3] {  ...  }        (a list; an empty record or list: name {})
// A record group whose only content is a list takes the list's count
// ("items [3] {"), so that list elements sit right under their owner.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "persist/archive.h"

namespace brevoxa::cli {

class TracePrinter : public IArchiveTrace {
 public:
  explicit TracePrinter(std::ostream& out) : out_(out) {}

  void Value(std::string_view name, const std::string& text) override;
  void BeginObject(std::string_view name, uint32_t index, std::string_view className) override;
  void EndObject() override;
  void Reference(std::string_view name, uint32_t index, std::string_view className) override;
  void BeginGroup(std::string_view name, uint32_t count) override;
  void EndGroup() override;

  // Closes what a failed read left open. An object whose fields stopped
  // part-way is closed with "} (incomplete)".
  void Finish();

 private:
  struct Frame {
    bool object = false;
    bool opened = false;  // header printed
    bool merged = false;  // a list shown by its parent group's line
    uint32_t count = 0;
    std::string name;
  };

  void OpenPending();
  void Line(size_t depth, const std::string& text);
  size_t DepthOf(size_t frameIndex) const;
  size_t CurrentDepth() const { return DepthOf(stack_.size()); }
  std::string GroupHeader(const Frame& frame) const;
  void CloseTop(bool complete);

  std::ostream& out_;
  std::vector<Frame> stack_;
};

}  // namespace brevoxa::cli
