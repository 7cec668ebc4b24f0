#pragma once
// Command ids of the menu items and the view's buttons. They are kept as the
// unit's operators know them from the manual, and the dialogs route on them.

namespace velrix {

inline constexpr int kCmdDisplayUnits = 32771;   // 表示単位設定
inline constexpr int kCmdTrendSettings = 32772;  // トレンド表示設定
inline constexpr int kCmdOpen = 32773;           // 開く
inline constexpr int kCmdComment = 32774;        // コメント設定
inline constexpr int kCmdWarning = 32776;        // 警告設定
inline constexpr int kCmdDataFolder = 32777;     // データフォルダの場所
inline constexpr int kCmdClose = 32778;          // 閉じる
inline constexpr int kCmdBuzzer = 32779;         // 検知ブザー設定
inline constexpr int kCmdComPort = 32780;        // USB COM番号設定 (no menu item)
inline constexpr int kCmdStart = 32782;          // 開始
inline constexpr int kCmdStop = 32783;           // 停止
inline constexpr int kCmdAutoStart = 32784;      // 自動開始設定
inline constexpr int kCmdKeyHelp = 32785;        // キー操作の説明
inline constexpr int kCmdRetry = 32786;          // 通信リトライ設定
inline constexpr int kCmdPower = 32787;          // 電源設定
inline constexpr int kCmdAppExit = 57665;        // the framework's exit command
inline constexpr int kCmdAppAbout = 57664;       // the framework's about command

inline constexpr int kButtonStart = 50024;
inline constexpr int kButtonStop = 50025;
inline constexpr int kButtonBatteryOff = 50026;
inline constexpr int kButtonChargingOff = 50027;
inline constexpr int kButtonBatteryOn = 50028;
inline constexpr int kButtonChargingOn = 50029;

}  // namespace velrix
