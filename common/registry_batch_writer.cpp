// Registry batch writer.
#include "common/registry_batch_writer.h"

namespace zorvik {
namespace {

// A "previous subkey" that no real subkey name equals.
constexpr std::string_view kNoSubkey = "::";

}  // namespace

RegistryBatchWriter::RegistryBatchWriter(SettingsStore& store, StoreKey root, std::string base_path)
    : store_(store), root_(root), base_path_(std::move(base_path)) {}

RegistryBatchWriter::~RegistryBatchWriter() {
  try {
    Flush();
  } catch (const RegistryBatchError&) {
    // Destruction must not throw; the entries that could be written are written.
  }
  entries_.clear();
  current_.reset();
}

void RegistryBatchWriter::SetInteger(std::string_view name, std::int64_t value) {
  entries_.insert_or_assign(std::string(name), DecimalText(value));
}

void RegistryBatchWriter::SetText(std::string_view name, std::string_view text) {
  entries_.insert_or_assign(std::string(name), std::string(text));
}

void RegistryBatchWriter::SwitchTo(std::string_view subkey) {
  current_.reset();
  std::string path = base_path_;
  if (!subkey.empty()) path.append("\\").append(subkey);
  current_ = CreateKey(store_, root_, path, key_rights::kSetValue);
  if (!current_) throw RegistryBatchError();
}

void RegistryBatchWriter::Flush() {
  // Makes sure the base key exists; every value is written through a handle SwitchTo opens.
  ScopedKey base = CreateKey(store_, root_, base_path_, key_rights::kRead);
  if (!base) throw RegistryBatchError();
  if (current_) {
    const std::uint32_t closed = current_.reset();
    if (closed != store_error::kSuccess) throw RegistryBatchError();
  }
  current_ = std::move(base);

  std::string previous(kNoSubkey);
  for (const auto& [name, text] : entries_) {
    const std::size_t split = name.find('\\');
    if (split == std::string::npos) continue;
    const std::string_view subkey = std::string_view(name).substr(0, split);
    const std::string_view value_name = std::string_view(name).substr(split + 1);
    // An empty subkey names the base key itself (rather than whichever key is open).
    if (subkey != previous) {
      previous.assign(subkey);
      SwitchTo(subkey);
    }
    WriteText(store_, current_.get(), value_name, text);  // single write results are ignored
  }

  current_.reset();
  current_ = OpenKey(store_, root_, base_path_, key_rights::kRead);
}

}  // namespace zorvik
