#include "tools/renderer/ay/fxm_player.h"

#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "tools/renderer/ay/tracker_frames.h"
#include "tools/renderer/ay/zx_tracker.h"

namespace tools::ay {
namespace {

using tracker::Voice;

constexpr size_t kHeaderSize = 6;    // "FXSM", the load address
constexpr size_t kChannelTable = 6;  // three words at the start of the block
constexpr int kStackDepth = 16;      // the player's stack per channel
constexpr int kNotes = 96;
// Commands a channel may read before its next note or rest, and commands a
// volume or pitch program may read before its next value: past these the
// program spins without sounding, which the Z80 player would hang on.
constexpr int kMaxCommands = 1024;
constexpr int kMaxStepCommands = 64;

// Note 0 is the A whose period is 0xFBF at the Spectrum's 1.7734 MHz; the
// rest are equal-tempered semitones above it.
const std::array<uint16_t, kNotes>& note_periods() {
  static const std::array<uint16_t, kNotes> table = [] {
    std::array<uint16_t, kNotes> periods{};
    for (int n = 0; n < kNotes; ++n)
      periods[n] = static_cast<uint16_t>(std::lround(0xFBF / std::pow(2.0, n / 12.0)));
    return periods;
  }();
  return table;
}

int clamp_note(int note) { return note < 0 ? 0 : note >= kNotes ? kNotes - 1 : note; }

// A call's return address, or a loop's start and the passes it has left.
struct StackEntry {
  uint16_t address = 0;
  uint8_t count = 0;
  bool loop = false;
};

struct Channel {
  uint16_t pc = 0;
  StackEntry stack[kStackDepth];
  int depth = 0;
  int8_t transposition = 0;
  uint8_t type = 8;  // mixer bits: 1 silences the tone, 8 the noise
  bool legato = false;
  bool legato_held = false;  // a note has sounded since legato began
  bool has_volumes = false, has_pitches = false;
  uint16_t volumes = 0;  // the volume program notes start
  uint16_t pitches = 0;  // the pitch program notes start
  int frames_left = 1;   // until the next note or rest is read
  bool resting = true;
  bool first_frame = false;
  uint16_t volume_at = 0;
  int volume_left = 0;
  int volume = 0;
  uint16_t pitch_at = 0;
  bool semitones = false;  // pitch values step the note rather than the period
  int note = 0;
  uint16_t period = 0;
};

// FNV-1a over a channel's whole state, to find the frame a song repeats.
class StateHash {
 public:
  void add(uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      state_ ^= (value >> (8 * i)) & 0xFF;
      state_ *= 0x100000001B3ull;
    }
  }
  uint64_t value() const { return state_; }

 private:
  uint64_t state_ = 0xCBF29CE484222325ull;
};

class FxmPass {
 public:
  FxmPass(const uint8_t* block, size_t size, uint16_t load) : m_(block, size), load_(load) {
    for (int c = 0; c < 3; ++c) channels_[c].pc = m_.word(2 * static_cast<size_t>(c));
  }

  bool play_frame(Frame* frame, std::string* error) {
    for (int c = 0; c < 3; ++c) {
      Channel& ch = channels_[c];
      if (--ch.frames_left <= 0 && !read_phrase(ch)) break;
      state_.voices[c] = sound(ch);
    }
    if (!fault_.empty()) {
      *error = fault_;
      return false;
    }
    state_.noise = noise_;
    return tracker::finish_frame(m_, state_, &last_shape_, frame, error);
  }

  uint64_t state_hash() const {
    StateHash h;
    h.add(noise_);
    for (const Channel& ch : channels_) {
      h.add(ch.pc | static_cast<uint64_t>(ch.depth) << 16 | static_cast<uint64_t>(ch.transposition & 0xFF) << 24 |
            static_cast<uint64_t>(ch.type) << 32 | static_cast<uint64_t>(ch.legato) << 40 |
            static_cast<uint64_t>(ch.legato_held) << 41 | static_cast<uint64_t>(ch.has_volumes) << 42 |
            static_cast<uint64_t>(ch.has_pitches) << 43 | static_cast<uint64_t>(ch.resting) << 44 |
            static_cast<uint64_t>(ch.first_frame) << 45 | static_cast<uint64_t>(ch.semitones) << 46);
      for (int i = 0; i < ch.depth; ++i)
        h.add(ch.stack[i].address | ch.stack[i].count << 16 | static_cast<uint64_t>(ch.stack[i].loop) << 24);
      h.add(ch.volumes | static_cast<uint64_t>(ch.pitches) << 16 | static_cast<uint64_t>(ch.volume_at) << 32 |
            static_cast<uint64_t>(ch.pitch_at) << 48);
      h.add(static_cast<uint64_t>(ch.frames_left) | static_cast<uint64_t>(ch.volume_left) << 16 |
            static_cast<uint64_t>(ch.volume) << 32 | static_cast<uint64_t>(ch.note) << 40 |
            static_cast<uint64_t>(ch.period) << 48);
    }
    return h.value();
  }

