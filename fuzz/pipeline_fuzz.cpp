// Fuzzes one controller's pipeline. Nothing may crash, hang or read out of bounds.
#include "fuzz/pipeline_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static auto* harness = new zorvik::fuzzing::PipelineHarness;  // kept for the whole run
  harness->Run(bytes, size);
  return 0;
}
