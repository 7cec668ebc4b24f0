#pragma once
// The warning sound on Qt Multimedia: the wav file looped without blocking.
// A missing file or a machine without an audio device stays silent and
// unreported, as an alarm that cannot sound must not stop the monitor.

#include <memory>

#include "measure/warnings.h"

class QSoundEffect;

namespace velrix {

class QtWarningSound final : public WarningSound {
 public:
  QtWarningSound();
  ~QtWarningSound() override;
  void StartLoop(const std::string& path) override;
  void Stop() override;

 private:
  std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace velrix
