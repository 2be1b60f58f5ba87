#include "tools/renderer/adplug_tune.h"

#include <adplug/adplug.h>
#include <adplug/fprovide.h>
#include <adplug/version.h>
#include <adplug/wemuopl.h>
#include <binstr.h>

#include "tools/common/text_encoding.h"

namespace tools {
namespace {

// AdPlug reads through a file provider. The tune itself comes from memory;
// companion files (instrument banks some formats keep beside the song) are
// still read from disk, next to the source.
class MemoryProvider : public CFileProvider {
 public:
  MemoryProvider(const std::vector<uint8_t>& data, std::string name) : data_(data), name_(std::move(name)) {}

  binistream* open(std::string filename) const override {
    if (filename != name_) return CProvider_Filesystem().open(filename);
    // binisstream wants a mutable pointer but only reads through it.
    auto* stream = new binisstream(const_cast<uint8_t*>(data_.data()), data_.size());
    stream->setFlag(binio::BigEndian, false);
    stream->setFlag(binio::FloatIEEE);
    return stream;
  }

  void close(binistream* stream) const override { delete stream; }

 private:
  const std::vector<uint8_t>& data_;
  std::string name_;
};

// AdPlug's own song-length scan stops at ten minutes: a track that long has
// no end of its own.
constexpr unsigned long kNoEndMilliseconds = 600000;

class AdplugTune : public Tune {
 public:
  explicit AdplugTune(std::unique_ptr<CWemuopl> opl) : opl_(std::move(opl)) {}

  bool load(const std::vector<uint8_t>& data, const std::string& path, std::string* error) {
    const MemoryProvider provider(data, path);
    player_.reset(CAdPlug::factory(path, opl_.get(), CAdPlug::players, provider));
    if (!player_) return false;  // none of its formats
    const float refresh = player_->getrefresh();
    if (!(refresh > 0.01f && refresh < 50000.0f)) {
      *error = "the tune asks for an impossible timer rate";
      return false;
    }
    const unsigned long milliseconds = player_->songlength(0);
    player_->rewind(0);
    if (milliseconds > 0 && milliseconds < kNoEndMilliseconds) {
      length_.kind = TuneLength::Kind::ends;
      length_.seconds = milliseconds / 1000.0;
    }
    return true;
  }

  std::string format_name() const override { return "AdLib " + player_->gettype(); }

  TuneTags tags() const override {
    TuneTags tags;
    tags.title = text_to_utf8(player_->gettitle());
    tags.artist = text_to_utf8(player_->getauthor());
    tags.comment = text_to_utf8(player_->getdesc());
    return tags;
  }

  TuneLength length() const override { return length_; }

  void set_play_past_end(bool play_on) override { play_past_end_ = play_on; }

  size_t render(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames && !ended_) {
      if (frames_to_tick_ <= 0) {
        if (!player_->update() && !play_past_end_) {
          ended_ = true;
          break;
        }
        const float refresh = player_->getrefresh();
        if (!(refresh > 0.01f && refresh < 50000.0f)) {
          ended_ = true;
          break;
        }
        // The tick length in frames, with the fraction carried over so that
        // odd timer rates keep their tempo.
        frames_to_tick_ += kSampleRate / static_cast<double>(refresh);
      }
      const size_t whole = frames_to_tick_ < 1 ? 1 : static_cast<size_t>(frames_to_tick_);
      const size_t n = std::min(whole, frames - done);
      opl_->update(reinterpret_cast<short*>(out + 2 * done), static_cast<int>(n));
      frames_to_tick_ -= static_cast<double>(n);
      done += n;
    }
    return done;
  }

 private:
  std::unique_ptr<CWemuopl> opl_;
  std::unique_ptr<CPlayer> player_;
  TuneLength length_;
  double frames_to_tick_ = 0;
  bool play_past_end_ = false;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<Tune> open_adplug_tune(const std::vector<uint8_t>& data, const std::string& path,
                                       std::string* error) {
  // The DOSBox-derived OPL3 emulator: it plays OPL2 and OPL3 tunes alike
  // and renders at any rate.
  auto tune = std::make_unique<AdplugTune>(std::make_unique<CWemuopl>(kSampleRate, true, true));
  if (!tune->load(data, path, error)) return nullptr;
  return tune;
}

std::string adplug_version() { return std::string("AdPlug ") + ADPLUG_VERSION; }

}  // namespace tools
