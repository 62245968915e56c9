// The redraw protocol between a workspace document and its views: after
// every change the document broadcasts a hint number and the element it
// concerns, and each view draws just that straight into its window.
#pragma once

#include <vector>

namespace brevoxa {

class ICamera;
class IDrawable;

// Hint numbers and what a view does with the element (drawing modes as
// the scene elements define them). A number outside the table repaints
// the whole view.
inline constexpr int kHintRepaintAll = 0;
inline constexpr int kHintDraw = 1;                // Draw, mode 1
inline constexpr int kHintDrawDragged = 2;         // Draw, mode 5
inline constexpr int kHintErase = 3;               // Draw, mode 3
inline constexpr int kHintDrawHandle = 4;          // DrawHandle, mode 1
inline constexpr int kHintEraseHandle = 5;         // DrawHandle, mode 3
inline constexpr int kHintDrawHandleDragged = 6;   // DrawHandle, mode 2
inline constexpr int kHintEraseLevelHandles = 7;   // no element: every selected item's level handles, mode 3
inline constexpr int kHintDrawLevelHandles = 8;    // the same, mode 1
inline constexpr int kHintEraseLevel = 9;          // item: DrawLevel, mode 3
inline constexpr int kHintDrawLevel = 10;          // item: DrawLevel, mode 1
inline constexpr int kHintDrawLevelDragged = 11;   // item: DrawLevel, mode 5
inline constexpr int kHintDrawContinued = 12;      // Draw, mode 8

// A view as the document sees it. Only OnUpdate is required; the rest
// are the few things a view does besides drawing.
class IDocumentObserver {
 public:
  virtual ~IDocumentObserver() = default;

  // element is null for hints 0, 7 and 8. It may be destroyed right after
  // an erase hint, so a view never keeps it.
  virtual void OnUpdate(int hint, IDrawable* element) = 0;
  // The camera leaves the scene: a view looking through it switches to its
  // own camera and repaints.
  virtual void OnCameraRemoved(ICamera&) {}
  // The camera was moved or turned: views looking through it repaint.
  virtual void OnCameraChanged(ICamera&) {}
  // Mode or drag restriction changed: the view picks its cursor again.
  virtual void OnCursorChanged() {}
  // Esc: the view drops the gesture in progress.
  virtual void OnCancelGesture() {}
  // Name or modified state changed: frame titles are refreshed.
  virtual void OnTitleChanged() {}
};

// The registered views of one document, in registration order. Observers
// are not owned and must unregister before they go.
class ObserverSet {
 public:
  void Add(IDocumentObserver* observer);
  void Remove(IDocumentObserver* observer);
  bool IsEmpty() const { return observers_.empty(); }

  void Broadcast(int hint, IDrawable* element) const;
  template <class F>
  void ForEach(F&& f) const {
    // A copy: an observer may unregister while it is being told.
    const std::vector<IDocumentObserver*> copy = observers_;
    for (IDocumentObserver* observer : copy) f(*observer);
  }

 private:
  std::vector<IDocumentObserver*> observers_;
};

}  // namespace brevoxa
