// A drawing surface that records every call, for tests of what elements draw.
#pragma once

#include <string>
#include <vector>

#include "scene/draw_surface.h"

namespace brevoxa::testing {

struct DrawCall {
  // Scoped, so that the kind text and the member text can coexist; line and
  // rectangle are also reachable as DrawCall::line and DrawCall::rectangle.
  enum class Kind { line, rectangle, text };
  static constexpr Kind line = Kind::line;
  static constexpr Kind rectangle = Kind::rectangle;
  Kind kind;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a line's ends, a rectangle's corners, text's anchor in x1, y1
  std::string text;  // what Text wrote
  DrawState state;  // the state in force when the call was made
};

class RecordingSurface : public IDrawSurface {
 public:
  DrawState GetState() const override { return state_; }
  void SetState(const DrawState& state) override { state_ = state; ++stateChanges; }
  void Line(int x1, int y1, int x2, int y2) override { calls.push_back({DrawCall::line, x1, y1, x2, y2, {}, state_}); }
  void Rectangle(int l, int t, int r, int b) override { calls.push_back({DrawCall::rectangle, l, t, r, b, {}, state_}); }
  void Text(int x, int y, const std::string& s) override { calls.push_back({DrawCall::Kind::text, x, y, 0, 0, s, state_}); }

  size_t Count(DrawCall::Kind kind) const {
    size_t n = 0;
    for (const DrawCall& c : calls) n += c.kind == kind;
    return n;
  }
  // The texts drawn, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const DrawCall& c : calls)
      if (c.kind == DrawCall::Kind::text) texts.push_back(c.text);
    return texts;
  }

  std::vector<DrawCall> calls;
  int stateChanges = 0;

 private:
  DrawState state_;
};

}  // namespace brevoxa::testing
