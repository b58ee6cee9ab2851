#include "tests/support/text_rows.h"

#include "downloader/convert/writers.h"

namespace pat::test {

Text csv_row(const CertificateRecord& record) {
  Text row;
  pat::csv_row(record, row);
  return row;
}

Text pat_row(const CertificateRecord& record) {
  Text row;
  pat::pat_row(record, row);
  return row;
}

Text report_row(const CertificateRecord& record, Writer report, std::string_view report_format,
                std::string_view row_end) {
  Text row;
  pat::report_row(record, report, report_format, row_end, row);
  return row;
}

}  // namespace pat::test
