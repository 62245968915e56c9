// The view record of a workspace file: its layout, the two older versions,
// unknown versions, and the placement's stored units. Cut-short records are
// covered by the workspace corpus's truncations.
#include "scene/view_record.h"

#include <gtest/gtest.h>

#include <limits>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::Concat;
using testing::Load;
using testing::Store;

// The bytes of a view transformation's record, from its own writer.
Bytes ViewTranBytes(int viewType, double viewWidth) {
  IViewTran tran;
  tran.SetViewType(viewType);
  tran.SetViewWidth(viewWidth);
  tran.SetClientRect(0, 0, 320, 200);
  return Store([&](CArchive& ar) { tran.Serialize(ar); });
}

void ExpectLoadsToEnd(const Bytes& bytes, CViewRecord& record) {
  Load(bytes, [&](CArchive& ar) {
    record.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 0u);
  });
}

TEST(ViewRecord, StoresVersionTransformationGridNameAndPlacementInOrder) {
  CViewRecord record;
  record.GetViewTran().SetViewType(IViewTran::right);
  record.GetViewTran().SetViewWidth(250.0);
  record.GetViewTran().SetClientRect(0, 0, 320, 200);
  record.SetGridSize(2.5);
  record.SetName("Right 2");
  CWindowPlacement& p = record.Placement();
  p.length = 12;  // the writer states the record's own size whatever this says
  p.flags = 2;
  p.showCommand = 3;
  p.minX = -1;
  p.minY = -2;
  p.maxX = 40;
  p.maxY = 50;
  p.normal = {0, 5000, 5000, 10000};

  Bytes bytes = Store([&](CArchive& ar) { record.Serialize(ar); });
  Bytes expected = Concat(ByteWriter().Word(3).bytes(), ViewTranBytes(IViewTran::right, 250.0));
  expected = Concat(expected, Store([](CArchive& ar) { ar << 2.5 << std::string("Right 2"); }));
  expected = Concat(expected, ByteWriter().Dword(44).Dword(2).Dword(3).Dword(0xFFFFFFFF).Dword(0xFFFFFFFE)
                                  .Dword(40).Dword(50).Dword(0).Dword(5000).Dword(5000).Dword(10000).bytes());
  EXPECT_EQ(bytes, expected);

  CViewRecord back;
  ExpectLoadsToEnd(bytes, back);
  EXPECT_EQ(back.GetViewTran().GetViewType(), IViewTran::right);
  EXPECT_EQ(back.GetViewTran().GetViewWidth(), 250.0);
  EXPECT_EQ(back.GetGridSize(), 2.5);
  EXPECT_EQ(back.GetName(), "Right 2");
  p.length = 44;
  EXPECT_EQ(back.Placement(), p);
}

TEST(ViewRecord, ReadsVersionOneWithSixteenBitPlacementAndNoName) {
  Bytes bytes = Concat(ByteWriter().Word(1).bytes(), ViewTranBytes(IViewTran::top, 80.0));
  bytes = Concat(bytes, Store([](CArchive& ar) { ar << 5.0; }));
  // length, flags, show command unsigned; the positions signed.
  bytes = Concat(bytes, ByteWriter().Word(22).Word(1).Word(0x8001).Word(0xFFFF).Word(0xFFFE)
                            .Word(7).Word(8).Word(0xFFF6).Word(2500).Word(5000).Word(10000).bytes());
  CViewRecord record;
  record.SetName("kept");
  ExpectLoadsToEnd(bytes, record);
  EXPECT_EQ(record.GetViewTran().GetViewType(), IViewTran::top);
  EXPECT_EQ(record.GetViewTran().GetViewWidth(), 80.0);
  EXPECT_EQ(record.GetGridSize(), 5.0);
  EXPECT_EQ(record.GetName(), "kept");
  const CWindowPlacement& p = record.Placement();
  EXPECT_EQ(p.length, 22);
  EXPECT_EQ(p.flags, 1);
  EXPECT_EQ(p.showCommand, 0x8001);
  EXPECT_EQ(p.minX, -1);
  EXPECT_EQ(p.minY, -2);
  EXPECT_EQ(p.maxX, 7);
  EXPECT_EQ(p.maxY, 8);
  EXPECT_EQ(p.normal, (PixelRect{-10, 2500, 5000, 10000}));
}

