#include "Command.h"

namespace tessora::cli {

std::vector<CliCommand> listCommands() { return {}; }

}  // namespace tessora::cli
