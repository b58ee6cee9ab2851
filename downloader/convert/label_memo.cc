#include "downloader/convert/label_memo.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace pat {

namespace {

std::uint64_t word_at(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

std::uint32_t half_at(const char* bytes) {
  std::uint32_t half;
  std::memcpy(&half, bytes, sizeof half);
  return half;
}

// Whether two texts of one size hold the same bytes, compared eight at a
// time (the last eight overlapping the others) without a call.
bool same_bytes(const char* a, const char* b, std::size_t size) {
  if (size >= 8) {
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
      if (word_at(a + i) != word_at(b + i)) return false;
    }
    return word_at(a + size - 8) == word_at(b + size - 8);
  }
  if (size >= 4) return half_at(a) == half_at(b) && half_at(a + size - 4) == half_at(b + size - 4);
  return std::memcmp(a, b, size) == 0;
}

// A multiplicative hash over the line's bytes eight at a time. The last
// eight overlap the others rather than being gathered byte by byte: a load
// of bytes just stored in pieces waits for the stores.
std::uint64_t hash_of(std::string_view line) {
  constexpr std::uint64_t mix = 0x9E3779B97F4A7C15ull;
  const char* const data = line.data();
  const std::size_t size = line.size();
  std::uint64_t hash = size;
  if (size >= 8) {
    for (std::size_t i = 0; i + 8 <= size; i += 8) hash = (hash ^ word_at(data + i)) * mix;
    hash = (hash ^ word_at(data + size - 8)) * mix;
  } else if (size >= 4) {
    hash = (hash ^ (std::uint64_t{half_at(data)} << 32 | half_at(data + size - 4))) * mix;
  } else {
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<unsigned char>(data[i])) * mix;
  }
  return hash;
}

}  // namespace

LabelMemo::LabelMemo(const LabelIndex& index)
    : index_(index), sets_(sets), seen_(seen_places, 0) {}

RuleSet LabelMemo::find(std::string_view line, LabelColumns& columns, LineYield** yield) {
  if (yield != nullptr) *yield = nullptr;
  if (line.size() > longest_line) return index_.find(line, index_.all(), columns);
  const std::uint64_t hash = hash_of(line);
  Set& set = sets_[static_cast<std::size_t>(hash >> 32) % sets];
  for (std::size_t way = 0; way < set.ways.size(); ++way) {
    Entry& entry = set.ways[way];
    if (!entry.used || entry.hash != hash || entry.line.size() != line.size() ||
        !same_bytes(entry.line.data(), line.data(), line.size()))
      continue;
    set.last_used = way;
    if (yield != nullptr) *yield = &entry.yield;
    for (RuleSet left = entry.found; left != 0; left &= left - 1) {
      const auto r = static_cast<std::size_t>(std::countr_zero(left));
      columns[r] = entry.columns[r];
    }
    return entry.found;
  }
  return search(line, hash, set, columns, yield);
}

[[gnu::noinline]] RuleSet LabelMemo::search(std::string_view line, std::uint64_t hash, Set& set,
                                            LabelColumns& columns, LineYield** yield) {
  const RuleSet found = index_.find(line, index_.all(), columns);
  // The hash's high bits: the low bits of a product mix the least.
  std::uint16_t& seen = seen_[static_cast<std::size_t>(hash >> 40) % seen_places];
  const auto mark = static_cast<std::uint16_t>(hash >> 48);
  if (seen != mark) {
    seen = mark;
    return found;
  }
  set.last_used = 1 - set.last_used;
  Entry& entry = set.ways[set.last_used];
  entry.used = true;
  entry.hash = hash;
  string_store(entry.line, line);
  entry.found = found;
  entry.yield = LineYield{};
  if (yield != nullptr) *yield = &entry.yield;
  for (RuleSet left = found; left != 0; left &= left - 1) {
    const auto r = static_cast<std::size_t>(std::countr_zero(left));
    entry.columns[r] = static_cast<std::uint16_t>(columns[r]);
  }
  return found;
}

}  // namespace pat
