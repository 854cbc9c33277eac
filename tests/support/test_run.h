// The run context of the tests that drive the engine's modules without a
// form: StagingDatabase opens its connection and resets it. Tests that drive
// a form use the form's own context (frmAssistente::Run).
#pragma once

#include "staging/run_context.h"

RunContext& TestRun();
