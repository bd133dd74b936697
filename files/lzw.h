// Compressed data files: an LZW coder (codes 9 to 15 bits wide, a hashed
// dictionary of 35,023 entries) over an MSB-first bit stream.
//
// File: magic 0x71617600 ("qav\0") and the uncompressed length as two 32-bit
// values sent high bit first (so big-endian), then the codes, then zero bits
// up to the byte boundary.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/replace_file.h"

namespace qavz {

struct FastFile;

constexpr uint32_t kCompressedMagic = 0x71617600;
constexpr uint32_t kBitBufferSize = 16384;
// Room past the buffer's end for one 8-byte store that starts inside it.
constexpr uint32_t kBitBufferSlack = 8;

// Codes that are not dictionary strings.
enum LzwCode : uint32_t { kLzwEnd = 256, kLzwBump = 257, kLzwFlush = 258, kLzwFirstFree = 259 };
constexpr uint32_t kLzwMaxCode = 32767;
constexpr uint32_t kLzwMinWidth = 9, kLzwMaxWidth = 15;
constexpr uint32_t kLzwHashSize = 35023;  // a prime
// Most bytes one byte of a compressed file can stand for, with room to spare:
// a code takes at least 9 bits and no string reaches 2^15 bytes. A header
// that claims more than this times the file's size is corrupt.
constexpr uint64_t kLzwMaxExpansion = uint64_t(1) << 18;

// Writes values of up to 32 bits, high bit first, in 16 KiB blocks to a new
// file or to memory. A file replaces any old one only when it is closed
// whole, so an interrupted write leaves the old file.
class BitWriter {
 public:
  BitWriter() = default;
  ~BitWriter();
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // Creates `path` (a title path) anew. False after its message.
  bool Create(const char* path);
  // Collects the bytes in `out` instead of a file.
  bool CreateInMemory(std::vector<uint8_t>* out);
  bool Write(uint32_t value, uint32_t width) {
    if (!buffer_ || failed_) return false;
    // Whole bytes leave the accumulator as soon as they are complete: the
    // same bytes as filling each byte's free bits from the top. Locals, since
    // a byte store may alias any member.
    uint64_t pending = (pending_ << width) | (value & ((uint64_t(1) << width) - 1));
    uint32_t bits = pendingBits_ + width, used = used_;
    uint8_t* buffer = buffer_;
    while (bits >= 8) {
      bits -= 8;
      buffer[used++] = uint8_t(pending >> bits);
      if (used == kBitBufferSize) {
        used_ = used;
        if (!FlushFull()) return false;
        used = used_;
      }
    }
    pending_ = pending;
    pendingBits_ = bits;
    used_ = used;
    return true;
  }
  // Writes the partial last byte and the rest of the buffer and puts the
  // file in place; closes it in every case. False when a write failed (the
  // old file, if any, then stays).
  bool Close();

 private:
  // The encoder keeps this state in locals across its loop and stores codes
  // without going through Write.
  friend bool LzwEncode(BitWriter& writer, const uint8_t* data, uint32_t length);

  bool Flush(const char* failMessage);
  bool FlushFull();

  platform::FileReplacement file_;
  bool toFile_ = false;
  std::vector<uint8_t>* memory_ = nullptr;
  uint8_t* buffer_ = nullptr;
  uint32_t used_ = 0;     // whole bytes in the buffer
  uint64_t pending_ = 0;  // bits not yet in the buffer, low `pendingBits_`
  uint32_t pendingBits_ = 0;
  bool failed_ = false;
};

// Reads values high bit first from a FastFile (or memory) in 16 KiB blocks.
class BitReader {
 public:
  BitReader() = default;
  ~BitReader();
  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;

  // Opens `path` through OpenFastFile. False after its message.
  bool Open(const char* path);
  // Reads from memory that outlives the reader.
  bool OpenInMemory(const uint8_t* data, size_t size);
  // False when the source ran out before `width` bits (up to 32) were read.
  bool Read(uint32_t& value, uint32_t width) {
    while (bits_ < width)
      if (!TakeByte()) return false;
    bits_ -= width;
    value = uint32_t((acc_ >> bits_) & ((uint64_t(1) << width) - 1));
    return true;
  }
  void Close();
  // Bytes the source holds in all (for sizing the output), 0 if unknown.
  uint64_t SourceSize() const;

 private:
  bool TakeByte() {
    if (position_ == count_ && !Fill()) return false;
    acc_ = (acc_ << 8) | data_[position_++];
    bits_ += 8;
    return true;
  }
  bool Fill();

  FastFile* file_ = nullptr;
  const uint8_t* memory_ = nullptr;
  size_t memoryLeft_ = 0;
  size_t memorySize_ = 0;
  uint8_t* buffer_ = nullptr;      // owned block for file reads
  const uint8_t* data_ = nullptr;  // the block being read: buffer_ or memory
  uint32_t count_ = 0;             // bytes in the block
  uint32_t position_ = 0;          // next unread byte
  uint64_t acc_ = 0;               // unread bits, low `bits_`
  uint32_t bits_ = 0;
};

// Writes the code stream of `data` (no header). False for no data, a length
// of 0, a dictionary that cannot be allocated, or a failed write.
bool LzwEncode(BitWriter& writer, const uint8_t* data, uint32_t length);

// Decodes the code stream into `out`, which ends holding the decoded bytes
// (at most `length`; a stream that ends early leaves the rest, implicitly
// zero, to the caller). False for a dictionary that cannot be allocated,
// output past `length`, a `length` the source is too small to produce, or a
// code stream that no encoder produces.
bool LzwDecode(BitReader& reader, uint32_t length, std::vector<uint8_t>& out);

// The whole file form: header and code stream. `pack_save` writes a file
// this way; the tools and tests use the memory forms.
bool WriteCompressedFile(const char* path, const uint8_t* data, uint32_t length);
bool CompressToMemory(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out);
// Header check and decode of a whole compressed image in memory; `declared`
// gets the header length. False when the magic is missing or decoding fails.
bool ExpandFromMemory(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                      uint32_t* declared = nullptr);

}  // namespace qavz
