// Where a shared section ends up when its global name is refused, and that its readers find it:
// a standard user's token outside session 0 may not create a "Global\" section, so the services
// fall back to the session's namespace, and the panel's views and touchctl look there second.
#include <gtest/gtest.h>

#include <string>

#include "common/win32/system_win32.h"

namespace zorvik {
namespace {

std::string UniqueName(const char* what) {
  return "Global\\ZorvikSectionTest_" + std::string(what) + "_" +
         std::to_string(GetCurrentProcessId());
}

constexpr std::size_t kSize = 64;

// What a reader sees in the section `name`: its first byte, or -1 when it finds none.
int ReaderSees(const std::string& name) {
  const ScopedKernelHandle section(OpenExistingSection(name.c_str(), FILE_MAP_READ));
  if (!section) return -1;
  const ScopedMappedView view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, kSize));
  return view ? view.bytes()[0] : -1;
}

TEST(SharedSections, AGlobalNameThatCannotBeCreatedFallsBackToTheSessionAndReadersFindIt) {
  const std::string name = UniqueName("refused");
  // An object of another kind under the global name refuses the section's creation there, as
  // a missing privilege does on Windows.
  const ScopedKernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(squatter);

  ScopedKernelHandle service_section;
  ScopedMappedView service_view;
  OpenSharedSection(service_section, service_view, name.c_str(), kSize);
  ASSERT_TRUE(service_view);
  service_view.bytes()[0] = 42;

  // touchctl's way, and the panel's (which opens what exists before creating anything).
  EXPECT_EQ(ReaderSees(name), 42);
  ScopedKernelHandle panel_section;
  ScopedMappedView panel_view;
  OpenSharedSection(panel_section, panel_view, name.c_str(), kSize);
  ASSERT_TRUE(panel_view);
  EXPECT_EQ(panel_view.bytes()[0], 42);
}

TEST(SharedSections, ASessionSectionMadeFirstIsOpenedRatherThanAGlobalOneCreatedBesideIt) {
  const std::string name = UniqueName("session_first");
  ScopedKernelHandle service_section;
  ScopedMappedView service_view;
  {
    const ScopedKernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    OpenSharedSection(service_section, service_view, name.c_str(), kSize);
  }
  ASSERT_TRUE(service_view);
  service_view.bytes()[0] = 7;
  // The global name is free again (an elevated panel could create it there): it must not.
  ScopedKernelHandle panel_section;
  ScopedMappedView panel_view;
  OpenSharedSection(panel_section, panel_view, name.c_str(), kSize);
  ASSERT_TRUE(panel_view);
  EXPECT_EQ(panel_view.bytes()[0], 7);
  EXPECT_FALSE(ScopedKernelHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str())));
}

TEST(SharedSections, AGlobalSectionIsCreatedUnderItsNameWhenAllowed) {
  const std::string name = UniqueName("global");
  ScopedKernelHandle section;
  ScopedMappedView view;
  OpenSharedSection(section, view, name.c_str(), kSize);
  ASSERT_TRUE(view);
  view.bytes()[0] = 9;
  EXPECT_TRUE(ScopedKernelHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str())));
  EXPECT_FALSE(
      ScopedKernelHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, SessionName(name.c_str()))));
  EXPECT_EQ(ReaderSees(name), 9);
}

}  // namespace
}  // namespace zorvik
