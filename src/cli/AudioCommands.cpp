#include "Command.h"

namespace tessora::cli {

std::vector<CliCommand> audioCommands() { return {}; }

}  // namespace tessora::cli
