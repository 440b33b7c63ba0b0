// Frame boundaries of the USB controller stream, byte by byte: which byte completes a frame,
// and what a frame that never completes does to the frames after it.
#include <gtest/gtest.h>

#include <vector>

#include "usbsvc/usb_framer.h"
#include "usbsvc/usb_frames.h"

namespace zorvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The frames completed by `bytes`, each as the data bytes the framer handed out.
std::vector<Bytes> Frames(UsbFramer& framer, const Bytes& bytes) {
  std::vector<Bytes> frames;
  for (const std::uint8_t byte : bytes) {
    if (const auto frame = framer.Push(byte)) frames.emplace_back(frame->begin(), frame->end());
  }
  return frames;
}

TEST(UsbFramer, SingleTouchPointsRepeatWithOneSkippedByteBetween) {
  UsbFramer framer;
  framer.Start(UsbFrameKind::kSingleTouch);
  const auto frames = Frames(framer, {0x10, 0x00, 0x08, 0x00, 0x7f, 0x20, 0x00, 0x20, 0x00, 0x01});
  ASSERT_EQ(frames.size(), 2u);
  const auto first = usbframe::DecodeSingleTouch(frames[0]);
  EXPECT_EQ(first.x, 2048);
  EXPECT_EQ(first.y, 1024);
  EXPECT_EQ(usbframe::DecodeSingleTouch(frames[1]).x, 4096);
}

TEST(UsbFramer, CellFrameEndsAfterItsLevelsAndIsDecodedByOffset) {
  UsbFramer framer;
  framer.Start(UsbFrameKind::kCells);
  // N = 5, CX = 2, CY = 3, then five levels, then stray bytes that complete nothing.
  const Bytes frame = {0x00, 0x05, 0x00, 0x02, 0x00, 0x03, 10, 60, 70, 0, 0};
  EXPECT_EQ(Frames(framer, Bytes(frame.begin(), frame.end() - 1)), std::vector<Bytes>{});
  const auto done = Frames(framer, {frame.back(), 0x00, 0x00});
  ASSERT_EQ(done.size(), 1u);
  const CellHeader header = usbframe::DecodeCellHeader(done[0]);
  EXPECT_EQ(header.n, 5);
  EXPECT_EQ(header.cx, 2);
  EXPECT_EQ(header.cy, 3);
  EXPECT_EQ(usbframe::CellLevels(done[0]).size(), 5u);
  EXPECT_EQ(usbframe::CellLevels(done[0])[1], 60);

  framer.Start(UsbFrameKind::kCells);  // N = 0: the header alone is the frame
  EXPECT_EQ(Frames(framer, {0, 0, 0, 2, 0, 2}).size(), 1u);
}

TEST(UsbFramer, RepliesEndAtTheirLengthByte) {
  UsbFramer framer;
  framer.Start(UsbFrameKind::kFirmwareReply);
  const auto frames = Frames(framer, {0x06, 0x31, 0x2e, 0x30, 0x32, 0x33});
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(usbframe::ReplyText(frames[0]), "1.02");

  framer.Start(UsbFrameKind::kQueryReply);
  const auto query = Frames(framer, {0x04, 0xab, 0xa4});
  ASSERT_EQ(query.size(), 1u);
  EXPECT_TRUE(usbframe::FromOwnKind(query[0]));
  framer.Start(UsbFrameKind::kQueryReply);
  EXPECT_FALSE(usbframe::FromOwnKind(Frames(framer, {0x02}).at(0)));  // too short for the mark
}

TEST(UsbFramer, ANewStartAbandonsTheFrameInProgress) {
  UsbFramer framer;
  framer.Start(UsbFrameKind::kSingleTouch);
  Frames(framer, {0x10, 0x00, 0x08});
  framer.Start(UsbFrameKind::kSingleTouch);
  EXPECT_EQ(Frames(framer, {0x00}), std::vector<Bytes>{});  // not the fourth byte of a point
  EXPECT_EQ(Frames(framer, {0x01, 0x02, 0x03}).size(), 1u);
}

TEST(UsbFramer, OverflowLosesTheByteAndCountsAnewInTheSameKind) {
  UsbFramer framer;
  framer.Start(UsbFrameKind::kDeviceIdReply);
  Bytes flood(wire::kFrameBufferSize, 0x00);  // a length byte of 0 never completes
  EXPECT_EQ(Frames(framer, flood), std::vector<Bytes>{});
  EXPECT_EQ(Frames(framer, {0x7f}), std::vector<Bytes>{});  // lost: the buffer starts again
  const auto frames = Frames(framer, {0x04, 0x41, 0x42});
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(usbframe::ReplyText(frames[0]), "AB");
}

TEST(UsbFramer, AnIgnoredFrameCollectsNothingAndCannotResumeTheFrameBefore) {
  UsbFramer framer;
  framer.Start(UsbFrameKind::kCells);
  Frames(framer, {0x00, 0x04, 0x00, 0x02, 0x00, 0x02, 100});
  framer.Ignore();
  EXPECT_EQ(Frames(framer, {100, 100, 100, 0, 0, 0}), std::vector<Bytes>{});
  framer.Start(UsbFrameKind::kCells);
  EXPECT_EQ(Frames(framer, {0x00, 0x00, 0x00, 0x02, 0x00, 0x02}).size(), 1u);
}

}  // namespace
}  // namespace zorvik
