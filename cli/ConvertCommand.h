// tesselbox-cli convert: pictures to schematics, on the same road as the window's choose-picture
// and generate commands, several pictures at a time.
#pragma once

#include "cli/Cli.h"
#include "cli/Options.h"

#include <ostream>

namespace tesselbox::cli {

int RunConvert(const ConvertOptions& options, std::ostream& out, std::ostream& err,
               const Environment& environment);

}  // namespace tesselbox::cli
