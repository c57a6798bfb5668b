#pragma once

#include <stdexcept>

namespace qm::archive {

// zlib refused to start or run a stream. Not archive errors: the processing loop lets them
// end the operation instead of offering the item to the failure event.
class CompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DecompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace qm::archive
