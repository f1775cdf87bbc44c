// The tank-state question asked before each calibration command, the same in
// both front ends.
#pragma once

namespace orbel {

// The question (UTF-8) for a calibration command index (3 to 6); an empty
// text for any other index.
const char* CalibrationQuestion(int commandIndex);

} // namespace orbel
