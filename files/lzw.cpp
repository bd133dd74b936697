#include "files/lzw.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/report_error.h"
#include "core/save_folder.h"
#include "files/exp_file.h"
#include "files/messages.h"
#include "platform/path_map.h"
#include "platform/replace_file.h"
#include "platform/text_encoding.h"

namespace qavz {

// ---- bit writer ----

BitWriter::~BitWriter() {
  if (toFile_ || memory_) Close();
}

bool BitWriter::Create(const char* path) {
  if (!file_.Begin(WritePlace(platform::MapPath(path)))) {
    ReportError(kLevelData, msg::kCreateFailed, platform::ToUtf8(path).c_str());
    return false;
  }
  buffer_ = new (std::nothrow) uint8_t[kBitBufferSize + kBitBufferSlack]();
  if (!buffer_) {
    ReportError(kLevelData, msg::kOutputBufferNoMemory);
    file_.Abandon();
    return false;
  }
  toFile_ = true;
  return true;
}

bool BitWriter::CreateInMemory(std::vector<uint8_t>* out) {
  buffer_ = new (std::nothrow) uint8_t[kBitBufferSize + kBitBufferSlack]();
  if (!buffer_) return false;
  memory_ = out;
  return true;
}

// Hands the buffer's used bytes to the file or the memory vector.
bool BitWriter::Flush(const char* failMessage) {
  bool ok = true;
  if (toFile_) {
    ok = file_.Write(buffer_, used_);
  } else if (memory_) {
    try {
      memory_->insert(memory_->end(), buffer_, buffer_ + used_);
    } catch (...) {
      ok = false;
    }
  }
  if (!ok) {
    ReportError(kLevelData, "%s", failMessage);
    failed_ = true;
  }
  used_ = 0;
  return ok;
}

bool BitWriter::FlushFull() { return Flush(msg::kBitWriteFailed); }

bool BitWriter::Close() {
  bool ok = buffer_ != nullptr && !failed_;
  if (ok) {
    if (pendingBits_ > 0) buffer_[used_++] = uint8_t(pending_ << (8 - pendingBits_));
    pendingBits_ = 0;
    ok = Flush(msg::kFileWriteFailed);
  }
  if (toFile_) {
    if (!ok) {
      file_.Abandon();
    } else if (!file_.Commit()) {
      ReportError(kLevelData, msg::kFileWriteFailed);
      ok = false;
    }
    toFile_ = false;
  }
  memory_ = nullptr;
  delete[] buffer_;
  buffer_ = nullptr;
  return ok;
}

// ---- bit reader ----

BitReader::~BitReader() { Close(); }

bool BitReader::Open(const char* path) {
  Close();
  buffer_ = new (std::nothrow) uint8_t[kBitBufferSize];
  if (!buffer_) {
    ReportError(kLevelData, msg::kInputBufferNoMemory);
    return false;
  }
  file_ = OpenFastFile(path);
  if (!file_) {
    Close();
    return false;
  }
  return true;
}

bool BitReader::OpenInMemory(const uint8_t* data, size_t size) {
  Close();
  memory_ = data;
  memoryLeft_ = memorySize_ = size;
  return true;
}

uint64_t BitReader::SourceSize() const {
  if (file_) {
    int32_t size = FastFileSize(file_);
    return size < 0 ? 0 : uint64_t(uint32_t(size));
  }
  return memorySize_;
}

// Takes the next block: up to 16 KiB from the file; nothing read is failure.
bool BitReader::Fill() {
  uint32_t got = 0;
  if (file_) {
    if (!ReadFastFile(file_, buffer_, kBitBufferSize, &got) || got == 0) return false;
    data_ = buffer_;
  } else {
    if (!memory_ || memoryLeft_ == 0) return false;
    got = uint32_t(memoryLeft_ < kBitBufferSize ? memoryLeft_ : kBitBufferSize);
    data_ = memory_;
    memory_ += got;
    memoryLeft_ -= got;
  }
  count_ = got;
  position_ = 0;
  return true;
}

void BitReader::Close() {
  if (file_) CloseFastFile(file_);
  delete[] buffer_;
  file_ = nullptr;
  buffer_ = nullptr;
  data_ = nullptr;
  memory_ = nullptr;
  memoryLeft_ = memorySize_ = 0;
  count_ = position_ = 0;
  acc_ = 0;
  bits_ = 0;
}

// ---- encoder ----

namespace {

// The dictionary maps (parent code, character) to a code. Which strings it
// holds and their codes decide the output; where they sit in the table does
// not. The home entry is character * 256 + parent: a sum rather than a hash,
// so a lookup is one load from a row picked by the character, and the
// string being extended (the loop's critical path) only adds an offset.
// Collisions are probed by double hashing; the table is at most a third full.
constexpr uint32_t kTableSize = 98057;  // a prime past 255 * 256 + 32767

constexpr uint32_t kFree = 0xFFFFFFFFu;

// Keys (character << 16 | parent, kFree when free) apart from the codes, so
// the probes walk a compact array and only a hit reads a code.
struct EncodeTable {
  uint32_t key[kTableSize];
  uint16_t code[kTableSize];

