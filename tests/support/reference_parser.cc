#include "tests/support/reference_parser.h"

#include "downloader/convert/certificate_parser.h"

namespace pat::test {

bool parse_certificate_line(std::string_view line, FileTable& files, int input_number,
                            CertificateRecord& record) {
  return CertificateParser(files, input_number, every_slot).parse(line, record);
}

}  // namespace pat::test
