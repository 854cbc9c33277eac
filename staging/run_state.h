// The run's state lives in a RunContext (staging/run_context.h) that the form
// creates and hands down; this header adds the clock text the run stamps its
// times with.
#pragma once

#include <string>

#include "staging/run_context.h"

// The current date and time as "dd/mm/yyyy hh:mm:ss".
std::string NowText();