  void Clear() { std::memset(key, 0xFF, sizeof key); }

  // Index of the entry holding `want`, or of the free entry where it goes,
  // after `index`, which holds another key.
  uint32_t ProbeOn(uint32_t want, uint32_t index) const {
    uint32_t step = index == 0 ? 1 : kTableSize - index;
    for (;;) {
      if (index >= step)
        index -= step;
      else
        index += kTableSize - step;
      uint32_t k = key[index];
      if (k == want || k == kFree) return index;
    }
  }
};

}  // namespace

bool LzwEncode(BitWriter& writer, const uint8_t* data, uint32_t length) {
  if (!data || length == 0) return false;
  if (!writer.buffer_ || writer.failed_) return false;
  std::unique_ptr<EncodeTable> table(new (std::nothrow) EncodeTable);
  if (!table) {
    ReportError(kLevelData, msg::kDictionaryFailed);
    return false;
  }
  EncodeTable& t = *table;
  t.Clear();
  // The writer's state in locals: the loop's stores could otherwise alias
  // it. Each code goes out as one 8-byte big-endian store of the pending
  // bits, top-aligned, and the whole bytes among them are kept; the rest is
  // overwritten by the next store. Bits above the low `bits` are stale and
  // shift out of the top.
  uint8_t* buffer = writer.buffer_;
  uint32_t used = writer.used_, bits = writer.pendingBits_;
  uint64_t pending = writer.pending_;
  auto put = [&](uint32_t code, uint32_t width) {
    pending = (pending << width) | code;
    bits += width;  // 9 to 22, so the shift below stays under 64
    uint64_t word = __builtin_bswap64(pending << (64 - bits));
    std::memcpy(buffer + used, &word, sizeof word);
    used += bits >> 3;
    bits &= 7;
    if (used < kBitBufferSize) return true;
    writer.used_ = used;
    bool flushed = writer.FlushFull();
    used = writer.used_;
    return flushed;
  };
  uint32_t nextCode = kLzwFirstFree, width = kLzwMinWidth, bumpLimit = 511;
  uint32_t s = data[0];
  bool ok = true;
  for (uint32_t i = 1; i < length; ++i) {
    uint32_t c = data[i];
    uint32_t want = c << 16 | s, index = (c << 8) + s;
    uint32_t k = t.key[index];
    if (k == want) {
      s = t.code[index];
      continue;
    }
    if (k != kFree) {
      index = t.ProbeOn(want, index);
      if (t.key[index] == want) {
        s = t.code[index];
        continue;
      }
    }
    t.key[index] = want;
    t.code[index] = uint16_t(nextCode++);
    if (!put(s, width)) {
      ok = false;
      break;
    }
    s = c;
    if (nextCode > kLzwMaxCode) {
      if (!put(kLzwFlush, width)) {
        ok = false;
        break;
      }
      t.Clear();
      nextCode = kLzwFirstFree;
      width = kLzwMinWidth;
      bumpLimit = 511;
    } else if (nextCode > bumpLimit) {
      if (!put(kLzwBump, width)) {
        ok = false;
        break;
      }
      width++;
      bumpLimit = bumpLimit * 2 + 1;
    }
  }
  ok = ok && put(s, width) && put(kLzwEnd, width);
  writer.used_ = used;
  writer.pending_ = pending & ((uint64_t(1) << bits) - 1);
  writer.pendingBits_ = bits;
  return ok;
}

// ---- decoder ----

namespace {

// The decoder's dictionary, indexed by code. A code's string always stands
// somewhere in the output already (the previous string plus the first byte
// of the one after it), so an entry is just that place and a length, and
// decoding a code is one copy instead of a walk down its parents.
struct DecodeTable {
  uint32_t position[kLzwMaxCode + 1];
  uint16_t length[kLzwMaxCode + 1];
};

// Output block that grows as decoding proceeds, never past the declared
// length, so a header that claims gigabytes costs nothing until the codes
// actually produce them.
struct Output {
  std::vector<uint8_t>& bytes;
  uint32_t limit;
  uint32_t size = 0;

