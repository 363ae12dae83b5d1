#pragma once
// pixolune-cli with "-" for its input: one picture read whole from standard
// input, its reduction written to standard output.

#include "CliOptions.h"
#include "ExitStatus.h"

// Every line goes to standard error; a terminal on standard output is
// refused (a usage error) unless nothing is to be written (--dry-run).
ExitStatus RunPipe(const CliOptions& options);