 private:
  // The block as the Z80 sees it: addresses count from the load address.
  uint8_t byte(uint16_t address) { return m_.byte(static_cast<uint16_t>(address - load_)); }
  uint16_t word(uint16_t address) { return static_cast<uint16_t>(byte(address) | byte(address + 1) << 8); }

  bool fail(const char* reason) {
    if (fault_.empty()) fault_ = reason;
    return false;
  }

  bool push(Channel& ch, StackEntry entry) {
    if (ch.depth == kStackDepth) return fail("a channel nests calls and loops deeper than its player's stack");
    ch.stack[ch.depth++] = entry;
    return true;
  }

  // Reads commands up to the channel's next note or rest.
  bool read_phrase(Channel& ch) {
    for (int n = 0; n < kMaxCommands; ++n) {
      const uint8_t command = byte(ch.pc++);
      if (m_.broken()) return false;
      if (command <= 0x54) {
        const int frames = byte(ch.pc++);
        ch.frames_left = frames == 0 ? 256 : frames;  // the player counts a byte down
        if (command == 0)
          ch.resting = true;
        else
          start_note(ch, command - 1 + ch.transposition);
        return true;
      }
      switch (command) {
        case 0x80:  // jump
          ch.pc = word(ch.pc);
          break;
        case 0x81:  // call
          if (!push(ch, StackEntry{static_cast<uint16_t>(ch.pc + 2), 0, false})) return false;
          ch.pc = word(ch.pc);
          break;
        case 0x82:  // loop: the commands up to its end, this many times
          if (!push(ch, StackEntry{static_cast<uint16_t>(ch.pc + 1), byte(ch.pc), true})) return false;
          ++ch.pc;
          break;
        case 0x83: {  // the loop's end
          if (ch.depth == 0 || !ch.stack[ch.depth - 1].loop) return fail("a loop ends that never began");
          StackEntry& loop = ch.stack[ch.depth - 1];
          if (--loop.count != 0)
            ch.pc = loop.address;
          else
            --ch.depth;
          break;
        }
        case 0x84:
          noise_ = byte(ch.pc++) & 0x1F;
          break;
        case 0x85:
          ch.type = byte(ch.pc++);
          break;
        case 0x86:
          ch.pitches = word(ch.pc);
          ch.has_pitches = true;
          ch.pc += 2;
          break;
        case 0x87:
          ch.volumes = word(ch.pc);
          ch.has_volumes = true;
          ch.pc += 2;
          break;
        case 0x88:
          ch.transposition = static_cast<int8_t>(byte(ch.pc++));
          break;
        case 0x89:  // return
          if (ch.depth == 0 || ch.stack[ch.depth - 1].loop) return fail("a channel returns from no call");
          ch.pc = ch.stack[--ch.depth].address;
          break;
        case 0x8A:
          ch.legato = true;
          ch.legato_held = false;
          break;
        case 0x8B:
          ch.legato = false;
          break;
        case 0x8C:
          // The tune's own machine code: in the known tunes it only tells
          // the game where the music stands, so it is not run.
          ch.pc += 2;
          break;
        case 0x8D:
          noise_ = (noise_ + static_cast<int8_t>(byte(ch.pc++))) & 0x1F;
          break;
        case 0x8E:
          ch.transposition = static_cast<int8_t>(ch.transposition + static_cast<int8_t>(byte(ch.pc++)));
          break;
        default:
          return fail("a channel reads a command its player does not know");
      }
    }
    return fail("a channel's program runs on without a note");
  }

  void start_note(Channel& ch, int note) {
    ch.resting = false;
    ch.first_frame = true;
    ch.note = clamp_note(note);
    ch.period = note_periods()[ch.note];
    ch.pitch_at = ch.pitches;
    ch.semitones = false;
    // Legato keeps the volume program running over the notes after the first.
    if (!(ch.legato && ch.legato_held)) {
      ch.volume_at = ch.volumes;
      ch.volume_left = 0;
    }
    ch.legato_held = ch.legato;
  }

