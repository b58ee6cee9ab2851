#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/files/device.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/file_mode.h"
#include "downloader/files/number_map.h"
#include "downloader/text/text.h"

// The table of open files addressed by small numbers, and the file
// operations of the run. Every failure raises its run-time error number.
// Names are the program's text and reach the system through system_name().
// A file open for writing holds an exclusive flock lock until it is closed;
// one that another open file holds locked is refused with 70.
// Device names (a serial port's) are known only to the opener that whoever
// builds the program hands to the table; without one every name is a file.

namespace pat {

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
  std::unique_ptr<Device> device;  // what the file reads and writes through
  // Reads are buffered; [read_pos, read_buf.size()) is not yet taken.
  std::vector<char> read_buf;
  std::size_t read_pos = 0;
  bool eof_seen = false;  // the descriptor has reported the end of the file
  // Writes are buffered until flushed.
  std::string write_buf;
  // A file on disk: its name as the program gave it and as the system holds
  // it, its descriptor (owned by the device), whether this open made it, and
  // the file as the open found it.
  std::string name;
  std::string path;
  int fd = -1;
  bool created = false;
  FileIdentity identity;
  bool keep_until_written = false;  // Emptying::at_first_write
  bool written = false;             // print_to_file has been given a byte
  bool write_failed = false;        // a write or flush of it raised its error
};

class FileTable {
 public:
  // open_device first has its say on every name opened.
  explicit FileTable(DeviceOpener open_device = nullptr) : open_device_(open_device) {}
  ~FileTable();  // closes whatever is still open
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  void open_file(std::string_view name, FileMode mode, int number,
                 Emptying emptying = Emptying::at_open);
  // Opens a device name through the opener; a name that names no device is
  // a port that does not answer (68), and nothing is opened or created.
  void open_port(std::string_view name, int number);
  void close_file(int number);  // nothing when the number holds no file
  void close_all();
  bool is_open(int number) const;
  const OpenFile* entry(int number) const;
  OpenFile* entry(int number);  // for a reader that takes lines from the buffer
  // This run opened (and so locked) a file of that name for writing.
  bool opened_for_writing(std::string_view name) const;
  // That file, opened with Emptying::at_first_write, was closed with nothing
  // written: it was left as it was, or deleted when this run had made it.
  bool left_as_found(std::string_view name) const;

  void line_input_file(int number, Text& target);
  bool end_of_file(int number);
  void print_to_file(int number, std::string_view text, bool line_end);
  // Hands buffered output to the system now. The program's output goes as
  // its buffer fills, before each read from a port and on its way to the
  // medium; tests flush here to see what another reader of the file would.
  void flush_file(int number);
  // Hands buffered output to the system and puts it on the medium (fsync),
  // as every close of an output file also does; a failure is a failed
  // write (75).
  void sync_file(int number);

  // Serial port only: the bytes waiting, and a read of them into a field.
  // The capture takes blocks (read_available); these stay as the port's
  // reads byte by byte, which any other reader of a port would use. While
  // bytes read ahead are not yet taken, their count stands for the bytes
  // waiting, without asking the port.
  std::uint64_t file_location(int number);
  void get_from_file(int number, FixedText& buffer);
  // Takes every byte read ahead into `bytes`, or, when none is, what the port
  // has waiting now; the count, 0 when nothing is waiting. As before any
  // read from the port, the output files are flushed first.
  std::size_t read_available(int number, std::string& bytes);
  // Blocks on the port for at most timeout_ms while nothing is waiting;
  // wake_fd (unless -1) ends the wait early and is read empty.
  void wait_for_data(int number, int timeout_ms, int wake_fd = -1);

 private:
  OpenFile& get(int number);
  void flush_outputs();
  // Closes an entry; the error number of its first failure, or 0.
  int finish(OpenFile& f);
  DeviceOpener open_device_;
  NumberMap<std::unique_ptr<OpenFile>> files_;
  std::set<std::string, std::less<>> written_names_;
  std::set<std::string, std::less<>> left_as_found_;
};

bool file_exists(std::string_view name);
void kill_files(std::string_view name);
void rename_file(std::string_view old_name, std::string_view new_name);

// The error number of a failed open, from errno.
int open_error_from_errno(int error);
// The same, telling a missing file from a missing folder on its path (the
// name as handed to the system).
int open_error_from_errno(int error, std::string_view name);

}  // namespace pat
