#pragma once

namespace pat {

// How the capture writes the received bytes and counts the records.
enum class ByteRule {
  as_sent,    // every byte kept; a '+' counts a quarter of a record
  pats_plus,  // CR written as ',', LF dropped; a ',' counts 0.0715 of a record
  summary,    // every byte kept; a CR counts 0.3333 of a record
};

}  // namespace pat