  // A pitch program adds one signed value a frame after the note's first,
  // to the period or (after 0x82, until 0x83) to the note; 0x84 flips the
  // channel between tone and noise, 0x80 jumps.
  void step_pitch(Channel& ch) {
    for (int n = 0; n < kMaxStepCommands; ++n) {
      const uint8_t value = byte(ch.pitch_at++);
      switch (value) {
        case 0x80:
          ch.pitch_at = word(ch.pitch_at);
          continue;
        case 0x82:
          ch.semitones = true;
          continue;
        case 0x83:
          ch.semitones = false;
          continue;
        case 0x84:
          ch.type ^= 9;
          continue;
        default:
          break;
      }
      if (ch.semitones) {
        ch.note = clamp_note(ch.note + static_cast<int8_t>(value));
        ch.period = note_periods()[ch.note];
      } else {
        ch.period = static_cast<uint16_t>(ch.period + static_cast<int8_t>(value));
      }
      return;
    }
    fail("a pitch program spins without a value");
  }

  // A volume program is pairs of a level and the frames it lasts (0: 256),
  // single bytes 0x32..0x41 for a level held one frame, and 0x80 jumps.
  void step_volume(Channel& ch) {
    if (ch.volume_left == 0) {
      int n = 0;
      for (; n < kMaxStepCommands; ++n) {
        const uint8_t value = byte(ch.volume_at++);
        if (value == 0x80) {
          ch.volume_at = word(ch.volume_at);
          continue;
        }
        if (value >= 0x32 && value <= 0x41) {
          ch.volume = value - 0x32;
          ch.volume_left = 1;
        } else {
          ch.volume = value & 0x0F;
          const int frames = byte(ch.volume_at++);
          ch.volume_left = frames == 0 ? 256 : frames;
        }
        break;
      }
      if (n == kMaxStepCommands) {
        fail("a volume program spins without a level");
        return;
      }
    }
    --ch.volume_left;
  }

  Voice sound(Channel& ch) {
    Voice voice;
    if (!ch.resting) {
      if (ch.first_frame)
        ch.first_frame = false;
      else if (ch.has_pitches)
        step_pitch(ch);
      if (ch.has_volumes) {
        step_volume(ch);
        voice.level = static_cast<uint8_t>(ch.volume);
      }
    }
    voice.tone = ch.period & 0x0FFF;  // the chip keeps 12 bits of the period
    voice.tone_on = !(ch.type & 0x01);
    voice.noise_on = !(ch.type & 0x08);
    return voice;
  }

  zx::ModuleBytes m_;
  uint16_t load_;
  Channel channels_[3];
  uint8_t noise_ = 0;
  tracker::ChipState state_;
  uint8_t last_shape_ = 0;
  std::string fault_;
};

bool detect(const uint8_t* data, size_t size) {
  return size >= kHeaderSize && std::memcmp(data, "FXSM", 4) == 0 &&
         fxm::block_plausible(data + kHeaderSize, size - kHeaderSize, static_cast<uint16_t>(data[4] | data[5] << 8));
}

bool parse(const uint8_t* data, size_t size, AySong* song, std::string* error) {
  if (!detect(data, size)) {
    *error = "not a Fuxoft AY Language module";
    return false;
  }
  return fxm::play_block(data + kHeaderSize, size - kHeaderSize, static_cast<uint16_t>(data[4] | data[5] << 8), song,
                         error);
}

}  // namespace

namespace fxm {

bool block_plausible(const uint8_t* block, size_t block_size, uint16_t load) {
  if (block_size < kChannelTable + 2) return false;
  for (int c = 0; c < 3; ++c) {
    const uint16_t start = static_cast<uint16_t>(block[2 * c] | block[2 * c + 1] << 8);
    const size_t at = static_cast<uint16_t>(start - load);
    if (at < kChannelTable || at >= block_size) return false;
    const uint8_t command = block[at];
    if (command > 0x54 && (command < 0x80 || command > 0x8E)) return false;
  }
  return true;
}

bool play_block(const uint8_t* block, size_t block_size, uint16_t load, AySong* song, std::string* error) {
  *song = AySong();
  song->program = "Fuxoft AY Language";
  FxmPass pass(block, block_size, load);
  // The frame whose whole state (every channel's program, stack, note and
  // programs, and the noise) was seen before starts the repeat.
  std::unordered_map<uint64_t, long> seen;
  const size_t cap = max_frames(song->frame_hz);
  while (song->frames.size() < cap) {
    const auto [at, fresh] = seen.emplace(pass.state_hash(), static_cast<long>(song->frames.size()));
    if (!fresh) {
      song->loop_frame = at->second;
      return true;
    }
    Frame frame{};
    if (!pass.play_frame(&frame, error)) return false;
    song->frames.push_back(frame);
  }
  song->loop_frame = -1;  // no repeat within the cap
  return true;
}

}  // namespace fxm

const Format kFxmFormat = {"Fuxoft AY Language", detect, parse};

}  // namespace tools::ay
