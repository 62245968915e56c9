// CViewRecord: what a workspace file keeps of one editing view: its view
// transformation, grid size, name and the placement of its frame window.
// The core holds the placement's normal rectangle in the stored units
// (1/10000 of the main window's client area), so a workspace read without a
// window keeps it exactly; the editor converts to pixels once it knows the
// size of its client area.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace brevoxa {

class CArchive;
class IViewTran;

struct PixelRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const PixelRect&) const = default;
};

// The frame's window placement, 44 bytes in the stream.
struct CWindowPlacement {
  static constexpr int32_t kLength = 44;
  static constexpr int32_t kShowNormal = 1;

  int32_t length = kLength;
  int32_t flags = 0;
  int32_t showCommand = kShowNormal;
  int32_t minX = 0, minY = 0;
  int32_t maxX = 0, maxY = 0;
  // In 1/10000 of the main window's client width (left, right) and height
  // (top, bottom).
  PixelRect normal;

  bool operator==(const CWindowPlacement&) const = default;

  // Stored units from a rectangle in pixels of a client area of the given
  // size, and back; both truncate toward zero. An axis with no extent (a
  // minimised main window) stores and gives 0 rather than dividing by it.
  static PixelRect ToStored(const PixelRect& pixels, int32_t clientWidth, int32_t clientHeight);
  static PixelRect ToPixels(const PixelRect& stored, int32_t clientWidth, int32_t clientHeight);

  void SetNormalPixels(const PixelRect& pixels, int32_t clientWidth, int32_t clientHeight) {
    normal = ToStored(pixels, clientWidth, clientHeight);
  }
  PixelRect NormalPixels(int32_t clientWidth, int32_t clientHeight) const {
    return ToPixels(normal, clientWidth, clientHeight);
  }
};

class CViewRecord {
 public:
  static constexpr uint16_t kVersion = 3;
  static constexpr double kDefaultGridSize = 10.0;

  CViewRecord();
  ~CViewRecord();
  CViewRecord(const CViewRecord&) = delete;
  CViewRecord& operator=(const CViewRecord&) = delete;

  IViewTran& GetViewTran() { return *viewTran_; }
  const IViewTran& GetViewTran() const { return *viewTran_; }
  double GetGridSize() const { return gridSize_; }
  void SetGridSize(double size) { gridSize_ = size; }
  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  CWindowPlacement& Placement() { return placement_; }
  const CWindowPlacement& Placement() const { return placement_; }

  // Writes version 3; reads versions 1 to 3 and nothing more of any other.
  // The transformation refers to its camera without owning it: a scene
  // camera belongs to the workspace's item list, which comes later in the
  // file.
  void Serialize(CArchive& ar);

 private:
  void SerializePlacement32(CArchive& ar);
  void ReadPlacement16(CArchive& ar);

  std::unique_ptr<IViewTran> viewTran_;
  double gridSize_ = kDefaultGridSize;
  std::string name_;
  CWindowPlacement placement_;
};

}  // namespace brevoxa
