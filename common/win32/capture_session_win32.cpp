// Starting and ending a service's captures.
#include "common/win32/capture_session_win32.h"

#include <cstdio>

#include "common/registry_settings_store_win32.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/service_log_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {

StreamCapture* CaptureSession::For(int number) {
  if (number < 0 || number > kMaxNumber) return nullptr;
  auto& capture = captures_[static_cast<std::size_t>(number)];
  if (!capture) capture = std::make_unique<StreamCapture>();
  return capture.get();
}

std::optional<std::string> CaptureSession::Folder() const {
  RegistrySettingsStore store;
  if (const ScopedKey key =
          OpenKey(store, store.LocalMachine(), schema::kDiagnosticsKey, key_rights::kRead)) {
    if (const auto folder = ReadText(store, key.get(), schema::kCaptureFolder)) {
      if (!folder->view().empty()) return std::string(folder->view());
    }
  }
  if (const auto data = ServiceDataFolder()) return *data + "\\Capture";
  return std::nullopt;
}

void CaptureSession::BeginIfAsked(std::span<const int> numbers) {
  if (under_way_ != 0) return;
  RegistrySettingsStore store;
  const ScopedKey key =
      OpenKey(store, store.LocalMachine(), schema::kDiagnosticsKey, key_rights::kRead);
  if (!key) return;
  const std::int32_t seconds = ReadInt(store, key.get(), schema::kCaptureSeconds).value_or(0);
  if (seconds <= 0) return;
  const std::optional<std::string> folder = Folder();
  ++under_way_;  // held while the captures begin, so that none ends the session early
  for (const int number : folder ? numbers : std::span<const int>()) {
    StreamCapture* capture = For(number);
    if (capture == nullptr) continue;
    char name[32];
    std::snprintf(name, sizeof name, file_format_, number);
    std::string source(name);
    source = source.substr(0, source.find('.'));
    ++under_way_;
    if (!capture->Begin(*folder + "\\" + name, source, static_cast<std::uint32_t>(seconds),
                        [this] { Finished(); })) {
      --under_way_;
    }
  }
  LogLine("capture of " + std::to_string(under_way_ - 1) + " device(s) for " +
          std::to_string(seconds) + " s into " + folder.value_or("no folder (none is known)"));
  Finished();
}

void CaptureSession::Finished() {
  if (--under_way_ != 0) return;
  RegistrySettingsStore store;
  if (const ScopedKey key =
          OpenKey(store, store.LocalMachine(), schema::kDiagnosticsKey, key_rights::kSetValue)) {
    WriteDword(store, key.get(), schema::kCaptureSeconds, 0);
  }
}

}  // namespace zorvik
