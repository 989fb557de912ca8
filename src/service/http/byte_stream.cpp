#include "service/http/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace orvelle::http {

size_t MemoryStream::Read(char* data, size_t size, const WaitLimits&) {
  const size_t left = static_cast<size_t>(input_.size() - position_);
  const size_t n = std::min({size, left, piece_});
  if (n > 0) std::memcpy(data, input_.constData() + position_, n);
  position_ += static_cast<qsizetype>(n);
  return n;
}

}  // namespace orvelle::http
