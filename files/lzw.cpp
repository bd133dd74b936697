#include "files/lzw.h"

#include <cstring>
#include <memory>
#include <new>

#include "files/exp_file.h"
#include "files/messages.h"
#include "host/report_error.h"
#include "platform/path_map.h"
#include "platform/text_encoding.h"

namespace qavz {

// ---- bit writer ----

BitWriter::~BitWriter() {
  if (file_ || memory_) Close();
}

bool BitWriter::Create(const char* path) {
  file_ = std::fopen(platform::MapPath(path).c_str(), "wb");
  if (!file_) {
    ReportError(kLevelData, msg::kCreateFailed, platform::ToUtf8(path).c_str());
    return false;
  }
  buffer_ = new (std::nothrow) uint8_t[kBitBufferSize]();
  if (!buffer_) {
    ReportError(kLevelData, msg::kOutputBufferNoMemory);
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  return true;
}

bool BitWriter::CreateInMemory(std::vector<uint8_t>* out) {
  buffer_ = new (std::nothrow) uint8_t[kBitBufferSize]();
  if (!buffer_) return false;
  memory_ = out;
  return true;
}

// Hands the buffer's used bytes to the file or the memory vector.
bool BitWriter::Flush(const char* failMessage) {
  bool ok = true;
  if (file_) {
    ok = std::fwrite(buffer_, 1, used_, file_) == used_;
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

bool BitWriter::Write(uint32_t value, uint32_t width) {
  if (!buffer_ || failed_) return false;
  // Whole bytes leave the accumulator as soon as they are complete, which is
  // the same byte sequence as filling each byte's free bits from the top.
  pending_ = (pending_ << width) | (value & ((uint64_t(1) << width) - 1));
  pendingBits_ += width;
  while (pendingBits_ >= 8) {
    pendingBits_ -= 8;
    buffer_[used_++] = uint8_t(pending_ >> pendingBits_);
    if (used_ == kBitBufferSize && !Flush(msg::kBitWriteFailed)) return false;
  }
  return true;
}

bool BitWriter::Close() {
  bool ok = buffer_ != nullptr && !failed_;
  if (ok) {
    if (pendingBits_ > 0) buffer_[used_++] = uint8_t(pending_ << (8 - pendingBits_));
    pendingBits_ = 0;
    ok = Flush(msg::kFileWriteFailed);
  }
  if (file_) {
    if (std::fclose(file_) != 0 && ok) {
      ReportError(kLevelData, msg::kFileWriteFailed);
      ok = false;
    }
    file_ = nullptr;
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
  memoryLeft_ = size;
  return true;
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
  memoryLeft_ = 0;
  count_ = position_ = 0;
  acc_ = 0;
  bits_ = 0;
}

// ---- encoder ----

namespace {

struct EncodeEntry {
  int32_t code;  // -1 when free
  uint16_t parent;
  uint8_t character;
};

struct EncodeState {
  EncodeEntry* table;
  uint32_t nextCode, width, bumpLimit;

  void Reset() {
    for (uint32_t i = 0; i < kLzwHashSize; ++i) table[i].code = -1;
    nextCode = kLzwFirstFree;
    width = kLzwMinWidth;
    bumpLimit = 511;
  }

  // Open addressing with a step that depends on the first index.
  uint32_t Probe(uint32_t parent, uint32_t character) const {
    uint32_t index = (character << 7) ^ parent;
    uint32_t step = index == 0 ? 1 : kLzwHashSize - index;
    for (;;) {
      const EncodeEntry& e = table[index];
      if (e.code == -1 || (e.parent == parent && e.character == character)) return index;
      if (index >= step)
        index -= step;
      else
        index += kLzwHashSize - step;
    }
  }
};

}  // namespace

bool LzwEncode(BitWriter& writer, const uint8_t* data, uint32_t length) {
  if (!data || length == 0) return false;
  std::unique_ptr<EncodeEntry[]> table(new (std::nothrow) EncodeEntry[kLzwHashSize]);
  if (!table) {
    ReportError(kLevelData, msg::kDictionaryFailed);
    return false;
  }
  EncodeState st{table.get(), 0, 0, 0};
  st.Reset();
  uint32_t s = data[0];
  for (uint32_t i = 1; i < length; ++i) {
    uint32_t c = data[i];
    uint32_t index = st.Probe(s, c);
    EncodeEntry& e = st.table[index];
    if (e.code != -1) {
      s = uint32_t(e.code);
      continue;
    }
    e.code = int32_t(st.nextCode++);
    e.parent = uint16_t(s);
    e.character = uint8_t(c);
    if (!writer.Write(s, st.width)) return false;
    s = c;
    if (st.nextCode > kLzwMaxCode) {
      if (!writer.Write(kLzwFlush, st.width)) return false;
      st.Reset();
    } else if (st.nextCode > st.bumpLimit) {
      if (!writer.Write(kLzwBump, st.width)) return false;
      st.width++;
      st.bumpLimit = st.bumpLimit * 2 + 1;
    }
  }
  return writer.Write(s, st.width) && writer.Write(kLzwEnd, st.width);
}

// ---- decoder ----

namespace {

// Decoder dictionary, indexed by code. Every string also knows its length and
// first byte, so it is written back to front straight into the output.
struct DecodeTable {
  uint16_t parent[kLzwMaxCode + 1];
  uint16_t length[kLzwMaxCode + 1];
  uint8_t character[kLzwMaxCode + 1];
  uint8_t first[kLzwMaxCode + 1];
};

// Output block that grows as decoding proceeds, never past the declared
// length, so a header that claims gigabytes costs nothing until the codes
// actually produce them.
struct Output {
  std::vector<uint8_t>& bytes;
  uint32_t limit;
  uint32_t size = 0;

  uint8_t* Reserve(uint32_t n) {
    if (n > limit - size) return nullptr;
    if (size + n > bytes.size()) {
      uint64_t want = uint64_t(bytes.size()) * 2;
      if (want < size + uint64_t(n)) want = size + uint64_t(n);
      if (want < (1u << 16)) want = 1u << 16;
      if (want > limit) want = limit;
      try {
        bytes.resize(size_t(want));
      } catch (...) {
        return nullptr;
      }
    }
    uint8_t* at = bytes.data() + size;
    size += n;
    return at;
  }
};

void WriteString(const DecodeTable& t, uint32_t code, uint8_t* end) {
  while (code > 255) {
    *--end = t.character[code];
    code = t.parent[code];
  }
  *--end = uint8_t(code);
}

}  // namespace

bool LzwDecode(BitReader& reader, uint32_t length, std::vector<uint8_t>& out) {
  std::unique_ptr<DecodeTable> table(new (std::nothrow) DecodeTable);
  if (!table) {
    ReportError(kLevelData, msg::kDictionaryFailed);
    return false;
  }
  DecodeTable& t = *table;
  for (uint32_t c = 0; c < 256; ++c) {
    t.parent[c] = 0;
    t.length[c] = 1;
    t.character[c] = t.first[c] = uint8_t(c);
  }
  out.clear();
  Output output{out, length};
  bool ok = true;
  for (;;) {  // one dictionary generation per pass
    uint32_t nextCode = kLzwFirstFree, width = kLzwMinWidth, code;
    if (!reader.Read(code, width) || code == kLzwEnd) break;
    // Each generation starts with a literal byte; anything else is corruption.
    uint8_t* at = code < 256 ? output.Reserve(1) : nullptr;
    if (!at) {
      ok = false;
      break;
    }
    *at = uint8_t(code);
    uint32_t last = code, old = code;
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
      uint32_t n = code == nextCode ? t.length[old] + 1u : t.length[code];
      uint8_t* dst = output.Reserve(n);
      if (!dst) {
        ok = false;
        break;
      }
      if (code == nextCode) {
        dst[n - 1] = uint8_t(last);
        WriteString(t, old, dst + n - 1);
      } else {
        WriteString(t, code, dst + n);
      }
      last = dst[0];
      t.parent[nextCode] = uint16_t(old);
      t.character[nextCode] = uint8_t(last);
      t.length[nextCode] = uint16_t(t.length[old] + 1);
      t.first[nextCode] = t.first[old];
      nextCode++;
      old = code;
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

bool ExpandFromMemory(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                      uint32_t* declared) {
  BitReader reader;
  reader.OpenInMemory(data, size);
  uint32_t magic = 0, length = 0;
  if (!reader.Read(magic, 32) || magic != kCompressedMagic || !reader.Read(length, 32))
    return false;
  if (declared) *declared = length;
  return LzwDecode(reader, length, out);
}

}  // namespace qavz
