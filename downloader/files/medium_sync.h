#pragma once

#include <string_view>

// Putting written data on the medium itself (fsync), so that a file called
// created, and the folder entry of a rename or a delete, survive a pulled
// stick or a power cut.

namespace pat {

// What a flush to the medium calls: 0, or the errno of the failure.
using MediumSync = int (*)(int fd);

// Flushes the open descriptor to the medium, retried on EINTR; 0 or the
// errno. A descriptor whose file system keeps nothing to flush (EINVAL,
// EROFS: a pipe, a read-only mount) counts as flushed.
int sync_to_medium(int fd);

// Flushes the folder that holds `path` (the system's name): everything up
// to its last "/", the working directory without one. 0 or the errno.
int sync_folder_of(std::string_view path);

// Replaces the flush for tests and benches (a failing one, or none at all);
// null puts fsync back. Returns the one it replaced.
MediumSync replace_medium_sync(MediumSync sync);

}  // namespace pat
