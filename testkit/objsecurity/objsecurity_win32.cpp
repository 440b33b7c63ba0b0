// objsecurity event|mutex|section NAME: prints the DACL of a named object as SDDL
// ("D:NO_ACCESS_CONTROL" when every process may open it); exit 1 when it cannot be opened.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

#include "common/win32/handle_win32.h"

namespace {

HANDLE OpenNamed(const char* kind, const char* name) {
  if (std::strcmp(kind, "event") == 0) return OpenEventA(READ_CONTROL, FALSE, name);
  if (std::strcmp(kind, "mutex") == 0) return OpenMutexA(READ_CONTROL, FALSE, name);
  if (std::strcmp(kind, "section") == 0) return OpenFileMappingA(READ_CONTROL, FALSE, name);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: objsecurity event|mutex|section NAME\n", stderr);
    return 2;
  }
  const zorvik::ScopedKernelHandle object(OpenNamed(argv[1], argv[2]));
  if (!object) {
    std::fprintf(stderr, "objsecurity: cannot open %s %s (error %lu)\n", argv[1], argv[2],
                 GetLastError());
    return 1;
  }
  zorvik::ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  if (GetSecurityInfo(object.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, nullptr, descriptor.put()) != ERROR_SUCCESS) {
    std::fprintf(stderr, "objsecurity: no security of %s\n", argv[2]);
    return 1;
  }
  // A present but null DACL is spelled as Windows spells it (Wine's conversion writes "D:",
  // which on Windows is an empty DACL that lets nobody in).
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) && present &&
      dacl == nullptr) {
    std::printf("D:NO_ACCESS_CONTROL\n");
    return 0;
  }
  zorvik::ScopedLocalMemory<char*> text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, text.put(), nullptr)) {
    return 1;
  }
  std::printf("%s\n", text.get());
  return 0;
}
