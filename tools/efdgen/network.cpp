// Placeholder, replaced by the generator.
#include "tools/efdgen/network.h"

#include <stdexcept>

std::vector<std::string> WriteNetwork(const NetworkOptions&, const std::string&) {
  throw std::logic_error("not built yet: WriteNetwork");
}
