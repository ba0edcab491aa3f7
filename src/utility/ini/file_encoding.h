// Text encodings of INI files. The driver may keep its files in UTF-16 with a byte-order mark, as
// the Windows profile functions write them; the core edits them as UTF-8 and writes them back in
// their own encoding, so every byte it did not edit stays as it was.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

enum class FileEncoding { k8Bit, kUtf16Le, kUtf16Be };

// The encoding the file's first bytes announce: a UTF-16 byte-order mark, or 8-bit text (which
// includes UTF-8, with or without its mark).
FileEncoding DetectEncoding(std::string_view bytes);

// UTF-16 bytes (mark included) as UTF-8. Lossless: a lone surrogate becomes its 3-byte form and an
// odd last byte is kept in `tail`, so that EncodeUtf16 gives back the very same bytes.
void DecodeUtf16(std::string_view bytes, FileEncoding encoding, std::string& utf8,
                 std::string& tail);

// UTF-8 (lone surrogates in their 3-byte form allowed) as UTF-16 bytes followed by `tail`. False
// when `utf8` is no such text, or when it holds a lone high surrogate right before a lone low one,
// which UTF-16 could only store as a pair that reads back differently.
bool EncodeUtf16(std::string_view utf8, FileEncoding encoding, std::string_view tail,
                 std::string& bytes);

}  // namespace ventrel
