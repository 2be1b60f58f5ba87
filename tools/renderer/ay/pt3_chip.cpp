#include "tools/renderer/ay/pt3_chip.h"

#include <algorithm>
#include <cstdlib>

namespace tools::ay::pt3 {
namespace {

// Effect commands in a track. Their parameters follow the byte that ends
// the row, last command first.
constexpr uint8_t kGlissando = 1;
constexpr uint8_t kPortamento = 2;
constexpr uint8_t kSampleOffset = 3;
constexpr uint8_t kOrnamentOffset = 4;
constexpr uint8_t kVibrato = 5;
constexpr uint8_t kEnvelopeSlide = 8;
constexpr uint8_t kSpeed = 9;

constexpr uint8_t kEndOfTrack = 0x00;

}  // namespace

Chip::Chip(const Module& module) : module_(module), bytes_(*module.bytes) {
  for (Channel& channel : channels_) {
    set_ornament(channel, 0);
    set_sample(channel, 1);
  }
}

void Chip::start_pattern(int pattern) {
  const size_t tracks = bytes_.word(kPatternTable) + static_cast<size_t>(pattern) * 6;
  for (size_t i = 0; i < 3; ++i) channels_[i].track = bytes_.word(tracks + 2 * i);
  noise_base_ = 0;
}

bool Chip::track_ended() { return bytes_.byte(channels_[0].track) == kEndOfTrack; }

bool Chip::track_ends_at_next_row() { return channels_[0].rows_left == 1 && track_ended(); }

void Chip::set_sample(Channel& channel, int number) {
  channel.sample = bytes_.word(kSamples + 2 * static_cast<size_t>(number & 31));
  channel.sample_loop = bytes_.byte(channel.sample);
  channel.sample_length = bytes_.byte(channel.sample + 1);
}

void Chip::set_ornament(Channel& channel, int number) {
  channel.ornament = bytes_.word(kOrnaments + 2 * static_cast<size_t>(number & 15));
  channel.ornament_loop = bytes_.byte(channel.ornament);
  channel.ornament_length = bytes_.byte(channel.ornament + 1);
  channel.ornament_position = 0;
}

// A new note, and a note cut, start the sample and ornament over and stop
// every slide.
void Chip::reset_note(Channel& channel) {
  channel.sample_position = 0;
  channel.ornament_position = 0;
  channel.amplitude_sliding = 0;
  channel.noise_sliding = 0;
  channel.envelope_sliding = 0;
  channel.slide_count = 0;
  channel.tone_sliding = 0;
  channel.tone_accumulator = 0;
  channel.on_off_count = 0;
}

void Chip::play_row(uint8_t* delay) {
  for (Channel& channel : channels_) {
    if (--channel.rows_left != 0) continue;
    read_row(channel, delay);
    channel.rows_left = channel.rows_per_note;
  }
}

void Chip::read_row(Channel& channel, uint8_t* delay) {
  const uint8_t previous_note = channel.note;
  const int16_t previous_sliding = channel.tone_sliding;
  uint8_t effects[16];
  int effect_count = 0;
  for (;;) {
    const uint8_t command = bytes_.byte(channel.track);
    if (bytes_.broken()) return;
    if (command == kEndOfTrack) break;  // a track shorter than channel A's: it rests
    ++channel.track;
    if (command >= 0xF0) {
      set_ornament(channel, command - 0xF0);
      set_sample(channel, bytes_.byte(channel.track++) / 2);
      channel.envelope_enabled = false;
    } else if (command >= 0xD1) {
      set_sample(channel, command - 0xD0);
    } else if (command == 0xD0) {
      break;  // an empty row
    } else if (command >= 0xC1) {
      channel.volume = command - 0xC0;
    } else if (command == 0xC0) {
      reset_note(channel);
      channel.enabled = false;
      break;
    } else if (command >= 0xB2) {
      shape_ = command - 0xB1;
      shape_written_ = true;
      // The envelope period is the one big-endian word of the format.
      envelope_base_ = static_cast<uint16_t>(bytes_.byte(channel.track) << 8 | bytes_.byte(channel.track + 1));
      channel.track += 2;
      channel.envelope_enabled = true;
      channel.ornament_position = 0;
      envelope_slide_ = 0;
      envelope_count_ = 0;
    } else if (command == 0xB1) {
      channel.rows_per_note = bytes_.byte(channel.track++);
    } else if (command == 0xB0) {
      channel.envelope_enabled = false;
      channel.ornament_position = 0;
    } else if (command >= 0x50) {
      channel.note = command - 0x50;
      reset_note(channel);
      channel.enabled = true;
      break;
    } else if (command >= 0x40) {
      set_ornament(channel, command - 0x40);
    } else if (command >= 0x20) {
      noise_base_ = command - 0x20;
    } else if (command >= 0x10) {
      if (command == 0x10) {
        channel.envelope_enabled = false;
      } else {
        shape_ = command - 0x10;
        shape_written_ = true;
        envelope_base_ = static_cast<uint16_t>(bytes_.byte(channel.track) << 8 | bytes_.byte(channel.track + 1));
        channel.track += 2;
        channel.envelope_enabled = true;
        envelope_slide_ = 0;
        envelope_count_ = 0;
      }
      set_sample(channel, bytes_.byte(channel.track++) / 2);
      channel.ornament_position = 0;
    } else if (effect_count < 16) {
      // 1..9; the tracker writes at most one a row and a channel, the
      // bound only keeps a corrupt track from overrunning the list.
      effects[effect_count++] = command;
    }
  }
  read_effects(channel, effects, effect_count, previous_note, previous_sliding, delay);
}

void Chip::read_effects(Channel& channel, const uint8_t* effects, int count, uint8_t previous_note,
                        int16_t previous_sliding, uint8_t* delay) {
  const zx::NoteTable& notes = *module_.notes;
  for (int i = count - 1; i >= 0; --i) {
    switch (effects[i]) {
      case kGlissando:
        channel.slide_delay = bytes_.byte(channel.track);
        channel.slide_count = channel.slide_delay;
        channel.slide_step = static_cast<int16_t>(bytes_.word(channel.track + 1));
        channel.track += 3;
        channel.simple_glissando = true;
        channel.on_off_count = 0;
        // 3.7 made a delay of 0 slide at once rather than never.
        if (channel.slide_count == 0 && module_.version >= 7) ++channel.slide_count;
        break;
      case kPortamento: {
        channel.simple_glissando = false;
        channel.on_off_count = 0;
        channel.slide_delay = bytes_.byte(channel.track);
        channel.slide_count = channel.slide_delay;
        // Two bytes the player does not use, then the step's size; the
        // direction comes from where the note lies.
        channel.slide_step = static_cast<int16_t>(
            std::abs(static_cast<int>(static_cast<int16_t>(bytes_.word(channel.track + 3)))));
        channel.track += 5;
        channel.tone_delta =
            static_cast<int16_t>(notes[std::min<int>(channel.note, 95)] - notes[std::min<int>(previous_note, 95)]);
        channel.slide_to_note = channel.note;
        channel.note = previous_note;
        // From 3.6 a portamento continues from where a previous slide left the tone.
        if (module_.version >= 6) channel.tone_sliding = previous_sliding;
        if (channel.tone_delta - channel.tone_sliding < 0) channel.slide_step = static_cast<int16_t>(-channel.slide_step);
        break;
      }
      case kSampleOffset:
        channel.sample_position = bytes_.byte(channel.track++);
        break;
      case kOrnamentOffset:
        channel.ornament_position = bytes_.byte(channel.track++);
        break;
      case kVibrato:
        channel.on_delay = bytes_.byte(channel.track);
        channel.off_delay = bytes_.byte(channel.track + 1);
        channel.track += 2;
        channel.on_off_count = channel.on_delay;
        channel.slide_count = 0;
        channel.tone_sliding = 0;
        break;
      case kEnvelopeSlide:
        envelope_delay_ = bytes_.byte(channel.track);
        envelope_count_ = envelope_delay_;
        envelope_slide_step_ = static_cast<int16_t>(bytes_.word(channel.track + 1));
        channel.track += 3;
        break;
      case kSpeed:
        *delay = bytes_.byte(channel.track++);
        break;
      default:
        break;  // 6 and 7 carry nothing
    }
  }
}

// One frame of a channel: its sample line and ornament step turned into a
// tone period and a level, and every running effect moved on by a frame.
// `mixer` gathers the channels' tone and noise bits of R7.
void Chip::advance(Channel& channel, uint8_t* mixer) {
  if (channel.enabled) {
    const size_t line = channel.sample + 2 + 4 * static_cast<size_t>(channel.sample_position);
    const uint8_t flags = bytes_.byte(line);      // amplitude slide, envelope mask, noise/envelope offset
    const uint8_t levels = bytes_.byte(line + 1); // noise and tone masks, accumulation, amplitude
    uint16_t tone = static_cast<uint16_t>(bytes_.word(line + 2) + channel.tone_accumulator);
    if (levels & 0x40) channel.tone_accumulator = tone;

    // An ornament offset may start the ornament at its length, one step
    // past its last; the tracker's player reads that byte all the same and
    // steps to the loop after it. Past the last ornament of a module the
    // byte is no longer the module's, and it shifts nothing.
    const size_t step = channel.ornament + 2 + channel.ornament_position;
    const bool after_module = channel.ornament_position >= channel.ornament_length && !bytes_.holds(step, 1);
    const int8_t shift = after_module ? 0 : static_cast<int8_t>(bytes_.byte(step));
    const int note = std::clamp(channel.note + shift, 0, 95);
    tone = static_cast<uint16_t>((tone + channel.tone_sliding + (*module_.notes)[note]) & 0xFFF);
    channel.tone = tone;

    if (channel.slide_count > 0 && --channel.slide_count == 0) {
      channel.tone_sliding = static_cast<int16_t>(channel.tone_sliding + channel.slide_step);
      channel.slide_count = channel.slide_delay;
      if (!channel.simple_glissando &&
          ((channel.slide_step < 0 && channel.tone_sliding <= channel.tone_delta) ||
           (channel.slide_step >= 0 && channel.tone_sliding >= channel.tone_delta))) {
        channel.note = channel.slide_to_note;
        channel.slide_count = 0;
        channel.tone_sliding = 0;
      }
    }

    if (flags & 0x80) {
      if (flags & 0x40) {
        if (channel.amplitude_sliding < 15) ++channel.amplitude_sliding;
      } else if (channel.amplitude_sliding > -15) {
        --channel.amplitude_sliding;
      }
    }
    const int amplitude = std::clamp((levels & 0x0F) + channel.amplitude_sliding, 0, 15);
    channel.amplitude = (*module_.volumes)[channel.volume & 15][amplitude];
    if (!(flags & 0x01) && channel.envelope_enabled) channel.amplitude |= 0x10;

    // With noise masked, the five offset bits move the envelope period
    // instead (a signed nibble); with it on, they are the noise period.
    if (levels & 0x80) {
      const int nibble = (flags & 0x20) ? ((flags >> 1) | 0xF0) - 256 : (flags >> 1) & 0x0F;
      const int8_t offset = static_cast<int8_t>(nibble + channel.envelope_sliding);
      if (levels & 0x20) channel.envelope_sliding = offset;
      envelope_add_ = static_cast<int16_t>(envelope_add_ + offset);
    } else {
      noise_add_ = static_cast<uint8_t>((flags >> 1) + channel.noise_sliding);
      if (levels & 0x20) channel.noise_sliding = noise_add_;
    }
    *mixer |= (levels >> 1) & 0x48;

    if (++channel.sample_position >= channel.sample_length) channel.sample_position = channel.sample_loop;
    if (++channel.ornament_position >= channel.ornament_length) channel.ornament_position = channel.ornament_loop;
  } else {
    channel.amplitude = 0;
  }
  *mixer >>= 1;

  if (channel.on_off_count > 0 && --channel.on_off_count == 0) {
    channel.enabled = !channel.enabled;
    channel.on_off_count = channel.enabled ? channel.on_delay : channel.off_delay;
  }
}

void Chip::play_frame(ChipFrame* frame) {
  envelope_add_ = 0;
  uint8_t mixer = 0;
  for (Channel& channel : channels_) advance(channel, &mixer);

  uint8_t* regs = frame->regs.data();
  for (size_t i = 0; i < 3; ++i) {
    regs[2 * i] = static_cast<uint8_t>(channels_[i].tone & 0xFF);
    regs[2 * i + 1] = static_cast<uint8_t>(channels_[i].tone >> 8);
    regs[8 + i] = channels_[i].amplitude;
  }
  regs[6] = static_cast<uint8_t>((noise_base_ + noise_add_) & 0x1F);
  regs[7] = mixer;
  const uint16_t period = static_cast<uint16_t>(envelope_base_ + envelope_add_ + envelope_slide_);
  regs[11] = static_cast<uint8_t>(period & 0xFF);
  regs[12] = static_cast<uint8_t>(period >> 8);
  regs[13] = shape_;
  frame->shape_written = shape_written_;
  shape_written_ = false;

  if (envelope_count_ > 0 && --envelope_count_ == 0) {
    envelope_count_ = envelope_delay_;
    envelope_slide_ = static_cast<int16_t>(envelope_slide_ + envelope_slide_step_);
  }
}

}  // namespace tools::ay::pt3
