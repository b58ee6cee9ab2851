#include "downloader/serial/serial_settings.h"

namespace pat {

// Placeholder until the option parse is written.
bool com_option_parse(std::string_view, SerialSettings&) { return false; }

}  // namespace pat
