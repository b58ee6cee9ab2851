#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/files/number_map.h"
#include "downloader/serial/serial_settings.h"
#include "downloader/text/text.h"

// The table of open files addressed by small numbers, and the file
// operations of the run. Every failure raises its run-time error number.

namespace pat {

enum FileMode { mode_random = 1, mode_input = 3, mode_output = 4 };

// Files are read in blocks of this size; buffered output is handed to the
// system once it reaches the same size.
inline constexpr std::size_t file_block_size = 64 * 1024;
// One read from a port (or a random-access file) asks for at most this much.
inline constexpr std::size_t port_read_size = 4096;

struct OpenFile {
  FileMode mode = mode_input;
  bool can_read = false;
  bool can_write = false;
  std::uint64_t position = 0;
  bool at_end = false;
  std::uint64_t record_length = 128;
  int fd = -1;
  int port_number = 0;  // nonzero exactly for a serial port
  SerialSettings serial;
  // Reads are buffered; [read_pos, read_buf.size()) is not yet taken.
  std::vector<char> read_buf;
  std::size_t read_pos = 0;
  bool eof_seen = false;  // the descriptor has reported the end of the file
  // Writes are buffered until flushed.
  std::string write_buf;
};

class FileTable {
 public:
  FileTable() = default;
  ~FileTable();  // closes whatever is still open
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  void open_file(std::string_view name, FileMode mode, int number);
  void close_file(int number);  // nothing when the number holds no file
  void close_all();
  bool is_open(int number) const;
  const OpenFile* entry(int number) const;

  void line_input_file(int number, Text& target);
  bool end_of_file(int number);
  void print_to_file(int number, std::string_view text, bool line_end);
  // Hands buffered output to the system now.
  void flush_file(int number);

  // Serial port only.
  std::uint64_t file_location(int number);
  void get_from_file(int number, FixedText& buffer);
  // Blocks on the port for at most timeout_ms while nothing is waiting.
  void wait_for_data(int number, int timeout_ms);

 private:
  OpenFile& get(int number);
  void flush_outputs();
  NumberMap<std::unique_ptr<OpenFile>> files_;
};

bool file_exists(std::string_view name);
void kill_files(std::string_view name);
void rename_file(std::string_view old_name, std::string_view new_name);

// The error number of a failed open, from errno.
int open_error_from_errno(int error);
// The same, telling a missing file from a missing folder on its path.
int open_error_from_errno(int error, std::string_view name);

}  // namespace pat
