// checksum-native.cpp: checksum: reading its data, choosing the method and checking /with.
#include "evaluator/checksum-native.h"

#include <array>
#include <string>

#include "datatypes/series/binary.h"
#include "datatypes/series/string-convert.h"
#include "evaluator/crypto.h"
#include "runtime/action-entries.h"
#include "runtime/checksum.h"
#include "runtime/error-raise.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

enum class Method : uint8_t { tcp, md5, sha1, crc32, adler32, sha256, sha384, sha512, hash };
constexpr const char* kMethodNames[] = {"tcp", "md5", "sha1", "crc32", "adler32", "sha256", "sha384", "sha512", "hash"};
constexpr size_t kMethodCount = std::size(kMethodNames);

// The canonical symbol of each method word, filled at start-up.
std::array<uint32_t, kMethodCount> method_symbols{};

// The method a word names; another word is script invalid-arg.
Method method_of(const Cell& word) {
  const uint32_t canonical = symbol_canonical(word.w2);
  for (size_t k = 0; k < kMethodCount; ++k)
    if (method_symbols[k] == canonical) return static_cast<Method>(k);
  raise_error(error_id("script", "invalid-arg"), word);
}

bool is_sum(Method method) { return method == Method::tcp || method == Method::crc32 || method == Method::adler32; }

DigestMethod digest_method(Method method) {
  switch (method) {
    case Method::md5: return DigestMethod::md5;
    case Method::sha1: return DigestMethod::sha1;
    case Method::sha256: return DigestMethod::sha256;
    case Method::sha384: return DigestMethod::sha384;
    default: return DigestMethod::sha512;
  }
}

[[noreturn]] void refuse_with(const Cell& method) {
  raise_error(error_id("script", "invalid-refine-arg"), services().word_from_c_string("with"), method);
}

// The bytes a binary! holds from its index, or a string!'s UTF-8 from its index; valid while
// the value is and this record stays where it is.
class Bytes {
 public:
  explicit Bytes(const Cell& value) {
    if (cell_type(value) == Type::binary) {
      at_ = binary_head_address(value);
      size_ = static_cast<size_t>(binary_length(value));
    } else {
      text_ = string_to_utf8(value);
      at_ = reinterpret_cast<const uint8_t*>(text_.data());
      size_ = text_.size();
    }
  }
  Bytes(const Bytes&) = delete;
  Bytes& operator=(const Bytes&) = delete;
  std::span<const uint8_t> view() const { return {at_, size_}; }

 private:
  std::string text_;  // a string's encoding
  const uint8_t* at_ = nullptr;
  size_t size_ = 0;
};

// The sum of the bytes as the integer! result (the CRC as a signed 32-bit number).
Cell sum_cell(Method method, std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  if (method == Method::tcp) sum = tcp_checksum(bytes);
  else if (method == Method::crc32) sum = crc32_compute(bytes);
  else sum = adler32_compute(bytes);
  return make_cell(Type::integer, 0, sum);
}

// The digest, or the HMAC under the /with key, as a new binary! left in the result cell.
void digest_result(Method method, std::span<const uint8_t> data, const Cell* key) {
  const DigestMethod digest = digest_method(method);
  Digest result;
  if (key == nullptr) {
    result = crypto_digest(digest, data);
  } else {
    const Bytes key_bytes(*key);
    result = hmac_compute(digest, data, key_bytes.view());
  }
  stack_set_result_only(*binary_push_bytes(result.view()));
}

}  // namespace

void init_checksum_methods() {
  for (size_t k = 0; k < kMethodCount; ++k) method_symbols[k] = symbol_canonical(symbol_intern_cstring(kMethodNames[k]));
}

Status native_checksum(const int32_t* refinements) {
  Cell& data = value_stack.base[0];
  const Cell method_word = value_stack.base[1];
  const Cell* spec = refinement_argument(refinements[0]);
  // A file is read whole as binary; the read replaces the argument, so the stack keeps it alive.
  if (cell_type(data) == Type::file) data = services().file_read_dispatch(data, {nullptr, nullptr, true, false, false, nullptr});
  if (cell_type(data) != Type::binary && cell_type(data) != Type::string) raise_error(error_id("script", "invalid-arg"), data);
  const Method method = method_of(method_word);
  if (spec != nullptr && is_sum(method)) refuse_with(method_word);
  if (spec != nullptr) {
    // A hash table size would ask for the hash method, which is not built: refuse rather than
    // answer 0 as though it were a checksum.
    if (cell_type(*spec) == Type::integer) raise_error(error_id("internal", "feature-na"));
    if (cell_type(*spec) != Type::string && cell_type(*spec) != Type::binary) raise_error(error_id("script", "invalid-arg"), *spec);
  }
  // A hash takes a table size, which is refused above, never a key.
  if (method == Method::hash) refuse_with(method_word);
  const Bytes bytes(data);
  if (is_sum(method)) stack_set_result_only(sum_cell(method, bytes.view()));
  else digest_result(method, bytes.view(), spec);
  return {};
}

}  // namespace qel
