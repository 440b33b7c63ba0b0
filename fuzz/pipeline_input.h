// One pipeline fuzz input: the bytes that choose the settings and cut the stream into chunks,
// run through one controller's pipeline. The device and the ports are built once and returned
// to their start state before each input, so that an input costs what its bytes cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "tests/usbsvc/null_ports.h"
#include "usbsvc/touch_device.h"

namespace zorvik::fuzzing {

class PipelineHarness {
 public:
  // Runs one input from the start state; the effects are in ports().
  void Run(const std::uint8_t* bytes, std::size_t size);
  const testing::CountingPorts& ports() const { return ports_; }

 private:
  testing::CountingPorts ports_;
  std::optional<TouchDevice> device_;
};

}  // namespace zorvik::fuzzing
