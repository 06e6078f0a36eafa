// The owners of POSIX resources: descriptors, directory streams, mappings,
// files to remove and converters, each a unique_any with the function that
// releases it.
#pragma once

#include <dirent.h>
#include <iconv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "unique_any.h"

namespace kit {

// Where a range of a file is mapped; unmapped with munmap.
struct mapped_range {
  const char* address = nullptr;
  std::size_t size = 0;
  bool operator==(const mapped_range&) const = default;
};

// iconv_open's "none" is (iconv_t)-1, which no template argument can hold.
struct iconv_traits {
  using type = iconv_t;
  static iconv_t invalid() noexcept { return reinterpret_cast<iconv_t>(-1); }
  static void close(iconv_t converter) noexcept { ::iconv_close(converter); }
};

namespace detail {
inline void CloseDescriptor(int fd) noexcept { ::close(fd); }
inline void CloseDirectory(DIR* directory) noexcept { ::closedir(directory); }
inline void UnmapRange(const mapped_range& range) noexcept {
  ::munmap(const_cast<char*>(range.address), range.size);
}
inline void UnlinkPath(const std::string& path) noexcept { ::unlink(path.c_str()); }
}  // namespace detail

using unique_fd = unique_any_t<value_is_invalid<int, -1, detail::CloseDescriptor>>;
using unique_dir = unique_any<DIR*, detail::CloseDirectory>;
using unique_mapped_range = unique_any<mapped_range, detail::UnmapRange>;
// A file, by path, removed unless released once it has served.
using unique_file_path = unique_any<std::string, detail::UnlinkPath>;
using unique_iconv = unique_any_t<iconv_traits>;

}  // namespace kit
