// The handle census against real handles: every event, mutex and thread opened or closed moves
// the count of its type by exactly one, in this process and in another one.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/win32/handle_win32.h"
#include "testkit/handlecount/handle_census_win32.h"

namespace zorvik {
namespace {

HandleCensus Census(DWORD pid) {
  const auto census = TakeHandleCensus(pid);
  EXPECT_TRUE(census.has_value());
  return census.value_or(HandleCensus{});
}

DWORD WINAPI Park(void* stop) {
  WaitForSingleObject(static_cast<HANDLE>(stop), INFINITE);
  return 0;
}

TEST(HandleCensus, CountsEveryHandleOpenedAndClosedByType) {
  const DWORD self = GetCurrentProcessId();
  const HandleCensus before = Census(self);
  EXPECT_GT(before.total, 0u);
  std::vector<ScopedKernelHandle> opened;
  for (int k = 0; k < 100; ++k)
    opened.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  for (int k = 0; k < 7; ++k)
    opened.emplace_back(CreateMutexA(nullptr, FALSE, nullptr));
  const ScopedKernelHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::vector<ScopedKernelHandle> threads;
  for (int k = 0; k < 3; ++k) {
    threads.emplace_back(CreateThread(nullptr, 0, &Park, stop.get(), 0, nullptr));
  }
  const HandleCensus during = Census(self);
  EXPECT_EQ(during.total, before.total + 111);
  EXPECT_EQ(during.Count("Event"), before.Count("Event") + 101);
  EXPECT_EQ(during.Count("Mutant"), before.Count("Mutant") + 7);
  EXPECT_EQ(during.Count("Thread"), before.Count("Thread") + 3);

  SetEvent(stop.get());
  for (const auto& thread : threads)
    WaitForSingleObject(thread.get(), INFINITE);
  threads.clear();
  opened.clear();
  const HandleCensus after = Census(self);
  EXPECT_EQ(after.total, before.total + 1);  // `stop`
  EXPECT_EQ(after.Count("Event"), before.Count("Event") + 1);
  EXPECT_EQ(after.Count("Mutant"), before.Count("Mutant"));
  EXPECT_EQ(after.Count("Thread"), before.Count("Thread"));
}

TEST(HandleCensus, CountsTheHandlesOfAnotherProcess) {
  char self_path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self_path, MAX_PATH), 0u);
  char command[MAX_PATH + 64];
  wsprintfA(command, "\"%s\" --gtest_list_tests", self_path);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                             nullptr, &startup, &child));
  const ScopedKernelHandle process(child.hProcess);
  const ScopedKernelHandle thread(child.hThread);
  const HandleCensus before = Census(child.dwProcessId);
  const std::size_t self_total = Census(GetCurrentProcessId()).total;

  const ScopedKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  for (int k = 0; k < 5; ++k) {
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event.get(), process.get(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
  }
  const HandleCensus after = Census(child.dwProcessId);
  EXPECT_EQ(after.pid, child.dwProcessId);
  EXPECT_EQ(after.total, before.total + 5);
  EXPECT_EQ(after.Count("Event"), before.Count("Event") + 5);
  EXPECT_EQ(Census(GetCurrentProcessId()).total, self_total + 1);  // only `event` here
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), INFINITE);
}

TEST(HandleCensus, FindsRunningProcessesByImageNameInAnyCase) {
  char self_path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self_path, MAX_PATH), 0u);
  std::string image = self_path;
  image = image.substr(image.find_last_of("\\/") + 1);
  for (char& ch : image)
    ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
  const std::vector<DWORD> found = FindProcesses(image);
  EXPECT_NE(std::find(found.begin(), found.end(), GetCurrentProcessId()), found.end());
  EXPECT_TRUE(FindProcesses("no-such-program.exe").empty());
}

}  // namespace
}  // namespace zorvik
