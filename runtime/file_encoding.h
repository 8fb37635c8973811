// How a file's bytes are read as text, and the text written back as the
// same bytes. A byte order mark at the start decides: FF FE is UTF-16 little
// endian, FE FF UTF-16 big endian; every other file (a UTF-8 mark included)
// is 8-bit text read byte by byte, as is a UTF-16 file without a mark. The
// program's own texts are UTF-8. Every conversion here is total: nothing
// fails, and bytes that make no valid character still come back as they were.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zq {

enum class FileEncoding { Bytes, Utf16Le, Utf16Be };

// The encoding of a file's content and the size of the mark that tells it
// (0 without one). The mark belongs to no line of the text.
struct EncodingMark {
  FileEncoding encoding = FileEncoding::Bytes;
  std::size_t size = 0;
};
EncodingMark encoding_of(std::string_view content);

// The 16-bit units of UTF-16 bytes in the encoding's byte order. A last odd
// byte makes no unit and is left out: the caller keeps it.
std::u16string units_from_bytes(std::string_view bytes, FileEncoding encoding);

// The bytes of the units in the encoding's byte order; units_from_bytes
// gives them back. Unpaired surrogates are written as they are.
std::string bytes_from_units(std::u16string_view units, FileEncoding encoding);

// A UTF-8 text as UTF-16. Each byte that belongs to no valid UTF-8 sequence
// becomes a lone surrogate U+DC80 to U+DCFF, which text_from_utf16 turns back
// into that byte, so that every text survives the way there and back.
std::u16string utf16_from_text(std::string_view text);

// UTF-16 as a UTF-8 text: the inverse of utf16_from_text. Any other unpaired
// surrogate becomes U+FFFD.
std::string text_from_utf16(std::u16string_view units);

}  // namespace zq