TEST(ViewRecord, ReadsVersionTwoWithTheNameBeforeTheWidePlacement) {
  Bytes bytes = Concat(ByteWriter().Word(2).bytes(), ViewTranBytes(IViewTran::front, 120.0));
  bytes = Concat(bytes, Store([](CArchive& ar) { ar << 0.0 << std::string("Old front"); }));
  bytes = Concat(bytes, ByteWriter().Dword(44).Dword(0).Dword(1).Dword(0).Dword(0).Dword(0).Dword(0)
                            .Dword(100).Dword(200).Dword(300).Dword(400).bytes());
  CViewRecord record;
  ExpectLoadsToEnd(bytes, record);
  EXPECT_EQ(record.GetViewTran().GetViewWidth(), 120.0);
  EXPECT_EQ(record.GetGridSize(), 0.0);
  EXPECT_EQ(record.GetName(), "Old front");
  EXPECT_EQ(record.Placement().normal, (PixelRect{100, 200, 300, 400}));
}

TEST(ViewRecord, UnknownVersionsReadOnlyTheirWordAndKeepTheDefaults) {
  for (uint16_t version : {uint16_t{0}, uint16_t{4}, uint16_t{0xFFFF}}) {
    Bytes bytes = Concat(ByteWriter().Word(version).bytes(), ViewTranBytes(IViewTran::top, 80.0));
    CViewRecord record;
    Load(bytes, [&](CArchive& ar) {
      record.Serialize(ar);
      EXPECT_EQ(ar.BytesRemaining(), bytes.size() - 2) << version;
    });
    EXPECT_EQ(record.GetViewTran().GetViewType(), IViewTran::front) << version;
    EXPECT_EQ(record.GetGridSize(), CViewRecord::kDefaultGridSize);
    EXPECT_EQ(record.Placement(), CWindowPlacement());
  }
}

TEST(WindowPlacement, ConvertsBetweenPixelsAndTenThousandthsByTruncation) {
  // 250 of 1000 pixels is a quarter: 2500 units; and back.
  EXPECT_EQ(CWindowPlacement::ToStored({250, 200, 750, 600}, 1000, 800), (PixelRect{2500, 2500, 7500, 7500}));
  EXPECT_EQ(CWindowPlacement::ToPixels({2500, 2500, 7500, 7500}, 1000, 800), (PixelRect{250, 200, 750, 600}));
  // 333 / 0.0999 = 3333.33 is cut to 3333, which reads back as 332.97: 332.
  PixelRect stored = CWindowPlacement::ToStored({333, 0, 0, 0}, 999, 1);
  EXPECT_EQ(stored.left, 3333);
  EXPECT_EQ(CWindowPlacement::ToPixels(stored, 999, 1).left, 332);
  // Negative positions truncate toward zero too.
  EXPECT_EQ(CWindowPlacement::ToStored({-5, 0, 0, 0}, 3, 1).left, -16666);

  CWindowPlacement p;
  p.SetNormalPixels({10, 20, 30, 40}, 100, 100);
  EXPECT_EQ(p.normal, (PixelRect{1000, 2000, 3000, 4000}));
  EXPECT_EQ(p.NormalPixels(200, 50), (PixelRect{20, 10, 60, 20}));
}

TEST(WindowPlacement, AClientAreaWithoutExtentOrHugeValuesStayFinite) {
  // A minimised main window has no client area to divide by.
  EXPECT_EQ(CWindowPlacement::ToStored({10, 20, 30, 40}, 0, 0), PixelRect{});
  EXPECT_EQ(CWindowPlacement::ToStored({10, 20, 30, 40}, 100, -5), (PixelRect{1000, 0, 3000, 0}));
  EXPECT_EQ(CWindowPlacement::ToPixels({10, 20, 30, 40}, 0, 10000), (PixelRect{0, 20, 0, 40}));
  // A single pixel of client area makes every window position enormous.
  const int32_t big = std::numeric_limits<int32_t>::max();
  const int32_t small = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(CWindowPlacement::ToStored({big, small, 0, 0}, 1, 1), (PixelRect{big, small, 0, 0}));
  EXPECT_EQ(CWindowPlacement::ToPixels({big, small, 0, 0}, 30000, 30000), (PixelRect{big, small, 0, 0}));
}

}  // namespace
}  // namespace brevoxa
