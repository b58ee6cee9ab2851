#pragma once

#include <string_view>

#include "downloader/convert/certificate_record.h"
#include "downloader/convert/writer.h"
#include "downloader/text/text.h"

// The writers' rows as values of their own, for tests that compare a row
// with the bytes it must hold. The conversion fills one buffer in place.

namespace pat::test {

Text csv_row(const CertificateRecord& record);
Text pat_row(const CertificateRecord& record);
Text report_row(const CertificateRecord& record, Writer report, std::string_view report_format,
                std::string_view row_end);

}  // namespace pat::test
