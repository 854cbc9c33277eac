// The run's state lives in RunContext (staging/run_context.h); this header
// keeps the clock text the run stamps its times with.
#pragma once

#include <string>

#include "staging/run_context.h"

// The process-wide run context, while the modules still reach it by name.
RunContext& ProcessRun();

// The current date and time as "dd/mm/yyyy hh:mm:ss".
std::string NowText();
