#include "tools/renderer/ay/project_ay_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tools::ay::project {
namespace {

constexpr size_t kHeaderSize = 20;
constexpr size_t kSongRecordSize = 4;
constexpr size_t kSongDataSize = 14;
constexpr size_t kPointsSize = 6;
constexpr size_t kBlockRecordSize = 6;

// Reads that can fail, with the reason kept for the first failure.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }
  bool holds(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
  uint8_t byte(size_t at) const { return data_[at]; }
  uint16_t word(size_t at) const { return static_cast<uint16_t>(data_[at] << 8 | data_[at + 1]); }

  // The place a relative pointer at `at` points to, when `count` bytes
  // from there lie inside the file.
  bool follow(size_t at, size_t count, size_t* target) const {
    if (!holds(at, 2)) return false;
    const auto offset = static_cast<int16_t>(word(at));
    const long long place = static_cast<long long>(at) + offset;
    if (place < 0 || !holds(static_cast<size_t>(place), count)) return false;
    *target = static_cast<size_t>(place);
    return true;
  }

  // A NUL-terminated text.
  bool text(size_t pointer_at, std::string* out) const {
    size_t start;
    if (!follow(pointer_at, 0, &start)) return false;
    const uint8_t* begin = data_ + start;
    const void* nul = std::memchr(begin, 0, size_ - start);
    if (!nul) return false;
    out->assign(reinterpret_cast<const char*>(begin), static_cast<const uint8_t*>(nul) - begin);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

std::string hex(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04Xh", value);
  return text;
}

bool parse_song(const Reader& file, size_t record, int index, Song* song, std::string* error) {
  const std::string which = "song " + std::to_string(index + 1);
  if (!file.text(record, &song->name)) {
    *error = which + "'s name lies outside the file or has no end";
    return false;
  }
  size_t data;
  if (!file.follow(record + 2, kSongDataSize, &data)) {
    *error = which + "'s data lies outside the file";
    return false;
  }
  for (int i = 0; i < 4; ++i) song->channels[i] = file.byte(data + i);
  song->length_frames = file.word(data + 4);
  song->fade_frames = file.word(data + 6);
  song->hi_reg = file.byte(data + 8);
  song->lo_reg = file.byte(data + 9);
  size_t points;
  if (!file.follow(data + 10, kPointsSize, &points)) {
    *error = which + "'s points lie outside the file";
    return false;
  }
  song->stack = file.word(points);
  song->init = file.word(points + 2);
  song->interrupt = file.word(points + 4);
  size_t blocks;
  if (!file.follow(data + 12, 2, &blocks)) {
    *error = which + "'s block list lies outside the file";
    return false;
  }
  // The list ends at a zero address; a block can start anywhere but 0000h,
  // which holds the loader.
  for (size_t at = blocks;; at += kBlockRecordSize) {
    if (!file.holds(at, 2)) {
      *error = which + "'s block list runs past the file's end";
      return false;
    }
    const uint16_t address = file.word(at);
    if (address == 0) break;
    if (!file.holds(at, kBlockRecordSize)) {
      *error = which + "'s block list runs past the file's end";
      return false;
    }
    Block block;
    block.address = address;
    // Rippers often stated a length running past the top of memory or
    // past the file's end (a block at C000h "of" 32 KB, the last block
    // cut short): the players load what both hold, and so does this one.
    block.length = std::min<size_t>(file.word(at + 2), 0x10000 - address);
    if (!file.follow(at + 4, 0, &block.offset)) {
      *error = which + "'s block at " + hex(address) + " lies outside the file";
      return false;
    }
    block.length = std::min(block.length, file.size() - block.offset);
    song->blocks.push_back(block);
    if (song->blocks.size() > 0x10000 / kBlockRecordSize) {
      *error = which + " lists more blocks than memory holds";
      return false;
    }
  }
  if (song->blocks.empty()) {
    *error = which + " has no blocks";
    return false;
  }
  return true;
}

}  // namespace

bool parse_fxm_file(const uint8_t* data, size_t size, FxmTune* tune, std::string* error) {
  if (size < kHeaderSize || std::memcmp(data, "ZXAYAMAD", 8) != 0) {
    *error = "not an AY file of a Fuxoft AY Language tune";
    return false;
  }
  const Reader file(data, size);
  size_t record, song_data;
  if (!file.text(12, &tune->author) || !file.follow(18, kSongRecordSize, &record) || !file.text(record, &tune->name)) {
    *error = "a text of the header lies outside the file or has no end";
    return false;
  }
  if (!file.follow(record + 2, kSongDataSize, &song_data)) {
    *error = "the song's data lies outside the file";
    return false;
  }
  tune->address = file.word(song_data);
  tune->length_frames = file.word(song_data + 4);
  tune->offset = song_data + kSongDataSize;
  return true;
}

bool is_project_ay(const uint8_t* data, size_t size) {
  return size >= 8 && std::memcmp(data, "ZXAYEMUL", 8) == 0;
}

bool parse_file(const uint8_t* data, size_t size, File* file, std::string* error) {
  const Reader reader(data, size);
  if (!is_project_ay(data, size) || size < kHeaderSize) {
    *error = "the header is cut short";
    return false;
  }
  file->file_version = data[8];
  file->player_version = data[9];
  // Offset 10 points to a player for the Amiga's own processor, which one
  // file of the collection had; the Z80 code beside it plays all the same.
  if (!reader.text(12, &file->author) || !reader.text(14, &file->misc)) {
    *error = "the author or misc text lies outside the file or has no end";
    return false;
  }
  const int songs = data[16] + 1;
  file->first_song = data[17];
  size_t records;
  if (!reader.follow(18, static_cast<size_t>(songs) * kSongRecordSize, &records)) {
    *error = "the song list lies outside the file";
    return false;
  }
  file->songs.assign(static_cast<size_t>(songs), Song());
  for (int i = 0; i < songs; ++i) {
    if (!parse_song(reader, records + static_cast<size_t>(i) * kSongRecordSize, i, &file->songs[i], error)) return false;
  }
  if (file->first_song >= songs) file->first_song = 0;
  return true;
}

void load_memory(const uint8_t* data, const Song& song, uint8_t* memory) {
  std::fill(memory, memory + 0x100, 0xC9);            // RET
  std::fill(memory + 0x100, memory + 0x4000, 0xFF);   // RST 38h
  std::fill(memory + 0x4000, memory + 0x10000, 0x00);
  memory[0x38] = 0xFB;                                // EI
  const uint16_t init = song.init ? song.init : song.blocks.front().address;
  // DI; CALL init; loop: IM 1 or IM 2; EI; HALT; [CALL interrupt;] JR loop
  uint8_t* p = memory;
  *p++ = 0xF3;
  *p++ = 0xCD;
  *p++ = static_cast<uint8_t>(init);
  *p++ = static_cast<uint8_t>(init >> 8);
  *p++ = 0xED;
  *p++ = song.interrupt ? 0x56 : 0x5E;
  *p++ = 0xFB;
  *p++ = 0x76;
  if (song.interrupt) {
    *p++ = 0xCD;
    *p++ = static_cast<uint8_t>(song.interrupt);
    *p++ = static_cast<uint8_t>(song.interrupt >> 8);
  }
  *p++ = 0x18;
  *p = static_cast<uint8_t>(-(p + 1 - (memory + kLoaderLoop)));
  for (const Block& block : song.blocks) {
    std::memcpy(memory + block.address, data + block.offset, block.length);
  }
}

}  // namespace tools::ay::project