  // Offset of `n` fresh bytes, or false when they would pass the limit.
  bool Reserve(uint32_t n, uint32_t& at) {
    if (n > limit - size) return false;
    if (size + n > bytes.size()) {
      uint64_t want = uint64_t(bytes.size()) * 2;
      if (want < size + uint64_t(n)) want = size + uint64_t(n);
      if (want < (1u << 16)) want = 1u << 16;
      if (want > limit) want = limit;
      try {
        bytes.resize(size_t(want));
      } catch (...) {
        return false;
      }
    }
    at = size;
    size += n;
    return true;
  }
};

inline void CopyBytes(uint8_t* dst, const uint8_t* src, uint32_t n) {
  if (n <= 16) {
    for (uint32_t i = 0; i < n; ++i) dst[i] = src[i];
  } else {
    std::memcpy(dst, src, n);
  }
}

}  // namespace

bool LzwDecode(BitReader& reader, uint32_t length, std::vector<uint8_t>& out) {
  out.clear();
  if (length > reader.SourceSize() * kLzwMaxExpansion) return false;
  std::unique_ptr<DecodeTable> table(new (std::nothrow) DecodeTable);
  if (!table) {
    ReportError(kLevelData, msg::kDictionaryFailed);
    return false;
  }
  DecodeTable& t = *table;
  out.clear();
  // Room for what the stream will likely give, so the block is rarely
  // moved; a header that claims more does not get it up front.
  uint64_t guess = reader.SourceSize() * 8 + (1u << 16);
  try {
    out.resize(size_t(guess < length ? guess : length));
  } catch (...) {
    out.clear();
  }
  Output output{out, length};
  bool ok = true;
  for (;;) {  // one dictionary generation per pass
    uint32_t nextCode = kLzwFirstFree, width = kLzwMinWidth, code, at;
    if (!reader.Read(code, width) || code == kLzwEnd) break;
    // Each generation starts with a literal byte; anything else is corruption.
    if (code > 255 || !output.Reserve(1, at)) {
      ok = false;
      break;
    }
    out[at] = uint8_t(code);
    uint32_t prevAt = at, prevLength = 1;  // where the previous string stands
    bool flushed = false;
    for (;;) {
      if (!reader.Read(code, width) || code == kLzwEnd) break;
      if (code == kLzwBump) {
        if (++width > kLzwMaxWidth) {
          ok = false;
          break;
        }
        continue;
      }
      if (code == kLzwFlush) {
        flushed = true;
        break;
      }
      // A code may name at most the entry being defined now, and no entry
      // exists past the last code.
      if (code > nextCode || nextCode > kLzwMaxCode) {
        ok = false;
        break;
      }
      uint32_t n = code < 256 ? 1 : code == nextCode ? prevLength + 1u : t.length[code];
      if (!output.Reserve(n, at)) {
        ok = false;
        break;
      }
      uint8_t* base = out.data();
      if (code < 256) {
        base[at] = uint8_t(code);
      } else if (code == nextCode) {
        // The previous string and its own first byte.
        CopyBytes(base + at, base + prevAt, prevLength);
        base[at + prevLength] = base[prevAt];
      } else {
        CopyBytes(base + at, base + t.position[code], n);
      }
      t.position[nextCode] = prevAt;
      t.length[nextCode] = uint16_t(prevLength + 1);
      nextCode++;
      prevAt = at;
      prevLength = n;
    }
    if (!ok || !flushed) break;
  }
  out.resize(ok ? output.size : 0);
  return ok;
}

// ---- whole files ----

namespace {

bool WriteWhole(BitWriter& writer, const uint8_t* data, uint32_t length) {
  bool ok = writer.Write(kCompressedMagic, 32) && writer.Write(length, 32);
  ok = ok && LzwEncode(writer, data, length);
  return writer.Close() && ok;
}

}  // namespace

bool WriteCompressedFile(const char* path, const uint8_t* data, uint32_t length) {
  BitWriter writer;
  if (!writer.Create(path)) return false;
  return WriteWhole(writer, data, length);
}

bool CompressToMemory(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out) {
  out.clear();
  BitWriter writer;
  if (!writer.CreateInMemory(&out)) return false;
  return WriteWhole(writer, data, length);
}

bool ExpandFromMemory(const uint8_t* data, size_t size, std::vector<uint8_t>& out, uint32_t* declared) {
  BitReader reader;
  reader.OpenInMemory(data, size);
  uint32_t magic = 0, length = 0;
  if (!reader.Read(magic, 32) || magic != kCompressedMagic || !reader.Read(length, 32)) return false;
  if (declared) *declared = length;
  return LzwDecode(reader, length, out);
}

}  // namespace qavz
