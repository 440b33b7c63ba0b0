// The handle and view owners under Wine: freeing keeps the caller's last error, a view outlives
// its section handle and moves with its owner, and a class GUID read from its text is the GUID.
#include <gtest/gtest.h>

#include <cstring>

#include "common/kernel_object_names.h"
#include "common/win32/guid_text_win32.h"
#include "common/win32/handle_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kCallersError = ERROR_FILE_NOT_FOUND;

// A handle value whose close fails: the event behind it is gone already.
HANDLE StaleHandle() {
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(event);
  return event;
}

TEST(HandleOwner, ResetKeepsTheLastErrorOfTheCallThatMadeTheNewHandle) {
  // A failed open followed at once by GetLastError is how the pipes and ports report why.
  ScopedKernelHandle stale(StaleHandle());
  SetLastError(kCallersError);
  stale.reset();
  EXPECT_EQ(GetLastError(), kCallersError);

  ScopedFileHandle file(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(file);
  SetLastError(kCallersError);
  file.reset(INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), kCallersError);
  EXPECT_FALSE(file);
}

TEST(HandleOwner, TheInvalidValueOfEachKindOwnsNothing) {
  ScopedFileHandle file(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file);
  ScopedKernelHandle kernel;
  EXPECT_FALSE(kernel);
  kernel.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ScopedKernelHandle moved(std::move(kernel));
  EXPECT_FALSE(kernel);  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
  EXPECT_TRUE(moved);
}

TEST(MappedViewOwner, TheViewOutlivesItsSectionAndMovesWithItsOwner) {
  constexpr std::size_t kSize = 4096;
  ScopedKernelHandle section(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, nullptr));
  ASSERT_TRUE(section);
  ScopedMappedView view(MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, kSize));
  ASSERT_TRUE(view);
  section.reset();
  std::memcpy(view.bytes(), "frame", 6);

  ScopedMappedView moved(std::move(view));
  EXPECT_FALSE(view);  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
  ASSERT_TRUE(moved);
  EXPECT_STREQ(reinterpret_cast<const char*>(moved.bytes()), "frame");

  SetLastError(kCallersError);
  moved.reset();
  EXPECT_EQ(GetLastError(), kCallersError);
  EXPECT_FALSE(moved);
}

TEST(GuidFromText, ReadsTheControllerClassAndEitherCase) {
  constexpr GUID kExpected = {
      0xE6EF7DCD, 0x1795, 0x4A08, {0x9F, 0xBF, 0xAA, 0x78, 0x42, 0x3C, 0x26, 0xF0}};
  constexpr GUID kRead = GuidFromText(names::kUsbInterfaceClassGuid);
  EXPECT_TRUE(IsEqualGUID(kRead, kExpected));
  EXPECT_TRUE(IsEqualGUID(GuidFromText("{e6ef7dcd-1795-4a08-9fbf-aa78423c26f0}"), kExpected));
  EXPECT_THROW(GuidFromText("{E6EF7DCD+1795-4A08-9FBF-AA78423C26F0}"), std::invalid_argument);
  EXPECT_THROW(GuidFromText("{E6EF7DCD-1795-4A08-9FBF-AA78423C26FG}"), std::invalid_argument);
}

}  // namespace
}  // namespace zorvik
