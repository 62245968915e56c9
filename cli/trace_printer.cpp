// The indented tree of an archive trace.
#include "cli/trace_printer.h"

#include <initializer_list>
#include <string_view>

namespace brevoxa::cli {

namespace {
// Joins the parts with +=: GCC 12 warns falsely about chains of +.
std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

std::string Named(std::string_view name, const std::string& rest) {
  return name.empty() ? rest : Concat({name, " ", rest});
}
}  // namespace

size_t TracePrinter::DepthOf(size_t frameIndex) const {
  size_t depth = 0;
  for (size_t i = 0; i < frameIndex; ++i) depth += stack_[i].merged ? 0 : 1;
  return depth;
}

void TracePrinter::Line(size_t depth, const std::string& text) {
  out_ << std::string(2 * depth, ' ') << text << '\n';
}

std::string TracePrinter::GroupHeader(const Frame& frame) const {
  return frame.count > 0 ? Concat({frame.name, " [", std::to_string(frame.count), "]"}) : frame.name;
}

// Groups print their line only once something inside them does, so that
// empty ones come out as one line and lists can merge into their parent.
void TracePrinter::OpenPending() {
  for (size_t i = 0; i < stack_.size(); ++i) {
    Frame& frame = stack_[i];
    if (frame.opened || frame.merged) continue;
    Line(DepthOf(i), GroupHeader(frame) + " {");
    frame.opened = true;
  }
}

void TracePrinter::Value(std::string_view name, const std::string& text) {
  OpenPending();
  Line(CurrentDepth(), Concat({name, " = ", text}));
}

void TracePrinter::BeginObject(std::string_view name, uint32_t index, std::string_view className) {
  OpenPending();
  Line(CurrentDepth(), Named(name, Concat({"#", std::to_string(index), " ", className, " {"})));
  Frame frame;
  frame.object = true;
  frame.opened = true;
  stack_.push_back(std::move(frame));
}

void TracePrinter::EndObject() {
  if (!stack_.empty() && stack_.back().object) CloseTop(true);
}

void TracePrinter::Reference(std::string_view name, uint32_t index, std::string_view className) {
  OpenPending();
  std::string target = index == 0 ? "null" : Concat({"#", std::to_string(index), " ", className});
  Line(CurrentDepth(), Named(name, Concat({"-> ", target})));
}

void TracePrinter::BeginGroup(std::string_view name, uint32_t count) {
  if (name == "list" && !stack_.empty()) {
    Frame& parent = stack_.back();
    if (!parent.object && !parent.opened && !parent.merged && parent.count == 0) {
      parent.count = count;
      Frame frame;
      frame.merged = true;
      stack_.push_back(std::move(frame));
      return;
    }
  }
  Frame frame;
  frame.name = std::string(name);
  frame.count = count;
  stack_.push_back(std::move(frame));
}

void TracePrinter::CloseTop(bool complete) {
  Frame frame = std::move(stack_.back());
  stack_.pop_back();
  if (frame.merged) return;
  size_t depth = CurrentDepth();
  if (!frame.opened) {
    OpenPending();
    Line(depth, GroupHeader(frame) + " {}");
    return;
  }
  Line(depth, complete ? "}" : "} (incomplete)");
}

void TracePrinter::EndGroup() {
  // A failure inside an object ends its groups but never the object, so
  // objects left above the group are closed with it.
  while (!stack_.empty() && stack_.back().object) CloseTop(false);
  if (!stack_.empty()) CloseTop(true);
}

void TracePrinter::Finish() {
  while (!stack_.empty()) CloseTop(!stack_.back().object);
  out_.flush();
}

}  // namespace brevoxa::cli
