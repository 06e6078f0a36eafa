// Standard output and error of rowsift-cli.exe. The messages are UTF-8 and
// name paths in any script. On a console they show as those characters,
// whatever the console's code page; redirected to a file or a pipe they are
// written in UTF-8, so that nothing is lost, with Windows line ends.
#pragma once

#include <windows.h>

#include <ostream>
#include <streambuf>
#include <string>

namespace rowsift {

class StandardStream : public std::ostream {
 public:
  // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
  explicit StandardStream(DWORD which);
  StandardStream(const StandardStream&) = delete;
  StandardStream& operator=(const StandardStream&) = delete;
  ~StandardStream() override;

 private:
  // Passes on every line as it ends, and what is left when flushed.
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(HANDLE handle);

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

   private:
    void Write(const std::string& utf8);

    HANDLE handle_;
    bool console_;
    std::string pending_;
  };

  Buffer buffer_;
};

}  // namespace rowsift
