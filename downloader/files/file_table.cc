#include "downloader/files/file_table.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "downloader/files/disk_file.h"
#include "downloader/files/file_lock.h"
#include "downloader/files/line_split.h"
#include "downloader/files/medium_sync.h"
#include "downloader/run_error.h"

namespace pat {

namespace {

int read_error(int error) {
  const bool refused = error == EACCES || error == EPERM || error == EROFS ||
                       error == EISDIR || error == ETXTBSY;
  return refused ? err::permission_denied : err::path_file_access;
}

int write_error(int error) { return read_error(error); }

// Replaces the (fully taken) read buffer with the next block from the
// device. False when nothing came: the end of the file, or nothing
// waiting on a port.
bool refill(OpenFile& f, std::size_t block) {
  f.read_buf.resize(block);
  f.read_pos = 0;
  ssize_t got;
  do {
    got = f.device->read(f.read_buf.data(), block);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    const int error = errno;
    f.read_buf.clear();
    if (error == EAGAIN || error == EWOULDBLOCK) return false;
    raise_error(read_error(error));
  }
  f.read_buf.resize(static_cast<std::size_t>(got));
  f.eof_seen = got == 0;
  return got > 0;
}

std::size_t buffered(const OpenFile& f) { return f.read_buf.size() - f.read_pos; }

// The next byte without taking it; -1 at the end of the file.
int peek_byte(OpenFile& f) {
  if (buffered(f) == 0 && !refill(f, file_block_size)) return -1;
  return static_cast<unsigned char>(f.read_buf[f.read_pos]);
}

void take_byte(OpenFile& f) {
  ++f.read_pos;
  ++f.position;
}

// A line that the buffer does not hold whole, with its line end and the
// byte after it: read block by block, the end of the file and 26 included.
[[gnu::noinline]] void read_line_across_blocks(OpenFile& f, Text& target) {
  const int first = peek_byte(f);
  if (first < 0 || first == eof_mark) {
    f.at_end = true;
    target.clear();
    raise_error(err::input_past_end);
  }
  // Built aside so that a failed read leaves the target as it was.
  Text line;
  for (;;) {
    if (buffered(f) == 0 && !refill(f, file_block_size)) {
      f.at_end = true;
      break;
    }
    const char* begin = f.read_buf.data() + f.read_pos;
    const char* end = f.read_buf.data() + f.read_buf.size();
    const char* stop = find_line_stop(begin, end);
    line.append(begin, stop);
    f.read_pos += static_cast<std::size_t>(stop - begin);
    f.position += static_cast<std::uint64_t>(stop - begin);
    if (stop == end) continue;

    const auto ender = static_cast<unsigned char>(*stop);
    if (ender == eof_mark) {  // never taken: every later read meets it again
      f.at_end = true;
      break;
    }
    take_byte(f);
    int next = peek_byte(f);
    if (next == (ender == line_cr ? line_lf : line_cr)) {
      take_byte(f);
      next = peek_byte(f);
    }
    f.at_end = next < 0 || next == eof_mark;
    break;
  }
  target = std::move(line);
}

// Hands the whole output buffer to the system. On failure what could not be
// written is dropped (the run ends in the error handler anyway, and a later
// close must not fail a second time on the same bytes).
void flush_entry(OpenFile& f) {
  std::size_t done = 0;
  while (done < f.write_buf.size()) {
    const ssize_t put = f.device->write(f.write_buf.data() + done, f.write_buf.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      const int error = put < 0 ? errno : EIO;
      f.position -= f.write_buf.size() - done;
      f.write_buf.clear();
      f.write_failed = true;
      raise_error(write_error(error));
    }
    done += static_cast<std::size_t>(put);
  }
  f.write_buf.clear();
}

// Puts what the system holds of a written file on the medium. A failed flush
// is a failed write, and the data may not be there.
void sync_entry(OpenFile& f) {
  if (f.fd < 0 || !f.can_write || f.write_failed) return;
  if (sync_to_medium(f.fd) != 0) {
    f.write_failed = true;
    raise_error(err::path_file_access);
  }
}

// An output kept as it was until its first byte, closed without one: a
// file this open made goes again, under the lock that keeps other copies
// off it; one that was there stays exactly as it was.
void leave_as_found(OpenFile& f) {
  if (!f.created || f.fd < 0) return;
  if (still_named(f.fd, f.path)) ::unlink(f.path.c_str());
}

bool untouched_output(const OpenFile& f) { return f.keep_until_written && !f.written; }

// Closes the entry's device after flushing it, to the medium for an output
// file; the error number of the first failure, 0 when all went well. The
// device is closed either way.
int close_entry(OpenFile& f) {
  int result = 0;
  try {
    flush_entry(f);
    if (f.mode == mode_output && !untouched_output(f)) sync_entry(f);
  } catch (const RunError& e) {
    result = e.number;
  }
  if (untouched_output(f)) leave_as_found(f);
  // A writable file may report a deferred write failure only here.
  const int close_error = f.device->close();
  if (close_error != 0 && close_error != EINTR && f.can_write && f.device->has_position() &&
      result == 0) {
    result = write_error(close_error);
  }
  return result;
}

// The first byte written to an output kept as it was empties it; a file
// this open made is empty already.
void empty_at_first_byte(OpenFile& f) {
  f.written = true;
  if (!f.keep_until_written || f.created || f.fd < 0) return;
  int rc;
  do {
    rc = ::ftruncate(f.fd, 0);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    f.write_failed = true;
    raise_error(write_error(errno));
  }
}

// Opens a name that is not a serial device name.
std::unique_ptr<OpenFile> disk_entry(std::string_view name, FileMode mode, Emptying emptying) {
  DiskOpening disk = open_disk_file(name, mode, emptying);
  auto f = std::make_unique<OpenFile>();
  f->mode = mode;
  f->can_read = disk.can_read;
  f->can_write = disk.can_write;
  f->name = std::string(name);
  f->path = std::move(disk.path);
  f->fd = disk.fd;
  f->created = disk.created;
  f->identity = disk.identity;
  f->keep_until_written = disk.keep_until_written;
  f->device = std::move(disk.file);
  if (mode == mode_input) {
    // A file that starts with byte 26 reads as empty. A failed read closes
    // the file with the entry.
    const int first = peek_byte(*f);
    f->at_end = first == eof_mark;
  }
  return f;
}

}  // namespace

FileTable::~FileTable() {
  for (auto& [number, f] : files_) finish(*f);
}

int FileTable::finish(OpenFile& f) {
  const bool untouched = untouched_output(f);
  const int error = close_entry(f);
  if (untouched) left_as_found_.emplace(f.name);
  return error;
}

bool FileTable::left_as_found(std::string_view name) const {
  return left_as_found_.find(name) != left_as_found_.end();
}

OpenFile& FileTable::get(int number) {
  const auto it = files_.find(number);
  if (it == files_.end()) raise_error(err::bad_file_number);
  return *it->second;
}

bool FileTable::is_open(int number) const { return files_.count(number) != 0; }

const OpenFile* FileTable::entry(int number) const {
  const auto it = files_.find(number);
  return it == files_.end() ? nullptr : it->second.get();
}

OpenFile* FileTable::entry(int number) {
  const auto it = files_.find(number);
  return it == files_.end() ? nullptr : it->second.get();
}

namespace {

std::unique_ptr<OpenFile> device_entry(std::unique_ptr<Device> device) {
  auto f = std::make_unique<OpenFile>();
  f->device = std::move(device);
  f->mode = mode_random;  // whatever the caller asked for
  f->can_read = f->can_write = true;
  f->record_length = 128;
  return f;
}

}  // namespace

void FileTable::open_file(std::string_view name, FileMode mode, int number, Emptying emptying) {
  if (number < 1) raise_error(err::bad_file_number);
  if (is_open(number)) raise_error(err::file_already_open);

  if (std::unique_ptr<Device> device = open_device_ ? open_device_(name) : nullptr) {
    files_.emplace(number, device_entry(std::move(device)));
    return;
  }
  auto f = disk_entry(name, mode, emptying);
  if (f->can_write) {
    written_names_.emplace(name);
    left_as_found_.erase(f->name);
  }
  files_.emplace(number, std::move(f));
}

void FileTable::open_port(std::string_view name, int number) {
  if (number < 1) raise_error(err::bad_file_number);
  if (is_open(number)) raise_error(err::file_already_open);
  std::unique_ptr<Device> device = open_device_ ? open_device_(name) : nullptr;
  if (!device) raise_error(err::device_unavailable);
  files_.emplace(number, device_entry(std::move(device)));
}

bool FileTable::opened_for_writing(std::string_view name) const {
  return written_names_.find(name) != written_names_.end();
}

void FileTable::close_file(int number) {
  const auto it = files_.find(number);
  if (it == files_.end()) return;
  std::unique_ptr<OpenFile> f = std::move(it->second);
  files_.erase(it);
  if (const int error = finish(*f)) raise_error(error);
}

void FileTable::close_all() {
  int first_error = 0;
  for (auto& [number, f] : files_) {
    const int error = finish(*f);
    if (first_error == 0) first_error = error;
  }
  files_.clear();
  if (first_error != 0) raise_error(first_error);
}

void FileTable::line_input_file(int number, Text& target) {
  OpenFile& f = get(number);
  if (!f.can_read) raise_error(err::path_file_access);
  if (f.mode != mode_input) raise_error(err::bad_file_mode);

  std::string_view whole;
  if (take_whole_line(f, whole)) {
    target.assign(whole.data(), whole.size());
  } else {
    read_line_across_blocks(f, target);
  }
}

bool FileTable::end_of_file(int number) {
  OpenFile& f = get(number);
  if (f.at_end) return true;
  if (f.mode != mode_input) return false;
  if (buffered(f) > 0) return false;
  const std::optional<std::uint64_t> size = f.device->size();
  if (!size) return false;  // the next read reports it
  return f.position >= *size;
}

void FileTable::print_to_file(int number, std::string_view text, bool line_end) {
  OpenFile& f = get(number);
  if (f.mode != mode_output) raise_error(err::bad_file_mode);
  if (!f.written && (!text.empty() || line_end)) empty_at_first_byte(f);
  f.write_buf.append(text);
  f.position += text.size();
  if (f.write_buf.size() >= file_block_size) flush_entry(f);
  if (line_end) {
    f.write_buf.append("\r\n");
    f.position += 2;
    if (f.write_buf.size() >= file_block_size) flush_entry(f);
  }
}

void FileTable::flush_file(int number) { flush_entry(get(number)); }

void FileTable::sync_file(int number) {
  OpenFile& f = get(number);
  flush_entry(f);
  sync_entry(f);
}

void FileTable::flush_outputs() {
  for (auto& [number, f] : files_) {
    if (f->mode == mode_output && !f->write_buf.empty()) flush_entry(*f);
  }
}

std::uint64_t FileTable::file_location(int number) {
  OpenFile& f = get(number);
  if (buffered(f) > 0) return buffered(f);
  // Whatever the program has taken from the port so far is in the output
  // before it learns of more: a killed process loses nothing it had taken.
  flush_outputs();
  return f.device->bytes_waiting();
}

void FileTable::get_from_file(int number, FixedText& buffer) {
  OpenFile& f = get(number);
  if (f.mode != mode_random) raise_error(err::bad_file_mode);
  if (!f.can_read) raise_error(err::path_file_access);
  const std::size_t wanted = buffer.width();
  if (wanted > f.record_length) raise_error(err::bad_record_length);

  Text bytes;
  bytes.reserve(wanted);
  bool refilled = false;
  while (bytes.size() < wanted) {
    if (buffered(f) == 0) {
      if (refilled) break;
      refilled = true;
      flush_outputs();
      if (!refill(f, port_read_size)) break;
    }
    const std::size_t n = std::min(wanted - bytes.size(), buffered(f));
    bytes.append(f.read_buf.data() + f.read_pos, n);
    f.read_pos += n;
  }
  const bool complete = bytes.size() == wanted;
  bytes.resize(wanted, '\0');
  buffer.assign(bytes);

  if (complete) {
    f.at_end = false;
    if (!f.device->has_position()) return;  // a port has no position
    f.position += wanted;
    if (wanted < f.record_length) f.position = f.position - wanted + f.record_length;
  } else {
    f.at_end = true;
    if (!f.device->has_position()) return;
  }
  // A file reads on from the start of its next record (or, after a short
  // read, from where this one began).
  f.read_buf.clear();
  f.read_pos = 0;
  if (!f.device->seek(f.position)) raise_error(err::bad_file_mode);
}

std::size_t FileTable::read_available(int number, std::string& bytes) {
  OpenFile& f = get(number);
  if (f.mode != mode_random || f.device->has_position()) raise_error(err::bad_file_mode);
  if (!f.can_read) raise_error(err::path_file_access);
  bytes.clear();
  if (buffered(f) == 0) {
    flush_outputs();
    // Only what the port says is waiting: a hung-up line fails a read.
    if (f.device->bytes_waiting() == 0 || !refill(f, port_read_size)) return 0;
  }
  bytes.assign(f.read_buf.data() + f.read_pos, buffered(f));
  f.read_pos = f.read_buf.size();
  f.at_end = false;
  return bytes.size();
}

void FileTable::wait_for_data(int number, int timeout_ms, int wake_fd) {
  OpenFile& f = get(number);
  if (buffered(f) > 0) return;
  f.device->wait_readable(timeout_ms, wake_fd);
}

}  // namespace pat
