// The simulated instrument for tests: in-process on a thread (SimThread) or
// as the orbel-sim program (SimProcess). Link orbel_sim_fixture.
#pragma once

#include "common/SimProcess.h"
#include "common/SimThread.h"
