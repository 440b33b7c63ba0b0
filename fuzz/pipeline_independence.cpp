// pipeline_independence DIR...: shows that a pipeline fuzz input's effects do not depend on the
// inputs run before it. Each file is run on a fresh harness, then all files on one harness, in
// order and in reverse; the effects and the published sections must be the same every time.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz/pipeline_input.h"

namespace {

using Input = std::vector<std::uint8_t>;

std::uint64_t Digest(const zorvik::fuzzing::PipelineHarness& harness) {
  const zorvik::testing::CountingPorts& ports = harness.ports();
  std::uint64_t digest = ports.digest ^ ports.effects;
  for (const auto* section : {&ports.points, &ports.cells}) {
    for (const std::uint8_t byte : *section)
      digest = (digest ^ byte) * 0x100000001b3ull;
  }
  return digest;
}

std::map<std::string, Input> ReadInputs(int argc, char** argv) {
  std::map<std::string, Input> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!std::filesystem::is_directory(argv[i])) continue;
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      if (!entry.is_regular_file()) continue;
      std::ifstream file(entry.path(), std::ios::binary);
      inputs[entry.path().string()] =
          Input(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, Input> inputs = ReadInputs(argc, argv);
  if (inputs.empty()) {
    std::fprintf(stderr, "pipeline_independence: no inputs in the given folders\n");
    return 2;
  }
  std::map<std::string, std::uint64_t> alone;
  for (const auto& [name, bytes] : inputs) {
    zorvik::fuzzing::PipelineHarness fresh;
    fresh.Run(bytes.data(), bytes.size());
    alone[name] = Digest(fresh);
  }
  zorvik::fuzzing::PipelineHarness shared;
  int differing = 0;
  const auto check = [&](const std::string& name, const Input& bytes) {
    shared.Run(bytes.data(), bytes.size());
    if (Digest(shared) != alone.at(name)) {
      std::fprintf(stderr, "pipeline_independence: %s gives other effects after other inputs\n",
                   name.c_str());
      ++differing;
    }
  };
  for (const auto& [name, bytes] : inputs)
    check(name, bytes);
  for (auto it = inputs.rbegin(); it != inputs.rend(); ++it)
    check(it->first, it->second);
  std::printf("pipeline_independence: %zu inputs, %d depend on the inputs before them\n",
              inputs.size(), differing);
  return differing == 0 ? 0 : 1;
}
