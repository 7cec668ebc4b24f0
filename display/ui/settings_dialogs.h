#pragma once
// The display-unit dialog (表示単位設定) and the trend dialog (トレンド表示設定).
// Their logic lives in display/settings_forms.h; these classes only move the
// values in and out of the controls. Controls keep their resource ids as
// object names ("1000", "1019", ...) so the shell and the tests can find them.

#include <QButtonGroup>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <map>

#include "display/settings_forms.h"
#include "display/trend_window.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

namespace velrix {

inline constexpr char kDisplayUnitDialogTitle[] = "表示単位設定";
inline constexpr char kTrendDialogTitle[] = "トレンド表示設定";

class CDlgDspSet : public QDialog {
 public:
  // save writes dsp_unit.def (the settings engineer's SaveDisplayUnits).
  using SaveFn = std::function<void(const DisplayUnitSettings&)>;
  CDlgDspSet(DisplayUnitSettings& settings, UserMessages& messages, SaveFn save,
             QWidget* parent = nullptr);

  QRadioButton* Radio(int id) const;   // 1000-1006
  QLineEdit* AverageEdit() const { return average_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  DisplayUnitForm ReadForm() const;

  // OK: validates, stores, saves and closes; an invalid entry shows its
  // message and keeps the dialog open.
  void accept() override;

 private:
  DisplayUnitSettings& settings_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  SaveFn save_;
  std::map<int, QRadioButton*> radios_;
  QButtonGroup* integratedGroup_ = nullptr;
  QButtonGroup* rateGroup_ = nullptr;
  QLineEdit* average_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class CDlgTrend : public QDialog {
 public:
  // save writes trend.def (the settings engineer's SaveTrendSettings).
  using SaveFn = std::function<void(const TrendSettings&)>;
  CDlgTrend(TrendSettings& settings, SaveFn save, QWidget* parent = nullptr);

  QRadioButton* Radio(int id) const;   // 1000-1026
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  TrendForm ReadForm() const;

  void accept() override;

 private:
  TrendSettings& settings_;
  SaveFn save_;
  std::map<int, QRadioButton*> radios_;
  QButtonGroup* spanGroup_ = nullptr;
  QButtonGroup* scaleGroup_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// The menu commands 32771 and 32772: run the dialog modally and, after OK,
// call redraw (which takes the draw lock and draws the panel or the graph).
// Return whether OK closed the dialog.
bool RunDisplayUnitDialog(QWidget* parent, DisplayUnitSettings& settings, UserMessages& messages,
                          const CDlgDspSet::SaveFn& save, const std::function<void()>& redraw);
bool RunTrendDialog(QWidget* parent, TrendSettings& settings, const CDlgTrend::SaveFn& save,
                    const std::function<void()>& redraw);

}  // namespace velrix
