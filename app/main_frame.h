#pragma once
// CMainFrame: the one fixed-size top-level window. It carries the title and
// the menu and holds the view as its client area; it cannot be resized or
// maximised, because every element of the view is drawn at fixed pixels.

#include <QMainWindow>

namespace velrix {

class CTenvoView;

inline constexpr char kWindowTitle[] = " Radiation Monitor KAV-HX310 Velrix";
inline constexpr int kViewWidth = 998;    // client area of the 1004 x 720 frame
inline constexpr int kViewHeight = 672;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(CTenvoView* view);
  CTenvoView* view() const { return view_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void AddCommand(class QMenu* menu, const char* caption, int id);
  CTenvoView* view_;
};

}  // namespace velrix
