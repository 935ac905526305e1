#pragma once
// The error report of an icon that could not be saved: the writer's location label and the line
// of the step that failed, as the reports our users quote have always given them.

#include "icons/ico_encoder.h"
#include "icons/new_files.h"
#include "runtime/error_trap.h"

namespace gg {

// Reports the failed step of writing `file`, encoded at `depth`; nothing for a file written.
void reportFailedSave(ErrorReporter& reporter, int depth, const IcoFile& file, const FileOutcome& outcome);

} // namespace gg
