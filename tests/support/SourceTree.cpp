#include "support/SourceTree.h"

std::filesystem::path SourceTree() {
  return std::filesystem::path(KESTROVA_SOURCE_DIR);
}
