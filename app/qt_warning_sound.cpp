#include "app/qt_warning_sound.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace velrix {

QtWarningSound::QtWarningSound() = default;
QtWarningSound::~QtWarningSound() = default;

void QtWarningSound::StartLoop(const std::string& path) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo::exists(file)) return;
  if (!effect_) effect_ = std::make_unique<QSoundEffect>();
  effect_->setSource(QUrl::fromLocalFile(file));
  effect_->setLoopCount(QSoundEffect::Infinite);
  effect_->play();
}

void QtWarningSound::Stop() {
  if (effect_) effect_->stop();
}

}  // namespace velrix
