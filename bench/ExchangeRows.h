// Each command's exchange against a simulated instrument that keeps a real
// line's timing (orbel-sim --pace): the wall time of a transaction through
// the worker and the serial component, set against the time the line itself
// needs for it, and the processor time the tool spends meanwhile.
#pragma once

#include <string>

// Runs `count` transactions of each command on the paced device `device`
// (turnaround `turnaroundMs`) and prints one block of rows per command, each
// row's name after `label` when one is given. False when a transaction was
// not answered.
bool PrintExchangeRows(const std::string& device, int count, double turnaroundMs,
                       const std::string& label = {});

// The processor time this process has spent so far, user and system.
double CpuSeconds();
