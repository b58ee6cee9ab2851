#include "downloader/convert/capture_copy.h"

#include <cstdint>

#include "downloader/files/temporary_name.h"
#include "downloader/run_error.h"

namespace pat {
namespace {

constexpr int probe_file = 4;

// The reader stops only at a byte 26, which it never takes; whatever lies
// behind it was never converted. A single unread byte is therefore a 26 at
// the very end: the end mark a tester may close with, which holds nothing.
// A size that cannot be had counts as unread. The size comes from the open
// file itself: the name on disk may differ from the typed one.
bool read_to_last_byte(const FileTable& files, int number) {
  const OpenFile* reader = files.entry(number);
  if (reader == nullptr) return false;
  const std::optional<std::uint64_t> size = reader->device->size();
  if (!size) return false;
  return reader->position + 1 >= *size;
}

}  // namespace

void remove_leftover(FileTable& files, std::string_view name,
                     const std::optional<FileIdentity>& agreed) {
  const std::optional<FileIdentity> there = file_identity(name);
  if (there && there != agreed) raise_error(err::file_already_open);
  files.open_file(name, mode_random, probe_file);
  const OpenFile* probe = files.entry(probe_file);
  // The name may have been taken between the look and the open.
  const bool ours = probe->created || probe->identity == agreed;
  files.close_file(probe_file);
  if (!ours) raise_error(err::file_already_open);
  kill_files(name);
}

Text move_to_copy(FileTable& files, const Text& name, std::string_view extension,
                  const std::optional<FileIdentity>& agreed, Text& download_at) {
  const Text copy = temporary_name(name, extension);
  remove_leftover(files, copy, agreed);
  rename_file(name, copy);
  download_at = copy;
  files.open_file(copy, mode_input, copy_file);
  files.open_file(name, mode_output, converted_file);
  return copy;
}

void close_conversion(FileTable& files, const ConversionResult& result, Text& download_at) {
  files.close_file(copy_file);
  files.close_file(converted_file);
  if (result.kept) return;
  kill_files(result.copy);
  download_at.clear();
}

bool converted_whole(const FileTable& files, int number, long records) {
  return records > 0 && read_to_last_byte(files, number);
}

}  // namespace pat
