#include "file_system.h"

#include <algorithm>

namespace filelayer {

MappedRange RangeToMap(std::uint64_t fileSize, std::uint64_t offset, std::size_t length,
                       std::size_t window, std::size_t granularity) {
  MappedRange range;
  range.offset = offset - offset % granularity;
  const std::uint64_t end = offset + std::max<std::uint64_t>(length, window);
  range.size = std::min(end, fileSize) - range.offset;
  return range;
}

}  // namespace filelayer
