#include "downloader/run_error.h"

namespace pat {

void raise_error(int number) { throw RunError{number}; }

}  // namespace pat
