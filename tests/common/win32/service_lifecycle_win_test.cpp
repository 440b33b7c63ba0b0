// The pieces both services share, under Wine: the single-instance entry, the worker's pauses
// and stop, the exit event a pause passes on to the main loop, the device list deletion on
// either platform, and the control event names a tool looks up.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "common/control_event_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/control_events_win32.h"
#include "common/win32/service_lifecycle_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kLongPauseMs = 10000;
constexpr DWORD kPromptMs = 2000;  // far below kLongPauseMs: the pause did not run out

TEST(RunAsOnlyInstance, ASecondInstanceEndsAtOnceWithZeroAndTheFirstReleasesTheName) {
  constexpr char kName[] = "ZORVIK-LIFECYCLE-TEST-INSTANCE";
  bool second_ran = false;
  const int first = RunAsOnlyInstance(kName, [&] {
    return 7 + RunAsOnlyInstance(kName, [&] {
             second_ran = true;
             return 5;
           });
  });
  EXPECT_EQ(first, 7);
  EXPECT_FALSE(second_ran);
  EXPECT_EQ(RunAsOnlyInstance(kName, [] { return 3; }), 3);
}

TEST(ServiceWorker, APauseRunsOutOrEndsAtOnceOnAStop) {
  ServiceWorker worker;
  EXPECT_TRUE(worker.Pause(1));
  std::atomic<bool> paused_through{true};
  ASSERT_TRUE(worker.Start([&] { paused_through = worker.Pause(kLongPauseMs); }));
  const ULONGLONG start = GetTickCount64();
  worker.RequestStop();
  int polls = 0;
  worker.Join(1, [&](DWORD) { ++polls; });
  EXPECT_LT(GetTickCount64() - start, kPromptMs);
  EXPECT_FALSE(paused_through);
  EXPECT_FALSE(worker.running());
  EXPECT_TRUE(worker.Stopping());
  EXPECT_FALSE(worker.Pause(kLongPauseMs));  // a stopped worker never pauses again
}

TEST(ServiceWorker, AnExitEventEndsThePauseAndStaysForTheMainLoop) {
  ServiceWorker worker;
  const ScopedKernelHandle exit_event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  ASSERT_TRUE(SetEvent(exit_event.get()));
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(worker.Pause(kLongPauseMs, exit_event.get()));
  EXPECT_LT(GetTickCount64() - start, kPromptMs);
  EXPECT_TRUE(worker.Stopping());
  // Auto-reset: the pause consumed it and must have set it again.
  EXPECT_EQ(WaitForSingleObject(exit_event.get(), 0), WAIT_OBJECT_0);
}

// The list key with two levels below it, as the services leave it.
class DeviceListTest : public ::testing::Test {
 protected:
  static constexpr char kList[] = "LifecycleTestList";

  void SetUp() override {
    const ScopedKey inner =
        CreateKey(store_, store_.LocalMachine(), Path() + "\\COM00\\Inner", key_rights::kReadWrite);
    ASSERT_TRUE(inner);
  }
  void TearDown() override { DeleteDeviceList(store_, true, kList); }
  static std::string Path() { return std::string(schema::kRootKey) + "\\" + kList; }
  bool ListExists() {
    return static_cast<bool>(OpenKey(store_, store_.LocalMachine(), Path(), key_rights::kRead));
  }

  RegistrySettingsStore store_;
};

TEST_F(DeviceListTest, NtFamilySystemsDeleteTheWholeTree) {
  DeleteDeviceList(store_, true, kList);
  EXPECT_FALSE(ListExists());
}

TEST_F(DeviceListTest, OtherSystemsDeleteTheKeyDirectlyWhichLeavesAListWithSubkeys) {
  // A direct delete is what those systems do; the registry here refuses it with subkeys.
  DeleteDeviceList(store_, false, kList);
  EXPECT_TRUE(ListExists());
}

TEST(ControlEventNames, ATwoNameLookupFindsEveryEventAServiceCreates) {
  for (const ControlEventNames* table : {&kUsbControlEvents, &kSerialControlEvents}) {
    ControlEvents events;
    ASSERT_TRUE(CreateControlEvents(SystemVersion{VER_PLATFORM_WIN32_NT, 6}, *table, events));
    for (std::size_t role = 0; role < kControlEventCount; ++role) {
      const ControlEventName& name = (*table)[role];
      ASSERT_TRUE(events[role]) << name.role;
      const auto order = name.lookup_order();
      const ScopedKernelHandle found(OpenEventByEitherName(order[0], order[1]));
      ASSERT_TRUE(found) << name.role;
      ASSERT_TRUE(SetEvent(found.get()));
      EXPECT_EQ(WaitForSingleObject(events[role].get(), 0), WAIT_OBJECT_0) << name.role;
    }
  }
}

}  // namespace
}  // namespace zorvik
