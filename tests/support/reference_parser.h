#pragma once

#include <string_view>

#include "downloader/convert/certificate_record.h"
#include "downloader/files/file_table.h"

// The certificate parser one line at a time with every slot filled: what
// a conversion's parser, filling only some slots or reading lines viewed
// elsewhere, must agree with. True when the line completes the record.

namespace pat::test {

bool parse_certificate_line(std::string_view line, FileTable& files, int input_number,
                            CertificateRecord& record);

}  // namespace pat::test
