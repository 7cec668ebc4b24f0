#pragma once
// What the five general dialogs do, without a dialog: fill the controls from
// the settings, and on OK check, store and write the settings file. The Qt
// dialogs (general_dialogs.h) only move values between widgets and these
// forms. Every Accept... returns true when the dialog may close.

#include <functional>
#include <string>

#include "link/unit_link_state.h"
#include "platform/user_messages.h"
#include "settings/settings.h"
#include "settings/ui/user_questions.h"

namespace velrix {

// Data folder (CDlg_df_set).
inline constexpr char kCloseBrowserMessage[] = "フォルダ参照ダイアログを閉じてください。";
inline constexpr char kFolderCheckTitle[] = "フォルダ確認";
inline constexpr char kCreateFolderQuestion[] = "フォルダ[%s]は、存在しませんが、作成しますか？";
inline constexpr char kCreateFolderFailedMessage[] =
    "フォルダ作成を失敗しました。フォルダ名を再設定してください。";
inline constexpr char kFolderSeparator = '/';

struct DataFolderForm {
  std::string folderText;  // edit 1019
};

// The stored base folder; the root (stored empty) shows as "/".
DataFolderForm FillDataFolderForm(const Settings& settings);

// The creation question for a candidate data folder.
std::string CreateFolderQuestion(const std::string& candidate);

// OK. While the folder browser is open the user is asked to close it first.
// Otherwise one trailing separator is removed, the data folder is the text
// + "/Velrix", a missing one is created with its parents after the user
// agrees, and the text is stored as the base folder and written to
// df_name.def. The text "/" names the root folder, which always exists: it
// is stored as the empty text (as a bare drive is stored without its
// backslash elsewhere), the data folder becomes "/Velrix", and neither the
// question nor the creation happens; the data file writer makes the folder
// when it first needs it.
bool AcceptDataFolderForm(const DataFolderForm& form, bool browseOpen, Settings& settings,
                          UserQuestions& questions, UserMessages& messages);

// Cancel: refused while the folder browser is open.
bool CancelDataFolderDialog(bool browseOpen, UserMessages& messages);

// Where the folder browser starts: the stored base folder (not the edit
// text) without a trailing separator; the root for the empty base folder.
std::string BrowseStartFolder(const Settings& settings);

// The edit text for a folder chosen in the browser: it ends with a separator.
std::string BrowsedFolderText(const std::string& chosen);

// Comment settings (CDlg_cond_set): edits 1019, 1020, 1021.
struct CommentForm {
  std::string computerName;
  std::string unitNumber;
  std::string comment;
};

CommentForm FillCommentForm(const Settings& settings);

// OK: each text cut to 127 CP932 bytes; empty texts are allowed. A text
// CP932 cannot hold is refused with the input-error message and nothing is
// stored. Otherwise stores all three and writes comment.def.
bool AcceptCommentForm(const CommentForm& form, Settings& settings, UserMessages& messages);

// Comment check (CDlg_com_chk), shown before a measurement starts: edit 1019.
struct CommentCheckForm {
  std::string comment;
};

CommentCheckForm FillCommentCheckForm(const Settings& settings);
bool AcceptCommentCheckForm(const CommentCheckForm& form, Settings& settings,
                            UserMessages& messages);

// Automatic start (Dlg_aut_start): check box 1020.
struct AutoStartForm {
  bool ticked = false;
};

AutoStartForm FillAutoStartForm(const Settings& settings);
void AcceptAutoStartForm(const AutoStartForm& form, Settings& settings, UserMessages& messages);

// Detection buzzer (CDlg_k_b): radio 1000 "ON" or 1001 "OFF".
inline constexpr char kBuzzerNotTakenMessage[] = "USBユニットとの通信に失敗しました。";
inline constexpr char kBuzzerLinkDownMessage[] = "USBユニットと通信できないため、設定できません。";
// The link takes the request on its next pass; it is looked for this often.
inline constexpr int kBuzzerLookIntervalMs = 100;
inline constexpr int kBuzzerLooks = 50;

struct BuzzerForm {
  bool on = true;
};

enum class BuzzerOutcome { Taken, NotTaken, LinkDown };

// Waits the given milliseconds; the dialog keeps the GUI responsive meanwhile.
using PauseFn = std::function<void(int milliseconds)>;

BuzzerForm FillBuzzerForm(const UnitLinkState& link);

// OK. With the link up: sets the detection buzzer, raises buzzerRequest and
// looks every 100 ms, 50 times at most, whether the link has taken it;
// buzzer.def is written only then. A request not taken is reported and the
// file is left alone (the new setting stays in force in memory). With the
// link down: reported, nothing changed. The dialog closes in every case.
BuzzerOutcome AcceptBuzzerForm(const BuzzerForm& form, const Settings& settings,
                               UnitLinkState& link, UserMessages& messages, const PauseFn& pause);

}  // namespace velrix
